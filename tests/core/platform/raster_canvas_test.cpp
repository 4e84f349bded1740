#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/RasterCanvas.h"

namespace koru {
namespace {

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kRed = Rgb(255, 0, 0);

// Every pixel a different colour, so moved or stray writes show.
void Pattern(RasterCanvas& c) {
    for (int y = 0; y < c.Height(); ++y) {
        for (int x = 0; x < c.Width(); ++x) c.SetPixel(x, y, Rgb(x * 7 % 256, y * 13 % 256, 99));
    }
}

std::vector<uint32_t> Snapshot(const RasterCanvas& c) {
    return {c.Pixels(), c.Pixels() + c.Width() * c.Height()};
}

// The pixels of a line by the octant table of the view's inverting walk,
// including both ends.
std::vector<Point> ReferenceWalk(Point a, Point b) {
    static constexpr int kSx[] = {1, 0, -1, 0, 1, 0, -1, 0};
    static constexpr int kSy[] = {0, 1, 0, 1, 0, -1, 0, -1};
    static constexpr int kCx[] = {0, 1, 0, -1, 0, 1, 0, -1};
    static constexpr int kCy[] = {1, 0, 1, 0, -1, 0, -1, 0};
    int dx = b.x - a.x, dy = b.y - a.y, o = 0;
    if (dx < 0) o += 2, dx = -dx;
    if (dy < 0) o += 4, dy = -dy;
    int major = dx, minor = dy;
    if (dy > dx) o += 1, major = dy, minor = dx;
    std::vector<Point> out;
    int x = a.x, y = a.y, e = major;
    for (int i = 0; i <= major; ++i) {
        out.push_back({x, y});
        x += kSx[o], y += kSy[o], e -= 2 * minor;
        if (e < 0) x += kCx[o], y += kCy[o], e += 2 * major;
    }
    return out;
}

// Pixels that differ between two pictures of the same canvas.
std::set<std::pair<int, int>> Changed(const RasterCanvas& c, const std::vector<uint32_t>& before) {
    std::set<std::pair<int, int>> out;
    for (int i = 0; i < c.Width() * c.Height(); ++i) {
        if (c.Pixels()[i] != before[static_cast<std::size_t>(i)])
            out.insert({i % c.Width(), i / c.Width()});
    }
    return out;
}

TEST(RasterCanvasPixelTest, StoresColoursAsRgb32AndReadsThemBack) {
    RasterCanvas c(4, 3, kWhite);
    c.SetPixel(2, 1, Rgb(0x11, 0x22, 0x33));
    EXPECT_EQ(c.Pixels()[1 * c.Stride() + 2], 0xFF112233u);
    EXPECT_EQ(c.GetPixel(2, 1), Rgb(0x11, 0x22, 0x33));
    EXPECT_EQ(c.GetPixel(0, 0), kWhite);
    EXPECT_EQ(c.BytesPerLine(), 16);

    // The raster operation applies to lines, not to single pixels.
    c.SetROP2(Rop::Not);
    c.SetPixel(0, 0, kRed);
    EXPECT_EQ(c.GetPixel(0, 0), kRed);
}

TEST(RasterCanvasPixelTest, OffTheBufferIsIgnoredAndReadsInvalid) {
    RasterCanvas c(4, 3, kWhite);
    const auto before = Snapshot(c);
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}}) {
        c.SetPixel(x, y, kRed);
        EXPECT_EQ(c.GetPixel(x, y), CLR_INVALID);
    }
    EXPECT_EQ(Snapshot(c), before);
}

TEST(RasterCanvasLineTest, LeavesOutTheEndPixelInEveryDirection) {
    const Point centre{20, 20};
    for (Point end : {Point{30, 20},
                      {10, 20},
                      {20, 30},
                      {20, 10},
                      {27, 23},
                      {13, 17},
                      {23, 27},
                      {17, 13},
                      {26, 14},
                      {14, 26},
                      {28, 28},
                      {12, 12},
                      {28, 12},
                      {12, 28}}) {
        RasterCanvas c(41, 41, kWhite);
        c.SelectPen(kRed);
        c.MoveToEx(centre.x, centre.y);
        c.LineTo(end.x, end.y);
        EXPECT_EQ(c.GetPixel(centre.x, centre.y), kRed) << end.x << "," << end.y;
        EXPECT_EQ(c.GetPixel(end.x, end.y), kWhite) << end.x << "," << end.y;
        const int major = std::max(std::abs(end.x - centre.x), std::abs(end.y - centre.y));
        EXPECT_EQ(Changed(c, std::vector<uint32_t>(41 * 41, 0xFFFFFFFFu)).size(),
                  static_cast<std::size_t>(major));
        EXPECT_EQ(c.CurrentPosition(), end);
    }
}

