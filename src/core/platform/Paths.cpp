#include "platform/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace koru {

namespace {

constexpr const char* kFallbackBase = "koruview";
// The folder name under share/, share/doc/ and the config folder; fixed, so a
// renamed program still finds its installed files.
constexpr const char* kPackageFolder = "koruview";

std::string WithoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string CurrentDirectory() {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    return ec ? std::string(".") : cwd;
}

std::string LastComponent(const std::string& dir) {
    const std::size_t slash = dir.rfind('/');
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

std::string UserConfigFolder(const PathEnvironment& env) {
    std::string base;
    if (!env.xdgConfigHome.empty() && env.xdgConfigHome.front() == '/') {
        base = env.xdgConfigHome;
    } else {
        // Without any home the folder goes where the user started the program,
        // never beside an installed executable.
        base = Join(env.home.empty() ? CurrentDirectory() : env.home, ".config");
    }
    return Join(WithoutTrailingSlashes(base), kPackageFolder);
}

const char* EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

std::string BaseNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string ExecutablePath(const char* argv0) {
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (!ec && !self.empty()) {
        // The kernel marks a replaced executable; the directory is still right.
        const std::string deleted = " (deleted)";
        if (self.size() > deleted.size() &&
            self.compare(self.size() - deleted.size(), deleted.size(), deleted) == 0) {
            self.resize(self.size() - deleted.size());
        }
        return self;
    }
    if (!argv0 || !*argv0) return {};
    const std::string arg(argv0);
    if (arg.find('/') != std::string::npos) {
        return arg.front() == '/' ? arg : Join(CurrentDirectory(), arg);
    }
    const char* pathEnv = std::getenv("PATH");
    std::string dirs = pathEnv ? pathEnv : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = CurrentDirectory();
        const std::string candidate = Join(dir, arg);
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.front() == '/' ? candidate : Join(CurrentDirectory(), candidate);
        }
        start = end + 1;
    }
    return {};
}

bool IsInstalledLayout(const std::string& executable) {
    if (executable.empty() || executable.front() != '/') return false;
    const std::string bin = DirectoryOf(executable);
    if (LastComponent(bin) != "bin") return false;
    std::error_code ec;
    return std::filesystem::is_directory(
        Join(DirectoryOf(bin), std::string("share/") + kPackageFolder), ec);
}

ProgramPaths ResolveProgramPaths(const std::string& executable, const PathEnvironment& env) {
    ProgramPaths paths;
    paths.baseName = executable.empty() ? std::string() : BaseNameOf(executable);
    if (paths.baseName.empty()) paths.baseName = kFallbackBase;
    paths.installed = IsInstalledLayout(executable);
    const std::string programDir =
        executable.empty() ? CurrentDirectory() : DirectoryOf(executable);

    if (!env.koruviewHome.empty()) {
        paths.place = SettingsPlace::HomeVariable;
        paths.directory = WithoutTrailingSlashes(env.koruviewHome);
    } else if (paths.installed) {
        paths.place = SettingsPlace::UserConfig;
        paths.directory = UserConfigFolder(env);
    } else {
        paths.place = SettingsPlace::ProgramDirectory;
        paths.directory = programDir;
    }
    paths.settingsFile = Join(paths.directory, paths.baseName + ".INI");

    if (paths.installed)
        paths.examplesDir = Join(DirectoryOf(programDir), std::string("share/") + kPackageFolder);
    const std::string helpName = paths.baseName + ".html";
    paths.helpFile = paths.installed
                         ? Join(DirectoryOf(programDir),
                                std::string("share/doc/") + kPackageFolder + "/" + helpName)
                         : Join(programDir, helpName);
    return paths;
}

PathEnvironment ProcessEnvironment() {
    PathEnvironment env;
    env.koruviewHome = EnvOrEmpty("KORUVIEW_HOME");
    env.xdgConfigHome = EnvOrEmpty("XDG_CONFIG_HOME");
    env.home = EnvOrEmpty("HOME");
    if (env.home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) env.home = pw->pw_dir;
    }
    return env;
}

ProgramPaths FindProgramPaths(const char* argv0) {
    return ResolveProgramPaths(ExecutablePath(argv0), ProcessEnvironment());
}

bool MakeSettingsFolder(const ProgramPaths& paths, std::string* error) {
    if (paths.place != SettingsPlace::UserConfig) return true;
    const std::string& dir = paths.directory;
    // Each missing folder from the top down, private to the user as the
    // desktop's rules ask of the config folder.
    for (std::size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string part = end == std::string::npos ? dir : dir.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error) *error = part + ": " + std::strerror(errno);
            return false;
        }
        if (end == std::string::npos) break;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (error) *error = dir + ": " + std::strerror(ENOTDIR);
        return false;
    }
    return true;
}

std::string DescribeProgramPaths(const ProgramPaths& paths) {
    std::string why;
    switch (paths.place) {
        case SettingsPlace::HomeVariable:
            why = "set by $KORUVIEW_HOME";
            break;
        case SettingsPlace::UserConfig:
            why =
                "the user's config folder, as the program is installed;\n"
                "  $KORUVIEW_HOME sets another";
            break;
        case SettingsPlace::ProgramDirectory:
            why =
                "beside the program, as it is not installed;\n"
                "  $KORUVIEW_HOME sets another";
            break;
    }
    return "Settings folder: " + paths.directory + "\n  (" + why +
           ")\nHelp guide: " + paths.helpFile + "\n";
}

}  // namespace koru
