// The files around a saved cutout: its own marker file by its full name,
// what happens when that cannot be written, and targets that are protected.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/Session.h"
#include "export/SaveCutout.h"
#include "signal/OpenFlow.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

ChannelSelection First() {
    ChannelSelection s;
    s.selected.fill(false);
    s.selected[0] = true;
    return s;
}

struct CutoutFiles : ::testing::Test {
    test::TempDir dir;
    test::ScriptedUi ui;
    SignalDocument doc;

    void SetUp() override {
        ASSERT_EQ(OpenSignalFile(doc, dir.Write("run.sig", test::SigFile(1, 1000, 3000)), ui),
                  OpenOutcome::Opened);
        LoadRecording(doc, ui);
    }
    SaveOutcome Save(const std::string& out, SaveMode mode = SaveMode::Replace) {
        return SaveCutout(doc, Cutout::FromTags(1000, 2000), SaveRequest{out, mode, First()}, ui);
    }
    std::vector<int32_t> MarkersOf(const std::string& path) {
        SignalDocument other;
        EXPECT_EQ(OpenSignalFile(other, path, ui), OpenOutcome::Opened);
        return other.Markers().items;
    }
};

TEST_F(CutoutFiles, ACutoutNamedAfterItsRecordingKeepsItsOwnMarkers) {
    dir.WriteText("run.mrk", "5\r\n1500\r\n");
    doc.Markers().items = {1100, 1500};
    ASSERT_TRUE(Save(dir.File("run.part1.sig")).Ok());
    EXPECT_EQ(ReadText(dir.File("run.part1.mrk")), "100\r\n500\r\n");
    EXPECT_EQ(ReadText(dir.File("run.mrk")), "5\r\n1500\r\n");  // the recording's own, untouched
    EXPECT_EQ(MarkersOf(dir.File("run.part1.sig")), (std::vector<int32_t>{100, 500}));
    EXPECT_EQ(MarkersOf(dir.File("run.sig")), (std::vector<int32_t>{5, 1500}));

    // A file saved by an older version has only the first-dot name.
    dir.Write("old.v2.sig", test::SigFile(1, 1000, 100));
    dir.WriteText("old.mrk", "7\r\n");
    EXPECT_EQ(MarkersOf(dir.File("old.v2.sig")), std::vector<int32_t>{7});
    // Without markers of its own, a cutout saved beside such a file gets an
    // empty marker file, so the older one is not taken for its.
    doc.Markers().items.clear();
    ASSERT_TRUE(Save(dir.File("run.part2.sig")).Ok());
    EXPECT_EQ(ReadText(dir.File("run.part2.mrk")), "");
    EXPECT_TRUE(MarkersOf(dir.File("run.part2.sig")).empty());
}

TEST_F(CutoutFiles, AMarkerFileThatCannotBeWrittenIsSaidAndTheStaleOneGoes) {
    // A thousand markers make a marker file larger than the cutout itself.
    for (int32_t m = 1001; m <= 2000; ++m) doc.Markers().items.push_back(m);
    const std::string stale = dir.WriteText("cut.mrk", "9\r\n");
    const std::string sig = dir.File("cut.sig");
    SaveOutcome outcome;
    {
        const test::FileSizeLimit limit(4000);  // the .sig (2328 bytes) fits, the markers not
        outcome = Save(sig);
    }
    EXPECT_EQ(outcome.title, "Save Error");
    EXPECT_EQ(outcome.message, "KORU VIEW -- Cannot write marker file: " + dir.File("cut.mrk") +
                                   "\nFile too large\nThe old marker file " + stale +
                                   " was removed.");
    EXPECT_EQ(ReadText(sig).size(), 326u + 2u * 1001u);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(MarkersOf(sig).empty());
}

TEST_F(CutoutFiles, AWriteProtectedTargetIsRefusedByNameAndLeftAsItWas) {
    for (const SaveMode mode : {SaveMode::Replace, SaveMode::Append}) {
        const std::string target = dir.Write("kept.sig", test::SigFile(1, 1000, 50));
        ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
        const std::string before = ReadText(target);
        const SaveOutcome outcome = Save(target, mode);
        EXPECT_EQ(outcome.title, mode == SaveMode::Append ? "Append Error" : "Save Error");
        EXPECT_EQ(outcome.message, "Cannot write " + target +
                                       ": the file is write-protected. The file was not "
                                       "changed.");
        EXPECT_EQ(ReadText(target), before);
        ::chmod(target.c_str(), 0644);
        std::filesystem::remove(target);
    }
}

}  // namespace
}  // namespace koru
