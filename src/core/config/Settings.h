#pragma once
// Display settings read once at start-up from the settings file.

#include <cstdint>
#include <string>

#include "platform/Color.h"

namespace koru {

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
    // Labels of the annotation list above the traces; a menu toggle only,
    // not read from the settings file.
    uint8_t annotationLabels = 1;
    // Physical units: times, rates and values beside the sample counts, a
    // pointer readout and calibration bars. A settings file from before
    // the key reads 0, so those users see what they always saw.
    uint8_t units = 0;
    // The ECG-paper grid behind the traces (with units on); not kept.
    uint8_t paperGrid = 0;
};

}  // namespace koru
