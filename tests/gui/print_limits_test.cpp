// koruview --print-pdf where the user's data is at stake: a write-protected
// PDF is refused by name and kept, and running out of memory anywhere in
// the job ends in the memory message and status 1, never an abort.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Pdf.h"

namespace {

struct Job {
    QTemporaryDir home;
    QString sig = home.path() + "/rec.sig";
    QString pdf = home.path() + "/out.pdf";

    Job() {
        QFile ini(home.path() + "/koruview.INI");
        if (ini.open(QIODevice::WriteOnly)) ini.write("[SYSTEM]\r\nVERSION=95.400\r\n");
    }
    // Under `limitKb` of address space when given; through the shell's
    // exec, so a signal shows as a crash (exit code -1).
    koru::test::Run Print(long limitKb = 0) {
        const QString args =
            "--print-pdf '" + pdf + "' --pages all --screen 1024x768 '" + sig + "'";
        const QString limit = limitKb > 0 ? QString("ulimit -v %1 && ").arg(limitKb) : QString();
        return koru::test::RunProgram("sh", {"-c", limit + "exec " + KORUVIEW_BIN + " " + args},
                                      home.path());
    }
};

}  // namespace

class PrintLimitsTest : public QObject {
    Q_OBJECT

  private slots:
    void aWriteProtectedPdfIsRefusedByNameAndKept() {
        Job job;
        QVERIFY(koru::test::WriteSig(job.sig, 2, 1000, 5000,
                                     [](int64_t f, int) { return static_cast<int16_t>(f % 200); }));
        {
            QFile old(job.pdf);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        QVERIFY(
            QFile::setPermissions(job.pdf, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const koru::test::Run r = job.Print();
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Print Error: Cannot write " + job.pdf +
                                ": the file is write-protected. The file was not changed."),
                 qPrintable(r.err));
        QVERIFY2(!r.err.contains("not printed"), qPrintable(r.err));  // one message, not two
        QFile kept(job.pdf);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
        QCOMPARE(QDir(job.home.path()).entryList({"out.pdf*"}, QDir::Files).size(), 1);
    }

    // Limits from roomy down to where the program's libraries no longer
    // load (the loader's status 127): every run that starts ends in 0, or in
    // 1 with a memory message (printing, loading or drawing the view), and
    // some of them run out while printing.
    void runningOutOfMemoryEndsInTheMessageNeverAnAbort() {
        Job job;
        QVERIFY(koru::test::WriteSig(job.sig, 8, 1000, 100000, [](int64_t f, int c) {
            return static_cast<int16_t>((f * (c + 3)) % 2000 - 1000);
        }));
        int outOfMemory = 0;
        for (long mb = 260; mb >= 40; mb -= 20) {
            const koru::test::Run r = job.Print(mb * 1024);
            if (r.exitCode == 127) break;
            const QString what = QString("%1 MB: status %2\n%3").arg(mb).arg(r.exitCode).arg(r.err);
            QVERIFY2(r.exitCode == 0 || r.exitCode == 1, qPrintable(what));
            if (r.exitCode == 1)
                QVERIFY2(r.err.contains("not printed. Out of memory.") ||
                             r.err.contains("Insufficient Memory") ||
                             r.err.contains("Not enough memory to draw the view"),
                         qPrintable(what));
            if (r.err.contains("not printed. Out of memory.")) ++outOfMemory;
        }
        QVERIFY(outOfMemory > 0);
        QCOMPARE(QDir(job.home.path()).entryList({"out.pdf.tmp*"}, QDir::Files).size(), 0);
    }
};

QTEST_GUILESS_MAIN(PrintLimitsTest)
#include "print_limits_test.moc"
