// GDF and SCP-ECG through the reader process, where no independent reader's
// values exist: the values are decoded from the file's bytes by hand here.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/ChildProcess.h"
#include "signal/ForeignSource.h"
#include "signal/LibrarySource.h"
#include "signal/LibrarySourceSession.h"
#include "support/PeerExpected.h"

namespace koru {
namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

// GDF 1.24, two uint16 signals of one sample a record, digital 0..1023 over
// -5..5 (header read by hand: 768 header bytes, 16040 records of 4 bytes).
// Read in parts, signal 1 came out 0 from frame 1024 on.
TEST(LibrarySourceTest, Gdf124ReadsEveryFrameAsStored) {
    const std::string path = test::kPeer + "/gdf/ch1undch2stoerung.gdf";
    const std::string file = Bytes(path);
    ASSERT_EQ(file.size(), 768u + 16040u * 4u);
    std::string error;
    const auto source = OpenForeignSource(path, error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->Signals().size(), 2u);
    const std::vector<std::vector<int16_t>> got = test::ReadAll(*source, {0, 1});
    const double step = 10.0 / 1023;
    for (std::size_t c = 0; c < 2; ++c) {
        const ForeignSignal& s = source->Signals()[c];
        ASSERT_EQ(got[c].size(), 16040u);
        int misses = 0, moving = 0, clipped = 0;
        for (std::size_t k = 0; k < got[c].size(); ++k) {
            const uint16_t digital = U16(file, 768 + 4 * k + 2 * c);
            moving += k >= 1024 && got[c][k] != got[c][k - 1];
            // Signal 2 ends in bytes far past its digital range (up to 51992):
            // those past 16 bits from physical zero show at the top, not wrapped.
            if (digital > 33000) {
                clipped += got[c][k] == INT16_MAX;
                continue;
            }
            const double want = -5 + digital * step;
            misses += std::abs(test::Physical(s, got[c][k], 1) - want) > test::Tolerance(s, step);
        }
        EXPECT_EQ(misses, 0) << "signal " << c;
        EXPECT_EQ(clipped, c == 0 ? 0 : 132) << "signal " << c;
        if (c == 0) {
            EXPECT_GT(moving, 1000) << "signal 1 flat past frame 1024";
        }
    }
}

// A file the library does not know is refused with the library's reason; a
// file whose first bytes are not what its name says never reaches it; a
// missing reader program is named.
TEST(LibrarySourceTest, RefusalsSayWhy) {
    std::string error;
    EXPECT_FALSE(OpenForeignSource(test::kPeer + "/scp/demodata_ECG_0_62.SCP", error));
    EXPECT_NE(error.find("Dataformat not known"), std::string::npos) << error;

    const std::string misnamed = testing::TempDir() + "/misnamed.gdf";
    std::ofstream(misnamed, std::ios::binary) << Bytes(test::kPeer + "/edf/edfdata.edf");
    EXPECT_FALSE(OpenForeignSource(misnamed, error));
    EXPECT_EQ(error, "The file does not start as its name says.");

    setenv("KORU_READER", "/nonexistent/koru-reader", 1);
    EXPECT_FALSE(OpenForeignSource(test::kPeer + "/gdf/test_1ch.gdf", error));
    unsetenv("KORU_READER");
    EXPECT_EQ(error, "The GDF reader (koru-reader) is not installed.");
}

constexpr uint64_t kNeverServed = UINT64_MAX;

// The indices of the signals at the first one's rate, at most eight: what
// a served request can carry.
std::vector<int> SameRateSignals(const ForeignSource& source) {
    std::vector<int> out;
    for (std::size_t i = 0; i < source.Signals().size() && out.size() < kFrameChannels; ++i)
        if (source.Signals()[i].rate == source.Signals()[0].rate)
            out.push_back(static_cast<int>(i));
    return out;
}

// Frames from `first` read in steps of `step` (so requests start and end
// inside records), as far as the source gives them.
std::vector<Frame> ReadInSteps(ForeignSource& source, int64_t first, int64_t last, std::size_t step,
                               std::string& error) {
    std::vector<Frame> out;
    std::vector<Frame> block(step);
    for (int64_t f = first; f < last;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(step), last - f));
        const std::size_t got = source.Read(f, want, block.data(), error);
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        if (got < want) break;
        f += static_cast<int64_t>(got);
    }
    return out;
}

