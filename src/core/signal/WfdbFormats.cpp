#include "signal/WfdbFormats.h"

#include <algorithm>
#include <array>

namespace koru {

namespace {

constexpr int32_t SignExtend(uint32_t v, int bits) {
    const uint32_t sign = uint32_t{1} << (bits - 1);
    return static_cast<int32_t>((v & ((sign << 1) - 1)) ^ sign) - static_cast<int32_t>(sign);
}

// 16: little-endian two's complement.
void Decode16(const uint8_t* g, int32_t* out) {
    out[0] = SignExtend(g[0] | uint32_t{g[1]} << 8, 16);
}
// 61: big-endian two's complement.
void Decode61(const uint8_t* g, int32_t* out) {
    out[0] = SignExtend(g[1] | uint32_t{g[0]} << 8, 16);
}
// 80: one byte, offset binary (128 is zero).
void Decode80(const uint8_t* g, int32_t* out) {
    out[0] = int32_t{g[0]} - 128;
}
// 160: little-endian, offset binary (32768 is zero).
void Decode160(const uint8_t* g, int32_t* out) {
    out[0] = static_cast<int32_t>(g[0] | uint32_t{g[1]} << 8) - 32768;
}
// 212: two 12-bit samples in three bytes; byte 1's low nibble tops the first, its high the second.
void Decode212(const uint8_t* g, int32_t* out) {
    out[0] = SignExtend(g[0] | (g[1] & 0x0Fu) << 8, 12);
    out[1] = SignExtend(g[2] | (g[1] & 0xF0u) << 4, 12);
}
// 310: three 10-bit samples in two little-endian words: bits 1-10 of each word are the first
// and second, bits 11-15 of the first and of the second the low and high half of the third.
void Decode310(const uint8_t* g, int32_t* out) {
    const uint32_t w0 = g[0] | uint32_t{g[1]} << 8, w1 = g[2] | uint32_t{g[3]} << 8;
    out[0] = SignExtend(w0 >> 1, 10);
    out[1] = SignExtend(w1 >> 1, 10);
    out[2] = SignExtend((w0 >> 11) | (w1 >> 11) << 5, 10);
}
// 311: three 10-bit samples in bits 0-9, 10-19 and 20-29 of a little-endian 32-bit word.
void Decode311(const uint8_t* g, int32_t* out) {
    const uint32_t w = g[0] | uint32_t{g[1]} << 8 | uint32_t{g[2]} << 16 | uint32_t{g[3]} << 24;
    out[0] = SignExtend(w, 10);
    out[1] = SignExtend(w >> 10, 10);
    out[2] = SignExtend(w >> 20, 10);
}
// 24: little-endian three-byte two's complement.
void Decode24(const uint8_t* g, int32_t* out) {
    out[0] = SignExtend(g[0] | uint32_t{g[1]} << 8 | uint32_t{g[2]} << 16, 24);
}
// 32: little-endian four-byte two's complement.
void Decode32(const uint8_t* g, int32_t* out) {
    out[0] = static_cast<int32_t>(g[0] | uint32_t{g[1]} << 8 | uint32_t{g[2]} << 16 |
                                  uint32_t{g[3]} << 24);
}

constexpr std::array<SampleFormat, 9> kSampleFormats = {{
    {16, 16, 1, 2, true, Decode16},
    {61, 16, 1, 2, true, Decode61},
    {80, 8, 1, 1, true, Decode80},
    {160, 16, 1, 2, true, Decode160},
    {212, 12, 2, 3, true, Decode212},
    {310, 10, 3, 4, true, Decode310},
    {311, 10, 3, 4, true, Decode311},
    {24, 24, 1, 3, true, Decode24},
    {32, 32, 1, 4, true, Decode32},
}};

// Samples a file of `bytes` holds: whole groups, and a short last group of
// two or more bytes holds its first sample (a writer's odd tail for 212,
// 310 and 311).
uint64_t SamplesIn(const SampleFormat& f, uint64_t bytes) {
    const auto gb = static_cast<uint64_t>(f.groupBytes);
    const auto gs = static_cast<uint64_t>(f.groupSamples);
    return bytes / gb * gs + (gs > 1 && bytes % gb >= 2 ? 1 : 0);
}

// Fixed-width formats: any stretch is read straight from its bytes.
class FixedReader : public SampleReader {
  public:
    FixedReader(ReadOnlyFile file, const SampleFormat& format, const StreamLayout& layout)
        : file_(std::move(file)), format_(format), layout_(layout) {
        const uint64_t size = file_.Size();
        samples_ = size > layout.byteOffset ? SamplesIn(format, size - layout.byteOffset) : 0;
    }

