#pragma once
// The view's picture of a recording without a window: the recording is
// opened as when it is named at start-up and the back buffer is painted.
// Used by the program's headless render and by tests.

#include <string>
#include <vector>

#include "app/Session.h"
#include "platform/Ui.h"
#include "view/SignalView.h"

namespace koru {

// A Ui with nobody in front of it: messages are collected for the caller,
// file dialogs are cancelled and the Read Binary dialog answers its defaults.
class HeadlessUi : public Ui {
  public:
    std::vector<std::string> messages;

    void SetStatusText(std::string_view) override {}
    void ShowMessage(MessageOwner, std::string_view text, std::string_view title,
                     MessageIcon) override {
        messages.push_back(std::string(title) + ": " + std::string(text));
    }
    FileDialogAnswer OpenFileDialog(FileDialogSetup&) override { return {}; }
    FileDialogAnswer SaveFileDialog(FileDialogSetup&) override { return {}; }
    ReadBinaryAnswer ReadBinary() override { return {}; }
    void ProgressBegin(ProgressMode) override {}
    void ProgressSet(int) override {}
    void ProgressEnd() override {}
    void SetCursor(CursorShape) override {}
    void SetField(Field, std::string_view) override {}
    void SetTitle(std::string_view) override {}
    void SetViewMenuEnabled(bool) override {}
    void SetToggleChecks(bool, bool, bool, bool) override {}
    void InvalidateAll() override {}
};

// Opens `file` in the session (settings and screen already in place), loads
// it and paints the view's buffer, which must already have its size. False
// when the recording could not be opened; the Ui was told why.
bool RenderStartUpPicture(Session& session, SignalView& view, const std::string& file);

}  // namespace koru
