#include "signal/WfdbAnnotations.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace koru {

namespace {

// The word's fields and pseudo-codes.
constexpr int kCodeShift = 10;
constexpr unsigned kData = 0x3FF;
constexpr int kSkip = 59, kNum = 60, kSub = 61, kChn = 62, kAux = 63;
constexpr int kPseudoMin = kSkip;
constexpr int kNote = 22;
constexpr int kMaxCode = 49;

constexpr std::array<const char*, kMaxCode + 1> kMnemonics = {
    " ", "N", "L",    "R",    "a",    "V",    "F",    "J",    "A",    "S",     // 0-9
    "E", "j", "/",    "Q",    "~",    "[15]", "|",    "[17]", "s",    "T",     // 10-19
    "*", "D", "\"",   "=",    "p",    "B",    "^",    "t",    "+",    "u",     // 20-29
    "?", "!", "[",    "]",    "e",    "n",    "@",    "x",    "f",    "(",     // 30-39
    ")", "r", "[42]", "[43]", "[44]", "[45]", "[46]", "[47]", "[48]", "[49]",  // 40-49
};

// Which codes are beats.
constexpr std::array<bool, kMaxCode + 1> kBeat = {
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0-9
    1, 1, 1, 1, 0, 0, 0, 0, 0, 0,  // 10-19
    0, 0, 0, 0, 0, 1, 0, 0, 0, 0,  // 20-29
    1, 1, 0, 0, 1, 1, 0, 0, 1, 0,  // 30-39
    0, 1, 0, 0, 0, 0, 0, 0, 0, 0,  // 40-49
};

class WordStream {
  public:
    explicit WordStream(std::string_view bytes) : bytes_(bytes) {}
    bool Has(std::size_t words) const { return at_ + 2 * words <= bytes_.size(); }
    unsigned Word() {
        const unsigned w = static_cast<unsigned char>(bytes_[at_]) |
                           static_cast<unsigned>(static_cast<unsigned char>(bytes_[at_ + 1])) << 8;
        at_ += 2;
        return w;
    }
    // Two words, the high one first, each little-endian; signed.
    int32_t Long() {
        const unsigned hi = Word();
        return static_cast<int32_t>(hi << 16 | Word());
    }
    bool Text(std::size_t length, std::string& out) {
        const std::size_t padded = length + (length & 1);  // words stay aligned
        if (at_ + padded > bytes_.size()) return false;
        out.assign(bytes_.substr(at_, length));
        const std::size_t nul = out.find('\0');
        if (nul != std::string::npos) out.resize(nul);
        at_ += padded;
        return true;
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// Every annotation as the file stores it, before the table is taken out.
void ReadAll(std::string_view bytes, WfdbAnnotationFile& out) {
    WordStream in(bytes);
    int64_t time = 0;
    WfdbAnnotation current;
    std::optional<WfdbAnnotation> open;  // read, its pseudo-codes still coming
    auto close = [&] {
        if (open) out.items.push_back(*open);
        open.reset();
    };
    while (in.Has(1)) {
        const unsigned w = in.Word();
        const int code = static_cast<int>(w >> kCodeShift);
        if (w == 0) {
            out.complete = true;
            break;
        }
        if (code < kPseudoMin) {
            close();
            time += w & kData;
            current.time = time;
            current.code = static_cast<uint8_t>(code);
            current.subtype = 0;  // channel and number carry over; subtype and text do not
            current.aux = 0;
            open = current;
            continue;
        }
        if (code == kSkip) {
            if (!in.Has(2)) break;
            time += in.Long();
            continue;
        }
        if (code == kAux) {
            std::string text;
            if (!in.Text(w & 0xFF, text)) break;
            if (!open) continue;
            out.texts.push_back(std::move(text));
            open->aux = static_cast<uint32_t>(out.texts.size());
            continue;
        }
        if (!open) continue;
        const auto value = static_cast<uint8_t>(w & 0xFF);
        if (code == kSub) open->subtype = static_cast<int8_t>(value);
        if (code == kChn) current.channel = open->channel = value;
        if (code == kNum) current.number = open->number = static_cast<int8_t>(value);
    }
    close();
}

// A table note: "## time resolution: 500", or "CODE MNEMONIC [DESCRIPTION]".
void TakeTableLine(const std::string& text, WfdbAnnotationFile& out) {
    constexpr std::string_view kResolution = "## time resolution: ";
    if (!text.empty() && text[0] == '#') {
        if (text.compare(0, kResolution.size(), kResolution) == 0) {
            const double r = std::strtod(text.c_str() + kResolution.size(), nullptr);
            out.resolution = r > 0 && std::isfinite(r) ? r : 0;
        }
        return;
    }
    const char* p = text.c_str();
    char* end = nullptr;
    const long code = std::strtol(p, &end, 10);
    if (end == p || code < 0 || code > kMaxCode) return;
    const std::string_view rest(end);
    const std::size_t a = rest.find_first_not_of(" \t");
    if (a == std::string_view::npos) return;
    const std::size_t b = rest.find_first_of(" \t", a);
    out.labels[static_cast<std::size_t>(code)] = std::string(rest.substr(a, b - a));
}

}  // namespace

WfdbAnnotationFile ParseWfdbAnnotations(std::string_view bytes) {
    WfdbAnnotationFile out;
    for (std::size_t c = 0; c < out.labels.size(); ++c)
        out.labels[c] = c <= kMaxCode ? kMnemonics[c] : "[" + std::to_string(c) + "]";
    ReadAll(bytes, out);
    // The table: notes of subtype 0 at time 0 at the file's start. The first
    // annotation after it stays, unless it has code 0, which the package's
    // reader cannot hand back and so drops.
    std::size_t taken = 0;
    auto isTable = [](const WfdbAnnotation& a) {
        return a.time == 0 && a.code == kNote && a.subtype == 0;
    };
    while (taken < out.items.size() && isTable(out.items[taken])) {
        const WfdbAnnotation& a = out.items[taken];
        if (a.aux != 0) TakeTableLine(out.texts[a.aux - 1], out);
        ++taken;
    }
    if (taken < out.items.size() && out.items[taken].code == 0) {
        ++taken;
    } else if (taken == out.items.size() && taken > 0 && out.items[taken - 1].aux == 0) {
        --taken;  // the last note without text is handed back at the end of the file
    }
    out.items.erase(out.items.begin(), out.items.begin() + static_cast<std::ptrdiff_t>(taken));
    return out;
}

bool IsWfdbBeat(int code) {
    return code >= 0 && code <= kMaxCode && kBeat[code];
}

int64_t WfdbAnnotationSample(int64_t ticks, double resolution, double frameFrequency, double rate) {
    const double scale = resolution > 0 ? rate / resolution : rate / frameFrequency;
    const double x = static_cast<double>(ticks) * scale;
    if (!(std::abs(x) < 9e18)) return x > 0 ? INT64_MAX : INT64_MIN;
    return static_cast<int64_t>(std::floor(x + 0.5));
}

}  // namespace koru
