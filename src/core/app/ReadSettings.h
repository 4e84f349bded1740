#pragma once
// The settings file: read once at start-up, written only by the one-time
// version upgrade and by "Make Default".

#include <string>

#include "config/CfgFile.h"
#include "config/ChannelConfig.h"
#include "config/Settings.h"

namespace koru {

inline constexpr const char* kSystemSection = "SYSTEM";
inline constexpr const char* kDefaultConfigSection = "DEFAULT CONFIGURATION";
inline constexpr const char* kLeadNamesSection = "LEAD NAMES";
inline constexpr const char* kColorsSection = "COLORS";
// What the version key holds once the five-field configuration is in place.
inline constexpr const char* kSettingsVersion = "95.400";
// The version key's default; reading it back means the file predates versions.
inline constexpr const char* kNoVersion = "ERROR";

// "CHAN<n>" for channel 1..8.
std::string ChannelKey(int channel);

// One trailing "\" or "/" removed (unless it is all there is), then "\"
// appended after a drive colon: "c:" and "c:\" give "c:\", "d:\data\" gives
// "d:\data".
std::string NormalizeSigPath(std::string path);

struct SettingsReadReport {
    bool upgraded = false;     // the file had no version and was upgraded
    bool writeFailed = false;  // the upgrade could not write the settings file
    bool tooLarge = false;     // the file is too large to be settings: not read, not written
    bool unreadable = false;   // the file is there but may not be read: not written either
    CfgUpgradeResult cfgFiles;
};

// Start-up reading, in this order: version check (and upgrade of the settings
// file and of the old ".cfg" files in programDir), lead names, colours,
// BACKGROUND and TEXT, SIGPATH, the seven on/off settings, the default
// configuration into channels.current. Every value missing or unparsable
// keeps what the structures held before.
SettingsReadReport ReadSettings(const std::string& iniPath, const std::string& programDir,
                                Settings& settings, ChannelModel& channels);

// "Make Default": the configuration's eight records into the settings file.
// False when the file could not be written.
bool WriteDefaultConfig(const std::string& iniPath, const ChannelConfig& config);

// "Load Default": each channel's key read into `working`; a missing key gives
// the first four fields of `current` and leaves HasMarker as it was.
void ReadDefaultConfig(const std::string& iniPath, const ChannelConfig& current,
                       ChannelConfig& working);

}  // namespace koru
