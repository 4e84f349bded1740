#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace koru {

namespace {

using Clock = std::chrono::steady_clock;

ChildOutcome FromStatus(int status) {
    ChildOutcome out;
    if (WIFEXITED(status)) {
        out.kind = ChildOutcome::Kind::Exited;
        out.code = WEXITSTATUS(status);
    } else {
        out.kind = ChildOutcome::Kind::Signalled;
        out.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return out;
}

// Waits for `pid` until the deadline: on a process descriptor where the
// system has them, else by polling with growing pauses.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{pidfd, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
            if (ready < 0 && errno == EINTR) continue;
            close(pidfd);
            if (ready <= 0) return false;
            break;
        }
    }
#endif
    auto pause = std::chrono::microseconds(100);
    for (;;) {
        const pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) return true;
        if (got < 0 && errno != EINTR) return false;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

bool IsExecutable(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

pid_t StartChild(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<int>& passFds) {
    // Out of the way of 0 to 3 + n, so each move below clears close-on-exec
    // and none overwrites another before it is moved.
    std::vector<int> moved;
    const auto closeMoved = [&moved] {
        for (const int fd : moved) close(fd);
    };
    for (const int fd : passFds) {
        moved.push_back(fcntl(fd, F_DUPFD_CLOEXEC, 16));
        if (moved.back() < 0) {
            moved.pop_back();
            closeMoved();
            return -1;
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    for (std::size_t i = 0; i < moved.size(); ++i)
        posix_spawn_file_actions_adddup2(&actions, moved[i], 3 + static_cast<int>(i));
    // The child starts with the default signal handling and mask, whatever
    // the caller set for itself.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeMoved();
    return failed == 0 ? pid : -1;
}

bool WaitChild(pid_t pid, int timeoutMs, ChildOutcome& out) {
    int status = 0;
    if (!WaitUntil(pid, Clock::now() + std::chrono::milliseconds(timeoutMs), status)) return false;
    out = FromStatus(status);
    return true;
}

void KillChild(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

ChildOutcome RunChild(const std::string& program, const std::vector<std::string>& args, int passFd,
                      int timeoutMs) {
    const pid_t pid =
        StartChild(program, args, passFd >= 0 ? std::vector<int>{passFd} : std::vector<int>{});
    if (pid < 0) return {};
    ChildOutcome out;
    if (WaitChild(pid, timeoutMs, out)) return out;
    KillChild(pid);
    out.kind = ChildOutcome::Kind::TimedOut;
    return out;
}

int MakeMemoryFile(const char* name) {
    return memfd_create(name, MFD_CLOEXEC);
}

std::string FindHelperProgram(const std::string& name, const char* variable) {
    if (const char* set = std::getenv(variable); set && *set) return IsExecutable(set) ? set : "";
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    const std::filesystem::path dir = self.parent_path();
    for (const std::filesystem::path& candidate :
         {dir / name, dir.parent_path() / "lib" / "koruview" / name})
        if (IsExecutable(candidate.string())) return candidate.string();
    return "";
}

}  // namespace koru
