#include "KoruWin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "AnnotationDock.h"
#include "ClientWin.h"
#include "RateStripWin.h"
#include "ToolIcons.h"
#include "app/GoToTime.h"
#include "app/MarkerCommands.h"
#include "signal/OpenFlow.h"

using koru::Cmd;
using koru::Field;

namespace {

// "Time: 00:00.000  Page: 1.00/8.78" and "00:01.250 to 00:02.500", the
// default resolution; microsecond texts elide, whole in the tool tip.
constexpr int kPositionChars = 32;
constexpr int kCutChars = 22;
constexpr int kCutUnitChars = 34;
constexpr int kReadoutChars = 44;
constexpr int32_t kOneRowUnitsWidth = 1600;

QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

bool IsToggle(Cmd c) {
    return c == Cmd::ToggleDots || c == Cmd::ToggleMarkers || c == Cmd::ToggleNames ||
           c == Cmd::ToggleTimeHacks || c == Cmd::ToggleAnnotationLabels ||
           c == Cmd::ToggleAnnotationTable || koru::IsCheckCommand(c);
}

// Pixels kept clear between a field's text and its frame.
constexpr int kFieldPadding = 1;

// A character of a field is a digit of its font: the fields show numbers and
// times, and a font's average character is narrower than its digits.
int CharWidth(const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(QChar('0'));
}

// Styles draw no highlight on a grayed item; a light one shows where the
// keyboard or the pointer is, with the gray text still readable.
QColor GrayedHighlight(const QPalette& palette) {
    QColor light = palette.color(QPalette::Active, QPalette::Highlight);
    light.setAlpha(60);
    return light;
}

// Highlighting a grayed menu item shows its hint like any other.
class MenuHintStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Menu_AllowActiveAndDisabled) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_MenuItem && (option->state & State_Selected) &&
            !(option->state & State_Enabled))
            painter->fillRect(option->rect, GrayedHighlight(option->palette));
    }
};

// The menu bar neither draws a highlight on a grayed item nor sends its
// hint; every change of highlight repaints the bar, so both are done there.
class HintingMenuBar : public QMenuBar {
  public:
    explicit HintingMenuBar(QWidget* parent) : QMenuBar(parent) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QMenuBar::paintEvent(event);
        QAction* active = activeAction();
        const bool grayed = active && !active->isEnabled();
        if (grayed) DrawGrayedHighlight(active);
        if (active == last_) return;
        if (grayed)
            SendHint(active->statusTip());
        else if (!active && last_ && !last_->isEnabled())
            SendHint(QString());
        // The bar repaints only what it highlights itself.
        if (grayed) update(actionGeometry(active));
        if (last_ && !last_->isEnabled()) update(actionGeometry(last_));
        last_ = active;
    }

  private:
    // Drawn whole, on an opaque ground, so repeated paints look the same.
    void DrawGrayedHighlight(QAction* action) {
        QPainter p(this);
        const QRect r = actionGeometry(action);
        p.fillRect(r, palette().color(QPalette::Window));
        p.fillRect(r, GrayedHighlight(palette()));
        QPalette grayed = palette();
        grayed.setCurrentColorGroup(QPalette::Disabled);
        style()->drawItemText(&p, r, Qt::AlignCenter | Qt::TextShowMnemonic, grayed, false,
                              action->text(), QPalette::ButtonText);
    }
    void SendHint(const QString& hint) {
        QStatusTipEvent tip(hint);
        QCoreApplication::sendEvent(window(), &tip);
    }

    QPointer<QAction> last_;
};

// A caption beside a field: its text never changes, so it gets at least its
// own width.
QLabel* MakeCaption(QWidget* parent, const char* text, int chars) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setFixedWidth(
        std::max(chars * CharWidth(l->font()), QFontMetrics(l->font()).horizontalAdvance(text)) +
        kFieldPadding);
    return l;
}

}  // namespace

TTextField::TTextField(QWidget* parent, int chars, bool recessed) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    if (recessed) setFrameStyle(QFrame::Panel | QFrame::Sunken);
    fullWidth_ = WidthFor(chars);
    setFixedWidth(fullWidth_);
}

// Half a character of air on either side, as the bars' gadgets have.
int TTextField::WidthFor(int chars) const {
    return (chars + 1) * CharWidth(font()) + 2 * frameWidth();
}

