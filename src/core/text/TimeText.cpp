#include "text/TimeText.h"

#include <cmath>
#include <cstdio>
#include <numeric>

namespace koru {

TimeParts SplitMicros(int64_t micros) {
    TimeParts p{};
    p.minutes = micros / 60'000'000;
    const int64_t rest = micros - p.minutes * 60'000'000;
    p.seconds = rest / 1'000'000;
    p.micros = rest - p.seconds * 1'000'000;
    return p;
}

std::string FormatTime(int64_t micros, bool microsecondResolution) {
    const TimeParts p = SplitMicros(micros);
    char buf[64];
    if (microsecondResolution)
        std::snprintf(buf, sizeof buf, "%.2lld:%.2lld.%.6lld", static_cast<long long>(p.minutes),
                      static_cast<long long>(p.seconds), static_cast<long long>(p.micros));
    else
        std::snprintf(buf, sizeof buf, "%.2lld:%.2lld.%.3lld", static_cast<long long>(p.minutes),
                      static_cast<long long>(p.seconds), static_cast<long long>(p.micros / 1000));
    return buf;
}

FrameClock FrameClock::FromRate(double hz) {
    if (!(hz > 0) || !std::isfinite(hz)) return FrameClock(0, 1);
    // Continued fraction of the rate: p/q, stopped once it is the rate to
    // within a part in 1e12 or q would pass 2^20.
    int64_t p0 = 1, q0 = 0, p1 = static_cast<int64_t>(std::floor(hz)), q1 = 1;
    double rest = hz - std::floor(hz);
    while (rest > 1e-12 &&
           std::abs(static_cast<double>(p1) / static_cast<double>(q1) - hz) > 1e-12 * hz) {
        const double inverse = 1 / rest;
        const auto a = static_cast<int64_t>(std::floor(inverse));
        if (a > (int64_t{1} << 20) || a * q1 + q0 > (int64_t{1} << 20)) break;
        const int64_t p2 = a * p1 + p0, q2 = a * q1 + q0;
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        rest = inverse - static_cast<double>(a);
    }
    if (p1 <= 0) return FrameClock(0, 1);
    // Microseconds a frame: 1e6 q / p, reduced.
    const int64_t num = 1'000'000 * q1;
    const int64_t g = std::gcd(num, p1);
    return FrameClock(num / g, p1 / g);
}

int64_t FrameClock::Micros(int64_t frame) const {
    const __int128 scaled = Scaled(frame);
    const __int128 half = den_ / 2;
    return static_cast<int64_t>(scaled >= 0 ? (scaled + half) / den_ : (scaled - half) / den_);
}

std::string FormatLength(int64_t frameCount, const FrameClock& clock, bool microsecondResolution) {
    return "Len:" + FormatTime(clock.Micros(frameCount), microsecondResolution);
}

std::string FormatFrequency(const FrameClock& clock) {
    const double micros = clock.MicrosPerFrame();
    if (!(micros > 0)) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, micros > 1'000'000 ? "%6.4f Hz" : "%6.1f Hz", 1e6 / micros);
    return buf;
}

std::string MicrosPerFrameText(const FrameClock& clock) {
    if (clock.WholeMicros()) return std::to_string(clock.Micros(1));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", clock.MicrosPerFrame());
    return buf;
}

}  // namespace koru
