#include <gtest/gtest.h>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ScriptedUi;
using test::TempDir;

struct FakeView : ViewControl {
    int prepares = 0, resets = 0;
    void PrepareForLoad() override { ++prepares; }
    void ResetView() override { ++resets; }
};

struct Fixture {
    ScriptedUi ui;
    Session session{ui};
    FakeView view;
    TempDir dir;
    Fixture() { session.AttachView(&view); }

    void Choose(const std::string& path) {
        ui.fileAnswers.push_back(FileDialogAnswer{path, false});
    }
    void ExpectEmptyWindow() {
        EXPECT_EQ(ui.title, "KORU VIEW");
        EXPECT_FALSE(ui.viewMenuEnabled);
        EXPECT_FALSE(session.document().IsOpen());
        for (Field f : {Field::Cut, Field::Description, Field::Length, Field::Position,
                        Field::SampPerDiv, Field::Frequency})
            EXPECT_EQ(ui.fields[f], "") << static_cast<int>(f);
    }
};

TEST(SessionOpenTest, OpenShowsTheRecordingInUpperCase) {
    Fixture fx;
    fx.session.StartUp({});
    EXPECT_EQ(fx.ui.status, "Select \"FILE\\OPEN\" to view a new signal file.");
    const std::string path = fx.dir.Write("run1.sig", test::SigFile(2, 1000, 60'000, "Lead II"));
    fx.Choose(path);
    fx.session.OpenCommand();
    EXPECT_EQ(fx.ui.statusHistory[1],
              "Select desired \"*.sig\", or \"*.bin\", or \"*.dat\", or \"*.nib\" file. Then "
              "press \"OK\".");
    EXPECT_EQ(fx.ui.status, fx.session.idleStatus());
    EXPECT_EQ(fx.ui.title, "KORU VIEW -- " + UpperCased(path));
    EXPECT_EQ(fx.session.document().FileName(), UpperCased(path));
    EXPECT_EQ(fx.ui.fields[Field::Length], "Len:01:00.000");
    EXPECT_EQ(fx.ui.fields[Field::Position], "00:00.000");
    EXPECT_EQ(fx.ui.fields[Field::Frequency], "1000.0 Hz");
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "40");
    EXPECT_EQ(fx.ui.fields[Field::Description], "Lead II");
    EXPECT_TRUE(fx.ui.viewMenuEnabled);
    EXPECT_EQ(fx.view.prepares, 1);
    EXPECT_EQ(fx.ui.progressEnds, 1);
}

TEST(SessionOpenTest, TheOpenDialogProposesTheNameAsChosen) {
    Fixture fx;
    fx.session.StartUp({});
    const std::string path = fx.dir.Write("run1.sig", test::SigFile(2, 1000, 100));
    fx.Choose(path);
    fx.session.OpenCommand();
    EXPECT_EQ(fx.session.openSetup.fileName, path);
    // Accepting the proposal opens the same file again, not RUN1.SIG.
    fx.ui.fileAnswers.push_back(FileDialogAnswer{});
    fx.session.OpenCommand();
    EXPECT_TRUE(fx.ui.messages.empty());
    EXPECT_TRUE(fx.session.document().IsOpen());
    EXPECT_EQ(fx.session.document().FileName(), UpperCased(path));
    EXPECT_EQ(fx.session.openSetup.fileName, path);
}

TEST(SessionOpenTest, MicrosecondResolutionChangesLengthAndPosition) {
    Fixture fx;
    fx.session.settings().timeResolution = 1;
    fx.session.StartUp({});
    fx.Choose(fx.dir.Write("r.sig", test::SigFile(1, 1000, 60'000)));
    fx.session.OpenCommand();
    EXPECT_EQ(fx.ui.fields[Field::Length], "Len:01:00.000000");
    EXPECT_EQ(fx.ui.fields[Field::Position], "00:00.000000");
}

TEST(SessionOpenTest, FailedOpenClosesThePreviousRecordingAndEmptiesTheWindow) {
    Fixture fx;
    fx.session.StartUp({});
    fx.Choose(fx.dir.Write("good.sig", test::SigFile(2, 1000, 100)));
    fx.session.OpenCommand();
    ASSERT_TRUE(fx.session.document().IsOpen());

    // Too short for a header.
    fx.Choose(fx.dir.Write("short.sig", std::vector<uint8_t>(325, 1)));
    fx.session.OpenCommand();
    fx.ExpectEmptyWindow();
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "Error");
    EXPECT_EQ(fx.ui.messages[0].text,
              "KORU VIEW -- Invalid file: " + UpperCased(fx.dir.File("short.sig")) +
                  "\nThe file contents are not valid.");
    EXPECT_EQ(fx.ui.messages[0].owner, MessageOwner::None);
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_GE(fx.view.resets, 1);
    EXPECT_EQ(fx.ui.status, fx.session.idleStatus());
}

TEST(SessionOpenTest, InvalidHeadersAreRefused) {
    Fixture fx;
    fx.session.StartUp({});
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
        {"seventeen.sig", test::SigFile(17, 1000, 3)},
        {"zero.sig", test::SigHeaderBytes(0, 1000)},
        {"nointerval.sig", test::SigFile(2, 0, 3)},
    };
    for (const auto& [name, bytes] : bad) {
        fx.ui.messages.clear();
        fx.Choose(fx.dir.Write(name, bytes));
        fx.session.OpenCommand();
        ASSERT_EQ(fx.ui.messages.size(), 1u) << name;
        EXPECT_NE(fx.ui.messages[0].text.find("Invalid file"), std::string::npos);
        fx.ExpectEmptyWindow();
    }
    fx.Choose(fx.dir.Write("sixteen.sig", test::SigFile(16, 1000, 3)));
    fx.session.OpenCommand();
    EXPECT_TRUE(fx.session.document().IsOpen());
}

TEST(SessionOpenTest, MissingFileGivesTheCannotOpenMessage) {
    Fixture fx;
    fx.session.StartUp({});
    fx.Choose(fx.dir.File("gone.sig"));
    fx.session.OpenCommand();
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text,
              "KORU VIEW -- Cannot open file: " + UpperCased(fx.dir.File("gone.sig")));
    fx.ExpectEmptyWindow();
}

TEST(SessionOpenTest, OtherExtensionsAreRefusedByTheDialogButNotOnTheCommandLine) {
    Fixture fx;
    fx.session.StartUp({});
    fx.Choose(fx.dir.Write("ok.sig", test::SigFile(1, 1000, 10)));
    fx.session.OpenCommand();
    const std::string notes = fx.dir.WriteText("notes.txt", "hello");
    fx.Choose(notes);
    fx.session.OpenCommand();
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "File Select Error");
    EXPECT_EQ(fx.ui.messages[0].text,
              "Can only load:\n KORU \".sig\" files or\n Binary (rt12) \".bin\" files or\n "
              "Binary (lt16) \".dat\" files or\n Bigendian(12bit) \".nib\" files or\n EDF, "
              "BDF, GDF, WFDB (.hea) or SCP-ECG files.");
    fx.ExpectEmptyWindow();

    Fixture cmd;
    cmd.session.StartUp({notes});  // read as a signal file; five bytes are no header
    ASSERT_EQ(cmd.ui.messages.size(), 1u);
    EXPECT_NE(cmd.ui.messages[0].text.find("Invalid file"), std::string::npos);
    EXPECT_FALSE(cmd.session.openedFromCommandLine());
}

