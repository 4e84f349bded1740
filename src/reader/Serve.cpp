#include "Serve.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace koru {

namespace {

// The library's block of one request stays below this (all switched-on
// channels as doubles at the file's fastest rate); a request needing more
// is answered in part and the program asks again for the rest.
constexpr uint64_t kBlockBytes = 64u << 20;

bool ReadAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Refuse(int socket, const std::string& message) {
    ServeAnswerHead head;
    head.status = 1;
    head.message = message;
    const std::string bytes = EncodeServeAnswerHead(head);
    return WriteAll(socket, bytes.data(), bytes.size());
}

std::string LibraryError(HDRTYPE* hdr) {
    if (!biosig_check_error(hdr)) return "The file could not be read to its end.";
    char* message = biosig_get_errormsg(hdr);
    std::string text = message && *message ? message : "The file could not be read to its end.";
    std::free(message);
    return text;
}

// Records the library read, copied out of its block: one column a
// switched-on channel, every channel at the file's fastest rate (slower ones
// repeated).
struct Records {
    uint64_t first = 0;
    uint64_t count = 0;  // 0: none
    uint64_t rows = 0;
    std::vector<double> values;
};

bool ReadRecords(HDRTYPE* hdr, std::size_t signals, uint64_t first, uint64_t count, Records& out) {
    out.count = 0;
    // The library reads a range from its start only with its buffer marked
    // empty there: otherwise a read not from record 0 gave samples from the
    // wrong place or read past its buffer (GDF files of every version).
    hdr->AS.first = static_cast<size_t>(first);
    hdr->AS.length = 0;
    const std::size_t got =
        sread(nullptr, static_cast<size_t>(first), static_cast<size_t>(count), hdr);
    if (got != count || biosig_check_error(hdr) || hdr->data.size[1] != signals ||
        hdr->data.size[0] < count * hdr->SPR)
        return false;
    out.first = first;
    out.count = count;
    out.rows = hdr->data.size[0];
    out.values.assign(hdr->data.block, hdr->data.block + out.rows * signals);
    return true;
}

// The samples asked for, frame by frame, from `records`.
void Gather(HDRTYPE* hdr, const LibraryStream& stream, const ServeRequest& request,
            uint64_t perRecord, const Records& records, uint64_t count, std::vector<double>& out) {
    const std::size_t n = request.signals.size();
    out.resize(static_cast<std::size_t>(count) * n);
    const uint64_t rows = records.rows;
    for (std::size_t c = 0; c < n; ++c) {
        const StreamSignal& s = stream.signals[request.signals[c]];
        const double* column = records.values.data() + request.signals[c] * rows;
        const auto step = static_cast<uint64_t>(std::llround(hdr->SampleRate / s.rate));
        const double top = std::max(s.digitalMin, s.digitalMax);
        const double bottom = std::min(s.digitalMin, s.digitalMax);
        for (uint64_t k = 0; k < count; ++k) {
            const uint64_t row = (request.first + k - records.first * perRecord) * step;
            double v = row < rows ? column[row] : NAN;
            // A sample the library could not give (NaN) or gave as infinite
            // is put at the channel's digital extreme, as in a whole read.
            if (std::isnan(v) || v == HUGE_VAL) v = top;
            if (v == -HUGE_VAL) v = bottom;
            out[static_cast<std::size_t>(k) * n + c] = v;
        }
    }
}

// What one request needs: its records and how many samples they give.
struct Need {
    uint64_t perRecord = 0;
    uint64_t first = 0, records = 0;
    uint64_t samples = 0;
};

// Empty with the reason when the request cannot be answered.
std::string Plan(HDRTYPE* hdr, const LibraryStream& stream, const ServeRequest& request,
                 Need& need) {
    for (const uint32_t s : request.signals)
        if (s >= stream.signals.size()) return "No such signal.";
    const StreamSignal& first = stream.signals[request.signals[0]];
    for (const uint32_t s : request.signals)
        if (stream.signals[s].rate != first.rate) return "Signals of two rates.";
    uint64_t end = request.first + request.count;
    for (const uint32_t s : request.signals) end = std::min(end, stream.signals[s].samples);
    if (request.count == 0 || request.first >= end) return "Past the end.";
    need.perRecord = static_cast<uint64_t>(std::llround(first.rate * hdr->SPR / hdr->SampleRate));
    const uint64_t recordBytes = uint64_t{hdr->SPR} * stream.signals.size() * sizeof(double);
    if (need.perRecord == 0 || recordBytes == 0) return "No samples.";
    need.first = request.first / need.perRecord;
    need.records = (end - 1) / need.perRecord - need.first + 1;
    need.records = std::max<uint64_t>(1, std::min(need.records, kBlockBytes / recordBytes));
    need.samples = std::min(end, (need.first + need.records) * need.perRecord) - request.first;
    return {};
}

// `ahead` holds the records after the last answer, read while the program
// drew that one, so that stepping forward finds the next ones ready.
bool Answer(HDRTYPE* hdr, const LibraryStream& stream, const ServeRequest& request, int socket,
            Records& current, Records& ahead, std::vector<double>& samples) {
    Need need;
    if (const std::string refusal = Plan(hdr, stream, request, need); !refusal.empty())
        return Refuse(socket, refusal);
    const bool ready = ahead.count > 0 && ahead.first <= need.first &&
                       ahead.first + ahead.count >= need.first + need.records;
    if (!ready && !ReadRecords(hdr, stream.signals.size(), need.first, need.records, current))
        return Refuse(socket, LibraryError(hdr));
    ServeAnswerHead head;
    head.samples = need.samples;
    Gather(hdr, stream, request, need.perRecord, ready ? ahead : current, head.samples, samples);
    const std::string bytes = EncodeServeAnswerHead(head);
    if (!WriteAll(socket, bytes.data(), bytes.size()) ||
        !WriteAll(socket, samples.data(), samples.size() * sizeof(double)))
        return false;
    // From the record that holds the next sample (a request's end falls
    // inside a record), one record more than this answer took.
    const uint64_t next = (request.first + need.samples) / need.perRecord;
    const auto total = static_cast<uint64_t>(biosig_get_number_of_records(hdr));
    if (ready) std::swap(current, ahead);
    ahead.count = 0;
    if (next < total && !ReadRecords(hdr, stream.signals.size(), next,
                                     std::min(need.records + 1, total - next), ahead)) {
        // A failed read ahead is the next request's to report, if it asks.
        hdr->AS.B4C_ERRNUM = B4C_NO_ERROR;
        hdr->AS.B4C_ERRMSG = nullptr;
    }
    return true;
}

}  // namespace

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int Serve(HDRTYPE* hdr, const LibraryStream& stream, int socket) {
    std::vector<uint8_t> request(kServeRequestBytes);
    std::vector<double> samples;
    Records current, ahead;
    for (;;) {
        if (!ReadAll(socket, request.data(), request.size())) return 0;
        ServeRequest asked;
        const bool ok = ParseServeRequest(request.data(), asked)
                            ? Answer(hdr, stream, asked, socket, current, ahead, samples)
                            : Refuse(socket, "The request makes no sense.");
        if (!ok) return 4;
    }
}

