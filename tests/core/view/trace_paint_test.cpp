#include <gtest/gtest.h>

#include <algorithm>

#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::PixelsOf;
using test::ViewFixture;

// Screen 400 x 330: baselines 30, 60, ..., 240.
constexpr int kW = 400;
constexpr int kH = 330;
constexpr uint32_t kGarbage = 0xFF123456u;

int Baseline(int position) {
    return 30 * position;
}

struct StripCase {
    int timeBaseIndex;
    bool fileBacked;
    int scrollX;
    int scrollY;
};

void PrintTo(const StripCase& c, std::ostream* os) {
    *os << "index " << c.timeBaseIndex << (c.fileBacked ? " file" : " memory") << " scroll "
        << c.scrollX << "," << c.scrollY;
}

class StripRepaintTest : public ::testing::TestWithParam<StripCase> {};

// Every overlay on and markers loaded, so the seams of all of them are
// checked, not only the traces'.
TEST_P(StripRepaintTest, StripEqualsFullRepaint) {
    const StripCase c = GetParam();
    ViewFixture fx(kW, kH);
    fx.session.timeBase().SetIndex(c.timeBaseIndex);
    fx.session.channels().current[0].HasMarker = 1;
    fx.session.channels().current[4].HasMarker = 1;
    fx.Open(8, 1000, 30'000, test::Wander, c.fileBacked);
    MarkerList& markers = fx.session.document().Markers();
    for (int32_t m = 0; m < 30'000; m += 83) markers.items.push_back(m);
    markers.loaded = true;
    fx.view->SetScroll(c.scrollX, c.scrollY);

    const std::vector<uint32_t> full = PixelsOf(fx.Full());
    const Rect strips[] = {
        {0, 0, 10, kH},        // left edge
        {37, 0, 53, kH},       // middle, off the grid
        {123, 0, 124, kH},     // one column
        {kW - 10, 0, kW, kH},  // right edge, a line scroll's strip
        {0, 90, kW, 120},      // a vertical scroll's band
        {201, 7, 260, 45},     // crossing the time hacks' rows
    };
    for (const Rect& s : strips) {
        RasterCanvas& buffer = fx.view->BackBuffer();
        for (int y = s.top; y < s.bottom; ++y)
            for (int x = s.left; x < s.right; ++x) buffer.Pixels()[y * kW + x] = kGarbage;
        fx.view->RepaintRect(s);
        const std::vector<uint32_t> after = PixelsOf(buffer);
        const auto diff = std::mismatch(after.begin(), after.end(), full.begin());
        ASSERT_TRUE(diff.first == after.end())
            << "strip " << s.left << "," << s.top << "-" << s.right << "," << s.bottom
            << " differs at x=" << (diff.first - after.begin()) % kW
            << " y=" << (diff.first - after.begin()) / kW;
    }
}

INSTANTIATE_TEST_SUITE_P(TimeBasesModesAndScrolls, StripRepaintTest,
                         ::testing::Values(StripCase{0, false, 0, 0}, StripCase{0, true, 3, 0},
                                           StripCase{2, false, 17, 0}, StripCase{3, true, 0, 0},
                                           StripCase{4, false, 40, 2}, StripCase{4, true, 40, 0},
                                           StripCase{6, false, 123, 0}, StripCase{6, true, 5, 1}));

TEST(TracePaintTest, BothStorageModesDrawTheSamePicture) {
    for (int index : {0, 4, 6}) {
        std::vector<uint32_t> pictures[2];
        for (bool fileBacked : {false, true}) {
            ViewFixture fx(kW, kH);
            fx.session.timeBase().SetIndex(index);
            fx.Open(8, 1000, 20'000, test::Wander, fileBacked);
            fx.view->SetScroll(7, 0);
            pictures[fileBacked] = PixelsOf(fx.Full());
        }
        EXPECT_TRUE(pictures[0] == pictures[1]) << "time base index " << index;
    }
}

TEST(TracePaintTest, TenSamplesPerDivisionDrawsSinglePixels) {
    // One pixel up per frame, one frame per column: each column's stroke
    // runs from the previous frame's value to its own, which the stroke
    // leaves out; a flat stretch is one pixel per column.
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(6);
    fx.Solo(0, 8);  // room to rise
    fx.Open(1, 1000, 150,
            [](int64_t f, int) { return static_cast<int16_t>(32 * std::min<int64_t>(f, 100)); });
    fx.Full();
    const int base = Baseline(8);
    EXPECT_EQ(fx.RowsOf(0, fx.ColorOf(0)), std::vector<int>{base});
    for (int x : {1, 2, 50, 100})
        EXPECT_EQ(fx.RowsOf(x, fx.ColorOf(0)), std::vector<int>{base - (x - 1)}) << x;
    for (int x : {102, 149})
        EXPECT_EQ(fx.RowsOf(x, fx.ColorOf(0)), std::vector<int>{base - 100}) << x;
    EXPECT_TRUE(fx.RowsOf(150, fx.ColorOf(0)).empty());
}

TEST(TracePaintTest, ColumnCoversTheSpanBetweenItsExtremes) {
    // At spd 640 a column holds 64 frames; a spike inside it must show as a
    // stroke from the lowest to (not including) the highest value.
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(0);
    fx.Solo(0, 4);
    fx.Open(1, 1000, 64 * 20, [](int64_t f, int) {
        if (f == 64 * 5 + 10) return int16_t{-640};  // 20 pixels down
        if (f == 64 * 5 + 50) return int16_t{960};   // 30 pixels up
        return int16_t{0};
    });
    fx.Full();
    std::vector<int> expected;
    for (int y = Baseline(4) - 29; y <= Baseline(4) + 20; ++y) expected.push_back(y);
    EXPECT_EQ(fx.RowsOf(5, fx.ColorOf(0)), expected);
    // The column after starts from the spike's last frame, a flat 0.
    EXPECT_EQ(fx.RowsOf(6, fx.ColorOf(0)), std::vector<int>{Baseline(4)});
}

TEST(TracePaintTest, TwoChannelRecordingDrawsSixFlatLines) {
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.Open(2, 1000, 40 * 50, test::Wander);
    fx.Full();
    for (int ch = 2; ch < 8; ++ch) {
        for (int x : {0, 13, 48}) {
            EXPECT_EQ(fx.Px(x, Baseline(ch + 1)), fx.ColorOf(ch)) << "channel " << ch << " x " << x;
            EXPECT_NE(fx.Px(x, Baseline(ch + 1) - 1), fx.ColorOf(ch)) << "channel " << ch;
        }
    }
}

TEST(TracePaintTest, SizeFiveRoundsTowardZero) {
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(6);
    const int16_t values[4] = {31, 32, -32, -31};
    fx.Open(4, 1000, 200, [&](int64_t, int c) { return values[c]; });
    fx.Full();
    const int shift[4] = {0, -1, 1, 0};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(fx.RowsOf(20, fx.ColorOf(c)), std::vector<int>{Baseline(c + 1) + shift[c]}) << c;
}

TEST(TracePaintTest, ScrollingDownMovesTracesUpOnScreenAndPaper) {
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(6);
    fx.Open(4, 1000, 200, [](int64_t, int) { return int16_t{0}; });
    fx.view->SetScroll(0, 2);
    fx.Full();
    EXPECT_EQ(fx.RowsOf(20, fx.ColorOf(3)), std::vector<int>{Baseline(4) - 60});
    EXPECT_EQ(fx.RowsOf(20, fx.ColorOf(0)), std::vector<int>{});  // scrolled off the top

    RasterCanvas paper(kW, kH);
    fx.view->Paint(paper, Rect{0, 0, kW, kH}, 0);
    EXPECT_EQ(paper.GetPixel(20, Baseline(4) - 60), fx.ColorOf(3));
    EXPECT_NE(paper.GetPixel(20, Baseline(4)), fx.ColorOf(3));
}

TEST(TracePaintTest, RecordingShorterThanTheWindowLeavesTheRestBlank) {
    for (bool fileBacked : {false, true}) {
        ViewFixture fx(kW, kH);
        fx.TracesOnly();
        // spd 40: 100 frames fill columns 0..24 exactly, 102 reach into 25.
        for (int frames : {100, 102}) {
            fx.Open(
                1, 1000, frames, [](int64_t, int) { return int16_t{0}; }, fileBacked);
            fx.Full();
            const int lastColumn = frames == 100 ? 24 : 25;
            EXPECT_EQ(fx.RowsOf(lastColumn, fx.ColorOf(0)).size(), 1u) << frames;
            EXPECT_TRUE(fx.RowsOf(lastColumn + 1, fx.ColorOf(0)).empty()) << frames << fileBacked;
            EXPECT_TRUE(fx.RowsOf(kW - 1, fx.ColorOf(0)).empty());
        }
    }
}

TEST(TracePaintTest, NothingIsDrawnWithoutARecording) {
    ViewFixture fx(kW, kH);
    const std::vector<uint32_t> picture = PixelsOf(fx.Full());
    EXPECT_TRUE(std::all_of(picture.begin(), picture.end(),
                            [](uint32_t p) { return p == PixelFromColor(Rgb(255, 255, 255)); }));
    EXPECT_EQ(fx.ui.fields.count(Field::Position), 0u);
}

// Values a configuration file can hold but the dialogs cannot set: the
// channel is simply not drawn, nothing else changes.
TEST(TracePaintTest, OutOfRangeConfigurationIsNotDrawn) {
    auto picture = [](auto configure) {
        ViewFixture fx(kW, kH);
        for (ChannelRecord& r : fx.session.channels().current) r.HasMarker = 1;
        configure(fx.session.channels().current);
        fx.Open(8, 1000, 8000, test::Wander);
        fx.session.document().Markers().items = {100, 400, 2000};
        fx.session.document().Markers().loaded = true;
        return PixelsOf(fx.Full());
    };
    const auto hidden = picture([](ChannelConfig& c) {
        for (int ch : {0, 1, 2, 3}) c[static_cast<std::size_t>(ch)].DisplayPosition = 0;
    });
    const auto bad = picture([](ChannelConfig& c) {
        c[0].DisplayPosition = 9;
        c[1].DisplayPosition = -3;
        c[2].DisplayColor = 16;
        c[3].DisplayColor = -1;
    });
    EXPECT_TRUE(hidden == bad);

    // A huge gain still draws its channel, clipped to the buffer.
    const uint32_t navy = PixelFromColor(Rgb(0, 0, 128));
    EXPECT_EQ(std::count(hidden.begin(), hidden.end(), navy), 0);
    const auto huge = picture([](ChannelConfig& c) {
        c[5].DisplayColor = 1;
        c[5].DisplaySize = 2'000'000'000;
    });
    EXPECT_GT(std::count(huge.begin(), huge.end(), navy), kH);
}

TEST(TracePaintTest, PrintedPageJoinsColumnsThroughThePreviousPoints) {
    // A 10-pixel jump at frame 5: on the screen column 4 keeps only its
    // baseline pixel, on paper the joining stroke starts there.
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(6);
    fx.Solo(0, 3);
    fx.Open(1, 1000, 100, [](int64_t f, int) { return static_cast<int16_t>(f == 5 ? 320 : 0); });
    fx.Full();
    const int base = Baseline(3);
    EXPECT_EQ(fx.RowsOf(4, fx.ColorOf(0)), std::vector<int>{base});

    RasterCanvas paper(kW, kH);
    fx.view->Paint(paper, Rect{0, 0, kW, kH}, 0);
    std::vector<int> column4;
    for (int y = 0; y < kH; ++y)
        if (paper.GetPixel(4, y) == fx.ColorOf(0)) column4.push_back(y);
    ASSERT_GT(column4.size(), 1u);
    EXPECT_EQ(column4.back(), base);
    EXPECT_LT(column4.front(), base);
    // The peak itself is reached on paper as on the screen.
    EXPECT_EQ(paper.GetPixel(5, base - 9), fx.ColorOf(0));
}

TEST(TracePaintTest, PrintedPageUsesItsStartDivisionNotTheScreenPosition) {
    ViewFixture fx(kW, kH);
    fx.TracesOnly();
    fx.session.timeBase().SetIndex(6);
    // Channel 1 rises one pixel per division: its row tells the division.
    fx.Open(1, 1000, 2000, [](int64_t f, int) { return static_cast<int16_t>(32 * (f / 10)); });
    fx.view->SetScroll(50, 0);
    fx.ui.fields.clear();
    RasterCanvas paper(kW, kH);
    fx.view->Paint(paper, Rect{0, 0, kW, kH}, 0);
    // Traces start at the recording's start even though the screen is scrolled.
    EXPECT_EQ(paper.GetPixel(0, Baseline(1)), fx.ColorOf(0));
    EXPECT_EQ(paper.GetPixel(25, Baseline(1) - 2), fx.ColorOf(0));
    EXPECT_EQ(fx.ui.fields.count(Field::Position), 0u);  // paper has no position field

    RasterCanvas page2(kW, kH);
    fx.view->Paint(page2, Rect{0, 0, kW, kH}, 10);
    EXPECT_EQ(page2.GetPixel(25, Baseline(1) - 12), fx.ColorOf(0));
}

}  // namespace
}  // namespace koru
