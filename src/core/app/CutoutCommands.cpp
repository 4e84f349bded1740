#include "app/CutoutCommands.h"

#include "app/Commands.h"
#include "export/Amplitude.h"

namespace koru {

namespace {

// The lead names the layout gives channels 1 to 8; empty where it gives none.
std::array<std::string, 8> LayoutLabels(const ChannelModel& model) {
    std::array<std::string, 8> labels;
    for (std::size_t c = 0; c < labels.size(); ++c) {
        const ChannelRecord& rec = model.current[c];
        if (rec.LeadName != 0 && ValidLeadName(rec.LeadName))
            labels[c] = model.leadNames.Name(rec.LeadName);
    }
    return labels;
}

void WriteCutout(Session& session, const Cutout& cutout, const std::string& path, SaveMode mode) {
    Ui& ui = session.ui();
    SaveRequest request;
    request.path = path;
    request.mode = mode;
    request.channels.selected = ui.ChannelSelectDialogFor(session.document().Header().ChannelCount);
    request.labels = LayoutLabels(session.channels());
    if (cutout.Span() < 1) return;
    const SaveOutcome outcome = [&] {
        const BusyScope busy(ui, ProgressMode::Writing);
        return SaveCutout(session.document(), cutout, request, ui);
    }();
    if (!outcome.Ok())
        ui.ShowMessage(MessageOwner::None, outcome.message, outcome.title, MessageIcon::Stop);
}

}  // namespace

void SaveCutoutCommand(Session& session, const Cutout& cutout, SaveMode mode) {
    Ui& ui = session.ui();
    const bool append = mode == SaveMode::Append;
    const StatusMessageScope status(ui, append ? Cmd::AppendTo : Cmd::SaveAs, session.idleStatus());
    const std::optional<FileDialogAnswer> answer =
        ui.SaveFileDialog(append ? session.appendSetup : session.saveSetup);
    if (!answer) return;
    if (append && IsDisplayedRecording(session.document(), answer->path)) {
        ui.ShowMessage(MessageOwner::None, "Cannot append to the currently displayed file!",
                       "Append Error", MessageIcon::Stop);
        return;
    }
    WriteCutout(session, cutout, answer->path, mode);
}

void MeasureAmplitudeCommand(Session& session, const Cutout& cutout) {
    Ui& ui = session.ui();
    const StatusMessageScope status(ui, Cmd::MeasureAmplitude, session.idleStatus());
    ui.SetCursor(CursorShape::Wait);
    const Amplitudes values = MeasureAmplitudes(session.document(), cutout);
    ui.SetCursor(CursorShape::View);
    if (!session.settings().units) {
        ui.AmplitudeDialog(values);
        return;
    }
    std::array<std::string, 8> lines;
    bool scaled = false;
    for (std::size_t c = 0; c < lines.size(); ++c) {
        const ChannelScale scale = ScaleOf(session.document(), c);
        scaled = scaled || scale.Known();
        lines[c] = AmplitudeUnitLine(static_cast<int>(c + 1), values[c], scale);
    }
    ui.PhysicalAmplitudeDialog(values, lines,
                               scaled ? kAmplitudeUnitExplanation : kAmplitudeExplanation);
}

}  // namespace koru
