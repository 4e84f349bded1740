#include <gtest/gtest.h>

#include "app/GoToTime.h"
#include "app/RecentFiles.h"
#include "support/TempDir.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

TEST(GoToTimeTest, TimesAndFrameNumbersGiveTheFrame) {
    struct Case {
        const char* text;
        FrameClock clock;
        std::optional<int64_t> frame;
    };
    for (const Case& c :
         std::vector<Case>{{"00:01.000", 2778, 359},      // 1 000 000 / 2778 = 359.97
                           {"1:00:00", 2778, 1'295'896},  // 3.6e9 / 2778 = 1 295 896.3
                           {"02:30.5", 1000, 150'500},    // 150.5 s at 1 kHz
                           {"0:00:01.25", 4000, 312},     // 1.25 s / 4 ms = 312.5
                           {"90:00", 1000, 5'400'000},    // minutes past an hour in mm:ss
                           {" 12345 ", 2778, 12'345},     // a frame number
                           {"0", 1000, 0},
                           {"00:00.0000019", 1, 2},  // rounded to the microsecond
                           {"00:01.000", FrameClock::FromRate(360), 360},      // the exact rate
                           {"30:05.555", FrameClock::FromRate(360), 649'999},  // 649 999.8
                           {"1:60", 1000, std::nullopt},                       // seconds below 60
                           {"1:60:00", 1000, std::nullopt},  // minutes below 60 in hh:mm:ss
                           {"1:2:3:4", 1000, std::nullopt},
                           {"1:00.", 1000, std::nullopt},
                           {"-5", 1000, std::nullopt},
                           {"12a", 1000, std::nullopt},
                           {"", 1000, std::nullopt},
                           {":30", 1000, std::nullopt},
                           {"1:30", 0, std::nullopt},
                           {"9999999999999", 1000, std::nullopt}}) {
        EXPECT_EQ(FrameOfGoToText(c.text, c.clock), c.frame) << c.text;
    }
}

TEST(GoToTimeTest, TheViewGoesToTheDivisionHoldingTheFrame) {
    test::ViewFixture fx;
    fx.Open(1, 1000, 40'000, [](int64_t, int) -> int16_t { return 0; });  // spd 40: range 1000
    fx.view->GoToFrame(12'345);
    EXPECT_EQ(fx.view->ScrollX(), 308);  // 12 345 / 40
    EXPECT_EQ(fx.ui.fields[Field::Position].rfind("Time: 00:12.320", 0), 0u);
    fx.view->GoToFrame(10'000'000);
    EXPECT_EQ(fx.view->ScrollX(), 1000);
}

TEST(RecentFilesTest, NewestFirstNoRepeatsEightAtMostAndKeptInTheSettingsFile) {
    std::vector<std::string> list;
    for (int i = 1; i <= 10; ++i) list = WithRecentFile(list, "/r/" + std::to_string(i) + ".sig");
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list.front(), "/r/10.sig");
    EXPECT_EQ(list.back(), "/r/3.sig");
    list = WithRecentFile(list, "/r/5.sig");
    EXPECT_EQ(list[0], "/r/5.sig");
    EXPECT_EQ(list[1], "/r/10.sig");
    EXPECT_EQ(std::count(list.begin(), list.end(), "/r/5.sig"), 1);
    EXPECT_EQ(WithRecentFile(list, "/r/a\nb.sig"), list);  // not storable on one line

    test::TempDir dir;
    const std::string ini = dir.File("koruview.ini");
    ASSERT_TRUE(WriteRecentFiles(ini, {"/x/one.hea", "/x/two.edf"}));
    const std::string text = test::ReadText(ini);
    EXPECT_NE(text.find("[RECENT FILES]"), std::string::npos);
    EXPECT_NE(text.find("FILE1=/x/one.hea"), std::string::npos);
    EXPECT_NE(text.find("FILE2=/x/two.edf"), std::string::npos);
    EXPECT_EQ(ReadRecentFiles(ini), (std::vector<std::string>{"/x/one.hea", "/x/two.edf"}));
    EXPECT_TRUE(ReadRecentFiles("").empty());
}

}  // namespace
}  // namespace koru
