// The paint operation and the traces.

#include <algorithm>
#include <limits>

#include "analysis/DisplayFilter.h"
#include "signal/SignalDocument.h"
#include "view/SignalView.h"

namespace koru {

namespace {

struct TraceChannel {
    std::size_t index = 0;  // 0..7 in the frame
    int64_t baseline = 0;   // baseline less the vertical scroll offset
    int32_t size = 0;
    ColorRef color = 0;
    uint32_t pixel = 0;  // the colour as the back buffer stores it
    int32_t divisor = kTraceDivisor;
    int Y(int16_t v) const { return ToPixel(baseline - TraceOffset(v, size, divisor)); }
};

// The frames the columns take, in runs as the document (or the display
// filter) hands them over: every frame the pass needs is asked for at once,
// so runs end only where a chunk or a file block does.
class ColumnFrames {
  public:
    ColumnFrames(const SignalDocument& doc, int64_t first, std::size_t wanted,
                 const Cascade* filter, int64_t margin,
                 const std::array<bool, kFrameChannels>& drawn)
        : spans_(doc, first), wanted_(wanted) {
        if (filter) filtered_.emplace(doc, first, *filter, margin, drawn);
        run_ = Next(wanted_);
        wanted_ -= run_.size();
    }
    bool Empty() const { return run_.empty(); }
    Frame First() const { return run_[0]; }
    // Widens lo/hi by up to `count` frames and keeps the last one taken;
    // fewer where the data ends.
    void Take(std::size_t count, Frame& lo, Frame& hi, Frame& last) {
        for (std::size_t need = count; need > 0 && More();) {
            const std::size_t n = std::min(need, run_.size() - pos_);
            WidenExtremes(run_.subspan(pos_, n), lo, hi);
            last = run_[pos_ + n - 1];
            pos_ += n;
            need -= n;
        }
    }
    // The next run when this one is used up; false once the data has ended.
    bool More() {
        if (pos_ < run_.size()) return true;
        run_ = Next(std::max<std::size_t>(wanted_, 1));
        wanted_ -= std::min(wanted_, run_.size());
        pos_ = 0;
        return !run_.empty();
    }

  private:
    std::span<const Frame> Next(std::size_t n) {
        return filtered_ ? filtered_->Next(n) : spans_.Next(n);
    }

