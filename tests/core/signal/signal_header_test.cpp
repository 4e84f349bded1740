#include <gtest/gtest.h>

#include "signal/SignalHeader.h"
#include "support/SigBuilder.h"

namespace koru {
namespace {

HeaderBytes ToArray(const std::vector<uint8_t>& v) {
    HeaderBytes a{};
    std::copy(v.begin(), v.begin() + 326, a.begin());
    return a;
}

TEST(SignalHeaderTest, FieldsSitAtTheirOffsetsInLittleEndian) {
    SignalHeader h;
    h.ChannelCount = 0x0102;
    h.Interval = 0x0A0B0C0D;
    h.Scale[0] = 1.0f;    // 0x3F800000
    h.Scale[15] = -2.0f;  // 0xC0000000
    h.SetDescription("ECG");
    h.Description[255] = '(';
    const HeaderBytes b = SerializeHeader(h);
    EXPECT_EQ(b[0], 0x02);
    EXPECT_EQ(b[1], 0x01);
    EXPECT_EQ(b[2], 0x0D);
    EXPECT_EQ(b[5], 0x0A);
    EXPECT_EQ(b[6], 0x00);
    EXPECT_EQ(b[9], 0x3F);
    EXPECT_EQ(b[6 + 60 + 3], 0xC0);
    EXPECT_EQ(b[70], 'E');
    EXPECT_EQ(b[72], 'G');
    EXPECT_EQ(b[73], 0);
    EXPECT_EQ(b[325], '(');
}

TEST(SignalHeaderTest, ParseReadsWhatAnIndependentWriterWrote) {
    const SignalHeader h = ParseHeader(ToArray(test::SigHeaderBytes(3, 2777, "lead II")));
    EXPECT_EQ(h.ChannelCount, 3);
    EXPECT_EQ(h.Interval, 2777u);
    EXPECT_FLOAT_EQ(h.Scale[0], 0.5f);
    EXPECT_FLOAT_EQ(h.Scale[15], 8.0f);
    EXPECT_EQ(h.DescriptionText(), "lead II");
    EXPECT_EQ(SerializeHeader(h), ToArray(test::SigHeaderBytes(3, 2777, "lead II")));
}

TEST(SignalHeaderTest, DescriptionWithoutTerminatorStopsAtTheFieldEnd) {
    const std::string full(256, 'x');
    SignalHeader h = ParseHeader(ToArray(test::SigHeaderBytes(1, 1000, full)));
    EXPECT_EQ(h.DescriptionText(), full);
    h.SetDescription(std::string(300, 'y'));
    EXPECT_EQ(h.DescriptionText(), std::string(256, 'y'));
    EXPECT_EQ(h.MarkerFileSuppressed(), false);
    h.Description[255] = '(';
    EXPECT_TRUE(h.MarkerFileSuppressed());
}

TEST(SignalHeaderTest, AcceptsOneToSixteenChannelsAndANonZeroInterval) {
    SignalHeader h;
    h.Interval = 1000;
    for (uint16_t c : {uint16_t{1}, uint16_t{8}, uint16_t{16}}) {
        h.ChannelCount = c;
        EXPECT_TRUE(HeaderAcceptable(h)) << c;
    }
    for (uint16_t c : {uint16_t{0}, uint16_t{17}, uint16_t{65535}}) {
        h.ChannelCount = c;
        EXPECT_FALSE(HeaderAcceptable(h)) << c;
    }
    h.ChannelCount = 2;
    h.Interval = 0;
    EXPECT_FALSE(HeaderAcceptable(h));
}

}  // namespace
}  // namespace koru
