#include "app/ConvertCommand.h"

#include "app/Commands.h"
#include "export/TextConvert.h"

namespace koru {

void ConvertCommand(Session& session) {
    Ui& ui = session.ui();
    // The idle text comes back afterwards, as after every other command.
    StatusMessageScope status(ui, Cmd::Convert, session.idleStatus());
    const std::optional<FileDialogAnswer> text = ui.OpenFileDialog(session.convertSourceSetup);
    if (!text) return;
    const std::optional<FileDialogAnswer> sig = ui.SaveFileDialog(session.convertTargetSetup);
    if (!sig) return;
    if (sig->extensionDifferent) {
        ui.ShowMessage(MessageOwner::None, "Can only convert \".txt\" to a \".sig\" file!",
                       "Output File Error", MessageIcon::Exclamation);
        return;
    }
    ConvertTextFile(text->path, sig->path, ui);
}

}  // namespace koru
