#pragma once
// Recordings in the field's standard layouts (EDF, EDF+, BDF, GDF, WFDB,
// SCP-ECG). They are always read whole into memory through this one small
// interface, so every reader of the Signal document sees them as it sees
// the program's own recordings.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "signal/FrameStore.h"

namespace koru {

// How one signal's digital samples become delivered values: 0 is physical
// zero, and a range wider than 16 bits is shifted right until it fits.
struct ValueRule {
    double zero = 0;           // digital value of physical zero
    int shift = 0;             // right shift that brings the range into int16
    double unitsPerValue = 0;  // physical units of one delivered value
    // Delivered values of the digital minimum and maximum: the signal's
    // whole physical range.
    int32_t low = INT16_MIN;
    int32_t high = INT16_MAX;

    int16_t Value(double digital) const;
    // The same for a whole digital value in integer arithmetic, exact where
    // zero is far from the 32-bit limits (see IntegerRule).
    int16_t Value(int32_t digital) const {
        if (!wholeOffset && !halfOffset) return Value(static_cast<double>(digital));
        int64_t v = int64_t{digital} + offset;
        if (halfOffset && v >= 0) ++v;
        v >>= shift;
        return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
    }
    // round(d - zero) = d + offset for whole d when zero is whole or has any
    // fraction but .5, offset = round(-zero) (wholeOffset). When zero ends in
    // exactly .5, d - zero = d + offset + 0.5 with offset = floor(-zero), which
    // rounds away from zero: one up where d + offset >= 0 (halfOffset).
    bool wholeOffset = false;
    bool halfOffset = false;
    int64_t offset = 0;
    // Whether the offset is small enough for 32-bit arithmetic on samples of
    // up to 24 bits.
    bool IntegerRule() const {
        return (wholeOffset || halfOffset) && offset > -(int64_t{1} << 30) &&
               offset < (int64_t{1} << 30) && shift < 31;
    }
};

// `unitsPerDigit` is the physical step of one digital count; the range is
// the signal's digital minimum and maximum.
ValueRule MakeValueRule(double digitalMin, double digitalMax, double zero, double unitsPerDigit);

struct ForeignSignal {
    std::string label;
    double rate = 0;  // samples per second
    ValueRule rule;
};

class ForeignSource {
  public:
    virtual ~ForeignSource() = default;

    // The data signals in file order (annotation signals are not among them).
    virtual const std::vector<ForeignSignal>& Signals() const = 0;
    // Patient and recording identification, or the record and signal names.
    virtual std::string Identification() const = 0;
    // Frames at the rate of the chosen signals (see Choose); until a choice,
    // at the rate of the first signal.
    virtual int64_t FrameCount() const = 0;
    // Annotation positions in frames (as FrameCount counts them), in any order.
    virtual std::vector<int64_t> Annotations() const = 0;
    // What the reader left out that the user should hear of; empty when nothing.
    virtual std::string Notice() const { return {}; }

    // Which signals (indices into Signals(), at most eight, all at one rate,
    // not necessarily the first signal's) become channels 1 to n; until
    // called, none. Frames, FrameCount and annotation positions then count at
    // that rate.
    virtual void Choose(const std::vector<int>& picked) = 0;
    // Decodes up to `count` frames from `first` into `out`, channels past the
    // chosen ones 0. Returns how many were decoded; fewer with `error` set
    // when the file ended early or could not be read.
    virtual std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) = 0;
    // The same straight into a store's layout: `width` samples a frame, the
    // chosen channels and then 0. A reader that can decode into it saves the
    // load a copy of every frame; by default it goes through Read.
    virtual std::size_t ReadPacked(int64_t first, std::size_t count, int16_t* out,
                                   std::size_t width, std::string& error);
};

// Whether the upper-cased path names a foreign recording by its extension.
bool IsForeignPath(std::string_view upperPath);

// Opens `path` with the reader for its extension; nullptr with the reason in
// `error` when the file cannot be read as a recording.
std::unique_ptr<ForeignSource> OpenForeignSource(const std::string& path, std::string& error);

// The readers behind OpenForeignSource.
std::unique_ptr<ForeignSource> OpenWfdbRecord(const std::string& headerPath, std::string& error);
std::unique_ptr<ForeignSource> OpenEdfRecording(const std::string& path, std::string& error);
std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error);

}  // namespace koru
