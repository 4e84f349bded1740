#pragma once
// The hook through which a raster canvas draws text. The program plugs in
// the desktop's font rasteriser; core code and its tests use FixedFont, whose
// pixels are known exactly.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Canvas.h"

namespace koru {

// Pixels are stored as 0xFFRRGGBB, one uint32_t each, so a 32-bit RGB image
// of the toolkit can wrap the memory as it is.
constexpr uint32_t PixelFromColor(ColorRef c) {
    return 0xFF000000u | (static_cast<uint32_t>(RedOf(c)) << 16) |
           (static_cast<uint32_t>(GreenOf(c)) << 8) | BlueOf(c);
}
constexpr ColorRef ColorFromPixel(uint32_t p) {
    return Rgb((p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu);
}

// A writable view of a pixel buffer; stride is counted in pixels, not bytes.
struct PixelBuffer {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    uint32_t& At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                      static_cast<std::size_t>(x)];
    }
};

struct TextStyle {
    ColorRef color = Rgb(0, 0, 0);
    BkMode bkMode = BkMode::Opaque;
    ColorRef bkColor = Rgb(255, 255, 255);
};

class TextRenderer {
  public:
    virtual ~TextRenderer() = default;

    // Width and height of the text's cell box in pixels.
    virtual Size Measure(std::string_view text) const = 0;

    // Draws text with its top-left corner at (x, y); in opaque mode the box
    // Measure reports is filled with the background colour first. Nothing is
    // written outside `clip`, which lies within the buffer.
    virtual void Draw(const PixelBuffer& target, const Rect& clip, int x, int y,
                      std::string_view text, const TextStyle& style) const = 0;
};

}  // namespace koru