// The served reader gives what the whole read gives (itself checked against
// independent readers elsewhere), for every peer GDF file, in steps that
// start mid-record and in ranges from the middle and the end.
TEST(LibrarySourceTest, ServedGdfReadsEqualTheWholeRead) {
    for (const char* name :
         {"Header3Tag1.gdf", "MI128.gdf", "alltypes.gdf", "biosig_t310_ERDSMaps_sample.gdf",
          "ch1undch2stoerung.gdf", "test_1ch.gdf"}) {
        SCOPED_TRACE(name);
        const std::string path = test::kPeer + "/gdf/" + name;
        std::string error;
        const auto whole = OpenLibraryRecording(path, error, kNeverServed);
        ASSERT_TRUE(whole) << error;
        const auto served = OpenLibraryRecording(path, error, 0);
        ASSERT_TRUE(served) << error;
        EXPECT_FALSE(whole->ReadsOnDemand());
        EXPECT_TRUE(served->ReadsOnDemand());
        ASSERT_EQ(served->Signals().size(), whole->Signals().size());
        const std::vector<int> picked = SameRateSignals(*whole);
        whole->Choose(picked);
        served->Choose(picked);
        const int64_t n = whole->FrameCount();
        ASSERT_EQ(served->FrameCount(), n);
        const std::vector<Frame> want = ReadInSteps(*whole, 0, n, 1 << 16, error);
        ASSERT_EQ(static_cast<int64_t>(want.size()), n) << error;
        std::vector<Frame> got = ReadInSteps(*served, 0, n, 777, error);
        EXPECT_TRUE(got == want) << error;
        for (const int64_t from : {n / 2 + 3, std::max<int64_t>(0, n - 5)}) {
            got = ReadInSteps(*served, from, n, 300, error);
            ASSERT_EQ(static_cast<int64_t>(got.size()), n - from) << error;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin() + from)) << from;
        }
        EXPECT_EQ(served->Annotations(), whole->Annotations());

        // The reader itself asked from inside a record (the source asks a
        // block at a time) gives the same values.
        LibrarySession session;
        LibraryStream stream;
        ASSERT_TRUE(session.Start(FindHelperProgram("koru-reader", "KORU_READER"), path, "GDF",
                                  10000, 10000, stream, error))
            << error;
        const std::vector<uint32_t> signals(picked.begin(), picked.end());
        const uint64_t from = static_cast<uint64_t>(n) / 3 + 1;
        std::vector<double> values;
        const uint64_t asked = std::min<uint64_t>(1001, static_cast<uint64_t>(n) - from);
        ASSERT_EQ(session.Fetch(signals, from, asked, values, error), asked) << error;
        int misses = 0;
        for (uint64_t k = 0; k < asked; ++k)
            for (std::size_t c = 0; c < signals.size(); ++c)
                misses += whole->Signals()[signals[c]].rule.Value(values[k * signals.size() + c]) !=
                          want[from + k][c];
        EXPECT_EQ(misses, 0);
    }
}

// The running reader processes of this test: children named koru-reader.
std::vector<pid_t> ReaderChildren() {
    std::vector<pid_t> out;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return out;
    while (const dirent* t = readdir(tasks)) {
        std::ifstream list(std::string("/proc/self/task/") + t->d_name + "/children");
        for (pid_t pid; list >> pid;) {
            std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
            std::string name;
            if (comm >> name && name == "koru-reader") out.push_back(pid);
        }
    }
    closedir(tasks);
    return out;
}

// A reader that dies mid-session fails the read it was on with a reason;
// the next read starts another on the same file (even with another file
// renamed over it since), a few times, then every read fails.
TEST(LibrarySourceTest, KilledReaderFailsOneReadThenIsStartedAgain) {
    const std::string path = testing::TempDir() + "/served.gdf";
    std::filesystem::copy_file(test::kPeer + "/gdf/MI128.gdf", path,
                               std::filesystem::copy_options::overwrite_existing);
    std::string error;
    const auto served = OpenLibraryRecording(path, error, 0);
    ASSERT_TRUE(served) << error;
    const auto whole = OpenLibraryRecording(test::kPeer + "/gdf/MI128.gdf", error, kNeverServed);
    ASSERT_TRUE(whole) << error;
    const std::string other = testing::TempDir() + "/other.gdf";
    std::ofstream(other, std::ios::binary) << Bytes(test::kPeer + "/gdf/test_1ch.gdf");
    ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
    std::vector<Frame> got(100), want(100);
    // Each round another signal, so that no kept block answers for the reader.
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        served->Choose({round});
        whole->Choose({round});
        ASSERT_EQ(whole->Read(40000, 100, want.data(), error), 100u);
        const std::vector<pid_t> readers = ReaderChildren();
        ASSERT_EQ(readers.size(), round < 4 ? 1u : 0u);
        if (round < 4) {
            ASSERT_EQ(kill(readers[0], SIGKILL), 0);
        }
        error.clear();
        EXPECT_EQ(served->Read(40000, 100, got.data(), error), 0u);
        EXPECT_EQ(error, "The GDF reader stopped while reading the file.");
        // Started again three times; after the fourth death, no more.
        error.clear();
        const std::size_t again = served->Read(40000, 100, got.data(), error);
        if (round < 3) {
            ASSERT_EQ(again, 100u) << error;
            EXPECT_TRUE(got == want);
        } else {
            EXPECT_EQ(again, 0u);
            EXPECT_EQ(error, "The GDF reader stopped while reading the file.");
        }
    }
    EXPECT_TRUE(ReaderChildren().empty()) << "the dead readers are reaped";
}

