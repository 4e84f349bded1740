#include "signal/FrameStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace koru {

Frame* FrameStore::Grow(std::size_t want, std::size_t& got) {
    got = 0;
    if (want == 0) return nullptr;
    // Only the last chunk can have room: chunks fill in order, and a full
    // chunk is exactly kChunkFrames long so that Find can divide.
    if (!chunks_.empty()) {
        Chunk& last = chunks_.back();
        std::size_t used = size_ - (chunks_.size() - 1) * kChunkFrames;
        if (used < last.capacity) {
            got = std::min(want, last.capacity - used);
            return &last.frames[used];
        }
        if (last.capacity < kChunkFrames) return nullptr;  // an earlier allocation came up short
    }
    std::size_t request = kChunkFrames;
    if (expected_ > allocated_) request = std::min(request, expected_ - allocated_);
    if (budget_ != 0) request = std::min(request, budget_ - std::min(budget_, allocated_));
    // A short allocation is allowed only as the final chunk, which is the
    // case when memory runs out: ask for less until something fits.
    while (request > 0) {
        auto memory = Allocate(request);
        if (memory) {
            Frame* p = memory.get();
            chunks_.push_back({std::move(memory), request});
            allocated_ += request;
            got = std::min(want, request);
            return p;
        }
        request /= 2;
    }
    return nullptr;
}

void FrameStore::ChunkMemory::operator()(Frame* p) const {
    if (mapped)
        ::munmap(p, bytes);
    else
        delete[] p;
}

std::unique_ptr<Frame[], FrameStore::ChunkMemory> FrameStore::Allocate(std::size_t frames) {
    const std::size_t bytes = frames * sizeof(Frame);
    void* m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (m != MAP_FAILED) return {static_cast<Frame*>(m), ChunkMemory{bytes, true}};
    return {new (std::nothrow) Frame[frames], ChunkMemory{bytes, false}};
}

void FrameStore::Clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    size_ = 0;
    allocated_ = 0;
    expected_ = 0;
}

std::size_t FrameStore::BytesAllocated() const {
    return allocated_ * sizeof(Frame) + chunks_.capacity() * sizeof(Chunk);
}

}  // namespace koru
