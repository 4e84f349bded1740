#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <random>

#include "export/TextLayout.h"
#include "text/NumberText.h"

namespace koru {
namespace {

TEST(NumberText, GWritesWhatPrintfWrites) {
    std::vector<double> values = {0.0,        -0.0,     1.0,        0.5,      -1.5,      100000.0,
                                  1000000.0,  1e-4,     1e-5,       123456.5, 1234567,   0.1,
                                  3.40282e38, 1e300,    1e-320,     INFINITY, -INFINITY, NAN,
                                  -NAN,       999999.5, 9.999995e-5};
    std::mt19937 rng(3);
    for (int i = 0; i < 5000; ++i) {
        // Floats widened for printing, as the Scale factors are.
        const float f = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        values.push_back(static_cast<double>(f));
    }
    for (const double v : values) {
        char want[64];
        std::snprintf(want, sizeof want, "%g", v);
        std::string got;
        AppendG(got, v);
        EXPECT_EQ(got, want) << v;
    }
}

TEST(NumberText, RightAlignedPadsToTheWidthAndNeverCuts) {
    std::string s;
    for (const int64_t v : {0L, 7L, -12L, 32767L, -32768L, 123456L}) {
        char want[32];
        std::snprintf(want, sizeof want, "%5lld", static_cast<long long>(v));
        s.clear();
        AppendRightAligned(s, v, 5);
        EXPECT_EQ(s, want);
    }
}

TEST(TextLayout, HeaderLinesAreTheThreePrintfLinesWithCrLf) {
    SignalHeader h;
    h.ChannelCount = 3;
    h.Interval = 4000000000u;  // all 32 bits, never a negative number
    for (std::size_t i = 0; i < 16; ++i) h.Scale[i] = 0.25f * static_cast<float>(i) - 1.0f;
    h.SetDescription("Run 7\nsecond");
    EXPECT_EQ(TextHeaderLines(h),
              "Number of Channels: 3  Interval:4000000000\r\n"
              "Scale: -1  -0.75  -0.5  -0.25  0  0.25  0.5  0.75  1  1.25  1.5  1.75  2  2.25 "
              " 2.5  2.75 \r\n"
              "Run 7\r\nsecond\r\n");

    SignalHeader zero;
    zero.ChannelCount = 1;
    zero.Interval = 1;
    std::string scale = "Scale:";
    for (int i = 0; i < 16; ++i) scale += " 0 ";
    EXPECT_EQ(TextHeaderLines(zero), "Number of Channels: 1  Interval:1\r\n" + scale + "\r\n\r\n");

    // A full description has no terminator: all 256 bytes, nothing after.
    SignalHeader full = zero;
    full.Description.fill('d');
    const std::string lines = TextHeaderLines(full);
    EXPECT_EQ(lines.substr(lines.size() - 258), std::string(256, 'd') + "\r\n");
}

TEST(TextLayout, FrameLinesInBothStyles) {
    std::string out;
    const int16_t two[] = {-12, 40};
    AppendFrameLine(out, two, FrameLineStyle::TrailingBlank);
    EXPECT_EQ(out, "  -12    40 \r\n");
    out.clear();
    const int16_t eight[] = {-32768, 32767, 0, 1, -1, 100, 12345, -9};
    AppendFrameLine(out, eight, FrameLineStyle::EightColumns);
    EXPECT_EQ(out, "-32768 32767     0     1    -1   100 12345    -9\r\n");
    out.clear();
    AppendFrameLine(out, std::span<const int16_t>(), FrameLineStyle::TrailingBlank);
    EXPECT_EQ(out, "\r\n");  // no channel ticked: an empty line per frame
}

// Every value against the C library's own "%5d ", in a line of both styles.
TEST(TextLayout, EveryValuePrintsAsTheFormatDoes) {
    std::string out;
    for (int v = -32768; v <= 32767; ++v) {
        char want[16];
        std::snprintf(want, sizeof want, "%5d \r\n", v);
        out.clear();
        const int16_t one[] = {static_cast<int16_t>(v)};
        AppendFrameLine(out, one, FrameLineStyle::TrailingBlank);
        ASSERT_EQ(out, want) << v;
    }
    std::string line;
    std::string want;
    int16_t eight[8];
    for (int v = -32768; v <= 32767; v += 8) {
        want.clear();
        for (int i = 0; i < 8; ++i) {
            eight[i] = static_cast<int16_t>(v + i);
            char cell[16];
            std::snprintf(cell, sizeof cell, i < 7 ? "%5d " : "%5d", v + i);
            want += cell;
        }
        want += "\r\n";
        line.clear();
        AppendFrameLine(line, eight, FrameLineStyle::EightColumns);
        ASSERT_EQ(line, want) << v;
    }
}

}  // namespace
}  // namespace koru
