#pragma once
// Where a recording's samples come from, and how a stored word becomes a
// sample value. Every reader gets the same normalised values.

#include <cstdint>
#include <string_view>

namespace koru {

// Foreign: a recording in one of the field's standard layouts (ForeignSource.h).
enum class SourceKind { Sig, Bin, Dat, Nib, Foreign };

// Decided from the last four characters of the upper-cased path.
SourceKind KindFromPath(std::string_view upperPath);

// The description given to a recording without a header.
std::string_view KindLabel(SourceKind kind);

// `word` is low byte + 256 * high byte as stored in the file.
inline int16_t Normalise(uint16_t word, SourceKind kind) {
    switch (kind) {
        case SourceKind::Nib:
            return static_cast<int16_t>(static_cast<uint16_t>((word << 8) | (word >> 8)));
        case SourceKind::Dat:
            // The sample sits in the top 12 bits; an arithmetic shift keeps its sign.
            return static_cast<int16_t>(static_cast<int16_t>(word) >> 4);
        case SourceKind::Sig:
        case SourceKind::Bin:
        case SourceKind::Foreign:
            break;
    }
    return static_cast<int16_t>(word);
}

}  // namespace koru
