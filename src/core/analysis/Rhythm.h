#pragma once
// The rhythm the beats of the annotation list make: which annotations are
// beats, and the count, mean RR interval and mean rate over a stretch.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "signal/AnnotationList.h"

namespace koru {

// Whether an annotation label stands for a heart beat (normal, bundle branch
// block, premature, escape, fusion, paced, unclassified) rather than a
// rhythm change, noise or a comment.
bool IsBeatLabel(std::string_view label);

// The frames of the beat annotations, ascending.
std::vector<int64_t> BeatFrames(const AnnotationList& annotations);

struct BeatStats {
    std::size_t beats = 0;
    double meanRr = 0;    // seconds; 0 with fewer than two beats
    double meanRate = 0;  // beats a minute, 60 / meanRr
};

// The beats with from <= frame <= to (ascending `beats`, `rate` frames a
// second): the intervals counted are those between two of them.
BeatStats StatsBetween(std::span<const int64_t> beats, int64_t from, int64_t to, double rate);

// "12 beats, mean RR 0.812 s, 73.9 /min"; "1 beat" or "0 beats" alone.
std::string BeatStatsText(const BeatStats& stats);

}  // namespace koru
