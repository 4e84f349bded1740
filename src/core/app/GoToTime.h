#pragma once
// Go to Time: where a typed time or frame number puts the view.

#include <cstdint>
#include <optional>
#include <string_view>

namespace koru {

// The frame a text names: "mm:ss.fff" or "hh:mm:ss" (either with an optional
// fraction of a second, minutes and seconds below 60 after the first field),
// or a whole frame number. The time is counted from the start of the
// recording, `interval` microseconds a frame; nothing for another text.
std::optional<int64_t> FrameOfGoToText(std::string_view text, uint32_t interval);

}  // namespace koru
