// A single WFDB record: one reader per signal file, signals placed in the
// file's frames, skews undone.

#include "signal/WfdbRecord.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace koru {

namespace {

// One signal file: its reader and the signals interleaved in it.
struct DataFile {
    std::string name;
    std::unique_ptr<SampleReader> reader;
    StreamLayout layout;
    int maxSkew = 0;
    int flacSpf = 0;  // FLAC: every signal of the file has this many samples a frame
};

// Where a signal lives: its file (npos: a null signal, all invalid), its
// first sample in a frame, and its skew in frames.
struct SignalPlace {
    std::size_t file = SIZE_MAX;
    int firstSample = 0;
    int samplesPerFrame = 1;
    int skew = 0;
};

class SingleRecord : public WfdbRecord {
  public:
    bool Open(const std::string& dir, const WfdbHeader& header, std::string& error);

    bool Read(const std::vector<int>& signals, int64_t first, std::size_t count,
              std::vector<std::span<int32_t>>& out, std::string& error) override;

  private:
    bool Place(const WfdbHeader& header, std::string& error);
    bool OpenReaders(const std::string& dir, std::string& error);
    bool CountFrames(const WfdbHeader& header, std::string& error);
    bool ReadFile(std::size_t f, const std::vector<std::size_t>& fed,
                  const std::vector<int>& signals, int64_t first, std::size_t count,
                  std::vector<std::span<int32_t>>& out, std::string& error);

