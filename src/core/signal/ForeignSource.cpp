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
    const double v = std::floor(std::ldexp(digital - static_cast<double>(offset), -shift) + 0.5);
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

namespace {
// Whether lo..hi, less `offset` and shifted right by `shift`, lies in int16.
bool Fits(double lo, double hi, double offset, int shift) {
    return std::floor(std::ldexp(lo - offset, -shift)) >= INT16_MIN &&
           std::floor(std::ldexp(hi - offset, -shift)) <= INT16_MAX;
}
}  // namespace

ValueRule MakeValueRule(double digitalMin, double digitalMax, double zero, double unitsPerDigit) {
    ValueRule rule;
    constexpr double kFar = 1e15;  // a corrupt header's zero: kept in int64 range
    rule.zero = std::isfinite(zero) ? std::clamp(zero, -kFar, kFar) : 0;
    const double lo = std::min(digitalMin, digitalMax), hi = std::max(digitalMin, digitalMax);
    // The whole number nearest to zero first, then its other neighbour: the
    // symmetric 16-bit layout has zero at -0.5, where only 0 keeps 32767 in.
    const double nearest = std::round(rule.zero);
    const double other = nearest <= rule.zero ? std::ceil(rule.zero) : std::floor(rule.zero);
    double offset = nearest;
    for (; rule.shift < 48; ++rule.shift) {
        if (Fits(lo, hi, nearest, rule.shift)) break;
        if (Fits(lo, hi, other, rule.shift)) {
            offset = other;
            break;
        }
    }
    rule.offset = static_cast<int64_t>(offset);
    rule.unitsPerValue = std::ldexp(unitsPerDigit, rule.shift);
    // The delivered range, which a layout sizes its trace from.
    const auto delivered = [&](double d, int32_t fallback) {
        const double v = std::floor(std::ldexp(d - offset, -rule.shift) + 0.5);
        return std::isfinite(v) ? static_cast<int32_t>(std::clamp(v, -32768.0, 32767.0)) : fallback;
    };
    rule.low = delivered(lo, INT16_MIN);
    rule.high = delivered(hi, INT16_MAX);
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

std::vector<Annotation> ForeignSource::LabelledAnnotations() const {
    std::vector<Annotation> out;
    for (const int64_t t : Annotations()) out.push_back({t, {}, {}, -1});
    return out;
}

bool IsForeignPath(std::string_view p) {
    for (std::string_view ext : {".EDF", ".BDF", ".GDF", ".HEA", ".SCP"})
        if (EndsWith(p, ext)) return true;
    return false;
}

std::unique_ptr<ForeignSource> OpenForeignSource(const std::string& path, std::string& error,
                                                 bool mayDefer) {
    std::string upper(path);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (EndsWith(upper, ".HEA")) return OpenWfdbRecord(path, error);
    if (EndsWith(upper, ".EDF") || EndsWith(upper, ".BDF"))
        return OpenEdfRecording(path, mayDefer, error);
    return OpenLibraryRecording(path, error);
}

}  // namespace koru
