#pragma once
// A position in a recording as a script gives it: a frame number ("1500",
// "-3"), seconds ("12.5s") or a clock time ("00:12.500", "1:02:03.5").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/TimeText.h"

namespace koru {

// A clock time, "MM:SS.f" or "H:MM:SS.f" (minutes and seconds below 60
// after the first field), as microseconds rounded to the nearest.
std::optional<int64_t> ParseClockMicros(std::string_view text);
// A frame number: digits only.
std::optional<int64_t> ParseFrameNumber(std::string_view text);

// The frame at that position (the nearest one to a time); nothing, with
// `error` saying what is accepted, when the text is none of the three.
std::optional<int64_t> ParseFramePosition(std::string_view text, const FrameClock& clock,
                                          std::string& error);

}  // namespace koru
