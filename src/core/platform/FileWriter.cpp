#include "platform/FileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/AppendWriter.h"

namespace koru {

// The end of a chain of symbolic links, so the links survive the rename,
// whether that file exists yet or not (a link made for a settings file
// before its first start). A relative link counts from the folder that
// holds it. A loop is left for the write to fail on.
std::string ResolveWriteTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 255)) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return current;
        target.resize(static_cast<std::size_t>(n));
        if (target.empty()) return current;
        if (target.front() != '/') {
            const std::size_t slash = current.find_last_of('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        current = std::move(target);
    }
    return current;
}

bool SyncFolderOf(const std::string& file) {
    std::string folder = std::filesystem::path(file).parent_path().string();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

bool IsWriteProtected(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & 0222) == 0 || (::access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

namespace {

// "NAME.tmp" PID "-" N: the process id of a temporary's writer, 0 when
// `entry` is no temporary of the file `name`.
pid_t TempOwner(std::string_view entry, std::string_view name) {
    const std::string_view tag = ".tmp";
    if (entry.size() <= name.size() + tag.size() || !entry.starts_with(name) ||
        entry.substr(name.size(), tag.size()) != tag)
        return 0;
    const char* p = entry.data() + name.size() + tag.size();
    const char* end = entry.data() + entry.size();
    long long pid = 0, n = 0;
    const auto a = std::from_chars(p, end, pid);
    if (a.ec != std::errc() || a.ptr == end || *a.ptr != '-') return 0;
    const auto b = std::from_chars(a.ptr + 1, end, n);
    if (b.ec != std::errc() || b.ptr != end || pid <= 0 || pid > INT_MAX || n < 0) return 0;
    return static_cast<pid_t>(pid);
}

// A killed writer's temporary is never renamed nor removed by it, and a batch
// of killed saves can leave gigabytes. Those of processes that no longer
// exist are removed; a live process's, or one whose owner cannot be told, stay.
void RemoveStaleTemps(const std::string& target) {
    const std::size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(d)) {
        const pid_t owner = TempOwner(e->d_name, name);
        if (owner == 0 || owner == self) continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

// O_EXCL with our own names rather than mkstemp: mkstemp forces mode 0600,
// while a new file should get the user's umask like any other. Returns the
// descriptor, or -1 with errno set.
int CreateTemp(const std::string& target, mode_t mode, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".tmp" + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            temp = std::move(name);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

// ---- BufferedOutput ----

BufferedOutput::BufferedOutput(BufferedOutput&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      error_(std::exchange(other.error_, 0)),
      words_(std::move(other.words_)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)) {}

BufferedOutput& BufferedOutput::operator=(BufferedOutput&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        error_ = std::exchange(other.error_, 0);
        words_ = std::move(other.words_);
        buffer_ = std::move(other.buffer_);
        used_ = std::exchange(other.used_, 0);
    }
    return *this;
}

bool BufferedOutput::Write(const void* data, std::size_t size) {
    if (error_ != 0) return false;
    if (fd_ < 0) return Fail(EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        // A chunk that would fill the buffer on its own skips the copy.
        if (used_ == 0 && size >= kBufferSize) return WriteOut(p, size);
        const std::size_t take = std::min(size, kBufferSize - used_);
        std::memcpy(buffer_.data() + used_, p, take);
        used_ += take;
        p += take;
        size -= take;
        if (used_ == kBufferSize && !Flush()) return false;
    }
    return true;
}

std::string BufferedOutput::Error() const {
    if (error_ == 0) return {};
    return words_.empty() ? std::generic_category().message(error_) : words_;
}

void BufferedOutput::Attach(int fd) {
    Discard();
    error_ = 0;
    words_.clear();
    fd_ = fd;
    buffer_.resize(kBufferSize);
}

bool BufferedOutput::Fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
}

bool BufferedOutput::Fail(int error, std::string words) {
    if (error_ == 0) words_ = std::move(words);
    return Fail(error);
}

bool BufferedOutput::Flush() {
    if (error_ != 0) return false;
    if (fd_ < 0) return Fail(EBADF);
    const std::size_t n = std::exchange(used_, 0);
    return n == 0 || WriteOut(buffer_.data(), n);
}

bool BufferedOutput::Sync() {
    if (error_ != 0) return false;
    return ::fsync(fd_) == 0 || Fail(errno);
}

void BufferedOutput::Discard() {
    used_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool BufferedOutput::CloseFd() {
    if (fd_ < 0) return true;
    // Never retried: Linux releases the descriptor even when close fails.
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 || Fail(errno);
}

bool BufferedOutput::WriteOut(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(errno);
        if (n == 0) return Fail(EIO);  // no progress and no reason: do not spin
        data += n;
        size -= static_cast<std::size_t>(n);
        unstarted_ += static_cast<std::size_t>(n);
    }
    // The disk starts on what is written while the rest is still being
    // made, so the sync at the end has little left to wait for.
    if (unstarted_ >= kStartWriteback) {
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        unstarted_ = 0;
    }
    return true;
}

// ---- FileWriter ----

FileWriter::FileWriter(FileWriter&& other) noexcept
    : BufferedOutput(std::move(other)),
      target_(std::move(other.target_)),
      temp_(std::exchange(other.temp_, {})) {}

FileWriter& FileWriter::operator=(FileWriter&& other) noexcept {
    if (this != &other) {
        Abandon();
        BufferedOutput::operator=(std::move(other));
        target_ = std::move(other.target_);
        temp_ = std::exchange(other.temp_, {});
    }
    return *this;
}

bool FileWriter::Open(const std::string& path) {
    Abandon();
    Attach(-1);
    target_ = ResolveWriteTarget(path);
    struct stat old {};
    const bool existed = ::stat(target_.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) return Fail(errno);
    if (existed && S_ISDIR(old.st_mode)) return Fail(EISDIR);
    // A device or pipe cannot be replaced by renaming a regular file over it.
    if (existed && !S_ISREG(old.st_mode)) return Fail(EINVAL);
    if (existed && IsWriteProtected(target_)) return Fail(EACCES, kWriteProtectedWords);
    RemoveStaleTemps(target_);

    // Created with the old permissions already, so the new content is never
    // readable by more people than the old was, even while half-written.
    const mode_t mode = existed ? (old.st_mode & 0777) : 0666;
    const int fd = CreateTemp(target_, mode, temp_);
    if (fd < 0) return Fail(errno);
    Attach(fd);
    // The umask may have narrowed the mode given to open.
    if (existed && ::fchmod(fd, old.st_mode & 07777) != 0) {
        Fail(errno);
        Abandon();
        return false;
    }
    return true;
}

bool FileWriter::Commit(SyncFolder folder) {
    if (temp_.empty()) return Fail(EBADF);
    bool ok = Flush() && Sync() && CloseFd();
    // An append running on the old file (its journal says so; it holds this
    // lock throughout) finishes before the rename; otherwise it would go on
    // into a file no longer there. Other locks on the file are not waited for.
    struct stat journal {};
    const bool appending = ::lstat(AppendJournalPath(target_).c_str(), &journal) == 0;
    const int old =
        ok && appending ? ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (old >= 0)
        while (::flock(old, LOCK_EX) != 0 && errno == EINTR) {
        }
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = Fail(errno);
    if (old >= 0) ::close(old);
    if (!ok) {
        Abandon();
        return false;
    }
    temp_.clear();
    return folder == SyncFolder::No || SyncFolderOf(target_) || Fail(errno);
}

bool FileWriter::Abandon() {
    Discard();
    if (temp_.empty()) return true;
    const bool ok = ::unlink(temp_.c_str()) == 0 || Fail(errno);
    temp_.clear();
    return ok;
}

// ---- WriteWholeFile ----

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error) {
    FileWriter writer;
    if (writer.Open(path) && writer.Write(bytes) && writer.Commit()) return true;
    if (error) *error = writer.Error();
    return false;
}

}  // namespace koru
