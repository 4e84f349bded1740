#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/FixedFont.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::InteractionFixture;
using test::PixelsOf;

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr int kW = InteractionFixture::kW;
constexpr int kH = InteractionFixture::kH;

// --- The inverting walk.

// The walk's pixels as a stroke plus its end pixel, on a black canvas.
std::vector<uint32_t> StrokeWithEnd(Point a, Point b) {
    RasterCanvas c(60, 60, kBlack);
    c.SetROP2(Rop::Not);
    c.MoveToEx(a.x, a.y);
    c.LineTo(b.x, b.y);
    c.SetPixel(b.x, b.y, c.GetPixel(b.x, b.y) ^ kWhite);
    return PixelsOf(c);
}

TEST(InvertLineTest, CoversAStrokeAndItsEndPixelInEveryOctant) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(5, 54);
    for (int i = 0; i < 400; ++i) {
        const Point a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
        RasterCanvas c(60, 60, kBlack);
        InvertLine(c, a.x, a.y, b.x, b.y, 0, 59);
        ASSERT_EQ(PixelsOf(c), StrokeWithEnd(a, b))
            << a.x << "," << a.y << " to " << b.x << "," << b.y;
    }
    // Exact ties of the diagonal-ish lines, both ways.
    for (const auto& [a, b] : {std::pair{Point{10, 10}, Point{20, 15}},
                               {Point{20, 15}, Point{10, 10}},
                               {Point{10, 10}, Point{15, 20}},
                               {Point{30, 30}, Point{30, 30}}}) {
        RasterCanvas c(60, 60, kBlack);
        InvertLine(c, a.x, a.y, b.x, b.y, 0, 59);
        EXPECT_EQ(PixelsOf(c), StrokeWithEnd(a, b));
    }
}

TEST(InvertLineTest, AColumnRangeGivesTheSamePixelsAsTheWholeWalkThere) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-40, 100);
    std::uniform_int_distribution<int> col(0, 59);
    for (int i = 0; i < 400; ++i) {
        const Point p{coord(rng), coord(rng) / 2}, q{coord(rng), coord(rng) / 2};
        int a = col(rng), b = col(rng);
        if (a > b) std::swap(a, b);
        RasterCanvas whole(60, 60, kBlack), strip(60, 60, kBlack);
        InvertLine(whole, p.x, p.y, q.x, q.y, -1000, 1000);
        InvertLine(strip, p.x, p.y, q.x, q.y, a, b);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x)
                ASSERT_EQ(strip.GetPixel(x, y), (x >= a && x <= b) ? whole.GetPixel(x, y) : kBlack)
                    << "line " << p.x << "," << p.y << " to " << q.x << "," << q.y << " columns "
                    << a << ".." << b << " at " << x << "," << y;
    }
}

TEST(InvertLineTest, LinesFarOffTheCanvasAndTwiceOverLeaveNoTrace) {
    RasterCanvas c(60, 60, kBlack);
    // Ten million columns long; only the strip is walked.
    InvertLine(c, -10'000'000, 0, 10'000'000, 59, 0, 59);
    int lit = 0;
    for (int x = 0; x < 60; ++x) lit += c.GetPixel(x, 29) == kWhite || c.GetPixel(x, 30) == kWhite;
    EXPECT_EQ(lit, 60);
    InvertLine(c, -10'000'000, 0, 10'000'000, 59, 0, 59);
    EXPECT_EQ(PixelsOf(c), PixelsOf(RasterCanvas(60, 60, kBlack)));
}

// --- Drawing lines with the mouse.

