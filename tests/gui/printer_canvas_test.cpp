// The printer canvas on a picture instead of paper: a QPainter on a QImage
// takes the printer's place, so the paper rules can be checked pixel by
// pixel: inverting strokes print black, GetPixel answers white, the logical
// area is stretched axis by axis, a dot grid prints as the same dots, and a
// cancelled page stops drawing.

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QThread>
#include <array>
#include <vector>

#include "QtPrinterCanvas.h"
#include "QtTextRenderer.h"
#include "view/SignalView.h"

using koru::Rgb;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

struct Paper {
    QImage image;
    QPainter painter;
    QtPrinterCanvas canvas;

    Paper(int w, int h)
        : image(MakeImage(w, h)), painter(&image), canvas(painter, QtTextRenderer().Font()) {}
    static QImage MakeImage(int w, int h) {
        QImage i(w, h, QImage::Format_RGB32);
        i.fill(Qt::white);
        return i;
    }
    // Everything drawn, the painter ended.
    const QImage& Done() {
        canvas.Flush();
        painter.end();
        return image;
    }
};

int CountOf(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

}  // namespace

class PrinterCanvasTest : public QObject {
    Q_OBJECT

  private slots:
    void paperIsWhiteAndInvertingPrintsBlack() {
        Paper p(40, 30);
        koru::Canvas& c = p.canvas;
        QVERIFY(c.IsPrinter());
        QCOMPARE(c.GetPixel(0, 0), Rgb(255, 255, 255));
        QCOMPARE(c.GetPixel(39, 29), Rgb(255, 255, 255));
        QCOMPARE(c.GetPixel(40, 0), koru::CLR_INVALID);
        QCOMPARE(c.GetPixel(0, -1), koru::CLR_INVALID);

        c.SelectPen(Rgb(255, 0, 0));
        c.MoveToEx(5, 2);
        c.LineTo(5, 20);  // copy pen: red
        c.SetROP2(koru::Rop::Not);
        c.MoveToEx(10, 2);
        c.LineTo(10, 20);  // inverting: black, not the pen, not white
        // The measurement lines' walk reads the paper and writes it back inverted.
        koru::InvertLine(c, 15, 5, 35, 15, 0, 39);
        const QImage& out = p.Done();
        for (int y = 3; y < 20; ++y) {
            QCOMPARE(out.pixel(5, y), qRgb(255, 0, 0));
            QCOMPARE(out.pixel(10, y), kBlack);
        }
        QCOMPARE(out.pixel(15, 5), kBlack);
        QCOMPARE(out.pixel(35, 15), kBlack);
        QCOMPARE(out.pixel(25, 10), kBlack);
        QCOMPARE(out.pixel(25, 14), kWhite);
    }

    void logicalAreaIsStretchedOnEachAxisAndStateRestoresIt() {
        Paper p(200, 200);
        koru::Canvas& c = p.canvas;
        c.SaveState();
        p.canvas.MapLogical(koru::Size{100, 50});  // x twice, y four times
        QCOMPARE(c.Width(), 100);
        QCOMPARE(c.Height(), 50);
        c.SetPixel(10, 10, Rgb(0, 0, 255));
        c.SetPixel(100, 10, Rgb(0, 0, 255));  // off the logical area
        c.RestoreState();
        c.SetPixel(150, 150, Rgb(0, 255, 0));  // unstretched again
        const QImage& out = p.Done();
        QCOMPARE(CountOf(out, qRgb(0, 0, 255)), 2 * 4);
        for (int y = 40; y < 44; ++y)
            for (int x = 20; x < 22; ++x) QCOMPARE(out.pixel(x, y), qRgb(0, 0, 255));
        QCOMPARE(CountOf(out, qRgb(0, 255, 0)), 1);
        QCOMPARE(out.pixel(150, 150), qRgb(0, 255, 0));
    }

