// Painting the Signal view: a full paint of a 1920x1080 view of an
// 8-channel recording at 640 samples per division (64 frames per column),
// in both storage modes, against the memory limit of the work: a plain
// min/max, column by column, over a contiguous int16_t array of the same
// frames and channels. Also the 10-pixel strip a one-division line scroll
// repaints, and the scroll itself. The full paint also runs on 1- and
// 3-channel recordings, whose frames the store keeps packed.
//
//   build/bench/paint_bench [--benchmark_filter=...]
//
// The full paint is also timed on a buffer that scrolls have turned.
//
// Targets: full paint at most 3x the array scan in memory and 4x
// file-backed; a strip at most 5% of a full paint; a line scroll at most
// 0.1x a full paint (the buffer turns as a ring, so a scroll costs about
// its strip).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EcgRecording.h"
#include "app/Snapshot.h"
#include "signal/SignalDocument.h"
#include "view/SignalView.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kScrollX = 100;  // start a little into the recording
constexpr int64_t kFrames = 1'500'000;

using bench::EcgSample;

const std::string& Recording() {
    static const std::string path =
        bench::EcgRecording("/tmp/koru-bench-paint.sig", kFrames, "paint bench");
    return path;
}

std::string Recording(int channels) {
    if (channels == 8) return Recording();
    return bench::EcgRecording("/tmp/koru-bench-paint-" + std::to_string(channels) + ".sig",
                               kFrames, "paint bench", channels);
}

struct View {
    koru::HeadlessUi ui;
    koru::Session session{ui};
    std::unique_ptr<koru::SignalView> view;

    explicit View(bool fileBacked, int channels = 8) {
        session.geometry().SetScreen(kWidth, kHeight);
        session.timeBase().SetIndex(0);  // 640 samples per division
        session.settings().fileMode = fileBacked ? 1 : 0;
        view = std::make_unique<koru::SignalView>(session.viewContext());
        view->ResizeClient(kWidth, kHeight);
        if (!koru::RenderStartUpPicture(session, *view, Recording(channels))) std::abort();
        view->SetScroll(kScrollX, 0);
        view->RepaintRect(view->ClientRect());
    }
};

