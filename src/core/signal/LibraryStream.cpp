#include "signal/LibraryStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace koru {

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'U', 'S', 'T', 'R', '2'};

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

void PutText(std::string& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), kStreamMaxText);
    Put(out, static_cast<uint32_t>(n));
    out.append(text, 0, n);
}

uint64_t Aligned(uint64_t at) {
    return (at + 7) / 8 * 8;
}

// Reads forward through the bytes; any read past the end fails the cursor
// for good, so a caller checks once at the end of a group.
class Cursor {
  public:
    Cursor(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take() {
        T value{};
        if (!ok_ || size_ - at_ < sizeof(T)) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::string TakeText(std::size_t limit) {
        const auto n = Take<uint32_t>();
        if (!ok_ || n > limit || size_ - at_ < n) {
            ok_ = false;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return text;
    }
    bool Ok() const { return ok_; }
    std::size_t At() const { return at_; }
    std::size_t Left() const { return size_ - at_; }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

bool ReadSignal(Cursor& in, StreamSignal& s, std::string& error) {
    s.label = in.TakeText(kStreamMaxText);
    s.rate = in.Take<double>();
    s.digitalMin = in.Take<double>();
    s.digitalMax = in.Take<double>();
    s.unitsPerDigit = in.Take<double>();
    s.zero = in.Take<double>();
    const auto encoding = in.Take<uint8_t>();
    s.samples = in.Take<uint64_t>();
    if (!in.Ok()) {
        error = "The reader's description of a signal is cut short.";
        return false;
    }
    if (encoding > static_cast<uint8_t>(SampleEncoding::Float64)) {
        error = "The reader gave an unknown sample encoding.";
        return false;
    }
    s.encoding = static_cast<SampleEncoding>(encoding);
    const bool finite = std::isfinite(s.rate) && std::isfinite(s.digitalMin) &&
                        std::isfinite(s.digitalMax) && std::isfinite(s.unitsPerDigit) &&
                        std::isfinite(s.zero);
    if (!finite || !(s.rate > 0) || s.rate > 1e9) {
        error = "The reader gave a signal without a usable rate or range.";
        return false;
    }
    return true;
}

// Places each signal's samples after the description and checks that they
// lie within the stream's bytes.
bool LayOutSamples(LibraryStream& out, std::size_t headBytes, std::size_t size,
                   std::string& error) {
    uint64_t at = Aligned(headBytes);
    for (StreamSignal& s : out.signals) {
        const uint64_t width = SampleWidth(s.encoding);
        if (at > size || s.samples > (size - at) / width) {
            error = "The reader's samples end before the signals they describe.";
            return false;
        }
        s.offset = at;
        at = Aligned(at + s.samples * width);
    }
    return true;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

void PutStart(std::string& out, const RecordingStart& s) {
    for (int v : {s.year, s.month, s.day, s.hour, s.minute, s.second, s.micros})
        Put(out, static_cast<int32_t>(v));
}

// A date or time of day that is not a real one is left unknown rather than
// refusing the recording over it.
RecordingStart TakeStart(Cursor& in) {
    int32_t v[7] = {};
    for (int32_t& x : v) x = in.Take<int32_t>();
    RecordingStart s;
    if (v[0] >= 1 && v[0] <= 9999 && v[1] >= 1 && v[1] <= 12 && v[2] >= 1 &&
        v[2] <= DaysIn(v[0], v[1])) {
        s.year = v[0];
        s.month = v[1];
        s.day = v[2];
    }
    if (v[3] >= 0 && v[3] <= 23 && v[4] >= 0 && v[4] <= 59 && v[5] >= 0 && v[5] <= 59 &&
        v[6] >= 0 && v[6] <= 999999) {
        s.hour = v[3];
        s.minute = v[4];
        s.second = v[5];
        s.micros = v[6];
    }
    return s;
}

}  // namespace

std::size_t SampleWidth(SampleEncoding encoding) {
    return encoding == SampleEncoding::Float64 ? 8 : 4;
}

std::string EncodeStreamHead(LibraryStream& stream) {
    std::string out(kMagic, sizeof kMagic);
    PutText(out, stream.refusal);
    PutText(out, stream.identification);
    PutStart(out, stream.start);
    Put(out, static_cast<uint8_t>(stream.served ? 1 : 0));
    const std::size_t n = std::min(stream.signals.size(), kStreamMaxSignals);
    Put(out, static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const StreamSignal& s = stream.signals[i];
        PutText(out, s.label);
        for (double v : {s.rate, s.digitalMin, s.digitalMax, s.unitsPerDigit, s.zero}) Put(out, v);
        Put(out, static_cast<uint8_t>(s.encoding));
        Put(out, s.samples);
    }
    Put(out, stream.eventRate);
    Put(out, static_cast<uint32_t>(stream.events.size()));
    for (uint32_t e : stream.events) Put(out, e);
    uint64_t at = Aligned(out.size());
    for (std::size_t i = 0; i < n; ++i) {
        stream.signals[i].offset = at;
        at = Aligned(at + stream.signals[i].samples * SampleWidth(stream.signals[i].encoding));
    }
    return out;
}

bool ParseLibraryStream(const uint8_t* data, std::size_t size, LibraryStream& out,
                        std::string& error) {
    out = LibraryStream{};
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        error = "The reader gave no description of the recording.";
        return false;
    }
    Cursor in(data + sizeof kMagic, size - sizeof kMagic);
    out.refusal = in.TakeText(kStreamMaxText);
    out.identification = in.TakeText(kStreamMaxText);
    out.start = TakeStart(in);
    const auto served = in.Take<uint8_t>();
    const auto count = in.Take<uint32_t>();
    if (!in.Ok() || count > kStreamMaxSignals || served > 1) {
        error = "The reader's description is cut short or too large.";
        return false;
    }
    out.served = served == 1;
    if (!out.refusal.empty()) return true;
    out.signals.resize(count);
    for (StreamSignal& s : out.signals)
        if (!ReadSignal(in, s, error)) return false;
    out.eventRate = in.Take<double>();
    const auto events = in.Take<uint32_t>();
    if (!in.Ok() || events > in.Left() / sizeof(uint32_t)) {
        error = "The reader's annotations are cut short.";
        return false;
    }
    if (!std::isfinite(out.eventRate) || out.eventRate < 0) out.eventRate = 0;
    out.events.resize(events);
    for (uint32_t& e : out.events) e = in.Take<uint32_t>();
    if (out.served) return true;
    return LayOutSamples(out, sizeof kMagic + in.At(), size, error);
}

std::string EncodeServeRequest(const ServeRequest& request) {
    std::string out;
    const std::size_t n = std::min(request.signals.size(), kServeMaxSignals);
    Put(out, static_cast<uint32_t>(n));
    for (std::size_t i = 0; i < kServeMaxSignals; ++i)
        Put(out, i < n ? request.signals[i] : uint32_t{0});
    Put(out, request.first);
    Put(out, request.count);
    return out;
}

bool ParseServeRequest(const uint8_t* data, ServeRequest& out) {
    Cursor in(data, kServeRequestBytes);
    const auto n = in.Take<uint32_t>();
    out.signals.clear();
    for (std::size_t i = 0; i < kServeMaxSignals; ++i) {
        const auto s = in.Take<uint32_t>();
        if (i < n) out.signals.push_back(s);
    }
    out.first = in.Take<uint64_t>();
    out.count = in.Take<uint64_t>();
    return in.Ok() && n >= 1 && n <= kServeMaxSignals && out.count <= kServeMaxSamples;
}

std::string EncodeServeAnswerHead(const ServeAnswerHead& head) {
    std::string out;
    const std::size_t n = std::min(head.message.size(), kStreamMaxText);
    Put(out, head.status);
    Put(out, static_cast<uint32_t>(n));
    Put(out, head.samples);
    out.append(head.message, 0, n);
    return out;
}

bool ParseServeAnswerFixed(const uint8_t* data, uint64_t asked, ServeAnswerHead& out,
                           uint32_t& messageBytes) {
    Cursor in(data, kServeAnswerFixedBytes);
    out.status = in.Take<uint32_t>();
    messageBytes = in.Take<uint32_t>();
    out.samples = in.Take<uint64_t>();
    out.message.clear();
    return in.Ok() && out.status <= 1 && messageBytes <= kStreamMaxText && out.samples <= asked &&
           (out.status == 0 || out.samples == 0);
}

}  // namespace koru
