// A fuzzed settings file (and an old ".cfg" beside it) through the whole
// start-up read with its first-start upgrade. The upgrade runs once: a
// second start finds the version, does not write, and reads the very
// settings and channels the first start ended with. Switches are 0 or 1.

#include <string>

#include "FuzzSupport.h"
#include "app/Snapshot.h"
#include "app/StartUpSettings.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

struct Start {
    HeadlessUi ui;
    Session session{ui};
    SettingsReadReport report;
    explicit Start(const ProgramPaths& paths) { report = LoadStartUpSettings(session, paths); }
};

bool SameSettings(const Settings& a, const Settings& b) {
    return a.version == b.version && a.background == b.background && a.text == b.text &&
           a.sigPath == b.sigPath && a.dots == b.dots && a.markers == b.markers &&
           a.names == b.names && a.printFrame == b.printFrame && a.fileMode == b.fileMode &&
           a.timeHacks == b.timeHacks && a.timeResolution == b.timeResolution;
}

bool SameTables(const ChannelModel& a, const ChannelModel& b) {
    for (int i = 0; i < kLeadNameCount; ++i)
        if (a.leadNames.Name(i) != b.leadNames.Name(i)) return false;
    for (int i = 0; i < kColorCount; ++i) {
        const ColorEntry &x = a.colors.Entry(i), &y = b.colors.Entry(i);
        if (x.Name != y.Name || x.Ref() != y.Ref()) return false;
    }
    return a.current == b.current;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool withCfg = in.ConsumeBool();
    const std::string cfg = withCfg ? in.ConsumeRandomLengthString(400) : std::string();
    const std::string text = in.ConsumeRemainingBytesAsString();
    const ScratchDir& dir = ScratchDir::Get();
    dir.Clear();
    ProgramPaths paths;
    paths.directory = dir.path();
    paths.baseName = "koruview";
    paths.settingsFile = dir.Write("koruview.INI", text);
    paths.helpFile = dir.File("koruview.html");
    paths.place = SettingsPlace::ProgramDirectory;
    if (withCfg) dir.Write("OLD.cfg", cfg);

    Start first(paths);
    KORU_FUZZ_CHECK(!first.report.writeFailed, "the upgrade could not write a writable file");
    const std::string afterFirst = ReadAll(paths.settingsFile);
    if (first.report.upgraded) {
        KORU_FUZZ_CHECK(first.session.settings().version == "95.400", "upgraded without a version");
    } else {
        KORU_FUZZ_CHECK(afterFirst == text, "a start without upgrade wrote the settings");
    }
    const Settings& s = first.session.settings();
    for (uint8_t v :
         {s.dots, s.markers, s.names, s.printFrame, s.fileMode, s.timeHacks, s.timeResolution})
        KORU_FUZZ_CHECK(v <= 1, "a switch is neither 0 nor 1");

    Start second(paths);
    KORU_FUZZ_CHECK(!second.report.upgraded, "the upgrade ran twice");
    KORU_FUZZ_CHECK(second.report.cfgFiles.converted.empty(), "a .cfg was upgraded twice");
    KORU_FUZZ_CHECK(ReadAll(paths.settingsFile) == afterFirst, "a second start wrote the settings");
    KORU_FUZZ_CHECK(SameSettings(second.session.settings(), s), "the second start reads otherwise");
    KORU_FUZZ_CHECK(SameTables(second.session.channels(), first.session.channels()),
                    "the second start reads other channels");
    return 0;
}
