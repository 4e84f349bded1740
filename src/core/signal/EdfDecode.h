#pragma once
// Decoding EDF and BDF data records into frames: each signal's run of
// samples by its value rule, then woven into frames. Choices are settled
// once a run so that the loops carry no branch.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "signal/ForeignSource.h"

namespace koru::edf {

template <int Bytes>
int32_t Digital(const uint8_t* p) {
    if constexpr (Bytes == 2)
        return static_cast<int16_t>(p[0] | p[1] << 8);
    else
        return static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >>
               8;
}

// One signal's run of `n` little-endian samples of 2 (EDF) or 3 (BDF) bytes
// as values into `row`. The rule is settled once a run, so that the loops
// carry no branch.
template <int Bytes>
void DecodeInteger(const uint8_t* in, std::size_t n, int32_t add, int shift, int16_t* row) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if constexpr (Bytes == 2) {
        // Eight samples at a time in 32 bits; the saturating pack is the clamp.
        const __m128i plus = _mm_set1_epi32(add);
        const __m128i count = _mm_cvtsi32_si128(shift);
        auto value = [&](__m128i v) { return _mm_sra_epi32(_mm_add_epi32(v, plus), count); };
        for (; k + 8 <= n; k += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
            const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16);
            const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k),
                             _mm_packs_epi32(value(lo), value(hi)));
        }
    } else {
        // Each sample's 3 bytes and the next one loaded as 32 bits, sign-extended
        // from 24 by shifting up and back; so the loop stops a sample early.
        const __m128i plus = _mm_set1_epi32(add);
        const __m128i count = _mm_cvtsi32_si128(shift);
        auto four = [&](std::size_t at) {
            auto word = [&](std::size_t j) {
                int32_t w;
                std::memcpy(&w, in + 3 * (at + j), 4);
                return w;
            };
            // Built in registers: a store and a wider load would stall.
            const __m128i x = _mm_set_epi32(word(3), word(2), word(1), word(0));
            const __m128i v = _mm_srai_epi32(_mm_slli_epi32(x, 8), 8);
            return _mm_sra_epi32(_mm_add_epi32(v, plus), count);
        };
        for (; k + 9 <= n; k += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + k),
                             _mm_packs_epi32(four(k), four(k + 4)));
    }
#endif
    for (; k < n; ++k) {
        const int32_t v = Digital<Bytes>(in + k * Bytes) + add;
        row[k] = static_cast<int16_t>(std::clamp<int32_t>(v >> shift, INT16_MIN, INT16_MAX));
    }
}

template <int Bytes>
void DecodeRow(const uint8_t* in, std::size_t n, const ValueRule& rule, int16_t* row) {
    if (!rule.IntegerRule()) {
        for (std::size_t k = 0; k < n; ++k) row[k] = rule.Value(Digital<Bytes>(in + k * Bytes));
        return;
    }
    DecodeInteger<Bytes>(in, n, static_cast<int32_t>(rule.Add()), rule.shift, row);
}

constexpr std::size_t kTileFrames = 1024;
using Tile = std::array<std::array<int16_t, kTileFrames>, kFrameChannels>;

// The tile's rows woven into frames of `Width` samples.
template <std::size_t Width>
void Interleave(const Tile& tile, std::size_t n, int16_t* out) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if constexpr (Width == kFrameChannels) {
        // Eight frames at a time: an 8 x 8 transpose of 16-bit samples.
        auto row = [&](std::size_t c) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(tile[c].data() + k));
        };
        for (; k + 8 <= n; k += 8) {
            const __m128i a0 = _mm_unpacklo_epi16(row(0), row(1));
            const __m128i a1 = _mm_unpackhi_epi16(row(0), row(1));
            const __m128i a2 = _mm_unpacklo_epi16(row(2), row(3));
            const __m128i a3 = _mm_unpackhi_epi16(row(2), row(3));
            const __m128i a4 = _mm_unpacklo_epi16(row(4), row(5));
            const __m128i a5 = _mm_unpackhi_epi16(row(4), row(5));
            const __m128i a6 = _mm_unpacklo_epi16(row(6), row(7));
            const __m128i a7 = _mm_unpackhi_epi16(row(6), row(7));
            const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
            const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
            const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
            const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
            const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
            const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
            const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
            const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
            auto store = [&](std::size_t f, __m128i frame) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (k + f) * Width), frame);
            };
            store(0, _mm_unpacklo_epi64(b0, b4));
            store(1, _mm_unpackhi_epi64(b0, b4));
            store(2, _mm_unpacklo_epi64(b1, b5));
            store(3, _mm_unpackhi_epi64(b1, b5));
            store(4, _mm_unpacklo_epi64(b2, b6));
            store(5, _mm_unpackhi_epi64(b2, b6));
            store(6, _mm_unpacklo_epi64(b3, b7));
            store(7, _mm_unpackhi_epi64(b3, b7));
        }
    }
#endif
    for (; k < n; ++k)
        for (std::size_t c = 0; c < Width; ++c) out[k * Width + c] = tile[c][k];
}

inline void InterleaveAny(const Tile& tile, std::size_t n, std::size_t width, int16_t* out) {
    switch (width) {
        case 1:
            return Interleave<1>(tile, n, out);
        case 2:
            return Interleave<2>(tile, n, out);
        case 3:
            return Interleave<3>(tile, n, out);
        case 4:
            return Interleave<4>(tile, n, out);
        case 5:
            return Interleave<5>(tile, n, out);
        case 6:
            return Interleave<6>(tile, n, out);
        case 7:
            return Interleave<7>(tile, n, out);
        default:
            return Interleave<8>(tile, n, out);
    }
}

}  // namespace koru::edf
