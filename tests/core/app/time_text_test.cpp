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

}  // namespace
}  // namespace koru
