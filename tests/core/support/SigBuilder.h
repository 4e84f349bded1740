#pragma once
// Builds signal-file bytes for tests, independently of the program's writer.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace koru::test {

inline void PutLe16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutLe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Header bytes: channel count, interval, scales 1..16 as 0.5*(i+1), description.
inline std::vector<uint8_t> SigHeaderBytes(uint16_t channels, uint32_t interval,
                                           const std::string& description = "test") {
    std::vector<uint8_t> b;
    PutLe16(b, channels);
    PutLe32(b, interval);
    for (int i = 0; i < 16; ++i) {
        float f = 0.5f * static_cast<float>(i + 1);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLe32(b, bits);
    }
    std::string d = description.substr(0, 256);
    b.insert(b.end(), d.begin(), d.end());
    b.resize(326, 0);
    return b;
}

// A recording whose sample of channel c (0-based) in frame f is Value(f, c).
inline int16_t Value(int64_t f, int c) {
    return static_cast<int16_t>(((f * 7 + c * 113) % 4001) - 2000);
}

inline std::vector<uint8_t> SigFile(uint16_t channels, uint32_t interval, int64_t frames,
                                    const std::string& description = "test") {
    std::vector<uint8_t> b = SigHeaderBytes(channels, interval, description);
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) PutLe16(b, static_cast<uint16_t>(Value(f, c)));
    return b;
}

}  // namespace koru::test
