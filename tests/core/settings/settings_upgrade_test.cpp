// The first-start upgrade as one atomic, locked read-modify-write: a failed
// write leaves the file for the next start to upgrade, and starts running at
// the same time neither lose nor repeat keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/ReadSettings.h"
#include "platform/Profile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;
using test::TempDir;

const char* const kOldFile =
    "[SYSTEM]\r\nDOTS=0\r\n\r\n[DEFAULT CONFIGURATION]\r\nCHAN1=2,1,9,5\r\nCHAN5=13,4,12,5\r\n";

const char* const kUpgradedDefaults =
    "[DEFAULT CONFIGURATION]\r\nCHAN1=1,1,9,5,0\r\nCHAN2=1,1,9,5,0\r\nCHAN3=3,2,10,5,0\r\n"
    "CHAN4=4,3,11,5,0\r\nCHAN5=13,4,12,5,1\r\nCHAN6=15,5,13,5,0\r\nCHAN7=14,6,9,5,0\r\n"
    "CHAN8=16,7,14,5,0\r\n";

SettingsReadReport Start(const TempDir& dir) {
    Settings settings;
    ChannelModel channels;
    return ReadSettings(dir.File("koruview.INI"), dir.path(), settings, channels);
}

// What the folder holds: the settings file and nothing beside it (no lock or
// temporary file) once every start and write is done.
std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SettingsUpgrade, AFailedWriteLeavesTheOldFileAndTheNextStartUpgradesIt) {
    TempDir dir;
    const std::string ini = dir.WriteText("koruview.INI", kOldFile);
    {
        // Room for the old file but not the upgraded one: a disk that fills.
        test::FileSizeLimit limit(std::string(kOldFile).size() + 20);
        EXPECT_TRUE(Start(dir).writeFailed);
    }
    EXPECT_EQ(ReadText(ini), kOldFile);

    const SettingsReadReport again = Start(dir);
    EXPECT_TRUE(again.upgraded);
    EXPECT_FALSE(again.writeFailed);
    EXPECT_EQ(ProfileReadString(ini, "SYSTEM", "VERSION", "", 79), "95.400");
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN1", "", 79), "2,1,9,5,0");
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN5", "", 79), "13,4,12,5,1");
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN8", "", 79), "16,7,14,5,0");
}

TEST(SettingsUpgrade, FourFirstStartsAtOnceUpgradeExactlyOnce) {
    for (int round = 0; round < 10; ++round) {
        TempDir dir;
        std::vector<SettingsReadReport> reports(4);
        std::vector<std::thread> starts;
        for (SettingsReadReport& r : reports) starts.emplace_back([&dir, &r] { r = Start(dir); });
        for (std::thread& t : starts) t.join();

        int upgrades = 0;
        for (const SettingsReadReport& r : reports) {
            EXPECT_FALSE(r.writeFailed);
            upgrades += r.upgraded ? 1 : 0;
        }
        EXPECT_EQ(upgrades, 1) << "round " << round;
        EXPECT_EQ(ReadText(dir.File("koruview.INI")),
                  std::string("[SYSTEM]\r\nVERSION=95.400\r\nUNITS=1\r\n\r\n") + kUpgradedDefaults)
            << "round " << round;
        EXPECT_EQ(Names(dir), std::vector<std::string>{"koruview.INI"});
    }
}

TEST(SettingsUpgrade, SeveralKeysAreWrittenTogetherOrNotAtAll) {
    TempDir dir;
    const std::string ini = dir.WriteText("s.ini", "[A]\r\nx=1\r\n");
    const std::vector<ProfileEntry> bad = {{"A", "x", "2"}, {"B", "y", "3"}, {"A", "", "4"}};
    EXPECT_FALSE(ProfileWriteStrings(ini, bad));
    EXPECT_EQ(ReadText(ini), "[A]\r\nx=1\r\n");

    const std::vector<ProfileEntry> good = {{"A", "x", "2"}, {"B", "y", "3"}, {"a", "z", " 4"}};
    EXPECT_TRUE(ProfileWriteStrings(ini, good));
    EXPECT_EQ(ReadText(ini), "[A]\r\nx=2\r\nz=4\r\n\r\n[B]\r\ny=3\r\n");

    // Concurrent single-key writers each keep their key.
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i) {
        writers.emplace_back([&ini, i] {
            const std::string key = "K" + std::to_string(i);
            EXPECT_TRUE(ProfileWriteString(ini, "C", key, std::to_string(i)));
        });
    }
    for (std::thread& t : writers) t.join();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ProfileReadString(ini, "C", "K" + std::to_string(i), "", 9), std::to_string(i));
    }
    EXPECT_EQ(Names(dir), std::vector<std::string>{"s.ini"});
}

TEST(SettingsUpgrade, MakeDefaultWritesAllEightChannelsInOneReplacement) {
    TempDir dir;
    const std::string ini = dir.WriteText("koruview.INI", kOldFile);
    ChannelConfig config{};
    for (std::size_t i = 0; i < config.size(); ++i) {
        config[i] = ChannelRecord{static_cast<int32_t>(i), 1, 2, 3, 1};
    }
    {
        test::FileSizeLimit limit(std::string(kOldFile).size() + 40);
        EXPECT_FALSE(WriteDefaultConfig(ini, config));
    }
    EXPECT_EQ(ReadText(ini), kOldFile);
    EXPECT_TRUE(WriteDefaultConfig(ini, config));
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN8", "", 79), "7,1,2,3,1");
}

TEST(SettingsUpgrade, ADanglingLinkAsTheSettingsFileIsWrittenThrough) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("conf"));
    std::filesystem::create_symlink("conf/settings.ini", dir.File("koruview.INI"));
    EXPECT_TRUE(Start(dir).upgraded);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("koruview.INI")));
    EXPECT_EQ(ReadText(dir.File("conf/settings.ini")),
              std::string("[SYSTEM]\r\nVERSION=95.400\r\nUNITS=1\r\n\r\n") + kUpgradedDefaults);
    EXPECT_FALSE(Start(dir).upgraded);  // the next start reads it through the link
}

}  // namespace
}  // namespace koru
