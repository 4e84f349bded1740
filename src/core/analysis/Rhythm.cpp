#include "analysis/Rhythm.h"

#include <algorithm>
#include <cstdio>

namespace koru {

bool IsBeatLabel(std::string_view label) {
    // The beat codes of the annotation files this program reads.
    static constexpr std::string_view kBeats[] = {"N", "L", "R", "B", "A", "a", "J", "S", "V", "r",
                                                  "F", "e", "j", "n", "E", "/", "f", "Q", "?"};
    return std::find(std::begin(kBeats), std::end(kBeats), label) != std::end(kBeats);
}

std::vector<int64_t> BeatFrames(const AnnotationList& annotations) {
    std::vector<int64_t> frames;
    for (const Annotation& a : annotations.Items())
        if (IsBeatLabel(a.label)) frames.push_back(a.frame);
    return frames;
}

BeatStats StatsBetween(std::span<const int64_t> beats, int64_t from, int64_t to, double rate) {
    if (from > to) std::swap(from, to);
    const auto first = std::lower_bound(beats.begin(), beats.end(), from);
    const auto last = std::upper_bound(first, beats.end(), to);
    BeatStats stats;
    stats.beats = static_cast<std::size_t>(last - first);
    if (stats.beats < 2 || rate <= 0) return stats;
    const double span = static_cast<double>(*(last - 1) - *first) / rate;
    stats.meanRr = span / static_cast<double>(stats.beats - 1);
    if (stats.meanRr > 0) stats.meanRate = 60 / stats.meanRr;
    return stats;
}

std::string BeatStatsText(const BeatStats& stats) {
    std::string text = std::to_string(stats.beats) + (stats.beats == 1 ? " beat" : " beats");
    if (stats.meanRr <= 0) return text;
    char rest[80];
    std::snprintf(rest, sizeof rest, ", mean RR %.3f s, %.1f /min", stats.meanRr, stats.meanRate);
    return text + rest;
}

}  // namespace koru
