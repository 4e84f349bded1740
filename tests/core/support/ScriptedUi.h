#pragma once
// A Ui that answers from queued answers and records everything shown, so
// commands can be driven and checked without a window.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace koru::test {

struct ShownMessage {
    MessageOwner owner;
    std::string text;
    std::string title;
    MessageIcon icon;
};

// What the user picks in the print dialog.
struct PrintAnswer {
    PageChoice choice = PageChoice::Selection;
    int32_t from = 1;
    int32_t to = 1;
    int32_t copies = 1;
    bool collate = true;
};

class ScriptedUi : public Ui {
  public:
    // Queued answers; an empty queue (or an empty answer) is "cancel", an
    // answer with an empty path accepts the name the dialog proposed, and
    // the Read Binary dialog answers its defaults.
    std::deque<std::optional<FileDialogAnswer>> fileAnswers;
    std::deque<ReadBinaryAnswer> readBinaryAnswers;
    // Time Base answers (empty: Cancel).
    std::deque<std::optional<int32_t>> timeBaseAnswers;
    // Each Configure dialog runs the next script over its model and ends
    // with OK when the script says true; no script left is Cancel.
    std::deque<std::function<bool(DialogModel&)>> configureScripts;
    std::deque<std::array<bool, 8>> channelAnswers;  // empty: all eight ticked
    int channelDialogs = 0;
    std::vector<std::array<int32_t, 8>> amplitudesShown;
    // The lines and explanation of the dialog with physical units.
    std::vector<std::array<std::string, 8>> amplitudeLinesShown;
    std::string amplitudeExplanation;
    std::deque<Reply> replies;  // Yes / No / Cancel questions; empty: Cancel
    // Signals dialog answers (indexes into the offered signals; an empty
    // answer cancels); no answer left takes what was ticked at first.
    std::deque<std::optional<std::vector<int>>> signalAnswers;
    std::vector<std::vector<SignalChoice>> signalsShown;
    // The annotator choice: answers in order (nothing: cancel), and the names offered.
    std::deque<std::optional<int>> annotatorAnswers;
    std::vector<std::vector<std::string>> annotatorsShown;

    // What was shown.
    std::string status;
    std::vector<std::string> statusHistory;
    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;
    std::map<Field, std::string> fields;
    std::string title;
    bool viewMenuEnabled = false;
    bool checks[4] = {true, true, true, true};
    int toggleSyncs = 0;
    std::vector<int> progress;  // every percentage shown
    int progressBegins = 0;
    int progressEnds = 0;
    bool progressOpen = false;
    std::vector<CursorShape> cursors;
    int invalidations = 0;
    int readBinaryCalls = 0;
    std::vector<FileDialogSetup> dialogsShown;
    std::vector<std::string> helpShown;
    std::vector<std::string> aboutStatus;  // the status text while each About box was up
    int closeRequests = 0;
    struct TimeBaseShown {
        std::vector<int32_t> entries;
        int32_t index;
    };
    std::vector<TimeBaseShown> timeBaseShown;
    std::vector<std::pair<int32_t, int32_t>> configureScreens;  // screen of each Configure

    // Printing: the printer object (none without hasPrinter), the print
    // dialog's answers (an empty queue or answer cancels) and what starts
    // a job (nothing: the job cannot start).
    bool hasPrinter = true;
    PrintSettings printer;
    std::deque<std::optional<PrintAnswer>> printAnswers;
    std::vector<PrintSettings> printDialogsShown;  // as each dialog opened
    std::function<std::unique_ptr<PrintJob>(std::string_view title, PrintResult& failure)> startJob;
    std::vector<std::string> printerSetupStatus;  // the status text while each set-up was up

