// WFDB records (".hea" with its signal files, or its segments) and the
// annotation files beside the header, read with our own decoders.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/File.h"
#include "signal/ForeignSource.h"
#include "signal/WfdbAnnotations.h"
#include "signal/WfdbRecord.h"

namespace koru {

namespace {

// Sixteen million annotations (sixteen bytes each, and eight for a beat's
// marker) are some fifty times a three-day recording's beats.
constexpr std::size_t kMaxAnnotations = std::size_t{1} << 24;
constexpr std::size_t kAnnotationBlock = 64 * 1024;

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Read in blocks, never the file whole; a file past kMaxAnnotations is read
// up to there and marked full.
bool ReadAnnotationFile(const std::string& path, WfdbAnnotationFile& out) {
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    out = WfdbAnnotationFile{};
    // Each annotation takes at least one two-byte word.
    out.items.reserve(
        static_cast<std::size_t>(std::min<uint64_t>(file.Size() / 2, kMaxAnnotations)));
    WfdbAnnotationState state;
    std::string block(kAnnotationBlock, '\0');
    std::size_t held = 0;  // bytes carried over from the last block
    for (uint64_t offset = 0; !state.ended;) {
        const std::size_t got = file.ReadAt(offset, block.data() + held, block.size() - held);
        offset += got;
        const std::size_t have = held + got;
        const std::size_t used = ParseWfdbAnnotationBlock(std::string_view(block.data(), have),
                                                          state, out, kMaxAnnotations);
        held = have - used;
        std::memmove(block.data(), block.data() + used, held);
        if (got == 0) break;
    }
    FinishWfdbAnnotations(state, out);
    out.items.shrink_to_fit();
    return true;
}

// The annotators of the record: files "REC.NAME" beside the header that are
// no file of the record's own and parse as annotation files, ".atr" first,
// the others by name. The first one's annotations are left in `first`.
std::vector<std::string> FindAnnotators(const std::string& headerPath, const WfdbHeader& header,
                                        WfdbAnnotationFile& first) {
    namespace fs = std::filesystem;
    const std::string dir = DirectoryOf(headerPath);
    const std::string base = headerPath.substr(dir.size(), headerPath.size() - dir.size() - 4);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (file.size() <= base.size() + 1 || file.compare(0, base.size(), base) != 0 ||
            file[base.size()] != '.')
            continue;
        const std::string name = file.substr(base.size() + 1);
        if (name.find('.') != std::string::npos || name == "hea" || name == "HEA" ||
            name == "dat" || name == "DAT")
            continue;
        const bool ownFile = std::any_of(header.signals.begin(), header.signals.end(),
                                         [&](const WfdbSignalLine& s) { return s.file == file; });
        if (ownFile || !it->is_regular_file(ec)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const bool atrA = a == "atr" || a == "ATR", atrB = b == "atr" || b == "ATR";
        return atrA != atrB ? atrA : a < b;
    });
    std::vector<std::string> usable;
    for (const std::string& name : names) {
        WfdbAnnotationFile parsed;
        // Another file that merely starts like annotations must end like them too;
        // the record's own .atr is taken as far as it reads.
        const bool atr = name == "atr" || name == "ATR";
        if (!ReadAnnotationFile(dir + base + "." + name, parsed) ||
            !(parsed.complete || parsed.full || atr) || parsed.items.empty())
            continue;
        if (usable.empty()) first = std::move(parsed);
        usable.push_back(name);
    }
    return usable;
}

class WfdbSource : public ForeignSource {
  public:
    bool Open(const std::string& headerPath, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override;
    RecordingStart StartTime() const override {
        return WfdbStart(header_.baseTime, header_.baseDate);
    }
    int64_t FrameCount() const override { return record_->Frames() * spf_; }
    std::vector<int64_t> Annotations() const override;
    std::vector<Annotation> LabelledAnnotations() const override;
    void Choose(const std::vector<int>& picked) override;
    std::string Notice() const override { return notice_; }
    bool ReadsOnDemand() const override;
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override;
    std::vector<std::string> Annotators() const override { return annotators_; }
    bool ChooseAnnotator(const std::string& name) override;

  private:
    void SetNotice(const std::string& annotator);

    WfdbHeader header_;
    std::string base_;  // the header's path without ".hea"
    std::unique_ptr<WfdbRecord> record_;
    std::vector<ForeignSignal> signals_;
    std::vector<int> chosen_;
    int spf_ = 1;  // samples per frame of the chosen signals
    std::vector<std::string> annotators_;
    WfdbAnnotationFile annotations_;
    std::vector<int32_t> digital_;
    std::string notice_;
};

bool WfdbSource::Open(const std::string& headerPath, std::string& error) {
    if (!ReadWfdbHeader(headerPath, header_, error)) return false;
    record_ = OpenWfdbRecordData(DirectoryOf(headerPath), header_, error);
    if (!record_) return false;
    for (const WfdbRecordSignal& s : record_->Signals()) {
        ForeignSignal fs;
        fs.label = s.line.description;
        fs.unit = s.line.units;
        fs.rate = header_.frequency * s.line.samplesPerFrame;
        fs.rule = MakeValueRule(s.digitalMin, s.digitalMax, s.line.baseline, 1.0 / s.line.gain);
        signals_.push_back(std::move(fs));
    }
    spf_ = record_->Signals().front().line.samplesPerFrame;
    base_ = headerPath.substr(0, headerPath.size() - 4);
    annotators_ = FindAnnotators(headerPath, header_, annotations_);
    if (!annotators_.empty()) SetNotice(annotators_.front());
    return true;
}

bool WfdbSource::ChooseAnnotator(const std::string& name) {
    if (std::find(annotators_.begin(), annotators_.end(), name) == annotators_.end()) return false;
    if (!ReadAnnotationFile(base_ + "." + name, annotations_)) return false;
    SetNotice(name);
    return true;
}

void WfdbSource::SetNotice(const std::string& name) {
    notice_.clear();
    if (annotations_.full)
        notice_ = "Only the first " + std::to_string(kMaxAnnotations) + " annotations of " + base_ +
                  "." + name + " were read; the rest are left out.";
}

// Every record reads from any frame: a multi-segment record opens its
// segments' files as it reaches them, first differences resume from the
// nearest values kept as they were decoded, and FLAC seeks in its stream.
bool WfdbSource::ReadsOnDemand() const {
    return true;
}

// Beats only: notes, rhythm changes and other non-beat annotations are not markers.
std::vector<int64_t> WfdbSource::Annotations() const {
    std::vector<int64_t> out;
    const double rate = header_.frequency * spf_;
    for (const WfdbAnnotation& a : annotations_.items)
        if (IsWfdbBeat(a.code))
            out.push_back(
                WfdbAnnotationSample(a.time, annotations_.resolution, header_.frequency, rate));
    return out;
}

// All of them, notes and rhythm changes too, with their mnemonics and texts.
std::vector<Annotation> WfdbSource::LabelledAnnotations() const {
    std::vector<Annotation> out;
    out.reserve(annotations_.items.size());
    const double rate = header_.frequency * spf_;
    for (const WfdbAnnotation& a : annotations_.items)
        out.push_back(
            {WfdbAnnotationSample(a.time, annotations_.resolution, header_.frequency, rate),
             annotations_.Label(a), annotations_.Text(a), a.channel});
    return out;
}

// Signals at another rate than the first picked are left out: a frame holds
// one sample of each channel.
void WfdbSource::Choose(const std::vector<int>& picked) {
    chosen_.clear();
    const std::vector<WfdbRecordSignal>& all = record_->Signals();
    for (const int i : picked) {
        if (i < 0 || static_cast<std::size_t>(i) >= all.size()) continue;
        const int spf = all[static_cast<std::size_t>(i)].line.samplesPerFrame;
        if (chosen_.empty()) spf_ = spf;
        if (spf == spf_ && chosen_.size() < kFrameChannels) chosen_.push_back(i);
    }
}

std::string WfdbSource::Identification() const {
    std::string text = header_.record + ":";
    for (std::size_t i = 0; i < signals_.size(); ++i)
        text += (i == 0 ? " " : ", ") + signals_[i].label;
    return text;
}

std::size_t WfdbSource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    const int64_t frames = FrameCount();
    if (first < 0 || first >= frames) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames - first));
    std::fill(out, out + count, Frame{});
    if (chosen_.empty()) return count;
    digital_.resize(chosen_.size() * count);
    std::vector<std::span<int32_t>> spans;
    for (std::size_t c = 0; c < chosen_.size(); ++c)
        spans.emplace_back(digital_.data() + c * count, count);
    if (!record_->Read(chosen_, first, count, spans, error)) return 0;
    for (std::size_t c = 0; c < chosen_.size(); ++c) {
        const ValueRule& rule = signals_[static_cast<std::size_t>(chosen_[c])].rule;
        for (std::size_t k = 0; k < count; ++k) {
            const int32_t v = spans[c][k];
            // A missing sample is drawn at physical zero: no value is made up for it.
            out[k][c] = v == kWfdbInvalid ? int16_t{0} : rule.Value(v);
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
