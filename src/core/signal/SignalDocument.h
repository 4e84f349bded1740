#pragma once
// The one open recording: where it came from, its header, its frame count,
// its samples (in memory or read from the file on demand), its markers and
// its annotations.
//
// In memory mode a recording is read whole into the store only while it is
// short; a longer one is read from the file as it is shown, so that opening
// takes no longer and no more memory at 72 hours than at one minute. The
// file stays open from the open on, so a save over it by rename or an
// append elsewhere never changes what is shown; positioned reads (never a
// mapping) make a file cut short under the program a shorter recording, not
// a crash.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/Memory.h"
#include "platform/Progress.h"
#include "signal/AnnotationList.h"
#include "signal/ForeignSource.h"
#include "signal/FrameStore.h"
#include "signal/MarkerList.h"
#include "signal/SignalHeader.h"
#include "signal/SourceKind.h"
#include "text/TimeText.h"

namespace koru {

class FrameCursor;

// What a load did: how many frames are now readable, and whether it stopped
// short because memory ran out (the recording then stays open, partly loaded).
struct LoadResult {
    int64_t frames = 0;
    bool outOfMemory = false;
    std::string error;  // a foreign file could not be read to its end
};

class SignalDocument {
  public:
    bool IsOpen() const { return isOpen_; }
    const std::string& FileName() const { return fileName_; }  // upper case, as shown
    const std::string& Path() const { return path_; }          // as given, for opening
    const SignalHeader& Header() const { return header_; }
    SignalHeader& MutableHeader() { return header_; }
    // What every time shown or printed is computed from: the exact sampling
    // rate of a foreign recording, else the header's interval.
    FrameClock Clock() const {
        return clock_ ? *clock_ : FrameClock::FromInterval(header_.Interval);
    }
    void SetClock(const FrameClock& clock) { clock_ = clock; }
    SourceKind Kind() const { return kind_; }
    int32_t FrameCount() const { return frameCount_; }
    // A foreign recording is in memory mode, whatever FILEMODE says.
    bool FileBacked() const { return fileBacked_ && !foreign_; }
    // Whether samples are read from the open file as they are wanted rather
    // than from the store: file mode, or a long recording in memory mode.
    bool OnDemand() const;
    // Whether Load reads the samples into the store (and may take a while,
    // and may run out of memory).
    bool LoadsWhole() const { return isOpen_ && !OnDemand(); }
    // Bytes of samples up to which memory mode reads a recording whole.
    static constexpr uint64_t kWholeLoadBytes = uint64_t{16} << 20;
    void SetWholeLoadLimitForTesting(uint64_t bytes) { wholeLoadLimit_ = bytes; }
    // Fixed for the run from the FILEMODE setting; only while nothing is open.
    void SetFileBacked(bool on) {
        if (!isOpen_) fileBacked_ = on;
    }

    // The physical unit of each channel where the recording names it (a
    // foreign one); empty otherwise.
    const std::string& ChannelUnit(std::size_t c) const { return units_[c]; }
    void SetChannelUnits(const std::array<std::string, kFrameChannels>& units) { units_ = units; }

    MarkerList& Markers() { return markers_; }
    const MarkerList& Markers() const { return markers_; }
    // Every labelled annotation of the open recording (a foreign file's
    // own, detected beats); emptied when the recording closes.
    AnnotationList& Annotations() { return annotations_; }
    const AnnotationList& Annotations() const { return annotations_; }

    // Open step pieces, used in this order by the open flow.
    bool OpenFile(const std::string& path, const std::string& upperName, SourceKind kind);
    // Reads the 326-byte header; false when fewer bytes exist or it is not acceptable.
    bool ReadSigHeader();
    void MarkOpen() { isOpen_ = true; }
    // Takes the source a foreign recording's samples are loaded from.
    void SetForeignSource(std::unique_ptr<ForeignSource> source);
    const ForeignSource* Foreign() const { return foreign_.get(); }
    ForeignSource* Foreign() { return foreign_.get(); }
    // Whether the open left the foreign recording's annotations to be read
    // (the markers and the annotation list are empty until then).
    bool AnnotationsPending() const { return foreign_ && foreign_->AnnotationsPending(); }
    // Which of the foreign source's signals are channels 1 to n.
    void SetChosenSignals(std::vector<int> chosen) { chosen_ = std::move(chosen); }
    const std::vector<int>& ChosenSignals() const { return chosen_; }
    void Close();

    // FrameCount is a signed 32-bit count: a longer file is cut there, and
    // the frames past it cannot be reached.
    int32_t CountFrames();
    bool FramesCut() const { return framesCut_; }
    // Fills the store in memory mode, telling `progress` each new percentage
    // (0 first); in file mode it only positions the file. The load stops
    // where the memory guard would have it leave less than its reserve.
    LoadResult Load(ProgressSink& progress);
    // The guard in-memory loads ask before taking memory; the system's
    // figures unless a test brings its own.
    void SetMemoryGuard(MemoryGuard guard) { guard_ = std::move(guard); }

