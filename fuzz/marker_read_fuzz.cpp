// A fuzzed marker file and frame count. The reader keeps the leading
// decimal numbers up to 2048, stopping at the first that is no number or
// lies past the recording; the same list whatever the file's block size,
// and the same as a plain reading of the text.

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "signal/MarkerFile.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// "%d" after "%d" over the whole text; values past 32 bits are kept only
// as far as needed to stop on them.
std::vector<int32_t> PlainReading(std::string_view text, int32_t frameCount) {
    std::vector<int32_t> out;
    std::size_t i = 0;
    while (out.size() < MarkerList::kCapacity) {
        while (i < text.size() && Space(text[i])) ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
        if (i >= text.size() || text[i] < '0' || text[i] > '9') break;
        int64_t v = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            v = std::min<int64_t>(v * 10 + (text[i] - '0'), int64_t{1} << 40);
        if (negative) v = -v;
        if (v > frameCount || v < INT32_MIN) break;
        out.push_back(static_cast<int32_t>(v));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t frameCount =
        in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(0, 100000);
    const auto block = in.ConsumeIntegralInRange<std::size_t>(1, 100);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::string path = ScratchDir::Get().Write("rec.mrk", text);

    std::vector<int32_t> fromFile;
    KORU_FUZZ_CHECK(ReadMarkers(path, frameCount, fromFile), "a marker file cannot be read");
    KORU_FUZZ_CHECK(fromFile.size() <= MarkerList::kCapacity, "more markers than the list holds");
    KORU_FUZZ_CHECK(fromFile == PlainReading(text, frameCount), "markers differ from the text");

    TextReader chopped(ChoppedText{text, block}, 1);
    std::vector<int32_t> fromBlocks;
    ReadMarkers(chopped, frameCount, fromBlocks);
    KORU_FUZZ_CHECK(fromBlocks == fromFile, "markers depend on the block size");
    return 0;
}
