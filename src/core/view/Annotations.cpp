// The annotation list in the view: labels above the traces, and stepping
// from one annotation to the next.

#include <algorithm>

#include "view/SignalView.h"

namespace koru {

namespace {

constexpr std::size_t kMaxLabelChars = 12;  // longer labels are cut on the screen
constexpr int kLabelGap = 4;                // pixels kept free between two labels
constexpr int kLabelLift = 2;               // pixels between a label and the marker reach
constexpr int kTraceReach = 40;             // as far as a marker line reaches above a baseline
constexpr int kLabelMargin = 200;           // pixels a label may reach into from its column
constexpr int kHackBand = 22;               // the time hacks' rows, and a gap below them

std::string_view Shown(const std::string& label) {
    return std::string_view(label).substr(0, kMaxLabelChars);
}

}  // namespace

// A label is drawn when it keeps clear of its neighbour before it in the
// list, drawn or not: a rule that looks at one neighbour only, so a strip
// repainted alone gets the labels the whole picture has.
void SignalView::DrawAnnotationLabels(Canvas& canvas, const PaintPass& pass) const {
    const ChannelConfig& config = ctx_.channels.Shown();
    int32_t top = 0;
    for (const ChannelRecord& rec : config)
        if (IsDrawable(rec) && (top == 0 || rec.DisplayPosition < top)) top = rec.DisplayPosition;
    if (top == 0) return;
    const AnnotationList& list = ctx_.document.Annotations();
    const int64_t reach = int64_t{kLabelMargin} * pass.map.PerColumn();
    const auto [first, last] = list.Range(pass.S0 - reach, pass.S1 + reach + 1);
    const int height = canvas.GetTextExtent("N").cy;
    // Below the time hacks on a screen too low to hold them above the trace.
    const int y = std::max(BaselineY(top) - kTraceReach - kLabelLift - height, kHackBand) -
                  scrollY_ * kVerticalUnit;
    canvas.SetTextColor(pass.printing ? Rgb(0, 0, 0) : ctx_.settings.text);
    const auto halfWidth = [&](std::size_t i) {
        return canvas.GetTextExtent(Shown(list[i].label)).cx / 2;
    };
    for (std::size_t i = first; i < last; ++i) {
        const std::string_view label = Shown(list[i].label);
        if (label.empty()) continue;
        const int64_t x = pass.map.ColumnOf(list[i].frame);
        if (i > 0) {
            const int64_t before = pass.map.ColumnOf(list[i - 1].frame);
            if (x - before < halfWidth(i - 1) + halfWidth(i) + kLabelGap) continue;
        }
        // One at the very left, often the recording's start, is moved in
        // whole rather than cut in half by the window's edge.
        const int64_t centred = x - canvas.GetTextExtent(label).cx / 2;
        const int left = ToPixel(x >= 0 ? std::max<int64_t>(centred, 0) : centred);
        canvas.TextOut(left, y, label);
        if (currentAnnotation_ == list[i].frame) {
            // The current one underlined, so a step shows where it went.
            const int under = y + height;
            canvas.SelectPen(pass.printing ? Rgb(0, 0, 0) : ctx_.settings.text);
            canvas.MoveToEx(left, under);
            canvas.LineTo(left + 2 * halfWidth(i) + 1, under);
        }
    }
}

void SignalView::ShowAnnotation(std::size_t index) {
    const AnnotationList& list = ctx_.document.Annotations();
    if (index >= list.Count() || !ctx_.document.IsOpen() || leftDrag_ || rightDrag_) return;
    const int64_t frame = list[index].frame;
    currentAnnotation_ = frame;
    const int64_t halfScreen = buffer_.Width() / 2 / kDivisionWidth;
    const int64_t division = std::clamp<int64_t>(frame / Spd() - halfScreen, 0, HorizontalRange());
    Reposition(static_cast<int32_t>(division));
}

std::optional<std::size_t> SignalView::StepAnnotation(bool forward, std::string_view label) {
    const AnnotationList& list = ctx_.document.Annotations();
    if (!ctx_.document.IsOpen() || list.Empty()) return std::nullopt;
    const ColumnMap map = ScreenMap();
    const int64_t left = map.FrameAt(0), right = map.FrameAt(buffer_.Width());
    int64_t from = map.FrameAt(buffer_.Width() / 2);
    if (currentAnnotation_ && *currentAnnotation_ >= left && *currentAnnotation_ <= right)
        from = *currentAnnotation_;
    const std::optional<std::size_t> at =
        forward ? list.Next(from, label) : list.Previous(from, label);
    if (at) ShowAnnotation(*at);
    return at;
}

}  // namespace koru
