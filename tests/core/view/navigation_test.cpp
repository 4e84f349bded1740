#include <gtest/gtest.h>

#include <random>

#include "view/InteractionFixture.h"

namespace koru {
namespace {

using test::InteractionFixture;

constexpr uint32_t kSentinel = 0xFF123456u;
constexpr int kW = InteractionFixture::kW;

// --- Scroll-bar requests.

TEST(ThumbTest, PositionsBeyondSixteenBitsAreScaled) {
    EXPECT_EQ(ThumbRange(32'767), 32'767);
    EXPECT_EQ(ThumbRange(40'000), 32'767);
    EXPECT_EQ(PositionFromThumb(1'234, 32'767), 1'234);
    EXPECT_EQ(PositionFromThumb(32'767, 40'000), 40'000);
    EXPECT_EQ(PositionFromThumb(16'384, 40'000), 20'000);  // 16384 * 40000 / 32767, truncated
    EXPECT_EQ(PositionFromThumb(32'767, 200'000'000), 200'000'000);  // no 32-bit overflow
    EXPECT_EQ(ThumbFromPosition(20'000, 40'000), 16'383);
    EXPECT_EQ(ThumbFromPosition(200'000'000, 200'000'000), 32'767);
    EXPECT_EQ(ThumbFromPosition(77, 100), 77);
}

TEST(ScrollTest, LinePageTopBottomAndThumbOnBothAxes) {
    InteractionFixture fx;  // 38 divisions a page
    fx.OpenBlank(4'000);    // spd 40: range 100
    auto h = [&](ScrollRequest r, int32_t t = 0) { fx.view->Scroll(ScrollAxis::Horizontal, r, t); };
    auto v = [&](ScrollRequest r, int32_t t = 0) { fx.view->Scroll(ScrollAxis::Vertical, r, t); };
    h(ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollX(), 1);
    h(ScrollRequest::PageForward);
    EXPECT_EQ(fx.view->ScrollX(), 39);
    h(ScrollRequest::LineBack);
    EXPECT_EQ(fx.view->ScrollX(), 38);
    h(ScrollRequest::Thumb, 70);
    EXPECT_EQ(fx.view->ScrollX(), 70);
    h(ScrollRequest::PageBack);
    EXPECT_EQ(fx.view->ScrollX(), 32);
    h(ScrollRequest::Bottom);
    EXPECT_EQ(fx.view->ScrollX(), 100);
    h(ScrollRequest::Top);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    h(ScrollRequest::LineBack);
    EXPECT_EQ(fx.view->ScrollX(), 0);

    v(ScrollRequest::PageForward);
    EXPECT_EQ(fx.view->ScrollY(), 8);
    v(ScrollRequest::PageForward);
    v(ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollY(), 16);
    v(ScrollRequest::LineBack);
    EXPECT_EQ(fx.view->ScrollY(), 15);
    v(ScrollRequest::Thumb, 3);
    EXPECT_EQ(fx.view->ScrollY(), 3);
    v(ScrollRequest::Top);
    EXPECT_EQ(fx.view->ScrollY(), 0);
    v(ScrollRequest::Bottom);
    EXPECT_EQ(fx.view->ScrollY(), 16);
    EXPECT_EQ(fx.view->ScrollX(), 0);
}

TEST(ScrollTest, PagingRightStopsAtTheRangeOnTheLastPage) {
    InteractionFixture fx;
    fx.OpenBlank(4'000);
    for (int i = 0; i < 5; ++i) fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageForward);
    EXPECT_EQ(fx.view->ScrollX(), 100);
    EXPECT_EQ(fx.ui.fields[Field::Position], "Time: 00:04.000  Page: 3.24/3.24");
    const int before = fx.scrollChanges;
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageForward);
    EXPECT_EQ(fx.scrollChanges, before);  // nothing moved, nothing happened
}

TEST(ScrollTest, ThumbOfALongRecordingIsScaledOntoTheRange) {
    InteractionFixture fx;
    fx.session.timeBase().SetIndex(6);  // spd 10
    fx.OpenBlank(400'000);              // range 40 000
    ASSERT_EQ(fx.view->HorizontalRange(), 40'000);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 16'384);
    EXPECT_EQ(fx.view->ScrollX(), 20'000);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 32'767);
    EXPECT_EQ(fx.view->ScrollX(), 40'000);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineBack);  // steps stay one division
    EXPECT_EQ(fx.view->ScrollX(), 39'999);
}

TEST(ScrollTest, ShortRecordingsAndNoRecordingCannotBeScrolled) {
    InteractionFixture fx;
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    EXPECT_EQ(fx.view->ScrollY(), 0);

    fx.OpenBlank(39);  // under one division at spd 40
    EXPECT_EQ(fx.view->HorizontalRange(), 0);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::Bottom);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollY(), 1);  // the slots below can still be reached
}

TEST(ScrollTest, MovesUnderAPageShiftThePictureAndRepaintOnlyTheStrip) {
    InteractionFixture fx;
    fx.OpenBusy();
    // A pixel no paint would draw; where it ends up shows what was shifted
    // and what was repainted.
    fx.view->BackBuffer().Pixels()[200 * kW + 200] = kSentinel;
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->BackBuffer().Pixels()[200 * kW + 190], kSentinel);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->BackBuffer().Pixels()[170 * kW + 190], kSentinel);
    fx.view->BackBuffer().Pixels()[300 * kW + 390] = kSentinel;
    fx.view->ScrollTo(fx.view->ScrollX() + 37,
                      fx.view->ScrollY() + 7);  // just under a page both ways
    EXPECT_EQ(fx.view->BackBuffer().Pixels()[90 * kW + 20], kSentinel);
    EXPECT_FALSE(fx.view->HasPendingRepaint());

    fx.view->BackBuffer().Pixels()[100 * kW + 300] = kSentinel;
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageBack);  // a full page
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    for (int i = 0; i < kW * InteractionFixture::kH; ++i)
        ASSERT_NE(fx.view->BackBuffer().Pixels()[i], kSentinel);

    fx.view->BackBuffer().Pixels()[100 * kW + 300] = kSentinel;
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::PageForward);  // 8 units
    for (int i = 0; i < kW * InteractionFixture::kH; ++i)
        ASSERT_NE(fx.view->BackBuffer().Pixels()[i], kSentinel);
}

TEST(ScrollTest, AreasWaitingForRepaintArePaintedBeforeTheShift) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.view->BackBuffer().FillRect(Rect{100, 0, 140, InteractionFixture::kH}, Rgb(9, 9, 9));
    fx.view->Invalidate(Rect{100, 0, 140, InteractionFixture::kH});
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(ScrollTest, ResizingKeepsTheLeftEdgeAndThePageStep) {
    InteractionFixture fx;
    fx.OpenBlank(40'000);
    fx.view->ScrollTo(123, 2);
    fx.view->ResizeClient(120, 90);
    EXPECT_EQ(fx.view->ScrollX(), 123);
    EXPECT_EQ(fx.view->ScrollY(), 2);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageForward);
    EXPECT_EQ(fx.view->ScrollX(), 123 + 12);  // the 12 divisions the narrower window shows
}

TEST(PaperColorTest, ColoursTooLightForPaperPrintAtHalfIntensity) {
    struct Case {
        ColorRef screen, paper;
    };
    for (const Case& c : std::vector<Case>{{Rgb(255, 255, 0), Rgb(127, 127, 0)},      // yellow
                                           {Rgb(255, 255, 255), Rgb(127, 127, 127)},  // white
                                           {Rgb(0, 255, 0), Rgb(0, 127, 0)},
                                           {Rgb(0, 255, 255), Rgb(0, 127, 127)},
                                           {Rgb(192, 192, 192), Rgb(96, 96, 96)},
                                           {Rgb(255, 0, 0), Rgb(255, 0, 0)},  // dark enough
                                           {Rgb(0, 0, 255), Rgb(0, 0, 255)},
                                           {Rgb(255, 0, 255), Rgb(255, 0, 255)},
                                           {Rgb(0, 0, 0), Rgb(0, 0, 0)}}) {
        EXPECT_EQ(PaperColor(c.screen), c.paper) << std::hex << c.screen;
    }
}

TEST(PageStepTest, NeverMoreThanTheWholeDivisionsShownNorThePageDivisions) {
    struct Case {
        int width;
        int32_t pageDivisions;
        int32_t step;
    };
    // 1024 screen: 100 page divisions; a 768 window shows 76.8, so 76 whole.
    for (const Case& c : std::vector<Case>{{768, 100, 76},
                                           {1024, 100, 100},
                                           {1010, 100, 100},
                                           {1009, 100, 100},
                                           {999, 100, 99},
                                           {1440, 190, 144},
                                           {1920, 190, 190},
                                           {19, 100, 1},
                                           {9, 100, 1},
                                           {0, 100, 1}}) {
        EXPECT_EQ(PageStepFor(c.width, c.pageDivisions), c.step) << c.width;
        EXPECT_LE(PageStepFor(c.width, c.pageDivisions), std::max(1, c.width / 10)) << c.width;
    }
}

TEST(PageStepTest, PagingFromTheStartShowsEveryFrameAtEveryWidth) {
    for (const int width : {400, 333, 260, 121, 57, 10}) {
        for (const int32_t tb : {0, 3, 6}) {
            InteractionFixture fx;  // screen 400 wide: 38 page divisions
            fx.session.timeBase().SetIndex(tb);
            const int64_t frames = 9'877;
            fx.OpenBlank(frames);
            fx.view->ResizeClient(width, 90);
            // Frames shown so far run from 0 to covered - 1.
            int64_t covered = 0;
            int32_t last = -1;
            for (int guard = 0; guard < 100'000 && fx.view->ScrollX() != last; ++guard) {
                last = fx.view->ScrollX();
                const int64_t first = fx.view->FrameAtColumn(0);
                ASSERT_LE(first, covered) << "width " << width << " tb " << tb << " at " << last;
                covered = std::max(covered, fx.view->FrameAtColumn(width));
                fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::PageForward);
                ASSERT_LE(fx.view->ScrollX() - last, width / 10 > 0 ? width / 10 : 1);
            }
            EXPECT_GE(covered, frames) << "width " << width << " tb " << tb;
            EXPECT_EQ(fx.view->ScrollX(), fx.view->HorizontalRange());
            // The page numbers still count the screen's page divisions.
            if (fx.view->HorizontalRange() < 38) continue;
            fx.view->ScrollTo(38, 0);
            EXPECT_NE(fx.ui.fields[Field::Position].find("Page: 2.00/"), std::string::npos);
        }
    }
}

TEST(NavigationKeyTest, KeysScrollAndTheWheelMovesTimeOrSlots) {
    InteractionFixture fx;
    fx.OpenBlank(4'000);  // spd 40: range 100, 38 divisions a page
    struct Step {
        int key;
        int32_t x, y;
    };
    for (const Step& s : std::vector<Step>{{kKeyRight, 1, 0},
                                           {kKeyPageDown, 39, 0},
                                           {kKeyLeft, 38, 0},
                                           {kKeyPageUp, 0, 0},
                                           {kKeyEnd, 100, 0},
                                           {kKeyDown, 100, 1},
                                           {kKeyHome, 0, 1},
                                           {kKeyUp, 0, 0}}) {
        EXPECT_TRUE(fx.view->OnKeyDown(s.key)) << s.key;
        EXPECT_EQ(fx.view->ScrollX(), s.x) << s.key;
        EXPECT_EQ(fx.view->ScrollY(), s.y) << s.key;
    }
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyUp));  // already at the top: nothing moved
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyHome));
    fx.view->OnWheel(2, false);
    EXPECT_EQ(fx.view->ScrollX(), 6);
    fx.view->OnWheel(-5, false);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    fx.view->OnWheel(3, true);
    EXPECT_EQ(fx.view->ScrollY(), 3);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    fx.view->OnWheel(40, true);
    EXPECT_EQ(fx.view->ScrollY(), 16);
    EXPECT_EQ(fx.DiffFromRepaint(), "");

    // Held by a drag, as the bars are; the marker keys keep their meaning.
    fx.view->OnLeftDown(50, 50, false);
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyPageDown));
    fx.view->OnWheel(1, false);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    fx.view->OnLeftUp(50, 50);
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyInsert));  // no tag
}

