// Detect Beats in the window: the beats of generated pulses land in the
// annotation list as "N" and in the Marker list until it is full (and the
// user is told), a second run does not count them twice, progress is shown,
// and two tags then give the beats between them in the status bar.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/CommandRunner.h"
#include "app/DetectBeatsCommand.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

constexpr double kRate = 250;  // 4000 us a frame

// Beats 0.45 to 0.75 s apart from 0.5 s on, for `seconds`.
std::vector<int64_t> Truth(double seconds) {
    std::vector<int64_t> t;
    for (double s = 0.5; s < seconds - 1; s += 0.45 + 0.3 * std::abs(std::sin(s)))
        t.push_back(std::llround(s * kRate));
    return t;
}

// QRS-like pulses of 1200 counts with a T wave, on a slow wander.
test::SampleFn Ecg(const std::vector<int64_t>& truth) {
    return [&truth](int64_t f, int) {
        const double t = static_cast<double>(f) / kRate;
        double v = 300 * std::sin(2 * std::numbers::pi * 0.25 * t);
        const auto near = std::lower_bound(truth.begin(), truth.end(), f - 150);
        for (auto it = near; it != truth.end() && *it < f + 50; ++it) {
            const double d = static_cast<double>(f - *it) / kRate;
            v += 1200 * std::exp(-d * d / (2 * 0.012 * 0.012)) +
                 300 * std::exp(-(d - 0.3) * (d - 0.3) / (2 * 0.05 * 0.05));
        }
        return static_cast<int16_t>(std::lround(v));
    };
}

// Every true beat found within 50 ms, and nothing else.
void ExpectFound(const AnnotationList& list, const std::vector<int64_t>& truth) {
    ASSERT_EQ(list.Count(), truth.size());
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_EQ(list[i].label, "N");
        EXPECT_NEAR(static_cast<double>(list[i].frame), static_cast<double>(truth[i]), 12) << i;
    }
}

TEST(DetectBeatsCommandTest, BeatsFillTheMarkerListUpToItsLimitAndSaySo) {
    const std::vector<int64_t> truth = Truth(1400);  // about 2300 beats
    ASSERT_GT(truth.size(), MarkerList::kCapacity);
    ViewFixture fx;
    fx.Open(1, 4000, static_cast<int64_t>(1400 * kRate), Ecg(truth));
    CommandRunner runner(fx.session, *fx.view);
    runner.Run(Cmd::DetectBeats);

    const SignalDocument& doc = fx.session.document();
    ExpectFound(doc.Annotations(), truth);
    ASSERT_EQ(doc.Markers().Count(), static_cast<int32_t>(MarkerList::kCapacity));
    for (std::size_t i = 0; i < MarkerList::kCapacity; ++i)
        ASSERT_EQ(doc.Markers().items[i], doc.Annotations()[i].frame);
    EXPECT_TRUE(doc.Markers().Changed());
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text, MarkerListFilledText(MarkerList::kCapacity, truth.size()));
    EXPECT_EQ(fx.ui.status, std::to_string(truth.size()) + " beats found on channel 1.");
    ASSERT_FALSE(fx.ui.progress.empty());
    EXPECT_EQ(fx.ui.progress.back(), 100);
}

TEST(DetectBeatsCommandTest, ASecondRunReplacesTheBeatsAndKeepsOtherAnnotationsAndMarkers) {
    const std::vector<int64_t> truth = Truth(60);
    ViewFixture fx;
    fx.Open(1, 4000, static_cast<int64_t>(60 * kRate), Ecg(truth));
    SignalDocument& doc = fx.session.document();
    doc.Markers().items = {7, 3};  // a hand-made list, out of order
    doc.Annotations().Add({1000, "+", "(N", -1});
    CommandRunner runner(fx.session, *fx.view);
    runner.Run(Cmd::DetectBeats);
    runner.Run(Cmd::DetectBeats);

    std::vector<Annotation> beats;
    for (const Annotation& a : doc.Annotations().Items())
        if (a.label != "+") beats.push_back(a);
    AnnotationList only;
    only.Assign(beats);
    ExpectFound(only, truth);
    EXPECT_EQ(doc.Annotations().CountLabel("+"), 1u);
    EXPECT_EQ(doc.Markers().Count(), static_cast<int32_t>(truth.size() + 2));
    EXPECT_TRUE(fx.ui.messages.empty());
    EXPECT_TRUE(fx.ui.questions.empty());  // the program's own file: nothing to ask

    // Two tags around the 3rd to the 7th beat: five beats, their mean interval.
    const double rr = static_cast<double>(truth[6] - truth[2]) / 4 / kRate;
    char want[96];
    std::snprintf(want, sizeof want, "5 beats, mean RR %.3f s, %.1f /min", rr, 60 / rr);
    for (const int64_t frame : {truth[2] - 20, truth[6] + 20}) {
        fx.view->GoToFrame(frame);
        const int x = static_cast<int>(fx.view->ColumnOfFrame(frame));
        fx.view->OnRightDown(x, 50, false);
        fx.view->OnRightUp(x, 50);
    }
    ASSERT_EQ(fx.view->TagCount(), 2);
    EXPECT_EQ(fx.ui.fields[Field::Rhythm], want);
}

}  // namespace
}  // namespace koru
