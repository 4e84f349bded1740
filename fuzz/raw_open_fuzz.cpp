// A fuzzed raw file (".bin", ".dat", ".nib") with fuzzed Read Binary
// answers through the open flow in both storage modes: the answers are kept
// in range, and both modes deliver the values each kind's bytes hold.

#include "OpenCheck.h"

using namespace koru;
using namespace koru::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr const char* kNames[] = {"rec.bin", "REC.DAT", "rec.Nib"};
    static constexpr SourceKind kKinds[] = {SourceKind::Bin, SourceKind::Dat, SourceKind::Nib};
    const auto kind = in.ConsumeIntegralInRange<std::size_t>(0, 2);
    ReadBinaryAnswer answer;
    answer.channels = in.ConsumeIntegralInRange<int32_t>(-2, 12);
    answer.interval = in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : 1000;
    const std::string wants = in.ConsumeBytesAsString(4);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const std::string path = ScratchDir::Get().Write(kNames[kind], bytes);
    CheckBothModes(path, bytes, answer, wants);

    fuzz::AnsweringUi answering;
    answering.answer = answer;
    SignalDocument doc;
    KORU_FUZZ_CHECK(OpenSignalFile(doc, path, answering) == OpenOutcome::Opened,
                    "a raw file was refused");
    KORU_FUZZ_CHECK(doc.Kind() == kKinds[kind], "the kind is not the name's");
    const int32_t channels = std::clamp(answer.channels, 1, 8);
    KORU_FUZZ_CHECK(doc.Header().ChannelCount == channels, "channels outside 1..8");
    KORU_FUZZ_CHECK(doc.Header().Interval == static_cast<uint32_t>(std::max(answer.interval, 1)),
                    "the interval is not the answer's");
    KORU_FUZZ_CHECK(doc.Header().DescriptionText() == KindLabel(doc.Kind()),
                    "the description is not the kind's label");
    return 0;
}