void TTextField::LetShrinkTo(int chars) {
    setMinimumWidth(std::min(WidthFor(chars), fullWidth_));
    setMaximumWidth(fullWidth_);
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

void TTextField::SetText(const QString& text) {
    setText(text);
    UpdateToolTip();
}

QString TTextField::ShownText() const {
    // One line, whatever control characters a recording's description holds.
    QString line = text();
    for (QChar& c : line)
        if (c.unicode() < 0x20) c = QChar(' ');
    const int room = contentsRect().width() - 2 * kFieldPadding;
    return fontMetrics().elidedText(line, Qt::ElideRight, std::max(room, 0));
}

QSize TTextField::sizeHint() const {
    return {fullWidth_, fontMetrics().height() + 2 * frameWidth()};
}

QSize TTextField::minimumSizeHint() const {
    return {minimumWidth(), sizeHint().height()};
}

void TTextField::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    const QRect room = contentsRect().adjusted(kFieldPadding, 0, -kFieldPadding, 0);
    p.drawText(room, static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

void TTextField::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateToolTip();
}

void TTextField::UpdateToolTip() {
    setToolTip(Elided() ? text() : QString());
}

TKoruWin::TKoruWin(koru::Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session), menuStyle_(std::make_unique<MenuHintStyle>()) {
    view_ = new TClientWin(session, this);
    runner_ = std::make_unique<koru::CommandRunner>(session, view_->Model());
    connect(view_, &TClientWin::CountsChanged, this, &TKoruWin::RefreshCommandStates);
    // The heart-rate strip above the traces, hidden until View asks for it.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    strip_ = new TRateStripWin(session, view_, central);
    strip_->hide();
    column->addWidget(strip_);
    column->addWidget(view_, 1);
    connect(view_, &TClientWin::Scrolled, strip_, qOverload<>(&QWidget::update));
    setCentralWidget(central);
    setWindowTitle(koru::kAppTitle);
    const auto place = session_.geometry().NormalPlacement();
    setGeometry(place.left, place.top, place.width, place.height);
    BuildMenuBar();
    BuildToolBars();
    BuildStatusBar();
    BuildAnnotationDock();
    AddPaperGridToggle();
    RefreshCommandStates();
    setAcceptDrops(true);
    // Go to Time has no menu entry of its own: Ctrl+G anywhere in the window.
    auto* goTo = new QAction("Go to Time", this);
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    goTo->setShortcutContext(Qt::WindowShortcut);
    connect(goTo, &QAction::triggered, this, &TKoruWin::GoToTime);
    addAction(goTo);
}

void TKoruWin::FillRecentFiles() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    const std::vector<std::string>& files = session_.recentFiles();
    if (files.empty()) return;
    // Before the separator that stands above Exit.
    QAction* exit = Action(static_cast<int>(Cmd::Exit));
    const QList<QAction*> all = fileMenu_->actions();
    const qsizetype at = all.indexOf(exit);
    QAction* before = at > 0 ? all[at - 1] : exit;
    int n = 0;
    for (const std::string& f : files) {
        const QString path = Text(f);
        auto* a = new QAction(QString("&%1 %2").arg(++n).arg(path), fileMenu_);
        a->setStatusTip("Open " + path);
        connect(a, &QAction::triggered, this, [this, path] { OpenChosen(path); });
        fileMenu_->insertAction(before, a);
        recentActions_ << a;
    }
    recentActions_ << fileMenu_->insertSeparator(before);
}

void TKoruWin::OpenChosen(const QString& path) {
    if (koru::MayCloseRecording(session_)) session_.OpenChosen(path.toStdString());
    RefreshCommandStates();
}

QString TKoruWin::DroppedRecording(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        const QString file = url.toLocalFile();
        if (!file.isEmpty() && koru::LoadableExtension(file.toStdString())) return file;
    }
    return {};
}

void TKoruWin::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedRecording(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TKoruWin::dropEvent(QDropEvent* event) {
    const QString file = DroppedRecording(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    // Opened once the drop is over: the source waits for the drop to end.
    QTimer::singleShot(0, this, [this, file] { OpenChosen(file); });
}

void TKoruWin::GoToTime() {
    const koru::SignalDocument& doc = session_.document();
    if (!doc.IsOpen()) return;
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, "Go to Time", "Time (mm:ss.fff or hh:mm:ss) or frame number:", QLineEdit::Normal,
        QString(), &ok);
    if (!ok) return;
    const std::optional<int64_t> frame = koru::FrameOfGoToText(text.toStdString(), doc.Clock());
    if (!frame) {
        SetMessage("Not a time or frame number: " + text);
        return;
    }
    view_->Model().GoToFrame(*frame);
}

TKoruWin::~TKoruWin() {
    // The menus use menuStyle_, which goes before the window's children do.
    delete menuWidget();
}

QAction* TKoruWin::Action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* TKoruWin::MakeAction(const koru::CommandInfo& info) {
    const int id = static_cast<int>(info.cmd);
    if (QAction* existing = Action(id)) return existing;
    auto* a = new QAction(Text(info.menuText), this);
    a->setStatusTip(Text(info.hint));
    a->setData(id);
    a->setCheckable(IsToggle(info.cmd));
    if (info.cmd == Cmd::NextAnnotation) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
    if (info.cmd == Cmd::PreviousAnnotation) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left));
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = a;
    return a;
}

