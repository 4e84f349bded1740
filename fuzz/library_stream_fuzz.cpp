// Bytes as the GDF and SCP-ECG reader process might hand them back after the
// library went wrong: the parser accepts them only when every signal's
// samples lie within the bytes (unless they are served on request), and
// reading the first and last sample of each stays inside them (the
// sanitizer sees any read past the end). The same bytes read as a serving
// reader's request and answer stay within their bounds.

#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "signal/LibraryStream.h"

using namespace koru;

namespace {

void CheckServeMessages(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= kServeRequestBytes) {
        ServeRequest request;
        if (ParseServeRequest(bytes.data(), request)) {
            KORU_FUZZ_CHECK(!request.signals.empty() && request.signals.size() <= kServeMaxSignals,
                            "request signals bounded");
            KORU_FUZZ_CHECK(request.count <= kServeMaxSamples, "request count bounded");
        }
    }
    if (bytes.size() >= kServeAnswerFixedBytes) {
        ServeAnswerHead head;
        uint32_t message = 0;
        if (ParseServeAnswerFixed(bytes.data(), 1000, head, message))
            KORU_FUZZ_CHECK(head.samples <= 1000 && message <= kStreamMaxText, "answer bounded");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so any read past them is caught.
    std::vector<uint8_t> bytes(data, data + size);
    CheckServeMessages(bytes);
    LibraryStream stream;
    std::string error;
    if (!ParseLibraryStream(bytes.data(), bytes.size(), stream, error)) {
        KORU_FUZZ_CHECK(!error.empty(), "a refused stream says why");
        return 0;
    }
    KORU_FUZZ_CHECK(stream.signals.size() <= kStreamMaxSignals, "signal count bounded");
    KORU_FUZZ_CHECK(!stream.start.HasDate() || (stream.start.month >= 1 && stream.start.day >= 1),
                    "a known date is a real one");
    if (stream.served) return 0;
    for (const StreamSignal& s : stream.signals) {
        const std::size_t width = SampleWidth(s.encoding);
        KORU_FUZZ_CHECK(s.offset % 8 == 0, "samples aligned");
        KORU_FUZZ_CHECK(s.offset <= size && s.samples <= (size - s.offset) / width,
                        "samples within the bytes");
        KORU_FUZZ_CHECK(s.rate > 0, "a signal has a rate");
        if (s.samples == 0) continue;
        uint8_t first[8], last[8];
        std::memcpy(first, bytes.data() + s.offset, width);
        std::memcpy(last, bytes.data() + s.offset + (s.samples - 1) * width, width);
        (void)first;
        (void)last;
    }
    return 0;
}
