#pragma once
// The one open recording: where it came from, its header, its frame count,
// its samples (in memory or read from the file on demand) and its markers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Progress.h"
#include "signal/FrameStore.h"
#include "signal/MarkerList.h"
#include "signal/SignalHeader.h"
#include "signal/SourceKind.h"

namespace koru {

class FrameCursor;

// What a load did: how many frames are now readable, and whether it stopped
// short because memory ran out (the recording then stays open, partly loaded).
struct LoadResult {
    int64_t frames = 0;
    bool outOfMemory = false;
};

class SignalDocument {
  public:
    bool IsOpen() const { return isOpen_; }
    const std::string& FileName() const { return fileName_; }  // upper case, as shown
    const std::string& Path() const { return path_; }          // as given, for opening
    const SignalHeader& Header() const { return header_; }
    SignalHeader& MutableHeader() { return header_; }
    SourceKind Kind() const { return kind_; }
    int32_t FrameCount() const { return frameCount_; }
    bool FileBacked() const { return fileBacked_; }
    // Fixed for the run from the FILEMODE setting; only while nothing is open.
    void SetFileBacked(bool on) {
        if (!isOpen_) fileBacked_ = on;
    }

    MarkerList& Markers() { return markers_; }
    const MarkerList& Markers() const { return markers_; }

    // Open step pieces, used in this order by the open flow.
    bool OpenFile(const std::string& path, const std::string& upperName, SourceKind kind);
    // Reads the 326-byte header; false when fewer bytes exist or it is not acceptable.
    bool ReadSigHeader();
    void MarkOpen() { isOpen_ = true; }
    void Close();

    int32_t CountFrames();
    // Fills the store in memory mode, telling `progress` each new percentage
    // (0 first); in file mode it only positions the file.
    LoadResult Load(ProgressSink& progress);

    // Byte offset of frame i in the file.
    uint64_t FrameOffset(int64_t i) const;

    // In-memory lookup; nullptr for an absent frame.
    const Frame* FindFrame(int64_t i) const { return store_.Find(i); }
    // File-mode sequential reading: SeekFrame once, then ReadFrame repeatedly.
    void SeekFrame(int64_t i);
    bool ReadFrame(Frame& out);

    // Frames available to readers in either mode: the stored ones in memory
    // mode, the whole frames in the file in file mode.
    int64_t ReadableFrames() const;

    // Decodes `frames` whole frames of raw file bytes into normalised frames.
    static void DecodeFrames(const uint8_t* raw, std::size_t frames, uint16_t channels,
                             SourceKind kind, Frame* out);

    FrameStore& StoreForTesting() { return store_; }
    const ReadOnlyFile& File() const { return file_; }

  private:
    bool isOpen_ = false;
    bool fileBacked_ = false;
    std::string fileName_;
    std::string path_;
    ReadOnlyFile file_;
    SignalHeader header_;
    SourceKind kind_ = SourceKind::Sig;
    int32_t frameCount_ = 0;
    FrameStore store_;
    MarkerList markers_;
    std::unique_ptr<FrameCursor> seekCursor_;
};

// Sequential access to frames from a starting index in either storage mode,
// the way every reader (view, save, print, amplitude) walks the samples.
class FrameCursor {
  public:
    FrameCursor(const SignalDocument& doc, int64_t first);
    // The next frame, or nullptr once the data has ended.
    const Frame* Next();

  private:
    const SignalDocument& doc_;
    int64_t next_;
    std::vector<uint8_t> raw_;
    std::vector<Frame> buffer_;
    std::size_t pos_ = 0;
    std::size_t filled_ = 0;
};

}  // namespace koru
