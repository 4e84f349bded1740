#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace koru {

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    // O_NONBLOCK so that a pipe without a writer is refused below instead of
    // hanging the open; regular files never block, so it is dropped again.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void ReadOnlyFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

uint64_t ReadOnlyFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

std::size_t ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, std::size_t n) const {
    if (fd_ < 0) return 0;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

std::function<std::size_t(char*, std::size_t)> ReadOnlyFile::Sequential() const {
    return [this, offset = uint64_t{0}](char* out, std::size_t n) mutable {
        const std::size_t got = ReadAt(offset, out, n);
        offset += got;
        return got;
    };
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    bool tooLarge = false;
    return ReadWholeFile(path, out, SIZE_MAX, tooLarge);
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes,
                   bool& tooLarge) {
    out.clear();
    tooLarge = false;
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    if (file.Size() > maxBytes) {
        tooLarge = true;
        return false;
    }
    // Read until a short block: the size may change while we read.
    constexpr std::size_t kBlock = 65536;
    for (uint64_t offset = 0;; offset += kBlock) {
        const std::size_t old = out.size();
        if (old > maxBytes) {
            out.clear();
            tooLarge = true;
            return false;
        }
        out.resize(old + kBlock);
        const std::size_t n = file.ReadAt(offset, out.data() + old, kBlock);
        out.resize(old + n);
        if (n < kBlock) {
            if (out.size() <= maxBytes) return true;
            out.clear();
            tooLarge = true;
            return false;
        }
    }
}

}  // namespace koru
