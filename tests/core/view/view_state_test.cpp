#include <gtest/gtest.h>

#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

int16_t Zero(int64_t, int) {
    return 0;
}

TEST(ViewGeometryTest, SlotsFollowTheScreenHeight) {
    const SlotTable slots = MakeSlotTable(768);
    for (int p = 1; p <= 8; ++p) {
        EXPECT_EQ(slots[static_cast<std::size_t>(p - 1)].BaselineY, 69 * p);
        EXPECT_EQ(slots[static_cast<std::size_t>(p - 1)].NameX, 10);
    }
    EXPECT_EQ(MakeSlotTable(1080)[7].BaselineY, 98 * 8);  // quotient first
}

TEST(ViewGeometryTest, HorizontalRangeTruncatesEachDivision) {
    EXPECT_EQ(HorizontalRangeFor(39, 40), 0);  // under one division: cannot scroll
    EXPECT_EQ(HorizontalRangeFor(40, 40), 1);
    EXPECT_EQ(HorizontalRangeFor(38'400, 640), 60);
    EXPECT_EQ(HorizontalRangeFor(38'399, 640), 59);
    EXPECT_EQ(HorizontalRangeFor(2'000'000'000, 10), 200'000'000);  // no 32-bit overflow
    EXPECT_EQ(HorizontalRangeFor(0, 40), 0);
}

TEST(ViewGeometryTest, FramesAndColumnsMapBothWaysWithTheScrollOffset) {
    ViewFixture fx;
    fx.Open(1, 1000, 40'000, Zero);
    fx.view->SetScroll(3, 2);  // spd 40, 30 pixels in
    EXPECT_EQ(fx.view->FrameAtColumn(0), 120);
    EXPECT_EQ(fx.view->FrameAtColumn(7), 148);
    EXPECT_EQ(fx.view->ColumnOfFrame(148), 7);
    EXPECT_EQ(fx.view->ColumnOfFrame(151), 7);  // truncates
    EXPECT_EQ(fx.view->ColumnOfFrame(0), -30);
    EXPECT_EQ(fx.view->AbsoluteY(5), 65);
    EXPECT_EQ(fx.view->ClientY(65), 5);
}

TEST(PositionTextTest, BothResolutionsAndPageNumbers) {
    // 38 divisions a page; range 100 is page 3, division 24.
    EXPECT_EQ(PositionText(0, 100, 38, 40, 1000, false), "Time: 00:00.000  Page: 1.00/3.24");
    EXPECT_EQ(PositionText(45, 100, 38, 40, 1000, false), "Time: 00:01.800  Page: 2.07/3.24");
    EXPECT_EQ(PositionText(45, 100, 38, 40, 1000, true), "Time: 00:01.800000  Page: 2.07/3.24");
    EXPECT_EQ(PositionText(3, 3, 38, 10, 333, true), "Time: 00:00.009990  Page: 1.03/1.03");
    // 4 400 000 frames at 1 ms: 73:20, beyond 2^32 microseconds.
    EXPECT_EQ(PositionText(110'000, 200'000, 126, 40, 1000, true),
              "Time: 73:20.000000  Page: 874.02/1588.38");
}

TEST(PositionTextTest, MovingWritesThePositionFieldAndPaintingDoesNot) {
    ViewFixture fx;                     // 400 wide: 38 divisions a page
    fx.Open(1, 1'000'000, 8000, Zero);  // one frame a second, range 200
    EXPECT_EQ(fx.ui.fields[Field::Position], "Time: 00:00.000  Page: 1.00/6.10");
    fx.view->ScrollTo(110, 0);
    EXPECT_EQ(fx.ui.fields[Field::Position], "Time: 73:20.000  Page: 3.34/6.10");
    fx.ui.fields.erase(Field::Position);
    fx.Full();
    EXPECT_EQ(fx.ui.fields.count(Field::Position), 0u);
    fx.session.settings().timeResolution = 1;
    fx.view->ResizeClient(300, 330);
    EXPECT_EQ(fx.ui.fields[Field::Position], "Time: 73:20.000000  Page: 3.34/6.10");
}

TEST(ViewStateTest, LoadingTakesTheBackgroundAndResettingGoesWhite) {
    ViewFixture fx;
    EXPECT_EQ(fx.view->Background(), Rgb(255, 255, 255));
    fx.session.settings().background = Rgb(10, 20, 30);
    fx.Open(1, 1000, 4000, Zero);
    EXPECT_EQ(fx.view->Background(), Rgb(10, 20, 30));
    fx.view->SetScroll(5, 3);
    fx.Full();
    EXPECT_EQ(fx.Px(399, 329), Rgb(10, 20, 30));

    fx.session.ShowNoRecording();  // a refused file: the view is reset
    EXPECT_EQ(fx.view->Background(), Rgb(255, 255, 255));
    EXPECT_EQ(fx.view->ScrollX(), 0);
    EXPECT_EQ(fx.view->ScrollY(), 0);
    EXPECT_TRUE(fx.view->HasPendingRepaint());
    fx.view->Update();
    EXPECT_EQ(fx.Px(399, 329), Rgb(255, 255, 255));
}

TEST(ViewStateTest, RepositionClampsIntoTheRanges) {
    ViewFixture fx;
    fx.Open(1, 1000, 4000, Zero);  // spd 40: range 100
    EXPECT_EQ(fx.view->HorizontalRange(), 100);
    EXPECT_EQ(fx.view->VerticalRange(), 16);
    fx.view->SetScroll(0, 20);
    fx.view->Reposition(250);
    EXPECT_EQ(fx.view->ScrollX(), 100);
    EXPECT_EQ(fx.view->ScrollY(), 16);
    fx.view->Reposition(-3);
    EXPECT_EQ(fx.view->ScrollX(), 0);

    fx.session.ShowNoRecording();
    EXPECT_EQ(fx.view->HorizontalRange(), 0);
    EXPECT_EQ(fx.view->VerticalRange(), 0);
}

TEST(ViewStateTest, InvalidatedAreasAreShownAndRepaintedOnUpdate) {
    ViewFixture fx;
    fx.Open(1, 1000, 4000, Zero);
    fx.view->Update();
    EXPECT_FALSE(fx.view->Update());  // nothing left to do

    std::vector<Rect> shown;
    fx.view->SetShowHook([&](const Rect& r) { shown.push_back(r); });
    fx.view->Invalidate(Rect{390, 320, 500, 500});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], (Rect{390, 320, 400, 330}));  // limited to the client area
    fx.view->Invalidate(Rect{500, 0, 600, 10});       // wholly outside
    EXPECT_EQ(shown.size(), 1u);

    fx.view->BackBuffer().FillRect(Rect{390, 320, 400, 330}, Rgb(1, 2, 3));
    fx.view->BackBuffer().FillRect(Rect{0, 0, 10, 10}, Rgb(1, 2, 3));
    EXPECT_TRUE(fx.view->Update());
    EXPECT_EQ(shown.size(), 1u);  // repainting is not announced again
    EXPECT_EQ(fx.Px(395, 325), fx.Background());
    EXPECT_EQ(fx.Px(5, 5), Rgb(1, 2, 3));  // outside the area: untouched
}

TEST(ViewStateTest, ResizingKeepsThePositionAndRepaintsEverything) {
    ViewFixture fx;
    fx.Open(1, 1000, 40'000, Zero);
    fx.view->SetScroll(12, 0);
    fx.view->Update();
    fx.view->ResizeClient(250, 100);
    EXPECT_EQ(fx.view->BackBuffer().Width(), 250);
    EXPECT_EQ(fx.view->BackBuffer().Height(), 100);
    EXPECT_EQ(fx.view->ScrollX(), 12);
    fx.view->BackBuffer().Fill(Rgb(1, 2, 3));
    fx.view->Update();
    EXPECT_EQ(fx.Px(249, 99), fx.Background());
    EXPECT_EQ(fx.Px(1, 1), fx.Background());
}

}  // namespace
}  // namespace koru
