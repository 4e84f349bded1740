// Display filters as the view uses them: what is drawn loses wander and hum
// and keeps each QRS on its column, while the recording's values stay; the
// View menu's commands, their check marks, the status field and the reset
// for each recording.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/CommandRunner.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

constexpr double kRate = 500;  // 2000 us a frame
constexpr int64_t kFrames = 40 * 500;
constexpr int64_t kPulse = 20 * 500 + 7;  // off any division edge

// 0.3 Hz wander, 50 Hz hum and one QRS-like pulse, in counts.
int16_t WanderHumPulse(int64_t f, int) {
    const double t = static_cast<double>(f) / kRate;
    const double d = static_cast<double>(f - kPulse) / kRate;
    return static_cast<int16_t>(std::lround(3000 * std::sin(2 * std::numbers::pi * 0.3 * t) +
                                            600 * std::sin(2 * std::numbers::pi * 50 * t + 1) +
                                            4000 * std::exp(-d * d / (2 * 0.01 * 0.01))));
}

struct Trace {
    int top = -1;        // column of the highest point
    int spreadAway = 0;  // rows covered away from the pulse
};

// The drawn trace of channel 1 at position 5: where its top is, and how many
// rows it covers in the columns more than 0.2 s from the pulse.
Trace Measure(ViewFixture& fx) {
    RasterCanvas& c = fx.Full();
    const ColorRef color = fx.ColorOf(0);
    const int64_t pulseColumn = fx.view->ColumnOfFrame(kPulse);
    Trace t;
    int best = c.Height(), lo = c.Height(), hi = -1;
    for (int x = 0; x < c.Width(); ++x) {
        const std::vector<int> rows = fx.RowsOf(x, color);
        if (rows.empty()) continue;
        if (rows.front() < best) best = rows.front(), t.top = x;
        if (std::abs(x - pulseColumn) * fx.view->ScreenMap().PerColumn() > 100) {
            lo = std::min(lo, rows.front());
            hi = std::max(hi, rows.back());
        }
    }
    t.spreadAway = hi - lo + 1;
    return t;
}

struct FilterFixture : ViewFixture {
    CommandRunner runner{session, *view};
    FilterFixture() : ViewFixture(400, 330) {
        TracesOnly();
        Solo(0, 5);
        session.channels().current[0].DisplaySize = 2;
        session.timeBase().SetIndex(0);
        Open(1, 2000, kFrames, WanderHumPulse);
        view->GoToFrame(kPulse - 2000);
    }
};

TEST(DisplayFilterViewTest, WanderAndHumLeaveTheDrawingAndThePulseKeepsItsColumn) {
    FilterFixture fx;
    const Trace raw = Measure(fx);
    const int64_t pulseColumn = fx.view->ColumnOfFrame(kPulse);
    ASSERT_GE(pulseColumn, 0);
    ASSERT_LT(pulseColumn, 400);
    ASSERT_GT(raw.spreadAway, 60);  // the wander swings the raw trace far

    fx.runner.Run(Cmd::HighPass05);
    fx.runner.Run(Cmd::Notch50);
    const Trace filtered = Measure(fx);
    EXPECT_EQ(filtered.top, pulseColumn);
    // Down 30 dB: a thirtieth of the swing, give or take a row of rounding.
    EXPECT_LE(filtered.spreadAway, raw.spreadAway / 30 + 2);
    EXPECT_EQ(fx.ui.fields[Field::Filter], "HP 0.5 Hz, notch 50 Hz");

    // The recording is what it was: every frame checked against the source.
    const SignalDocument& doc = fx.session.document();
    for (int64_t f = 0; f < kFrames; f += 37)
        ASSERT_EQ(doc.FindFrame(f).value()[0], WanderHumPulse(f, 0)) << f;
}

