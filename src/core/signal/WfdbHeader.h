#pragma once
// The text header (".hea") of a WFDB record: the record line and one line
// per signal, as the public databases write them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

struct WfdbSignalLine {
    std::string file;
    int format = 0;
    int samplesPerFrame = 1;
    int skew = 0;  // in frames: this signal's sample of frame t is stored with frame t + skew
    uint64_t byteOffset = 0;
    double gain = 200;  // digital counts per physical unit
    double baseline = 0;
    std::string units = "mV";
    int32_t initialValue = 0;  // format 8: the value the first difference adds to
    std::string description;
};

// A line of a multi-segment header: a segment record, or "~" for a gap.
struct WfdbSegmentLine {
    std::string record;
    int64_t samples = 0;  // frames
};

struct WfdbHeader {
    std::string record;
    double frequency = 250;
    std::optional<int64_t> samples;  // frames; absent: from the data file's size
    std::string baseTime, baseDate;  // as written; empty when not given
    std::vector<WfdbSignalLine> signals;
    std::vector<WfdbSegmentLine> segments;  // a multi-segment record's, in order; else none
};

// False with the reason in `error` when the text is not a usable header.
bool ParseWfdbHeader(std::string_view text, WfdbHeader& out, std::string& error);

}  // namespace koru
