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
// everything else keeps the port's defaults (dialogs cancelled, the Read
// Binary dialog's defaults).
class HeadlessUi : public Ui {
  public:
    std::vector<std::string> messages;
    // A stop or warning message was shown: what was made is not all that
    // was asked for.
    bool warned = false;

    void ShowMessage(MessageOwner, std::string_view text, std::string_view title,
                     MessageIcon icon) override {
        messages.push_back(std::string(title) + ": " + std::string(text));
        warned = warned || icon == MessageIcon::Stop || icon == MessageIcon::Exclamation;
    }
};

// Opens `file` in the session (settings and screen already in place), loads
// it and paints the view's buffer, which must already have its size: the
// first screen the window shows, before any annotations the open left
// pending. False when the recording could not be opened; the Ui was told why.
bool RenderFirstScreen(Session& session, SignalView& view, const std::string& file);

// The same, then the pending annotations read and the picture painted again
// with them: what the window shows once the open is complete.
bool RenderStartUpPicture(Session& session, SignalView& view, const std::string& file);

}  // namespace koru
