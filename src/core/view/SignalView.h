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
#include <string>
#include <vector>

#include "app/Session.h"
#include "config/ChannelConfig.h"
#include "platform/Canvas.h"
#include "platform/RasterCanvas.h"

namespace koru {

inline constexpr int32_t kDivisionWidth = 10;  // pixels per division, the horizontal scroll unit
inline constexpr int32_t kVerticalUnit = 30;   // pixels per vertical scroll unit
inline constexpr int32_t kVerticalRange = 16;  // vertical scroll units while a recording is open
inline constexpr int32_t kNameX = 10;
inline constexpr int32_t kTraceDivisor = 160;  // value * DisplaySize / 160 pixels

// Where the channel shown at display position p (1..8, entry p - 1) has its
// zero line and its name.
struct Slot {
    int32_t NameX = kNameX;
    int32_t BaselineY = 0;
};
using SlotTable = std::array<Slot, kDisplaySlots>;
SlotTable MakeSlotTable(int32_t screenHeight);

// Horizontal scroll range in divisions: (frames * 10 / spd) / 10.
int32_t HorizontalRangeFor(int64_t frameCount, int32_t spd);

// The position field: "Time: mm:ss.ffffff  Page: p.dd/q.dd" (or milliseconds),
// the page numbers counting PageDivisions divisions each.
std::string PositionText(int32_t scrollX, int32_t horizontalRange, int32_t pageDivisions,
                         int32_t spd, uint32_t interval, bool microsecondResolution);

// y of value v for a channel at baseline y with the given size, before the
// vertical scroll offset; positive values go up, the quotient truncates.
inline int64_t TraceOffset(int32_t value, int32_t displaySize) {
    return static_cast<int64_t>(value) * displaySize / kTraceDivisor;
}

// What one run of the paint operation works from; every step of it reads
// the same values. Overlays added later (tags, measurement lines) take it too.
struct PaintPass {
    Rect rect;            // the update rectangle
    int32_t L = 0;        // first column computed (one left of the rectangle for the seam)
    int32_t R = 0;        // last column computed (one right of it)
    int64_t H = 0;        // horizontal offset in pixels
    int64_t S0 = 0;       // frame under column L
    int64_t S1 = 0;       // frame under column R
    bool printing = false;
};

class SignalView : public ViewControl {
  public:
    explicit SignalView(Session& session);

    // --- Geometry and mapping.

    const SlotTable& Slots() const { return slots_; }
    // Baseline of display position 1..8.
    int32_t BaselineY(int32_t position) const {
        return slots_[static_cast<std::size_t>(position - 1)].BaselineY;
    }
    int32_t Spd() const;
    // Horizontal offset of the screen picture in pixels.
    int64_t ScreenOffset() const { return static_cast<int64_t>(scrollX_) * kDivisionWidth; }
    // Frame under client column x, and the client column of frame s, on the screen.
    int64_t FrameAtColumn(int64_t x) const { return (x + ScreenOffset()) * Spd() / 10; }
    int64_t ColumnOfFrame(int64_t s) const { return s * 10 / Spd() - ScreenOffset(); }
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
    // To a division (clamped into the range), vertical position clamped,
    // whole client area to be repainted.
    void Reposition(int32_t division);

    // --- Printing: the printout sets these before it paints a page.

    void BeginPrintPage(int32_t startDivision) {
        printStartDivision_ = startDivision;
        printingPage_ = true;
    }
    bool PrintingPage() const { return printingPage_; }
    int32_t PrintStartDivision() const { return printStartDivision_; }
    void SetPrintStartDivision(int32_t division) { printStartDivision_ = division; }

    // Draws the part of the view inside rect. The caller has erased the
    // background; nothing is drawn while no recording is open. On a printed
    // page (BeginPrintPage) the offset is the page's start division.
    void Paint(Canvas& canvas, const Rect& rect);

    // --- The back buffer: the picture of the client area.

    RasterCanvas& BackBuffer() { return buffer_; }
    const RasterCanvas& BackBuffer() const { return buffer_; }
    Rect ClientRect() const { return Rect{0, 0, buffer_.Width(), buffer_.Height()}; }
    // The client area changed size: a buffer of that size, repositioned at
    // the same division.
    void ResizeClient(int width, int height);
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

  private:
    // Paint steps, in the order Paint runs them.
    void DrawDots(Canvas& canvas, const PaintPass& pass) const;
    void DrawNames(Canvas& canvas) const;
    void DrawTimeHacks(Canvas& canvas, const PaintPass& pass) const;
    void DrawTraces(Canvas& canvas, const PaintPass& pass) const;
    void DrawMarkers(Canvas& canvas, const PaintPass& pass) const;

    void Show(const Rect& rect) {
        if (showHook_) showHook_(rect);
    }

    Session& session_;
    SlotTable slots_;
    int32_t scrollX_ = 0;
    int32_t scrollY_ = 0;
    bool printingPage_ = false;
    int32_t printStartDivision_ = 0;
    ColorRef background_ = Rgb(255, 255, 255);
    RasterCanvas buffer_;
    std::vector<Rect> pending_;
    std::function<void(const Rect&)> showHook_;
};

}  // namespace koru