void TKoruWin::BuildMenuBar() {
    QMenuBar* bar = new HintingMenuBar(this);
    setMenuBar(bar);
    bar->setStyle(menuStyle_.get());
    QMenuBar* rightBar = nullptr;
    for (const koru::MenuBarItem& item : koru::MenuBar()) {
        if (!item.isPopup) {
            QAction* a = MakeAction(*koru::FindCommand(item.id));
            bar->addAction(a);
            continue;
        }
        QMenuBar* target = bar;
        if (item.rightAligned) {
            // The help popup sits at the far right of the bar.
            rightBar = new HintingMenuBar(bar);
            rightBar->setStyle(menuStyle_.get());
            target = rightBar;
        }
        QMenu* menu = target->addMenu(Text(item.text));
        menu->setStyle(menuStyle_.get());
        menu->menuAction()->setStatusTip(Text(koru::HintFor(item.id)));
        for (const koru::MenuEntry& e : item.entries) {
            if (e.separator) {
                menu->addSeparator();
                continue;
            }
            QAction* a = MakeAction(*koru::FindCommand(e.cmd));
            a->setChecked(e.checked);
            menu->addAction(a);
        }
        if (item.id == koru::kViewPopupId) viewMenu_ = menu;
        if (item.id == koru::kFilePopupId) {
            fileMenu_ = menu;
            connect(menu, &QMenu::aboutToShow, this, &TKoruWin::FillRecentFiles);
        }
    }
    if (rightBar) bar->setCornerWidget(rightBar, Qt::TopRightCorner);
}

TTextField* TKoruWin::AddField(QToolBar* bar, const char* label, int labelChars, Field field,
                               int chars) {
    bar->addWidget(MakeCaption(bar, label, labelChars));
    auto* f = new TTextField(bar, chars, true);
    bar->addWidget(f);
    fields_[field] = f;
    return f;
}

void TKoruWin::BuildToolBars() {
    firstBar_ = addToolBar("Commands");
    firstBar_->setMovable(false);
    for (const koru::ToolBarItem& item : koru::ToolBar()) {
        if (item.separator) {
            firstBar_->addSeparator();
            continue;
        }
        QAction* a = MakeAction(*koru::FindCommand(item.cmd));
        a->setIcon(ToolIcon(item.bitmap));
        firstBar_->addAction(a);
    }
    AddField(firstBar_, "Samp/div:", 6, Field::SampPerDiv, 3);
    secondBar_ = firstBar_;
    // The cut field with its duration needs a window about 1100 pixels wide
    // beside the buttons; below a screen that gives that even to a restored
    // window, the position fields get a row of their own rather than hide
    // behind the bar's overflow arrow.
    const int32_t screenWidth = session_.geometry().ScreenWidth;
    if (screenWidth < 1024 || (session_.settings().units && screenWidth < kOneRowUnitsWidth)) {
        addToolBarBreak();
        secondBar_ = addToolBar("Position");
        secondBar_->setMovable(false);
    }
    // Wide enough for the whole texts: an elided position would never show
    // the page number.
    AddField(secondBar_, "Pos:", 3, Field::Position, kPositionChars);
    // With physical units the cut field also gives the duration.
    AddField(secondBar_, "Cut:", 3, Field::Cut,
             session_.settings().units ? kCutUnitChars : kCutChars);
}

void TKoruWin::BuildStatusBar() {
    QStatusBar* sb = statusBar();
    sb->setSizeGripEnabled(true);
    // A normal widget, so hints shown over it give the text back when they go.
    message_ = new QLabel(sb);
    // Whatever it says, it takes the room the fields leave and asks for none.
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sb->addWidget(message_, 1);
    // Time and values under the pointer, with physical units on and the
    // pointer over the traces.
    auto* readout = new TTextField(sb, kReadoutChars, true);
    readout->LetShrinkTo(16);
    readout->hide();
    sb->addPermanentWidget(readout);
    fields_[Field::Readout] = readout;
    // The display filters and the beats between the tags show only while
    // they have something to say.
    for (auto [field, chars] :
         {std::pair{Field::Filter, 24}, std::pair{Field::Rhythm, 30}, std::pair{Field::Length, 12},
          std::pair{Field::Frequency, 7}, std::pair{Field::Description, 7}}) {
        auto* f = new TTextField(sb, chars, true);
        sb->addPermanentWidget(f);
        fields_[field] = f;
        if (field == Field::Filter || field == Field::Rhythm) {
            f->LetShrinkTo(10);
            f->hide();
        }
    }
}

