#include "app/ConfigureCommand.h"

#include <filesystem>

#include "app/Commands.h"
#include "app/ReadSettings.h"
#include "config/CfgFile.h"

namespace koru {

namespace {

constexpr const char* kCfgFilter = "Configuration files (*.cfg)|*.cfg|";
constexpr const char* kCfgExt = "cfg";
constexpr const char* kSelectError = "File Select Error";

// Creation of the dialog starts from the configuration in force.
ChannelConfig& FreshWorkingCopy(ChannelModel& channels) {
    channels.CopyCurrentToWorking();
    return channels.working;
}

}  // namespace

ConfigureDialogModel::ConfigureDialogModel(Session& session)
    : ConfigureForm(FreshWorkingCopy(session.channels()), session.channels().leadNames,
                    session.channels().colors),
      session_(session),
      loadDir_(LoadConfFolder(session)),
      loadSetup_(MakeFileDialogSetup(
          OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR, kCfgFilter,
          kCfgExt, loadDir_)),
      saveSetup_(MakeFileDialogSetup(
          OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT, kCfgFilter,
          kCfgExt, session.programDir())) {}

void ConfigureDialogModel::Click(int control) {
    switch (control) {
        case configure_ctl::kLoadConf:
            LoadConf();
            return;
        case configure_ctl::kSaveConf:
            SaveConf();
            return;
        case configure_ctl::kMakeDefault:
            MakeDefault();
            return;
        case configure_ctl::kLoadDefault:
            LoadDefault();
            return;
        default:
            ConfigureForm::Click(control);
            return;
    }
}

void ConfigureDialogModel::LoadConf() {
    Ui& ui = session_.ui();
    const std::optional<FileDialogAnswer> answer = ui.OpenFileDialog(loadSetup_);
    if (!answer) return;
    if (answer->extensionDifferent) {
        ui.ShowMessage(MessageOwner::Dialog, "Can only load a \".cfg\" file.", kSelectError,
                       MessageIcon::Stop);
        return;
    }
    if (!LoadConfigFile(answer->path, working())) {
        ui.ShowMessage(MessageOwner::Dialog, "Cannot open configuration file: " + answer->path,
                       kSelectError, MessageIcon::Stop);
        return;
    }
    Show();
}

void ConfigureDialogModel::SaveConf() {
    Ui& ui = session_.ui();
    const std::optional<FileDialogAnswer> answer = ui.SaveFileDialog(saveSetup_);
    if (!answer) return;
    if (answer->extensionDifferent) {
        ui.ShowMessage(MessageOwner::Dialog, "Can only save a \".cfg\" file.", kSelectError,
                       MessageIcon::Stop);
        return;
    }
    std::string error;
    if (!SaveConfigFile(answer->path, working(), &error)) {
        ui.ShowMessage(MessageOwner::Dialog,
                       "Cannot write configuration file: " + answer->path + "\n" + error,
                       "File Save Error", MessageIcon::Stop);
    }
}

void ConfigureDialogModel::MakeDefault() {
    if (!WriteDefaultConfig(session_.settingsPath(), working())) {
        session_.ui().ShowMessage(
            MessageOwner::Dialog,
            std::string(kAppTitle) + " -- Cannot write settings file: " + session_.settingsPath(),
            "WARNING", MessageIcon::Exclamation);
    }
}

void ConfigureDialogModel::LoadDefault() {
    ReadDefaultConfig(session_.settingsPath(), session_.channels().current, working());
    Show();
}

std::string LoadConfFolder(const Session& session) {
    namespace fs = std::filesystem;
    const std::string& examples = session.examplesDir();
    std::error_code ec;
    if (examples.empty() || !fs::is_directory(examples, ec) ||
        fs::is_directory(session.settings().sigPath, ec))
        return session.programDir();
    for (const fs::directory_entry& e : fs::directory_iterator(session.programDir(), ec)) {
        if (HasCfgExtension(e.path())) return session.programDir();
    }
    return examples;
}

void RunConfigureCommand(Session& session, SignalView& view) {
    StatusMessageScope status(session.ui(), Cmd::Configure, session.idleStatus());
    ConfigureDialogModel dialog(session);
    const ScreenGeometry& screen = session.geometry();
    if (!session.ui().ConfigureDialog(dialog, screen.ScreenWidth, screen.ScreenHeight)) return;
    session.channels().CopyWorkingToCurrent();
    // What was set here is what the user wants to see, over a recording's own layout.
    session.channels().recording.reset();
    view.InvalidateAll();
}

}  // namespace koru
