#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "app/ReadSettings.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::TempDir;

struct Start {
    Settings settings;
    ChannelModel channels;
    SettingsReadReport report;
};

Start StartUp(const TempDir& dir) {
    Start s;
    s.report = ReadSettings(dir.File("koruview.INI"), dir.path(), s.settings, s.channels);
    return s;
}

// A settings file that already carries a version, plus the given lines.
std::string Versioned(const TempDir& dir, const std::string& systemLines,
                      const std::string& rest = "") {
    return dir.WriteText("koruview.INI",
                         "[SYSTEM]\r\nVERSION=95.400\r\n" + systemLines + "\r\n" + rest);
}

TEST(ReadSettings, FirstStartCreatesTheUpgradedFileAndUsesIt) {
    TempDir dir;
    const Start s = StartUp(dir);
    EXPECT_TRUE(s.report.upgraded);
    EXPECT_FALSE(s.report.writeFailed);
    EXPECT_EQ(test::ReadText(dir.File("koruview.INI")),
              "[SYSTEM]\r\nVERSION=95.400\r\nUNITS=1\r\n\r\n[DEFAULT CONFIGURATION]\r\n"
              "CHAN1=1,1,9,5,0\r\nCHAN2=1,1,9,5,0\r\nCHAN3=3,2,10,5,0\r\nCHAN4=4,3,11,5,0\r\n"
              "CHAN5=13,4,12,5,1\r\nCHAN6=15,5,13,5,0\r\nCHAN7=14,6,9,5,0\r\n"
              "CHAN8=16,7,14,5,0\r\n");
    EXPECT_EQ(s.channels.current[1], (ChannelRecord{1, 1, 9, 5, 0}));
    EXPECT_EQ(s.channels.current[4], (ChannelRecord{13, 4, 12, 5, 1}));
    EXPECT_EQ(s.channels.LeadNameOf(s.channels.current[4]), "Atrial-Bi");
    EXPECT_EQ(s.settings.version, "95.400");

    // Compiled-in display settings.
    const Settings defaults;
    EXPECT_EQ(s.settings.background, defaults.background);
    EXPECT_EQ(s.settings.text, Rgb(255, 255, 255));
    EXPECT_EQ(s.settings.sigPath, "c:\\");
    EXPECT_EQ(s.settings.dots, 1);
    EXPECT_EQ(s.settings.fileMode, 0);
    EXPECT_EQ(s.settings.timeHacks, 1);
    EXPECT_EQ(s.settings.units, 1);  // a new settings file turns physical units on

    // The next start finds the version and changes nothing.
    const std::string before = test::ReadText(dir.File("koruview.INI"));
    EXPECT_FALSE(StartUp(dir).report.upgraded);
    EXPECT_EQ(test::ReadText(dir.File("koruview.INI")), before);
}

