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
constexpr std::size_t kReadBlock = 4096;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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

// Where the number at the start of `text` ends (0 when none starts there).
std::size_t NumberEnd(std::string_view text) {
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    const std::size_t digits = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i == digits ? 0 : i;
}

// Reads up to 40 integers into the records in order from `text` and then
// from what `more` gives (an empty answer is the end), keeping only the
// unread rest, so a file is read no further than its last useful number.
template <typename More>
int ReadConfigNumbers(More more, std::string_view text, ChannelConfig& config) {
    std::string pending(text);
    bool end = false;
    auto fetch = [&] {
        const std::string block = end ? std::string() : more();
        end = block.empty();
        pending += block;
    };
    constexpr int kFields = kChannelCount * ChannelRecord::kFieldCount;
    int set = 0;
    while (set < kFields) {
        std::size_t start = 0;
        while (start < pending.size() && IsBlank(pending[start])) ++start;
        pending.erase(0, start);
        const std::size_t stop = NumberEnd(pending);
        // A number, its sign or the white space before it may go on in the
        // next block.
        const bool loneSign = pending.size() == 1 && (pending[0] == '+' || pending[0] == '-');
        if (!end && (pending.empty() || stop == pending.size() || loneSign)) {
            fetch();
            continue;
        }
        int64_t v = 0;
        if (stop == 0 || !ScanInt(std::string_view(pending).substr(0, stop), v)) break;
        ChannelRecord& r = config[static_cast<std::size_t>(set / ChannelRecord::kFieldCount)];
        r.Field(set % ChannelRecord::kFieldCount) = ToInt32(v);
        ++set;
        pending.erase(0, stop);
    }
    return set;
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
    return ReadConfigNumbers([] { return std::string(); }, text, config);
}

bool LoadConfigFile(const std::string& path, ChannelConfig& config) {
    // A pipe or device would block the open or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    uint64_t offset = 0;
    auto more = [&file, &offset] {
        std::string block(kReadBlock, '\0');
        block.resize(file.ReadAt(offset, block.data(), block.size()));
        offset += block.size();
        return block;
    };
    ChannelConfig read = config;
    ReadConfigNumbers(more, {}, read);
    config = read;
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
