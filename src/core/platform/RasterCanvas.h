#pragma once
// A canvas on a 32-bit pixel buffer in memory: the view's back buffer, which
// the window shows as it is, and the surface of headless renders and tests.
//
// The buffer is a ring both ways: a scroll moves where the picture starts in
// memory instead of moving its pixels, so a line scroll costs the strip it
// uncovers and not a copy of the whole picture. Pixels() and Buffer() put
// the start back at the first byte before they answer; the window shows the
// ring as it lies through StoredPieces.
//
// Lines follow one fixed walk, so every result is exact and repeatable: from
// the start point step along the major axis, and step the minor axis when the
// error term e (starting at the major length, less twice the minor length per
// step) drops below zero, adding back twice the major length. Ties therefore
// lean toward the start point, and a line is not always the same pixel set as
// the one drawn in the opposite direction. The walk plus the end pixel is the
// pixel-by-pixel inverting walk the view uses for measurement lines, so a
// line drawn with LineTo and one repainted pixel by pixel agree.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"
#include "platform/TextRenderer.h"

namespace koru {

class RasterCanvas final : public Canvas {
  public:
    // An empty canvas; Resize gives it pixels.
    RasterCanvas();
    RasterCanvas(int width, int height, ColorRef fill = Rgb(255, 255, 255));

    // --- Buffer management; none of these is limited by the clip.

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    // Pixels per row; rows follow each other without padding.
    int Stride() const { return width_; }
    int BytesPerLine() const { return width_ * 4; }
    // Row-major 0xFFRRGGBB pixels, Stride() per row, the picture's top-left
    // first. After a scroll this first moves the pixels back into that
    // order: one copy of the buffer, which the window never asks for.
    uint32_t* Pixels() {
        Straighten();
        return pixels_.data();
    }
    const uint32_t* Pixels() const {
        Straighten();
        return pixels_.data();
    }
    PixelBuffer Buffer() {
        Straighten();
        return PixelBuffer{pixels_.data(), width_, height_, width_};
    }

    // The buffer as it lies in memory, rows of Stride() pixels, and where
    // each part of a rectangle of the picture lies in it: up to four pieces
    // with their top-left in stored pixels. Drawing each piece at its area
    // shows the rectangle without putting the ring in order.
    struct StoredPiece {
        Rect area;       // in picture coordinates
        Point storedAt;  // area's top-left in StoredPixels()
    };
    const uint32_t* StoredPixels() const { return pixels_.data(); }
    std::vector<StoredPiece> StoredPieces(const Rect& rect) const;

    // Keeps the part of the picture both sizes share (anchored top-left) and
    // fills the rest with `fill`. Negative sizes count as 0. False when the
    // memory for the new size cannot be had: the canvas is then empty, its
    // old pixels given back, rather than the failure ending the program.
    bool Resize(int width, int height, ColorRef fill = Rgb(255, 255, 255));
    void Fill(ColorRef color);

    // Moves the picture by (dx, dy) pixels, positive to the right and down,
    // as a window scroll does, without copying it. Pixels moved off one side
    // come back in on the other, in the uncovered area, which the caller
    // erases and repaints. A move of the whole width or height moves
    // nothing. Answers the uncovered area as up to two disjoint rectangles
    // (a band across the full width for dy, then the rest of the uncovered
    // columns for dx).
    std::vector<Rect> ScrollPixels(int dx, int dy);

    // --- Clip: drawing (pixels, lines, text, FillRect) stays inside it.
    // A partial repaint sets it to the update rectangle, so the seam columns
    // the paint draws on either side never touch pixels outside the strip.

    void SetClipRect(const Rect& clip);
    void ResetClipRect();
    // The clip in use, already limited to the buffer.
    Rect ClipRect() const { return clip_; }

    // --- Drawing.

    void SetPixel(int x, int y, ColorRef color) override {
        if (clip_.Contains(x, y)) At(x, y) = PixelFromColor(color);
    }
    // Answers any pixel of the buffer, inside the clip or not, so that a
    // picture can be checked after a clipped repaint.
    ColorRef GetPixel(int x, int y) const override;
    void FillRect(const Rect& rect, ColorRef color);

