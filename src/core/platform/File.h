#pragma once
// A file opened for reading, with positioned reads so several readers can
// share it without fighting over one stream position.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace koru {

class ReadOnlyFile {
  public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile() { Close(); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ReadOnlyFile(ReadOnlyFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

    // False when the path cannot be opened for reading or is not a regular
    // file; a pipe or device is refused without waiting on it.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Current size in bytes; 0 when it cannot be told.
    uint64_t Size() const;
    // Reads up to n bytes at offset; returns how many were read (short at the end).
    std::size_t ReadAt(uint64_t offset, void* buffer, std::size_t n) const;
    // Reads the file front to back, each call filling the buffer with the
    // next bytes; 0 at the end. The file must outlive the function.
    std::function<std::size_t(char*, std::size_t)> Sequential() const;

  private:
    int fd_ = -1;
};

// Whole file as bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// The same for a file that is to hold at most `maxBytes`: false, with
// *tooLarge set, for a larger one, of which no more than that is read.
bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes, bool& tooLarge);

}  // namespace koru
