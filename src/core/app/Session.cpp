#include "app/Session.h"

#include "app/Commands.h"
#include "app/RecentFiles.h"
#include "signal/ForeignOpen.h"
#include "signal/OpenFlow.h"
#include "text/TimeText.h"
#include "view/RecordingLayout.h"

namespace koru {

namespace {
constexpr unsigned kOpenFlags =
    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
constexpr unsigned kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
constexpr unsigned kAppendFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                                  OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;
// Every kind the program opens first, so a recording of any kind shows at once.
constexpr const char* kSignalFilter =
    "All recordings (*.sig *.bin *.dat *.nib *.edf *.bdf *.gdf *.hea *.scp)|"
    "*.sig;*.bin;*.dat;*.nib;*.edf;*.bdf;*.gdf;*.hea;*.scp|"
    "Signal files (*.sig)|*.sig|Binary 12 bit files (*.bin)|*.bin|Binary 16 bit files "
    "(*.dat)|*.dat|Bigendian 12b files (*.nib)|*.nib|"
    "Other recordings (*.edf *.bdf *.gdf *.hea *.scp)|*.edf;*.bdf;*.gdf;*.hea;*.scp|";
constexpr const char* kSaveFilter =
    "Signal files (*.sig)|*.sig|Text files (*.txt)|*.txt|Binary 12 bit files (*.bin)|*.bin|"
    "Binary 16 bit files (*.dat)|*.dat|BigEndian 12b files (*.nib)|*.nib|"
    "EDF+ files (*.edf)|*.edf|BDF+ files (*.bdf)|*.bdf|CSV files (*.csv)|*.csv|";

}  // namespace

Session::Session(Ui& ui) : ui_(ui) {
    const std::string& dir = settings_.sigPath;
    openSetup = MakeFileDialogSetup(kOpenFlags, kSignalFilter, "sig", dir);
    saveSetup = MakeFileDialogSetup(kSaveFlags, kSaveFilter, "sig", dir);
    markerSetup = MakeFileDialogSetup(kSaveFlags, "Marker files (*.mrk)|*.mrk", "mrk", dir);
    annotationSetup = MakeFileDialogSetup(kSaveFlags, "CSV files (*.csv)|*.csv|", "csv", dir);
    annotationSetup.title = "Export Annotations";
    appendSetup = MakeFileDialogSetup(kAppendFlags, kSaveFilter, "sig", dir);
    convertSourceSetup = MakeFileDialogSetup(kOpenFlags, "Text files (*.txt)|*.txt|", "txt", dir);
    convertTargetSetup = MakeFileDialogSetup(kSaveFlags, "Signal files (*.sig)|*.sig|", "sig", dir);
    appendSetup.title = "Append To";
    convertSourceSetup.title = "Text file to Convert";
    convertTargetSetup.title = "Signal file to Create";
}

void Session::StartUp(const std::vector<std::string>& fileArgs) {
    doc_.SetFileBacked(settings_.fileMode != 0);
    openedFromCommandLine_ = !fileArgs.empty();
    idleStatus_ = kIdleStatusMessage;
    recentFiles_ = ReadRecentFiles(settingsPath_);
    ui_.SetStatusText(idleStatus_);
    if (openedFromCommandLine_) {
        OpenRecording(fileArgs.front(), true);
    }
}

void Session::FinishStartUp() {
    if (!openedFromCommandLine_) return;
    ui_.SetTitle(std::string(kAppTitle) + " -- " + doc_.FileName());
    ui_.SetViewMenuEnabled(true);
    SyncToggleChecks();
    LoadSamples();
    ui_.InvalidateAll();
}

void Session::OpenCommand() {
    StatusMessageScope status(ui_, Cmd::Open, idleStatus_);
    if (const std::optional<FileDialogAnswer> answer = ui_.OpenFileDialog(openSetup)) {
        if (!LoadableExtension(answer->path)) {
            ui_.ShowMessage(MessageOwner::None, RefusalText(), "File Select Error",
                            MessageIcon::Stop);
            if (doc_.IsOpen()) {
                doc_.Close();
                ShowNoRecording();
            }
        } else {
            // The dialog keeps the name as chosen: only the shown texts are
            // upper-cased, and on a case-sensitive system the upper-cased
            // name would be another file.
            openSetup.fileName = answer->path;
            OpenChosen(answer->path);
        }
    }
}

void Session::OpenRecording(const std::string& path, bool deferLoad) {
    // A long recording's annotations are read once its first screen is
    // shown (CompleteAnnotations).
    if (OpenSignalFile(doc_, path, ui_, true) != OpenOutcome::Opened) {
        ShowNoRecording();
        return;
    }
    // A foreign recording is shown as it is laid out in its file; the
    // program's own recordings keep the configured layout.
    channels_.recording.reset();
    if (const ForeignSource* source = doc_.Foreign())
        channels_.recording =
            MakeRecordingLayout(source->Signals(), doc_.ChosenSignals(), geometry_.ScreenHeight,
                                channels_.current, settings_.background);
    ShowRecording(deferLoad);
}

bool Session::CompleteAnnotations() {
    // The progress box lets the window paint, and a paint asks for this
    // again: the reading under way finishes them.
    if (completing_ || !doc_.AnnotationsPending()) return false;
    completing_ = true;
    const bool read = FinishForeignAnnotations(doc_, ui_);
    completing_ = false;
    if (read)
        ui_.InvalidateAll();
    else
        ShowNoRecording();
    return true;
}

void Session::OpenChosen(const std::string& path) {
    OpenRecording(path, false);
    if (!doc_.IsOpen()) return;
    recentFiles_ = WithRecentFile(std::move(recentFiles_), path);
    WriteRecentFiles(settingsPath_, recentFiles_);
}

void Session::ShowRecording(bool deferLoad) {
    const bool micro = settings_.timeResolution != 0;
    const int32_t frames = doc_.CountFrames();
    const SignalHeader& h = doc_.Header();
    ui_.SetField(Field::Length, FormatLength(frames, doc_.Clock(), micro));
    ui_.SetField(Field::Position, micro ? "00:00.000000" : "00:00.000");
    ui_.SetField(Field::SampPerDiv, std::to_string(timeBase_.Spd()));
    ui_.SetField(Field::Description, h.DescriptionDisplayText());
    ui_.SetField(Field::Frequency, FormatFrequency(doc_.Clock()));
    ui_.SetTitle(std::string(kAppTitle) + " -- " + doc_.FileName());
    SyncToggleChecks();
    if (!deferLoad) LoadSamples();
    ui_.SetViewMenuEnabled(true);
    ui_.InvalidateAll();
}

void Session::ShowNoRecording() {
    ui_.SetTitle(kAppTitle);
    doc_.Close();
    channels_.recording.reset();
    openedFromCommandLine_ = false;
    ui_.SetViewMenuEnabled(false);
    for (Field f : {Field::Cut, Field::Description, Field::Length, Field::Position,
                    Field::SampPerDiv, Field::Frequency})
        ui_.SetField(f, "");
    if (view_) view_->ResetView();
    ui_.InvalidateAll();
}

LoadResult LoadRecording(SignalDocument& doc, Ui& ui) {
    // Only a load into memory can take long enough for the box.
    const bool box = doc.LoadsWhole();
    if (box) {
        ui.SetCursor(CursorShape::Wait);
        ui.ProgressBegin(ProgressMode::Reading);
    }
    const LoadResult result = doc.Load(ui);
    if (!result.error.empty())
        ui.ShowMessage(MessageOwner::None, InvalidFileText(doc.FileName(), result.error), "Error",
                       MessageIcon::Stop);
    if (result.outOfMemory)
        ui.ShowMessage(MessageOwner::View, "Insufficient Memory to load complete file", "WARNING",
                       MessageIcon::Exclamation);
    if (box) {
        ui.SetCursor(CursorShape::View);
        ui.ProgressEnd();
    }
    return result;
}

void Session::LoadSamples() {
    if (view_) view_->PrepareForLoad();
    // A foreign file found broken halfway is not shown half.
    if (!LoadRecording(doc_, ui_).error.empty()) ShowNoRecording();
}

void Session::SyncToggleChecks() {
    ui_.SetToggleChecks(settings_.dots != 0, settings_.markers != 0, settings_.names != 0,
                        settings_.timeHacks != 0);
    ui_.SetCommandChecked(static_cast<int32_t>(Cmd::ToggleAnnotationLabels),
                          settings_.annotationLabels != 0);
}

}  // namespace koru
