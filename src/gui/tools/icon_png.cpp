// Build step: writes the program's picture as a PNG of the given size for the
// installed icon theme, through the same drawing as the window icon.
// Usage: koru_icon_png SIZE OUT.png

#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "AppIcon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: koru_icon_png SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "koru_icon_png: SIZE wants 16 to 1024\n");
        return 2;
    }
    // No display is needed to draw into an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage image = AppIconImage(size);
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "koru_icon_png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
