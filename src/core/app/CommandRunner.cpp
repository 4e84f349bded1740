#include "app/CommandRunner.h"

#include "app/AnnotationCommands.h"
#include "app/ConfigureCommand.h"
#include "app/ConvertCommand.h"
#include "app/CutoutCommands.h"
#include "app/DetectBeatsCommand.h"
#include "app/MarkerCommands.h"
#include "app/PrintCommand.h"
#include "app/TimeBaseCommand.h"

namespace koru {
namespace {

// Which setting a filter command sets, and to what.
struct FilterChoice {
    Cmd cmd;
    double DisplayFilterSettings::*setting;
    double hz;
};
constexpr FilterChoice kFilterChoices[] = {
    {Cmd::HighPass005, &DisplayFilterSettings::highPass, 0.05},
    {Cmd::HighPass05, &DisplayFilterSettings::highPass, 0.5},
    {Cmd::Notch50, &DisplayFilterSettings::notch, 50},
    {Cmd::Notch60, &DisplayFilterSettings::notch, 60},
    {Cmd::LowPass40, &DisplayFilterSettings::lowPass, 40},
    {Cmd::LowPass100, &DisplayFilterSettings::lowPass, 100},
    {Cmd::LowPass150, &DisplayFilterSettings::lowPass, 150},
};

const FilterChoice* FilterChoiceOf(int32_t command) {
    for (const FilterChoice& c : kFilterChoices)
        if (static_cast<int32_t>(c.cmd) == command) return &c;
    return nullptr;
}

}  // namespace

std::optional<bool> CommandRunner::Checked(int32_t command) const {
    if (command == static_cast<int32_t>(Cmd::ToggleRateStrip)) return rateStrip_;
    if (const FilterChoice* c = FilterChoiceOf(command))
        return view_.DisplayFilter().*(c->setting) == c->hz;
    return std::nullopt;
}

void CommandRunner::Filter(Cmd command) {
    const FilterChoice* c = FilterChoiceOf(static_cast<int32_t>(command));
    DisplayFilterSettings next = view_.DisplayFilter();
    // One cut-off of a kind at a time; choosing the one that is on turns it off.
    next.*(c->setting) = next.*(c->setting) == c->hz ? 0 : c->hz;
    std::string why;
    if (!view_.SetDisplayFilter(next, &why))
        session_.ui().ShowMessage(MessageOwner::View, why, "Display Filter",
                                  MessageIcon::Exclamation);
}

EnableState CommandRunner::Enables() const {
    const SignalDocument& doc = session_.document();
    return EnableState{doc.IsOpen(), doc.Markers().Count(), view_.TagCount(),
                       doc.Annotations().Count()};
}

void CommandRunner::Run(int32_t command) {
    const auto cmd = static_cast<Cmd>(command);
    // Every command sees the whole lists, whatever it reads.
    session_.CompleteAnnotations();
    if (RunFileCommand(cmd) || RunViewCommand(cmd) || FindCommand(command) == nullptr) return;
    // Not built yet: the command still shows its message and gives the idle
    // text back, so no menu item is dead.
    StatusMessageScope scope(session_.ui(), command, session_.idleStatus());
}

// The File menu's commands and the window's own: false for any other.
bool CommandRunner::RunFileCommand(Cmd command) {
    switch (command) {
        case Cmd::Open:
            OpenCommandKeepingMarkers(session_);
            return true;
        case Cmd::SaveMarkers:
            SaveMarkersCommand(session_);
            return true;
        case Cmd::SaveAs:
            SaveCutoutCommand(session_, view_.CurrentCutout(), SaveMode::Replace);
            return true;
        case Cmd::AppendTo:
            SaveCutoutCommand(session_, view_.CurrentCutout(), SaveMode::Append);
            return true;
        case Cmd::MeasureAmplitude:
            MeasureAmplitudeCommand(session_, view_.CurrentCutout());
            return true;
        case Cmd::Convert:
            ConvertCommand(session_);
            return true;
        case Cmd::Print:
            PrintCommand(session_, view_);
            return true;
        case Cmd::PrinterSetup:
            PrinterSetupCommand(session_);
            return true;
        case Cmd::Exit:
            session_.ui().CloseMainWindow();
            return true;
        default:
            return false;
    }
}

// The View and Configure menus' commands, Help and About: false for any other.
bool CommandRunner::RunViewCommand(Cmd command) {
    Settings& s = session_.settings();
    switch (command) {
        case Cmd::ToggleDots:
            Toggle(s.dots);
            return true;
        case Cmd::ToggleMarkers:
            Toggle(s.markers);
            return true;
        case Cmd::ToggleNames:
            Toggle(s.names);
            return true;
        case Cmd::ToggleTimeHacks:
            Toggle(s.timeHacks);
            return true;
        case Cmd::ToggleAnnotationLabels:
            Toggle(s.annotationLabels);
            return true;
        case Cmd::ExportAnnotations:
            ExportAnnotationsCommand(session_);
            return true;
        case Cmd::NextAnnotation:
        case Cmd::PreviousAnnotation:
            StepAnnotationCommand(session_, view_, command == Cmd::NextAnnotation);
            return true;
        case Cmd::ToggleAnnotationTable:
            return true;  // the window shows and hides its dock itself
        case Cmd::Configure:
            RunConfigureCommand(session_, view_);
            return true;
        case Cmd::TimeBase:
            RunTimeBaseCommand(session_, view_);
            return true;
        case Cmd::PopChannelNames:
            view_.PopChannelNames();
            return true;
        case Cmd::Help:
            session_.ui().ShowHelp(session_.helpPath());
            return true;
        case Cmd::About:
            About();
            return true;
        case Cmd::HighPass005:
        case Cmd::HighPass05:
        case Cmd::Notch50:
        case Cmd::Notch60:
        case Cmd::LowPass40:
        case Cmd::LowPass100:
        case Cmd::LowPass150:
            Filter(command);
            return true;
        case Cmd::ToggleRateStrip:
            rateStrip_ = !rateStrip_;
            return true;
        case Cmd::DetectBeats:
            DetectBeatsCommand(session_, view_);
            return true;
        default:
            return false;
    }
}

void CommandRunner::Toggle(uint8_t& flag) {
    // Display toggles last for the run only; the settings file keeps its value.
    flag = flag ? 0 : 1;
    view_.InvalidateAll();
    session_.SyncToggleChecks();
}

void CommandRunner::About() {
    StatusMessageScope scope(session_.ui(), Cmd::About, session_.idleStatus());
    session_.ui().ShowAbout();
}

}  // namespace koru