TEST(DisplayFilterViewTest, CommandsTakeOneCutOffOfAKindAndShowIt) {
    FilterFixture fx;
    struct Step {
        Cmd cmd;
        const char* field;
        std::vector<Cmd> checked;
    };
    const Step steps[] = {
        {Cmd::LowPass40, "LP 40 Hz", {Cmd::LowPass40}},
        {Cmd::LowPass100, "LP 100 Hz", {Cmd::LowPass100}},  // replaces 40
        {Cmd::HighPass005, "HP 0.05 Hz, LP 100 Hz", {Cmd::HighPass005, Cmd::LowPass100}},
        {Cmd::Notch60,
         "HP 0.05 Hz, notch 60 Hz, LP 100 Hz",
         {Cmd::HighPass005, Cmd::Notch60, Cmd::LowPass100}},
        {Cmd::LowPass100, "HP 0.05 Hz, notch 60 Hz", {Cmd::HighPass005, Cmd::Notch60}},  // off
        {Cmd::HighPass005, "notch 60 Hz", {Cmd::Notch60}},
        {Cmd::Notch60, "", {}},
    };
    const Cmd all[] = {Cmd::HighPass005, Cmd::HighPass05, Cmd::Notch50,   Cmd::Notch60,
                       Cmd::LowPass40,   Cmd::LowPass100, Cmd::LowPass150};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.field);
        fx.runner.Run(s.cmd);
        EXPECT_EQ(fx.ui.fields[Field::Filter], s.field);
        for (const Cmd c : all) {
            const bool want = std::find(s.checked.begin(), s.checked.end(), c) != s.checked.end();
            EXPECT_EQ(fx.runner.Checked(static_cast<int32_t>(c)), want);
        }
    }
    EXPECT_TRUE(fx.ui.messages.empty());
}

TEST(DisplayFilterViewTest, ACutOffTheRateCannotCarryIsRefusedAndTheFiltersStay) {
    ViewFixture fx;
    CommandRunner runner(fx.session, *fx.view);
    fx.Open(1, 4000, 5000, test::Wander);  // 250 Hz
    runner.Run(Cmd::Notch50);
    runner.Run(Cmd::LowPass150);  // above half the rate
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text, "The low-pass at 150 Hz does not fit a rate of 250 Hz.");
    EXPECT_EQ(fx.view->DisplayFilter().notch, 50);
    EXPECT_EQ(fx.view->DisplayFilter().lowPass, 0);
    EXPECT_EQ(fx.ui.fields[Field::Filter], "notch 50 Hz");

    // The next recording opens unfiltered.
    fx.Open(1, 4000, 5000, test::Wander);
    EXPECT_FALSE(fx.view->DisplayFilter().Any());
    EXPECT_EQ(fx.ui.fields[Field::Filter], "");
    EXPECT_EQ(runner.Checked(static_cast<int32_t>(Cmd::Notch50)), false);
}

// Blocks filtered with their margins give what filtering the whole signal
// at once gives, wherever a block starts and however much is asked for.
TEST(DisplayFilterViewTest, FilteredRunsMatchTheWholeSignalFilteredAtOnce) {
    ViewFixture fx;
    fx.Open(2, 2000, kFrames, [](int64_t f, int c) {
        return c == 0 ? WanderHumPulse(f, 0) : static_cast<int16_t>(f % 1000);
    });
    const DisplayFilterSettings settings{0.5, 50, 100};
    const std::optional<Cascade> filter = MakeDisplayFilter(kRate, settings);
    ASSERT_TRUE(filter);
    std::vector<float> whole(static_cast<std::size_t>(kFrames));
    for (int64_t f = 0; f < kFrames; ++f) whole[static_cast<std::size_t>(f)] = WanderHumPulse(f, 0);
    filter->FilterForwardBackward(whole);

    const auto margin = static_cast<int64_t>(DisplayFilterMargin(settings) * kRate);
    for (const int64_t first : {int64_t{0}, int64_t{5}, int64_t{9000}, kFrames - 3000}) {
        for (const std::size_t want : {std::size_t{1}, std::size_t{700}, std::size_t{50'000}}) {
            SCOPED_TRACE(std::to_string(first) + " " + std::to_string(want));
            FilteredSpans spans(fx.session.document(), first, *filter, margin,
                                {true, false, false, false, false, false, false, false});
            int64_t f = first;
            for (auto run = spans.Next(want); !run.empty(); run = spans.Next(want)) {
                for (const Frame& fr : run) {
                    ASSERT_NEAR(fr[0], whole[static_cast<std::size_t>(f)], 1.5) << f;
                    ASSERT_EQ(fr[1], f % 1000) << f;  // not chosen: untouched
                    ++f;
                }
            }
            EXPECT_EQ(f, kFrames);
        }
    }
}

}  // namespace
}  // namespace koru
