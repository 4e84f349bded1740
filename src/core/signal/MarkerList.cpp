#include "signal/MarkerList.h"

#include <algorithm>

namespace koru {

bool MarkerList::InsertSorted(int32_t position) {
    if (Full()) return false;
    if (items.empty()) loaded = true;
    // Walking down from the end keeps the behaviour defined for lists read
    // from a file, which need not be sorted.
    std::size_t at = items.size();
    while (at > 0 && items[at - 1] >= position) --at;
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), position);
    return true;
}

std::size_t MarkerList::RemoveBetween(int32_t a, int32_t b) {
    const int32_t lo = std::min(a, b), hi = std::max(a, b);
    const std::size_t before = items.size();
    std::erase_if(items, [lo, hi](int32_t m) { return m > lo && m < hi; });
    return before - items.size();
}

}  // namespace koru
