#pragma once
// Where the program keeps its files: the settings file and the help page sit
// in the program's directory and take the executable's base name.

#include <string>

namespace koru {

struct ProgramPaths {
    std::string directory;     // no trailing separator (except for "/")
    std::string baseName;      // executable name without its extension
    std::string settingsFile;  // <directory>/<baseName>.INI
    std::string helpFile;      // <directory>/<baseName>.html
};

// The running executable's absolute path: /proc/self/exe, else argv0 made
// absolute (searched on PATH when it names no directory). Empty if unknown.
std::string ExecutablePath(const char* argv0);

// Builds the paths from an executable path and the KORUVIEW_HOME value
// (nullptr or empty: not set). Without a usable executable path the base name
// is "koruview" and the directory the current one.
ProgramPaths ResolveProgramPaths(const std::string& executable, const char* homeOverride);

// ResolveProgramPaths(ExecutablePath(argv0), getenv("KORUVIEW_HOME")).
ProgramPaths FindProgramPaths(const char* argv0);

// The file name without directory and without its last extension; a leading
// dot does not start an extension.
std::string BaseNameOf(const std::string& path);

}  // namespace koru
