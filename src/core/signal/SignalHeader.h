#pragma once
// The 326-byte header at the start of every signal file. Read and written
// field by field in little-endian order, never as a struct image.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace koru {

struct SignalHeader {
    static constexpr std::size_t kSize = 326;
    static constexpr std::size_t kDescriptionSize = 256;
    static constexpr std::size_t kScaleCount = 16;
    static constexpr uint16_t kMaxChannels = 16;

    uint16_t ChannelCount = 0;
    uint32_t Interval = 0;
    std::array<float, kScaleCount> Scale{};
    std::array<char, kDescriptionSize> Description{};

    // Description up to its terminator, or all 256 bytes when it has none.
    std::string DescriptionText() const;
    // The same text as UTF-8 for the screen; the bytes themselves stay as read.
    std::string DescriptionDisplayText() const;
    // Copies text into Description, NUL-padded; longer text is cut to 256 bytes.
    void SetDescription(const std::string& text);
    // The last description byte doubles as a "no marker file" flag when it is '('.
    bool MarkerFileSuppressed() const { return Description[kDescriptionSize - 1] == '('; }
};

// Text written by the recording machines, as UTF-8: kept when it is valid
// UTF-8 (plain ASCII is), else read as Windows-1252, their code page. With
// `cutAtEnd` (the text filled its field) a sequence broken off by the end is
// dropped instead of making the whole text Windows-1252.
std::string RecordedTextToUtf8(std::string_view bytes, bool cutAtEnd = false);

using HeaderBytes = std::array<uint8_t, SignalHeader::kSize>;

SignalHeader ParseHeader(const HeaderBytes& bytes);
HeaderBytes SerializeHeader(const SignalHeader& header);

// The acceptance test of the open step. Zero channels or a zero interval
// would later be divided by, so they are refused too.
bool HeaderAcceptable(const SignalHeader& header);

}  // namespace koru
