#include "text/FramePosition.h"

#include <charconv>
#include <vector>

namespace koru {

namespace {

constexpr int64_t kMaxWhole = int64_t{1} << 40;

std::optional<int64_t> Whole(std::string_view text) {
    int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || v < 0 ||
        v > kMaxWhole || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    return v;
}

// "12", "12.5", ".5": whole microseconds, digits past the sixth rounded.
std::optional<int64_t> SecondsMicros(std::string_view text) {
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::optional<int64_t> w = whole.empty() ? std::optional<int64_t>(0) : Whole(whole);
    if (!w || (whole.empty() && dot == std::string_view::npos)) return std::nullopt;
    int64_t micros = *w * 1000000;
    if (dot == std::string_view::npos) return micros;
    const std::string_view digits = text.substr(dot + 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int64_t scale = 100000;
    for (std::size_t i = 0; i < digits.size() && i < 7; ++i, scale /= 10) {
        const int64_t d = digits[i] - '0';
        if (i < 6)
            micros += d * scale;
        else if (d >= 5)
            ++micros;
    }
    return micros;
}

}  // namespace

std::optional<int64_t> ParseClockMicros(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon - from));
        if (colon == std::string_view::npos) break;
        from = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    const std::optional<int64_t> seconds = SecondsMicros(parts.back());
    if (!seconds || parts.back().find_first_of("0123456789") != 0 || *seconds >= 60000000)
        return std::nullopt;
    const std::optional<int64_t> minutes = Whole(parts[parts.size() - 2]);
    if (!minutes || (parts.size() == 3 && *minutes >= 60)) return std::nullopt;
    int64_t micros = *seconds + *minutes * 60000000;
    if (parts.size() == 3) {
        const std::optional<int64_t> hours = Whole(parts[0]);
        if (!hours || *hours > 1000000) return std::nullopt;
        micros += *hours * 3600000000;
    }
    return micros;
}

std::optional<int64_t> ParseFrameNumber(std::string_view text) {
    return Whole(text);
}

std::optional<int64_t> ParseFramePosition(std::string_view text, const FrameClock& clock,
                                          std::string& error) {
    std::optional<int64_t> micros;
    if (text.find(':') != std::string_view::npos) {
        micros = ParseClockMicros(text);
    } else if (text.ends_with('s')) {
        micros = SecondsMicros(text.substr(0, text.size() - 1));
    } else {
        const bool negative = text.starts_with('-');
        if (const std::optional<int64_t> f = Whole(negative ? text.substr(1) : text))
            return negative ? -*f : *f;
    }
    if (!micros) {
        error = "\"" + std::string(text) +
                "\" is no position: give a frame number, seconds (12.5s) or a time (00:12.500, "
                "1:02:03.5)";
        return std::nullopt;
    }
    // The frame nearest the time, in the clock's exact units.
    const __int128 scaled = static_cast<__int128>(*micros) * clock.Den();
    const __int128 step = clock.Scaled(1);
    if (step <= 0) return 0;
    return static_cast<int64_t>((2 * scaled + step) / (2 * step));
}

}  // namespace koru
