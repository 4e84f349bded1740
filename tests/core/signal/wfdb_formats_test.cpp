// WFDB storage formats on bytes worked out by hand, the decoders whose
// samples depend on the last against a single pass over real files, and the
// header fields that place samples (skew, segments).

#include <gtest/gtest.h>

#include <random>

#include "signal/WfdbFormats.h"
#include "signal/WfdbHeader.h"
#include "support/PeerExpected.h"
#include "support/TempDir.h"

namespace koru {
namespace {

constexpr int32_t X = kWfdbInvalid;

std::unique_ptr<SampleReader> ReaderOver(const std::string& path, const StreamLayout& layout) {
    ReadOnlyFile file;
    if (!file.Open(path)) return nullptr;
    std::string error;
    return MakeSampleReader(std::move(file), layout, error);
}

struct FormatCase {
    int format;
    std::string bytes;
    std::vector<int32_t> samples;
};

const FormatCase kFormatCases[] = {
    {16, std::string("\x34\x12\x00\x80", 4), {0x1234, X}},
    {61, std::string("\x12\x34\xFF\xFE", 4), {0x1234, -2}},
    {80, std::string("\x81\x7F\x00", 3), {1, -1, X}},
    {160, std::string("\x00\x80\xFF\xFF\x01\x00", 6), {0, 32767, -32767}},
    // 0x301 and 0x245: the middle byte's low nibble tops the first, its high the second;
    // then 0x800 (-2048), the invalid code, and 0x7FF
    {212, std::string("\x01\x23\x45\x00\x78\xFF", 6), {769, 581, X, 2047}},
    // 5, -3 (0x3FD) and 300 (0x12C): w0 = 5 << 1 | (300 & 31) << 11 = 0x600A,
    // w1 = 0x3FD << 1 | (300 >> 5) << 11 = 0x4FFA
    {310, std::string("\x0A\x60\xFA\x4F", 4), {5, -3, 300}},
    // the same in one word: 5 | 0x3FD << 10 | 300 << 20 = 0x12CFF405
    {311, std::string("\x05\xF4\xCF\x12", 4), {5, -3, 300}},
    {24, std::string("\x01\x00\x80\x00\x00\x80", 6), {-8388607, X}},
    {32, std::string("\xFF\xFF\xFF\x7F\x00\x00\x00\x80", 8), {INT32_MAX, X}},
    // a writer's odd tail: one 212 sample in two bytes, one 310 sample in two
    {212, std::string("\x01\x23\x45\x10\x00", 5), {769, 581, 16}},
    {310, std::string("\x0A\x60\xFA\x4F\x0A\x00", 6), {5, -3, 300, 5}},
};

class WfdbFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(WfdbFormatTest, DecodesHandWorkedBytes) {
    const FormatCase& c = GetParam();
    test::TempDir dir;
    dir.WriteText("x.dat", c.bytes);
    StreamLayout layout;
    layout.format = c.format;
    const auto reader = ReaderOver(dir.File("x.dat"), layout);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->FramesInFile(), static_cast<int64_t>(c.samples.size()));
    std::vector<int32_t> got(c.samples.size());
    ASSERT_TRUE(reader->Read(0, got));
    EXPECT_EQ(got, c.samples);
    std::vector<int32_t> last(1);  // a stretch that starts inside a group
    ASSERT_TRUE(reader->Read(c.samples.size() - 1, last));
    EXPECT_EQ(last[0], c.samples.back());
    std::vector<int32_t> past(c.samples.size() + 1);
    EXPECT_FALSE(reader->Read(0, past));  // past the end is no sample
}

INSTANTIATE_TEST_SUITE_P(Formats, WfdbFormatTest, testing::ValuesIn(kFormatCases),
                         [](const auto& p) {
                             return "format" + std::to_string(p.param.format) + "_" +
                                    std::to_string(p.index);
                         });

// Format 8: two signals, each adding its bytes to its own running value.
TEST(WfdbFormat8Test, EachSignalAddsItsDifferencesToItsOwnValueAndRereadsFromTheStart) {
    test::TempDir dir;
    dir.WriteText("d.dat", std::string("\x01\x05\xFE\xFB\x03\x00", 6));
    StreamLayout layout;
    layout.format = 8;
    layout.samplesPerFrame = 2;
    layout.slotSignal = {0, 1};
    layout.initialValues = {100, -50};
    const auto reader = ReaderOver(dir.File("d.dat"), layout);
    ASSERT_TRUE(reader);
    std::vector<int32_t> all(6);
    ASSERT_TRUE(reader->Read(0, all));
    EXPECT_EQ(all, (std::vector<int32_t>{101, -45, 99, -50, 102, -50}));
    std::vector<int32_t> two(2);
    ASSERT_TRUE(reader->Read(2, two));  // behind the last read: starts over
    EXPECT_EQ(two, (std::vector<int32_t>{99, -50}));
    ASSERT_TRUE(reader->Read(4, two));
    EXPECT_EQ(two, (std::vector<int32_t>{102, -50}));
}

struct StreamCase {
    const char* file;  // under the peer WFDB samples
    int format, samplesPerFrame, signals;
    uint64_t samples;
};

// Stretches read in a shuffled order, backwards included, give what one pass gives.
class WfdbStatefulReaderTest : public testing::TestWithParam<StreamCase> {};

TEST_P(WfdbStatefulReaderTest, AnyStretchEqualsOnePass) {
    const StreamCase& c = GetParam();
    StreamLayout layout;
    layout.format = c.format;
    layout.samplesPerFrame = c.samplesPerFrame * c.signals;
    layout.flacChannels = c.signals;
    for (int s = 0; s < c.signals; ++s) {
        layout.initialValues.push_back(0);
        for (int j = 0; j < c.samplesPerFrame; ++j) layout.slotSignal.push_back(s);
    }
    const std::string path = test::kPeer + "/wfdb-python-samples/" + c.file;
    const auto whole = ReaderOver(path, layout);
    ASSERT_TRUE(whole);
    std::vector<int32_t> pass(c.samples);
    ASSERT_TRUE(whole->Read(0, pass));
    const auto reader = ReaderOver(path, layout);
    std::mt19937 random(7);
    for (int k = 0; k < 60; ++k) {
        const uint64_t first = random() % c.samples;
        std::vector<int32_t> got(std::min<uint64_t>(1 + random() % 3000, c.samples - first));
        ASSERT_TRUE(reader->Read(first, got)) << first;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), pass.begin() + static_cast<long>(first)))
            << "stretch at " << first << " of " << got.size();
    }
}

