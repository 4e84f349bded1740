#include "signal/SignalDocument.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace koru {

namespace {
// Bytes read per block while loading or reading in file mode.
constexpr std::size_t kReadBlockBytes = std::size_t{1} << 20;
// Smaller blocks for file-mode readers, which often want only a screenful.
constexpr std::size_t kCursorBlockBytes = std::size_t{64} << 10;
// Frames unpacked at a time from a store of fewer than eight channels: a
// buffer that stays in the cache.
constexpr std::size_t kUnpackFrames = 2048;

std::size_t FrameBytes(uint16_t channels) {
    return 2u * channels;
}
}  // namespace

bool SignalDocument::OpenFile(const std::string& path, const std::string& upperName,
                              SourceKind kind) {
    Close();
    if (!file_.Open(path)) return false;
    path_ = path;
    fileName_ = upperName;
    kind_ = kind;
    header_ = SignalHeader{};
    return true;
}

bool SignalDocument::ReadSigHeader() {
    HeaderBytes bytes{};
    if (file_.ReadAt(0, bytes.data(), bytes.size()) < bytes.size()) return false;
    header_ = ParseHeader(bytes);
    return HeaderAcceptable(header_);
}

void SignalDocument::Close() {
    file_.Close();
    store_.Clear();
    seekCursor_.reset();
    foreign_.reset();
    clock_.reset();
    units_ = {};
    chosen_.clear();
    annotations_.Clear();
    isOpen_ = false;
    frameCount_ = 0;
    framesCut_ = false;
}

void SignalDocument::SetForeignSource(std::unique_ptr<ForeignSource> source) {
    foreign_ = std::move(source);
    CountFrames();
}

int32_t SignalDocument::CountFrames() {
    if (foreign_) {
        frameCount_ =
            static_cast<int32_t>(std::clamp<int64_t>(foreign_->FrameCount(), 0, INT32_MAX));
        return frameCount_;
    }
    const uint64_t size = file_.Size();
    const uint64_t dataStart = kind_ == SourceKind::Sig ? SignalHeader::kSize : 0;
    const uint64_t frameBytes = FrameBytes(header_.ChannelCount);
    uint64_t frames = 0;
    if (frameBytes != 0 && size > dataStart) frames = (size - dataStart) / frameBytes;
    frameCount_ = static_cast<int32_t>(std::min<uint64_t>(frames, INT32_MAX));
    framesCut_ = frames > INT32_MAX;
    return frameCount_;
}

uint64_t SignalDocument::FrameOffset(int64_t i) const {
    const uint64_t dataStart = kind_ == SourceKind::Sig ? SignalHeader::kSize : 0;
    return dataStart + static_cast<uint64_t>(i) * FrameBytes(header_.ChannelCount);
}

namespace {

// Channels 1 to `used` of each frame into `out`, `stride` samples apart;
// samples from `used` up to the stride are zero.
template <SourceKind K>
void DecodeAs(const uint8_t* raw, std::size_t frames, uint16_t channels, int16_t* out,
              std::size_t used, std::size_t stride) {
    const std::size_t frameBytes = FrameBytes(channels);
    for (std::size_t f = 0; f < frames; ++f, raw += frameBytes, out += stride) {
        std::size_t c = 0;
        for (; c < used; ++c) {
            const auto word = static_cast<uint16_t>(raw[2 * c] | raw[2 * c + 1] << 8);
            out[c] = Normalise(word, K);
        }
        for (; c < stride; ++c) out[c] = 0;
    }
}

void Decode(const uint8_t* raw, std::size_t frames, uint16_t channels, SourceKind kind,
            int16_t* out, std::size_t used, std::size_t stride) {
    switch (kind) {
        case SourceKind::Sig:
            return DecodeAs<SourceKind::Sig>(raw, frames, channels, out, used, stride);
        case SourceKind::Bin:
            return DecodeAs<SourceKind::Bin>(raw, frames, channels, out, used, stride);
        case SourceKind::Dat:
            return DecodeAs<SourceKind::Dat>(raw, frames, channels, out, used, stride);
        case SourceKind::Nib:
            return DecodeAs<SourceKind::Nib>(raw, frames, channels, out, used, stride);
        case SourceKind::Foreign:
            return;  // decoded by its source, never from raw words
    }
}

// Little-endian words of a file of at most eight channels are already the
// store's packed layout, save for the kinds' normalisation.
bool ReadIntoStore(uint16_t channels) {
    return std::endian::native == std::endian::little && channels <= kFrameChannels;
}

// Words read as they lie in the file into the store, normalised in place.
void NormaliseInPlace(int16_t* samples, std::size_t n, SourceKind kind) {
    if (kind == SourceKind::Sig || kind == SourceKind::Bin) return;
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = Normalise(static_cast<uint16_t>(samples[i]), kind);
}

int StoredChannels(uint16_t channels) {
    return std::clamp<int>(channels, 1, kFrameChannels);
}

}  // namespace

