#include "export/SaveCutout.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>

#include "export/CsvWriter.h"
#include "export/EdfWriter.h"
#include "export/MarkerWriter.h"
#include "export/TextLayout.h"
#include "platform/AppendWriter.h"
#include "platform/File.h"
#include "platform/FileWriter.h"
#include "signal/MarkerFile.h"
#include "signal/OpenFlow.h"

namespace koru {

namespace {

// How the selected values of a run of frames go into the file.
struct FrameEncoder {
    OutputKind kind;
    std::array<int, 8> channels{};  // selected channel indices, ascending
    int count = 0;
    int present = 0;  // channels the recording has, at most eight
    FrameLineStyle style = FrameLineStyle::TrailingBlank;

    // All eight channels of a ".sig" or ".bin" as they are stored.
    bool AsStored() const {
        return std::endian::native == std::endian::little && count == kFrameChannels &&
               present == kFrameChannels && (kind == OutputKind::Sig || kind == OutputKind::Bin);
    }

    std::array<int16_t, 8> Values(const Frame& f) const {
        std::array<int16_t, 8> values{};
        for (int i = 0; i < count; ++i) {
            const int c = channels[static_cast<std::size_t>(i)];
            values[static_cast<std::size_t>(i)] = c < present ? f[static_cast<std::size_t>(c)] : 0;
        }
        return values;
    }

