#pragma once
// The Signal view's model: where things go on the drawing area, how frames
// map to columns, the paint operation, and the back buffer that is the
// window's picture. The window only shows the buffer and forwards events.
//
// The geometry follows the screen (ScreenGeometry), not the window; the
// scroll position says which part of the recording the client area shows.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/DisplayFilter.h"
#include "config/ChannelConfig.h"
#include "platform/Canvas.h"
#include "platform/RasterCanvas.h"
#include "signal/Cutout.h"
#include "text/TimeText.h"
#include "view/ColumnMap.h"
#include "view/ViewContext.h"
#include "view/ViewControl.h"

namespace koru {

inline constexpr int32_t kVerticalUnit = 30;   // pixels per vertical scroll unit
inline constexpr int32_t kVerticalRange = 16;  // vertical scroll units while a recording is open
inline constexpr int32_t kNameX = 10;
inline constexpr int32_t kTraceDivisor = kSizeDivisor;  // value * DisplaySize / 160 pixels

// Where the channel shown at display position p (1..8, entry p - 1) has its
// zero line and its name.
struct Slot {
    int32_t NameX = kNameX;
    int32_t BaselineY = 0;
};
using SlotTable = std::array<Slot, kDisplaySlots>;
SlotTable MakeSlotTable(int32_t screenHeight);
// Pixels from one slot's baseline to the next.
inline int32_t SlotStep(int32_t screenHeight) {
    return screenHeight / 11;
}

// Horizontal scroll range in divisions: (frames * 10 / spd) / 10.
int32_t HorizontalRangeFor(int64_t frameCount, int32_t spd);

// The position field: "Time: mm:ss.ffffff  Page: p.dd/q.dd" (or milliseconds),
// the page numbers counting PageDivisions divisions each.
std::string PositionText(int32_t scrollX, int32_t horizontalRange, int32_t pageDivisions,
                         int32_t spd, const FrameClock& clock, bool microsecondResolution);

// y of value v for a channel at baseline y with the given size, before the
// vertical scroll offset; positive values go up, the quotient truncates.
inline int64_t TraceOffset(int32_t value, int32_t displaySize, int32_t divisor = kTraceDivisor) {
    return static_cast<int64_t>(value) * displaySize / (divisor > 0 ? divisor : kTraceDivisor);
}

// Keeps pixel coordinates of absurd sizes (from out-of-range gains, or
// lines far off the window) well inside int, where the canvas clips them.
inline int ToPixel(int64_t v) {
    constexpr int64_t kLimit = int64_t{1} << 29;
    return static_cast<int>(v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v));
}

// The colour a trace or name is printed in: one too light to stand out on
// white paper (luminance at or above half) becomes its half-intensity
// variant, so yellow prints olive and white grey; darker colours stay.
ColorRef PaperColor(ColorRef color);

// Told to the status bar when Insert meets a full Marker list.
std::string MarkerListFullText();

// --- Tags and measurement lines.

inline constexpr int32_t kMaxTags = 2;
inline constexpr std::size_t kMaxMeasurementLines = 1000;
// A left drag shorter than this both ways is a click, not a line.
inline constexpr int kMinLineDrag = 5;

// A tag: the frame under it, and the absolute y where it was dropped (kept,
// not used).
struct Tag {
    int32_t Sample = 0;
    int32_t Y = 0;
};

// Samples are frames, y values absolute (client y plus the vertical offset).
struct MeasurementLine {
    int32_t StartSample = 0;
    int32_t StartY = 0;
    int32_t EndSample = 0;
    int32_t EndY = 0;
    friend bool operator==(const MeasurementLine&, const MeasurementLine&) = default;
};

// The number a line is labelled with: its length in samples.
std::string LineLabel(const MeasurementLine& line);

// --- Physical units (the UNITS setting).

// Columns left of the traces where calibration bars and their labels
// stand, repainted after every horizontal shift so the bars stay put.
inline constexpr int kCalibrationStrip = 64;
// Finer trace sizes at the keyboard and wheel: each step multiplies the
// configured size by 2^(1/8), from an eighth (-24) to sixteen times (32).
inline constexpr int32_t kMinZoomStep = -24;
inline constexpr int32_t kMaxZoomStep = 32;
// The factor of a step in thousandths: 1000 for none, 1091 for one.
int32_t ZoomPermille(int32_t step);
// A trace's scale: value * size / divisor pixels.
struct ShownTraceScale {
    int32_t size = 0;
    int32_t divisor = kTraceDivisor;
};

