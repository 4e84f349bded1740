#include <gtest/gtest.h>

#include "app/CommandRunner.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::InteractionFixture;

struct RunnerFixture : InteractionFixture {
    CommandRunner runner{session, *view};
    RunnerFixture() { session.StartUp({}); }
};

TEST(CommandRunnerTest, EachToggleFlipsItsSettingRepaintsAndSyncsTheChecks) {
    struct Case {
        Cmd cmd;
        uint8_t Settings::*flag;
        int check;
    };
    const Case cases[] = {{Cmd::ToggleDots, &Settings::dots, 0},
                          {Cmd::ToggleMarkers, &Settings::markers, 1},
                          {Cmd::ToggleNames, &Settings::names, 2},
                          {Cmd::ToggleTimeHacks, &Settings::timeHacks, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.cmd));
        RunnerFixture fx;
        fx.OpenBusy();
        fx.LineDrag({40, 60}, {200, 120});
        const uint8_t before = fx.session.settings().*c.flag;
        const auto picture = fx.Picture();
        fx.runner.Run(c.cmd);
        EXPECT_EQ(fx.session.settings().*c.flag, before ? 0 : 1);
        EXPECT_EQ(fx.ui.checks[c.check], before == 0);
        EXPECT_TRUE(fx.view->HasPendingRepaint());
        EXPECT_EQ(fx.DiffFromRepaint(), "");
        // Names are off in this fixture and only show where they start.
        if (c.cmd != Cmd::ToggleNames) {
            EXPECT_NE(fx.Picture(), picture);
        }
        fx.runner.Run(c.cmd);
        EXPECT_EQ(fx.session.settings().*c.flag, before);
        EXPECT_EQ(fx.ui.checks[c.check], before != 0);
    }
}

TEST(CommandRunnerTest, NamesButtonWritesOverThePictureOnlyWithARecording) {
    RunnerFixture fx;
    const auto empty = fx.Picture();
    fx.runner.Run(Cmd::PopChannelNames);
    EXPECT_EQ(fx.Picture(), empty);
    fx.OpenBusy();
    fx.view->ScrollTo(20, 0);
    const auto scrolled = fx.Picture();
    fx.runner.Run(Cmd::PopChannelNames);
    EXPECT_NE(fx.Picture(), scrolled);
    EXPECT_FALSE(fx.view->HasPendingRepaint());  // written straight onto the picture
}

TEST(CommandRunnerTest, CommandsNotBuiltShowTheirMessageThenTheIdleText) {
    RunnerFixture fx;
    for (Cmd c : {Cmd::SaveMarkers, Cmd::Convert}) {
        SCOPED_TRACE(static_cast<int>(c));
        fx.ui.statusHistory.clear();
        fx.runner.Run(c);
        ASSERT_EQ(fx.ui.statusHistory.size(), 2u);
        EXPECT_EQ(fx.ui.statusHistory[0], FindCommand(c)->statusMessage);
        EXPECT_EQ(fx.ui.statusHistory[1], kIdleStatusMessage);
    }
    fx.ui.statusHistory.clear();
    fx.runner.Run(12345);  // no command
    EXPECT_TRUE(fx.ui.statusHistory.empty());
}

TEST(CommandRunnerTest, OpenExitHelpAndAboutGoThroughTheUi) {
    RunnerFixture fx;
    const std::string path =
        fx.dir.Write("a.sig", test::SigOf(2, 1000, 500, [](int64_t, int) -> int16_t { return 0; }));
    fx.ui.fileAnswers.push_back(FileDialogAnswer{path, false});
    fx.runner.Run(Cmd::Open);
    EXPECT_TRUE(fx.session.document().IsOpen());
    EXPECT_EQ(fx.session.document().Path(), path);

    fx.session.SetPaths("/p/koru.INI", "/p/koru.html", "/p");
    fx.runner.Run(Cmd::Help);
    EXPECT_EQ(fx.ui.helpShown, std::vector<std::string>{"/p/koru.html"});

    fx.runner.Run(Cmd::About);
    EXPECT_EQ(fx.ui.aboutStatus,
              std::vector<std::string>{"Press Enter or click OK to close window"});
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);

    EXPECT_EQ(fx.ui.closeRequests, 0);
    fx.runner.Run(Cmd::Exit);
    EXPECT_EQ(fx.ui.closeRequests, 1);
}

TEST(CommandRunnerTest, EnableStatesFollowTheRecordingTagsAndMarkers) {
    RunnerFixture fx;
    EXPECT_FALSE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::Print)));
    fx.OpenBlank();
    EXPECT_TRUE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::Print)));
    EXPECT_FALSE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::SaveAs)));
    EXPECT_FALSE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::SaveMarkers)));
    fx.TagDrag(100, 100);
    fx.view->OnKeyDown(kKeyInsert);  // a marker at the tag, which goes
    EXPECT_TRUE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::SaveMarkers)));
    fx.TagDrag(100, 100);
    fx.TagDrag(200, 200);
    EXPECT_TRUE(fx.runner.IsEnabled(static_cast<int32_t>(Cmd::SaveAs)));
    const Cutout cut = fx.view->CurrentCutout();
    EXPECT_EQ(cut.start, 400);
    EXPECT_EQ(cut.end, 800);
}

TEST(CutoutTest, SmallerTagFirstAndNegativeTagsRaisedToZero) {
    EXPECT_EQ(Cutout::FromTags(900, 300).start, 300);
    EXPECT_EQ(Cutout::FromTags(900, 300).end, 900);
    EXPECT_EQ(Cutout::FromTags(900, 300).Span(), 600);
    EXPECT_EQ(Cutout::FromTags(900, 300).Frames(), 601);
    EXPECT_EQ(Cutout::FromTags(-40, 10).start, 0);
    EXPECT_EQ(Cutout::FromTags(-40, -10).Span(), 0);
    EXPECT_EQ(Cutout::FromTags(INT32_MIN, INT32_MAX).Frames(), int64_t{INT32_MAX} + 1);
}

}  // namespace
}  // namespace koru
