#include "platform/FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace koru {

namespace {

// The file a write should land in: the end of a chain of symbolic links, so
// the links survive the rename, whether that file exists yet or not (a
// link made for a settings file before its first start). A relative link
// counts from the folder that holds it. A loop is left for the write to
// fail on.
std::string ResolveTarget(const std::string& path) {
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

// Makes a rename durable; false with errno set.
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

}  // namespace

// ---- BufferedOutput ----

BufferedOutput::BufferedOutput(BufferedOutput&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      error_(std::exchange(other.error_, 0)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)) {}

BufferedOutput& BufferedOutput::operator=(BufferedOutput&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        error_ = std::exchange(other.error_, 0);
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
    return error_ != 0 ? std::generic_category().message(error_) : std::string();
}

void BufferedOutput::Attach(int fd) {
    Discard();
    error_ = 0;
    fd_ = fd;
    buffer_.resize(kBufferSize);
}

bool BufferedOutput::Fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
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
    target_ = ResolveTarget(path);
    struct stat old {};
    const bool existed = ::stat(target_.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) return Fail(errno);
    if (existed && S_ISDIR(old.st_mode)) return Fail(EISDIR);
    // A device or pipe cannot be replaced by renaming a regular file over it.
    if (existed && !S_ISREG(old.st_mode)) return Fail(EINVAL);

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
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) ok = Fail(errno);
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

// ---- AppendWriter ----

AppendWriter::AppendWriter(AppendWriter&& other) noexcept
    : BufferedOutput(std::move(other)),
      open_(std::exchange(other.open_, false)),
      start_(std::exchange(other.start_, 0)) {}

AppendWriter& AppendWriter::operator=(AppendWriter&& other) noexcept {
    if (this != &other) {
        Abandon();
        BufferedOutput::operator=(std::move(other));
        open_ = std::exchange(other.open_, false);
        start_ = std::exchange(other.start_, 0);
    }
    return *this;
}

bool AppendWriter::Open(const std::string& path) {
    Abandon();
    Attach(-1);
    // O_NONBLOCK so that a pipe without a reader fails here instead of hanging.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(errno);
    Attach(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Fail(errno);
    } else if (!S_ISREG(st.st_mode)) {
        Fail(EINVAL);
    } else {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) Fail(errno);
    }
    if (Failed()) {
        Discard();
        return false;
    }
    start_ = static_cast<uint64_t>(st.st_size);
    open_ = true;
    return true;
}

bool AppendWriter::Commit() {
    if (!open_) return Fail(EBADF);
    if (!Flush() || !Sync()) {
        Abandon();
        return false;
    }
    open_ = false;
    // After the sync the bytes are on disk; a failing close is still reported.
    return CloseFd();
}

bool AppendWriter::Abandon() {
    if (!open_) return true;
    open_ = false;
    bool ok = true;
    // Buffered bytes never reach the file: the cut is to the old length anyway.
    while (::ftruncate(Fd(), static_cast<off_t>(start_)) != 0) {
        if (errno == EINTR) continue;
        ok = Fail(errno);
        break;
    }
    Discard();
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
