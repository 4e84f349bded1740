#pragma once
// The generated recordings the drawing benchmarks share (8 channels unless
// asked otherwise), written once and reused while their size is right.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "signal/SignalHeader.h"

namespace bench {

// An ECG-like test signal: a slow wave with a sharp spike every 800 frames.
inline int16_t EcgSample(int64_t f, int c) {
    const int64_t phase = (f + c * 37) % 800;
    const int64_t wave = (phase * 3) % 400 - 200;
    const int64_t spike = phase < 20 ? (20 - phase) * 60 : 0;
    return static_cast<int16_t>(wave + spike - c * 10);
}

// `frames` frames of EcgSample at 1 ms in a ".sig" file at `path`.
inline std::string EcgRecording(const std::string& path, int64_t frames,
                                const std::string& description, int channels = 8) {
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (probe && static_cast<int64_t>(probe.tellg()) == 326 + frames * 2 * channels) return path;
    koru::SignalHeader h;
    h.ChannelCount = static_cast<uint16_t>(channels);
    h.Interval = 1000;
    h.SetDescription(description);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto header = koru::SerializeHeader(h);
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    std::vector<int16_t> block;
    block.reserve(static_cast<std::size_t>(channels) * 65536);
    for (int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) block.push_back(EcgSample(f, c));
        if (block.size() == block.capacity() || f + 1 == frames) {
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 2));
            block.clear();
        }
    }
    return path;
}

}  // namespace bench