TEST(RasterCanvasLineTest, MatchesTheInvertingWalkWithoutItsEndUnderAnyClip) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-15, 45);
    for (int n = 0; n < 3000; ++n) {
        const Point a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
        const int l = coord(rng) / 2, t = coord(rng) / 2;
        const Rect clip{l, t, l + 5 + n % 30, t + 3 + n % 23};
        RasterCanvas c(31, 29, kWhite);
        c.SetClipRect(clip);
        c.SelectPen(kRed);
        c.MoveToEx(a.x, a.y);
        c.LineTo(b.x, b.y);

        std::set<std::pair<int, int>> expected;
        auto walk = ReferenceWalk(a, b);
        walk.pop_back();
        for (Point p : walk) {
            if (c.ClipRect().Contains(p.x, p.y)) expected.insert({p.x, p.y});
        }
        ASSERT_EQ(Changed(c, std::vector<uint32_t>(31 * 29, 0xFFFFFFFFu)), expected)
            << "(" << a.x << "," << a.y << ")-(" << b.x << "," << b.y << ")";
    }
}

TEST(RasterCanvasLineTest, SkipsFarOffscreenPartsExactly) {
    RasterCanvas c(8, 8, kWhite);
    c.SelectPen(kRed);
    // Ties lean toward the start: y stays 0 up to the middle column 0.
    c.MoveToEx(-1000000000, 0);
    c.LineTo(1000000000, 1);
    EXPECT_EQ(c.GetPixel(0, 0), kRed);
    EXPECT_EQ(c.GetPixel(1, 0), kWhite);
    EXPECT_EQ(c.GetPixel(1, 1), kRed);
    EXPECT_EQ(c.GetPixel(7, 1), kRed);

    RasterCanvas d(8, 8, kWhite);
    d.SelectPen(kRed);
    d.MoveToEx(-2000000000, -2000000000);
    d.LineTo(2000000000, 2000000000);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d.GetPixel(i, i), kRed) << i;
    EXPECT_EQ(Changed(d, std::vector<uint32_t>(64, 0xFFFFFFFFu)).size(), 8u);
}

TEST(RasterCanvasLineTest, InvertingStrokesFlipEachCoveredPixelOnce) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(-5, 25);
    for (int n = 0; n < 300; ++n) {
        RasterCanvas c(20, 20);
        Pattern(c);
        const auto before = Snapshot(c);
        const Point a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
        c.SetROP2(Rop::Not);
        c.MoveToEx(a.x, a.y);
        c.LineTo(b.x, b.y);
        for (auto [x, y] : Changed(c, before)) {
            EXPECT_EQ(c.Pixels()[y * 20 + x],
                      before[static_cast<std::size_t>(y * 20 + x)] ^ 0x00FFFFFFu);
        }
        c.MoveToEx(a.x, a.y);
        c.LineTo(b.x, b.y);
        ASSERT_EQ(Snapshot(c), before) << n;
    }
}

TEST(RasterCanvasLineTest, ClosedPolylineCoversEveryOutlinePixelOnce) {
    RasterCanvas c(12, 10, kWhite);
    const auto before = Snapshot(c);
    c.SetROP2(Rop::Not);
    c.MoveToEx(5, 5);
    const std::array<Point, 5> frame{Point{0, 0}, {11, 0}, {11, 9}, {0, 9}, {0, 0}};
    c.Polyline(frame);
    EXPECT_EQ(c.CurrentPosition(), (Point{5, 5}));
    const auto changed = Changed(c, before);
    EXPECT_EQ(changed.size(), 2u * 12 + 2u * 8);
    for (auto [x, y] : changed) {
        EXPECT_TRUE(x == 0 || x == 11 || y == 0 || y == 9) << x << "," << y;
        EXPECT_EQ(c.GetPixel(x, y), Rgb(0, 0, 0));
    }

    // An open polyline leaves out only its last point.
    RasterCanvas d(6, 6, kWhite);
    d.SelectPen(kRed);
    const std::array<Point, 3> open{Point{0, 0}, {3, 0}, {3, 3}};
    d.Polyline(open);
    EXPECT_EQ(d.GetPixel(3, 0), kRed);
    EXPECT_EQ(d.GetPixel(3, 2), kRed);
    EXPECT_EQ(d.GetPixel(3, 3), kWhite);
}

