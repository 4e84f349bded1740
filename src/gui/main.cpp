#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "KoruApp.h"
#include "Render.h"
#include "platform/Paths.h"

namespace {

const char kUsage[] =
    "Usage: koruview [--screen WxH] [FILE]\n"
    "       koruview --render OUT.png [--screen WxH] [--spd N] FILE\n"
    "       koruview --print-pdf OUT.pdf [--pages all|selection|F-T] [--scroll D]\n"
    "                [--screen WxH] [--spd N] FILE\n"
    "       koruview --version | --help\n"
    "\n"
    "Views a multichannel electrogram recording: the program's own layouts\n"
    "(.sig, .bin, .dat, .nib) and EDF/EDF+ (.edf), BDF/BDF+ (.bdf), GDF (.gdf),\n"
    "WFDB records by their header (.hea) and SCP-ECG (.scp).\n"
    "  --screen WxH    take the screen as W by H pixels (headless runs, tests)\n"
    "  --render OUT    write the picture the view shows for FILE at start to the\n"
    "                  PNG file OUT, without a window (1024x768 unless --screen)\n"
    "  --print-pdf OUT print FILE into the PDF file OUT, without a window, as\n"
    "                  File > Print does: one screen-wide page each, A4 across\n"
    "  --pages P       with --print-pdf: selection (the page at the screen's left\n"
    "                  edge, the default), all, or a page range F-T such as 3-4\n"
    "  --scroll D      with --print-pdf: the screen starts D divisions into the\n"
    "                  recording (where the selection begins); 0 unless given\n"
    "  --spd N         with --render or --print-pdf: N samples per division\n"
    "                  (640 ... 10) instead of the starting 40\n"
    "  --version       print the version and exit\n"
    "  --help          print this text and exit\n";

int UsageError(const char* text) {
    std::fprintf(stderr, "koruview: %s\n", text);
    return 2;
}

bool ParseScreen(const QString& text, std::pair<int, int>& out) {
    const QStringList parts = text.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    bool okW = false, okH = false;
    if (parts.size() != 2) return false;
    const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 100 || h < 100 || w > 20000 || h > 20000) return false;
    out = {w, h};
    return true;
}

bool ParseCount(const QString& text, int& out) {
    bool ok = false;
    out = text.toInt(&ok);
    return ok && out >= 0;
}

// Everything the command line can ask for.
struct Request {
    std::vector<QString> decoded;  // argv as the parser saw it
    std::vector<std::string> raw;  // and as given
    StartOptions start;
    RenderOptions render;
    PrintPdfOptions print;
    bool printPdf = false;
};

struct Options {
    QCommandLineOption help{QStringList{"h", "help"}};
    QCommandLineOption version{"version"};
    QCommandLineOption screen{"screen", "", "WxH"};
    QCommandLineOption render{"render", "", "OUT.png"};
    QCommandLineOption printPdf{"print-pdf", "", "OUT.pdf"};
    QCommandLineOption pages{"pages", "", "P"};
    QCommandLineOption scroll{"scroll", "", "D"};
    QCommandLineOption spd{"spd", "", "N"};
};

// The bytes an argument was given as. Decoding is lossy for names that are
// not valid in the locale's encoding, and a file name must stay the file's.
// Arguments are matched in order from `from`, which moves past the match.
std::string RawOf(const QString& arg, const Request& r, std::size_t& from) {
    for (std::size_t i = from; i < r.decoded.size(); ++i) {
        if (r.decoded[i] == arg) {
            from = i + 1;
            return r.raw[i];
        }
    }
    return arg.toLocal8Bit().toStdString();
}
std::string RawOf(const QString& arg, const Request& r) {
    std::size_t from = 1;
    return RawOf(arg, r, from);
}

