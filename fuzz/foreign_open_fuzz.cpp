// A fuzzed EDF, BDF or WFDB record (header, data and annotation files, and
// a segment header for multi-segment records; every WFDB storage format)
// through the open flow and the load. An open record has one to eight
// channels and a positive interval, loads whole or says why, and keeps at
// most 2048 markers in time order within the record. FILEMODE changes
// nothing for these files. GDF and SCP-ECG are left out: their reader is
// the general library's own code, not ours to fix.

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/WfdbAnnotations.h"
#include "signal/WfdbHeader.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

class QuietUi : public Ui {};

std::size_t Length16(const uint8_t* p) {
    return static_cast<std::size_t>(p[0] | p[1] << 8);
}

// Byte 0 chooses the kind. A WFDB input then gives the lengths of the header,
// the annotations and a segment header "seg.hea" (two bytes each,
// little-endian); the rest is the data file "rec.dat".
std::string WriteRecord(const uint8_t* data, std::size_t size) {
    const ScratchDir& dir = ScratchDir::Get();
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
        case 0:
            return dir.Write("rec.edf", rest);
        case 1:
            return dir.Write("rec.bdf", rest);
        default:
            break;
    }
    if (size < 7) return dir.Write("rec.hea", "");
    std::string_view body(reinterpret_cast<const char*>(data + 7), size - 7);
    const std::size_t hea = std::min(Length16(data + 1), body.size());
    const std::size_t atr = std::min(Length16(data + 3), body.size() - hea);
    const std::size_t seg = std::min(Length16(data + 5), body.size() - hea - atr);
    dir.Write("rec.atr", body.substr(hea, atr));
    dir.Write("seg.hea", body.substr(hea + atr, seg));
    dir.Write("rec.dat", body.substr(hea + atr + seg));
    WfdbHeader header;
    std::string error;
    ParseWfdbHeader(body.substr(0, hea), header, error);
    const WfdbAnnotationFile notes = ParseWfdbAnnotations(body.substr(hea, atr));
    for (const WfdbAnnotation& a : notes.items)
        KORU_FUZZ_CHECK(a.aux <= notes.texts.size(), "an annotation's text is not kept");
    return dir.Write("rec.hea", body.substr(0, hea));
}

struct Opened {
    OpenOutcome outcome = OpenOutcome::Invalid;
    SignalHeader header;
    int32_t frames = 0;
    std::vector<int32_t> markers;
    std::vector<Frame> first;
};

Opened OpenAndLoad(const std::string& path, bool fileBacked) {
    QuietUi ui;
    SignalDocument doc;
    doc.SetFileBacked(fileBacked);
    Opened r;
    r.outcome = OpenSignalFile(doc, path, ui);
    if (r.outcome != OpenOutcome::Opened) return r;
    const LoadResult load = LoadRecording(doc, ui);
    if (!doc.IsOpen()) {
        r.outcome = OpenOutcome::Invalid;  // broke off while loading, and closed
        return r;
    }
    KORU_FUZZ_CHECK(!doc.FileBacked(), "a foreign record is read from its file");
    r.header = doc.Header();
    r.frames = doc.FrameCount();
    r.markers = doc.Markers().items;
    // A compressed file cut short is only found out while decoding: the load says so.
    KORU_FUZZ_CHECK(load.outOfMemory || !load.error.empty() || load.frames == doc.FrameCount(),
                    "a short load said nothing");
    FrameCursor cursor(doc, 0);
    for (int i = 0; i < 64; ++i) {
        const Frame* f = cursor.Next();
        if (!f) break;
        r.first.push_back(*f);
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > 1 << 20) return 0;
    ScratchDir::Get().Clear();
    const std::string path = WriteRecord(data, size);
    const Opened a = OpenAndLoad(path, false);
    if (a.outcome == OpenOutcome::Opened) {
        KORU_FUZZ_CHECK(a.header.ChannelCount >= 1 && a.header.ChannelCount <= 8, "channels");
        KORU_FUZZ_CHECK(a.header.Interval > 0, "interval");
        KORU_FUZZ_CHECK(a.markers.size() <= MarkerList::kCapacity, "too many markers");
        KORU_FUZZ_CHECK(std::is_sorted(a.markers.begin(), a.markers.end()), "markers out of order");
        for (const int32_t m : a.markers)
            KORU_FUZZ_CHECK(m >= 0 && m <= a.frames, "a marker outside the record");
        for (const Frame& f : a.first)
            for (std::size_t c = a.header.ChannelCount; c < kFrameChannels; ++c)
                KORU_FUZZ_CHECK(f[c] == 0, "a channel the record lacks holds a value");
    }
    const Opened b = OpenAndLoad(path, true);
    KORU_FUZZ_CHECK(a.outcome == b.outcome, "FILEMODE changed the outcome");
    KORU_FUZZ_CHECK(a.frames == b.frames && a.markers == b.markers && a.first == b.first,
                    "FILEMODE changed the record");
    return 0;
}
