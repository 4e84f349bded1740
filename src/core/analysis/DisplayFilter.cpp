#include "DisplayFilter.h"

#include <algorithm>
#include <cmath>

namespace koru {
namespace {

// Fourth order each way: forward and backward make it eighth, enough to take
// a wander just below the cut-off down by more than 30 dB.
constexpr int kOrder = 4;
// Narrow enough to leave a QRS alone, wide enough for mains that drifts a little.
constexpr double kNotchQ = 25;

std::string Hz(double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

bool Refuse(std::string* why, const std::string& what, double hz, double rate) {
    if (why)
        *why = "The " + what + " at " + Hz(hz) + " Hz does not fit a rate of " + Hz(rate) + " Hz.";
    return false;
}

}  // namespace

std::optional<Cascade> MakeDisplayFilter(double rate, const DisplayFilterSettings& settings,
                                         std::string* why) {
    Cascade out;
    if (settings.highPass > 0) {
        const auto s = ButterworthHighPass(rate, settings.highPass, kOrder);
        if (!s) return Refuse(why, "high-pass", settings.highPass, rate), std::nullopt;
        out.Append(*s);
    }
    if (settings.notch > 0) {
        const auto first = Notch(rate, settings.notch, kNotchQ);
        if (!first) return Refuse(why, "notch", settings.notch, rate), std::nullopt;
        for (double f = settings.notch; f < rate / 2; f += settings.notch)
            if (const auto s = Notch(rate, f, kNotchQ)) out.Append({*s});
    }
    if (settings.lowPass > 0) {
        const auto s = ButterworthLowPass(rate, settings.lowPass, kOrder);
        if (!s) return Refuse(why, "low-pass", settings.lowPass, rate), std::nullopt;
        out.Append(*s);
    }
    return out;
}

double DisplayFilterMargin(const DisplayFilterSettings& settings) {
    double seconds = 0;
    if (settings.lowPass > 0) seconds = 20 / settings.lowPass;
    if (settings.notch > 0) seconds = std::max(seconds, 4 * kNotchQ / settings.notch);
    if (settings.highPass > 0) seconds = std::max(seconds, 3 / settings.highPass);
    return seconds;
}

}  // namespace koru
