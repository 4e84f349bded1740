#include "Serve.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// The samples asked for, frame by frame, from the library's block of
// records from `r0` on: one column a switched-on channel, every channel at
// the file's fastest rate (slower ones repeated).
void Gather(HDRTYPE* hdr, const LibraryStream& stream, const ServeRequest& request,
            uint64_t perRecord, uint64_t r0, uint64_t count, std::vector<double>& out) {
    const std::size_t n = request.signals.size();
    out.resize(static_cast<std::size_t>(count) * n);
    const uint64_t rows = hdr->data.size[0];
    for (std::size_t c = 0; c < n; ++c) {
        const StreamSignal& s = stream.signals[request.signals[c]];
        const double* column = hdr->data.block + request.signals[c] * rows;
        const auto step = static_cast<uint64_t>(std::llround(hdr->SampleRate / s.rate));
        const double top = std::max(s.digitalMin, s.digitalMax);
        const double bottom = std::min(s.digitalMin, s.digitalMax);
        for (uint64_t k = 0; k < count; ++k) {
            const uint64_t row = (request.first + k - r0 * perRecord) * step;
            double v = row < rows ? column[row] : NAN;
            // A sample the library could not give (NaN) or gave as infinite
            // is put at the channel's digital extreme, as in a whole read.
            if (std::isnan(v) || v == HUGE_VAL) v = top;
            if (v == -HUGE_VAL) v = bottom;
            out[static_cast<std::size_t>(k) * n + c] = v;
        }
    }
}

bool Answer(HDRTYPE* hdr, const LibraryStream& stream, const ServeRequest& request, int socket,
            std::vector<double>& samples) {
    for (const uint32_t s : request.signals)
        if (s >= stream.signals.size()) return Refuse(socket, "No such signal.");
    const StreamSignal& first = stream.signals[request.signals[0]];
    for (const uint32_t s : request.signals)
        if (stream.signals[s].rate != first.rate) return Refuse(socket, "Signals of two rates.");
    uint64_t end = request.first + request.count;
    for (const uint32_t s : request.signals) end = std::min(end, stream.signals[s].samples);
    if (request.count == 0 || request.first >= end) return Refuse(socket, "Past the end.");
    const uint64_t perRecord =
        static_cast<uint64_t>(std::llround(first.rate * hdr->SPR / hdr->SampleRate));
    const uint64_t recordBytes = uint64_t{hdr->SPR} * stream.signals.size() * sizeof(double);
    if (perRecord == 0 || recordBytes == 0) return Refuse(socket, "No samples.");
    const uint64_t r0 = request.first / perRecord;
    uint64_t records = (end - 1) / perRecord - r0 + 1;
    records = std::max<uint64_t>(1, std::min(records, kBlockBytes / recordBytes));
    end = std::min(end, (r0 + records) * perRecord);
    // The library reads a range from its start only with its buffer marked
    // empty there: otherwise a read not from record 0 gave samples from the
    // wrong place or read past its buffer (GDF files of every version).
    hdr->AS.first = static_cast<size_t>(r0);
    hdr->AS.length = 0;
    const std::size_t got =
        sread(nullptr, static_cast<size_t>(r0), static_cast<size_t>(records), hdr);
    if (got != records || biosig_check_error(hdr) || hdr->data.size[1] != stream.signals.size() ||
        hdr->data.size[0] < records * hdr->SPR)
        return Refuse(socket, LibraryError(hdr));
    ServeAnswerHead head;
    head.samples = end - request.first;
    Gather(hdr, stream, request, perRecord, r0, head.samples, samples);
    const std::string bytes = EncodeServeAnswerHead(head);
    return WriteAll(socket, bytes.data(), bytes.size()) &&
           WriteAll(socket, samples.data(), samples.size() * sizeof(double));
}

// Days since 1970-01-01 as a calendar date (proleptic Gregorian).
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

}  // namespace

int Serve(HDRTYPE* hdr, const LibraryStream& stream, int socket) {
    std::vector<uint8_t> request(kServeRequestBytes);
    std::vector<double> samples;
    for (;;) {
        if (!ReadAll(socket, request.data(), request.size())) return 0;
        ServeRequest asked;
        const bool ok = ParseServeRequest(request.data(), asked)
                            ? Answer(hdr, stream, asked, socket, samples)
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
    CivilFromDays(days, start.year, start.month, start.day);
    const int64_t seconds = micros / 1000000;
    start.hour = static_cast<int>(seconds / 3600);
    start.minute = static_cast<int>(seconds / 60 % 60);
    start.second = static_cast<int>(seconds % 60);
    start.micros = static_cast<int>(micros % 1000000);
    return start;
}

}  // namespace koru
