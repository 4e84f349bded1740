#pragma once
// The recording's markers: frame positions worth attention, such as beats.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace koru {

struct MarkerList {
    static constexpr std::size_t kCapacity = 2048;
    std::vector<int32_t> items;  // frame indices; ascending when edited with the keys
    bool loaded = false;         // whether the view draws markers at all
    // The list as its file held it when read or last saved, so closing can
    // tell whether edits would be lost.
    std::vector<int32_t> saved;

    int32_t Count() const { return static_cast<int32_t>(items.size()); }
    bool Full() const { return items.size() >= kCapacity; }
    void Clear() {
        items.clear();
        saved.clear();
        loaded = false;
    }
    bool Changed() const { return items != saved; }
    void MarkSaved() { saved = items; }

    // Puts `position` before the first marker not less than it, counted from
    // the end, so an ascending list stays ascending and an equal value goes
    // first. False (and nothing changed) when the list is full.
    bool InsertSorted(int32_t position);
    // Removes every marker strictly between the two positions, given in
    // either order; returns how many went.
    std::size_t RemoveBetween(int32_t a, int32_t b);
};

}  // namespace koru