void TKoruWin::BuildAnnotationDock() {
    annotations_ = new TAnnotationDock(session_, view_->Model(), this);
    addDockWidget(Qt::RightDockWidgetArea, annotations_);
    annotations_->hide();  // until asked for: the traces keep the whole width
    connect(annotations_, &QDockWidget::visibilityChanged, this, [this](bool) {
        if (QAction* a = Action(static_cast<int>(Cmd::ToggleAnnotationTable)))
            a->setChecked(!annotations_->isHidden());
    });
    connect(annotations_, &TAnnotationDock::Moved, this, &TKoruWin::RefreshCommandStates);
}

void TKoruWin::SetCommandChecked(int command, bool checked) {
    if (QAction* a = Action(command)) a->setChecked(checked);
}

void TKoruWin::AddPaperGridToggle() {
    if (!session_.settings().units || !viewMenu_) return;
    paperGrid_ = new QAction("ECG &Paper Grid", this);
    paperGrid_->setCheckable(true);
    paperGrid_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    paperGrid_->setShortcutContext(Qt::WindowShortcut);
    paperGrid_->setStatusTip("Draws ECG paper behind the traces: 1 mm and 5 mm lines");
    connect(paperGrid_, &QAction::triggered, this, [this](bool on) {
        session_.settings().paperGrid = on ? 1 : 0;
        koru::SignalView& model = view_->Model();
        model.InvalidateAll();
        model.Update();
        view_->viewport()->update();
        if (on && session_.document().IsOpen())
            SetMessage(QString::fromStdString(model.PaperGridNotice()));
    });
    viewMenu_->addSeparator();
    viewMenu_->addAction(paperGrid_);
    // Also reached while the View menu is closed or grayed.
    addAction(paperGrid_);
}

void TKoruWin::SetField(Field field, const QString& text) {
    TTextField* f = fields_.at(field);
    f->SetText(text);
    // These show only while they have something to say, so the message
    // field keeps its room for the hints.
    if (field == Field::Filter || field == Field::Rhythm || field == Field::Readout)
        f->setVisible(!text.isEmpty());
}

void TKoruWin::SetMessage(const QString& text) {
    message_->setText(text);
}

void TKoruWin::SetViewMenuEnabled(bool enabled) {
    viewMenuEnabled_ = enabled;
    RefreshCommandStates();
}

void TKoruWin::SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) {
    Action(static_cast<int>(Cmd::ToggleDots))->setChecked(dots);
    Action(static_cast<int>(Cmd::ToggleMarkers))->setChecked(markers);
    Action(static_cast<int>(Cmd::ToggleNames))->setChecked(names);
    Action(static_cast<int>(Cmd::ToggleTimeHacks))->setChecked(timeHacks);
}

void TKoruWin::RefreshCommandStates() {
    const koru::EnableState state = runner_->Enables();
    for (auto& [id, action] : actions_) {
        action->setEnabled(koru::IsCommandEnabled(id, state));
        if (const std::optional<bool> checked = runner_->Checked(id)) action->setChecked(*checked);
    }
    if (strip_) {
        strip_->setVisible(runner_->RateStripShown());
        strip_->Refresh();
    }
    if (viewMenu_)
        viewMenu_->menuAction()->setEnabled(viewMenuEnabled_ &&
                                            koru::IsCommandEnabled(koru::kViewPopupId, state));
    if (annotations_) annotations_->Refresh();
}

void TKoruWin::OnCommand(int command) {
    if (command == static_cast<int>(Cmd::ToggleAnnotationTable)) {
        session_.CompleteAnnotations();  // the table lists them all or none
        annotations_->setVisible(annotations_->isHidden());
        RefreshCommandStates();
        return;
    }
    runner_->Run(command);
    RefreshCommandStates();
}

void TKoruWin::closeEvent(QCloseEvent* event) {
    if (koru::MayCloseRecording(session_))
        event->accept();
    else
        event->ignore();
    RefreshCommandStates();
}

void TKoruWin::ShowAboutBox() {
    QDialog box(this);
    box.setWindowTitle("ABOUT KORUVIEW");
    auto* layout = new QVBoxLayout(&box);
    auto* org =
        new QLabel("Koru Cardiac Signal Laboratory\n14 Fern Terrace\nWellington 6011", &box);
    org->setAlignment(Qt::AlignCenter);
    auto* notice = new QLabel(
        "Version 95.4\nA viewer for multichannel electrogram recordings.\n"
        "Written by the KORU VIEW developers.\n14 Fern Terrace, Wellington 6011\n"
        "koruview@example.org",
        &box);
    notice->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(org);
    layout->addWidget(notice);
    layout->addWidget(buttons);
    box.exec();
}
