// koruview --print-pdf: recordings printed into PDF files by the program
// itself, read back with poppler's tools: how many pages, what each footer
// says, and what the pages look like.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Pdf.h"

using koru::test::PdfImageCount;
using koru::test::PdfPageCount;
using koru::test::PdfPageImage;
using koru::test::PdfPageText;
using koru::test::RunProgram;

namespace {

// The screen of every run: wide enough for the footer lines, baselines 36
// pixels apart.
constexpr int kW = 800;
constexpr int kH = 400;
constexpr int kPageDivisions = kW / 10 - 2;

// Settings, recording and output of one printing run.
struct Job {
    QTemporaryDir home;
    QString sig;
    QString pdf;

    explicit Job(const QString& settings = QString()) {
        QFile ini(home.path() + "/koruview.INI");
        if (ini.open(QIODevice::WriteOnly))
            ini.write(("[SYSTEM]\r\nVERSION=95.400\r\n" + settings).toUtf8());
        sig = home.path() + "/rec.sig";
        pdf = home.path() + "/out.pdf";
    }
    bool Record(uint32_t interval, int64_t frames, int16_t value = 0) {
        return koru::test::WriteSig(sig, 1, interval, frames,
                                    [value](int64_t, int) { return value; });
    }
    koru::test::Run Print(QStringList args) {
        args = QStringList{"--print-pdf", pdf, "--screen", QString("%1x%2").arg(kW).arg(kH)} + args;
        args << sig;
        return RunProgram(KORUVIEW_BIN, args, home.path());
    }
    QString Footer(int page) const { return PdfPageText(pdf, page); }
};

QString Position(const QString& time, int spd, long interval) {
    return QString("Position:%1, %2 samples/division, %3 microseconds/sample.")
        .arg(time)
        .arg(spd)
        .arg(interval);
}

bool Dark(QRgb p) {
    return qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110;
}

// Dark pixels in the rectangle of the page.
int DarkIn(const QImage& page, QRect r) {
    int n = 0;
    r = r.intersected(page.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += Dark(page.pixel(x, y)) ? 1 : 0;
    return n;
}

}  // namespace

class PrintPdfTest : public QObject {
    Q_OBJECT

