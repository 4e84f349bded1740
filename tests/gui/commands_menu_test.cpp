// The menu bar and tool bar built from the command table, with the real
// actions following the enable rules, the toggles' check marks and the
// status-bar message protocol.

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "../core/support/ViewMenuTexts.h"
#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

using koru::Cmd;
using koru::Field;

class CommandsMenuTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;

    std::unique_ptr<TKoruApp> Start(const QByteArray& settings,
                                    std::vector<std::string> files = {}) {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("KORUVIEW_HOME", home_->path().toUtf8());
        if (!settings.isEmpty()) {
            // The settings file takes the running program's base name.
            QFile f(home_->filePath(QFileInfo(QCoreApplication::applicationFilePath()).baseName() +
                                    ".INI"));
            f.open(QIODevice::WriteOnly);
            f.write(settings);
        }
        return koru::test::StartApp({1280, 1024}, std::move(files));
    }

    static QStringList ViewMenu() {
        QStringList texts;
        for (const std::string& t : koru::test::kViewMenuTexts) texts << QString::fromStdString(t);
        return texts;
    }

    static QStringList Texts(const QList<QAction*>& actions) {
        QStringList out;
        for (QAction* a : actions) out << (a->isSeparator() ? QString("-") : a->text());
        return out;
    }

  private slots:
    void menuBarFollowsTheResource() {
        auto app = Start({});
        QMenuBar* bar = app->window()->menuBar();
        QCOMPARE(Texts(bar->actions()), (QStringList{"&File", "&Configure", "&View"}));
        QCOMPARE(Texts(bar->actions()[0]->menu()->actions()),
                 (QStringList{"&Open...", "&Save As...", "Save Markers...", "&Append To...",
                              "&Convert TXT to SIG...", "Export A&nnotations...", "-", "&Print",
                              "P&rinter setup...", "-", "E&xit"}));
        // A first start turns physical units on, which brings the paper grid.
        QCOMPARE(Texts(bar->actions()[2]->menu()->actions()),
                 (ViewMenu() + QStringList{"-", "ECG &Paper Grid"}));
        auto* right = qobject_cast<QMenuBar*>(bar->cornerWidget(Qt::TopRightCorner));
        QVERIFY(right);
        QCOMPARE(Texts(right->actions()), QStringList{"&Help"});
        QCOMPARE(Texts(right->actions()[0]->menu()->actions()),
                 (QStringList{"&Help", "-", "&About..."}));
        // Hints travel as status tips, popups included.
        QCOMPARE(bar->actions()[0]->statusTip(), QString("Open, Print or Quit."));
        QCOMPARE(bar->actions()[2]->statusTip(),
                 QString("Toggle display of dots, markers, or names"));
        QCOMPARE(app->window()->Action(int(Cmd::PopChannelNames))->statusTip(),
                 QString("Pop channel names onto left edge of screen"));
    }

    void toolBarHasTheButtonsInOrder() {
        auto app = Start({});
        QStringList hints;
        for (QAction* a : app->window()->FirstBar()->actions()) {
            if (a->isSeparator())
                hints << "-";
            else if (a->data().isValid())
                hints << QString::number(a->data().toInt());
        }
        QCOMPARE(hints.mid(0, 10), (QStringList{"24332", "24333", "24334", "24337", "24335",
                                                "24355", "24356", "-", "24340", "24349"}));
    }

    void actionsFollowTheEnableRulesOnceARecordingOpens() {
        auto app = Start({});
        TKoruWin* w = app->window();
        QVERIFY(!w->Action(int(Cmd::Configure))->isEnabled());
        app->session().OpenRecording(std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig",
                                     false);
        w->RefreshCommandStates();
        for (Cmd c : {Cmd::Configure, Cmd::Print, Cmd::PrinterSetup, Cmd::PopChannelNames})
            QVERIFY(w->Action(int(c))->isEnabled());
        QVERIFY(w->ViewMenu()->menuAction()->isEnabled());
        for (Cmd c : {Cmd::SaveAs, Cmd::AppendTo, Cmd::MeasureAmplitude, Cmd::SaveMarkers})
            QVERIFY(!w->Action(int(c))->isEnabled());
    }

    void dotsOffShowsCheckedUntilTheFirstRecordingOpens() {
        auto app = Start("[SYSTEM]\r\nVERSION=95.400\r\nDOTS=0\r\n");
        QAction* dots = app->window()->Action(int(Cmd::ToggleDots));
        QVERIFY(dots->isChecked());
        QCOMPARE(app->session().settings().dots, uint8_t{0});
        app->session().OpenRecording(std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig",
                                     false);
        QVERIFY(!dots->isChecked());
        QVERIFY(app->window()->Action(int(Cmd::ToggleNames))->isChecked());
        dots->trigger();
        QVERIFY(dots->isChecked());
        QCOMPARE(app->session().settings().dots, uint8_t{1});
        dots->trigger();
        QVERIFY(!dots->isChecked());
        QCOMPARE(app->session().settings().dots, uint8_t{0});
    }

    void physicalUnitsFollowTheUnitsKey() {
        // A settings file from before the key: the View menu and status bar as always.
        auto old = Start("[SYSTEM]\r\nVERSION=95.400\r\n");
        QCOMPARE(Texts(old->window()->ViewMenu()->actions()), ViewMenu());
        QVERIFY(old->window()->FieldLabel(Field::Readout)->isHidden());
        old.reset();

        auto app = Start("[SYSTEM]\r\nVERSION=95.400\r\nUNITS=1\r\n");
        // The record brings more beats than the Marker list holds: close its box.
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        closer.start(50);
        app->session().OpenRecording(std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea", false);
        closer.stop();
        // The readout shows while the pointer is over the traces, and only then.
        TTextField* readout = app->window()->FieldLabel(Field::Readout);
        QVERIFY(readout->isHidden());
        app->window()->View()->Model().OnMouseMove(100, 100);
        QVERIFY(!readout->isHidden());
        QVERIFY(readout->text().contains(" mV"));
        app->window()->View()->Model().OnMouseLeave();
        QVERIFY(readout->isHidden());
        QAction* grid = app->window()->ViewMenu()->actions().last();
        QCOMPARE(grid->text(), QString("ECG &Paper Grid"));
        QCOMPARE(grid->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
        grid->trigger();
        QCOMPARE(app->session().settings().paperGrid, uint8_t{1});
        QVERIFY(app->window()->MessageField()->text().startsWith("ECG paper at "));
        grid->trigger();
        QCOMPARE(app->session().settings().paperGrid, uint8_t{0});
    }

    void cancelledDialogCommandRestoresTheIdleText() {
        auto app = Start({});
        const QString idle = app->window()->MessageField()->text();
        QString during;
        QTimer::singleShot(0, [&] {
            during = app->window()->MessageField()->text();
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        app->window()->Action(int(Cmd::Open))->trigger();
        QCOMPARE(during, QString("Select desired \"*.sig\", or \"*.bin\", or \"*.dat\", or "
                                 "\"*.nib\" file. Then press \"OK\"."));
        QCOMPARE(app->window()->MessageField()->text(), idle);
    }

    void aboutBoxRestoresTheIdleTextHoweverItCloses() {
        auto app = Start({});
        const QString idle = app->window()->MessageField()->text();
        for (int way = 0; way < 3; ++way) {
            QString during, title;
            QTimer::singleShot(0, [&] {
                QWidget* box = QApplication::activeModalWidget();
                QVERIFY(box);
                during = app->window()->MessageField()->text();
                title = box->windowTitle();
                bool version = false;
                for (QLabel* l : box->findChildren<QLabel*>())
                    version = version || l->text().startsWith("Version 95.4\n");
                QVERIFY(version);
                if (way == 0)
                    QTest::keyClick(box, Qt::Key_Return);
                else if (way == 1)
                    box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                else
                    box->close();
            });
            app->window()->Action(int(Cmd::About))->trigger();
            QCOMPARE(title, QString("ABOUT KORUVIEW"));
            QCOMPARE(during, QString("Press Enter or click OK to close window"));
            QCOMPARE(app->window()->MessageField()->text(), idle);
        }
    }

    void grayedMenuItemsShowTheirHintsToo() {
        auto app = Start({});
        TKoruWin* w = app->window();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QMenu* file = w->menuBar()->actions()[0]->menu();
        QAction* print = w->Action(int(Cmd::Print));
        QAction* open = w->Action(int(Cmd::Open));
        QVERIFY(!print->isEnabled());
        file->popup(w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        for (QAction* a : {open, print, open}) {
            QTest::mouseMove(file, file->actionGeometry(a).center());
            QTRY_COMPARE(file->activeAction(), a);
            QCOMPARE(w->statusBar()->currentMessage(), a->statusTip());
        }
        file->close();
        // The grayed View popup and Configure item highlight from the keyboard too.
        QMenuBar* bar = w->menuBar();
        bar->setActiveAction(bar->actions()[0]);
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(file, Qt::Key_Right);
        QTRY_COMPARE(bar->activeAction(), bar->actions()[1]);
        QTRY_COMPARE(w->statusBar()->currentMessage(),
                     QString("Sets up NAME, POSITION, COLOR, and GAIN"));
        QTest::keyClick(bar, Qt::Key_Right);
        QTRY_COMPARE(bar->activeAction(), w->ViewMenu()->menuAction());
        QTRY_COMPARE(w->statusBar()->currentMessage(),
                     QString("Toggle display of dots, markers, or names"));
        // Leaving the menu gives the message field back.
        QTest::keyClick(bar, Qt::Key_Escape);
        QTRY_VERIFY(!bar->activeAction());
        QTRY_VERIFY(w->statusBar()->currentMessage().isEmpty());
        QCOMPARE(w->MessageField()->text(), QString::fromStdString(app->session().idleStatus()));
    }

    void exitClosesTheWindow() {
        auto app = Start({});
        QVERIFY(app->window()->isVisible());
        app->window()->Action(int(Cmd::Exit))->trigger();
        QVERIFY(!app->window()->isVisible());
    }
};

QTEST_MAIN(CommandsMenuTest)
#include "commands_menu_test.moc"
