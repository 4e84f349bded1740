// A fuzzed ".cfg" file. Reading the file as far as it needs gives what
// reading its whole text gives; a configuration written out reads back the
// same; the old-format upgrade rewrites exactly the files of 32 numbers,
// keeping those numbers, and leaves every other file as it was.

#include <string>

#include "FuzzSupport.h"
#include "config/CfgFile.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

// Fields nobody reads keep these, so a field set by mistake shows.
ChannelConfig Marked() {
    ChannelConfig c{};
    for (std::size_t ch = 0; ch < c.size(); ++ch)
        for (int f = 0; f < ChannelRecord::kFieldCount; ++f)
            c[ch].Field(f) = -7000 - static_cast<int32_t>(ch * 10) - f;
    return c;
}

int32_t FlatField(const ChannelConfig& c, int i) {
    return c[static_cast<std::size_t>(i / ChannelRecord::kFieldCount)].Field(
        i % ChannelRecord::kFieldCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ScratchDir& dir = ScratchDir::Get();
    dir.Clear();
    const std::string path = dir.Write(size % 2 ? "layout.cfg" : "LAYOUT.CFG", text);

    ChannelConfig fromText = Marked();
    const int fields = ParseConfigText(text, fromText);
    KORU_FUZZ_CHECK(fields >= 0 && fields <= 40, "more fields than a configuration has");
    const ChannelConfig marked = Marked();
    for (int i = fields; i < 40; ++i)
        KORU_FUZZ_CHECK(FlatField(fromText, i) == FlatField(marked, i), "a field not read changed");
    ChannelConfig fromFile = Marked();
    KORU_FUZZ_CHECK(LoadConfigFile(path, fromFile), "a regular file could not be loaded");
    KORU_FUZZ_CHECK(fromFile == fromText, "the file and its text read differently");

    ChannelConfig again{};
    KORU_FUZZ_CHECK(ParseConfigText(FormatConfigFile(fromText), again) == 40 && again == fromText,
                    "a written configuration does not read back");

    const CfgUpgradeResult up = UpgradeOldConfigFiles(dir.path());
    KORU_FUZZ_CHECK(up.failed.empty(), "an upgrade write failed");
    if (up.converted.empty()) {
        KORU_FUZZ_CHECK(fields != 32, "a file of 32 numbers was not upgraded");
        KORU_FUZZ_CHECK(ReadAll(path) == text, "a file not upgraded was changed");
        return 0;
    }
    KORU_FUZZ_CHECK(fields == 32, "a file that is not of 32 numbers was upgraded");
    ChannelConfig upgraded{};
    KORU_FUZZ_CHECK(ParseConfigText(ReadAll(path), upgraded) == 40,
                    "the upgrade is not 40 numbers");
    for (std::size_t ch = 0; ch < upgraded.size(); ++ch) {
        for (int f = 0; f < 4; ++f) {
            KORU_FUZZ_CHECK(
                upgraded[ch].Field(f) == FlatField(fromText, static_cast<int>(ch) * 4 + f),
                "the upgrade moved a number");
        }
        KORU_FUZZ_CHECK(upgraded[ch].HasMarker == 0, "the upgrade set a marker flag");
    }
    return 0;
}