TEST(RasterCanvasStateTest, SettersAnswerThePreviousValueAndRestoreBringsThemBack) {
    RasterCanvas c(2, 2);
    EXPECT_EQ(c.SelectPen(kRed), Rgb(0, 0, 0));
    EXPECT_EQ(c.SetBkColor(Rgb(1, 2, 3)), kWhite);
    EXPECT_EQ(c.MoveToEx(4, 5), (Point{0, 0}));
    c.SaveState();
    {
        CanvasStateGuard guard(c);
        EXPECT_EQ(c.SelectPen(kWhite), kRed);
        EXPECT_EQ(c.SetROP2(Rop::Not), Rop::CopyPen);
        EXPECT_EQ(c.SetBkMode(BkMode::Transparent), BkMode::Opaque);
        c.SetBkColor(kWhite);
        EXPECT_EQ(c.SetTextColor(kWhite), Rgb(0, 0, 0));
        c.LineTo(9, 9);
    }
    // The guard restored the nested state: everything as before it.
    EXPECT_EQ(c.CurrentPen(), kRed);
    EXPECT_EQ(c.GetROP2(), Rop::CopyPen);
    EXPECT_EQ(c.GetBkMode(), BkMode::Opaque);
    EXPECT_EQ(c.GetBkColor(), Rgb(1, 2, 3));
    EXPECT_EQ(c.GetTextColor(), Rgb(0, 0, 0));
    EXPECT_EQ(c.CurrentPosition(), (Point{4, 5}));
    c.SelectPen(kWhite);
    EXPECT_TRUE(c.RestoreState());
    EXPECT_EQ(c.CurrentPen(), kRed);
    EXPECT_FALSE(c.RestoreState());
    EXPECT_EQ(c.CurrentPen(), kRed);
}

TEST(RasterCanvasClipTest, DrawingOutsideTheClipLeavesThePictureAlone) {
    const Rect clip{5, 3, 14, 11};
    RasterCanvas full(20, 16), clipped(20, 16);
    Pattern(full);
    Pattern(clipped);
    const auto before = Snapshot(clipped);
    clipped.SetClipRect(clip);
    EXPECT_EQ(clipped.ClipRect(), clip);
    for (RasterCanvas* c : {&full, &clipped}) {
        c->SelectPen(kRed);
        c->MoveToEx(0, 7);
        c->LineTo(19, 7);  // horizontal
        c->MoveToEx(9, 0);
        c->LineTo(9, 15);  // vertical
        c->MoveToEx(0, 0);
        c->LineTo(19, 13);  // general
        c->SetROP2(Rop::Not);
        c->MoveToEx(19, 0);
        c->LineTo(2, 15);
        c->SetPixel(4, 4, kRed);
        c->SetPixel(6, 4, kRed);
        c->FillRect(Rect{0, 9, 20, 12}, kWhite);
        c->TextOut(3, 1, "W8");
    }
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 20; ++x) {
            const auto i = static_cast<std::size_t>(y * 20 + x);
            EXPECT_EQ(clipped.Pixels()[i], clip.Contains(x, y) ? full.Pixels()[i] : before[i])
                << x << "," << y;
        }
    }
    // Reading is not limited by the clip.
    EXPECT_EQ(clipped.GetPixel(0, 0), ColorFromPixel(before[0]));
}

TEST(RasterCanvasClipTest, ClipIsLimitedToTheBufferAcrossResizes) {
    RasterCanvas c(10, 10);
    c.SetClipRect(Rect{-5, 2, 50, 8});
    EXPECT_EQ(c.ClipRect(), (Rect{0, 2, 10, 8}));
    c.Resize(20, 5);
    EXPECT_EQ(c.ClipRect(), (Rect{0, 2, 20, 5}));
    c.ResetClipRect();
    EXPECT_EQ(c.ClipRect(), (Rect{0, 0, 20, 5}));
}

