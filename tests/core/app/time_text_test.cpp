#include <gtest/gtest.h>

#include "text/TimeText.h"

namespace koru {
namespace {

TEST(TimeTextTest, LengthsPastTheThirtyTwoBitWrap) {
    // 71 min 35 s is where a 32-bit microsecond count wraps.
    EXPECT_EQ(FormatLength(4'295'000, 1000, true), "Len:71:35.000000");
    EXPECT_EQ(FormatLength(2'000'000'000, 2000, false), "Len:66666:40.000");
    EXPECT_EQ(FormatTime(4'294'967'296LL, true), "71:34.967296");
    EXPECT_EQ(FormatTime(4'294'967'296LL, false), "71:34.967");
    EXPECT_EQ(FormatTime(0, false), "00:00.000");
    EXPECT_EQ(FormatTime(61'000'999, false), "01:01.000");
}

TEST(TimeTextTest, FrequencyFormatsSwitchAboveOneSecond) {
    EXPECT_EQ(FormatFrequency(1000), "1000.0 Hz");
    EXPECT_EQ(FormatFrequency(2778), " 360.0 Hz");
    EXPECT_EQ(FormatFrequency(40000), "  25.0 Hz");
    EXPECT_EQ(FormatFrequency(1'000'000), "   1.0 Hz");
    EXPECT_EQ(FormatFrequency(2'000'000), "0.5000 Hz");
    EXPECT_EQ(FormatFrequency(1), "1000000.0 Hz");
}

TEST(TimeTextTest, ExactRatesGiveExactTimes) {
    struct Case {
        double hz;
        int64_t frames, micros;
        const char* frequency;
    };
    const Case cases[] = {
        {360, 650'000, 1'805'555'556, " 360.0 Hz"},  // 1805.5555556 s
        {360, 9, 25'000, " 360.0 Hz"},
        {30'000, 3, 100, "30000.0 Hz"},               // not 30303.0 from 33 us
        {500 / 1.0284, 500, 1'028'400, " 486.2 Hz"},  // 500 samples in a 1.0284 s record
        {12.8, 128, 10'000'000, "  12.8 Hz"},
        {0.5, 3, 6'000'000, "0.5000 Hz"},
    };
    for (const Case& c : cases) {
        const FrameClock clock = FrameClock::FromRate(c.hz);
        EXPECT_EQ(clock.Micros(c.frames), c.micros) << c.hz;
        EXPECT_EQ(FormatFrequency(clock), c.frequency) << c.hz;
    }
    EXPECT_EQ(FormatLength(650'000, FrameClock::FromRate(360), false), "Len:30:05.555");
    EXPECT_EQ(FormatLength(650'000, FrameClock::FromRate(360), true), "Len:30:05.555556");
    EXPECT_EQ(MicrosPerFrameText(FrameClock::FromRate(360)), "2777.778");
    EXPECT_EQ(MicrosPerFrameText(FrameClock::FromInterval(2778)), "2778");
}

}  // namespace
}  // namespace koru
