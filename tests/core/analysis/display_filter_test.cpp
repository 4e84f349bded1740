// Display filters: what they take out, what they leave where it was, and which
// cut-offs a rate cannot carry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "analysis/DisplayFilter.h"

namespace koru {
namespace {

constexpr double kRate = 500;
constexpr double kPi = std::numbers::pi;

std::vector<float> Make(double seconds, const std::function<double(double)>& f) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(f(static_cast<double>(i) / kRate));
    return x;
}

// Root mean square of the middle, past the edges' settling.
double MiddleRms(const std::vector<float>& x, double edgeSeconds) {
    const auto edge = static_cast<std::size_t>(edgeSeconds * kRate);
    double sum = 0;
    for (std::size_t i = edge; i + edge < x.size(); ++i) sum += double{x[i]} * x[i];
    return std::sqrt(sum / static_cast<double>(x.size() - 2 * edge));
}

double Decibels(double out, double in) {
    return 20 * std::log10(out / in);
}

double Pulse(double t, double at) {  // QRS-like: 1 mV high, about 60 ms wide at its base
    const double d = t - at;
    return std::exp(-d * d / (2 * 0.01 * 0.01));
}

TEST(DisplayFilterTest, WanderAndHumGoDownThirtyDecibelsAndThePulseStaysPut) {
    const std::optional<Cascade> f = MakeDisplayFilter(kRate, {0.5, 50, 0});
    ASSERT_TRUE(f);
    const std::function<double(double)> parts[] = {
        [](double t) { return 1.0 * std::sin(2 * kPi * 0.3 * t); },     // wander
        [](double t) { return 0.2 * std::sin(2 * kPi * 50 * t + 1); },  // hum
        [](double t) { return 0.1 * std::sin(2 * kPi * 150 * t); },     // its third harmonic
    };
    for (const auto& part : parts) {  // the filter is linear: each part alone
        std::vector<float> x = Make(40, part);
        const double in = MiddleRms(x, 10);
        f->FilterForwardBackward(x);
        EXPECT_LE(Decibels(MiddleRms(x, 10), in), -30);
    }
    // All together, with pulses: each top stays on its frame, at nearly its height.
    const double pulses[] = {12.0, 17.002, 23.5};
    std::vector<float> x = Make(40, [&](double t) {
        double v = 0;
        for (const auto& part : parts) v += part(t);
        for (const double at : pulses) v += Pulse(t, at);
        return v;
    });
    f->FilterForwardBackward(x);
    for (const double at : pulses) {
        SCOPED_TRACE(at);
        const auto centre = static_cast<std::ptrdiff_t>(std::llround(at * kRate));
        const auto from = x.begin() + centre - 50, to = x.begin() + centre + 51;
        const auto top = std::max_element(from, to);
        EXPECT_EQ(top - x.begin(), centre);
        EXPECT_NEAR(*top, 1.0, 0.25);
    }
}

TEST(DisplayFilterTest, LowPassHalvesThePowerAtItsCutOffEachWay) {
    for (const double cutoff : {40.0, 100.0, 150.0}) {
        const std::optional<Cascade> f = MakeDisplayFilter(kRate, {0, 0, cutoff});
        ASSERT_TRUE(f);
        EXPECT_NEAR(f->Gain(kRate, cutoff), std::sqrt(0.5), 1e-9);
        EXPECT_NEAR(f->Gain(kRate, 0), 1.0, 1e-9);
        EXPECT_LT(f->Gain(kRate, 2 * cutoff), 0.07);  // fourth order: 24 dB an octave
    }
}

TEST(DisplayFilterTest, CutOffsTheRateCannotCarryAreRefusedAtSetUp) {
    struct Case {
        double rate;
        DisplayFilterSettings settings;
        bool made;
    };
    const Case cases[] = {
        {250, {0, 0, 150}, false},  // above half the rate
        {200, {0, 0, 100}, false},  // exactly half
        {250, {0, 0, 100}, true},
        {100, {0, 60, 0}, false},  // the mains itself above half the rate
        {100, {0, 50, 0}, false},
        {128, {0.05, 60, 40}, true},  // harmonics stop below half the rate
        {0, {0.5, 0, 0}, false},
        {500, {-1, 0, 0}, true},  // a negative cut-off is off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        std::string why;
        const std::optional<Cascade> f = MakeDisplayFilter(c.rate, c.settings, &why);
        EXPECT_EQ(f.has_value(), c.made);
        EXPECT_EQ(why.empty(), c.made) << why;
    }
    // Notches at 50, 100, 150 and 200 Hz at 500 Hz, none at 250.
    EXPECT_EQ(MakeDisplayFilter(kRate, {0, 50, 0})->Sections().size(), 4u);
}

}  // namespace
}  // namespace koru
