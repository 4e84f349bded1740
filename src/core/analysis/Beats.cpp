#include "Beats.h"

#include <algorithm>
#include <cmath>

namespace koru {

double FrameRate(const SignalHeader& header) {
    return header.Interval > 0 ? 1e6 / header.Interval : 0;
}

std::vector<int64_t> DetectBeats(const SignalDocument& doc, int channel,
                                 const QrsSettings& settings, ProgressSink* progress) {
    std::vector<int64_t> beats;
    const SignalHeader& h = doc.Header();
    const double rate = FrameRate(h);
    if (channel < 0 || channel >= h.ChannelCount || channel >= kFrameChannels || rate <= 0)
        return beats;
    const auto c = static_cast<std::size_t>(channel);
    const float given = c < h.Scale.size() ? h.Scale[c] : 0.0f;
    const float scale = std::isfinite(given) && given > 0 ? given : 1.0f;
    QrsDetector detector(rate, settings);
    FrameSpans spans(doc, 0);
    std::vector<float> block;
    const int64_t total = std::max<int64_t>(doc.FrameCount(), 1);
    int64_t done = 0;
    int percent = 0;
    if (progress) progress->ProgressSet(0);
    for (auto run = spans.Next(4096); !run.empty(); run = spans.Next(4096)) {
        block.resize(run.size());
        for (std::size_t i = 0; i < run.size(); ++i) block[i] = run[i][c] * scale;
        detector.Push(block, beats);
        done += static_cast<int64_t>(run.size());
        const auto now = static_cast<int>(std::min<int64_t>(done * 100 / total, 100));
        if (progress && now != percent) progress->ProgressSet(percent = now);
    }
    detector.Finish(beats);
    return beats;
}

std::vector<RrPoint> RrSeries(std::span<const int64_t> beats, double rate) {
    std::vector<RrPoint> out;
    if (rate <= 0) return out;
    for (std::size_t i = 1; i < beats.size(); ++i) {
        const double rr = static_cast<double>(beats[i] - beats[i - 1]) / rate;
        out.push_back({beats[i], static_cast<double>(beats[i]) / rate, rr, rr > 0 ? 60 / rr : 0});
    }
    return out;
}

}  // namespace koru
