#pragma once
// The storage formats of WFDB signal files. A file holds one sample stream:
// frame after frame, in each frame every signal's samples of that frame, in
// header order. A reader hands out stretches of that stream as 32-bit
// digital values, whatever the format packs them in.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"

namespace koru {

// A sample the format marks as missing (its most negative code), or no data
// at all (a gap between segments, a signal a segment lacks).
inline constexpr int32_t kWfdbInvalid = INT32_MIN;

// One row per fixed-width storage format. The decoder only walks groups of
// bytes; the layout lives in the row and in the comment of its function.
struct SampleFormat {
    int code = 0;             // the header's format field
    int bits = 0;             // sample width: -2^(bits-1) marks an invalid sample
    int groupSamples = 0;     // so many samples packed in
    int groupBytes = 0;       // so many bytes
    bool invalidCode = true;  // whether -2^(bits-1) means "no sample"
    void (*decode)(const uint8_t* group, int32_t* out) = nullptr;
};

// The row of a fixed-width format; nullptr for 8 and the FLAC formats,
// whose samples depend on what came before, and for unknown codes.
const SampleFormat* FixedFormat(int code);
// Whether the code names any format we read: the fixed ones, 8 (first
// differences) and 508, 516, 524 (FLAC of 8, 16 and 24 bits).
bool IsWfdbFormat(int code);
bool IsFlacFormat(int code);
// Width of a sample in bits, for the range of the value rule.
int FormatBits(int code);

// How a file's stream is laid out for its readers.
struct StreamLayout {
    int format = 0;
    uint64_t byteOffset = 0;
    int samplesPerFrame = 1;  // of all its signals together
    // Format 8: the running value each slot of a frame adds to: the slot's
    // signal (slots of one signal share one), and each signal's initial value.
    std::vector<int> slotSignal;
    std::vector<int32_t> initialValues;
    // Format 8: samples from one kept set of running values to the next (0: the reader's own).
    uint64_t checkpointSamples = 0;
    // FLAC: one channel per signal, each with this many samples a frame.
    int flacChannels = 0;
};

class SampleReader {
  public:
    virtual ~SampleReader() = default;
    // Stream samples [first, first + out.size()); false when the file ends
    // first or cannot be decoded. Invalid samples come as kWfdbInvalid.
    virtual bool Read(uint64_t first, std::span<int32_t> out) = 0;
    // Whole frames the file holds; -1 when only decoding could tell.
    virtual int64_t FramesInFile() const = 0;
};

// A reader for the layout over an open file (which it takes); nullptr with
// the reason in `error` when the format or the file's start is unusable.
std::unique_ptr<SampleReader> MakeSampleReader(ReadOnlyFile file, const StreamLayout& layout,
                                               std::string& error);
// The FLAC reader behind MakeSampleReader (its own file, for the library).
std::unique_ptr<SampleReader> MakeFlacReader(ReadOnlyFile file, const StreamLayout& layout,
                                             std::string& error);

}  // namespace koru
