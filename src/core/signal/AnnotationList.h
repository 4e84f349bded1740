#pragma once
// The recording's labelled annotations: every annotation a foreign file
// carries (beats, rhythm changes, notes), and beats the detector finds. Not
// capped, unlike the Marker list, and kept in frame order so the view and
// the next/previous keys can search it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace koru {

struct Annotation {
    int64_t frame = 0;
    std::string label;  // the annotation's mnemonic: "N", "V", "A", "+", ...
    std::string text;   // free text (a rhythm such as "(AFIB"); often empty
    int channel = -1;   // 0-based channel it belongs to; -1 for the whole recording

    bool operator==(const Annotation&) const = default;
};

class AnnotationList {
  public:
    const std::vector<Annotation>& Items() const { return items_; }
    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const Annotation& operator[](std::size_t i) const { return items_[i]; }
    void Clear() {
        items_.clear();
        ++revision_;
    }
    // Counts every change, so a window showing the list can tell it is stale.
    uint64_t Revision() const { return revision_; }

    // Replaces the list; sorted by frame, annotations at one frame keep
    // their given order.
    void Assign(std::vector<Annotation> items);
    // Adds one after any others at its frame.
    void Add(Annotation a);
    // Adds many at once (one sort, not one insertion each).
    void AddAll(std::vector<Annotation> items);
    // Removes every annotation with this label; returns how many went.
    std::size_t RemoveLabel(std::string_view label);

    // The index of the first annotation after `frame` (strictly), or of the
    // last one before it, with `label` when one is given; nothing when none.
    std::optional<std::size_t> Next(int64_t frame, std::string_view label = {}) const;
    std::optional<std::size_t> Previous(int64_t frame, std::string_view label = {}) const;
    // The indices [first, last) of the annotations with from <= frame < to.
    std::pair<std::size_t, std::size_t> Range(int64_t from, int64_t to) const;
    // The distinct labels, in ascending order.
    std::vector<std::string> Labels() const;
    // How many annotations carry the label.
    std::size_t CountLabel(std::string_view label) const;

  private:
    std::vector<Annotation> items_;
    uint64_t revision_ = 0;
};

}  // namespace koru
