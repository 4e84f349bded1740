#pragma once
// In-memory sample store: frames of eight normalised values kept in large
// fixed-size chunks, found by index in constant time. A failed allocation
// ends the store where it is; what was stored stays readable.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace koru {

constexpr int kFrameChannels = 8;
using Frame = std::array<int16_t, kFrameChannels>;

class FrameStore {
  public:
    static constexpr std::size_t kChunkFrames = std::size_t{1} << 16;  // 1 MiB per chunk

    // How many frames the coming load will add, so that the last chunk is
    // allocated to size.
    void ExpectFrames(std::size_t total) { expected_ = total; }
    // Room for up to `want` next frames; may give fewer, and none once
    // memory is exhausted. The caller fills them and then calls Commit.
    Frame* Grow(std::size_t want, std::size_t& got);
    void Commit(std::size_t frames) { size_ += frames; }

    void Clear();
    std::size_t Size() const { return size_; }
    const Frame* Find(int64_t index) const {
        if (index < 0 || static_cast<uint64_t>(index) >= size_) return nullptr;
        auto i = static_cast<std::size_t>(index);
        return &chunks_[i / kChunkFrames].frames[i % kChunkFrames];
    }
    // Up to `want` frames from `index` that lie together in one chunk;
    // empty past the end.
    std::span<const Frame> Run(int64_t index, std::size_t want) const {
        if (index < 0 || static_cast<uint64_t>(index) >= size_) return {};
        const auto i = static_cast<std::size_t>(index);
        const std::size_t inChunk = kChunkFrames - i % kChunkFrames;
        const std::size_t n = std::min({want, inChunk, size_ - i});
        return {&chunks_[i / kChunkFrames].frames[i % kChunkFrames], n};
    }
    // Bytes held for samples and chunk bookkeeping.
    std::size_t BytesAllocated() const;

    // Caps the frames that can ever be allocated, to exercise the
    // out-of-memory path; 0 = no cap.
    void SetFrameBudgetForTesting(std::size_t frames) { budget_ = frames; }

  private:
    // Chunk memory comes pre-faulted from the kernel where it can: touching
    // fresh pages one by one costs more than the read that fills them.
    struct ChunkMemory {
        void operator()(Frame* p) const;
        std::size_t bytes = 0;
        bool mapped = false;
    };
    struct Chunk {
        std::unique_ptr<Frame[], ChunkMemory> frames;
        std::size_t capacity = 0;
    };
    static std::unique_ptr<Frame[], ChunkMemory> Allocate(std::size_t frames);
    std::vector<Chunk> chunks_;
    std::size_t size_ = 0;
    std::size_t allocated_ = 0;
    std::size_t budget_ = 0;
    std::size_t expected_ = 0;
};

}  // namespace koru
