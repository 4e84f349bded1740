#include "QrsDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace koru {
namespace {

int64_t ToFrames(double seconds, double rate) {
    return std::max<int64_t>(1, std::llround(seconds * rate));
}

// Group delay in frames at `hz`: minus the phase's slope.
double GroupDelay(const Cascade& c, double rate, double hz) {
    const double dhz = 1e-3;
    const double phase = std::arg(c.Response(rate, hz + dhz) / c.Response(rate, hz - dhz));
    return -phase / (2 * 2 * std::numbers::pi * dhz / rate);
}

template <std::size_t N>
double Mean(const std::array<double, N>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / N;
}

}  // namespace

QrsDetector::QrsDetector(double rate, const QrsSettings& settings) : settings_(settings) {
    const double high = std::min(settings.bandHigh, rate * 0.45);
    if (const auto hp = HighPass(rate, settings.bandLow)) band_.Append({*hp});
    if (const auto lp = LowPass(rate, high)) band_.Append({*lp});
    window_ = ToFrames(settings.window, rate);
    slopeSpan_ = ToFrames(settings.slopeSpan, rate);
    hold_ = ToFrames(settings.hold, rate);
    refractory_ = ToFrames(settings.refractory, rate);
    tWave_ = ToFrames(settings.tWave, rate);
    replaceWithin_ = ToFrames(settings.replaceWithin, rate);
    learn_ = ToFrames(settings.learn, rate);
    rate_ = ToFrames(1, rate);
    delay_ = std::llround(GroupDelay(band_, rate, std::sqrt(settings.bandLow * high)));
    if (const auto hp = HighPass(rate, 1)) shape_.Append({*hp});
    if (const auto lp = LowPass(rate, std::min(40.0, rate * 0.45))) shape_.Append({*lp});
    shapeDelay_ = std::llround(GroupDelay(shape_, rate, 10));
    markWithin_ = ToFrames(settings.markWithin, rate);
    // The ring reaches back over a window, the wait for a top and the slope step.
    std::size_t ring = 1;
    while (ring <
           static_cast<std::size_t>(window_ + hold_ + slopeSpan_ + delay_ + 2 * markWithin_ + 8))
        ring *= 2;
    mask_ = ring - 1;
    s_.band.resize(band_.Sections().size());
    s_.bp.assign(ring, 0.0f);
    s_.shape.resize(shape_.Sections().size());
    s_.shaped.assign(ring, 0.0f);
    s_.energy.assign(static_cast<std::size_t>(window_), 0.0f);
    s_.rr.fill(rate_);
}

void QrsDetector::Step(float x, std::vector<int64_t>& beats) {
    State& s = s_;
    double v = std::isfinite(x) ? x : 0.0;
    if (s.t == 0) {  // a recording's offset is no beat
        band_.Settle(s.band, v);
        shape_.Settle(s.shape, v);
    }
    double w = v;
    for (std::size_t k = 0; k < s.shape.size(); ++k) w = s.shape[k].Step(shape_.Sections()[k], w);
    s.shaped[static_cast<std::size_t>(s.t) & mask_] = static_cast<float>(w);
    for (std::size_t k = 0; k < s.band.size(); ++k) v = s.band[k].Step(band_.Sections()[k], v);
    s.bp[static_cast<std::size_t>(s.t) & mask_] = static_cast<float>(v);
    const double slope = v - s.bp[static_cast<std::size_t>(s.t - slopeSpan_) & mask_];
    const std::size_t e = static_cast<std::size_t>(s.t % window_);
    // The slope's size, not its square: a tall ectopic beat then raises the
    // levels less, and the small beats after it still clear the threshold.
    const double size = std::abs(slope);
    s.energySum += size - s.energy[e];
    s.energy[e] = static_cast<float>(size);
    if (e == 0) {  // the running sum drifts with rounding; rebuild it once a window
        s.energySum = 0;
        for (const float q : s.energy) s.energySum += q;
    }
    const double sum = std::max(0.0, s.energySum);

    if (sum > s.prevSum) s.armed = true;
    if (s.armed) {
        if (sum > s.hump.height) s.hump = {s.t, sum, 0, -1};
        if (s.hump.height > 0 && (sum < s.hump.height / 2 || s.t - s.hump.peak >= hold_))
            TopReached(beats);
    }
    s.prevSum = sum;
    ++s.t;
    if (s.learning && s.t >= learn_) EndLearning(beats);
    if (s.pending && s.t - s.last.peak > tWave_) HandOut(beats);
    if (!s.learning) SearchBack(beats);
}

void QrsDetector::EndLearning(std::vector<int64_t>& beats) {
    State& s = s_;
    s.learning = false;
    s.beatLevels.fill(s.learnTop);
    s.noiseLevels.fill(0);
    for (std::size_t i = 0; i < s.learntCount; ++i) Classify(s.learnt[i], beats);
}

void QrsDetector::TopReached(std::vector<int64_t>& beats) {
    const Hump h = Measure(s_.hump.peak, s_.hump.height);
    s_.hump = {};
    s_.armed = false;
    if (s_.learning) {
        s_.learnTop = std::max(s_.learnTop, h.height);
        if (s_.learntCount < s_.learnt.size()) s_.learnt[s_.learntCount++] = h;
        return;
    }
    Classify(h, beats);
}

