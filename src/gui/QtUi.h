#pragma once
// The Ui port answered with real Qt windows.

#include <QString>
#include <memory>

#include "platform/Ui.h"

class TKoruWin;
class TProgressDialog;
class QWidget;

class QtUi : public koru::Ui {
  public:
    QtUi();
    ~QtUi() override;
    void SetWindow(TKoruWin* win) { win_ = win; }

    void SetStatusText(std::string_view text) override;
    void ShowMessage(koru::MessageOwner owner, std::string_view text, std::string_view title,
                     koru::MessageIcon icon) override;
    koru::Reply AskYesNoCancel(koru::MessageOwner owner, std::string_view text,
                               std::string_view title, koru::MessageIcon icon) override;
    std::optional<koru::FileDialogAnswer> OpenFileDialog(koru::FileDialogSetup& setup) override;
    std::optional<koru::FileDialogAnswer> SaveFileDialog(koru::FileDialogSetup& setup) override;
    koru::ReadBinaryAnswer ReadBinary() override;
    void ProgressBegin(koru::ProgressMode mode) override;
    void ProgressSet(int percent) override;
    void ProgressEnd() override;
    void SetCursor(koru::CursorShape shape) override;
    void SetField(koru::Field field, std::string_view text) override;
    void SetTitle(std::string_view title) override;
    void SetViewMenuEnabled(bool enabled) override;
    void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) override;
    void InvalidateAll() override;
    void ShowHelp(const std::string& path) override;
    void ShowAbout() override;
    void CloseMainWindow() override;

    // Turns "desc|pattern|desc|pattern|" into Qt's ";;"-separated filters.
    static QString QtFilter(const std::string& filter);

  private:
    QWidget* Owner(koru::MessageOwner owner) const;
    std::optional<koru::FileDialogAnswer> RunFileDialog(koru::FileDialogSetup& setup, bool save);

    TKoruWin* win_ = nullptr;
    std::unique_ptr<TProgressDialog> progress_;
    bool waitCursor_ = false;
};
