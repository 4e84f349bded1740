#pragma once
// What the interchange layouts (EDF+, BDF+, CSV) say about each written
// channel: its label, its physical unit and the physical size of one value.

#include <array>
#include <string>
#include <vector>

#include "signal/SignalDocument.h"

namespace koru {

struct ExportChannel {
    int index = 0;  // data channel, 0-based
    std::string label;
    std::string unit;
    double step = 1;  // physical units of one stored value
};

// The selected channels in order. `labels` are the layout's names of
// channels 1 to 8 (empty: "Channel N"). A channel without a usable scale
// factor (0, negative zero, not finite) counts one unit a value.
std::vector<ExportChannel> ExportChannelsFor(const SignalDocument& doc,
                                             const std::array<bool, 8>& selected,
                                             const std::array<std::string, 8>& labels);

// How a write into an interchange layout went.
struct ExportResult {
    std::string refusal;  // the target does not take the cutout; nothing written
    std::string failure;  // writing failed (the reason); the file was not changed
};

// Microseconds as seconds: "12", "0.5", "-3.000125"; no exponent, no trailing zeros.
std::string SecondsText(int64_t micros);

}  // namespace koru
