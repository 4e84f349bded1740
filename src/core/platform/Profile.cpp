#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/File.h"
#include "platform/FileWriter.h"

namespace koru {

namespace {

// White space as the profile reader sees it; Ctrl-Z is the old end-of-file
// mark some editors still leave behind.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

struct Line {
    enum Kind { kOther, kSection, kKey };
    Kind kind = kOther;
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};

Line ParseLine(std::string_view raw) {
    Line line;
    std::string_view s = Trim(raw);
    if (s.empty() || s.front() == ';') return line;
    if (s.front() == '[') {
        // A header without its "]" is read as an ordinary key line.
        const std::size_t close = s.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = Line::kSection;
            line.name = Trim(s.substr(1, close - 1));
            return line;
        }
    }
    line.kind = Line::kKey;
    const std::size_t eq = s.find('=');
    if (eq == std::string_view::npos) {
        line.name = s;
        return line;
    }
    line.name = Trim(s.substr(0, eq));
    line.value = Trim(s.substr(eq + 1));
    line.hasValue = true;
    return line;
}

// The file's lines without their line ends (CR LF or LF).
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A value as a C caller would see it in its buffer: up to the first NUL,
// without enclosing quotes, at most maxChars long. A stray CR ends it too,
// and blanks before either end go, so whatever is read can be written back
// (the version upgrade writes the values it reads).
std::string CopyOut(std::string_view value, std::size_t maxChars) {
    value = value.substr(0, value.find_first_of(std::string_view("\0\r", 2)));
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, maxChars));
}

bool HasForbiddenChar(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

ProfileText::Source ProfileText::Load(const std::string& file) {
    std::string text;
    bool tooLarge = false;
    const bool read = ReadWholeFile(file, text, kProfileMaxBytes, tooLarge);
    SetText(read ? std::move(text) : std::string());
    if (tooLarge) return Source::TooLarge;
    if (read) return Source::Read;
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? Source::Unreadable
                                                                 : Source::Missing;
}

void ProfileText::SetText(std::string text) {
    text_ = std::move(text);
    sections_.clear();
    for (std::string_view raw : SplitLines(text_)) {
        const Line line = ParseLine(raw);
        if (line.kind == Line::kSection) {
            sections_.push_back({std::string(line.name), {}});
        } else if (line.kind == Line::kKey && !sections_.empty()) {
            // Keys before the first section belong to none.
            sections_.back().keys.push_back(
                {std::string(line.name), std::string(line.value), line.hasValue});
        }
    }
}

std::string ProfileText::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t maxChars) const {
    while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    section = Trim(section);
    key = Trim(key);
    // Only the first section of the name is searched, and in it the first
    // key of the name counts.
    const auto s = std::find_if(sections_.begin(), sections_.end(),
                                [&](const Section& x) { return SameName(x.name, section); });
    if (s == sections_.end()) return CopyOut(defaultValue, maxChars);
    const auto k = std::find_if(s->keys.begin(), s->keys.end(),
                                [&](const Key& x) { return SameName(x.name, key); });
    if (k == s->keys.end() || !k->hasValue) return CopyOut(defaultValue, maxChars);
    return CopyOut(k->value, maxChars);
}

int32_t ProfileText::ReadInt(std::string_view section, std::string_view key,
                             int32_t defaultValue) const {
    // Integers are read through a short buffer, as the Windows function does.
    const std::string text = ReadString(section, key, "", 29);
    if (text.empty()) return defaultValue;
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t total = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        total = total * 10u + static_cast<uint32_t>(text[i] - '0');
    }
    if (negative) total = 0u - total;
    return static_cast<int32_t>(total);
}

std::string ProfileReadString(const std::string& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t maxChars) {
    ProfileText profile;
    profile.Load(file);
    return profile.ReadString(section, key, defaultValue, maxChars);
}

int32_t ProfileReadInt(const std::string& file, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
    ProfileText profile;
    profile.Load(file);
    return profile.ReadInt(section, key, defaultValue);
}