    bool Read(uint64_t first, std::span<int32_t> out) override {
        if (out.empty()) return true;
        if (first > samples_ || out.size() > samples_ - first) return false;
        const auto gs = static_cast<uint64_t>(format_.groupSamples);
        const auto gb = static_cast<uint64_t>(format_.groupBytes);
        const uint64_t g0 = first / gs, g1 = (first + out.size() + gs - 1) / gs;
        raw_.assign(static_cast<std::size_t>((g1 - g0) * gb), 0);  // a short tail reads as 0
        file_.ReadAt(layout_.byteOffset + g0 * gb, raw_.data(), raw_.size());
        const int32_t invalid =
            format_.bits < 32 ? -(int32_t{1} << (format_.bits - 1)) : kWfdbInvalid;
        int32_t group[3];
        std::size_t k = 0;
        for (uint64_t g = g0; g < g1; ++g) {
            format_.decode(&raw_[static_cast<std::size_t>((g - g0) * gb)], group);
            for (uint64_t j = 0; j < gs; ++j) {
                const uint64_t n = g * gs + j;
                if (n < first || k >= out.size()) continue;
                const int32_t v = group[j];
                out[k++] = format_.invalidCode && v == invalid ? kWfdbInvalid : v;
            }
        }
        return true;
    }
    int64_t FramesInFile() const override {
        return static_cast<int64_t>(samples_ / static_cast<uint64_t>(layout_.samplesPerFrame));
    }

  private:
    ReadOnlyFile file_;
    const SampleFormat& format_;
    StreamLayout layout_;
    uint64_t samples_ = 0;
    std::vector<uint8_t> raw_;
};

// 8: each byte a signed difference from the signal's last sample, the first
// from its initial value. A sample needs every one before it, so the reader
// keeps the running values every so many samples as it passes them: a later
// stretch starts from the nearest such checkpoint before it, and only a
// stretch past all of them walks forward from the last.
class DifferenceReader : public SampleReader {
  public:
    DifferenceReader(ReadOnlyFile file, const StreamLayout& layout)
        : file_(std::move(file)),
          layout_(layout),
          every_(layout.checkpointSamples > 0 ? layout.checkpointSamples : uint64_t{1} << 16) {
        const uint64_t size = file_.Size();
        samples_ = size > layout.byteOffset ? size - layout.byteOffset : 0;
        running_ = layout_.initialValues;
        checkpoints_ = running_;
    }

    bool Read(uint64_t first, std::span<int32_t> out) override {
        if (first > samples_ || out.size() > samples_ - first) return false;
        const uint64_t nearest = std::min<uint64_t>(first / every_, Checkpoints() - 1);
        if (first < next_ || nearest * every_ > next_) Resume(nearest);
        while (next_ < first) {  // walk up to the stretch, keeping only the running values
            const auto n = static_cast<std::size_t>(std::min<uint64_t>(first - next_, 65536));
            scratch_.resize(n);
            Decode(scratch_);
        }
        Decode(out);
        return true;
    }
    int64_t FramesInFile() const override {
        return static_cast<int64_t>(samples_ / static_cast<uint64_t>(layout_.samplesPerFrame));
    }