  private slots:
    void selectionIsOnePageFromTheScreensLeftEdge() {
        Job job;
        QVERIFY(job.Record(1000, 40 * kPageDivisions * 3));
        const koru::test::Run r = job.Print({"--scroll", "50"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(PdfPageCount(job.pdf), 1);
        // Division 50 at 40 samples a division, one millisecond a sample.
        const QString text = job.Footer(1);
        QVERIFY2(text.contains(Position("00:02.000", 40, 1000)), qPrintable(text));
        QVERIFY(text.contains("KORU VIEW -- " + QDir(job.sig).absolutePath().toUpper()));

        Job start;
        QVERIFY(start.Record(1000, 40 * kPageDivisions * 3));
        QCOMPARE(start.Print({}).exitCode, 0);
        QCOMPARE(PdfPageCount(start.pdf), 1);
        QVERIFY(start.Footer(1).contains(Position("00:00.000", 40, 1000)));
    }

    void streamsAreDeflatedAtTheFastestLevel() {
        // Each compressed stream opens with a zlib header (RFC 1950): method
        // 8, a check that makes the two bytes a multiple of 31, and level
        // bits 0, "fastest".
        Job job;
        QVERIFY(job.Record(1000, 40 * kPageDivisions * 2, 300));
        QCOMPARE(job.Print({}).exitCode, 0);
        QFile file(job.pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        int streams = 0;
        for (qsizetype at = pdf.indexOf("/FlateDecode"); at >= 0;
             at = pdf.indexOf("/FlateDecode", at + 1)) {
            const qsizetype start = pdf.indexOf("stream\n", at) + 7;
            QVERIFY(start > at && start + 2 <= pdf.size());
            const int cmf = static_cast<uint8_t>(pdf[start]);
            const int flg = static_cast<uint8_t>(pdf[start + 1]);
            QCOMPARE(cmf & 0x0F, 8);
            QCOMPARE((cmf * 256 + flg) % 31, 0);
            QCOMPARE(flg >> 6, 0);
            ++streams;
        }
        QVERIFY(streams >= 2);  // the page and its font at least
    }

    void allPagesOfAWholeNumberOfPageStepsGiveOneMore() {
        Job job;
        QVERIFY(job.Record(1000, 40 * kPageDivisions * 3));
        QCOMPARE(job.Print({"--pages", "all", "--scroll", "50"}).exitCode, 0);
        QCOMPARE(PdfPageCount(job.pdf), 4);
        const char* times[] = {"00:00.000", "00:03.120", "00:06.240", "00:09.360"};
        for (int page = 1; page <= 4; ++page)
            QVERIFY2(job.Footer(page).contains(Position(times[page - 1], 40, 1000)),
                     qPrintable(job.Footer(page)));
    }

    void rangeThreeToFourStartsAtTwoAndThreePageSteps() {
        Job job;
        QVERIFY(job.Record(1000, 40 * kPageDivisions * 3));
        QCOMPARE(job.Print({"--pages", "3-4"}).exitCode, 0);
        QCOMPARE(PdfPageCount(job.pdf), 2);
        QVERIFY2(job.Footer(1).contains(Position("00:06.240", 40, 1000)),
                 qPrintable(job.Footer(1)));
        QVERIFY(job.Footer(2).contains(Position("00:09.360", 40, 1000)));
    }

    void footerTimeToTheMillisecondOrMicrosecond() {
        // 192 divisions of 10 samples of 643 microseconds: 1.234560 seconds.
        for (const bool micro : {false, true}) {
            Job job(micro ? "TIME RESOLUTION=1\r\n" : "TIME RESOLUTION=0\r\n");
            QVERIFY(job.Record(643, 4000));
            QCOMPARE(job.Print({"--spd", "10", "--scroll", "192"}).exitCode, 0);
            const QString want = micro ? "00:01.234560" : "00:01.234";
            QVERIFY2(job.Footer(1).contains(Position(want, 10, 643)), qPrintable(job.Footer(1)));
        }
    }

    void minutesAboveNinetyNineKeepAllTheirDigits() {
        Job job;
        QVERIFY(job.Record(1'000'000, 7000));  // one sample a second
        QCOMPARE(job.Print({"--spd", "10", "--scroll", "600"}).exitCode, 0);
        QVERIFY2(job.Footer(1).contains(Position("100:00.000", 10, 1'000'000)),
                 qPrintable(job.Footer(1)));
    }

    void framesFooterAndTracesOnPaper() {
        // Flat traces on their baselines (y = 36, 72, ...), nothing else on
        // the picture; the text colour is red.
        const QString plain = "DOTS=0\r\nTIME HACKS=0\r\nNAMES=0\r\nTEXT=255,0,0\r\n";
        for (const bool frame : {false, true}) {
            Job job(plain + (frame ? "PRINTFRAME=1\r\n" : "PRINTFRAME=0\r\n"));
            QVERIFY(job.Record(1000, 40 * kPageDivisions * 3));
            QCOMPARE(job.Print({}).exitCode, 0);
            QCOMPARE(PdfImageCount(job.pdf), 0);  // vector output, no pictures
            const QImage page = PdfPageImage(job.pdf, 1, 100);
            QVERIFY(!page.isNull());
            // A4 across with 10 mm margins at 100 dpi: where logical (x, y) lands.
            const double margin = 10 / 25.4 * 100;
            const double sx = (page.width() - 2 * margin) / kW;
            const double sy = (page.height() - 2 * margin) / kH;
            auto at = [&](double x, double y) {
                return QPoint(int(margin + x * sx), int(margin + y * sy));
            };
            // Between the first two baselines, at the left and right edges.
            const QPoint left = at(0.5, 54), right = at(kW - 0.5, 54);
            const int edges = DarkIn(page, QRect(left - QPoint(4, 2), QSize(9, 5))) +
                              DarkIn(page, QRect(right - QPoint(4, 2), QSize(9, 5)));
            const int top = DarkIn(page, QRect(at(kW / 2, 0.5) - QPoint(2, 4), QSize(5, 9)));
            if (frame) {
                QVERIFY(edges > 0);
                QVERIFY(top > 0);
            } else {
                QCOMPARE(edges, 0);
                QCOMPARE(top, 0);
            }
            // The traces keep their colours; the footer is black, not red.
            // Baseline 8 is at 288; the footer's two lines end at kH + 5 - h.
            const QRect footer(at(0, 300), at(kW, kH - 2));
            QVERIFY(DarkIn(page, footer) > 100);
            int red = 0;
            for (int y = footer.top(); y <= footer.bottom(); ++y)
                for (int x = footer.left(); x <= footer.right(); ++x) {
                    const QRgb p = page.pixel(x, y);
                    red += qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100 ? 1 : 0;
                }
            QCOMPARE(red, 0);
            QCOMPARE(DarkIn(page, QRect(at(100, 50), at(kW - 100, 58))), 0);
        }
    }

    void refusedOrFailedJobsLeaveTheOldFile() {
        Job job;
        QVERIFY(job.Record(1000, 40 * kPageDivisions * 3));
        {
            QFile old(job.pdf);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        const koru::test::Run refused = job.Print({"--pages", "5-6"});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("--pages 5-6: the recording has pages 1 to 4"),
                 qPrintable(refused.err));
        QFile kept(job.pdf);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));

        job.pdf = job.home.path() + "/missing/out.pdf";
        const koru::test::Run failed = job.Print({});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains("Print Error: '" + QDir(job.sig).absolutePath().toUpper() +
                                     "' not printed. Error encountered during print."),
                 qPrintable(failed.err));
        QVERIFY(QDir(job.home.path())
                    .entryList({"*.pdf*", ".*pdf*"}, QDir::Files | QDir::Hidden)
                    .size() == 1);  // the old file, no temporary left behind
    }