INSTANTIATE_TEST_SUITE_P(Peer, WfdbStatefulReaderTest,
                         testing::Values(StreamCase{"binformats.d0", 8, 1, 1, 499},
                                         StreamCase{"flacformats.d1", 516, 1, 1, 499},
                                         StreamCase{"mixedsignals_e.dat", 516, 4, 3, 14400 * 12}),
                         [](const auto& p) { return test::CaseName(p.param.file); });

TEST(WfdbHeaderTest, SkewsAreWholeFramesAndSegmentsAreListed) {
    WfdbHeader h;
    std::string error;
    ASSERT_TRUE(
        ParseWfdbHeader("r 3 500 40\nr.dat 16x2:3 100\nr.dat 212:4+512 200\n"
                        "r.dat 16x4:1 100 16 0 -7 0 0 desc with  blanks\n",
                        h, error))
        << error;
    EXPECT_EQ(h.signals[0].skew, 2);  // 3 samples of a signal of 2 a frame: 1.5 frames, up
    EXPECT_EQ(h.signals[1].skew, 4);
    EXPECT_EQ(h.signals[1].byteOffset, 512u);
    EXPECT_EQ(h.signals[2].skew, 0);  // a quarter frame rounds down
    EXPECT_EQ(h.signals[2].initialValue, -7);
    EXPECT_EQ(h.signals[2].description, "desc with  blanks");

    ASSERT_TRUE(ParseWfdbHeader("m/3 2 125 60\nlayout 0\n~ 20\nseg 40\n", h, error)) << error;
    EXPECT_EQ(h.record, "m");
    ASSERT_EQ(h.segments.size(), 3u);
    EXPECT_EQ(h.segments[1].record, "~");
    EXPECT_EQ(h.segments[1].samples, 20);
    EXPECT_TRUE(h.signals.empty());

    std::string wide = "r 65 125\n";  // 65 signals of 1024 samples a frame: past the limit
    for (int s = 0; s < 65; ++s) wide += "r.dat 16x1024\n";
    for (const std::string& bad : {std::string("m/3 2 125\na 1\nb 2\n"), std::string("m/0 1 125\n"),
                                   std::string("m/2 1\na x\nb 2\n"), wide}) {
        EXPECT_FALSE(ParseWfdbHeader(bad, h, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace koru
