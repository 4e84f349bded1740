#include "text/TimeText.h"

#include <cstdio>

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

std::string FormatLength(int64_t frameCount, uint32_t interval, bool microsecondResolution) {
    return "Len:" + FormatTime(frameCount * static_cast<int64_t>(interval), microsecondResolution);
}

std::string FormatFrequency(uint32_t interval) {
    if (interval == 0) return {};
    const double hz = 1'000'000.0 / static_cast<double>(interval);
    char buf[64];
    std::snprintf(buf, sizeof buf, interval > 1'000'000 ? "%6.4f Hz" : "%6.1f Hz", hz);
    return buf;
}

}  // namespace koru
