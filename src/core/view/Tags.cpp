// Tags: full-height inverted lines placed with the right button; the two of
// them select the cutout, whose times the cut field shows.

#include <algorithm>
#include <limits>

#include "analysis/Beats.h"
#include "analysis/Rhythm.h"
#include "text/TimeText.h"
#include "text/UnitText.h"
#include "view/SignalView.h"

namespace koru {

std::string FrameTimeText(int64_t frame, const FrameClock& clock, bool microsecondResolution) {
    // The cutout raises a negative tag to frame 0; the field says the same.
    return FormatTime(clock.Micros(std::max<int64_t>(frame, 0)), microsecondResolution);
}

std::string CutText(const std::array<Tag, kMaxTags>& tags, int32_t tagCount,
                    const FrameClock& clock, bool microsecondResolution) {
    if (tagCount <= 0) return {};
    if (tagCount == 1) return FrameTimeText(tags[0].Sample, clock, microsecondResolution);
    const Cutout cut = Cutout::FromTags(tags[0].Sample, tags[1].Sample);
    return FrameTimeText(cut.start, clock, microsecondResolution) + " to " +
           FrameTimeText(cut.end, clock, microsecondResolution);
}

void SignalView::UpdateCutText() {
    const FrameClock clock = ctx_.document.Clock();
    std::string text = CutText(tags_, tagCount_, clock, ctx_.settings.timeResolution != 0);
    if (ctx_.settings.units && tagCount_ == 2) {
        const Cutout cut = Cutout::FromTags(tags_[0].Sample, tags_[1].Sample);
        text +=
            " = " + DurationText(static_cast<double>(cut.end - cut.start) * clock.MicrosPerFrame());
    }
    ctx_.fields.SetField(Field::Cut, text);
    // Between two tags: the beats of the annotation list there and their rhythm.
    std::string rhythm;
    if (tagCount_ == 2 && ctx_.document.IsOpen()) {
        const std::vector<int64_t> beats = BeatFrames(ctx_.document.Annotations());
        if (!beats.empty()) {
            const Cutout cut = CurrentCutout();
            rhythm = BeatStatsText(
                StatsBetween(beats, cut.start, cut.end, FrameRate(ctx_.document.Header())));
        }
    }
    ctx_.fields.SetField(Field::Rhythm, rhythm);
}

int32_t SignalView::FrameAt(int x) const {
    const int64_t f = FrameAtColumn(x);
    return static_cast<int32_t>(std::clamp<int64_t>(f, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void SignalView::InvertTagLine(int64_t x) {
    if (x < 0 || x >= buffer_.Width()) return;
    const int column = static_cast<int>(x);
    CanvasStateGuard keep(buffer_);
    buffer_.ResetClipRect();
    buffer_.SetROP2(Rop::Not);
    buffer_.MoveToEx(column, 0);
    buffer_.LineTo(column, ctx_.geometry.ScreenHeight);
    Show(Rect{column, 0, column + 1, buffer_.Height()});
}

void SignalView::OnRightDown(int x, int y, bool ctrl) {
    if (ctrl && tagCount_ > 0) {
        InvertTagLine(ColumnOfFrame(tags_[static_cast<std::size_t>(tagCount_ - 1)].Sample));
        --tagCount_;
        CountsChanged();
    } else if (!rightDrag_ && ctx_.document.IsOpen() && tagCount_ < kMaxTags && !ctrl) {
        rightDrag_ = true;
        InvertTagLine(x);
        tagPoint_ = Point{x, y};
    }
    UpdateCutText();
}

void SignalView::OnRightUp(int x, int y) {
    if (!rightDrag_) return;
    InvertTagLine(tagPoint_.x);
    InvertTagLine(x);
    tagPoint_ = Point{x, y};
    rightDrag_ = false;
    if (tagCount_ < kMaxTags) {
        // spd is a multiple of 10, so this frame maps back to exactly this
        // column and later repaints draw the tag where it was dropped.
        tags_[static_cast<std::size_t>(tagCount_)] = Tag{FrameAt(x), AbsoluteY(y)};
        ++tagCount_;
    } else {
        InvertTagLine(x);  // not reached: only a drop adds a tag
    }
    UpdateCutText();
    CountsChanged();
}

void SignalView::DrawTags(Canvas& canvas, const PaintPass& pass) const {
    const Rop oldRop = canvas.SetROP2(Rop::Not);
    for (int32_t i = 0; i < tagCount_; ++i) {
        const int32_t s = tags_[static_cast<std::size_t>(i)].Sample;
        if (s < pass.S0 || s > pass.S1) continue;
        const int x = ToPixel(pass.map.ColumnOf(s));
        canvas.MoveToEx(x, 0);
        canvas.LineTo(x, ctx_.geometry.ScreenHeight);
    }
    canvas.SetROP2(oldRop);
}

void SignalView::DrawDrags(Canvas& canvas) const {
    if (!leftDrag_ && !rightDrag_) return;
    const Rop oldRop = canvas.SetROP2(Rop::Not);
    if (leftDrag_) {
        canvas.MoveToEx(dragStart_.x, dragStart_.y);
        canvas.LineTo(dragEnd_.x, dragEnd_.y);
    }
    if (rightDrag_) {
        canvas.MoveToEx(tagPoint_.x, 0);
        canvas.LineTo(tagPoint_.x, ctx_.geometry.ScreenHeight);
    }
    canvas.SetROP2(oldRop);
}

}  // namespace koru
