#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"

namespace koru {
namespace {

using test::TempDir;

std::string Read(const std::string& file, const char* section, const char* key,
                 std::size_t maxChars = 259) {
    return ProfileReadString(file, section, key, "DEF", maxChars);
}

TEST(ProfileRead, MissingFileSectionOrKeyGiveTheDefaultCutToTheBuffer) {
    TempDir dir;
    const std::string missing = dir.File("none.ini");
    EXPECT_EQ(ProfileReadString(missing, "S", "K", "fallback  ", 259), "fallback");
    EXPECT_EQ(ProfileReadString(missing, "S", "K", "fallback", 4), "fall");
    EXPECT_EQ(ProfileReadString(missing, "S", "K", "fallback", 0), "");

    const std::string ini = dir.WriteText("a.ini", "[S]\nK=1\n[T]\nOther=2\n");
    EXPECT_EQ(Read(ini, "X", "K"), "DEF");
    EXPECT_EQ(Read(ini, "T", "K"), "DEF");
    EXPECT_EQ(Read(ini, "S", "K"), "1");
}

TEST(ProfileRead, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini",
                                          "  [ System ]  \r\n"
                                          "  Time Hacks  =  on off  \r\n"
                                          "dq=\"quoted value\"\r\n"
                                          "sq='x'\r\n"
                                          "half=\"open\r\n"
                                          "mixed=\"a'\r\n"
                                          "empty=\r\n"
                                          "bare\r\n");
    EXPECT_EQ(Read(ini, "SYSTEM", "TIME HACKS"), "on off");
    EXPECT_EQ(Read(ini, "system", " time hacks "), "on off");
    EXPECT_EQ(Read(ini, "SYSTEM", "dq"), "quoted value");
    EXPECT_EQ(Read(ini, "SYSTEM", "sq"), "x");
    EXPECT_EQ(Read(ini, "SYSTEM", "half"), "\"open");
    EXPECT_EQ(Read(ini, "SYSTEM", "mixed"), "\"a'");
    EXPECT_EQ(Read(ini, "SYSTEM", "empty"), "");    // present but empty is not missing
    EXPECT_EQ(Read(ini, "SYSTEM", "bare"), "DEF");  // a key without "=" has no value
    EXPECT_EQ(Read(ini, "SYSTEM", "dq", 6), "quoted");
}

// A NUL or a stray CR inside a line ends the value; what is read can always
// be written back.
TEST(ProfileRead, ValuesEndAtANulOrAStrayCarriageReturn) {
    TempDir dir;
    const std::string ini = dir.WriteText(
        "a.ini", std::string("[S]\r\nnul=1,2 \r\0\0x=3\r\ncr=4,5\r6\r\nquoted=\"q \"\0\r\n", 45));
    for (const char* key : {"nul", "cr", "quoted"}) {
        const std::string value = Read(ini, "S", key);
        EXPECT_EQ(value.find_first_of(std::string("\r\n\0", 3)), std::string::npos) << key;
        EXPECT_TRUE(ProfileWriteString(ini, "S", key, value + "!")) << key;
        EXPECT_EQ(Read(ini, "S", key), value + "!") << key;
    }
    EXPECT_EQ(Read(ini, "S", "x"), "DEF");
}

TEST(ProfileRead, FirstSectionAndFirstKeyWinAndCommentsAreNotKeys) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini",
                                          "K=outside\n"
                                          "[S]\n"
                                          ";K=comment\n"
                                          "K=first\n"
                                          "k=second\n"
                                          "[s]\n"
                                          "K=other section\n"
                                          "L=only later\n");
    EXPECT_EQ(Read(ini, "S", "K"), "first");
    EXPECT_EQ(Read(ini, "S", "L"), "DEF");
    EXPECT_EQ(Read(ini, "S", ";K"), "DEF");
}

TEST(ProfileRead, HeaderWithoutClosingBracketOpensNoSection) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini", "[A]\nX=1\n[B\nY=2\n");
    EXPECT_EQ(Read(ini, "B", "Y"), "DEF");
    EXPECT_EQ(Read(ini, "A", "Y"), "2");  // still inside [A]
}

TEST(ProfileRead, GarbageBinaryAndHugeFilesReadWithoutHarm) {
    TempDir dir;
    std::string junk = "\xEF\xBB\xBF[S]\n\x01\x02\xff=\xfe\n===\n[\n]\n";
    junk += std::string("K=ab\0cd\n", 8);
    junk += "[]]]\nL=1\x1a\n";
    const std::string ini = dir.WriteText("junk.ini", junk);
    EXPECT_EQ(Read(ini, "S", "K"), "ab");  // a value ends at a NUL as in a C buffer
    EXPECT_EQ(Read(ini, "S", "missing"), "DEF");
    EXPECT_EQ(Read(ini, "]]", "L"), "1");  // the header runs to its last "]"

    std::string big = "[S]\r\n";
    for (int i = 0; i < 10000; ++i)
        big += "KEY" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    const std::string bigIni = dir.WriteText("big.ini", big);
    EXPECT_EQ(Read(bigIni, "S", "key9999"), "9999");
    EXPECT_EQ(ProfileReadInt(bigIni, "S", "KEY4321", -1), 4321);
}

