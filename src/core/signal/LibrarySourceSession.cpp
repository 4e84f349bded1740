#include "signal/LibrarySourceSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

#include "platform/ChildProcess.h"

namespace koru {

namespace {

using Clock = std::chrono::steady_clock;

// A description larger than this is not one the reader writes.
constexpr uint64_t kMaxHeadBytes = 64u << 20;

bool SendAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        // No SIGPIPE when the reader is gone: the send fails instead.
        const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string ReaderOutcomeText(const ChildOutcome& run, const std::string& kind) {
    using Kind = ChildOutcome::Kind;
    const std::string reader = "The " + kind + " reader";
    switch (run.kind) {
        case Kind::NotStarted:
            return reader + " (koru-reader) could not be started.";
        case Kind::TimedOut:
            return reader + " ran out of time on this file.";
        case Kind::Signalled:
            if (run.signal == SIGXCPU) return reader + " ran out of time on this file.";
            return reader + " stopped on this file.";
        case Kind::Exited:
            if (run.code == 3) return reader + " ran out of memory on this file.";
            return run.code == 0 ? "" : reader + " stopped on this file.";
    }
    return reader + " stopped on this file.";
}

LibrarySession::~LibrarySession() {
    if (file_ >= 0) close(file_);
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
    // The reader ends on its own when its socket closes; one that does not
    // is killed.
    ChildOutcome outcome;
    if (pid_ > 0 && !WaitChild(pid_, 200, outcome)) KillChild(pid_);
}

void LibrarySession::Stop(const std::string& why) {
    if (failure_.empty()) failure_ = why;
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
    if (pid_ > 0) KillChild(pid_);
    pid_ = -1;
}

// Exactly `size` bytes within the time, else false (the reader closed its
// end, stopped or ran out of time).
bool LibrarySession::Receive(void* data, std::size_t size, int timeoutMs) {
    char* p = static_cast<char*>(data);
    timedOut_ = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{socket_, POLLIN, 0};
        const int ready = left <= 0 ? 0 : poll(&pfd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        timedOut_ = ready == 0;
        if (ready <= 0) return false;
        const ssize_t n = recv(socket_, p, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Starts a reader on the file held open and takes its description. The
// reader opens the file through that descriptor, so a reader started again
// later reads the same file even when another has been renamed over it.
bool LibrarySession::Spawn(int openMs, LibraryStream& stream, std::string& error) {
    failure_.clear();
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = "No memory for the " + kind_ + " reader.";
        return false;
    }
    pid_ = StartChild(program_, {program_, "--serve", "/dev/fd/4"}, {ends[1], file_});
    close(ends[1]);
    socket_ = ends[0];
    if (pid_ < 0) {
        error = "The " + kind_ + " reader (koru-reader) could not be started.";
        Stop(error);
        return false;
    }
    uint64_t size = 0;
    std::vector<uint8_t> head;
    bool ok = Receive(&size, sizeof size, openMs) && size > 0 && size <= kMaxHeadBytes;
    if (ok) {
        head.resize(static_cast<std::size_t>(size));
        ok = Receive(head.data(), head.size(), openMs);
    }
    if (!ok) {
        // How it ended says more than the missing bytes: out of memory,
        // out of time or a crash.
        ChildOutcome outcome;
        if (WaitChild(pid_, 100, outcome))
            pid_ = -1;
        else
            outcome.kind = ChildOutcome::Kind::TimedOut;
        error = ReaderOutcomeText(outcome, kind_);
        if (error.empty()) error = "The " + kind_ + " reader stopped on this file.";
    } else if (ParseLibraryStream(head.data(), head.size(), stream, error)) {
        if (!stream.refusal.empty())
            error = stream.refusal;
        else if (!stream.served)
            error = "The " + kind_ + " reader gave its samples unasked.";
        else
            return true;
    }
    Stop(error);
    return false;
}

bool LibrarySession::Start(const std::string& program, const std::string& path,
                           const std::string& kind, int openMs, int requestMs,
                           LibraryStream& stream, std::string& error) {
    program_ = program;
    kind_ = kind;
    openMs_ = openMs;
    requestMs_ = requestMs;
    file_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_ < 0) {
        error = "The file cannot be read.";
        return false;
    }
    if (!Spawn(openMs, stream, error)) return false;
    signals_ = stream.signals;
    return true;
}

// A reader that stopped is started again for the next request, a few times
// in a session: the one request it was on fails, the next ones read on. The
// new one must describe the file as the first did.
bool LibrarySession::Respawn(std::string& error) {
    if (respawns_ >= kMaxRespawns || file_ < 0 || program_.empty()) return false;
    ++respawns_;
    const std::string before = failure_;
    LibraryStream stream;
    std::string why;
    bool same = Spawn(openMs_, stream, why) && stream.signals.size() == signals_.size();
    for (std::size_t i = 0; same && i < signals_.size(); ++i)
        same = stream.signals[i].samples == signals_[i].samples &&
               stream.signals[i].rate == signals_[i].rate;
    if (same) return true;
    Stop(before);
    failure_ = before;
    error = before;
    return false;
}

uint64_t LibrarySession::Fetch(const std::vector<uint32_t>& signals, uint64_t first, uint64_t count,
                               std::vector<double>& out, std::string& error) {
    std::lock_guard lock(mutex_);
    if (socket_ < 0 && !Respawn(error)) {
        if (error.empty())
            error = failure_.empty() ? "The " + kind_ + " reader is not running." : failure_;
        return 0;
    }
    ServeRequest request{signals, first, std::min(count, kServeMaxSamples)};
    const std::string stopped = "The " + kind_ + " reader stopped while reading the file.";
    const auto gone = [&] {
        return timedOut_ ? "The " + kind_ + " reader ran out of time while reading the file."
                         : stopped;
    };
    if (!SendAll(socket_, EncodeServeRequest(request))) {
        Stop(stopped);
        error = failure_;
        return 0;
    }
    uint8_t fixed[kServeAnswerFixedBytes];
    ServeAnswerHead head;
    uint32_t messageBytes = 0;
    if (!Receive(fixed, sizeof fixed, requestMs_)) {
        Stop(gone());
        error = failure_;
        return 0;
    }
    if (!ParseServeAnswerFixed(fixed, request.count, head, messageBytes)) {
        Stop("The " + kind_ + " reader gave a malformed answer.");
        error = failure_;
        return 0;
    }
    head.message.resize(messageBytes);
    out.resize(static_cast<std::size_t>(head.samples * signals.size()));
    if (!Receive(head.message.data(), messageBytes, requestMs_) ||
        !Receive(out.data(), out.size() * sizeof(double), requestMs_)) {
        Stop(gone());
        error = failure_;
        return 0;
    }
    if (head.status != 0) {
        error = head.message.empty() ? "The file could not be read to its end." : head.message;
        return 0;
    }
    return head.samples;
}

}  // namespace koru