// The library's time is days since the year 0 in the upper 32 bits and
// the fraction of the day in the lower; 0 when the header gives none. Its
// step is 20 microseconds, so a GDF 1 start of 12:07:59.00 comes back as
// 12:07:58.999997: taken to the millisecond.
RecordingStart StartOf(HDRTYPE* hdr) {
    RecordingStart start;
    const gdf_time t = biosig_get_startdatetime_gdf(hdr);
    if (t == 0) return start;
    const auto bits = static_cast<uint64_t>(t);
    int64_t days = static_cast<int64_t>(bits >> 32) - 719529;  // to 1970-01-01
    auto micros = 1000 * static_cast<int64_t>(std::llround(static_cast<double>(bits & 0xffffffffu) *
                                                           (86400e3 / 4294967296.0)));
    if (micros >= 86400000000) {
        micros -= 86400000000;
        ++days;
    }
    // A date the library made up (an SCP-ECG file with its date blanked
    // gives the year 53255) says nothing of the time either: years 1900 to
    // 9999 only, which the calendar type also holds.
    constexpr int64_t k1900 = -25567, k10000 = 2932897;  // days from 1970-01-01
    if (days < k1900 || days >= k10000) return {};
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    start.year = static_cast<int>(date.year());
    start.month = static_cast<int>(static_cast<unsigned>(date.month()));
    start.day = static_cast<int>(static_cast<unsigned>(date.day()));
    const int64_t seconds = micros / 1000000;
    start.hour = static_cast<int>(seconds / 3600);
    start.minute = static_cast<int>(seconds / 60 % 60);
    start.second = static_cast<int>(seconds % 60);
    start.micros = static_cast<int>(micros % 1000000);
    return start;
}

}  // namespace koru
