// The Time Base command: the field, the rescaled scroll position, Cancel.

#include <gtest/gtest.h>

#include "app/CommandRunner.h"
#include "app/TimeBaseCommand.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

struct TimeBaseFixture : test::InteractionFixture {
    CommandRunner runner{session, *view};
    TimeBaseFixture() { OpenBlank(60'000); }  // 1500 divisions at 40 per division

    void Choose(std::optional<int32_t> index) {
        ui.timeBaseAnswers.push_back(index);
        runner.Run(Cmd::TimeBase);
    }
    int32_t FirstFrame() const { return view->ScrollX() * session.timeBase().Spd(); }
};

TEST(TimeBaseCommand, OpensAtTheValueInForceWithTheSevenEntries) {
    TimeBaseFixture fx;
    fx.ui.statusHistory.clear();
    fx.Choose(std::nullopt);
    ASSERT_EQ(fx.ui.timeBaseShown.size(), 1u);
    EXPECT_EQ(fx.ui.timeBaseShown[0].entries,
              (std::vector<int32_t>{640, 320, 160, 80, 40, 20, 10}));
    EXPECT_EQ(fx.ui.timeBaseShown[0].index, 4);
    EXPECT_EQ(fx.ui.statusHistory, (std::vector<std::string>{"Select desired time base",
                                                             std::string(kIdleStatusMessage)}));
    fx.Choose(6);
    fx.Choose(std::nullopt);
    EXPECT_EQ(fx.ui.timeBaseShown[2].index, 6);
}

TEST(TimeBaseCommand, ScrollPositionScalesByPowersOfTwoKeepingTheLeftEdgeSample) {
    struct Case {
        int32_t from, to, scrollX, want;
    };
    const Case cases[] = {
        {4, 6, 7, 28},   // 40 to 10: four times as many divisions
        {6, 4, 28, 7},   // and back
        {4, 0, 32, 2},   // 40 to 640: a sixteenth
        {4, 0, 31, 1},   // truncated
        {5, 4, 3, 1},    // 3 / 2
        {0, 6, 5, 320},  // 640 to 10
        {3, 3, 9, 9},    // unchanged
        {0, 6, INT32_MAX, INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RescaledScrollX(c.scrollX, c.from, c.to), c.want) << c.from << "->" << c.to;

    TimeBaseFixture fx;
    fx.view->ScrollTo(7, 0);
    const int32_t frame = fx.FirstFrame();
    fx.Choose(6);
    EXPECT_EQ(fx.view->ScrollX(), 28);
    EXPECT_EQ(fx.FirstFrame(), frame);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "10");
    EXPECT_EQ(fx.view->HorizontalRange(), 6000);
    EXPECT_EQ(fx.DiffFromRepaint(), "");
    fx.Choose(4);
    EXPECT_EQ(fx.view->ScrollX(), 7);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "40");
    fx.Choose(0);
    EXPECT_EQ(fx.view->ScrollX(), 0);  // 7 / 16
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "640");
    EXPECT_EQ(fx.DiffFromRepaint(), "");
}

TEST(TimeBaseCommand, TheValueInForceRewritesTheFieldWithoutMovingOrRepainting) {
    TimeBaseFixture fx;
    fx.view->ScrollTo(11, 0);
    fx.view->Update();
    fx.ui.fields[Field::SampPerDiv] = "";
    const int scrolls = fx.scrollChanges;
    fx.Choose(4);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "40");
    EXPECT_EQ(fx.view->ScrollX(), 11);
    EXPECT_FALSE(fx.view->HasPendingRepaint());
    EXPECT_EQ(fx.scrollChanges, scrolls);
}

TEST(TimeBaseCommand, CancelChangesNothingNotEvenTheField) {
    TimeBaseFixture fx;
    fx.view->ScrollTo(9, 0);
    fx.view->Update();
    fx.ui.fields[Field::SampPerDiv] = "untouched";
    fx.Choose(std::nullopt);
    EXPECT_EQ(fx.session.timeBase().Index(), 4);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "untouched");
    EXPECT_EQ(fx.view->ScrollX(), 9);
    EXPECT_FALSE(fx.view->HasPendingRepaint());
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
}

}  // namespace
}  // namespace koru
