#include "signal/FrameStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace koru {

std::size_t FrameStore::ChunkFramesFor(int channels) {
    const std::size_t frameBytes = 2u * static_cast<std::size_t>(std::clamp(channels, 1, 8));
    std::size_t frames = 1;
    while (frames * 2 * frameBytes <= kChunkBytes) frames *= 2;
    return frames;
}

void FrameStore::Reset(int channels, std::size_t expectedFrames) {
    chunks_.clear();
    chunks_.shrink_to_fit();
    channels_ = std::clamp(channels, 1, kFrameChannels);
    chunkFrames_ = ChunkFramesFor(channels_);
    shift_ = std::countr_zero(chunkFrames_);
    size_ = 0;
    allocated_ = 0;
    expected_ = expectedFrames;
}

std::span<int16_t> FrameStore::Grow(std::size_t want) {
    if (want == 0) return {};
    if (size_ == allocated_) {
        // Chunks fill in order and all but the last are full, so that a
        // lookup can divide; a short last chunk is widened, not followed.
        const bool shortLast = !chunks_.empty() && chunks_.back().capacity < chunkFrames_;
        if (!(shortLast ? WidenLastChunk() : AddChunk())) return {};
    }
    const std::size_t index = size_ >> shift_;
    const std::size_t offset = size_ - Frames(index);
    const Chunk& chunk = chunks_[index];
    const std::size_t n = std::min(want, chunk.capacity - offset);
    const auto width = static_cast<std::size_t>(channels_);
    return {chunk.samples.get() + offset * width, n * width};
}

bool FrameStore::AddChunk() {
    std::size_t frames = chunkFrames_;
    if (expected_ > allocated_) frames = std::min(frames, expected_ - allocated_);
    if (budget_ != 0) {
        if (allocated_ >= budget_) return false;
        frames = std::min(frames, budget_ - allocated_);
    }
    const std::size_t samples = frames * static_cast<std::size_t>(channels_);
    if (guard_ && !guard_->MayTake(samples * sizeof(int16_t))) return false;
    ChunkPtr memory = Allocate(samples);
    if (!memory) return false;
    try {
        chunks_.push_back({std::move(memory), frames});
    } catch (const std::bad_alloc&) {
        return false;
    }
    allocated_ += frames;
    return true;
}

bool FrameStore::WidenLastChunk() {
    Chunk& last = chunks_.back();
    std::size_t frames = chunkFrames_;
    if (budget_ != 0)
        frames = std::min(frames, budget_ - std::min(budget_, allocated_ - last.capacity));
    if (frames <= last.capacity) return false;
    const auto width = static_cast<std::size_t>(channels_);
    if (guard_ && !guard_->MayTake((frames - last.capacity) * width * sizeof(int16_t)))
        return false;
    ChunkPtr memory = Allocate(frames * width);
    if (!memory) return false;
    std::memcpy(memory.get(), last.samples.get(), last.capacity * width * sizeof(int16_t));
    allocated_ += frames - last.capacity;
    last = Chunk{std::move(memory), frames};
    return true;
}

std::size_t FrameStore::Append(std::span<const Frame> frames) {
    const auto width = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    while (done < frames.size()) {
        const std::span<int16_t> room = Grow(frames.size() - done);
        if (room.empty()) break;
        const std::size_t n = room.size() / width;
        int16_t* out = room.data();
        for (std::size_t i = 0; i < n; ++i, out += width)
            std::copy_n(frames[done + i].begin(), width, out);
        Commit(n);
        done += n;
    }
    return done;
}

std::optional<Frame> FrameStore::Find(int64_t index) const {
    const std::span<const int16_t> samples = Packed(index, 1);
    if (samples.empty()) return std::nullopt;
    Frame f{};
    std::copy(samples.begin(), samples.end(), f.begin());
    return f;
}

std::span<const int16_t> FrameStore::Packed(int64_t index, std::size_t want) const {
    if (index < 0 || static_cast<uint64_t>(index) >= size_) return {};
    const auto i = static_cast<std::size_t>(index);
    const std::size_t chunk = i >> shift_;
    const std::size_t offset = i - Frames(chunk);
    const std::size_t n = std::min({want, chunks_[chunk].capacity - offset, size_ - i});
    const auto width = static_cast<std::size_t>(channels_);
    return {chunks_[chunk].samples.get() + offset * width, n * width};
}

std::span<const Frame> FrameStore::Run(int64_t index, std::size_t want) const {
    if (channels_ != kFrameChannels) return {};
    const std::span<const int16_t> samples = Packed(index, want);
    return {reinterpret_cast<const Frame*>(samples.data()), samples.size() / kFrameChannels};
}

void FrameStore::ChunkMemory::operator()(int16_t* p) const {
    if (mapped)
        ::munmap(p, bytes);
    else
        delete[] p;
}

FrameStore::ChunkPtr FrameStore::Allocate(std::size_t samples) {
    const std::size_t bytes = samples * sizeof(int16_t);
    void* m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (m != MAP_FAILED) return {static_cast<int16_t*>(m), ChunkMemory{bytes, true}};
    return {new (std::nothrow) int16_t[samples], ChunkMemory{bytes, false}};
}

std::size_t FrameStore::BytesAllocated() const {
    return allocated_ * static_cast<std::size_t>(channels_) * sizeof(int16_t) +
           chunks_.capacity() * sizeof(Chunk);
}

}  // namespace koru
