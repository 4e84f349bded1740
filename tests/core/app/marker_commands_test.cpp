#include <gtest/gtest.h>

#include "app/CommandRunner.h"
#include "app/MarkerCommands.h"
#include "signal/OpenFlow.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::ReadText;

struct MarkerFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    MarkerFixture() { session.StartUp({}); }

    std::string Rec(const std::string& name) {
        return dir.Write(name,
                         test::SigOf(1, 1000, 5000, [](int64_t, int) -> int16_t { return 0; }));
    }
    // Opens through the Open command, so the Open dialog remembers the name.
    void OpenByDialog(const std::string& path) {
        ui.fileAnswers.push_back(FileDialogAnswer{path, false});
        runner.Run(Cmd::Open);
        ASSERT_TRUE(session.document().IsOpen());
    }
    void InsertMarkerAt(int x) {
        TagDrag(x, x);
        view->OnKeyDown(kKeyInsert);
    }
};

TEST(MarkerNameProposal, IsTheOpenNameWithoutItsExtension) {
    EXPECT_EQ(MarkerNameProposal(""), "");
    EXPECT_EQ(MarkerNameProposal("/DATA/RUN1.SIG"), "/DATA/RUN1");
    EXPECT_EQ(MarkerNameProposal("/data/run1.v2.sig"), "/data/run1.v2");
    EXPECT_EQ(MarkerNameProposal("/MY.DIR/REC1.SIG"), "/MY.DIR/REC1");
    EXPECT_EQ(MarkerNameProposal("/data/.hidden.sig"), "/data/.hidden");
}

TEST(SaveMarkersCommand, WritesTheListToTheChosenFileWithTheProposedName) {
    MarkerFixture fx;
    fx.OpenByDialog(fx.Rec("run1.v2.sig"));
    fx.InsertMarkerAt(300);
    fx.InsertMarkerAt(100);
    const std::vector<int32_t> markers = fx.session.document().Markers().items;
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_TRUE(fx.session.document().Markers().Changed());

    fx.ui.statusHistory.clear();
    const std::string target = fx.dir.File("chosen.mrk");
    fx.ui.fileAnswers.push_back(FileDialogAnswer{target, false});
    fx.runner.Run(Cmd::SaveMarkers);

    const FileDialogSetup& shown = fx.ui.dialogsShown.back();
    // Whatever case the Open dialog keeps the name in, the proposal is it, cut.
    EXPECT_EQ(UpperCased(shown.fileName), UpperCased(fx.dir.File("run1.v2")));
    EXPECT_EQ(shown.filter, "Marker files (*.mrk)|*.mrk");
    EXPECT_EQ(shown.defaultExt, "mrk");
    EXPECT_TRUE(shown.title.empty());
    EXPECT_TRUE(shown.flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(ReadText(target),
              std::to_string(markers[0]) + "\r\n" + std::to_string(markers[1]) + "\r\n");
    EXPECT_FALSE(fx.session.document().Markers().Changed());
    EXPECT_EQ(fx.ui.statusHistory,
              (std::vector<std::string>{"Select a marker file name and type. Select\"Ok\".",
                                        std::string(kIdleStatusMessage)}));
}

TEST(SaveMarkersCommand, ProposesNothingAfterACommandLineOpenAndReportsAFailedWrite) {
    MarkerFixture fx;
    fx.session.StartUp({fx.Rec("a.sig")});
    fx.session.FinishStartUp();
    fx.InsertMarkerAt(50);
    fx.ui.fileAnswers.push_back(FileDialogAnswer{fx.dir.path(), false});  // a folder
    EXPECT_FALSE(SaveMarkersCommand(fx.session));
    EXPECT_EQ(fx.ui.dialogsShown.back().fileName, "");
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "Error");
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(fx.ui.messages[0].text.rfind(
                  "KORU VIEW -- Cannot write marker file: " + fx.dir.path() + "\n", 0),
              0u);
    EXPECT_TRUE(fx.session.document().Markers().Changed());  // still unsaved
    // Cancelled: nothing written, nothing said.
    EXPECT_FALSE(SaveMarkersCommand(fx.session));
    EXPECT_EQ(fx.ui.messages.size(), 1u);
}

