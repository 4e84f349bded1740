// Opening a 24-hour 8-channel EDF, BDF and WFDB (format 212) recording into
// memory against the same samples as a ".sig" file. The files are generated
// here, once, in /tmp; the counters show the same last sample for each.
//
//   build/bench/foreign_bench
// KORU_BENCH_EDF_HZ sets the sampling rate (default 250 Hz: 21.6 million frames).

#include <benchmark/benchmark.h>

#include <algorithm>
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

bool Exists(const std::string& path, uint64_t size) {
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    return probe && static_cast<uint64_t>(probe.tellg()) == size;
}

// EDF (2 bytes a sample) or BDF (3), one-second records.
std::string MakeEdf(int rate, int bytes) {
    const std::string path =
        "/tmp/koru-bench-24h-" + std::to_string(rate) + (bytes == 3 ? ".bdf" : ".edf");
    const uint64_t size = 256u * (kChannels + 1) + uint64_t{kRecords} * kChannels *
                                                       static_cast<uint64_t>(rate) *
                                                       static_cast<uint64_t>(bytes);
    if (Exists(path, size)) return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string h = (bytes == 3 ? std::string("\xff"
                                              "BIOSEMI",
                                              8)
                                : Padded("0", 8)) +
                    Padded("bench patient", 80) + Padded("bench recording", 80);
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
    std::vector<char> record(static_cast<std::size_t>(kChannels * rate * bytes));
    for (int r = 0; r < kRecords; ++r) {
        char* at = record.data();
        for (int c = 0; c < kChannels; ++c)
            for (int k = 0; k < rate; ++k) {
                const int32_t v = Sample(int64_t{r} * rate + k, c);
                for (int b = 0; b < bytes; ++b) *at++ = static_cast<char>((v >> (8 * b)) & 0xFF);
            }
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    return path;
}

// WFDB format 212: two 12-bit samples in three bytes, frames one after the other.
std::string MakeWfdb(int rate) {
    const std::string base = "/tmp/koru-bench-24h-" + std::to_string(rate) + "w";
    const int64_t frames = int64_t{kRecords} * rate;
    const std::string name = base.substr(base.rfind('/') + 1);
    std::ofstream hea(base + ".hea", std::ios::trunc);
    hea << name << ' ' << kChannels << ' ' << rate << ' ' << frames << '\n';
    for (int c = 0; c < kChannels; ++c)
        hea << name << ".dat 212 200 12 0 0 0 0 Lead" << c + 1 << '\n';
    if (Exists(base + ".dat", static_cast<uint64_t>(frames) * kChannels * 3 / 2))
        return base + ".hea";
    std::ofstream out(base + ".dat", std::ios::binary | std::ios::trunc);
    std::vector<char> block;
    for (int64_t f = 0; f < frames;) {
        const int64_t n = std::min<int64_t>(65536, frames - f);
        block.clear();
        for (int64_t i = 0; i < n; ++i)
            for (int c = 0; c < kChannels; c += 2) {
                const auto a = static_cast<uint16_t>(Sample(f + i, c)) & 0xFFFu;
                const auto b = static_cast<uint16_t>(Sample(f + i, c + 1)) & 0xFFFu;
                block.push_back(static_cast<char>(a & 0xFF));
                block.push_back(static_cast<char>((a >> 8) | ((b >> 8) << 4)));
                block.push_back(static_cast<char>(b & 0xFF));
            }
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        f += n;
    }
    return base + ".hea";
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
    // The load into memory, which a recording this long no longer takes by
    // default (scaling_bench measures that open).
    doc.SetWholeLoadLimitForTesting(UINT64_MAX);
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
    Load(state, MakeEdf(Rate(), 2));
}

void BM_Load24hBdf(benchmark::State& state) {
    Load(state, MakeEdf(Rate(), 3));
}

void BM_Load24hWfdb212(benchmark::State& state) {
    Load(state, MakeWfdb(Rate()));
}

}  // namespace

BENCHMARK(BM_Load24hSig)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load24hEdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load24hBdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Load24hWfdb212)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
