#include "signal/ForeignSource.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>

namespace koru {

namespace {
bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}
}  // namespace

int16_t ValueRule::Value(double digital) const {
    if (!std::isfinite(digital)) return 0;
    const double rounded = std::round(digital - zero);
    // Far out of range values (a corrupt file) must not overflow the shift.
    const double limit = 1e15;
    const auto whole = static_cast<int64_t>(std::clamp(rounded, -limit, limit));
    const int64_t shifted = whole >> shift;
    return static_cast<int16_t>(std::clamp<int64_t>(shifted, INT16_MIN, INT16_MAX));
}

ValueRule MakeValueRule(double digitalMin, double digitalMax, double zero, double unitsPerDigit) {
    ValueRule rule;
    rule.zero = std::isfinite(zero) ? zero : 0;
    const double lo = std::round(std::min(digitalMin, digitalMax) - rule.zero);
    const double hi = std::round(std::max(digitalMin, digitalMax) - rule.zero);
    // An arithmetic shift rounds down, so hi fits while hi / 2^shift < 32768.
    while (rule.shift < 48 &&
           (std::ldexp(lo, -rule.shift) < INT16_MIN || std::ldexp(hi, -rule.shift) >= 32768.0))
        ++rule.shift;
    rule.unitsPerValue = std::ldexp(unitsPerDigit, rule.shift);
    const auto delivered = [&](double d, int32_t fallback) {
        const double v = std::floor(std::ldexp(d, -rule.shift));
        return std::isfinite(v) ? static_cast<int32_t>(std::clamp(v, -32768.0, 32767.0)) : fallback;
    };
    rule.low = delivered(lo, INT16_MIN);
    rule.high = delivered(hi, INT16_MAX);
    const double fraction = std::abs(rule.zero - std::trunc(rule.zero));
    if (std::abs(rule.zero) < 1e15) {
        rule.wholeOffset = fraction != 0.5;
        rule.halfOffset = fraction == 0.5;
        rule.offset =
            static_cast<int64_t>(rule.halfOffset ? std::floor(-rule.zero) : std::round(-rule.zero));
    }
    return rule;
}

std::size_t ForeignSource::ReadPacked(int64_t first, std::size_t count, int16_t* out,
                                      std::size_t width, std::string& error) {
    std::array<Frame, 1024> block;
    width = std::min<std::size_t>(width, kFrameChannels);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t want = std::min(block.size(), count - done);
        const std::size_t got = Read(first + static_cast<int64_t>(done), want, block.data(), error);
        for (std::size_t k = 0; k < got; ++k, out += width)
            std::copy_n(block[k].begin(), width, out);
        done += got;
        if (got < want) break;
    }
    return done;
}

bool IsForeignPath(std::string_view p) {
    for (std::string_view ext : {".EDF", ".BDF", ".GDF", ".HEA", ".SCP"})
        if (EndsWith(p, ext)) return true;
    return false;
}

std::unique_ptr<ForeignSource> OpenForeignSource(const std::string& path, std::string& error) {
    std::string upper(path);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (EndsWith(upper, ".HEA")) return OpenWfdbRecord(path, error);
    if (EndsWith(upper, ".EDF") || EndsWith(upper, ".BDF")) return OpenEdfRecording(path, error);
    return OpenLibraryRecording(path, error);
}

}  // namespace koru
