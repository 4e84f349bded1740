#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace koru {
namespace {

TEST(SettingsPaths, FilesSitBesideTheExecutableUnderItsBaseName) {
    const ProgramPaths p = ResolveProgramPaths("/opt/koru/bin/koruview", nullptr);
    EXPECT_EQ(p.directory, "/opt/koru/bin");
    EXPECT_EQ(p.baseName, "koruview");
    EXPECT_EQ(p.settingsFile, "/opt/koru/bin/koruview.INI");
    EXPECT_EQ(p.helpFile, "/opt/koru/bin/koruview.html");

    const ProgramPaths renamed = ResolveProgramPaths("/usr/bin/kv.2.exe", "");
    EXPECT_EQ(renamed.settingsFile, "/usr/bin/kv.2.INI");
    EXPECT_EQ(ResolveProgramPaths("/koruview", nullptr).settingsFile, "/koruview.INI");
}

TEST(SettingsPaths, HomeVariableChoosesTheDirectory) {
    const ProgramPaths p = ResolveProgramPaths("/usr/bin/koruview", "/home/u/koru//");
    EXPECT_EQ(p.directory, "/home/u/koru");
    EXPECT_EQ(p.settingsFile, "/home/u/koru/koruview.INI");
    EXPECT_EQ(ResolveProgramPaths("/usr/bin/koruview", "/").settingsFile, "/koruview.INI");
}

TEST(SettingsPaths, UnknownExecutableFallsBackToTheCurrentDirectory) {
    const ProgramPaths p = ResolveProgramPaths("", nullptr);
    EXPECT_EQ(p.baseName, "koruview");
    EXPECT_EQ(p.directory, std::filesystem::current_path().string());
}

TEST(SettingsPaths, BaseNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(BaseNameOf("/a.b/c.d.e"), "c.d");
    EXPECT_EQ(BaseNameOf("/a.b/plain"), "plain");
    EXPECT_EQ(BaseNameOf(".hidden"), ".hidden");
}

TEST(SettingsPaths, ExecutablePathNamesThisProgram) {
    const std::string self = ExecutablePath(nullptr);
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(std::filesystem::exists(self));
    EXPECT_EQ(BaseNameOf(self), "koru_core_tests");
}

}  // namespace
}  // namespace koru
