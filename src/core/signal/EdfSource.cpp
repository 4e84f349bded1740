// EDF, EDF+, BDF and BDF+ through EDFlib. The only file that sees its header.

#include <edflib.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
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

template <int Bytes>
int32_t Digital(const uint8_t* p) {
    if constexpr (Bytes == 2)
        return static_cast<int16_t>(p[0] | p[1] << 8);
    else
        return static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >>
               8;
}

// One signal's run of `n` little-endian samples of 2 (EDF) or 3 (BDF) bytes
// as values into `row`. The rule is settled once a run, so that the loops
// carry no branch.
template <int Bytes, bool Half>
void DecodeInteger(const uint8_t* in, std::size_t n, int32_t offset, int shift, int16_t* row) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if constexpr (Bytes == 2) {
        // Eight samples at a time in 32 bits; the saturating pack is the clamp.
        const __m128i add = _mm_set1_epi32(offset);
        const __m128i one = _mm_set1_epi32(1);
        const __m128i count = _mm_cvtsi32_si128(shift);
        auto value = [&](__m128i v) {
            v = _mm_add_epi32(v, add);
            // v >= 0 gains one: v + 1 + (v >> 31).
            if constexpr (Half) v = _mm_add_epi32(_mm_add_epi32(v, one), _mm_srai_epi32(v, 31));
            return _mm_sra_epi32(v, count);
        };
        for (; k + 8 <= n; k += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
            const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16);
            const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k),
                             _mm_packs_epi32(value(lo), value(hi)));
        }
    }
#endif
    for (; k < n; ++k) {
        int32_t v = Digital<Bytes>(in + k * Bytes) + offset;
        if constexpr (Half) v += v >= 0;
        row[k] = static_cast<int16_t>(std::clamp<int32_t>(v >> shift, INT16_MIN, INT16_MAX));
    }
}

template <int Bytes>
void DecodeRow(const uint8_t* in, std::size_t n, const ValueRule& rule, int16_t* row) {
    if (!rule.IntegerRule()) {
        for (std::size_t k = 0; k < n; ++k) row[k] = rule.Value(Digital<Bytes>(in + k * Bytes));
        return;
    }
    const auto offset = static_cast<int32_t>(rule.offset);
    if (rule.halfOffset)
        DecodeInteger<Bytes, true>(in, n, offset, rule.shift, row);
    else
        DecodeInteger<Bytes, false>(in, n, offset, rule.shift, row);
}

constexpr std::size_t kTileFrames = 1024;
using Tile = std::array<std::array<int16_t, kTileFrames>, kFrameChannels>;

// The tile's rows woven into frames of `Width` samples.
template <std::size_t Width>
void Interleave(const Tile& tile, std::size_t n, int16_t* out) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if constexpr (Width == kFrameChannels) {
        // Eight frames at a time: an 8 x 8 transpose of 16-bit samples.
        auto row = [&](std::size_t c) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(tile[c].data() + k));
        };
        for (; k + 8 <= n; k += 8) {
            const __m128i a0 = _mm_unpacklo_epi16(row(0), row(1));
            const __m128i a1 = _mm_unpackhi_epi16(row(0), row(1));
            const __m128i a2 = _mm_unpacklo_epi16(row(2), row(3));
            const __m128i a3 = _mm_unpackhi_epi16(row(2), row(3));
            const __m128i a4 = _mm_unpacklo_epi16(row(4), row(5));
            const __m128i a5 = _mm_unpackhi_epi16(row(4), row(5));
            const __m128i a6 = _mm_unpacklo_epi16(row(6), row(7));
            const __m128i a7 = _mm_unpackhi_epi16(row(6), row(7));
            const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
            const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
            const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
            const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
            const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
            const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
            const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
            const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
            auto store = [&](std::size_t f, __m128i frame) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k + f) * Width), frame);
            };
            store(0, _mm_unpacklo_epi64(b0, b4));
            store(1, _mm_unpackhi_epi64(b0, b4));
            store(2, _mm_unpacklo_epi64(b1, b5));
            store(3, _mm_unpackhi_epi64(b1, b5));
            store(4, _mm_unpacklo_epi64(b2, b6));
            store(5, _mm_unpackhi_epi64(b2, b6));
            store(6, _mm_unpacklo_epi64(b3, b7));
            store(7, _mm_unpackhi_epi64(b3, b7));
        }
    }
#endif
    for (; k < n; ++k)
        for (std::size_t c = 0; c < Width; ++c) out[k * Width + c] = tile[c][k];
}

