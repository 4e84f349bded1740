// The Signal view with physical units: labels and readout in time and the
// recording's units, calibration bars, the ECG-paper grid, and finer trace
// sizes at the keyboard and wheel.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "text/UnitText.h"
#include "view/SignalView.h"
#include "view/Units.h"

namespace koru {

namespace {

// The pulse a calibration bar draws, in columns from the left edge.
constexpr int kCalibrationLeft = 2;
constexpr int kCalibrationRight = 7;
// Grid lines on a dark background, and on a light one.
constexpr ColorRef kMinorOnDark = Rgb(72, 16, 16);
constexpr ColorRef kMajorOnDark = Rgb(150, 36, 36);
constexpr ColorRef kMinorOnLight = Rgb(255, 205, 205);
constexpr ColorRef kMajorOnLight = Rgb(240, 130, 130);

bool IsLightColor(ColorRef c) {
    return 299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c) > 128'000;
}

}  // namespace

int32_t ZoomPermille(int32_t step) {
    return static_cast<int32_t>(std::lround(1000 * std::exp2(step / 8.0)));
}

ShownTraceScale SignalView::ShownScale(std::size_t channel) const {
    const int32_t size = ctx_.channels.Shown()[channel].DisplaySize;
    const int32_t divisor = ctx_.channels.ShownDivisor(channel);
    const int32_t step = zoom_[channel];
    // Unstepped, exactly the configured scale; stepped, in thousandths.
    if (step == 0) return ShownTraceScale{size, divisor};
    return ShownTraceScale{size * ZoomPermille(step), divisor * 1000};
}

std::optional<std::size_t> SignalView::ChannelNear(int32_t absoluteY) const {
    const ChannelConfig& shown = ctx_.channels.Shown();
    std::optional<std::size_t> best;
    int64_t bestDistance = 0;
    for (std::size_t ch = 0; ch < shown.size(); ++ch) {
        if (!IsDrawable(shown[ch])) continue;
        const int64_t d = std::llabs(int64_t{BaselineY(shown[ch].DisplayPosition)} - absoluteY);
        if (!best || d < bestDistance) {
            best = ch;
            bestDistance = d;
        }
    }
    return best;
}

bool SignalView::OnZoom(int steps, int clientY) {
    if (!ctx_.document.IsOpen() || steps == 0 || leftDrag_ || rightDrag_) return false;
    const std::optional<std::size_t> near = ChannelNear(AbsoluteY(clientY));
    if (!near) return false;
    const ChannelConfig& shown = ctx_.channels.Shown();
    const int32_t slot = shown[*near].DisplayPosition;
    const int32_t next = std::clamp(zoom_[*near] + steps, kMinZoomStep, kMaxZoomStep);
    if (next == zoom_[*near]) return false;
    // Every trace sharing the slot, so stacked leads keep their proportion.
    for (std::size_t ch = 0; ch < shown.size(); ++ch)
        if (IsDrawable(shown[ch]) && shown[ch].DisplayPosition == slot) zoom_[ch] = next;
    InvalidateAll();
    Update();
    Show(ClientRect());
    if (noticeHook_) {
        char factor[32];
        std::snprintf(factor, sizeof factor, "%.2f", ZoomPermille(next) / 1000.0);
        std::string name = ctx_.channels.ShownName(*near);
        if (name.empty()) name = "Channel " + std::to_string(*near + 1);
        noticeHook_(name + ": size x" + factor);
    }
    return true;
}

std::string SignalView::LabelOf(const MeasurementLine& line) const {
    std::string label = LineLabel(line);
    if (!ctx_.settings.units) return label;
    const int64_t frames = std::llabs(int64_t{line.EndSample} - line.StartSample);
    const int64_t dx = frames * kDivisionWidth / std::max(Spd(), 1);
    const int64_t dy = std::llabs(int64_t{line.EndY} - line.StartY);
    if (dy <= dx) {
        if (frames == 0) return label;
        const double micros = static_cast<double>(frames) * ctx_.document.Clock().MicrosPerFrame();
        return label + " = " + DurationText(micros) + " = " + RateText(micros);
    }
    const std::optional<std::size_t> ch =
        ChannelNear(static_cast<int32_t>((int64_t{line.StartY} + line.EndY) / 2));
    if (!ch) return label;
    const ChannelScale scale = ScaleOf(ctx_.document, *ch);
    const ShownTraceScale trace = ShownScale(*ch);
    if (!scale.Known() || trace.size <= 0) return label;
    const double values = static_cast<double>(dy) * trace.divisor / trace.size;
    return label + " = " +
           ValueText(values * scale.perValue, DecimalsFor(scale.perValue), scale.unit);
}

std::string SignalView::ReadoutAt(int x) const {
    const SignalDocument& doc = ctx_.document;
    if (!doc.IsOpen()) return {};
    const int64_t frame = FrameAtColumn(x);
    if (frame < 0 || frame >= doc.ReadableFrames()) return {};
    FrameSpans spans(doc, frame);
    const std::span<const Frame> run = spans.Next(1);
    if (run.empty()) return {};
    std::string text = FrameTimeText(frame, doc.Clock(), ctx_.settings.timeResolution != 0);
    const ChannelConfig& shown = ctx_.channels.Shown();
    for (std::size_t ch = 0; ch < shown.size(); ++ch) {
        if (!IsDrawable(shown[ch])) continue;
        std::string name = ctx_.channels.ShownName(ch);
        if (name.empty()) name = "Ch" + std::to_string(ch + 1);
        const int16_t value = run[0][ch];
        const ChannelScale scale = ScaleOf(doc, ch);
        text += "  " + name + " ";
        text += scale.Known()
                    ? ValueText(value * scale.perValue, DecimalsFor(scale.perValue), scale.unit)
                    : std::to_string(value);
    }
    return text;
}

