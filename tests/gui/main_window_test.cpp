// The real main window on the offscreen platform: start-up states, the bars'
// layout by screen width and the text fields of an opened recording.

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QtTest>
#include <functional>

#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "ProgressDialog.h"
#include "ReadBinaryDialog.h"
#include "config/CfgFile.h"
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

    void onlyLoadableRecordingsAreTakenFromADrop() {
        QMimeData data;
        QCOMPARE(TKoruWin::DroppedRecording(&data), QString());
        data.setUrls({QUrl::fromLocalFile("/x/notes.txt"), QUrl::fromLocalFile("/x/100.hea"),
                      QUrl::fromLocalFile("/x/b.sig")});
        QCOMPARE(TKoruWin::DroppedRecording(&data), QString("/x/100.hea"));  // the first that opens
        data.setUrls({QUrl("https://example.org/a.sig"), QUrl::fromLocalFile("/x/a.mrk")});
        QCOMPARE(TKoruWin::DroppedRecording(&data), QString());
        QCOMPARE(TKoruWin::DroppedRecording(nullptr), QString());
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

    void theExampleConfigurationFitsEveryLeadInTheWindow() {
        koru::ChannelConfig config{};
        QVERIFY(koru::LoadConfigFile(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.cfg", config));
        for (const std::pair<int, int>& screen : {std::pair{1024, 768}, std::pair{800, 600}}) {
            auto app = Start(screen, {KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig"});
            QVERIFY(koru::test::WaitShownAndLoaded(*app));
            const koru::SignalView& view = app->window()->View()->Model();
            // Each zero line with room for a marker's stroke (40 pixels) below it
            // inside the maximized window's view.
            const int height = view.BackBuffer().Height();
            for (const koru::ChannelRecord& r : config) {
                QVERIFY(r.DisplayPosition >= 1 && r.DisplayPosition <= 8);
                QVERIFY2(view.BaselineY(r.DisplayPosition) + 40 <= height,
                         qPrintable(QString("slot %1 at %2x%3: view %4 high")
                                        .arg(r.DisplayPosition)
                                        .arg(screen.first)
                                        .arg(screen.second)
                                        .arg(height)));
            }
        }
    }

    void narrowScreensPutThePositionFieldsOnASecondBar() {
        auto narrow = Start({800, 600});
        QVERIFY(narrow->window()->SecondBar() != narrow->window()->FirstBar());
        QVERIFY(narrow->window()->SecondBar()->isAncestorOf(
            narrow->window()->FieldLabel(Field::Position)));
        QVERIFY(narrow->window()->FirstBar()->isAncestorOf(
            narrow->window()->FieldLabel(Field::SampPerDiv)));
        // A first start has physical units on: the cut field with its
        // duration shares the first row only on a screen of 1600 or wider.
        auto units = Start({1024, 768});
        QVERIFY(units->window()->SecondBar() != units->window()->FirstBar());
        QVERIFY(
            units->window()->SecondBar()->isAncestorOf(units->window()->FieldLabel(Field::Cut)));
        units.reset();
        auto wide = Start({1920, 1080});
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

    // The example recording with a description that fills all 256 bytes and
    // holds Windows-1252 bytes (0xB5 is the micro sign there).
    QString LongDescriptionFile() {
        QFile example(QString(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig");
        if (!example.open(QIODevice::ReadOnly)) return {};
        QByteArray bytes = example.readAll();
        QByteArray description;
        while (description.size() < 256) description += "Patient 7, 10 \xB5V/div. ";
        bytes.replace(70, 256, description.left(256));
        const QString path = home_.filePath("long_description.sig");
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return {};
        return path;
    }

    void fieldsKeepTheirWidthsWhateverTheyShow() {
        auto app = Start({1280, 1024});
        TKoruWin* w = app->window();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        std::map<Field, int> widths;
        const std::vector<Field> all = {Field::SampPerDiv, Field::Position,  Field::Cut,
                                        Field::Length,     Field::Frequency, Field::Description};
        for (Field f : all) widths[f] = w->FieldLabel(f)->width();
        QCOMPARE(widths[Field::Frequency], widths[Field::Description]);  // 7 characters each
        const int cutX = w->FieldLabel(Field::Cut)->mapTo(w, QPoint()).x();

        const QString path = LongDescriptionFile();
        QVERIFY(!path.isEmpty());
        app->session().OpenRecording(path.toStdString(), false);
        w->SetField(Field::Position, "Time: 00:00.000  Page: 1.00/8.78");
        w->SetField(Field::Cut, "00:01.250 to 00:02.500");
        QApplication::processEvents();
        for (Field f : all) QCOMPARE(w->FieldLabel(f)->width(), widths[f]);
        QCOMPARE(w->FieldLabel(Field::Cut)->mapTo(w, QPoint()).x(), cutX);

        // The description, decoded, is elided and whole in its tool tip.
        TTextField* description = w->FieldLabel(Field::Description);
        QVERIFY(description->text().startsWith(QString::fromUtf8("Patient 7, 10 \u00B5V/div.")));
        QVERIFY(description->Elided());
        QVERIFY(description->ShownText().endsWith(QChar(0x2026)));
        QCOMPARE(description->toolTip(), description->text());
        // The usual values fit and carry no tool tip.
        for (Field f : {Field::SampPerDiv, Field::Length, Field::Frequency}) {
            QVERIFY2(!w->FieldLabel(f)->Elided(), qPrintable(w->FieldLabel(f)->text()));
            QVERIFY(w->FieldLabel(f)->toolTip().isEmpty());
        }

        // The message field keeps its room, so hints have somewhere to show.
        QVERIFY2(w->MessageField()->width() > w->statusBar()->width() / 2,
                 qPrintable(QString::number(w->MessageField()->width())));
        w->statusBar()->showMessage("Retrieve a signal file from disk.");
        QVERIFY(!w->MessageField()->isVisible());
        w->statusBar()->clearMessage();
        QVERIFY(w->MessageField()->isVisible());
    }

    // In a narrow window the pointer readout and the beats between the tags
    // give up width and elide; no field is laid over another.
    void narrowStatusBarFieldsNeverOverlap() {
        auto app = Start({1024, 768});
        TKoruWin* w = app->window();
        w->resize(768, 560);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->SetField(Field::Readout, "00:03.777  MLII -0.320 mV  V5 -0.245 mV  extra");
        w->SetField(Field::Rhythm, "5 beats, mean RR 0.795 s, 75.5 /min");
        w->SetField(Field::Length, "Len:30:05.555");
        QApplication::processEvents();
        std::vector<QRect> rects;
        for (Field f :
             {Field::Readout, Field::Rhythm, Field::Length, Field::Frequency, Field::Description}) {
            TTextField* label = w->FieldLabel(f);
            QVERIFY(label->isVisible());
            rects.push_back(QRect(label->mapTo(w->statusBar(), QPoint()), label->size()));
        }
        for (std::size_t i = 0; i + 1 < rects.size(); ++i)
            QVERIFY2(rects[i].right() < rects[i + 1].left(), qPrintable(QString::number(i)));
        QVERIFY(rects.back().right() < w->statusBar()->width());
        QVERIFY(!w->FieldLabel(Field::Length)->Elided());
        TTextField* rhythm = w->FieldLabel(Field::Rhythm);
        if (rhythm->Elided()) QCOMPARE(rhythm->toolTip(), rhythm->text());
    }

    void noSeparatorBeforeTheSampPerDivCaption() {
        auto app = Start({1280, 1024});
        QToolBar* bar = app->window()->FirstBar();
        const QList<QAction*> actions = bar->actions();
        int caption = -1;
        for (int i = 0; i < actions.size(); ++i) {
            auto* l = qobject_cast<QLabel*>(bar->widgetForAction(actions[i]));
            if (l && l->text() == "Samp/div:") caption = i;
        }
        QVERIFY(caption > 0);
        QCOMPARE(actions[caption - 1], app->window()->Action(static_cast<int>(Cmd::Help)));
    }

    void theOpenDialogProposesTheFileAsChosen() {
        QFile::copy(QString(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig",
                    home_.filePath("run1.sig"));
        auto app = Start({1280, 1024});
        TKoruWin* w = app->window();
        QString proposed, message;
        // Message boxes that come up are answered and kept; a file dialog
        // left open after one (it refused the name) is cancelled.
        std::function<void()> answerBoxes = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                message = box->text();
                box->accept();
                QTimer::singleShot(0, answerBoxes);
            } else if (auto* dlg = qobject_cast<QFileDialog*>(modal)) {
                dlg->reject();
            }
        };
        // Runs Open and accepts its dialog on `name`, or on what it proposes
        // when empty.
        auto open = [&](const QString& name) {
            QTimer::singleShot(0, [&, name] {
                auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dlg);
                proposed = dlg->selectedFiles().value(0);
                if (!name.isEmpty()) dlg->selectFile(name);
                QTimer::singleShot(0, answerBoxes);
                static_cast<QDialog*>(dlg)->accept();
            });
            w->Action(static_cast<int>(Cmd::Open))->trigger();
            QApplication::processEvents();
        };
        open(home_.filePath("run1.sig"));
        QVERIFY(app->session().document().IsOpen());
        QCOMPARE(w->windowTitle(), "KORU VIEW -- " + home_.filePath("run1.sig").toUpper());

        open({});
        QCOMPARE(message, QString());
        QCOMPARE(proposed, home_.filePath("run1.sig"));
        QVERIFY(app->session().document().IsOpen());
        QCOMPARE(w->windowTitle(), "KORU VIEW -- " + home_.filePath("run1.sig").toUpper());
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
