// koru-reader [--serve] FILE: reads a GDF or SCP-ECG recording with the
// field's general reading library and writes what it found to file
// descriptor 3 as the stream signal/LibraryStream.h describes. With --serve,
// descriptor 3 is a socket: the description goes there after its length (a
// u64), without the samples, and the reader then answers requests for them
// until the socket closes. It runs as a separate process
// under tight limits because the library crashes, hangs or allocates without
// end on some files; the program that started it turns any of that into a
// refusal. Exit status: 0 stream written (also when the library refused the
// file, with its reason), 3 out of memory, 4 the stream could not be written.

#include <biosig.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "ScpStored.h"
#include "Serve.h"
#include "signal/LibraryStream.h"

using namespace koru;

namespace {

constexpr int kOut = 3;
bool gServe = false;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressLimit = false;  // the sanitizer reserves terabytes of address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressLimit = false;
#else
constexpr bool kAddressLimit = true;
#endif
#else
constexpr bool kAddressLimit = true;
#endif

void Limit(int resource, rlim_t value) {
    rlimit r{value, value};
    setrlimit(resource, &r);
}

// Room for the library's copy of every sample as a double and ours beside
// it; a file that needs more is not a recording this program can show.
// A serving reader holds one request's records at a time; its time per
// request is the program's to limit, so its processor time covers a few
// reads of the whole file.
void LimitSelf(uint64_t fileBytes) {
    Limit(RLIMIT_CORE, 0);
    const uint64_t seconds = gServe ? 60 + fileBytes / (4u << 20) : 10 + fileBytes / (32u << 20);
    Limit(RLIMIT_CPU, static_cast<rlim_t>(seconds));
    const uint64_t memory = gServe ? uint64_t{2} << 30 : (uint64_t{1} << 30) + 40 * fileBytes;
    if (kAddressLimit) Limit(RLIMIT_AS, static_cast<rlim_t>(memory));
    Limit(RLIMIT_FSIZE, static_cast<rlim_t>(memory));
}

bool Pad(std::size_t& written, uint64_t to) {
    static const char zeros[8] = {};
    if (to < written || to - written > 8) return false;
    const bool ok = WriteAll(kOut, zeros, static_cast<std::size_t>(to - written));
    written = static_cast<std::size_t>(to);
    return ok;
}

// The description; a serving reader's goes after its length.
bool WriteHead(const std::string& head) {
    const uint64_t size = head.size();
    return (!gServe || WriteAll(kOut, &size, sizeof size)) &&
           WriteAll(kOut, head.data(), head.size());
}

int Refuse(const std::string& reason) {
    LibraryStream stream;
    stream.refusal = reason.empty() ? "The file cannot be read." : reason;
    return WriteHead(EncodeStreamHead(stream)) ? 0 : 4;
}

std::string Trimmed(std::string text) {
    const std::size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

bool EndsWithUpper(const std::string& path, const char* ext) {
    std::string upper(path);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.ends_with(ext);
}

std::string LibraryError(HDRTYPE* hdr, const char* otherwise) {
    if (!hdr || !biosig_check_error(hdr)) return otherwise;
    char* message = biosig_get_errormsg(hdr);
    std::string text = message && *message ? message : otherwise;
    std::free(message);
    return text;
}

std::string Identification(HDRTYPE* hdr) {
    std::string out;
    for (const char* part :
         {biosig_get_patient_id(hdr), biosig_get_patient_name(hdr), biosig_get_recording_id(hdr)}) {
        if (!part || !*part) continue;
        if (!out.empty()) out += ' ';
        out += part;
    }
    return out;
}

// The digital value of physical zero from the header's ranges where they
// give the library's calibration, as the offset it derived from them has
// lost the last bits (-0.4999999999999982 for -0.5).
double ZeroOf(const CHANNEL_TYPE& c) {
    const double digits = c.DigMax - c.DigMin, units = c.PhysMax - c.PhysMin;
    const double zero = c.DigMin - c.PhysMin * digits / units;
    const bool ranges = digits != 0 && units != 0 && std::isfinite(zero) &&
                        std::abs(units / digits - c.Cal) <= 1e-9 * std::abs(c.Cal) &&
                        std::abs(zero + c.Off / c.Cal) <= 1e-6 * std::max(1.0, std::abs(zero));
    return ranges ? zero : -c.Off / c.Cal;
}

// The data signals (annotation channels have no samples of their own), each
// switched on for the read and described for the stream.
std::vector<uint16_t> DescribeSignals(HDRTYPE* hdr, uint64_t records, LibraryStream& stream) {
    std::vector<uint16_t> channels;
    for (uint16_t i = 0; i < hdr->NS; ++i) {
        // By position: the library's own channel getter counts only the
        // channels switched on.
        CHANNEL_TYPE* c = hdr->CHANNEL + i;
        const bool data = c->OnOff != 0 && c->SPR != 0 && hdr->SPR % c->SPR == 0;
        c->OnOff = data ? 1 : 0;
        if (!data) continue;
        StreamSignal s;
        s.label = Trimmed(c->Label);
        s.rate = hdr->SampleRate * c->SPR / hdr->SPR;
        s.digitalMin = c->DigMin;
        s.digitalMax = c->DigMax;
        const bool calibrated = std::isfinite(c->Cal) && c->Cal != 0 && std::isfinite(c->Off);
        s.unitsPerDigit = calibrated ? c->Cal : 0;
        s.zero = calibrated ? ZeroOf(*c) : 0;
        s.samples = records * c->SPR;
        stream.signals.push_back(std::move(s));
        channels.push_back(i);
    }
    return channels;
}

void TakeEvents(HDRTYPE* hdr, LibraryStream& stream) {
    stream.eventRate = biosig_get_eventtable_samplerate(hdr);
    const size_t n = biosig_get_number_of_events(hdr);
    for (size_t i = 0; i < n; ++i) {
        uint16_t type = 0, channel = 0;
        uint32_t pos = 0, duration = 0;
        gdf_time stamp = 0;
        const char* text = nullptr;
        if (biosig_get_nth_event(hdr, i, &type, &pos, &channel, &duration, &stamp, &text) == 0)
            stream.events.push_back(pos);
    }
}

// One signal's samples in the library's block: one column a channel, every
// channel at the file's fastest rate, slower ones repeated. A sample the
// library could not give (NaN) or gave as infinite is put at the channel's
// digital extreme.
class Column {
  public:
    Column(HDRTYPE* hdr, std::size_t column, const StreamSignal& s)
        : block_(hdr->data.block + column * hdr->data.size[0]),
          // The file's samples a record over the signal's.
          step_(static_cast<std::size_t>(std::llround(hdr->SampleRate / s.rate))),
          top_(std::max(s.digitalMin, s.digitalMax)),
          bottom_(std::min(s.digitalMin, s.digitalMax)) {}

    double operator[](std::size_t k) const {
        const double v = block_[k * step_];
        if (std::isnan(v) || v == HUGE_VAL) return top_;
        return v == -HUGE_VAL ? bottom_ : v;
    }

  private:
    const double* block_;
    std::size_t step_;
    double top_, bottom_;
};

// Whole numbers as int32 where they all fit, else doubles.
SampleEncoding EncodingOf(const Column& column, uint64_t samples) {
    for (uint64_t k = 0; k < samples; ++k) {
        const double v = column[k];
        if (v != std::trunc(v) || v < INT32_MIN || v > INT32_MAX) return SampleEncoding::Float64;
    }
    return SampleEncoding::Int32;
}

template <typename T>
bool WriteColumn(const Column& column, uint64_t samples) {
    std::vector<T> chunk(std::min<uint64_t>(samples, 1 << 16));
    for (uint64_t k = 0; k < samples;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<uint64_t>(chunk.size(), samples - k));
        for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<T>(column[k + i]);
        if (!WriteAll(kOut, chunk.data(), n * sizeof(T))) return false;
        k += n;
    }
    return true;
}

bool WriteSamples(HDRTYPE* hdr, LibraryStream& stream) {
    std::vector<Column> columns;
    for (std::size_t i = 0; i < stream.signals.size(); ++i) {
        columns.emplace_back(hdr, i, stream.signals[i]);
        stream.signals[i].encoding = EncodingOf(columns[i], stream.signals[i].samples);
    }
    const std::string head = EncodeStreamHead(stream);
    std::size_t written = head.size();
    if (!WriteHead(head)) return false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const StreamSignal& s = stream.signals[i];
        if (!Pad(written, s.offset)) return false;
        const bool ok = s.encoding == SampleEncoding::Int32
                            ? WriteColumn<int32_t>(columns[i], s.samples)
                            : WriteColumn<double>(columns[i], s.samples);
        if (!ok) return false;
        written += static_cast<std::size_t>(s.samples * SampleWidth(s.encoding));
    }
    return true;
}