TEST(ScrollTest, RequestsWaitWhileADragHoldsTheMouse) {
    InteractionFixture fx;
    fx.OpenBusy();
    fx.view->OnLeftDown(50, 50, false);
    fx.view->OnMouseMove(90, 80);
    fx.view->Scroll(ScrollAxis::Horizontal, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollX(), 0);
    fx.view->OnLeftUp(90, 80);
    fx.view->OnRightDown(50, 50, false);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollY(), 0);
    fx.view->OnRightUp(60, 50);
    fx.view->Scroll(ScrollAxis::Vertical, ScrollRequest::LineForward);
    EXPECT_EQ(fx.view->ScrollY(), 1);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

// --- The marker keys.

struct MarkerKeyFixture : InteractionFixture {
    explicit MarkerKeyFixture(std::vector<int32_t> markers) {
        OpenBlank();
        MarkerList& m = session.document().Markers();
        m.items = std::move(markers);
        m.loaded = !m.items.empty();
    }
    std::vector<int32_t>& Markers() { return session.document().Markers().items; }
    // A tag at frame f (spd 40: column f / 4).
    void TagAt(int32_t f) { TagDrag(f / 4, f / 4); }
};

TEST(MarkerKeyTest, InsertPutsTheTagBeforeEqualMarkersAndClearsIt) {
    for (int key : {kKeyInsert, kKeyNumpad0}) {
        MarkerKeyFixture fx({100, 500, 900});
        fx.TagAt(500);
        fx.view->Update();
        const int counts = fx.countChanges;
        EXPECT_TRUE(fx.view->OnKeyDown(key));
        EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{100, 500, 500, 900}));
        EXPECT_EQ(fx.view->TagCount(), 0);
        EXPECT_EQ(fx.Cut(), "");
        EXPECT_TRUE(fx.view->HasPendingRepaint());
        EXPECT_GT(fx.countChanges, counts);
        EXPECT_EQ(fx.DiffFromRepaint(), "");
    }
    // Counted from the end: in a list read unsorted it lands after the last
    // smaller value, before every larger or equal one behind it.
    MarkerKeyFixture fx({100, 900, 500, 40});
    fx.TagAt(500);
    fx.view->OnKeyDown(kKeyInsert);
    EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{100, 900, 500, 40, 500}));
}