    void fileNamesKeepTheirBytes() {
        // Names from old disks need not be UTF-8: 0xDC and 0xFC are Latin-1
        // umlauts. The shell passes the bytes; Qt could not name the files.
        Job job;
        QVERIFY(job.Record(1000, 400));
        const QString script =
            "cd \"$1\" && in=$(printf 'M\\334.SIG') && out=$(printf 'o\\374.pdf') && "
            "cp rec.sig \"$in\" && \"$0\" --print-pdf \"$out\" \"$in\" && pdfinfo \"$out\"; "
            // Qt cannot name them either to remove them with the folder.
            "rc=$?; rm -f \"$in\" \"$out\"; exit $rc";
        const koru::test::Run r =
            RunProgram("/bin/sh", {"-c", script, KORUVIEW_BIN, job.home.path()}, job.home.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(QRegularExpression("Pages:\\s+1\\b").match(r.out).hasMatch(), qPrintable(r.out));
    }

    void optionsThatDoNotGoTogetherAreRefused() {
        Job job;
        QVERIFY(job.Record(1000, 400));
        const QStringList bad[] = {
            {"--pages", "3-4", job.sig},
            {"--scroll", "3", job.sig},
            {"--render", job.home.path() + "/a.png", "--print-pdf", job.pdf, job.sig},
            {"--print-pdf", job.pdf, "--pages", "4-3", job.sig},
            {"--print-pdf", job.pdf, "--pages", "some", job.sig},
            {"--print-pdf", job.pdf, "--scroll", "x", job.sig},
            {"--print-pdf", job.pdf},
            {"--bogus"},
        };
        for (const QStringList& args : bad) {
            const koru::test::Run r = RunProgram(KORUVIEW_BIN, args, job.home.path());
            QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ')));
            QVERIFY2(r.err.contains("koruview: "), qPrintable(r.err));
        }
        QVERIFY(!QFile::exists(job.pdf));
        const koru::test::Run help = RunProgram(KORUVIEW_BIN, {"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("--print-pdf OUT.pdf [--pages all|selection|F-T]"));
    }
};

QTEST_GUILESS_MAIN(PrintPdfTest)
#include "print_pdf_test.moc"
