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

// Windows-1252 at 0x80..0x9F; its five unused codes map to the C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at `p` (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF); 0 when it is not one, and
// `truncated` set when it only lacks bytes past `end`.
std::size_t Utf8SequenceLength(const uint8_t* p, const uint8_t* end, bool& truncated) {
    truncated = false;
    const uint8_t c = p[0];
    if (c < 0x80) return 1;
    std::size_t n = 0;
    uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (p + i == end) {
            truncated = true;
            return 0;
        }
        const uint8_t b = p[i];
        if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string RecordedTextToUtf8(std::string_view bytes, bool cutAtEnd) {
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* end = begin + bytes.size();
    for (const uint8_t* p = begin; p < end;) {
        bool truncated = false;
        const std::size_t n = Utf8SequenceLength(p, end, truncated);
        if (n > 0) {
            p += n;
            continue;
        }
        if (truncated && cutAtEnd)
            return std::string(bytes.substr(0, static_cast<std::size_t>(p - begin)));
        std::string out;
        out.reserve(bytes.size() * 2);
        for (const char ch : bytes) {
            const auto c = static_cast<uint8_t>(ch);
            AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char32_t{c});
        }
        return out;
    }
    return std::string(bytes);
}

std::string SignalHeader::DescriptionText() const {
    const char* begin = Description.data();
    const void* nul = std::memchr(begin, 0, kDescriptionSize);
    std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : kDescriptionSize;
    return std::string(begin, n);
}

std::string SignalHeader::DescriptionDisplayText() const {
    const std::string bytes = DescriptionText();
    return RecordedTextToUtf8(bytes, bytes.size() == kDescriptionSize);
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
