#include "app/RecentFiles.h"

#include <algorithm>
#include <array>

#include "platform/Profile.h"

namespace koru {

namespace {
constexpr std::size_t kMaxPathChars = 4096;

std::string KeyOf(std::size_t i) {
    return "FILE" + std::to_string(i + 1);
}
}  // namespace

std::vector<std::string> ReadRecentFiles(const std::string& iniPath) {
    std::vector<std::string> list;
    if (iniPath.empty()) return list;
    for (std::size_t i = 0; i < kRecentFileCount; ++i) {
        std::string path = ProfileReadString(iniPath, kRecentSection, KeyOf(i), "", kMaxPathChars);
        if (!path.empty()) list.push_back(std::move(path));
    }
    return list;
}

std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path) {
    // A name the settings file cannot hold on one line is not remembered.
    if (path.empty() || path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return list;
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    list.insert(list.begin(), path);
    if (list.size() > kRecentFileCount) list.resize(kRecentFileCount);
    return list;
}

bool WriteRecentFiles(const std::string& iniPath, const std::vector<std::string>& list) {
    if (iniPath.empty()) return false;
    std::array<std::string, kRecentFileCount> keys;
    std::vector<ProfileEntry> entries;
    for (std::size_t i = 0; i < kRecentFileCount; ++i) {
        keys[i] = KeyOf(i);
        entries.push_back(
            ProfileEntry{kRecentSection, keys[i], i < list.size() ? list[i] : std::string_view()});
    }
    return ProfileWriteStrings(iniPath, entries);
}

}  // namespace koru
