#pragma once
// Go to Time: where a typed time or frame number puts the view.

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/TimeText.h"

namespace koru {

// The frame a text names: "mm:ss.fff" or "hh:mm:ss" (either with an optional
// fraction of a second, minutes and seconds below 60 after the first field),
// or a whole frame number. A time is counted from the start of the
// recording on its exact clock and gives the frame at or before it;
// nothing for another text.
std::optional<int64_t> FrameOfGoToText(std::string_view text, const FrameClock& clock);

}  // namespace koru