// Records what the canvas hands to its text hook.
struct RecordingRenderer : TextRenderer {
    mutable std::vector<std::string> drawn;
    mutable TextStyle style;
    mutable Rect clip;
    Size Measure(std::string_view text) const override {
        return Size{static_cast<int>(text.size()) * 3, 11};
    }
    void Draw(const PixelBuffer& target, const Rect& c, int x, int y, std::string_view text,
              const TextStyle& s) const override {
        drawn.emplace_back(text);
        style = s;
        clip = c;
        target.At(x, y) = PixelFromColor(s.color);
    }
};

TEST(RasterCanvasTextTest, GoesThroughTheRendererHookWithTheCanvasState) {
    RasterCanvas c(10, 10, kWhite);
    auto hook = std::make_shared<RecordingRenderer>();
    c.SetTextRenderer(hook);
    c.SetClipRect(Rect{1, 1, 9, 9});
    c.SetTextColor(kRed);
    c.SetBkMode(BkMode::Transparent);
    c.SetBkColor(Rgb(5, 6, 7));
    EXPECT_EQ(c.GetTextExtent("abcd"), (Size{12, 11}));
    c.TextOut(2, 2, "I");
    ASSERT_EQ(hook->drawn, std::vector<std::string>{"I"});
    EXPECT_EQ(hook->style.color, kRed);
    EXPECT_EQ(hook->style.bkMode, BkMode::Transparent);
    EXPECT_EQ(hook->style.bkColor, Rgb(5, 6, 7));
    EXPECT_EQ(hook->clip, (Rect{1, 1, 9, 9}));
    EXPECT_EQ(c.GetPixel(2, 2), kRed);

    c.SetTextRenderer(nullptr);
    EXPECT_EQ(c.GetTextExtent("MMMM"), (Size{24, 8}));
    EXPECT_FALSE(c.IsPrinter());
}

TEST(RasterCanvasBufferTest, ScrollShiftsThePictureAndReportsTheUncoveredArea) {
    struct Case {
        int dx, dy;
        std::vector<Rect> exposed;
    };
    const std::vector<Case> cases{
        {3, 0, {Rect{0, 0, 3, 9}}},
        {-3, 0, {Rect{9, 0, 12, 9}}},
        {0, 2, {Rect{0, 0, 12, 2}}},
        {0, -2, {Rect{0, 7, 12, 9}}},
        {2, -1, {Rect{0, 8, 12, 9}, Rect{0, 0, 2, 8}}},
        {-4, 3, {Rect{0, 0, 12, 3}, Rect{8, 3, 12, 9}}},
    };
    for (const Case& k : cases) {
        RasterCanvas c(12, 9);
        Pattern(c);
        const auto before = Snapshot(c);
        EXPECT_EQ(c.ScrollPixels(k.dx, k.dy), k.exposed) << k.dx << "," << k.dy;
        // Moved pixels where they went; the uncovered area holds what left
        // the other side (the caller repaints it).
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 12; ++x) {
                const int sx = (x - k.dx + 12) % 12, sy = (y - k.dy + 9) % 9;
                ASSERT_EQ(c.Pixels()[y * 12 + x], before[static_cast<std::size_t>(sy * 12 + sx)])
                    << k.dx << "," << k.dy << " at " << x << "," << y;
            }
        }
    }

    RasterCanvas c(12, 9);
    Pattern(c);
    const auto before = Snapshot(c);
    EXPECT_EQ(c.ScrollPixels(-12, 0), std::vector<Rect>{(Rect{0, 0, 12, 9})});
    EXPECT_EQ(Snapshot(c), before);
    EXPECT_TRUE(c.ScrollPixels(0, 0).empty());
}