// An uncompressed SCP-ECG file may declare more samples than it stores; the
// library then fills the rest from the next lead's bytes.
void KeepStoredSamples(const std::string& path, LibraryStream& stream) {
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (const auto stored = ScpStoredSamples(file))
        for (StreamSignal& s : stream.signals) s.samples = std::min(s.samples, *stored);
}

int Read(const std::string& path) {
    HDRTYPE* hdr = constructHDR(0, 0);
    biosig_set_flag(hdr, BIOSIG_FLAG_UCAL);  // digital values; the scaling is the program's
    // The stored values as they are: with overflow detection the library
    // turns every sample at the range's ends into NaN.
    biosig_reset_flag(hdr, BIOSIG_FLAG_OVERFLOWDETECTION);
    hdr = sopen(path.c_str(), "r", hdr);
    // No clean-up on the way out: the library's own crashes on some files
    // after a failed open, and the process ends here anyway.
    if (!hdr || biosig_check_error(hdr))
        return Refuse(LibraryError(hdr, "The file cannot be read."));
    biosig_set_flag(hdr, BIOSIG_FLAG_UCAL);
    biosig_reset_flag(hdr, BIOSIG_FLAG_OVERFLOWDETECTION | BIOSIG_FLAG_ROW_BASED_CHANNELS);
    const uint64_t records = biosig_get_number_of_records(hdr);
    if (hdr->SPR == 0 || !(hdr->SampleRate > 0) || records == 0)
        return Refuse("The file holds no data signals.");
    LibraryStream stream;
    const std::vector<uint16_t> channels = DescribeSignals(hdr, records, stream);
    if (channels.empty()) return Refuse("The file holds no data signals.");
    if (channels.size() > kStreamMaxSignals) return Refuse("The file holds too many signals.");
    if (gServe) {
        stream.identification = Identification(hdr);
        stream.start = StartOf(hdr);
        TakeEvents(hdr, stream);
        if (EndsWithUpper(path, ".SCP")) KeepStoredSamples(path, stream);
        stream.served = true;
        return WriteHead(EncodeStreamHead(stream)) ? Serve(hdr, stream, kOut) : 4;
    }
    // All records in one call: reads in parts were seen to crash and to
    // give wrong samples past the first parts.
    const std::size_t got = sread(nullptr, 0, records, hdr);
    if (got != records || biosig_check_error(hdr))
        return Refuse(LibraryError(hdr, "The file ends before its last data record."));
    if (hdr->data.size[1] != channels.size() || hdr->data.size[0] < records * hdr->SPR)
        return Refuse("The reader gave fewer samples than the file declares.");
    if (EndsWithUpper(path, ".SCP")) KeepStoredSamples(path, stream);
    stream.identification = Identification(hdr);
    stream.start = StartOf(hdr);
    TakeEvents(hdr, stream);
    return WriteSamples(hdr, stream) ? 0 : 4;
}

}  // namespace

// Under the sanitizers: the library leaves its header behind on some paths,
// and the process ends right after the answer is written, so a leak report
// would only turn a good read into a failed one.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    gServe = argc == 3 && std::strcmp(argv[1], "--serve") == 0;
    if (argc != 2 && !gServe) return 2;
    const char* path = argv[argc - 1];
    struct stat st {};
    if (stat(path, &st) != 0) return Refuse("The file cannot be read.");
    LimitSelf(static_cast<uint64_t>(st.st_size));
    try {
        return Read(path);
    } catch (const std::bad_alloc&) {
        return 3;
    }
}
