#pragma once
// Colours as the classic RGB value: red + 256*green + 65536*blue, the form
// settings files and configuration tables store them in.

#include <cstdint>

namespace koru {

using ColorRef = uint32_t;
constexpr ColorRef Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr uint8_t RedOf(ColorRef c) {
    return static_cast<uint8_t>(c & 0xFFu);
}
constexpr uint8_t GreenOf(ColorRef c) {
    return static_cast<uint8_t>((c >> 8) & 0xFFu);
}
constexpr uint8_t BlueOf(ColorRef c) {
    return static_cast<uint8_t>((c >> 16) & 0xFFu);
}

}  // namespace koru