    void Append(std::string& out, std::span<const Frame> run) const {
        const auto n = static_cast<std::size_t>(count);
        if (kind == OutputKind::Text) {
            for (const Frame& f : run) {
                const std::array<int16_t, 8> values = Values(f);
                AppendFrameLine(out, std::span<const int16_t>(values.data(), n), style);
            }
            return;
        }
        const std::size_t old = out.size();
        out.resize(old + run.size() * n * 2);
        char* p = out.data() + old;
        if (AsStored()) {
            std::memcpy(p, run.data(), run.size_bytes());
            return;
        }
        for (const Frame& f : run) {
            const std::array<int16_t, 8> values = Values(f);
            for (std::size_t i = 0; i < n; ++i) {
                auto w = static_cast<uint16_t>(values[i]);
                if (kind == OutputKind::Dat) w = static_cast<uint16_t>(w << 4);
                const auto lo = static_cast<char>(w & 0xFF), hi = static_cast<char>(w >> 8);
                *p++ = kind == OutputKind::Nib ? hi : lo;
                *p++ = kind == OutputKind::Nib ? lo : hi;
            }
        }
    }
};

FrameEncoder MakeEncoder(const SignalDocument& doc, OutputKind kind, const ChannelSelection& sel) {
    FrameEncoder e{};
    e.kind = kind;
    for (int c = 0; c < 8; ++c) {
        if (sel.selected[static_cast<std::size_t>(c)])
            e.channels[static_cast<std::size_t>(e.count++)] = c;
    }
    e.present = std::min<int>(doc.Header().ChannelCount, kFrameChannels);
    // Recordings held in memory write full eight-column lines without the
    // trailing blank, as the text reader has always accepted.
    if (kind == OutputKind::Text && e.count == 8 && !doc.FileBacked())
        e.style = FrameLineStyle::EightColumns;
    return e;
}

std::string HeaderBytesFor(const SignalDocument& doc, OutputKind kind, int selected) {
    SignalHeader copy = doc.Header();
    copy.ChannelCount = static_cast<uint16_t>(selected);
    if (kind == OutputKind::Sig) {
        const HeaderBytes bytes = SerializeHeader(copy);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    if (kind == OutputKind::Text) return TextHeaderLines(copy);
    return {};
}

// Streams the frames out in runs small enough that the progress box sees
// every percentage, large enough that each write is a good-sized chunk.
bool WriteFrames(const SignalDocument& doc, const Cutout& cutout, const FrameEncoder& enc,
                 BufferedOutput& out, ProgressSink& progress) {
    const int64_t total = cutout.Frames();
    const auto step = static_cast<std::size_t>(std::clamp<int64_t>(total / 100, 1, 4096));
    FrameSpans spans(doc, cutout.start);
    std::string chunk;
    int64_t written = 0;
    int shown = 0;
    while (written < total) {
        const auto want = static_cast<std::size_t>(
            std::min<int64_t>(total - written, static_cast<int64_t>(step)));
        const std::span<const Frame> run = spans.Next(want);
        if (run.empty()) break;
        chunk.clear();
        enc.Append(chunk, run);
        if (!out.Write(chunk)) return false;
        written += static_cast<int64_t>(run.size());
        const int percent = static_cast<int>(written * 100 / total);
        if (percent != shown) {
            shown = percent;
            progress.ProgressSet(percent);
        }
    }
    return !out.Failed();
}

SaveOutcome WriteFailure(const SaveRequest& request, const std::string& reason) {
    return SaveOutcome{SaveErrorTitle(request.mode), "Cannot write " + request.path + ": " +
                                                         reason + ". The file was not changed."};
}

// The channel count and interval an existing target says it holds; false
// when it says nothing (raw layouts, a short or unreadable first part).
bool TargetShape(const std::string& path, OutputKind kind, int64_t& channels, int64_t& interval) {
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    if (kind == OutputKind::Sig) {
        HeaderBytes bytes{};
        if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) return false;
        const SignalHeader h = ParseHeader(bytes);
        channels = h.ChannelCount;
        interval = h.Interval;
        return true;
    }
    if (kind != OutputKind::Text) return false;
    std::string line(128, '\0');
    line.resize(file.ReadAt(0, line.data(), line.size()));
    line = line.substr(0, line.find_first_of("\r\n"));
    constexpr std::string_view kCount = "Number of Channels:";
    constexpr std::string_view kInterval = "Interval:";
    const std::size_t at = line.find(kInterval);
    if (line.rfind(kCount, 0) != 0 || at == std::string::npos) return false;
    try {
        channels = std::stoll(line.substr(kCount.size(), at - kCount.size()));
        interval = std::stoll(line.substr(at + kInterval.size()));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The markers beside a saved ".sig". With none to write, a marker file the
// reader would still find for the new file (the replaced recording's, or an
// older-named one of another) is shadowed by an empty one: markers that
// belong to other content must not come up with it. When that fails the
// samples are safe on disk, but the user hears of it, and a stale file of
// the new name goes.
SaveOutcome WriteCutoutMarkers(const SignalDocument& doc, const Cutout& cutout,
                               const SaveRequest& request) {
    const std::string found = FindMarkerFile(request.path);
    if (doc.Markers().Count() == 0 && found.empty()) return {};
    const std::string path = MarkerPathFor(request.path);
    std::string reason;
    if (WriteCutoutMarkerFile(path, doc.Markers(), cutout, &reason)) return {};
    std::string text = CannotWriteMarkersText(path, reason);
    // Only the new file's own name is ours to remove, and never a file the
    // user protected.
    if (!found.empty() && ::strcasecmp(found.c_str(), path.c_str()) == 0 &&
        !IsWriteProtected(found) && ::unlink(found.c_str()) == 0)
        text += "\nThe old marker file " + found + " was removed.";
    return SaveOutcome{SaveErrorTitle(request.mode), text};
}

// EDF+, BDF+ and CSV, new or appended.
SaveOutcome SaveInterchange(const SignalDocument& doc, const Cutout& cutout,
                            const SaveRequest& request, OutputKind kind, ProgressSink& progress) {
    const std::vector<ExportChannel> channels =
        ExportChannelsFor(doc, request.channels.selected, request.labels);
    const bool bdf = kind == OutputKind::Bdf;
    ExportResult result;
    if (request.mode == SaveMode::Append) {
        result = kind == OutputKind::Csv
                     ? AppendCsv(doc, cutout, channels, request.path, progress)
                     : AppendEdf(doc, cutout, channels, bdf, request.path, progress);
    } else {
        FileWriter out;
        if (!out.Open(request.path)) return WriteFailure(request, out.Error());
        result = kind == OutputKind::Csv ? WriteCsv(doc, cutout, channels, out, progress)
                                         : WriteEdf(doc, cutout, channels, bdf, out, progress);
        if (result.failure.empty() && !out.Commit()) result.failure = out.Error();
    }
    if (!result.refusal.empty()) return SaveOutcome{"Append Error", result.refusal};
    if (!result.failure.empty()) return WriteFailure(request, result.failure);
    return {};
}

}  // namespace

int ChannelSelection::Count() const {
    return static_cast<int>(std::count(selected.begin(), selected.end(), true));
}

const char* SaveErrorTitle(SaveMode mode) {
    return mode == SaveMode::Append ? "Append Error" : "Save Error";
}

OutputKind OutputKindFor(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = UpperCased(slash == std::string::npos ? path : path.substr(slash + 1));
    if (name.ends_with(".EDF")) return OutputKind::Edf;
    if (name.ends_with(".BDF")) return OutputKind::Bdf;
    if (name.ends_with(".CSV")) return OutputKind::Csv;
    if (name.find(".SIG") != std::string::npos) return OutputKind::Sig;
    if (name.find(".BIN") != std::string::npos) return OutputKind::Bin;
    if (name.find(".DAT") != std::string::npos) return OutputKind::Dat;
    if (name.find(".NIB") != std::string::npos) return OutputKind::Nib;
    return OutputKind::Text;
}

bool HasLayoutExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = UpperCased(slash == std::string::npos ? path : path.substr(slash + 1));
    for (const char* ext : {".SIG", ".BIN", ".DAT", ".NIB", ".TXT", ".EDF", ".BDF", ".CSV"})
        if (name.size() > 4 && name.ends_with(ext)) return true;
    return false;
}

bool IsDisplayedRecording(const SignalDocument& doc, const std::string& path) {
    return doc.IsOpen() && (UpperCased(path) == doc.FileName() || SameFile(path, doc.Path()));
}

SaveOutcome CheckAppendShape(const SignalDocument& doc, const SaveRequest& request) {
    int64_t channels = 0, interval = 0;
    const int selected = request.channels.Count();
    const uint32_t own = doc.Header().Interval;
    if (!TargetShape(request.path, OutputKindFor(request.path), channels, interval) ||
        (channels == selected && interval == own))
        return {};
    return SaveOutcome{"Append Error",
                       "Cannot append: " + request.path + " has " + std::to_string(channels) +
                           " channels at " + std::to_string(interval) +
                           " microseconds per sample; the cutout has " + std::to_string(selected) +
                           " channels at " + std::to_string(own) + "."};
}

SaveOutcome SaveCutout(const SignalDocument& doc, const Cutout& cutout, const SaveRequest& request,
                       ProgressSink& progress) {
    if (cutout.Span() < 1) return {};
    const int selected = request.channels.Count();
    if (selected == 0)
        return SaveOutcome{SaveErrorTitle(request.mode),
                           "No channel selected: nothing was written."};
    const OutputKind kind = OutputKindFor(request.path);
    if (kind == OutputKind::Edf || kind == OutputKind::Bdf || kind == OutputKind::Csv)
        return SaveInterchange(doc, cutout, request, kind, progress);
    const FrameEncoder enc = MakeEncoder(doc, kind, request.channels);
    if (request.mode == SaveMode::Append) {
        if (SaveOutcome refusal = CheckAppendShape(doc, request); !refusal.Ok()) return refusal;
        AppendWriter out;
        if (!out.Open(request.path)) return WriteFailure(request, out.Error());
        if (!WriteFrames(doc, cutout, enc, out, progress) || !out.Commit())
            return WriteFailure(request, out.Error());
        return {};
    }
    FileWriter out;
    if (!out.Open(request.path)) return WriteFailure(request, out.Error());
    out.Write(HeaderBytesFor(doc, kind, selected));
    if (!WriteFrames(doc, cutout, enc, out, progress) || !out.Commit())
        return WriteFailure(request, out.Error());
    if (kind == OutputKind::Sig) return WriteCutoutMarkers(doc, cutout, request);
    return {};
}

}  // namespace koru
