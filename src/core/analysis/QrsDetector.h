#pragma once
// Beats from one channel pushed in blocks of any size. The signal is
// band-passed to the QRS band and the size of its slope summed over a window;
// each hump of that sum is a QRS when it stands out from the levels of the
// recent beats and of the recent noise. A T wave is told apart by its gentler
// slope, a tall P wave taken for a beat gives way to the steeper QRS just
// after it, and a beat missed is looked for again when a pause grows long.
// The beat is marked at the QRS's tallest deflection. All it remembers is in
// State; memory is fixed once the rate is known.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/Biquad.h"

namespace koru {

struct QrsSettings {                    // physiology in seconds and hertz, turned into frames once
    double bandLow = 6, bandHigh = 20;  // the band that holds most of a QRS's energy
    double window = 0.15;               // slope energy summed over about a QRS's width
    double slopeSpan = 0.02;            // the slope is taken over this step
    double hold = 0.25;                 // a hump's top stands when this long passes unbeaten
    double refractory = 0.2;            // no heart beats twice within it
    double tWave = 0.36;                // a hump this soon after a beat may be its T wave
    double tWaveSlope = 0.5;            // ... and is, when its slope is below this share
    double threshold = 0.3125;          // the share of the way from noise to beat level
    double replace = 1.2;               // a beat soon after, this much steeper, takes its place
    double replaceWithin = 0.25;        // ... when it comes within this time
    double searchBack = 1.5;            // look again after this many mean RR intervals
    double searchBackShare = 0.5;       // ... for a hump above this share of the threshold
    double searchBackSlope = 0.3;       // ... as steep as this share of the recent beats
    double learn = 2.0;                 // seconds that set the first levels
    double markWithin = 0.06;           // the beat is marked at the tallest deflection this near
};

class QrsDetector {
  public:
    // `rate` in frames a second, 100 or more for the defaults' band.
    explicit QrsDetector(double rate, const QrsSettings& settings = {});
    // Appends the frame of each beat it is now sure of, in ascending order.
    void Push(std::span<const float> block, std::vector<int64_t>& beats) {
        for (const float x : block) Step(x, beats);
    }
    // The beats still pending at the end of the data.
    void Finish(std::vector<int64_t>& beats);
    // Frames pushed so far.
    int64_t Frames() const { return s_.t; }

  private:
    static constexpr std::size_t kLevels = 8;  // beats and noise humps the levels remember
    struct Hump {
        int64_t peak = -1;  // frame of the energy's top
        double height = 0;  // the energy there
        double slope = 0;   // steepest band-passed slope under it
        int64_t beat = -1;  // frame where the beat is marked
    };
    struct State {
        int64_t t = 0;                   // frame of the next sample
        std::vector<BiquadState> band;   // band-pass memory
        std::vector<BiquadState> shape;  // memory of the filter the beat is marked on
        std::vector<float> shaped;       // its output, at t & mask
        std::vector<float> bp;           // band-passed samples, at t & mask
        std::vector<float> energy;       // squared slopes of the last window
        double energySum = 0;
        double prevSum = 0;  // last sample's summed energy
        Hump hump;           // the hump being climbed
        bool armed = false;  // rising again since the last top
        std::array<double, kLevels> beatLevels{}, noiseLevels{}, slopes{};
        std::size_t beatNext = 0, noiseNext = 0;
        std::array<int64_t, kLevels> rr{};  // last RR intervals, frames
        std::size_t rrNext = 0;
        double learnTop = 0;            // highest hump while learning
        std::array<Hump, 16> learnt{};  // the humps of that time, judged once it ends
        std::size_t learntCount = 0;
        bool learning = true;
        Hump last;             // the last beat
        Hump candidate;        // the best hump since it that was not taken
        bool pending = false;  // the last beat is not handed out yet
        struct {
            Hump last;
            double level = 0, slope = 0;
            int64_t rr = 0;
            std::size_t beatNext = 0, rrNext = 0;
        } undo;                    // what taking the pending beat changed
        int64_t lastBeatOut = -1;  // frame of the last beat handed out
        int64_t lastLowered = 0;   // when the beat level was last lowered
    };
    void Step(float x, std::vector<int64_t>& beats);
    void TopReached(std::vector<int64_t>& beats);
    void EndLearning(std::vector<int64_t>& beats);
    void Classify(const Hump& h, std::vector<int64_t>& beats);
    void Accept(Hump h, bool searched, std::vector<int64_t>& beats);
    void SearchBack(std::vector<int64_t>& beats);
    void HandOut(std::vector<int64_t>& beats);
    Hump Measure(int64_t peak, double height) const;
    double Threshold() const;
    double MeanRr() const;

    Cascade band_;
    Cascade shape_;  // wander and high-frequency noise out, the QRS's shape kept  // designed once
                     // from the rate
    int64_t window_ = 0, slopeSpan_ = 0, hold_ = 0, replaceWithin_ = 0, refractory_ = 0, tWave_ = 0,
            learn_ = 0;
    int64_t delay_ = 0, shapeDelay_ = 0,
            markWithin_ = 0;  // the band-pass's delay near the QRS band, frames
    int64_t rate_ = 0;        // frames a second, rounded
    std::size_t mask_ = 0;    // band-passed ring size - 1
    QrsSettings settings_;
    State s_;
};

}  // namespace koru
