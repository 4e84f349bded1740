#pragma once
// A print job on pretend paper. Each page is drawn on a raster of the
// logical size under the paper's rules (an inverting stroke leaves black,
// GetPixel answers white); texts and polylines are recorded; the job can be
// told to fail, to run out of memory or to be cancelled at a page. What it
// saw stays in a PaperLog that outlives the job.

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/PrintJob.h"
#include "platform/RasterCanvas.h"

namespace koru::test {

struct PaperText {
    int x;
    int y;
    std::string text;
    ColorRef color;
    friend bool operator==(const PaperText&, const PaperText&) = default;
};

struct PaperPolyline {
    std::vector<Point> points;
    Rop rop;
};

struct PaperPage {
    int32_t number = 0;
    int32_t count = 0;
    Size mapped;  // the logical area stretched onto it
    RasterCanvas picture;
    std::vector<PaperText> texts;
    std::vector<PaperPolyline> polylines;
    int unbalancedStates = 0;  // saves without their restore
};

struct PaperLog {
    std::vector<PaperPage> pages;
    int canceledChecks = 0;
    bool finished = false;
    bool abandoned = false;
};

class PaperCanvas final : public Canvas {
  public:
    RasterCanvas raster;
    std::vector<PaperText> texts;
    std::vector<PaperPolyline> polylines;
    int depth = 0;

    int Width() const override { return raster.Width(); }
    int Height() const override { return raster.Height(); }
    bool IsPrinter() const override { return true; }
    void SetPixel(int x, int y, ColorRef color) override { raster.SetPixel(x, y, color); }
    ColorRef GetPixel(int x, int y) const override {
        return raster.GetPixel(x, y) == CLR_INVALID ? CLR_INVALID : Rgb(255, 255, 255);
    }
    void Polyline(std::span<const Point> points) override {
        polylines.push_back({{points.begin(), points.end()}, GetROP2()});
        Canvas::Polyline(points);
    }
    void TextOut(int x, int y, std::string_view text) override {
        texts.push_back({x, y, std::string(text), GetTextColor()});
        raster.SetTextColor(GetTextColor());
        raster.SetBkMode(GetBkMode());
        raster.SetBkColor(GetBkColor());
        raster.TextOut(x, y, text);
    }
    Size GetTextExtent(std::string_view text) const override { return raster.GetTextExtent(text); }
    void SaveState() override {
        ++depth;
        Canvas::SaveState();
    }
    bool RestoreState() override {
        --depth;
        return Canvas::RestoreState();
    }

  protected:
    void DrawLine(Point from, Point to) override {
        raster.SelectPen(GetROP2() == Rop::Not ? Rgb(0, 0, 0) : CurrentPen());
        raster.MoveToEx(from.x, from.y);
        raster.LineTo(to.x, to.y);
    }
};

class PaperJob final : public PrintJob {
  public:
    explicit PaperJob(PaperLog& log) : log_(log) {}

    Size pageSize{2970, 2100};
    int32_t copies = 1;
    int cancelAfterPages = 0;  // Canceled() answers true once this many pages ended
    int failStartOfPage = 0;   // StartPage of the n-th page fails
    int outOfMemoryAtPage = 0;
    PrintResult failure = PrintResult::Failed;  // what Finish answers after a failure

    Canvas& Surface() override { return canvas_; }
    Size PageSize() const override { return pageSize; }
    void MapLogical(Size logical) override {
        canvas_.raster.Resize(logical.cx, logical.cy);
        canvas_.raster.Fill(Rgb(255, 255, 255));
        current_.mapped = logical;
    }
    int32_t CopiesToDraw() const override { return copies; }
    bool StartPage(int32_t number, int32_t count) override {
        const int n = static_cast<int>(log_.pages.size()) + 1;
        if (n == outOfMemoryAtPage) throw std::bad_alloc();
        if (n == failStartOfPage) return false;
        current_ = PaperPage{};
        current_.number = number;
        current_.count = count;
        canvas_.texts.clear();
        canvas_.polylines.clear();
        canvas_.depth = 0;
        return true;
    }
    bool EndPage() override {
        current_.picture = canvas_.raster;
        current_.texts = canvas_.texts;
        current_.polylines = canvas_.polylines;
        current_.unbalancedStates = canvas_.depth;
        log_.pages.push_back(current_);
        return true;
    }
    bool Canceled() override {
        ++log_.canceledChecks;
        return cancelAfterPages > 0 && static_cast<int>(log_.pages.size()) >= cancelAfterPages;
    }
    PrintResult Finish(bool abandon) override {
        log_.finished = true;
        log_.abandoned = abandon;
        if (!abandon) return PrintResult::Printed;
        return Canceled() ? PrintResult::Canceled : failure;
    }

  private:
    PaperLog& log_;
    PaperCanvas canvas_;
    PaperPage current_;
};

}  // namespace koru::test
