// Moving through the recording with the scroll bars, and the marker keys.

#include <algorithm>
#include <cstdlib>

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

void SignalView::Scroll(ScrollAxis axis, ScrollRequest request, int32_t thumb) {
    const bool horizontal = axis == ScrollAxis::Horizontal;
    const int64_t p = horizontal ? scrollX_ : scrollY_;
    const int32_t range = horizontal ? HorizontalRange() : VerticalRange();
    const int64_t page = horizontal ? ctx_.geometry.PageDivisions : kVerticalPage;
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
        Show(ClientRect());
    } else {
        InvalidateAll();
        Update();
    }
    UpdatePositionText();
    ScrollChanged();
}

bool SignalView::OnKeyDown(int key) {
    SignalDocument& doc = ctx_.document;
    if (!doc.IsOpen() || tagCount_ < 1) return false;
    MarkerList& markers = doc.Markers();
    if (key == kKeyDelete || key == kKeyDecimal) {
        if (markers.Count() == 0 || tagCount_ != 2) return false;
        markers.RemoveBetween(tags_[0].Sample, tags_[1].Sample);
    } else if (key == kKeyInsert || key == kKeyNumpad0) {
        if (tagCount_ != 1 || !markers.InsertSorted(tags_[0].Sample)) return false;
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
