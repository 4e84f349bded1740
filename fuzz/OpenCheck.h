#pragma once
// Opens one file in both storage modes and checks that they agree with each
// other and with the bytes of the file: the same outcome and header, every
// frame there and nothing past the end, the same values from every way of
// reading them.

#include <algorithm>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "app/Session.h"
#include "app/Snapshot.h"
#include "signal/OpenFlow.h"

namespace koru::fuzz {

// Answers the Read Binary dialog with fuzzed values; everything else as a
// Ui with nobody in front of it.
class AnsweringUi : public HeadlessUi {
  public:
    ReadBinaryAnswer answer;
    ReadBinaryAnswer ReadBinary() override { return answer; }
};

struct Opened {
    AnsweringUi ui;
    SignalDocument doc;
    OpenOutcome outcome = OpenOutcome::CannotOpen;
    LoadResult load;

    Opened(const std::string& path, bool fileBacked, ReadBinaryAnswer answer) {
        ui.answer = answer;
        doc.SetFileBacked(fileBacked);
        outcome = OpenSignalFile(doc, path, ui);
        if (outcome == OpenOutcome::Opened) load = LoadRecording(doc, ui);
    }
};

// The sample of channel c (0-based) in frame f, straight from the bytes:
// little-endian words, a ".dat" word's top 12 bits with their sign, a
// ".nib" word big-endian; channels the recording does not have are 0.
inline int16_t SampleFromBytes(std::string_view data, std::size_t dataStart, uint16_t channels,
                               SourceKind kind, int64_t f, int c) {
    if (c >= channels) return 0;
    const std::size_t at =
        dataStart + (static_cast<std::size_t>(f) * channels + static_cast<std::size_t>(c)) * 2;
    const auto lo = static_cast<uint8_t>(data[at]);
    const auto hi = static_cast<uint8_t>(data[at + 1]);
    switch (kind) {
        case SourceKind::Nib:
            return static_cast<int16_t>((lo << 8) | hi);
        case SourceKind::Dat: {
            const auto word = static_cast<int16_t>((hi << 8) | lo);
            return static_cast<int16_t>(word >> 4);
        }
        case SourceKind::Sig:
        case SourceKind::Bin:
        case SourceKind::Foreign:
            break;
    }
    return static_cast<int16_t>((hi << 8) | lo);
}

inline void CheckFrame(const Frame& got, std::string_view data, std::size_t dataStart,
                       uint16_t channels, SourceKind kind, int64_t f) {
    for (int c = 0; c < kFrameChannels; ++c) {
        KORU_FUZZ_CHECK(got[static_cast<std::size_t>(c)] ==
                            SampleFromBytes(data, dataStart, channels, kind, f, c),
                        "a frame value differs from the file's bytes");
    }
}

// Reads every frame from `first` in runs whose lengths follow `wants`.
inline void CheckRuns(const SignalDocument& doc, std::string_view data, std::size_t dataStart,
                      int64_t first, std::string_view wants) {
    FrameSpans spans(doc, first);
    int64_t f = first;
    for (std::size_t i = 0;; ++i) {
        const std::size_t want =
            wants.empty() ? 4096 : 1 + static_cast<uint8_t>(wants[i % wants.size()]) * 7u;
        const std::span<const Frame> run = spans.Next(want);
        if (run.empty()) break;
        KORU_FUZZ_CHECK(run.size() <= want, "a run is longer than asked for");
        for (const Frame& fr : run)
            CheckFrame(fr, data, dataStart, doc.Header().ChannelCount, doc.Kind(), f++);
        KORU_FUZZ_CHECK(spans.Position() == f, "the run position is off");
    }
    KORU_FUZZ_CHECK(f == std::max(first, doc.ReadableFrames()), "runs end at the wrong frame");
}

inline void CheckCursor(const SignalDocument& doc, std::string_view data, std::size_t dataStart) {
    FrameCursor cursor(doc, 0);
    int64_t f = 0;
    while (const Frame* fr = cursor.Next())
        CheckFrame(*fr, data, dataStart, doc.Header().ChannelCount, doc.Kind(), f++);
    KORU_FUZZ_CHECK(f == doc.ReadableFrames(), "the cursor ends before the last frame");
}

// Both modes of `path`, whose bytes are `data`; `wants` varies the run lengths.
inline void CheckBothModes(const std::string& path, std::string_view data, ReadBinaryAnswer answer,
                           std::string_view wants) {
    Opened mem(path, false, answer);
    Opened file(path, true, answer);
    KORU_FUZZ_CHECK(mem.outcome == file.outcome, "the modes open differently");
    if (mem.outcome != OpenOutcome::Opened) {
        KORU_FUZZ_CHECK(mem.ui.messages.size() == 1, "a refused file is not reported once");
        KORU_FUZZ_CHECK(!mem.doc.IsOpen() && !file.doc.IsOpen(), "a refused file stays open");
        return;
    }
    KORU_FUZZ_CHECK(mem.ui.messages.empty() && file.ui.messages.empty(),
                    "a message on a good open");
    const SignalHeader& h = mem.doc.Header();
    KORU_FUZZ_CHECK(SerializeHeader(h) == SerializeHeader(file.doc.Header()), "headers differ");
    KORU_FUZZ_CHECK(h.ChannelCount >= 1 && h.Interval >= 1, "a header that divides by zero");
    KORU_FUZZ_CHECK(ValidUtf8(h.DescriptionDisplayText()), "the description is no UTF-8");

    const std::size_t dataStart = mem.doc.Kind() == SourceKind::Sig ? SignalHeader::kSize : 0;
    const std::size_t frameBytes = 2u * h.ChannelCount;
    const auto frames =
        static_cast<int64_t>(data.size() > dataStart ? (data.size() - dataStart) / frameBytes : 0);
    KORU_FUZZ_CHECK(mem.doc.FrameCount() == frames && file.doc.FrameCount() == frames,
                    "the frame count is not the file's");
    KORU_FUZZ_CHECK(!mem.load.outOfMemory && mem.load.frames == frames, "the load stopped short");
    KORU_FUZZ_CHECK(mem.doc.ReadableFrames() == frames && file.doc.ReadableFrames() == frames,
                    "not every frame is readable");

    for (const Opened* o : {&mem, &file}) {
        CheckRuns(o->doc, data, dataStart, 0, wants);
        CheckRuns(o->doc, data, dataStart, frames / 3, wants);
        CheckRuns(o->doc, data, dataStart, frames, wants);
        KORU_FUZZ_CHECK(FrameSpans(o->doc, -1).Next(10).empty(), "frames before the first");
        CheckCursor(o->doc, data, dataStart);
    }
}

}  // namespace koru::fuzz
