#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/CfgFile.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::TempDir;

constexpr const char* kOldFile =
    "1 1 9 5\r\n2 2 10 5\r\n3 3 11 5\r\n4 4 12 5\r\n"
    "15 5 13 5\r\n16 6 9 5\r\n14 7 14 5\r\n14 8 14 5\r\n";
constexpr const char* kNewFile =
    "1 1 9 5 0\r\n2 2 10 5 0\r\n3 3 11 5 0\r\n4 4 12 5 0\r\n"
    "15 5 13 5 0\r\n16 6 9 5 0\r\n14 7 14 5 0\r\n14 8 14 5 0\r\n";

TEST(CfgFile, WritesEightCrLfLinesThatReadBackExactly) {
    TempDir dir;
    EXPECT_EQ(FormatConfigFile(DefaultChannelConfig()), kNewFile);

    ChannelConfig odd = DefaultChannelConfig();
    odd[3] = ChannelRecord{-7, 0, 99, 21, 2};
    const std::string path = dir.File("odd.cfg");
    ASSERT_TRUE(SaveConfigFile(path, odd));
    ChannelConfig back{};
    ASSERT_TRUE(LoadConfigFile(path, back));
    EXPECT_EQ(back, odd);
    EXPECT_FALSE(SaveConfigFile(dir.path(), odd));
    EXPECT_FALSE(LoadConfigFile(dir.File("missing.cfg"), back));
}

TEST(CfgFile, ReadsFortyNumbersWhateverTheLineLayout) {
    std::string oneLine, onePerLine;
    for (int i = 1; i <= 40; ++i) {
        oneLine += std::to_string(i) + " ";
        onePerLine += std::to_string(i) + "\n";
    }
    ChannelConfig a{}, b{};
    EXPECT_EQ(ParseConfigText(oneLine, a), 40);
    EXPECT_EQ(ParseConfigText(onePerLine, b), 40);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[7], (ChannelRecord{36, 37, 38, 39, 40}));
}

TEST(CfgFile, ShortOrBrokenFilesSetOnlyTheFieldsBeforeTheBreak) {
    ChannelConfig c = DefaultChannelConfig();
    EXPECT_EQ(ParseConfigText("", c), 0);
    EXPECT_EQ(c, DefaultChannelConfig());

    // An old four-number file read five at a time fills the first 32 fields.
    EXPECT_EQ(ParseConfigText(kOldFile, c), 32);
    EXPECT_EQ(c[0], (ChannelRecord{1, 1, 9, 5, 2}));
    EXPECT_EQ(c[6], (ChannelRecord{14, 5, 14, 5, 0}));  // last three fields kept
    EXPECT_EQ(c[7], DefaultChannelConfig()[7]);

    c = DefaultChannelConfig();
    EXPECT_EQ(ParseConfigText("3 4 x 6", c), 2);
    EXPECT_EQ(c[0], (ChannelRecord{3, 4, 9, 5, 0}));
}

TEST(CfgFile, LoadingReadsNumbersAcrossBlocksAndRefusesWhatIsNoFile) {
    TempDir dir;
    // Reading goes in 4 KiB blocks: a number, and a lone sign, on the edge.
    const std::string split = dir.WriteText("split.cfg", std::string(4093, ' ') + "12345\n7");
    const std::string sign = dir.WriteText("sign.cfg", std::string(4095, '\n') + "-6 x 8");
    std::string spaced;
    for (int i = 1; i <= 41; ++i) spaced += std::string(3000, ' ') + std::to_string(-i);
    const std::string far = dir.WriteText("far.cfg", spaced);

    ChannelConfig c = DefaultChannelConfig();
    ASSERT_TRUE(LoadConfigFile(split, c));
    EXPECT_EQ(c[0], (ChannelRecord{12345, 7, 9, 5, 0}));
    c = DefaultChannelConfig();
    ASSERT_TRUE(LoadConfigFile(sign, c));
    EXPECT_EQ(c[0], (ChannelRecord{-6, 1, 9, 5, 0}));
    ASSERT_TRUE(LoadConfigFile(far, c));
    EXPECT_EQ(c[0], (ChannelRecord{-1, -2, -3, -4, -5}));
    EXPECT_EQ(c[7], (ChannelRecord{-36, -37, -38, -39, -40}));

    // A pipe would block the open; it is refused like a missing file, and
    // nothing changes.
    ASSERT_EQ(::mkfifo(dir.File("pipe.cfg").c_str(), 0600), 0);
    const ChannelConfig before = c;
    EXPECT_FALSE(LoadConfigFile(dir.File("pipe.cfg"), c));
    EXPECT_FALSE(LoadConfigFile(dir.path(), c));
    EXPECT_EQ(c, before);
}

