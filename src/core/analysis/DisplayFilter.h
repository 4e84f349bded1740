#pragma once
// The display filters: what the View menu offers to draw a trace without
// baseline wander, mains hum or high-frequency noise. They change only what
// is drawn; the recording's values stay as they are.

#include <optional>
#include <string>

#include "analysis/Biquad.h"

namespace koru {

struct DisplayFilterSettings {  // hertz; 0: off
    double highPass = 0;        // 0.05 or 0.5: baseline wander
    double notch = 0;           // 50 or 60: mains, with its harmonics below half the rate
    double lowPass = 0;         // 40, 100 or 150
    bool Any() const { return highPass > 0 || notch > 0 || lowPass > 0; }
};

// The cascade for `rate` frames a second, or nothing with the reason in
// *why when a cut-off does not fit the rate (a low-pass at or above half of
// it, say).
std::optional<Cascade> MakeDisplayFilter(double rate, const DisplayFilterSettings& settings,
                                         std::string* why = nullptr);

// Seconds to filter on each side of the drawn span so its edges have settled.
double DisplayFilterMargin(const DisplayFilterSettings& settings);

}  // namespace koru
