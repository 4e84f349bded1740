// The Time Base and Configure dialogs run from the real menu: their layout
// on two screen sizes, every kind of control clicked, and the file dialogs
// and boxes the Configure buttons lead to.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ClientWin.h"
#include "ConfigureDialog.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "TimeBaseDialog.h"
#include "config/ConfigureForm.h"
#include "support/AppHarness.h"

using koru::Cmd;
using koru::Field;
namespace ctl = koru::configure_ctl;

namespace {

// Runs `step` on the next modal window of type T once it is up. Steps
// close the windows they are given, so a failed check never leaves one open.
template <typename T>
void OnModal(std::function<void(T*)> step) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        step(w);
    });
    timer->start();
}

void Click(QAbstractButton* b) {
    QPoint at = b->rect().center();
    // Radio buttons and check boxes take clicks on their indicator and text only.
    QStyleOptionButton opt;
    opt.initFrom(b);
    if (qobject_cast<QRadioButton*>(b))
        at = b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, b).center();
    if (qobject_cast<QCheckBox*>(b))
        at = b->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, b).center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

// One click on a spin box's up or down arrow.
void ClickArrow(QSpinBox* spin, bool up) {
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    opt.buttonSymbols = spin->buttonSymbols();
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    const QRect r = spin->style()->subControlRect(
        QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, r.center());
}

// Types a name into a file dialog's name box, as a user does, and presses
// Enter.
void ChooseFile(QFileDialog* d, const QString& name) {
    auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) return d->reject();
    d->activateWindow();
    QTest::qWaitForWindowActive(d);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
    if (d->isVisible()) d->reject();
}

QPoint CentreIn(QWidget* w, QWidget* top) {
    return w->mapTo(top, w->rect().center());
}

}  // namespace

class ConfigDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;

    std::unique_ptr<TKoruApp> Start(std::pair<int, int> screen) {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("KORUVIEW_HOME", home_->path().toUtf8());
        QFile ini(home_->filePath(QFileInfo(QCoreApplication::applicationFilePath()).baseName() +
                                  ".INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[SYSTEM]\r\nVERSION=95.400\r\n");
        ini.close();
        auto app =
            koru::test::StartApp(screen, {std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig"});
        koru::test::WaitShownAndLoaded(*app);
        return app;
    }
    QString SettingsText() const {
        QFile f(home_->filePath(QFileInfo(QCoreApplication::applicationFilePath()).baseName() +
                                ".INI"));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
    static void Run(TKoruApp& app, Cmd c) { app.window()->Action(int(c))->trigger(); }

  private slots:
    void timeBaseChoosesWithTheRadioButtonsAndCancelKeepsEverything() {
        auto app = Start({1280, 1024});
        koru::SignalView& view = app->window()->View()->Model();
        view.ScrollTo(7, 0);

        QStringList captions;
        QString title;
        bool columns = false, fortyChecked = false;
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            title = d->windowTitle();
            for (int i = 0; i < 7; ++i) captions << d->Choice(i)->text();
            auto x = [d](int i) { return d->Choice(i)->geometry().x(); };
            auto y = [d](int i) { return d->Choice(i)->geometry().y(); };
            columns = x(0) == x(2) && x(2) == x(4) && x(4) == x(6) && x(1) == x(3) &&
                      x(3) == x(5) && x(1) > x(0) && y(0) == y(1) && y(2) == y(3) && y(4) == y(5) &&
                      y(6) > y(4);
            fortyChecked = d->Choice(4)->isChecked();
            Click(d->Choice(6));
            Click(d->findChild<QPushButton*>("1"));
        });
        Run(*app, Cmd::TimeBase);
        QCOMPARE(title, QString("Time Base"));
        QCOMPARE(captions, (QStringList{"640", "320", "160", "80", "40", "20", "10"}));
        QVERIFY(columns);
        QVERIFY(fortyChecked);
        QCOMPARE(app->session().timeBase().Spd(), 10);
        QCOMPARE(app->window()->FieldLabel(Field::SampPerDiv)->text(), QString("10"));
        QCOMPARE(view.ScrollX(), 28);

        bool tenChecked = false;
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            tenChecked = d->Choice(6)->isChecked();
            Click(d->Choice(0));
            Click(d->Choice(3));
            Click(d->findChild<QPushButton*>("2"));
        });
        Run(*app, Cmd::TimeBase);
        QVERIFY(tenChecked);
        QCOMPARE(app->session().timeBase().Spd(), 10);
        QCOMPARE(view.ScrollX(), 28);

        // Keys: arrows move among the choices, Escape is Cancel, Enter is OK.
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            Click(d->Choice(2));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        Run(*app, Cmd::TimeBase);
        QCOMPARE(app->session().timeBase().Spd(), 10);
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            Click(d->Choice(4));
            QTest::keyClick(d->Choice(4), Qt::Key_Return);
            if (d->isVisible()) d->reject();
        });
        Run(*app, Cmd::TimeBase);
        QCOMPARE(app->session().timeBase().Spd(), 40);
        QCOMPARE(view.ScrollX(), 7);
    }

    void configureIsCentredAlignedAndUnclippedOnBothScreens() {
        for (auto screen : {std::pair{1024, 768}, std::pair{1280, 1024}}) {
            auto app = Start(screen);
            QRect frame;
            QPoint pos;
            QStringList problems, bottomRow, texts;
            OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
                frame = d->frameGeometry();
                pos = d->pos();
                if (d->windowTitle() != "CONFIGURE") problems << "title " + d->windowTitle();
                QGroupBox* target = nullptr;
                for (QGroupBox* g : d->findChildren<QGroupBox*>())
                    if (g->title() == "Target Configuration") target = g;
                const int firsts[] = {ctl::kAmpChan, ctl::kLeadName, ctl::kPosition, ctl::kColor,
                                      ctl::kSize};
                const char* titles[] = {"Amp. Chan.",    "Lead Name",    "Display Position",
                                        "Display Color", "Display Size", "Has Marker"};
                for (int c = 0; c < 6 && target; ++c) {
                    QLabel* title = nullptr;
                    for (QLabel* l : target->findChildren<QLabel*>())
                        if (l->text() == titles[c]) title = l;
                    if (!title) {
                        problems << QString("no title ") + titles[c];
                        continue;
                    }
                    for (int n = 0; n < 8; ++n) {
                        QWidget* w = c < 5 ? static_cast<QWidget*>(d->Button(firsts[c] + n))
                                           : d->MarkerBox(n);
                        if (std::abs(CentreIn(w, d).x() - CentreIn(title, d).x()) > 1)
                            problems << QString("column %1 row %2 off its title").arg(c).arg(n);
                    }
                }
                for (QPushButton* b : d->findChildren<QPushButton*>()) {
                    if (b->width() < b->sizeHint().width() || !b->isVisible())
                        problems << "clipped " + b->text();
                    if (b->y() + b->height() > d->height()) problems << "outside " + b->text();
                }
                for (QLabel* l : d->findChildren<QLabel*>()) {
                    if (l->wordWrap()) texts << l->text();
                    if (l->wordWrap() && l->height() < l->heightForWidth(l->width()))
                        problems << "cut text " + l->text();
                }
                std::vector<QPushButton*> row;
                for (int id : {ctl::kMakeDefault, ctl::kLoadDefault, ctl::kLoadConf, ctl::kSaveConf,
                               1, 2, ctl::kHelp})
                    row.push_back(d->Button(id));
                std::vector<QPushButton*> sorted = row;
                std::sort(sorted.begin(), sorted.end(),
                          [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
                for (QPushButton* b : sorted) bottomRow << b->text();
                d->reject();
            });
            Run(*app, Cmd::Configure);
            const QString where = QString("%1x%2").arg(screen.first).arg(screen.second);
            QVERIFY2(problems.isEmpty(), qPrintable(where + ": " + problems.join(", ")));
            QCOMPARE(bottomRow, (QStringList{"Make Default", "Load Default", "Load Conf.",
                                             "Save Conf.", "OK", "Cancel", "Help"}));
            QCOMPARE(pos, QPoint((screen.first - frame.width()) / 2,
                                 (screen.second - frame.height()) / 2));
            QVERIFY2(QRect(0, 0, screen.first, screen.second).contains(frame), qPrintable(where));
            QCOMPARE(texts,
                     (QStringList{"Set desired value(s) in the \"Options\" box, then apply the "
                                  "selection(s) in the \"Target Configuration\" box.",
                                  "Click on an \"Amp. Chan.\" button to apply all four values "
                                  "to a channel.",
                                  "Click on a \"Lead Name\", \"Display Position\", \"Display "
                                  "Color\", or \"Display Size\" button to apply only the "
                                  "selected option to a channel."}));
        }
    }

    void configureControlsEditAndOkPutsThemInForce() {
        auto app = Start({1280, 1024});
        QVERIFY(
            QTest::qWaitFor([&] { return !app->window()->View()->Model().HasPendingRepaint(); }));
        const koru::ChannelConfig before = app->session().channels().current;
        QStringList seen;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            QSpinBox* position = d->Value(ctl::kPositionValue);
            QSpinBox* size = d->Value(ctl::kSizeValue);
            seen << d->List(ctl::kLeadList)->currentText()
                 << d->List(ctl::kColorList)->currentText() << position->text() << size->text();
            for (int i = 0; i < 12; ++i) ClickArrow(position, true);
            seen << position->text();
            for (int i = 0; i < 12; ++i) ClickArrow(position, false);
            seen << position->text();
            for (int i = 0; i < 25; ++i) ClickArrow(size, true);
            seen << size->text();
            for (int i = 0; i < 25; ++i) ClickArrow(size, false);
            seen << size->text();
            ClickArrow(size, true);
            ClickArrow(size, true);
            // Lists are chosen with the keys: no typing into them.
            QComboBox* leads = d->List(ctl::kLeadList);
            leads->setFocus();
            for (int i = 0; i < 12; ++i) QTest::keyClick(leads, Qt::Key_Down);
            d->List(ctl::kColorList)->setCurrentIndex(15);
            Click(d->Button(ctl::kAmpChan + 0));  // aVF, slot 0, White, size 3
            seen << d->Button(ctl::kLeadName + 0)->text() << d->Button(ctl::kPosition + 0)->text()
                 << d->Button(ctl::kColor + 0)->text() << d->Button(ctl::kSize + 0)->text();
            Click(d->MarkerBox(1));
            Click(d->Button(ctl::kColor + 2));
            seen << d->Button(ctl::kColor + 2)->text();
            Click(d->Button(1));
        });
        Run(*app, Cmd::Configure);
        QCOMPARE(seen, (QStringList{"<none>", "Red", "1", "5", "8", "0", "20", "1", "aVF", "0",
                                    "White", "3", "White"}));
        const koru::ChannelConfig& now = app->session().channels().current;
        QCOMPARE(now[0].LeadName, 12);
        QCOMPARE(now[0].DisplayPosition, 0);
        QCOMPARE(now[0].DisplayColor, 15);
        QCOMPARE(now[0].DisplaySize, 3);
        QCOMPARE(now[0].HasMarker, before[0].HasMarker);
        QCOMPARE(now[1].HasMarker, before[1].HasMarker == 1 ? 0 : 1);
        QCOMPARE(now[2].DisplayColor, 15);
        QVERIFY(app->window()->View()->Model().HasPendingRepaint());
        QVERIFY(
            QTest::qWaitFor([&] { return !app->window()->View()->Model().HasPendingRepaint(); }));

        // Edits and Cancel: nothing changes, and the next opening shows what is in force.
        QString shownAgain;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            Click(d->Button(ctl::kAmpChan + 3));
            Click(d->Button(2));
        });
        Run(*app, Cmd::Configure);
        QVERIFY(!app->window()->View()->Model().HasPendingRepaint());
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            shownAgain = d->Button(ctl::kLeadName + 3)->text();
            d->reject();
        });
        Run(*app, Cmd::Configure);
        QCOMPARE(app->session().channels().current[3], before[3]);
        QCOMPARE(shownAgain, QString("V1"));
    }

    void configureFileButtonsGoThroughTheirDialogs() {
        auto app = Start({1280, 1024});
        const QString home = home_->path();
        const QString example = QString(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.cfg";
        QString saveDir, filters, refusal, refusalTitle, leadAfterLoad;
        bool refusalOwned = false;
        QStringList help;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            OnModal<QFileDialog>([&](QFileDialog* f) {
                saveDir = f->directory().absolutePath();
                filters = f->nameFilters().join(";;");
                ChooseFile(f, "mine");
            });
            Click(d->Button(ctl::kSaveConf));

            OnModal<QFileDialog>([&](QFileDialog* f) { ChooseFile(f, "notes.txt"); });
            OnModal<QMessageBox>([&](QMessageBox* box) {
                refusal = box->text();
                refusalTitle = box->windowTitle();
                refusalOwned = box->parentWidget() == d;
                box->accept();
            });
            Click(d->Button(ctl::kSaveConf));

            OnModal<QFileDialog>([&](QFileDialog* f) { ChooseFile(f, example); });
            Click(d->Button(ctl::kLoadConf));
            leadAfterLoad = d->Button(ctl::kLeadName + 3)->text();

            Click(d->Button(ctl::kMakeDefault));

            OnModal<TConfigureHelpDialog>([&](TConfigureHelpDialog* h) {
                if (h->windowTitle() == "Configure Help")
                    for (QLabel* l : h->findChildren<QLabel*>()) help << l->text();
                if (auto* ok = h->findChild<QPushButton*>()) Click(ok);
                if (h->isVisible()) h->reject();
            });
            Click(d->Button(ctl::kHelp));
            d->reject();
        });
        Run(*app, Cmd::Configure);

        QCOMPARE(saveDir, home);
        QVERIFY2(filters.contains("*.cfg"), qPrintable(filters));
        QFile saved(home + "/mine.cfg");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("1 1 9 5 0\r\n2 2 10 5 0\r\n3 3 11 5 0\r\n"));
        QCOMPARE(refusal, QString("Can only save a \".cfg\" file."));
        QCOMPARE(refusalTitle, QString("File Select Error"));
        QVERIFY(refusalOwned);
        QVERIFY(!QFile::exists(home + "/notes.txt"));
        QCOMPARE(leadAfterLoad, QString("aVR"));
        QCOMPARE(help.size(), 6);
        QCOMPARE(help.value(4),
                 QString("Select \"OK\" to apply the current configuration and return to KORU "
                         "VIEW."));
        // Made default before Cancel: kept in the settings file.
        QVERIFY2(SettingsText().contains("CHAN4=10,4,13,5,0"), qPrintable(SettingsText()));
        QCOMPARE(app->session().channels().current[3].LeadName, 4);
    }
};

QTEST_MAIN(ConfigDialogsTest)
#include "config_dialogs_test.moc"
