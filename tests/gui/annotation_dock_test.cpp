// The annotation table and the annotation keys in the real window, on
// MIT-BIH 100: every annotation a row, a click goes there, the label box
// keeps Ctrl+Right and Ctrl+Left to one label, the toggles check.

#include <QComboBox>
#include <QMessageBox>
#include <QTableView>
#include <QtTest>

#include "AnnotationDock.h"
#include "ClientWin.h"
#include "support/AppHarness.h"
#include "support/Modal.h"

using koru::Cmd;

class AnnotationDockTest : public QObject {
    Q_OBJECT
  private slots:
    void tableListsEveryAnnotationAndAClickGoesThere();
    void labelBoxAndKeysStepThroughOneLabel();
};

namespace {

// The box saying only 2048 of the annotations became markers is closed.
std::unique_ptr<TKoruApp> Start100() {
    QString said;
    koru::test::OnModal<QMessageBox>([&said](QMessageBox* box) { said = box->text(); });
    auto app =
        koru::test::StartApp({1280, 1024}, {std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea"});
    if (!said.startsWith("Only the first 2048 of 2273 annotations")) qWarning() << said;
    return app;
}

}  // namespace

void AnnotationDockTest::tableListsEveryAnnotationAndAClickGoesThere() {
    auto app = Start100();
    QVERIFY(koru::test::WaitShownAndLoaded(*app));
    TKoruWin* w = app->window();
    TAnnotationDock* dock = w->AnnotationDock();
    QVERIFY(dock->isHidden());
    QVERIFY(w->Action(int(Cmd::NextAnnotation))->isEnabled());
    w->OnCommand(int(Cmd::ToggleAnnotationTable));
    QVERIFY(!dock->isHidden());
    QVERIFY(w->Action(int(Cmd::ToggleAnnotationTable))->isChecked());
    QTableView* table = dock->Table();
    QCOMPARE(table->model()->rowCount(), 2274);
    // Row 0 is the rhythm note "+" with its text "(N" at frame 18.
    QCOMPARE(table->model()->index(0, 1).data().toString(), QString("+"));
    QCOMPARE(table->model()->index(0, 2).data().toString(), QString("(N"));
    QCOMPARE(table->model()->index(2273, 1).data().toString(), QString("N"));
    // A click on the last row brings its annotation to the view.
    const QModelIndex last = table->model()->index(2273, 0);
    table->scrollTo(last);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(last).center());
    const int64_t frame = app->session().document().Annotations()[2273].frame;
    QCOMPARE(w->View()->Model().CurrentAnnotationFrame(), std::optional<int64_t>(frame));
    const int64_t shownFrom = w->View()->Model().FrameAtColumn(0);
    QVERIFY(shownFrom <= frame);
    QVERIFY(frame <= w->View()->Model().FrameAtColumn(w->View()->viewport()->width()));
    const QString png = qEnvironmentVariable("KORU_SHOT");
    if (!png.isEmpty()) w->grab().save(png);
    // Labels toggle with their check mark.
    QVERIFY(w->Action(int(Cmd::ToggleAnnotationLabels))->isChecked());
    w->OnCommand(int(Cmd::ToggleAnnotationLabels));
    QVERIFY(!w->Action(int(Cmd::ToggleAnnotationLabels))->isChecked());
    w->OnCommand(int(Cmd::ToggleAnnotationTable));
    QVERIFY(dock->isHidden());
}

void AnnotationDockTest::labelBoxAndKeysStepThroughOneLabel() {
    auto app = Start100();
    QVERIFY(koru::test::WaitShownAndLoaded(*app));
    TKoruWin* w = app->window();
    w->OnCommand(int(Cmd::ToggleAnnotationTable));
    QComboBox* box = w->AnnotationDock()->LabelChoice();
    const int a = box->findData(QString("A"));
    QVERIFY(a > 0);
    QCOMPARE(box->itemText(a), QString("A (33)"));
    box->setCurrentIndex(a);
    emit box->activated(a);
    QCOMPARE(app->session().annotationLabel, std::string("A"));
    const koru::AnnotationList& list = app->session().document().Annotations();
    // From the first annotation (the "+" at frame 18), before the first "A" at 2044.
    w->View()->Model().ShowAnnotation(0);
    QAction* next = w->Action(int(Cmd::NextAnnotation));
    QAction* previous = w->Action(int(Cmd::PreviousAnnotation));
    QCOMPARE(next->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Right));
    QCOMPARE(previous->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Left));
    int steps = 0;
    for (; steps < 40; ++steps) {
        const auto before = w->View()->Model().CurrentAnnotationFrame();
        next->trigger();
        const auto now = w->View()->Model().CurrentAnnotationFrame();
        if (now == before) break;
        const auto [first, end] = list.Range(*now, *now + 1);
        QVERIFY(first < end);
        QCOMPARE(list[first].label, std::string("A"));
    }
    QCOMPARE(steps, 33);
    // Past the last "A" the view stays; a step back reaches the one before it.
    const auto lastA = w->View()->Model().CurrentAnnotationFrame();
    previous->trigger();
    const auto back = w->View()->Model().CurrentAnnotationFrame();
    QVERIFY(back.has_value() && lastA.has_value() && *back < *lastA);
    QCOMPARE(list[list.Range(*back, *back + 1).first].label, std::string("A"));
}

QTEST_MAIN(AnnotationDockTest)
#include "annotation_dock_test.moc"
