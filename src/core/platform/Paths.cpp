#include "platform/Paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace koru {

namespace {

constexpr const char* kFallbackBase = "koruview";

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

ProgramPaths ResolveProgramPaths(const std::string& executable, const char* homeOverride) {
    ProgramPaths paths;
    paths.baseName = executable.empty() ? std::string() : BaseNameOf(executable);
    if (paths.baseName.empty()) paths.baseName = kFallbackBase;
    if (homeOverride && *homeOverride) {
        paths.directory = WithoutTrailingSlashes(homeOverride);
    } else if (!executable.empty()) {
        paths.directory = DirectoryOf(executable);
    } else {
        paths.directory = CurrentDirectory();
    }
    paths.settingsFile = Join(paths.directory, paths.baseName + ".INI");
    paths.helpFile = Join(paths.directory, paths.baseName + ".html");
    return paths;
}

ProgramPaths FindProgramPaths(const char* argv0) {
    return ResolveProgramPaths(ExecutablePath(argv0), std::getenv("KORUVIEW_HOME"));
}

}  // namespace koru
