#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"

namespace koru {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

PathEnvironment Home(const std::string& koruviewHome) {
    PathEnvironment env;
    env.koruviewHome = koruviewHome;
    return env;
}

// A prefix with bin/ and, when asked, share/koruview/ as an install makes it.
struct Prefix {
    explicit Prefix(bool withShare, const std::string& binName = "bin") {
        fs::create_directories(dir.File(binName));
        if (withShare) fs::create_directories(dir.File("share/koruview"));
        exe = dir.File(binName + "/koruview");
    }
    TempDir dir;
    std::string exe;
};

TEST(SettingsPaths, FilesSitBesideTheExecutableUnderItsBaseName) {
    const ProgramPaths p = ResolveProgramPaths("/opt/koru/bin/koruview", {});
    EXPECT_EQ(p.directory, "/opt/koru/bin");
    EXPECT_EQ(p.baseName, "koruview");
    EXPECT_EQ(p.settingsFile, "/opt/koru/bin/koruview.INI");
    EXPECT_EQ(p.helpFile, "/opt/koru/bin/koruview.html");
    EXPECT_EQ(p.place, SettingsPlace::ProgramDirectory);

    const ProgramPaths renamed = ResolveProgramPaths("/opt/kv/kv.2.exe", Home(""));
    EXPECT_EQ(renamed.settingsFile, "/opt/kv/kv.2.INI");
    EXPECT_EQ(ResolveProgramPaths("/koruview", {}).settingsFile, "/koruview.INI");
}

TEST(SettingsPaths, HomeVariableChoosesTheDirectory) {
    const ProgramPaths p = ResolveProgramPaths("/opt/koru/bin/koruview", Home("/home/u/koru//"));
    EXPECT_EQ(p.directory, "/home/u/koru");
    EXPECT_EQ(p.settingsFile, "/home/u/koru/koruview.INI");
    EXPECT_EQ(p.place, SettingsPlace::HomeVariable);
    // The guide ships with the program; the variable moves the settings only.
    EXPECT_EQ(p.helpFile, "/opt/koru/bin/koruview.html");
    EXPECT_EQ(ResolveProgramPaths("/opt/koru/bin/koruview", Home("/")).settingsFile,
              "/koruview.INI");
}

TEST(SettingsPaths, UnknownExecutableFallsBackToTheCurrentDirectory) {
    const ProgramPaths p = ResolveProgramPaths("", {});
    EXPECT_EQ(p.baseName, "koruview");
    EXPECT_EQ(p.directory, fs::current_path().string());
    EXPECT_FALSE(p.installed);
}

TEST(SettingsPaths, InstalledProgramKeepsSettingsInTheUserConfigFolder) {
    const Prefix prefix(true);
    PathEnvironment env;
    env.home = "/home/u";
    const ProgramPaths p = ResolveProgramPaths(prefix.exe, env);
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.place, SettingsPlace::UserConfig);
    EXPECT_EQ(p.settingsFile, "/home/u/.config/koruview/koruview.INI");
    EXPECT_EQ(p.helpFile, prefix.dir.File("share/doc/koruview/koruview.html"));

    env.xdgConfigHome = "/xdg/conf/";
    EXPECT_EQ(ResolveProgramPaths(prefix.exe, env).directory, "/xdg/conf/koruview");
    // A relative XDG_CONFIG_HOME is not to be used.
    env.xdgConfigHome = "conf";
    EXPECT_EQ(ResolveProgramPaths(prefix.exe, env).directory, "/home/u/.config/koruview");
    env.koruviewHome = "/portable";
    const ProgramPaths chosen = ResolveProgramPaths(prefix.exe, env);
    EXPECT_EQ(chosen.settingsFile, "/portable/koruview.INI");
    EXPECT_EQ(chosen.helpFile, p.helpFile);
}

TEST(SettingsPaths, OnlyTheFullLayoutCountsAsInstalled) {
    const Prefix noShare(false);
    EXPECT_FALSE(IsInstalledLayout(noShare.exe));
    const ProgramPaths p = ResolveProgramPaths(noShare.exe, {});
    EXPECT_EQ(p.directory, noShare.dir.File("bin"));
    EXPECT_EQ(p.helpFile, noShare.dir.File("bin/koruview.html"));

    const Prefix notBin(true, "build");
    EXPECT_FALSE(IsInstalledLayout(notBin.exe));
    EXPECT_FALSE(IsInstalledLayout(Prefix(true, "sbin").exe));
    EXPECT_TRUE(IsInstalledLayout(Prefix(true).exe));
    EXPECT_FALSE(IsInstalledLayout("koruview"));
}

TEST(SettingsPaths, UserConfigFolderIsMadeOnlyWhereItIsUsed) {
    const Prefix prefix(true);
    PathEnvironment env;
    env.home = prefix.dir.File("home");
    const ProgramPaths p = ResolveProgramPaths(prefix.exe, env);
    std::string error;
    ASSERT_TRUE(MakeSettingsFolder(p, &error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(p.directory.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(::stat(env.home.c_str(), &st), 0);
    EXPECT_TRUE(MakeSettingsFolder(p, &error));  // already there

    // The variable's folder and the program's are the user's business.
    const ProgramPaths elsewhere = ResolveProgramPaths(prefix.exe, Home(prefix.dir.File("none")));
    EXPECT_TRUE(MakeSettingsFolder(elsewhere, nullptr));
    EXPECT_FALSE(fs::exists(prefix.dir.File("none")));

    // A file where a folder should be is reported with its reason.
    TempDir blocked;
    blocked.WriteText(".config", "");
    env.home = blocked.path();
    EXPECT_FALSE(MakeSettingsFolder(ResolveProgramPaths(prefix.exe, env), &error));
    EXPECT_NE(error.find(blocked.File(".config")), std::string::npos) << error;
}

TEST(SettingsPaths, HelpTextNamesTheFolderInUseAndWhy) {
    const std::string text = DescribeProgramPaths(ResolveProgramPaths("/opt/k/bin/kv", Home("/h")));
    EXPECT_NE(text.find("Settings folder: /h\n"), std::string::npos) << text;
    EXPECT_NE(text.find("KORUVIEW_HOME"), std::string::npos) << text;
    EXPECT_NE(text.find("Help guide: /opt/k/bin/kv.html\n"), std::string::npos) << text;
}

TEST(SettingsPaths, BaseNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(BaseNameOf("/a.b/c.d.e"), "c.d");
    EXPECT_EQ(BaseNameOf("/a.b/plain"), "plain");
    EXPECT_EQ(BaseNameOf(".hidden"), ".hidden");
}

TEST(SettingsPaths, ExecutablePathNamesThisProgram) {
    const std::string self = ExecutablePath(nullptr);
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(fs::exists(self));
    EXPECT_EQ(BaseNameOf(self), "koru_core_tests");
}

}  // namespace
}  // namespace koru
