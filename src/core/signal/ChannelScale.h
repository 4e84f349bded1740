#pragma once
// What one delivered value of a channel is in physical units, where the
// recording says (a foreign recording's gain and unit); the program's own
// recordings carry no scale.

#include <cstddef>
#include <string>

#include "signal/SignalDocument.h"

namespace koru {

struct ChannelScale {
    double perValue = 0;  // physical units of one delivered value; 0: unknown
    std::string unit;     // as the file names it, trimmed ("mV", "uV")
    bool Known() const { return perValue > 0; }
};

// Channel c (0..7) of the open recording.
ChannelScale ScaleOf(const SignalDocument& doc, std::size_t channel);

// Millivolts in one of this unit, or 0 for a unit that is no voltage.
double MillivoltsPerUnit(const std::string& unit);

// The text without its leading and trailing blanks.
std::string TrimBlanks(const std::string& text);

}  // namespace koru
