// Convert TXT to SIG on a generated text sample file: the program's
// conversion against a reference that reads the way the stream functions
// are called one after another (fgetc to skip to a number, "%d", "%ld",
// sixteen "%g", fgetc through the description, then "%hd" until the end of
// the file), in one run. Both must write the same bytes; the run fails
// otherwise.
//
//   build/bench/convert_bench [--benchmark_filter=...]
// KORU_BENCH_MB sets the size of the generated text file (default 100 MB).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "export/TextConvert.h"
#include "export/TextLayout.h"

namespace {

uint64_t BenchMegabytes() {
    const char* env = std::getenv("KORU_BENCH_MB");
    return env ? std::strtoull(env, nullptr, 10) : 100;
}

// Eight channels of 12-bit values, written by the program's own text writer.
const std::string& TextFile() {
    static const std::string path = [] {
        const uint64_t megabytes = BenchMegabytes();
        const std::string p = "/tmp/koru-bench-convert-" + std::to_string(megabytes) + ".txt";
        std::ifstream probe(p, std::ios::binary | std::ios::ate);
        if (probe && static_cast<uint64_t>(probe.tellg()) >= megabytes << 20) return p;
        koru::SignalHeader h;
        h.ChannelCount = 8;
        h.Interval = 1000;
        for (std::size_t i = 0; i < h.Scale.size(); ++i) h.Scale[i] = 0.5f * float(i + 1);
        h.SetDescription("convert bench: 8 channels, 1 kHz");
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        std::string block = koru::TextHeaderLines(h);
        uint64_t written = 0;
        int16_t frame[8];
        for (uint64_t f = 0; written < megabytes << 20; ++f) {
            for (int c = 0; c < 8; ++c)
                frame[c] = static_cast<int16_t>((f * 7 + uint64_t(c) * 131) % 4096) - 2048;
            koru::AppendFrameLine(block, frame, koru::FrameLineStyle::TrailingBlank);
            if (block.size() > (1 << 20)) {
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
                written += block.size();
                block.clear();
            }
        }
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        return p;
    }();
    return path;
}

uint64_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<uint64_t>(in.tellg()) : 0;
}

// ---- the reference: the stream functions as the conversion names them ----

// "rt" on the original platform: CR LF comes as LF.
int TextGetc(FILE* f) {
    const int c = std::fgetc(f);
    if (c != '\r') return c;
    const int next = std::fgetc(f);
    if (next == '\n') return '\n';
    if (next != EOF) std::ungetc(next, f);
    return c;
}

void SkipToDigit(FILE* f) {
    int c;
    while ((c = std::fgetc(f)) != EOF && (c < '0' || c > '9')) {
    }
    if (c != EOF) std::ungetc(c, f);
}

void Put16(FILE* f, uint16_t v) {
    std::fputc(v & 0xFF, f);
    std::fputc(v >> 8, f);
}

bool ReferenceConvert(const char* textPath, const char* sigPath) {
    unsigned char header[326] = {};
    FILE* in = std::fopen(textPath, "r");
    if (!in) return false;
    int channels = 0;
    long interval = 0;
    SkipToDigit(in);
    std::fscanf(in, "%d", &channels);
    const auto count = static_cast<uint16_t>(channels);
    if (count > 16 || count == 0 || std::feof(in)) return std::fclose(in), false;
    SkipToDigit(in);
    std::fscanf(in, "%ld", &interval);
    if (interval == 0 || std::feof(in)) return std::fclose(in), false;
    FILE* out = std::fopen(sigPath, "wb");
    if (!out) return std::fclose(in), false;
    std::memcpy(header, &count, 2);
    const auto interval32 = static_cast<uint32_t>(interval);
    std::memcpy(header + 2, &interval32, 4);
    SkipToDigit(in);
    for (int i = 0; i < 16; ++i)
        std::fscanf(in, "%g", reinterpret_cast<float*>(header + 6 + 4 * i));
    int c;
    while ((c = TextGetc(in)) != EOF && c != '\n') {
    }
    for (int i = 0; i < 257; ++i) {
        c = TextGetc(in);
        if (c == EOF || c == '\n') break;
        if (i < 256) header[70 + i] = static_cast<unsigned char>(c);
    }
    std::fwrite(header, 1, sizeof header, out);
    while (!std::feof(in)) {
        short v;
        if (std::fscanf(in, "%hd", &v) != 1) break;
        Put16(out, static_cast<uint16_t>(v));
    }
    std::fclose(in);
    std::fclose(out);
    return true;
}

const std::string kOurs = "/tmp/koru-bench-convert-ours.sig";
const std::string kReference = "/tmp/koru-bench-convert-reference.sig";

void BM_ConvertTextFile(benchmark::State& state) {
    const std::string& text = TextFile();
    koru::Ui ui;
    for (auto _ : state) {
        const koru::ConvertResult r = koru::ConvertTextFile(text, kOurs, ui);
        if (r.outcome != koru::ConvertResult::Outcome::Converted) state.SkipWithError("failed");
        state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(FileSize(text)));
    }
}

void BM_ReferenceScanf(benchmark::State& state) {
    const std::string& text = TextFile();
    for (auto _ : state) {
        if (!ReferenceConvert(text.c_str(), kReference.c_str())) state.SkipWithError("failed");
        state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(FileSize(text)));
    }
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

BENCHMARK(BM_ConvertTextFile)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_ReferenceScanf)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::remove(kOurs.c_str());
    std::remove(kReference.c_str());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Both outputs exist only when both benchmarks ran.
    if (FileSize(kOurs) == 0 || FileSize(kReference) == 0) return 0;
    const bool same = Bytes(kOurs) == Bytes(kReference);
    std::printf("outputs %s (%llu bytes)\n", same ? "byte-identical" : "DIFFER",
                static_cast<unsigned long long>(FileSize(kOurs)));
    return same ? 0 : 1;
}
