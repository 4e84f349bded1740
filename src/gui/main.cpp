#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "KoruApp.h"
#include "Render.h"
#include "platform/Paths.h"

namespace {

const char kUsage[] =
    "Usage: koruview [--screen WxH] [FILE]\n"
    "       koruview --render OUT.png [--screen WxH] [--spd N] FILE\n"
    "       koruview --version | --help\n"
    "\n"
    "Views a multichannel electrogram recording (.sig, .bin, .dat, .nib).\n"
    "  --screen WxH   take the screen as W by H pixels (headless runs, tests)\n"
    "  --render OUT   write the picture the view shows for FILE at start to the\n"
    "                 PNG file OUT, without a window (1024x768 unless --screen)\n"
    "  --spd N        with --render: N samples per division (640 ... 10) instead\n"
    "                 of the starting 40\n"
    "  --version      print the version and exit\n"
    "  --help         print this text and exit\n";

bool ParseScreen(const char* text, std::pair<int, int>& out) {
    int w = 0, h = 0;
    char x = 0;
    if (std::sscanf(text, "%d%c%d", &w, &x, &h) != 3 || (x != 'x' && x != 'X') || w < 100 ||
        h < 100 || w > 20000 || h > 20000)
        return false;
    out = {w, h};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    StartOptions options;
    options.argv0 = argv[0];
    RenderOptions render;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--version") == 0) {
            std::printf("KORU VIEW %s\n", KORU_VERSION_TEXT);
            return 0;
        }
        if (std::strcmp(a, "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::fputs(koru::DescribeProgramPaths(koru::FindProgramPaths(argv[0])).c_str(), stdout);
            return 0;
        }
        if (std::strcmp(a, "--screen") == 0 && i + 1 < argc) {
            std::pair<int, int> size;
            if (!ParseScreen(argv[++i], size)) {
                std::fprintf(stderr, "koruview: --screen wants WxH, as in 1280x1024\n");
                return 2;
            }
            options.screen = size;
            continue;
        }
        if (std::strcmp(a, "--render") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "koruview: --render wants an output file\n");
                return 2;
            }
            render.outPath = argv[++i];
            continue;
        }
        if (std::strcmp(a, "--spd") == 0 && i + 1 < argc) {
            render.spd = std::atoi(argv[++i]);
            if (TimeBaseIndexOf(render.spd) < 0) {
                std::fprintf(stderr, "koruview: --spd wants 640, 320, 160, 80, 40, 20 or 10\n");
                return 2;
            }
            continue;
        }
        if (a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "koruview: unknown option %s\n%s", a, kUsage);
            return 2;
        }
        options.files.emplace_back(a);
    }

    if (render.spd != 0 && render.outPath.empty()) {
        std::fprintf(stderr, "koruview: --spd goes with --render\n");
        return 2;
    }
    if (!render.outPath.empty()) {
        // No window and no display needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication gapp(argc, argv);
        return RenderToPng(options, render);
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("KORUVIEW");
    TKoruApp app(options);
    app.Start();
    return QApplication::exec();
}
