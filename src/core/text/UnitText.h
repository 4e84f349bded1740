#pragma once
// Times, rates and physical values as the view writes them beside the
// sample counts when physical units are on.

#include <cstdint>
#include <string>
#include <string_view>

namespace koru {

// A stretch of time: under a second in milliseconds to a tenth
// ("827.8 ms"), else in seconds to the millisecond ("2.000 s").
std::string DurationText(double micros);
// Beats a minute when one beat lasts `micros`: "72.5/min"; empty for none.
std::string RateText(double micros);
// Decimals that show a step of this size to its first significant digit:
// 0.005 takes three, 0.5 one, 2 none; at most six.
int DecimalsFor(double step);
// "1.250 mV": fixed with `decimals`, never "-0.000".
std::string ValueText(double value, int decimals, std::string_view unit);

}  // namespace koru
