// GDF and SCP-ECG through the field's general reading library. The only file
// that sees its header. EDF and BDF go to EDFlib instead: this library
// crashes inside its sread on some real EDF+ files.

#include <biosig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/File.h"
#include "signal/ForeignSource.h"

namespace koru {

namespace {

std::string Trimmed(std::string text) {
    const std::size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

// The library picks the reader by content; a file whose name and first bytes
// disagree is refused, so a misnamed file never reaches a reader that was
// not meant for it.
bool ContentMatchesName(const std::string& path, const ReadOnlyFile& file) {
    std::string upper(path);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    char head[8] = {};
    const std::size_t got = file.ReadAt(0, head, sizeof head);
    auto ends = [&](const char* ext) { return upper.ends_with(ext); };
    if (ends(".GDF")) return got >= 3 && std::memcmp(head, "GDF", 3) == 0;
    return got > 0;
}

class LibrarySource : public ForeignSource {
  public:
    ~LibrarySource() override {
        if (hdr_) {
            sclose(hdr_);
            destructHDR(hdr_);
        }
    }
    bool Open(const std::string& path, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override { return identification_; }
    int64_t FrameCount() const override { return frames_; }
    std::vector<int64_t> Annotations() const override;
    void Choose(const std::vector<int>& picked) override;
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override;

  private:
    bool TakeError(std::string& error);
    void ReadIdentification();
    std::size_t ReadRecords(std::size_t first, std::size_t count);

    HDRTYPE* hdr_ = nullptr;
    std::vector<ForeignSignal> signals_;
    std::vector<uint16_t> libraryChannel_;  // the library's channel of each signal
    std::vector<int> chosen_;
    std::string identification_;
    int64_t frames_ = 0;
    std::size_t framesPerRecord_ = 0;
    std::size_t records_ = 0;
};

bool LibrarySource::TakeError(std::string& error) {
    if (!hdr_ || !biosig_check_error(hdr_)) return false;
    char* message = biosig_get_errormsg(hdr_);
    error = message && *message ? message : "The file cannot be read.";
    std::free(message);
    return true;
}

bool LibrarySource::Open(const std::string& path, std::string& error) {
    ReadOnlyFile file;
    if (!file.Open(path) || !ContentMatchesName(path, file)) {
        error = "The file does not start as its name says.";
        return false;
    }
    hdr_ = constructHDR(0, 0);
    biosig_set_flag(hdr_, BIOSIG_FLAG_UCAL);  // digital values; the scaling is ours
    hdr_ = sopen(path.c_str(), "r", hdr_);
    if (!hdr_ || TakeError(error)) return false;
    records_ = biosig_get_number_of_records(hdr_);
    double firstRate = 0;
    if (hdr_->SPR == 0 || !(hdr_->SampleRate > 0)) {
        error = "The file holds no data signals.";
        return false;
    }
    for (uint16_t i = 0; i < hdr_->NS; ++i) {
        // By position: the library's own channel getter counts only the
        // channels switched on.
        const CHANNEL_TYPE* c = hdr_->CHANNEL + i;
        if (c->OnOff == 0 || c->SPR == 0) continue;  // annotation signals
        ForeignSignal s;
        s.label = Trimmed(c->Label);
        s.rate = hdr_->SampleRate * c->SPR / hdr_->SPR;
        if (signals_.empty()) {
            firstRate = s.rate;
            framesPerRecord_ = c->SPR;
        }
        const bool calibrated = std::isfinite(c->Cal) && c->Cal != 0 && std::isfinite(c->Off);
        const double zero = calibrated ? -c->Off / c->Cal : 0;
        s.rule = MakeValueRule(c->DigMin, c->DigMax, zero, calibrated ? c->Cal : 0);
        signals_.push_back(std::move(s));
        libraryChannel_.push_back(i);
    }
    if (signals_.empty() || !(firstRate > 0) || hdr_->SPR % framesPerRecord_ != 0) {
        error = "The file holds no data signals.";
        return false;
    }
    frames_ = static_cast<int64_t>(records_ * framesPerRecord_);
    ReadIdentification();
    return true;
}

void LibrarySource::ReadIdentification() {
    for (const char* part : {biosig_get_patient_id(hdr_), biosig_get_patient_name(hdr_),
                             biosig_get_recording_id(hdr_)}) {
        if (!part || !*part) continue;
        if (!identification_.empty()) identification_ += ' ';
        identification_ += part;
    }
}

std::vector<int64_t> LibrarySource::Annotations() const {
    std::vector<int64_t> out;
    const double eventRate = biosig_get_eventtable_samplerate(hdr_);
    const double rate = signals_.front().rate;
    const size_t n = biosig_get_number_of_events(hdr_);
    for (size_t i = 0; i < n; ++i) {
        uint16_t type = 0, channel = 0;
        uint32_t pos = 0, duration = 0;
        gdf_time stamp = 0;
        const char* text = nullptr;
        if (biosig_get_nth_event(hdr_, i, &type, &pos, &channel, &duration, &stamp, &text) != 0)
            continue;
        const double frame = eventRate > 0 ? pos * rate / eventRate : pos;
        if (std::isfinite(frame)) out.push_back(std::llround(frame));
    }
    return out;
}

void LibrarySource::Choose(const std::vector<int>& picked) {
    chosen_ = picked;
    for (uint16_t i = 0; i < hdr_->NS; ++i) hdr_->CHANNEL[i].OnOff = 0;
    for (const int s : chosen_)
        hdr_->CHANNEL[libraryChannel_[static_cast<std::size_t>(s)]].OnOff = 1;
}

std::size_t LibrarySource::ReadRecords(std::size_t first, std::size_t count) {
    // Into the library's own buffer: with a buffer of ours, sized as its
    // documentation says, it writes past the end on some EDF+ files.
    const std::size_t got = sread(nullptr, first, count, hdr_);
    if (hdr_->data.size[1] != chosen_.size() || hdr_->data.size[0] < got * hdr_->SPR) return 0;
    return got;
}

std::size_t LibrarySource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    if (first < 0 || first >= frames_ || chosen_.empty()) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    const auto from = static_cast<std::size_t>(first);
    const std::size_t record0 = from / framesPerRecord_;
    std::size_t records = (from + count + framesPerRecord_ - 1) / framesPerRecord_ - record0;
    // Single-record reads past the first record are where the library was
    // seen to crash; read one record more (the data are there) instead.
    if (records == 1 && record0 > 0 && record0 + 1 < records_) ++records;
    if (ReadRecords(record0, records) != records) {
        if (!TakeError(error)) error = "The file ends before its last data record.";
        return 0;
    }
    // The library returns each channel as one column, at its common rate.
    const std::size_t rows = hdr_->data.size[0];
    const double* block = hdr_->data.block;
    const std::size_t step = hdr_->SPR / framesPerRecord_;
    const std::size_t skip = from - record0 * framesPerRecord_;
    for (std::size_t k = 0; k < count; ++k) {
        Frame& f = out[k];
        f = Frame{};
        for (std::size_t c = 0; c < chosen_.size() && c < kFrameChannels; ++c) {
            const double digital = block[c * rows + (skip + k) * step];
            f[c] = signals_[static_cast<std::size_t>(chosen_[c])].rule.Value(digital);
        }
    }
    return count;
}

}  // namespace

std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error) {
    auto source = std::make_unique<LibrarySource>();
    if (!source->Open(path, error)) return nullptr;
    return source;
}

}  // namespace koru
