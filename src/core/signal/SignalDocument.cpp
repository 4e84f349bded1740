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
    isOpen_ = false;
    frameCount_ = 0;
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
    return frameCount_;
}

uint64_t SignalDocument::FrameOffset(int64_t i) const {
    const uint64_t dataStart = kind_ == SourceKind::Sig ? SignalHeader::kSize : 0;
    return dataStart + static_cast<uint64_t>(i) * FrameBytes(header_.ChannelCount);
}

namespace {

template <SourceKind K>
void DecodeAs(const uint8_t* raw, std::size_t frames, uint16_t channels, Frame* out) {
    const std::size_t stride = FrameBytes(channels);
    const int used = std::min<int>(channels, kFrameChannels);
    for (std::size_t f = 0; f < frames; ++f, raw += stride) {
        Frame& fr = out[f];
        int c = 0;
        for (; c < used; ++c) {
            const auto word = static_cast<uint16_t>(raw[2 * c] | raw[2 * c + 1] << 8);
            fr[static_cast<std::size_t>(c)] = Normalise(word, K);
        }
        for (; c < kFrameChannels; ++c) fr[static_cast<std::size_t>(c)] = 0;
    }
}

// Eight little-endian words per frame are already the store's layout.
bool StoredAsIs(SourceKind kind, uint16_t channels) {
    return std::endian::native == std::endian::little && channels == kFrameChannels &&
           (kind == SourceKind::Sig || kind == SourceKind::Bin);
}

}  // namespace

void SignalDocument::DecodeFrames(const uint8_t* raw, std::size_t frames, uint16_t channels,
                                  SourceKind kind, Frame* out) {
    if (StoredAsIs(kind, channels)) {
        std::memcpy(out, raw, frames * sizeof(Frame));
        return;
    }
    switch (kind) {
        case SourceKind::Sig:
            DecodeAs<SourceKind::Sig>(raw, frames, channels, out);
            break;
        case SourceKind::Bin:
            DecodeAs<SourceKind::Bin>(raw, frames, channels, out);
            break;
        case SourceKind::Dat:
            DecodeAs<SourceKind::Dat>(raw, frames, channels, out);
            break;
        case SourceKind::Nib:
            DecodeAs<SourceKind::Nib>(raw, frames, channels, out);
            break;
        case SourceKind::Foreign:
            break;  // decoded by its source, never from raw words
    }
}

namespace {

// Hands a foreign source's decoded frames to the store, block by block.
LoadResult FillFromForeign(FrameStore& store, ForeignSource& source, std::size_t total,
                           ProgressSink& progress) {
    constexpr std::size_t kBlockFrames = std::size_t{1} << 15;
    LoadResult result;
    int lastPercent = 0;
    std::size_t done = 0;
    while (done < total) {
        std::size_t room = 0;
        Frame* dst = store.Grow(std::min(kBlockFrames, total - done), room);
        if (!dst) {
            result.outOfMemory = true;
            break;
        }
        const std::size_t got = source.Read(static_cast<int64_t>(done), room, dst, result.error);
        store.Commit(got);
        done += got;
        const int percent = static_cast<int>(static_cast<uint64_t>(done) * 100 / total);
        if (percent != lastPercent) {
            progress.ProgressSet(percent);
            lastPercent = percent;
        }
        if (got < room) {
            if (result.error.empty()) result.error = "The file ended before its last frame.";
            break;
        }
    }
    return result;
}

}  // namespace

LoadResult SignalDocument::Load(ProgressSink& progress) {
    store_.Clear();
    SeekFrame(0);
    if (FileBacked()) return LoadResult{ReadableFrames(), false, {}};
    if (foreign_) {
        progress.ProgressSet(0);
        const auto total = static_cast<std::size_t>(std::max(frameCount_, 0));
        store_.ExpectFrames(total);
        LoadResult result = FillFromForeign(store_, *foreign_, total, progress);
        result.frames = ReadableFrames();
        return result;
    }

    progress.ProgressSet(0);
    const auto total = static_cast<std::size_t>(std::max(frameCount_, 0));
    const std::size_t frameBytes = FrameBytes(header_.ChannelCount);
    const std::size_t blockFrames = std::max<std::size_t>(1, kReadBlockBytes / frameBytes);
    const bool direct = StoredAsIs(kind_, header_.ChannelCount);
    std::vector<uint8_t> block(direct ? 0 : blockFrames * frameBytes);
    store_.ExpectFrames(total);

    LoadResult result;
    int lastPercent = 0;
    std::size_t done = 0;
    while (done < total) {
        std::size_t room = 0;
        Frame* dst = store_.Grow(std::min(blockFrames, total - done), room);
        if (!dst) {
            result.outOfMemory = true;
            break;
        }
        // Frames already in the store's layout are read straight into it.
        void* target = direct ? static_cast<void*>(dst) : static_cast<void*>(block.data());
        const std::size_t got =
            file_.ReadAt(FrameOffset(static_cast<int64_t>(done)), target, room * frameBytes) /
            frameBytes;
        if (!direct) DecodeFrames(block.data(), got, header_.ChannelCount, kind_, dst);
        store_.Commit(got);
        done += got;
        const int percent = static_cast<int>(static_cast<uint64_t>(done) * 100 / total);
        if (percent != lastPercent) {
            progress.ProgressSet(percent);
            lastPercent = percent;
        }
        if (got < room) break;  // the file shrank under us
    }
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

std::span<const Frame> FrameSpans::Next(std::size_t want) {
    if (want == 0 || next_ < 0) return {};
    if (!doc_.FileBacked()) {
        const std::span<const Frame> run = doc_.Store().Run(next_, want);
        next_ += static_cast<int64_t>(run.size());
        return run;
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