// Paint only, as after the background was erased.
void BM_FullPaint(benchmark::State& state) {
    View v(state.range(0) != 0);
    koru::RasterCanvas& buffer = v.view->BackBuffer();
    const koru::Rect all = v.view->ClientRect();
    for (auto _ : state) {
        v.view->Paint(buffer, all);
        benchmark::DoNotOptimize(buffer.StoredPixels());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

// The full paint after line scrolls have turned the buffer a third of its
// width and a few rows: every column's and row's place is wrapped.
void BM_FullPaintTurned(benchmark::State& state) {
    View v(state.range(0) != 0);
    koru::RasterCanvas& buffer = v.view->BackBuffer();
    (void)buffer.ScrollPixels(-kWidth / 3, 7);
    const koru::Rect all = v.view->ClientRect();
    for (auto _ : state) {
        v.view->Paint(buffer, all);
        benchmark::DoNotOptimize(buffer.StoredPixels());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

// The full paint in memory of a recording with fewer channels.
void BM_FullPaintChannels(benchmark::State& state) {
    View v(false, static_cast<int>(state.range(0)));
    koru::RasterCanvas& buffer = v.view->BackBuffer();
    const koru::Rect all = v.view->ClientRect();
    for (auto _ : state) {
        v.view->Paint(buffer, all);
        benchmark::DoNotOptimize(buffer.StoredPixels());
    }
    state.SetLabel(std::to_string(state.range(0)) + " channels, in memory");
}

// Erase and paint: what a whole-view repaint costs.
void BM_FullRepaint(benchmark::State& state) {
    View v(state.range(0) != 0);
    const koru::Rect all = v.view->ClientRect();
    for (auto _ : state) {
        v.view->RepaintRect(all);
        benchmark::DoNotOptimize(v.view->BackBuffer().StoredPixels());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

constexpr int kColumns = kWidth + 2;  // the paint computes one column either side
constexpr int kPerColumn = 64;

// The same frames and channels, the same per-column extremes, from a plain
// array: what reading the samples costs at the least.
void BM_ArrayScan(benchmark::State& state) {
    View v(false);
    const int64_t first = v.view->FrameAtColumn(-1);
    std::vector<int16_t> samples;
    samples.reserve(static_cast<std::size_t>(kColumns) * kPerColumn * 8);
    for (int64_t f = first; f < first + int64_t{kColumns} * kPerColumn; ++f)
        for (int c = 0; c < 8; ++c) samples.push_back(EcgSample(f, c));
    std::vector<int16_t> lows(static_cast<std::size_t>(kColumns) * 8);
    std::vector<int16_t> highs(lows.size());
    for (auto _ : state) {
        const int16_t* p = samples.data();
        for (std::size_t x = 0; x < static_cast<std::size_t>(kColumns); ++x) {
            int16_t lo[8], hi[8];
            for (int c = 0; c < 8; ++c) lo[c] = hi[c] = p[c];
            for (int k = 0; k < kPerColumn; ++k, p += 8) {
                for (int c = 0; c < 8; ++c) {
                    lo[c] = p[c] < lo[c] ? p[c] : lo[c];
                    hi[c] = p[c] > hi[c] ? p[c] : hi[c];
                }
            }
            std::copy(lo, lo + 8, lows.begin() + static_cast<std::ptrdiff_t>(x * 8));
            std::copy(hi, hi + 8, highs.begin() + static_cast<std::ptrdiff_t>(x * 8));
        }
        benchmark::DoNotOptimize(lows.data());
        benchmark::DoNotOptimize(highs.data());
    }
}

// The same scan frame by frame through the frame cursor, as every reader
// went before runs: what per-frame access costs.
void BM_CursorScan(benchmark::State& state) {
    View v(state.range(0) != 0);
    const koru::SignalDocument& doc = v.session.document();
    const int64_t first = v.view->FrameAtColumn(-1);
    std::vector<koru::Frame> lows(kColumns), highs(kColumns);
    for (auto _ : state) {
        koru::FrameCursor cursor(doc, first);
        const koru::Frame* f = cursor.Next();
        koru::Frame lo = *f, hi = *f, last = *f;
        for (int x = 0; x < kColumns && f; ++x) {
            for (int k = 0; k < kPerColumn && f; ++k) {
                for (std::size_t c = 0; c < koru::kFrameChannels; ++c) {
                    lo[c] = std::min(lo[c], (*f)[c]);
                    hi[c] = std::max(hi[c], (*f)[c]);
                }
                last = *f;
                f = cursor.Next();
            }
            lows[static_cast<std::size_t>(x)] = lo;
            highs[static_cast<std::size_t>(x)] = hi;
            lo = hi = last;
        }
        benchmark::DoNotOptimize(lows.data());
        benchmark::DoNotOptimize(highs.data());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

// One division's strip at the right edge, erased and painted.
void BM_StripRepaint(benchmark::State& state) {
    View v(state.range(0) != 0);
    const koru::Rect strip{kWidth - 10, 0, kWidth, kHeight};
    for (auto _ : state) {
        v.view->RepaintRect(strip);
        benchmark::DoNotOptimize(v.view->BackBuffer().StoredPixels());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

// A line scroll as it will run: shift the picture one division and repaint
// the uncovered strip. The window reads the buffer as it lies, so nothing
// here puts the ring in order.
void BM_LineScroll(benchmark::State& state) {
    View v(state.range(0) != 0);
    koru::RasterCanvas& buffer = v.view->BackBuffer();
    int32_t x = kScrollX;
    for (auto _ : state) {
        x = x + 1 < v.view->HorizontalRange() ? x + 1 : kScrollX;
        v.view->SetScroll(x, 0);
        for (const koru::Rect& r : buffer.ScrollPixels(-10, 0)) v.view->RepaintRect(r);
        benchmark::DoNotOptimize(buffer.StoredPixels());
    }
    state.SetLabel(state.range(0) ? "file-backed" : "in memory");
}

BENCHMARK(BM_ArrayScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CursorScan)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullPaintTurned)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullPaintChannels)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StripRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LineScroll)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
