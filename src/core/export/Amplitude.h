#pragma once
// Highest minus lowest sample value per channel over the cutout, in sample
// units.

#include <array>
#include <cstdint>
#include <string>

#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru {

using Amplitudes = std::array<int32_t, 8>;

// Channels 1 to min(ChannelCount, 8); the rest, and a cutout under two
// frames, give 0. A recording that ends early is measured to its end.
Amplitudes MeasureAmplitudes(const SignalDocument& doc, const Cutout& cutout);

// "Channel %d:  %d" for channel c (1 to 8).
std::string AmplitudeLine(int channel, int32_t value);

// The dialog's explanation under the eight values.
inline constexpr const char* kAmplitudeExplanation =
    "Presented above are the differences between the highest and lowest values in the selected "
    "range.  These values are \"actual\" digital source differences and are not scaled to "
    "milli-volts.";

}  // namespace koru
