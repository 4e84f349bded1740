#include "app/StartUpSettings.h"

namespace koru {

SettingsReadReport LoadStartUpSettings(Session& session, const ProgramPaths& paths) {
    session.SetPaths(paths.settingsFile, paths.helpFile, paths.directory);
    const bool folderMade = MakeSettingsFolder(paths, nullptr);
    SettingsReadReport report = ReadSettings(session.settingsPath(), session.programDir(),
                                             session.settings(), session.channels());
    if (!folderMade) report.writeFailed = true;
    return report;
}

}  // namespace koru
