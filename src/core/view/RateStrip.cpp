#include "view/RateStrip.h"

#include <algorithm>
#include <cmath>

namespace koru {

void RateStrip::SetBeats(std::span<const int64_t> beats, double rate, int64_t frameCount) {
    points_ = RrSeries(beats, rate);
    frameCount_ = std::max<int64_t>(frameCount, 0);
}

int64_t RateStrip::FrameAt(int x, int width) const {
    if (width <= 0 || frameCount_ <= 0) return 0;
    const int64_t f = static_cast<int64_t>(std::clamp(x, 0, width - 1)) * frameCount_ / width;
    return std::min(f, frameCount_ - 1);
}

int RateStrip::ColumnOf(int64_t frame, int width) const {
    if (frameCount_ <= 0) return 0;
    return static_cast<int>(std::clamp<int64_t>(frame * width / frameCount_, 0, width - 1));
}

int RateStrip::RowOf(double value, int height) const {
    // A pixel's margin above and below, so the extremes stay visible.
    const double share = std::clamp((value - Bottom()) / (Top() - Bottom()), 0.0, 1.0);
    return 1 + static_cast<int>(std::lround((1 - share) * (height - 3)));
}

void RateStrip::Paint(Canvas& canvas, const Look& look, int64_t first, int64_t last) const {
    const int w = canvas.Width(), h = canvas.Height();
    if (w <= 0 || h <= 0) return;
    canvas.SelectPen(look.background);
    for (int y = 0; y < h; ++y) canvas.StrokeLine({0, y}, {w, y});

    // Each column's lowest and highest value, as the traces are drawn, so
    // a day of beats costs one stroke a column.
    std::vector<int> lo(static_cast<std::size_t>(w), h), hi(static_cast<std::size_t>(w), -1);
    for (const RrPoint& p : points_) {
        const auto x = static_cast<std::size_t>(ColumnOf(p.frame, w));
        const int y = RowOf(showRate_ ? p.rate : p.rr, h);
        lo[x] = std::min(lo[x], y);
        hi[x] = std::max(hi[x], y);
    }
    canvas.SelectPen(look.trace);
    for (int x = 0; x < w; ++x) {
        const auto i = static_cast<std::size_t>(x);
        if (hi[i] < 0) continue;
        canvas.StrokeLine({x, lo[i]}, {x, hi[i] + 1});
    }

    // The stretch on screen, at least three pixels wide to stay findable.
    int a = ColumnOf(first, w), b = ColumnOf(last, w);
    if (b - a < 2) b = std::min(w - 1, a + 2);
    canvas.SelectPen(look.frame);
    const Point box[] = {{a, 0}, {b, 0}, {b, h - 1}, {a, h - 1}, {a, 0}};
    canvas.Polyline(box);

    canvas.SetBkMode(BkMode::Transparent);
    canvas.SetTextColor(look.text);
    canvas.TextOut(2, 1, showRate_ ? "200 /min" : "RR 2 s");
    const char* bottom = showRate_ ? "20 /min" : "0 s";
    canvas.TextOut(2, h - 1 - canvas.GetTextExtent(bottom).cy, bottom);
}

}  // namespace koru
