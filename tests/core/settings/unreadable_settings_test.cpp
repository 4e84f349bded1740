// A settings file the user may not read (left root-owned 0600 by a start as
// root) is warned about and left exactly as it is. The start runs in a child
// that cannot read it: a plain user makes its own file mode 0000; the
// superuser, whom no mode stops, drops to the unprivileged user "nobody" in
// the child. Either way the read really fails, so the case runs everywhere.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/ReadSettings.h"
#include "app/StartUpSettings.h"
#include "support/TempDir.h"

namespace koru {
namespace {

constexpr uid_t kNobody = 65534;

TEST(UnreadableSettings, AreWarnedAboutAndLeftAsTheyAre) {
    test::TempDir dir;
    // Open to everyone, so only the file's own mode keeps a writer out:
    // without the fix the start would replace it through the folder.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string text = "[SYSTEM]\r\nBACKGROUND=1,2,3\r\nSIGPATH=/data/runs\r\n";
    const std::string ini = dir.WriteText("koruview.INI", text);
    const bool root = ::geteuid() == 0;
    const mode_t mode = root ? 0600 : 0000;
    ASSERT_EQ(::chmod(ini.c_str(), mode), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(100);
        Settings settings;
        ChannelModel channels;
        const SettingsReadReport r = ReadSettings(ini, dir.path(), settings, channels);
        // What was read came from the defaults, not from the file.
        const bool defaults = settings.sigPath != "/data/runs";
        ::_exit((r.unreadable ? 1 : 0) | (r.upgraded ? 2 : 0) | (defaults ? 4 : 0));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 100) << "could not become an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 1 | 4);

    ::chmod(ini.c_str(), 0600);
    EXPECT_EQ(test::ReadText(ini), text);
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());

    SettingsReadReport report;
    report.unreadable = true;
    EXPECT_EQ(StartUpWarnings(report, ini),
              std::vector<std::string>{"KORU VIEW -- Cannot read settings file (the defaults are "
                                       "used and the file is left as it is): " +
                                       ini});
}

}  // namespace
}  // namespace koru