TEST(MarkerKeyTest, InsertIntoAnEmptyListShowsMarkersAndAFullListRefuses) {
    MarkerKeyFixture fx({});
    EXPECT_FALSE(fx.session.document().Markers().loaded);
    fx.TagAt(800);
    EXPECT_TRUE(fx.view->OnKeyDown(kKeyInsert));
    EXPECT_TRUE(fx.session.document().Markers().loaded);
    EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{800}));

    std::vector<int32_t> full(2048);
    for (int i = 0; i < 2048; ++i) full[static_cast<std::size_t>(i)] = i * 10;
    MarkerKeyFixture fx2(full);
    fx2.TagAt(400);
    std::vector<std::string> notices;
    fx2.view->SetNoticeHook([&](const std::string& t) { notices.push_back(t); });
    EXPECT_FALSE(fx2.view->OnKeyDown(kKeyInsert));
    EXPECT_EQ(fx2.Markers().size(), 2048u);
    EXPECT_EQ(fx2.view->TagCount(), 1);
    EXPECT_EQ(notices, std::vector<std::string>{"The marker list is full (2048 markers)."});
}

TEST(MarkerKeyTest, DeleteRemovesOnlyMarkersStrictlyBetweenTheTags) {
    for (int key : {kKeyDelete, kKeyDecimal}) {
        MarkerKeyFixture fx({100, 500, 900});
        fx.TagAt(900);
        fx.TagAt(100);
        EXPECT_TRUE(fx.view->OnKeyDown(key));
        EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{100, 900}));
        EXPECT_EQ(fx.view->TagCount(), 0);
        EXPECT_EQ(fx.Cut(), "");
        EXPECT_EQ(fx.DiffFromRepaint(), "");
    }
    MarkerKeyFixture fx({100, 500, 900});
    fx.TagAt(600);
    fx.TagAt(800);
    EXPECT_TRUE(fx.view->OnKeyDown(kKeyDelete));  // nothing between: tags still go
    EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{100, 500, 900}));
    EXPECT_EQ(fx.view->TagCount(), 0);
    EXPECT_TRUE(fx.view->HasPendingRepaint());
}

