// The Configure command and its dialog's buttons for files and the default,
// answered through the scripted Ui.

#include <gtest/gtest.h>
#include <sys/resource.h>

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
using test::ShownMessage;

struct ConfigureFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    std::string ini = dir.File("koruview.INI");
    const ChannelConfig start = session.channels().current;

    ConfigureFixture() {
        dir.WriteText("koruview.INI", "[SYSTEM]\r\nVERSION=95.400\r\n");
        session.SetPaths(ini, dir.File("koruview.html"), dir.path());
        session.StartUp({});
    }
    ChannelConfig& current() { return session.channels().current; }
    ChannelConfig& working() { return session.channels().working; }
    void Answer(const std::string& path, bool extensionDifferent = false) {
        ui.fileAnswers.push_back(FileDialogAnswer{path, extensionDifferent});
    }
    // Channel n's lead name and position set through the dialog's buttons.
    static void Edit(DialogModel& d, int n, int lead, int positionSteps) {
        d.Select(ctl::kLeadList, lead);
        for (int i = 0; i < positionSteps; ++i) d.Spin(ctl::kPositionSpin, +1);
        d.Click(ctl::kLeadName + n);
        d.Click(ctl::kPosition + n);
    }
};

// Writes past the limit fail with EFBIG instead of killing the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = old_;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }

  private:
    rlimit old_{};
    void (*oldSignal_)(int) = nullptr;
};

TEST(ConfigureCommand, OkPutsTheEditsInForceAndRepaintsTheWholeView) {
    ConfigureFixture fx;
    fx.OpenBusy();
    ASSERT_FALSE(fx.RowsOf(100, fx.ColorOf(0)).empty());
    const ColorRef channel1 = fx.ColorOf(0);
    fx.working()[0].LeadName = 19;  // a stale working copy is replaced at creation
    ChannelConfig shownAtStart{};
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        shownAtStart = fx.working();
        for (int i = 0; i < 3; ++i) d.Spin(ctl::kPositionSpin, -1);  // to 0
        d.Click(ctl::kPosition + 0);
        d.Click(ctl::kHasMarker + 1);
        return true;
    });
    fx.ui.statusHistory.clear();
    fx.runner.Run(Cmd::Configure);

    EXPECT_EQ(fx.ui.statusHistory,
              (std::vector<std::string>{"Set desired configuration. Then press \"OK\".",
                                        std::string(kIdleStatusMessage)}));
    EXPECT_EQ(fx.ui.configureScreens, (std::vector<std::pair<int32_t, int32_t>>{{400, 330}}));
    EXPECT_EQ(shownAtStart[0].LeadName, 1);
    EXPECT_EQ(fx.current()[0].DisplayPosition, 0);
    EXPECT_EQ(fx.current()[1].HasMarker, 1);
    EXPECT_EQ(fx.current(), fx.working());
    EXPECT_TRUE(fx.view->HasPendingRepaint());
    fx.view->Update();
    for (int x : {0, 100, 399}) EXPECT_TRUE(fx.RowsOf(x, channel1).empty()) << x;
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(ConfigureCommand, OkWithoutChangesKeepsTheConfigurationAndStillRepaints) {
    ConfigureFixture fx;
    fx.OpenBusy();
    const ChannelConfig before = fx.current();
    fx.ui.configureScripts.push_back([](DialogModel&) { return true; });
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.current(), before);
    EXPECT_TRUE(fx.view->HasPendingRepaint());
}

TEST(ConfigureCommand, AnyOtherEndChangesNothingAndTheNextOpeningShowsTheCurrentValues) {
    ConfigureFixture fx;
    fx.OpenBusy();
    const ChannelConfig before = fx.current();
    const auto picture = fx.Picture();
    fx.ui.configureScripts.push_back([](DialogModel& d) {
        ConfigureFixture::Edit(d, 2, 17, 4);
        d.Click(ctl::kAmpChan + 6);
        return false;
    });
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.current(), before);
    EXPECT_FALSE(fx.view->HasPendingRepaint());
    EXPECT_EQ(fx.Picture(), picture);
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);

    std::string leadShown, positionShown;
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        leadShown = d.Text(ctl::kLeadName + 2);
        positionShown = d.Text(ctl::kPosition + 2);
        return false;
    });
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(leadShown, "III");
    EXPECT_EQ(positionShown, "3");
    // No script left: the dialog is closed at once, as by its window's close box.
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.current(), before);
}

