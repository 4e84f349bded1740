// The Data Channels and Signal Amplitude dialogs as the Ui port shows them:
// their texts and layout, the ticks clicked, and the ways to close them.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "CutoutDialogs.h"
#include "QtUi.h"
#include "support/Modal.h"

namespace {

using koru::test::OnModal;

void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

QStringList LabelTexts(QWidget* w) {
    QStringList texts;
    for (const QLabel* l : w->findChildren<QLabel*>()) texts << l->text();
    return texts;
}

}  // namespace

class CutoutDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void channelTicksSurviveEveryWayOutAndStartFull();
    void amplitudeShowsEightValuesInTwoColumns();
    void onlyTheRecordingsChannelsStartTicked();
};

void CutoutDialogsTest::onlyTheRecordingsChannelsStartTicked() {
    for (int count : {2, 5, 8}) {
        TChannelSelectDialog dlg(nullptr, count);
        std::array<bool, 8> want{};
        for (int i = 0; i < 8; ++i) {
            want[static_cast<std::size_t>(i)] = i < count;
            QCOMPARE(dlg.Box(i)->isChecked(), i < count);
        }
        QCOMPARE(dlg.Selection(), want);
        QCOMPARE(dlg.SelectedCount(), count);
    }
}

void CutoutDialogsTest::channelTicksSurviveEveryWayOutAndStartFull() {
    QtUi ui;
    bool seen = false;
    OnModal<TChannelSelectDialog>([&](TChannelSelectDialog* dlg) {
        seen = true;
        QCOMPARE(dlg->windowTitle(), QString("Data Channels"));
        QVERIFY(LabelTexts(dlg).contains("Select which\nchannels to\nsave or append."));
        for (int i = 0; i < 8; ++i) {
            QCheckBox* box = dlg->findChild<QCheckBox*>(QString::number(101 + i));
            QVERIFY(box);
            QCOMPARE(box->text(), QString("Chan %1").arg(i + 1));
            QVERIFY(box->isChecked());
        }
        ClickBox(dlg->Box(1));
        ClickBox(dlg->Box(4));
        ClickBox(dlg->Box(6));
        ClickBox(dlg->Box(6));
        QCOMPARE(dlg->SelectedCount(), 6);
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    const std::array<bool, 8> picked = ui.ChannelSelectDialog();
    QVERIFY(seen);
    QCOMPARE(picked, (std::array<bool, 8>{true, false, true, true, false, true, true, true}));

    // A new dialog each time: all eight ticked again.
    OnModal<TChannelSelectDialog>([](TChannelSelectDialog* dlg) {
        QVERIFY(dlg->Box(1)->isChecked());
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    QCOMPARE(ui.ChannelSelectDialog(),
             (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
}

void CutoutDialogsTest::amplitudeShowsEightValuesInTwoColumns() {
    QtUi ui;
    bool seen = false;
    OnModal<TAmplitudeDialog>([&](TAmplitudeDialog* dlg) {
        seen = true;
        QCOMPARE(dlg->windowTitle(), QString("Signal Amplitude"));
        for (int i = 0; i < 8; ++i) {
            QLabel* value = dlg->findChild<QLabel*>(QString::number(400 + i));
            QVERIFY(value);
            QCOMPARE(value->text(), QString("Channel %1:  %2").arg(i + 1).arg(i * 100));
        }
        // Channels 1 to 4 down the left, 5 to 8 down the right.
        QVERIFY(dlg->Value(4)->x() > dlg->Value(0)->x() + dlg->Value(0)->width() / 2);
        QCOMPARE(dlg->Value(4)->y(), dlg->Value(0)->y());
        QVERIFY(dlg->Value(3)->y() > dlg->Value(2)->y());
        QVERIFY(LabelTexts(dlg).contains(
            "Presented above are the differences between the highest and lowest values in the "
            "selected range.  These values are \"actual\" digital source differences and are not "
            "scaled to milli-volts."));
        QTest::mouseClick(dlg->findChild<QPushButton*>("1"), Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
    });
    ui.AmplitudeDialog({0, 100, 200, 300, 400, 500, 600, 700});
    QVERIFY(seen);
}

QTEST_MAIN(CutoutDialogsTest)
#include "cutout_dialogs_test.moc"
