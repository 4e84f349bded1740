#pragma once
// Second-order filter sections: coefficients apart from memory, so one set of
// coefficients serves any number of runs, and a cascade filters without
// allocating per sample. Designs take the rate and cut-off in hertz and refuse
// a cut-off the rate cannot carry when they are made, never while filtering.

#include <complex>
#include <optional>
#include <span>
#include <vector>

namespace koru {

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // a0 divided out
    double DcGain() const { return (b0 + b1 + b2) / (1 + a1 + a2); }
    // H at `hz` for a section run at `rate`, and its size.
    std::complex<double> Response(double rate, double hz) const;
    double Gain(double rate, double hz) const { return std::abs(Response(rate, hz)); }
};

struct BiquadState {  // transposed direct form II
    double s1 = 0, s2 = 0;
    double Step(const Biquad& q, double x) {
        const double y = q.b0 * x + s1;
        s1 = q.b1 * x - q.a1 * y + s2;
        s2 = q.b2 * x - q.a2 * y;
        return y;
    }
};

// One section each, with quality factor q (0.7071: Butterworth). Nothing when
// the cut-off is not between 0 and half the rate.
std::optional<Biquad> LowPass(double rate, double cutoff, double q = 0.70710678118654752);
std::optional<Biquad> HighPass(double rate, double cutoff, double q = 0.70710678118654752);
std::optional<Biquad> Notch(double rate, double centre, double q);

// Butterworth of an even order as order/2 sections; nothing for a bad cut-off.
std::optional<std::vector<Biquad>> ButterworthLowPass(double rate, double cutoff, int order);
std::optional<std::vector<Biquad>> ButterworthHighPass(double rate, double cutoff, int order);

class Cascade {
  public:
    Cascade() = default;
    explicit Cascade(std::vector<Biquad> sections) : sections_(std::move(sections)) {}
    const std::vector<Biquad>& Sections() const { return sections_; }
    void Append(const std::vector<Biquad>& more) {
        sections_.insert(sections_.end(), more.begin(), more.end());
    }
    // H of the whole cascade at `hz`, one pass, and its size.
    std::complex<double> Response(double rate, double hz) const;
    double Gain(double rate, double hz) const { return std::abs(Response(rate, hz)); }

    // Zero phase for display: forward, then backward, each pass started at
    // rest under its first sample, so a flat edge passes with no step. Run it
    // over the drawn span plus a few time constants each side; draw the middle.
    void FilterForwardBackward(std::span<float> x) const;

    // Memory for one section each as if `x` had always come in: a stream
    // that starts there then starts with no step.
    void Settle(std::vector<BiquadState>& s, double x) const;

  private:
    double Through(std::vector<BiquadState>& s, double v) const {
        for (std::size_t k = 0; k < s.size(); ++k) v = s[k].Step(sections_[k], v);
        return v;
    }
    std::vector<Biquad> sections_;
};

}  // namespace koru
