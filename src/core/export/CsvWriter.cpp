#include "export/CsvWriter.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "platform/AppendWriter.h"
#include "platform/File.h"

namespace koru {

namespace {

// Seconds with six decimals: whole microseconds, so times never drift.
void AppendTime(std::string& out, int64_t micros) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld.%06lld", static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    out += buffer;
}

// The fewest digits that give back the same value, never an exponent.
void AppendValue(std::string& out, float v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
    out.append(buffer, r.ptr);
}

ExportResult WriteRows(const SignalDocument& doc, const Cutout& cutout,
                       const std::vector<ExportChannel>& channels, int64_t firstMicros,
                       BufferedOutput& out, ProgressSink& progress) {
    const int present = std::min<int>(doc.Header().ChannelCount, kFrameChannels);
    const int64_t frames =
        std::max<int64_t>(0, std::min(cutout.Frames(), doc.ReadableFrames() - cutout.start));
    const FrameClock clock = doc.Clock();
    FrameSpans spans(doc, cutout.start);
    std::string chunk;
    int64_t done = 0;
    int shown = 0;
    while (done < frames) {
        const auto want = static_cast<std::size_t>(std::min<int64_t>(frames - done, 2048));
        const std::span<const Frame> run = spans.Next(want);
        if (run.empty()) return {{}, "the recording ended before the cutout"};
        chunk.clear();
        for (const Frame& f : run) {
            AppendTime(chunk, firstMicros + clock.Micros(done++));
            for (const ExportChannel& c : channels) {
                chunk += ',';
                const int16_t v = c.index < present ? f[static_cast<std::size_t>(c.index)] : 0;
                AppendValue(chunk, static_cast<float>(v) * static_cast<float>(c.step));
            }
            chunk += "\r\n";
        }
        if (!out.Write(chunk)) return {{}, out.Error()};
        if (const int percent = static_cast<int>(done * 100 / frames); percent != shown)
            progress.ProgressSet(shown = percent);
    }
    return {};
}

// "12.5" or "12.500000" as microseconds; nothing for anything else.
std::optional<int64_t> ParseTime(std::string_view text) {
    int64_t whole = 0, fraction = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, whole);
    if (r.ec != std::errc() || whole < 0) return std::nullopt;
    if (r.ptr == end) return whole * 1000000;
    if (*r.ptr != '.') return std::nullopt;
    const std::string_view digits(r.ptr + 1, static_cast<std::size_t>(end - r.ptr - 1));
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::from_chars(digits.data(), digits.data() + digits.size(), fraction);
    for (std::size_t i = digits.size(); i < 6; ++i) fraction *= 10;
    return whole * 1000000 + fraction;
}

// What an existing file says: whether its header row is `header`, the time
// of its last row (nothing when it has none), and whether it ends in a
// line end. An empty reason means it takes the rows.
std::string ReadTarget(const std::string& path, uint64_t size, const std::string& header,
                       std::optional<int64_t>& lastMicros, bool& endsInLine) {
    ReadOnlyFile file;
    if (!file.Open(path)) return "it cannot be read";
    std::string head(std::min<uint64_t>(size, header.size() + 2), '\0');
    head.resize(file.ReadAt(0, head.data(), head.size()));
    const std::string first = head.substr(0, head.find_first_of("\r\n"));
    if (first != header) return "its header row differs from the cutout's (" + header + ")";
    const uint64_t tailSize = std::min<uint64_t>(size, 4096);
    std::string tail(tailSize, '\0');
    tail.resize(file.ReadAt(size - tailSize, tail.data(), tail.size()));
    endsInLine = !tail.empty() && tail.back() == '\n';
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
    const std::size_t lineStart = tail.find_last_of('\n');
    std::string last = tail.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
    if (lineStart == std::string::npos && tailSize == size) return {};  // the header row alone
    lastMicros = ParseTime(last.substr(0, last.find(',')));
    if (!lastMicros) return "its last row has no time";
    return {};
}

}  // namespace

std::string CsvHeaderRow(const std::vector<ExportChannel>& channels) {
    std::string row = "time_s";
    for (const ExportChannel& c : channels) row += "," + c.label + " [" + c.unit + "]";
    return row;
}

ExportResult WriteCsv(const SignalDocument& doc, const Cutout& cutout,
                      const std::vector<ExportChannel>& channels, BufferedOutput& out,
                      ProgressSink& progress) {
    out.Write(CsvHeaderRow(channels) + "\r\n");
    return WriteRows(doc, cutout, channels, 0, out, progress);
}

ExportResult AppendCsv(const SignalDocument& doc, const Cutout& cutout,
                       const std::vector<ExportChannel>& channels, const std::string& path,
                       ProgressSink& progress) {
    AppendWriter out;
    if (!out.Open(path)) return {{}, out.Error()};
    std::optional<int64_t> last;
    bool endsInLine = false;
    const std::string why =
        ReadTarget(path, out.StartLength(), CsvHeaderRow(channels), last, endsInLine);
    if (!why.empty()) return {"Cannot append: " + path + ": " + why + ".", {}};
    if (!endsInLine) out.Write("\r\n");
    const int64_t first = last ? *last + doc.Clock().Micros(1) : 0;
    ExportResult result = WriteRows(doc, cutout, channels, first, out, progress);
    if (result.failure.empty() && !out.Commit()) result.failure = out.Error();
    return result;
}

}  // namespace koru
