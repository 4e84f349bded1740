// The program's picture: drawn from the compiled-in SVG that is also
// installed for the desktop, and given to the windows at start.

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "AppIcon.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

class AppIconTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    // How many pixels lean to the green of the upper trace.
    static int TracePixels(const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() == 255 && c.green() > c.red() + 50 && c.green() > c.blue() + 30) ++n;
            }
        return n;
    }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void drawsThePictureAtEachSize() {
        for (int size : {16, 48, 256}) {
            const QImage image = AppIconImage(size);
            QCOMPARE(image.size(), QSize(size, size));
            // Rounded corners stay clear; the screen in the middle is solid.
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
            QCOMPARE(image.pixelColor(size / 2, size * 3 / 4 - size / 20).alpha(), 255);
            QVERIFY2(TracePixels(image) > size / 4, qPrintable(QString::number(size)));
        }
        QVERIFY(AppIconImage(0).isNull());
    }

    void startGivesTheWindowsThePictureAndTheDesktopEntry() {
        auto app = koru::test::StartApp({1280, 1024});
        QCOMPARE(QGuiApplication::desktopFileName(), QString("koruview"));
        const QIcon icon = app->window()->windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(48, 48)));
        QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
        QCOMPARE(icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32),
                 AppIconImage(48).convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(AppIconTest)
#include "app_icon_test.moc"