TEST(ReadSettings, VersionedFileWithoutDefaultsKeepsCompiledRecordsAndIsNotWritten) {
    TempDir dir;
    const std::string ini = Versioned(dir, "");
    dir.WriteText("old.cfg",
                  "1 1 9 5\n2 2 10 5\n3 3 11 5\n4 4 12 5\n"
                  "15 5 13 5\n16 6 9 5\n14 7 14 5\n14 8 14 5\n");
    struct stat before {};
    ASSERT_EQ(::stat(ini.c_str(), &before), 0);
    const Start s = StartUp(dir);
    EXPECT_FALSE(s.report.upgraded);
    EXPECT_EQ(s.channels.current, DefaultChannelConfig());
    struct stat after {};
    ASSERT_EQ(::stat(ini.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(test::ReadText(dir.File("old.cfg")).substr(0, 8), "1 1 9 5\n");  // not converted
}

TEST(ReadSettings, UpgradeAppendsTheMarkerFieldToStoredDefaultsAndConvertsCfgFiles) {
    TempDir dir;
    const std::string ini = dir.WriteText("koruview.INI",
                                          "[SYSTEM]\r\nDOTS=0\r\n"
                                          "[DEFAULT CONFIGURATION]\r\nCHAN3=7,3,2,5\r\n");
    const std::string cfg = dir.WriteText("mine.cfg",
                                          "9 1 1 1\n9 2 2 2\n9 3 3 3\n9 4 4 4\n"
                                          "9 5 5 5\n9 6 6 6\n9 7 7 7\n9 8 8 8\n");
    const Start s = StartUp(dir);
    EXPECT_TRUE(s.report.upgraded);
    EXPECT_EQ(s.report.cfgFiles.converted.size(), 1u);
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN3", "", 259), "7,3,2,5,0");
    EXPECT_EQ(s.channels.current[2], (ChannelRecord{7, 3, 2, 5, 0}));
    EXPECT_EQ(s.settings.dots, 0);
    EXPECT_EQ(test::ReadText(cfg).substr(0, 22), "9 1 1 1 0\r\n9 2 2 2 0\r\n");
}

// A damaged stored default (a CR and NULs inside its line) is upgraded like
// any other instead of failing the upgrade.
TEST(ReadSettings, UpgradeWritesDefaultsCutShortByDamage) {
    TempDir dir;
    const std::string ini =
        dir.WriteText("koruview.INI",
                      std::string("[DEFAULT CONFIGURATION]\r\nCHAN1=1,1,9,5\r\0\0CHAN2=x\r\n", 50));
    const Start s = StartUp(dir);
    EXPECT_TRUE(s.report.upgraded);
    EXPECT_FALSE(s.report.writeFailed);
    EXPECT_EQ(ProfileReadString(ini, "DEFAULT CONFIGURATION", "CHAN1", "", 259), "1,1,9,5,0");
    EXPECT_FALSE(StartUp(dir).report.upgraded);
}

TEST(ReadSettings, UnwritableSettingsFileIsReportedAndNothingIsConverted) {
    TempDir dir;
    ::mkdir(dir.File("koruview.INI").c_str(), 0700);  // a directory cannot be written as a file
    const std::string cfg = dir.WriteText("a.cfg",
                                          "1 1 1 1 2 2 2 2 3 3 3 3 4 4 4 4 "
                                          "5 5 5 5 6 6 6 6 7 7 7 7 8 8 8 8");
    const Start s = StartUp(dir);
    EXPECT_TRUE(s.report.writeFailed);
    EXPECT_EQ(s.channels.current, DefaultChannelConfig());
    EXPECT_EQ(s.settings.version, "ERROR");
    EXPECT_EQ(test::ReadText(cfg).substr(0, 8), "1 1 1 1 ");
}

TEST(ReadSettings, ColorsTakeANameAndKeepMissingComponents) {
    TempDir dir;
    Versioned(dir, "",
              "[COLORS]\r\nCOLOR2=Teal\r\nCOLOR3=Teal=0,128,128\r\nCOLOR4==1,,300\r\n"
              "COLOR5=Sea=7\r\nCOLOR6=A very long colour name=-1,2,3\r\n");
    const Start s = StartUp(dir);
    const ColorTable& c = s.channels.colors;
    EXPECT_EQ(c.Entry(2).Name, "Teal");
    EXPECT_EQ(c.Ref(2), Rgb(0, 128, 0));  // "Green" components kept
    EXPECT_EQ(c.Entry(3).Name, "Teal");
    EXPECT_EQ(c.Ref(3), Rgb(0, 128, 128));
    EXPECT_EQ(c.Entry(4).Name, "Red");   // empty name keeps the old one
    EXPECT_EQ(c.Ref(4), Rgb(1, 0, 44));  // missing green kept, blue cut to 8 bits
    EXPECT_EQ(c.Entry(5).Name, "Sea");
    EXPECT_EQ(c.Ref(5), Rgb(7, 0, 128));
    EXPECT_EQ(c.Entry(6).Name, "A very long col");
    EXPECT_EQ(c.Ref(6), Rgb(255, 2, 3));
    EXPECT_EQ(c.Entry(7).Name, "Lt. Gray");  // untouched entries keep the defaults
}

TEST(ReadSettings, DisplaySettingsFollowTheirParsingRules) {
    TempDir dir;
    Versioned(dir,
              "BACKGROUND=300,0,0\r\nTEXT=10,x,30\r\nDOTS=5\r\nMARKERS=0\r\nNAMES=junk\r\n"
              "PRINTFRAME=-3\r\nTIME RESOLUTION=1\r\n",
              "[LEAD NAMES]\r\nLEAD1=Lead One\r\nLEAD2=0123456789ABCDEFGH\r\n");
    const Start s = StartUp(dir);
    EXPECT_EQ(s.settings.background, Rgb(44, 0, 0));
    EXPECT_EQ(s.settings.text, Rgb(10, 255, 255));  // stops at "x"
    EXPECT_EQ(s.settings.dots, 1);
    EXPECT_EQ(s.settings.markers, 0);
    EXPECT_EQ(s.settings.names, 0);
    EXPECT_EQ(s.settings.printFrame, 1);
    EXPECT_EQ(s.settings.timeHacks, 1);
    EXPECT_EQ(s.settings.timeResolution, 1);
    EXPECT_EQ(s.channels.leadNames.Name(1), "Lead One");
    EXPECT_EQ(s.channels.leadNames.Name(2), "0123456789ABCDE");
    EXPECT_EQ(s.channels.leadNames.Name(3), "III");
}

TEST(ReadSettings, SigPathLosesOneTrailingSeparatorAndGainsOneAfterADrive) {
    EXPECT_EQ(NormalizeSigPath("c:"), "c:\\");
    EXPECT_EQ(NormalizeSigPath("e:\\"), "e:\\");
    EXPECT_EQ(NormalizeSigPath("d:\\signals\\"), "d:\\signals");
    EXPECT_EQ(NormalizeSigPath("/home/u/sig/"), "/home/u/sig");
    EXPECT_EQ(NormalizeSigPath("/home/u/sig//"), "/home/u/sig/");
    EXPECT_EQ(NormalizeSigPath("/"), "/");
    EXPECT_EQ(NormalizeSigPath(""), "");

    TempDir dir;
    Versioned(dir, "SIGPATH=d:\\signals\\\r\n");
    EXPECT_EQ(StartUp(dir).settings.sigPath, "d:\\signals");
}

TEST(ReadSettings, ChannelDefaultsAreParsedFieldByFieldAndKeptOutOfRange) {
    TempDir dir;
    Versioned(dir, "",
              "[DEFAULT CONFIGURATION]\r\nCHAN1=7,3,99,5,1\r\nCHAN2=5,x,1,1,1\r\n"
              "CHAN3=\r\nCHAN4=\"8,8,8,8,0\"\r\n");
    const Start s = StartUp(dir);
    EXPECT_EQ(s.channels.current[0], (ChannelRecord{7, 3, 99, 5, 1}));
    EXPECT_FALSE(IsDrawable(s.channels.current[0]));
    EXPECT_EQ(s.channels.current[1], (ChannelRecord{5, 2, 10, 5, 0}));
    EXPECT_EQ(s.channels.current[2], DefaultChannelConfig()[2]);
    EXPECT_EQ(s.channels.current[3], (ChannelRecord{8, 8, 8, 8, 0}));
}

TEST(ReadSettings, DamagedFilesLoadWithDefaults) {
    TempDir dir;
    std::string junk = "VERSION=1\r\n[SYSTEM\r\nDOTS=0\r\n\x01\x02\xfe\xff\r\n===\r\n";
    junk += std::string("[SYSTEM]\r\nVERSION=x\0y\r\nBACKGROUND=\xff\xfe\r\n", 38);
    for (int i = 0; i < 10000; ++i)
        junk += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    junk += "[DEFAULT CONFIGURATION]\r\nCHAN1=,,,\r\n";
    dir.WriteText("koruview.INI", junk);
    const Start s = StartUp(dir);
    EXPECT_FALSE(s.report.upgraded);
    EXPECT_EQ(s.settings.version, "x");
    EXPECT_EQ(s.settings.dots, 1);  // the line sat outside any [SYSTEM] section
    EXPECT_EQ(s.settings.background, Rgb(0, 0, 0));
    EXPECT_EQ(s.channels.current, DefaultChannelConfig());
}

TEST(ReadSettings, MakeDefaultThenLoadDefaultGivesTheSameConfiguration) {
    TempDir dir;
    const std::string ini = Versioned(dir, "");
    ChannelConfig working = DefaultChannelConfig();
    working[0] = ChannelRecord{19, 0, 15, 20, 1};
    working[7] = ChannelRecord{-1, 99, 3, 2, 1};
    ASSERT_TRUE(WriteDefaultConfig(ini, working));

    ChannelConfig loaded{};
    ReadDefaultConfig(ini, DefaultChannelConfig(), loaded);
    EXPECT_EQ(loaded, working);
    EXPECT_EQ(StartUp(dir).channels.current, working);  // and the next start uses it
}

TEST(ReadSettings, LoadDefaultFallsBackToCurrentFirstFourFields) {
    TempDir dir;
    const std::string ini = Versioned(dir, "", "[DEFAULT CONFIGURATION]\r\nCHAN2=6,6,6,6,1\r\n");
    ChannelConfig current = DefaultChannelConfig();
    current[0] = ChannelRecord{11, 2, 3, 4, 0};
    ChannelConfig working = DefaultChannelConfig();
    working[0].HasMarker = 1;
    ReadDefaultConfig(ini, current, working);
    EXPECT_EQ(working[0], (ChannelRecord{11, 2, 3, 4, 1}));
    EXPECT_EQ(working[1], (ChannelRecord{6, 6, 6, 6, 1}));
}

}  // namespace
}  // namespace koru
