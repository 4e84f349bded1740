#include "app/MarkerCommands.h"

#include "app/Commands.h"
#include "export/MarkerWriter.h"
#include "signal/MarkerFile.h"

namespace koru {

std::string MarkerNameProposal(const std::string& openDialogName) {
    return openDialogName.empty() ? std::string() : CutExtension(openDialogName);
}

bool SaveMarkersCommand(Session& session) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::SaveMarkers, session.idleStatus());
    // The proposal replaces whatever this dialog remembered, every time.
    session.markerSetup.fileName = MarkerNameProposal(session.openSetup.fileName);
    const std::optional<FileDialogAnswer> answer = ui.SaveFileDialog(session.markerSetup);
    if (!answer) return false;
    MarkerList& markers = session.document().Markers();
    std::string reason;
    if (!WriteMarkerFile(answer->path, markers, &reason)) {
        ui.ShowMessage(MessageOwner::MainWindow, CannotWriteMarkersText(answer->path, reason),
                       "Error", MessageIcon::Stop);
        return false;
    }
    markers.MarkSaved();
    return true;
}

bool MayCloseRecording(Session& session) {
    const SignalDocument& doc = session.document();
    if (!doc.IsOpen() || !doc.Markers().Changed()) return true;
    const std::string question = "The markers of " + doc.FileName() + " were changed. Save them?";
    switch (session.ui().AskYesNoCancel(MessageOwner::MainWindow, question, kAppTitle,
                                        MessageIcon::Question)) {
        case Reply::Yes:
            return SaveMarkersCommand(session);
        case Reply::No:
            return true;
        case Reply::Cancel:
            return false;
    }
    return false;
}

void OpenCommandKeepingMarkers(Session& session) {
    if (MayCloseRecording(session)) session.OpenCommand();
}

}  // namespace koru
