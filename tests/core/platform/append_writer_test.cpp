// Appends under fire: killed at random points, run side by side, failing
// while others wait; and the files the writers must not replace.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "platform/AppendWriter.h"
#include "platform/FileWriter.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;
using test::TempDir;

// Bytes that differ by position and seed, so a torn or reordered piece shows.
std::string Pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7) % 251);
    return s;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// In a child: appends `bytes` in pieces of `piece`, pausing `pauseUs` after
// each, and exits 0 on a commit. `ready` (when not -1) hears one byte once
// the writer holds the file.
[[noreturn]] void AppendInChild(const std::string& path, const std::string& bytes,
                                std::size_t piece, int pauseUs, int ready = -1) {
    AppendWriter w;
    const bool opened = w.Open(path);
    if (ready >= 0) {
        const char c = opened ? 'y' : 'n';
        if (::write(ready, &c, 1) != 1) ::_exit(3);
    }
    if (!opened) ::_exit(2);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        if (!w.Write(bytes.substr(at, piece))) {
            w.Abandon();  // as the writer's destructor would, which _exit skips
            ::_exit(1);
        }
        if (pauseUs > 0) ::usleep(static_cast<useconds_t>(pauseUs));
    }
    ::_exit(w.Commit() ? 0 : 1);
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(AppendWriter, AKilledAppendLeavesTheOldFileOrTheOldFilePlusTheWholeCutout) {
    TempDir dir;
    const std::string old = Pattern(5000, 1);
    const std::string cutout = Pattern(600 * 1000, 2);  // ten 64 KiB flushes and more
    const std::string target = dir.WriteText("run.sig", old);
    // One append left to finish shows how long one takes here (the syncs
    // cost what the disk makes them cost); the kills then land anywhere from
    // before the journal to after the commit.
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t whole = ::fork();
    ASSERT_GE(whole, 0);
    if (whole == 0) AppendInChild(target, cutout, 7001, 150);
    Wait(whole);
    const auto took =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    ASSERT_EQ(ReadText(target), old + cutout);
    std::mt19937 random(27);
    int killedMidway = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const std::string before = ReadText(target);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) AppendInChild(target, cutout, 7001, 150);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (took * 6 / 5 + 1)));
        ::kill(child, SIGKILL);
        Wait(child);
        const std::size_t left = ReadText(target).size();
        if (left > before.size() && left < before.size() + cutout.size()) ++killedMidway;
        // The next open finishes the job: a reader in even rounds, the next
        // append (then abandoned) in odd ones.
        if (round % 2 == 0) {
            RollBackUnfinishedAppend(target);
        } else {
            AppendWriter next;
            ASSERT_TRUE(next.Open(target)) << next.Error();
            EXPECT_TRUE(next.Abandon());
        }
        const std::string after = ReadText(target);
        EXPECT_TRUE(after == before || after == before + cutout)
            << "length " << after.size() << " from " << before.size();
    }
    // Rounds that left a part behind are the ones that matter; there must
    // have been some.
    EXPECT_GT(killedMidway, 0);
    // A kill while the journal itself was being written leaves its
    // temporary, which the next append clears away.
    AppendWriter last;
    ASSERT_TRUE(last.Open(target));
    EXPECT_TRUE(last.Abandon());
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(AppendWriter, ConcurrentAppendsFollowOneAnotherWhole) {
    TempDir dir;
    const std::string old = "head";
    const std::string target = dir.WriteText("run.sig", old);
    constexpr int kWriters = 4;
    std::array<std::string, kWriters> pieces;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int k = 0; k < kWriters; ++k) {
        // Odd sizes in small pieces: without the lock, flushes of 64 KiB from
        // the four would interleave.
        pieces[static_cast<std::size_t>(k)] =
            Pattern(300001 + static_cast<std::size_t>(k), 10u + static_cast<unsigned>(k));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(start[1]);
            char go = 0;
            if (::read(start[0], &go, 1) < 0) ::_exit(4);  // end of file: go
            AppendInChild(target, pieces[static_cast<std::size_t>(k)], 4099, 200);
        }
        children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);  // everyone starts at once
    for (const pid_t child : children) {
        const int status = Wait(child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string all = ReadText(target);
    ASSERT_EQ(all.substr(0, old.size()), old);
    std::size_t at = old.size();
    std::set<int> seen;
    while (at < all.size()) {
        int which = -1;
        for (int k = 0; k < kWriters; ++k) {
            const std::string& p = pieces[static_cast<std::size_t>(k)];
            if (all.compare(at, p.size(), p) == 0) which = k;
        }
        ASSERT_GE(which, 0) << "torn at byte " << at;
        EXPECT_TRUE(seen.insert(which).second);
        at += pieces[static_cast<std::size_t>(which)].size();
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters));
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(AppendWriter, AFailingWriterNeverShortensWhatAnotherWrote) {
    TempDir dir;
    const std::string old = Pattern(1000, 3);
    const std::string first = Pattern(200000, 4);
    const std::string target = dir.WriteText("run.sig", old);
    int held[2];
    ASSERT_EQ(::pipe(held), 0);
    // The first writer holds the file for a while and commits.
    const pid_t a = ::fork();
    ASSERT_GE(a, 0);
    if (a == 0) AppendInChild(target, first, 10000, 5000, held[1]);
    char c = 0;
    ASSERT_EQ(::read(held[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    // The second opens meanwhile, writes slowly and runs into a full disk
    // after the first has committed: it must have waited for the first, and
    // cut back only to what it found once it had the file.
    const pid_t b = ::fork();
    ASSERT_GE(b, 0);
    if (b == 0) {
        test::FileSizeLimit limit(old.size() + first.size() + 100000);
        AppendInChild(target, Pattern(400000, 5), 65536, 20000);
    }
    const int sa = Wait(a), sb = Wait(b);
    ::close(held[0]);
    ::close(held[1]);
    EXPECT_TRUE(WIFEXITED(sa) && WEXITSTATUS(sa) == 0);
    EXPECT_TRUE(WIFEXITED(sb) && WEXITSTATUS(sb) == 1);
    const std::string after = ReadText(target);
    EXPECT_EQ(after.size(), old.size() + first.size());
    EXPECT_TRUE(after == old + first);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(AppendWriter, ASaveOverTheFileWaitsForARunningAppend) {
    TempDir dir;
    const std::string target = dir.WriteText("run.sig", "old");
    int held[2], go[2], done[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AppendWriter w;
        const char c = w.Open(target) && w.Write(Pattern(1000, 8)) ? 'y' : 'n';
        char g = 0;
        if (::write(held[1], &c, 1) != 1 || ::read(go[0], &g, 1) != 1) ::_exit(3);
        const char d = w.Commit() ? 'c' : 'f';
        ::_exit(::write(done[1], &d, 1) == 1 ? 0 : 3);
    }
    char c = 0;
    ASSERT_EQ(::read(held[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    // The save runs beside the held append and must not finish before it.
    std::atomic<bool> saved{false};
    bool ok = false;
    std::thread save([&] {
        ok = WriteWholeFile(target, "new");
        saved = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(saved.load());
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    save.join();
    EXPECT_TRUE(ok);
    char d = 0;
    EXPECT_EQ(::read(done[0], &d, 1), 1);
    EXPECT_EQ(d, 'c');
    Wait(child);
    // The append went into the old file while that was still the file.
    EXPECT_EQ(ReadText(target), "new");
    for (int fd : {held[0], held[1], go[0], go[1], done[0], done[1]}) ::close(fd);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

// A journal as a killed writer leaves it, written here by hand.
void WriteJournal(const std::string& target, uint64_t length, uint64_t inodeDelta = 0) {
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    const std::string text = "KORU APPEND 1\nlength " + std::to_string(length) + "\ndevice " +
                             std::to_string(st.st_dev) + "\ninode " +
                             std::to_string(st.st_ino + inodeDelta) + "\n";
    std::ofstream(target + ".appending", std::ios::binary) << text;
}

TEST(AppendWriter, AJournalLeftBehindIsRolledBackOnlyWhenItIsAboutThisFile) {
    struct Case {
        const char* what;
        uint64_t length;
        uint64_t inodeDelta;
        std::size_t kept;  // bytes of the 100 left afterwards
        bool rolled;
    };
    const Case cases[] = {
        {"a killed append", 40, 0, 40, true},
        {"a journal about a file since saved over", 40, 1, 100, false},
        {"a file someone shortened since", 400, 0, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string content = Pattern(100, 6);
        const std::string target = dir.WriteText("run.sig", content);
        WriteJournal(target, c.length, c.inodeDelta);
        EXPECT_EQ(RollBackUnfinishedAppend(target), c.rolled);
        EXPECT_EQ(ReadText(target), content.substr(0, c.kept));
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
    }
    // Not a journal of ours: it goes, the file stays.
    TempDir dir;
    const std::string target = dir.WriteText("run.sig", "content");
    dir.WriteText("run.sig.appending", "length 2\n");
    EXPECT_FALSE(RollBackUnfinishedAppend(target));
    EXPECT_EQ(ReadText(target), "content");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(AppendWriter, AReaderLeavesARunningAppendAlone) {
    TempDir dir;
    const std::string target = dir.WriteText("run.sig", "head");
    AppendWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write(Pattern(100000, 7)));
    const std::string during = ReadText(target);
    EXPECT_FALSE(RollBackUnfinishedAppend(target));
    EXPECT_TRUE(ReadText(target) == during);
    EXPECT_TRUE(std::filesystem::exists(target + ".appending"));
    ASSERT_TRUE(w.Commit());
    EXPECT_TRUE(ReadText(target) == "head" + Pattern(100000, 7));
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(Writers, AWriteProtectedFileIsRefusedAndLeftAsItWas) {
    TempDir dir;
    const std::string target = dir.WriteText("run.sig", "protected");
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    // The bits alone decide for the superuser too, who may write anything.
    EXPECT_TRUE(IsWriteProtected(target));
    EXPECT_FALSE(IsWriteProtected(dir.File("missing.sig")));

    FileWriter whole;
    EXPECT_FALSE(whole.Open(target));
    EXPECT_EQ(whole.Error(), kWriteProtectedWords);
    std::string error;
    EXPECT_FALSE(WriteWholeFile(target, "new", &error));
    EXPECT_EQ(error, kWriteProtectedWords);
    AppendWriter append;
    EXPECT_FALSE(append.Open(target));
    EXPECT_EQ(append.Error(), kWriteProtectedWords);

    EXPECT_EQ(ReadText(target), "protected");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"run.sig"});
}

TEST(FileWriter, RemovesTheTemporariesOfKilledWritersOfTheSameTarget) {
    TempDir dir;
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) ::_exit(0);
    Wait(gone);  // a process id nobody has now
    const std::string dead = "run.sig.tmp" + std::to_string(gone) + "-4";
    const std::string mine = "run.sig.tmp" + std::to_string(::getpid()) + "-999999";
    const std::string init = "run.sig.tmp1-0";  // process 1 is always there
    const std::string other = "other.sig.tmp" + std::to_string(gone) + "-4";
    const std::string unlike = "run.sig.tmp" + std::to_string(gone) + "-x";
    for (const std::string& name : {dead, mine, init, other, unlike}) dir.WriteText(name, "part");
    ASSERT_TRUE(WriteWholeFile(dir.File("run.sig"), "new"));
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"run.sig", mine, init, other, unlike}));
    EXPECT_EQ(ReadText(dir.File("run.sig")), "new");
}

}  // namespace
}  // namespace koru
