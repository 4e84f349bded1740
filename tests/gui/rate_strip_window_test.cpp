// The heart-rate strip and the display filters in the real window: Detect
// Beats fills the strip, the View item shows and hides it, a click there
// moves the view, and a filter is named in the status bar and checked.

#include <QAbstractButton>
#include <QAction>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "RateStripWin.h"
#include "analysis/Rhythm.h"
#include "support/AppHarness.h"

using koru::Cmd;
using koru::Field;

class RateStripWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir home_;

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void detectedBeatsFillTheStripAndAClickMovesTheView() {
        const std::string record = std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea";
        // Message boxes are answered as they come: Yes where asked, OK otherwise.
        QStringList shown;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown << box->text();
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->accept();
        });
        answer.start(20);
        auto app = koru::test::StartApp({1024, 768}, {record});
        QVERIFY(koru::test::WaitShownAndLoaded(*app));
        TKoruWin* w = app->window();
        TRateStripWin* strip = w->RateStrip();
        QVERIFY(!strip->isVisible());

        // The reference beats are asked about before they are replaced.
        shown.clear();
        w->OnCommand(static_cast<int>(Cmd::DetectBeats));
        QVERIFY(!shown.isEmpty() && shown.back().contains("Replace them"));
        // Other annotations (the rhythm at the start) stay; the beats are the detector's.
        const std::size_t beats = koru::BeatFrames(app->session().document().Annotations()).size();
        QVERIFY(beats > 2000);

        w->OnCommand(static_cast<int>(Cmd::ToggleRateStrip));
        QVERIFY(w->Action(static_cast<int>(Cmd::ToggleRateStrip))->isChecked());
        QTRY_VERIFY(strip->isVisible());
        QCOMPARE(strip->Model().PointCount(), beats - 1);

        // Halfway along the strip: the middle of the screen goes to the middle
        // of the recording.
        koru::SignalView& view = w->View()->Model();
        QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() / 2, 20));
        const int64_t middle =
            (view.FrameAtColumn(0) + view.FrameAtColumn(w->View()->viewport()->width())) / 2;
        const int64_t half = app->session().document().FrameCount() / 2;
        QVERIFY2(std::abs(middle - half) < app->session().document().FrameCount() / 100,
                 qPrintable(QString::number(middle) + " " + QString::number(half)));

        w->OnCommand(static_cast<int>(Cmd::HighPass05));
        QVERIFY(w->Action(static_cast<int>(Cmd::HighPass05))->isChecked());
        QCOMPARE(w->FieldLabel(Field::Filter)->text(), QString("HP 0.5 Hz"));
        QVERIFY(w->FieldLabel(Field::Filter)->isVisible());
        if (qEnvironmentVariableIsSet("KORU_SHOT")) {
            QTest::qWait(100);
            w->grab().save(qEnvironmentVariable("KORU_SHOT"));
        }

        w->OnCommand(static_cast<int>(Cmd::ToggleRateStrip));
        QTRY_VERIFY(!strip->isVisible());
    }
};

QTEST_MAIN(RateStripWindowTest)
#include "rate_strip_window_test.moc"
