#pragma once
// Where the program keeps its files. Run from its build tree or a portable
// copy, the settings file and the help page sit in the program's directory
// under the executable's base name. An installed program (in a folder named
// "bin" with "../share/koruview/" beside it) keeps its settings in the user's
// config folder instead, so /usr/bin stays clean even for root, and finds its
// help page among the installed documentation.

#include <string>

namespace koru {

// Where the settings folder came from.
enum class SettingsPlace {
    HomeVariable,      // $KORUVIEW_HOME
    UserConfig,        // installed: $XDG_CONFIG_HOME/koruview or ~/.config/koruview
    ProgramDirectory,  // beside the program
};

struct ProgramPaths {
    // The settings folder: the settings file, the ".cfg" upgrade, the Configure
    // dialog's folder. No trailing separator (except for "/").
    std::string directory;
    std::string baseName;      // executable name without its extension
    std::string settingsFile;  // <directory>/<baseName>.INI
    std::string helpFile;      // beside the program, or installed under share/doc
    // The example recording and its channel configuration: share/koruview of
    // an installed program, else empty (unknown).
    std::string examplesDir;
    SettingsPlace place = SettingsPlace::ProgramDirectory;
    bool installed = false;
};

// The variables that choose the settings folder; empty means not set.
struct PathEnvironment {
    std::string koruviewHome;   // KORUVIEW_HOME
    std::string xdgConfigHome;  // XDG_CONFIG_HOME (ignored unless absolute)
    std::string home;           // HOME, else the user's home from the password file
};

// The process's own values of those variables.
PathEnvironment ProcessEnvironment();

// The running executable's absolute path: /proc/self/exe, else argv0 made
// absolute (searched on PATH when it names no directory). Empty if unknown.
std::string ExecutablePath(const char* argv0);

// True when the executable sits in a folder named "bin" that has a
// "../share/koruview/" folder beside it.
bool IsInstalledLayout(const std::string& executable);

// Builds the paths from an executable path and the environment. Without a
// usable executable path the base name is "koruview" and the directory the
// current one.
ProgramPaths ResolveProgramPaths(const std::string& executable, const PathEnvironment& env);

// ResolveProgramPaths(ExecutablePath(argv0), ProcessEnvironment()).
ProgramPaths FindProgramPaths(const char* argv0);

// Creates the user's settings folder (and its missing parents, private to the
// user) when the paths put the settings there; other places are left alone.
// False with the system's reason in `error` when it cannot be made.
bool MakeSettingsFolder(const ProgramPaths& paths, std::string* error);

// Lines for --help: which settings folder is in use and why, and where the
// help guide is looked for.
std::string DescribeProgramPaths(const ProgramPaths& paths);

// The file name without directory and without its last extension; a leading
// dot does not start an extension.
std::string BaseNameOf(const std::string& path);

}  // namespace koru
