// File > Print and File > Printer setup in the real window: Qt's print
// dialog opens on the selection, a job into a PDF file prints what the view
// shows (tags black on white paper), the "Printing" box's Cancel stops the
// job and leaves the old file, and the page set-up dialog runs with its
// status text.

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ClientWin.h"
#include "KoruWin.h"
#include "PrintingBox.h"
#include "QtUi.h"
#include "support/AppHarness.h"
#include "support/Pdf.h"

using koru::Cmd;

namespace {

const char kExample[] = KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig";
const QString kIdle = "Select \"FILE\\OPEN\" to view a new signal file.";

// Runs `step` on each turn of the event loop until it answers true.
void WhenReady(std::function<bool()> step) {
    QTimer::singleShot(10, [step] {
        if (!step()) WhenReady(step);
    });
}

template <typename T>
T* Modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

}  // namespace

class PrintDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    struct Started {
        std::unique_ptr<TKoruApp> app;
        QtUi* ui = nullptr;
        QString pdf;
    };
    Started Start() {
        Started s;
        s.app = koru::test::StartApp({1280, 1024}, {kExample});
        if (!koru::test::WaitShownAndLoaded(*s.app)) return s;
        s.ui = dynamic_cast<QtUi*>(&s.app->session().ui());
        s.ui->Printer();
        s.pdf = home_.path() + "/out.pdf";
        QFile::remove(s.pdf);
        s.ui->QtPrinter()->setOutputFileName(s.pdf);
        return s;
    }
    static QString Status(Started& s) { return s.app->window()->MessageField()->text(); }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void dialogOpensOnTheSelectionAndThePageShowsTheTags() {
        Started s = Start();
        QVERIFY(s.ui);
        koru::SignalView& view = s.app->window()->View()->Model();
        for (int x : {300, 700}) {
            view.OnRightDown(x, 50, false);
            view.OnRightUp(x, 50);
        }
        QCOMPARE(view.TagCount(), 2);
        QAbstractPrintDialog::PrintRange range = QAbstractPrintDialog::AllPages;
        int minPage = 0, maxPage = 0;
        QString status;
        WhenReady([&] {
            auto* d = Modal<QPrintDialog>();
            if (!d) return false;
            range = d->printRange();
            minPage = d->minPage();
            maxPage = d->maxPage();
            status = Status(s);
            d->accept();
            return true;
        });
        s.app->window()->OnCommand(static_cast<int>(Cmd::Print));
        QCOMPARE(range, QAbstractPrintDialog::Selection);
        QCOMPARE(minPage, 1);
        QCOMPARE(maxPage, 8);  // 960 divisions, 126 to a page
        QCOMPARE(status, QString("Data is being scaled and printed."));
        QCOMPARE(Status(s), kIdle);
        QVERIFY(s.app->window()->View()->isEnabled());

        QCOMPARE(koru::test::PdfPageCount(s.pdf), 1);
        QVERIFY(koru::test::PdfPageText(s.pdf, 1).contains(
            "Position:00:00.000, 40 samples/division, 1000 microseconds/sample."));
        // Each tag inverts a full-height column; on paper that is black.
        const int dpi = 100;
        const QImage page = koru::test::PdfPageImage(s.pdf, 1, dpi);
        QVERIFY(!page.isNull());
        const QRectF paint = s.ui->QtPrinter()->pageLayout().paintRect(QPageLayout::Point);
        auto at = [&](double x, double y) {
            return QPoint(int((paint.left() + x * paint.width() / 1280) * dpi / 72),
                          int((paint.top() + y * paint.height() / 1024) * dpi / 72));
        };
        for (int x : {300, 700}) {
            int dark = 0;
            for (int y = 600; y < 900; y += 10) {  // below the traces
                const QPoint p = at(x + 0.5, y);
                bool any = false;
                for (int dx = -1; dx <= 1; ++dx) any |= qGray(page.pixel(p.x() + dx, p.y())) < 90;
                dark += any ? 1 : 0;
            }
            QCOMPARE(dark, 30);
            QVERIFY(qGray(page.pixel(at(x + 20.5, 750))) > 200);  // paper beside it
        }
    }

    void cancelInThePrintingBoxStopsTheJobAndKeepsTheOldFile() {
        Started s = Start();
        QVERIFY(s.ui);
        {
            QFile old(s.pdf);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        QString boxPage, message, title;
        bool viewDisabled = false;
        WhenReady([&] {
            auto* d = Modal<QPrintDialog>();
            if (!d) return false;
            d->findChild<QRadioButton*>("printAll")->setChecked(true);
            d->accept();
            return true;
        });
        WhenReady([&] {
            auto* box = s.app->window()->findChild<TPrintingBox*>();
            if (!box || !box->isVisible()) return false;
            boxPage = box->PageText();
            viewDisabled = !s.app->window()->View()->isEnabled();
            box->CancelButton()->click();
            WhenReady([&] {
                auto* m = Modal<QMessageBox>();
                if (!m) return false;
                message = m->text();
                title = m->windowTitle();
                m->accept();
                return true;
            });
            return true;
        });
        s.app->window()->OnCommand(static_cast<int>(Cmd::Print));
        QVERIFY2(boxPage.endsWith(" of 8"), qPrintable(boxPage));
        QVERIFY(viewDisabled);
        QCOMPARE(title, QString("Print Error"));
        QCOMPARE(message, "'" + QString(kExample).toUpper() + "' not printed. Printing canceled.");
        QFile kept(s.pdf);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
        QCOMPARE(QDir(home_.path()).entryList({"*pdf*"}, QDir::Files | QDir::Hidden).size(), 1);
        QVERIFY(s.app->window()->View()->isEnabled());
        QCOMPARE(Status(s), kIdle);
    }

    void printerSetupRunsThePageSetupOfThePrinterObject() {
        Started s = Start();
        QVERIFY(s.ui);
        QString status;
        QPrinter* printer = nullptr;
        WhenReady([&] {
            auto* d = Modal<QPageSetupDialog>();
            if (!d) return false;
            status = Status(s);
            printer = d->printer();
            d->reject();
            return true;
        });
        s.app->window()->OnCommand(static_cast<int>(Cmd::PrinterSetup));
        QCOMPARE(status, QString("Set desired printer configuration"));
        QCOMPARE(printer, s.ui->QtPrinter());
        QCOMPARE(Status(s), kIdle);
    }
};

QTEST_MAIN(PrintDialogTest)
#include "print_dialog_test.moc"
