#include "export/Amplitude.h"

#include <algorithm>

#include "text/NumberText.h"
#include "text/UnitText.h"

namespace koru {

Amplitudes MeasureAmplitudes(const SignalDocument& doc, const Cutout& cutout) {
    Amplitudes out{};
    if (cutout.Span() < 1) return out;
    FrameSpans spans(doc, cutout.start);
    int64_t left = cutout.Frames();
    // The first frame sets both extremes, so the ranges start from real values.
    std::span<const Frame> run = spans.Next(static_cast<std::size_t>(left));
    if (run.empty()) return out;
    Frame lo = run.front(), hi = run.front();
    while (!run.empty()) {
        WidenExtremes(run, lo, hi);
        left -= static_cast<int64_t>(run.size());
        if (left <= 0) break;
        run = spans.Next(static_cast<std::size_t>(left));
    }
    const int present = std::min<int>(doc.Header().ChannelCount, kFrameChannels);
    for (int c = 0; c < present; ++c) {
        const auto i = static_cast<std::size_t>(c);
        out[i] = int32_t{hi[i]} - int32_t{lo[i]};
    }
    return out;
}

std::string AmplitudeLine(int channel, int32_t value) {
    std::string text = "Channel ";
    AppendRightAligned(text, channel, 0);
    text += ":  ";
    AppendRightAligned(text, value, 0);
    return text;
}

std::string AmplitudeUnitLine(int channel, int32_t value, const ChannelScale& scale) {
    std::string text = AmplitudeLine(channel, value);
    if (scale.Known())
        text += " = " + ValueText(value * scale.perValue, DecimalsFor(scale.perValue), scale.unit);
    return text;
}

}  // namespace koru