TEST(ProfileReadInt, ReadsLeadingDecimalDigitsLikeTheWindowsFunction) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini",
                                          "[S]\nplain=5\nsigned= -12abc\nplus=+7\nword=on\n"
                                          "empty=\nwrap=4294967297\nneg=-1\n");
    EXPECT_EQ(ProfileReadInt(ini, "S", "plain", 9), 5);
    EXPECT_EQ(ProfileReadInt(ini, "S", "signed", 9), -12);
    EXPECT_EQ(ProfileReadInt(ini, "S", "plus", 9), 7);
    EXPECT_EQ(ProfileReadInt(ini, "S", "word", 9), 0);
    EXPECT_EQ(ProfileReadInt(ini, "S", "empty", 9), 9);
    EXPECT_EQ(ProfileReadInt(ini, "S", "missing", 9), 9);
    EXPECT_EQ(ProfileReadInt(ini, "S", "wrap", 9), 1);
    EXPECT_EQ(ProfileReadInt(ini, "S", "neg", 9), -1);
    EXPECT_EQ(ProfileReadInt(dir.File("nofile.ini"), "S", "plain", 3), 3);
}

TEST(ProfileWrite, CreatesTheFileWithCrLfLines) {
    TempDir dir;
    const std::string ini = dir.File("new.ini");
    ASSERT_TRUE(ProfileWriteString(ini, "SYSTEM", "VERSION", "95.400"));
    ASSERT_TRUE(ProfileWriteString(ini, "OTHER", "A", "  1"));
    ASSERT_TRUE(ProfileWriteString(ini, "system", "B", "2"));
    EXPECT_EQ(test::ReadText(ini), "[SYSTEM]\r\nVERSION=95.400\r\nB=2\r\n\r\n[OTHER]\r\nA=1\r\n");
    EXPECT_EQ(Read(ini, "OTHER", "A"), "1");
}

TEST(ProfileWrite, ChangesOnlyTheKeyAndKeepsEverythingElse) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini",
                                          "; settings\n"
                                          "[One]\n"
                                          "  Dots = 5 \n"
                                          "x=1\n"
                                          "\n"
                                          "[Two]\n"
                                          "dots=7\n");
    ASSERT_TRUE(ProfileWriteString(ini, "ONE", "DOTS", "0"));
    ASSERT_TRUE(ProfileWriteString(ini, "one", "new", "n"));
    EXPECT_EQ(test::ReadText(ini),
              "; settings\r\n[One]\r\nDots=0\r\nx=1\r\nnew=n\r\n\r\n[Two]\r\ndots=7\r\n");
}

TEST(ProfileWrite, SameValueDoesNotRewriteTheFile) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini", "[S]\nK=v\n");
    struct stat before {};
    ASSERT_EQ(::stat(ini.c_str(), &before), 0);
    ASSERT_TRUE(ProfileWriteString(ini, "s", "k", "v"));
    struct stat after {};
    ASSERT_EQ(::stat(ini.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(test::ReadText(ini), "[S]\nK=v\n");
}

TEST(ProfileWrite, RefusesBadArgumentsAndReportsUnwritableFiles) {
    TempDir dir;
    const std::string ini = dir.WriteText("a.ini", "[S]\r\nK=old\r\n");
    EXPECT_FALSE(ProfileWriteString(ini, "S", "K", "two\nlines"));
    EXPECT_FALSE(ProfileWriteString(ini, "", "K", "v"));
    EXPECT_FALSE(ProfileWriteString(ini, "S", " ", "v"));
    EXPECT_FALSE(ProfileWriteString(ini, "S", "a=b", "v"));
    EXPECT_FALSE(ProfileWriteString(dir.File("no/such/dir.ini"), "S", "K", "v"));
    EXPECT_FALSE(ProfileWriteString(dir.path(), "S", "K", "v"));  // a directory
    EXPECT_EQ(test::ReadText(ini), "[S]\r\nK=old\r\n");

    if (::geteuid() != 0) {  // root writes anywhere
        ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
        EXPECT_FALSE(ProfileWriteString(ini, "S", "K", "new"));
        ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
        EXPECT_EQ(test::ReadText(ini), "[S]\r\nK=old\r\n");
    }
    // No temporary file is left behind by any of the attempts.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(ProfileWrite, KeepsPermissionsAndWritesThroughLinks) {
    TempDir dir;
    const std::string real = dir.WriteText("real.ini", "[S]\nK=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(ProfileWriteString(link, "S", "K", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Read(real, "S", "K"), "2");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace koru