// A picture drawn onto a scrolled buffer, read back through every reader,
// must equal the same picture drawn onto a buffer that never scrolled.
void DrawEverything(RasterCanvas& c, std::mt19937& rng) {
    std::uniform_int_distribution<int> x(-3, c.Width() + 3), y(-3, c.Height() + 3);
    std::uniform_int_distribution<int> colour(0, 255);
    for (int i = 0; i < 6; ++i) {
        c.SetClipRect(Rect{x(rng), y(rng), x(rng) + c.Width() / 2, y(rng) + c.Height() / 2});
        c.SetTextColor(Rgb(colour(rng), 1, 2));
        c.TextOut(x(rng), y(rng), "Seam 12");
        c.FillRect(Rect{x(rng), y(rng), x(rng), y(rng)}, Rgb(3, colour(rng), 4));
        c.SelectPen(Rgb(5, 6, colour(rng)));
        c.SetROP2(i % 2 ? Rop::Not : Rop::CopyPen);
        c.MoveToEx(x(rng), y(rng));
        c.LineTo(x(rng), y(rng));
        c.MoveToEx(x(rng), 2);
        c.LineTo(c.Width() - 1 - x(rng), 2);  // along a row
        const int at = x(rng);
        c.MoveToEx(at, y(rng));
        c.LineTo(at, y(rng));  // down a column
        c.TraceColumn(x(rng), y(rng), y(rng), PixelFromColor(Rgb(7, 8, 9)));
        c.SetPixel(x(rng), y(rng), Rgb(colour(rng), 0, 0));
        c.ResetClipRect();
    }
}

TEST(RasterCanvasBufferTest, AScrolledBufferDrawsAndReadsAsAStraightOne) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dx(-40, 40), dy(-30, 30);
    for (int round = 0; round < 40; ++round) {
        RasterCanvas ring(37, 23);
        Pattern(ring);
        const int sx = dx(rng), sy = dy(rng);
        ring.ScrollPixels(sx, sy);
        ring.ScrollPixels(-sx / 2, sy / 3);  // turned twice, any way round
        // The reference holds the same picture, put in place by hand.
        RasterCanvas straight(37, 23);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) straight.SetPixel(x, y, ring.GetPixel(x, y));
        const uint64_t seed = rng();
        std::mt19937 a(static_cast<unsigned>(seed)), b(static_cast<unsigned>(seed));
        DrawEverything(ring, a);
        DrawEverything(straight, b);

        // The window's reader: every piece at its stored place.
        const Rect want{3, 2, 30, 21};
        int covered = 0;
        for (const RasterCanvas::StoredPiece& piece : ring.StoredPieces(want)) {
            ASSERT_EQ(piece.area.Intersect(want), piece.area);
            covered += piece.area.Width() * piece.area.Height();
            for (int y = piece.area.top; y < piece.area.bottom; ++y) {
                for (int x = piece.area.left; x < piece.area.right; ++x) {
                    const int storedX = piece.storedAt.x + x - piece.area.left;
                    const int storedY = piece.storedAt.y + y - piece.area.top;
                    ASSERT_EQ(ring.StoredPixels()[storedY * 37 + storedX],
                              straight.Pixels()[y * 37 + x])
                        << "round " << round << " at " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(covered, want.Width() * want.Height()) << "round " << round;
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) ASSERT_EQ(ring.GetPixel(x, y), straight.GetPixel(x, y));
        EXPECT_EQ(Snapshot(ring), Snapshot(straight)) << "round " << round;  // put in order
        ring.Resize(40, 20);
        straight.Resize(40, 20);
        EXPECT_EQ(Snapshot(ring), Snapshot(straight)) << "round " << round;
    }
}

TEST(RasterCanvasBufferTest, ResizeKeepsTheSharedCornerAndFillsTheRest) {
    RasterCanvas c(4, 4, kRed);
    c.SetPixel(1, 2, kWhite);
    c.SetClipRect(Rect{0, 0, 1, 1});
    c.Resize(6, 3, Rgb(0, 0, 9));
    EXPECT_EQ(c.GetPixel(1, 2), kWhite);
    EXPECT_EQ(c.GetPixel(3, 0), kRed);
    EXPECT_EQ(c.GetPixel(4, 0), Rgb(0, 0, 9));
    EXPECT_EQ(c.GetPixel(0, 3), CLR_INVALID);
    c.Fill(Rgb(1, 1, 1));  // not limited by the clip
    EXPECT_EQ(c.GetPixel(5, 2), Rgb(1, 1, 1));
    c.Resize(-3, 2);
    EXPECT_EQ(c.Width(), 0);
    EXPECT_TRUE(c.ClipRect().Empty());
    c.TextOut(0, 0, "x");
    c.LineTo(5, 5);
}

}  // namespace
}  // namespace koru
