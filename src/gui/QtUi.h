#pragma once
// The Ui port answered with real Qt windows.

#include <QString>
#include <memory>
#include <vector>

#include "platform/Ui.h"

class QWidget;
class QPrinter;
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
    std::optional<int> ChooseAnnotator(const std::vector<std::string>& names, int current) override;
    std::optional<std::vector<int>> ChooseSignals(const std::vector<koru::SignalChoice>& offered,
                                                  const std::vector<int>& ticked) override;
    std::optional<int32_t> TimeBaseDialog(std::span<const int32_t> samplesPerDivision,
                                          int32_t index) override;
    bool ConfigureDialog(koru::DialogModel& dialog, int32_t screenWidth,
                         int32_t screenHeight) override;
    std::array<bool, 8> ChannelSelectDialog() override { return ChannelSelectDialogFor(8); }
    std::array<bool, 8> ChannelSelectDialogFor(int channelCount) override;
    // The box Help shows when the guide cannot be shown.
    static std::string HelpNotShownText(const std::string& path, bool exists);
    void AmplitudeDialog(const std::array<int32_t, 8>& values) override;
    void PhysicalAmplitudeDialog(const std::array<int32_t, 8>& values,
                                 const std::array<std::string, 8>& lines,
                                 const std::string& explanation) override;
    void ProgressBegin(koru::ProgressMode mode) override;
    void ProgressSet(int percent) override;
    void ProgressEnd() override;
    void SetCursor(koru::CursorShape shape) override;
    void SetField(koru::Field field, std::string_view text) override;
    void SetTitle(std::string_view title) override;
    void SetViewMenuEnabled(bool enabled) override;
    void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) override;
    void SetCommandChecked(int32_t command, bool checked) override;
    void InvalidateAll() override;
    void ShowHelp(const std::string& path) override;
    void ShowAbout() override;
    void CloseMainWindow() override;
    koru::PrintSettings* Printer() override;
    bool PrintDialog(koru::PrintSettings& settings) override;
    std::unique_ptr<koru::PrintJob> BeginPrintJob(std::string_view title,
                                                  koru::PrintResult& failure) override;
    void PrinterSetupDialog() override;

    // The printer object, made at first use; null before.
    QPrinter* QtPrinter() const { return printer_.get(); }

    // Turns "desc|pattern|desc|pattern|" into Qt's ";;"-separated filters.
    static QString QtFilter(const std::string& filter);

  private:
    QWidget* Owner(koru::MessageOwner owner) const;
    std::optional<koru::FileDialogAnswer> RunFileDialog(koru::FileDialogSetup& setup, bool save);
    // The dialog in front, which owns the file dialogs and boxes it leads
    // to; else the main window.
    QWidget* Front() const;

    TKoruWin* win_ = nullptr;
    std::vector<QWidget*> dialogs_;
    std::unique_ptr<TProgressDialog> progress_;
    bool waitCursor_ = false;
    std::unique_ptr<QPrinter> printer_;
    koru::PrintSettings printSettings_;
};