TEST(ConfigureFiles, SaveThenLoadReproducesTheWorkingConfiguration) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    EXPECT_EQ(d.loadSetup().filter, "Configuration files (*.cfg)|*.cfg|");
    EXPECT_EQ(d.loadSetup().defaultExt, "cfg");
    ASSERT_NE(d.loadSetup().initialDir, nullptr);
    EXPECT_EQ(*d.loadSetup().initialDir, fx.dir.path());
    EXPECT_EQ(d.loadSetup().flags,
              unsigned{OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR});
    EXPECT_EQ(d.saveSetup().flags, unsigned{OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                            OFN_OVERWRITEPROMPT});
    EXPECT_EQ(*d.saveSetup().initialDir, fx.dir.path());

    ConfigureFixture::Edit(d, 0, 19, 7);
    d.Click(ctl::kHasMarker + 7);
    fx.working()[3] = ChannelRecord{-4, 12, 99, 0, 3};  // out of range survives the round trip
    const ChannelConfig saved = fx.working();
    const std::string path = fx.dir.File("mine.cfg");
    fx.Answer(path);
    d.Click(ctl::kSaveConf);
    EXPECT_EQ(test::ReadText(path), FormatConfigFile(saved));
    EXPECT_TRUE(fx.ui.messages.empty());

    fx.working() = DefaultChannelConfig();
    d.Show();
    fx.Answer(path);
    d.Click(ctl::kLoadConf);
    EXPECT_EQ(fx.working(), saved);
    EXPECT_EQ(d.Text(ctl::kLeadName + 0), "Map3");
    EXPECT_EQ(d.Text(ctl::kPosition + 0), "8");
    EXPECT_EQ(d.Text(ctl::kLeadName + 3), "<none>");
    EXPECT_TRUE(d.Checked(ctl::kHasMarker + 7));

    // A second load starts from the name chosen before.
    d.Click(ctl::kLoadConf);
    ASSERT_EQ(fx.ui.dialogsShown.size(), 3u);
    EXPECT_EQ(fx.ui.dialogsShown[2].fileName, path);
    EXPECT_EQ(fx.working(), saved);  // cancelled: nothing changes
    EXPECT_EQ(fx.current(), fx.start);
}

TEST(ConfigureFiles, ShortFilesSetWhatTheyHoldAndOldFilesReadFiveAtATime) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    fx.Answer(fx.dir.WriteText("old.cfg",
                               "1 1 9 5\r\n2 2 10 5\r\n3 3 11 5\r\n4 4 12 5\r\n"
                               "15 5 13 5\r\n16 6 9 5\r\n14 7 14 5\r\n14 8 14 5\r\n"));
    d.Click(ctl::kLoadConf);
    EXPECT_EQ(fx.working()[0], (ChannelRecord{1, 1, 9, 5, 2}));
    EXPECT_EQ(fx.working()[6], (ChannelRecord{14, 5, 14, 5, 0}));
    EXPECT_EQ(fx.working()[7], fx.start[7]);
    EXPECT_FALSE(d.Checked(ctl::kHasMarker + 0));  // a 2 taken from channel 2's lead name

    const ChannelConfig before = fx.working();
    fx.Answer(fx.dir.WriteText("empty.cfg", ""));
    d.Click(ctl::kLoadConf);
    EXPECT_EQ(fx.working(), before);
    EXPECT_TRUE(fx.ui.messages.empty());
}

TEST(ConfigureFiles, OtherExtensionsAreRefusedWithTheirMessage) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    const std::string notes = fx.dir.WriteText("notes.txt", "9 9 9 9 9");
    const ChannelConfig before = fx.working();
    fx.Answer(notes, true);
    d.Click(ctl::kLoadConf);
    fx.Answer(fx.dir.File("out.txt"), true);
    d.Click(ctl::kSaveConf);
    ASSERT_EQ(fx.ui.messages.size(), 2u);
    const ShownMessage& load = fx.ui.messages[0];
    EXPECT_EQ(load.text, "Can only load a \".cfg\" file.");
    EXPECT_EQ(load.title, "File Select Error");
    EXPECT_EQ(load.icon, MessageIcon::Stop);
    EXPECT_EQ(load.owner, MessageOwner::Dialog);
    EXPECT_EQ(fx.ui.messages[1].text, "Can only save a \".cfg\" file.");
    EXPECT_EQ(fx.ui.messages[1].title, "File Select Error");
    EXPECT_EQ(fx.working(), before);
    EXPECT_FALSE(std::filesystem::exists(fx.dir.File("out.txt")));
}

