// Pipes, folders and devices where the program expects a file: each reader
// refuses them at once. A reader that waited on a pipe would hang the test,
// so every call runs against a watchdog that, after a timeout, opens the
// pipe's other end to free the reader and fails the test instead.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "app/ReadSettings.h"
#include "app/Session.h"
#include "config/CfgFile.h"
#include "export/TextConvert.h"
#include "platform/Profile.h"
#include "signal/MarkerFile.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ScriptedUi;
using test::TempDir;

// Runs `work` and returns its result; if it has not returned within two
// seconds it is taken to be blocked on `pipe`, which is then opened for
// writing and closed so the reader sees its end.
template <typename Fn>
auto WithinTimeout(const std::string& pipe, Fn work) {
    auto result = std::async(std::launch::async, work);
    if (result.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
        ADD_FAILURE() << "blocked on " << pipe;
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    return result.get();
}

std::string MakeFifo(const TempDir& dir, const std::string& name) {
    const std::string path = dir.File(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}

TEST(SpecialFiles, ARecordingThatIsAPipeFolderOrDeviceCannotBeOpened) {
    TempDir dir;
    const std::string pipe = MakeFifo(dir, "pipe.sig");
    std::filesystem::create_directory(dir.File("folder.sig"));
    for (const std::string& path : {pipe, dir.File("folder.sig"), std::string("/dev/zero")}) {
        ScriptedUi ui;
        SignalDocument doc;
        const OpenOutcome outcome =
            WithinTimeout(pipe, [&] { return OpenSignalFile(doc, path, ui); });
        EXPECT_NE(outcome, OpenOutcome::Opened) << path;
        EXPECT_FALSE(doc.IsOpen()) << path;
        ASSERT_EQ(ui.messages.size(), 1u) << path;
        EXPECT_NE(ui.messages[0].text.find("Cannot open file"), std::string::npos) << path;
    }
}

TEST(SpecialFiles, AMarkerFileThatIsAPipeOrFolderCountsAsMissing) {
    TempDir dir;
    const std::string pipe = MakeFifo(dir, "a.mrk");
    std::filesystem::create_directory(dir.File("b.mrk"));
    for (const char* name : {"a.sig", "b.sig"}) {
        ScriptedUi ui;
        SignalDocument doc;
        const std::string sig = dir.Write(name, test::SigFile(1, 1000, 100));
        EXPECT_EQ(WithinTimeout(pipe, [&] { return OpenSignalFile(doc, sig, ui); }),
                  OpenOutcome::Opened);
        EXPECT_FALSE(doc.Markers().loaded) << name;
        EXPECT_TRUE(doc.Markers().items.empty()) << name;
        EXPECT_TRUE(ui.messages.empty()) << name;
    }
}

TEST(SpecialFiles, ASettingsFileThatIsAPipeIsNeitherReadNorReplaced) {
    TempDir dir;
    const std::string pipe = MakeFifo(dir, "koruview.INI");
    EXPECT_EQ(WithinTimeout(
                  pipe, [&] { return ProfileReadString(pipe, "SYSTEM", "VERSION", "none", 79); }),
              "none");
    Settings settings;
    ChannelModel channels;
    const SettingsReadReport report =
        WithinTimeout(pipe, [&] { return ReadSettings(pipe, dir.path(), settings, channels); });
    EXPECT_TRUE(report.writeFailed);
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST(SpecialFiles, OldConfigurationsAndTextToConvertRefusePipes) {
    TempDir dir;
    const std::string cfg = MakeFifo(dir, "old.cfg");
    ChannelConfig config{};
    const ChannelConfig before = config;
    EXPECT_FALSE(WithinTimeout(cfg, [&] { return LoadConfigFile(cfg, config); }));
    EXPECT_EQ(config, before);
    EXPECT_TRUE(
        WithinTimeout(cfg, [&] { return UpgradeOldConfigFiles(dir.path()); }).converted.empty());

    const std::string text = MakeFifo(dir, "in.txt");
    ScriptedUi ui;
    const ConvertResult r =
        WithinTimeout(text, [&] { return ConvertTextFile(text, dir.File("out.sig"), ui); });
    EXPECT_EQ(r.outcome, ConvertResult::Outcome::Failed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error opening text file.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.sig")));
}

}  // namespace
}  // namespace koru
