// Files that crashed, hung or exhausted the general reading library, opened
// through the window's Open command over a recording with changed markers:
// the markers are asked about first, the file is refused with the reason on
// the box's third line, and the window lives on.

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "KoruApp.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

using koru::Cmd;

class ForeignCrashersTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_, data_;

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
            if (text) *text = box->text();
            box->button(button)->click();
            return true;
        };
    }
    static std::function<bool(QWidget*)> Choose(const QString& path) {
        return [=](QWidget* w) {
            auto* dlg = qobject_cast<QFileDialog*>(w);
            if (!dlg) return false;
            dlg->selectFile(path);
            // After this step returns, so a box the dialog raises is the next step's.
            QTimer::singleShot(0, dlg, [dlg] { static_cast<QDialog*>(dlg)->accept(); });
            return true;
        };
    }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid() && data_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void everyCrasherIsRefusedAndTheWindowLivesOn() {
        const QString rec = data_.filePath("rec.sig");
        QVERIFY(QFile::copy(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig", rec));
        auto app = koru::test::StartApp({1280, 1024}, {rec.toStdString()});
        QVERIFY(koru::test::WaitShownAndLoaded(*app));
        TKoruWin* win = app->window();
        const QDir crashers(QDir(KORU_REAL_DATA_DIR "/../crashers").canonicalPath());
        const QStringList files = crashers.entryList({"*.gdf", "*.scp"}, QDir::Files);
        QCOMPARE(files.size(), 22);
        const QStringList reasons = {"reader stopped on this file.",
                                     "reader ran out of time on this file.",
                                     "reader ran out of memory on this file."};
        int named = 0;
        for (const QString& name : files) {
            const QString path = crashers.filePath(name);
            // A recording with changed markers is open before each: the
            // example again after a refusal closed it.
            if (!app->session().document().IsOpen())
                app->session().OpenRecording(rec.toStdString(), false);
            QVERIFY2(app->session().document().IsOpen(), qPrintable(name));
            app->session().document().Markers().items.push_back(1234);

            // Cancel at the question keeps the recording and its changed markers.
            QString question;
            {
                Script s({Answer(QMessageBox::Cancel, &question)});
                win->Action(int(Cmd::Open))->trigger();
                QCOMPARE(s.done, 1u);
            }
            QVERIFY2(question.contains("were changed. Save them?"), qPrintable(question));
            QVERIFY(app->session().document().IsOpen());
            QCOMPARE(app->session().document().Markers().items.back(), 1234);

            // No lets them go; the file chosen is then refused, or opens
            // when it is the sound cut of a real file.
            QString refusal;
            const bool sound = name.startsWith("02_");
            {
                Script s(
                    {Answer(QMessageBox::No), Choose(path), Answer(QMessageBox::Ok, &refusal)});
                win->Action(int(Cmd::Open))->trigger();
                QTRY_COMPARE_WITH_TIMEOUT(s.done, sound ? 2u : 3u, 10000);
            }
            QVERIFY(win->isVisible());
            if (sound) {
                QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
                QVERIFY(app->session().document().IsOpen());
                continue;
            }
            const QStringList lines = refusal.split('\n');
            QVERIFY2(lines.size() >= 3 && lines[0].contains("Invalid file"), qPrintable(refusal));
            QVERIFY2(!lines[2].trimmed().isEmpty(), qPrintable(refusal));
            named += std::any_of(reasons.begin(), reasons.end(),
                                 [&](const QString& r) { return lines[2].endsWith(r); });
            QVERIFY(!app->session().document().IsOpen());
        }
        // All but the header the library itself refuses (01_, with its own
        // reason) end in its crash, hang or runaway allocation.
        QCOMPARE(named, 20);
    }
};

QTEST_MAIN(ForeignCrashersTest)
#include "foreign_crashers_test.moc"
