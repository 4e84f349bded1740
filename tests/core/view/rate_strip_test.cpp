// The heart-rate strip and the rhythm between two tags: which labels are
// beats, counts and means worked by hand, and where the strip puts a beat.

#include <gtest/gtest.h>

#include "analysis/Rhythm.h"
#include "platform/RasterCanvas.h"
#include "view/RateStrip.h"

namespace koru {
namespace {

TEST(RhythmTest, BeatLabelsAreTheBeatCodesOnly) {
    for (const char* beat : {"N", "V", "A", "L", "R", "F", "/", "Q", "j", "E"})
        EXPECT_TRUE(IsBeatLabel(beat)) << beat;
    for (const char* other : {"+", "~", "|", "\"", "x", "[", "]", "!", "", "NN", "n "})
        EXPECT_FALSE(IsBeatLabel(other)) << other;

    AnnotationList list;
    list.Assign(
        {{300, "N", "", -1}, {100, "+", "(AFIB", -1}, {200, "V", "", 0}, {250, "~", "", -1}});
    EXPECT_EQ(BeatFrames(list), (std::vector<int64_t>{200, 300}));
}

TEST(RhythmTest, StatsBetweenTwoTagsCountTheBeatsOnAndInsideThem) {
    const std::vector<int64_t> beats{100, 350, 600, 1100, 1300};
    struct Case {
        int64_t from, to;
        const char* text;
    };
    const Case cases[] = {
        // 350, 600, 1100: two intervals over 750 frames at 250 a second.
        {350, 1100, "3 beats, mean RR 1.500 s, 40.0 /min"},
        {1100, 350, "3 beats, mean RR 1.500 s, 40.0 /min"},  // tags either way round
        {0, 2000, "5 beats, mean RR 1.200 s, 50.0 /min"},
        {601, 1099, "0 beats"},
        {500, 700, "1 beat"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BeatStatsText(StatsBetween(beats, c.from, c.to, 250)), c.text)
            << c.from << ".." << c.to;
    EXPECT_EQ(StatsBetween(beats, 0, 2000, 0).meanRr, 0);  // no rate, no interval
}

TEST(RateStripTest, ColumnsAndFramesMapTheWholeRecording) {
    RateStrip strip;
    strip.SetBeats({}, 250, 10'000);
    EXPECT_EQ(strip.ColumnOf(5000, 100), 50);
    EXPECT_EQ(strip.FrameAt(50, 100), 5000);
    EXPECT_EQ(strip.FrameAt(-5, 100), 0);
    EXPECT_EQ(strip.FrameAt(500, 100), 9900);
    EXPECT_EQ(strip.ColumnOf(20'000, 100), 99);
    // Rate from 20 (bottom row 62 of 64) to 200 a minute (row 1).
    EXPECT_EQ(strip.RowOf(200, 64), 1);
    EXPECT_EQ(strip.RowOf(20, 64), 62);
    EXPECT_EQ(strip.RowOf(500, 64), 1);
    EXPECT_EQ(strip.RowOf(60, 64), 48);  // 1 + (1 - 40/180) * 61, rounded
    strip.SetShowRate(false);
    EXPECT_EQ(strip.RowOf(1.0, 64), 32);  // half of 0..2 s: 1 + 30.5, rounded up
}

TEST(RateStripTest, EachBeatIsDrawnAtItsRateOrIntervalAndTheScreenIsFramed) {
    std::vector<int64_t> beats;
    for (int64_t b = 0; b < 10'000; b += 250) beats.push_back(b);  // 60 a minute at 250 Hz
    RateStrip strip;
    strip.SetBeats(beats, 250, 10'000);
    RasterCanvas canvas(200, kRateStripHeight);
    const RateStrip::Look look{Rgb(0, 0, 0), Rgb(0, 255, 0), Rgb(255, 255, 0), Rgb(255, 255, 255)};
    const auto rowsOf = [&](int x, ColorRef c) {
        std::vector<int> rows;
        for (int y = 0; y < canvas.Height(); ++y)
            if (canvas.GetPixel(x, y) == c) rows.push_back(y);
        return rows;
    };
    strip.Paint(canvas, look, 5000, 6000);                     // columns 100 to 120 framed
    EXPECT_EQ(rowsOf(150, look.trace), std::vector<int>{48});  // the beat at 7500
    EXPECT_TRUE(rowsOf(151, look.trace).empty());              // no beat under column 151
    EXPECT_EQ(rowsOf(100, look.frame).size(), static_cast<std::size_t>(kRateStripHeight));
    EXPECT_EQ(rowsOf(120, look.frame).size(), static_cast<std::size_t>(kRateStripHeight));
    EXPECT_EQ(canvas.GetPixel(110, 0), look.frame);
    EXPECT_NE(canvas.GetPixel(121, 0), look.frame);

    strip.SetShowRate(false);
    strip.Paint(canvas, look, 5000, 6000);
    EXPECT_EQ(rowsOf(150, look.trace), std::vector<int>{32});  // an RR of 1 s
}

}  // namespace
}  // namespace koru