std::string SignalView::PaperGridNotice() const {
    std::optional<double> shown;
    const ChannelConfig& config = ctx_.channels.Shown();
    for (std::size_t ch = 0; ch < config.size() && !shown; ++ch) {
        const ChannelScale scale = ScaleOf(ctx_.document, ch);
        const double mv = MillivoltsPerUnit(scale.unit);
        const ShownTraceScale trace = ShownScale(ch);
        if (!IsDrawable(config[ch]) || !scale.Known() || mv <= 0 || trace.divisor <= 0) continue;
        shown = 1 / (mv * scale.perValue) * trace.size / trace.divisor;
    }
    return PaperGridText(ctx_.geometry.DotsPerInch, ctx_.document.Clock(), Spd(), shown);
}

void SignalView::DrawCalibration(Canvas& canvas, const PaintPass& pass) const {
    if (pass.rect.left > kCalibrationStrip) return;
    const ChannelConfig& shown = ctx_.channels.Shown();
    const int64_t yOffset = int64_t{scrollY_} * kVerticalUnit;
    const int maxPixels = std::max(SlotStep(ctx_.geometry.ScreenHeight) - 4, 2);
    // Room for a label, so it keeps clear of the name of the slot above.
    const int labelPixels = 2 * canvas.GetTextExtent("0").cy;
    std::array<bool, kDisplaySlots + 1> slotDone{};
    const ColorRef oldPen = canvas.CurrentPen();
    const Rop oldRop = canvas.SetROP2(Rop::CopyPen);
    for (std::size_t ch = 0; ch < shown.size(); ++ch) {
        const ChannelRecord& rec = shown[ch];
        // One bar a slot: stacked traces would draw theirs over each other.
        if (!IsDrawable(rec) || slotDone[static_cast<std::size_t>(rec.DisplayPosition)]) continue;
        const ShownTraceScale trace = ShownScale(ch);
        const std::optional<Calibration> bar = CalibrationFor(
            ScaleOf(ctx_.document, ch), trace.size, trace.divisor, maxPixels, labelPixels);
        if (!bar) continue;
        slotDone[static_cast<std::size_t>(rec.DisplayPosition)] = true;
        const ColorRef color = ctx_.channels.ShownColor(ch);
        canvas.SelectPen(pass.printing ? PaperColor(color) : color);
        const int base = ToPixel(BaselineY(rec.DisplayPosition) - yOffset);
        const int top = base - bar->pixels;
        canvas.MoveToEx(kCalibrationLeft - 2, base);
        canvas.LineTo(kCalibrationLeft, base);
        canvas.LineTo(kCalibrationLeft, top);
        canvas.LineTo(kCalibrationRight, top);
        canvas.LineTo(kCalibrationRight, base);
        canvas.LineTo(kCalibrationRight + 2, base);
        // A bar other than the usual 1 mV (or 1 of the unit) says what it is.
        if (!bar->standard) {
            canvas.SetTextColor(pass.printing ? PaperColor(color) : color);
            canvas.TextOut(kCalibrationRight + 3, top,
                           CalibrationLabel(*bar, ScaleOf(ctx_.document, ch)));
        }
    }
    canvas.SetROP2(oldRop);
    canvas.SelectPen(oldPen);
}

void SignalView::DrawPaperGrid(Canvas& canvas, const PaintPass& pass) const {
    const double perMm = PixelsPerMm(ctx_.geometry.DotsPerInch);
    const bool light = IsLightColor(ctx_.settings.background);
    const ColorRef minor = light ? kMinorOnLight : kMinorOnDark;
    const ColorRef major = light ? kMajorOnLight : kMajorOnDark;
    const int64_t yOffset = int64_t{scrollY_} * kVerticalUnit;
    const int left = std::max(pass.L, pass.rect.left - 1);
    const int right = std::min(pass.R, pass.rect.right + 1);
    const ColorRef oldPen = canvas.CurrentPen();
    const Rop oldRop = canvas.SetROP2(Rop::CopyPen);
    // Minor lines first, so the major ones cross over them.
    for (const GridLine kind : {GridLine::Minor, GridLine::Major}) {
        canvas.SelectPen(kind == GridLine::Minor ? minor : major);
        for (int x = left; x <= right; ++x) {
            if (GridLineAt(x + pass.map.H, perMm) != kind) continue;
            canvas.MoveToEx(x, pass.rect.top);
            canvas.LineTo(x, pass.rect.bottom);
        }
        for (int y = pass.rect.top; y < pass.rect.bottom; ++y) {
            if (GridLineAt(y + yOffset, perMm) != kind) continue;
            canvas.MoveToEx(left, y);
            canvas.LineTo(right + 1, y);
        }
    }
    canvas.SetROP2(oldRop);
    canvas.SelectPen(oldPen);
}

}  // namespace koru
