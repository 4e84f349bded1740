#include "app/AnnotationCommands.h"

#include "app/Commands.h"
#include "app/MarkerCommands.h"
#include "export/AnnotationWriter.h"

namespace koru {

bool ExportAnnotationsCommand(Session& session) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::ExportAnnotations, session.idleStatus());
    const SignalDocument& doc = session.document();
    if (!doc.IsOpen()) return false;
    session.annotationSetup.fileName = MarkerNameProposal(session.openSetup.fileName);
    const std::optional<FileDialogAnswer> answer = ui.SaveFileDialog(session.annotationSetup);
    if (!answer) return false;
    std::string reason;
    if (!WriteAnnotationCsv(answer->path, doc.Annotations(), doc.Clock(), &reason)) {
        ui.ShowMessage(MessageOwner::MainWindow, CannotWriteAnnotationsText(answer->path, reason),
                       "Error", MessageIcon::Stop);
        return false;
    }
    return true;
}

std::string NoAnnotationText(bool forward, const std::string& label) {
    std::string text = forward ? "No annotation after this one" : "No annotation before this one";
    if (!label.empty()) text += " labelled \"" + label + "\"";
    return text + ".";
}

void StepAnnotationCommand(Session& session, SignalView& view, bool forward) {
    if (!view.StepAnnotation(forward, session.annotationLabel))
        session.ui().SetStatusText(NoAnnotationText(forward, session.annotationLabel));
}

}  // namespace koru
