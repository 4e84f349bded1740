#pragma once
// The one door through which core code asks things of the user. The program
// answers with real Qt windows; tests answer from a script and record what
// was shown. Every method has a do-nothing default (dialogs answer
// "cancelled" or their defaults), so a Ui that has nobody in front of it
// overrides nothing, and a new dialog is one new method here.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FieldSink.h"
#include "platform/PrintJob.h"
#include "platform/Progress.h"

namespace koru {

// Dialog: the dialog the running command has open, in front of the window.
enum class MessageOwner { None, MainWindow, View, Dialog };
enum class MessageIcon { Stop, Exclamation, Information, Question };

// Flags of a file dialog set-up (same meaning as the classic open/save flags).
enum FileDialogFlags : unsigned {
    OFN_HIDEREADONLY = 1u << 0,
    OFN_NOCHANGEDIR = 1u << 1,
    OFN_PATHMUSTEXIST = 1u << 2,
    OFN_FILEMUSTEXIST = 1u << 3,
    OFN_OVERWRITEPROMPT = 1u << 4,
    OFN_NOREADONLYRETURN = 1u << 5,
};

// One remembered file dialog: made once, reused on every use, so it keeps
// the last chosen name between uses.
struct FileDialogSetup {
    unsigned flags = 0;
    std::string title;                        // empty: the dialog's own "Open" or "Save As"
    std::string filter;                       // "desc|pattern|desc|pattern|"
    std::string defaultExt;                   // without the dot
    const std::string* initialDir = nullptr;  // shared with the SIGPATH setting
    std::string fileName;                     // last chosen name, empty before first use
    std::string lastDir;                      // where the last chosen file really lives
};

// A set-up that starts in `dir`, which it follows by reference: the folder
// setting may change after the set-up is made.
inline FileDialogSetup MakeFileDialogSetup(unsigned flags, std::string filter,
                                           std::string defaultExt, const std::string& dir) {
    FileDialogSetup s;
    s.flags = flags;
    s.filter = std::move(filter);
    s.defaultExt = std::move(defaultExt);
    s.initialDir = &dir;
    return s;
}

// A chosen file; no answer at all means the dialog was cancelled.
struct FileDialogAnswer {
    std::string path;
    bool extensionDifferent = false;  // the typed extension is not defaultExt
};

struct ReadBinaryAnswer {
    int32_t channels = 8;
    int32_t interval = 1000;
};

// A signal a recording offers as a channel: its number in the file, from 1.
struct SignalChoice {
    int number = 0;
    std::string label;
    double rate = 0;  // samples per second: a choice takes signals of one rate
};

enum class CursorShape { View, Wait };

// A dialog whose behaviour lives in the core. The window builds the controls
// by their numbers, forwards every click, list choice and spin step by
// number, and after each one shows again what the model says.
class DialogModel {
  public:
    virtual ~DialogModel() = default;
    // Caption of a button, or the text of a static.
    virtual std::string Text(int control) const = 0;
    virtual bool Checked(int control) const = 0;
    // A drop-down list's entries and its selected index.
    virtual std::vector<std::string> Items(int control) const = 0;
    virtual int Selection(int control) const = 0;

    virtual void Click(int control) = 0;
    virtual void Select(int control, int index) = 0;
    // An up-down control's arrow: delta +1 up, -1 down.
    virtual void Spin(int control, int delta) = 0;
};

// The answer of a Yes / No / Cancel question box.
enum class Reply { Yes, No, Cancel };

class Ui : public FieldSink, public ProgressSink {
  public:
    virtual void SetStatusText(std::string_view text) { (void)text; }
    virtual void ShowMessage(MessageOwner owner, std::string_view text, std::string_view title,
                             MessageIcon icon) {
        (void)owner, (void)text, (void)title, (void)icon;
    }

    // A question with Yes, No and Cancel; nobody there to answer means Cancel,
    // which keeps things as they are.
    virtual Reply AskYesNoCancel(MessageOwner owner, std::string_view text, std::string_view title,
                                 MessageIcon icon) {
        (void)owner, (void)text, (void)title, (void)icon;
        return Reply::Cancel;
    }

    virtual std::optional<FileDialogAnswer> OpenFileDialog(FileDialogSetup& setup) {
        (void)setup;
        return std::nullopt;
    }
    virtual std::optional<FileDialogAnswer> SaveFileDialog(FileDialogSetup& setup) {
        (void)setup;
        return std::nullopt;
    }

    // The Read Binary dialog; its values are used however it ended.
    virtual ReadBinaryAnswer ReadBinary() { return {}; }

