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

// Time per frame as an exact fraction of microseconds: the header's whole
// interval for the program's own recordings, the sampling rate itself for
// a foreign one (360 Hz is 25000/9 us, which no whole interval gives).
class FrameClock {
  public:
    // A whole interval is a clock, so a ".sig" header's Interval passes for one.
    FrameClock(uint32_t interval) : num_(interval) {}  // NOLINT(google-explicit-constructor)
    static FrameClock FromInterval(uint32_t interval) { return FrameClock(interval); }
    // The rate as the nearest fraction p/q with q up to 2^20 (exact for the
    // rates files state: 360, 12.8, 500/1.0284).
    static FrameClock FromRate(double hz);

    // Microseconds from frame 0 to `frame`, rounded to the nearest.
    int64_t Micros(int64_t frame) const;
    double MicrosPerFrame() const { return static_cast<double>(num_) / static_cast<double>(den_); }
    bool WholeMicros() const { return den_ == 1; }
    // Time of `frames` frames in units of 1/Den() microseconds: exact.
    __int128 Scaled(int64_t frames) const { return static_cast<__int128>(frames) * num_; }
    int64_t Den() const { return den_; }

  private:
    FrameClock(int64_t num, int64_t den) : num_(num), den_(den) {}
    int64_t num_ = 0, den_ = 1;  // microseconds per frame = num / den
};

// The length field: "Len:" and the time of frameCount frames.
std::string FormatLength(int64_t frameCount, const FrameClock& clock, bool microsecondResolution);

// The frequency field: "%6.4f Hz" above one second per frame, else "%6.1f Hz".
std::string FormatFrequency(const FrameClock& clock);

// Microseconds a sample as a footer states them: whole, or to the nanosecond.
std::string MicrosPerFrameText(const FrameClock& clock);

}  // namespace koru
