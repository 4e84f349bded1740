// Multi-segment WFDB records. Fixed layout: every segment has the first
// one's signals. Variable layout: a first segment of length 0 is the layout
// header naming every signal of the record with the gain and baseline that
// hold throughout; each segment's signals are found by their description
// and scaled to that gain (rounding halves up), and "~" segments are gaps.
// Signals a segment lacks, and gaps, read as invalid samples.

#include <algorithm>
#include <cmath>
#include <map>

#include "signal/WfdbRecord.h"

namespace koru {

namespace {

// How one layout signal is found in a segment: its index there (-1: absent)
// and out = floor(in * scale + offset + 0.5).
struct SignalMap {
    int index = -1;
    double scale = 1, offset = 0;
    bool identity = true;
};

struct Segment {
    std::string record;  // "~": a gap
    int64_t start = 0;   // first frame in the record
    int64_t frames = 0;
    std::shared_ptr<const WfdbHeader> header;  // the segment's own; shared by repeats
    std::vector<SignalMap> map;                // per layout signal
};

class MultiRecord : public WfdbRecord {
  public:
    bool Open(const std::string& dir, const WfdbHeader& header, std::string& error);

    bool Read(const std::vector<int>& signals, int64_t first, std::size_t count,
              std::vector<std::span<int32_t>>& out, std::string& error) override;

  private:
    bool ReadSegmentHeaders(const WfdbHeader& header, std::string& error);
    void MapSegment(Segment& seg);
    bool ReadFrom(Segment& seg, const std::vector<int>& signals, int64_t first, std::size_t count,
                  std::size_t at, std::vector<std::span<int32_t>>& out, std::string& error);
    // The open record of segment `index`, opened now if it is not.
    WfdbRecord* Opened(std::size_t index, std::string& error);

    std::string dir_;
    std::vector<Segment> segments_;
    bool variable_ = false;  // a layout header names the signals

