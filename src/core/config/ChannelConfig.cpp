#include "config/ChannelConfig.h"

#include <string>

#include "text/IntList.h"

namespace koru {

namespace {

constexpr std::array<const char*, kLeadNameCount> kDefaultLeadNames = {
    "<none>",    "I",        "II",       "III",  "V1",   "V2",  "V3",
    "V4",        "V5",       "V6x",      "aVR",  "aVL",  "aVF", "Atrial-Bi",
    "Atrial-Un", "Ventr-Bi", "Ventr-Un", "Map1", "Map2", "Map3"};

struct DefaultColor {
    const char* name;
    uint8_t r, g, b;
};
constexpr std::array<DefaultColor, kColorCount> kDefaultColors = {{
    {"Black", 0, 0, 0},
    {"Blue", 0, 0, 128},
    {"Green", 0, 128, 0},
    {"Cyan", 0, 128, 128},
    {"Red", 128, 0, 0},
    {"Magenta", 128, 0, 128},
    {"Brown", 128, 64, 0},
    {"Lt. Gray", 192, 192, 192},
    {"Dk. Gray", 64, 64, 64},
    {"Lt. Blue", 0, 0, 255},
    {"Lt. Green", 0, 255, 0},
    {"Lt. Cyan", 0, 255, 255},
    {"Lt. Red", 255, 0, 0},
    {"Lt. Mag.", 255, 0, 255},
    {"Yellow", 255, 255, 0},
    {"White", 255, 255, 255},
}};

std::size_t Slot(int32_t index) {
    return static_cast<std::size_t>(index);
}

}  // namespace

int32_t& ChannelRecord::Field(int i) {
    switch (i) {
        case 0:
            return LeadName;
        case 1:
            return DisplayPosition;
        case 2:
            return DisplayColor;
        case 3:
            return DisplaySize;
        default:
            return HasMarker;
    }
}

int32_t ChannelRecord::Field(int i) const {
    return const_cast<ChannelRecord*>(this)->Field(i);
}

ChannelConfig DefaultChannelConfig() {
    return {{
        {1, 1, 9, 5, 0},
        {2, 2, 10, 5, 0},
        {3, 3, 11, 5, 0},
        {4, 4, 12, 5, 0},
        {15, 5, 13, 5, 0},
        {16, 6, 9, 5, 0},
        {14, 7, 14, 5, 0},
        {14, 8, 14, 5, 0},
    }};
}

bool ValidLeadName(int32_t index) {
    return index >= 0 && index < kLeadNameCount;
}
bool ValidPosition(int32_t position) {
    return position >= 1 && position <= kDisplaySlots;
}
bool ValidColor(int32_t index) {
    return index >= 0 && index < kColorCount;
}
bool ValidSize(int32_t size) {
    return size >= 1 && size <= kMaxDisplaySize;
}
bool IsDrawable(const ChannelRecord& record) {
    return ValidPosition(record.DisplayPosition) && ValidColor(record.DisplayColor);
}

std::string CutName(std::string_view name) {
    return std::string(name.substr(0, kNameMaxChars));
}

LeadNameTable::LeadNameTable() {
    for (std::size_t i = 0; i < names_.size(); ++i) names_[i] = kDefaultLeadNames[i];
}

const std::string& LeadNameTable::Name(int32_t index) const {
    static const std::string none = kNoLeadName;
    return ValidLeadName(index) ? names_[Slot(index)] : none;
}

void LeadNameTable::Set(int32_t index, std::string_view name) {
    if (ValidLeadName(index)) names_[Slot(index)] = CutName(name);
}

ColorTable::ColorTable() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const DefaultColor& d = kDefaultColors[i];
        entries_[i] = ColorEntry{d.name, d.r, d.g, d.b};
    }
}

const ColorEntry& ColorTable::Entry(int32_t index) const {
    static const ColorEntry none{kNoLeadName, 0, 0, 0};
    return ValidColor(index) ? entries_[Slot(index)] : none;
}

void ColorTable::Set(int32_t index, std::string_view name, uint8_t red, uint8_t green,
                     uint8_t blue) {
    if (ValidColor(index)) entries_[Slot(index)] = ColorEntry{CutName(name), red, green, blue};
}

ColorRef ChannelModel::ShownColor(std::size_t channel) const {
    if (recording) return recording->colors[channel];
    return colors.Ref(current[channel].DisplayColor);
}

std::string ChannelModel::ShownName(std::size_t channel) const {
    if (recording) return recording->names[channel];
    const ChannelRecord& rec = current[channel];
    return rec.LeadName != 0 && ValidLeadName(rec.LeadName) ? leadNames.Name(rec.LeadName)
                                                            : std::string();
}

std::string FormatChannelRecord(const ChannelRecord& r) {
    return std::to_string(r.LeadName) + "," + std::to_string(r.DisplayPosition) + "," +
           std::to_string(r.DisplayColor) + "," + std::to_string(r.DisplaySize) + "," +
           std::to_string(r.HasMarker);
}

int ParseChannelRecord(std::string_view text, ChannelRecord& record) {
    std::array<int32_t, ChannelRecord::kFieldCount> fields{};
    for (int i = 0; i < ChannelRecord::kFieldCount; ++i) fields[Slot(i)] = record.Field(i);
    const int set = ScanIntList(text, fields);
    for (int i = 0; i < set; ++i) record.Field(i) = fields[Slot(i)];
    return set;
}

}  // namespace koru
