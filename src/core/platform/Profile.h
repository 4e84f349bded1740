#pragma once
// Reading and writing an INI-style settings file ("[section]" lines followed by
// key=value lines) with the behaviour Windows programs expect of their
// private profile files:
//  - section and key names match without regard to ASCII case, and the first
//    matching section (and in it the first matching key) wins;
//  - names and values are trimmed of surrounding white space, and a value
//    enclosed in matching single or double quotes loses them;
//  - a missing file, section or key yields the caller's default;
//  - a write keeps every other line (comments included) as it was, creates the
//    file when needed and ends every line in CR LF.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

// A settings file is a page of text. One far larger is something else put
// in its place (or damaged), and is neither read nor written over.
inline constexpr std::size_t kProfileMaxBytes = std::size_t{1} << 20;

// A settings file read and parsed once, then asked any number of times
// with the functions' rules below.
class ProfileText {
  public:
    enum class Source { Read, Missing, TooLarge, Unreadable };

    // Reads the file; a missing one, one that is no regular file, one over
    // kProfileMaxBytes and a regular file this user may not read (Unreadable)
    // all leave the profile empty.
    Source Load(const std::string& file);
    void SetText(std::string text);
    const std::string& Text() const { return text_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t maxChars) const;
    int32_t ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const;

  private:
    struct Key {
        std::string name;
        std::string value;
        bool hasValue = false;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    std::string text_;
    std::vector<Section> sections_;
};

// The value of `key` in `section`, or `defaultValue` (trailing blanks removed)
// when the file, section or key is missing or the key has no "=". The answer
// is cut to `maxChars` characters, as if read into a buffer of maxChars + 1.
std::string ProfileReadString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t maxChars);

// The value read as a decimal integer: leading white space and one sign are
// allowed, digits are read up to the first other character (none gives 0),
// and the result wraps like a 32-bit unsigned accumulator. Missing or empty
// values give `defaultValue`.
int32_t ProfileReadInt(const std::string& file, std::string_view section, std::string_view key,
                       int32_t defaultValue);

// Sets `key` in `section` to `value` (leading blanks dropped). Adds the key at
// the end of the section, or the section at the end of the file, when missing.
// An unchanged value leaves the file untouched. The file is replaced as a
// whole through a temporary file. False when the file cannot be written, or
// when a name is empty or any argument holds a line break or NUL byte.
bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

struct ProfileEntry {
    std::string_view section;
    std::string_view key;
    std::string_view value;
};

// Sets every entry, in order, as ProfileWriteString would, in one replacement
// of the file: either all of them reach the file or none does. False when an
// entry cannot be stored (then nothing is written), when the file is over
// kProfileMaxBytes (it is left alone) or the write fails. `text`, when
// given, receives what the file holds afterwards.
bool ProfileWriteStrings(const std::string& file, std::span<const ProfileEntry> entries,
                         std::string* text = nullptr);

// The same on a settings file's text in memory; false, with the text
// unchanged, when an entry cannot be stored. `changed` tells whether the text
// now differs.
bool ProfileSetStrings(std::string& text, std::span<const ProfileEntry> entries, bool& changed);

// An advisory lock on the settings file's folder, held for one
// read-modify-write so that programs starting together neither lose nor
// repeat each other's changes. The writes above take it themselves; a thread
// already holding it for the same folder passes straight through.
class ProfileLock {
  public:
    explicit ProfileLock(const std::string& file);
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

  private:
    std::string folder_;
    int fd_ = -1;
    bool owner_ = false;
};

}  // namespace koru
