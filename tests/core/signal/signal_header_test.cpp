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

TEST(SignalHeaderTest, DescriptionsShowAsUtf8OrElseAsWindows1252) {
    EXPECT_EQ(RecordedTextToUtf8("Lead II, 10 mm/mV"), "Lead II, 10 mm/mV");
    EXPECT_EQ(RecordedTextToUtf8("10 \xC2\xB5V \xE2\x82\xAC \xF0\x9F\x92\x93"),
              "10 \xC2\xB5V \xE2\x82\xAC \xF0\x9F\x92\x93");
    // Windows bytes: micro sign, e acute, euro, en dash, and an unused code.
    EXPECT_EQ(RecordedTextToUtf8("10 \xB5V Caf\xE9 \x80 \x96 \x81"),
              "10 \xC2\xB5V Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x93 \xC2\x81");
    // Not UTF-8: overlong, surrogate, past U+10FFFF, a lone continuation byte.
    EXPECT_EQ(RecordedTextToUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(RecordedTextToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    EXPECT_EQ(RecordedTextToUtf8("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(RecordedTextToUtf8("a\xBFz"), "a\xC2\xBFz");
    // A Windows text ending in a letter that could begin a UTF-8 sequence.
    EXPECT_EQ(RecordedTextToUtf8("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(RecordedTextToUtf8("Caf\xE9", true), "Caf");
    EXPECT_EQ(RecordedTextToUtf8("x\xE2\x82", true), "x");
}

TEST(SignalHeaderTest, TheDisplayedDescriptionLeavesTheBytesAsRead) {
    std::string windows = "Patient 7, 10 \xB5V/div";
    HeaderBytes bytes = ToArray(test::SigHeaderBytes(2, 1000, windows));
    SignalHeader h = ParseHeader(bytes);
    EXPECT_EQ(h.DescriptionDisplayText(), "Patient 7, 10 \xC2\xB5V/div");
    EXPECT_EQ(h.DescriptionText(), windows);
    EXPECT_EQ(SerializeHeader(h), bytes);

    // A UTF-8 text cut by the end of a full field loses only the broken character.
    std::string full(254, 'a');
    full += "\xC2\xB5\xE2\x82";
    bytes = ToArray(test::SigHeaderBytes(2, 1000, full.substr(0, 256)));
    h = ParseHeader(bytes);
    EXPECT_EQ(h.DescriptionDisplayText(), std::string(254, 'a') + "\xC2\xB5");
    EXPECT_EQ(SerializeHeader(h), bytes);
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
