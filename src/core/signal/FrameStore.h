#pragma once
// In-memory sample store: each frame kept as the samples of its delivered
// channels only (one to eight, two bytes each), packed in large fixed-size
// chunks and found by index in constant time. Memory follows the file, not
// eight channels. A chunk is taken only when the memory guard allows it;
// when it does not, or the system refuses, the store ends where it is and
// what was stored stays readable.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/Memory.h"

namespace koru {

constexpr int kFrameChannels = 8;
using Frame = std::array<int16_t, kFrameChannels>;
// An eight-channel store hands out its chunks as frames.
static_assert(sizeof(Frame) == kFrameChannels * sizeof(int16_t));

class FrameStore {
  public:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
    // Frames per chunk for a store of `channels`: a power of two, so that a
    // lookup shifts and masks, of at most kChunkBytes.
    static std::size_t ChunkFramesFor(int channels);

    FrameStore() { Reset(kFrameChannels, 0); }

    // Starts over, empty, for frames of `channels` samples (1 to 8), with
    // `expectedFrames` to come so that the last chunk is taken to size.
    void Reset(int channels, std::size_t expectedFrames);
    void Clear() { Reset(channels_, 0); }
    int Channels() const { return channels_; }

    // Room for up to `want` next frames, Channels() samples each; fewer
    // where a chunk ends, empty once memory is not to be had. The caller
    // fills them and then calls Commit with the frames filled.
    std::span<int16_t> Grow(std::size_t want);
    void Commit(std::size_t frames) { size_ += frames; }
    // Decoded frames appended, channels past Channels() dropped: the one
    // call a reader of any format needs. Returns how many were stored, fewer
    // when memory ran out.
    std::size_t Append(std::span<const Frame> frames);

    std::size_t Size() const { return size_; }
    std::optional<Frame> Find(int64_t index) const;
    // Up to `want` frames from `index` that lie together in one chunk, as
    // Channels() samples per frame; empty past the end.
    std::span<const int16_t> Packed(int64_t index, std::size_t want) const;
    // The same as frames, for an eight-channel store only: no copy at all.
    std::span<const Frame> Run(int64_t index, std::size_t want) const;

    // Bytes held for samples and chunk bookkeeping.
    std::size_t BytesAllocated() const;

    // Asked before each chunk is taken; nullptr: only the system decides.
    void SetMemoryGuard(MemoryGuard* guard) { guard_ = guard; }
    // Caps the frames that can ever be allocated, to exercise the
    // out-of-memory path at a frame of the test's choosing; 0 = no cap.
    void SetFrameBudgetForTesting(std::size_t frames) { budget_ = frames; }

  private:
    // Chunk memory comes pre-faulted from the kernel where it can: touching
    // fresh pages one by one costs more than the read that fills them.
    struct ChunkMemory {
        void operator()(int16_t* p) const;
        std::size_t bytes = 0;
        bool mapped = false;
    };
    using ChunkPtr = std::unique_ptr<int16_t[], ChunkMemory>;
    struct Chunk {
        ChunkPtr samples;
        std::size_t capacity = 0;  // frames
    };
    static ChunkPtr Allocate(std::size_t samples);
    // A new last chunk of up to chunkFrames_ frames; false when not to be had.
    bool AddChunk();
    // The short last chunk widened to a full one, so more frames fit than
    // were expected.
    bool WidenLastChunk();
    std::size_t Frames(std::size_t chunk) const { return chunk << shift_; }

    std::vector<Chunk> chunks_;
    int channels_ = kFrameChannels;
    int shift_ = 0;
    std::size_t chunkFrames_ = 0;
    std::size_t size_ = 0;
    std::size_t allocated_ = 0;  // frames
    std::size_t budget_ = 0;
    std::size_t expected_ = 0;
    MemoryGuard* guard_ = nullptr;
};

}  // namespace koru
