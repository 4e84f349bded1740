#include "app/ReadSettings.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "platform/FileWriter.h"
#include "platform/Profile.h"
#include "text/DecimalScan.h"
#include "text/IntList.h"

namespace koru {

namespace {

// Buffer sizes of the readers, in characters.
constexpr std::size_t kLongText = 259;
constexpr std::size_t kShortText = 79;
constexpr std::size_t kDefaultConfigText = 63;

struct OldDefault {
    const char* value;
    const char* appended;
};
// The four-field defaults older versions wrote, and the marker flag each gets.
constexpr std::array<OldDefault, kChannelCount> kOldDefaults = {{
    {"1,1,9,5", ",0"},
    {"1,1,9,5", ",0"},
    {"3,2,10,5", ",0"},
    {"4,3,11,5", ",0"},
    {"13,4,12,5", ",1"},
    {"15,5,13,5", ",0"},
    {"14,6,9,5", ",0"},
    {"16,7,14,5", ",0"},
}};

std::string Triple(int a, int b, int c) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c);
}

uint8_t Low8(int64_t v) {
    return static_cast<uint8_t>(v & 0xFF);
}

// The version key and the upgraded defaults, from what the file holds now.
std::vector<ProfileEntry> UpgradeEntries(const ProfileText& profile,
                                         std::array<std::string, kChannelCount>& keys,
                                         std::array<std::string, kChannelCount>& values) {
    std::vector<ProfileEntry> entries = {{kSystemSection, "VERSION", kSettingsVersion}};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const OldDefault& old = kOldDefaults[i];
        keys[i] = ChannelKey(static_cast<int>(i + 1));
        values[i] =
            profile.ReadString(kDefaultConfigSection, keys[i], old.value, kLongText) + old.appended;
        entries.push_back({kDefaultConfigSection, keys[i], values[i]});
    }
    return entries;
}

// The file read once, under the lock so that a first start's upgrade is one
// read-modify-write: a start that finds the version written by another
// start leaves the file alone. The version key and the upgraded defaults go
// into the file in one write, since a file left with the version but without
// the marker flags would never be upgraded again. A file too large to be
// settings counts as missing and is not written over: the upgrade then only
// happens in memory, so that the defaults are those of a first start. So
// does a file this user may not read (one left by a start as another user):
// writing defaults over it would lose every setting in it.
SettingsReadReport ReadAndUpgrade(const std::string& ini, const std::string& programDir,
                                  ProfileText& profile) {
    SettingsReadReport report;
    ProfileLock lock(ini);
    const ProfileText::Source source = profile.Load(ini);
    report.tooLarge = source == ProfileText::Source::TooLarge;
    report.unreadable = source == ProfileText::Source::Unreadable;
    if (profile.ReadString(kSystemSection, "VERSION", kNoVersion, kLongText) != kNoVersion)
        return report;
    std::array<std::string, kChannelCount> keys, values;
    std::vector<ProfileEntry> entries = UpgradeEntries(profile, keys, values);
    // Only a file this start creates turns physical units on: an upgraded
    // file belongs to a user who knows the view without them.
    if (source == ProfileText::Source::Missing) entries.push_back({kSystemSection, "UNITS", "1"});
    std::string text = profile.Text();
    bool changed = false;
    ProfileSetStrings(text, entries, changed);
    if (report.tooLarge || report.unreadable) {
        profile.SetText(std::move(text));
        return report;
    }
    report.upgraded = true;
    if (!WriteWholeFile(ini, text)) {
        report.writeFailed = true;
        return report;
    }
    profile.SetText(std::move(text));
    report.cfgFiles = UpgradeOldConfigFiles(programDir);
    return report;
}

