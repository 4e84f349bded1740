// A fuzzed ".sig" file through the open flow in both storage modes. The
// header bytes survive a parse and write unchanged, a file is opened exactly
// when its header is acceptable, and both modes deliver the file's values.

#include <algorithm>
#include <cstring>

#include "OpenCheck.h"

using namespace koru;
using namespace koru::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool acceptable = false;
    if (size >= SignalHeader::kSize) {
        HeaderBytes header{};
        std::memcpy(header.data(), data, header.size());
        const SignalHeader parsed = ParseHeader(header);
        KORU_FUZZ_CHECK(SerializeHeader(parsed) == header, "the header does not round-trip");
        acceptable = HeaderAcceptable(parsed);
        KORU_FUZZ_CHECK(acceptable == (parsed.ChannelCount >= 1 && parsed.ChannelCount <= 16 &&
                                       parsed.Interval != 0),
                        "the acceptance test is not the open step's");
    }
    // The kind is read from the upper-cased name, whatever case it is written in.
    const std::string path = ScratchDir::Get().Write(size % 2 ? "rec.sig" : "REC.Sig", bytes);
    CheckBothModes(path, bytes, {}, bytes.substr(std::min<std::size_t>(size, 2), 8));
    {
        HeadlessUi ui;
        SignalDocument doc;
        const bool opened = OpenSignalFile(doc, path, ui) == OpenOutcome::Opened;
        KORU_FUZZ_CHECK(opened == acceptable, "opened although the header is not acceptable");
    }
    return 0;
}