    void dotGridPrintsTheSameDotsAsSinglePixels() {
        // The same dots, once as a pure grid and once spoilt by one more
        // pixel, which makes them single squares.
        auto dots = [](koru::Canvas& c, bool spoil) {
            for (int x = 0; x <= 90; x += 10)
                for (int y = 0; y <= 60; y += 10) c.SetPixel(x, y, Rgb(0, 0, 0));
            c.SetPixel(13, 14, Rgb(0, 0, 0));
            c.SetPixel(13, 14, Rgb(0, 0, 0));  // twice: still one pixel
            if (spoil) c.SetPixel(95, 65, Rgb(0, 0, 0));
        };
        Paper grid(100, 70), single(100, 70);
        // A pixel between the dots is no part of a grid.
        dots(grid.canvas, false);
        dots(single.canvas, true);
        QImage a = grid.Done(), b = single.Done();
        QCOMPARE(b.pixel(95, 65), kBlack);
        b.setPixel(95, 65, kWhite);
        QCOMPARE(CountOf(a, kBlack), 10 * 7 + 1);
        QCOMPARE(a, b);

        // A full grid, nothing else: still every dot and nothing between.
        Paper pure(100, 70);
        for (int x = 5; x < 100; x += 10)
            for (int y = 5; y < 70; y += 10) pure.canvas.SetPixel(x, y, Rgb(0, 0, 0));
        const QImage& c = pure.Done();
        QCOMPARE(CountOf(c, kBlack), 10 * 7);
        QCOMPARE(c.pixel(15, 25), kBlack);
        QCOMPARE(c.pixel(16, 25), kWhite);
    }

    void strokesJoinedOrNotDrawTheSameLines() {
        // One polyline, pieces going on in the same direction, and the same
        // segments drawn out of order, all give one picture.
        const std::array<koru::Point, 6> pts = {koru::Point{2, 2}, {12, 2},  {22, 2},
                                                {22, 12},          {32, 22}, {2, 22}};
        Paper joined(40, 30), apart(40, 30);
        joined.canvas.Polyline(pts);
        for (std::size_t i = pts.size() - 1; i > 0; --i) {
            apart.canvas.MoveToEx(pts[i - 1].x, pts[i - 1].y);
            apart.canvas.LineTo(pts[i].x, pts[i].y);
        }
        const QImage a = joined.Done(), b = apart.Done();
        QVERIFY(CountOf(a, kBlack) > 60);
        QCOMPARE(a, b);
    }

    void tracesOfOneColourDrawnColumnByColumnKeepTheirShape() {
        // Three traces, two of one colour, drawn column by column as the
        // printout draws them (each column from the trace's last point), a
        // fourth stroke starting where one of them ended: the page shows the
        // same lines as each trace drawn whole on its own.
        struct Trace {
            koru::ColorRef color;
            int base;
        };
        const std::array<Trace, 3> traces = {
            Trace{Rgb(0, 0, 255), 10}, {Rgb(255, 0, 0), 30}, {Rgb(0, 0, 255), 50}};
        auto y = [](const Trace& t, int x) { return t.base + (x % 7 < 3 ? x % 7 : 6 - x % 7); };
        Paper interleaved(90, 70), whole(90, 70);
        for (int x = 1; x < 80; ++x) {
            for (const Trace& t : traces) {
                interleaved.canvas.SelectPen(t.color);
                interleaved.canvas.MoveToEx(x - 1, y(t, x - 1));
                interleaved.canvas.LineTo(x, y(t, x));
            }
        }
        interleaved.canvas.SelectPen(traces[0].color);
        interleaved.canvas.MoveToEx(79, y(traces[0], 79));
        interleaved.canvas.LineTo(79, 65);
        for (const Trace& t : traces) {
            std::vector<koru::Point> line;
            for (int x = 0; x < 80; ++x) line.push_back({x, y(t, x)});
            whole.canvas.SelectPen(t.color);
            whole.canvas.Polyline(line);
        }
        whole.canvas.SelectPen(traces[0].color);
        whole.canvas.MoveToEx(79, y(traces[0], 79));
        whole.canvas.LineTo(79, 65);
        const QImage a = interleaved.Done(), b = whole.Done();
        QVERIFY(CountOf(a, qRgb(0, 0, 255)) > 2 * 80);
        QCOMPARE(a.pixel(79, 64), qRgb(0, 0, 255));
        QCOMPARE(a.pixel(40, 20), kWhite);  // between the traces
        QCOMPARE(a, b);
    }

    void aCancelledPageStopsDrawing() {
        Paper p(40, 1000);
        int polls = 0;
        p.canvas.SetPoll([&] {
            ++polls;
            return true;
        });
        QThread::msleep(40);  // the canvas asks at most every few milliseconds
        for (int y = 0; y < 1000; ++y) {
            p.canvas.MoveToEx(0, y);
            p.canvas.LineTo(30, y);
        }
        QVERIFY(p.canvas.Stopped());
        QCOMPARE(polls, 1);
        const QImage& out = p.Done();
        QCOMPARE(out.pixel(10, 999), kWhite);
        QCOMPARE(out.pixel(10, 0), kWhite);  // dropped, not drawn half
    }
};

QTEST_MAIN(PrinterCanvasTest)
#include "printer_canvas_test.moc"
