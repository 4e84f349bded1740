#include "signal/FrameStore.h"

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
        Frame* p = new (std::nothrow) Frame[request];
        if (p) {
            chunks_.push_back({std::unique_ptr<Frame[]>(p), request});
            allocated_ += request;
            got = std::min(want, request);
            return p;
        }
        request /= 2;
    }
    return nullptr;
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
