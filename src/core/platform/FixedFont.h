#pragma once
// A fixed-metric bitmap font for core code and its tests: every character
// fills a 6 x 8 cell, printable ASCII has its own 5 x 7 glyph in the cell's
// top-left corner, anything else shows as a hollow box. Its pixels are fully
// determined, so tests can compare them.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/TextRenderer.h"

namespace koru {

class FixedFont final : public TextRenderer {
  public:
    static constexpr int kCellWidth = 6;
    static constexpr int kCellHeight = 8;
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;

    // One row per entry, top first; bit 4 is the leftmost column.
    using Glyph = std::array<uint8_t, kGlyphHeight>;
    static Glyph GlyphOf(char c);

    // Width is one cell per byte of text; the height is a cell's even for
    // empty text, as a line of text always has one.
    Size Measure(std::string_view text) const override;
    void Draw(const PixelBuffer& target, const Rect& clip, int x, int y, std::string_view text,
              const TextStyle& style) const override;
};

}  // namespace koru
