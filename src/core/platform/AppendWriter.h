#pragma once
// Appends that end whole or not at all, one at a time. The writer holds an
// exclusive lock on the file from Open to Commit or Abandon, so appends by
// the window and by any number of batch runs follow one another whole, and
// a writer that cuts back never cuts what another wrote. Before the first
// byte goes in, the old length and the file's identity are put on disk in a
// journal beside it ("NAME.appending"); Commit removes the journal once the
// bytes are synced. A journal left by a writer that was killed (or by a
// power cut) means the append never finished: the next append, or the next
// open of the file for reading, cuts the file back to the old length.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileWriter.h"

namespace koru {

class AppendWriter : public BufferedOutput {
  public:
    AppendWriter() = default;
    ~AppendWriter() { Abandon(); }
    AppendWriter(AppendWriter&& other) noexcept;
    AppendWriter& operator=(AppendWriter&& other) noexcept;

    // Waits for the lock, rolls back an unfinished earlier append and writes
    // the journal. False for a missing file, anything but a regular file, a
    // write-protected file, or a journal that cannot be written (a folder
    // the user may not write to). Abandons any earlier file in progress.
    bool Open(const std::string& path);
    // True when the added bytes are on disk and the journal is gone;
    // otherwise the file is cut back.
    bool Commit();
    // For layouts whose header counts what follows: Commit, and then, with
    // the journal gone but the lock still held, writes `patch` at `offset`
    // (see Overwrite). The bytes added are kept even when the patch fails:
    // the caller leaves its header in a state that is right either way.
    bool Commit(uint64_t offset, std::string_view patch);
    // Writes `bytes` at `offset` inside the old length and syncs them, on a
    // descriptor of its own (the appending one ignores offsets). Only while
    // open; a rollback does not undo it.
    bool Overwrite(uint64_t offset, std::string_view bytes);
    // Cuts the file back and removes the journal; false only when that
    // failed (the journal then stays, so the next open finishes the job).
    bool Abandon();

    // Length when the lock was taken, which Abandon returns the file to.
    uint64_t StartLength() const { return start_; }

  private:
    bool open_ = false;
    uint64_t start_ = 0;
    std::string target_;
    std::string journal_;
};

// The journal of appends to `target`.
std::string AppendJournalPath(const std::string& target);

// For readers: cuts `path` back if an append to it was interrupted. Does
// nothing while another writer holds the file (its append is still going
// on), when there is no journal, or when the user may not write the file.
// True when it cut the file back.
bool RollBackUnfinishedAppend(const std::string& path);

}  // namespace koru
