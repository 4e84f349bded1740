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
    uint64_t byteOffset = 0;
    double gain = 200;  // digital counts per physical unit
    double baseline = 0;
    std::string units = "mV";
    std::string description;
};

struct WfdbHeader {
    std::string record;
    double frequency = 250;
    std::optional<int64_t> samples;  // frames; absent: from the data file's size
    std::vector<WfdbSignalLine> signals;
};

// False with the reason in `error` when the text is not a usable header.
bool ParseWfdbHeader(std::string_view text, WfdbHeader& out, std::string& error);

// Reads the positions of every annotation of an MIT annotation file, in file
// order; stops quietly where the file ends or turns malformed.
std::vector<int64_t> ParseMitAnnotations(std::string_view bytes);

// The same block by block, so a large file is never held whole. What the
// parser carries from one block to the next.
struct MitAnnotationState {
    int64_t time = 0;
    uint64_t skip = 0;   // bytes of aux text still to pass over
    bool ended = false;  // the end word, or a malformed end: nothing more to read
    bool full = false;   // an annotation came past `limit`
};
// Parses `bytes` up to `limit` positions in `out`; returns the bytes used.
// Those left (a word cut by the block's end) start the next block.
std::size_t ParseMitAnnotationBlock(std::string_view bytes, MitAnnotationState& state,
                                    std::vector<int64_t>& out, std::size_t limit);

}  // namespace koru
