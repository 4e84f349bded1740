#include "text/UnitText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace koru {

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string DurationText(double micros) {
    micros = std::fabs(micros);
    if (micros < 999'950) return Fixed(micros / 1e3, 1) + " ms";
    return Fixed(micros / 1e6, 3) + " s";
}

std::string RateText(double micros) {
    if (!(std::fabs(micros) > 0)) return {};
    return Fixed(60e6 / std::fabs(micros), 1) + "/min";
}

int DecimalsFor(double step) {
    step = std::fabs(step);
    if (!(step > 0) || !std::isfinite(step)) return 0;
    // Enough for the step's first significant digit: finer digits would
    // only show converter noise.
    const double digits = std::ceil(-std::log10(step) - 1e-9);
    return static_cast<int>(std::clamp(digits, 0.0, 6.0));
}

std::string ValueText(double value, int decimals, std::string_view unit) {
    const double unitStep = std::pow(10.0, -decimals);
    // A value that rounds to zero is written without a sign.
    if (std::fabs(value) < unitStep / 2) value = 0;
    std::string text = Fixed(value, decimals);
    if (!unit.empty()) {
        text += ' ';
        text += unit;
    }
    return text;
}

}  // namespace koru
