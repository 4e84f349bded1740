// A fuzzed text sample file through Convert TXT to SIG. A failure leaves
// the target as it was and says why; a conversion writes a header the open
// step accepts and two bytes per sample; the result does not depend on the
// block size the text is read in.

#include <string>

#include "FuzzSupport.h"
#include "app/Snapshot.h"
#include "export/TextConvert.h"
#include "signal/OpenFlow.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

constexpr std::string_view kOld = "the old file";

void CheckResult(const ConvertResult& r, const HeadlessUi& ui, const std::string& target) {
    const std::string out = ReadAll(target);
    if (r.outcome == ConvertResult::Outcome::Failed) {
        KORU_FUZZ_CHECK(out == kOld, "a failed conversion changed the target");
        KORU_FUZZ_CHECK(ui.messages.size() == 1, "a failure is not reported once");
        return;
    }
    const bool stopped = r.outcome == ConvertResult::Outcome::Stopped;
    KORU_FUZZ_CHECK(ui.messages.size() == (stopped ? 1u : 0u), "wrong messages for the outcome");
    KORU_FUZZ_CHECK(out.size() == SignalHeader::kSize + 2 * static_cast<std::size_t>(r.samples),
                    "the file is not the header and two bytes per sample");
    HeaderBytes header{};
    std::copy_n(out.begin(), header.size(), header.begin());
    KORU_FUZZ_CHECK(HeaderAcceptable(ParseHeader(header)), "the open step refuses the new file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto block = in.ConsumeIntegralInRange<std::size_t>(1, 200);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const ScratchDir& dir = ScratchDir::Get();
    const std::string source = dir.Write("samples.txt", text);
    const std::string whole = dir.Write("whole.sig", kOld);
    const std::string chopped = dir.Write("chopped.sig", kOld);

    HeadlessUi ui;
    const ConvertResult r = ConvertTextFile(source, whole, ui);
    CheckResult(r, ui, whole);

    HeadlessUi ui2;
    TextReader reader(ChoppedText{text, block}, 1);
    const ConvertResult r2 = ConvertText(reader, text.size(), chopped, ui2);
    KORU_FUZZ_CHECK(r2.outcome == r.outcome && r2.samples == r.samples,
                    "the outcome depends on the block size");
    KORU_FUZZ_CHECK(ui2.messages == ui.messages, "the messages depend on the block size");
    KORU_FUZZ_CHECK(ReadAll(chopped) == ReadAll(whole), "the file depends on the block size");

    if (r.outcome != ConvertResult::Outcome::Failed) {
        SignalDocument doc;
        HeadlessUi ui3;
        KORU_FUZZ_CHECK(OpenSignalFile(doc, whole, ui3) == OpenOutcome::Opened,
                        "the new file does not open");
        KORU_FUZZ_CHECK(doc.FrameCount() == r.samples / doc.Header().ChannelCount,
                        "the new file's frames are not its samples");
    }
    return 0;
}
