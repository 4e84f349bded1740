#include <gtest/gtest.h>

#include <filesystem>

#include "app/CommandRunner.h"
#include "app/ConvertCommand.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

struct ConvertCommandFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    std::string text = dir.WriteText(
        "in.txt",
        "Number of Channels: 2  Interval:500\r\nScale: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 "
        "16 \r\nnew one\r\n1 2\r\n3 4\r\n");
    ConvertCommandFixture() { session.StartUp({}); }
};

TEST(ConvertCommand, AsksForTheTextThenTheSignalFileAndConverts) {
    ConvertCommandFixture fx;
    fx.OpenBlank();
    const std::string shown = fx.session.document().FileName();
    const std::string target = fx.dir.File("made.sig");
    fx.ui.fileAnswers = {FileDialogAnswer{fx.text, false}, FileDialogAnswer{target, false}};
    fx.ui.statusHistory.clear();
    fx.runner.Run(Cmd::Convert);

    ASSERT_EQ(fx.ui.dialogsShown.size(), 2u);
    const FileDialogSetup& source = fx.ui.dialogsShown[0];
    EXPECT_EQ(source.title, "Text file to Convert");
    EXPECT_EQ(source.filter, "Text files (*.txt)|*.txt|");
    EXPECT_EQ(source.defaultExt, "txt");
    EXPECT_TRUE(source.flags & OFN_FILEMUSTEXIST);
    const FileDialogSetup& sig = fx.ui.dialogsShown[1];
    EXPECT_EQ(sig.title, "Signal file to Create");
    EXPECT_EQ(sig.filter, "Signal files (*.sig)|*.sig|");
    EXPECT_EQ(sig.defaultExt, "sig");
    EXPECT_TRUE(sig.flags & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(sig.flags & OFN_NOREADONLYRETURN);

    const std::string out = test::ReadText(target);
    ASSERT_EQ(out.size(), 326u + 8u);
    EXPECT_EQ(out.substr(70, 8), std::string("new one\0", 8));
    EXPECT_TRUE(fx.ui.messages.empty());
    // The open recording is neither touched nor replaced by the new file.
    EXPECT_EQ(fx.session.document().FileName(), shown);
    EXPECT_EQ(fx.session.document().FrameCount(), 30'000);
    EXPECT_EQ(fx.ui.statusHistory, (std::vector<std::string>{"Select text file to convert.",
                                                             std::string(kIdleStatusMessage)}));
    // Each dialog keeps its own last name.
    EXPECT_EQ(fx.session.convertSourceSetup.fileName, fx.text);
    EXPECT_EQ(fx.session.convertTargetSetup.fileName, target);
}

TEST(ConvertCommand, CancelOrAnotherExtensionConvertsNothing) {
    ConvertCommandFixture fx;
    fx.runner.Run(Cmd::Convert);  // first dialog cancelled
    EXPECT_EQ(fx.ui.dialogsShown.size(), 1u);
    fx.ui.fileAnswers = {FileDialogAnswer{fx.text, false}};
    fx.runner.Run(Cmd::Convert);  // second dialog cancelled
    EXPECT_EQ(fx.ui.dialogsShown.size(), 3u);
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);

    const std::string dat = fx.dir.File("made.dat");
    fx.ui.fileAnswers = {FileDialogAnswer{fx.text, false}, FileDialogAnswer{dat, true}};
    fx.runner.Run(Cmd::Convert);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text, "Can only convert \".txt\" to a \".sig\" file!");
    EXPECT_EQ(fx.ui.messages[0].title, "Output File Error");
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(fx.ui.messages[0].owner, MessageOwner::None);
    EXPECT_FALSE(std::filesystem::exists(dat));
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
}

}  // namespace
}  // namespace koru
