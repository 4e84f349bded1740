#include "print/Printout.h"

#include <gtest/gtest.h>

#include "support/PaperJob.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::PaperJob;
using test::PaperLog;
using test::PaperPage;
using test::ViewFixture;

constexpr int kW = 400;
constexpr int kH = 330;
constexpr int32_t kPageDivisions = kW / 10 - 2;  // 38

// A one-channel recording at 40 samples per division whose horizontal
// range is `pages - 1` whole pages.
struct PrintFixture : ViewFixture {
    PrintSettings settings;
    PaperLog log;
    PaperJob job{log};

    explicit PrintFixture(int32_t pageSteps = 3, int64_t extraFrames = 0) : ViewFixture(kW, kH) {
        Open(1, 1000, int64_t{40} * kPageDivisions * pageSteps + extraFrames,
             [](int64_t f, int) { return static_cast<int16_t>((f % 200) - 100); });
    }
    MyTPrintout Printout() {
        return MyTPrintout(*view, session.viewContext(), "KORU VIEW -- " + Doc().FileName(),
                           settings);
    }
    const SignalDocument& Doc() const { return session.document(); }

    // Every page of `choice`, as the job loop would print them.
    std::vector<PaperPage> PrintAll(MyTPrintout& p) {
        p.SetPrintParams(job.PageSize());
        for (int32_t i = 1; p.HasPage(i); ++i) {
            job.StartPage(i, p.PageCount());
            p.PrintPage(job, i);
            job.EndPage();
        }
        return log.pages;
    }
};

TEST(PrintoutTest, DialogOffersEveryPageWithTheSelectionPreset) {
    PrintFixture fx(3);
    ASSERT_EQ(fx.view->HorizontalRange(), 3 * kPageDivisions);
    // What an earlier job left behind is overwritten.
    fx.settings.choice = PageChoice::Range;
    fx.settings.fromPage = 2;
    fx.settings.toPage = 3;
    fx.settings.copies = 3;
    MyTPrintout p = fx.Printout();
    EXPECT_EQ(p.Title(), fx.Doc().FileName());
    EXPECT_EQ(p.TotalPages(), 4);
    const MyTPrintout::DialogPages d = p.GetDialogInfo();
    EXPECT_EQ(d.minPage, 1);
    EXPECT_EQ(d.maxPage, 4);
    EXPECT_EQ(d.selectionFrom, 1);
    EXPECT_EQ(d.selectionTo, 4);
    EXPECT_EQ(fx.settings.choice, PageChoice::Selection);
    EXPECT_EQ(fx.settings.minPage, 1);
    EXPECT_EQ(fx.settings.maxPage, 4);
    EXPECT_EQ(fx.settings.fromPage, 1);
    EXPECT_EQ(fx.settings.toPage, 4);
    EXPECT_EQ(fx.settings.copies, 3);  // the printer object keeps the rest

    // One division short of another page step adds no page.
    PrintFixture shorter(3, 40 * kPageDivisions - 40);
    EXPECT_EQ(shorter.Printout().TotalPages(), 4);
    PrintFixture tiny(0, 39);  // less than a division: range 0, still one page
    EXPECT_EQ(tiny.Printout().TotalPages(), 1);
}

