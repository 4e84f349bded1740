#pragma once
// The main frame: menu bar, tool bar(s) with their text fields, status bar,
// and the Signal view as its client. Commands arrive here by number.

#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <map>
#include <memory>

#include "app/CommandRunner.h"
#include "app/Commands.h"
#include "app/Session.h"
#include "platform/Ui.h"

class QMenu;
class QMimeData;
class QDragEnterEvent;
class QDropEvent;
class QAction;
class QStyle;
class QToolBar;
class TClientWin;
class TRateStripWin;
class TAnnotationDock;

// A text field of the bars: as wide as its number of characters of its own
// font, whatever it shows, so long texts neither push the message field out
// nor make neighbours jump. What does not fit is elided, and the whole text
// is the tool tip. text() stays the whole text.
class TTextField : public QLabel {
  public:
    TTextField(QWidget* parent, int chars, bool recessed);

    void SetText(const QString& text);
    // The text as drawn, after elision.
    QString ShownText() const;
    bool Elided() const { return ShownText() != text(); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Lets a narrow window squeeze the field down to `chars`, eliding its
    // text, instead of laying it over its neighbours.
    void LetShrinkTo(int chars);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateToolTip();
    int WidthFor(int chars) const;

    int fullWidth_ = 0;
};

class TKoruWin : public QMainWindow {
    Q_OBJECT
  public:
    TKoruWin(koru::Session& session, QWidget* parent = nullptr);
    ~TKoruWin() override;

    TClientWin* View() const { return view_; }
    TRateStripWin* RateStrip() const { return strip_; }
    TTextField* FieldLabel(koru::Field field) const { return fields_.at(field); }
    QLabel* MessageField() const { return message_; }
    QAction* Action(int command) const;
    QMenu* ViewMenu() const { return viewMenu_; }
    QMenu* FileMenu() const { return fileMenu_; }
    // The loadable recording a drag carries, or an empty string.
    static QString DroppedRecording(const QMimeData* data);
    QToolBar* FirstBar() const { return firstBar_; }
    QToolBar* SecondBar() const { return secondBar_; }

    void SetField(koru::Field field, const QString& text);
    void SetMessage(const QString& text);
    void SetViewMenuEnabled(bool enabled);
    void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks);
    void SetCommandChecked(int command, bool checked);
    TAnnotationDock* AnnotationDock() const { return annotations_; }
    // Applies the enable rules to every action and the View popup.
    void RefreshCommandStates();
    // The About box, modal over this window.
    void ShowAboutBox();
    koru::CommandRunner& Runner() { return *runner_; }

  public slots:
    void OnCommand(int command);

  protected:
    // Exit and the window's close button both end here; changed markers are
    // asked about first.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenuBar();
    void BuildToolBars();
    void BuildStatusBar();
    void BuildAnnotationDock();
    // The View menu's ECG-paper grid, with physical units on.
    void AddPaperGridToggle();
    TTextField* AddField(QToolBar* bar, const char* label, int labelChars, koru::Field field,
                         int chars);
    QAction* MakeAction(const koru::CommandInfo& info);
    // The recent files at the end of the File menu, before Exit.
    void FillRecentFiles();
    // Opens a file the user pointed at, after asking about unsaved markers.
    void OpenChosen(const QString& path);
    void GoToTime();

    koru::Session& session_;
    TClientWin* view_ = nullptr;
    TRateStripWin* strip_ = nullptr;
    TAnnotationDock* annotations_ = nullptr;
    std::unique_ptr<koru::CommandRunner> runner_;
    std::map<int, QAction*> actions_;
    std::map<koru::Field, TTextField*> fields_;
    // Lets grayed menu items be highlighted, so their hints show too.
    std::unique_ptr<QStyle> menuStyle_;
    QLabel* message_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QList<QAction*> recentActions_;
    QToolBar* firstBar_ = nullptr;
    QToolBar* secondBar_ = nullptr;
    bool viewMenuEnabled_ = false;
    QAction* paperGrid_ = nullptr;
};
