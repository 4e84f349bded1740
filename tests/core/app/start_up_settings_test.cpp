#include <gtest/gtest.h>

#include <filesystem>

#include "app/StartUpSettings.h"
#include "platform/Profile.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// An installed program's first start: settings appear in the user's config
// folder, made for it, and nothing is written beside the program.
TEST(StartUpSettings, InstalledFirstStartWritesOnlyIntoTheUserConfigFolder) {
    TempDir root;
    fs::create_directories(root.File("usr/bin"));
    fs::create_directories(root.File("usr/share/koruview"));
    PathEnvironment env;
    env.home = root.File("home/u");
    const ProgramPaths paths = ResolveProgramPaths(root.File("usr/bin/koruview"), env);

    test::ScriptedUi ui;
    Session session(ui);
    const SettingsReadReport report = LoadStartUpSettings(session, paths);
    EXPECT_TRUE(report.upgraded);
    EXPECT_FALSE(report.writeFailed);
    const std::string ini = root.File("home/u/.config/koruview/koruview.INI");
    EXPECT_EQ(session.settingsPath(), ini);
    EXPECT_EQ(session.programDir(), root.File("home/u/.config/koruview"));
    EXPECT_EQ(ProfileReadString(ini, "SYSTEM", "VERSION", "", 259), "95.400");
    EXPECT_TRUE(fs::is_empty(root.File("usr/bin")));

    // The second start finds its version and writes nothing more.
    Session again(ui);
    EXPECT_FALSE(LoadStartUpSettings(again, paths).upgraded);
}

TEST(StartUpSettings, AFolderThatCannotBeMadeCountsAsAFailedWrite) {
    TempDir root;
    fs::create_directories(root.File("bin"));
    fs::create_directories(root.File("share/koruview"));
    root.WriteText("home", "not a folder");
    PathEnvironment env;
    env.home = root.File("home");
    test::ScriptedUi ui;
    Session session(ui);
    EXPECT_TRUE(LoadStartUpSettings(session, ResolveProgramPaths(root.File("bin/koruview"), env))
                    .writeFailed);
    EXPECT_TRUE(fs::is_empty(root.File("bin")));
}

// Run from a build tree the settings stay beside the program, as before.
TEST(StartUpSettings, BuildTreeKeepsTheSettingsBesideTheProgram) {
    TempDir tree;
    test::ScriptedUi ui;
    Session session(ui);
    const ProgramPaths paths = ResolveProgramPaths(tree.File("koruview"), {});
    EXPECT_FALSE(LoadStartUpSettings(session, paths).writeFailed);
    EXPECT_TRUE(fs::exists(tree.File("koruview.INI")));
    EXPECT_EQ(session.helpPath(), tree.File("koruview.html"));
}

}  // namespace
}  // namespace koru