TEST(MarkerKeyTest, KeysWhoseConditionsFailDoNothing) {
    MarkerKeyFixture fx({100, 500, 900});
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyInsert));  // no tag
    fx.TagAt(200);
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyDelete));  // one tag
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyDecimal));
    EXPECT_FALSE(fx.view->OnKeyDown('A'));
    fx.TagAt(700);
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyInsert));  // two tags
    EXPECT_FALSE(fx.view->OnKeyDown(kKeyNumpad0));
    EXPECT_EQ(fx.Markers(), (std::vector<int32_t>{100, 500, 900}));
    EXPECT_EQ(fx.view->TagCount(), 2);
    EXPECT_FALSE(fx.view->HasPendingRepaint());

    MarkerKeyFixture empty({});
    empty.TagAt(200);
    empty.TagAt(700);
    EXPECT_FALSE(empty.view->OnKeyDown(kKeyDelete));  // no markers
    EXPECT_EQ(empty.view->TagCount(), 2);
}

// --- The picture stays what a repaint draws.

// Random scrolls, tag and line drags (short ones and ones leaving the
// window included), removals, marker keys, strip repaints and drags that
// overlap each other, on every time base. After each step the back buffer
// must equal a full repaint of the same state.
TEST(PictureInvariantTest, RandomInteractionsLeaveTheBufferEqualToAFullRepaint) {
    for (uint32_t seed = 1; seed <= 14; ++seed) {
        InteractionFixture fx;
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        fx.session.timeBase().SetIndex(static_cast<int32_t>(seed % 7));
        fx.session.settings().timeHacks = seed % 2 ? 1 : 0;
        fx.OpenBusy(60'000);
        auto point = [&] {
            return Point{pick(-40, kW + 40), pick(-20, InteractionFixture::kH + 20)};
        };
        for (int step = 0; step < 70; ++step) {
            const int op = pick(0, 11);
            std::string what;
            switch (op) {
                case 0:
                case 1: {
                    const auto axis = pick(0, 2) ? ScrollAxis::Horizontal : ScrollAxis::Vertical;
                    const auto req = static_cast<ScrollRequest>(pick(0, 6));
                    fx.view->Scroll(axis, req, pick(0, 400));
                    what = "scroll";
                    break;
                }
                case 2:
                case 3: {
                    const Point a = point();
                    const Point b =
                        pick(0, 2) ? point() : Point{a.x + pick(-6, 6), a.y + pick(-6, 6)};
                    fx.LineDrag(a, b);
                    what = "line";
                    break;
                }
                case 4:
                    fx.TagDrag(pick(-20, kW + 20), pick(-20, kW + 20), pick(0, 300));
                    what = "tag";
                    break;
                case 5:
                    fx.view->OnLeftDown(pick(0, kW), pick(0, 300), true);
                    what = "delete line";
                    break;
                case 6:
                    fx.view->OnRightDown(pick(0, kW), pick(0, 300), true);
                    what = "remove tag";
                    break;
                case 7:
                    fx.view->OnKeyDown(pick(0, 1) ? kKeyInsert : kKeyDelete);
                    what = "key";
                    break;
                case 8: {
                    const int l = pick(0, kW - 1);
                    fx.view->RepaintRect(Rect{l, pick(0, 100), l + pick(1, 60), pick(150, 330)});
                    what = "strip";
                    break;
                }
                case 9: {  // a line drag with a tag placed and removed inside it
                    const Point a = point();
                    fx.view->OnLeftDown(a.x, a.y, false);
                    fx.view->OnMouseMove(pick(0, kW), pick(0, 300));
                    fx.view->OnRightDown(pick(0, kW), 20, pick(0, 1) == 1);
                    fx.view->OnMouseMove(pick(0, kW), pick(0, 300));
                    EXPECT_EQ(fx.DiffFromRepaint(), "")
                        << "seed " << seed << " step " << step << " mid-drag";
                    fx.view->OnRightUp(pick(0, kW), 20);
                    const Point b = point();
                    fx.view->OnMouseMove(b.x, b.y);
                    fx.view->OnLeftUp(b.x, b.y);
                    what = "overlapping drags";
                    break;
                }
                case 10: {  // a marker key in the middle of a tag drag
                    fx.view->OnRightDown(pick(0, kW), 10, false);
                    fx.view->OnMouseMove(pick(0, kW), 10);
                    fx.view->OnKeyDown(pick(0, 1) ? kKeyInsert : kKeyDelete);
                    fx.view->OnMouseMove(pick(0, kW), 10);
                    fx.view->OnRightUp(pick(0, kW), 10);
                    what = "key in drag";
                    break;
                }
                default:
                    fx.view->ScrollTo(pick(0, fx.view->HorizontalRange()), pick(0, 16));
                    what = "jump";
                    break;
            }
            ASSERT_EQ(fx.DiffFromRepaint(), "")
                << "seed " << seed << " step " << step << " after " << what;
        }
    }
}

}  // namespace
}  // namespace koru
