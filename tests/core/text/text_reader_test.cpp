#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "support/TextSource.h"
#include "text/TextReader.h"

namespace koru {
namespace {

using test::StringSource;

// The smallest block the reader takes, so numbers straddle block ends often.
constexpr std::size_t kTinyBlock = 96;

TEST(TextReaderFloat, ReadsWhatStrtofReads) {
    std::vector<std::string> texts = {
        "0",       "1.5",    "-1.5",        ".5",          "-.5",       "+2",       "1e-05",
        "1E5",     "2.5e+3", "3.40282e+38", "3.40283e+38", "1e39",      "-1e39",    "1e-39",
        "1.4e-45", "1e-46",  "1.17549e-38", "0.1",         "123456789", "16777217", "0.000",
        "7.",      "inf",    "-INF",        "infinity",    "-0",
    };
    texts.push_back(std::string(2000, '0') + "1.25");           // leading zeros
    texts.push_back("0." + std::string(2000, '0') + "1e2010");  // a far fraction
    texts.push_back("1" + std::string(1200, '7'));              // too long a mantissa
    texts.push_back("3." + std::string(1500, '3'));
    texts.push_back("1e" + std::string(30, '9'));
    texts.push_back("1e-" + std::string(30, '9'));
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const float f = std::bit_cast<float>(static_cast<uint32_t>(rng()));
        if (!std::isfinite(f)) continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, i % 2 ? "%g" : "%.9g", static_cast<double>(f));
        texts.push_back(buf);
    }
    for (const std::string& t : texts) {
        SCOPED_TRACE(t.substr(0, 60));
        TextReader in(StringSource(" \r\n\t" + t + " ", 5), kTinyBlock);
        float got = -123;
        ASSERT_TRUE(in.ReadFloat(got));
        const float want = std::strtof(t.c_str(), nullptr);
        EXPECT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(want));
        EXPECT_EQ(in.Peek(), ' ');  // the whole number was taken
    }
    float n = 0;
    TextReader nan(StringSource("nan -nan"));
    ASSERT_TRUE(nan.ReadFloat(n));
    EXPECT_TRUE(std::isnan(n));
    ASSERT_TRUE(nan.ReadFloat(n));
    EXPECT_TRUE(std::isnan(n) && std::signbit(n));
}

TEST(TextReaderFloat, RefusesWhatIsNoNumberAndStaysThere) {
    for (const char* t : {"-", ".", "e5", "abc", "1e", "1e+", "+-1", "in", "nax"}) {
        SCOPED_TRACE(t);
        TextReader in(StringSource(t));
        float f = 0;
        EXPECT_FALSE(in.ReadFloat(f));
    }
    // Like a failed conversion, the item is left for whoever reads next.
    TextReader in(StringSource("x 1.5"));
    float f = 0;
    EXPECT_FALSE(in.ReadFloat(f));
    EXPECT_FALSE(in.ReadFloat(f));
    EXPECT_EQ(in.Peek(), 'x');
}

TEST(TextReaderShorts, ReadEveryValueAcrossEveryBufferEdge) {
    std::mt19937 rng(11);
    const char* separators[] = {" ", "\r\n", "\n", "\t", "    ", " \r\n", "\f\v "};
    std::string text;
    std::vector<int16_t> want;
    int64_t lines = 1;
    for (int i = 0; i < 20000; ++i) {
        const auto v = static_cast<int16_t>(rng());
        want.push_back(v);
        std::string number = std::to_string(std::abs(int{v}));
        if (rng() % 17 == 0) number = std::string(rng() % 14, '0') + number;  // long runs too
        text += (v < 0 ? "-" : (rng() % 9 == 0 ? "+" : "")) + number;
        const char* sep = separators[rng() % std::size(separators)];
        lines += std::count(sep, sep + std::strlen(sep), '\n');
        text += sep;
    }
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::string::npos}) {
        SCOPED_TRACE(chunk);
        TextReader in(StringSource(text, chunk), kTinyBlock);
        std::vector<int16_t> got(want.size() + 10);
        std::size_t total = 0, n = 0;
        ShortsStop stop;
        // Small output batches, so Full is met as well.
        while ((stop = in.ReadShorts(got.data() + total, 333, n)) == ShortsStop::Full) total += n;
        total += n;
        EXPECT_EQ(stop, ShortsStop::End);
        got.resize(total);
        EXPECT_EQ(got, want);
        EXPECT_EQ(in.Line(), lines);
        EXPECT_EQ(in.Consumed(), text.size());
    }
}

