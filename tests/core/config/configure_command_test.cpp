// The Configure command and its dialog's buttons for files and the default,
// answered through the scripted Ui.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "app/CommandRunner.h"
#include "app/ConfigureCommand.h"
#include "app/ReadSettings.h"
#include "config/CfgFile.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

namespace ctl = configure_ctl;

struct ConfigureFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    std::string ini = dir.WriteText("koruview.INI", "[SYSTEM]\r\nVERSION=95.400\r\n");
    const ChannelConfig start = session.channels().current;

    ConfigureFixture() { session.SetPaths(ini, "", dir.path()); }
    ChannelConfig& current() { return session.channels().current; }
    ChannelConfig& working() { return session.channels().working; }
    void Answer(const std::string& path, bool otherExtension = false) {
        ui.fileAnswers.push_back(FileDialogAnswer{path, otherExtension});
    }
    // Channel n gets lead `lead` and the position `steps` above the current value.
    static void Edit(DialogModel& d, int n, int lead, int steps) {
        d.Select(ctl::kLeadList, lead);
        d.Spin(ctl::kPositionSpin, steps);
        d.Click(ctl::kLeadName + n);
        d.Click(ctl::kPosition + n);
    }
    std::string LastMessage() const {
        return ui.messages.empty() ? "" : ui.messages.back().title + ": " + ui.messages.back().text;
    }
};

TEST(ConfigureCommand, LoadConfStartsBesideTheExampleOnlyForANewUser) {
    struct Case {
        const char* name;
        bool sigPathIsFolder, ownCfg, examplesThere, atExamples;
    };
    const Case cases[] = {
        {"new user", false, false, true, true},
        {"signal folder set", true, false, true, false},
        {"own configuration saved", false, true, true, false},
        {"no examples folder", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigureFixture fx;
        const std::string examples = fx.dir.File("share");
        if (c.examplesThere) std::filesystem::create_directory(examples);
        fx.session.SetExamplesDir(examples);
        fx.session.settings().sigPath = c.sigPathIsFolder ? fx.dir.path() : "c:";
        if (c.ownCfg) fx.dir.WriteText("MINE.CFG", "1 1 1 1 0\r\n");
        const ConfigureDialogModel dialog(fx.session);
        ASSERT_NE(dialog.loadSetup().initialDir, nullptr);
        EXPECT_EQ(*dialog.loadSetup().initialDir, c.atExamples ? examples : fx.dir.path());
        EXPECT_EQ(*dialog.saveSetup().initialDir, fx.dir.path());  // saves go to the user's
    }
}

TEST(ConfigureCommand, TheExampleConfigurationGivesEachLeadItsOwnSlot) {
    ConfigureFixture fx;
    ChannelConfig config{};
    ASSERT_TRUE(LoadConfigFile(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.cfg", config));
    // The example's channels in order, as its description names them.
    const char* const leads[] = {"I", "II", "III", "aVR", "aVL", "aVF", "V1", "V2"};
    std::vector<int32_t> positions;
    for (std::size_t ch = 0; ch < config.size(); ++ch) {
        EXPECT_EQ(fx.session.channels().leadNames.Name(config[ch].LeadName), leads[ch]);
        positions.push_back(config[ch].DisplayPosition);
    }
    std::sort(positions.begin(), positions.end());
    EXPECT_EQ(positions, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ConfigureCommand, OkPutsTheEditsInForceAndRepaintsAnyOtherEndChangesNothing) {
    ConfigureFixture fx;
    fx.OpenBusy();
    const ColorRef channel1 = fx.ColorOf(0);
    ASSERT_FALSE(fx.RowsOf(100, channel1).empty());
    fx.working()[0].LeadName = 19;  // a stale working copy is replaced at creation
    std::string shownLead;
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        shownLead = d.Text(ctl::kLeadName + 0);
        d.Spin(ctl::kPositionSpin, -1);  // to 0
        d.Click(ctl::kPosition + 0);
        return true;
    });
    fx.ui.statusHistory.clear();
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.ui.statusHistory,
              (std::vector<std::string>{"Set desired configuration. Then press \"OK\".",
                                        std::string(kIdleStatusMessage)}));
    EXPECT_EQ(fx.ui.configureScreens, (std::vector<std::pair<int32_t, int32_t>>{{400, 330}}));
    EXPECT_EQ(shownLead, "I");
    EXPECT_EQ(fx.current()[0].DisplayPosition, 0);
    EXPECT_EQ(fx.current(), fx.working());
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    for (int x : {0, 100, 399}) EXPECT_TRUE(fx.RowsOf(x, channel1).empty()) << x;

    // OK without changes still repaints; edits then Cancel change nothing,
    // and the next opening shows the configuration in force again.
    const ChannelConfig inForce = fx.current();
    fx.ui.configureScripts.push_back([](DialogModel&) { return true; });
    fx.runner.Run(Cmd::Configure);
    EXPECT_TRUE(fx.view->HasPendingRepaint());
    fx.view->Update();
    fx.ui.configureScripts.push_back([](DialogModel& d) {
        ConfigureFixture::Edit(d, 2, 17, 4);
        return false;
    });
    std::string shownAgain;
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        shownAgain = d.Text(ctl::kLeadName + 2);
        return false;
    });
    fx.runner.Run(Cmd::Configure);
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.current(), inForce);
    EXPECT_FALSE(fx.view->HasPendingRepaint());
    EXPECT_EQ(shownAgain, "III");
}