void SignalDocument::DecodeFrames(const uint8_t* raw, std::size_t frames, uint16_t channels,
                                  SourceKind kind, Frame* out) {
    if (frames == 0) return;
    // Eight little-endian words per frame are already a frame.
    if (std::endian::native == std::endian::little && channels == kFrameChannels &&
        (kind == SourceKind::Sig || kind == SourceKind::Bin)) {
        std::memcpy(out, raw, frames * sizeof(Frame));
        return;
    }
    const auto used = static_cast<std::size_t>(std::min<int>(channels, kFrameChannels));
    Decode(raw, frames, channels, kind, out->data(), used, kFrameChannels);
}

void SignalDocument::DecodePacked(const uint8_t* raw, std::size_t frames, uint16_t channels,
                                  SourceKind kind, int16_t* out, int stored) {
    const auto width = static_cast<std::size_t>(stored);
    Decode(raw, frames, channels, kind, out, std::min<std::size_t>(channels, width), width);
}

namespace {

// Decoded by the source straight into the store's chunks, a chunk at a time.
LoadResult FillFromForeign(FrameStore& store, ForeignSource& source, std::size_t total,
                           ProgressSink& progress) {
    const auto width = static_cast<std::size_t>(store.Channels());
    LoadResult result;
    int lastPercent = 0;
    std::size_t done = 0;
    while (done < total) {
        const std::span<int16_t> room = store.Grow(total - done);
        if (room.empty()) {
            result.outOfMemory = true;
            break;
        }
        const std::size_t want = room.size() / width;
        const std::size_t got =
            source.ReadPacked(static_cast<int64_t>(done), want, room.data(), width, result.error);
        store.Commit(got);
        done += got;
        const int percent = static_cast<int>(static_cast<uint64_t>(done) * 100 / total);
        if (percent != lastPercent) {
            progress.ProgressSet(percent);
            lastPercent = percent;
        }
        if (got < want) {
            if (result.error.empty()) result.error = "The file ended before its last frame.";
            break;
        }
    }
    return result;
}

}  // namespace

LoadResult SignalDocument::Load(ProgressSink& progress) {
    const int stored = StoredChannels(header_.ChannelCount);
    const auto total = static_cast<std::size_t>(std::max(frameCount_, 0));
    store_.Reset(stored, fileBacked_ ? 0 : total);
    SeekFrame(0);
    if (FileBacked()) return LoadResult{ReadableFrames(), false, {}};
    progress.ProgressSet(0);
    store_.SetMemoryGuard(&guard_);
    guard_.Begin();
    if (foreign_) {
        LoadResult result = FillFromForeign(store_, *foreign_, total, progress);
        result.frames = ReadableFrames();
        return result;
    }
    const std::size_t frameBytes = FrameBytes(header_.ChannelCount);
    const std::size_t blockFrames = std::max<std::size_t>(1, kReadBlockBytes / frameBytes);
    const bool direct = ReadIntoStore(header_.ChannelCount);
    std::vector<uint8_t> block(direct ? 0 : blockFrames * frameBytes);

    LoadResult result;
    int lastPercent = 0;
    std::size_t done = 0;
    while (done < total) {
        const std::span<int16_t> room = store_.Grow(std::min(blockFrames, total - done));
        if (room.empty()) {
            result.outOfMemory = true;
            break;
        }
        const std::size_t want = room.size() / static_cast<std::size_t>(stored);
        void* target = direct ? static_cast<void*>(room.data()) : static_cast<void*>(block.data());
        const std::size_t got =
            file_.ReadAt(FrameOffset(static_cast<int64_t>(done)), target, want * frameBytes) /
            frameBytes;
        if (direct)
            NormaliseInPlace(room.data(), got * static_cast<std::size_t>(stored), kind_);
        else
            DecodePacked(block.data(), got, header_.ChannelCount, kind_, room.data(), stored);
        store_.Commit(got);
        done += got;
        const int percent = static_cast<int>(static_cast<uint64_t>(done) * 100 / total);
        if (percent != lastPercent) {
            progress.ProgressSet(percent);
            lastPercent = percent;
        }
        if (got < want) break;  // the file shrank under us
    }
    store_.SetMemoryGuard(nullptr);
    result.frames = ReadableFrames();
    return result;
}