  private:
    uint64_t Checkpoints() const { return checkpoints_.size() / running_.size(); }
    void Resume(uint64_t checkpoint) {
        next_ = checkpoint * every_;
        const auto at = static_cast<std::ptrdiff_t>(checkpoint * running_.size());
        std::copy(checkpoints_.begin() + at,
                  checkpoints_.begin() + at + static_cast<std::ptrdiff_t>(running_.size()),
                  running_.begin());
    }
    void Decode(std::span<int32_t> out) {
        raw_.resize(out.size());
        file_.ReadAt(layout_.byteOffset + next_, raw_.data(), raw_.size());
        const auto spf = static_cast<std::size_t>(layout_.samplesPerFrame);
        auto slot = static_cast<std::size_t>(next_ % spf);
        // The next checkpoint not yet kept, as a count of samples from next_.
        const uint64_t kept = Checkpoints() * every_;
        uint64_t toCheckpoint = kept >= next_ ? kept - next_ : UINT64_MAX;
        for (std::size_t k = 0; k < out.size(); ++k) {
            if (toCheckpoint == 0) {
                checkpoints_.insert(checkpoints_.end(), running_.begin(), running_.end());
                toCheckpoint = every_;
            }
            --toCheckpoint;
            int32_t& v = running_[static_cast<std::size_t>(layout_.slotSignal[slot])];
            // Unsigned arithmetic: a long run of differences wraps instead of overflowing.
            v = static_cast<int32_t>(static_cast<uint32_t>(v) +
                                     static_cast<uint32_t>(static_cast<int8_t>(raw_[k])));
            out[k] = v;
            if (++slot == spf) slot = 0;
        }
        next_ += out.size();
    }

    ReadOnlyFile file_;
    StreamLayout layout_;
    uint64_t every_;  // samples from one checkpoint to the next
    uint64_t samples_ = 0;
    uint64_t next_ = 0;
    std::vector<int32_t> running_;
    // The running values at samples 0, every_, 2 * every_, ... as far as decoded.
    std::vector<int32_t> checkpoints_;
    std::vector<uint8_t> raw_;
    std::vector<int32_t> scratch_;
};

}  // namespace

const SampleFormat* FixedFormat(int code) {
    for (const SampleFormat& f : kSampleFormats)
        if (f.code == code) return &f;
    return nullptr;
}

bool IsFlacFormat(int code) {
    return code == 508 || code == 516 || code == 524;
}

bool IsWfdbFormat(int code) {
    return FixedFormat(code) || code == 8 || IsFlacFormat(code);
}

int FormatBits(int code) {
    if (const SampleFormat* f = FixedFormat(code)) return f->bits;
    if (IsFlacFormat(code)) return code - 500;
    return 16;  // 8: differences add up to what the signal's range is; 16 bits hold most
}

std::unique_ptr<SampleReader> MakeSampleReader(ReadOnlyFile file, const StreamLayout& layout,
                                               std::string& error) {
    if (layout.samplesPerFrame < 1) {
        error = "A WFDB signal file holds no samples per frame.";
        return nullptr;
    }
    if (const SampleFormat* f = FixedFormat(layout.format))
        return std::make_unique<FixedReader>(std::move(file), *f, layout);
    if (layout.format == 8) {
        const bool slotsHold =
            std::all_of(layout.slotSignal.begin(), layout.slotSignal.end(), [&](int s) {
                return s >= 0 && static_cast<std::size_t>(s) < layout.initialValues.size();
            });
        if (layout.slotSignal.size() != static_cast<std::size_t>(layout.samplesPerFrame) ||
            !slotsHold) {
            error = "A format 8 WFDB signal file has no running value per slot.";
            return nullptr;
        }
        return std::make_unique<DifferenceReader>(std::move(file), layout);
    }
    if (IsFlacFormat(layout.format)) return MakeFlacReader(std::move(file), layout, error);
    error = "WFDB format " + std::to_string(layout.format) + " is not a format we read.";
    return nullptr;
}

}  // namespace koru
