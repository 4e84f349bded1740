#include <gtest/gtest.h>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ScriptedUi;
using test::TempDir;

// Opens and loads a file in the given mode; the document must open.
void OpenAndLoad(SignalDocument& doc, const std::string& path, bool fileBacked, ScriptedUi& ui) {
    doc.Close();
    doc.SetFileBacked(fileBacked);
    ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
    LoadRecording(doc, ui);
}

std::vector<Frame> ReadAll(const SignalDocument& doc, int64_t from = 0) {
    std::vector<Frame> out;
    FrameCursor cursor(doc, from);
    while (const Frame* f = cursor.Next()) out.push_back(*f);
    return out;
}

class BothModes : public ::testing::TestWithParam<bool> {};

TEST_P(BothModes, DeliversChannelsOneToEightAndZeroForAbsentOnes) {
    TempDir dir;
    ScriptedUi ui;
    for (uint16_t channels : {uint16_t{3}, uint16_t{12}, uint16_t{16}}) {
        const std::string path = dir.Write("c.sig", test::SigFile(channels, 1000, 50));
        SignalDocument doc;
        OpenAndLoad(doc, path, GetParam(), ui);
        EXPECT_EQ(doc.FrameCount(), 50);
        EXPECT_EQ(doc.FrameOffset(2), 326u + 2u * 2u * channels);
        const auto frames = ReadAll(doc);
        ASSERT_EQ(frames.size(), 50u);
        for (int64_t f : {0, 1, 49}) {
            for (int c = 0; c < 8; ++c) {
                const int16_t expected = c < channels ? test::Value(f, c) : 0;
                EXPECT_EQ(frames[static_cast<std::size_t>(f)][static_cast<std::size_t>(c)],
                          expected)
                    << "channels " << channels << " frame " << f << " channel " << c;
            }
        }
    }
}

TEST_P(BothModes, TrailingPartialFrameIsNotCounted) {
    TempDir dir;
    ScriptedUi ui;
    std::vector<uint8_t> bytes = test::SigFile(3, 1000, 10);
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    SignalDocument doc;
    OpenAndLoad(doc, dir.Write("p.sig", bytes), GetParam(), ui);
    EXPECT_EQ(doc.FrameCount(), 10);
    EXPECT_EQ(ReadAll(doc).size(), 10u);
    EXPECT_EQ(ReadAll(doc, 9).size(), 1u);
    EXPECT_TRUE(ReadAll(doc, 10).empty());
}

TEST_P(BothModes, RawKindsAreNormalised) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<int16_t> values;
    };
    const std::vector<Case> cases = {
        // Left-justified 12-bit words: the low nibble never matters.
        {"a.dat",
         {0xF0, 0xFF, 0xF0, 0x7F, 0x00, 0x80, 0x10, 0x00, 0x1F, 0x00},
         {-1, 2047, -2048, 1, 1}},
        {"a.nib", {0x01, 0x02, 0xFF, 0xFE}, {258, -2}},
        {"a.bin", {0x01, 0x02, 0xFF, 0xFE}, {0x0201, static_cast<int16_t>(0xFEFF)}},
    };
    for (const Case& c : cases) {
        ScriptedUi ui;
        ui.readBinaryAnswers.push_back({1, 500});
        SignalDocument doc;
        OpenAndLoad(doc, dir.Write(c.name, c.bytes), GetParam(), ui);
        EXPECT_EQ(ui.readBinaryCalls, 1);
        const auto frames = ReadAll(doc);
        ASSERT_EQ(frames.size(), c.values.size()) << c.name;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i][0], c.values[i]) << c.name << " word " << i;
            EXPECT_EQ(frames[i][1], 0);
        }
    }
}

TEST_P(BothModes, EmptyRecordingsOpenWithNoFrames) {
    TempDir dir;
    ScriptedUi ui;
    ui.readBinaryAnswers.push_back({2, 1000});
    SignalDocument sig, raw;
    OpenAndLoad(sig, dir.Write("e.sig", test::SigHeaderBytes(2, 1000)), GetParam(), ui);
    OpenAndLoad(raw, dir.Write("e.bin", {}), GetParam(), ui);
    for (SignalDocument* d : {&sig, &raw}) {
        EXPECT_TRUE(d->IsOpen());
        EXPECT_EQ(d->FrameCount(), 0);
        EXPECT_TRUE(ReadAll(*d).empty());
    }
    for (int p : ui.progress) EXPECT_EQ(p, 0);  // no division by a zero frame count
}