TEST(TextReaderShorts, StopAtTheFirstItemThatIsNoSampleAndTellWhere) {
    struct Case {
        std::string text;
        std::vector<int16_t> values;
        ShortsStop stop;
        std::string item;
        int64_t line;
    };
    const std::string longItem(60, 'q');
    const Case cases[] = {
        {"10,20,30", {10}, ShortsStop::NotNumber, ",20,30", 1},
        {"1 2\r\n40000 3", {1, 2}, ShortsStop::OutOfRange, "40000", 2},
        {"-32768 32767 -32769", {-32768, 32767}, ShortsStop::OutOfRange, "-32769", 1},
        {"32768", {}, ShortsStop::OutOfRange, "32768", 1},
        {"12abc 4", {12}, ShortsStop::NotNumber, "abc", 1},
        {"5 - 6", {5}, ShortsStop::NotNumber, "-", 1},
        {"\n\n 7\n1.5", {7, 1}, ShortsStop::NotNumber, ".5", 4},
        {"0000000000000000000042 1", {42, 1}, ShortsStop::End, "", 0},
        {"99999999999999999999999 1", {}, ShortsStop::OutOfRange, "99999999999999999999999", 1},
        {"4294967297", {}, ShortsStop::OutOfRange, "4294967297", 1},  // 1 in 32 bits
        {"0000000001 999999999", {1}, ShortsStop::OutOfRange, "999999999", 1},
        {"1 " + longItem, {1}, ShortsStop::NotNumber, std::string(40, 'q') + "...", 1},
        {std::string("3 a\x01\x7f"), {3}, ShortsStop::NotNumber, "a??", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (const std::size_t chunk : {std::size_t{1}, std::string::npos}) {
            TextReader in(StringSource(c.text, chunk), kTinyBlock);
            std::vector<int16_t> got(16);
            std::size_t n = 0;
            EXPECT_EQ(in.ReadShorts(got.data(), got.size(), n), c.stop);
            got.resize(n);
            EXPECT_EQ(got, c.values);
            if (c.stop == ShortsStop::End) continue;
            EXPECT_EQ(in.StopItem(), c.item);
            EXPECT_EQ(in.StopLine(), c.line);
        }
    }
}

TEST(TextReaderEof, IsSetWhenAReadFindsNothingMore) {
    int64_t v = 0;
    TextReader atEnd(StringSource("8"));
    ASSERT_TRUE(atEnd.ReadInteger(v));
    EXPECT_EQ(v, 8);
    EXPECT_TRUE(atEnd.Eof());  // the digits ran to the end
    TextReader before(StringSource("8 "));
    ASSERT_TRUE(before.ReadInteger(v));
    EXPECT_FALSE(before.Eof());
    TextReader noDigit(StringSource("Number of Channels:"));
    EXPECT_FALSE(noDigit.SkipToDigit());
    EXPECT_TRUE(noDigit.Eof());
    TextReader skipped(StringSource("Channels: -12x"));
    ASSERT_TRUE(skipped.SkipToDigit());
    ASSERT_TRUE(skipped.ReadInteger(v));
    EXPECT_EQ(v, 12);  // the minus sign was passed over with the words
    TextReader huge(StringSource(std::string(50, '9') + " -" + std::string(50, '9')));
    ASSERT_TRUE(huge.ReadInteger(v));
    EXPECT_EQ(v, INT64_MAX);
    ASSERT_TRUE(huge.ReadInteger(v));
    EXPECT_EQ(v, -INT64_MAX);
}

TEST(TextReaderLines, KeepUpToTheLimitAndLoseOneCharacterMore) {
    const std::string a(255, 'a'), b(256, 'b'), c(300, 'c');
    std::string text = a + "\r\n" + b + "\r\n" + c.substr(0, 256) + "X" + "4 5\r\n" +
                       "lone\rCR\r\r\n" + "\n" + "last";
    TextReader in(StringSource(text, 13), kTinyBlock);
    EXPECT_EQ(in.ReadLine(256), a);
    EXPECT_EQ(in.ReadLine(256), b);  // the line end was the character after the limit
    EXPECT_EQ(in.ReadLine(256), c.substr(0, 256));
    EXPECT_EQ(in.Peek(), '4');  // "X" went, the rest of the line stays
    in.SkipLine();
    EXPECT_EQ(in.ReadLine(256), "lone\rCR\r");  // only CR LF is a line end
    EXPECT_EQ(in.ReadLine(256), "");
    EXPECT_EQ(in.Line(), 6);
    EXPECT_EQ(in.ReadLine(256), "last");
    EXPECT_TRUE(in.Eof());
}

TEST(TextReaderSkip, ToANumberKeepsItsSignAndPoint) {
    struct Case {
        const char* text;
        float value;
    };
    for (const Case c : {Case{"Scale: -1.5 2", -1.5f}, Case{"Scale:.5", 0.5f},
                         Case{"a-b +.5", 0.5f}, Case{"-.x 3", 3.0f}, Case{"x.-7", -7.0f}}) {
        SCOPED_TRACE(c.text);
        TextReader in(StringSource(c.text));
        ASSERT_TRUE(in.SkipToNumber());
        float f = 0;
        ASSERT_TRUE(in.ReadFloat(f));
        EXPECT_EQ(f, c.value);
    }
    TextReader none(StringSource("no - . numbers"));
    EXPECT_FALSE(none.SkipToNumber());
}

}  // namespace
}  // namespace koru
