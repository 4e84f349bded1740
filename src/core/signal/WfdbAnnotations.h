#pragma once
// WFDB annotation files in the MIT layout: a stream of 16-bit words, each a
// code (top six bits) and a time step or length (low ten), with pseudo-codes
// that stretch the time (SKIP) or set fields of the annotation before them
// (NUM, SUB, CHN, AUX). Read as the package's own reader lists them: the
// notes at time 0 that carry the file's table (its time resolution, its own
// mnemonics) are consumed, not listed. Read block by block, so a file is
// never held whole, into sixteen bytes an annotation and its text.

#include <array>
#include <cstddef>
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
    uint32_t aux = 0;  // 0: no text kept, else 1 + index into WfdbAnnotationFile::texts
};

struct WfdbAnnotationFile {
    std::vector<WfdbAnnotation> items;  // in file order
    // The annotations' texts (each up to 255 bytes), up to a budget.
    std::vector<std::string> texts;
    // Texts past the budget were dropped.
    bool textsCut = false;
    // Ticks per second from a "## time resolution" note; 0: the ticks are
    // frames of the record.
    double resolution = 0;
    // The mnemonic of each code, with the file's own table applied.
    std::array<std::string, 64> labels;
    // False when the bytes ended inside an annotation, or no word 0 ended them.
    bool complete = false;
    // The reading stopped at its limit of annotations; the rest are left out.
    bool full = false;

    const std::string& Label(const WfdbAnnotation& a) const { return labels[a.code & 63]; }
    const std::string& Text(const WfdbAnnotation& a) const {
        static const std::string none;
        return a.aux == 0 ? none : texts[a.aux - 1];
    }
};

// What the reading carries from one block to the next.
struct WfdbAnnotationState {
    int64_t time = 0;
    WfdbAnnotation current;  // channel and number carry over to the next annotation
    WfdbAnnotation open;     // read, its pseudo-codes still coming
    bool hasOpen = false;
    bool inTable = true;        // every annotation before `open` may be the table
    std::size_t textBytes = 0;  // kept for the table
    std::size_t noteBytes = 0;  // kept for the other annotations
    bool ended = false;         // the end word or the limit: nothing more to read
};

// Parses `bytes` into `out`, at most `limit` annotations (counting the
// table's notes); returns the bytes used. Those left (a word or a
// pseudo-code's fields cut by the block's end) start the next block.
std::size_t ParseWfdbAnnotationBlock(std::string_view bytes, WfdbAnnotationState& state,
                                     WfdbAnnotationFile& out, std::size_t limit);
// After the last block: closes the last annotation and takes out the table.
void FinishWfdbAnnotations(WfdbAnnotationState& state, WfdbAnnotationFile& out);

// The whole file at once (the two above in one block).
WfdbAnnotationFile ParseWfdbAnnotations(std::string_view bytes, std::size_t limit = SIZE_MAX);

// Whether the code is a beat (a QRS complex), as the package's table says.
bool IsWfdbBeat(int code);

// Where an annotation lies in samples of a signal at `rate` (samples per
// second) in a record of `frameFrequency` frames per second; halves round up.
int64_t WfdbAnnotationSample(int64_t ticks, double resolution, double frameFrequency, double rate);

}  // namespace koru
