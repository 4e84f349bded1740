#pragma once
// Writers that never leave a file half-changed: FileWriter builds a new file
// beside the target and renames it over only once everything is on disk;
// AppendWriter adds to an existing file and cuts it back if it is not
// committed. Both take the content in chunks and keep the first error.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

// The descriptor, the chunk buffer and the first failure, shared by both
// writers. Not used on its own.
class BufferedOutput {
  public:
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    // False once anything has failed; the bytes of a failed call may be lost.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

    bool Failed() const { return error_ != 0; }
    // errno of the first failure; 0 when nothing failed.
    int ErrorCode() const { return error_; }
    // The system's words for the first failure; empty when nothing failed.
    std::string Error() const;

  protected:
    // Large enough that a recording streamed out is a few write calls per
    // megabyte, small enough to keep on every open writer.
    static constexpr std::size_t kBufferSize = 64 * 1024;

    BufferedOutput() = default;
    ~BufferedOutput() { CloseFd(); }
    BufferedOutput(BufferedOutput&& other) noexcept;
    BufferedOutput& operator=(BufferedOutput&& other) noexcept;

    // Starts over on a fresh descriptor (-1: none yet); any earlier error is
    // forgotten.
    void Attach(int fd);
    // Returns false so that failing paths read `return Fail(errno);`.
    bool Fail(int error);
    bool Flush();
    bool Sync();
    // Drops buffered bytes and closes without reporting.
    void Discard();
    bool CloseFd();
    int Fd() const { return fd_; }

  private:
    bool WriteOut(const char* data, std::size_t size);

    int fd_ = -1;
    int error_ = 0;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

// Replaces a whole file. Until Commit the target is untouched; a writer
// destroyed without Commit removes its temporary file.
class FileWriter : public BufferedOutput {
  public:
    enum class SyncFolder : bool { No, Yes };

    FileWriter() = default;
    ~FileWriter() { Abandon(); }
    FileWriter(FileWriter&& other) noexcept;
    FileWriter& operator=(FileWriter&& other) noexcept;

    // Creates the temporary file beside the target (beside the file a symbolic
    // link names, so the link survives). An existing target must be a regular
    // file; its permissions carry over. Abandons any earlier file in progress.
    bool Open(const std::string& path);
    // True when the new content is in place. False otherwise, with the target
    // as it was — save for a failed folder sync, which comes after the rename:
    // the new content is then in place but may not survive a power cut.
    bool Commit(SyncFolder folder = SyncFolder::No);
    // Removes the temporary file; false only when that removal failed.
    bool Abandon();

    // The file the content goes to, symbolic link resolved.
    const std::string& Target() const { return target_; }

  private:
    std::string target_;
    std::string temp_;  // empty when no temporary file exists
};

// Appends to an existing regular file. Until Commit the added bytes are
// provisional: Abandon, or destruction without Commit, cuts the file back to
// the length it had when opened.
class AppendWriter : public BufferedOutput {
  public:
    AppendWriter() = default;
    ~AppendWriter() { Abandon(); }
    AppendWriter(AppendWriter&& other) noexcept;
    AppendWriter& operator=(AppendWriter&& other) noexcept;

    // False for a missing file or anything but a regular file. Abandons any
    // earlier file in progress.
    bool Open(const std::string& path);
    // True when the added bytes are on disk; otherwise the file is cut back —
    // unless only the final close failed, after everything had been synced.
    bool Commit();
    // Cuts the file back; false only when that failed.
    bool Abandon();

    // Length when opened, which Abandon returns the file to.
    uint64_t StartLength() const { return start_; }

  private:
    bool open_ = false;
    uint64_t start_ = 0;
};

// One-shot FileWriter: the whole content replaces the file. On failure the
// reason goes to *error when given.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

}  // namespace koru
