#pragma once
// A reader process (koru-reader --serve) kept running after the open, asked
// for the samples of a range as they are shown. Everything it sends is
// checked against what was asked; when it dies, hangs or answers nonsense
// it is killed and the request fails with the reason. The next request
// starts another on the same file, a few times a session; after that every
// request fails.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "signal/LibraryStream.h"

namespace koru {

// How a reader process ended, said for the "Invalid file" box: empty for a
// clean exit, else that it could not be started, ran out of time or memory,
// or stopped. `kind` names the format ("GDF").
std::string ReaderOutcomeText(const ChildOutcome& run, const std::string& kind);

class LibrarySession {
  public:
    LibrarySession() = default;
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;
    ~LibrarySession();

    // Starts `program` on `path` and takes its description within
    // `openMs`; each answer later within `requestMs`. False with the reason
    // (`kind` names the format in it).
    bool Start(const std::string& program, const std::string& path, const std::string& kind,
               int openMs, int requestMs, LibraryStream& stream, std::string& error);

    // Up to `count` samples (at most kServeMaxSamples) of each of `signals`
    // from `first` into `out`, frame by frame; how many came. Fewer than
    // asked with `error` set when the reader failed or refused.
    uint64_t Fetch(const std::vector<uint32_t>& signals, uint64_t first, uint64_t count,
                   std::vector<double>& out, std::string& error);

    // The reader's process id while it runs, else -1.
    pid_t Process() const { return pid_; }

  private:
    static constexpr int kMaxRespawns = 3;

    bool Spawn(int openMs, LibraryStream& stream, std::string& error);
    bool Respawn(std::string& error);
    bool Receive(void* data, std::size_t size, int timeoutMs);
    void Stop(const std::string& why);

    pid_t pid_ = -1;
    int socket_ = -1;
    int file_ = -1;  // the recording, open since the start
    std::string program_;
    std::string kind_;
    std::vector<StreamSignal> signals_;  // as the first reader described them
    int openMs_ = 0;
    int respawns_ = 0;
    std::string failure_;  // why the reader is gone
    int requestMs_ = 0;
    bool timedOut_ = false;  // the last Receive ran past its time
    std::mutex mutex_;
};

}  // namespace koru
