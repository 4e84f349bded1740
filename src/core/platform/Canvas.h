#pragma once
// The drawing surface the view, the overlays and the printout draw on. The
// calls and their pixel rules are those of the classic device-context API the
// drawing code was designed against, so that code reads like its design:
// pens are width 1 and solid, lines leave out their end pixel, the inverting
// raster operation inverts each covered pixel once per stroke.
//
// The drawing state (pen, raster operation, background mode and colour, text
// colour, current position) is kept here, so every canvas saves and restores
// it the same way; the concrete canvases read it when they draw.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Color.h"

namespace koru {

// What GetPixel answers for a point off the surface.
constexpr ColorRef CLR_INVALID = 0xFFFFFFFFu;

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive, as for update rectangles.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    Rect Intersect(const Rect& o) const {
        Rect r{left > o.left ? left : o.left, top > o.top ? top : o.top,
               right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom};
        if (r.Empty()) return Rect{};
        return r;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Raster operations for lines: write the pen colour, or invert what is there.
enum class Rop { CopyPen, Not };

// Whether text cells are first filled with the background colour.
enum class BkMode { Transparent, Opaque };

struct CanvasState {
    ColorRef pen = Rgb(0, 0, 0);
    Rop rop = Rop::CopyPen;
    BkMode bkMode = BkMode::Opaque;
    ColorRef bkColor = Rgb(255, 255, 255);
    ColorRef textColor = Rgb(0, 0, 0);
    Point position;
};

class Canvas {
  public:
    virtual ~Canvas() = default;

    // Size of the logical drawing area in pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // True on paper: there an inverting stroke prints black and GetPixel
    // answers white, so callers that read back pixels can tell.
    virtual bool IsPrinter() const { return false; }

    // Sets one pixel to exactly that colour, whatever the raster operation.
    // Points off the surface (or outside its clip) are ignored.
    virtual void SetPixel(int x, int y, ColorRef color) = 0;
    // CLR_INVALID off the surface.
    virtual ColorRef GetPixel(int x, int y) const = 0;

    // Sets the current position; answers the previous one.
    Point MoveToEx(int x, int y) {
        Point old = state_.position;
        state_.position = Point{x, y};
        return old;
    }
    Point CurrentPosition() const { return state_.position; }

    // A line from the current position to (x, y) in the current pen and
    // raster operation. It covers its start pixel and leaves out its end
    // pixel; (x, y) becomes the current position.
    void LineTo(int x, int y) {
        DrawLine(state_.position, Point{x, y});
        state_.position = Point{x, y};
    }

    // MoveToEx(from) then LineTo(to), in one call: painting many short
    // strokes should not round-trip every start through the current position.
    void StrokeLine(Point from, Point to) {
        DrawLine(from, to);
        state_.position = to;
    }

    // Segments from each point to the next, each drawn as by LineTo: the
    // joints are covered once (by the segment that starts there) and only
    // the last point is left out, so a closed outline (last point equal to
    // the first) covers every corner exactly once. Each segment is its own
    // stroke: where two segments cross, an inverting polyline inverts twice.
    // The current position is neither used nor changed.
    virtual void Polyline(std::span<const Point> points) {
        for (std::size_t i = 1; i < points.size(); ++i) DrawLine(points[i - 1], points[i]);
    }

    // Text with its top-left corner at (x, y), in the text colour; in opaque
    // mode its whole extent is first filled with the background colour. The
    // raster operation does not apply to text.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual Size GetTextExtent(std::string_view text) const = 0;

    // Each setter answers the previous value, so a caller can put it back.
    ColorRef SelectPen(ColorRef color) { return Exchange(state_.pen, color); }
    ColorRef CurrentPen() const { return state_.pen; }
    Rop SetROP2(Rop rop) { return Exchange(state_.rop, rop); }
    Rop GetROP2() const { return state_.rop; }
    BkMode SetBkMode(BkMode mode) { return Exchange(state_.bkMode, mode); }
    BkMode GetBkMode() const { return state_.bkMode; }
    ColorRef SetBkColor(ColorRef color) { return Exchange(state_.bkColor, color); }
    ColorRef GetBkColor() const { return state_.bkColor; }
    ColorRef SetTextColor(ColorRef color) { return Exchange(state_.textColor, color); }
    ColorRef GetTextColor() const { return state_.textColor; }

    // A stack of saved states. RestoreState on an empty stack changes
    // nothing and answers false.
    virtual void SaveState() { saved_.push_back(state_); }
    virtual bool RestoreState() {
        if (saved_.empty()) return false;
        state_ = saved_.back();
        saved_.pop_back();
        return true;
    }

    const CanvasState& State() const { return state_; }

  protected:
    // The stroke from `from` to `to` without the pixel at `to`; nothing when
    // they are equal.
    virtual void DrawLine(Point from, Point to) = 0;

  private:
    template <typename T>
    static T Exchange(T& slot, T value) {
        T old = slot;
        slot = value;
        return old;
    }

    CanvasState state_;
    std::vector<CanvasState> saved_;
};

// Saves the state on construction and restores it on scope exit.
class CanvasStateGuard {
  public:
    explicit CanvasStateGuard(Canvas& canvas) : canvas_(canvas) { canvas_.SaveState(); }
    ~CanvasStateGuard() { canvas_.RestoreState(); }
    CanvasStateGuard(const CanvasStateGuard&) = delete;
    CanvasStateGuard& operator=(const CanvasStateGuard&) = delete;

  private:
    Canvas& canvas_;
};

}  // namespace koru