    // One column of a screen trace without a virtual call: the pixels that
    // SetPixel(x, yLow) gives when yLow == yHigh, else those of MoveToEx(x,
    // yLow) and LineTo(x, yHigh) in copy mode, all in `pixel`.
    void TraceColumn(int x, int yLow, int yHigh, uint32_t pixel) {
        int y0 = yLow, y1 = yLow;
        if (yHigh > yLow) y1 = yHigh - 1;
        if (yHigh < yLow) y0 = yHigh + 1;
        FillColumn(x, y0, y1, pixel);
    }

    void TextOut(int x, int y, std::string_view text) override;
    Size GetTextExtent(std::string_view text) const override;

    // Text goes through this hook; FixedFont unless another is set. A null
    // renderer puts FixedFont back.
    void SetTextRenderer(std::shared_ptr<const TextRenderer> renderer);
    const TextRenderer& GetTextRenderer() const { return *text_; }

  protected:
    void DrawLine(Point from, Point to) override;

  private:
    // Stored column or row of a picture column or row inside the buffer.
    int StoredX(int x) const {
        return x + originX_ >= width_ ? x + originX_ - width_ : x + originX_;
    }
    int StoredY(int y) const {
        return y + originY_ >= height_ ? y + originY_ - height_ : y + originY_;
    }
    uint32_t& At(int x, int y) {
        return pixels_[static_cast<std::size_t>(StoredY(y)) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(StoredX(x))];
    }
    // Puts the picture's top-left back at the first pixel.
    void Straighten() const;
    void Recalculate();
    void VerticalLine(int x, int y0, int y1);  // rows y0..y1 inclusive, y0 <= y1
    // Calls op(first, count) for the stored runs of rows y0..y1 of column x,
    // clipped: at most two, split where the ring wraps; first steps by the
    // stride. Likewise along row y for columns x0..x1.
    template <typename Op>
    void ForColumn(int x, int y0, int y1, Op op) {
        if (x < clip_.left || x >= clip_.right) return;
        y0 = std::max(y0, clip_.top);
        y1 = std::min(y1, clip_.bottom - 1);
        if (y0 > y1) return;
        uint32_t* column = pixels_.data() + StoredX(x);
        const auto stride = static_cast<std::size_t>(width_);
        int row = StoredY(y0);
        for (int left = y1 - y0 + 1; left > 0; row = 0) {
            const int run = std::min(left, height_ - row);
            op(column + static_cast<std::size_t>(row) * stride, run);
            left -= run;
        }
    }
    template <typename Op>
    void ForRow(int y, int x0, int x1, Op op) {
        if (y < clip_.top || y >= clip_.bottom) return;
        x0 = std::max(x0, clip_.left);
        x1 = std::min(x1, clip_.right - 1);
        if (x0 > x1) return;
        uint32_t* row = pixels_.data() +
                        static_cast<std::size_t>(StoredY(y)) * static_cast<std::size_t>(width_);
        int column = StoredX(x0);
        for (int left = x1 - x0 + 1; left > 0; column = 0) {
            const int run = std::min(left, width_ - column);
            op(row + column, run);
            left -= run;
        }
    }
    // Rows y0..y1 of column x, clipped, set to `pixel`.
    void FillColumn(int x, int y0, int y1, uint32_t pixel) {
        const auto stride = static_cast<std::size_t>(width_);
        ForColumn(x, y0, y1, [pixel, stride](uint32_t* p, int n) {
            for (; n > 0; --n, p += stride) *p = pixel;
        });
    }
    void HorizontalLine(int y, int x0, int x1);  // columns x0..x1 inclusive, x0 <= x1
    void WalkLine(Point from, Point to);

    int width_ = 0;
    int height_ = 0;
    // The ring's state is no part of the picture: putting it in order, as
    // the const readers of Pixels() need, changes no pixel of the picture.
    mutable std::vector<uint32_t> pixels_;
    mutable int originX_ = 0;  // stored column of picture column 0
    mutable int originY_ = 0;  // stored row of picture row 0
    std::optional<Rect> requestedClip_;
    Rect clip_;
    std::shared_ptr<const TextRenderer> text_;
};

}  // namespace koru