TEST(PrintoutTest, ChoiceDecidesPageCountAndFirstDivision) {
    PrintFixture fx(3);
    fx.view->Reposition(50);
    MyTPrintout p = fx.Printout();
    p.GetDialogInfo();

    fx.settings.choice = PageChoice::All;
    p.SetPrintParams(Size{100, 70});
    EXPECT_EQ(p.PageSize(), (Size{100, 70}));
    EXPECT_EQ(p.PageCount(), 4);
    EXPECT_TRUE(p.HasPage(4));
    EXPECT_FALSE(p.HasPage(5));
    EXPECT_FALSE(p.HasPage(0));
    // The last page begins at the very end of the range.
    EXPECT_EQ(p.StartDivisionOf(1), 0);
    EXPECT_EQ(p.StartDivisionOf(4), 3 * kPageDivisions);
    EXPECT_EQ(p.StartDivisionOf(4), fx.view->HorizontalRange());

    fx.settings.choice = PageChoice::Selection;
    p.SetPrintParams(Size{100, 70});
    EXPECT_EQ(p.PageCount(), 1);
    EXPECT_EQ(p.StartDivisionOf(1), 50);
    EXPECT_FALSE(p.HasPage(2));

    fx.settings.choice = PageChoice::Range;
    fx.settings.fromPage = 3;
    fx.settings.toPage = 4;
    p.SetPrintParams(Size{100, 70});
    EXPECT_EQ(p.PageCount(), 2);
    EXPECT_EQ(p.StartDivisionOf(1), 2 * kPageDivisions);
    EXPECT_EQ(p.StartDivisionOf(2), 3 * kPageDivisions);

    // A range reaching past the recording prints the pages that exist.
    fx.settings.fromPage = 3;
    fx.settings.toPage = 9;
    p.SetPrintParams(Size{100, 70});
    EXPECT_EQ(p.PageCount(), 2);
    fx.settings.fromPage = 7;
    p.SetPrintParams(Size{100, 70});
    EXPECT_EQ(p.PageCount(), 1);
    EXPECT_EQ(p.StartDivisionOf(1), 3 * kPageDivisions);
}

TEST(PrintoutTest, PageInThePositionFieldIsThePrintedPageCoveringTheLeftEdge) {
    PrintFixture fx(3, 17 * 40);
    MyTPrintout p = fx.Printout();
    p.GetDialogInfo();
    fx.settings.choice = PageChoice::All;
    p.SetPrintParams(Size{100, 70});
    const int32_t range = fx.view->HorizontalRange();
    for (int32_t x : {0, 1, kPageDivisions - 1, kPageDivisions, 2 * kPageDivisions + 5, range}) {
        SCOPED_TRACE(x);
        const std::string text = PositionText(x, range, kPageDivisions, 40, 1000, false);
        const std::size_t at = text.find("Page: ") + 6;
        const int32_t page = std::stoi(text.substr(at));
        EXPECT_LE(p.StartDivisionOf(page), x);
        EXPECT_GT(p.StartDivisionOf(page) + kPageDivisions, x);
    }
}

TEST(FooterTest, PositionLineInBothResolutions) {
    EXPECT_EQ(FooterPosition(83'250'000, 40, 1000, false),
              "Position:01:23.250, 40 samples/division, 1000 microseconds/sample.");
    EXPECT_EQ(FooterPosition(1'234'567, 10, 7, false),
              "Position:00:01.234, 10 samples/division, 7 microseconds/sample.");
    EXPECT_EQ(FooterPosition(1'234'567, 10, 7, true),
              "Position:00:01.234567, 10 samples/division, 7 microseconds/sample.");
    // Minutes above 99 keep all their digits; no 32-bit wrap anywhere.
    EXPECT_EQ(FooterPosition(int64_t{100} * 60'000'000 + 5'000'001, 640, 4'000'000'000u, true),
              "Position:100:05.000001, 640 samples/division, 4000000000 microseconds/sample.");
    EXPECT_EQ(FooterPosition(int64_t{123456} * 60'000'000, 80, 1, false),
              "Position:123456:00.000, 80 samples/division, 1 microseconds/sample.");
}

TEST(PrintoutTest, FooterIsBlackUnderThePictureWithThePagesTime) {
    PrintFixture fx(3);
    fx.session.settings().text = Rgb(255, 0, 0);
    fx.session.settings().timeResolution = 1;
    MyTPrintout p = fx.Printout();
    p.GetDialogInfo();
    fx.settings.choice = PageChoice::Range;
    fx.settings.fromPage = 2;
    fx.settings.toPage = 3;
    const std::vector<PaperPage> pages = fx.PrintAll(p);
    ASSERT_EQ(pages.size(), 2u);
    const int h = RasterCanvas(1, 1).GetTextExtent("M").cy;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const PaperPage& page = pages[i];
        EXPECT_EQ(page.mapped, (Size{kW, kH}));
        ASSERT_GE(page.texts.size(), 2u);
        const test::PaperText& position = page.texts[page.texts.size() - 2];
        const test::PaperText& title = page.texts.back();
        // Division 38 (or 76) at 40 frames a division, 1 ms a frame.
        const std::string time = i == 0 ? "00:01.520000" : "00:03.040000";
        EXPECT_EQ(position.text,
                  "Position:" + time + ", 40 samples/division, 1000 microseconds/sample.");
        EXPECT_EQ(position.x, 10);
        EXPECT_EQ(position.y, kH + 5 - 3 * h);
        EXPECT_EQ(position.color, Rgb(0, 0, 0));
        EXPECT_EQ(title.text, "KORU VIEW -- " + fx.Doc().FileName());
        EXPECT_EQ(title.x, 10);
        EXPECT_EQ(title.y, kH + 5 - 2 * h);
        EXPECT_EQ(title.color, Rgb(0, 0, 0));
        EXPECT_EQ(page.unbalancedStates, 0);
    }
}

