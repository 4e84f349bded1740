#include "view/SignalView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/Beats.h"
#include "text/TimeText.h"

namespace koru {

namespace {
// Beyond this many separate areas, one rectangle around them all is cheaper.
constexpr std::size_t kMaxPendingAreas = 8;

Rect Bounding(const Rect& a, const Rect& b) {
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool Covers(const Rect& outer, const Rect& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}
}  // namespace

SlotTable MakeSlotTable(int32_t screenHeight) {
    SlotTable slots{};
    const int32_t step = SlotStep(screenHeight);
    for (int32_t p = 1; p <= kDisplaySlots; ++p)
        slots[static_cast<std::size_t>(p - 1)] = Slot{kNameX, step * p};
    return slots;
}

ColorRef PaperColor(ColorRef c) {
    // Rec. 601 luminance, in thousandths.
    const uint32_t y = 299u * RedOf(c) + 587u * GreenOf(c) + 114u * BlueOf(c);
    if (y < 128'000) return c;
    return Rgb(RedOf(c) / 2u, GreenOf(c) / 2u, BlueOf(c) / 2u);
}

int32_t HorizontalRangeFor(int64_t frameCount, int32_t spd) {
    if (spd <= 0 || frameCount <= 0) return 0;
    return static_cast<int32_t>(frameCount * kDivisionWidth / spd / kDivisionWidth);
}

std::string PositionText(int32_t scrollX, int32_t horizontalRange, int32_t pageDivisions,
                         int32_t spd, const FrameClock& clock, bool microsecondResolution) {
    const int64_t firstFrame = static_cast<int64_t>(scrollX) * spd;
    const int64_t micros = clock.Micros(firstFrame);
    const int64_t pd = pageDivisions > 0 ? pageDivisions : 1;
    char page[96];
    std::snprintf(page, sizeof page, "  Page: %lld.%.2lld/%lld.%.2lld",
                  static_cast<long long>(scrollX / pd + 1), static_cast<long long>(scrollX % pd),
                  static_cast<long long>(horizontalRange / pd + 1),
                  static_cast<long long>(horizontalRange % pd));
    return "Time: " + FormatTime(micros, microsecondResolution) + page;
}

SignalView::SignalView(const ViewContext& context)
    : ctx_(context), slots_(MakeSlotTable(context.geometry.ScreenHeight)) {}

int32_t SignalView::Spd() const {
    return ctx_.timeBase.Spd();
}

int32_t SignalView::HorizontalRange() const {
    const SignalDocument& doc = ctx_.document;
    return doc.IsOpen() ? HorizontalRangeFor(doc.FrameCount(), Spd()) : 0;
}

int32_t SignalView::VerticalRange() const {
    return ctx_.document.IsOpen() ? kVerticalRange : 0;
}

void SignalView::Reposition(int32_t division) {
    scrollX_ = std::clamp(division, 0, HorizontalRange());
    scrollY_ = std::clamp(scrollY_, 0, VerticalRange());
    UpdatePositionText();
    InvalidateAll();
    ScrollChanged();
}

void SignalView::UpdatePositionText() {
    const SignalDocument& doc = ctx_.document;
    if (!doc.IsOpen()) return;
    ctx_.fields.SetField(Field::Position,
                         PositionText(scrollX_, HorizontalRange(), ctx_.geometry.PageDivisions,
                                      Spd(), doc.Clock(), ctx_.settings.timeResolution != 0));
}

bool SignalView::ResizeClient(int width, int height) {
    const bool fits = buffer_.Resize(width, height, background_);
    Reposition(scrollX_);
    return fits;
}

std::string BackBufferFailedText(int width, int height) {
    return "KORU VIEW -- Not enough memory to draw the view at " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels.";
}

void SignalView::Invalidate(const Rect& rect) {
    const Rect r = rect.Intersect(ClientRect());
    if (r.Empty()) return;
    if (std::none_of(pending_.begin(), pending_.end(),
                     [&](const Rect& p) { return Covers(p, r); })) {
        pending_.push_back(r);
        if (pending_.size() > kMaxPendingAreas) {
            Rect all = pending_.front();
            for (const Rect& p : pending_) all = Bounding(all, p);
            pending_.assign(1, all);
        }
    }
    Show(r);
}

void SignalView::InvalidateAll() {
    pending_.clear();
    Invalidate(ClientRect());
}

bool SignalView::Update() {
    if (pending_.empty()) return false;
    // Taken first: a repaint must not see its own area as still pending.
    std::vector<Rect> areas;
    areas.swap(pending_);
    for (const Rect& r : areas) RepaintRect(r);
    return true;
}

void SignalView::RepaintRect(const Rect& rect) {
    const Rect r = rect.Intersect(ClientRect());
    if (r.Empty()) return;
    CanvasStateGuard keep(buffer_);
    buffer_.SetClipRect(r);
    buffer_.FillRect(r, background_);
    Paint(buffer_, r);
    buffer_.ResetClipRect();
}

void SignalView::PopChannelNames() {
    if (!ctx_.document.IsOpen() || ClientRect().Empty()) return;
    CanvasStateGuard keep(buffer_);
    buffer_.ResetClipRect();
    buffer_.SetBkMode(BkMode::Transparent);
    buffer_.SetBkColor(ctx_.settings.background);
    DrawNames(buffer_);
    Show(ClientRect());
}

void SignalView::ClearMarks() {
    tagCount_ = 0;
    lines_.clear();
    leftDrag_ = rightDrag_ = false;
    UpdateCutText();
    CountsChanged();
}

bool SignalView::SetDisplayFilter(const DisplayFilterSettings& settings, std::string* why) {
    std::optional<Cascade> made;
    if (settings.Any()) {
        made = MakeDisplayFilter(FrameRate(ctx_.document.Header()), settings, why);
        if (!made) return false;
    }
    filterSettings_ = made ? settings : DisplayFilterSettings{};
    filter_ = std::move(made);
    filterMargin_ = static_cast<int64_t>(
        std::ceil(DisplayFilterMargin(filterSettings_) * FrameRate(ctx_.document.Header())));
    ctx_.fields.SetField(Field::Filter, DisplayFilterText(filterSettings_));
    InvalidateAll();
    return true;
}

void SignalView::PrepareForLoad() {
    SetDisplayFilter({});
    background_ = ctx_.settings.background;
    currentAnnotation_.reset();
    zoom_ = {};
    ClearMarks();
    Reposition(0);
}

void SignalView::ResetView() {
    SetDisplayFilter({});
    background_ = Rgb(255, 255, 255);
    currentAnnotation_.reset();
    ClearMarks();
    Reposition(0);
}

}  // namespace koru
