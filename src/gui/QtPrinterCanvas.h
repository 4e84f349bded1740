#pragma once
// A printed page as a canvas: QPainter on a printer or a PDF file, the
// logical screen stretched onto the printable page. The output is vector:
// strokes are gathered into polylines, one path per colour, and pixels into small
// squares, so a trace is a path, never a picture. On paper an inverting
// stroke prints black and GetPixel answers white, the colour of the paper.

#include <QElapsedTimer>
#include <QFont>
#include <QPoint>
#include <functional>
#include <vector>

#include "platform/Canvas.h"

class QPainter;

class QtPrinterCanvas final : public koru::Canvas {
  public:
    // `painter` is active on the device; `font` is used for all text, its
    // size taken in logical units.
    QtPrinterCanvas(QPainter& painter, const QFont& font);
    ~QtPrinterCanvas() override;
    QtPrinterCanvas(const QtPrinterCanvas&) = delete;
    QtPrinterCanvas& operator=(const QtPrinterCanvas&) = delete;

    // Stretches a logical area onto the device's whole paint area, each
    // axis on its own, and clips to it; undone by the next RestoreState.
    void MapLogical(koru::Size logical);
    // The paint area in device units.
    koru::Size DeviceSize() const;

    // Asked now and then while drawing, at most every few milliseconds;
    // once it answers true the rest of the drawing is dropped, so a
    // cancelled page ends quickly.
    void SetPoll(std::function<bool()> poll) { poll_ = std::move(poll); }
    bool Stopped() const { return stopped_; }
    // Hands everything gathered so far to the painter.
    void Flush();

    int Width() const override { return logical_.cx; }
    int Height() const override { return logical_.cy; }
    bool IsPrinter() const override { return true; }

    void SetPixel(int x, int y, koru::ColorRef color) override;
    koru::ColorRef GetPixel(int x, int y) const override;
    void TextOut(int x, int y, std::string_view text) override;
    koru::Size GetTextExtent(std::string_view text) const override;

    void SaveState() override;
    bool RestoreState() override;

  protected:
    void DrawLine(koru::Point from, koru::Point to) override;

  private:
    // The strokes of one colour as polylines. A trace drawn column by
    // column among traces of other colours, or of the same colour, goes on
    // from where its own polyline stopped: that polyline is found among the
    // last few still open, so each trace stays one polyline on the page.
    struct Strokes {
        koru::ColorRef color;
        std::vector<std::vector<koru::Point>> lines;
        std::vector<std::size_t> open;  // lines a stroke may go on from, latest last
    };
    struct Pixels {
        koru::ColorRef color;
        std::vector<QPoint> points;
    };

    bool Inside(int x, int y) const {
        return x >= 0 && y >= 0 && x < logical_.cx && y < logical_.cy;
    }
    // Counts a drawing call; false once the drawing is dropped.
    bool Tick();
    Strokes& StrokesOf(koru::ColorRef color);
    void FlushStrokes();
    void FlushPixels();
    // Pixels that are every pairing of some columns with some rows, such as
    // the dots, as the rows filled through the columns: a few hundred
    // rectangles for a page's tens of thousands of dots. False for any
    // other set.
    bool DrawAsGrid(std::vector<QPoint>& points);

    QPainter& painter_;
    QFont font_;
    koru::Size logical_;
    std::vector<koru::Size> savedLogical_;  // with each saved state
    std::vector<Strokes> strokes_;
    std::size_t lastStrokes_ = 0;  // where the last stroke's colour was found
    std::vector<Pixels> pixels_;
    std::function<bool()> poll_;
    QElapsedTimer sincePoll_;
    unsigned calls_ = 0;
    bool stopped_ = false;
};
