#pragma once
// Runs the main window's commands by number on the session and the Signal
// view, asking the user through the Ui port. The window only forwards the
// number, so every command can be driven from a test.

#include <cstdint>
#include <optional>

#include "app/Commands.h"
#include "app/Session.h"
#include "view/SignalView.h"

namespace koru {

class CommandRunner {
  public:
    CommandRunner(Session& session, SignalView& view) : session_(session), view_(view) {}

    // Numbers that are no command do nothing.
    void Run(int32_t command);
    void Run(Cmd command) { Run(static_cast<int32_t>(command)); }

    // What the enable rules read, as things stand now.
    EnableState Enables() const;
    bool IsEnabled(int32_t command) const { return IsCommandEnabled(command, Enables()); }
    // The check mark of a command that has one kept here (IsCheckCommand).
    std::optional<bool> Checked(int32_t command) const;
    // Whether the heart-rate strip is to be shown above the traces.
    bool RateStripShown() const { return rateStrip_; }

  private:
    bool RunFileCommand(Cmd command);
    bool RunViewCommand(Cmd command);
    void Toggle(uint8_t& flag);
    void Filter(Cmd command);
    void About();

    Session& session_;
    SignalView& view_;
    bool rateStrip_ = false;
};

}  // namespace koru
