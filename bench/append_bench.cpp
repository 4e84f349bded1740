// The cost of a crash-safe append (lock, journal written and synced with its
// folder, data synced, journal removed and the folder synced again) against
// a plain append of the same bytes that ends in one fsync, for a small, a
// typical and a large cutout. The ratio of the two is the overhead.
//
//   build/bench/append_bench [--benchmark_filter=...]
//
// The file lives in $KORU_BENCH_DIR (default: the current directory), so
// the syncs hit a real disk; /tmp is often in memory, where they cost nothing.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/AppendWriter.h"

namespace {

std::string Target() {
    const char* dir = std::getenv("KORU_BENCH_DIR");
    return std::string(dir && *dir ? dir : ".") + "/koru-bench-append.sig";
}

// Puts the target back to its starting length between rounds, off the clock.
void Reset(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string head(326, 'h');
    if (fd >= 0) {
        if (::write(fd, head.data(), head.size()) < 0) std::abort();
        ::close(fd);
    }
}

void BM_AppendWriter(benchmark::State& state) {
    const std::string path = Target();
    const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        state.PauseTiming();
        Reset(path);
        state.ResumeTiming();
        koru::AppendWriter out;
        if (!out.Open(path) || !out.Write(bytes) || !out.Commit())
            state.SkipWithError(out.Error().c_str());
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_PlainAppend(benchmark::State& state) {
    const std::string path = Target();
    const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        state.PauseTiming();
        Reset(path);
        state.ResumeTiming();
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        const char* p = bytes.data();
        for (std::size_t left = bytes.size(); left > 0;) {
            const ssize_t n = ::write(fd, p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        ::fsync(fd);
        ::close(fd);
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// 16 KiB: a second of eight channels at 1 kHz; 1 MiB: a minute; 64 MiB: an hour.
BENCHMARK(BM_AppendWriter)
    ->Arg(16 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAppend)
    ->Arg(16 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
