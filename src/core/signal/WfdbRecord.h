#pragma once
// A WFDB record's digital samples: a single record (its signal files, each
// signal at its own samples per frame, skewed signals aligned), or a
// multi-segment record (its segments one after the other, gaps as invalid
// samples, each segment's samples scaled to the layout's gain).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "signal/WfdbFormats.h"
#include "signal/WfdbHeader.h"

namespace koru {

// More frames than any recording holds (2^40): a header that claims more is
// cut to it, so frames times samples per frame stay far inside 64 bits.
inline constexpr int64_t kWfdbMaxFrames = int64_t{1} << 40;

// A signal as the record delivers it, with the digital range its samples
// can take (for the value rule).
struct WfdbRecordSignal {
    WfdbSignalLine line;
    double digitalMin = -32768;
    double digitalMax = 32767;
};

// A single record and a multi-segment one alike: the signals and length
// their opening found, and samples read from any frame on.
class WfdbRecord {
  public:
    virtual ~WfdbRecord() = default;
    const std::vector<WfdbRecordSignal>& Signals() const { return signals_; }
    int64_t Frames() const { return frames_; }
    // Samples [first, first + count) of each of `signals` at its own rate
    // (its sample n lies in frame n / samplesPerFrame) into out[k], which
    // holds `count` values. False with `error` set when a file ended early
    // or could not be decoded.
    virtual bool Read(const std::vector<int>& signals, int64_t first, std::size_t count,
                      std::vector<std::span<int32_t>>& out, std::string& error) = 0;

  protected:
    std::vector<WfdbRecordSignal> signals_;
    int64_t frames_ = 0;
};

// The record of a parsed header whose files lie in `dir` (ending in '/', or
// empty); nullptr with the reason in `error`.
std::unique_ptr<WfdbRecord> OpenWfdbRecordData(const std::string& dir, const WfdbHeader& header,
                                               std::string& error);
// A single record (no segments) behind OpenWfdbRecordData.
std::unique_ptr<WfdbRecord> OpenSingleWfdbRecord(const std::string& dir, const WfdbHeader& header,
                                                 std::string& error);

// Reads and parses the header at `path` (at most 1 MiB).
bool ReadWfdbHeader(const std::string& path, WfdbHeader& header, std::string& error);

}  // namespace koru
