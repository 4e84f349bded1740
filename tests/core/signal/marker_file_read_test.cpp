#include <gtest/gtest.h>

#include <random>

#include "signal/MarkerFile.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"
#include "support/TextSource.h"

namespace koru {
namespace {

using test::TempDir;

TEST(MarkerPathTest, CutsTheFileNameNotTheFolder) {
    EXPECT_EQ(MarkerPathFor("/data/RUN1.SIG"), "/data/RUN1.mrk");
    EXPECT_EQ(MarkerPathFor("/data/run1.v2.sig"), "/data/run1.v2.mrk");
    EXPECT_EQ(OlderMarkerPathFor("/data/run1.v2.sig"), "/data/run1.mrk");
    EXPECT_EQ(MarkerPathFor("/data/RUN1"), "/data/RUN1.mrk");
    // A dotted folder must not make recordings share one marker file.
    EXPECT_EQ(MarkerPathFor("/MY.DIR/REC1.SIG"), "/MY.DIR/REC1.mrk");
    EXPECT_EQ(MarkerPathFor("/data/.hidden.sig"), "/data/.hidden.mrk");
    EXPECT_EQ(MarkerPathFor("RUN1.SIG"), "RUN1.mrk");
}

const MarkerList& OpenWithMarkers(TempDir& dir, SignalDocument& doc, const std::string& sigName,
                                  const std::vector<uint8_t>& sig, const std::string& mrkName,
                                  const std::string& mrkText) {
    test::ScriptedUi ui;
    ui.readBinaryAnswers.push_back({1, 1000});
    if (!mrkName.empty()) dir.WriteText(mrkName, mrkText);
    EXPECT_EQ(OpenSignalFile(doc, dir.Write(sigName, sig), ui), OpenOutcome::Opened);
    return doc.Markers();
}

TEST(MarkerFileReadTest, ReadingStopsAtTheFirstBadOrTooLargeItem) {
    TempDir dir;
    SignalDocument doc;
    auto sig = test::SigFile(1, 1000, 100);
    EXPECT_EQ(OpenWithMarkers(dir, doc, "a.sig", sig, "a.mrk", "10\r\n20\r\nabc\r\n30\r\n").items,
              (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(OpenWithMarkers(dir, doc, "b.sig", sig, "b.mrk", " -5 0\n100\n101\n7\n").items,
              (std::vector<int32_t>{-5, 0, 100}));
    const MarkerList& empty = OpenWithMarkers(dir, doc, "c.sig", sig, "c.mrk", "");
    EXPECT_TRUE(empty.loaded);
    EXPECT_TRUE(empty.items.empty());
}

TEST(MarkerFileReadTest, KeepsAtMost2048InFileOrder) {
    TempDir dir;
    SignalDocument doc;
    std::string text;
    for (int i = 3000; i > 0; --i) text += std::to_string(i) + "\r\n";
    const MarkerList& m =
        OpenWithMarkers(dir, doc, "d.sig", test::SigFile(1, 1000, 5000), "d.mrk", text);
    ASSERT_EQ(m.items.size(), 2048u);
    EXPECT_EQ(m.items.front(), 3000);
    EXPECT_EQ(m.items.back(), 3000 - 2047);
}

TEST(MarkerFileReadTest, WhenMarkersAreNotLookedFor) {
    TempDir dir;
    SignalDocument doc;
    std::string desc(256, ' ');
    desc[255] = '(';
    const MarkerList& suppressed =
        OpenWithMarkers(dir, doc, "e.sig", test::SigFile(1, 1000, 100, desc), "e.mrk", "5\n");
    EXPECT_FALSE(suppressed.loaded);
    EXPECT_TRUE(suppressed.items.empty());
    const MarkerList& raw =
        OpenWithMarkers(dir, doc, "f.bin", std::vector<uint8_t>(200, 0), "f.mrk", "5\n");
    EXPECT_FALSE(raw.loaded);
    const MarkerList& none = OpenWithMarkers(dir, doc, "g.sig", test::SigFile(1, 1000, 9), "", "");
    EXPECT_FALSE(none.loaded);
}

TEST(MarkerFileReadTest, FindsTheMarkerFileWhateverItsCase) {
    TempDir dir;
    SignalDocument doc;
    const MarkerList& m =
        OpenWithMarkers(dir, doc, "run1.sig", test::SigFile(1, 1000, 100), "RUN1.MRK", "42\n");
    EXPECT_TRUE(m.loaded);
    EXPECT_EQ(m.items, std::vector<int32_t>{42});
}

}  // namespace
}  // namespace koru

namespace koru {
namespace {

std::vector<int32_t> MarkersFrom(ReadFn source, int32_t frames = INT32_MAX) {
    TextReader in(std::move(source), 4096);
    std::vector<int32_t> out;
    ReadMarkers(in, frames, out);
    return out;
}

// Whatever sits in a marker file, the reading ends without a crash and
// keeps what came before the bad part.
TEST(MarkerFileReadTest, BadInputNeverCrashes) {
    const std::string good = "10\r\n20\r\n-30\r\n40\r\n";
    for (std::size_t n = 0; n <= good.size(); ++n) {  // every truncation
        const std::vector<int32_t> got = MarkersFrom(test::StringSource(good.substr(0, n)));
        const std::vector<int32_t> all = {10, 20, -30, 40};
        ASSERT_LE(got.size(), all.size());
        // The last value read may be a cut one.
        if (!got.empty()) {
            EXPECT_TRUE(std::equal(got.begin(), got.end() - 1, all.begin()));
        }
    }
    std::mt19937 rng(9);
    for (int i = 0; i < 300; ++i) {  // binary
        std::string junk(rng() % 5000, '\0');
        for (char& c : junk) c = static_cast<char>(rng());
        EXPECT_LE(MarkersFrom(test::StringSource(junk)).size(), MarkerList::kCapacity);
    }
    // Numbers beyond any frame count end the reading.
    EXPECT_EQ(MarkersFrom(test::StringSource("5 " + std::string(3000, '9') + " 6")),
              std::vector<int32_t>{5});
    EXPECT_EQ(MarkersFrom(test::StringSource("5 -" + std::string(3000, '9') + " 6")),
              std::vector<int32_t>{5});
    // A line of a gigabyte: digits, then blanks.
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    EXPECT_EQ(MarkersFrom(test::PatternSource("7\n", '3', kGiB, "\n8\n")), std::vector<int32_t>{7});
    EXPECT_EQ(MarkersFrom(test::PatternSource("7\n", ' ', kGiB, "8\n")),
              (std::vector<int32_t>{7, 8}));
}

}  // namespace
}  // namespace koru
