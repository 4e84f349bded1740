#include "text/DecimalScan.h"

#include <limits>

namespace koru {

namespace {
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

bool ScanInt(std::string_view text, int64_t& value, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    uint64_t magnitude = 0;
    bool saturated = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        const auto d = static_cast<uint64_t>(text[i] - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - d) / 10)
            saturated = true;
        else
            magnitude = magnitude * 10 + d;
        ++i;
    }
    if (i == digitsStart) return false;
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (saturated || magnitude > kMax) magnitude = kMax;
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (consumed) *consumed = i;
    return true;
}

bool DecimalScanner::Next(int64_t& value) {
    std::size_t used = 0;
    if (!ScanInt(text_.substr(pos_), value, &used)) return false;
    pos_ += used;
    return true;
}

}  // namespace koru
