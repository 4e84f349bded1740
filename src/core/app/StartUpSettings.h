#pragma once
// Start-up step 2 and 4 of the application: where the files live, and the
// settings read from there. Shared by the window and the headless render.

#include <string>
#include <vector>

#include "app/ReadSettings.h"
#include "app/Session.h"
#include "platform/Paths.h"

namespace koru {

// Hands the paths to the session, makes the user's settings folder when that
// is where the settings live, and reads the settings file (upgrading it on a
// first start). writeFailed covers a folder that could not be made.
SettingsReadReport LoadStartUpSettings(Session& session, const ProgramPaths& paths);

// The texts of the "WARNING" boxes a start shows for what the settings read
// reported, in order; none when all went well.
std::vector<std::string> StartUpWarnings(const SettingsReadReport& report,
                                         const std::string& settingsPath);

}  // namespace koru
