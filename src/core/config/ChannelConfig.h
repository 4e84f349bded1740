#pragma once
// Per-channel display records (which lead name, slot, colour, gain and marker
// flag each amplifier channel gets) and the two tables their indices refer to.
//
// Records read from files are kept exactly as read, even out of range; the
// accessors below make sure such a value never indexes a table.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Color.h"

namespace koru {

inline constexpr int kChannelCount = 8;
inline constexpr int kLeadNameCount = 20;
inline constexpr int kColorCount = 16;
inline constexpr int kDisplaySlots = 8;
inline constexpr int kMaxDisplaySize = 20;
// A trace is drawn value * DisplaySize / kSizeDivisor pixels from its baseline.
inline constexpr int32_t kSizeDivisor = 160;
// Names live in 16-byte slots in the file formats' world: 15 characters fit.
inline constexpr std::size_t kNameMaxChars = 15;
inline constexpr const char* kNoLeadName = "<none>";

struct ChannelRecord {
    int32_t LeadName = 0;
    int32_t DisplayPosition = 0;
    int32_t DisplayColor = 0;
    int32_t DisplaySize = 0;
    int32_t HasMarker = 0;

    static constexpr int kFieldCount = 5;
    // Fields by record order (0 = LeadName ... 4 = HasMarker).
    int32_t& Field(int i);
    int32_t Field(int i) const;

    bool operator==(const ChannelRecord&) const = default;
};

// Record 0 is data channel 1 of a recording, record 7 channel 8.
using ChannelConfig = std::array<ChannelRecord, kChannelCount>;

// The records in force before the settings file is read.
ChannelConfig DefaultChannelConfig();

bool ValidLeadName(int32_t index);     // 0..19
bool ValidPosition(int32_t position);  // 1..8: a slot that is drawn (0 hides the trace)
bool ValidColor(int32_t index);        // 0..15
bool ValidSize(int32_t size);          // 1..20, what the Configure dialog can set
// A trace can be drawn only in a real slot and a real colour.
bool IsDrawable(const ChannelRecord& record);

class LeadNameTable {
  public:
    LeadNameTable();  // the compiled-in names

    // The name, or "<none>" for an index outside the table.
    const std::string& Name(int32_t index) const;
    // Replaces an entry, cutting the name to 15 characters; ignored out of range.
    void Set(int32_t index, std::string_view name);

  private:
    std::array<std::string, kLeadNameCount> names_;
};

struct ColorEntry {
    std::string Name;
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    // The colour every trace of this entry is drawn with.
    ColorRef Ref() const { return Rgb(Red, Green, Blue); }
};

class ColorTable {
  public:
    ColorTable();  // "Black" 0,0,0 to "White" 255,255,255

    // The entry, or a black entry named "<none>" for an index outside the table.
    const ColorEntry& Entry(int32_t index) const;
    ColorRef Ref(int32_t index) const { return Entry(index).Ref(); }
    // Replaces an entry, cutting the name to 15 characters; ignored out of range.
    void Set(int32_t index, std::string_view name, uint8_t red, uint8_t green, uint8_t blue);

  private:
    std::array<ColorEntry, kColorCount> entries_;
};

// A foreign recording's own layout: each channel its slot, size and marker
// flag (LeadName unused), the signal's label from the file, and a colour of
// its own. It is in force while that recording is open and is never saved.
struct RecordingLayout {
    ChannelConfig records{};
    std::array<std::string, kChannelCount> names;
    std::array<ColorRef, kChannelCount> colors{};
    // Each trace is value * DisplaySize / divisor pixels high: a fit finer
    // than the configured sizes, which a wide range needs.
    std::array<int32_t, kChannelCount> divisors{};
};

// Everything about channels that lives for the whole run: the configuration in
// force, the Configure dialog's edit copy and the two tables.
struct ChannelModel {
    ChannelConfig current = DefaultChannelConfig();
    ChannelConfig working = DefaultChannelConfig();
    LeadNameTable leadNames;
    ColorTable colors;

    // The open foreign recording's layout, if it has one.
    std::optional<RecordingLayout> recording;

    void CopyCurrentToWorking() { working = current; }
    void CopyWorkingToCurrent() { current = working; }

    // The lead name shown for a record ("<none>" for an index out of range).
    const std::string& LeadNameOf(const ChannelRecord& record) const {
        return leadNames.Name(record.LeadName);
    }

    // What the view draws: the recording's layout while there is one, else
    // the configured records with the two tables.
    const ChannelConfig& Shown() const { return recording ? recording->records : current; }
    ColorRef ShownColor(std::size_t channel) const;
    int32_t ShownDivisor(std::size_t channel) const {
        return recording ? recording->divisors[channel] : kSizeDivisor;
    }
    // The name written at a channel's slot; empty for none.
    std::string ShownName(std::size_t channel) const;
};

// "%d,%d,%d,%d,%d" in record order, as kept in the settings file.
std::string FormatChannelRecord(const ChannelRecord& record);
// Reads "%d,%d,%d,%d,%d" into the record: reading stops at the first field
// that does not match and later fields keep their values. Returns the number
// of fields set.
int ParseChannelRecord(std::string_view text, ChannelRecord& record);

// Name text as it fits a name slot.
std::string CutName(std::string_view name);

}  // namespace koru
