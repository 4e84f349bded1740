#include "export/ExportSignals.h"

#include <cmath>
#include <cstdlib>

namespace koru {

std::vector<ExportChannel> ExportChannelsFor(const SignalDocument& doc,
                                             const std::array<bool, 8>& selected,
                                             const std::array<std::string, 8>& labels) {
    std::vector<ExportChannel> out;
    for (std::size_t c = 0; c < selected.size(); ++c) {
        if (!selected[c]) continue;
        ExportChannel ch;
        ch.index = static_cast<int>(c);
        ch.label = labels[c].empty() ? "Channel " + std::to_string(c + 1) : labels[c];
        // The program's own recordings are in microvolts; the scale factor of
        // a foreign one is its physical step in the unit it came in.
        ch.unit = doc.ChannelUnit(c).empty() ? "uV" : doc.ChannelUnit(c);
        const double scale = doc.Header().Scale[c];
        ch.step = std::isfinite(scale) && scale != 0 ? scale : 1.0;
        out.push_back(std::move(ch));
    }
    return out;
}

std::string SecondsText(int64_t micros) {
    std::string text = micros < 0 ? "-" : "";
    const uint64_t m =
        micros < 0 ? 0 - static_cast<uint64_t>(micros) : static_cast<uint64_t>(micros);
    text += std::to_string(m / 1000000);
    uint64_t fraction = m % 1000000;
    if (fraction == 0) return text;
    std::string digits = std::to_string(fraction);
    digits.insert(0, 6 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    return text + "." + digits;
}

}  // namespace koru
