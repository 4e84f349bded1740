#pragma once
// What the library reader process (koru-reader) hands back: a description of
// the recording followed by every signal's digital samples, all in one block
// of bytes. The reader runs the general library on files nobody checked, so
// to the program these bytes are as untrusted as the file: ParseLibraryStream
// bounds every count and offset before anything is used.
//
// Layout (native byte order; writer and reader are the same build):
//   "KORUSTR2", u32 refusal length, refusal text (non-empty: not opened),
//   u32 identification length, text, start: i32 year, month, day, hour,
//   minute, second, microseconds (year 0: no date, hour -1: no time), u8 1
//   when the samples are served on request rather than following, u32
//   signal count, per signal: u32 label
//   length, label, f64 rate, f64 digital min, f64 digital max, f64 units per
//   digit, f64 digital of physical zero, u8 encoding, u64 sample count;
//   f64 event rate, u32 event count, u32 event positions;
//   then (unless served) each signal's samples in order, each run starting
//   at a multiple of 8.
//
// A reader that serves its samples stays running after the description and
// answers requests on a socket: the request is u32 signal count (1 to 8),
// eight u32 signal indices, u64 first sample, u64 sample count (at the
// signals' one rate); the answer is u32 status (0: read), u32 message length,
// u64 samples given (at most those asked), the message, then the samples
// as f64, frame by frame, one a signal.
// Only this file includes nothing but the standard library, so the reader
// process can be built from it without the rest of the core.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signal/RecordingStart.h"

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
    RecordingStart start;  // parts out of range come back unknown
    bool served = false;   // samples come on request, not after the description
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

inline constexpr std::size_t kServeMaxSignals = 8;
inline constexpr uint64_t kServeMaxSamples = 1 << 16;  // a request's and an answer's bound

struct ServeRequest {
    std::vector<uint32_t> signals;
    uint64_t first = 0;
    uint64_t count = 0;
};
inline constexpr std::size_t kServeRequestBytes = 4 + 4 * kServeMaxSignals + 16;

struct ServeAnswerHead {
    uint32_t status = 0;  // 0: the samples follow
    std::string message;
    uint64_t samples = 0;
};
inline constexpr std::size_t kServeAnswerFixedBytes = 16;

std::string EncodeServeRequest(const ServeRequest& request);
// False when the count of signals is out of bounds.
bool ParseServeRequest(const uint8_t* data, ServeRequest& out);
std::string EncodeServeAnswerHead(const ServeAnswerHead& head);
// The fixed part (kServeAnswerFixedBytes); the message's length is checked
// against kStreamMaxText and the samples against the request's count.
bool ParseServeAnswerFixed(const uint8_t* data, uint64_t asked, ServeAnswerHead& out,
                           uint32_t& messageBytes);

// Reads a stream of `size` bytes. False with the reason in `error` when any
// count, text, value or sample run does not fit the bytes.
bool ParseLibraryStream(const uint8_t* data, std::size_t size, LibraryStream& out,
                        std::string& error);

}  // namespace koru
