#include "signal/WfdbAnnotations.h"

#include <cmath>
#include <cstdlib>

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

// A table larger than this (texts and their strings) is no table: its
// further texts are not kept.
constexpr std::size_t kMaxTableText = std::size_t{1} << 20;
// Texts on annotations past this many bytes are dropped (the annotations stay).
constexpr std::size_t kMaxNoteText = std::size_t{64} << 20;

unsigned WordAt(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

bool IsTableNote(const WfdbAnnotation& a) {
    return a.time == 0 && a.code == kNote && a.subtype == 0;
}

void Close(WfdbAnnotationState& state, WfdbAnnotationFile& out) {
    if (!state.hasOpen) return;
    out.items.push_back(state.open);
    state.inTable = state.inTable && IsTableNote(state.open);
    state.hasOpen = false;
}

// An AUX word's text, within the budget of its kind: the table's, or that of
// the texts on annotations (a rhythm such as "(AFIB", a note).
void TakeText(std::string_view text, WfdbAnnotationState& state, WfdbAnnotationFile& out) {
    const std::size_t cost = text.size() + sizeof(std::string);
    if (!state.hasOpen) return;
    const bool table = state.inTable && IsTableNote(state.open);
    std::size_t& spent = table ? state.textBytes : state.noteBytes;
    if (spent + cost > (table ? kMaxTableText : kMaxNoteText)) {
        if (!table) out.textsCut = true;
        return;
    }
    std::string kept(text);
    const std::size_t nul = kept.find('\0');
    if (nul != std::string::npos) kept.resize(nul);
    spent += cost;
    out.texts.push_back(std::move(kept));
    state.open.aux = static_cast<uint32_t>(out.texts.size());
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

std::size_t ParseWfdbAnnotationBlock(std::string_view bytes, WfdbAnnotationState& state,
                                     WfdbAnnotationFile& out, std::size_t limit) {
    std::size_t at = 0;
    while (!state.ended && at + 2 <= bytes.size()) {
        const unsigned w = WordAt(bytes, at);
        const int code = static_cast<int>(w >> kCodeShift);
        if (w == 0) {
            out.complete = true;
            state.ended = true;
            at += 2;
            break;
        }
        if (code < kPseudoMin) {
            if (out.items.size() + (state.hasOpen ? 1 : 0) >= limit) {
                out.full = state.ended = true;
                break;
            }
            Close(state, out);
            state.time += w & kData;
            WfdbAnnotation& c = state.current;
            c.time = state.time;
            c.code = static_cast<uint8_t>(code);
            c.subtype = 0;  // channel and number carry over; subtype and text do not
            c.aux = 0;
            state.open = c;
            state.hasOpen = true;
            at += 2;
            continue;
        }
        if (code == kSkip) {
            if (at + 6 > bytes.size()) break;
            // Two words, the high one first, each little-endian; signed.
            state.time += static_cast<int32_t>(WordAt(bytes, at + 2) << 16 | WordAt(bytes, at + 4));
            at += 6;
            continue;
        }
        if (code == kAux) {
            const std::size_t length = w & 0xFF;
            const std::size_t padded = length + (length & 1);  // words stay aligned
            if (at + 2 + padded > bytes.size()) break;
            TakeText(bytes.substr(at + 2, length), state, out);
            at += 2 + padded;
            continue;
        }
        at += 2;
        if (!state.hasOpen) continue;
        const auto value = static_cast<uint8_t>(w & 0xFF);
        if (code == kSub) state.open.subtype = static_cast<int8_t>(value);
        if (code == kChn) state.current.channel = state.open.channel = value;
        if (code == kNum) state.current.number = state.open.number = static_cast<int8_t>(value);
    }
    return at;
}

void FinishWfdbAnnotations(WfdbAnnotationState& state, WfdbAnnotationFile& out) {
    Close(state, out);
    state.ended = true;
    for (std::size_t c = 0; c < out.labels.size(); ++c)
        out.labels[c] = c <= kMaxCode ? kMnemonics[c] : "[" + std::to_string(c) + "]";
    // The table: notes of subtype 0 at time 0 at the file's start. The first
    // annotation after it stays, unless it has code 0, which the package's
    // reader cannot hand back and so drops.
    std::size_t taken = 0;
    while (taken < out.items.size() && IsTableNote(out.items[taken])) {
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
}

WfdbAnnotationFile ParseWfdbAnnotations(std::string_view bytes, std::size_t limit) {
    WfdbAnnotationFile out;
    WfdbAnnotationState state;
    ParseWfdbAnnotationBlock(bytes, state, out, limit);
    FinishWfdbAnnotations(state, out);
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
