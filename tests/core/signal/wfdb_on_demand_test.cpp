// WFDB records read on demand: any stretch, in any order, gives the frames
// one read of the whole record gives (multi-segment records of fixed and
// variable layout, first differences, FLAC), and first differences resumed
// from their kept values equal sums worked out here.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "signal/ForeignSource.h"
#include "signal/WfdbFormats.h"
#include "support/PeerExpected.h"
#include "support/TempDir.h"

namespace koru {
namespace {

std::unique_ptr<ForeignSource> OpenAll(const std::string& path) {
    std::string error;
    auto source = OpenWfdbRecord(path, error);
    EXPECT_TRUE(source) << path << ": " << error;
    if (!source) return nullptr;
    std::vector<int> all;
    for (std::size_t i = 0; i < source->Signals().size(); ++i) all.push_back(static_cast<int>(i));
    source->Choose(all);
    return source;
}

std::vector<Frame> ReadWhole(ForeignSource& source) {
    std::vector<Frame> out(static_cast<std::size_t>(source.FrameCount()));
    std::string error;
    EXPECT_EQ(source.Read(0, out.size(), out.data(), error), out.size()) << error;
    return out;
}

// Stretches at random places and of random lengths (some crossing a
// segment's end), then the record page by page from its end back to its start.
void ExpectStretchesEqual(ForeignSource& source, const std::vector<Frame>& whole,
                          std::size_t longest) {
    const auto frames = static_cast<int64_t>(whole.size());
    ASSERT_EQ(source.FrameCount(), frames);
    std::mt19937 random(11);
    std::string error;
    std::vector<Frame> got;
    auto check = [&](int64_t first, std::size_t count) {
        count = std::min<std::size_t>(count, static_cast<std::size_t>(frames - first));
        got.assign(count, Frame{});
        ASSERT_EQ(source.Read(first, count, got.data(), error), count) << first << " " << error;
        for (std::size_t k = 0; k < count; ++k)
            ASSERT_EQ(got[k], whole[static_cast<std::size_t>(first) + k])
                << "frame " << first + static_cast<int64_t>(k) << " read from " << first;
    };
    for (int k = 0; k < 80; ++k)
        check(static_cast<int64_t>(random() % static_cast<uint32_t>(frames)),
              1 + random() % longest);
    const auto page = static_cast<int64_t>(std::max<std::size_t>(1, longest / 2));
    for (int64_t first = (frames - 1) / page * page; first >= 0; first -= page)
        check(first, static_cast<std::size_t>(page));
}

struct PeerRecord {
    const char* header;  // under the peer WFDB samples
    std::size_t longest;
};

class WfdbOnDemandPeerTest : public testing::TestWithParam<PeerRecord> {};

TEST_P(WfdbOnDemandPeerTest, AnyStretchEqualsTheWholeRead) {
    const std::string path = test::kPeer + "/wfdb-python-samples/" + GetParam().header;
    const auto whole = OpenAll(path);
    const auto jumping = OpenAll(path);
    ASSERT_TRUE(whole && jumping);
    ASSERT_TRUE(whole->ReadsOnDemand());
    const std::vector<Frame> frames = ReadWhole(*whole);
    ASSERT_FALSE(frames.empty());
    ExpectStretchesEqual(*jumping, frames, GetParam().longest);
}

INSTANTIATE_TEST_SUITE_P(
    Peer, WfdbOnDemandPeerTest,
    testing::Values(
        PeerRecord{"multi-segment/041s/041s.hea",
                   3000},  // fixed layout
                           // variable layout: a layout header, gaps, signals some segments lack
        PeerRecord{"multi-segment/s25047/s25047-2704-05-04-10-44.hea", 2000},
        PeerRecord{"binformats.hea", 120},  // format 8 beside every fixed format
        PeerRecord{"flacformats.hea", 120}, PeerRecord{"mixedsignals.hea", 5000}),
    [](const auto& p) { return test::CaseName(p.param.header); });

// A signal's value at sample n of a segment: a triangle, so that each first
// difference fits a byte; segment s is shifted by 3 * s.
int32_t Triangle(int64_t n, int segment, int signal) {
    const auto t = static_cast<int32_t>(n % 200);
    return (t < 100 ? t : 200 - t) * (signal == 0 ? 1 : -1) + 3 * segment;
}

// A record of `count` segments of `length` frames and two signals, format 8
// and 16 in turn, with a gap ("~") after the first; sample values Triangle().
std::string WriteSegments(const test::TempDir& dir, int count, int64_t length) {
    std::string top = "m/" + std::to_string(count + 1) + " 2 100\n";
    for (int s = 0; s < count; ++s) {
        const std::string name = "m_" + std::to_string(s);
        const bool differences = s % 2 == 0;
        std::string hea = name + " 2 100 " + std::to_string(length) + "\n", data;
        // The initial value is the segment's shift: no difference is past a byte.
        int32_t last[2] = {3 * s, 3 * s};
        for (int64_t n = 0; n < length; ++n)
            for (int c = 0; c < 2; ++c) {
                const int32_t v = Triangle(n, s, c);
                if (differences) {
                    data += static_cast<char>(static_cast<int8_t>(v - last[c]));
                } else {
                    data += static_cast<char>(v & 0xFF);
                    data += static_cast<char>((v >> 8) & 0xFF);
                }
                last[c] = v;
            }
        for (int c = 0; c < 2; ++c)
            hea += name + ".dat " + (differences ? "8" : "16") + " 200 16 0 " +
                   std::to_string(3 * s) + " 0 0 sig" + std::to_string(c) + "\n";
        dir.WriteText(name + ".hea", hea);
        dir.WriteText(name + ".dat", data);
        top += name + " " + std::to_string(length) + "\n";
        if (s == 0) top += "~ " + std::to_string(length) + "\n";
    }
    return dir.WriteText("m.hea", top);
}

struct SegmentCase {
    int segments;
    bool renamed;  // a segment's file saved over by rename once the record is open
};

// Past the files the record keeps open, segments are opened again as they
// are reached. A record whose files are all kept open reads what was there
// at its opening, whatever is saved over a file by rename afterwards.
class WfdbOnDemandSegmentsTest : public testing::TestWithParam<SegmentCase> {};

TEST_P(WfdbOnDemandSegmentsTest, EachSegmentReadsItsOwnValuesInAnyOrder) {
    test::TempDir dir;
    const int segments = GetParam().segments;
    constexpr int64_t kLength = 50;
    const auto source = OpenAll(WriteSegments(dir, segments, kLength));
    ASSERT_TRUE(source);
    if (GetParam().renamed) {
        dir.WriteText("other.dat", std::string(4 * kLength, '\x11'));
        ASSERT_EQ(std::rename(dir.File("other.dat").c_str(), dir.File("m_1.dat").c_str()), 0);
    }
    std::vector<Frame> expected(static_cast<std::size_t>((segments + 1) * kLength));
    const ValueRule& rule0 = source->Signals()[0].rule;
    const ValueRule& rule1 = source->Signals()[1].rule;
    for (int s = 0; s < segments; ++s)
        for (int64_t n = 0; n < kLength; ++n) {
            // The gap after the first segment reads as physical zero.
            const int64_t at = (s == 0 ? 0 : s + 1) * kLength + n;
            Frame& f = expected[static_cast<std::size_t>(at)];
            f[0] = rule0.Value(Triangle(n, s, 0));
            f[1] = rule1.Value(Triangle(n, s, 1));
        }
    ExpectStretchesEqual(*source, expected, 3 * kLength);
}

INSTANTIATE_TEST_SUITE_P(Segments, WfdbOnDemandSegmentsTest,
                         testing::Values(SegmentCase{4, true}, SegmentCase{70, false}),
                         [](const auto& p) {
                             return std::to_string(p.param.segments) +
                                    (p.param.renamed ? "_renamed" : "");
                         });

// Format 8 with kept values every `every` samples: three signals, the first
// with two samples a frame, so checkpoints fall at every place in a frame.
class WfdbDifferenceCheckpointTest : public testing::TestWithParam<uint64_t> {};

TEST_P(WfdbDifferenceCheckpointTest, ResumedStretchesEqualTheRunningSums) {
    constexpr std::size_t kSamples = 150'000;
    std::mt19937 random(5);
    std::string bytes(kSamples, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    StreamLayout layout;
    layout.format = 8;
    layout.samplesPerFrame = 4;
    layout.slotSignal = {0, 0, 1, 2};
    layout.initialValues = {1000, -7, 0};
    layout.checkpointSamples = GetParam();
    std::vector<int32_t> expected(kSamples);
    std::vector<int32_t> running = layout.initialValues;
    for (std::size_t k = 0; k < kSamples; ++k) {
        int32_t& v = running[static_cast<std::size_t>(layout.slotSignal[k % 4])];
        v += static_cast<int8_t>(bytes[k]);
        expected[k] = v;
    }
    test::TempDir dir;
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(dir.WriteText("d.dat", bytes)));
    std::string error;
    const auto reader = MakeSampleReader(std::move(file), layout, error);
    ASSERT_TRUE(reader) << error;
    // Far ahead first (past anything kept), then back, then anywhere.
    std::vector<uint64_t> starts = {
        kSamples - 10,  3,           0, kSamples / 2, 1, GetParam(), GetParam() - 1,
        GetParam() + 1, kSamples - 1};
    for (int k = 0; k < 60; ++k) starts.push_back(random() % kSamples);
    for (const uint64_t first : starts) {
        std::vector<int32_t> got(std::min<uint64_t>(1 + random() % 700, kSamples - first));
        ASSERT_TRUE(reader->Read(first, got)) << first;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + static_cast<long>(first)))
            << "stretch at " << first;
    }
}

INSTANTIATE_TEST_SUITE_P(Every, WfdbDifferenceCheckpointTest,
                         testing::Values(uint64_t{1}, uint64_t{37}, uint64_t{4096},
                                         uint64_t{1} << 16),
                         [](const auto& p) { return "every" + std::to_string(p.param); });

}  // namespace
}  // namespace koru
