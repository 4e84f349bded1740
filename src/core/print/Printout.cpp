#include "print/Printout.h"

#include <algorithm>
#include <array>
#include <limits>

#include "text/TimeText.h"

namespace koru {

namespace {

constexpr int kFooterX = 10;
constexpr ColorRef kBlack = Rgb(0, 0, 0);

int32_t ClampPage(int64_t page, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(std::clamp<int64_t>(page, lo, hi));
}

}  // namespace

std::string FooterPosition(int64_t micros, int32_t spd, const FrameClock& clock,
                           bool microsecondResolution) {
    return "Position:" + FormatTime(micros, microsecondResolution) + ", " + std::to_string(spd) +
           " samples/division, " + MicrosPerFrameText(clock) + " microseconds/sample.";
}

MyTPrintout::MyTPrintout(const SignalView& view, const ViewContext& context,
                         std::string windowTitle, PrintSettings& settings)
    : view_(view),
      ctx_(context),
      title_(context.document.FileName()),
      windowTitle_(std::move(windowTitle)),
      settings_(settings) {}

int32_t MyTPrintout::TotalPages() const {
    // A screen too narrow for a page step still prints one division a page.
    const int32_t perPage = std::max(ctx_.geometry.PageDivisions, 1);
    return view_.HorizontalRange() / perPage + 1;
}

MyTPrintout::DialogPages MyTPrintout::GetDialogInfo() {
    const int32_t n = TotalPages();
    settings_.minPage = 1;
    settings_.maxPage = n;
    settings_.fromPage = 1;
    settings_.toPage = n;
    settings_.choice = PageChoice::Selection;
    return DialogPages{1, n, 1, n};
}

void MyTPrintout::SetPrintParams(Size pageSize) {
    pageSize_ = pageSize;
    const int32_t n = TotalPages();
    pageCount_ = n;
    firstDivision_ = 0;
    switch (settings_.choice) {
        case PageChoice::All:
            break;
        case PageChoice::Selection:
            pageCount_ = 1;
            firstDivision_ = view_.ScrollX();
            break;
        case PageChoice::Range: {
            // The dialog keeps the range within the pages; a range that still
            // lies outside prints what of it exists rather than blank pages.
            const int32_t from = ClampPage(settings_.fromPage, 1, n);
            const int32_t to = ClampPage(settings_.toPage, from, n);
            pageCount_ = to - from + 1;
            firstDivision_ = static_cast<int64_t>(from - 1) * ctx_.geometry.PageDivisions;
            break;
        }
    }
}

int64_t MyTPrintout::StartDivisionOf(int32_t page) const {
    return static_cast<int64_t>(page - 1) * ctx_.geometry.PageDivisions + firstDivision_;
}

void MyTPrintout::PrintPage(PrintJob& job, int32_t page) {
    Canvas& dc = job.Surface();
    const ScreenGeometry& g = ctx_.geometry;
    const int w = g.ScreenWidth;
    const int h = g.ScreenHeight;
    CanvasStateGuard keep(dc);
    job.MapLogical(Size{w, h});

    const int64_t division =
        std::clamp<int64_t>(StartDivisionOf(page), 0, std::numeric_limits<int32_t>::max());
    view_.Paint(dc, Rect{0, 0, w, h}, static_cast<int32_t>(division));

    const int32_t spd = ctx_.timeBase.Spd();
    const int64_t firstSample = kDivisionWidth * division * spd / kDivisionWidth;
    const FrameClock clock = ctx_.document.Clock();
    const bool micro = ctx_.settings.timeResolution != 0;
    dc.SetTextColor(kBlack);
    const int line1 = dc.GetTextExtent("M").cy;
    dc.TextOut(kFooterX, h + 5 - 3 * line1,
               FooterPosition(clock.Micros(firstSample), spd, clock, micro));
    const int line2 = dc.GetTextExtent("M").cy;
    dc.TextOut(kFooterX, h + 5 - 2 * line2, windowTitle_);

    dc.SetROP2(Rop::Not);
    if (ctx_.settings.printFrame) {
        const std::array<Point, 5> frame = {Point{0, 0}, Point{w - 1, 0}, Point{w - 1, h - 1},
                                            Point{0, h - 1}, Point{0, 0}};
        dc.Polyline(frame);
    }
}

}  // namespace koru
