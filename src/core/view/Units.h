#pragma once
// The view's physical-units aids: calibration bars, the ECG-paper grid and
// the texts of the readout, all from the recording's scale and the screen.

#include <cstdint>
#include <optional>
#include <string>

#include "signal/ChannelScale.h"
#include "text/TimeText.h"

namespace koru {

// A channel's calibration bar: so much of its unit (1 mV for a voltage,
// else 1 of the unit; where that does not fit maxPixels, the largest of
// 0.5, 0.2, 0.1, 0.05... of it that fits with labelPixels left for its
// label) and its height at the trace scale size / divisor.
struct Calibration {
    double amount = 0;  // in the channel's unit
    int pixels = 0;
    bool standard = true;  // 1 mV, or 1 of a unit that is no voltage
};
// "100 uV", "0.1 mV": what a bar other than the standard one stands for.
std::string CalibrationLabel(const Calibration& bar, const ChannelScale& scale);
// Nothing for a channel without a scale, or one whose bar would be under
// two pixels.
std::optional<Calibration> CalibrationFor(const ChannelScale& scale, int64_t size, int64_t divisor,
                                          int maxPixels, int labelPixels = 0);

// ECG paper: 1 mm and 5 mm lines, 25 mm a second, 10 mm a millivolt.
inline constexpr double kPaperMmPerSecond = 25;
inline constexpr double kPaperMmPerMillivolt = 10;
inline constexpr double kMmPerInch = 25.4;

inline double PixelsPerMm(double dotsPerInch) {
    return (dotsPerInch > 0 ? dotsPerInch : 96) / kMmPerInch;
}
enum class GridLine { None, Minor, Major };
// The paper line, if any, on pixel row or column `position` (counted from
// the recording's start or the top of the slots): line k lies on the
// pixel that holds k millimetres, every fifth a major one.
GridLine GridLineAt(int64_t position, double pixelsPerMm);

// What the paper implies for the view: the samples per division that draw
// 25 mm/s, and the pixels a millivolt takes at 10 mm/mV.
struct PaperScale {
    double samplesPerDivision = 0;
    double pixelsPerMillivolt = 0;
};
PaperScale PaperScaleFor(double dotsPerInch, const FrameClock& clock);
// Told when the grid is switched on: "ECG paper at 96 dpi: 25 mm/s is 38.1
// samples/div (shown 40), 10 mm/mV is 37.8 px/mV (shown 13.6)"; the shown
// gain is that of the first channel with a voltage scale, left out when
// there is none.
std::string PaperGridText(double dotsPerInch, const FrameClock& clock, int32_t spd,
                          std::optional<double> shownPixelsPerMillivolt);

}  // namespace koru
