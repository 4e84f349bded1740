#pragma once
// The application's state and the road from a file name to a shown recording:
// what the main window displays while a recording is open and the empty look
// when none is.

#include <string>
#include <utility>
#include <vector>

#include "config/ChannelConfig.h"
#include "config/Settings.h"
#include "config/TimeBase.h"
#include "platform/Ui.h"
#include "signal/SignalDocument.h"
#include "view/Geometry.h"
#include "view/ViewContext.h"
#include "view/ViewControl.h"

namespace koru {

inline constexpr const char* kAppTitle = "KORU VIEW";

// Loads the open recording's samples with the wait cursor and the progress
// box (in memory mode), and warns when memory ran out.
LoadResult LoadRecording(SignalDocument& doc, Ui& ui);

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
    ChannelModel& channels() { return channels_; }
    const ChannelModel& channels() const { return channels_; }
    ScreenGeometry& geometry() { return geometry_; }
    const ScreenGeometry& geometry() const { return geometry_; }
    // What the Signal view may see of the application.
    ViewContext viewContext() {
        return ViewContext{doc_, settings_, channels_, timeBase_, geometry_, ui_};
    }
    // Where the settings file and the help guide live, fixed at start-up.
    void SetPaths(std::string settingsFile, std::string helpFile, std::string programDir) {
        settingsPath_ = std::move(settingsFile);
        helpPath_ = std::move(helpFile);
        programDir_ = std::move(programDir);
    }
    const std::string& settingsPath() const { return settingsPath_; }
    const std::string& helpPath() const { return helpPath_; }
    const std::string& programDir() const { return programDir_; }
    // Where the example recording and its configuration are; empty: nowhere known.
    void SetExamplesDir(std::string dir) { examplesDir_ = std::move(dir); }
    const std::string& examplesDir() const { return examplesDir_; }
    const std::string& idleStatus() const { return idleStatus_; }
    bool openedFromCommandLine() const { return openedFromCommandLine_; }

    void AttachView(ViewControl* view) { view_ = view; }

    // The six remembered file dialogs, and the annotation export's.
    FileDialogSetup openSetup, saveSetup, markerSetup, appendSetup, convertSourceSetup,
        convertTargetSetup, annotationSetup;
    // The label Next/Previous Annotation keep to; empty: any.
    std::string annotationLabel;

    // After the settings were read: idle status text shown, and a file named
    // on the command line opened with its samples left for FinishStartUp.
    void StartUp(const std::vector<std::string>& fileArgs);
    // Once the windows exist: shows and loads the command-line recording.
    void FinishStartUp();

    void OpenCommand();
    void OpenRecording(const std::string& path, bool deferLoad);
    // An open the user asked for in the window (the Open dialog, a dropped
    // file, the recent files): shown at once and, when it opened, put first
    // among the recent files.
    void OpenChosen(const std::string& path);
    // The recordings opened last, newest first (read at start-up).
    const std::vector<std::string>& recentFiles() const { return recentFiles_; }
    void ShowRecording(bool deferLoad);
    // Reads the annotations the open left for after the first screen, makes
    // them the markers and the annotation list, and repaints; a file found
    // broken is closed. Whatever reads markers or annotations calls it
    // first. False when nothing was pending.
    bool CompleteAnnotations();
    void ShowNoRecording();

    // The View menu's check marks from the four display settings.
    void SyncToggleChecks();

  private:
    void LoadSamples();
    std::vector<std::string> recentFiles_;

    Ui& ui_;
    Settings settings_;
    TimeBase timeBase_;
    ScreenGeometry geometry_;
    ChannelModel channels_;
    SignalDocument doc_;
    ViewControl* view_ = nullptr;
    std::string idleStatus_;
    std::string settingsPath_, helpPath_, programDir_, examplesDir_;
    bool openedFromCommandLine_ = false;
    bool completing_ = false;  // CompleteAnnotations under way
};

}  // namespace koru
