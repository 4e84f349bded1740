#include "app/CutoutCommands.h"

#include "app/Commands.h"
#include "export/Amplitude.h"
#include "export/SaveCutout.h"

namespace koru {

namespace {

// The progress box and the wait cursor for one save, gone again on every
// way out.
class WritingScope {
  public:
    explicit WritingScope(Ui& ui) : ui_(ui) {
        ui_.SetCursor(CursorShape::Wait);
        ui_.ProgressBegin(ProgressMode::Writing);
    }
    ~WritingScope() {
        ui_.ProgressEnd();
        ui_.SetCursor(CursorShape::View);
    }
    WritingScope(const WritingScope&) = delete;
    WritingScope& operator=(const WritingScope&) = delete;

  private:
    Ui& ui_;
};

void RunSave(Session& session, const SignalView& view, const std::string& path, SaveMode mode) {
    Ui& ui = session.ui();
    SaveRequest request;
    request.path = path;
    request.mode = mode;
    request.channels.selected = ui.ChannelSelectDialog();
    const Cutout cutout = view.CurrentCutout();
    if (cutout.Span() < 1) return;
    SaveOutcome outcome;
    if (mode == SaveMode::Append) outcome = CheckAppendTarget(session.document(), request);
    if (outcome.Ok()) {
        WritingScope writing(ui);
        outcome = SaveCutout(session.document(), cutout, request, ui);
    }
    if (!outcome.Ok()) ui.ShowMessage(MessageOwner::None, outcome.message, outcome.title, MessageIcon::Stop);
}

}  // namespace

void SaveAsCommand(Session& session, const SignalView& view) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::SaveAs, session.idleStatus());
    const std::optional<FileDialogAnswer> answer = ui.SaveFileDialog(session.saveSetup);
    if (!answer) return;
    RunSave(session, view, answer->path, SaveMode::Replace);
}

void AppendToCommand(Session& session, const SignalView& view) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::AppendTo, session.idleStatus());
    const std::optional<FileDialogAnswer> answer = ui.SaveFileDialog(session.appendSetup);
    if (!answer) return;
    RunSave(session, view, answer->path, SaveMode::Append);
}

void MeasureAmplitudeCommand(Session& session, const SignalView& view) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::MeasureAmplitude, session.idleStatus());
    ui.SetCursor(CursorShape::Wait);
    const Amplitudes values = MeasureAmplitudes(session.document(), view.CurrentCutout());
    ui.SetCursor(CursorShape::View);
    ui.AmplitudeDialog(values);
}

}  // namespace koru
