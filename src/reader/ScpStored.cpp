#include "ScpStored.h"

#include <algorithm>

namespace koru {

namespace {

constexpr std::size_t kSectionHead = 16;  // CRC, id, length, versions, reserved
constexpr std::size_t kPointer = 10;      // id, length, 1-based index

uint32_t Le(std::string_view b, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

struct Section {
    std::size_t start = 0;  // byte offset of its head
    std::size_t length = 0;
};

// Each section named by section 0's pointer table that lies inside the file.
std::optional<Section> FindSection(std::string_view file, uint16_t id, bool& present) {
    constexpr std::size_t zero = 6;  // after the file's CRC and length
    if (file.size() < zero + kSectionHead) return std::nullopt;
    const std::size_t length = Le(file, zero + 4, 4);
    const std::size_t end = std::min(file.size(), zero + std::max(length, kSectionHead));
    for (std::size_t at = zero + kSectionHead; at + kPointer <= end; at += kPointer) {
        if (Le(file, at, 2) != id) continue;
        const std::size_t sectionLength = Le(file, at + 2, 4);
        const std::size_t index = Le(file, at + 6, 4);
        present = sectionLength > 0;
        if (!present || index == 0 || index - 1 > file.size() ||
            sectionLength > file.size() - (index - 1))
            return std::nullopt;
        return Section{index - 1, sectionLength};
    }
    present = false;
    return std::nullopt;
}

}  // namespace

std::optional<uint64_t> ScpStoredSamples(std::string_view file) {
    bool huffman = false, present = false;
    FindSection(file, 2, huffman);
    const std::optional<Section> three = FindSection(file, 3, present);
    const std::optional<Section> six = FindSection(file, 6, present);
    if (huffman || !three || !six || three->length < kSectionHead + 1 ||
        six->length < kSectionHead + 6)
        return std::nullopt;
    const std::size_t leads = static_cast<unsigned char>(file[three->start + kSectionHead]);
    const std::size_t at = six->start + kSectionHead;
    const bool bimodal = static_cast<unsigned char>(file[at + 5]) != 0;
    const std::size_t end = six->start + six->length;
    if (bimodal || leads == 0 || at + 6 + 2 * leads > end) return std::nullopt;
    // After AVM, interval, difference and bimodal flags: each lead's byte count.
    uint64_t least = UINT64_MAX;
    for (std::size_t k = 0; k < leads; ++k)
        least = std::min<uint64_t>(least, Le(file, at + 6 + 2 * k, 2) / 2);
    return least;
}

}  // namespace koru
