#pragma once
// How much more memory the program may take. A load that took every byte
// the system would give leaves nothing for painting, dialogs or saving, or
// gets the program killed by the kernel without a word; so large
// allocations ask a guard first, which keeps a reserve for everything else.

#include <cstdint>
#include <functional>

namespace koru {

// Bytes the process could still take: the least of the kernel's estimate of
// available memory, the room under the address-space and data limits
// (ulimit -v, ulimit -d) and the room under the control group's limit.
// UINT64_MAX when nothing tells.
uint64_t AvailableMemory();
// Physical memory of the machine; 0 when it cannot be told.
uint64_t PhysicalMemory();
// What a load leaves of the machine's memory for the rest of the program:
// the larger of 256 MiB and a tenth of physical memory.
uint64_t DefaultMemoryReserve();
// What a load may take: each figure of AvailableMemory less what is kept
// back from it, the default reserve from the machine's memory and an eighth
// of a limit (at most the default reserve) from the room under that limit,
// so that a small limit still lets small recordings in.
uint64_t MemoryRoom();

class MemoryGuard {
  public:
    using Probe = std::function<uint64_t()>;
    // Other programs take memory while a load runs, so the figure is looked
    // at again after this many bytes.
    static constexpr uint64_t kRecheckBytes = uint64_t{32} << 20;

    // The system's figures less their reserves (MemoryRoom).
    MemoryGuard();
    MemoryGuard(Probe available, uint64_t reserve);

    // Starts a run of allocations with a fresh look at the memory left.
    void Begin();
    // Whether `bytes` more may be taken with the reserve still left; counts
    // them as taken when so.
    bool MayTake(uint64_t bytes);

    uint64_t Reserve() const { return reserve_; }

  private:
    void Look();

    Probe probe_;
    uint64_t reserve_;
    uint64_t budget_ = 0;  // bytes that may be taken before the next look
    uint64_t sinceLook_ = 0;
    bool looked_ = false;
};

}  // namespace koru
