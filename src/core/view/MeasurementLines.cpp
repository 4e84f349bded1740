// Measurement lines: drawn with the left button as an inverted rubber band,
// kept with a label giving their length in samples.

#include <algorithm>
#include <cstdlib>

#include "view/SignalView.h"

namespace koru {

std::string LineLabel(const MeasurementLine& line) {
    return std::to_string(std::llabs(static_cast<long long>(line.EndSample) - line.StartSample));
}

void InvertLine(Canvas& canvas, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t a,
                int64_t b) {
    if (a > b || std::max(x1, x2) < a || std::min(x1, x2) > b) return;
    // Straight steps along the longer axis, a corrective step along the other
    // whenever the error term runs out; ties go to the x axis.
    const int64_t sx = x2 < x1 ? -1 : 1;
    const int64_t sy = y2 < y1 ? -1 : 1;
    const int64_t dx = (x2 - x1) * sx;
    const int64_t dy = (y2 - y1) * sy;
    const bool xMajor = dy <= dx;
    const int64_t major = xMajor ? dx : dy;
    const int64_t minor = xMajor ? dy : dx;

    // A long line seen through a strip: along x the step of each column is
    // known, so the walk starts at the strip instead of at the line's start.
    int64_t first = 0;
    int64_t last = major;
    if (xMajor) {
        first = std::max<int64_t>(0, sx > 0 ? a - x1 : x1 - b);
        last = std::min(major, sx > 0 ? b - x1 : x1 - a);
        if (first > last) return;
    }
    // Corrective steps taken before step `first`: the least k that keeps the
    // error term e = major - 2*minor*first + 2*major*k from going negative.
    int64_t k = 0;
    if (major > 0) {
        const __int128 need = static_cast<__int128>(2 * minor) * first - major;
        if (need > 0) k = static_cast<int64_t>((need + 2 * major - 1) / (2 * major));
    }
    int64_t e = static_cast<int64_t>(static_cast<__int128>(major) -
                                     static_cast<__int128>(2 * minor) * first +
                                     static_cast<__int128>(2 * major) * k);
    int64_t x = xMajor ? x1 + sx * first : x1 + sx * k;
    int64_t y = xMajor ? y1 + sy * k : y1 + sy * first;

    constexpr ColorRef kWhite = Rgb(255, 255, 255);
    for (int64_t i = first; i <= last; ++i) {
        if (x >= a && x <= b) {
            const int px = static_cast<int>(x), py = static_cast<int>(y);
            canvas.SetPixel(px, py, canvas.GetPixel(px, py) ^ kWhite);
        } else if ((sx > 0 && x > b) || (sx < 0 && x < a)) {
            break;  // past the strip for good
        }
        if (xMajor) {
            x += sx;
        } else {
            y += sy;
        }
        e -= 2 * minor;
        if (e < 0) {
            if (xMajor) {
                y += sy;
            } else {
                x += sx;
            }
            e += 2 * major;
        }
    }
}

Rect SignalView::LabelRect(const MeasurementLine& line) const {
    const Size size = buffer_.GetTextExtent(LabelOf(line));
    const int x = ToPixel(ColumnOfFrame(line.EndSample));
    const int y = ClientY(line.EndY);
    return Rect{x, y, x + size.cx, y + size.cy};
}

void SignalView::InvertBand(Point from, Point to) {
    {
        CanvasStateGuard keep(buffer_);
        buffer_.ResetClipRect();
        buffer_.SetROP2(Rop::Not);
        buffer_.MoveToEx(from.x, from.y);
        buffer_.LineTo(to.x, to.y);
    }
    Show(Rect{std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
              std::max(from.y, to.y) + 1}
             .Intersect(ClientRect()));
}

void SignalView::OnLeftDown(int x, int y, bool ctrl) {
    if (ctrl && !lines_.empty()) {
        const MeasurementLine line = lines_.back();
        lines_.pop_back();
        const Rect label = LabelRect(line);
        // Hidden lines (MARKERS off) are not on the picture to take off.
        if (ctx_.settings.markers) {
            InvertLine(buffer_, ColumnOfFrame(line.StartSample), ClientY(line.StartY),
                       ColumnOfFrame(line.EndSample), ClientY(line.EndY), 0, buffer_.Width() - 1);
            Show(ClientRect());
        }
        // One column to the left as well, as a stroke would have left the
        // end pixel behind there.
        Invalidate(Rect{label.left - 1, label.top, label.right, label.bottom});
    } else if (!leftDrag_ && ctx_.document.IsOpen() && lines_.size() < kMaxMeasurementLines &&
               !ctrl) {
        leftDrag_ = true;
        dragStart_ = dragEnd_ = Point{x, y};
    }
}

void SignalView::OnLeftUp(int x, int y) {
    if (!leftDrag_) return;
    // Erased in the direction it was drawn: a stroke drawn backwards can
    // differ by a pixel where the walk ties.
    InvertBand(dragStart_, dragEnd_);
    leftDrag_ = false;
    if (std::abs(x - dragStart_.x) < kMinLineDrag && std::abs(y - dragStart_.y) < kMinLineDrag)
        return;
    dragEnd_ = Point{x, y};
    const MeasurementLine line{FrameAt(dragStart_.x), AbsoluteY(dragStart_.y), FrameAt(x),
                               AbsoluteY(y)};
    lines_.push_back(line);
    if (ctx_.settings.markers) {
        // Both end pixels, exactly as a repaint walks it.
        InvertLine(buffer_, dragStart_.x, dragStart_.y, x, y, 0, buffer_.Width() - 1);
        Show(ClientRect());
    }
    // The label comes from the paint operation itself, so it lies under the
    // tags and markers just as every later repaint draws it.
    const Rect label = LabelRect(line);
    RepaintRect(label);
    Show(label.Intersect(ClientRect()));
}

void SignalView::OnMouseLeave() {
    if (ctx_.settings.units) ctx_.fields.SetField(Field::Readout, {});
}

void SignalView::OnMouseMove(int x, int y) {
    if (leftDrag_) {
        InvertBand(dragStart_, dragEnd_);
        dragEnd_ = Point{x, y};
        InvertBand(dragStart_, dragEnd_);
    }
    pointer_ = Point{x, y};
    if (ctx_.settings.units) ctx_.fields.SetField(Field::Readout, ReadoutAt(x));
    if (rightDrag_) {
        InvertTagLine(tagPoint_.x);
        InvertTagLine(x);
        tagPoint_ = Point{x, y};
        ctx_.fields.SetField(Field::Cut, FrameTimeText(FrameAtColumn(x), ctx_.document.Clock(),
                                                       ctx_.settings.timeResolution != 0));
    }
}

void SignalView::DrawMeasurementLines(Canvas& canvas, const PaintPass& pass) const {
    const int64_t yOffset = static_cast<int64_t>(scrollY_) * kVerticalUnit;
    const int margin = canvas.GetTextExtent("MMMM").cx;
    const Rop oldRop = canvas.SetROP2(Rop::Not);
    for (const MeasurementLine& line : lines_) {
        const std::string label = LabelOf(line);
        // Labels reach right of their end points. One wider than the usual
        // margin widens it, or a strip right of a long label would leave
        // its tail out.
        const int64_t m =
            std::max(margin, canvas.GetTextExtent(label).cx) * pass.map.spd / kDivisionWidth;
        const int64_t s = line.StartSample, e = line.EndSample;
        if (!((s >= pass.S0 - m || e >= pass.S0 - m) && (s <= pass.S1 || e <= pass.S1))) continue;
        const int64_t x2 = pass.map.ColumnOf(e);
        const int64_t y2 = line.EndY - yOffset;
        InvertLine(canvas, pass.map.ColumnOf(s), line.StartY - yOffset, x2, y2, pass.L, pass.R);
        canvas.SetTextColor(ctx_.settings.text);
        canvas.TextOut(ToPixel(x2), ToPixel(y2), label);
    }
    canvas.SetROP2(oldRop);
}

}  // namespace koru
