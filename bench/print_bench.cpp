// Printing a generated 8-channel recording on a 1920x1080 screen into a PDF
// file, page by page as File > Print does, against one full screen paint of
// the same pages. At 640 samples per division every page is printed; at 40
// the same number of pages from the start.
//
//   build/bench/print_bench [--benchmark_filter=...]
//
// s_per_page is the printing time of one page (PDF written and committed),
// KB_per_page the file's size divided by its pages; the screen paint's time
// per iteration is one full repaint of the view. Target: a page at most 10x
// a repaint at either time base.
//
// The file of the last run stays in /tmp/koru-bench-print.pdf. Whether a
// change to printing still draws the same pages: keep that file from a run
// before the change and one after, and
//
//   bench/compare_pdf_pages.py BEFORE.pdf AFTER.pdf

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EcgRecording.h"
#include "QtPrintJob.h"
#include "QtTextRenderer.h"
#include "app/Snapshot.h"
#include "print/PrintRun.h"
#include "print/Printout.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPageDivisions = kWidth / 10 - 2;
constexpr int kPages = 11;
// Ten page steps at 640 samples per division: eleven pages.
constexpr int64_t kFrames = int64_t{640} * kPageDivisions * (kPages - 1);
const char kPdf[] = "/tmp/koru-bench-print.pdf";

using bench::EcgSample;

const std::string& Recording() {
    static const std::string path = bench::EcgRecording("/tmp/koru-bench-print.sig", kFrames, "");
    return path;
}

// The print dialog answered with pages 1 to kPages, the job a PDF file as
// koruview --print-pdf writes it.
class BenchUi final : public koru::HeadlessUi {
  public:
    bool PrintDialog(koru::PrintSettings& s) override {
        s.choice = koru::PageChoice::Range;
        s.fromPage = 1;
        s.toPage = kPages;
        return true;
    }
    std::unique_ptr<koru::PrintJob> BeginPrintJob(std::string_view,
                                                  koru::PrintResult& failure) override {
        PdfTarget target;
        target.path = kPdf;
        target.layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                    QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        return QtPrintJob::ToPdf(target, "bench", kPdf, nullptr, failure);
    }
};

struct View {
    BenchUi ui;
    koru::Session session{ui};
    std::unique_ptr<koru::SignalView> view;

    explicit View(int spd) {
        session.geometry().SetScreen(kWidth, kHeight);
        session.timeBase().SetIndex(spd == 640 ? 0 : 4);
        view = std::make_unique<koru::SignalView>(session.viewContext());
        view->BackBuffer().SetTextRenderer(std::make_shared<QtTextRenderer>());
        view->ResizeClient(kWidth, kHeight);
        if (!koru::RenderStartUpPicture(session, *view, Recording())) std::abort();
    }
};

void BM_ScreenPaint(benchmark::State& state) {
    View v(static_cast<int>(state.range(0)));
    const koru::Rect all = v.view->ClientRect();
    int page = 0;
    for (auto _ : state) {
        v.view->SetScroll(page * kPageDivisions, 0);
        v.view->RepaintRect(all);
        benchmark::DoNotOptimize(v.view->BackBuffer().StoredPixels());
        page = (page + 1) % kPages;
    }
}

void BM_PrintPages(benchmark::State& state) {
    View v(static_cast<int>(state.range(0)));
    koru::PrintSettings settings;
    const std::string title = "KORU VIEW -- " + v.session.document().FileName();
    for (auto _ : state) {
        koru::MyTPrintout printout(*v.view, v.session.viewContext(), title, settings);
        if (koru::RunPrintJob(v.ui, printout, settings) != koru::PrintResult::Printed)
            state.SkipWithError("the job failed");
    }
    const double bytes = static_cast<double>(std::filesystem::file_size(kPdf));
    state.counters["s_per_page"] = benchmark::Counter(
        kPages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["KB_per_page"] = bytes / kPages / 1024;
}

BENCHMARK(BM_ScreenPaint)->ArgName("spd")->Arg(640)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintPages)->ArgName("spd")->Arg(640)->Arg(40)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Fonts and the PDF writer need the toolkit, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
