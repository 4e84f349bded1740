#include <gtest/gtest.h>

#include <algorithm>

#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::PixelsOf;
using test::ViewFixture;

constexpr int kW = 400;
constexpr int kH = 330;
constexpr ColorRef kWhite = Rgb(255, 255, 255);

int16_t Zero(int64_t, int) {
    return 0;
}

// A fixture with no traces and only the overlays a test asks for.
struct OverlayFixture : ViewFixture {
    OverlayFixture() : ViewFixture(kW, kH) {
        Settings& s = session.settings();
        s.dots = s.names = s.timeHacks = 0;
    }
    void HideAllChannels() {
        for (ChannelRecord& r : session.channels().current) r.DisplayPosition = 0;
    }
    // Height of the inverted run at the top of column x (black background).
    int TickHeight(int x) const {
        int h = 0;
        while (h < kH && Px(x, h) == kWhite) ++h;
        return h;
    }
    // Whether any pixel of `color` lies in the box.
    bool AnyIn(const Rect& box, ColorRef color) const {
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                if (Px(x, y) == color) return true;
        return false;
    }
};

TEST(DotsTest, GridEveryTenPixelsInWhiteWhateverTheBackground) {
    OverlayFixture fx;
    fx.HideAllChannels();
    fx.session.settings().background = Rgb(0, 0, 128);
    fx.session.settings().dots = 1;
    fx.Open(1, 1000, 20'000, Zero);
    fx.view->SetScroll(3, 0);
    fx.Full();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(fx.Px(x, y), (x % 10 == 0 && y % 10 == 0) ? kWhite : Rgb(0, 0, 128))
                << x << "," << y;
}

TEST(DotsTest, TurningDotsOffAndOnRestoresTheSameGrid) {
    OverlayFixture fx;
    fx.session.settings().dots = 1;
    fx.Open(8, 1000, 20'000, test::Wander);
    const auto on = PixelsOf(fx.Full());
    fx.session.settings().dots = 0;
    const auto off = PixelsOf(fx.Full());
    fx.session.settings().dots = 1;
    EXPECT_NE(on, off);
    EXPECT_EQ(on, PixelsOf(fx.Full()));
}

TEST(DotsTest, PrintedPagesHaveBlackDotsAndNamesWhereverTheyStart) {
    OverlayFixture fx;
    fx.session.settings().dots = 1;
    fx.session.settings().names = 1;
    fx.Open(8, 1000, 20'000, Zero);
    RasterCanvas paper(kW, kH);
    fx.view->Paint(paper, Rect{0, 0, kW, kH}, 25);
    EXPECT_EQ(paper.GetPixel(20, 20), Rgb(0, 0, 0));
    EXPECT_EQ(paper.GetPixel(21, 20), kWhite);
    bool named = false;  // "I" below baseline 30
    for (int y = 31; y < 38; ++y)
        for (int x = 10; x < 16; ++x) named = named || paper.GetPixel(x, y) == fx.ColorOf(0);
    EXPECT_TRUE(named);
}

TEST(NamesTest, NamesOnlyAtTheStartUntilPoppedOntoTheLeftEdge) {
    OverlayFixture fx;
    fx.session.settings().names = 1;
    fx.Open(8, 1000, 20'000, Zero);
    // "I" of channel 1 hangs below baseline 30, in the channel's colour;
    // the flat trace covers only the baseline row itself.
    const Rect nameOfFirst{10, 31, 16, 38};
    const Rect nameOfFourth{10, 121, 22, 128};  // "V1"
    fx.Full();
    EXPECT_TRUE(fx.AnyIn(nameOfFirst, fx.ColorOf(0)));
    EXPECT_TRUE(fx.AnyIn(nameOfFourth, fx.ColorOf(3)));

    fx.view->SetScroll(1, 0);
    fx.Full();
    EXPECT_FALSE(fx.AnyIn(nameOfFirst, fx.ColorOf(0)));

    std::vector<Rect> shown;
    fx.view->SetShowHook([&](const Rect& r) { shown.push_back(r); });
    fx.view->PopChannelNames();
    EXPECT_TRUE(fx.AnyIn(nameOfFirst, fx.ColorOf(0)));
    EXPECT_TRUE(fx.AnyIn(nameOfFourth, fx.ColorOf(3)));
    EXPECT_FALSE(shown.empty());
    EXPECT_FALSE(fx.view->HasPendingRepaint());

    // Not remembered: the next repaint of that area takes them away.
    fx.Full();
    EXPECT_FALSE(fx.AnyIn(nameOfFirst, fx.ColorOf(0)));

    // Popped whatever the setting, and moved up with the traces.
    fx.session.settings().names = 0;
    fx.view->SetScroll(0, 1);
    fx.Full();
    const Rect scrolledFourth{10, 91, 22, 98};
    EXPECT_FALSE(fx.AnyIn(scrolledFourth, fx.ColorOf(3)));
    fx.view->PopChannelNames();
    EXPECT_TRUE(fx.AnyIn(scrolledFourth, fx.ColorOf(3)));
}

TEST(NamesTest, ChannelsWithoutANameOrAValidColourShowNone) {
    OverlayFixture fx;
    fx.session.settings().names = 1;
    ChannelConfig& c = fx.session.channels().current;
    c[0].LeadName = 0;
    c[1].LeadName = 99;
    c[2].DisplayColor = 20;
    fx.Open(8, 1000, 20'000, Zero);
    fx.Full();
    for (int p = 1; p <= 3; ++p) {
        const Rect box{10, 30 * p + 1, 70, 30 * p + 8};
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                ASSERT_EQ(fx.Px(x, y), fx.Background()) << "position " << p;
    }
    EXPECT_TRUE(fx.AnyIn(Rect{10, 121, 22, 128}, fx.ColorOf(3)));
}

struct TimeHackFixture : OverlayFixture {
    TimeHackFixture(uint32_t interval, int timeBaseIndex, int64_t frames) {
        HideAllChannels();
        session.settings().timeHacks = 1;
        session.timeBase().SetIndex(timeBaseIndex);
        Open(1, interval, frames, Zero);
    }
    // Columns of the client area with a tick, and their heights.
    std::vector<std::pair<int, int>> Ticks() const {
        std::vector<std::pair<int, int>> ticks;
        for (int x = 0; x < kW; ++x)
            if (int h = TickHeight(x)) ticks.emplace_back(x, h);
        return ticks;
    }
};

TEST(TimeHacksTest, HalfSecondsSecondsAndMinutesAtOneMillisecondAndSpdForty) {
    TimeHackFixture fx(1000, 4, 61'000);  // 4000 microseconds per column
    fx.Full();
    using T = std::vector<std::pair<int, int>>;
    EXPECT_EQ(fx.Ticks(), (T{{0, 20}, {125, 5}, {250, 10}, {375, 5}}));

    fx.view->SetScroll(1490, 0);  // columns 14900..15299
    fx.Full();
    EXPECT_EQ(fx.Ticks(), (T{{100, 20}, {225, 5}, {350, 10}}));
}

TEST(TimeHacksTest, TickHeightsStayRightPastSeventyOneMinutes) {
    // 100 ms per column: a half second every 5 columns; the view shows
    // 71:40 to 72:20, where 32-bit microseconds would have wrapped.
    TimeHackFixture fx(100'000, 6, 44'000);
    fx.view->SetScroll(4300, 0);  // column 43200 = 72:00 at x = 200
    fx.Full();
    EXPECT_EQ(fx.TickHeight(200), 20);
    EXPECT_EQ(fx.TickHeight(205), 5);
    EXPECT_EQ(fx.TickHeight(210), 10);
    EXPECT_EQ(fx.TickHeight(0), 10);  // 71:40
    EXPECT_EQ(fx.TickHeight(201), 0);
    EXPECT_EQ(fx.Ticks().size(), 80u);
}

TEST(TimeHacksTest, TicksSharingAColumnCancelWhereTheyOverlap) {
    // One second per column: every column holds a second and a half second.
    TimeHackFixture fx(1'000'000, 6, 2000);
    fx.Full();
    auto inverted = [&](int x) {
        std::vector<int> rows;
        for (int y = 0; y < 25; ++y)
            if (fx.Px(x, y) == kWhite) rows.push_back(y);
        return rows;
    };
    EXPECT_EQ(inverted(7), (std::vector<int>{5, 6, 7, 8, 9}));
    std::vector<int> minute;
    for (int y = 5; y < 20; ++y) minute.push_back(y);
    EXPECT_EQ(inverted(60), minute);  // a minute tick and a half-second tick
}

TEST(TimeHacksTest, HiddenWhenScrolledDown) {
    TimeHackFixture fx(1000, 4, 61'000);
    fx.view->SetScroll(0, 1);
    fx.Full();
    EXPECT_TRUE(fx.Ticks().empty());
    fx.view->RepaintRect(Rect{0, 0, 10, kH});
    EXPECT_TRUE(fx.Ticks().empty());
}

struct MarkerFixture : OverlayFixture {
    MarkerFixture() {
        // Channels 1 and 5 (baselines 30 and 150) carry markers; their
        // marker lines do not overlap.
        session.channels().current[0].HasMarker = 1;
        session.channels().current[4].HasMarker = 1;
        Open(8, 1000, 20'000, test::Wander);
    }
    void SetMarkers(std::vector<int32_t> items, bool loaded = true) {
        MarkerList& m = session.document().Markers();
        m.items = std::move(items);
        m.loaded = loaded;
    }
    // Pixels that differ from `before`, as (x, y).
    std::vector<Point> Changed(const std::vector<uint32_t>& before) const {
        std::vector<Point> changed;
        const RasterCanvas& b = view->BackBuffer();
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint32_t was = before[static_cast<std::size_t>(y * kW + x)];
                const uint32_t now = b.Pixels()[y * kW + x];
                if (now == was) continue;
                EXPECT_EQ(now, was ^ 0x00FFFFFFu) << x << "," << y;  // inverted
                changed.push_back(Point{x, y});
            }
        return changed;
    }
};

std::vector<Point> MarkerLine(int x, int baseline) {
    std::vector<Point> pts;
    for (int y = std::max(baseline - 39, 0); y <= baseline + 40; ++y) pts.push_back(Point{x, y});
    return pts;
}

std::vector<Point> Sorted(std::vector<Point> pts) {
    std::sort(pts.begin(), pts.end(),
              [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    return pts;
}

TEST(MarkersTest, EachMarkerIsDrawnOnEveryChannelWithAMarkerFlag) {
    MarkerFixture fx;
    fx.SetMarkers({});
    const auto before = PixelsOf(fx.Full());
    fx.SetMarkers({400});  // spd 40: column 100
    fx.Full();
    std::vector<Point> expected = MarkerLine(100, 30);
    for (Point p : MarkerLine(100, 150)) expected.push_back(p);
    EXPECT_EQ(Sorted(fx.Changed(before)), Sorted(expected));
}

TEST(MarkersTest, FrameZeroUnloadedListsAndUnflaggedChannelsShowNoMarkers) {
    MarkerFixture fx;
    fx.SetMarkers({});
    const auto before = PixelsOf(fx.Full());
    fx.SetMarkers({0});
    fx.Full();
    EXPECT_TRUE(fx.Changed(before).empty());
    fx.SetMarkers({400, 800}, false);
    fx.Full();
    EXPECT_TRUE(fx.Changed(before).empty());

    for (ChannelRecord& r : fx.session.channels().current) r.HasMarker = 0;
    fx.session.channels().current[2].HasMarker = 2;  // only 1 counts
    fx.SetMarkers({400});
    fx.Full();
    EXPECT_TRUE(fx.Changed(before).empty());
}

TEST(MarkersTest, MarkersMoveUpWithTheTracesAndFollowTheScroll) {
    MarkerFixture fx;
    fx.view->SetScroll(10, 1);  // frames from 400, 30 pixels up
    fx.SetMarkers({});
    const auto before = PixelsOf(fx.Full());
    fx.SetMarkers({440, 399'999});
    fx.Full();
    std::vector<Point> expected = MarkerLine(10, 0);
    for (Point p : MarkerLine(10, 120)) expected.push_back(p);
    EXPECT_EQ(Sorted(fx.Changed(before)), Sorted(expected));
}

}  // namespace
}  // namespace koru
