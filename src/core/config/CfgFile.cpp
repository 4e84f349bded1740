#include "config/CfgFile.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/File.h"
#include "platform/FileWriter.h"
#include "text/TextReader.h"

namespace koru {

namespace {

constexpr int kOldFieldsPerChannel = 4;
constexpr int kFields = kChannelCount * ChannelRecord::kFieldCount;
// Small blocks: a configuration is a few hundred bytes, however large the
// file that claims to be one.
constexpr std::size_t kReadBlock = 4096;

int32_t ToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Up to `most` integers from the front of the input, as "%d" takes them one
// after another: up to the first item that is not a number (a DOS
// end-of-file mark included) or the end. Nothing past them is read.
std::vector<int32_t> LeadingIntegers(ReadFn read, std::size_t most) {
    TextReader in(std::move(read), kReadBlock);
    std::vector<int32_t> values;
    int64_t v = 0;
    while (values.size() < most && in.ReadInteger(v)) values.push_back(ToInt32(v));
    return values;
}

ReadFn TextSource(std::string_view text) {
    return [text](char* out, std::size_t max) mutable {
        const std::size_t n = std::min(max, text.size());
        std::copy_n(text.data(), n, out);
        text.remove_prefix(n);
        return n;
    };
}

// The numbers into the records in order; fields not reached keep theirs.
int SetFields(const std::vector<int32_t>& values, ChannelConfig& config) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        ChannelRecord& r = config[i / ChannelRecord::kFieldCount];
        r.Field(static_cast<int>(i % ChannelRecord::kFieldCount)) = values[i];
    }
    return static_cast<int>(values.size());
}

}  // namespace

bool HasCfgExtension(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return ext == ".cfg";
}

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
    return SetFields(LeadingIntegers(TextSource(text), kFields), config);
}

bool LoadConfigFile(const std::string& path, ChannelConfig& config) {
    ReadOnlyFile file;  // refuses a pipe or device, which would block or never end
    if (!file.Open(path)) return false;
    SetFields(LeadingIntegers(file.Sequential(), kFields), config);
    return true;
}

bool SaveConfigFile(const std::string& path, const ChannelConfig& config, std::string* error) {
    return WriteWholeFile(path, FormatConfigFile(config), error);
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
        ReadOnlyFile file;
        if (!file.Open(path)) continue;
        // One more than a new-format file holds is enough to tell the counts apart.
        const std::vector<int32_t> values = LeadingIntegers(file.Sequential(), kFields + 1);
        file.Close();
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
