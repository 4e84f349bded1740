#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/AppendWriter.h"
#include "platform/FileWriter.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::FileSizeLimit;
using test::ReadText;
using test::TempDir;

// Bytes that differ by position and seed, so a dropped or reordered chunk shows.
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

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Chunk sizes around the writer's 64 KiB buffer: partial fills, exact fills,
// a large chunk into a part-filled buffer and one into an empty buffer.
const std::size_t kChunks[] = {1, 1000, 64 * 1024 - 1001, 64 * 1024, 0, 3, 200000, 65537, 17};

std::string WriteChunks(BufferedOutput& out) {
    std::string all;
    unsigned seed = 0;
    for (std::size_t n : kChunks) {
        const std::string chunk = Pattern(n, ++seed);
        EXPECT_TRUE(seed % 2 ? out.Write(chunk) : out.Write(chunk.data(), chunk.size()));
        all += chunk;
    }
    return all;
}

TEST(FileWriter, CommitReplacesTheTargetWithTheChunksInOrder) {
    TempDir dir;
    const std::string target = dir.WriteText("data.bin", "old");
    FileWriter w;
    ASSERT_TRUE(w.Open(target));
    const std::string expected = WriteChunks(w);
    EXPECT_EQ(ReadText(target), "old");       // untouched until Commit
    EXPECT_EQ(Names(dir.path()).size(), 2u);  // the temporary sits beside it
    ASSERT_TRUE(w.Commit(FileWriter::SyncFolder::Yes)) << w.Error();
    EXPECT_EQ(ReadText(target), expected);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"data.bin"});
    EXPECT_FALSE(w.Write("late"));
}

TEST(FileWriter, AbandonAndDestructionLeaveTheOldTargetAlone) {
    TempDir dir;
    const std::string old("keep\0me\r\n", 9);
    const std::string target = dir.WriteText("t.bin", old);
    {
        FileWriter w;
        ASSERT_TRUE(w.Open(target));
        WriteChunks(w);
        EXPECT_TRUE(w.Abandon());
        EXPECT_FALSE(w.Commit());
    }
    {
        FileWriter w;
        ASSERT_TRUE(w.Open(target));
        WriteChunks(w);
        FileWriter moved(std::move(w));  // the moved-from shell owns nothing
    }
    EXPECT_EQ(ReadText(target), old);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"t.bin"});
}

TEST(FileWriter, KeepsPermissionsOfAnOldTargetAndGivesANewOneTheUmask) {
    TempDir dir;
    const mode_t oldMask = ::umask(077);
    const std::string old = dir.WriteText("old.txt", "x");
    ::chmod(old.c_str(), 0664);
    ::umask(027);
    EXPECT_TRUE(WriteWholeFile(old, "y"));
    EXPECT_TRUE(WriteWholeFile(dir.File("new.txt"), "z"));
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(old), 0664u);
    EXPECT_EQ(ModeOf(dir.File("new.txt")), 0640u);
}

TEST(FileWriter, WritesThroughASymbolicLink) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    const std::string real = dir.WriteText("real/file.ini", "old");
    std::filesystem::create_symlink("real/file.ini", dir.File("link.ini"));
    FileWriter w;
    ASSERT_TRUE(w.Open(dir.File("link.ini")));
    EXPECT_TRUE(std::filesystem::equivalent(w.Target(), real));
    ASSERT_TRUE(w.Write("new") && w.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
    EXPECT_EQ(ReadText(real), "new");
    EXPECT_EQ(Names(dir.File("real")), std::set<std::string>{"file.ini"});
}

TEST(FileWriter, WritesThroughADanglingChainOfLinksAndFailsOnALoop) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    // outer -> real/inner (relative to outer's folder) -> new.ini (relative
    // to inner's folder), which does not exist yet.
    std::filesystem::create_symlink("new.ini", dir.File("real/inner"));
    std::filesystem::create_symlink("real/inner", dir.File("outer"));
    ASSERT_TRUE(WriteWholeFile(dir.File("outer"), "first"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("outer")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("real/inner")));
    EXPECT_EQ(ReadText(dir.File("real/new.ini")), "first");

    // A link into a folder that does not exist cannot be written through,
    // and is not replaced by a file either.
    std::filesystem::create_symlink("nowhere/x.ini", dir.File("lost"));
    EXPECT_FALSE(WriteWholeFile(dir.File("lost"), "x"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("lost")));

    std::filesystem::create_symlink("loop-b", dir.File("loop-a"));
    std::filesystem::create_symlink("loop-a", dir.File("loop-b"));
    std::string error;
    EXPECT_FALSE(WriteWholeFile(dir.File("loop-a"), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("loop-a")));
}

