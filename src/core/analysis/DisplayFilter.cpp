#include "DisplayFilter.h"

#include <algorithm>
#include <cmath>

namespace koru {
namespace {

// Fourth order each way: forward and backward make it eighth, enough to take
// a wander just below the cut-off down by more than 30 dB.
constexpr int kOrder = 4;
// Narrow enough to leave a QRS alone, wide enough for mains that drifts a little.
constexpr double kNotchQ = 25;

std::string Hz(double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

bool Refuse(std::string* why, const std::string& what, double hz, double rate) {
    if (why)
        *why = "The " + what + " at " + Hz(hz) + " Hz does not fit a rate of " + Hz(rate) + " Hz.";
    return false;
}

}  // namespace

std::optional<Cascade> MakeDisplayFilter(double rate, const DisplayFilterSettings& settings,
                                         std::string* why) {
    Cascade out;
    if (settings.highPass > 0) {
        const auto s = ButterworthHighPass(rate, settings.highPass, kOrder);
        if (!s) return Refuse(why, "high-pass", settings.highPass, rate), std::nullopt;
        out.Append(*s);
    }
    if (settings.notch > 0) {
        const auto first = Notch(rate, settings.notch, kNotchQ);
        if (!first) return Refuse(why, "notch", settings.notch, rate), std::nullopt;
        for (double f = settings.notch; f < rate / 2; f += settings.notch)
            if (const auto s = Notch(rate, f, kNotchQ)) out.Append({*s});
    }
    if (settings.lowPass > 0) {
        const auto s = ButterworthLowPass(rate, settings.lowPass, kOrder);
        if (!s) return Refuse(why, "low-pass", settings.lowPass, rate), std::nullopt;
        out.Append(*s);
    }
    return out;
}

std::string DisplayFilterText(const DisplayFilterSettings& settings) {
    std::string text;
    const auto add = [&](const char* name, double hz) {
        if (hz <= 0) return;
        text += (text.empty() ? "" : ", ") + std::string(name) + " " + Hz(hz) + " Hz";
    };
    add("HP", settings.highPass);
    add("notch", settings.notch);
    add("LP", settings.lowPass);
    return text;
}

double DisplayFilterMargin(const DisplayFilterSettings& settings) {
    double seconds = 0;
    if (settings.lowPass > 0) seconds = 20 / settings.lowPass;
    if (settings.notch > 0) seconds = std::max(seconds, 4 * kNotchQ / settings.notch);
    if (settings.highPass > 0) seconds = std::max(seconds, 3 / settings.highPass);
    return seconds;
}

FilteredSpans::FilteredSpans(const SignalDocument& doc, int64_t first, const Cascade& filter,
                             int64_t margin, std::array<bool, kFrameChannels> channels)
    : doc_(doc),
      filter_(filter),
      next_(std::max<int64_t>(first, 0)),
      margin_(std::max<int64_t>(margin, 0)),
      channels_(channels) {}

std::span<const Frame> FilteredSpans::Next(std::size_t want) {
    // A block long enough that the margins do not dominate, short enough
    // that a zoomed-out page does not take the recording into memory twice.
    constexpr int64_t kMinBlock = 4096, kMaxBlock = int64_t{1} << 20;
    const int64_t count = doc_.FrameCount();
    if (next_ >= count || want == 0) return {};
    const int64_t n =
        std::min({std::clamp(static_cast<int64_t>(want), kMinBlock, kMaxBlock), count - next_});
    const int64_t from = std::max<int64_t>(0, next_ - margin_);
    const int64_t to = std::min(count, next_ + n + margin_);
    frames_.clear();
    FrameSpans spans(doc_, from);
    for (auto run = spans.Next(static_cast<std::size_t>(to - from));
         !run.empty() && static_cast<int64_t>(frames_.size()) < to - from;
         run = spans.Next(static_cast<std::size_t>(to - from) - frames_.size()))
        frames_.insert(frames_.end(), run.begin(), run.end());
    trace_.resize(frames_.size());
    for (std::size_t c = 0; c < kFrameChannels; ++c) {
        if (!channels_[c]) continue;
        for (std::size_t i = 0; i < frames_.size(); ++i) trace_[i] = frames_[i][c];
        filter_.FilterForwardBackward(trace_);
        for (std::size_t i = 0; i < frames_.size(); ++i)
            frames_[i][c] =
                static_cast<int16_t>(std::clamp(std::lround(trace_[i]), -32768L, 32767L));
    }
    const auto skip = static_cast<std::size_t>(next_ - from);
    if (skip >= frames_.size()) return {};
    const std::size_t got = std::min(static_cast<std::size_t>(n), frames_.size() - skip);
    next_ += static_cast<int64_t>(got);
    return std::span<const Frame>(frames_).subspan(skip, got);
}

}  // namespace koru