    // The segments whose files are open, the last used last. The first ones
    // are opened with the record, so a file saved over by rename after that
    // is not what is read; a record of more segments opens the rest as it
    // reaches them, in place of those used longest ago.
    static constexpr std::size_t kOpenSegments = 64;
    struct OpenSegment {
        std::size_t index = 0;
        std::unique_ptr<WfdbRecord> record;
    };
    std::vector<OpenSegment> open_;
    std::vector<int32_t> scratch_;
};

bool MultiRecord::Open(const std::string& dir, const WfdbHeader& header, std::string& error) {
    dir_ = dir;
    if (!ReadSegmentHeaders(header, error)) return false;
    for (Segment& seg : segments_) MapSegment(seg);
    for (WfdbRecordSignal& s : signals_)
        if (s.digitalMin > s.digitalMax) s.digitalMin = -32768, s.digitalMax = 32767;
    int64_t total = segments_.empty() ? 0 : segments_.back().start + segments_.back().frames;
    if (header.samples && *header.samples > 0) total = std::min(total, *header.samples);
    frames_ = std::min(total, kWfdbMaxFrames);
    for (std::size_t i = 0; i < segments_.size() && open_.size() < kOpenSegments; ++i)
        if (segments_[i].record != "~" && !Opened(i, error)) return false;
    return true;
}

bool MultiRecord::ReadSegmentHeaders(const WfdbHeader& header, std::string& error) {
    int64_t start = 0;
    std::map<std::string, std::shared_ptr<const WfdbHeader>> read;
    for (std::size_t i = 0; i < header.segments.size(); ++i) {
        const WfdbSegmentLine& line = header.segments[i];
        Segment seg;
        seg.record = line.record;
        seg.start = start;
        seg.frames = line.samples;
        if (line.record != "~") {
            if (line.record.find('/') != std::string::npos || line.record.empty()) {
                error = "The WFDB segment " + line.record + " is not in the record's folder.";
                return false;
            }
            std::shared_ptr<const WfdbHeader>& h = read[line.record];
            if (!h) {
                auto own = std::make_shared<WfdbHeader>();
                if (!ReadWfdbHeader(dir_ + line.record + ".hea", *own, error)) return false;
                if (!own->segments.empty()) {
                    error = "The WFDB segment " + line.record + " is itself made of segments.";
                    return false;
                }
                h = std::move(own);
            }
            seg.header = h;
        }
        if (i == 0 && line.samples == 0 && line.record != "~") {  // the layout header
            variable_ = true;
            for (const WfdbSignalLine& s : seg.header->signals) signals_.push_back({s, 0, -1});
            continue;
        }
        if (start > INT64_MAX / 2 - line.samples) {
            error = "The WFDB record's segments are too long.";
            return false;
        }
        start += line.samples;
        if (!variable_ && signals_.empty() && line.record != "~")
            for (const WfdbSignalLine& s : seg.header->signals) signals_.push_back({s, 0, -1});
        segments_.push_back(std::move(seg));
    }
    if (signals_.empty()) {
        error = "The WFDB record's segments have no signals.";
        return false;
    }
    return true;
}

// Finds each layout signal in the segment: by description in a variable
// layout, by position in a fixed one.
void MultiRecord::MapSegment(Segment& seg) {
    seg.map.assign(signals_.size(), SignalMap{});
    if (seg.record == "~") return;
    const std::vector<WfdbSignalLine>& own = seg.header->signals;
    for (std::size_t s = 0; s < signals_.size(); ++s) {
        WfdbRecordSignal& out = signals_[s];
        int found = -1;
        if (!variable_ && s < own.size()) found = static_cast<int>(s);
        for (std::size_t i = 0; variable_ && i < own.size() && found < 0; ++i)
            if (own[i].description == out.line.description) found = static_cast<int>(i);
        if (found < 0 ||
            own[static_cast<std::size_t>(found)].samplesPerFrame != out.line.samplesPerFrame)
            continue;
        const WfdbSignalLine& in = own[static_cast<std::size_t>(found)];
        SignalMap& m = seg.map[s];
        m.index = found;
        m.scale = out.line.gain / in.gain;
        m.offset = out.line.baseline - m.scale * in.baseline;
        m.identity = m.scale == 1 && m.offset == 0;
        // The layout signal's range covers what every segment maps into it.
        const double half = std::ldexp(1.0, FormatBits(in.format) - 1);
        const double a = std::floor(-half * m.scale + m.offset + 0.5);
        const double b = std::floor((half - 1) * m.scale + m.offset + 0.5);
        if (out.digitalMin > out.digitalMax) {
            out.digitalMin = std::min(a, b);
            out.digitalMax = std::max(a, b);
        } else {
            out.digitalMin = std::min({out.digitalMin, a, b});
            out.digitalMax = std::max({out.digitalMax, a, b});
        }
    }
}

bool MultiRecord::Read(const std::vector<int>& signals, int64_t first, std::size_t count,
                       std::vector<std::span<int32_t>>& out, std::string& error) {
    if (signals.empty() || count == 0) return true;
    const int spf = signals_[static_cast<std::size_t>(signals.front())].line.samplesPerFrame;
    const int64_t last = first + static_cast<int64_t>(count);
    for (std::size_t k = 0; k < signals.size(); ++k)
        std::fill(out[k].begin(), out[k].begin() + static_cast<std::ptrdiff_t>(count),
                  kWfdbInvalid);
    auto seg = std::upper_bound(segments_.begin(), segments_.end(), first / spf,
                                [](int64_t f, const Segment& s) { return f < s.start; });
    if (seg != segments_.begin()) --seg;
    for (; seg != segments_.end() && seg->start * spf < last; ++seg) {
        const int64_t lo = std::max(first, seg->start * spf);
        const int64_t hi = std::min(last, (seg->start + seg->frames) * spf);
        if (lo >= hi || seg->record == "~") continue;
        if (!ReadFrom(*seg, signals, lo - seg->start * spf, static_cast<std::size_t>(hi - lo),
                      static_cast<std::size_t>(lo - first), out, error))
            return false;
    }
    return true;
}

// Samples [first, first + count) of the segment, at its own numbering, into
// out from index `at`, scaled to the layout.
bool MultiRecord::ReadFrom(Segment& seg, const std::vector<int>& signals, int64_t first,
                           std::size_t count, std::size_t at, std::vector<std::span<int32_t>>& out,
                           std::string& error) {
    WfdbRecord* const record = Opened(static_cast<std::size_t>(&seg - segments_.data()), error);
    if (!record) return false;
    std::vector<int> own;
    std::vector<std::size_t> which;
    for (std::size_t k = 0; k < signals.size(); ++k) {
        const SignalMap& m = seg.map[static_cast<std::size_t>(signals[k])];
        if (m.index < 0) continue;
        own.push_back(m.index);
        which.push_back(k);
    }
    if (own.empty()) return true;
    // A segment shorter than its line says (a skew, a short file) reads as invalid past its end.
    const int spf = signals_[static_cast<std::size_t>(signals.front())].line.samplesPerFrame;
    const int64_t have = record->Frames() * spf - first;
    const std::size_t n =
        static_cast<std::size_t>(std::clamp<int64_t>(have, 0, static_cast<int64_t>(count)));
    scratch_.resize(own.size() * n);
    std::vector<std::span<int32_t>> spans;
    for (std::size_t j = 0; j < own.size(); ++j) spans.emplace_back(scratch_.data() + j * n, n);
    if (n > 0 && !record->Read(own, first, n, spans, error)) {
        error = "Segment " + seg.record + ": " + error;
        return false;
    }
    for (std::size_t j = 0; j < own.size(); ++j) {
        const SignalMap& m = seg.map[static_cast<std::size_t>(signals[which[j]])];
        std::span<int32_t> dst = out[which[j]].subspan(at, n);
        for (std::size_t i = 0; i < n; ++i) {
            const int32_t v = spans[j][i];
            if (v == kWfdbInvalid || m.identity) {
                dst[i] = v;
                continue;
            }
            const double x = std::floor(v * m.scale + m.offset + 0.5);
            dst[i] = x >= INT32_MAX         ? INT32_MAX
                     : x <= INT32_MIN + 1.0 ? INT32_MIN + 1
                                            : static_cast<int32_t>(x);
        }
    }
    return true;
}

WfdbRecord* MultiRecord::Opened(std::size_t index, std::string& error) {
    const auto hit = std::find_if(open_.begin(), open_.end(),
                                  [&](const OpenSegment& o) { return o.index == index; });
    if (hit != open_.end()) {
        std::rotate(hit, hit + 1, open_.end());
        return open_.back().record.get();
    }
    const Segment& seg = segments_[index];
    std::unique_ptr<WfdbRecord> record = OpenSingleWfdbRecord(dir_, *seg.header, error);
    if (!record) {
        error = "Segment " + seg.record + ": " + error;
        return nullptr;
    }
    if (open_.size() == kOpenSegments) open_.erase(open_.begin());
    open_.push_back({index, std::move(record)});
    return open_.back().record.get();
}

}  // namespace

std::unique_ptr<WfdbRecord> OpenWfdbRecordData(const std::string& dir, const WfdbHeader& header,
                                               std::string& error) {
    if (header.segments.empty()) return OpenSingleWfdbRecord(dir, header, error);
    auto record = std::make_unique<MultiRecord>();
    if (!record->Open(dir, header, error)) return nullptr;
    return record;
}

}  // namespace koru
