#include "app/StartUpSettings.h"

namespace koru {

SettingsReadReport LoadStartUpSettings(Session& session, const ProgramPaths& paths) {
    session.SetPaths(paths.settingsFile, paths.helpFile, paths.directory);
    session.SetExamplesDir(paths.examplesDir);
    const bool folderMade = MakeSettingsFolder(paths, nullptr);
    SettingsReadReport report = ReadSettings(session.settingsPath(), session.programDir(),
                                             session.settings(), session.channels());
    if (!folderMade) report.writeFailed = true;
    return report;
}

std::vector<std::string> StartUpWarnings(const SettingsReadReport& report,
                                         const std::string& settingsPath) {
    std::vector<std::string> texts;
    if (report.tooLarge)
        texts.push_back(
            "KORU VIEW -- Settings file larger than 1 MB, not read (the defaults are "
            "used and the file is left as it is): " +
            settingsPath);
    else if (report.unreadable)
        texts.push_back(
            "KORU VIEW -- Cannot read settings file (the defaults are used and the file is "
            "left as it is): " +
            settingsPath);
    else if (report.writeFailed)
        texts.push_back("KORU VIEW -- Cannot write settings file: " + settingsPath);
    return texts;
}

}  // namespace koru
