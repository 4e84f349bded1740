// The Signals dialog: at most eight ticked, and opening a record of fifteen
// signals from the command line asks it before anything is shown.

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "KoruApp.h"
#include "KoruWin.h"
#include "SignalsDialog.h"
#include "support/AppHarness.h"

class SignalsDialogTest : public QObject {
    Q_OBJECT

    static std::vector<koru::SignalChoice> Fifteen() {
        std::vector<koru::SignalChoice> out;
        for (int i = 1; i <= 15; ++i) out.push_back({i, "lead " + std::to_string(i)});
        return out;
    }

  private slots:
    void NinthBoxWaitsUntilOneOfTheEightIsCleared() {
        TSignalsDialog dlg(Fifteen(), {0, 1, 2, 3, 4, 5, 6, 7});
        QCOMPARE(dlg.windowTitle(), QString("Signals"));
        QCOMPARE(dlg.Ticked(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        QVERIFY(!dlg.Box(8)->isEnabled());
        QCOMPARE(dlg.Box(14)->text(), QString("15  lead 15"));
        dlg.Box(2)->click();
        QVERIFY(dlg.Box(8)->isEnabled());
        dlg.Box(14)->click();
        QCOMPARE(dlg.Ticked(), (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 14}));
        QVERIFY(!dlg.Box(2)->isEnabled());
        for (int i : {0, 1, 3, 4, 5, 6, 7, 14}) dlg.Box(i)->click();
        QVERIFY(dlg.Ticked().empty());
        QVERIFY(!dlg.OkButton()->isEnabled());  // no channel at all is no choice
    }

    void AnotherRateIsGreyedOnceOneIsTicked() {
        const std::vector<koru::SignalChoice> offered = {
            {1, "slow", 48.6}, {2, "fast", 486.2}, {3, "slow too", 48.6}};
        TSignalsDialog dlg(offered, {0});
        QCOMPARE(dlg.Box(1)->text(), QString("2  fast  (486.2 Hz)"));
        QVERIFY(!dlg.Box(1)->isEnabled());
        QVERIFY(dlg.Box(2)->isEnabled());
        dlg.Box(0)->click();  // none ticked: every rate may be chosen
        QVERIFY(dlg.Box(1)->isEnabled());
        dlg.Box(1)->click();
        QVERIFY(!dlg.Box(0)->isEnabled() && !dlg.Box(2)->isEnabled());
        QCOMPARE(dlg.Ticked(), (std::vector<int>{1}));
        QVERIFY(dlg.OkButton()->isEnabled());
    }

    void CommandLineRecordOfFifteenAsksWhichEight() {
        QTemporaryDir home;
        qputenv("KORUVIEW_HOME", home.path().toUtf8());
        bool asked = false;
        QTimer timer;
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, [&] {
            auto* dlg = qobject_cast<TSignalsDialog*>(QApplication::activeModalWidget());
            if (!dlg || !dlg->isVisible()) return;
            asked = true;
            if (!qEnvironmentVariableIsEmpty("KORU_SHOT"))
                dlg->grab().save(qEnvironmentVariable("KORU_SHOT"));
            dlg->Box(0)->click();   // i off
            dlg->Box(14)->click();  // vz on
            dlg->OkButton()->click();
        });
        timer.start();
        auto app = koru::test::StartApp({1280, 1024}, {KORU_REAL_DATA_DIR "/ptbdb/s0010_re.hea"});
        QVERIFY(koru::test::WaitShownAndLoaded(*app));
        QVERIFY(asked);
        const koru::SignalDocument& doc = app->session().document();
        QCOMPARE(int(doc.Header().ChannelCount), 8);
        QCOMPARE(doc.FrameCount(), 38400);
        QCOMPARE(doc.Header().DescriptionText().substr(0, 13), std::string("s0010_re: i, "));
    }
};

QTEST_MAIN(SignalsDialogTest)
#include "signals_dialog_test.moc"
