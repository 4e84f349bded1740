#include "app/Commands.h"

#include <array>

#include "platform/Ui.h"

namespace koru {
namespace {

using R = EnableRule;

constexpr std::array kCommands{
    CommandInfo{Cmd::Open, "&Open...", "Retrieve a signal file from disk.",
                // Kept in the pieces it is joined from, one per accepted kind.
                "Select desired \"*.sig\""
                ", or \"*.bin\""
                ", or \"*.dat\""
                ", or \"*.nib\""
                " file. Then press \"OK\".",
                R::Always},
    CommandInfo{Cmd::SaveAs, "&Save As...", "Save cutout as a .SIG, .DAT, .BIN, or .TXT file.",
                "Select a file name and type. Select\"Ok\".", R::TwoTags},
    CommandInfo{Cmd::SaveMarkers, "Save Markers...", "Save Markers as *.MRK file.",
                "Select a marker file name and type. Select\"Ok\".", R::HasMarkers},
    CommandInfo{Cmd::AppendTo, "&Append To...", "Append cutout to existing file.",
                "Select file to append to.", R::TwoTags},
    CommandInfo{Cmd::Convert, "&Convert TXT to SIG...", "Convert text file to binary signal file.",
                "Select text file to convert.", R::Always},
    CommandInfo{Cmd::Print, "&Print", "Print all, selected, or range of pages.",
                "Data is being scaled and printed.", R::IsOpen},
    CommandInfo{Cmd::PrinterSetup, "P&rinter setup...", "Select printer options.",
                "Set desired printer configuration", R::IsOpen},
    CommandInfo{Cmd::ExportAnnotations, "Export A&nnotations...",
                "Save the annotation list as a CSV file (time, frame, label, text).",
                "Select a file name for the annotations. Select\"Ok\".", R::HasAnnotations},
    CommandInfo{Cmd::Exit, "E&xit", "Quit KORU VIEW.", "", R::Always},
    CommandInfo{Cmd::Configure, "&Configure", "Sets up NAME, POSITION, COLOR, and GAIN",
                "Set desired configuration. Then press \"OK\".", R::IsOpen},
    CommandInfo{Cmd::TimeBase, "&Time Base...", "Change samples per division",
                "Select desired time base", R::Always},
    CommandInfo{Cmd::MeasureAmplitude, "Measure &Amplitude",
                "Measure maximum signal amplitude between tags.",
                "Low to High differentials.  NOT milli-volts.", R::TwoTags},
    CommandInfo{Cmd::ToggleDots, "&Dots", "Toggle display of background dots", "", R::Always},
    CommandInfo{Cmd::ToggleMarkers, "&Markers", "Toggle display of existing measurement lines", "",
                R::Always},
    CommandInfo{Cmd::ToggleNames, "&Names", "Toggle display of all channel names", "", R::Always},
    CommandInfo{Cmd::ToggleTimeHacks, "Time&Hack", "Toggle display of time hacks.", "", R::Always},
    CommandInfo{Cmd::DetectBeats, "Detect &Beats", "Find the QRS complexes and mark them as beats",
                "Beats are being detected.", R::IsOpen},
    CommandInfo{Cmd::ToggleRateStrip, "Heart &Rate", "Toggle the heart-rate strip above the traces",
                "", R::Always},
    CommandInfo{Cmd::HighPass005, "High-pass 0.05 Hz", "Take out slow baseline wander as drawn", "",
                R::IsOpen},
    CommandInfo{Cmd::HighPass05, "High-pass 0.5 Hz", "Take out baseline wander as drawn", "",
                R::IsOpen},
    CommandInfo{Cmd::Notch50, "Notch 50 Hz", "Take out 50 Hz mains hum and its harmonics as drawn",
                "", R::IsOpen},
    CommandInfo{Cmd::Notch60, "Notch 60 Hz", "Take out 60 Hz mains hum and its harmonics as drawn",
                "", R::IsOpen},
    CommandInfo{Cmd::LowPass40, "Low-pass 40 Hz", "Smooth what is drawn above 40 Hz", "",
                R::IsOpen},
    CommandInfo{Cmd::LowPass100, "Low-pass 100 Hz", "Smooth what is drawn above 100 Hz", "",
                R::IsOpen},
    CommandInfo{Cmd::LowPass150, "Low-pass 150 Hz", "Smooth what is drawn above 150 Hz", "",
                R::IsOpen},
    CommandInfo{Cmd::ToggleAnnotationLabels, "Annotation &Labels",
                "Toggle display of annotation labels above the traces", "", R::Always},
    CommandInfo{Cmd::ToggleAnnotationTable, "Annotation &Table",
                "Show or hide the table of annotations", "", R::IsOpen},
    CommandInfo{Cmd::NextAnnotation, "Ne&xt Annotation",
                "Go to the next annotation (of the label chosen in the annotation table)", "",
                R::HasAnnotations},
    CommandInfo{Cmd::PreviousAnnotation, "&Previous Annotation",
                "Go to the previous annotation (of the label chosen in the annotation table)", "",
                R::HasAnnotations},
    CommandInfo{Cmd::Help, "&Help", "Displays help-system index", "", R::Always},
    CommandInfo{Cmd::About, "&About...", "Displays box about KORU VIEW",
                "Press Enter or click OK to close window", R::Always},
    CommandInfo{Cmd::PopChannelNames, "", "Pop channel names onto left edge of screen", "",
                R::IsOpen},
};

constexpr std::array kPopups{
    PopupInfo{kFilePopupId, "&File", "Open, Print or Quit.", R::Always},
    PopupInfo{kViewPopupId, "&View", "Toggle display of dots, markers, or names", R::IsOpen},
    PopupInfo{kHelpPopupId, "&Help", "Display help info or about box", R::Always},
};

constexpr MenuEntry Item(Cmd c, bool checked = false) {
    return MenuEntry{false, c, checked};
}
constexpr MenuEntry kSeparator{true, Cmd::Open, false};

constexpr std::array kFileEntries{
    Item(Cmd::Open),     Item(Cmd::SaveAs),  Item(Cmd::SaveMarkers),
    Item(Cmd::AppendTo), Item(Cmd::Convert), Item(Cmd::ExportAnnotations),
    kSeparator,          Item(Cmd::Print),   Item(Cmd::PrinterSetup),
    kSeparator,          Item(Cmd::Exit),
};

constexpr std::array kViewEntries{
    Item(Cmd::TimeBase),
    Item(Cmd::MeasureAmplitude),
    kSeparator,
    Item(Cmd::ToggleDots, true),
    Item(Cmd::ToggleMarkers, true),
    Item(Cmd::ToggleNames, true),
    Item(Cmd::ToggleTimeHacks, true),
    Item(Cmd::ToggleRateStrip),
    kSeparator,
    Item(Cmd::DetectBeats),
    kSeparator,
    Item(Cmd::HighPass005),
    Item(Cmd::HighPass05),
    Item(Cmd::Notch50),
    Item(Cmd::Notch60),
    Item(Cmd::LowPass40),
    Item(Cmd::LowPass100),
    Item(Cmd::LowPass150),
    kSeparator,
    Item(Cmd::ToggleAnnotationLabels, true),
    Item(Cmd::ToggleAnnotationTable),
    Item(Cmd::NextAnnotation),
    Item(Cmd::PreviousAnnotation),
};

constexpr std::array kHelpEntries{Item(Cmd::Help), kSeparator, Item(Cmd::About)};

constexpr std::array kMenuBar{
    MenuBarItem{true, kFilePopupId, "&File", false, false, kFileEntries},
    MenuBarItem{false, static_cast<int32_t>(Cmd::Configure), "&Configure", true, false, {}},
    MenuBarItem{true, kViewPopupId, "&View", true, false, kViewEntries},
    MenuBarItem{true, kHelpPopupId, "&Help", false, true, kHelpEntries},
};

constexpr ToolBarItem Button(int32_t bitmap, Cmd c) {
    return ToolBarItem{false, c, bitmap};
}

constexpr std::array kToolBar{
    Button(602, Cmd::Open),
    Button(603, Cmd::SaveAs),
    Button(604, Cmd::AppendTo),
    Button(610, Cmd::Print),
    Button(611, Cmd::Convert),
    Button(612, Cmd::PopChannelNames),
    Button(613, Cmd::MeasureAmplitude),
    ToolBarItem{true, Cmd::Open, 6},
    Button(600, Cmd::Exit),
    Button(601, Cmd::Help),
};

}  // namespace

bool IsCheckCommand(Cmd cmd) {
    const auto n = static_cast<int32_t>(cmd);
    return (n >= static_cast<int32_t>(Cmd::HighPass005) &&
            n <= static_cast<int32_t>(Cmd::LowPass150)) ||
           cmd == Cmd::ToggleRateStrip;
}

std::span<const CommandInfo> Commands() {
    return kCommands;
}

const CommandInfo* FindCommand(int32_t id) {
    for (const auto& c : kCommands) {
        if (static_cast<int32_t>(c.cmd) == id) return &c;
    }
    return nullptr;
}

std::span<const PopupInfo> Popups() {
    return kPopups;
}

const PopupInfo* FindPopup(int32_t id) {
    for (const auto& p : kPopups) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

std::string_view HintFor(int32_t id) {
    if (const auto* c = FindCommand(id)) return c->hint;
    if (const auto* p = FindPopup(id)) return p->hint;
    return {};
}

std::span<const MenuBarItem> MenuBar() {
    return kMenuBar;
}

std::span<const ToolBarItem> ToolBar() {
    return kToolBar;
}

bool IsRuleMet(EnableRule rule, const EnableState& s) {
    switch (rule) {
        case EnableRule::Always:
            return true;
        case EnableRule::IsOpen:
            return s.isOpen;
        case EnableRule::HasMarkers:
            return s.markerCount > 0;
        case EnableRule::TwoTags:
            return s.tagCount == 2;
        case EnableRule::HasAnnotations:
            return s.isOpen && s.annotationCount > 0;
    }
    return true;
}

bool IsCommandEnabled(int cmd, const EnableState& s) {
    if (const auto* c = FindCommand(cmd)) return IsRuleMet(c->rule, s);
    if (const auto* p = FindPopup(cmd)) return IsRuleMet(p->rule, s);
    return true;
}

StatusMessageScope::StatusMessageScope(Ui& ui, int32_t cmd, std::string_view idleText)
    : ui_(ui), idleText_(idleText) {
    const auto* c = FindCommand(cmd);
    if (c != nullptr && !c->statusMessage.empty()) {
        ui_.SetStatusText(c->statusMessage);
        shown_ = true;
    }
}

StatusMessageScope::~StatusMessageScope() {
    if (!shown_) return;
    // Runs during unwinding too; a failing status bar must not end the program.
    try {
        ui_.SetStatusText(idleText_);
    } catch (...) {
    }
}

}  // namespace koru