TEST(MeasurementLineTest, ClickOrShortDragLeavesNoTraceAndFivePixelsIsALine) {
    InteractionFixture fx;
    fx.OpenBusy();
    const auto before = fx.Picture();
    fx.view->OnLeftDown(100, 100, false);
    EXPECT_TRUE(fx.view->LineDragging());
    fx.view->OnLeftUp(100, 100);
    EXPECT_FALSE(fx.view->LineDragging());
    EXPECT_EQ(fx.view->LineCount(), 0);
    EXPECT_EQ(fx.Picture(), before);

    fx.LineDrag({100, 100}, {104, 104});
    EXPECT_EQ(fx.view->LineCount(), 0);
    EXPECT_EQ(fx.Picture(), before);
    // The band went further out and came back under five pixels.
    fx.view->OnLeftDown(100, 100, false);
    fx.view->OnMouseMove(170, 40);
    fx.view->OnMouseMove(103, 96);
    fx.view->OnLeftUp(103, 96);
    EXPECT_EQ(fx.view->LineCount(), 0);
    EXPECT_EQ(fx.Picture(), before);

    fx.LineDrag({100, 100}, {105, 100});
    fx.LineDrag({200, 100}, {200, 95});
    ASSERT_EQ(fx.view->LineCount(), 2);
    EXPECT_EQ(fx.view->MeasurementLines()[0], (MeasurementLine{400, 100, 420, 100}));
    EXPECT_EQ(fx.view->MeasurementLines()[1], (MeasurementLine{800, 100, 800, 95}));
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(MeasurementLineTest, LabelGivesTheLengthInSamplesInTheTextColour) {
    InteractionFixture fx;
    fx.OpenBlank();
    fx.session.settings().text = Rgb(0, 255, 0);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    fx.LineDrag({225, 50}, {25, 200});  // frames 900 to 100 at spd 40
    ASSERT_EQ(fx.view->LineCount(), 1);
    EXPECT_EQ(fx.view->MeasurementLines()[0], (MeasurementLine{900, 80, 100, 230}));
    EXPECT_EQ(LineLabel(fx.view->MeasurementLines()[0]), "800");

    // The label's glyphs at the end point, over the inverted line.
    RasterCanvas glyphs(kW, kH, kBlack);
    glyphs.SetBkMode(BkMode::Transparent);
    glyphs.SetTextColor(Rgb(0, 255, 0));
    glyphs.TextOut(25, 200, "800");
    int textPixels = 0;
    for (int y = 200; y < 208; ++y)
        for (int x = 25; x < 43; ++x)
            if (glyphs.GetPixel(x, y) != kBlack) {
                EXPECT_EQ(fx.Px(x, y), Rgb(0, 255, 0)) << x << "," << y;
                ++textPixels;
            }
    EXPECT_GT(textPixels, 20);
    EXPECT_EQ(fx.Px(225, 50), kWhite);  // both end pixels are inverted
    EXPECT_EQ(fx.Px(24, 200), kBlack);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(MeasurementLineTest, CtrlLeftClickDeletesTheLastLineAndItsLabel) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.LineDrag({40, 60}, {140, 90});
    const auto oneLine = fx.Picture();
    fx.LineDrag({300, 200}, {180, 120});
    fx.TagDrag(190, 190);  // a tag across the second label
    const auto withTag = fx.Picture();
    EXPECT_EQ(fx.DiffFromRepaint(), "");

    fx.shown.clear();
    fx.view->OnLeftDown(7, 7, true);
    EXPECT_FALSE(fx.view->LineDragging());
    EXPECT_EQ(fx.view->LineCount(), 1);
    EXPECT_TRUE(fx.view->HasPendingRepaint());  // the label's rectangle
    EXPECT_FALSE(fx.shown.empty());
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    fx.view->OnRightDown(0, 0, true);
    EXPECT_EQ(fx.Picture(), oneLine);

    fx.view->OnLeftDown(7, 7, true);
    fx.view->OnLeftDown(7, 7, true);  // no lines left: nothing happens
    EXPECT_EQ(fx.view->LineCount(), 0);
    EXPECT_FALSE(fx.view->LineDragging());
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    EXPECT_NE(fx.Picture(), withTag);
}

TEST(MeasurementLineTest, DeletingALinePartlyScrolledOutErasesItsVisiblePart) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    const auto clean = fx.Picture();  // as it will look again after the delete
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineBack);
    fx.LineDrag({5, 40}, {390, 300});
    fx.view->Scroll(ScrollAxis::Horizontal,
                    ScrollRequest::LineForward);  // start is off to the left
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    fx.view->OnLeftDown(50, 50, true);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    EXPECT_EQ(fx.Picture(), clean);
}

