// Beat detection as `koru beats` runs it: open, load and detect one channel.
// Reported as multiples of real time ("x_real_time": recorded seconds done a
// second); the goals are 10,000x for a 30-minute 2-channel record and a
// 24-hour 8-channel recording in under 10 s (8,640x).
//
//   build/bench/beats_bench
// The 24-hour recording (250 Hz) is generated once in /tmp and read in file
// mode, so memory stays bounded whatever its length.

#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/Beats.h"
#include "app/Session.h"
#include "signal/OpenFlow.h"

namespace {

constexpr int kChannels = 8;
constexpr int kRate = 250;
constexpr int64_t kFrames = int64_t{24} * 3600 * kRate;

class NullUi : public koru::Ui {};

// Beats every 0.6 to 1.0 s: a 40 ms spike on a slow wave with a little noise.
std::string MakeDay() {
    const std::string path = "/tmp/koru-bench-beats-24h-250.sig";
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (probe && static_cast<int64_t>(probe.tellg()) == 326 + kFrames * 2 * kChannels) return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    koru::SignalHeader h;
    h.ChannelCount = kChannels;
    h.Interval = 1'000'000 / kRate;
    const auto header = koru::SerializeHeader(h);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    std::vector<int16_t> block;
    int64_t next = 100, beat = 0;
    uint32_t noise = 1;
    for (int64_t f = 0; f < kFrames; ++f) {
        if (f == next) beat = f, next += 150 + (f * 7919) % 100;
        const int64_t d = f - beat;
        noise = noise * 1664525u + 1013904223u;
        const double v = 300 * std::sin(static_cast<double>(f) * 0.002) + (noise >> 26) +
                         (d < 10 ? 100.0 * static_cast<double>(10 - std::abs(d - 5) * 2) : 0.0);
        for (int c = 0; c < kChannels; ++c) block.push_back(static_cast<int16_t>(v - c * 10));
        if (block.size() >= 65536 * kChannels || f + 1 == kFrames) {
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 2));
            block.clear();
        }
    }
    return path;
}

void Beats(benchmark::State& state, const std::string& path, bool fileMode) {
    NullUi ui;
    std::size_t beats = 0;
    double seconds = 0;
    for (auto _ : state) {
        koru::SignalDocument doc;
        doc.SetFileBacked(fileMode);
        if (koru::OpenSignalFile(doc, path, ui) != koru::OpenOutcome::Opened ||
            !koru::LoadRecording(doc, ui).error.empty()) {
            state.SkipWithError("did not open");
            return;
        }
        beats = koru::DetectBeats(doc, 0).size();
        seconds = doc.FrameCount() / koru::FrameRate(doc.Header());
    }
    state.counters["beats"] = static_cast<double>(beats);
    state.counters["x_real_time"] =
        benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Beats30MinuteTwoChannelRecord(benchmark::State& state) {
    Beats(state, std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea", false);
}

void BM_Beats24HourEightChannelFileMode(benchmark::State& state) {
    Beats(state, MakeDay(), true);
}

}  // namespace

BENCHMARK(BM_Beats30MinuteTwoChannelRecord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Beats24HourEightChannelFileMode)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK_MAIN();
