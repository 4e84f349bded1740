#pragma once
// The recordings opened last, newest first, kept in the settings file as
// FILE1 to FILE8 of section RECENT FILES.

#include <string>
#include <vector>

namespace koru {

inline constexpr std::size_t kRecentFileCount = 8;
inline constexpr const char* kRecentSection = "RECENT FILES";

// The list as the settings file holds it, empty entries left out.
std::vector<std::string> ReadRecentFiles(const std::string& iniPath);
// `path` first, an earlier entry of the same path dropped, at most eight.
std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path);
// Writes all eight keys (unused ones empty); false when it could not.
bool WriteRecentFiles(const std::string& iniPath, const std::vector<std::string>& list);

}  // namespace koru
