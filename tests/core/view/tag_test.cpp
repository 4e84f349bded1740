#include <gtest/gtest.h>

#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::InteractionFixture;

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr int kH = InteractionFixture::kH;

// Whether column x is inverted from top to bottom on a black picture.
bool FullColumn(const InteractionFixture& fx, int x) {
    for (int y = 0; y < kH; ++y)
        if (fx.Px(x, y) != kWhite) return false;
    return true;
}

TEST(CutTextTest, OneTagTwoTagsAndBothResolutions) {
    std::array<Tag, kMaxTags> tags{Tag{61'500, 0}, Tag{1'000, 0}};
    EXPECT_EQ(CutText(tags, 0, 1000, true), "");
    EXPECT_EQ(CutText(tags, 1, 1000, true), "01:01.500000");
    EXPECT_EQ(CutText(tags, 1, 1000, false), "01:01.500");
    EXPECT_EQ(CutText(tags, 2, 1000, true), "00:01.000000 to 01:01.500000");
    EXPECT_EQ(CutText(tags, 2, 1000, false), "00:01.000 to 01:01.500");
    std::swap(tags[0], tags[1]);
    EXPECT_EQ(CutText(tags, 2, 1000, false), "00:01.000 to 01:01.500");
    // 3 000 000 frames of 2 ms: past 2^32 microseconds.
    tags[0].Sample = 3'000'000;
    EXPECT_EQ(CutText(tags, 1, 2000, true), "100:00.000000");
    // Dropped left of the recording: the cutout starts at frame 0.
    tags = {Tag{-80, 0}, Tag{1'000, 0}};
    EXPECT_EQ(CutText(tags, 2, 1000, false), "00:00.000 to 00:01.000");
}

TEST(TagTest, DraggingShowsTheMovingTimeAndDropsTheTagWhereReleased) {
    InteractionFixture fx;
    fx.OpenBlank();  // spd 40: 4 frames a column
    const auto before = fx.Picture();
    fx.view->OnRightDown(100, 50, false);
    EXPECT_TRUE(fx.view->TagDragging());
    EXPECT_EQ(fx.Cut(), "");
    EXPECT_TRUE(FullColumn(fx, 100));
    EXPECT_EQ(fx.Changed(before, fx.Picture()).size(), static_cast<std::size_t>(kH));

    fx.view->OnMouseMove(120, 60);
    EXPECT_FALSE(FullColumn(fx, 100));
    EXPECT_TRUE(FullColumn(fx, 120));
    EXPECT_EQ(fx.Cut(), "00:00.480");
    fx.view->OnMouseMove(130, 70);
    EXPECT_EQ(fx.Cut(), "00:00.520");
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_EQ(fx.DiffFromRepaint(), "");  // a repaint in mid-drag keeps the line

    fx.view->OnRightUp(130, 70);
    EXPECT_FALSE(fx.view->TagDragging());
    ASSERT_EQ(fx.view->TagCount(), 1);
    EXPECT_EQ(fx.view->Tags()[0].Sample, 520);
    EXPECT_EQ(fx.view->Tags()[0].Y, 70);
    EXPECT_EQ(fx.Cut(), "00:00.520");
    EXPECT_TRUE(FullColumn(fx, 130));
    EXPECT_EQ(fx.Changed(before, fx.Picture()).size(), static_cast<std::size_t>(kH));
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    EXPECT_GE(fx.countChanges, 1);
}

TEST(TagTest, SecondTagLeftOfTheFirstKeepsPlacementOrderButCutsLowToHigh) {
    InteractionFixture fx;
    fx.OpenBlank();
    fx.session.settings().timeResolution = 1;
    fx.TagDrag(200, 250);
    fx.view->OnRightDown(90, 40, false);
    fx.view->OnMouseMove(50, 40);
    EXPECT_EQ(fx.Cut(), "00:00.200000");  // only the moving tag while dragging
    fx.view->OnRightUp(50, 40);
    ASSERT_EQ(fx.view->TagCount(), 2);
    EXPECT_EQ(fx.view->Tags()[0].Sample, 1000);
    EXPECT_EQ(fx.view->Tags()[1].Sample, 200);
    EXPECT_EQ(fx.Cut(), "00:00.200000 to 00:01.000000");
    EXPECT_EQ(fx.DiffFromRepaint(), "");

    InteractionFixture other;  // the same two tags placed the other way round
    other.OpenBlank();
    other.session.settings().timeResolution = 1;
    other.TagDrag(90, 50);
    other.TagDrag(200, 250);
    EXPECT_EQ(other.Cut(), fx.Cut());
    EXPECT_EQ(other.Picture(), fx.Picture());
}

TEST(TagTest, CtrlRightClickRemovesTheLastTagAndAThirdIsRefused) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.TagDrag(60, 80);
    const auto oneTag = fx.Picture();
    fx.TagDrag(300, 310);
    ASSERT_EQ(fx.view->TagCount(), 2);

    fx.view->OnRightDown(150, 40, false);  // a third: refused, field refreshed
    EXPECT_FALSE(fx.view->TagDragging());
    EXPECT_EQ(fx.view->TagCount(), 2);
    EXPECT_EQ(fx.Cut(), "00:00.320 to 00:01.240");
    fx.view->OnRightUp(150, 40);
    EXPECT_EQ(fx.view->TagCount(), 2);

    fx.view->OnRightDown(5, 5, true);
    EXPECT_EQ(fx.view->TagCount(), 1);
    EXPECT_EQ(fx.Cut(), "00:00.320");  // back to the first tag's time
    EXPECT_EQ(fx.Picture(), oneTag);
    fx.view->OnRightDown(5, 5, true);
    fx.view->OnRightDown(5, 5, true);  // none left: nothing happens
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_EQ(fx.Cut(), "");
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(TagTest, RemovingATagScrolledOutOfViewLeavesThePictureAlone) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.TagDrag(20, 20);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageForward);
    const auto scrolled = fx.Picture();
    fx.view->OnRightDown(5, 5, true);
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_EQ(fx.Picture(), scrolled);
}

