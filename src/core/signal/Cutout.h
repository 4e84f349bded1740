#pragma once
// The stretch between the two tags that save, append and amplitude work on:
// from the smaller to the larger tag, both included.

#include <algorithm>
#include <cstdint>

namespace koru {

struct Cutout {
    int32_t start = 0;
    int32_t end = 0;

    // A tag dropped left of the recording counts as frame 0.
    static Cutout FromTags(int32_t a, int32_t b) {
        return Cutout{std::max(std::min(a, b), 0), std::max(std::max(a, b), 0)};
    }
    // End minus start; under 1 there is nothing to save.
    int32_t Span() const { return end - start; }
    // Frames in the cutout, both ends counted.
    int64_t Frames() const { return int64_t{end} - start + 1; }
};

}  // namespace koru
