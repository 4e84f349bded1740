#pragma once
// What the library reader process (koru-reader) hands back: a description of
// the recording followed by every signal's digital samples, all in one block
// of bytes. The reader runs the general library on files nobody checked, so
// to the program these bytes are as untrusted as the file: ParseLibraryStream
// bounds every count and offset before anything is used.
//
// Layout (native byte order; writer and reader are the same build):
//   "KORUSTR1", u32 refusal length, refusal text (non-empty: not opened),
//   u32 identification length, text, u32 signal count, per signal: u32 label
//   length, label, f64 rate, f64 digital min, f64 digital max, f64 units per
//   digit, f64 digital of physical zero, u8 encoding, u64 sample count;
//   f64 event rate, u32 event count, u32 event positions;
//   then each signal's samples in order, each run starting at a multiple of 8.
// Only this file includes nothing but the standard library, so the reader
// process can be built from it without the rest of the core.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace koru {

enum class SampleEncoding : uint8_t { Int32 = 0, Float64 = 1 };

struct StreamSignal {
    std::string label;
    double rate = 0;  // samples per second
    double digitalMin = 0;
    double digitalMax = 0;
    double unitsPerDigit = 0;  // 0 when the file gives no usable calibration
    double zero = 0;           // digital value of physical zero
    SampleEncoding encoding = SampleEncoding::Int32;
    uint64_t samples = 0;
    uint64_t offset = 0;  // of the first sample from the stream's start (set by the layout)
};

struct LibraryStream {
    std::string refusal;  // why the library did not open the file; empty when it did
    std::string identification;
    std::vector<StreamSignal> signals;
    double eventRate = 0;          // events count at this rate; 0: at the first signal's
    std::vector<uint32_t> events;  // annotation positions
};

// Bounds the parser holds a stream to (and the writer keeps to).
inline constexpr std::size_t kStreamMaxSignals = 4096;
inline constexpr std::size_t kStreamMaxText = 4096;

std::size_t SampleWidth(SampleEncoding encoding);

// The description's bytes; sets each signal's offset to where its samples go
// after them.
std::string EncodeStreamHead(LibraryStream& stream);

// Reads a stream of `size` bytes. False with the reason in `error` when any
// count, text, value or sample run does not fit the bytes.
bool ParseLibraryStream(const uint8_t* data, std::size_t size, LibraryStream& out,
                        std::string& error);

}  // namespace koru
