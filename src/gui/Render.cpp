#include "Render.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <charconv>
#include <cstdio>
#include <memory>

#include "QtPrintJob.h"
#include "QtTextRenderer.h"
#include "app/PrintCommand.h"
#include "app/Snapshot.h"
#include "app/StartUpSettings.h"
#include "print/PrintRun.h"

namespace {

// Without --screen there is no screen to ask; the view's own default.
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
constexpr double kPdfMarginMm = 10.0;

// A session with the program directory's settings, the screen and the time
// base of the options, and a view of the screen's size with the recording
// open and painted. Every box the window would show is said on stderr.
struct HeadlessView {
    koru::Session session;
    std::unique_ptr<koru::SignalView> view;
    bool opened = false;

    HeadlessView(koru::HeadlessUi& ui, const StartOptions& options, int spd) : session(ui) {
        const koru::SettingsReadReport settingsRead =
            koru::LoadStartUpSettings(session, koru::FindProgramPaths(options.argv0.c_str()));
        for (const std::string& w : koru::StartUpWarnings(settingsRead, session.settingsPath()))
            ui.ShowMessage(koru::MessageOwner::MainWindow, w, "WARNING",
                           koru::MessageIcon::Exclamation);
        const auto [w, h] = options.screen.value_or(std::pair{kDefaultWidth, kDefaultHeight});
        session.geometry().SetScreen(w, h);
        if (spd != 0) session.timeBase().SetIndex(TimeBaseIndexOf(spd));
        view = std::make_unique<koru::SignalView>(session.viewContext());
        view->BackBuffer().SetTextRenderer(std::make_shared<QtTextRenderer>());
        const std::string& file = options.files.front();
        const bool sized = view->ResizeClient(w, h);
        if (!sized)
            ui.ShowMessage(koru::MessageOwner::View, koru::BackBufferFailedText(w, h), "WARNING",
                           koru::MessageIcon::Exclamation);
        else
            opened = koru::RenderStartUpPicture(session, *view, file);
        Say(ui);
        if (sized && !opened)
            std::fprintf(stderr, "koruview: %s could not be opened\n", file.c_str());
    }

    static void Say(koru::HeadlessUi& ui) {
        for (const std::string& m : ui.messages) std::fprintf(stderr, "koruview: %s\n", m.c_str());
        ui.messages.clear();
    }
};

// The print dialog answered from the command line, the job a PDF file.
class PdfUi final : public koru::HeadlessUi {
  public:
    explicit PdfUi(const PrintPdfOptions& print) : print_(print) {}

    bool refused = false;

    koru::PrintSettings* Printer() override { return &settings_; }

    bool PrintDialog(koru::PrintSettings& s) override {
        s.choice = print_.choice;
        if (print_.choice != koru::PageChoice::Range) return true;
        // The dialog would take nothing outside the recording's pages.
        if (print_.fromPage < s.minPage || print_.toPage > s.maxPage ||
            print_.fromPage > print_.toPage) {
            std::fprintf(stderr, "koruview: --pages %d-%d: the recording has pages %d to %d\n",
                         print_.fromPage, print_.toPage, s.minPage, s.maxPage);
            refused = true;
            return false;
        }
        s.fromPage = print_.fromPage;
        s.toPage = print_.toPage;
        return true;
    }

    std::unique_ptr<koru::PrintJob> BeginPrintJob(std::string_view title,
                                                  koru::PrintResult& failure) override {
        if (const std::string refusal = QtPrintJob::RefusalText(print_.outPath); !refusal.empty()) {
            ShowMessage(koru::MessageOwner::View, refusal, koru::kPrintErrorTitle,
                        koru::MessageIcon::Stop);
            failure = koru::PrintResult::Refused;
            return nullptr;
        }
        PdfTarget target;
        target.path = print_.outPath;
        target.layout =
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                        QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                        QPageLayout::Millimeter);
        const QString name = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
        return QtPrintJob::ToPdf(target, name, QString::fromStdString(print_.outPath), nullptr,
                                 failure);
    }

  private:
    const PrintPdfOptions& print_;
    koru::PrintSettings settings_;
};

bool ParseNumber(std::string_view text, int32_t& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

}  // namespace

int TimeBaseIndexOf(int spd) {
    const koru::TimeBase tb;
    for (int i = 0; i < koru::TimeBase::kEntries; ++i)
        if (tb.Entry(i) == spd) return i;
    return -1;
}

bool ParsePages(std::string_view text, PrintPdfOptions& print) {
    if (text == "all") {
        print.choice = koru::PageChoice::All;
        return true;
    }
    if (text == "selection") {
        print.choice = koru::PageChoice::Selection;
        return true;
    }
    const std::size_t dash = text.find('-');
    int32_t from = 0, to = 0;
    if (dash == std::string_view::npos || !ParseNumber(text.substr(0, dash), from) ||
        !ParseNumber(text.substr(dash + 1), to) || from < 1 || to < from)
        return false;
    print.choice = koru::PageChoice::Range;
    print.fromPage = from;
    print.toPage = to;
    return true;
}

int RenderToPng(const StartOptions& options, const RenderOptions& render) {
    const std::string& outPath = render.outPath;
    if (options.files.empty()) {
        std::fprintf(stderr, "koruview: --render needs a recording to render\n");
        return 2;
    }
    if (render.spd != 0 && TimeBaseIndexOf(render.spd) < 0) {
        std::fprintf(stderr, "koruview: --spd wants 640, 320, 160, 80, 40, 20 or 10\n");
        return 2;
    }
    koru::HeadlessUi ui;
    HeadlessView hv(ui, options, render.spd);
    if (!hv.opened) return 1;

    const koru::RasterCanvas& b = hv.view->BackBuffer();
    const QImage picture(reinterpret_cast<const uchar*>(b.Pixels()), b.Width(), b.Height(),
                         b.BytesPerLine(), QImage::Format_RGB32);
    if (!picture.save(QString::fromStdString(outPath), "PNG")) {
        std::fprintf(stderr, "koruview: cannot write %s\n", outPath.c_str());
        return 1;
    }
    // The picture of what could be loaded is written, but a warning on the
    // way means it is not all that was asked for.
    return ui.warned ? 1 : 0;
}

int PrintToPdf(const StartOptions& options, const PrintPdfOptions& print) {
    if (options.files.empty()) {
        std::fprintf(stderr, "koruview: --print-pdf needs a recording to print\n");
        return 2;
    }
    if (print.spd != 0 && TimeBaseIndexOf(print.spd) < 0) {
        std::fprintf(stderr, "koruview: --spd wants 640, 320, 160, 80, 40, 20 or 10\n");
        return 2;
    }
    PdfUi ui(print);
    HeadlessView hv(ui, options, print.spd);
    if (!hv.opened) return 1;
    koru::SignalView& view = *hv.view;
    if (print.scroll) {
        view.Reposition(*print.scroll);
        if (view.ScrollX() != *print.scroll)
            std::fprintf(stderr, "koruview: --scroll %d is past the end; printing from %d\n",
                         *print.scroll, view.ScrollX());
    }
    const std::optional<koru::PrintResult> result = koru::PrintCommand(hv.session, view);
    HeadlessView::Say(ui);
    if (!result) return ui.refused ? 2 : 1;
    return *result == koru::PrintResult::Printed && !ui.warned ? 0 : 1;
}
