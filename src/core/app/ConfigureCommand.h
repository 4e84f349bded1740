#pragma once
// The Configure command: the dialog edits a copy of the configuration in
// force, its four file buttons load and save that copy, and OK puts it in
// force.

#include <string>

#include "app/Session.h"
#include "config/ConfigureForm.h"
#include "platform/Ui.h"
#include "view/SignalView.h"

namespace koru {

// One Configure dialog's model, from its creation (the working copy taken
// from the current configuration) to its end. Its file dialogs live as long
// as it does.
class ConfigureDialogModel : public ConfigureForm {
  public:
    explicit ConfigureDialogModel(Session& session);

    // The channel buttons, and the four buttons for files and the default.
    void Click(int control) override;

    const FileDialogSetup& loadSetup() const { return loadSetup_; }
    const FileDialogSetup& saveSetup() const { return saveSetup_; }

  private:
    void LoadConf();
    void SaveConf();
    void MakeDefault();
    void LoadDefault();

    Session& session_;
    std::string loadDir_;  // before loadSetup_, which points at it
    FileDialogSetup loadSetup_;
    FileDialogSetup saveSetup_;
};

// Where Load Conf. starts: the settings folder, where Save Conf. keeps the
// user's configurations; but while it holds none and SIGPATH names no folder
// (a new user), beside the example recording, whose configuration is there.
std::string LoadConfFolder(const Session& session);

// Runs the dialog; OK puts the working configuration in force and repaints
// the whole view, any other end changes nothing.
void RunConfigureCommand(Session& session, SignalView& view);

}  // namespace koru
