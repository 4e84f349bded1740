// Moving through the recording with the scroll bars, and the marker keys.

#include <algorithm>
#include <cstdlib>
#include <string>

#include "view/SignalView.h"

namespace koru {

int32_t PositionFromThumb(int32_t thumb, int32_t range) {
    if (range <= kMaxThumb) return thumb;
    return static_cast<int32_t>(static_cast<int64_t>(thumb) * range / kMaxThumb);
}

int32_t ThumbFromPosition(int32_t position, int32_t range) {
    if (range <= kMaxThumb) return position;
    return static_cast<int32_t>(static_cast<int64_t>(position) * kMaxThumb / range);
}

std::string MarkerListFullText() {
    return "The marker list is full (" + std::to_string(MarkerList::kCapacity) + " markers).";
}

int32_t PageStepFor(int clientWidth, int32_t pageDivisions) {
    const int32_t shown = clientWidth > 0 ? clientWidth / kDivisionWidth : 0;
    return std::max(1, std::min(shown, pageDivisions));
}

std::optional<KeyScroll> ScrollForKey(int key) {
    constexpr auto H = ScrollAxis::Horizontal;
    switch (key) {
        case kKeyPageUp:
            return KeyScroll{H, ScrollRequest::PageBack};
        case kKeyPageDown:
            return KeyScroll{H, ScrollRequest::PageForward};
        case kKeyLeft:
            return KeyScroll{H, ScrollRequest::LineBack};
        case kKeyRight:
            return KeyScroll{H, ScrollRequest::LineForward};
        case kKeyHome:
            return KeyScroll{H, ScrollRequest::Top};
        case kKeyEnd:
            return KeyScroll{H, ScrollRequest::Bottom};
        case kKeyUp:
            return KeyScroll{ScrollAxis::Vertical, ScrollRequest::LineBack};
        case kKeyDown:
            return KeyScroll{ScrollAxis::Vertical, ScrollRequest::LineForward};
        default:
            return std::nullopt;
    }
}

void SignalView::GoToFrame(int64_t frame) {
    if (!ctx_.document.IsOpen() || leftDrag_ || rightDrag_) return;
    const int64_t division = std::clamp<int64_t>(frame / Spd(), 0, HorizontalRange());
    Reposition(static_cast<int32_t>(division));
}

int32_t SignalView::PageStep() const {
    return PageStepFor(buffer_.Width(), ctx_.geometry.PageDivisions);
}

void SignalView::Scroll(ScrollAxis axis, ScrollRequest request, int32_t thumb) {
    const bool horizontal = axis == ScrollAxis::Horizontal;
    const int64_t p = horizontal ? scrollX_ : scrollY_;
    const int32_t range = horizontal ? HorizontalRange() : VerticalRange();
    const int64_t page = horizontal ? PageStep() : kVerticalPage;
    int64_t next = p;
    switch (request) {
        case ScrollRequest::LineBack:
            next = p - 1;
            break;
        case ScrollRequest::LineForward:
            next = p + 1;
            break;
        case ScrollRequest::PageBack:
            next = p - page;
            break;
        case ScrollRequest::PageForward:
            next = p + page;
            break;
        case ScrollRequest::Thumb:
            next = PositionFromThumb(thumb, range);
            break;
        case ScrollRequest::Top:
            next = 0;
            break;
        case ScrollRequest::Bottom:
            next = range;
            break;
    }
    next = std::clamp<int64_t>(next, 0, range);
    if (horizontal) {
        ScrollTo(static_cast<int32_t>(next), scrollY_);
    } else {
        ScrollTo(scrollX_, static_cast<int32_t>(next));
    }
}

void SignalView::ScrollTo(int32_t x, int32_t y) {
    if (leftDrag_ || rightDrag_) return;
    x = std::clamp(x, 0, HorizontalRange());
    y = std::clamp(y, 0, VerticalRange());
    if (x == scrollX_ && y == scrollY_) return;
    // Areas still waiting belong to the old position.
    Update();
    const int64_t dx = static_cast<int64_t>(scrollX_) - x;
    const int64_t dy = static_cast<int64_t>(scrollY_) - y;
    scrollX_ = x;
    scrollY_ = y;
    if (std::llabs(dx) < ctx_.geometry.PageDivisions && std::llabs(dy) < kVerticalPage) {
        // Every offset is whole divisions or units, so the shifted picture
        // lines up with what a full repaint draws; only the strip is new.
        for (const Rect& r : buffer_.ScrollPixels(static_cast<int>(dx * kDivisionWidth),
                                                  static_cast<int>(dy * kVerticalUnit)))
            RepaintRect(r);
        // The calibration bars stand still while the traces move: the strip
        // they left, and the copy the shift carried right, are drawn anew.
        if (ctx_.settings.units && dx != 0)
            RepaintRect(Rect{
                0, 0,
                kCalibrationStrip + static_cast<int>(std::max<int64_t>(dx, 0)) * kDivisionWidth,
                buffer_.Height()});
        Show(ClientRect());
    } else {
        InvalidateAll();
        Update();
    }
    UpdatePositionText();
    ScrollChanged();
}

void SignalView::OnWheel(int steps, bool bySlots) {
    if (!ctx_.document.IsOpen() || steps == 0) return;
    constexpr int64_t kWheelDivisions = 3;
    if (bySlots) {
        ScrollTo(scrollX_, static_cast<int32_t>(
                               std::clamp<int64_t>(int64_t{scrollY_} + steps, 0, VerticalRange())));
    } else {
        ScrollTo(static_cast<int32_t>(std::clamp<int64_t>(
                     int64_t{scrollX_} + steps * kWheelDivisions, 0, HorizontalRange())),
                 scrollY_);
    }
}

bool SignalView::OnKeyDown(int key) {
    SignalDocument& doc = ctx_.document;
    if (!doc.IsOpen()) return false;
    if (const std::optional<KeyScroll> move = ScrollForKey(key)) {
        if (leftDrag_ || rightDrag_) return false;
        const int32_t x = scrollX_, y = scrollY_;
        Scroll(move->axis, move->request);
        return x != scrollX_ || y != scrollY_;
    }
    if (key == kKeyAdd || key == kKeySubtract) return OnZoom(key == kKeyAdd ? 1 : -1, pointer_.y);
    if (tagCount_ < 1) return false;
    MarkerList& markers = doc.Markers();
    if (key == kKeyDelete || key == kKeyDecimal) {
        if (markers.Count() == 0 || tagCount_ != 2) return false;
        markers.RemoveBetween(tags_[0].Sample, tags_[1].Sample);
    } else if (key == kKeyInsert || key == kKeyNumpad0) {
        if (tagCount_ != 1) return false;
        if (!markers.InsertSorted(tags_[0].Sample)) {
            // Said where the user looks, rather than silently ignored.
            if (markers.Full() && noticeHook_) noticeHook_(MarkerListFullText());
            return false;
        }
    } else {
        return false;
    }
    tagCount_ = 0;
    // The tags are gone, so the field that shows them is emptied too.
    UpdateCutText();
    InvalidateAll();
    CountsChanged();
    return true;
}

}  // namespace koru