    // The Signals dialog: which of `offered` (at most eight, of one rate) become the
    // channels, as indexes into `offered`; `ticked` is what is ticked at
    // first. Empty: cancelled. Nobody there to ask takes `ticked`.
    virtual std::optional<std::vector<int>> ChooseSignals(const std::vector<SignalChoice>& offered,
                                                          const std::vector<int>& ticked) {
        (void)offered;
        return ticked;
    }
    // Whether the Signals answer was given beforehand (the batch tool's
    // option), so that it applies to a recording of eight or fewer too.
    virtual bool SignalsPreset() const { return false; }
    // Whose annotations become markers, among a record's annotators `names`
    // (`current` is in use): an index into `names`, or nothing to cancel the
    // open. Nobody there to ask keeps `current`.
    virtual std::optional<int> ChooseAnnotator(const std::vector<std::string>& names, int current) {
        (void)names;
        return current;
    }

    // The Time Base dialog, with one choice per samples-per-division entry
    // and `index` checked: the index chosen with OK.
    virtual std::optional<int32_t> TimeBaseDialog(std::span<const int32_t> samplesPerDivision,
                                                  int32_t index) {
        (void)samplesPerDivision, (void)index;
        return std::nullopt;
    }
    // The Configure dialog over `dialog`, centred on a screen of the given
    // size; true when it ended with OK.
    virtual bool ConfigureDialog(DialogModel& dialog, int32_t screenWidth, int32_t screenHeight) {
        (void)dialog, (void)screenWidth, (void)screenHeight;
        return false;
    }

    // Data Channels: channels 1 to 8 to save or append, all ticked at first.
    // It has no Cancel: closing it keeps the ticks as they are.
    virtual std::array<bool, 8> ChannelSelectDialog() {
        return {true, true, true, true, true, true, true, true};
    }
    // The same with only the recording's first `channelCount` channels ticked at first.
    virtual std::array<bool, 8> ChannelSelectDialogFor(int channelCount) {
        (void)channelCount;
        return ChannelSelectDialog();
    }
    // Signal Amplitude: the eight values until OK.
    virtual void AmplitudeDialog(const std::array<int32_t, 8>& values) { (void)values; }
    // The same with physical units: each channel's line as shown, and the
    // explanation under them; by default the plain dialog.
    virtual void PhysicalAmplitudeDialog(const std::array<int32_t, 8>& values,
                                         const std::array<std::string, 8>& lines,
                                         const std::string& explanation) {
        (void)lines;
        (void)explanation;
        AmplitudeDialog(values);
    }

    virtual void ProgressBegin(ProgressMode mode) { (void)mode; }
    virtual void ProgressEnd() {}

    virtual void SetCursor(CursorShape shape) { (void)shape; }

    virtual void SetTitle(std::string_view title) { (void)title; }
    virtual void SetViewMenuEnabled(bool enabled) { (void)enabled; }
    virtual void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) {
        (void)dots, (void)markers, (void)names, (void)timeHacks;
    }
    // The check mark of one menu command (a display toggle beyond the four above).
    virtual void SetCommandChecked(int32_t command, bool checked) { (void)command, (void)checked; }
    // The whole main window (view included) must be drawn again.
    virtual void InvalidateAll() {}

    // The help guide at `path` in the desktop's viewer.
    virtual void ShowHelp(const std::string& path) { (void)path; }
    // The About box, until the user closes it.
    virtual void ShowAbout() {}
    // Exit: the main window closes and the program ends.
    virtual void CloseMainWindow() {}

    // The printer object: the chosen printer and the print dialog's
    // settings, kept for the run. nullptr when there is none.
    virtual PrintSettings* Printer() { return nullptr; }
    // The print dialog over `settings`, which it updates; false: cancelled.
    virtual bool PrintDialog(PrintSettings& settings) {
        (void)settings;
        return false;
    }
    // A job named `title` on the chosen printer, with the "Printing" box;
    // nullptr, and why in `failure`, when it cannot start.
    virtual std::unique_ptr<PrintJob> BeginPrintJob(std::string_view title, PrintResult& failure) {
        (void)title;
        failure = PrintResult::Failed;
        return nullptr;
    }
    // The printer set-up dialog; its choices stay with the printer object.
    virtual void PrinterSetupDialog() {}
};

// The wait cursor and a progress box for one long operation, taken down by
// End (before a message box is shown) or at the end of the scope.
class BusyScope {
  public:
    BusyScope(Ui& ui, ProgressMode mode) : ui_(ui) {
        ui_.SetCursor(CursorShape::Wait);
        ui_.ProgressBegin(mode);
    }
    ~BusyScope() { End(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    // The box shows done / total as a whole percentage, told only when it changes.
    void Progress(uint64_t done, uint64_t total) {
        if (total == 0) return;
        const int percent = static_cast<int>(std::min<uint64_t>(done * 100 / total, 100));
        if (percent != percent_) ui_.ProgressSet(percent_ = percent);
    }
    void End() {
        if (!on_) return;
        on_ = false;
        ui_.ProgressEnd();
        ui_.SetCursor(CursorShape::View);
    }

  private:
    Ui& ui_;
    bool on_ = true;
    int percent_ = 0;
};

}  // namespace koru