// Inverts the pixels of the line from (x1, y1) to (x2, y2), both ends
// included, but only those in columns a..b. The pixels are those a LineTo
// from the first point to the second covers, plus its end pixel, so a line
// drawn as a stroke and one repainted strip by strip agree.
void InvertLine(Canvas& canvas, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t a,
                int64_t b);

// The cut field: empty, one tag's time, or "lo to hi" of two tags. A tag
// dropped left of the recording shows the time the cutout uses for it, 0.
std::string CutText(const std::array<Tag, kMaxTags>& tags, int32_t tagCount,
                    const FrameClock& clock, bool microsecondResolution);
std::string FrameTimeText(int64_t frame, const FrameClock& clock, bool microsecondResolution);
// What the user is told when the back buffer for a client area of this
// size cannot be had.
std::string BackBufferFailedText(int width, int height);

// --- Navigation.

// The keys the view acts on, by their classic virtual-key numbers; the
// keypad numbers are what the keypad's Ins and Del give with Num Lock on.
enum ViewKey : int {
    kKeyPageUp = 0x21,
    kKeyPageDown = 0x22,
    kKeyEnd = 0x23,
    kKeyHome = 0x24,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyInsert = 0x2D,
    kKeyDelete = 0x2E,
    kKeyNumpad0 = 0x60,
    kKeyAdd = 0x6B,
    kKeySubtract = 0x6D,
    kKeyDecimal = 0x6E,
};

enum class ScrollAxis { Horizontal, Vertical };
enum class ScrollRequest { LineBack, LineForward, PageBack, PageForward, Thumb, Top, Bottom };

inline constexpr int32_t kVerticalPage = 8;  // vertical page step in units
// Scroll-bar positions are 16-bit: a longer range is scaled onto 0..32767.
inline constexpr int32_t kMaxThumb = 32767;
inline int32_t ThumbRange(int32_t range) {
    return range > kMaxThumb ? kMaxThumb : range;
}
int32_t PositionFromThumb(int32_t thumb, int32_t range);
int32_t ThumbFromPosition(int32_t position, int32_t range);

// The horizontal page step: the whole divisions a client area this wide
// shows, at most pageDivisions and at least one, so that paging never
// passes over a part of the recording unseen.
int32_t PageStepFor(int clientWidth, int32_t pageDivisions);

// The scroll a navigation key asks for; nullopt for other keys.
struct KeyScroll {
    ScrollAxis axis;
    ScrollRequest request;
};
std::optional<KeyScroll> ScrollForKey(int key);

// What one run of the paint operation works from; every step of it reads
// the same values, the overlays included.
struct PaintPass {
    Rect rect;       // the update rectangle
    int32_t L = 0;   // first column computed (one left of the rectangle for the seam)
    int32_t R = 0;   // last column computed (one right of it)
    ColumnMap map;   // of the screen, or of the printed page
    int64_t S0 = 0;  // frame under column L
    int64_t S1 = 0;  // frame under column R
    bool printing = false;
};

class SignalView : public ViewControl {
  public:
    explicit SignalView(const ViewContext& context);

    // --- Geometry and mapping.

    const SlotTable& Slots() const { return slots_; }
    // Baseline of display position 1..8.
    int32_t BaselineY(int32_t position) const {
        return slots_[static_cast<std::size_t>(position - 1)].BaselineY;
    }
    int32_t Spd() const;
    // Frames and columns of the screen picture.
    ColumnMap ScreenMap() const { return ColumnMap::AtDivision(scrollX_, Spd()); }
    int64_t ScreenOffset() const { return ScreenMap().H; }
    // Frame under client column x, and the client column of frame s, on the screen.
    int64_t FrameAtColumn(int64_t x) const { return ScreenMap().FrameAt(x); }
    int64_t ColumnOfFrame(int64_t s) const { return ScreenMap().ColumnOf(s); }
    // Stored (absolute) y of a client y and back.
    int32_t AbsoluteY(int32_t clientY) const { return clientY + scrollY_ * kVerticalUnit; }
    int32_t ClientY(int32_t absoluteY) const { return absoluteY - scrollY_ * kVerticalUnit; }

    // --- Scroll state. Plain values: the scrolling code keeps them in range.

    int32_t ScrollX() const { return scrollX_; }
    int32_t ScrollY() const { return scrollY_; }
    void SetScroll(int32_t x, int32_t y) {
        scrollX_ = x;
        scrollY_ = y;
    }
    // 0 while no recording is open.
    int32_t HorizontalRange() const;
    int32_t VerticalRange() const;
    // Divisions a horizontal page request moves (PageStepFor the client area).
    int32_t PageStep() const;
    // To a division (clamped into the range), vertical position clamped,
    // whole client area to be repainted.
    void Reposition(int32_t division);
    // The division holding `frame` at the left edge (clamped into the range).
    void GoToFrame(int64_t frame);
    // Writes the position field from the scroll position, while a recording
    // is open; every move of the position calls it.
    void UpdatePositionText();

