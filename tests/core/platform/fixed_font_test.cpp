#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/FixedFont.h"

namespace koru {
namespace {

constexpr uint32_t kPaper = 0xFF102030u;

struct Surface {
    int width, height;
    std::vector<uint32_t> pixels;
    Surface(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), kPaper) {}
    PixelBuffer Buffer() { return PixelBuffer{pixels.data(), width, height, width}; }
    uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

bool Ink(const FixedFont::Glyph& g, int col, int row) {
    return ((g[static_cast<std::size_t>(row)] >> (FixedFont::kGlyphWidth - 1 - col)) & 1u) != 0;
}

TEST(FixedFontTest, EveryPrintableCharacterHasItsOwnGlyph) {
    std::map<FixedFont::Glyph, char> seen;
    for (char ch = ' '; ch <= '~'; ++ch) {
        const auto g = FixedFont::GlyphOf(ch);
        const auto [it, fresh] = seen.emplace(g, ch);
        EXPECT_TRUE(fresh) << "'" << ch << "' looks like '" << it->second << "'";
        bool any = false;
        for (uint8_t row : g) any = any || row != 0;
        EXPECT_EQ(any, ch != ' ') << ch;
    }
    // Characters without a glyph share one shape that no printable one has.
    EXPECT_EQ(FixedFont::GlyphOf('\t'), FixedFont::GlyphOf('\x80'));
    EXPECT_EQ(seen.count(FixedFont::GlyphOf('\t')), 0u);
}

TEST(FixedFontTest, DrawsGlyphsCellByCellFromTheTopLeftCorner) {
    FixedFont font;
    EXPECT_EQ(font.Measure(""), (Size{0, 8}));
    EXPECT_EQ(font.Measure("01:23.250"), (Size{54, 8}));

    Surface s(20, 12);
    const TextStyle style{Rgb(255, 255, 0), BkMode::Transparent, Rgb(0, 0, 0)};
    font.Draw(s.Buffer(), Rect{0, 0, 20, 12}, 3, 2, "7a", style);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 20; ++x) {
            const int cell = (x - 3) / 6, col = (x - 3) % 6, row = y - 2;
            const bool ink = x >= 3 && cell < 2 && col < 5 && row >= 0 && row < 7 &&
                             Ink(FixedFont::GlyphOf("7a"[cell]), col, row);
            EXPECT_EQ(s.At(x, y), ink ? 0xFFFFFF00u : kPaper) << x << "," << y;
        }
    }
}

TEST(FixedFontTest, OpaqueBoxAndClipping) {
    FixedFont font;
    const TextStyle style{Rgb(255, 255, 255), BkMode::Opaque, Rgb(0, 0, 255)};

    // Text starting left of the clip: only the second character's cell shows.
    Surface s(12, 10);
    const Rect clip{0, 1, 6, 10};
    font.Draw(s.Buffer(), clip, -6, 0, "-H", style);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            uint32_t want = kPaper;
            if (clip.Contains(x, y) && y < 8) {
                const bool ink = x < 5 && y < 7 && Ink(FixedFont::GlyphOf('H'), x, y);
                want = ink ? 0xFFFFFFFFu : 0xFF0000FFu;
            }
            EXPECT_EQ(s.At(x, y), want) << x << "," << y;
        }
    }

    Surface untouched(12, 10);
    font.Draw(untouched.Buffer(), Rect{0, 0, 12, 10}, 0, 10, "X", style);
    font.Draw(untouched.Buffer(), Rect{0, 0, 12, 10}, 12, 0, "X", style);
    font.Draw(untouched.Buffer(), Rect{}, 0, 0, "X", style);
    EXPECT_EQ(untouched.pixels, std::vector<uint32_t>(120, kPaper));
}

}  // namespace
}  // namespace koru