INSTANTIATE_TEST_SUITE_P(Storage, BothModes, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "FileBacked" : "InMemory"; });

TEST(SignalDocumentTest, BothModesAgreeOnARealisticRecording) {
    TempDir dir;
    ScriptedUi ui;
    const std::string path = dir.Write("big.sig", test::SigFile(8, 1000, 200'000));
    SignalDocument mem, file;
    OpenAndLoad(mem, path, false, ui);
    OpenAndLoad(file, path, true, ui);
    for (int64_t start : {0, 65'535, 65'536, 199'990}) {
        EXPECT_EQ(ReadAll(mem, start), ReadAll(file, start)) << start;
    }
    Frame f{};
    file.SeekFrame(131'072);
    ASSERT_TRUE(file.ReadFrame(f));
    EXPECT_EQ(f, *mem.FindFrame(131'072));
    ASSERT_TRUE(file.ReadFrame(f));
    EXPECT_EQ(f, *mem.FindFrame(131'073));
    EXPECT_FALSE(mem.FindFrame(200'000));
    EXPECT_FALSE(mem.FindFrame(-1));
}

TEST(SignalDocumentTest, InMemoryLoadReportsEachPercentOnceAndEndsTheBox) {
    TempDir dir;
    ScriptedUi ui;
    SignalDocument doc;
    OpenAndLoad(doc, dir.Write("l.sig", test::SigFile(8, 1000, 300'000)), false, ui);
    EXPECT_EQ(ui.progressBegins, 1);
    EXPECT_EQ(ui.progressEnds, 1);
    ASSERT_FALSE(ui.progress.empty());
    EXPECT_LE(ui.progress.size(), 101u);
    EXPECT_EQ(ui.progress.front(), 0);
    EXPECT_EQ(ui.progress.back(), 100);
    for (std::size_t i = 1; i < ui.progress.size(); ++i)
        EXPECT_LT(ui.progress[i - 1], ui.progress[i]);
    ASSERT_EQ(ui.cursors.size(), 2u);
    EXPECT_EQ(ui.cursors[0], CursorShape::Wait);
    EXPECT_EQ(ui.cursors[1], CursorShape::View);
}

TEST(SignalDocumentTest, FileBackedLoadShowsNoProgressAndHoldsNoSamples) {
    TempDir dir;
    ScriptedUi ui;
    SignalDocument doc;
    OpenAndLoad(doc, dir.Write("f.sig", test::SigFile(8, 1000, 100'000)), true, ui);
    EXPECT_EQ(ui.progressBegins, 0);
    EXPECT_TRUE(ui.cursors.empty());
    EXPECT_EQ(doc.StoreForTesting().BytesAllocated(), 0u);
    EXPECT_EQ(doc.ReadableFrames(), 100'000);
}

TEST(SignalDocumentTest, RunningOutOfMemoryKeepsWhatWasLoaded) {
    TempDir dir;
    ScriptedUi ui;
    SignalDocument doc;
    doc.SetFileBacked(false);
    ASSERT_EQ(OpenSignalFile(doc, dir.Write("m.sig", test::SigFile(2, 1000, 5000)), ui),
              OpenOutcome::Opened);
    doc.StoreForTesting().SetFrameBudgetForTesting(1000);
    const LoadResult loaded = LoadRecording(doc, ui);
    EXPECT_TRUE(loaded.outOfMemory);
    EXPECT_EQ(loaded.frames, 1000);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "WARNING");
    EXPECT_EQ(ui.messages[0].text, "Insufficient Memory to load complete file");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui.messages[0].owner, MessageOwner::View);
    EXPECT_TRUE(doc.IsOpen());
    EXPECT_EQ(doc.FrameCount(), 5000);  // the scroll range still covers the file
    EXPECT_EQ(ReadAll(doc).size(), 1000u);
    ASSERT_TRUE(doc.FindFrame(999));
    EXPECT_EQ((*doc.FindFrame(999))[1], test::Value(999, 1));
    EXPECT_FALSE(doc.FindFrame(1000));
    EXPECT_EQ(ui.progressEnds, 1);
}

}  // namespace
}  // namespace koru
