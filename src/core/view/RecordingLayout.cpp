#include "view/RecordingLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "signal/ChannelScale.h"
#include "view/SignalView.h"

namespace koru {

namespace {

// Bright colours for a dark background and deep ones for a light one, told
// apart from each other at a glance.
constexpr std::array<ColorRef, kChannelCount> kOnDark = {
    Rgb(0, 255, 0),   Rgb(255, 255, 0),   Rgb(0, 255, 255),   Rgb(255, 128, 255),
    Rgb(255, 160, 0), Rgb(128, 192, 255), Rgb(255, 255, 255), Rgb(255, 128, 128)};
constexpr std::array<ColorRef, kChannelCount> kOnLight = {
    Rgb(0, 112, 0),  Rgb(0, 0, 160),  Rgb(160, 0, 0),  Rgb(128, 0, 128),
    Rgb(0, 96, 112), Rgb(128, 64, 0), Rgb(64, 64, 64), Rgb(0, 0, 0)};

bool IsLight(ColorRef c) {
    // Rec. 601 weights; above the middle grey counts as light.
    return 299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c) > 128'000;
}

// A voltage channel is sized for the cardiac range, not its converter's:
// a 16 mV converter range drawn whole leaves an ECG a flat line.
constexpr double kCardiacReachMv = 2.5;

int64_t Reach(const ForeignSignal& s) {
    const int64_t whole = std::max(std::llabs(s.rule.low), std::llabs(s.rule.high));
    const double mvPerUnit = MillivoltsPerUnit(s.unit);
    if (mvPerUnit <= 0 || !(s.rule.unitsPerValue > 0)) return whole;
    const double cardiac = kCardiacReachMv / (mvPerUnit * s.rule.unitsPerValue);
    return std::min<int64_t>(whole, std::max<int64_t>(1, std::llround(cardiac)));
}

}  // namespace

TraceScale ScaleToFit(int32_t low, int32_t high, int32_t slotStep) {
    const int64_t reach = std::max(std::llabs(low), std::llabs(high));
    const int64_t half = std::max(slotStep / 2, 1);
    // half / reach pixels a value, unless that is more than 20 / 160.
    if (reach == 0 || half * kTraceDivisor >= int64_t{kMaxDisplaySize} * reach) return {};
    return TraceScale{static_cast<int32_t>(half), static_cast<int32_t>(reach)};
}

RecordingLayout MakeRecordingLayout(const std::vector<ForeignSignal>& signals,
                                    const std::vector<int>& chosen, int32_t screenHeight,
                                    const ChannelConfig& configured, ColorRef background) {
    RecordingLayout layout;
    const auto& palette = IsLight(background) ? kOnLight : kOnDark;
    const int32_t step = SlotStep(screenHeight);
    const std::size_t n = std::min<std::size_t>(chosen.size(), kChannelCount);
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        ChannelRecord& rec = layout.records[ch];
        rec.HasMarker = configured[ch].HasMarker;
        const int index = ch < n ? chosen[ch] : -1;
        layout.divisors[ch] = kSizeDivisor;
        if (index < 0 || static_cast<std::size_t>(index) >= signals.size()) {
            rec.DisplayPosition = 0;  // no signal: no trace
            continue;
        }
        const ForeignSignal& s = signals[static_cast<std::size_t>(index)];
        rec.DisplayPosition = static_cast<int32_t>(ch) + 1;
        // Any real table entry, so the record counts as drawable; the
        // colour itself is the layout's.
        rec.DisplayColor = kColorCount - 1;
        const int64_t reach = Reach(s);
        const TraceScale scale =
            ScaleToFit(static_cast<int32_t>(-reach), static_cast<int32_t>(reach), step);
        rec.DisplaySize = scale.size;
        layout.divisors[ch] = scale.divisor;
        layout.names[ch] = TrimBlanks(s.label);
        layout.colors[ch] = palette[ch];
    }
    return layout;
}

}  // namespace koru