TEST(CfgFile, UpgradeRewritesOnlyOldFourNumberFiles) {
    TempDir dir;
    const std::string old = dir.WriteText("old.cfg", kOldFile);
    const std::string oldLf = dir.WriteText("UPPER.CFG",
                                            "7 3 2 5\n1 1 1 1\n2 2 2 2\n3 3 3 3\n"
                                            "4 4 4 4\n5 5 5 5\n6 6 6 6\n-8 8 8 8\n");
    const std::string current = dir.WriteText("new.cfg", kNewFile);
    const std::string notes = dir.WriteText("notes.cfg", "not a configuration\n");
    const std::string wrongExt = dir.WriteText("old.txt", kOldFile);
    std::filesystem::create_directory(dir.File("folder.cfg"));
    std::filesystem::create_symlink(wrongExt, dir.File("link.cfg"));

    // A left-out file is not even rewritten with the same bytes.
    const auto currentTime = std::filesystem::last_write_time(current);
    const auto notesTime = std::filesystem::last_write_time(notes);

    const CfgUpgradeResult r = UpgradeOldConfigFiles(dir.path());
    EXPECT_EQ(r.converted.size(), 2u);
    EXPECT_EQ(std::filesystem::last_write_time(current), currentTime);
    EXPECT_EQ(std::filesystem::last_write_time(notes), notesTime);
    EXPECT_TRUE(r.failed.empty());
    EXPECT_EQ(test::ReadText(old), kNewFile);
    EXPECT_EQ(test::ReadText(oldLf),
              "7 3 2 5 0\r\n1 1 1 1 0\r\n2 2 2 2 0\r\n3 3 3 3 0\r\n"
              "4 4 4 4 0\r\n5 5 5 5 0\r\n6 6 6 6 0\r\n-8 8 8 8 0\r\n");
    EXPECT_EQ(test::ReadText(current), kNewFile);
    EXPECT_EQ(test::ReadText(notes), "not a configuration\n");
    EXPECT_EQ(test::ReadText(wrongExt), kOldFile);

    // A second run finds nothing left to convert.
    EXPECT_TRUE(UpgradeOldConfigFiles(dir.path()).converted.empty());
    EXPECT_TRUE(UpgradeOldConfigFiles(dir.File("missing")).converted.empty());
}

TEST(CfgFile, UpgradeReadsNumbersUpToTheFirstOtherItem) {
    TempDir dir;
    const std::string dosEof = dir.WriteText("doseof.cfg", std::string(kOldFile) + "\x1a");
    const std::string blanks = dir.WriteText("blanks.cfg", std::string(kOldFile) + "\r\n\r\n\n");
    const std::string noted = dir.WriteText("noted.cfg", std::string(kOldFile) + "saved 1995\r\n");
    const std::string converted =
        dir.WriteText("converted.cfg", std::string(kNewFile) + "\x1a\r\n");
    std::string moreText = kOldFile;
    moreText += "9\r\n";
    const std::string more = dir.WriteText("more.cfg", moreText);
    std::string fewerText = kOldFile;
    fewerText.resize(fewerText.rfind(' '));  // 31 numbers
    const std::string fewer = dir.WriteText("fewer.cfg", fewerText);
    std::string manyText;
    for (int i = 0; i < 48; ++i) manyText += "1 ";
    const std::string many = dir.WriteText("many.cfg", manyText);

    const CfgUpgradeResult r = UpgradeOldConfigFiles(dir.path());
    EXPECT_EQ(r.converted, (std::vector<std::string>{blanks, dosEof, noted}));
    for (const std::string& p : {dosEof, blanks, noted}) EXPECT_EQ(test::ReadText(p), kNewFile);
    EXPECT_EQ(test::ReadText(converted), std::string(kNewFile) + "\x1a\r\n");
    EXPECT_EQ(test::ReadText(more), moreText);
    EXPECT_EQ(test::ReadText(fewer), fewerText);
    EXPECT_EQ(test::ReadText(many), manyText);
}

}  // namespace
}  // namespace koru
