#include "export/EdfWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/AppendWriter.h"
#include "platform/File.h"
#include "signal/EdfHeader.h"
#include "signal/RecordingStart.h"

namespace koru {

namespace {

// The size the format's authors advise a data record to stay within.
constexpr std::size_t kMaxRecordBytes = 61440;
constexpr uint64_t kRecordCountAt = 236;
constexpr int32_t kDigitalMin = -32768, kDigitalMax = 32767;

// Where everything lies in a data record, and what the records mean.
struct RecordPlan {
    bool bdf = false;
    int64_t perRecord = 1;              // frames a record
    int64_t recordMicros = 0;           // length of a record
    int64_t firstRecord = 0;            // records before the first one written
    int64_t startMicros = 0;            // the first record's time past the header's start
    std::vector<std::size_t> signalAt;  // byte of each data signal in a record
    std::size_t annAt = 0, annBytes = 0;
    std::size_t recordBytes = 0;
    std::size_t SampleBytes() const { return bdf ? 3 : 2; }
};

std::string Padded(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

// The shortest text of at most eight characters that holds `v` to six
// decimals; nothing when even its whole part is longer.
std::optional<std::string> EightCharacters(double v) {
    for (int decimals = 6; decimals >= 0; --decimals) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
        std::string s = buffer;
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        if (s == "-0") s = "0";
        if (s.size() <= 8) return s;
    }
    return std::nullopt;
}

// One time-stamped annotation list; empty text is the list that only
// states a record's time.
std::string Tal(int64_t micros, std::string_view text) {
    std::string s = micros < 0 ? "" : "+";
    s += SecondsText(micros);
    s += '\x14';
    s += text;
    s += '\x14';
    s += '\0';
    return s;
}

// Frames a record for a new file (see the header for the rule); 0 when
// no length lasts whole microseconds that fit the header's eight characters.
int64_t FramesPerRecord(const FrameClock& clock, int64_t frames, std::size_t frameBytes) {
    const int64_t second = std::max<int64_t>(1, std::llround(1e6 / clock.MicrosPerFrame()));
    const auto fits = static_cast<int64_t>(std::max<std::size_t>(1, kMaxRecordBytes / frameBytes));
    // A cutout shorter than a record is one record.
    const int64_t target = std::max<int64_t>(1, std::min({second, fits, frames}));
    auto usable = [&](int64_t k) {
        return clock.Scaled(k) % clock.Den() == 0 && SecondsText(clock.Micros(k)).size() <= 8;
    };
    for (int64_t k = target; k >= std::max<int64_t>(1, target / 4); --k)
        if (frames % k == 0 && usable(k)) return k;
    for (int64_t k = target; k >= 1; --k)
        if (usable(k)) return k;
    return 0;
}

// One annotation to write: its frame from the cutout's start and its text.
struct Event {
    int64_t frame = 0;
    std::string text;
};

// The annotation bytes of each of `records` records: its time, then the
// events inside it, and any an earlier record had no room for. False
// when the events do not all fit `capacity` bytes a record.
bool PlanTals(const std::vector<Event>& events, int64_t records, const RecordPlan& p,
              std::size_t capacity, std::vector<std::string>& out) {
    out.assign(static_cast<std::size_t>(records), {});
    if (capacity == 0) return events.empty();  // plain EDF: no annotation signal
    const int64_t base = p.startMicros + p.firstRecord * p.recordMicros;
    std::size_t next = 0;
    for (int64_t r = 0; r < records; ++r) {
        std::string& s = out[static_cast<std::size_t>(r)];
        s = Tal(base + r * p.recordMicros, "");
        while (next < events.size() && events[next].frame / p.perRecord <= r) {
            const int64_t at = base + events[next].frame * p.recordMicros / p.perRecord;
            const std::string tal = Tal(at, events[next].text);
            if (s.size() + tal.size() > capacity) break;
            s += tal;
            ++next;
        }
        if (s.size() > capacity) return false;
    }
    return next == events.size();
}

// An annotation's label, and its text after a space where it has one; the
// bytes that delimit annotation lists become spaces.
std::string EventText(const Annotation& a) {
    std::string s = a.text.empty() ? a.label : a.label + " " + a.text;
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

// The annotations inside the first `frames` frames of the cutout with their
// labels, and the markers there as "Marker", in frame order. A marker where
// an annotation already is is that annotation (a foreign recording's
// markers are its annotations), so it is not written twice: a file written
// and read back and written again says the same.
std::vector<Event> CutoutEvents(const SignalDocument& doc, const Cutout& cutout, int64_t frames) {
    std::vector<Event> out;
    const auto [first, last] = doc.Annotations().Range(cutout.start, cutout.start + frames);
    std::vector<int64_t> annotated;
    for (std::size_t i = first; i < last; ++i) {
        const Annotation& a = doc.Annotations()[i];
        out.push_back({a.frame - cutout.start, EventText(a)});
        annotated.push_back(a.frame);
    }
    for (const int32_t m : doc.Markers().items)
        if (m >= cutout.start && m - cutout.start < frames &&
            !std::binary_search(annotated.begin(), annotated.end(), int64_t{m}))
            out.push_back({m - cutout.start, "Marker"});
    std::stable_sort(out.begin(), out.end(),
                     [](const Event& x, const Event& y) { return x.frame < y.frame; });
    return out;
}

int64_t CutoutFrames(const SignalDocument& doc, const Cutout& cutout) {
    return std::max<int64_t>(0, std::min(cutout.Frames(), doc.ReadableFrames() - cutout.start));
}

std::string SignalColumn(const std::vector<std::string>& values, std::size_t width) {
    std::string out;
    for (const std::string& v : values) out += Padded(v, width);
    return out;
}

std::string TwoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// The recording field and the start date and time fields. A date the
// header's two-digit year cannot hold (before 1985, after 2084) is left
// unknown, as is what the source does not give: "Startdate X", 01.01.85,
// 00.00.00.
std::string StartFields(const RecordingStart& s) {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const bool date = s.HasDate() && s.year >= 1985 && s.year <= 2084;
    std::string recording = "Startdate X X X X";
    std::string fields = "01.01.85";
    if (date) {
        recording = "Startdate " + TwoDigits(s.day) + "-" + kMonths[s.month - 1] + "-" +
                    std::to_string(s.year) + " X X X";
        fields = TwoDigits(s.day) + "." + TwoDigits(s.month) + "." + TwoDigits(s.year % 100);
    }
    fields += s.HasTime()
                  ? TwoDigits(s.hour) + "." + TwoDigits(s.minute) + "." + TwoDigits(s.second)
                  : "00.00.00";
    return Padded(recording, 80) + fields;
}

// The whole header of a new file; empty with `error` set when a channel's
// calibration does not fit its fields.
std::string HeaderText(const RecordPlan& p, const std::vector<ExportChannel>& channels,
                       const RecordingStart& start, int64_t records, std::string& error) {
    const std::size_t ns = channels.size() + 1;
    std::string h = p.bdf ? std::string("\xFF") + "BIOSEMI" : Padded("0", 8);
    // Nothing is known of the patient: the format's "unknown" form.
    h += Padded("X X X X", 80) + StartFields(start);
    h += Padded(std::to_string(256 * (ns + 1)), 8) + Padded(p.bdf ? "BDF+C" : "EDF+C", 44);
    h += Padded(std::to_string(records), 8) + Padded(SecondsText(p.recordMicros), 8);
    h += Padded(std::to_string(ns), 4);
    std::vector<std::string> label, unit, physMin, physMax, digMin, digMax, per;
    for (const ExportChannel& c : channels) {
        const std::optional<std::string> lo = EightCharacters(kDigitalMin * c.step);
        const std::optional<std::string> hi = EightCharacters(kDigitalMax * c.step);
        if (!lo || !hi || *lo == *hi) {
            error = "the scale factor of " + c.label + " does not fit the header";
            return {};
        }
        label.push_back(c.label);
        unit.push_back(c.unit);
        physMin.push_back(*lo);
        physMax.push_back(*hi);
        per.push_back(std::to_string(p.perRecord));
    }
    label.push_back(p.bdf ? "BDF Annotations" : "EDF Annotations");
    unit.emplace_back();
    physMin.emplace_back("-1");
    physMax.emplace_back("1");
    per.push_back(std::to_string(p.annBytes / p.SampleBytes()));
    digMin.assign(ns - 1, std::to_string(kDigitalMin));
    digMax.assign(ns - 1, std::to_string(kDigitalMax));
    // The annotation signal spans the whole range of its sample size: BDF+
    // readers refuse the 16-bit range there.
    digMin.push_back(p.bdf ? "-8388608" : std::to_string(kDigitalMin));
    digMax.push_back(p.bdf ? "8388607" : std::to_string(kDigitalMax));
    const std::vector<std::string> blank(ns);
    h += SignalColumn(label, 16) + SignalColumn(blank, 80) + SignalColumn(unit, 8);
    h += SignalColumn(physMin, 8) + SignalColumn(physMax, 8) + SignalColumn(digMin, 8);
    h += SignalColumn(digMax, 8) + SignalColumn(blank, 80) + SignalColumn(per, 8);
    return h + SignalColumn(blank, 32);
}

// One channel's samples of a run of frames into its block of a record, a
// channel at a time so that each loop is a plain strided copy.
void EncodeRun(std::span<const Frame> run, const std::array<std::size_t, 8>& from, std::size_t n,
               const RecordPlan& p, std::size_t at, char* record) {
    for (std::size_t i = 0; i < n; ++i) {
        char* q = record + p.signalAt[i] + at * p.SampleBytes();
        const std::size_t c = from[i];
        if (c >= kFrameChannels) {
            std::memset(q, 0, run.size() * p.SampleBytes());
        } else if (!p.bdf && std::endian::native == std::endian::little) {
            // The file's order is the machine's: each value as it is held.
            for (const Frame& f : run) {
                std::memcpy(q, &f[c], 2);
                q += 2;
            }
        } else if (!p.bdf) {
            for (const Frame& f : run) {
                const auto w = static_cast<uint16_t>(f[c]);
                *q++ = static_cast<char>(w & 0xFF);
                *q++ = static_cast<char>(w >> 8);
            }
        } else {
            for (const Frame& f : run) {
                const auto w = static_cast<uint16_t>(f[c]);
                *q++ = static_cast<char>(w & 0xFF);
                *q++ = static_cast<char>(w >> 8);
                *q++ = static_cast<char>(f[c] < 0 ? 0xFF : 0);
            }
        }
    }
}

// Streams the frames out as records, the last one filled up with the last
// frame. False when the output failed or the recording ended early.
bool WriteRecords(const SignalDocument& doc, int64_t first, int64_t frames,
                  const std::vector<ExportChannel>& channels, const RecordPlan& p,
                  const std::vector<std::string>& tals, BufferedOutput& out,
                  ProgressSink& progress) {
    // Records are built side by side and written about a megabyte at a
    // time, as a plain copy of the bytes would be.
    const std::size_t batch = std::max<std::size_t>(1, (std::size_t{1} << 20) / p.recordBytes);
    std::string records(batch * p.recordBytes, '\0');
    std::size_t built = 0;  // whole records in `records`
    char* record = records.data();
    const std::size_t n = channels.size();
    const int present = std::min<int>(doc.Header().ChannelCount, kFrameChannels);
    std::array<std::size_t, 8> from{};
    for (std::size_t i = 0; i < n; ++i)
        from[i] = channels[i].index < present ? static_cast<std::size_t>(channels[i].index) : 8;
    const auto k = static_cast<std::size_t>(p.perRecord);
    std::size_t j = 0, r = 0;
    Frame last{};
    // Takes frames until the record is full; how many it took.
    auto take = [&](std::span<const Frame> run) {
        const std::size_t m = std::min(run.size(), k - j);
        EncodeRun(run.first(m), from, n, p, j, record);
        last = run[m - 1];
        if ((j += m) < k) return m;
        const std::string& tal = tals[r++];
        std::memcpy(record + p.annAt, tal.data(), tal.size());
        std::memset(record + p.annAt + tal.size(), 0, p.annBytes - tal.size());
        if (++built == batch) {
            out.Write(records);
            built = 0;
        }
        record = records.data() + built * p.recordBytes;
        j = 0;
        return m;
    };
    FrameSpans spans(doc, first);
    int64_t done = 0;
    int shown = 0;
    while (done < frames) {
        const auto want = static_cast<std::size_t>(std::min<int64_t>(frames - done, 4096));
        std::span<const Frame> run = spans.Next(want);
        if (run.empty()) return false;
        done += static_cast<int64_t>(run.size());
        while (!run.empty()) run = run.subspan(take(run));
        if (const int percent = static_cast<int>(done * 100 / frames); percent != shown)
            progress.ProgressSet(shown = percent);
    }
    while (j > 0) take(std::span<const Frame>(&last, 1));
    out.Write(records.data(), built * p.recordBytes);
    return !out.Failed();
}

// The layout the records of a new file take.
bool PlanNew(const SignalDocument& doc, const std::vector<ExportChannel>& channels, bool bdf,
             int64_t frames, const std::vector<Event>& events, int64_t startMicros, RecordPlan& p,
             std::vector<std::string>& tals) {
    p.bdf = bdf;
    p.startMicros = startMicros;
    const FrameClock clock = doc.Clock();
    p.perRecord = FramesPerRecord(clock, frames, channels.size() * p.SampleBytes());
    if (p.perRecord == 0) return false;
    p.recordMicros = clock.Micros(p.perRecord);
    const std::size_t block = static_cast<std::size_t>(p.perRecord) * p.SampleBytes();
    for (std::size_t i = 0; i < channels.size(); ++i) p.signalAt.push_back(i * block);
    p.annAt = channels.size() * block;
    const int64_t records = (frames + p.perRecord - 1) / p.perRecord;
    PlanTals(events, records, p, SIZE_MAX, tals);
    std::size_t longest = 0;
    for (const std::string& s : tals) longest = std::max(longest, s.size());
    // Room for a few markers a record, for what later appends bring.
    longest = std::max<std::size_t>(longest, 120);
    p.annBytes = (longest + p.SampleBytes() - 1) / p.SampleBytes() * p.SampleBytes();
    p.recordBytes = p.annAt + p.annBytes;
    return true;
}

std::string ShapeText(std::size_t channels, int64_t interval) {
    return std::to_string(channels) + " channels at " + std::to_string(interval) +
           " microseconds per sample";
}

// The layout of an existing file's records, when the cutout fits it;
// otherwise the reason it does not.
std::string PlanAppend(const EdfHeader& h, const SignalDocument& doc,
                       const std::vector<ExportChannel>& channels, bool bdf, RecordPlan& p) {
    if (h.bdf != bdf)
        return std::string("it is ") + (h.bdf ? "BDF" : "EDF") + ", not " + (bdf ? "BDF" : "EDF");
    if (h.discontinuous) return "it is not continuous (EDF+D)";
    p.bdf = bdf;
    p.firstRecord = h.records;
    p.recordMicros = std::llround(h.duration * 1e6);
    bool annotations = false;
    for (const EdfSignalHeader& s : h.signals) {
        if (s.annotations && !annotations) {
            annotations = true;
            p.annAt = s.offset;
            p.annBytes = static_cast<std::size_t>(s.perRecord) * p.SampleBytes();
        } else if (!s.annotations) {
            if (!p.signalAt.empty() && s.perRecord != p.perRecord)
                return "its signals differ in rate";
            p.perRecord = s.perRecord;
            p.signalAt.push_back(s.offset);
        }
    }
    p.recordBytes = h.recordBytes;
    const int64_t interval =
        p.perRecord > 0
            ? std::llround(static_cast<double>(p.recordMicros) / static_cast<double>(p.perRecord))
            : 0;
    if (p.signalAt.size() != channels.size() || interval != doc.Header().Interval)
        return "it has " + ShapeText(p.signalAt.size(), interval) + "; the cutout has " +
               ShapeText(channels.size(), doc.Header().Interval);
    return {};
}

std::optional<EdfHeader> ReadHeader(const std::string& path, uint64_t size, std::string& error) {
    ReadOnlyFile file;
    std::string bytes(256, '\0');
    if (!file.Open(path) || file.ReadAt(0, bytes.data(), 256) != 256) {
        error = "it is shorter than an EDF header";
        return std::nullopt;
    }
    const std::optional<std::size_t> headerSize = EdfHeaderSize(bytes, error);
    if (!headerSize) return std::nullopt;
    bytes.resize(*headerSize);
    if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        error = "it ends inside its header";
        return std::nullopt;
    }
    std::optional<EdfHeader> h = ParseEdfHeader(bytes, size, error);
    if (h && h->headerBytes + static_cast<uint64_t>(h->records) * h->recordBytes != size) {
        error = "it has bytes past its last data record";
        return std::nullopt;
    }
    return h;
}

// The time of the file's first record past its header's start, which the
// records added go on from; 0 when it has none or states none.
int64_t FirstRecordMicros(const std::string& path, const EdfHeader& h, const RecordPlan& p) {
    if (h.records == 0 || p.annBytes == 0) return 0;
    ReadOnlyFile file;
    std::string bytes(p.annBytes, '\0');
    if (!file.Open(path) ||
        file.ReadAt(h.headerBytes + p.annAt, bytes.data(), bytes.size()) != bytes.size())
        return 0;
    const std::vector<EdfTal> tals = ParseTals(bytes);
    return tals.empty() ? 0 : std::llround(tals.front().onset * 1e6);
}

}  // namespace

ExportResult WriteEdf(const SignalDocument& doc, const Cutout& cutout,
                      const std::vector<ExportChannel>& channels, bool bdf, BufferedOutput& out,
                      ProgressSink& progress) {
    const int64_t frames = CutoutFrames(doc, cutout);
    // The cutout begins its first frame's time after the recording; the
    // header holds whole seconds, the first record's time the rest.
    RecordingStart start = doc.Foreign() ? doc.Foreign()->StartTime() : RecordingStart{};
    start = Later(start, doc.Clock().Micros(cutout.start));
    const int64_t fraction = start.HasTime() ? start.micros : 0;
    RecordPlan p;
    std::vector<std::string> tals;
    if (!PlanNew(doc, channels, bdf, frames, CutoutEvents(doc, cutout, frames), fraction, p, tals))
        return {{}, "the sample interval is too long for the record duration field"};
    std::string error;
    const std::string header =
        HeaderText(p, channels, start, static_cast<int64_t>(tals.size()), error);
    if (header.empty()) return {{}, error};
    out.Write(header);
    if (!WriteRecords(doc, cutout.start, frames, channels, p, tals, out, progress))
        return {{}, out.Failed() ? out.Error() : "the recording ended before the cutout"};
    return {};
}

ExportResult AppendEdf(const SignalDocument& doc, const Cutout& cutout,
                       const std::vector<ExportChannel>& channels, bool bdf,
                       const std::string& path, ProgressSink& progress) {
    AppendWriter out;
    if (!out.Open(path)) return {{}, out.Error()};
    std::string why;
    const std::optional<EdfHeader> h = ReadHeader(path, out.StartLength(), why);
    RecordPlan p;
    if (h) why = PlanAppend(*h, doc, channels, bdf, p);
    if (!why.empty()) return {"Cannot append: " + path + ": " + why + ".", {}};
    p.startMicros = FirstRecordMicros(path, *h, p);
    const int64_t frames = CutoutFrames(doc, cutout);
    const int64_t records = (frames + p.perRecord - 1) / p.perRecord;
    std::vector<std::string> tals;
    if (h->records + records > 99999999 ||
        !PlanTals(CutoutEvents(doc, cutout, frames), records, p, p.annBytes, tals))
        return {"Cannot append: " + path +
                    ": its records have no room for the cutout's markers and times.",
                {}};
    const std::string oldCount = Padded(std::to_string(h->records), 8);
    if (!out.Overwrite(kRecordCountAt, Padded("-1", 8))) return {{}, "cannot update its header"};
    if (!WriteRecords(doc, cutout.start, frames, channels, p, tals, out, progress)) {
        const std::string reason = out.Failed() ? out.Error() : "the recording ended early";
        out.Overwrite(kRecordCountAt, oldCount);
        out.Abandon();
        return {{}, reason};
    }
    if (!out.Commit(kRecordCountAt, Padded(std::to_string(h->records + records), 8)))
        return {{}, out.Error()};
    return {};
}

}  // namespace koru
