#pragma once
// The application's state and the road from a file name to a shown recording:
// what the main window displays while a recording is open and the empty look
// when none is.

#include <string>
#include <vector>

#include "app/Settings.h"
#include "config/TimeBase.h"
#include "platform/Ui.h"
#include "signal/SignalDocument.h"

namespace koru {

// What the shell asks of the Signal view around an open.
class ViewControl {
public:
    virtual ~ViewControl() = default;
    // Before samples load: background from the settings, no lines or tags,
    // cut text updated, back to the start.
    virtual void PrepareForLoad() = 0;
    // The empty look: start position, no lines or tags, white, repainted.
    virtual void ResetView() = 0;
};

inline constexpr const char* kIdleStatusText = "Select \"FILE\\OPEN\" to view a new signal file.";
inline constexpr const char* kAppTitle = "KORU VIEW";

class Session {
public:
    explicit Session(Ui& ui);

    Ui& ui() { return ui_; }
    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    TimeBase& timeBase() { return timeBase_; }
    const TimeBase& timeBase() const { return timeBase_; }
    SignalDocument& document() { return doc_; }
    const SignalDocument& document() const { return doc_; }
    const std::string& idleStatus() const { return idleStatus_; }
    bool openedFromCommandLine() const { return openedFromCommandLine_; }

    void AttachView(ViewControl* view) { view_ = view; }

    // The six remembered file dialogs.
    FileDialogSetup openSetup, saveSetup, markerSetup, appendSetup, convertSourceSetup,
        convertTargetSetup;

    // After the settings were read: idle status text shown, and a file named
    // on the command line opened with its samples left for FinishStartUp.
    void StartUp(const std::vector<std::string>& fileArgs);
    // Once the windows exist: shows and loads the command-line recording.
    void FinishStartUp();

    void OpenCommand();
    void OpenRecording(const std::string& path, bool deferLoad);
    void ShowRecording(bool deferLoad);
    void ShowNoRecording();

private:
    void LoadSamples();
    void SyncToggleChecks();

    Ui& ui_;
    Settings settings_;
    TimeBase timeBase_;
    SignalDocument doc_;
    ViewControl* view_ = nullptr;
    std::string idleStatus_;
    std::string firstArg_;
    bool openedFromCommandLine_ = false;
};

}  // namespace koru