    // Draws the part of the view inside rect and does nothing else. The
    // caller has erased the background; nothing is drawn while no recording
    // is open. With printStartDivision the canvas is a printed page whose
    // left edge is that division.
    void Paint(Canvas& canvas, const Rect& rect,
               std::optional<int32_t> printStartDivision = std::nullopt) const;

    // --- The back buffer: the picture of the client area.

    RasterCanvas& BackBuffer() { return buffer_; }
    const RasterCanvas& BackBuffer() const { return buffer_; }
    Rect ClientRect() const { return Rect{0, 0, buffer_.Width(), buffer_.Height()}; }
    // The client area changed size: a buffer of that size, repositioned at
    // the same division. False when there is not the memory for it; the
    // view is then empty until a size that fits (BackBufferFailedText).
    bool ResizeClient(int width, int height);
    // Background the buffer is erased with: white until a recording loads.
    ColorRef Background() const { return background_; }

    // Marks an area for repainting; Update repaints what is marked.
    void Invalidate(const Rect& rect);
    void InvalidateAll();
    bool HasPendingRepaint() const { return !pending_.empty(); }
    // Repaints every marked area now; true if there was any.
    bool Update();
    // Erases rect with the background and paints it, clipped to rect.
    void RepaintRect(const Rect& rect);

    // Told of every area that needs showing again: marked for repaint or
    // drawn directly. Not called by Update's own repainting, so a window can
    // call Update from its paint handler.
    void SetShowHook(std::function<void(const Rect&)> hook) { showHook_ = std::move(hook); }

    // Writes the channel names at the left edge over the current picture,
    // whatever the names setting and the scroll position; not remembered.
    void PopChannelNames();

    // --- What the session asks of the view.

    void PrepareForLoad() override;
    void ResetView() override;

    // --- Display filters: they change what is drawn and printed, never the
    // recording. Off for each recording that opens.

    // False, with the reason in *why and the filters as they were, when the
    // recording's rate cannot carry them. Names them in the status bar and
    // repaints.
    bool SetDisplayFilter(const DisplayFilterSettings& settings, std::string* why = nullptr);
    const DisplayFilterSettings& DisplayFilter() const { return filterSettings_; }
    // --- Annotations (the document's annotation list).
    // Shows annotation `index` in the middle of the client area (as near as
    // the division grid allows) and makes it the current one.
    void ShowAnnotation(std::size_t index);
    // The annotation after (or before) the current one while it is on the
    // screen, else after (before) the frame in the middle of the screen,
    // with `label` when one is given; shown, and its index returned.
    // Nothing, and the view unmoved, when there is none.
    std::optional<std::size_t> StepAnnotation(bool forward, std::string_view label = {});
    // The frame of the current annotation; none until one was shown.
    std::optional<int64_t> CurrentAnnotationFrame() const { return currentAnnotation_; }

    // --- Tags and measurement lines.

    const std::array<Tag, kMaxTags>& Tags() const { return tags_; }
    int32_t TagCount() const { return tagCount_; }
    const std::vector<MeasurementLine>& MeasurementLines() const { return lines_; }
    int32_t LineCount() const { return static_cast<int32_t>(lines_.size()); }
    // The stretch between the two tags; meaningful while TagCount is 2.
    Cutout CurrentCutout() const { return Cutout::FromTags(tags_[0].Sample, tags_[1].Sample); }
    // Writes the cut field from the tags.
    void UpdateCutText();
    // A line's label: its samples, and with physical units its time and
    // rate (mostly horizontal) or its value difference (mostly vertical).
    std::string LabelOf(const MeasurementLine& line) const;

    // --- Physical units and sizes.

    // Time and each shown channel's value at client column x; empty off
    // the recording.
    std::string ReadoutAt(int x) const;
    // The scale a channel's trace is drawn at, its size steps included.
    ShownTraceScale ShownScale(std::size_t channel) const;
    int32_t ZoomStep(std::size_t channel) const { return zoom_[channel]; }
    // Sizes the channels of the slot nearest client y by `steps` (positive:
    // larger); false when nothing changed.
    bool OnZoom(int steps, int clientY);
    // The first drawn channel of the slot nearest absolute y, if any.
    std::optional<std::size_t> ChannelNear(int32_t absoluteY) const;
    // What the ECG-paper grid implies at the current time base and gain.
    std::string PaperGridNotice() const;

