// The orientation aids drawn with the traces: dots, channel names, time
// hacks along the top edge, and the markers of the recording.

#include "view/SignalView.h"

namespace koru {

namespace {

constexpr int64_t kHalfSecond = 500'000;  // microseconds between time hacks
constexpr int kMinuteTick = 20;
constexpr int kSecondTick = 10;
constexpr int kHalfSecondTick = 5;
constexpr int kMarkerReach = 40;  // a marker line spans this far above and below a baseline

// Multiples of m in 1..n.
__int128 MultiplesUpTo(__int128 n, int m) {
    return n / m;
}

void Tick(Canvas& canvas, int x, int height) {
    canvas.MoveToEx(x, 0);
    canvas.LineTo(x, height);
}

}  // namespace

void SignalView::DrawDots(Canvas& canvas, const PaintPass& pass) const {
    const ColorRef color = pass.printing ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
    const int top = pass.rect.top / 10 * 10;
    const int left = pass.L / 10 * 10;
    // Row by row, so neighbouring dots share cache lines; straight into the
    // back buffer when that is the canvas.
    auto* raster = dynamic_cast<RasterCanvas*>(&canvas);
    for (int y = top; y <= pass.rect.bottom; y += 10) {
        for (int x = left; x <= pass.R; x += 10) {
            if (raster) {
                raster->SetPixel(x, y, color);
            } else {
                canvas.SetPixel(x, y, color);
            }
        }
    }
}

void SignalView::DrawNames(Canvas& canvas, bool paper) const {
    const ChannelModel& model = ctx_.channels;
    const int yOffset = scrollY_ * kVerticalUnit;
    // By position, so the slots are labelled top to bottom; channels sharing
    // a position write over each other.
    for (int32_t p = 1; p <= kDisplaySlots; ++p) {
        const Slot& slot = slots_[static_cast<std::size_t>(p - 1)];
        const ChannelConfig& shown = model.Shown();
        for (std::size_t ch = 0; ch < shown.size(); ++ch) {
            const ChannelRecord& rec = shown[ch];
            if (rec.DisplayPosition != p || !ValidColor(rec.DisplayColor)) continue;
            canvas.SetTextColor(paper ? PaperColor(model.ShownColor(ch)) : model.ShownColor(ch));
            const std::string name = model.ShownName(ch);
            if (!name.empty()) canvas.TextOut(slot.NameX, slot.BaselineY - yOffset, name);
        }
    }
}

void SignalView::DrawTimeHacks(Canvas& canvas, const PaintPass& pass) const {
    // Times in 1/Den() microseconds, so an exact rate (360 Hz: 25000/9 us a
    // frame) puts each hack in the column a whole interval would not.
    const FrameClock clock = ctx_.document.Clock();
    const __int128 u = clock.Scaled(pass.map.spd / kDivisionWidth);
    const __int128 half = u / 2;
    const __int128 halfSecond = static_cast<__int128>(kHalfSecond) * clock.Den();
    const Rop oldRop = canvas.SetROP2(Rop::Not);
    for (int32_t x = pass.L; x <= pass.R; ++x) {
        const int64_t column = pass.map.H + x;
        if (column == 0) {
            Tick(canvas, x, kMinuteTick);
            continue;
        }
        if (column < 0 || u <= 0) continue;
        // Half seconds k with v < k * 0.5 s <= v + u. Ticks in one column
        // invert the same pixels, so only the parity of each height counts;
        // that keeps a column spanning many seconds cheap.
        const __int128 v = static_cast<__int128>(column) * u - half;
        const __int128 first = v / halfSecond;       // k above this ...
        const __int128 last = (v + u) / halfSecond;  // ... up to this
        if (last <= first) continue;
        const __int128 minutes = MultiplesUpTo(last, 120) - MultiplesUpTo(first, 120);
        const __int128 evens = MultiplesUpTo(last, 2) - MultiplesUpTo(first, 2);
        const __int128 all = last - first;
        if (minutes % 2 != 0) Tick(canvas, x, kMinuteTick);
        if ((evens - minutes) % 2 != 0) Tick(canvas, x, kSecondTick);
        if ((all - evens) % 2 != 0) Tick(canvas, x, kHalfSecondTick);
    }
    canvas.SetROP2(oldRop);
}

void SignalView::DrawMarkers(Canvas& canvas, const PaintPass& pass) const {
    const int yOffset = scrollY_ * kVerticalUnit;
    const ChannelConfig& config = ctx_.channels.Shown();
    const Rop oldRop = canvas.SetROP2(Rop::Not);
    for (const int32_t m : ctx_.document.Markers().items) {
        if (m == 0 || m < pass.S0 || m > pass.S1) continue;
        const int x = static_cast<int>(pass.map.ColumnOf(m));
        for (const ChannelRecord& rec : config) {
            if (rec.HasMarker != 1 || !IsDrawable(rec)) continue;
            const int base = BaselineY(rec.DisplayPosition) - yOffset;
            canvas.MoveToEx(x, base + kMarkerReach);
            canvas.LineTo(x, base - kMarkerReach);
        }
    }
    canvas.SetROP2(oldRop);
}

}  // namespace koru
