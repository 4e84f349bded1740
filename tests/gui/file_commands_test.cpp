// The real windows of Convert TXT to SIG, Save Markers and the question
// that guards changed markers when the main window closes.

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

using koru::Cmd;

class FileCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_, data_;

    std::unique_ptr<TKoruApp> StartWithRecording() {
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
        const QString copy = data_.filePath("rec.sig");
        QFile::remove(copy);
        QFile::copy(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig", copy);
        auto app = koru::test::StartApp({1280, 1024}, {copy.toStdString()});
        if (!koru::test::WaitShownAndLoaded(*app)) return nullptr;
        return app;
    }

    // Steps run one after the other, each when a modal window of its kind is up.
    struct Script {
        std::vector<std::function<bool(QWidget*)>> steps;
        std::size_t done = 0;
        QTimer timer;
        explicit Script(std::vector<std::function<bool(QWidget*)>> s) : steps(std::move(s)) {
            timer.setInterval(10);
            QObject::connect(&timer, &QTimer::timeout, [this] {
                QWidget* modal = QApplication::activeModalWidget();
                if (done < steps.size() && modal && modal->isVisible() && steps[done](modal))
                    ++done;
            });
            timer.start();
        }
    };

    static std::function<bool(QWidget*)> Answer(QMessageBox::StandardButton button,
                                                QString* text = nullptr) {
        return [=](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) return false;
            if (text) {
                *text = box->windowTitle() + "|" + box->text() + "|" +
                        QString::number(int(box->icon())) + "|" +
                        QString::number(int(box->standardButtons()));
            }
            box->button(button)->click();
            return true;
        };
    }
    static std::function<bool(QWidget*)> CancelFileDialog(QString* title) {
        return [=](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            if (!dlg) return false;
            *title = dlg->windowTitle();
            dlg->reject();
            return true;
        };
    }

  private slots:
    void closingWithChangedMarkersAsksFirst() {
        auto app = StartWithRecording();
        QVERIFY(app);
        TKoruWin* win = app->window();
        app->session().document().Markers().items.push_back(1234);

        QString question;
        {
            Script s({Answer(QMessageBox::Cancel, &question)});
            QVERIFY(!win->close());
            QCOMPARE(s.done, 1u);
        }
        QVERIFY(win->isVisible());
        const QString shown = QString::fromStdString(app->session().document().FileName());
        QCOMPARE(question, "KORU VIEW|The markers of " + shown + " were changed. Save them?|" +
                               QString::number(int(QMessageBox::Question)) + "|" +
                               QString::number(
                                   int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)));
        {
            // Yes, then the Save Markers dialog cancelled: the window stays.
            QString title;
            Script s({Answer(QMessageBox::Yes), CancelFileDialog(&title)});
            QVERIFY(!win->close());
            QCOMPARE(s.done, 2u);
            QCOMPARE(title, QString("Save As"));
        }
        {
            Script s({Answer(QMessageBox::No)});
            win->Action(int(Cmd::Exit))->trigger();
            QCOMPARE(s.done, 1u);
        }
        QVERIFY(!win->isVisible());
    }

    void appendToRefusesANameThatDoesNotExist() {
        auto app = StartWithRecording();
        QVERIFY(app);
        koru::SignalView& view = app->window()->View()->Model();
        for (int x : {300, 700}) {
            view.OnRightDown(x, 50, false);
            view.OnRightUp(x, 50);
        }
        QCOMPARE(view.TagCount(), 2);
        const QString missing = data_.filePath("missing.sig");
        QFile::remove(missing);
        QString title, refusal;
        Script s({[&](QWidget* w) {
                      auto* dlg = qobject_cast<QFileDialog*>(w);
                      if (!dlg) return false;
                      title = dlg->windowTitle();
                      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
                      if (!name) return false;
                      name->setText(missing);
                      // Queued: the refusal opens inside accept, after this step counts.
                      QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
                      return true;
                  },
                  [&](QWidget* w) {
                      auto* box = qobject_cast<QMessageBox*>(w);
                      if (!box) {  // a dialog after the file one: the name was taken
                          refusal = w->metaObject()->className();
                          if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
                          return true;
                      }
                      refusal = box->text();
                      box->button(QMessageBox::Ok)->click();
                      return true;
                  },
                  [&](QWidget* w) {
                      if (auto* dlg = qobject_cast<QFileDialog*>(w)) {
                          dlg->reject();
                          return true;
                      }
                      auto* box = qobject_cast<QMessageBox*>(w);  // the append went on
                      if (!box) return false;
                      refusal += " then " + box->text();
                      box->button(QMessageBox::Ok)->click();
                      return true;
                  }});
        app->window()->Action(int(Cmd::AppendTo))->trigger();
        // No Data Channels dialog came up and nothing was made.
        QCOMPARE(s.done, 3u);
        QCOMPARE(title, QString("Append To"));
        QVERIFY2(refusal.contains("File not found.") && !refusal.contains(" then "),
                 qPrintable(refusal));
        QVERIFY(!QFile::exists(missing));
    }

    void convertShowsItsTwoTitledDialogs() {
        auto app = StartWithRecording();
        QVERIFY(app);
        QFile text(data_.filePath("in.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Number of Channels: 1  Interval:10\r\nScale: 1\r\nd\r\n1 2\r\n");
        text.close();
        QString first, second;
        // The second dialog is cancelled, so only the first is answered with a file.
        Script s({[&](QWidget* w) {
                      auto* dlg = qobject_cast<QFileDialog*>(w);
                      if (!dlg) return false;
                      first = dlg->windowTitle();
                      auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
                      if (!name) return false;
                      name->setText(text.fileName());
                      QTest::keyClick(name, Qt::Key_Return);
                      return true;
                  },
                  CancelFileDialog(&second)});
        app->window()->Action(int(Cmd::Convert))->trigger();
        QCOMPARE(s.done, 2u);
        QCOMPARE(first, QString("Text file to Convert"));
        QCOMPARE(second, QString("Signal file to Create"));
        QCOMPARE(app->window()->MessageField()->text(),
                 QString::fromUtf8(koru::kIdleStatusMessage.data(),
                                   int(koru::kIdleStatusMessage.size())));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
