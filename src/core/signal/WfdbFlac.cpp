// WFDB formats 508, 516 and 524: a signal file that is a FLAC stream of 8,
// 16 or 24 bits, one FLAC channel per signal of the file. A frame holds each
// signal's samples of that frame in turn, so FLAC sample m of channel c is
// the signal's sample m: frame m / spf, place m % spf.

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>

#include "signal/WfdbFormats.h"

namespace koru {

namespace {

class FlacReader : public SampleReader {
  public:
    FlacReader(ReadOnlyFile file, const StreamLayout& layout)
        : file_(std::move(file)), layout_(layout), bits_(layout.format - 500) {
        channels_ = static_cast<std::size_t>(std::max(layout.flacChannels, 1));
        spf_ = static_cast<uint64_t>(layout.samplesPerFrame) / channels_;
        pending_.resize(channels_);
        size_ = file_.Size();
        decoder_ = FLAC__stream_decoder_new();
    }
    ~FlacReader() override {
        if (decoder_) FLAC__stream_decoder_delete(decoder_);
    }
    FlacReader(const FlacReader&) = delete;
    FlacReader& operator=(const FlacReader&) = delete;

    bool Start(std::string& error) {
        if (!decoder_ || spf_ < 1 ||
            static_cast<uint64_t>(layout_.samplesPerFrame) != spf_ * channels_ ||
            FLAC__stream_decoder_init_stream(decoder_, ReadCb, SeekCb, TellCb, LengthCb, EofCb,
                                             WriteCb, MetadataCb, ErrorCb,
                                             this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
            !FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || failed_ || !sawInfo_) {
            error = "A WFDB FLAC signal file cannot be decoded.";
            return false;
        }
        return true;
    }

    bool Read(uint64_t first, std::span<int32_t> out) override {
        if (out.empty()) return true;
        const uint64_t perFrame = spf_ * channels_;
        const uint64_t last = first + out.size() - 1;
        const uint64_t lo = first / perFrame * spf_, hi = last / perFrame * spf_ + spf_ - 1;
        if (!Decoded(lo, hi)) return false;
        const int32_t invalid = -(int32_t{1} << (bits_ - 1));
        for (std::size_t k = 0; k < out.size(); ++k) {
            const uint64_t n = first + k, r = n % perFrame;
            const uint64_t m = n / perFrame * spf_ + r % spf_;
            const int32_t v =
                pending_[static_cast<std::size_t>(r / spf_)][static_cast<std::size_t>(m - base_)];
            out[k] = v == invalid ? kWfdbInvalid : v;
        }
        return true;
    }
    int64_t FramesInFile() const override {
        return total_ > 0 ? static_cast<int64_t>(total_ / spf_) : -1;
    }

  private:
    // Makes FLAC samples [lo, hi] of every channel available in pending_.
    bool Decoded(uint64_t lo, uint64_t hi) {
        if (failed_) return false;
        if (lo < base_ || lo > End() + (uint64_t{1} << 20)) {
            // Behind what is kept, or far ahead: start decoding at lo.
            for (auto& p : pending_) p.clear();
            base_ = lo;
            if (!FLAC__stream_decoder_seek_absolute(decoder_, lo)) {
                FLAC__stream_decoder_flush(decoder_);
                return false;
            }
        } else if (lo > base_) {
            const auto drop = static_cast<std::ptrdiff_t>(std::min(lo, End()) - base_);
            for (auto& p : pending_) p.erase(p.begin(), p.begin() + drop);
            base_ += static_cast<uint64_t>(drop);
        }
        while (End() <= hi && !failed_) {
            const FLAC__StreamDecoderState s = FLAC__stream_decoder_get_state(decoder_);
            if (s == FLAC__STREAM_DECODER_END_OF_STREAM || s >= FLAC__STREAM_DECODER_OGG_ERROR)
                return false;
            if (!FLAC__stream_decoder_process_single(decoder_)) return false;
        }
        return !failed_ && End() > hi;
    }
    uint64_t End() const { return base_ + pending_.front().size(); }

    FLAC__StreamDecoderWriteStatus Write(const FLAC__Frame* frame, const FLAC__int32* const* buf) {
        if (frame->header.channels != channels_ ||
            frame->header.bits_per_sample > static_cast<unsigned>(bits_)) {
            failed_ = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        uint64_t at = frame->header.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                          ? frame->header.number.sample_number
                          : End();
        std::size_t skip = 0;
        if (at < End()) {  // a frame that starts before a seek's target
            skip =
                static_cast<std::size_t>(std::min<uint64_t>(End() - at, frame->header.blocksize));
            at = End();
        }
        if (at != End()) {  // a jump: keep only what follows
            for (auto& p : pending_) p.clear();
            base_ = at;
        }
        for (std::size_t c = 0; c < channels_; ++c)
            pending_[c].insert(pending_[c].end(), buf[c] + skip, buf[c] + frame->header.blocksize);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderReadStatus ReadCb(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                                size_t* bytes, void* self) {
        auto* r = static_cast<FlacReader*>(self);
        const std::size_t got = r->file_.ReadAt(r->pos_, buffer, *bytes);
        r->pos_ += got;
        *bytes = got;
        return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                        : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    static FLAC__StreamDecoderSeekStatus SeekCb(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                                void* self) {
        auto* r = static_cast<FlacReader*>(self);
        if (offset > r->size_) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        r->pos_ = offset;
        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }
    static FLAC__StreamDecoderTellStatus TellCb(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                                void* self) {
        *offset = static_cast<FlacReader*>(self)->pos_;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderLengthStatus LengthCb(const FLAC__StreamDecoder*,
                                                    FLAC__uint64* length, void* self) {
        *length = static_cast<FlacReader*>(self)->size_;
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }
    static FLAC__bool EofCb(const FLAC__StreamDecoder*, void* self) {
        const auto* r = static_cast<FlacReader*>(self);
        return r->pos_ >= r->size_;
    }
    static FLAC__StreamDecoderWriteStatus WriteCb(const FLAC__StreamDecoder*,
                                                  const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* self) {
        return static_cast<FlacReader*>(self)->Write(frame, buffer);
    }
    static void MetadataCb(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* self) {
        auto* r = static_cast<FlacReader*>(self);
        if (m->type != FLAC__METADATA_TYPE_STREAMINFO) return;
        r->sawInfo_ = true;
        r->total_ = m->data.stream_info.total_samples;
        if (m->data.stream_info.channels != r->channels_ ||
            m->data.stream_info.bits_per_sample > static_cast<unsigned>(r->bits_))
            r->failed_ = true;
    }
    static void ErrorCb(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self) {
        static_cast<FlacReader*>(self)->failed_ = true;
    }

    ReadOnlyFile file_;
    StreamLayout layout_;
    int bits_ = 16;
    std::size_t channels_ = 1;
    uint64_t spf_ = 1;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
    uint64_t total_ = 0;
    uint64_t base_ = 0;  // FLAC sample number of pending_[c][0]
    bool sawInfo_ = false;
    bool failed_ = false;
    std::vector<std::vector<int32_t>> pending_;
    FLAC__StreamDecoder* decoder_ = nullptr;
};

}  // namespace

std::unique_ptr<SampleReader> MakeFlacReader(ReadOnlyFile file, const StreamLayout& layout,
                                             std::string& error) {
    auto reader = std::make_unique<FlacReader>(std::move(file), layout);
    if (!reader->Start(error)) return nullptr;
    return reader;
}

}  // namespace koru