void InterleaveAny(const Tile& tile, std::size_t n, std::size_t width, int16_t* out) {
    switch (width) {
        case 1:
            return Interleave<1>(tile, n, out);
        case 2:
            return Interleave<2>(tile, n, out);
        case 3:
            return Interleave<3>(tile, n, out);
        case 4:
            return Interleave<4>(tile, n, out);
        case 5:
            return Interleave<5>(tile, n, out);
        case 6:
            return Interleave<6>(tile, n, out);
        case 7:
            return Interleave<7>(tile, n, out);
        default:
            return Interleave<8>(tile, n, out);
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
    std::size_t ReadPacked(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                           std::string& error) override;

  private:
    void ReadAnnotations();
    void FindRecordLayout(const std::string& path);
    std::size_t ReadDirect(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                           std::string& error);

    // The data records read straight from the file once the library has
    // accepted it: its own sample reads cost ten times the file read.
    ReadOnlyFile file_;
    bool direct_ = false;
    uint64_t headerBytes_ = 0, recordBytes_ = 0;
    int sampleBytes_ = 2;
    std::vector<uint64_t> signalOffset_;  // in a record, per data signal
    std::vector<uint8_t> raw_;
    std::unique_ptr<Tile> tile_ = std::make_unique<Tile>();

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
    FindRecordLayout(path);
    return true;
}

void EdfSource::FindRecordLayout(const std::string& path) {
    // Where each data signal sits in a record, from the header's own
    // fields, used only when they agree with what the library read.
    char count[5] = {};
    if (!file_.Open(path) || file_.ReadAt(252, count, 4) != 4) return;
    const int ns = std::atoi(count);
    if (ns < hdr_->edfsignals || ns > 4096) return;
    const auto n = static_cast<std::size_t>(ns);
    std::string fields(n * 256, '\0');
    if (file_.ReadAt(256, fields.data(), fields.size()) != fields.size()) return;
    sampleBytes_ =
        hdr_->filetype == EDFLIB_FILETYPE_BDF || hdr_->filetype == EDFLIB_FILETYPE_BDFPLUS ? 3 : 2;
    headerBytes_ = 256 * (n + 1);
    uint64_t offset = 0;
    std::size_t data = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string label = Trimmed(fields.substr(i * 16, 16));
        const long spr = std::atol(fields.substr(n * 216 + i * 8, 8).c_str());
        if (spr < 0) return;
        const bool annotations = label == "EDF Annotations" || label == "BDF Annotations";
        if (!annotations) {
            if (data >= signals_.size() || hdr_->signalparam[data].smp_in_datarecord != spr) return;
            signalOffset_.push_back(offset);
            ++data;
        }
        offset += static_cast<uint64_t>(spr) * static_cast<uint64_t>(sampleBytes_);
    }
    recordBytes_ = offset;
    const auto records = static_cast<uint64_t>(hdr_->datarecords_in_file);
    direct_ = data == signals_.size() && recordBytes_ > 0 &&
              file_.Size() >= headerBytes_ + records * recordBytes_;
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

std::size_t EdfSource::ReadDirect(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                                  std::string& error) {
    const auto perRecord = static_cast<uint64_t>(hdr_->signalparam[0].smp_in_datarecord);
    const uint64_t from = static_cast<uint64_t>(first);
    const uint64_t record0 = from / perRecord;
    const uint64_t records = (from + count + perRecord - 1) / perRecord - record0;
    raw_.resize(static_cast<std::size_t>(records * recordBytes_));
    if (file_.ReadAt(headerBytes_ + record0 * recordBytes_, raw_.data(), raw_.size()) !=
        raw_.size()) {
        error = "The file could not be read to its end.";
        return 0;
    }
    width = std::min<std::size_t>(width, kFrameChannels);
    const std::size_t channels = std::min(chosen_.size(), width);
    Tile& tile = *tile_;
    for (std::size_t c = channels; c < width; ++c) tile[c].fill(0);
    // A tile of frames at a time, within one record: each signal's samples
    // are decoded where they lie together, then woven into frames.
    uint64_t index = from - record0 * perRecord;
    const uint8_t* record = raw_.data();
    for (std::size_t k = 0; k < count;) {
        const std::size_t n =
            std::min({count - k, static_cast<std::size_t>(perRecord - index), kTileFrames});
        for (std::size_t c = 0; c < channels; ++c) {
            const auto signal = static_cast<std::size_t>(chosen_[c]);
            const uint8_t* in =
                record + signalOffset_[signal] + index * static_cast<uint64_t>(sampleBytes_);
            if (sampleBytes_ == 2)
                DecodeRow<2>(in, n, signals_[signal].rule, tile[c].data());
            else
                DecodeRow<3>(in, n, signals_[signal].rule, tile[c].data());
        }
        InterleaveAny(tile, n, width, out + k * width);
        k += n;
        index += n;
        if (index == perRecord) {
            index = 0;
            record += recordBytes_;
        }
    }
    return count;
}

std::size_t EdfSource::ReadPacked(int64_t first, std::size_t count, int16_t* out, std::size_t width,
                                  std::string& error) {
    if (!direct_) return ForeignSource::ReadPacked(first, count, out, width, error);
    if (first < 0 || first >= frames_) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    return ReadDirect(first, count, out, width, error);
}

std::size_t EdfSource::Read(int64_t first, std::size_t count, Frame* out, std::string& error) {
    if (first < 0 || first >= frames_) return 0;
    count =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - first));
    if (direct_) return ReadDirect(first, count, out->data(), kFrameChannels, error);
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
        for (std::size_t k = 0; k < count; ++k)
            out[k][c] = rule.Value(static_cast<int32_t>(buffer_[k]));
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
