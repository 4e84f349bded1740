#pragma once
// Recordings in the field's standard layouts (EDF, EDF+, BDF, GDF, WFDB,
// SCP-ECG). Short ones are read whole into memory through this one small
// interface, so every reader of the Signal document sees them as it sees
// the program's own recordings. Long ones that can be read at any frame are
// read from their open files as they are shown.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Progress.h"
#include "signal/AnnotationList.h"
#include "signal/FrameStore.h"
#include "signal/RecordingStart.h"

namespace koru {

// How one signal's digital samples become delivered values. A whole number
// next to physical zero is subtracted, so a value is within half a step of
// its physical value; only where the range measured from there does not fit
// 16 bits is it also shifted right (rounded to the nearest), and a value is
// then within 2^shift - 0.5 steps.
struct ValueRule {
    double zero = 0;           // digital value of physical zero
    int64_t offset = 0;        // the whole number subtracted
    int shift = 0;             // right shift that brings the range into int16
    double unitsPerValue = 0;  // physical units of one delivered value
    // Delivered values of the digital minimum and maximum: the signal's
    // whole physical range.
    int32_t low = INT16_MIN;
    int32_t high = INT16_MAX;

    int16_t Value(double digital) const;
    // The same for a whole digital value: (digital + Add()) >> shift, clamped.
    int16_t Value(int32_t digital) const {
        const int64_t v = (int64_t{digital} + Add()) >> shift;
        return static_cast<int16_t>(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v);
    }
    // What is added before the shift: minus the offset, plus half the shift's
    // step so that the shift rounds to the nearest.
    int64_t Add() const { return -offset + (shift > 0 ? int64_t{1} << (shift - 1) : 0); }
    // Whether 32-bit arithmetic holds for samples of up to 24 bits.
    bool IntegerRule() const {
        return Add() > -(int64_t{1} << 30) && Add() < (int64_t{1} << 30) && shift < 31;
    }
};

// `unitsPerDigit` is the physical step of one digital count; the range is
// the signal's digital minimum and maximum.
ValueRule MakeValueRule(double digitalMin, double digitalMax, double zero, double unitsPerDigit);

struct ForeignSignal {
    std::string label;
    std::string unit;  // physical unit as the file names it; empty when it names none
    double rate = 0;   // samples per second, exact (not rounded to an interval)
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
    // Every annotation with its label and text, frames counted as above, in
    // any order; by default the positions above, unlabelled.
    virtual std::vector<Annotation> LabelledAnnotations() const;
    // The record's sets of annotations to choose from by name (a WFDB
    // record's annotators), the one in use first; none for a format with
    // one set or none.
    virtual std::vector<std::string> Annotators() const { return {}; }
    // Takes Annotations from the named set; false when there is none by that name.
    virtual bool ChooseAnnotator(const std::string& name) {
        (void)name;
        return false;
    }
    // Whether the annotations are still to be read (an open that deferred
    // them); Annotations and LabelledAnnotations are empty until then.
    virtual bool AnnotationsPending() const { return false; }
    // Reads what is pending, telling `progress` each new percentage; false
    // with `error` set when the file could not be read.
    virtual bool FinishAnnotations(ProgressSink& progress, std::string& error) {
        (void)progress, (void)error;
        return true;
    }
    // When the recording began, as far as its header says.
    virtual RecordingStart StartTime() const { return {}; }
    // Whether Read reaches any frame without reading those before it, from
    // files held open since the open (so a file saved over by rename is not
    // seen). Such a recording need not be held in memory to be shown.
    virtual bool ReadsOnDemand() const { return false; }
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
// `error` when the file cannot be read as a recording. With `mayDefer` a
// long recording's annotations may be left pending (see FinishAnnotations).
std::unique_ptr<ForeignSource> OpenForeignSource(const std::string& path, std::string& error,
                                                 bool mayDefer = false);

// The readers behind OpenForeignSource.
std::unique_ptr<ForeignSource> OpenWfdbRecord(const std::string& headerPath, std::string& error);
std::unique_ptr<ForeignSource> OpenEdfRecording(const std::string& path, bool mayDefer,
                                                std::string& error);
std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error);

}  // namespace koru
