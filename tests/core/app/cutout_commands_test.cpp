#include <gtest/gtest.h>

#include <filesystem>

#include "app/CommandRunner.h"
#include "app/Commands.h"
#include "export/Amplitude.h"
#include "signal/OpenFlow.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::ReadText;

struct CutoutCommandFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    std::string rec;

    CutoutCommandFixture() {
        Open(2, 1000, 5000,
             [](int64_t f, int c) { return static_cast<int16_t>(c ? -f : f % 300); });
        rec = session.document().Path();
        TagDrag(40, 40);
        TagDrag(240, 240);
        EXPECT_EQ(view->TagCount(), 2);
        ui.statusHistory.clear();
        ui.progress.clear();  // the load's
    }
    void Answer(const std::string& path) {
        ui.fileAnswers.push_back(FileDialogAnswer{path, false});
    }
    // The progress box and the wait cursor are gone again.
    void ExpectClosedDown() {
        EXPECT_EQ(ui.progressBegins, ui.progressEnds);
        EXPECT_FALSE(ui.progressOpen);
        ASSERT_FALSE(ui.cursors.empty());
        EXPECT_EQ(ui.cursors.back(), CursorShape::View);
    }
};

TEST(CutoutCommands, SaveAsAsksForTheFileThenTheChannelsShowsProgressAndReportsFailure) {
    CutoutCommandFixture fx;
    const Cutout cut = fx.view->CurrentCutout();
    ASSERT_GT(cut.Span(), 100);
    fx.Answer(fx.dir.File("out.bin"));
    fx.ui.channelAnswers.push_back({false, true, false, false, false, false, false, false});
    fx.runner.Run(Cmd::SaveAs);

    const FileDialogSetup& shown = fx.ui.dialogsShown.back();
    EXPECT_EQ(shown.defaultExt, "sig");
    EXPECT_TRUE(shown.flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(fx.ui.channelDialogs, 1);
    EXPECT_EQ(std::filesystem::file_size(fx.dir.File("out.bin")),
              static_cast<uintmax_t>(cut.Frames() * 2));
    EXPECT_EQ(fx.ui.statusHistory,
              (std::vector<std::string>{"Select a file name and type. Select\"Ok\".",
                                        std::string(kIdleStatusMessage)}));
    ASSERT_FALSE(fx.ui.progress.empty());
    EXPECT_LE(fx.ui.progress.size(), 100u);
    EXPECT_EQ(fx.ui.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(fx.ui.progress.begin(), fx.ui.progress.end()));
    EXPECT_TRUE(fx.ui.messages.empty());
    fx.ExpectClosedDown();

    // A cancelled file dialog does nothing more.
    fx.runner.Run(Cmd::SaveAs);
    EXPECT_EQ(fx.ui.channelDialogs, 1);

    // A failed write: its box, and everything closed again.
    fx.Answer(fx.dir.File("missing/out.sig"));
    fx.runner.Run(Cmd::SaveAs);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "Save Error");
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(fx.ui.messages[0].text, "Cannot write " + fx.dir.File("missing/out.sig") +
                                          ": No such file or directory. The file was not changed.");
    fx.ExpectClosedDown();
}

TEST(CutoutCommands, AppendRefusesTheDisplayedRecordingBeforeAskingForChannels) {
    CutoutCommandFixture fx;
    const std::string before = ReadText(fx.rec);
    fx.Answer(UpperCased(fx.rec));
    fx.runner.Run(Cmd::AppendTo);
    EXPECT_EQ(fx.ui.dialogsShown.back().title, "Append To");
    EXPECT_EQ(fx.ui.dialogsShown.back().flags & OFN_OVERWRITEPROMPT, 0u);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text, "Cannot append to the currently displayed file!");
    EXPECT_EQ(fx.ui.messages[0].title, "Append Error");
    EXPECT_EQ(fx.ui.messages[0].owner, MessageOwner::None);
    EXPECT_EQ(fx.ui.channelDialogs, 0);
    EXPECT_EQ(ReadText(fx.rec), before);

    const std::string target = fx.dir.Write("t.sig", test::SigOf(2, 1000, 10, test::Wander));
    fx.Answer(target);
    fx.ui.channelAnswers.push_back({true, true, false, false, false, false, false, false});
    fx.runner.Run(Cmd::AppendTo);
    EXPECT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(target),
              326u + static_cast<uintmax_t>(10 + fx.view->CurrentCutout().Frames()) * 4);
    EXPECT_EQ(fx.ui.statusHistory.front(), "Select file to append to.");
    fx.ExpectClosedDown();
}

TEST(CutoutCommands, MeasureAmplitudeShowsTheValuesOfTheCutout) {
    CutoutCommandFixture fx;
    const Cutout cut = fx.view->CurrentCutout();
    fx.runner.Run(Cmd::MeasureAmplitude);
    ASSERT_EQ(fx.ui.amplitudesShown.size(), 1u);
    const Amplitudes& shown = fx.ui.amplitudesShown[0];
    int lo = 300, hi = -1;
    for (int64_t f = cut.start; f <= cut.end; ++f) {
        lo = std::min(lo, static_cast<int>(f % 300));
        hi = std::max(hi, static_cast<int>(f % 300));
    }
    EXPECT_EQ(shown[0], hi - lo);
    EXPECT_EQ(shown[1], cut.Span());
    EXPECT_EQ(shown[2], 0);
    EXPECT_EQ(fx.ui.statusHistory.front(), "Low to High differentials.  NOT milli-volts.");
    EXPECT_EQ(fx.ui.cursors.back(), CursorShape::View);
}

}  // namespace
}  // namespace koru