TEST(ConfigureFiles, SaveThenLoadReproducesTheWorkingConfiguration) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    EXPECT_EQ(*d.saveSetup().initialDir, fx.dir.path());
    ConfigureFixture::Edit(d, 0, 19, 7);
    d.Click(ctl::kHasMarker + 7);
    fx.working()[3] = ChannelRecord{-4, 12, 99, 0, 3};  // out of range survives the round trip
    const ChannelConfig saved = fx.working();
    const std::string path = fx.dir.File("mine.cfg");
    fx.Answer(path);
    d.Click(ctl::kSaveConf);
    EXPECT_EQ(test::ReadText(path), FormatConfigFile(saved));

    fx.working() = fx.start;
    fx.Answer(path);
    d.Click(ctl::kLoadConf);
    EXPECT_EQ(fx.working(), saved);
    EXPECT_EQ(d.Text(ctl::kLeadName + 0) + d.Text(ctl::kLeadName + 3), "Map3<none>");
    EXPECT_TRUE(d.Checked(ctl::kHasMarker + 7));
    d.Click(ctl::kLoadConf);  // cancelled; it offered the name chosen before
    EXPECT_EQ(fx.ui.dialogsShown.back().fileName, path);
    EXPECT_EQ(fx.working(), saved);
    EXPECT_EQ(fx.current(), fx.start);
    EXPECT_TRUE(fx.ui.messages.empty());
}

// Writes past the limit fail with EFBIG instead of killing the process.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = old;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_DFL);
    }
};

TEST(ConfigureFiles, RefusalsAndFailuresAreReportedAndChangeNothing) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    ConfigureFixture::Edit(d, 1, 7, 1);
    const ChannelConfig before = fx.working();
    std::filesystem::create_directory(fx.dir.File("folder.cfg"));
    const std::string old = fx.dir.WriteText("keep.cfg", "1 2 3 4 5\r\n");

    fx.Answer(fx.dir.WriteText("notes.txt", "9 9 9"), true);
    d.Click(ctl::kLoadConf);
    EXPECT_EQ(fx.LastMessage(), "File Select Error: Can only load a \".cfg\" file.");
    EXPECT_EQ(fx.ui.messages.back().owner, MessageOwner::Dialog);
    EXPECT_EQ(fx.ui.messages.back().icon, MessageIcon::Stop);
    fx.Answer(fx.dir.File("out.txt"), true);
    d.Click(ctl::kSaveConf);
    EXPECT_EQ(fx.LastMessage(), "File Select Error: Can only save a \".cfg\" file.");
    EXPECT_FALSE(std::filesystem::exists(fx.dir.File("out.txt")));
    for (const std::string& path : {fx.dir.File("gone.cfg"), fx.dir.File("folder.cfg")}) {
        fx.Answer(path);
        d.Click(ctl::kLoadConf);
        EXPECT_EQ(fx.LastMessage(), "File Select Error: Cannot open configuration file: " + path);
    }
    fx.Answer(old);
    {
        FileSizeLimit limit(20);  // less than the eight lines
        d.Click(ctl::kSaveConf);
    }
    EXPECT_EQ(fx.LastMessage(), "File Save Error: Cannot write configuration file: " + old + "\n" +
                                    std::strerror(EFBIG));
    EXPECT_EQ(test::ReadText(old), "1 2 3 4 5\r\n");
    EXPECT_EQ(fx.working(), before);
    EXPECT_EQ(d.Text(ctl::kLeadName + 1), "V4");
    EXPECT_EQ(fx.ui.messages.size(), 5u);
}

TEST(ConfigureDefault, MakeDefaultWritesAtOnceAndLoadDefaultGivesItBack) {
    ConfigureFixture fx;
    ChannelConfig written{};
    std::string leadShown;
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        ConfigureFixture::Edit(d, 4, 11, 2);
        d.Click(ctl::kHasMarker + 4);
        d.Click(ctl::kMakeDefault);
        written = fx.working();
        ConfigureFixture::Edit(d, 4, 2, 1);
        d.Click(ctl::kHasMarker + 4);
        d.Click(ctl::kLoadDefault);
        leadShown = d.Text(ctl::kLeadName + 4);
        return false;
    });
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(written[4], (ChannelRecord{11, 3, 13, 5, 1}));
    EXPECT_EQ(fx.working(), written);
    EXPECT_EQ(leadShown, "aVL");
    EXPECT_EQ(fx.current(), fx.start);  // cancelled, yet the next start uses it
    Settings settings;
    ChannelModel nextStart;
    ReadSettings(fx.ini, fx.dir.path(), settings, nextStart);
    EXPECT_EQ(nextStart.current, written);

    fx.session.SetPaths(fx.dir.File("missing/koruview.INI"), "", fx.dir.path());
    ConfigureDialogModel d(fx.session);
    d.Click(ctl::kMakeDefault);
    EXPECT_EQ(fx.LastMessage(), "WARNING: KORU VIEW -- Cannot write settings file: " +
                                    fx.dir.File("missing/koruview.INI"));
}

}  // namespace
}  // namespace koru
