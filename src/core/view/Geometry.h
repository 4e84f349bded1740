#pragma once
// The view's drawing area follows the screen, not the window: a smaller
// window shows part of it and scrolls to the rest.

#include <cstdint>

namespace koru {

struct ScreenGeometry {
    int32_t ScreenWidth = 1024;
    int32_t ScreenHeight = 768;
    int32_t PageDivisions = 100;  // until the screen size is known
    // The screen's physical resolution, which the ECG-paper grid is drawn from.
    double DotsPerInch = 96;

    void SetScreen(int32_t width, int32_t height) {
        ScreenWidth = width;
        ScreenHeight = height;
        PageDivisions = width / 10 - 2;
    }
    // The restored (not maximized) window: centred, three quarters of the screen.
    struct Rect {
        int32_t left, top, width, height;
    };
    Rect NormalPlacement() const {
        const int32_t left = ScreenWidth / 8, top = ScreenHeight / 8;
        return {left, top, 6 * left, 6 * top};
    }
};

}  // namespace koru
