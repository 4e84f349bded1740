// WFDB records (".hea" with its format 212 or 16 data files and the ".atr"
// annotations beside it), read with our own decoder.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/File.h"
#include "signal/ForeignSource.h"
#include "signal/WfdbHeader.h"

namespace koru {

namespace {

// One data file and the signals interleaved in it.
struct DataFile {
    std::string name;
    ReadOnlyFile file;
    int format = 0;
    uint64_t byteOffset = 0;
    int samplesPerFrame = 0;  // of all its signals together
};

// Where a header signal lives: its file and its first sample in a frame.
struct SignalPlace {
    std::size_t file = 0;
    int firstSample = 0;
    int samplesPerFrame = 1;
};

uint64_t BytesForSamples(int format, uint64_t samples) {
    return format == 212 ? samples / 2 * 3 + (samples % 2) * 2 : samples * 2;
}

// Decodes samples [first, first + out.size()) of a file's sample stream.
bool DecodeSamples(const DataFile& df, uint64_t first, std::vector<int32_t>& out) {
    const uint64_t start = df.format == 212 ? first & ~uint64_t{1} : first;
    const uint64_t count = out.size() + (first - start);
    const uint64_t bytes = BytesForSamples(df.format, count);
    std::vector<uint8_t> raw(static_cast<std::size_t>(bytes));
    if (df.file.ReadAt(df.byteOffset + BytesForSamples(df.format, start), raw.data(), raw.size()) <
        raw.size())
        return false;
    const std::size_t skip = static_cast<std::size_t>(first - start);
    for (std::size_t k = 0; k < out.size(); ++k) {
        const std::size_t n = k + skip;
        int32_t v = 0;
        if (df.format == 16) {
            v = static_cast<int16_t>(raw[2 * n] | raw[2 * n + 1] << 8);
        } else {
            const uint8_t* g = &raw[n / 2 * 3];
            v = n % 2 == 0 ? (g[0] | (g[1] & 0x0F) << 8) : (g[2] | (g[1] & 0xF0) << 4);
            if (v >= 2048) v -= 4096;
        }
        out[k] = v;
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Sixteen million annotations (eight bytes each, and a copy for the
// markers) are some fifty times a three-day recording's beats.
constexpr std::size_t kMaxAnnotations = std::size_t{1} << 24;
constexpr std::size_t kAnnotationBlock = 64 * 1024;

class WfdbSource : public ForeignSource {
  public:
    bool Open(const std::string& headerPath, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override;
    int64_t FrameCount() const override { return frames_; }
    std::vector<int64_t> Annotations() const override { return annotations_; }
    std::string Notice() const override { return notice_; }
    void Choose(const std::vector<int>& picked) override { chosen_ = picked; }
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override;

  private:
    bool OpenFiles(const std::string& dir, std::string& error);
    bool CheckLengths(std::string& error);
    void ReadAnnotations(const std::string& headerPath);

    WfdbHeader header_;
    std::vector<DataFile> files_;
    std::vector<SignalPlace> places_;
    std::vector<ForeignSignal> signals_;
    std::vector<int> chosen_;
    std::vector<int64_t> annotations_;
    std::string notice_;
    int64_t frames_ = 0;
    int firstSpf_ = 1;
};

bool WfdbSource::Open(const std::string& headerPath, std::string& error) {
    std::string text;
    ReadOnlyFile probe;
    if (!probe.Open(headerPath) || probe.Size() > (std::size_t{1} << 20) ||
        !ReadWholeFile(headerPath, text)) {
        error = "The WFDB header cannot be read.";
        return false;
    }
    if (!ParseWfdbHeader(text, header_, error)) return false;
    if (!OpenFiles(DirectoryOf(headerPath), error)) return false;
    firstSpf_ = header_.signals.front().samplesPerFrame;
    for (const WfdbSignalLine& s : header_.signals) {
        ForeignSignal fs;
        fs.label = s.description;
        fs.unit = s.units;
        fs.rate = header_.frequency * s.samplesPerFrame;
        const double half = s.format == 212 ? 2048 : 32768;
        fs.rule = MakeValueRule(-half, half - 1, s.baseline, 1.0 / s.gain);
        signals_.push_back(std::move(fs));
    }
    if (!CheckLengths(error)) return false;
    ReadAnnotations(headerPath);
    return true;
}

bool WfdbSource::OpenFiles(const std::string& dir, std::string& error) {
    std::map<std::string, std::size_t> byName;
    for (const WfdbSignalLine& s : header_.signals) {
        if (s.format != 212 && s.format != 16) {
            error =
                "WFDB format " + std::to_string(s.format) + " is not supported (only 212 and 16).";
            return false;
        }
        auto [it, added] = byName.try_emplace(s.file, files_.size());
        if (added) {
            DataFile df;
            df.name = s.file;
            df.format = s.format;
            df.byteOffset = s.byteOffset;
            if (s.file.find('/') != std::string::npos || s.file == "~" ||
                !df.file.Open(dir + s.file)) {
                error = "The WFDB data file " + s.file + " cannot be opened.";
                return false;
            }
            files_.push_back(std::move(df));
        }
        DataFile& df = files_[it->second];
        if (df.format != s.format) {
            error = "The signals of " + s.file + " give different formats.";
            return false;
        }
        places_.push_back({it->second, df.samplesPerFrame, s.samplesPerFrame});
        df.samplesPerFrame += s.samplesPerFrame;
    }
    return true;
}

bool WfdbSource::CheckLengths(std::string& error) {
    if (!header_.samples) {
        // No length given: the first file's whole frames.
        const DataFile& df = files_.front();
        const uint64_t size = df.file.Size() > df.byteOffset ? df.file.Size() - df.byteOffset : 0;
        const uint64_t perFrame = static_cast<uint64_t>(df.samplesPerFrame);
        header_.samples =
            static_cast<int64_t>(df.format == 212 ? size * 2 / 3 / perFrame : size / 2 / perFrame);
    }
    for (const DataFile& df : files_) {
        const uint64_t need =
            df.byteOffset +
            BytesForSamples(df.format, static_cast<uint64_t>(*header_.samples) *
                                           static_cast<uint64_t>(df.samplesPerFrame));
        if (df.file.Size() < need) {
            error = "The WFDB data file " + df.name + " is shorter than its header says.";
            return false;
        }
    }
    frames_ = *header_.samples * firstSpf_;
    return true;
}

// Read in blocks into eight bytes an annotation, never the file whole: a
// day's beats are a few megabytes, and a file past kMaxAnnotations is read
// up to there and said so.
void WfdbSource::ReadAnnotations(const std::string& headerPath) {
    const std::string base = headerPath.substr(0, headerPath.size() - 4);
    ReadOnlyFile file;
    std::string name;
    for (const char* ext : {".atr", ".ATR"}) {
        name = base + ext;
        if (file.Open(name)) break;
    }
    if (!file.IsOpen()) return;
    // Each annotation takes at least one two-byte word.
    annotations_.reserve(
        static_cast<std::size_t>(std::min<uint64_t>(file.Size() / 2, kMaxAnnotations)));
    MitAnnotationState state;
    std::string block(kAnnotationBlock, '\0');
    std::size_t held = 0;  // bytes carried over from the last block
    for (uint64_t offset = 0; !state.ended;) {
        const std::size_t got = file.ReadAt(offset, block.data() + held, block.size() - held);
        offset += got;
        const std::size_t have = held + got;
        const std::size_t used = ParseMitAnnotationBlock(std::string_view(block.data(), have),
                                                         state, annotations_, kMaxAnnotations);
        held = have - used;
        std::memmove(block.data(), block.data() + used, held);
        if (got == 0) break;
    }
    for (int64_t& t : annotations_) t *= firstSpf_;
    if (state.full)
        notice_ = "Only the first " + std::to_string(kMaxAnnotations) + " annotations of " + name +
                  " were read; the rest are left out.";
}

std::string WfdbSource::Identification() const {
    std::string text = header_.record + ":";
    for (std::size_t i = 0; i < header_.signals.size(); ++i)
        text += (i == 0 ? " " : ", ") + header_.signals[i].description;
    return text;
}

std::size_t WfdbSource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    if (first < 0 || first >= frames_) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    const auto spf = static_cast<uint64_t>(firstSpf_);
    const uint64_t frame0 = static_cast<uint64_t>(first) / spf;
    const uint64_t frameEnd = (static_cast<uint64_t>(first) + count + spf - 1) / spf;
    std::fill(out, out + count, Frame{});
    // Each file's stretch is decoded once, however many channels it feeds.
    std::vector<std::vector<int32_t>> decoded(files_.size());
    for (std::size_t c = 0; c < chosen_.size() && c < kFrameChannels; ++c) {
        const SignalPlace& place = places_[static_cast<std::size_t>(chosen_[c])];
        const DataFile& df = files_[place.file];
        const auto perFrame = static_cast<uint64_t>(df.samplesPerFrame);
        std::vector<int32_t>& samples = decoded[place.file];
        if (samples.empty()) {
            samples.resize(static_cast<std::size_t>((frameEnd - frame0) * perFrame));
            if (!DecodeSamples(df, frame0 * perFrame, samples)) {
                error = "The WFDB data file " + df.name + " ended early.";
                return 0;
            }
        }
        const ValueRule& rule = signals_[static_cast<std::size_t>(chosen_[c])].rule;
        for (std::size_t k = 0; k < count; ++k) {
            const uint64_t frame = static_cast<uint64_t>(first) + k;
            const uint64_t at = (frame / spf - frame0) * perFrame +
                                static_cast<uint64_t>(place.firstSample) + frame % spf;
            out[k][c] = rule.Value(samples[static_cast<std::size_t>(at)]);
        }
    }
    return count;
}

}  // namespace

std::unique_ptr<ForeignSource> OpenWfdbRecord(const std::string& headerPath, std::string& error) {
    auto source = std::make_unique<WfdbSource>();
    if (!source->Open(headerPath, error)) return nullptr;
    return source;
}

}  // namespace koru
