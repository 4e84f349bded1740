#pragma once
// A Ui that answers from queued answers and records everything shown, so
// commands can be driven and checked without a window.

#include <deque>
#include <map>
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

class ScriptedUi : public Ui {
  public:
    // Queued answers; an empty queue (or an empty answer) is "cancel", and
    // the Read Binary dialog answers its defaults.
    std::deque<std::optional<FileDialogAnswer>> fileAnswers;
    std::deque<ReadBinaryAnswer> readBinaryAnswers;
    std::deque<Reply> replies;  // Yes / No / Cancel questions; empty: Cancel

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

  private:
    std::optional<FileDialogAnswer> NextFile(FileDialogSetup& setup) {
        dialogsShown.push_back(setup);
        if (fileAnswers.empty()) return std::nullopt;
        std::optional<FileDialogAnswer> a = fileAnswers.front();
        fileAnswers.pop_front();
        if (a) setup.fileName = a->path;
        return a;
    }
};

}  // namespace koru::test
