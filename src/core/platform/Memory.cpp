#include "platform/Memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A limit and what counts against it now.
struct Limit {
    uint64_t limit = kUnknown;
    uint64_t used = kUnknown;
};

Limit SoftLimit(int resource, uint64_t used) {
    rlimit lim{};
    if (::getrlimit(resource, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return {};
    return {static_cast<uint64_t>(lim.rlim_cur), used};
}

// The cgroup (v2) memory limit of this process.
Limit CgroupLimit() {
    const std::string self = SmallFile("/proc/self/cgroup");
    const std::size_t at = self.find("0::");
    if (at == std::string::npos) return {};
    std::string dir = self.substr(at + 3);
    dir = dir.substr(0, dir.find('\n'));
    const std::string base = "/sys/fs/cgroup" + dir;
    return {LeadingNumber(SmallFile((base + "/memory.max").c_str())),
            LeadingNumber(SmallFile((base + "/memory.current").c_str()))};
}

// The address-space, data and cgroup limits, whichever apply.
std::vector<Limit> Limits() {
    // /proc/self/statm: total size and data+stack, in pages.
    const std::string statm = SmallFile("/proc/self/statm");
    const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    uint64_t size = kUnknown, data = kUnknown;
    if (unsigned long f[6]; std::sscanf(statm.c_str(), "%lu %lu %lu %lu %lu %lu", &f[0], &f[1],
                                        &f[2], &f[3], &f[4], &f[5]) == 6) {
        size = f[0] * page;
        data = f[5] * page;
    }
    return {SoftLimit(RLIMIT_AS, size), SoftLimit(RLIMIT_DATA, data), CgroupLimit()};
}

uint64_t SystemAvailable() {
    return MeminfoBytes(SmallFile("/proc/meminfo"), "MemAvailable");
}

uint64_t LessReserve(uint64_t room, uint64_t reserve) {
    if (room == kUnknown) return kUnknown;
    return room > reserve ? room - reserve : 0;
}

}  // namespace

uint64_t AvailableMemory() {
    uint64_t room = SystemAvailable();
    for (const Limit& l : Limits()) room = std::min(room, Room(l.limit, l.used));
    return room;
}

uint64_t MemoryRoom() {
    const uint64_t reserve = DefaultMemoryReserve();
    uint64_t room = LessReserve(SystemAvailable(), reserve);
    for (const Limit& l : Limits()) {
        if (l.limit == kUnknown) continue;
        room = std::min(room, LessReserve(Room(l.limit, l.used), std::min(reserve, l.limit / 8)));
    }
    return room;
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

MemoryGuard::MemoryGuard() : MemoryGuard(MemoryRoom, 0) {}

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
