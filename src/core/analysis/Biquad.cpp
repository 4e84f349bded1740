#include "Biquad.h"

#include <cmath>
#include <numbers>

namespace koru {
namespace {

bool CutoffFits(double rate, double cutoff) {
    return std::isfinite(rate) && std::isfinite(cutoff) && rate > 0 && cutoff > 0 &&
           cutoff < rate / 2;
}

// The bilinear-transform sections of the audio cookbook: numerator as given,
// the denominator 1 + alpha, -2 cos w, 1 - alpha, all divided by its first term.
Biquad Normalised(double b0, double b1, double b2, double cosw, double alpha) {
    const double a0 = 1 + alpha;
    return {b0 / a0, b1 / a0, b2 / a0, -2 * cosw / a0, (1 - alpha) / a0};
}

struct Angle {
    double cosw, alpha;
};
Angle AngleOf(double rate, double hz, double q) {
    const double w = 2 * std::numbers::pi * hz / rate;
    return {std::cos(w), std::sin(w) / (2 * q)};
}

// Quality factors of the sections of an even-order Butterworth filter.
std::optional<std::vector<double>> ButterworthQs(int order) {
    if (order < 2 || order % 2 != 0 || order > 16) return std::nullopt;
    std::vector<double> qs;
    for (int k = 0; k < order / 2; ++k)
        qs.push_back(1 / (2 * std::cos((2 * k + 1) * std::numbers::pi / (2 * order))));
    return qs;
}

}  // namespace

std::complex<double> Biquad::Response(double rate, double hz) const {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * hz / rate);
    const std::complex<double> z2 = z1 * z1;
    return (b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2);
}

std::optional<Biquad> LowPass(double rate, double cutoff, double q) {
    if (!CutoffFits(rate, cutoff) || !(q > 0)) return std::nullopt;
    const Angle a = AngleOf(rate, cutoff, q);
    const double k = 1 - a.cosw;
    return Normalised(k / 2, k, k / 2, a.cosw, a.alpha);
}

std::optional<Biquad> HighPass(double rate, double cutoff, double q) {
    if (!CutoffFits(rate, cutoff) || !(q > 0)) return std::nullopt;
    const Angle a = AngleOf(rate, cutoff, q);
    const double k = 1 + a.cosw;
    return Normalised(k / 2, -k, k / 2, a.cosw, a.alpha);
}

std::optional<Biquad> Notch(double rate, double centre, double q) {
    if (!CutoffFits(rate, centre) || !(q > 0)) return std::nullopt;
    const Angle a = AngleOf(rate, centre, q);
    return Normalised(1, -2 * a.cosw, 1, a.cosw, a.alpha);
}

std::optional<std::vector<Biquad>> ButterworthLowPass(double rate, double cutoff, int order) {
    const auto qs = ButterworthQs(order);
    if (!qs) return std::nullopt;
    std::vector<Biquad> out;
    for (const double q : *qs) {
        const auto s = LowPass(rate, cutoff, q);
        if (!s) return std::nullopt;
        out.push_back(*s);
    }
    return out;
}

std::optional<std::vector<Biquad>> ButterworthHighPass(double rate, double cutoff, int order) {
    const auto qs = ButterworthQs(order);
    if (!qs) return std::nullopt;
    std::vector<Biquad> out;
    for (const double q : *qs) {
        const auto s = HighPass(rate, cutoff, q);
        if (!s) return std::nullopt;
        out.push_back(*s);
    }
    return out;
}

std::complex<double> Cascade::Response(double rate, double hz) const {
    std::complex<double> h = 1;
    for (const Biquad& q : sections_) h *= q.Response(rate, hz);
    return h;
}

void Cascade::Settle(std::vector<BiquadState>& s, double x) const {
    for (std::size_t k = 0; k < s.size(); ++k) {
        const Biquad& q = sections_[k];
        const double y = q.DcGain() * x;
        s[k] = {y - q.b0 * x, q.b2 * x - q.a2 * y};
        x = y;  // the next section's input
    }
}

void Cascade::FilterForwardBackward(std::span<float> x) const {
    if (x.empty()) return;
    std::vector<BiquadState> s(sections_.size());
    Settle(s, x.front());
    for (float& v : x) v = static_cast<float>(Through(s, v));
    Settle(s, x.back());
    for (auto it = x.rbegin(); it != x.rend(); ++it) *it = static_cast<float>(Through(s, *it));
}

}  // namespace koru
