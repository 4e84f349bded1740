#pragma once
// The display filters: what the View menu offers to draw a trace without
// baseline wander, mains hum or high-frequency noise. They change only what
// is drawn; the recording's values stay as they are.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/Biquad.h"
#include "signal/SignalDocument.h"

namespace koru {

struct DisplayFilterSettings {  // hertz; 0: off
    double highPass = 0;        // 0.05 or 0.5: baseline wander
    double notch = 0;           // 50 or 60: mains, with its harmonics below half the rate
    double lowPass = 0;         // 40, 100 or 150
    bool Any() const { return highPass > 0 || notch > 0 || lowPass > 0; }
};

// The cascade for `rate` frames a second, or nothing with the reason in
// *why when a cut-off does not fit the rate (a low-pass at or above half of
// it, say).
std::optional<Cascade> MakeDisplayFilter(double rate, const DisplayFilterSettings& settings,
                                         std::string* why = nullptr);

// How the status bar names the filters that are on: "HP 0.5 Hz, notch 50 Hz,
// LP 40 Hz"; empty when none is.
std::string DisplayFilterText(const DisplayFilterSettings& settings);

// Seconds to filter on each side of the drawn span so its edges have settled.
double DisplayFilterMargin(const DisplayFilterSettings& settings);

// Runs of frames like FrameSpans, with the chosen channels filtered forward
// and backward. Each block is filtered with `margin` frames of the recording
// on both sides, so the picture does not depend on where a repaint begins,
// and memory stays bounded however many frames are asked for.
class FilteredSpans {
  public:
    // `filter` must outlive this; channels not chosen keep their values.
    FilteredSpans(const SignalDocument& doc, int64_t first, const Cascade& filter, int64_t margin,
                  std::array<bool, kFrameChannels> channels);
    std::span<const Frame> Next(std::size_t want);

  private:
    const SignalDocument& doc_;
    const Cascade& filter_;
    int64_t next_, margin_;
    std::array<bool, kFrameChannels> channels_;
    std::vector<Frame> frames_;
    std::vector<float> trace_;
};

}  // namespace koru
