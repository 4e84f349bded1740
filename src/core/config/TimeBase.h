#pragma once
// Samples per division: 640 halved down to 10, index 4 (40) at every start.
// Two wider steps (1280 and 2560, indices -1 and -2) are reached only by
// stepping, for an overview; the dialog offers the seven.

#include <algorithm>
#include <array>
#include <cstdint>

namespace koru {

class TimeBase {
  public:
    static constexpr int32_t kEntries = 7;
    static constexpr int32_t kWideEntries = 2;

    TimeBase() {
        int32_t v = 640;
        for (auto& e : table_) {
            e = v;
            v /= 2;
        }
    }
    int32_t Spd() const { return Entry(index_); }
    int32_t Index() const { return index_; }
    void SetIndex(int32_t i) {
        if (i >= 0 && i < kEntries) index_ = i;
    }
    // Any index from -kWideEntries to kEntries - 1.
    int32_t Entry(int32_t i) const {
        return i < 0 ? table_[0] << -i : table_[static_cast<std::size_t>(i)];
    }
    // Steps finer (positive) or wider, the wide steps included, stopping at
    // either end; false when it did not move.
    bool Step(int32_t steps) {
        const int32_t next = std::clamp(index_ + steps, -kWideEntries, kEntries - 1);
        if (next == index_) return false;
        index_ = next;
        return true;
    }

  private:
    std::array<int32_t, kEntries> table_{};
    int32_t index_ = 4;
};

}  // namespace koru
