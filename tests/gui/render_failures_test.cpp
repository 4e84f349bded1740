// koruview --render on what the window would refuse or warn about: the
// box's text on stderr, exit status 1, never a hang, and the picture of what
// could be shown whenever there is a recording to show.

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Pdf.h"

namespace {

struct Result {
    int exitCode = -1;  // -1: crashed, or killed after hanging
    QString err;
};

// One render with the settings folder `home`, through a shell so that a
// memory limit can be set first; ended after 30 seconds.
Result Render(const QString& home, const QString& recording, const QString& png,
              const QString& before = QString(), const QString& extra = QString()) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KORUVIEW_HOME", home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    const QString command = before + " exec '" + KORUVIEW_BIN + "' --render '" + png + "' " +
                            extra + " '" + recording + "'";
    p.start("/bin/sh", {"-c", command});
    Result r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit) r.exitCode = p.exitCode();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A one-channel recording of `bytes` sample bytes, all but the header a hole.
bool SparseSig(const QString& path, qint64 bytes) {
    if (!koru::test::WriteSig(path, 1, 1000, 0, [](int64_t, int) { return 0; })) return false;
    return ::truncate(path.toLocal8Bit().constData(), 326 + bytes) == 0;
}

bool Settings(const QString& home, const QByteArray& text) {
    QFile ini(home + "/koruview.INI");
    return ini.open(QIODevice::WriteOnly) && ini.write(text) == text.size();
}

bool Mkfifo(const QString& path) {
    return ::mkfifo(path.toLocal8Bit().constData(), 0600) == 0;
}

}  // namespace

class RenderFailuresTest : public QObject {
    Q_OBJECT

  private slots:
    void pipeAsTheRecordingCannotBeOpened() {
        QTemporaryDir home;
        const QString pipe = home.path() + "/pipe.sig", png = home.path() + "/out.png";
        QVERIFY(Mkfifo(pipe));
        const Result r = Render(home.path(), pipe, png);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Error: KORU VIEW -- Cannot open file: "), qPrintable(r.err));
        QVERIFY(!QFile::exists(png));
    }

    void settingsFileThatIsAPipeIsWarnedAboutAndTheRecordingShown() {
        QTemporaryDir home;
        const QString sig = home.path() + "/rec.sig", png = home.path() + "/out.png";
        QVERIFY(koru::test::WriteSig(sig, 1, 1000, 5000, [](int64_t f, int) { return f % 200; }));
        QVERIFY(Mkfifo(home.path() + "/koruview.INI"));
        const Result r = Render(home.path(), sig, png);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("WARNING: KORU VIEW -- Cannot write settings file: "),
                 qPrintable(r.err));
        QVERIFY(QFile::exists(png));
        QVERIFY(QFileInfo(home.path() + "/koruview.INI").isFile() == false);
    }

    void settingsFileOverOneMegabyteIsNamedAndLeftAlone() {
        QTemporaryDir home;
        const QString sig = home.path() + "/rec.sig", png = home.path() + "/out.png";
        QVERIFY(koru::test::WriteSig(sig, 1, 1000, 5000, [](int64_t f, int) { return f % 200; }));
        const QByteArray text = "[SYSTEM]\r\nDOTS=0\r\n" + QByteArray(2 << 20, ';');
        QVERIFY(Settings(home.path(), text));
        const Result r = Render(home.path(), sig, png);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(
            r.err.contains("larger than 1 MB") && r.err.contains(home.path() + "/koruview.INI"),
            qPrintable(r.err));
        QVERIFY(QFile::exists(png));
        QFile ini(home.path() + "/koruview.INI");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll() == text);
    }

    void framesPastTheSignedCountAreWarnedAboutAndTheRestShown() {
        QTemporaryDir home;
        const QString sig = home.path() + "/huge.sig", png = home.path() + "/out.png";
        QVERIFY(SparseSig(sig, 2 * (qint64{INT32_MAX} + 5)));
        QVERIFY(Settings(home.path(), "[SYSTEM]\r\nVERSION=95.400\r\nFILEMODE=1\r\n"));
        const Result r = Render(home.path(), sig, png);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("WARNING: Only the first 2147483647 frames of " + sig.toUpper() +
                                " can be shown."),
                 qPrintable(r.err));
        QVERIFY(QFile::exists(png));
    }

    // Under ulimit -v: a recording larger than the memory left opens whole
    // (read from the file as it is shown), and a picture larger than it is
    // refused with a message, which does not kill the run.
    void underAMemoryLimitTheRunEndsWithAMessage() {
        QTemporaryDir home;
        const QString sig = home.path() + "/big.sig", png = home.path() + "/out.png";
        QVERIFY(SparseSig(sig, qint64{1} << 30));
        QVERIFY(Settings(home.path(), "[SYSTEM]\r\nVERSION=95.400\r\n"));
        const QString limit = "ulimit -v 700000;";
        const Result load = Render(home.path(), sig, png, limit);
        QCOMPARE(load.exitCode, 0);
        QVERIFY2(!load.err.contains("Insufficient Memory"), qPrintable(load.err));
        QVERIFY(QFile::exists(png));

        const QString small = home.path() + "/small.sig", none = home.path() + "/none.png";
        QVERIFY(koru::test::WriteSig(small, 1, 1000, 100, [](int64_t, int) { return 0; }));
        const Result huge = Render(home.path(), small, none, limit, "--screen 20000x20000");
        QCOMPARE(huge.exitCode, 1);
        QVERIFY2(huge.err.contains("Not enough memory to draw the view at 20000 x 20000 pixels"),
                 qPrintable(huge.err));
        QVERIFY(!QFile::exists(none));
    }
};

QTEST_GUILESS_MAIN(RenderFailuresTest)
#include "render_failures_test.moc"
