#include "app/GoToTime.h"

#include <cctype>
#include <vector>

namespace koru {

namespace {

constexpr int64_t kMaxDigits = 12;  // keeps every product below 2^63

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::optional<int64_t> Whole(std::string_view s) {
    if (s.empty() || static_cast<int64_t>(s.size()) > kMaxDigits) return std::nullopt;
    int64_t v = 0;
    for (const char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "ss" or "ss.fff" as microseconds; digits past the sixth are dropped.
std::optional<int64_t> SecondsMicros(std::string_view s) {
    const std::size_t dot = s.find('.');
    const std::optional<int64_t> whole = Whole(s.substr(0, dot));
    if (!whole) return std::nullopt;
    int64_t micros = *whole * 1'000'000;
    if (dot == std::string_view::npos) return micros;
    const std::string_view fraction = s.substr(dot + 1);
    if (fraction.empty() || !Whole(fraction.substr(0, 6))) return std::nullopt;
    for (std::size_t i = 6; i < fraction.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(fraction[i]))) return std::nullopt;
    int64_t scale = 100'000;
    for (std::size_t i = 0; i < fraction.size() && i < 6; ++i, scale /= 10)
        micros += (fraction[i] - '0') * scale;
    return micros;
}

}  // namespace

std::optional<int64_t> FrameOfGoToText(std::string_view text, uint32_t interval) {
    text = Trim(text);
    if (text.find(':') == std::string_view::npos) return Whole(text);
    if (interval == 0) return std::nullopt;
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (parts.size() > 3) return std::nullopt;
    const std::optional<int64_t> seconds = SecondsMicros(parts.back());
    if (!seconds || *seconds >= 60'000'000) return std::nullopt;
    int64_t micros = *seconds;
    if (parts.size() == 3) {
        const std::optional<int64_t> hours = Whole(parts[0]);
        const std::optional<int64_t> minutes = Whole(parts[1]);
        if (!hours || !minutes || *minutes >= 60 || *hours > 1'000'000) return std::nullopt;
        micros += (*hours * 60 + *minutes) * 60'000'000;
    } else {
        const std::optional<int64_t> minutes = Whole(parts[0]);
        if (!minutes || *minutes > 60'000'000) return std::nullopt;
        micros += *minutes * 60'000'000;
    }
    return micros / interval;
}

}  // namespace koru