namespace {

// Every argument of a write trimmed as the file would hold it; false when the
// entry cannot be stored so that it reads back.
bool Normalize(ProfileEntry& e) {
    e.section = Trim(e.section);
    e.key = Trim(e.key);
    while (!e.value.empty() && IsBlank(e.value.front())) e.value.remove_prefix(1);
    if (e.section.empty() || e.key.empty() || HasForbiddenChar(e.section) ||
        HasForbiddenChar(e.key) || HasForbiddenChar(e.value)) {
        return false;
    }
    // Keys that would read back as something else cannot be stored.
    return e.key.find('=') == std::string_view::npos && e.key.front() != ';' &&
           e.key.front() != '[';
}

// Sets one entry in the file's text; false when the text already held it.
bool SetInText(std::string& text, const ProfileEntry& e) {
    std::string bom;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) bom = text.substr(0, 3);
    std::vector<std::string_view> lines = SplitLines(text);

    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line line = ParseLine(lines[i]);
        if (line.kind == Line::kSection && SameName(line.name, e.section)) {
            header = i;
            break;
        }
    }

    std::vector<std::string> added;  // owns the new text that `lines` points into
    added.reserve(2);
    if (header == lines.size()) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        added.push_back("[" + std::string(e.section) + "]");
        added.push_back(std::string(e.key) + "=" + std::string(e.value));
        lines.push_back(added[0]);
        lines.push_back(added[1]);
    } else {
        std::size_t end = header + 1;
        std::size_t lastFilled = header;
        std::size_t found = lines.size();
        for (; end < lines.size(); ++end) {
            const Line line = ParseLine(lines[end]);
            if (line.kind == Line::kSection) break;
            if (!Trim(lines[end]).empty()) lastFilled = end;
            if (found == lines.size() && line.kind == Line::kKey && SameName(line.name, e.key)) {
                found = end;
            }
        }
        if (found < lines.size()) {
            const Line line = ParseLine(lines[found]);
            if (line.hasValue && line.value == e.value) return false;
            added.push_back(std::string(line.name) + "=" + std::string(e.value));
            lines[found] = added[0];
        } else {
            added.push_back(std::string(e.key) + "=" + std::string(e.value));
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), added[0]);
        }
    }

    std::string out = bom;
    for (std::string_view line : lines) {
        out.append(line);
        out.append("\r\n");
    }
    text = std::move(out);
    return true;
}

// Folders this thread holds the lock of, so that a write inside a locked
// read-modify-write does not wait on its own lock.
thread_local std::vector<std::string> heldLocks;

// The folder is locked, not the file: the file is replaced by a rename, and a
// lock file of its own would stay in the user's folder.
std::string FolderOf(const std::string& file) {
    const std::string::size_type slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

ProfileLock::ProfileLock(const std::string& file) : folder_(FolderOf(file)) {
    if (std::find(heldLocks.begin(), heldLocks.end(), folder_) != heldLocks.end()) return;
    heldLocks.push_back(folder_);
    owner_ = true;
    // Without the folder the write that follows fails anyway, so going on
    // unlocked loses nothing.
    fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

ProfileLock::~ProfileLock() {
    if (!owner_) return;
    if (fd_ >= 0) ::close(fd_);
    const auto it = std::find(heldLocks.begin(), heldLocks.end(), folder_);
    if (it != heldLocks.end()) heldLocks.erase(it);
}

bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    const ProfileEntry entry{section, key, value};
    return ProfileWriteStrings(file, std::span(&entry, 1));
}

bool ProfileSetStrings(std::string& text, std::span<const ProfileEntry> entries, bool& changed) {
    changed = false;
    std::vector<ProfileEntry> checked(entries.begin(), entries.end());
    for (ProfileEntry& e : checked) {
        if (!Normalize(e)) return false;
    }
    for (const ProfileEntry& e : checked) changed = SetInText(text, e) || changed;
    return true;
}

bool ProfileWriteStrings(const std::string& file, std::span<const ProfileEntry> entries,
                         std::string* written) {
    // Entries that cannot be stored are refused before anything is touched.
    std::string probe;
    bool changed = false;
    if (!ProfileSetStrings(probe, entries, changed)) return false;
    ProfileLock lock(file);
    std::string text;
    bool tooLarge = false;
    // A missing file is simply empty; one that is there but cannot be read
    // is not replaced by the few keys written.
    struct stat st {};
    if (!ReadWholeFile(file, text, kProfileMaxBytes, tooLarge) &&
        (tooLarge || ::stat(file.c_str(), &st) == 0))
        return false;
    ProfileSetStrings(text, entries, changed);
    if (changed && !WriteWholeFile(file, text)) return false;
    if (written) *written = std::move(text);
    return true;
}

}  // namespace koru
