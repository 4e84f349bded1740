#pragma once
// Every command of the main window in one table: its number, menu text,
// hint, the status-bar message while it runs and when it is enabled. The
// menu bar and the tool bar are described here as data so the window layer
// only builds what this file says.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace koru {

class Ui;

// Command numbers as the menu items and tool-bar buttons send them.
enum class Cmd : int32_t {
    SaveMarkers = 11842,
    Open = 24332,
    SaveAs = 24333,
    AppendTo = 24334,
    Convert = 24335,
    Print = 24337,
    PrinterSetup = 24339,
    Exit = 24340,
    Configure = 24341,
    TimeBase = 24343,
    ToggleDots = 24344,
    ToggleMarkers = 24345,
    ToggleNames = 24346,
    ToggleTimeHacks = 24347,
    Help = 24349,
    About = 24354,
    PopChannelNames = 24355,  // tool bar only
    MeasureAmplitude = 24356,
    // Display filters, one of each group at a time; choosing the checked one turns it off.
    HighPass005 = 24371,
    HighPass05 = 24372,
    Notch50 = 24373,
    Notch60 = 24374,
    LowPass40 = 24375,
    LowPass100 = 24376,
    LowPass150 = 24377,
    DetectBeats = 24378,
    ToggleRateStrip = 24379,
    ExportAnnotations = 24380,
    ToggleAnnotationLabels = 24381,
    ToggleAnnotationTable = 24382,  // the window's dock; the runner has nothing to do
    NextAnnotation = 24383,
    PreviousAnnotation = 24384,
};

// Commands whose menu item carries a check mark that the runner keeps
// (CommandRunner::Checked), besides the four display toggles.
bool IsCheckCommand(Cmd cmd);

// Popups carry their hint under their first item's number minus one.
inline constexpr int32_t kFilePopupId = 24331;
inline constexpr int32_t kViewPopupId = 24342;
inline constexpr int32_t kHelpPopupId = 24348;

// Distinct from any name the application object may keep for its copy.
inline constexpr std::string_view kIdleStatusMessage =
    "Select \"FILE\\OPEN\" to view a new signal file.";

enum class EnableRule {
    Always,
    IsOpen,          // a recording is open
    HasMarkers,      // the Marker list is not empty
    TwoTags,         // both tags are set
    HasAnnotations,  // the annotation list is not empty
};

struct CommandInfo {
    Cmd cmd;
    std::string_view menuText;       // empty: not on the menu
    std::string_view hint;           // shown in the status bar while highlighted
    std::string_view statusMessage;  // empty: the command leaves the status bar alone
    EnableRule rule;
};

struct PopupInfo {
    int32_t id;
    std::string_view menuText;
    std::string_view hint;
    EnableRule rule;
};

// All commands, in menu order, the tool-bar-only command last.
std::span<const CommandInfo> Commands();
// nullptr for a number that is no command.
const CommandInfo* FindCommand(int32_t id);
inline const CommandInfo* FindCommand(Cmd cmd) {
    return FindCommand(static_cast<int32_t>(cmd));
}

std::span<const PopupInfo> Popups();
const PopupInfo* FindPopup(int32_t id);

// The hint for a command or popup number; empty when there is none.
std::string_view HintFor(int32_t id);

// --- Menu bar ---------------------------------------------------------------

struct MenuEntry {
    bool separator;
    Cmd cmd;       // meaningless for a separator
    bool checked;  // initial check mark
};

struct MenuBarItem {
    bool isPopup;  // false: a command directly on the bar
    int32_t id;    // popup id, or the command number
    std::string_view text;
    bool grayed;                         // initial state
    bool rightAligned;                   // pushed to the right end of the bar
    std::span<const MenuEntry> entries;  // empty for a bar command
};

std::span<const MenuBarItem> MenuBar();

// --- Tool bar ---------------------------------------------------------------

struct ToolBarItem {
    bool separator;
    Cmd cmd;         // meaningless for a separator
    int32_t bitmap;  // picture resource number; for a separator, its width in units
};

std::span<const ToolBarItem> ToolBar();

// --- Enable rules -----------------------------------------------------------

struct EnableState {
    bool isOpen = false;
    int32_t markerCount = 0;
    int32_t tagCount = 0;
    std::size_t annotationCount = 0;
};

bool IsRuleMet(EnableRule rule, const EnableState& s);
// Commands and popups; any other number is always enabled.
bool IsCommandEnabled(int cmd, const EnableState& s);
inline bool IsCommandEnabled(Cmd cmd, const EnableState& s) {
    return IsCommandEnabled(static_cast<int>(cmd), s);
}

// --- Status-bar protocol ----------------------------------------------------

// Shows a command's message for as long as the command runs and puts the
// idle text back however it ends (return, cancel, exception). A command
// without a message leaves the status bar untouched on both ends.
class StatusMessageScope {
  public:
    StatusMessageScope(Ui& ui, int32_t cmd, std::string_view idleText);
    StatusMessageScope(Ui& ui, Cmd cmd, std::string_view idleText)
        : StatusMessageScope(ui, static_cast<int32_t>(cmd), idleText) {}
    ~StatusMessageScope();

    StatusMessageScope(const StatusMessageScope&) = delete;
    StatusMessageScope& operator=(const StatusMessageScope&) = delete;

    bool Shown() const { return shown_; }

  private:
    Ui& ui_;
    std::string idleText_;
    bool shown_ = false;
};

}  // namespace koru
