// GDF and SCP-ECG through the field's general reading library. The library
// crashes, hangs and allocates without end on some files, so it never runs
// in this process: the reader program (src/reader) opens the file under a
// time and memory limit and hands back the description and every digital
// sample in one memory file, which is checked before anything is used. A
// large file is served instead: the reader stays running and hands over
// the samples of each range as it is shown (LibrarySourceSession).

#include "signal/LibrarySource.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/ChildProcess.h"
#include "platform/File.h"
#include "signal/ForeignSource.h"
#include "signal/LibrarySourceSession.h"
#include "signal/LibraryStream.h"

namespace koru {

namespace {

constexpr const char* kReaderProgram = "koru-reader";
constexpr const char* kReaderVariable = "KORU_READER";

std::string Upper(const std::string& text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The library picks the reader by content; a file whose name and first bytes
// disagree is refused, so a misnamed file never reaches a reader that was
// not meant for it.
bool ContentMatchesName(const std::string& upperPath, const ReadOnlyFile& file) {
    char head[8] = {};
    const std::size_t got = file.ReadAt(0, head, sizeof head);
    if (upperPath.ends_with(".GDF")) return got >= 3 && std::memcmp(head, "GDF", 3) == 0;
    return got > 0;
}

bool SameRate(double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

// A few seconds, a little more for a large file: the window waits this long
// at most.
int TimeLimitMs(uint64_t fileBytes) {
    return static_cast<int>(5000 + std::min<uint64_t>(fileBytes / (32u << 20), 120) * 1000);
}

// One request reads at most a few tens of megabytes.
constexpr int kRequestMs = 10000;

class LibrarySource : public ForeignSource {
  public:
    ~LibrarySource() override {
        if (map_) munmap(map_, mapSize_);
    }
    bool Open(const std::string& path, uint64_t serveFromBytes, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override { return stream_.identification; }
    int64_t FrameCount() const override { return frames_; }
    RecordingStart StartTime() const override { return stream_.start; }
    bool ReadsOnDemand() const override { return session_ != nullptr; }
    std::vector<int64_t> Annotations() const override;
    std::vector<Annotation> LabelledAnnotations() const override;
    void Choose(const std::vector<int>& picked) override;
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override;

  private:
    bool TakeStream(int fd, const std::string& kind, std::string& error);
    bool TakeSignals(std::string& error);
    struct Block {
        uint64_t index = UINT64_MAX;  // of the block's first frame over kBlockFrames
        std::vector<int> chosen;      // the signals it holds
        std::vector<Frame> frames;
    };
    static constexpr uint64_t kBlockFrames = 1 << 15;
    const Block* Load(uint64_t index, std::string& error);
    std::size_t Fetch(int64_t first, std::size_t count, Frame* out, std::string& error);
    int16_t Value(std::size_t signal, uint64_t k) const;
    void CountFramesAt(const std::vector<int>& picked);

    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    LibraryStream stream_;
    std::vector<ForeignSignal> signals_;
    std::vector<int> chosen_;
    double rate_ = 0;  // of the chosen signals (until a choice, the first's)
    int64_t frames_ = 0;
    std::unique_ptr<LibrarySession> session_;  // a served file's reader
    std::mutex fetching_;                      // a background read and the view's
    std::vector<double> fetched_;
    std::array<Block, 2> blocks_;  // two, for a view stepping back and forth over a border
    std::size_t nextBlock_ = 0;
};

bool LibrarySource::Open(const std::string& path, uint64_t serveFromBytes, std::string& error) {
    const std::string upper = Upper(path);
    const std::string kind = upper.ends_with(".GDF") ? "GDF" : "SCP-ECG";
    ReadOnlyFile file;
    if (!file.Open(path) || !ContentMatchesName(upper, file)) {
        error = "The file does not start as its name says.";
        return false;
    }
    const std::string program = FindHelperProgram(kReaderProgram, kReaderVariable);
    if (program.empty()) {
        error = "The " + kind + " reader (" + kReaderProgram + ") is not installed.";
        return false;
    }
    struct stat st {};
    const uint64_t bytes = stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    // An SCP-ECG file is decoded whole by the library as it opens, and its
    // reads of a range go wrong, so only GDF is served.
    if (kind == "GDF" && bytes >= serveFromBytes) {
        session_ = std::make_unique<LibrarySession>();
        return session_->Start(program, path, kind, TimeLimitMs(bytes), kRequestMs, stream_,
                               error) &&
               TakeSignals(error);
    }
    const int fd = MakeMemoryFile(kReaderProgram);
    if (fd < 0) {
        error = "No memory for the " + kind + " reader.";
        return false;
    }
    const ChildOutcome run = RunChild(program, {program, path}, fd, TimeLimitMs(bytes));
    error = ReaderOutcomeText(run, kind);
    const bool ok = error.empty() && TakeStream(fd, kind, error);
    close(fd);
    return ok;
}

bool LibrarySource::TakeStream(int fd, const std::string& kind, std::string& error) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0) {
        error = "The " + kind + " reader stopped on this file.";
        return false;
    }
    mapSize_ = static_cast<std::size_t>(st.st_size);
    map_ = mmap(nullptr, mapSize_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map_ == MAP_FAILED) {
        map_ = nullptr;
        error = "No memory for the recording.";
        return false;
    }
    if (!ParseLibraryStream(static_cast<const uint8_t*>(map_), mapSize_, stream_, error))
        return false;
    if (!stream_.refusal.empty()) {
        error = stream_.refusal;
        return false;
    }
    if (stream_.served) {
        error = "The " + kind + " reader gave no samples.";
        return false;
    }
    return TakeSignals(error);
}

bool LibrarySource::TakeSignals(std::string& error) {
    if (stream_.signals.empty()) {
        error = "The file holds no data signals.";
        return false;
    }
    for (const StreamSignal& s : stream_.signals) {
        ForeignSignal f;
        f.label = s.label;
        f.rate = s.rate;
        f.rule = MakeValueRule(s.digitalMin, s.digitalMax, s.zero, s.unitsPerDigit);
        signals_.push_back(std::move(f));
    }
    CountFramesAt({0});
    return true;
}

// Frames at the rate of `picked`: as many as the shortest of them holds.
void LibrarySource::CountFramesAt(const std::vector<int>& picked) {
    frames_ = 0;
    rate_ = 0;
    for (std::size_t k = 0; k < picked.size(); ++k) {
        const StreamSignal& s = stream_.signals[static_cast<std::size_t>(picked[k])];
        const auto n = static_cast<int64_t>(std::min<uint64_t>(s.samples, INT64_MAX));
        frames_ = k == 0 ? n : std::min(frames_, n);
        if (k == 0) rate_ = s.rate;
    }
}

std::vector<int64_t> LibrarySource::Annotations() const {
    std::vector<int64_t> out;
    const double eventRate = stream_.eventRate > 0 ? stream_.eventRate : rate_;
    for (const uint32_t pos : stream_.events) {
        const double frame = pos * rate_ / eventRate;
        if (std::isfinite(frame) && std::abs(frame) < 9e18) out.push_back(std::llround(frame));
    }
    return out;
}

// The reader hands over event positions only, so each is labelled "Event".
std::vector<Annotation> LibrarySource::LabelledAnnotations() const {
    std::vector<Annotation> out;
    for (const int64_t f : Annotations()) out.push_back({f, "Event", {}, -1});
    return out;
}

void LibrarySource::Choose(const std::vector<int>& picked) {
    chosen_.clear();
    for (const int s : picked) {
        if (s < 0 || static_cast<std::size_t>(s) >= signals_.size()) continue;
        if (!chosen_.empty() && !SameRate(signals_[static_cast<std::size_t>(s)].rate,
                                          signals_[static_cast<std::size_t>(chosen_[0])].rate))
            continue;
        if (chosen_.size() < kFrameChannels) chosen_.push_back(s);
    }
    CountFramesAt(chosen_.empty() ? std::vector<int>{0} : chosen_);
}

int16_t LibrarySource::Value(std::size_t signal, uint64_t k) const {
    const StreamSignal& s = stream_.signals[signal];
    const char* at = static_cast<const char*>(map_) + s.offset + k * SampleWidth(s.encoding);
    if (s.encoding == SampleEncoding::Int32) {
        int32_t digital = 0;
        std::memcpy(&digital, at, sizeof digital);
        return signals_[signal].rule.Value(digital);
    }
    double digital = 0;
    std::memcpy(&digital, at, sizeof digital);
    return signals_[signal].rule.Value(digital);
}

// The frames of one block, as the serving reader gave them (fewer than a
// block at the recording's end).
const LibrarySource::Block* LibrarySource::Load(uint64_t index, std::string& error) {
    for (const Block& b : blocks_)
        if (b.index == index && b.chosen == chosen_) return &b;
    Block& b = blocks_[nextBlock_];
    nextBlock_ = (nextBlock_ + 1) % blocks_.size();
    b.index = UINT64_MAX;
    const std::vector<uint32_t> signals(chosen_.begin(), chosen_.end());
    const uint64_t got =
        session_->Fetch(signals, index * kBlockFrames, kBlockFrames, fetched_, error);
    if (got == 0) return nullptr;
    b.frames.resize(static_cast<std::size_t>(got));
    for (std::size_t k = 0; k < b.frames.size(); ++k) {
        Frame& f = b.frames[k];
        f = Frame{};
        for (std::size_t c = 0; c < signals.size(); ++c)
            f[c] = signals_[signals[c]].rule.Value(fetched_[k * signals.size() + c]);
    }
    b.index = index;
    b.chosen = chosen_;
    return &b;
}

// From the serving reader a block at a time, so that a page step or a line
// scroll asks it once in many times.
std::size_t LibrarySource::Fetch(int64_t first, std::size_t count, Frame* out, std::string& error) {
    std::lock_guard lock(fetching_);
    std::size_t done = 0;
    while (done < count) {
        const uint64_t at = static_cast<uint64_t>(first) + done;
        const Block* b = Load(at / kBlockFrames, error);
        const uint64_t offset = at % kBlockFrames;
        if (!b || offset >= b->frames.size()) {
            if (error.empty()) error = "The file could not be read to its end.";
            break;
        }
        const std::size_t n =
            std::min(count - done, b->frames.size() - static_cast<std::size_t>(offset));
        std::copy_n(b->frames.begin() + static_cast<std::ptrdiff_t>(offset), n, out + done);
        done += n;
    }
    return done;
}

std::size_t LibrarySource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    if (first < 0 || first >= frames_ || chosen_.empty()) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    if (session_) return Fetch(first, count, out, error);
    for (std::size_t k = 0; k < count; ++k) {
        Frame& f = out[k];
        f = Frame{};
        const auto at = static_cast<uint64_t>(first) + k;
        for (std::size_t c = 0; c < chosen_.size(); ++c)
            f[c] = Value(static_cast<std::size_t>(chosen_[c]), at);
    }
    return count;
}

}  // namespace

std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error,
                                                    uint64_t serveFromBytes) {
    auto source = std::make_unique<LibrarySource>();
    if (!source->Open(path, serveFromBytes, error)) return nullptr;
    return source;
}

// KORU_READER_SERVE_BYTES moves the size from which a GDF file is served
// (0: every one), so the crash campaigns can run the serving reader on
// small files.
std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error) {
    uint64_t from = kLibraryServeBytes;
    if (const char* set = std::getenv("KORU_READER_SERVE_BYTES"); set && *set)
        from = std::strtoull(set, nullptr, 10);
    return OpenLibraryRecording(path, error, from);
}

}  // namespace koru
