#pragma once
// Times shown to the user: minutes, seconds and the fraction, to the
// microsecond or to the millisecond. Always from 64-bit microsecond counts,
// so hour-long recordings do not wrap.

#include <cstdint>
#include <string>

namespace koru {

struct TimeParts {
    int64_t minutes;
    int64_t seconds;
    int64_t micros;
};

TimeParts SplitMicros(int64_t micros);

// "%.2ld:%.2ld.%.6ld" with microsecondResolution, else "%.2ld:%.2ld.%.3ld"
// with the microseconds cut to milliseconds.
std::string FormatTime(int64_t micros, bool microsecondResolution);

// The length field: "Len:" and the time of frameCount * interval.
std::string FormatLength(int64_t frameCount, uint32_t interval, bool microsecondResolution);

// The frequency field: "%6.4f Hz" above one second per frame, else "%6.1f Hz".
std::string FormatFrequency(uint32_t interval);

}  // namespace koru
