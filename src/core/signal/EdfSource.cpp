// EDF, EDF+, BDF and BDF+ read from their own layout (signal/EdfHeader.h).
// A discontinuous file's records sit at their own times: the frames between
// them are 0 (physical zero), so every time shown stays true, and each gap
// is an annotation at its start.

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/File.h"
#include "signal/EdfDecode.h"
#include "signal/EdfHeader.h"
#include "signal/ForeignSource.h"
#include "text/DisplayText.h"

namespace koru {

namespace {

constexpr int64_t kFrameLimit = std::numeric_limits<int32_t>::max();  // a document's frames
constexpr std::size_t kScanBytes = std::size_t{4} << 20;  // records read at a time for TALs
constexpr uint64_t kSkipBytes = 4096;
// Past this many records a continuous file's lists are left for after the
// first screen when the open may defer them.
constexpr int64_t kDeferRecords = 1024;

class EdfSource : public ForeignSource {
  public:
    bool Open(const std::string& path, bool mayDefer, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override { return identification_; }
    RecordingStart StartTime() const override;
    int64_t FrameCount() const override { return frames_; }
    std::vector<int64_t> Annotations() const override;
    std::vector<Annotation> LabelledAnnotations() const override;
    bool AnnotationsPending() const override { return pending_; }
    bool FinishAnnotations(ProgressSink& progress, std::string& error) override;
    void Choose(const std::vector<int>& picked) override;
    bool ReadsOnDemand() const override { return true; }
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override {
        return ReadRange(first, count, out->data(), kFrameChannels, error);
    }
    std::size_t ReadPacked(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                           std::string& error) override {
        return ReadRange(first, count, out, width, error);
    }

  private:
    bool ReadHeader(const std::string& path, std::string& error);
    bool ScanAnnotations(int64_t records, ProgressSink* progress, std::string& error);
    bool ReadLists(int64_t r0, int64_t n, uint64_t from, uint64_t span);
    void ScanRecord(const uint8_t* read, uint64_t from, const std::vector<std::size_t>& lists,
                    std::vector<double>& onsets);
    std::size_t ListBytes(const EdfSignalHeader& s) const {
        return static_cast<std::size_t>(s.perRecord * header_.SampleBytes());
    }
    bool CheckRecordTimes(std::string& error) const;
    void Layout(int64_t perRecord);
    int64_t Start(int64_t record) const {
        return starts_.empty() ? record * perRecord_ : starts_[static_cast<std::size_t>(record)];
    }
    int64_t RecordAt(int64_t frame) const;
    std::optional<int64_t> AnnotationFrame(double onset) const;
    std::size_t ReadRange(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                          std::string& error);

    ReadOnlyFile file_;
    EdfHeader header_;
    std::vector<std::size_t> data_;  // header index of each data signal
    std::vector<ForeignSignal> signals_;
    std::string identification_;
    double firstOnset_ = 0;  // the first record's time: the start's fraction of a second
    std::vector<int> chosen_;

    // Seconds from the first record's start (its first list's onset).
    std::vector<double> recordOnset_;  // each record's, in a discontinuous file only
    std::vector<double> annotationOnset_;
    std::vector<std::string> annotationText_;  // the text of each onset
    bool pending_ = false;                     // only the first record's lists read yet

    int64_t perRecord_ = 0;        // samples a record of the chosen signals
    std::vector<int64_t> starts_;  // first frame of each record, when discontinuous
    std::vector<int64_t> gaps_;    // frames where a gap starts
    int64_t frames_ = 0;

    std::vector<uint8_t> raw_;
    std::unique_ptr<edf::Tile> tile_ = std::make_unique<edf::Tile>();
};

bool EdfSource::ReadHeader(const std::string& path, std::string& error) {
    if (!file_.Open(path)) {
        error = "The file cannot be read.";
        return false;
    }
    std::string head(256, '\0');
    head.resize(file_.ReadAt(0, head.data(), head.size()));
    const std::optional<std::size_t> size = EdfHeaderSize(head, error);
    if (!size) return false;
    head.resize(*size);
    head.resize(file_.ReadAt(0, head.data(), head.size()));
    std::optional<EdfHeader> h = ParseEdfHeader(head, file_.Size(), error);
    if (!h) return false;
    header_ = std::move(*h);
    return true;
}

bool EdfSource::Open(const std::string& path, bool mayDefer, std::string& error) {
    if (!ReadHeader(path, error)) return false;
    for (std::size_t i = 0; i < header_.signals.size(); ++i) {
        const EdfSignalHeader& p = header_.signals[i];
        if (p.annotations || p.perRecord == 0) continue;
        ForeignSignal s;
        s.label = DisplayUtf8(p.label);
        s.unit = p.unit;
        s.rate = static_cast<double>(p.perRecord) / header_.duration;
        // Physical zero lies where the line through the two corners crosses 0.
        const double perDigit = (p.physMax - p.physMin) / (p.digMax - p.digMin);
        const double zero = perDigit != 0 ? p.digMin - p.physMin / perDigit : 0;
        s.rule = MakeValueRule(p.digMin, p.digMax, zero, perDigit);
        signals_.push_back(std::move(s));
        data_.push_back(i);
    }
    if (signals_.empty()) {
        error = "The file holds no data signals.";
        return false;
    }
    identification_ = header_.patient + " " + header_.recording;
    std::replace(identification_.begin(), identification_.end(), '\0', ' ');
    // A continuous file's layout needs only the first record's time: its
    // other lists can wait until the first screen is shown.
    const bool defer = mayDefer && !header_.discontinuous && header_.records > kDeferRecords;
    if (!ScanAnnotations(defer ? 1 : header_.records, nullptr, error) || !CheckRecordTimes(error))
        return false;
    Choose({0});
    chosen_.clear();
    return true;
}

// The annotation lists of the first `records` records, and in a
// discontinuous file each record's time from its first list; fewer than all
// leaves the annotations pending. Where the signals' samples fill most of a
// record, only the stretch of each record that holds the lists is read: a
// long file opens without reading it all.
bool EdfSource::ScanAnnotations(int64_t records, ProgressSink* progress, std::string& error) {
    std::vector<std::size_t> lists;
    uint64_t lo = UINT64_MAX, hi = 0;  // the stretch of a record the lists lie in
    for (std::size_t i = 0; i < header_.signals.size(); ++i) {
        const EdfSignalHeader& s = header_.signals[i];
        if (!s.annotations) continue;
        lists.push_back(i);
        lo = std::min<uint64_t>(lo, s.offset);
        hi = std::max<uint64_t>(hi, s.offset + ListBytes(s));
    }
    if (lists.empty()) {
        header_.discontinuous = false;  // no record times: read as continuous
        return true;
    }
    annotationOnset_.clear();
    annotationText_.clear();
    const uint64_t bytes = header_.recordBytes;
    // A read costs about what copying a few KiB does: reading each record's
    // lists alone pays where that skips at least a page of samples a record.
    const bool sparse = bytes - (hi - lo) >= kSkipBytes;
    const uint64_t from = sparse ? lo : 0, span = sparse ? hi - lo : bytes;
    const auto step = static_cast<int64_t>(std::max<uint64_t>(1, kScanBytes / span));
    const int64_t end = std::min(records, header_.records);
    std::vector<double> onsets;
    int shown = 0;
    if (progress) progress->ProgressSet(0);
    for (int64_t r0 = 0; r0 < end; r0 += step) {
        const int64_t n = std::min(step, end - r0);
        if (!ReadLists(r0, n, sparse ? from : UINT64_MAX, span)) {
            error = "The file could not be read to its end.";
            return false;
        }
        for (int64_t r = 0; r < n; ++r)
            ScanRecord(raw_.data() + static_cast<uint64_t>(r) * span, from, lists, onsets);
        const auto percent = static_cast<int>((r0 + n) * 100 / end);
        if (progress && percent != shown) progress->ProgressSet(shown = percent);
    }
    const double start = onsets.empty() ? 0 : onsets.front();
    firstOnset_ = start;
    pending_ = end < header_.records;
    if (pending_) {  // kept for the whole scan, which finds these again
        annotationOnset_.clear();
        annotationText_.clear();
    }
    for (double& t : annotationOnset_) t -= start;
    if (header_.discontinuous) {
        recordOnset_ = std::move(onsets);
        for (double& t : recordOnset_) t -= start;
    }
    return true;
}

// Records r0 to r0 + n - 1 into raw_, `span` bytes of each from its byte
// `from` on, or whole when `from` is UINT64_MAX; false when the file ends first.
bool EdfSource::ReadLists(int64_t r0, int64_t n, uint64_t from, uint64_t span) {
    const uint64_t bytes = header_.recordBytes;
    raw_.resize(static_cast<std::size_t>(static_cast<uint64_t>(n) * span));
    const uint64_t at = header_.headerBytes + static_cast<uint64_t>(r0) * bytes;
    if (from == UINT64_MAX) return file_.ReadAt(at, raw_.data(), raw_.size()) == raw_.size();
    for (int64_t r = 0; r < n; ++r) {
        const uint64_t k = static_cast<uint64_t>(r);
        if (file_.ReadAt(at + k * bytes + from, raw_.data() + k * span,
                         static_cast<std::size_t>(span)) != span)
            return false;
    }
    return true;
}

bool EdfSource::FinishAnnotations(ProgressSink& progress, std::string& error) {
    if (!pending_) return true;
    return ScanAnnotations(header_.records, &progress, error);
}

// The lists of one record, whose bytes from its byte `from` on are at `read`;
// its time joins `onsets`.
void EdfSource::ScanRecord(const uint8_t* read, uint64_t from,
                           const std::vector<std::size_t>& lists, std::vector<double>& onsets) {
    bool timed = false;
    for (const std::size_t i : lists) {
        const EdfSignalHeader& s = header_.signals[i];
        const char* at = reinterpret_cast<const char*>(read) + (s.offset - from);
        for (const EdfTal& t : ParseTals(std::string_view(at, ListBytes(s)))) {
            if (!timed) onsets.push_back(t.onset);
            timed = true;
            for (const std::string& text : t.texts) {
                annotationOnset_.push_back(t.onset);
                annotationText_.push_back(text);
            }
        }
    }
    // A record without its time follows the one before it.
    if (!timed) onsets.push_back(onsets.empty() ? 0 : onsets.back() + header_.duration);
}

// Records in time order, none overlapping the one before it, and the whole
// within the frames a recording can have at its fastest signal's rate.
bool EdfSource::CheckRecordTimes(std::string& error) const {
    int64_t fastest = 0;
    for (const std::size_t i : data_) fastest = std::max(fastest, header_.signals[i].perRecord);
    const double slack = 0.5 * header_.duration / static_cast<double>(fastest);
    for (std::size_t r = 1; r < recordOnset_.size(); ++r) {
        const double end = recordOnset_[r - 1] + header_.duration;
        if (recordOnset_[r] < end - slack) {
            error = "Data record " + std::to_string(r + 1) +
                    " starts before the one before it ends (discontinuous file).";
            return false;
        }
        const double frames =
            (recordOnset_[r] / header_.duration + 1) * static_cast<double>(fastest);
        if (frames > static_cast<double>(kFrameLimit)) {
            error = "The gap before data record " + std::to_string(r + 1) +
                    " would make the recording longer than the " + std::to_string(kFrameLimit) +
                    " frames a recording can have.";
            return false;
        }
    }
    return true;
}

void EdfSource::Layout(int64_t perRecord) {
    perRecord_ = perRecord;
    starts_.clear();
    gaps_.clear();
    if (recordOnset_.empty()) {
        frames_ = header_.records * perRecord_;
        return;
    }
    const double rate = static_cast<double>(perRecord_) / header_.duration;
    int64_t end = 0;
    for (const double onset : recordOnset_) {
        const int64_t start = std::max<int64_t>(end, std::llround(onset * rate));
        if (start > end && !starts_.empty()) gaps_.push_back(end);
        starts_.push_back(start);
        end = start + perRecord_;
    }
    frames_ = end;
}

void EdfSource::Choose(const std::vector<int>& picked) {
    chosen_.clear();
    for (const int i : picked) {
        if (i < 0 || static_cast<std::size_t>(i) >= signals_.size()) continue;
        // One rate: a signal of another than the first chosen is left out.
        if (!chosen_.empty() &&
            header_.signals[data_[static_cast<std::size_t>(i)]].perRecord !=
                header_.signals[data_[static_cast<std::size_t>(chosen_.front())]].perRecord)
            continue;
        chosen_.push_back(i);
    }
    const std::size_t rateOf = chosen_.empty() ? 0 : static_cast<std::size_t>(chosen_.front());
    Layout(header_.signals[data_[rateOf]].perRecord);
}

RecordingStart EdfSource::StartTime() const {
    const RecordingStart s = EdfStart(header_.startDate, header_.startTime, header_.recording);
    // An EDF+ file's first record may begin a fraction of a second (or
    // more) after the header's start.
    if (!(firstOnset_ > 0 && firstOnset_ < 86400)) return s;
    return Later(s, std::llround(firstOnset_ * 1e6));
}

// One past the end of the data (a file cut short of its "REC STOP") is left
// out, as the independent reader leaves it out; the end itself is kept.
std::optional<int64_t> EdfSource::AnnotationFrame(double onset) const {
    const double rate = static_cast<double>(perRecord_) / header_.duration;
    const double f = std::round(onset * rate);
    if (f <= static_cast<double>(frames_) && f > -9e18) return static_cast<int64_t>(f);
    return std::nullopt;
}

std::vector<int64_t> EdfSource::Annotations() const {
    std::vector<int64_t> out = gaps_;
    for (const double t : annotationOnset_)
        if (const std::optional<int64_t> f = AnnotationFrame(t)) out.push_back(*f);
    return out;
}

// An annotation's whole text is its label, the way EDF+ names events; a
// gap between records is labelled "Gap".
std::vector<Annotation> EdfSource::LabelledAnnotations() const {
    std::vector<Annotation> out;
    for (const int64_t g : gaps_) out.push_back({g, "Gap", {}, -1});
    for (std::size_t k = 0; k < annotationOnset_.size(); ++k)
        if (const std::optional<int64_t> f = AnnotationFrame(annotationOnset_[k]))
            out.push_back({*f, annotationText_[k], {}, -1});
    return out;
}

int64_t EdfSource::RecordAt(int64_t frame) const {
    if (starts_.empty()) return frame / perRecord_;
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), frame);
    return std::max<int64_t>(0, after - starts_.begin() - 1);
}

std::size_t EdfSource::ReadRange(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                                 std::string& error) {
    if (first < 0 || first >= frames_) return 0;
    const int64_t last = first + std::min<int64_t>(static_cast<int64_t>(count), frames_ - first);
    const int64_t r0 = RecordAt(first), r1 = RecordAt(last - 1);
    const uint64_t bytes = header_.recordBytes;
    raw_.resize(static_cast<std::size_t>(static_cast<uint64_t>(r1 - r0 + 1) * bytes));
    if (file_.ReadAt(header_.headerBytes + static_cast<uint64_t>(r0) * bytes, raw_.data(),
                     raw_.size()) != raw_.size()) {
        error = "The file could not be read to its end.";
        return 0;
    }
    width = std::min<std::size_t>(width, kFrameChannels);
    const std::size_t channels = std::min(chosen_.size(), width);
    edf::Tile& tile = *tile_;
    for (std::size_t c = channels; c < width; ++c) tile[c].fill(0);
    // A tile of frames at a time, within one record: each signal's samples
    // are decoded where they lie together, then woven into frames.
    const auto sampleBytes = static_cast<uint64_t>(header_.SampleBytes());
    int64_t r = r0;
    for (int64_t f = first; f < last;) {
        while (r < r1 && Start(r + 1) <= f) ++r;
        int16_t* to = out + static_cast<std::size_t>(f - first) * width;
        const int64_t index = f - Start(r);
        if (index >= perRecord_) {  // a gap: physical zero up to the next record
            const int64_t end = r < r1 ? std::min(last, Start(r + 1)) : last;
            std::fill(to, to + static_cast<std::size_t>(end - f) * width, int16_t{0});
            f = end;
            continue;
        }
        const auto n = static_cast<std::size_t>(std::min<int64_t>(
            {perRecord_ - index, last - f, static_cast<int64_t>(edf::kTileFrames)}));
        const uint8_t* record = raw_.data() + static_cast<uint64_t>(r - r0) * bytes;
        for (std::size_t c = 0; c < channels; ++c) {
            const auto signal = static_cast<std::size_t>(chosen_[c]);
            const uint8_t* in = record + header_.signals[data_[signal]].offset +
                                static_cast<uint64_t>(index) * sampleBytes;
            if (header_.bdf)
                edf::DecodeRow<3>(in, n, signals_[signal].rule, tile[c].data());
            else
                edf::DecodeRow<2>(in, n, signals_[signal].rule, tile[c].data());
        }
        edf::InterleaveAny(tile, n, width, to);
        f += static_cast<int64_t>(n);
    }
    return static_cast<std::size_t>(last - first);
}

}  // namespace

std::unique_ptr<ForeignSource> OpenEdfRecording(const std::string& path, bool mayDefer,
                                                std::string& error) {
    auto source = std::make_unique<EdfSource>();
    if (!source->Open(path, mayDefer, error)) return nullptr;
    return source;
}

}  // namespace koru
