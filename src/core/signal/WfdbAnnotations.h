#pragma once
// WFDB annotation files in the MIT layout: a stream of 16-bit words, each a
// code (top six bits) and a time step or length (low ten), with pseudo-codes
// that stretch the time (SKIP) or set fields of the annotation before them
// (NUM, SUB, CHN, AUX). Read as the package's own reader lists them: the
// notes at time 0 that carry the file's table (its time resolution, its own
// mnemonics) are consumed, not listed.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

struct WfdbAnnotation {
    int64_t time = 0;  // in ticks of the file (see WfdbAnnotationFile::resolution)
    uint8_t code = 0;  // 1 to 49 the standard and local codes; 0 and 50-58 pass as they are
    int8_t subtype = 0;
    uint8_t channel = 0;
    int8_t number = 0;
    uint32_t aux = 0;  // 0: no text, else 1 + index into WfdbAnnotationFile::texts
};

struct WfdbAnnotationFile {
    std::vector<WfdbAnnotation> items;  // in file order
    std::vector<std::string> texts;
    // Ticks per second from a "## time resolution" note; 0: the ticks are
    // frames of the record.
    double resolution = 0;
    // The mnemonic of each code, with the file's own table applied.
    std::array<std::string, 64> labels;
    // False when the bytes ended inside an annotation, or no word 0 ended them.
    bool complete = false;

    const std::string& Label(const WfdbAnnotation& a) const { return labels[a.code & 63]; }
};

WfdbAnnotationFile ParseWfdbAnnotations(std::string_view bytes);

// Whether the code is a beat (a QRS complex), as the package's table says.
bool IsWfdbBeat(int code);

// Where an annotation lies in samples of a signal at `rate` (samples per
// second) in a record of `frameFrequency` frames per second; halves round up.
int64_t WfdbAnnotationSample(int64_t ticks, double resolution, double frameFrequency, double rate);

}  // namespace koru
