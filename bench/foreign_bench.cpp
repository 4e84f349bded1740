// Opening a 24-hour 8-channel EDF recording into memory against the same
// samples as a ".sig" file. Both files are generated here, once, in /tmp.
//
//   build/bench/foreign_bench
// KORU_BENCH_EDF_HZ sets the sampling rate (default 250 Hz: 21.6 million frames).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"
#include "signal/SignalHeader.h"

namespace {

constexpr int kChannels = 8;
constexpr int kRecords = 24 * 3600;  // one-second data records

class NullUi : public koru::Ui {};

int Rate() {
    const char* env = std::getenv("KORU_BENCH_EDF_HZ");
    return env ? std::atoi(env) : 250;
}

int16_t Sample(int64_t frame, int channel) {
    return static_cast<int16_t>((frame * 7 + channel * 131) % 4096 - 2048);
}

std::string Padded(const std::string& s, std::size_t width) {
    std::string out = s.substr(0, width);
    out.resize(width, ' ');
    return out;
}

std::string MakeEdf(int rate) {
    const std::string path = "/tmp/koru-bench-24h-" + std::to_string(rate) + ".edf";
    const uint64_t size = 256u * (kChannels + 1) + uint64_t{kRecords} * kChannels * rate * 2;
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (probe && static_cast<uint64_t>(probe.tellg()) == size) return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string h = Padded("0", 8) + Padded("bench patient", 80) + Padded("bench recording", 80);
    h += "01.01.11"
         "00.00.00" +
         Padded(std::to_string(256 * (kChannels + 1)), 8) + Padded("", 44);
    h +=
        Padded(std::to_string(kRecords), 8) + Padded("1", 8) + Padded(std::to_string(kChannels), 4);
    auto each = [&](const std::string& v, std::size_t w) {
        for (int c = 0; c < kChannels; ++c)
            h += Padded(v == "#" ? "Lead " + std::to_string(c + 1) : v, w);
    };
    each("#", 16), each("", 80), each("uV", 8), each("-2048", 8), each("2047", 8);
    each("-2048", 8), each("2047", 8), each("", 80), each(std::to_string(rate), 8), each("", 32);
    out << h;
    std::vector<int16_t> record(static_cast<std::size_t>(kChannels * rate));
    for (int r = 0; r < kRecords; ++r) {
        for (int c = 0; c < kChannels; ++c)
            for (int k = 0; k < rate; ++k)
                record[static_cast<std::size_t>(c * rate + k)] = Sample(int64_t{r} * rate + k, c);
        out.write(reinterpret_cast<const char*>(record.data()),
                  static_cast<std::streamsize>(record.size() * 2));
    }
    return path;
}

std::string MakeSig(int rate) {
    const std::string path = "/tmp/koru-bench-24h-" + std::to_string(rate) + ".sig";
    const int64_t frames = int64_t{kRecords} * rate;
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (probe && static_cast<int64_t>(probe.tellg()) == 326 + frames * 16) return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    koru::SignalHeader h;
    h.ChannelCount = kChannels;
    h.Interval = static_cast<uint32_t>(1'000'000 / rate);
    const auto header = koru::SerializeHeader(h);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    std::vector<int16_t> block(kChannels * 65536);
    for (int64_t f = 0; f < frames;) {
        const int64_t n = std::min<int64_t>(65536, frames - f);
        for (int64_t i = 0; i < n; ++i)
            for (int c = 0; c < kChannels; ++c)
                block[static_cast<std::size_t>(i * kChannels + c)] = Sample(f + i, c);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(n * 16));
        f += n;
    }
    return path;
}

void Load(benchmark::State& state, const std::string& path) {
    NullUi ui;
    koru::SignalDocument doc;
    for (auto _ : state) {
        doc.Close();
        if (koru::OpenSignalFile(doc, path, ui) != koru::OpenOutcome::Opened) {
            state.SkipWithError("did not open");
            return;
        }
        const koru::LoadResult r = koru::LoadRecording(doc, ui);
        if (r.frames != doc.FrameCount()) state.SkipWithError("short load");
    }
    state.counters["frames"] = doc.FrameCount();
    // Same samples both ways: a wrong decode would show here, not only in speed.
    const std::optional<koru::Frame> last = doc.FindFrame(doc.FrameCount() - 1);
    state.counters["last_sample"] = last ? (*last)[7] : -99999;
}

void BM_Load24hSig(benchmark::State& state) {
    Load(state, MakeSig(Rate()));
}

void BM_Load24hEdf(benchmark::State& state) {
    Load(state, MakeEdf(Rate()));
}

}  // namespace

BENCHMARK(BM_Load24hSig)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load24hEdf)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
