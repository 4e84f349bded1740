#include "app/Commands.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ScriptedUi.h"
#include "support/ViewMenuTexts.h"

namespace koru {
namespace {

struct ExpectedCommand {
    int32_t id;
    const char* menu;
    const char* hint;
    const char* message;
};

// Typed out again from the command list, not copied from the table in code.
const ExpectedCommand kExpected[] = {
    {24332, "&Open...", "Retrieve a signal file from disk.",
     "Select desired \"*.sig\", or \"*.bin\", or \"*.dat\", or \"*.nib\" file. Then press "
     "\"OK\"."},
    {24333, "&Save As...", "Save cutout as a .SIG, .DAT, .BIN, or .TXT file.",
     "Select a file name and type. Select\"Ok\"."},
    {11842, "Save Markers...", "Save Markers as *.MRK file.",
     "Select a marker file name and type. Select\"Ok\"."},
    {24334, "&Append To...", "Append cutout to existing file.", "Select file to append to."},
    {24335, "&Convert TXT to SIG...", "Convert text file to binary signal file.",
     "Select text file to convert."},
    {24337, "&Print", "Print all, selected, or range of pages.",
     "Data is being scaled and printed."},
    {24339, "P&rinter setup...", "Select printer options.", "Set desired printer configuration"},
    {24340, "E&xit", "Quit KORU VIEW.", ""},
    {24341, "&Configure", "Sets up NAME, POSITION, COLOR, and GAIN",
     "Set desired configuration. Then press \"OK\"."},
    {24343, "&Time Base...", "Change samples per division", "Select desired time base"},
    {24356, "Measure &Amplitude", "Measure maximum signal amplitude between tags.",
     "Low to High differentials.  NOT milli-volts."},
    {24344, "&Dots", "Toggle display of background dots", ""},
    {24345, "&Markers", "Toggle display of existing measurement lines", ""},
    {24346, "&Names", "Toggle display of all channel names", ""},
    {24347, "Time&Hack", "Toggle display of time hacks.", ""},
    {24355, "", "Pop channel names onto left edge of screen", ""},
    {24380, "Export A&nnotations...",
     "Save the annotation list as a CSV file (time, frame, label, text).",
     "Select a file name for the annotations. Select\"Ok\"."},
    {24381, "Annotation &Labels", "Toggle display of annotation labels above the traces", ""},
    {24382, "Annotation &Table", "Show or hide the table of annotations", ""},
    {24383, "Ne&xt Annotation",
     "Go to the next annotation (of the label chosen in the annotation table)", ""},
    {24384, "&Previous Annotation",
     "Go to the previous annotation (of the label chosen in the annotation table)", ""},
    {24349, "&Help", "Displays help-system index", ""},
    {24354, "&About...", "Displays box about KORU VIEW", "Press Enter or click OK to close window"},
    {24378, "Detect &Beats", "Find the QRS complexes and mark them as beats",
     "Beats are being detected."},
    {24379, "Heart &Rate", "Toggle the heart-rate strip above the traces", ""},
    {24371, "High-pass 0.05 Hz", "Take out slow baseline wander as drawn", ""},
    {24372, "High-pass 0.5 Hz", "Take out baseline wander as drawn", ""},
    {24373, "Notch 50 Hz", "Take out 50 Hz mains hum and its harmonics as drawn", ""},
    {24374, "Notch 60 Hz", "Take out 60 Hz mains hum and its harmonics as drawn", ""},
    {24375, "Low-pass 40 Hz", "Smooth what is drawn above 40 Hz", ""},
    {24376, "Low-pass 100 Hz", "Smooth what is drawn above 100 Hz", ""},
    {24377, "Low-pass 150 Hz", "Smooth what is drawn above 150 Hz", ""},
};

TEST(CommandTable, EveryTextMatchesCharacterForCharacter) {
    for (const auto& e : kExpected) {
        SCOPED_TRACE(e.id);
        const CommandInfo* c = FindCommand(e.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(static_cast<int32_t>(c->cmd), e.id);
        EXPECT_EQ(c->menuText, e.menu);
        EXPECT_EQ(c->hint, e.hint);
        EXPECT_EQ(c->statusMessage, e.message);
        EXPECT_EQ(HintFor(e.id), e.hint);
    }
}

TEST(CommandTable, HoldsExactlyTheKnownCommandsOnce) {
    std::set<int32_t> expected;
    for (const auto& e : kExpected) expected.insert(e.id);
    std::multiset<int32_t> actual;
    for (const auto& c : Commands()) actual.insert(static_cast<int32_t>(c.cmd));
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_EQ(std::set<int32_t>(actual.begin(), actual.end()), expected);
}

TEST(CommandTable, PopupHintsAndUnknownNumbers) {
    EXPECT_EQ(HintFor(24331), "Open, Print or Quit.");
    EXPECT_EQ(HintFor(24342), "Toggle display of dots, markers, or names");
    EXPECT_EQ(HintFor(24348), "Display help info or about box");
    EXPECT_EQ(HintFor(24336), "");
    EXPECT_EQ(FindCommand(24342), nullptr);  // a popup, not a command
    EXPECT_EQ(FindCommand(0), nullptr);
    ASSERT_NE(FindPopup(24342), nullptr);
    EXPECT_EQ(FindPopup(24342)->menuText, "&View");
}

TEST(CommandTable, IdleStatusText) {
    EXPECT_EQ(kIdleStatusMessage, "Select \"FILE\\OPEN\" to view a new signal file.");
}

// --- Enable rules -----------------------------------------------------------

// Commands with a rule, in the column order of the rows below.
const int32_t kRuled[] = {24341, 24342, 24355, 24337, 24339, 11842, 24356, 24333, 24334};

struct EnableRow {
    bool open;
    int32_t markers;
    int32_t tags;
    // Configure, View, names, Print, Printer setup, Save Markers, Measure, Save As, Append
    bool enabled[9];
};

const EnableRow kRows[] = {
    {false, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}}, {false, 0, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {false, 0, 2, {0, 0, 0, 0, 0, 0, 1, 1, 1}}, {false, 3, 0, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
    {false, 3, 1, {0, 0, 0, 0, 0, 1, 0, 0, 0}}, {false, 3, 2, {0, 0, 0, 0, 0, 1, 1, 1, 1}},
    {true, 0, 0, {1, 1, 1, 1, 1, 0, 0, 0, 0}},  {true, 0, 1, {1, 1, 1, 1, 1, 0, 0, 0, 0}},
    {true, 0, 2, {1, 1, 1, 1, 1, 0, 1, 1, 1}},  {true, 1, 0, {1, 1, 1, 1, 1, 1, 0, 0, 0}},
    {true, 1, 1, {1, 1, 1, 1, 1, 1, 0, 0, 0}},  {true, 2048, 2, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
};

// Open, Exit, Convert, Help, About, Time Base, the toggles, File and Help popups.
const int32_t kAlways[] = {24332, 24340, 24335, 24349, 24354, 24343,
                           24344, 24345, 24346, 24347, 24331, 24348};

TEST(EnableRules, FollowOpenMarkersAndTags) {
    for (const auto& row : kRows) {
        const EnableState s{row.open, row.markers, row.tags};
        for (std::size_t i = 0; i < std::size(kRuled); ++i) {
            EXPECT_EQ(IsCommandEnabled(kRuled[i], s), row.enabled[i])
                << "command " << kRuled[i] << " open=" << row.open << " markers=" << row.markers
                << " tags=" << row.tags;
        }
        for (int32_t id : kAlways) {
            EXPECT_TRUE(IsCommandEnabled(id, s)) << "command " << id;
        }
    }
}

// Export, Next and Previous want an open recording with annotations; the
// table wants a recording.
TEST(EnableRules, AnnotationCommandsFollowTheAnnotationCount) {
    struct Row {
        bool open;
        std::size_t annotations;
        bool listed, table;
    };
    for (const Row& r : {Row{false, 0, false, false}, Row{false, 5, false, false},
                         Row{true, 0, false, true}, Row{true, 1, true, true}}) {
        EnableState s{r.open, 0, 0, r.annotations};
        for (const int32_t id : {24380, 24383, 24384})
            EXPECT_EQ(IsCommandEnabled(id, s), r.listed) << id << " " << r.annotations;
        EXPECT_EQ(IsCommandEnabled(24382, s), r.table);
        EXPECT_TRUE(IsCommandEnabled(24381, s));
    }
}

TEST(EnableRules, NumbersWithoutARuleAreEnabled) {
    const EnableState none{};
    EXPECT_TRUE(IsCommandEnabled(12345, none));
    EXPECT_TRUE(IsCommandEnabled(-1, none));
}

// --- Menu bar and tool bar --------------------------------------------------

std::vector<std::string> EntryTexts(const MenuBarItem& item) {
    std::vector<std::string> out;
    for (const auto& e : item.entries) {
        if (e.separator) {
            out.emplace_back("-");
        } else {
            const CommandInfo* c = FindCommand(e.cmd);
            out.emplace_back(c ? std::string(c->menuText) : "?");
        }
    }
    return out;
}

TEST(CommandMenu, BarOrderItemsAndSeparators) {
    const auto bar = MenuBar();
    ASSERT_EQ(bar.size(), 4u);

    EXPECT_TRUE(bar[0].isPopup);
    EXPECT_EQ(bar[0].text, "&File");
    EXPECT_EQ(bar[0].id, 24331);
    EXPECT_EQ(EntryTexts(bar[0]), (std::vector<std::string>{
                                      "&Open...", "&Save As...", "Save Markers...", "&Append To...",
                                      "&Convert TXT to SIG...", "Export A&nnotations...", "-",
                                      "&Print", "P&rinter setup...", "-", "E&xit"}));

    EXPECT_FALSE(bar[1].isPopup);
    EXPECT_EQ(bar[1].text, "&Configure");
    EXPECT_EQ(bar[1].id, 24341);
    EXPECT_TRUE(bar[1].entries.empty());

    EXPECT_TRUE(bar[2].isPopup);
    EXPECT_EQ(bar[2].text, "&View");
    EXPECT_EQ(bar[2].id, 24342);
    EXPECT_EQ(EntryTexts(bar[2]), test::kViewMenuTexts);

    EXPECT_TRUE(bar[3].isPopup);
    EXPECT_EQ(bar[3].text, "&Help");
    EXPECT_EQ(bar[3].id, 24348);
    EXPECT_EQ(EntryTexts(bar[3]), (std::vector<std::string>{"&Help", "-", "&About..."}));
}

TEST(CommandMenu, InitialStateAsBuilt) {
    const auto bar = MenuBar();
    ASSERT_EQ(bar.size(), 4u);
    EXPECT_FALSE(bar[0].grayed);
    EXPECT_TRUE(bar[1].grayed);
    EXPECT_TRUE(bar[2].grayed);
    EXPECT_FALSE(bar[3].grayed);
    EXPECT_FALSE(bar[0].rightAligned || bar[1].rightAligned || bar[2].rightAligned);
    EXPECT_TRUE(bar[3].rightAligned);

    // Only the four toggles and the annotation labels start checked.
    std::set<Cmd> checked;
    for (const auto& item : bar) {
        for (const auto& e : item.entries) {
            if (!e.separator && e.checked) checked.insert(e.cmd);
        }
    }
    EXPECT_EQ(checked, (std::set<Cmd>{Cmd::ToggleDots, Cmd::ToggleMarkers, Cmd::ToggleNames,
                                      Cmd::ToggleTimeHacks, Cmd::ToggleAnnotationLabels}));
}

TEST(CommandToolBar, ButtonOrderAndPictures) {
    struct Expected {
        bool separator;
        int32_t cmd;
        int32_t bitmap;
    };
    const Expected expected[] = {
        {false, 24332, 602}, {false, 24333, 603}, {false, 24334, 604}, {false, 24337, 610},
        {false, 24335, 611}, {false, 24355, 612}, {false, 24356, 613}, {true, 0, 6},
        {false, 24340, 600}, {false, 24349, 601},
    };
    const auto bar = ToolBar();
    ASSERT_EQ(bar.size(), std::size(expected));
    for (std::size_t i = 0; i < bar.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bar[i].separator, expected[i].separator);
        if (!expected[i].separator) {
            EXPECT_EQ(static_cast<int32_t>(bar[i].cmd), expected[i].cmd);
        }
        EXPECT_EQ(bar[i].bitmap, expected[i].bitmap);
    }
}

// --- Status message protocol ------------------------------------------------

TEST(StatusMessageScope, ShowsMessageThenRestoresIdle) {
    test::ScriptedUi ui;
    {
        StatusMessageScope scope(ui, Cmd::TimeBase, kIdleStatusMessage);
        EXPECT_TRUE(scope.Shown());
        EXPECT_EQ(ui.status, "Select desired time base");
    }
    EXPECT_EQ(ui.statusHistory, (std::vector<std::string>{"Select desired time base",
                                                          std::string(kIdleStatusMessage)}));
}

TEST(StatusMessageScope, RestoresIdleWhenAnExceptionEscapes) {
    test::ScriptedUi ui;
    const std::string idle = "idle text";
    EXPECT_THROW(
        {
            StatusMessageScope scope(ui, 24356, idle);
            EXPECT_EQ(ui.status, "Low to High differentials.  NOT milli-volts.");
            throw std::runtime_error("dialog failed");
        },
        std::runtime_error);
    EXPECT_EQ(ui.status, idle);
    EXPECT_EQ(ui.statusHistory.size(), 2u);
}

TEST(StatusMessageScope, CommandsWithoutMessageLeaveStatusAlone) {
    for (Cmd c : {Cmd::Exit, Cmd::Help, Cmd::ToggleDots, Cmd::PopChannelNames}) {
        test::ScriptedUi ui;
        {
            StatusMessageScope scope(ui, c, kIdleStatusMessage);
            EXPECT_FALSE(scope.Shown());
        }
        EXPECT_TRUE(ui.statusHistory.empty()) << static_cast<int32_t>(c);
    }
    test::ScriptedUi ui;
    { StatusMessageScope scope(ui, 99999, kIdleStatusMessage); }
    EXPECT_TRUE(ui.statusHistory.empty());
}

TEST(StatusMessageScope, IdleTextIsCopiedNotReferenced) {
    test::ScriptedUi ui;
    std::string idle = "ready";
    {
        StatusMessageScope scope(ui, Cmd::About, idle);
        idle = "changed while the box was open";
    }
    EXPECT_EQ(ui.status, "ready");
}

}  // namespace
}  // namespace koru
