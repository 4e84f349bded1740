#include "signal/WfdbHeader.h"

#include <charconv>
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

constexpr int kMaxSegments = 1 << 16;
constexpr int kMaxSamplesPerFrame = 1 << 16;  // of all signals together

// "NAME[/SEGMENTS] SIGNALS [FREQUENCY[/COUNTER] [FRAMES [TIME [DATE]]]]".
bool ParseRecordLine(std::string_view line, WfdbHeader& out, int& nsig, int& nseg,
                     std::string& error) {
    const std::vector<std::string_view> f = Fields(line, 0);
    if (f.size() < 2 || !ToInt(f[1], nsig) || nsig < 0 || nsig > 4096) {
        error = "The WFDB header has no valid record line.";
        return false;
    }
    const std::size_t slash = f[0].find('/');
    if (slash != std::string_view::npos &&
        (!ToInt(f[0].substr(slash + 1), nseg) || nseg < 1 || nseg > kMaxSegments)) {
        error = "The WFDB header gives no valid number of segments.";
        return false;
    }
    out.record = std::string(f[0].substr(0, slash));
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
    if (f.size() > 4) out.baseTime = std::string(f[4]);
    if (f.size() > 5) out.baseDate = std::string(f[5]);
    return true;
}

// "212x2:3+512": format, samples per frame, skew (in samples of the signal),
// byte offset.
bool ParseFormat(std::string_view field, WfdbSignalLine& s) {
    std::size_t end = field.find_first_of("x:+");
    if (!ToInt(field.substr(0, end), s.format)) return false;
    int skew = 0;
    while (end != std::string_view::npos) {
        const char tag = field[end];
        const std::size_t next = field.find_first_of("x:+", end + 1);
        const std::string_view value = field.substr(end + 1, next - end - 1);
        if (tag == 'x' &&
            (!ToInt(value, s.samplesPerFrame) || s.samplesPerFrame < 1 || s.samplesPerFrame > 1024))
            return false;
        if (tag == ':' && (!ToInt(value, skew) || skew < 0 || skew > (1 << 24))) return false;
        if (tag == '+' && !ToInt(value, s.byteOffset)) return false;
        end = next;
    }
    // Signals are aligned a whole frame at a time: the skew in frames, rounded.
    s.skew = (2 * skew + s.samplesPerFrame) / (2 * s.samplesPerFrame);
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
    if (f.size() > 5 && !ToInt(f[5], s.initialValue)) s.initialValue = 0;
    if (f.size() > 8) s.description = std::string(f[8]);
    return true;
}

// "NAME FRAMES": a segment, "~" for a gap.
bool ParseSegmentLine(std::string_view line, WfdbSegmentLine& s) {
    const std::vector<std::string_view> f = Fields(line, 0);
    if (f.size() < 2 || !ToInt(f[1], s.samples) || s.samples < 0) return false;
    s.record = std::string(f[0]);
    return true;
}

}  // namespace

bool ParseWfdbHeader(std::string_view text, WfdbHeader& out, std::string& error) {
    out = WfdbHeader{};
    int nsig = -1, nseg = 0;
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
            if (!ParseRecordLine(line, out, nsig, nseg, error)) return false;
            continue;
        }
        if (nseg > 0) {
            if (out.segments.size() == static_cast<std::size_t>(nseg)) break;
            WfdbSegmentLine seg;
            if (!ParseSegmentLine(line, seg)) {
                error = "Segment line " + std::to_string(out.segments.size() + 1) +
                        " of the WFDB header is not valid.";
                return false;
            }
            out.segments.push_back(std::move(seg));
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
    if (nseg > 0) {
        if (out.segments.size() != static_cast<std::size_t>(nseg)) {
            error = "The WFDB header names " + std::to_string(nseg) + " segments but lists " +
                    std::to_string(out.segments.size()) + ".";
            return false;
        }
        return true;
    }
    int perFrame = 0;
    for (const WfdbSignalLine& s : out.signals) perFrame += s.samplesPerFrame;
    if (perFrame > kMaxSamplesPerFrame) {
        error = "The WFDB header gives more than " + std::to_string(kMaxSamplesPerFrame) +
                " samples a frame.";
        return false;
    }
    if (out.signals.size() != static_cast<std::size_t>(nsig)) {
        error = "The WFDB header names " + std::to_string(nsig) + " signals but describes " +
                std::to_string(out.signals.size()) + ".";
        return false;
    }
    return true;
}

}  // namespace koru