TEST(MeasurementLineTest, LabelTailIsRepaintedAfterItsEndScrollsLeftOfTheWindow) {
    InteractionFixture fx;
    fx.OpenBlank();
    fx.LineDrag({153, 60}, {13, 200});  // label "560", 18 pixels wide, at column 13
    for (int i = 0; i < 2; ++i) fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    // The end point is at column -7; columns 0..10 of the label remain.
    const auto scrolled = fx.Picture();
    fx.view->InvalidateAll();
    fx.view->Update();
    EXPECT_EQ(fx.Picture(), scrolled);
    int tail = 0;
    for (int y = 200; y < 208; ++y)
        for (int x = 0; x < 11; ++x) tail += fx.Px(x, y) == kWhite;
    EXPECT_GT(tail, 5);
}

TEST(MeasurementLineTest, AStripRightOfALongLabelStillDrawsItsTail) {
    InteractionFixture fx;
    fx.session.timeBase().SetIndex(0);  // 64 frames a column
    fx.OpenBlank(100'000);
    fx.view->ScrollTo(10, 0);
    // Held outside the window on the left: 10 240 samples, all of them
    // left of the strip below, with a label wider than "MMMM".
    fx.LineDrag({-60, 100}, {100, 120});
    ASSERT_EQ(LineLabel(fx.view->MeasurementLines()[0]), "10240");
    const auto full = fx.Picture();
    // Columns 127..129 hold the label's last digit, more than four character
    // widths right of its end point.
    fx.view->BackBuffer().FillRect(Rect{127, 0, 140, kH}, Rgb(9, 9, 9));
    fx.view->RepaintRect(Rect{127, 0, 140, kH});
    EXPECT_EQ(fx.Picture(), full);
    bool any = false;
    for (int y = 120; y < 128; ++y) any = any || fx.Px(127, y) == kWhite || fx.Px(128, y) == kWhite;
    EXPECT_TRUE(any);
}

TEST(MeasurementLineTest, MarkersOffHidesLinesWhenDrawnDeletedAndRepainted) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.LineDrag({40, 60}, {140, 90});
    fx.session.settings().markers = 0;
    fx.view->InvalidateAll();
    const auto hidden = fx.Repainted();
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    fx.LineDrag({200, 60}, {300, 90});
    EXPECT_EQ(fx.view->LineCount(), 2);
    EXPECT_EQ(fx.Picture(), hidden);
    fx.view->OnLeftDown(0, 0, true);
    fx.view->OnLeftDown(0, 0, true);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    EXPECT_EQ(fx.Picture(), hidden);
}

TEST(MeasurementLineTest, TheThousandAndFirstLineIsRefused) {
    InteractionFixture fx;
    fx.OpenBlank();
    for (int i = 0; i < 1000; ++i) fx.LineDrag({10, 10 + i % 300}, {20, 10 + i % 300});
    EXPECT_EQ(fx.view->LineCount(), 1000);
    fx.view->OnLeftDown(30, 30, false);
    EXPECT_FALSE(fx.view->LineDragging());
    fx.view->OnLeftUp(60, 60);
    EXPECT_EQ(fx.view->LineCount(), 1000);
    fx.view->OnLeftDown(0, 0, true);  // one deleted: room again
    fx.LineDrag({30, 30}, {60, 60});
    EXPECT_EQ(fx.view->LineCount(), 1000);
    EXPECT_EQ(fx.view->MeasurementLines().back(), (MeasurementLine{120, 30, 240, 60}));
}

TEST(MeasurementLineTest, LinesAndTagsArePrintedInThePagesRange) {
    InteractionFixture fx;
    fx.OpenBlank();
    fx.LineDrag({100, 50}, {150, 80});  // frames 400..600
    fx.TagDrag(120, 120);               // frame 480
    // A page starting at division 5: 50 pixels to the left.
    RasterCanvas paper(kW, kH, kWhite);
    fx.view->Paint(paper, fx.view->ClientRect(), 5);
    EXPECT_EQ(paper.GetPixel(70, 200), kBlack);  // the tag
    EXPECT_EQ(paper.GetPixel(120, 200), kWhite);
    EXPECT_EQ(paper.GetPixel(50, 50), kBlack);  // the line, 50 pixels to the left
    EXPECT_EQ(paper.GetPixel(75, 65), kBlack);
    EXPECT_EQ(paper.GetPixel(125, 65), kWhite);
}

}  // namespace
}  // namespace koru