    std::vector<DataFile> files_;
    std::vector<SignalPlace> places_;
    std::vector<int32_t> stream_;
};

bool SingleRecord::Open(const std::string& dir, const WfdbHeader& header, std::string& error) {
    if (header.signals.empty()) {
        error = "The WFDB record has no signals.";
        return false;
    }
    return Place(header, error) && OpenReaders(dir, error) && CountFrames(header, error);
}

// Groups the signals by file, in header order, as the package does: signals
// of one file give one format.
bool SingleRecord::Place(const WfdbHeader& header, std::string& error) {
    std::map<std::string, std::size_t> byName;
    for (const WfdbSignalLine& s : header.signals) {
        WfdbRecordSignal rs;
        rs.line = s;
        const double half = std::ldexp(1.0, FormatBits(s.format) - 1);
        rs.digitalMin = -half;
        rs.digitalMax = half - 1;
        signals_.push_back(rs);
        if (s.format == 0) {  // a null signal: no file, no samples
            places_.push_back({SIZE_MAX, 0, s.samplesPerFrame, 0});
            continue;
        }
        if (!IsWfdbFormat(s.format)) {
            error = "WFDB format " + std::to_string(s.format) +
                    " is not supported (8, 16, 24, 32, 61, 80, 160, 212, 310, 311, 508, 516 and "
                    "524 are).";
            return false;
        }
        auto [it, added] = byName.try_emplace(s.file, files_.size());
        if (added) {
            DataFile df;
            df.name = s.file;
            df.layout.format = s.format;
            df.layout.byteOffset = s.byteOffset;
            df.layout.samplesPerFrame = 0;
            files_.push_back(std::move(df));
        }
        DataFile& df = files_[it->second];
        if (df.layout.format != s.format) {
            error = "The signals of " + s.file + " give different formats.";
            return false;
        }
        const int signalInFile = static_cast<int>(df.layout.initialValues.size());
        places_.push_back({it->second, df.layout.samplesPerFrame, s.samplesPerFrame, s.skew});
        df.layout.samplesPerFrame += s.samplesPerFrame;
        df.layout.initialValues.push_back(s.initialValue);
        df.layout.slotSignal.insert(df.layout.slotSignal.end(),
                                    static_cast<std::size_t>(s.samplesPerFrame), signalInFile);
        df.maxSkew = std::max(df.maxSkew, s.skew);
        if (IsFlacFormat(s.format)) {
            ++df.layout.flacChannels;
            if (df.flacSpf != 0 && df.flacSpf != s.samplesPerFrame) {
                error =
                    "The signals of the FLAC file " + s.file + " give different samples per frame.";
                return false;
            }
            df.flacSpf = s.samplesPerFrame;
        }
    }
    return true;
}

bool SingleRecord::OpenReaders(const std::string& dir, std::string& error) {
    for (DataFile& df : files_) {
        ReadOnlyFile file;
        if (df.name.find('/') != std::string::npos || df.name == "~" || !file.Open(dir + df.name)) {
            error = "The WFDB data file " + df.name + " cannot be opened.";
            return false;
        }
        df.reader = MakeSampleReader(std::move(file), df.layout, error);
        if (!df.reader) return false;
    }
    return true;
}

// As the package reads: to the header's length, or to the end of the
// shortest file, less the largest skew of that file.
bool SingleRecord::CountFrames(const WfdbHeader& given, std::string& error) {
    WfdbHeader header = given;
    if (header.samples == 0) header.samples.reset();  // 0: the length is not stated
    int64_t frames = header.samples.value_or(INT64_MAX);
    for (const DataFile& df : files_) {
        const int64_t inFile = df.reader->FramesInFile();
        if (inFile < 0) {  // FLAC without its length: only the header can tell
            if (!header.samples) {
                error = "The WFDB header gives no length and " + df.name + " does not tell it.";
                return false;
            }
            frames = std::min(frames, *header.samples - df.maxSkew);
            continue;
        }
        if (header.samples && inFile < *header.samples) {
            error = "The WFDB data file " + df.name + " is shorter than its header says.";
            return false;
        }
        frames = std::min(frames, inFile - df.maxSkew);
    }
    if (frames == INT64_MAX) {
        error = "The WFDB header gives no length and the record has no signal files.";
        return false;
    }
    frames_ = std::clamp<int64_t>(frames, 0, kWfdbMaxFrames);
    return true;
}

bool SingleRecord::Read(const std::vector<int>& signals, int64_t first, std::size_t count,
                        std::vector<std::span<int32_t>>& out, std::string& error) {
    if (count == 0) return true;
    // Each file's stretch of frames is decoded once, however many signals it
    // feeds, unless their skews lie so far apart that one stretch for each is less.
    for (std::size_t f = 0; f < files_.size(); ++f) {
        std::vector<std::size_t> fed;
        int64_t lo = INT64_MAX, hi = -1, widest = 0;
        for (std::size_t k = 0; k < signals.size(); ++k) {
            const SignalPlace& p = places_[static_cast<std::size_t>(signals[k])];
            if (p.file != f) continue;
            fed.push_back(k);
            const int64_t a = first / p.samplesPerFrame + p.skew;
            const int64_t b =
                (first + static_cast<int64_t>(count) - 1) / p.samplesPerFrame + p.skew;
            lo = std::min(lo, a);
            hi = std::max(hi, b);
            widest = std::max(widest, b - a + 1);
        }
        if (fed.empty()) continue;
        if (hi - lo + 1 > 2 * widest + 64) {
            for (const std::size_t k : fed)
                if (!ReadFile(f, {k}, signals, first, count, out, error)) return false;
        } else if (!ReadFile(f, fed, signals, first, count, out, error)) {
            return false;
        }
    }
    for (std::size_t k = 0; k < signals.size(); ++k)
        if (places_[static_cast<std::size_t>(signals[k])].file == SIZE_MAX)
            std::fill(out[k].begin(), out[k].begin() + static_cast<std::ptrdiff_t>(count),
                      kWfdbInvalid);
    return true;
}

// The signals signals[k] for k in `fed`, all of file f, from one decoded stretch.
bool SingleRecord::ReadFile(std::size_t f, const std::vector<std::size_t>& fed,
                            const std::vector<int>& signals, int64_t first, std::size_t count,
                            std::vector<std::span<int32_t>>& out, std::string& error) {
    int64_t lo = INT64_MAX, hi = -1;
    for (const std::size_t k : fed) {
        const SignalPlace& p = places_[static_cast<std::size_t>(signals[k])];
        lo = std::min<int64_t>(lo, first / p.samplesPerFrame + p.skew);
        hi = std::max<int64_t>(
            hi, (first + static_cast<int64_t>(count) - 1) / p.samplesPerFrame + p.skew);
    }
    DataFile& df = files_[f];
    const auto perFrame = static_cast<uint64_t>(df.layout.samplesPerFrame);
    stream_.resize(static_cast<std::size_t>(static_cast<uint64_t>(hi - lo + 1) * perFrame));
    if (!df.reader->Read(static_cast<uint64_t>(lo) * perFrame, stream_)) {
        error = "The WFDB data file " + df.name + " ended early or cannot be decoded.";
        return false;
    }
    for (const std::size_t k : fed) {
        const SignalPlace& p = places_[static_cast<std::size_t>(signals[k])];
        for (std::size_t i = 0; i < count; ++i) {
            const int64_t n = first + static_cast<int64_t>(i);
            const int64_t frame = n / p.samplesPerFrame + p.skew;
            const auto at = static_cast<std::size_t>(
                static_cast<uint64_t>(frame - lo) * perFrame +
                static_cast<uint64_t>(p.firstSample + n % p.samplesPerFrame));
            out[k][i] = stream_[at];
        }
    }
    return true;
}

}  // namespace

std::unique_ptr<WfdbRecord> OpenSingleWfdbRecord(const std::string& dir, const WfdbHeader& header,
                                                 std::string& error) {
    auto record = std::make_unique<SingleRecord>();
    if (!record->Open(dir, header, error)) return nullptr;
    return record;
}

bool ReadWfdbHeader(const std::string& path, WfdbHeader& header, std::string& error) {
    std::string text;
    ReadOnlyFile probe;
    if (!probe.Open(path) || probe.Size() > (std::size_t{1} << 20) || !ReadWholeFile(path, text)) {
        error = "The WFDB header " + path.substr(path.find_last_of('/') + 1) + " cannot be read.";
        return false;
    }
    return ParseWfdbHeader(text, header, error);
}

}  // namespace koru
