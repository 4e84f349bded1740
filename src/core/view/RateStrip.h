#pragma once
// The heart-rate strip above the traces: the RR interval or the
// instantaneous rate of every beat of the whole recording across its width,
// with the stretch the Signal view shows framed. A click there names the
// frame to go to.

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/Beats.h"
#include "platform/Canvas.h"

namespace koru {

inline constexpr int kRateStripHeight = 64;  // pixels

class RateStrip {
  public:
    // The beats (ascending frames) of a recording of `frameCount` frames at
    // `rate` frames a second.
    void SetBeats(std::span<const int64_t> beats, double rate, int64_t frameCount);
    std::size_t PointCount() const { return points_.size(); }
    // Instantaneous rate (beats a minute) or RR interval (seconds).
    void SetShowRate(bool on) { showRate_ = on; }
    bool ShowRate() const { return showRate_; }

    // The values drawn go from Bottom() to Top(), clamped there.
    double Bottom() const { return showRate_ ? 20 : 0; }
    double Top() const { return showRate_ ? 200 : 2; }

    struct Look {
        ColorRef background, trace, frame, text;
    };
    // The whole canvas: points, scale texts, and the frames first..last
    // (the stretch on screen) framed.
    void Paint(Canvas& canvas, const Look& look, int64_t first, int64_t last) const;
    // The frame under column x of a strip `width` pixels wide.
    int64_t FrameAt(int x, int width) const;
    // The column of a frame.
    int ColumnOf(int64_t frame, int width) const;
    // The row of a value in a strip `height` pixels high.
    int RowOf(double value, int height) const;

  private:
    std::vector<RrPoint> points_;
    int64_t frameCount_ = 0;
    bool showRate_ = true;
};

}  // namespace koru
