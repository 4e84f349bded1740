#pragma once
// The text sample file as it is written: three header lines (channel count
// and interval, the sixteen scale factors, the description), then one line
// per frame. Lines end in CR LF. Save As, Append and the tests share it.

#include <cstdint>
#include <span>
#include <string>

#include "signal/SignalHeader.h"

namespace koru {

// "Number of Channels: %d  Interval:%ld", "Scale:" with " %g " sixteen
// times, and the description up to its first NUL (at most 256 characters).
std::string TextHeaderLines(const SignalHeader& header);

enum class FrameLineStyle {
    TrailingBlank,  // "%5d " per value
    EightColumns,   // "%5d %5d %5d %5d %5d %5d %5d %5d": all eight channels, no trailing blank
};

// Appends one frame line with its line end. EightColumns needs eight values.
void AppendFrameLine(std::string& out, std::span<const int16_t> values, FrameLineStyle style);

}  // namespace koru
