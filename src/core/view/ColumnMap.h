#pragma once
// Frames and pixel columns: column x shows frame (x + H) * spd / 10, with H
// the horizontal offset in pixels of the screen or the printed page.

#include <cstdint>

namespace koru {

inline constexpr int32_t kDivisionWidth = 10;  // pixels per division, the horizontal scroll unit

struct ColumnMap {
    int64_t H = 0;     // offset in pixels
    int32_t spd = 40;  // samples per division, a multiple of 10

    // The map whose left edge is `division`.
    static ColumnMap AtDivision(int64_t division, int32_t spd) {
        return ColumnMap{division * kDivisionWidth, spd};
    }
    int64_t FrameAt(int64_t x) const { return (x + H) * spd / kDivisionWidth; }
    int64_t ColumnOf(int64_t s) const { return s * kDivisionWidth / spd - H; }
    // Frames per column, at least one.
    int32_t PerColumn() const { return spd / kDivisionWidth > 0 ? spd / kDivisionWidth : 1; }
};

}  // namespace koru
