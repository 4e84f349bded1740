#pragma once
// Printed pages made by the program, read back with poppler's tools: the
// page count, the text of a page, a page as a picture, the images inside.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "signal/SignalHeader.h"

namespace koru::test {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run RunProgram(const QString& program, const QStringList& args,
                      const QString& home = QString()) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!home.isEmpty()) env.insert("KORUVIEW_HOME", home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000)) return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// 0 when the file is no PDF poppler can read.
inline int PdfPageCount(const QString& pdf) {
    const Run r = RunProgram("pdfinfo", {pdf});
    const QRegularExpressionMatch m = QRegularExpression("Pages:\\s+(\\d+)").match(r.out);
    return r.exitCode == 0 && m.hasMatch() ? m.captured(1).toInt() : 0;
}

inline QString PdfPageText(const QString& pdf, int page) {
    const QString n = QString::number(page);
    return RunProgram("pdftotext", {"-layout", "-f", n, "-l", n, pdf, "-"}).out;
}

// The page rendered at `dpi` dots per inch.
inline QImage PdfPageImage(const QString& pdf, int page, int dpi) {
    QTemporaryDir dir;
    const QString n = QString::number(page);
    const QString base = dir.path() + "/page";
    RunProgram("pdftoppm",
               {"-r", QString::number(dpi), "-f", n, "-l", n, "-singlefile", "-png", pdf, base});
    return QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
}

// Images embedded in the file; -1 when pdfimages cannot read it.
inline int PdfImageCount(const QString& pdf) {
    const Run r = RunProgram("pdfimages", {"-list", pdf});
    if (r.exitCode != 0) return -1;
    // A heading line, a rule, then one line per image.
    return static_cast<int>(r.out.split('\n', Qt::SkipEmptyParts).size()) - 2;
}

using SampleOf = std::function<int16_t(int64_t frame, int channel)>;

inline bool WriteSig(const QString& path, uint16_t channels, uint32_t interval, int64_t frames,
                     const SampleOf& sample) {
    SignalHeader h;
    h.ChannelCount = channels;
    h.Interval = interval;
    const HeaderBytes head = SerializeHeader(h);
    QByteArray bytes(reinterpret_cast<const char*>(head.data()),
                     static_cast<qsizetype>(head.size()));
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const auto v = static_cast<uint16_t>(sample(f, c));
            bytes.append(static_cast<char>(v & 0xFF));
            bytes.append(static_cast<char>(v >> 8));
        }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace koru::test
