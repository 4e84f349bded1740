#include "config/CfgFile.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/File.h"
#include "platform/FileWriter.h"
#include "text/DecimalScan.h"

namespace koru {

namespace {

constexpr int kOldFieldsPerChannel = 4;

int32_t ToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The numbers at the start of the text, as the old reader took them: up to
// the first item that is not a number (a DOS end-of-file mark included).
// One more than a new-format file holds is enough to tell the counts apart.
std::vector<int32_t> LeadingIntegers(std::string_view text) {
    constexpr std::size_t kEnough = kChannelCount * ChannelRecord::kFieldCount + 1;
    std::vector<int32_t> values;
    DecimalScanner scanner(text);
    int64_t v = 0;
    while (values.size() < kEnough && scanner.Next(v)) values.push_back(ToInt32(v));
    return values;
}

bool HasCfgExtension(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return ext == ".cfg";
}

}  // namespace

std::string FormatConfigFile(const ChannelConfig& config) {
    std::string out;
    for (const ChannelRecord& r : config) {
        for (int f = 0; f < ChannelRecord::kFieldCount; ++f) {
            if (f > 0) out += ' ';
            out += std::to_string(r.Field(f));
        }
        out += "\r\n";
    }
    return out;
}

int ParseConfigText(std::string_view text, ChannelConfig& config) {
    DecimalScanner scanner(text);
    int set = 0;
    for (ChannelRecord& r : config) {
        for (int f = 0; f < ChannelRecord::kFieldCount; ++f) {
            int64_t v = 0;
            if (!scanner.Next(v)) return set;
            r.Field(f) = ToInt32(v);
            ++set;
        }
    }
    return set;
}

bool LoadConfigFile(const std::string& path, ChannelConfig& config) {
    std::string text;
    if (!ReadWholeFile(path, text)) return false;
    ParseConfigText(text, config);
    return true;
}

bool SaveConfigFile(const std::string& path, const ChannelConfig& config) {
    return WriteWholeFile(path, FormatConfigFile(config));
}

CfgUpgradeResult UpgradeOldConfigFiles(const std::string& directory) {
    namespace fs = std::filesystem;
    CfgUpgradeResult result;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    if (ec) return result;
    std::vector<std::string> candidates;
    for (const fs::directory_entry& entry : it) {
        std::error_code statEc;
        // Links are passed over: replacing one would cut it from its file.
        if (!entry.is_regular_file(statEc) || entry.is_symlink(statEc)) continue;
        if (HasCfgExtension(entry.path())) candidates.push_back(entry.path().string());
    }
    std::sort(candidates.begin(), candidates.end());

    for (const std::string& path : candidates) {
        std::string text;
        if (!ReadWholeFile(path, text)) continue;
        const std::vector<int32_t> values = LeadingIntegers(text);
        if (values.size() != static_cast<std::size_t>(kChannelCount * kOldFieldsPerChannel))
            continue;
        ChannelConfig config{};
        for (std::size_t ch = 0; ch < config.size(); ++ch) {
            const std::size_t base = ch * kOldFieldsPerChannel;
            config[ch] = ChannelRecord{values[base], values[base + 1], values[base + 2],
                                       values[base + 3], 0};
        }
        if (SaveConfigFile(path, config)) {
            result.converted.push_back(path);
        } else {
            result.failed.push_back(path);
        }
    }
    return result;
}

}  // namespace koru
