// EDF, EDF+, BDF and BDF+ through EDFlib. The only file that sees its header.

#include <edflib.h>

#include <algorithm>
#include <cmath>

#include "platform/File.h"
#include "signal/ForeignSource.h"

namespace koru {

namespace {

std::string Trimmed(std::string text) {
    const std::size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    const std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

std::string OpenErrorText(int code) {
    switch (code) {
        case EDFLIB_MALLOC_ERROR:
            return "There is not enough memory to read the file's header.";
        case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
        case EDFLIB_FILE_READ_ERROR:
            return "The file cannot be read.";
        case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
            return "The header does not follow the EDF/BDF layout, or the file's size does not "
                   "match it.";
        case EDFLIB_NUMBER_OF_SIGNALS_INVALID:
            return "The file has too many signals.";
        case EDFLIB_FILE_IS_DISCONTINUOUS:
            return "Discontinuous EDF+D/BDF+D files are not supported.";
        default:
            return "The file cannot be read as EDF or BDF (code " + std::to_string(code) + ").";
    }
}

class EdfSource : public ForeignSource {
  public:
    ~EdfSource() override {
        if (handle_ >= 0) edfclose_file(handle_);
    }
    bool Open(const std::string& path, std::string& error);

    const std::vector<ForeignSignal>& Signals() const override { return signals_; }
    std::string Identification() const override { return identification_; }
    int64_t FrameCount() const override { return frames_; }
    std::vector<int64_t> Annotations() const override { return annotations_; }
    void Choose(const std::vector<int>& picked) override { chosen_ = picked; }
    std::size_t Read(int64_t first, std::size_t count, Frame* out, std::string& error) override;

  private:
    void ReadAnnotations();

    std::unique_ptr<edf_hdr_struct> hdr_ = std::make_unique<edf_hdr_struct>();
    int handle_ = -1;
    std::vector<ForeignSignal> signals_;
    std::vector<int> chosen_;
    std::vector<int64_t> annotations_;
    std::string identification_;
    int64_t frames_ = 0;
    std::vector<int> buffer_;
};

bool EdfSource::Open(const std::string& path, std::string& error) {
    if (edfopen_file_readonly(path.c_str(), hdr_.get(), EDFLIB_READ_ALL_ANNOTATIONS) != 0) {
        error = OpenErrorText(hdr_->filetype);
        return false;
    }
    handle_ = hdr_->handle;
    if (hdr_->edfsignals < 1 || hdr_->datarecord_duration <= 0) {
        error = "The file holds no data signals.";
        return false;
    }
    for (int i = 0; i < hdr_->edfsignals; ++i) {
        const edf_param_struct& p = hdr_->signalparam[i];
        ForeignSignal s;
        s.label = Trimmed(p.label);
        s.rate = static_cast<double>(p.smp_in_datarecord) * EDFLIB_TIME_DIMENSION /
                 static_cast<double>(hdr_->datarecord_duration);
        const double digitalSpan = static_cast<double>(p.dig_max) - p.dig_min;
        const double physicalSpan = p.phys_max - p.phys_min;
        // Physical zero lies where the line through the two corners crosses 0.
        const double perDigit = digitalSpan != 0 ? physicalSpan / digitalSpan : 0;
        const double zero = perDigit != 0 ? p.dig_min - p.phys_min / perDigit : 0;
        s.rule = MakeValueRule(p.dig_min, p.dig_max, zero, perDigit);
        signals_.push_back(std::move(s));
    }
    if (!(signals_.front().rate > 0)) {
        error = "The first signal has no samples.";
        return false;
    }
    frames_ = hdr_->signalparam[0].smp_in_file;
    // The patient and recording fields as written: the library parses them
    // apart for EDF+ and would drop the parts it does not know.
    ReadOnlyFile file;
    char fields[160] = {};
    if (file.Open(path) && file.ReadAt(8, fields, sizeof fields) == sizeof fields)
        identification_ =
            Trimmed(std::string(fields, 80)) + " " + Trimmed(std::string(fields + 80, 80));
    ReadAnnotations();
    return true;
}

void EdfSource::ReadAnnotations() {
    const double rate = signals_.front().rate;
    for (long long n = 0; n < hdr_->annotations_in_file; ++n) {
        edf_annotation_struct a{};
        if (edf_get_annotation(handle_, static_cast<int>(n), &a) != 0) break;
        annotations_.push_back(std::llround(static_cast<double>(a.onset) * rate /
                                            static_cast<double>(EDFLIB_TIME_DIMENSION)));
    }
}

std::size_t EdfSource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    if (first < 0 || first >= frames_) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    std::fill(out, out + count, Frame{});
    buffer_.resize(count);
    for (std::size_t c = 0; c < chosen_.size() && c < kFrameChannels; ++c) {
        const int signal = chosen_[c];
        const ValueRule& rule = signals_[static_cast<std::size_t>(signal)].rule;
        if (edfseek(handle_, signal, first, EDFSEEK_SET) != first ||
            edfread_digital_samples(handle_, signal, static_cast<int>(count), buffer_.data()) !=
                static_cast<int>(count)) {
            error = "The file could not be read to its end.";
            return 0;
        }
        for (std::size_t k = 0; k < count; ++k) out[k][c] = rule.Value(buffer_[k]);
    }
    return count;
}

}  // namespace

std::unique_ptr<ForeignSource> OpenEdfRecording(const std::string& path, std::string& error) {
    auto source = std::make_unique<EdfSource>();
    if (!source->Open(path, error)) return nullptr;
    return source;
}

}  // namespace koru
