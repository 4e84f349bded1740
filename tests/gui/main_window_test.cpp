// The real main window on the offscreen platform: start-up states, the bars'
// layout by screen width and the text fields of an opened recording.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "KoruApp.h"
#include "KoruWin.h"
#include "ProgressDialog.h"
#include "ReadBinaryDialog.h"
#include "support/AppHarness.h"

using koru::Cmd;
using koru::Field;

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    std::unique_ptr<TKoruApp> Start(std::pair<int, int> screen,
                                    std::vector<std::string> files = {}) {
        return koru::test::StartApp(screen, std::move(files));
    }

    static QString FieldText(TKoruApp& app, Field f) { return app.window()->FieldLabel(f)->text(); }

    // Presses OK on the next message box, remembering its text.
    static void AnswerNextMessageBox(QString* text) {
        QTimer::singleShot(0, [text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return AnswerNextMessageBox(text);
            *text = box->text();
            box->accept();
        });
    }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void startsEmptyWithTheIdleText() {
        auto app = Start({1280, 1024});
        TKoruWin* w = app->window();
        QCOMPARE(w->windowTitle(), QString("KORU VIEW"));
        QCOMPARE(w->MessageField()->text(),
                 QString("Select \"FILE\\OPEN\" to view a new signal file."));
        for (Field f : {Field::SampPerDiv, Field::Position, Field::Cut, Field::Length,
                        Field::Frequency, Field::Description})
            QVERIFY(FieldText(*app, f).isEmpty());
        QVERIFY(!w->ViewMenu()->menuAction()->isEnabled());
        for (Cmd c : {Cmd::Configure, Cmd::Print, Cmd::PrinterSetup, Cmd::PopChannelNames,
                      Cmd::SaveAs, Cmd::SaveMarkers})
            QVERIFY2(!w->Action(static_cast<int>(c))->isEnabled(),
                     qPrintable(QString::number(int(c))));
        for (Cmd c : {Cmd::Open, Cmd::Convert, Cmd::Exit, Cmd::Help, Cmd::About})
            QVERIFY(w->Action(static_cast<int>(c))->isEnabled());
        QVERIFY(w->isMaximized());
        // Restored, the window takes three quarters of the screen, centred.
        QCOMPARE(w->normalGeometry(), QRect(160, 128, 960, 768));
    }

    void narrowScreensPutThePositionFieldsOnASecondBar() {
        auto narrow = Start({800, 600});
        QVERIFY(narrow->window()->SecondBar() != narrow->window()->FirstBar());
        QVERIFY(narrow->window()->SecondBar()->isAncestorOf(
            narrow->window()->FieldLabel(Field::Position)));
        QVERIFY(narrow->window()->FirstBar()->isAncestorOf(
            narrow->window()->FieldLabel(Field::SampPerDiv)));
        auto wide = Start({1024, 768});
        QCOMPARE(wide->window()->SecondBar(), wide->window()->FirstBar());
        QVERIFY(wide->window()->FirstBar()->isAncestorOf(wide->window()->FieldLabel(Field::Cut)));
    }

    void commandLineRecordingIsShownAndLoaded() {
        const std::string path = std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig";
        auto app = Start({1280, 1024}, {path});
        TKoruWin* w = app->window();
        QTRY_VERIFY(app->session().document().ReadableFrames() == 38400);
        QCOMPARE(w->windowTitle(), "KORU VIEW -- " + QString::fromStdString(path).toUpper());
        QCOMPARE(FieldText(*app, Field::Length), QString("Len:00:38.400"));
        QCOMPARE(FieldText(*app, Field::Frequency), QString("1000.0 Hz"));
        QCOMPARE(FieldText(*app, Field::SampPerDiv), QString("40"));
        QVERIFY(FieldText(*app, Field::Description).startsWith("PTB patient001"));
        QVERIFY(w->ViewMenu()->menuAction()->isEnabled());
        QVERIFY(w->Action(static_cast<int>(Cmd::Print))->isEnabled());
        QVERIFY(!w->Action(static_cast<int>(Cmd::SaveAs))->isEnabled());
    }

    void failedOpenLeavesTheEmptyWindow() {
        const std::string path = std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig";
        auto app = Start({1280, 1024}, {path});
        QTRY_VERIFY(app->session().document().ReadableFrames() == 38400);
        QString shown;
        AnswerNextMessageBox(&shown);
        app->session().OpenRecording(home_.filePath("missing.sig").toStdString(), false);
        QVERIFY(shown.startsWith("KORU VIEW -- Cannot open file: "));
        QCOMPARE(app->window()->windowTitle(), QString("KORU VIEW"));
        QVERIFY(FieldText(*app, Field::Length).isEmpty());
        QVERIFY(!app->window()->ViewMenu()->menuAction()->isEnabled());
        QVERIFY(!app->session().document().IsOpen());
    }

    void progressBoxShowsThePercentage() {
        TProgressDialog reading(nullptr, TProgressDialog::Reading);
        QCOMPARE(reading.windowTitle(), QString("WAIT"));
        QCOMPARE(reading.MessageText(),
                 QString("Please wait while file is being read into memory."));
        reading.SetPercent(42);
        QCOMPARE(reading.findChild<QProgressBar*>()->text(), QString("42%"));
        TProgressDialog writing(nullptr, TProgressDialog::Writing);
        QCOMPARE(writing.MessageText(),
                 QString("Please wait while file is being written to disk."));
    }

    void readBinaryKeepsAZeroOrNegativeIntervalOpen() {
        QCOMPARE(TRozaverazeDialog::ParseInterval("  250x"), 250);
        QCOMPARE(TRozaverazeDialog::ParseInterval("abc"), 0);
        QCOMPARE(TRozaverazeDialog::ParseInterval("-5"), -5);
        TRozaverazeDialog dlg;
        QCOMPARE(dlg.Channels(), 8);
        auto* edit = dlg.findChild<QLineEdit*>();
        QCOMPARE(edit->text(), QString("1000"));
        edit->setText("0");
        dlg.accept();
        QCOMPARE(dlg.result(), 0);  // still open
        edit->setText("40000");
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Interval(), 40000);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
