#include "view/Units.h"

#include <cmath>
#include <cstdio>

namespace koru {

std::optional<Calibration> CalibrationFor(const ChannelScale& scale, int64_t size, int64_t divisor,
                                          int maxPixels, int labelPixels) {
    if (!scale.Known() || size <= 0 || divisor <= 0) return std::nullopt;
    const double mv = MillivoltsPerUnit(scale.unit);
    const double standard = mv > 0 ? 1 / mv : 1;
    auto pixels = [&](double a) {
        return a / scale.perValue * static_cast<double>(size) / static_cast<double>(divisor);
    };
    // A smaller bar carries its label above it, so it leaves that room.
    const int labelled = maxPixels - labelPixels;
    constexpr double kMantissa[] = {1, 0.5, 0.2};  // 1, 0.5, 0.2, 0.1, 0.05, ...
    double amount = standard;
    for (int i = 1; i < 19 && pixels(amount) > (i == 1 ? maxPixels : labelled); ++i)
        amount = standard * kMantissa[i % 3] / std::pow(10.0, i / 3);
    const double height = std::round(pixels(amount));
    if (height < 2 || height > maxPixels) return std::nullopt;
    return Calibration{amount, static_cast<int>(height), amount == standard};
}

std::string CalibrationLabel(const Calibration& bar, const ChannelScale& scale) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", bar.amount);
    std::string label = text;
    if (!scale.unit.empty()) label += " " + scale.unit;
    return label;
}

GridLine GridLineAt(int64_t position, double pixelsPerMm) {
    if (!(pixelsPerMm > 0)) return GridLine::None;
    // The least k with k * p >= position, and whether it still lies in
    // this pixel.
    const double k = std::ceil(static_cast<double>(position) / pixelsPerMm - 1e-9);
    if (k * pixelsPerMm >= static_cast<double>(position) + 1 - 1e-9) return GridLine::None;
    const auto whole = static_cast<int64_t>(k);
    return whole % 5 == 0 ? GridLine::Major : GridLine::Minor;
}

PaperScale PaperScaleFor(double dotsPerInch, const FrameClock& clock) {
    const double perMm = PixelsPerMm(dotsPerInch);
    const double pixelsPerSecond = kPaperMmPerSecond * perMm;
    const double framesPerSecond = 1e6 / clock.MicrosPerFrame();
    return PaperScale{framesPerSecond * 10 / pixelsPerSecond, kPaperMmPerMillivolt * perMm};
}

std::string PaperGridText(double dotsPerInch, const FrameClock& clock, int32_t spd,
                          std::optional<double> shownPixelsPerMillivolt) {
    const PaperScale paper = PaperScaleFor(dotsPerInch, clock);
    char text[200];
    std::snprintf(text, sizeof text,
                  "ECG paper at %.0f dpi: 25 mm/s is %.1f samples/div (shown %d), 10 mm/mV is "
                  "%.1f px/mV",
                  dotsPerInch > 0 ? dotsPerInch : 96, paper.samplesPerDivision, spd,
                  paper.pixelsPerMillivolt);
    std::string out = text;
    if (shownPixelsPerMillivolt) {
        std::snprintf(text, sizeof text, " (shown %.1f)", *shownPixelsPerMillivolt);
        out += text;
    }
    return out;
}

}  // namespace koru