TEST(PrintoutTest, FrameOnlyWithPrintFrameDrawnByInvertingAndStateGivenBack) {
    for (const uint8_t frame : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(static_cast<int>(frame));
        PrintFixture fx(1);
        fx.TracesOnly();
        fx.session.settings().printFrame = frame;
        MyTPrintout p = fx.Printout();
        p.GetDialogInfo();
        Canvas& dc = fx.job.Surface();
        dc.SelectPen(Rgb(1, 2, 3));
        dc.SetTextColor(Rgb(4, 5, 6));
        dc.SetROP2(Rop::CopyPen);
        const std::vector<PaperPage> pages = fx.PrintAll(p);
        ASSERT_EQ(pages.size(), 1u);
        const PaperPage& page = pages[0];
        EXPECT_EQ(dc.CurrentPen(), Rgb(1, 2, 3));
        EXPECT_EQ(dc.GetTextColor(), Rgb(4, 5, 6));
        EXPECT_EQ(dc.GetROP2(), Rop::CopyPen);
        const ColorRef corner = page.picture.GetPixel(kW - 1, 0);
        if (!frame) {
            EXPECT_TRUE(page.polylines.empty());
            EXPECT_EQ(corner, Rgb(255, 255, 255));
            continue;
        }
        ASSERT_EQ(page.polylines.size(), 1u);
        EXPECT_EQ(page.polylines[0].rop, Rop::Not);
        const std::vector<Point> want = {
            {0, 0}, {kW - 1, 0}, {kW - 1, kH - 1}, {0, kH - 1}, {0, 0}};
        EXPECT_EQ(page.polylines[0].points, want);
        EXPECT_EQ(corner, Rgb(0, 0, 0));
        EXPECT_EQ(page.picture.GetPixel(0, kH / 2), Rgb(0, 0, 0));
    }
}

TEST(PrintoutTest, PagePictureIsTheViewsPrintedPaintFromItsStartDivision) {
    PrintFixture fx(3);
    Settings& s = fx.session.settings();
    s.timeHacks = 0;  // inverting overlays differ on paper by design
    fx.view->Reposition(7);
    MyTPrintout p = fx.Printout();
    p.GetDialogInfo();
    fx.settings.choice = PageChoice::Range;
    fx.settings.fromPage = 3;
    fx.settings.toPage = 4;
    const std::vector<PaperPage> pages = fx.PrintAll(p);
    ASSERT_EQ(pages.size(), 2u);
    const int footerTop = kH + 5 - 3 * RasterCanvas(1, 1).GetTextExtent("M").cy;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        RasterCanvas want(kW, kH);
        fx.view->Paint(want, Rect{0, 0, kW, kH}, static_cast<int32_t>(2 + i) * kPageDivisions);
        int differ = 0;
        for (int y = 0; y < footerTop; ++y)
            for (int x = 0; x < kW; ++x)
                if (pages[i].picture.GetPixel(x, y) != want.GetPixel(x, y)) ++differ;
        EXPECT_EQ(differ, 0);
        // And it is not the screen's picture.
        RasterCanvas screen(kW, kH);
        fx.view->Paint(screen, Rect{0, 0, kW, kH}, 7);
        EXPECT_NE(test::PixelsOf(screen), test::PixelsOf(pages[i].picture));
    }
    EXPECT_EQ(fx.view->ScrollX(), 7);  // printing leaves the screen where it was
}

}  // namespace
}  // namespace koru
