#pragma once
// Display settings read once at start-up from the settings file.

#include <cstdint>
#include <string>

namespace koru {

// Colours are kept as the platform's RGB value: red + 256*green + 65536*blue.
using ColorRef = uint32_t;
constexpr ColorRef Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr uint8_t RedOf(ColorRef c) { return static_cast<uint8_t>(c & 0xFFu); }
constexpr uint8_t GreenOf(ColorRef c) { return static_cast<uint8_t>((c >> 8) & 0xFFu); }
constexpr uint8_t BlueOf(ColorRef c) { return static_cast<uint8_t>((c >> 16) & 0xFFu); }

struct Settings {
    std::string version = "ERROR";
    ColorRef background = Rgb(0, 0, 0);
    ColorRef text = Rgb(255, 255, 255);
    std::string sigPath = "c:";
    // On/off settings, each 0 or 1.
    uint8_t dots = 1;
    uint8_t markers = 1;
    uint8_t names = 1;
    uint8_t printFrame = 0;
    uint8_t fileMode = 0;
    uint8_t timeHacks = 1;
    uint8_t timeResolution = 0;
};

}  // namespace koru
