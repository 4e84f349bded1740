#pragma once
// Writers that never leave a file half-changed: FileWriter builds a new file
// beside the target and renames it over only once everything is on disk;
// AppendWriter (AppendWriter.h) adds to an existing file and cuts it back if
// it is not committed. Both take the content in chunks and keep the first
// error, and both refuse a write-protected file.

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
    // The words for the first failure (the system's, or the writer's own
    // where it refused); empty when nothing failed.
    std::string Error() const;

  protected:
    // Large enough that a recording streamed out is a few write calls per
    // megabyte, small enough to keep on every open writer.
    static constexpr std::size_t kBufferSize = 64 * 1024;
    static constexpr std::size_t kStartWriteback = 4 << 20;

    BufferedOutput() = default;
    ~BufferedOutput() { CloseFd(); }
    BufferedOutput(BufferedOutput&& other) noexcept;
    BufferedOutput& operator=(BufferedOutput&& other) noexcept;

    // Starts over on a fresh descriptor (-1: none yet); any earlier error is
    // forgotten.
    void Attach(int fd);
    // Returns false so that failing paths read `return Fail(errno);`.
    bool Fail(int error);
    // The same with the writer's own words for it.
    bool Fail(int error, std::string words);
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
    std::string words_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::size_t unstarted_ = 0;  // bytes written since the disk was last set to work
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
    // file that is not write-protected; its permissions carry over. Removes
    // the temporaries of the same target that killed writers left. Abandons
    // any earlier file in progress.
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

// One-shot FileWriter: the whole content replaces the file. On failure the
// reason goes to *error when given.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// An existing file nobody may write to (no write permission bit at all, which
// holds even for the superuser), or one this user may not write to. Renaming
// over it needs only the folder's permission, so the writers ask this first.
bool IsWriteProtected(const std::string& path);
// The reason the writers give for such a file.
inline constexpr const char* kWriteProtectedWords = "the file is write-protected";

// The file a write to `path` lands in: the end of a chain of symbolic links.
std::string ResolveWriteTarget(const std::string& path);
// Makes a rename or removal in the folder of `file` durable; false with errno set.
bool SyncFolderOf(const std::string& file);

}  // namespace koru
