#include "signal/SignalHeader.h"

#include <bit>
#include <cstring>

namespace koru {

namespace {

constexpr std::size_t kChannelsAt = 0;
constexpr std::size_t kIntervalAt = 2;
constexpr std::size_t kScaleAt = 6;
constexpr std::size_t kDescriptionAt = 70;

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

std::string SignalHeader::DescriptionText() const {
    const char* begin = Description.data();
    const void* nul = std::memchr(begin, 0, kDescriptionSize);
    std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : kDescriptionSize;
    return std::string(begin, n);
}

void SignalHeader::SetDescription(const std::string& text) {
    Description.fill(0);
    std::memcpy(Description.data(), text.data(), std::min(text.size(), kDescriptionSize));
}

SignalHeader ParseHeader(const HeaderBytes& bytes) {
    SignalHeader h;
    const uint8_t* b = bytes.data();
    h.ChannelCount = static_cast<uint16_t>(b[kChannelsAt] | b[kChannelsAt + 1] << 8);
    h.Interval = Get32(b + kIntervalAt);
    for (std::size_t i = 0; i < SignalHeader::kScaleCount; ++i)
        h.Scale[i] = std::bit_cast<float>(Get32(b + kScaleAt + 4 * i));
    std::memcpy(h.Description.data(), b + kDescriptionAt, SignalHeader::kDescriptionSize);
    return h;
}

HeaderBytes SerializeHeader(const SignalHeader& h) {
    HeaderBytes bytes{};
    uint8_t* b = bytes.data();
    b[kChannelsAt] = static_cast<uint8_t>(h.ChannelCount);
    b[kChannelsAt + 1] = static_cast<uint8_t>(h.ChannelCount >> 8);
    Put32(b + kIntervalAt, h.Interval);
    for (std::size_t i = 0; i < SignalHeader::kScaleCount; ++i)
        Put32(b + kScaleAt + 4 * i, std::bit_cast<uint32_t>(h.Scale[i]));
    std::memcpy(b + kDescriptionAt, h.Description.data(), SignalHeader::kDescriptionSize);
    return bytes;
}

bool HeaderAcceptable(const SignalHeader& h) {
    return h.ChannelCount >= 1 && h.ChannelCount <= SignalHeader::kMaxChannels && h.Interval != 0;
}

}  // namespace koru