TEST(FileWriter, RefusesWhatCannotBeReplacedAndKeepsTheFirstReason) {
    TempDir dir;
    FileWriter w;
    EXPECT_FALSE(w.Open(dir.path()));
    EXPECT_EQ(w.Error(), std::strerror(EISDIR));
    EXPECT_FALSE(w.Write("x"));
    EXPECT_FALSE(w.Commit());
    EXPECT_EQ(w.Error(), std::strerror(EISDIR));

    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(w.Open(dir.File("pipe")));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe")));

    std::string error;
    EXPECT_FALSE(WriteWholeFile(dir.File("no/such.txt"), "x", &error));
    EXPECT_EQ(error, std::strerror(ENOENT));

    // A folder that appears where the file should go makes the rename fail.
    ASSERT_TRUE(w.Open(dir.File("late")));
    std::filesystem::create_directory(dir.File("late"));
    dir.WriteText("late/inside", "");
    EXPECT_FALSE(w.Write("x") && w.Commit());
    EXPECT_EQ(w.Error(), std::strerror(EISDIR));
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"late", "pipe"}));
}

TEST(FileWriter, AFailedWriteLosesNothingOfTheOldTarget) {
    TempDir dir;
    const std::string target = dir.WriteText("big.bin", "old");
    FileWriter w;
    ASSERT_TRUE(w.Open(target));
    {
        FileSizeLimit limit(100000);
        EXPECT_FALSE(w.Write(Pattern(300000, 1)));
        EXPECT_FALSE(w.Write("more"));
        EXPECT_FALSE(w.Commit());
    }
    EXPECT_EQ(w.Error(), std::strerror(EFBIG));
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"big.bin"});
}

TEST(AppendWriter, CommitAppendsAndAbandonCutsBackToTheOldLength) {
    TempDir dir;
    const std::string log = dir.WriteText("log.bin", "head");
    AppendWriter w;
    ASSERT_TRUE(w.Open(log));
    EXPECT_EQ(w.StartLength(), 4u);
    const std::string added = WriteChunks(w);
    ASSERT_TRUE(w.Commit()) << w.Error();
    EXPECT_EQ(ReadText(log), "head" + added);

    const std::string before = ReadText(log);
    ASSERT_TRUE(w.Open(log));
    WriteChunks(w);  // well past the buffer, so some of it reached the file
    EXPECT_TRUE(w.Abandon());
    EXPECT_EQ(ReadText(log), before);
    {
        AppendWriter dropped;
        ASSERT_TRUE(dropped.Open(log));
        WriteChunks(dropped);
    }
    EXPECT_EQ(ReadText(log), before);
}

TEST(AppendWriter, RefusesMissingAndIrregularFilesAndCutsBackAfterAFailure) {
    TempDir dir;
    AppendWriter w;
    EXPECT_FALSE(w.Open(dir.File("missing.log")));
    EXPECT_EQ(w.Error(), std::strerror(ENOENT));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.log")));
    EXPECT_FALSE(w.Open(dir.path()));
    EXPECT_EQ(w.Error(), std::strerror(EISDIR));
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(w.Open(dir.File("pipe")));
    EXPECT_FALSE(w.Error().empty());

    const std::string old = Pattern(1000, 9);
    const std::string log = dir.WriteText("log.bin", old);
    ASSERT_TRUE(w.Open(log));
    {
        FileSizeLimit limit(50000);
        EXPECT_FALSE(w.Write(Pattern(200000, 2)));
        EXPECT_FALSE(w.Commit());
    }
    EXPECT_EQ(w.Error(), std::strerror(EFBIG));
    EXPECT_EQ(ReadText(log), old);
}

}  // namespace
}  // namespace koru