    void SetStatusText(std::string_view text) override {
        status = text;
        statusHistory.emplace_back(text);
    }
    void ShowMessage(MessageOwner owner, std::string_view text, std::string_view t,
                     MessageIcon icon) override {
        messages.push_back({owner, std::string(text), std::string(t), icon});
    }
    Reply AskYesNoCancel(MessageOwner owner, std::string_view text, std::string_view t,
                         MessageIcon icon) override {
        questions.push_back({owner, std::string(text), std::string(t), icon});
        if (replies.empty()) return Reply::Cancel;
        const Reply r = replies.front();
        replies.pop_front();
        return r;
    }
    std::optional<FileDialogAnswer> OpenFileDialog(FileDialogSetup& setup) override {
        return NextFile(setup);
    }
    std::optional<FileDialogAnswer> SaveFileDialog(FileDialogSetup& setup) override {
        return NextFile(setup);
    }
    ReadBinaryAnswer ReadBinary() override {
        ++readBinaryCalls;
        if (readBinaryAnswers.empty()) return {};
        ReadBinaryAnswer a = readBinaryAnswers.front();
        readBinaryAnswers.pop_front();
        return a;
    }
    std::optional<std::vector<int>> ChooseSignals(const std::vector<SignalChoice>& offered,
                                                  const std::vector<int>& ticked) override {
        signalsShown.push_back(offered);
        if (signalAnswers.empty()) return ticked;
        std::optional<std::vector<int>> a = signalAnswers.front();
        signalAnswers.pop_front();
        return a;
    }
    std::optional<int> ChooseAnnotator(const std::vector<std::string>& names,
                                       int current) override {
        annotatorsShown.push_back(names);
        if (annotatorAnswers.empty()) return current;
        const std::optional<int> a = annotatorAnswers.front();
        annotatorAnswers.pop_front();
        return a;
    }
    std::optional<int32_t> TimeBaseDialog(std::span<const int32_t> spd, int32_t index) override {
        timeBaseShown.push_back({{spd.begin(), spd.end()}, index});
        if (timeBaseAnswers.empty()) return std::nullopt;
        std::optional<int32_t> a = timeBaseAnswers.front();
        timeBaseAnswers.pop_front();
        return a;
    }
    bool ConfigureDialog(DialogModel& dialog, int32_t w, int32_t h) override {
        configureScreens.emplace_back(w, h);
        if (configureScripts.empty()) return false;
        std::function<bool(DialogModel&)> script = std::move(configureScripts.front());
        configureScripts.pop_front();
        return script(dialog);
    }
    std::array<bool, 8> ChannelSelectDialog() override {
        ++channelDialogs;
        if (channelAnswers.empty()) return Ui::ChannelSelectDialog();
        const std::array<bool, 8> a = channelAnswers.front();
        channelAnswers.pop_front();
        return a;
    }
    void AmplitudeDialog(const std::array<int32_t, 8>& values) override {
        amplitudesShown.push_back(values);
    }
    void PhysicalAmplitudeDialog(const std::array<int32_t, 8>& values,
                                 const std::array<std::string, 8>& lines,
                                 const std::string& explanation) override {
        amplitudesShown.push_back(values);
        amplitudeLinesShown.push_back(lines);
        amplitudeExplanation = explanation;
    }
    void ProgressBegin(ProgressMode) override {
        ++progressBegins;
        progressOpen = true;
    }
    void ProgressSet(int percent) override { progress.push_back(percent); }
    void ProgressEnd() override {
        ++progressEnds;
        progressOpen = false;
    }
    void SetCursor(CursorShape shape) override { cursors.push_back(shape); }
    void SetField(Field field, std::string_view text) override { fields[field] = text; }
    void SetTitle(std::string_view t) override { title = t; }
    void SetViewMenuEnabled(bool enabled) override { viewMenuEnabled = enabled; }
    void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) override {
        checks[0] = dots;
        checks[1] = markers;
        checks[2] = names;
        checks[3] = timeHacks;
        ++toggleSyncs;
    }
    void InvalidateAll() override { ++invalidations; }
    void ShowHelp(const std::string& path) override { helpShown.push_back(path); }
    void ShowAbout() override { aboutStatus.push_back(status); }
    void CloseMainWindow() override { ++closeRequests; }
    PrintSettings* Printer() override { return hasPrinter ? &printer : nullptr; }
    bool PrintDialog(PrintSettings& settings) override {
        printDialogsShown.push_back(settings);
        if (printAnswers.empty()) return false;
        const std::optional<PrintAnswer> a = printAnswers.front();
        printAnswers.pop_front();
        if (!a) return false;
        settings.choice = a->choice;
        settings.fromPage = a->from;
        settings.toPage = a->to;
        settings.copies = a->copies;
        settings.collate = a->collate;
        return true;
    }
    std::unique_ptr<PrintJob> BeginPrintJob(std::string_view jobTitle,
                                            PrintResult& failure) override {
        failure = PrintResult::Failed;
        return startJob ? startJob(jobTitle, failure) : nullptr;
    }
    void PrinterSetupDialog() override { printerSetupStatus.push_back(status); }

  private:
    std::optional<FileDialogAnswer> NextFile(FileDialogSetup& setup) {
        dialogsShown.push_back(setup);
        if (fileAnswers.empty()) return std::nullopt;
        std::optional<FileDialogAnswer> a = fileAnswers.front();
        fileAnswers.pop_front();
        if (a && a->path.empty()) a->path = setup.fileName;
        if (a) setup.fileName = a->path;
        return a;
    }
};

}  // namespace koru::test
