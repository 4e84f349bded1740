#include "signal/EdfHeader.h"

#include <charconv>
#include <cmath>

namespace koru {

namespace {

// A field of the fixed part or of the per-signal part: its name in messages
// and its width in bytes. The per-signal fields come one column each: all
// labels, then all transducers, and so on.
struct Field {
    const char* name;
    std::size_t width;
};

enum FileField {
    kVersion,
    kPatient,
    kRecording,
    kStartDate,
    kStartTime,
    kHeaderBytes,
    kReserved,
    kRecords,
    kDuration,
    kSignalCount
};
constexpr Field kFileFields[] = {
    {"version", 8},         {"patient", 80},     {"recording", 80},      {"start date", 8},
    {"start time", 8},      {"header size", 8},  {"reserved field", 44}, {"data record count", 8},
    {"record duration", 8}, {"signal count", 4},
};

enum SignalField {
    kLabel,
    kTransducer,
    kUnit,
    kPhysMin,
    kPhysMax,
    kDigMin,
    kDigMax,
    kPrefilter,
    kPerRecord,
    kSignalReserved
};
constexpr Field kSignalFields[] = {
    {"label", 16},           {"transducer", 80},      {"unit", 8},
    {"physical minimum", 8}, {"physical maximum", 8}, {"digital minimum", 8},
    {"digital maximum", 8},  {"prefilter", 80},       {"samples per record", 8},
    {"reserved field", 32},
};

constexpr std::size_t kFixedBytes = 256;
constexpr std::size_t kMaxSignals = 4095;  // keeps the header within 1 MiB

std::size_t FileFieldAt(FileField f) {
    std::size_t at = 0;
    for (int k = 0; k < f; ++k) at += kFileFields[k].width;
    return at;
}

// Byte of signal i's field f in a header of n signals.
std::size_t SignalFieldAt(SignalField f, std::size_t i, std::size_t n) {
    std::size_t at = kFixedBytes;
    for (int k = 0; k < f; ++k) at += kSignalFields[k].width * n;
    return at + kSignalFields[f].width * i;
}

// Spaces and NULs (some writers pad with them) off both ends.
std::string Trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(std::string_view(" \0", 2));
    if (start == std::string_view::npos) return {};
    const std::size_t end = text.find_last_not_of(std::string_view(" \0", 2));
    return std::string(text.substr(start, end - start + 1));
}

std::optional<double> Number(std::string_view field) {
    std::string text = Trimmed(field);
    if (!text.empty() && text.front() == '+') text.erase(0, 1);
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int64_t> Whole(std::string_view field) {
    const std::optional<double> v = Number(field);
    if (!v || *v != std::floor(*v) || std::abs(*v) > 1e15) return std::nullopt;
    return static_cast<int64_t>(*v);
}

std::string Where(std::size_t at) {
    return " (byte " + std::to_string(at) + ")";
}

bool IsAnnotationLabel(const std::string& label) {
    return label == "EDF Annotations" || label == "BDF Annotations";
}

// The per-signal part; false with `error` set at the first unusable field.
bool ParseSignals(std::string_view bytes, std::size_t n, EdfHeader& h, std::string& error) {
    h.signals.resize(n);
    auto field = [&](SignalField f, std::size_t i) {
        return bytes.substr(SignalFieldAt(f, i, n), kSignalFields[f].width);
    };
    auto bad = [&](SignalField f, std::size_t i, const char* what) {
        error = "Signal " + std::to_string(i + 1) + "'s " + kSignalFields[f].name + " " + what +
                Where(SignalFieldAt(f, i, n)) + ".";
        return false;
    };
    uint64_t offset = 0;
    for (std::size_t i = 0; i < n; ++i) {
        EdfSignalHeader& s = h.signals[i];
        s.label = Trimmed(field(kLabel, i));
        s.annotations = IsAnnotationLabel(s.label);
        s.unit = Trimmed(field(kUnit, i));
        const std::optional<int64_t> per = Whole(field(kPerRecord, i));
        if (!per || *per < 0 || *per > (int64_t{1} << 30)) return bad(kPerRecord, i, "is no count");
        s.perRecord = *per;
        s.offset = offset;
        offset += static_cast<uint64_t>(*per) * static_cast<uint64_t>(h.SampleBytes());
        if (s.annotations) continue;  // its ranges mean nothing
        const SignalField numbers[] = {kPhysMin, kPhysMax, kDigMin, kDigMax};
        double* into[] = {&s.physMin, &s.physMax, &s.digMin, &s.digMax};
        for (std::size_t k = 0; k < 4; ++k) {
            const std::optional<double> v = Number(field(numbers[k], i));
            if (!v) return bad(numbers[k], i, "is no number");
            *into[k] = *v;
        }
        if (!(s.digMax > s.digMin)) return bad(kDigMax, i, "is not above the digital minimum");
    }
    h.recordBytes = offset;
    return true;
}

}  // namespace

std::optional<std::size_t> EdfHeaderSize(std::string_view first256, std::string& error) {
    if (first256.size() < kFixedBytes) {
        error = "The file is shorter than an EDF/BDF header.";
        return std::nullopt;
    }
    const std::size_t at = FileFieldAt(kSignalCount);
    const std::optional<int64_t> n = Whole(first256.substr(at, kFileFields[kSignalCount].width));
    if (!n || *n < 1 || *n > static_cast<int64_t>(kMaxSignals)) {
        error = "The header's signal count is no count from 1 to " + std::to_string(kMaxSignals) +
                Where(at) + ".";
        return std::nullopt;
    }
    return kFixedBytes * (static_cast<std::size_t>(*n) + 1);
}

std::optional<EdfHeader> ParseEdfHeader(std::string_view bytes, uint64_t fileSize,
                                        std::string& error) {
    const std::optional<std::size_t> size = EdfHeaderSize(bytes, error);
    if (!size) return std::nullopt;
    if (bytes.size() < *size) {
        error = "The file ends inside its header.";
        return std::nullopt;
    }
    auto field = [&](FileField f) { return bytes.substr(FileFieldAt(f), kFileFields[f].width); };
    auto bad = [&](FileField f, const char* what) {
        error = std::string("The header's ") + kFileFields[f].name + " " + what +
                Where(FileFieldAt(f)) + ".";
        return std::nullopt;
    };
    EdfHeader h;
    const std::string_view version = field(kVersion);
    h.bdf = static_cast<uint8_t>(version[0]) == 0xFF;
    if (!h.bdf && Trimmed(version) != "0") return bad(kVersion, "is neither EDF's nor BDF's");
    h.patient = Trimmed(field(kPatient));
    h.recording = Trimmed(field(kRecording));
    h.startDate = std::string(field(kStartDate));
    h.startTime = std::string(field(kStartTime));
    const std::string reserved = Trimmed(field(kReserved));
    h.discontinuous = reserved.rfind("EDF+D", 0) == 0 || reserved.rfind("BDF+D", 0) == 0;
    const std::optional<int64_t> headerBytes = Whole(field(kHeaderBytes));
    if (!headerBytes || *headerBytes != static_cast<int64_t>(*size))
        return bad(kHeaderBytes, "does not match its signal count");
    h.headerBytes = *size;
    const std::optional<double> duration = Number(field(kDuration));
    if (!duration || *duration <= 0) return bad(kDuration, "is no positive number");
    h.duration = *duration;
    const std::size_t n = *size / kFixedBytes - 1;
    if (!ParseSignals(bytes, n, h, error)) return std::nullopt;
    if (h.recordBytes == 0) return bad(kSignalCount, "counts no samples");
    const uint64_t room = fileSize > h.headerBytes ? fileSize - h.headerBytes : 0;
    const std::optional<int64_t> records = Whole(field(kRecords));
    if (!records || *records < -1) return bad(kRecords, "is no count");
    h.records = *records == -1 ? static_cast<int64_t>(room / h.recordBytes) : *records;
    if (static_cast<uint64_t>(h.records) > room / h.recordBytes) {
        error = "The file holds " + std::to_string(room / h.recordBytes) + " of the " +
                std::to_string(h.records) + " data records its header states.";
        return std::nullopt;
    }
    return h;
}

std::vector<EdfTal> ParseTals(std::string_view bytes) {
    std::vector<EdfTal> out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes[pos] == '\0') {  // padding after the last list
            ++pos;
            continue;
        }
        const std::size_t end = std::min(bytes.find('\0', pos), bytes.size());
        const std::string_view tal = bytes.substr(pos, end - pos);
        pos = end + 1;
        // "+onset[\x15duration]\x14text\x14text\x14...": texts after each \x14.
        const std::size_t stamp = std::min(tal.find('\x14'), tal.size());
        const std::string_view time = tal.substr(0, stamp);
        const std::size_t mark = std::min(time.find('\x15'), time.size());
        if (time.empty() || (time[0] != '+' && time[0] != '-')) continue;
        const std::optional<double> onset = Number(time.substr(0, mark));
        if (!onset) continue;
        EdfTal t;
        t.onset = *onset;
        if (mark < time.size()) t.duration = Number(time.substr(mark + 1)).value_or(0);
        for (std::size_t at = stamp; at < tal.size();) {
            const std::size_t next = std::min(tal.find('\x14', at + 1), tal.size());
            const std::string text = Trimmed(tal.substr(at + 1, next - at - 1));
            if (!text.empty()) t.texts.push_back(text);
            at = next;
        }
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace koru
