// Readers stop at what they can use: a marker file after 2048 values, a
// ".cfg" after its numbers, and a settings file is read once per start and
// not at all when it is too large to be one. Gigabyte files are sparse so
// that they cost no disk; reading them runs once as it is and once in a
// child under an address-space limit that reading them whole would break.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/ReadSettings.h"
#include "app/StartUpSettings.h"
#include "platform/Profile.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;
using test::TempDir;

constexpr off_t kGigabyte = off_t{1} << 30;

// `text` followed by a hole up to `size` bytes.
std::string Sparse(const TempDir& dir, const std::string& name, const std::string& text,
                   off_t size) {
    const std::string path = dir.WriteText(name, text);
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool sized = fd >= 0 && ::ftruncate(fd, size) == 0;
    if (fd >= 0) ::close(fd);
    return sized ? path : std::string();
}

std::string Numbers(int from, int count) {
    std::string text;
    for (int i = from; i < from + count; ++i) text += std::to_string(i) + "\r\n";
    return text;
}

off_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Reads a gigabyte marker file, settings file and old ".cfg"; the first
// thing that went wrong, or "".
std::string ReadGigabyteFiles() {
    TempDir dir;
    // Markers: 3000 values, then a hole, which is no number.
    const std::string sig = dir.Write("rec.sig", test::SigFile(1, 1000, 5000));
    if (Sparse(dir, "rec.mrk", Numbers(1, 3000), kGigabyte).empty()) return "sparse marker file";
    test::ScriptedUi ui;
    SignalDocument doc;
    if (OpenSignalFile(doc, sig, ui) != OpenOutcome::Opened) return "recording opened";
    if (doc.Markers().items.size() != 2048 || doc.Markers().items.back() != 2048)
        return "2048 markers read";

    // A settings file of a gigabyte: not read, not written over.
    const std::string ini = Sparse(dir, "koruview.INI", "[SYSTEM]\r\nDOTS=0\r\n", kGigabyte);
    Settings settings;
    ChannelModel channels;
    const SettingsReadReport report = ReadSettings(ini, dir.path(), settings, channels);
    if (!report.tooLarge || report.upgraded || settings.dots != 1) return "large settings refused";
    if (SizeOf(ini) != kGigabyte) return "large settings left alone";

    // An old configuration of 32 numbers and a hole, met by a first start.
    TempDir fresh;
    const std::string cfg = Sparse(fresh, "old.cfg", Numbers(1, 32), kGigabyte);
    if (cfg.empty()) return "sparse cfg";
    const SettingsReadReport first =
        ReadSettings(fresh.File("koruview.INI"), fresh.path(), settings, channels);
    if (first.cfgFiles.converted.size() != 1 || SizeOf(cfg) > 200) return "old cfg converted";
    ChannelConfig config{};
    if (!LoadConfigFile(cfg, config) || config[7].DisplaySize != 32 || config[7].HasMarker != 0)
        return "converted cfg read back";
    return "";
}

TEST(BoundedReads, GigabyteMarkerSettingsAndConfigurationFilesAreReadOnlyAsFarAsUseful) {
    EXPECT_EQ(ReadGigabyteFiles(), "");
}

uint64_t AddressSpaceInUse() {
    unsigned long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

TEST(BoundedReads, TheSameFilesAreReadInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than any limit leaves";
#endif
    auto limited = [] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + (uint64_t{64} << 20);
        if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
        const std::string failed = ReadGigabyteFiles();
        if (!failed.empty()) std::fprintf(stderr, "failed: %s\n", failed.c_str());
        std::_Exit(failed.empty() ? 0 : 1);
    };
    EXPECT_EXIT(limited(), ::testing::ExitedWithCode(0), "");
}

// A settings file of just under or just over the limit.
std::string SettingsOfSize(const TempDir& dir, std::size_t size) {
    std::string text = "[SYSTEM]\r\nDOTS=0\r\n[PADDING]\r\n";
    while (text.size() + 12 <= size) text += "; padding\r\n";
    text.append(size - text.size(), ';');
    return dir.WriteText("koruview.INI", text);
}

