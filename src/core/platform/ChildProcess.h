#pragma once
// Running one of the program's own helper programs on the side: started
// without forking the (possibly multithreaded) caller, handed one open file,
// and killed when it runs past its time. Whatever the helper does, the caller
// only learns how it ended.

#include <sys/types.h>

#include <string>
#include <vector>

namespace koru {

struct ChildOutcome {
    enum class Kind { NotStarted, Exited, Signalled, TimedOut };
    Kind kind = Kind::NotStarted;
    int code = 0;    // exit status when Exited
    int signal = 0;  // the signal when Signalled
};

// Runs `program` with `args` (argv[0] is the program), its standard input
// from /dev/null, its standard output and error on our standard error (never
// our standard output, which may carry a script's data), and `passFd` as its
// file descriptor 3 (-1: none). Waits at most `timeoutMs`, then kills it.
ChildOutcome RunChild(const std::string& program, const std::vector<std::string>& args, int passFd,
                      int timeoutMs);

// A helper left running, for one that answers requests: `passFds` become
// its file descriptors 3, 4, ... Its id, or -1 when it could not be started.
pid_t StartChild(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<int>& passFds);

// Whether `pid` ended within `timeoutMs` (then reaped, with `out` set).
bool WaitChild(pid_t pid, int timeoutMs, ChildOutcome& out);

// Kills `pid` and reaps it.
void KillChild(pid_t pid);

// An anonymous file in memory, closed on exec; -1 when the system has none.
int MakeMemoryFile(const char* name);

// The helper program `name`: $`variable` when set, else beside the running
// executable, else in the installed layout's lib/koruview/ (from bin/).
// Empty when none of them is an executable file.
std::string FindHelperProgram(const std::string& name, const char* variable);

}  // namespace koru
