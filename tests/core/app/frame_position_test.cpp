#include <gtest/gtest.h>

#include "text/FramePosition.h"

namespace koru {
namespace {

TEST(FramePosition, FramesSecondsAndClockTimes) {
    struct Case {
        const char* text;
        FrameClock clock;
        int64_t frame;
    };
    const FrameClock ms(1000), hz360 = FrameClock::FromRate(360);
    for (const Case& c : {
             Case{"1500", ms, 1500},
             {"-3", ms, -3},
             {"0", ms, 0},
             {"12.5s", ms, 12500},
             {"12s", FrameClock(250), 48000},
             {".5s", ms, 500},
             {"00:12.500", ms, 12500},
             {"1:02:03.5", ms, 3723500},
             {"2:00", ms, 120000},
             {"0.0014s", ms, 1},  // the nearest frame: 1.4 ms
             {"0.0016s", ms, 2},
             {"1s", hz360, 360},  // the exact rate, not 2778 us a frame
             {"00:10", hz360, 3600},
             {"1.0000004s", ms, 1000},  // past microseconds: rounded
         }) {
        SCOPED_TRACE(c.text);
        std::string error;
        const std::optional<int64_t> f = ParseFramePosition(c.text, c.clock, error);
        ASSERT_TRUE(f.has_value()) << error;
        EXPECT_EQ(*f, c.frame);
    }
    for (const char* bad : {"", "s", "x", "12.5", "1e3", "-1s", "1:60", "1:60:00", "1::2", ":5",
                            "5:", "12.s", "+5", "1:2:3:4", "1.5.2s", "--1"}) {
        SCOPED_TRACE(bad);
        std::string error;
        EXPECT_FALSE(ParseFramePosition(bad, ms, error).has_value());
        EXPECT_NE(error.find("is no position"), std::string::npos);
    }
}

}  // namespace
}  // namespace koru
