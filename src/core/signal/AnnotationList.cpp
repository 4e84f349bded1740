#include "signal/AnnotationList.h"

#include <algorithm>
#include <iterator>

namespace koru {

namespace {

bool FrameBefore(const Annotation& a, const Annotation& b) {
    return a.frame < b.frame;
}

}  // namespace

void AnnotationList::Assign(std::vector<Annotation> items) {
    items_ = std::move(items);
    ++revision_;
    std::stable_sort(items_.begin(), items_.end(), FrameBefore);
}

void AnnotationList::Add(Annotation a) {
    const auto at = std::upper_bound(items_.begin(), items_.end(), a, FrameBefore);
    items_.insert(at, std::move(a));
    ++revision_;
}

void AnnotationList::AddAll(std::vector<Annotation> items) {
    const auto middle = static_cast<std::ptrdiff_t>(items_.size());
    std::stable_sort(items.begin(), items.end(), FrameBefore);
    items_.insert(items_.end(), std::make_move_iterator(items.begin()),
                  std::make_move_iterator(items.end()));
    std::inplace_merge(items_.begin(), items_.begin() + middle, items_.end(), FrameBefore);
    ++revision_;
}

std::size_t AnnotationList::RemoveLabel(std::string_view label) {
    ++revision_;
    return static_cast<std::size_t>(
        std::erase_if(items_, [&](const Annotation& a) { return a.label == label; }));
}

std::optional<std::size_t> AnnotationList::Next(int64_t frame, std::string_view label) const {
    auto it = std::upper_bound(items_.begin(), items_.end(), frame,
                               [](int64_t f, const Annotation& a) { return f < a.frame; });
    for (; it != items_.end(); ++it)
        if (label.empty() || it->label == label)
            return static_cast<std::size_t>(it - items_.begin());
    return std::nullopt;
}

std::optional<std::size_t> AnnotationList::Previous(int64_t frame, std::string_view label) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), frame,
                               [](const Annotation& a, int64_t f) { return a.frame < f; });
    while (it != items_.begin()) {
        --it;
        if (label.empty() || it->label == label)
            return static_cast<std::size_t>(it - items_.begin());
    }
    return std::nullopt;
}

std::pair<std::size_t, std::size_t> AnnotationList::Range(int64_t from, int64_t to) const {
    const auto first = [&](int64_t f) {
        return static_cast<std::size_t>(
            std::lower_bound(items_.begin(), items_.end(), f,
                             [](const Annotation& a, int64_t x) { return a.frame < x; }) -
            items_.begin());
    };
    const std::size_t a = first(from);
    return {a, std::max(a, first(to))};
}

std::vector<std::string> AnnotationList::Labels() const {
    std::vector<std::string> out;
    for (const Annotation& a : items_) out.push_back(a.label);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::size_t AnnotationList::CountLabel(std::string_view label) const {
    return static_cast<std::size_t>(std::count_if(
        items_.begin(), items_.end(), [&](const Annotation& a) { return a.label == label; }));
}

}  // namespace koru
