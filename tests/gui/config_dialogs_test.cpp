// The Time Base and Configure dialogs run from the real menu: their layout
// on two screen sizes, every kind of control clicked, and the file dialogs
// and boxes the Configure buttons lead to.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
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
#include "support/Modal.h"

using koru::Cmd;
namespace ctl = koru::configure_ctl;

namespace {

using koru::test::OnModal;

// A mouse click where the control takes it: radio buttons and check boxes
// only on their indicator and text.
void Click(QAbstractButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    QPoint at = b->rect().center();
    if (qobject_cast<QRadioButton*>(b))
        at = b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, b).center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

void ClickArrow(QSpinBox* spin, bool up, int times) {
    QStyleOptionSpinBox opt;
    opt.initFrom(spin);
    opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    const QRect r = spin->style()->subControlRect(
        QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, spin);
    for (int i = 0; i < times; ++i) QTest::mouseClick(spin, Qt::LeftButton, {}, r.center());
}

// Types a name into a file dialog's name box, as a user does, and presses Enter.
void ChooseFile(QFileDialog* d, const QString& name) {
    auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) return;
    d->activateWindow();
    if (!QTest::qWaitForWindowActive(d)) return;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
}

int CentreX(QWidget* w) {
    return w->mapTo(w->window(), w->rect().center()).x();
}

// What is wrong with the Configure dialog's layout, if anything.
QStringList LayoutProblems(TConfigureDialog* d, QSize screen) {
    QStringList problems;
    if (!QRect(QPoint(0, 0), screen).contains(d->frameGeometry())) problems << "off the screen";
    QGroupBox* target = d->findChild<QGroupBox*>();
    const char* titles[] = {"Amp. Chan.",    "Lead Name",    "Display Position",
                            "Display Color", "Display Size", "Has Marker"};
    for (int c = 0; c < 6; ++c) {
        QLabel* title = nullptr;
        for (QLabel* l : target->findChildren<QLabel*>())
            if (l->text() == titles[c]) title = l;
        for (int n = 0; n < 8 && title; ++n) {
            QWidget* w = c < 5 ? static_cast<QWidget*>(d->Button(ctl::kAmpChan + 10 * c + n))
                               : d->MarkerBox(n);
            if (std::abs(CentreX(w) - CentreX(title)) > 1) problems << QString(titles[c]);
        }
        if (!title) problems << QString("no title ") + titles[c];
    }
    for (QPushButton* b : d->findChildren<QPushButton*>())
        if (b->width() < b->sizeHint().width()) problems << "clipped " + b->text();
    for (QLabel* l : d->findChildren<QLabel*>())
        if (l->wordWrap() && l->height() < l->heightForWidth(l->width()))
            problems << "cut " + l->text();
    return problems;
}

}  // namespace

class ConfigDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;

    QString SettingsPath() const {
        return home_->filePath(QFileInfo(QCoreApplication::applicationFilePath()).baseName() +
                               ".INI");
    }
    std::unique_ptr<TKoruApp> Start(std::pair<int, int> screen) {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("KORUVIEW_HOME", home_->path().toUtf8());
        QFile ini(SettingsPath());
        if (ini.open(QIODevice::WriteOnly)) ini.write("[SYSTEM]\r\nVERSION=95.400\r\n");
        ini.close();
        auto app =
            koru::test::StartApp(screen, {std::string(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.sig"});
        koru::test::WaitShownAndLoaded(*app);
        return app;
    }
    static void Run(TKoruApp& app, Cmd c) { app.window()->Action(int(c))->trigger(); }

  private slots:
    void timeBaseRadioButtonsOkCancelAndKeys() {
        auto app = Start({1280, 1024});
        koru::SignalView& view = app->window()->View()->Model();
        view.ScrollTo(7, 0);
        QStringList seen;
        bool columns = false;
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            seen << d->windowTitle();
            for (int i = 0; i < 7; ++i) seen << d->Choice(i)->text();
            seen << QString::number(d->Index());
            auto at = [d](int i) { return d->Choice(i)->geometry().topLeft(); };
            columns = at(0).x() == at(6).x() && at(2).x() == at(4).x() && at(0).x() == at(2).x() &&
                      at(1).x() == at(5).x() && at(3).x() == at(1).x() && at(1).x() > at(0).x() &&
                      at(0).y() == at(1).y() && at(4).y() == at(5).y() && at(6).y() > at(4).y();
            Click(d->Choice(6));
            Click(d->findChild<QPushButton*>("1"));
        });
        Run(*app, Cmd::TimeBase);
        QCOMPARE(seen,
                 (QStringList{"Time Base", "640", "320", "160", "80", "40", "20", "10", "4"}));
        QVERIFY(columns);
        QCOMPARE(app->window()->FieldLabel(koru::Field::SampPerDiv)->text(), QString("10"));
        QCOMPARE(view.ScrollX(), 28);

        // Cancel keeps everything, whatever was clicked.
        bool tenChecked = false;
        OnModal<TTimeBaseDialog>([&](TTimeBaseDialog* d) {
            tenChecked = d->Choice(6)->isChecked();
            Click(d->Choice(0));
            Click(d->findChild<QPushButton*>("2"));
        });
        Run(*app, Cmd::TimeBase);
        QVERIFY(tenChecked);
        QCOMPARE(app->session().timeBase().Spd(), 10);
        QCOMPARE(view.ScrollX(), 28);
    }

    void configureIsCentredAlignedAndUnclippedOnBothScreens() {
        for (QSize screen : {QSize(1024, 768), QSize(1280, 1024)}) {
            auto app = Start({screen.width(), screen.height()});
            QStringList problems, seen;
            QPoint pos, want;
            OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
                problems = LayoutProblems(d, screen);
                pos = d->pos();
                want = QPoint((screen.width() - d->frameGeometry().width()) / 2,
                              (screen.height() - d->frameGeometry().height()) / 2);
                seen << d->windowTitle();
                std::vector<QPushButton*> row;
                for (int id : {ctl::kHelp, 2, 1, ctl::kSaveConf, ctl::kLoadConf, ctl::kLoadDefault,
                               ctl::kMakeDefault})
                    row.push_back(d->Button(id));
                std::sort(row.begin(), row.end(),
                          [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
                for (QPushButton* b : row) seen << b->text();
            });
            Run(*app, Cmd::Configure);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(", ")));
            QCOMPARE(pos, want);
            QCOMPARE(seen, (QStringList{"CONFIGURE", "Make Default", "Load Default", "Load Conf.",
                                        "Save Conf.", "OK", "Cancel", "Help"}));
        }
    }

    void spinBoxesTakeTypedValuesAndColoursShowSwatches() {
        auto app = Start({1280, 1024});
        QStringList seen;
        QList<QRgb> swatches;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            QSpinBox* size = d->Value(ctl::kSizeValue);
            QLineEdit* edit = size->findChild<QLineEdit*>();
            size->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, "17");
            QTest::keyClick(edit, Qt::Key_Return);
            seen << QString::number(size->value());
            edit->selectAll();
            QTest::keyClicks(edit, "3");
            seen << QString::number(size->value());  // not yet: no Enter
            QTest::keyClick(edit, Qt::Key_Enter);
            seen << QString::number(size->value());
            QComboBox* colours = d->List(ctl::kColorList);
            for (int i : {0, 14, 15}) {
                const QImage img = colours->itemIcon(i).pixmap(16, 12).toImage();
                swatches << (img.isNull() ? 0u : img.pixel(8, 6) & 0xFFFFFFu);
            }
            Click(d->Button(ctl::kSize + 0));
            Click(d->Button(1));
        });
        Run(*app, Cmd::Configure);
        QCOMPARE(seen, (QStringList{"17", "17", "3"}));
        QCOMPARE(app->session().channels().current[0].DisplaySize, 3);
        QCOMPARE(swatches, (QList<QRgb>{0x000000u, 0xFFFF00u, 0xFFFFFFu}));  // Black, Yellow, White
    }

    void configureControlsEditAndOkPutsThemInForce() {
        auto app = Start({1280, 1024});
        const koru::ChannelConfig before = app->session().channels().current;
        koru::SignalView& view = app->window()->View()->Model();
        QVERIFY(QTest::qWaitFor([&] { return !view.HasPendingRepaint(); }));
        QStringList seen;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            QSpinBox* position = d->Value(ctl::kPositionValue);
            QSpinBox* size = d->Value(ctl::kSizeValue);
            seen << d->List(ctl::kLeadList)->currentText()
                 << d->List(ctl::kColorList)->currentText() << position->text() << size->text();
            ClickArrow(position, true, 12);
            seen << position->text();
            ClickArrow(position, false, 12);
            ClickArrow(size, true, 25);
            seen << position->text() << size->text();
            ClickArrow(size, false, 25);
            seen << size->text();
            ClickArrow(size, true, 2);
            QComboBox* leads = d->List(ctl::kLeadList);
            leads->setFocus();
            for (int i = 0; i < 12; ++i) QTest::keyClick(leads, Qt::Key_Down);
            d->List(ctl::kColorList)->setCurrentIndex(15);
            Click(d->Button(ctl::kAmpChan + 0));
            for (int first : {ctl::kLeadName, ctl::kPosition, ctl::kColor, ctl::kSize})
                seen << d->Button(first + 0)->text();
            Click(d->MarkerBox(1));
            Click(d->Button(ctl::kColor + 2));
            Click(d->Button(1));
        });
        Run(*app, Cmd::Configure);
        QCOMPARE(seen, (QStringList{"<none>", "Red", "1", "5", "8", "0", "20", "1", "aVF", "0",
                                    "White", "3"}));
        const koru::ChannelConfig& now = app->session().channels().current;
        QCOMPARE(now[0], (koru::ChannelRecord{12, 0, 15, 3, before[0].HasMarker}));
        QCOMPARE(now[1].HasMarker, before[1].HasMarker == 1 ? 0 : 1);
        QCOMPARE(now[2].DisplayColor, 15);
        QVERIFY(view.HasPendingRepaint());
    }

    void configureFileButtonsGoThroughTheirDialogs() {
        auto app = Start({1280, 1024});
        QStringList seen;
        bool boxOwned = false;
        OnModal<TConfigureDialog>([&](TConfigureDialog* d) {
            OnModal<QFileDialog>([&](QFileDialog* f) {
                seen << f->directory().absolutePath() << f->nameFilters().join(";;");
                ChooseFile(f, "mine");  // gets ".cfg"
            });
            Click(d->Button(ctl::kSaveConf));
            OnModal<QFileDialog>([&](QFileDialog* f) { ChooseFile(f, "notes.txt"); });
            OnModal<QMessageBox>([&](QMessageBox* box) {
                seen << box->windowTitle() + ": " + box->text();
                boxOwned = box->parentWidget() == d;
            });
            Click(d->Button(ctl::kSaveConf));
            OnModal<QFileDialog>([&](QFileDialog* f) {
                ChooseFile(f, QString(KORU_EXAMPLES_DIR) + "/ptb_s0010_8lead.cfg");
            });
            Click(d->Button(ctl::kLoadConf));
            seen << d->Button(ctl::kLeadName + 3)->text();
            Click(d->Button(ctl::kMakeDefault));
            OnModal<TConfigureHelpDialog>([&](TConfigureHelpDialog* h) {
                seen << h->windowTitle() << QString::number(h->findChildren<QLabel*>().size());
                Click(h->findChild<QPushButton*>());
            });
            Click(d->Button(ctl::kHelp));
            d->reject();
        });
        Run(*app, Cmd::Configure);
        QCOMPARE(seen, (QStringList{home_->path(), "Configuration files (*.cfg)",
                                    "File Select Error: Can only save a \".cfg\" file.", "aVR",
                                    "Configure Help", "6"}));
        QVERIFY(boxOwned);
        QFile saved(home_->filePath("mine.cfg"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("1 1 9 5 0\r\n2 2 10 5 0\r\n"));
        QVERIFY(!QFile::exists(home_->filePath("notes.txt")));
        // Made default before Cancel: in the settings file, not in force.
        QFile ini(SettingsPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("CHAN4=10,4,13,5,0"));
        QCOMPARE(app->session().channels().current[3].LeadName, 4);
    }
};

QTEST_MAIN(ConfigDialogsTest)
#include "config_dialogs_test.moc"
