#pragma once
// The EDF and BDF header and the EDF+ annotation lists (TALs), parsed from
// bytes, apart from files, so they are tested and fuzzed without any.
// Lenient where a field does not change the data (text bytes, the unit or
// prefilter of an annotation signal, "EDF+C" without annotations), strict
// about the layout and sizes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

struct EdfSignalHeader {
    std::string label;  // trimmed, bytes as written
    std::string unit;   // the physical dimension, trimmed
    bool annotations = false;
    double physMin = 0, physMax = 0;
    double digMin = 0, digMax = 0;
    int64_t perRecord = 0;  // samples in each data record
    uint64_t offset = 0;    // byte of its first sample in a record
};

struct EdfHeader {
    bool bdf = false;            // 24-bit samples
    bool discontinuous = false;  // "EDF+D" (or "BDF+D"): records carry their own times
    std::string patient, recording;
    std::string startDate, startTime;  // "dd.mm.yy", "hh.mm.ss" as written
    int64_t records = 0;
    double duration = 0;  // seconds a data record
    uint64_t headerBytes = 0, recordBytes = 0;
    std::vector<EdfSignalHeader> signals;  // all, annotation signals too

    int SampleBytes() const { return bdf ? 3 : 2; }
};

// The header's size from its first 256 bytes; nothing with `error` set when
// they are not an EDF or BDF header.
std::optional<std::size_t> EdfHeaderSize(std::string_view first256, std::string& error);

// The whole header (EdfHeaderSize bytes) of a file of `fileSize` bytes. A
// record count of -1 is taken from the size; a file shorter than its
// records is refused, bytes past them are ignored.
std::optional<EdfHeader> ParseEdfHeader(std::string_view bytes, uint64_t fileSize,
                                        std::string& error);

// One time-stamped annotation list: onset (seconds from the file's start
// time), duration (0 when absent) and its texts (none for the list that
// only gives a data record's time).
struct EdfTal {
    double onset = 0;
    double duration = 0;
    std::vector<std::string> texts;
};

// The lists in one annotation signal's bytes of one data record, in order;
// lists whose onset is no number are skipped.
std::vector<EdfTal> ParseTals(std::string_view bytes);

}  // namespace koru
