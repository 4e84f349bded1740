#include "signal/ChannelScale.h"

#include <cmath>

namespace koru {

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

double MillivoltsPerUnit(const std::string& unit) {
    const std::string u = TrimBlanks(unit);
    if (u == "mV") return 1;
    if (u == "uV" || u == "\xC2\xB5V") return 1e-3;
    if (u == "V") return 1e3;
    return 0;
}

ChannelScale ScaleOf(const SignalDocument& doc, std::size_t channel) {
    const ForeignSource* source = doc.Foreign();
    const std::vector<int>& chosen = doc.ChosenSignals();
    if (!doc.IsOpen() || !source || channel >= chosen.size()) return {};
    const int index = chosen[channel];
    if (index < 0 || static_cast<std::size_t>(index) >= source->Signals().size()) return {};
    const ForeignSignal& s = source->Signals()[static_cast<std::size_t>(index)];
    const double per = s.rule.unitsPerValue;
    if (!(per > 0) || !std::isfinite(per)) return {};
    return ChannelScale{per, TrimBlanks(s.unit)};
}

}  // namespace koru