    FrameSpans spans_;
    std::optional<FilteredSpans> filtered_;
    std::size_t wanted_ = 0;
    std::span<const Frame> run_;
    std::size_t pos_ = 0;
};

// One column of one trace on a canvas other than the back buffer. On paper
// the stroke goes on from the previous column's end nearest it, so the
// trace is one unbroken line.
void StrokeColumn(Canvas& canvas, bool printing, const TraceChannel& ch, Point low, Point high,
                  Point prevLow, Point prevHigh) {
    canvas.SelectPen(ch.color);
    if (!printing) {
        if (low == high) {
            canvas.SetPixel(low.x, low.y, ch.color);
        } else {
            canvas.StrokeLine(low, high);
        }
    } else if (prevLow.y >= high.y) {
        canvas.MoveToEx(prevLow.x, prevLow.y);
        canvas.LineTo(high.x, high.y);
        canvas.LineTo(low.x, low.y);
    } else {
        canvas.MoveToEx(prevHigh.x, prevHigh.y);
        canvas.LineTo(low.x, low.y);
        canvas.LineTo(high.x, high.y);
    }
}

}  // namespace

void SignalView::Paint(Canvas& canvas, const Rect& rect,
                       std::optional<int32_t> printStartDivision) const {
    const SignalDocument& doc = ctx_.document;
    if (!doc.IsOpen()) return;

    PaintPass pass;
    pass.rect = rect;
    // One column either side, so traces join across the edges of a partial
    // repaint; the clip keeps those columns off the screen.
    pass.L = (scrollX_ == 0 && rect.left == 0) ? rect.left : rect.left - 1;
    pass.R = rect.right + 1;
    pass.printing = printStartDivision.has_value();
    pass.map = pass.printing ? ColumnMap::AtDivision(*printStartDivision, Spd()) : ScreenMap();

    const Settings& settings = ctx_.settings;
    BkMode oldBkMode = BkMode::Opaque;
    if (!pass.printing) {
        oldBkMode = canvas.SetBkMode(BkMode::Transparent);
        canvas.SetBkColor(settings.background);
    }

    const bool units = settings.units != 0;
    if (units && settings.paperGrid && !pass.printing) DrawPaperGrid(canvas, pass);
    if (settings.dots) DrawDots(canvas, pass);
    if (settings.names && (pass.map.H == 0 || pass.printing)) DrawNames(canvas, pass.printing);

    pass.S0 = pass.map.FrameAt(pass.L);
    pass.S1 = pass.map.FrameAt(pass.R);

    if (settings.timeHacks && scrollY_ == 0 && rect.top <= 20) DrawTimeHacks(canvas, pass);

    const Rop oldRop = canvas.SetROP2(Rop::CopyPen);
    const ColorRef oldPen = canvas.CurrentPen();
    DrawTraces(canvas, pass);
    canvas.SetROP2(oldRop);
    canvas.SelectPen(oldPen);
    if (units) DrawCalibration(canvas, pass);

    if (!lines_.empty() && settings.markers) DrawMeasurementLines(canvas, pass);
    if (doc.Markers().loaded) DrawMarkers(canvas, pass);
    if (settings.annotationLabels && !doc.Annotations().Empty()) DrawAnnotationLabels(canvas, pass);
    if (tagCount_ > 0) DrawTags(canvas, pass);
    if (!pass.printing) DrawDrags(canvas);

    if (!pass.printing) canvas.SetBkMode(oldBkMode);
}

void SignalView::DrawTraces(Canvas& canvas, const PaintPass& pass) const {
    int32_t firstColumn = pass.L;
    int64_t firstFrame = pass.S0;
    // A printed page can reach left of the recording; its traces start at
    // the recording's first column instead of not at all.
    if (pass.L + pass.map.H < 0) {
        firstColumn = static_cast<int32_t>(-pass.map.H);
        firstFrame = 0;
    }
    if (firstColumn > pass.R) return;

    std::array<TraceChannel, kChannelCount> channels;
    std::size_t count = 0;
    const ChannelConfig& config = ctx_.channels.Shown();
    const int64_t scrollOffset = static_cast<int64_t>(scrollY_) * kVerticalUnit;
    for (std::size_t ch = 0; ch < config.size(); ++ch) {
        const ChannelRecord& rec = config[ch];
        if (!IsDrawable(rec)) continue;
        const ColorRef shown = ctx_.channels.ShownColor(ch);
        const ColorRef color = pass.printing ? PaperColor(shown) : shown;
        const ShownTraceScale scale = ShownScale(ch);
        channels[count++] = TraceChannel{ch,
                                         BaselineY(rec.DisplayPosition) - scrollOffset,
                                         scale.size,
                                         color,
                                         PixelFromColor(color),
                                         scale.divisor};
    }
    // With a display filter on, the drawn channels come filtered; the
    // recording itself is never changed.
    std::array<bool, kFrameChannels> drawn{};
    for (std::size_t i = 0; i < count; ++i) drawn[channels[i].index] = true;
    const std::size_t perColumn = static_cast<std::size_t>(pass.map.PerColumn());
    ColumnFrames frames(ctx_.document, firstFrame,
                        static_cast<std::size_t>(pass.R - firstColumn + 1) * perColumn,
                        filter_ ? &*filter_ : nullptr, filterMargin_, drawn);
    if (frames.Empty()) return;

    // The screen's back buffer is drawn straight into; any other canvas
    // (paper, a test's) through its drawing calls.
    RasterCanvas* raster = pass.printing ? nullptr : dynamic_cast<RasterCanvas*>(&canvas);
    Frame lo = frames.First(), hi = lo, last = lo;
    std::array<Point, kChannelCount> prevLow{}, prevHigh{};
    for (std::size_t i = 0; i < count; ++i) {
        const int y = channels[i].Y(last[channels[i].index]);
        prevLow[i] = prevHigh[i] = Point{0, y};
    }
    for (int32_t x = firstColumn; x <= pass.R && frames.More(); ++x) {
        // Each column ends early where the data ends and is drawn with what
        // it got.
        frames.Take(perColumn, lo, hi, last);
        for (std::size_t i = 0; i < count; ++i) {
            const TraceChannel& ch = channels[i];
            const Point low{x, ch.Y(lo[ch.index])};
            const Point high{x, ch.Y(hi[ch.index])};
            if (raster)
                raster->TraceColumn(x, low.y, high.y, ch.pixel);
            else
                StrokeColumn(canvas, pass.printing, ch, low, high, prevLow[i], prevHigh[i]);
            prevLow[i] = low;
            prevHigh[i] = high;
        }
        // The next column's extremes start from this column's last frame,
        // so neighbouring strokes always share a value.
        lo = last;
        hi = last;
    }
}

}  // namespace koru