// A reader that stops answering is given up after the request's time and
// killed; the reads fail with a reason.
TEST(LibrarySourceTest, HungReaderIsGivenUp) {
    LibrarySession session;
    LibraryStream stream;
    std::string error;
    ASSERT_TRUE(session.Start(FindHelperProgram("koru-reader", "KORU_READER"),
                              test::kPeer + "/gdf/MI128.gdf", "GDF", 10000, 300, stream, error))
        << error;
    std::vector<double> values;
    ASSERT_EQ(session.Fetch({0}, 0, 10, values, error), 10u) << error;
    ASSERT_EQ(kill(session.Process(), SIGSTOP), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Fetch({0}, 100, 10, values, error), 0u);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(error, "The GDF reader ran out of time while reading the file.");
    EXPECT_EQ(session.Process(), -1);
    EXPECT_TRUE(ReaderChildren().empty());
    // The next request starts another.
    EXPECT_EQ(session.Fetch({0}, 100, 10, values, error), 10u) << error;
}

// GDF 1 gives the start as "YYYYMMDDhhmmsscc" at byte 168; GDF 2's files
// here leave it 0 (unknown). Read whole or served, the same start.
TEST(LibrarySourceTest, GdfStartComesFromTheHeader) {
    for (const char* name :
         {"biosig_t310_ERDSMaps_sample.gdf", "ch1undch2stoerung.gdf", "test_1ch.gdf"}) {
        SCOPED_TRACE(name);
        const std::string path = test::kPeer + "/gdf/" + name;
        const std::string file = Bytes(path);
        RecordingStart want;
        if (file.compare(0, 5, "GDF 1") == 0) {
            const auto part = [&](std::size_t at, std::size_t n) {
                return std::stoi(file.substr(168 + at, n));
            };
            want = {part(0, 4),  part(4, 2),  part(6, 2),         part(8, 2),
                    part(10, 2), part(12, 2), part(14, 2) * 10000};
        }
        for (const uint64_t serveFrom : {uint64_t{0}, kNeverServed}) {
            std::string error;
            const auto source = OpenLibraryRecording(path, error, serveFrom);
            ASSERT_TRUE(source) << error;
            const RecordingStart got = source->StartTime();
            EXPECT_EQ(got.HasDate(), want.HasDate());
            EXPECT_EQ(got.HasTime(), want.HasTime());
            if (!want.HasDate()) continue;
            EXPECT_EQ(std::vector<int>({got.year, got.month, got.day, got.hour, got.minute,
                                        got.second, got.micros}),
                      std::vector<int>({want.year, want.month, want.day, want.hour, want.minute,
                                        want.second, want.micros}));
        }
    }
}

uint32_t U32(const std::string& b, std::size_t at) {
    return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

// SCP-ECG's start, by hand: section 0's pointers (10 bytes each after its
// 16-byte header at byte 6) give section 1, whose tags (u8 tag, u16
// length, value) hold the date as tag 25 (u16 year, u8 month, u8 day) and
// the time as tag 26 (u8 hour, minute, second). A year past 9999 (a blanked
// date) leaves the start unknown.
RecordingStart ScpStart(const std::string& b) {
    std::size_t section1 = 0, length1 = 0;
    const std::size_t pointersEnd = 6 + U32(b, 6 + 4);
    for (std::size_t at = 6 + 16; at + 10 <= pointersEnd; at += 10)
        if (U16(b, at) == 1) {
            length1 = U32(b, at + 2);
            section1 = U32(b, at + 6) - 1;
        }
    RecordingStart s;
    for (std::size_t at = section1 + 16; length1 > 0 && at + 3 <= section1 + length1;) {
        const auto tag = static_cast<unsigned char>(b[at]);
        const std::size_t n = U16(b, at + 1);
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(b[at + 3 + k]); };
        if (tag == 25) s = {U16(b, at + 3), byte(2), byte(3), s.hour, s.minute, s.second, 0};
        if (tag == 26) {
            s.hour = byte(0);
            s.minute = byte(1);
            s.second = byte(2);
        }
        if (tag == 255) break;
        at += 3 + n;
    }
    return s.year > 9999 ? RecordingStart{} : s;
}

TEST(LibrarySourceTest, ScpStartComesFromSectionOne) {
    for (const char* name : {"ECG_20060620_112352_ANON000002.SCP", "examples_Example.scp",
                             "examples_demo.scp", "tools_0000050.ECG.scp"}) {
        SCOPED_TRACE(name);
        const std::string path = test::kPeer + "/scp/" + name;
        const RecordingStart want = ScpStart(Bytes(path));
        std::string error;
        const auto source = OpenForeignSource(path, error);
        ASSERT_TRUE(source) << error;
        const RecordingStart got = source->StartTime();
        EXPECT_EQ(got.HasDate(), want.HasDate());
        EXPECT_EQ(got.HasTime(), want.HasTime());
        EXPECT_EQ(std::vector<int>(
                      {got.year, got.month, got.day, got.hour, got.minute, got.second, got.micros}),
                  std::vector<int>({want.year, want.month, want.day, want.hour, want.minute,
                                    want.second, want.micros}));
    }
}

}  // namespace
}  // namespace koru
