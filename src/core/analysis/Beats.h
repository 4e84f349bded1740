#pragma once
// Beat detection over a whole recording, and the RR series of its beats: the
// one operation behind the window's command and `koru beats`.

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/QrsDetector.h"
#include "platform/Progress.h"
#include "signal/SignalDocument.h"

namespace koru {

// Frames a second of a recording (its interval is in microseconds); 0 for none.
double FrameRate(const SignalHeader& header);

// The beats of channel `channel` (0-based) of the loaded recording, as frame
// numbers in ascending order. The samples are taken in physical units where
// the header gives a scale. Nothing for a channel the recording lacks.
// `progress`, when given, hears each new percentage of the frames gone through.
std::vector<int64_t> DetectBeats(const SignalDocument& doc, int channel,
                                 const QrsSettings& settings = {},
                                 ProgressSink* progress = nullptr);

struct RrPoint {
    int64_t frame = 0;  // the beat that ends the interval
    double time = 0;    // seconds from the start, at that beat
    double rr = 0;      // seconds since the beat before
    double rate = 0;    // beats a minute: 60 / rr
};
// One point per beat after the first.
std::vector<RrPoint> RrSeries(std::span<const int64_t> beats, double rate);

}  // namespace koru