TEST(MarkerQuestion, OnlyChangedMarkersAreAskedAbout) {
    MarkerFixture fx;
    EXPECT_TRUE(MayCloseRecording(fx.session));  // nothing open
    fx.dir.WriteText("b.mrk", "10\r\n20\r\n");
    fx.OpenByDialog(fx.Rec("b.sig"));
    EXPECT_EQ(fx.session.document().Markers().Count(), 2);
    EXPECT_TRUE(MayCloseRecording(fx.session));  // as read
    fx.InsertMarkerAt(100);
    fx.TagDrag(99, 99);
    fx.TagDrag(101, 101);
    fx.view->OnKeyDown(kKeyDelete);  // the same list again
    EXPECT_EQ(fx.session.document().Markers().items, (std::vector<int32_t>{10, 20}));
    EXPECT_TRUE(MayCloseRecording(fx.session));
    fx.TagDrag(0, 0);
    fx.TagDrag(399, 399);
    EXPECT_TRUE(fx.ui.questions.empty());
    fx.view->OnKeyDown(kKeyDelete);  // every marker between the tags goes
    EXPECT_EQ(fx.session.document().Markers().Count(), 0);
    EXPECT_FALSE(MayCloseRecording(fx.session));  // unanswered: Cancel
    ASSERT_EQ(fx.ui.questions.size(), 1u);
    EXPECT_EQ(fx.ui.questions[0].text,
              "The markers of " + fx.session.document().FileName() + " were changed. Save them?");
    EXPECT_EQ(fx.ui.questions[0].title, "KORU VIEW");
    EXPECT_EQ(fx.ui.questions[0].icon, MessageIcon::Question);
    fx.ui.replies.push_back(Reply::No);
    EXPECT_TRUE(MayCloseRecording(fx.session));
}

TEST(MarkerQuestion, OpenAsksBeforeItsDialogAndEachAnswerDoesItsPart) {
    MarkerFixture fx;
    const std::string first = fx.Rec("first.sig"), second = fx.Rec("second.sig");
    fx.OpenByDialog(first);
    fx.InsertMarkerAt(200);
    const std::size_t dialogs = fx.ui.dialogsShown.size();

    fx.ui.replies.push_back(Reply::Cancel);
    fx.runner.Run(Cmd::Open);
    EXPECT_EQ(fx.ui.dialogsShown.size(), dialogs);  // no Open dialog
    EXPECT_EQ(fx.session.document().Path(), first);

    fx.ui.replies.push_back(Reply::Yes);  // but the Save Markers dialog is cancelled
    fx.runner.Run(Cmd::Open);
    EXPECT_EQ(fx.ui.dialogsShown.size(), dialogs + 1);
    EXPECT_EQ(fx.ui.dialogsShown.back().defaultExt, "mrk");
    EXPECT_EQ(fx.session.document().Path(), first);

    fx.ui.replies.push_back(Reply::No);  // the Open dialog comes, and is cancelled
    fx.runner.Run(Cmd::Open);
    EXPECT_EQ(fx.ui.dialogsShown.back().defaultExt, "sig");
    EXPECT_TRUE(fx.session.document().Markers().Changed());  // nothing was let go

    fx.ui.replies.push_back(Reply::Yes);
    fx.ui.fileAnswers.push_back(FileDialogAnswer{fx.dir.File("first.mrk"), false});
    fx.ui.fileAnswers.push_back(FileDialogAnswer{second, false});
    fx.runner.Run(Cmd::Open);
    EXPECT_EQ(ReadText(fx.dir.File("first.mrk")), "800\r\n");
    EXPECT_EQ(fx.session.document().Path(), second);
    EXPECT_EQ(fx.ui.questions.size(), 4u);
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
}

}  // namespace
}  // namespace koru
