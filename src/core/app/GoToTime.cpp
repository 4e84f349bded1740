#include "app/GoToTime.h"

#include <cctype>

#include "text/FramePosition.h"

namespace koru {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<int64_t> FrameOfGoToText(std::string_view text, const FrameClock& clock) {
    text = Trim(text);
    if (text.find(':') == std::string_view::npos) return ParseFrameNumber(text);
    const std::optional<int64_t> micros = ParseClockMicros(text);
    const __int128 step = clock.Scaled(1);
    if (!micros || step <= 0) return std::nullopt;
    // The frame shown at that time: the last one that starts at or before it.
    return static_cast<int64_t>(static_cast<__int128>(*micros) * clock.Den() / step);
}

}  // namespace koru
