// The choice among a record's annotation files as the Ui port shows it: a
// small list with the one in use selected, asked only when there is a choice.

#include <QInputDialog>
#include <QtTest>

#include "QtUi.h"
#include "support/Modal.h"

namespace {

using koru::test::OnModal;

}  // namespace

class AnnotatorDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void listsTheAnnotatorsAndGivesTheOnePicked();
    void oneAnnotatorIsNoQuestion();
};

void AnnotatorDialogTest::listsTheAnnotatorsAndGivesTheOnePicked() {
    QtUi ui;
    const std::vector<std::string> names = {"gqrsh", "gqrsl", "sqrs"};
    QStringList shown;
    int selected = -1;
    OnModal<QInputDialog>([&](QInputDialog* dlg) {
        const QString png = qEnvironmentVariable("KORU_SHOT");
        if (!png.isEmpty()) dlg->grab().save(png);
        shown = dlg->comboBoxItems();
        selected = static_cast<int>(shown.indexOf(dlg->textValue()));
        dlg->setTextValue("sqrs");
        dlg->accept();
    });
    QCOMPARE(ui.ChooseAnnotator(names, 1), std::optional<int>(2));
    QCOMPARE(shown, (QStringList{"gqrsh", "gqrsl", "sqrs"}));
    QCOMPARE(selected, 1);  // the one in use

    OnModal<QInputDialog>([](QInputDialog* dlg) { dlg->reject(); });
    QCOMPARE(ui.ChooseAnnotator(names, 0), std::optional<int>());  // cancelled
}

void AnnotatorDialogTest::oneAnnotatorIsNoQuestion() {
    QtUi ui;
    QCOMPARE(ui.ChooseAnnotator({"atr"}, 0), std::optional<int>(0));
}

QTEST_MAIN(AnnotatorDialogTest)
#include "annotator_dialog_test.moc"