TEST(TagTest, TagDroppedLeftOfTheWindowIsStoredNegativeAndNeverDrawn) {
    InteractionFixture fx;
    fx.OpenBlank();
    const auto blank = fx.Picture();
    fx.view->OnRightDown(10, 40, false);
    fx.view->OnMouseMove(-30, 40);  // the mouse is held outside the window
    EXPECT_EQ(fx.Cut(), "00:00.000");
    fx.view->OnRightUp(-30, 40);
    ASSERT_EQ(fx.view->TagCount(), 1);
    EXPECT_EQ(fx.view->Tags()[0].Sample, -120);
    EXPECT_EQ(fx.Picture(), blank);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineBack);
    EXPECT_EQ(fx.Picture(), blank);
}

TEST(TagTest, TagsKeepTheirFramesAcrossScrollsAndStoreAbsoluteY) {
    InteractionFixture fx;
    fx.OpenBlank();
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    fx.TagDrag(150, 150, 10);
    EXPECT_EQ(fx.view->Tags()[0].Sample, (150 + 10) * 4);
    EXPECT_EQ(fx.view->Tags()[0].Y, 10 + 60);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    EXPECT_TRUE(FullColumn(fx, 140));
    EXPECT_FALSE(FullColumn(fx, 150));
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(TagTest, NothingStartsWithoutARecordingAndLoadingClearsTheTags) {
    InteractionFixture fx;
    fx.view->OnRightDown(100, 40, false);
    EXPECT_FALSE(fx.view->TagDragging());
    fx.view->OnRightUp(100, 40);
    EXPECT_EQ(fx.view->TagCount(), 0);

    fx.OpenBlank();
    fx.TagDrag(100, 100);
    EXPECT_EQ(fx.view->TagCount(), 1);
    fx.session.ShowNoRecording();  // a refused file resets the view
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_EQ(fx.Cut(), "");
    fx.OpenBlank();
    fx.TagDrag(100, 100);
    fx.OpenBlank();  // the next recording starts without tags
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_EQ(fx.Cut(), "");
}

}  // namespace
}  // namespace koru