    // --- Mouse and keys. Points are client pixels; while a drag holds the
    // mouse they can lie outside the client area, negative included. ctrl
    // says the Ctrl key was down.

    void OnRightDown(int x, int y, bool ctrl);
    void OnRightUp(int x, int y);
    void OnLeftDown(int x, int y, bool ctrl);
    void OnLeftUp(int x, int y);
    void OnMouseMove(int x, int y);
    // The pointer left the client area: nothing is under it to read out.
    void OnMouseLeave();
    // The marker keys and the navigation keys; true when the key took effect.
    bool OnKeyDown(int key);
    // Wheel turns, in steps (positive: towards the end or the lower slots):
    // the time axis by three divisions a step, the slots by one unit.
    void OnWheel(int steps, bool bySlots);

    bool TagDragging() const { return rightDrag_; }
    bool LineDragging() const { return leftDrag_; }

    // --- Scroll-bar requests.

    // Ignored while a drag holds the mouse: the bars cannot be reached then,
    // and the rubber band is drawn in client coordinates.
    void Scroll(ScrollAxis axis, ScrollRequest request, int32_t thumb = 0);
    // To a position (clamped): a move under a page on both axes shifts the
    // picture and repaints the uncovered strip, a longer one repaints all.
    void ScrollTo(int32_t x, int32_t y);

    // Told when the scroll position or the ranges may have changed.
    void SetScrollHook(std::function<void()> hook) { scrollHook_ = std::move(hook); }
    // Told when the tag count or the Marker list changed, which the
    // commands' enable rules read.
    void SetCountsHook(std::function<void()> hook) { countsHook_ = std::move(hook); }
    // Told a short notice for the status bar.
    void SetNoticeHook(std::function<void(const std::string&)> hook) {
        noticeHook_ = std::move(hook);
    }

  private:
    // Paint steps, in the order Paint runs them.
    void DrawPaperGrid(Canvas& canvas, const PaintPass& pass) const;
    void DrawDots(Canvas& canvas, const PaintPass& pass) const;
    void DrawNames(Canvas& canvas, bool paper = false) const;
    void DrawTimeHacks(Canvas& canvas, const PaintPass& pass) const;
    void DrawTraces(Canvas& canvas, const PaintPass& pass) const;
    void DrawMarkers(Canvas& canvas, const PaintPass& pass) const;
    void DrawAnnotationLabels(Canvas& canvas, const PaintPass& pass) const;
    void DrawMeasurementLines(Canvas& canvas, const PaintPass& pass) const;
    void DrawTags(Canvas& canvas, const PaintPass& pass) const;
    void DrawCalibration(Canvas& canvas, const PaintPass& pass) const;
    // The line and the tag being dragged, so that a repaint in the middle
    // of a drag keeps them where the next mouse move expects them.
    void DrawDrags(Canvas& canvas) const;

    // Inverting strokes straight onto the picture, shown at once.
    void InvertTagLine(int64_t x);
    void InvertBand(Point from, Point to);
    void ClearMarks();
    // Where a line's label lies in the client area.
    Rect LabelRect(const MeasurementLine& line) const;
    int32_t FrameAt(int x) const;
    void CountsChanged() {
        if (countsHook_) countsHook_();
    }
    void ScrollChanged() {
        if (scrollHook_) scrollHook_();
    }

    void Show(const Rect& rect) {
        if (showHook_) showHook_(rect);
    }

    ViewContext ctx_;
    SlotTable slots_;
    int32_t scrollX_ = 0;
    int32_t scrollY_ = 0;
    ColorRef background_ = Rgb(255, 255, 255);
    RasterCanvas buffer_;
    std::vector<Rect> pending_;
    std::function<void(const Rect&)> showHook_;
    std::function<void()> scrollHook_;
    std::function<void()> countsHook_;
    std::function<void(const std::string&)> noticeHook_;

    DisplayFilterSettings filterSettings_;
    std::optional<Cascade> filter_;  // made for the recording's rate; none while off
    int64_t filterMargin_ = 0;       // frames filtered each side of a drawn block

    std::array<Tag, kMaxTags> tags_{};
    int32_t tagCount_ = 0;
    std::vector<MeasurementLine> lines_;
    bool leftDrag_ = false;
    bool rightDrag_ = false;
    Point dragStart_;  // the line being dragged, client pixels
    Point dragEnd_;
    Point tagPoint_;                             // the tag being dragged
    std::array<int32_t, kChannelCount> zoom_{};  // size steps per channel
    Point pointer_;                              // where the pointer was last seen
    std::optional<int64_t> currentAnnotation_;
};

}  // namespace koru
