#pragma once
// The layout a foreign recording is shown with: its signals one to a slot in
// file order, under their own labels, sized so the whole physical range of
// each stays inside its slot.

#include <cstdint>
#include <vector>

#include "config/ChannelConfig.h"
#include "platform/Color.h"
#include "signal/ForeignSource.h"

namespace koru {

// The scale value * size / divisor at which delivered values low..high just
// stay within half a slot step of the baseline, never larger than the
// largest configured size (20 / 160).
struct TraceScale {
    int32_t size = kMaxDisplaySize;
    int32_t divisor = kSizeDivisor;
    friend bool operator==(const TraceScale&, const TraceScale&) = default;
};
TraceScale ScaleToFit(int32_t low, int32_t high, int32_t slotStep);

// `chosen` are the signals that became channels 1 to n. Marker flags are
// the configured ones; colours are picked to stand out on `background`.
RecordingLayout MakeRecordingLayout(const std::vector<ForeignSignal>& signals,
                                    const std::vector<int>& chosen, int32_t screenHeight,
                                    const ChannelConfig& configured, ColorRef background);

}  // namespace koru