void ReadColor(const ProfileText& ini, int index, ColorTable& colors) {
    const ColorEntry& entry = colors.Entry(index);
    const std::string key = "COLOR" + std::to_string(index);
    const std::string fallback = entry.Name + "=" + Triple(entry.Red, entry.Green, entry.Blue);
    const std::string text = ini.ReadString(kColorsSection, key, fallback, kShortText);

    const std::size_t eq = text.find('=');
    std::string_view name = std::string_view(text).substr(0, eq);
    std::string newName = name.empty() ? entry.Name : std::string(name);
    std::array<uint8_t, 3> rgb = {entry.Red, entry.Green, entry.Blue};
    if (eq != std::string::npos) {
        std::string_view rest = std::string_view(text).substr(eq + 1);
        for (std::size_t i = 0; i < rgb.size(); ++i) {
            const std::size_t comma = rest.find(',');
            int64_t v = 0;
            if (ScanInt(rest.substr(0, comma), v)) rgb[i] = Low8(v);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    colors.Set(index, newName, rgb[0], rgb[1], rgb[2]);
}

ColorRef ReadRgb(const ProfileText& ini, const char* key, ColorRef current) {
    std::array<int32_t, 3> rgb = {RedOf(current), GreenOf(current), BlueOf(current)};
    const std::string text =
        ini.ReadString(kSystemSection, key, Triple(rgb[0], rgb[1], rgb[2]), kShortText);
    ScanIntList(text, rgb);
    return Rgb(static_cast<uint32_t>(rgb[0]), static_cast<uint32_t>(rgb[1]),
               static_cast<uint32_t>(rgb[2]));
}

void ReadSwitch(const ProfileText& ini, const char* key, uint8_t& value) {
    value = ini.ReadInt(kSystemSection, key, value) != 0 ? 1 : 0;
}

}  // namespace

std::string ChannelKey(int channel) {
    return "CHAN" + std::to_string(channel);
}

std::string NormalizeSigPath(std::string path) {
    if (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (!path.empty() && path.back() == ':') path += '\\';
    return path;
}

SettingsReadReport ReadSettings(const std::string& iniPath, const std::string& programDir,
                                Settings& settings, ChannelModel& channels) {
    ProfileText ini;
    const SettingsReadReport report = ReadAndUpgrade(iniPath, programDir, ini);
    settings.version = ini.ReadString(kSystemSection, "VERSION", kNoVersion, kLongText);

    for (int i = 0; i < kLeadNameCount; ++i) {
        const std::string key = "LEAD" + std::to_string(i);
        channels.leadNames.Set(
            i, ini.ReadString(kLeadNamesSection, key, channels.leadNames.Name(i), kNameMaxChars));
    }
    for (int i = 0; i < kColorCount; ++i) ReadColor(ini, i, channels.colors);

    settings.background = ReadRgb(ini, "BACKGROUND", settings.background);
    settings.text = ReadRgb(ini, "TEXT", settings.text);

    settings.sigPath =
        NormalizeSigPath(ini.ReadString(kSystemSection, "SIGPATH", settings.sigPath, kLongText));

    ReadSwitch(ini, "DOTS", settings.dots);
    ReadSwitch(ini, "MARKERS", settings.markers);
    ReadSwitch(ini, "NAMES", settings.names);
    ReadSwitch(ini, "PRINTFRAME", settings.printFrame);
    ReadSwitch(ini, "FILEMODE", settings.fileMode);
    ReadSwitch(ini, "TIME HACKS", settings.timeHacks);
    ReadSwitch(ini, "TIME RESOLUTION", settings.timeResolution);
    ReadSwitch(ini, "UNITS", settings.units);

    for (int n = 1; n <= kChannelCount; ++n) {
        ChannelRecord& record = channels.current[static_cast<std::size_t>(n - 1)];
        const std::string text = ini.ReadString(kDefaultConfigSection, ChannelKey(n),
                                                FormatChannelRecord(record), kShortText);
        ParseChannelRecord(text, record);
    }
    return report;
}

bool WriteDefaultConfig(const std::string& iniPath, const ChannelConfig& config) {
    std::array<std::string, kChannelCount> keys;
    std::array<std::string, kChannelCount> values;
    std::vector<ProfileEntry> entries;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = ChannelKey(static_cast<int>(i + 1));
        values[i] = FormatChannelRecord(config[i]);
        entries.push_back({kDefaultConfigSection, keys[i], values[i]});
    }
    return ProfileWriteStrings(iniPath, entries);
}

void ReadDefaultConfig(const std::string& iniPath, const ChannelConfig& current,
                       ChannelConfig& working) {
    ProfileText ini;
    ini.Load(iniPath);
    for (std::size_t ch = 0; ch < working.size(); ++ch) {
        const ChannelRecord& c = current[ch];
        const std::string fallback = Triple(c.LeadName, c.DisplayPosition, c.DisplayColor) + "," +
                                     std::to_string(c.DisplaySize);
        const std::string text =
            ini.ReadString(kDefaultConfigSection, ChannelKey(static_cast<int>(ch + 1)), fallback,
                           kDefaultConfigText);
        ParseChannelRecord(text, working[ch]);
    }
}

}  // namespace koru