// The options' values into the request; 0, or the exit code of a usage error.
int TakeValues(const QCommandLineParser& parser, const Options& o, Request& r) {
    std::size_t from = 1;
    for (const QString& f : parser.positionalArguments())
        r.start.files.push_back(RawOf(f, r, from));
    if (parser.isSet(o.screen)) {
        std::pair<int, int> size;
        if (!ParseScreen(parser.value(o.screen), size))
            return UsageError("--screen wants WxH, as in 1280x1024");
        r.start.screen = size;
    }
    const bool render = parser.isSet(o.render);
    r.printPdf = parser.isSet(o.printPdf);
    if (render && r.printPdf) return UsageError("--render and --print-pdf go one at a time");
    r.render.outPath = RawOf(parser.value(o.render), r);
    r.print.outPath = RawOf(parser.value(o.printPdf), r);
    if (parser.isSet(o.spd)) {
        int n = 0;
        if (!ParseCount(parser.value(o.spd), n) || TimeBaseIndexOf(n) < 0)
            return UsageError("--spd wants 640, 320, 160, 80, 40, 20 or 10");
        if (!render && !r.printPdf) return UsageError("--spd goes with --render or --print-pdf");
        r.render.spd = r.print.spd = n;
    }
    if ((parser.isSet(o.pages) || parser.isSet(o.scroll)) && !r.printPdf)
        return UsageError("--pages and --scroll go with --print-pdf");
    if (parser.isSet(o.pages) && !ParsePages(parser.value(o.pages).toStdString(), r.print))
        return UsageError("--pages wants all, selection or F-T, as in 3-4");
    if (parser.isSet(o.scroll)) {
        int d = 0;
        if (!ParseCount(parser.value(o.scroll), d))
            return UsageError("--scroll wants a number of divisions, 0 or more");
        r.print.scroll = d;
    }
    if (render && r.render.outPath.empty()) return UsageError("--render wants an output file");
    if (r.printPdf && r.print.outPath.empty())
        return UsageError("--print-pdf wants an output file");
    return 0;
}

// 0: carry on; -1: help or version answered; otherwise the exit code of a
// usage error, already explained.
int ParseCommandLine(int argc, char** argv, Request& r) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
        r.decoded.push_back(args.back());
        r.raw.emplace_back(argv[i]);
    }
    QCommandLineParser parser;
    const Options o;
    parser.addOptions(
        {o.help, o.version, o.screen, o.render, o.printPdf, o.pages, o.scroll, o.spd});
    parser.addPositionalArgument("FILE", "");
    if (!parser.parse(args)) {
        std::fprintf(stderr, "koruview: %s\n%s", qPrintable(parser.errorText()), kUsage);
        return 2;
    }
    if (parser.isSet(o.version)) {
        std::printf("KORU VIEW %s\n", KORU_VERSION_TEXT);
        return -1;
    }
    if (parser.isSet(o.help)) {
        std::fputs(kUsage, stdout);
        std::fputs(koru::DescribeProgramPaths(koru::FindProgramPaths(argv[0])).c_str(), stdout);
        return -1;
    }
    r.start.argv0 = argv[0];
    return TakeValues(parser, o, r);
}

// An allocation that fails inside an event handler must not unwind through
// Qt's event loop, which ends the program: the user is told, the action is
// dropped and the program goes on.
class TKoruApplication final : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            QMessageBox::critical(activeWindow(), "Error",
                                  "KORU VIEW -- Insufficient Memory: the last action was not "
                                  "completed.");
            return false;
        }
    }
};

int RunHeadless(int argc, char** argv, const Request& r) {
    // No window and no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication gapp(argc, argv);
    try {
        return r.printPdf ? PrintToPdf(r.start, r.print) : RenderToPng(r.start, r.render);
    } catch (const std::bad_alloc&) {
        std::fputs("koruview: KORU VIEW -- Insufficient Memory: the operation was not completed.\n",
                   stderr);
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Request r;
    if (const int code = ParseCommandLine(argc, argv, r); code != 0) return code < 0 ? 0 : code;
    if (!r.render.outPath.empty() || r.printPdf) return RunHeadless(argc, argv, r);

    TKoruApplication qapp(argc, argv);
    QApplication::setApplicationName("KORUVIEW");
    TKoruApp app(r.start);
    app.Start();
    return QApplication::exec();
}