    // Byte offset of frame i in the file.
    uint64_t FrameOffset(int64_t i) const;

    // One frame by index; nothing for an absent frame.
    std::optional<Frame> FindFrame(int64_t i) const;
    // File-mode sequential reading: SeekFrame once, then ReadFrame repeatedly.
    void SeekFrame(int64_t i);
    bool ReadFrame(Frame& out);

    // Frames available to readers in either mode: the stored ones when
    // loaded whole, else the whole frames the file held when it was opened.
    int64_t ReadableFrames() const;
    // Up to `count` decoded frames from `first` when read on demand; fewer
    // at the end of the data or where the file was cut short since. `raw`
    // holds the file's bytes on the way.
    std::size_t ReadOnDemand(int64_t first, std::size_t count, Frame* out,
                             std::vector<uint8_t>& raw) const;

    // Decodes `frames` whole frames of raw file bytes into normalised frames.
    static void DecodeFrames(const uint8_t* raw, std::size_t frames, uint16_t channels,
                             SourceKind kind, Frame* out);
    // The same into the store's packed layout: the first `stored` channels
    // of each frame, one after the other.
    static void DecodePacked(const uint8_t* raw, std::size_t frames, uint16_t channels,
                             SourceKind kind, int16_t* out, int stored);

    const FrameStore& Store() const { return store_; }
    FrameStore& StoreForTesting() { return store_; }
    const ReadOnlyFile& File() const { return file_; }

  private:
    bool isOpen_ = false;
    bool fileBacked_ = false;
    std::string fileName_;
    std::string path_;
    ReadOnlyFile file_;
    SignalHeader header_;
    std::optional<FrameClock> clock_;
    SourceKind kind_ = SourceKind::Sig;
    int32_t frameCount_ = 0;
    bool framesCut_ = false;
    uint64_t wholeLoadLimit_ = kWholeLoadBytes;
    FrameStore store_;
    MemoryGuard guard_;
    MarkerList markers_;
    AnnotationList annotations_;
    std::array<std::string, kFrameChannels> units_;
    std::unique_ptr<FrameCursor> seekCursor_;
    std::unique_ptr<ForeignSource> foreign_;
    std::vector<int> chosen_;
};

// Contiguous runs of frames from a starting index in either storage mode:
// straight from the store's chunks for an eight-channel recording in memory,
// unpacked a block at a time from a store of fewer channels, one block read
// per refill from the file. Readers that work on many frames at a time
// (painting, saving, measuring) take runs instead of single frames.
class FrameSpans {
  public:
    FrameSpans(const SignalDocument& doc, int64_t first);
    // Up to `want` next frames as one run, fewer where a chunk or block
    // ends; empty once the data has ended. Valid until the next call.
    std::span<const Frame> Next(std::size_t want);
    int64_t Position() const { return next_; }

  private:
    std::span<const Frame> NextFromStore(std::size_t want);

    const SignalDocument& doc_;
    int64_t next_;
    std::vector<uint8_t> raw_;
    std::vector<Frame> buffer_;
    int zeroedPast_ = 0;  // channels of buffer_ from this one on are all zero
    std::size_t pos_ = 0;
    std::size_t filled_ = 0;
};

// Widens lo and hi, channel by channel, to cover every frame of the run.
// Kept to plain loops over fixed-size arrays so the compiler turns them into
// vector minimum and maximum instructions.
inline void WidenExtremes(std::span<const Frame> run, Frame& lo, Frame& hi) {
    Frame l = lo, h = hi;
    for (const Frame& f : run) {
        for (std::size_t c = 0; c < kFrameChannels; ++c) {
            l[c] = f[c] < l[c] ? f[c] : l[c];
            h[c] = f[c] > h[c] ? f[c] : h[c];
        }
    }
    lo = l;
    hi = h;
}

// Sequential access to frames from a starting index in either storage mode,
// one frame at a time.
class FrameCursor {
  public:
    FrameCursor(const SignalDocument& doc, int64_t first) : spans_(doc, first) {}
    // The next frame, or nullptr once the data has ended.
    const Frame* Next() {
        if (pos_ >= run_.size()) {
            run_ = spans_.Next(SIZE_MAX);
            pos_ = 0;
            if (run_.empty()) return nullptr;
        }
        return &run_[pos_++];
    }

  private:
    FrameSpans spans_;
    std::span<const Frame> run_;
    std::size_t pos_ = 0;
};

}  // namespace koru