TEST(SessionOpenTest, CancelledDialogChangesNothingButTheStatus) {
    Fixture fx;
    fx.session.StartUp({});
    fx.session.OpenCommand();
    EXPECT_EQ(fx.ui.status, fx.session.idleStatus());
    EXPECT_TRUE(fx.ui.messages.empty());
    ASSERT_EQ(fx.ui.dialogsShown.size(), 1u);
    EXPECT_EQ(fx.ui.dialogsShown[0].defaultExt, "sig");
    EXPECT_EQ(*fx.ui.dialogsShown[0].initialDir, fx.session.settings().sigPath);
}

TEST(SessionOpenTest, CommandLineFileLoadsOnlyOnceTheWindowsExist) {
    Fixture fx;
    const std::string path = fx.dir.Write("cmd.sig", test::SigFile(4, 250, 4000, "x"));
    fx.session.StartUp({path});
    EXPECT_TRUE(fx.session.openedFromCommandLine());
    EXPECT_EQ(fx.ui.progressBegins, 0);
    EXPECT_EQ(fx.ui.fields[Field::Frequency], "4000.0 Hz");
    fx.session.FinishStartUp();
    EXPECT_EQ(fx.ui.progressBegins, 1);
    EXPECT_EQ(fx.ui.title, "KORU VIEW -- " + UpperCased(path));
    EXPECT_TRUE(fx.ui.viewMenuEnabled);
    EXPECT_EQ(fx.session.document().ReadableFrames(), 4000);
}

TEST(SessionOpenTest, RawFilesTakeTheirHeaderFromTheReadBinaryAnswer) {
    Fixture fx;
    fx.session.StartUp({});
    fx.ui.readBinaryAnswers.push_back({3, 250});
    fx.Choose(fx.dir.Write("raw.dat", std::vector<uint8_t>(1000, 0)));
    fx.session.OpenCommand();
    EXPECT_EQ(fx.ui.fields[Field::Description], "Bin left 12 of 16");
    EXPECT_EQ(fx.ui.fields[Field::Frequency], "4000.0 Hz");
    EXPECT_EQ(fx.session.document().FrameCount(), 166);
}

}  // namespace
}  // namespace koru
