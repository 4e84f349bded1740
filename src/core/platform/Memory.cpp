#include "platform/Memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

namespace koru {

namespace {

constexpr uint64_t kUnknown = UINT64_MAX;
constexpr uint64_t kMinimumReserve = uint64_t{256} << 20;

// A small system file (/proc, /sys) as text; empty when it cannot be read.
std::string SmallFile(const char* path) {
    std::string text;
    std::FILE* f = std::fopen(path, "re");
    if (!f) return text;
    char block[4096];
    std::size_t n = 0;
    while (text.size() < 65536 && (n = std::fread(block, 1, sizeof block, f)) > 0)
        text.append(block, n);
    std::fclose(f);
    return text;
}

// The decimal number at the start of `text` (after blanks); kUnknown if none.
uint64_t LeadingNumber(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos || text[start] < '0' || text[start] > '9') return kUnknown;
    uint64_t v = 0;
    for (std::size_t i = start; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    return v;
}

// A "Name:   123 kB" line of /proc/meminfo, in bytes.
uint64_t MeminfoBytes(std::string_view meminfo, std::string_view name) {
    std::size_t at = 0;
    while ((at = meminfo.find(name, at)) != std::string_view::npos) {
        if ((at == 0 || meminfo[at - 1] == '\n') && meminfo.size() > at + name.size() &&
            meminfo[at + name.size()] == ':') {
            const uint64_t kb = LeadingNumber(meminfo.substr(at + name.size() + 1));
            return kb == kUnknown ? kUnknown : kb * 1024;
        }
        at += name.size();
    }
    return kUnknown;
}

uint64_t Room(uint64_t limit, uint64_t used) {
    if (limit == kUnknown || used == kUnknown) return kUnknown;
    return limit > used ? limit - used : 0;
}

// Room under the soft limit of `resource`, given what it counts now.
uint64_t RoomUnderLimit(int resource, uint64_t used) {
    rlimit lim{};
    if (::getrlimit(resource, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return kUnknown;
    return Room(static_cast<uint64_t>(lim.rlim_cur), used);
}

// Room under the cgroup (v2) memory limit of this process.
uint64_t CgroupRoom() {
    const std::string self = SmallFile("/proc/self/cgroup");
    const std::size_t at = self.find("0::");
    if (at == std::string::npos) return kUnknown;
    std::string dir = self.substr(at + 3);
    dir = dir.substr(0, dir.find('\n'));
    const std::string base = "/sys/fs/cgroup" + dir;
    const uint64_t max = LeadingNumber(SmallFile((base + "/memory.max").c_str()));
    const uint64_t current = LeadingNumber(SmallFile((base + "/memory.current").c_str()));
    return Room(max, current);
}

}  // namespace

uint64_t AvailableMemory() {
    uint64_t room = MeminfoBytes(SmallFile("/proc/meminfo"), "MemAvailable");
    // /proc/self/statm: total size and data+stack, in pages.
    const std::string statm = SmallFile("/proc/self/statm");
    const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    uint64_t size = kUnknown, data = kUnknown;
    if (unsigned long fields[6];
        std::sscanf(statm.c_str(), "%lu %lu %lu %lu %lu %lu", &fields[0], &fields[1], &fields[2],
                    &fields[3], &fields[4], &fields[5]) == 6) {
        size = fields[0] * page;
        data = fields[5] * page;
    }
    room = std::min(room, RoomUnderLimit(RLIMIT_AS, size));
    room = std::min(room, RoomUnderLimit(RLIMIT_DATA, data));
    return std::min(room, CgroupRoom());
}

uint64_t PhysicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page);
}

uint64_t DefaultMemoryReserve() {
    return std::max(kMinimumReserve, PhysicalMemory() / 10);
}

MemoryGuard::MemoryGuard() : MemoryGuard(AvailableMemory, DefaultMemoryReserve()) {}

MemoryGuard::MemoryGuard(Probe available, uint64_t reserve)
    : probe_(std::move(available)), reserve_(reserve) {}

void MemoryGuard::Begin() {
    looked_ = false;
}

void MemoryGuard::Look() {
    const uint64_t available = probe_ ? probe_() : kUnknown;
    budget_ = available > reserve_ ? available - reserve_ : 0;
    sinceLook_ = 0;
    looked_ = true;
}

bool MemoryGuard::MayTake(uint64_t bytes) {
    if (!looked_ || sinceLook_ >= kRecheckBytes) Look();
    if (bytes > budget_) return false;
    budget_ -= bytes;
    sinceLook_ += bytes;
    return true;
}

}  // namespace koru
