// The Time Base command: the field, the rescaled scroll position, Cancel.

#include <gtest/gtest.h>

#include "app/CommandRunner.h"
#include "app/TimeBaseCommand.h"
#include "view/InteractionFixture.h"

namespace koru {
namespace {

TEST(TimeBaseCommand, ScrollPositionScalesByPowersOfTwoTruncatingTowardZero) {
    const struct {
        int32_t from, to, scrollX, want;
    } cases[] = {{4, 6, 7, 28}, {6, 4, 28, 7}, {4, 0, 32, 2},
                 {4, 0, 31, 1}, {5, 4, 3, 1},  {0, 6, INT32_MAX, INT32_MAX}};
    for (const auto& c : cases)
        EXPECT_EQ(RescaledScrollX(c.scrollX, c.from, c.to), c.want) << c.from << "->" << c.to;
}

TEST(TimeBaseCommand, OkSetsTheFieldAndKeepsTheLeftEdgeCancelChangesNothing) {
    test::InteractionFixture fx;
    CommandRunner runner{fx.session, *fx.view};
    fx.OpenBlank(60'000);
    auto choose = [&](std::optional<int32_t> index) {
        fx.ui.timeBaseAnswers.push_back(index);
        runner.Run(Cmd::TimeBase);
    };
    fx.view->ScrollTo(7, 0);
    fx.ui.statusHistory.clear();
    choose(6);
    EXPECT_EQ(fx.ui.timeBaseShown.at(0).entries,
              (std::vector<int32_t>{640, 320, 160, 80, 40, 20, 10}));
    EXPECT_EQ(fx.ui.timeBaseShown.at(0).index, 4);
    EXPECT_EQ(fx.ui.statusHistory, (std::vector<std::string>{"Select desired time base",
                                                             std::string(kIdleStatusMessage)}));
    EXPECT_EQ(fx.view->ScrollX(), 28);  // frame 280 still at the left edge
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "10");
    EXPECT_EQ(fx.view->HorizontalRange(), 6000);
    EXPECT_EQ(fx.DiffFromRepaint(), "");

    // The value in force: the field is written, the view neither moves nor repaints.
    fx.ui.fields[Field::SampPerDiv] = "";
    const int scrolls = fx.scrollChanges;
    choose(6);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "10");
    EXPECT_FALSE(fx.view->HasPendingRepaint());
    EXPECT_EQ(fx.scrollChanges, scrolls);

    // Cancel: not even the field.
    fx.ui.fields[Field::SampPerDiv] = "untouched";
    choose(std::nullopt);
    EXPECT_EQ(fx.ui.timeBaseShown.back().index, 6);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "untouched");
    EXPECT_EQ(fx.view->ScrollX(), 28);
    EXPECT_FALSE(fx.view->HasPendingRepaint());

    choose(4);
    EXPECT_EQ(fx.view->ScrollX(), 7);
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "40");
}

}  // namespace
}  // namespace koru
