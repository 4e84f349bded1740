// Loading a large recording: the in-memory load against a plain read() of
// the same file, the store's bytes per frame for 8-, 3- and 1-channel
// recordings of the same size, and the file-backed open, which must not grow
// with the file.
//
//   build/bench/load_bench [--benchmark_filter=...]
// KORU_BENCH_MB sets the size of the generated recording (default 208 MB).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"
#include "signal/SignalHeader.h"

namespace {

// Counts the progress updates a load makes; everything else is ignored.
class NullUi : public koru::Ui {
  public:
    void ProgressSet(int) override { ++updates; }
    int updates = 0;
};

std::string MakeRecording(const std::string& name, uint64_t megabytes, int channels = 8) {
    const std::string path = "/tmp/koru-bench-" + name + ".sig";
    koru::SignalHeader h;
    h.ChannelCount = static_cast<uint16_t>(channels);
    h.Interval = 1000;
    h.SetDescription("bench");
    const auto width = static_cast<uint64_t>(channels);
    const uint64_t frames = megabytes * 1024 * 1024 / (2 * width);
    std::ifstream probe(path, std::ios::binary | std::ios::ate);
    if (probe && static_cast<uint64_t>(probe.tellg()) == 326 + frames * 2 * width) return path;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto header = koru::SerializeHeader(h);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    std::vector<int16_t> block(width * 65536);
    for (uint64_t f = 0; f < frames;) {
        const uint64_t n = std::min<uint64_t>(65536, frames - f);
        for (uint64_t i = 0; i < n; ++i)
            for (uint64_t c = 0; c < width; ++c)
                block[i * width + c] = static_cast<int16_t>(((f + i) * 7 + c * 131) % 4096 - 2048);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(n * 2 * width));
        f += n;
    }
    return path;
}

uint64_t BenchMegabytes() {
    const char* env = std::getenv("KORU_BENCH_MB");
    return env ? std::strtoull(env, nullptr, 10) : 208;
}

const std::string& BigFile() {
    static const std::string path = MakeRecording("big", BenchMegabytes());
    return path;
}

std::string BigFile(int channels) {
    if (channels == 8) return BigFile();
    return MakeRecording("big-" + std::to_string(channels), BenchMegabytes(), channels);
}

void BM_PlainRead(benchmark::State& state) {
    const std::string& path = BigFile();
    for (auto _ : state) {
        // A fresh buffer each time, as a load must take fresh memory too.
        int fd = ::open(path.c_str(), O_RDONLY);
        const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
        ::lseek(fd, 0, SEEK_SET);
        std::unique_ptr<char[]> buffer(new char[size]);
        std::size_t done = 0;
        while (done < size) {
            ssize_t r = ::read(fd, buffer.get() + done, size - done);
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
        state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(done));
    }
}

void BM_LoadInMemory(benchmark::State& state) {
    const std::string path = BigFile(static_cast<int>(state.range(0)));
    NullUi ui;
    koru::SignalDocument doc;
    // The load into memory, which a recording this long no longer takes by
    // default (scaling_bench measures that open).
    doc.SetWholeLoadLimitForTesting(UINT64_MAX);
    double bytesPerFrame = 0;
    for (auto _ : state) {
        doc.Close();
        doc.SetFileBacked(false);
        koru::OpenSignalFile(doc, path, ui);
        koru::LoadRecording(doc, ui);
        bytesPerFrame = static_cast<double>(doc.StoreForTesting().BytesAllocated()) /
                        static_cast<double>(doc.FrameCount());
        state.SetBytesProcessed(state.bytes_processed() +
                                static_cast<int64_t>(doc.FrameCount()) * 2 * state.range(0));
    }
    state.SetLabel(std::to_string(state.range(0)) + " channels");
    state.counters["bytes_per_frame"] = bytesPerFrame;
    state.counters["frames"] = doc.FrameCount();
    state.counters["progress_updates"] = ui.updates / static_cast<double>(state.iterations());
}

void BM_OpenFileBacked(benchmark::State& state) {
    const std::string path = state.range(0) == 0 ? MakeRecording("small", 1) : BigFile();
    NullUi ui;
    koru::SignalDocument doc;
    for (auto _ : state) {
        doc.Close();
        doc.SetFileBacked(true);
        koru::OpenSignalFile(doc, path, ui);
        koru::LoadRecording(doc, ui);
        benchmark::DoNotOptimize(doc.FrameCount());
    }
    state.counters["frames"] = doc.FrameCount();
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadInMemory)->Arg(8)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenFileBacked)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