TEST(ConfigureFiles, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    ConfigureFixture::Edit(d, 1, 7, 1);
    const ChannelConfig before = fx.working();
    const std::string missing = fx.dir.File("gone.cfg");
    std::filesystem::create_directory(fx.dir.File("folder.cfg"));
    for (const std::string& path : {missing, fx.dir.File("folder.cfg")}) {
        fx.ui.messages.clear();
        fx.Answer(path);
        d.Click(ctl::kLoadConf);
        ASSERT_EQ(fx.ui.messages.size(), 1u);
        EXPECT_EQ(fx.ui.messages[0].text, "Cannot open configuration file: " + path);
        EXPECT_EQ(fx.ui.messages[0].title, "File Select Error");
        EXPECT_EQ(fx.working(), before);
        EXPECT_EQ(d.Text(ctl::kLeadName + 1), "V4");
    }
}

TEST(ConfigureFiles, AFailedSaveIsReportedAndLeavesTheOldFile) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    const std::string old = fx.dir.WriteText("keep.cfg", "1 2 3 4 5\r\n");
    fx.Answer(old);
    {
        FileSizeLimit limit(20);  // less than the eight lines
        d.Click(ctl::kSaveConf);
    }
    fx.Answer(fx.dir.File("no/such/dir.cfg"));
    d.Click(ctl::kSaveConf);
    ASSERT_EQ(fx.ui.messages.size(), 2u);
    EXPECT_EQ(fx.ui.messages[0].text,
              "Cannot write configuration file: " + old + "\n" + std::strerror(EFBIG));
    EXPECT_EQ(fx.ui.messages[0].title, "File Save Error");
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(test::ReadText(old), "1 2 3 4 5\r\n");
    EXPECT_NE(fx.ui.messages[1].text.find(std::strerror(ENOENT)), std::string::npos);
}

TEST(ConfigureDefault, MakeDefaultWritesAtOnceSoCancelStillChangesTheNextStart) {
    ConfigureFixture fx;
    ChannelConfig written{};
    fx.ui.configureScripts.push_back([&](DialogModel& d) {
        ConfigureFixture::Edit(d, 4, 11, 2);
        d.Click(ctl::kHasMarker + 4);
        d.Click(ctl::kMakeDefault);
        written = fx.working();
        return false;
    });
    fx.runner.Run(Cmd::Configure);
    EXPECT_EQ(fx.current(), fx.start);
    EXPECT_TRUE(fx.ui.messages.empty());

    Settings settings;
    ChannelModel nextStart;
    ReadSettings(fx.ini, fx.dir.path(), settings, nextStart);
    EXPECT_EQ(nextStart.current, written);
    EXPECT_EQ(nextStart.current[4], (ChannelRecord{11, 3, 13, 5, 1}));
}

TEST(ConfigureDefault, LoadDefaultGivesBackWhatMakeDefaultWrote) {
    ConfigureFixture fx;
    ConfigureDialogModel d(fx.session);
    ConfigureFixture::Edit(d, 0, 16, 5);
    d.Click(ctl::kHasMarker + 3);
    d.Click(ctl::kMakeDefault);
    const ChannelConfig written = fx.working();
    ConfigureFixture::Edit(d, 0, 2, 1);
    d.Click(ctl::kHasMarker + 3);
    d.Click(ctl::kLoadDefault);
    EXPECT_EQ(fx.working(), written);
    EXPECT_EQ(d.Text(ctl::kLeadName + 0), "Ventr-Un");
    EXPECT_EQ(d.Text(ctl::kPosition + 0), "6");
    EXPECT_TRUE(d.Checked(ctl::kHasMarker + 3));
}

TEST(ConfigureDefault, MissingKeysTakeTheFirstFourFieldsOfTheConfigurationInForce) {
    ConfigureFixture fx;
    fx.current()[2] = ChannelRecord{18, 7, 3, 9, 0};
    ConfigureDialogModel d(fx.session);
    d.Click(ctl::kHasMarker + 2);  // working HasMarker 1 is kept
    ConfigureFixture::Edit(d, 2, 5, 1);
    d.Click(ctl::kLoadDefault);
    EXPECT_EQ(fx.working()[2], (ChannelRecord{18, 7, 3, 9, 1}));
    EXPECT_EQ(d.Text(ctl::kLeadName + 2), "Map2");
}

TEST(ConfigureDefault, AnUnwritableSettingsFileIsReported) {
    ConfigureFixture fx;
    fx.session.SetPaths(fx.dir.File("missing/koruview.INI"), "", fx.dir.path());
    ConfigureDialogModel d(fx.session);
    d.Click(ctl::kMakeDefault);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text,
              "KORU VIEW -- Cannot write settings file: " + fx.dir.File("missing/koruview.INI"));
    EXPECT_EQ(fx.ui.messages[0].owner, MessageOwner::Dialog);
}

}  // namespace
}  // namespace koru