void SignalDocument::SeekFrame(int64_t i) {
    seekCursor_ = std::make_unique<FrameCursor>(*this, i);
}

bool SignalDocument::ReadFrame(Frame& out) {
    if (!seekCursor_) seekCursor_ = std::make_unique<FrameCursor>(*this, 0);
    const Frame* f = seekCursor_->Next();
    if (!f) return false;
    out = *f;
    return true;
}

int64_t SignalDocument::ReadableFrames() const {
    if (!isOpen_) return 0;
    if (!FileBacked()) return static_cast<int64_t>(store_.Size());
    return frameCount_;
}

FrameSpans::FrameSpans(const SignalDocument& doc, int64_t first) : doc_(doc), next_(first) {}

namespace {

// Only the stored channels are written: the buffer's other samples were
// zeroed once and stay so, which saves most of the copy for few channels.
// A fixed channel count lets the compiler unroll it.
template <std::size_t C>
void UnpackAs(const int16_t* packed, std::size_t frames, Frame* out) {
    for (std::size_t f = 0; f < frames; ++f, packed += C)
        for (std::size_t c = 0; c < C; ++c) out[f][c] = packed[c];
}

void Unpack(const int16_t* packed, std::size_t frames, int channels, Frame* out) {
    switch (channels) {
        case 1:
            return UnpackAs<1>(packed, frames, out);
        case 2:
            return UnpackAs<2>(packed, frames, out);
        case 3:
            return UnpackAs<3>(packed, frames, out);
        case 4:
            return UnpackAs<4>(packed, frames, out);
        case 5:
            return UnpackAs<5>(packed, frames, out);
        case 6:
            return UnpackAs<6>(packed, frames, out);
        case 7:
            return UnpackAs<7>(packed, frames, out);
        default:
            return UnpackAs<8>(packed, frames, out);
    }
}

}  // namespace

std::span<const Frame> FrameSpans::Next(std::size_t want) {
    if (want == 0 || next_ < 0) return {};
    if (!doc_.FileBacked()) {
        const FrameStore& store = doc_.Store();
        if (store.Channels() == kFrameChannels) {
            const std::span<const Frame> run = store.Run(next_, want);
            next_ += static_cast<int64_t>(run.size());
            return run;
        }
        const std::span<const int16_t> packed = store.Packed(next_, std::min(want, kUnpackFrames));
        const auto width = static_cast<std::size_t>(store.Channels());
        const std::size_t n = packed.size() / width;
        if (zeroedPast_ != store.Channels()) {
            buffer_.assign(kUnpackFrames, Frame{});
            zeroedPast_ = store.Channels();
        }
        Unpack(packed.data(), n, store.Channels(), buffer_.data());
        next_ += static_cast<int64_t>(n);
        return {buffer_.data(), n};
    }
    if (pos_ >= filled_) {
        const std::size_t frameBytes = 2u * doc_.Header().ChannelCount;
        if (frameBytes == 0) return {};
        const std::size_t blockFrames = std::max<std::size_t>(1, kCursorBlockBytes / frameBytes);
        raw_.resize(blockFrames * frameBytes);
        filled_ =
            doc_.File().ReadAt(doc_.FrameOffset(next_), raw_.data(), raw_.size()) / frameBytes;
        pos_ = 0;
        if (filled_ == 0) return {};
        buffer_.resize(filled_);
        zeroedPast_ = 0;
        SignalDocument::DecodeFrames(raw_.data(), filled_, doc_.Header().ChannelCount, doc_.Kind(),
                                     buffer_.data());
    }
    const std::size_t n = std::min(want, filled_ - pos_);
    const std::span<const Frame> run{buffer_.data() + pos_, n};
    pos_ += n;
    next_ += static_cast<int64_t>(n);
    return run;
}

}  // namespace koru