QrsDetector::Hump QrsDetector::Measure(int64_t peak, double height) const {
    Hump h{peak, height, 0, peak};
    double top = -1;
    for (int64_t i = std::max<int64_t>(peak - window_, slopeSpan_); i <= peak; ++i) {
        const double b = s_.bp[static_cast<std::size_t>(i) & mask_];
        h.slope = std::max(h.slope,
                           std::abs(b - s_.bp[static_cast<std::size_t>(i - slopeSpan_) & mask_]));
        if (std::abs(b) > top) {
            top = std::abs(b);
            h.beat = i;
        }
    }
    // The band-pass rings around the QRS; its tallest deflection is the mark.
    const int64_t centre = h.beat - delay_ + shapeDelay_;
    top = -1;
    for (int64_t i = std::max<int64_t>(0, centre - markWithin_);
         i <= std::min(centre + markWithin_, s_.t - 1); ++i) {
        const double b = std::abs(s_.shaped[static_cast<std::size_t>(i) & mask_]);
        if (b > top) {
            top = b;
            h.beat = i;
        }
    }
    h.beat = std::max<int64_t>(0, h.beat - shapeDelay_);
    return h;
}

double QrsDetector::Threshold() const {
    const double noise = Mean(s_.noiseLevels), beat = Mean(s_.beatLevels);
    return noise + settings_.threshold * (beat - noise);
}

double QrsDetector::MeanRr() const {
    return static_cast<double>(std::accumulate(s_.rr.begin(), s_.rr.end(), int64_t{0})) / kLevels;
}

void QrsDetector::Classify(const Hump& h, std::vector<int64_t>& beats) {
    State& s = s_;
    const int64_t since = s.last.peak < 0 ? INT64_MAX : h.peak - s.last.peak;
    if (since < refractory_) {  // the beat's own tail, unless it was a P wave before this QRS
        if (s.pending && h.slope > settings_.replace * s.last.slope && h.height > Threshold())
            Accept(h, false, beats);
        return;
    }
    const bool tWave = since <= tWave_ && h.slope < settings_.tWaveSlope * s.last.slope;
    if (h.height > Threshold() && !tWave) {
        Accept(h, false, beats);
        return;
    }
    s.noiseLevels[s.noiseNext++ % kLevels] = h.height;
    if (!tWave && since > tWave_ && h.slope >= settings_.searchBackSlope * Mean(s.slopes) &&
        h.height > s.candidate.height)
        s.candidate = h;
}

void QrsDetector::Accept(Hump h, bool searched, std::vector<int64_t>& beats) {
    State& s = s_;
    if (s.pending && h.peak - s.last.peak <= replaceWithin_ &&
        h.slope > settings_.replace * s.last.slope) {
        // The pending beat was a P wave or noise before this QRS: take it back.
        s.last = s.undo.last;
        s.beatNext = s.undo.beatNext;
        s.rrNext = s.undo.rrNext;
        s.beatLevels[s.beatNext % kLevels] = s.undo.level;
        s.slopes[s.beatNext % kLevels] = s.undo.slope;
        s.rr[s.rrNext % kLevels] = s.undo.rr;
        s.pending = false;
    }
    HandOut(beats);
    s.undo = {s.last,
              s.beatLevels[s.beatNext % kLevels],
              s.slopes[s.beatNext % kLevels],
              s.rr[s.rrNext % kLevels],
              s.beatNext,
              s.rrNext};
    if (s.last.peak >= 0) s.rr[s.rrNext++ % kLevels] = h.peak - s.last.peak;
    double level = h.height;
    if (searched) level = 0.25 * h.height + 0.75 * Mean(s.beatLevels);
    s.slopes[s.beatNext % kLevels] = h.slope;
    s.beatLevels[s.beatNext++ % kLevels] = level;
    s.last = h;
    s.candidate = {};
    s.lastLowered = s.t;
    s.pending = true;
}

void QrsDetector::HandOut(std::vector<int64_t>& beats) {
    State& s = s_;
    if (!s.pending) return;
    s.pending = false;
    if (s.last.beat > s.lastBeatOut) {
        beats.push_back(s.last.beat);
        s.lastBeatOut = s.last.beat;
    }
}

void QrsDetector::SearchBack(std::vector<int64_t>& beats) {
    State& s = s_;
    if (s.last.peak < 0) {
        if (s.t - s.lastLowered > 2 * learn_) {  // nothing yet: the first levels were too high
            for (double& l : s.beatLevels) l /= 2;
            s.lastLowered = s.t;
        }
        return;
    }
    const double limit = settings_.searchBack * MeanRr();
    if (static_cast<double>(s.t - s.last.peak) <= limit) return;
    if (s.candidate.peak >= 0 && s.candidate.height > settings_.searchBackShare * Threshold()) {
        Accept(s.candidate, true, beats);
        return;
    }
    if (s.t - s.lastLowered > learn_) {  // a long pause or levels out of date: lower them
        for (double& l : s.beatLevels) l /= 2;
        s.lastLowered = s.t;
    }
}

void QrsDetector::Finish(std::vector<int64_t>& beats) {
    if (s_.hump.height > 0) TopReached(beats);
    if (s_.learning) EndLearning(beats);
    if (s_.last.peak >= 0 && s_.candidate.peak >= 0 &&
        static_cast<double>(s_.t - s_.last.peak) > settings_.searchBack * MeanRr() &&
        s_.candidate.height > settings_.searchBackShare * Threshold())
        Accept(s_.candidate, true, beats);
    HandOut(beats);
}

}  // namespace koru
