#pragma once
// Samples per division: 640 halved down to 10, index 4 (40) at every start.

#include <array>
#include <cstdint>

namespace koru {

class TimeBase {
  public:
    static constexpr int32_t kEntries = 7;

    TimeBase() {
        int32_t v = 640;
        for (auto& e : table_) {
            e = v;
            v /= 2;
        }
    }
    int32_t Spd() const { return table_[static_cast<std::size_t>(index_)]; }
    int32_t Index() const { return index_; }
    void SetIndex(int32_t i) {
        if (i >= 0 && i < kEntries) index_ = i;
    }
    int32_t Entry(int32_t i) const { return table_[static_cast<std::size_t>(i)]; }

  private:
    std::array<int32_t, kEntries> table_{};
    int32_t index_ = 4;
};

}  // namespace koru
