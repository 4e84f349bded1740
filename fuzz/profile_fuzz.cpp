// A fuzzed settings file and a fuzzed key write. A written key reads back
// as written (trimmed, enclosing quotes dropped), every other key reads as
// before, a second write of the same value changes nothing, and a refused
// write leaves the file as it was.

#include <string>

#include "FuzzSupport.h"
#include "platform/Profile.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trimmed(a), b = Trimmed(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// What reading the key back must give for a written value.
std::string ReadBack(std::string_view value) {
    value = Trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

constexpr std::size_t kBig = 1 << 20;
constexpr const char* kMissing = "\x01missing";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(40);
    const std::string key = in.ConsumeRandomLengthString(40);
    const std::string value = in.ConsumeRandomLengthString(80);
    const std::string otherSection = in.ConsumeBool() ? section : in.ConsumeRandomLengthString(40);
    const std::string otherKey = in.ConsumeRandomLengthString(40);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::string ini = ScratchDir::Get().Write("KORUVIEW.INI", text);

    const std::string before = ProfileReadString(ini, otherSection, otherKey, kMissing, kBig);
    if (!ProfileWriteString(ini, section, key, value)) {
        KORU_FUZZ_CHECK(ReadAll(ini) == text, "a refused write changed the file");
        return 0;
    }
    KORU_FUZZ_CHECK(ProfileReadString(ini, section, key, kMissing, kBig) == ReadBack(value),
                    "a written key does not read back");
    if (!SameName(section, otherSection) || !SameName(key, otherKey)) {
        KORU_FUZZ_CHECK(ProfileReadString(ini, otherSection, otherKey, kMissing, kBig) == before,
                        "writing one key changed another");
    }
    const std::string written = ReadAll(ini);
    KORU_FUZZ_CHECK(ProfileWriteString(ini, section, key, value), "a second write failed");
    KORU_FUZZ_CHECK(ReadAll(ini) == written, "writing the same value again changed the file");
    return 0;
}
