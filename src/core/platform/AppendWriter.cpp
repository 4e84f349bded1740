#include "platform/AppendWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/File.h"

namespace koru {

namespace {

constexpr std::string_view kJournalMagic = "KORU APPEND 1\n";

// What a journal says: the length to go back to, and which file it is about
// (a file saved over since has another identity, and its journal is void).
struct JournalRecord {
    uint64_t length = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

std::string JournalText(const JournalRecord& r) {
    return std::string(kJournalMagic) + "length " + std::to_string(r.length) + "\ndevice " +
           std::to_string(r.device) + "\ninode " + std::to_string(r.inode) + "\n";
}

// "NAME VALUE\n" at the front of `text`, consumed.
bool TakeField(std::string_view& text, std::string_view name, uint64_t& value) {
    if (!text.starts_with(name) || text.size() <= name.size() || text[name.size()] != ' ')
        return false;
    const char* p = text.data() + name.size() + 1;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(p, end, value);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != '\n') return false;
    text.remove_prefix(static_cast<std::size_t>(r.ptr + 1 - text.data()));
    return true;
}

bool ParseJournal(std::string_view text, JournalRecord& r) {
    if (!text.starts_with(kJournalMagic)) return false;
    text.remove_prefix(kJournalMagic.size());
    return TakeField(text, "length", r.length) && TakeField(text, "device", r.device) &&
           TakeField(text, "inode", r.inode) && text.empty();
}

bool LockExclusive(int fd, int how) {
    while (::flock(fd, how) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool TruncateTo(int fd, uint64_t length) {
    while (::ftruncate(fd, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) return false;
    }
    return ::fsync(fd) == 0;
}

// Removes the journal for good; false with errno set.
bool RemoveJournal(const std::string& journal) {
    if (::unlink(journal.c_str()) != 0 && errno != ENOENT) return false;
    // A removal lost to a power cut only brings back a rollback to the old
    // length, one of the two states an append may leave; not worth failing.
    SyncFolderOf(journal);
    return true;
}

// With the lock held on `fd`: undoes what the journal says was left half
// done. `rolled` tells whether the file was cut. False with errno set.
bool RollBackLocked(int fd, const std::string& journal, bool& rolled) {
    rolled = false;
    std::string text;
    bool tooLarge = false;
    if (!ReadWholeFile(journal, text, 4096, tooLarge)) {
        struct stat st {};
        // Gone, or something other than a journal of ours by that name.
        return ::lstat(journal.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || RemoveJournal(journal);
    }
    JournalRecord r;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    // Written whole by rename, so a journal that does not parse is no journal
    // of ours; one about another file is void. Both just go.
    if (ParseJournal(text, r) && r.device == static_cast<uint64_t>(st.st_dev) &&
        r.inode == static_cast<uint64_t>(st.st_ino) &&
        static_cast<uint64_t>(st.st_size) > r.length) {
        if (!TruncateTo(fd, r.length)) return false;
        rolled = true;
    }
    return RemoveJournal(journal);
}

}  // namespace

std::string AppendJournalPath(const std::string& target) {
    return target + ".appending";
}

AppendWriter::AppendWriter(AppendWriter&& other) noexcept
    : BufferedOutput(std::move(other)),
      open_(std::exchange(other.open_, false)),
      start_(std::exchange(other.start_, 0)),
      target_(std::move(other.target_)),
      journal_(std::move(other.journal_)) {}

AppendWriter& AppendWriter::operator=(AppendWriter&& other) noexcept {
    if (this != &other) {
        Abandon();
        BufferedOutput::operator=(std::move(other));
        open_ = std::exchange(other.open_, false);
        start_ = std::exchange(other.start_, 0);
        target_ = std::move(other.target_);
        journal_ = std::move(other.journal_);
    }
    return *this;
}

bool AppendWriter::Open(const std::string& path) {
    Abandon();
    Attach(-1);
    target_ = ResolveWriteTarget(path);
    journal_ = AppendJournalPath(target_);
    if (IsWriteProtected(target_)) return Fail(EACCES, kWriteProtectedWords);
    // O_NONBLOCK so that a pipe without a reader fails here instead of hanging.
    const int fd = ::open(target_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(errno);
    Attach(fd);
    struct stat st {};
    bool rolled = false;
    if (::fstat(fd, &st) != 0) {
        Fail(errno);
    } else if (!S_ISREG(st.st_mode)) {
        Fail(EINVAL);
    } else if (const int flags = ::fcntl(fd, F_GETFL);
               flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Fail(errno);
    } else if (!LockExclusive(fd, LOCK_EX)) {
        Fail(errno);
    } else if (!RollBackLocked(fd, journal_, rolled) || ::fstat(fd, &st) != 0) {
        Fail(errno, "an interrupted append to it cannot be undone (" +
                        std::generic_category().message(errno) + ")");
    } else {
        const JournalRecord r{static_cast<uint64_t>(st.st_size), static_cast<uint64_t>(st.st_dev),
                              static_cast<uint64_t>(st.st_ino)};
        FileWriter journal;
        if (!journal.Open(journal_) || !journal.Write(JournalText(r)) ||
            !journal.Commit(FileWriter::SyncFolder::Yes))
            Fail(journal.ErrorCode(), "cannot write " + journal_ + " (" + journal.Error() + ")");
        start_ = r.length;
    }
    if (Failed()) {
        Discard();
        return false;
    }
    open_ = true;
    return true;
}

bool AppendWriter::Commit() {
    return Commit(0, {});
}

bool AppendWriter::Commit(uint64_t offset, std::string_view patch) {
    if (!open_) return Fail(EBADF);
    if (!Flush() || !Sync()) {
        Abandon();
        return false;
    }
    // Until the journal is gone the bytes would be rolled back; if it cannot
    // go, cut them now so that the file and its journal agree.
    if (!RemoveJournal(journal_)) {
        const int error = errno;
        Abandon();
        return Fail(error);
    }
    if (!patch.empty()) Overwrite(offset, patch);
    open_ = false;
    // The bytes are on disk; a failing close is still reported.
    return CloseFd();
}

bool AppendWriter::Overwrite(uint64_t offset, std::string_view bytes) {
    if (!open_ || offset + bytes.size() > start_) return false;
    const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A descriptor of its own: the lock belongs to the appending one's open
    // file and stays with it when this one closes.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool AppendWriter::Abandon() {
    if (!open_) return true;
    open_ = false;
    // Buffered bytes never reach the file: the cut is to the old length
    // anyway. The lock is still held, so the cut takes nothing another wrote.
    bool ok = TruncateTo(Fd(), start_) && RemoveJournal(journal_);
    if (!ok) ok = Fail(errno);
    Discard();
    return ok;
}

bool RollBackUnfinishedAppend(const std::string& path) {
    const std::string target = ResolveWriteTarget(path);
    const std::string journal = AppendJournalPath(target);
    struct stat st {};
    if (::lstat(journal.c_str(), &st) != 0) return false;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    bool rolled = false;
    // Busy: a writer is still at it, and its journal is no leftover.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockExclusive(fd, LOCK_EX | LOCK_NB))
        RollBackLocked(fd, journal, rolled);
    ::close(fd);
    return rolled;
}

}  // namespace koru
