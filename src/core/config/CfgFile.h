#pragma once
// Configuration files (".cfg"): one channel configuration as eight lines of
// five decimal numbers in record order, separated by single blanks.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/ChannelConfig.h"

namespace koru {

// A ".cfg" name, in any letter case.
bool HasCfgExtension(const std::filesystem::path& p);

// The file's text: "%d %d %d %d %d" per channel, each line ending in CR LF.
std::string FormatConfigFile(const ChannelConfig& config);

// Reads the text as a run of up to 40 integers (any white space, line ends
// included, between them) into the records in order. Reading stops at the
// first item that is not a number; fields not reached keep their values.
// Returns the number of fields set.
int ParseConfigText(std::string_view text, ChannelConfig& config);

// Reads a file as ParseConfigText reads text, but only as far as it needs:
// the 40 numbers, the first item that is not a number, or the end. False,
// with `config` untouched, when it is no regular file or cannot be opened.
bool LoadConfigFile(const std::string& path, ChannelConfig& config);
// Writes the file as a whole (temporary file + rename); false on failure,
// with the system's reason in *error when given, and an old file as it was.
bool SaveConfigFile(const std::string& path, const ChannelConfig& config,
                    std::string* error = nullptr);

struct CfgUpgradeResult {
    std::vector<std::string> converted;  // paths rewritten in the new format
    std::vector<std::string> failed;     // old-format files that could not be rewritten
};

// Rewrites every old four-number configuration file in `directory` (regular
// files whose name ends in ".cfg", any case) in the five-number format, with
// HasMarker 0. The numbers are read up to the first item that is not one
// (trailing blank lines or a DOS end-of-file mark end the run); a file that
// gave exactly 32 is old, and any other count (40 for a file already
// converted) leaves the file alone.
CfgUpgradeResult UpgradeOldConfigFiles(const std::string& directory);

}  // namespace koru
