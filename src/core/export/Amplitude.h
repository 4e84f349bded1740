#pragma once
// Highest minus lowest sample value per channel over the cutout, in sample
// units.

#include <array>
#include <cstdint>
#include <string>

#include "signal/ChannelScale.h"
#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru {

using Amplitudes = std::array<int32_t, 8>;

// Channels 1 to min(ChannelCount, 8); the rest, and a cutout under two
// frames, give 0. A recording that ends early is measured to its end.
Amplitudes MeasureAmplitudes(const SignalDocument& doc, const Cutout& cutout);

// "Channel %d:  %d" for channel c (1 to 8).
std::string AmplitudeLine(int channel, int32_t value);

// With physical units: "Channel %d:  %d" and, for a channel with a scale,
// " = " and the value in its unit ("Channel 1:  250 = 1.250 mV").
std::string AmplitudeUnitLine(int channel, int32_t value, const ChannelScale& scale);

// The explanation under values some of which are in physical units.
inline constexpr const char* kAmplitudeUnitExplanation =
    "Presented above are the differences between the highest and lowest values in the selected "
    "range, in digital source units and, where the recording states its scale, in the "
    "channel's physical unit.";

// The dialog's explanation under the eight values.
inline constexpr const char* kAmplitudeExplanation =
    "Presented above are the differences between the highest and lowest values in the selected "
    "range.  These values are \"actual\" digital source differences and are not scaled to "
    "milli-volts.";

}  // namespace koru
