#include "signal/WfdbHeader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>

namespace koru {

namespace {

std::vector<std::string_view> Fields(std::string_view line, std::size_t maxFields) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        if (out.size() + 1 == maxFields) {
            out.push_back(line.substr(i));  // the description keeps its blanks
            break;
        }
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

bool ToDouble(std::string_view s, double& out) {
    const std::string copy(s);
    char* end = nullptr;
    out = std::strtod(copy.c_str(), &end);
    return end != copy.c_str();
}

template <typename T>
bool ToInt(std::string_view s, T& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size();
}

bool ParseRecordLine(std::string_view line, WfdbHeader& out, int& nsig, std::string& error) {
    const std::vector<std::string_view> f = Fields(line, 0);
    if (f.size() < 2 || !ToInt(f[1], nsig) || nsig < 1 || nsig > 4096) {
        error = "The WFDB header has no valid record line.";
        return false;
    }
    if (f[0].find('/') != std::string_view::npos) {
        error = "Multi-segment WFDB records are not supported.";
        return false;
    }
    out.record = std::string(f[0]);
    if (f.size() > 2) {
        const std::string_view fs = f[2].substr(0, f[2].find('/'));
        if (!ToDouble(fs, out.frequency) || !(out.frequency > 0) || out.frequency > 1e7) {
            error = "The WFDB header gives no valid sampling frequency.";
            return false;
        }
    }
    if (f.size() > 3) {
        int64_t n = 0;
        if (!ToInt(f[3], n) || n < 0) {
            error = "The WFDB header gives no valid number of samples.";
            return false;
        }
        out.samples = n;
    }
    return true;
}

// "212x2:3+512": format, samples per frame, skew, byte offset.
bool ParseFormat(std::string_view field, WfdbSignalLine& s) {
    std::size_t end = field.find_first_of("x:+");
    if (!ToInt(field.substr(0, end), s.format)) return false;
    while (end != std::string_view::npos) {
        const char tag = field[end];
        const std::size_t next = field.find_first_of("x:+", end + 1);
        const std::string_view value = field.substr(end + 1, next - end - 1);
        if (tag == 'x' &&
            (!ToInt(value, s.samplesPerFrame) || s.samplesPerFrame < 1 || s.samplesPerFrame > 1024))
            return false;
        if (tag == '+' && !ToInt(value, s.byteOffset)) return false;
        end = next;
    }
    return true;
}

// "200(1024)/mV": gain, baseline, units.
bool ParseGain(std::string_view field, WfdbSignalLine& s, bool& hasBaseline) {
    const std::size_t slash = field.find('/');
    if (slash != std::string_view::npos) s.units = std::string(field.substr(slash + 1));
    field = field.substr(0, slash);
    const std::size_t paren = field.find('(');
    if (!ToDouble(field.substr(0, paren), s.gain)) return false;
    if (s.gain == 0) s.gain = 200;
    if (paren != std::string_view::npos) {
        const std::size_t close = field.find(')', paren);
        if (close == std::string_view::npos ||
            !ToDouble(field.substr(paren + 1, close - paren - 1), s.baseline))
            return false;
        hasBaseline = true;
    }
    return true;
}

bool ParseSignalLine(std::string_view line, WfdbSignalLine& s) {
    const std::vector<std::string_view> f = Fields(line, 9);
    if (f.size() < 2 || !ParseFormat(f[1], s)) return false;
    s.file = std::string(f[0]);
    bool hasBaseline = false;
    if (f.size() > 2 && !ParseGain(f[2], s, hasBaseline)) return false;
    double adcZero = 0;
    if (f.size() > 4 && !ToDouble(f[4], adcZero)) return false;
    if (!hasBaseline) s.baseline = adcZero;  // no baseline: the ADC zero is physical zero
    if (f.size() > 8) s.description = std::string(f[8]);
    return true;
}

}  // namespace

bool ParseWfdbHeader(std::string_view text, WfdbHeader& out, std::string& error) {
    out = WfdbHeader{};
    int nsig = -1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        if (nsig < 0) {
            if (!ParseRecordLine(line, out, nsig, error)) return false;
            continue;
        }
        if (out.signals.size() == static_cast<std::size_t>(nsig)) break;
        WfdbSignalLine s;
        if (!ParseSignalLine(line, s)) {
            error = "Signal line " + std::to_string(out.signals.size() + 1) +
                    " of the WFDB header is not valid.";
            return false;
        }
        out.signals.push_back(std::move(s));
    }
    if (nsig < 0) {
        error = "The WFDB header has no record line.";
        return false;
    }
    if (out.signals.size() != static_cast<std::size_t>(nsig)) {
        error = "The WFDB header names " + std::to_string(nsig) + " signals but describes " +
                std::to_string(out.signals.size()) + ".";
        return false;
    }
    return true;
}

std::size_t ParseMitAnnotationBlock(std::string_view bytes, MitAnnotationState& state,
                                    std::vector<int64_t>& out, std::size_t limit) {
    constexpr int kSkip = 59, kAux = 63, kMaxType = 49;
    std::size_t i = 0;
    auto word = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                     static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    while (!state.ended) {
        if (state.skip > 0) {
            const std::size_t pass =
                static_cast<std::size_t>(std::min<uint64_t>(state.skip, bytes.size() - i));
            i += pass;
            state.skip -= pass;
            if (state.skip > 0) break;
        }
        if (i + 2 > bytes.size()) break;
        const unsigned w = word(i);
        const int code = static_cast<int>(w >> 10);
        const unsigned value = w & 0x3FF;
        if (w == 0) {
            state.ended = true;
            break;
        }
        if (code == kSkip) {
            if (i + 6 > bytes.size()) break;
            // Two words, the high one first, each little-endian.
            state.time += static_cast<int32_t>(word(i + 2) << 16 | word(i + 4));
            i += 6;
            continue;
        }
        i += 2;
        if (code == kAux) {
            state.skip = value + (value & 1);
        } else if (code >= 1 && code <= kMaxType) {
            if (out.size() >= limit) {
                state.full = state.ended = true;
                break;
            }
            state.time += value;
            out.push_back(state.time);
        } else if (code == 0) {
            state.time += value;
        }
        // NUM, SUB and CHAN (60 to 62) only set fields of the last annotation.
    }
    return i;
}

std::vector<int64_t> ParseMitAnnotations(std::string_view bytes) {
    std::vector<int64_t> out;
    MitAnnotationState state;
    ParseMitAnnotationBlock(bytes, state, out, SIZE_MAX);
    return out;
}

}  // namespace koru