TEST(BoundedReads, ASettingsFileOverOneMegabyteCountsAsMissingAndIsNeverWrittenOver) {
    TempDir dir;
    const std::string ini = SettingsOfSize(dir, kProfileMaxBytes + 1);
    const std::string before = ReadText(ini);
    dir.WriteText("old.cfg", Numbers(1, 32));
    Settings settings;
    ChannelModel channels;
    const SettingsReadReport report = ReadSettings(ini, dir.path(), settings, channels);
    EXPECT_TRUE(report.tooLarge);
    EXPECT_FALSE(report.upgraded);
    EXPECT_FALSE(report.writeFailed);
    EXPECT_TRUE(report.cfgFiles.converted.empty());
    EXPECT_EQ(settings.dots, 1);
    // The defaults of a first start with no file at all.
    EXPECT_EQ(channels.current[1], (ChannelRecord{1, 1, 9, 5, 0}));
    EXPECT_EQ(channels.current[4], (ChannelRecord{13, 4, 12, 5, 1}));
    EXPECT_EQ(ProfileReadString(ini, "SYSTEM", "DOTS", "none", 9), "none");
    EXPECT_FALSE(WriteDefaultConfig(ini, channels.current));
    EXPECT_FALSE(ProfileWriteString(ini, "SYSTEM", "DOTS", "1"));
    EXPECT_EQ(ReadText(ini), before);
    EXPECT_EQ(ReadText(dir.File("old.cfg")), Numbers(1, 32));

    const std::vector<std::string> warnings = StartUpWarnings(report, ini);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(ini), std::string::npos);
    EXPECT_NE(warnings[0].find("1 MB"), std::string::npos);

    // One megabyte is still a settings file.
    const std::string fits = SettingsOfSize(dir, kProfileMaxBytes);
    const SettingsReadReport read = ReadSettings(fits, dir.path(), settings, channels);
    EXPECT_FALSE(read.tooLarge);
    EXPECT_TRUE(read.upgraded);
    EXPECT_EQ(settings.dots, 0);
    EXPECT_TRUE(StartUpWarnings(read, fits).empty());
}

// Opens of the settings file and renames onto it while `work` runs.
struct FileEvents {
    int opens = 0;
    int replacements = 0;
};

template <typename Fn>
FileEvents Watch(const TempDir& dir, const std::string& name, Fn work) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const int file = ::inotify_add_watch(fd, dir.File(name).c_str(), IN_OPEN);
    ::inotify_add_watch(fd, dir.path().c_str(), IN_MOVED_TO);
    work();
    FileEvents seen;
    alignas(inotify_event) char buffer[8192];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->wd == file && (e->mask & IN_OPEN)) ++seen.opens;
            if ((e->mask & IN_MOVED_TO) && e->len > 0 && name == e->name) ++seen.replacements;
            p += sizeof(inotify_event) + e->len;
        }
    }
    ::close(fd);
    return seen;
}

TEST(BoundedReads, EachStartReadsTheSettingsFileOnceAndWritesItAtMostOnce) {
    TempDir dir;
    Settings settings;
    ChannelModel channels;
    const std::string ini = dir.WriteText("koruview.INI", "[SYSTEM]\r\nDOTS=0\r\n");
    const FileEvents first = Watch(dir, "koruview.INI", [&] {
        EXPECT_TRUE(ReadSettings(ini, dir.path(), settings, channels).upgraded);
    });
    EXPECT_EQ(first.opens, 1);
    EXPECT_EQ(first.replacements, 1);
    EXPECT_EQ(settings.dots, 0);

    const FileEvents later = Watch(dir, "koruview.INI", [&] {
        EXPECT_FALSE(ReadSettings(ini, dir.path(), settings, channels).upgraded);
    });
    EXPECT_EQ(later.opens, 1);
    EXPECT_EQ(later.replacements, 0);

    // "Make Default" is one replacement; "Load Default" one read.
    const FileEvents make = Watch(dir, "koruview.INI", [&] {
        channels.current[0].LeadName = 7;
        EXPECT_TRUE(WriteDefaultConfig(ini, channels.current));
    });
    EXPECT_EQ(make.replacements, 1);
    const FileEvents load = Watch(dir, "koruview.INI", [&] {
        ChannelConfig working{};
        ReadDefaultConfig(ini, channels.current, working);
        EXPECT_EQ(working[0].LeadName, 7);
    });
    EXPECT_EQ(load.opens, 1);
}

}  // namespace
}  // namespace koru
