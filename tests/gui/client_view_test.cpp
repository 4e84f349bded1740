// The Signal view in the real window on the offscreen platform: the widget
// shows the back buffer, and the View toggles and the names button reach
// the picture.

#include <QAbstractScrollArea>
#include <QTemporaryDir>
#include <QtTest>

#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

using koru::Cmd;

class ClientViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    std::unique_ptr<TKoruApp> Start() {
        auto app = koru::test::StartApp({800, 600}, {KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig"});
        return koru::test::WaitShownAndLoaded(*app) ? std::move(app) : nullptr;
    }

    static QImage Shown(TClientWin* view) {
        QCoreApplication::processEvents();
        return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Pixels of `color` in the picture's box.
    static int CountIn(const QImage& image, const QRect& box, QRgb color) {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) n += image.pixel(x, y) == color;
        return n;
    }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void showsTheBackBuffer() {
        auto app = Start();
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        const QImage shown = Shown(view);
        const QImage buffer = view->Picture().copy(shown.rect());
        QCOMPARE(shown, buffer);
        // The recording is drawn: the first trace's colour is on screen.
        const koru::ColorRef c =
            app->session().channels().colors.Ref(app->session().channels().current[0].DisplayColor);
        QVERIFY(CountIn(shown, shown.rect(),
                        qRgb(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c))) > 100);
    }

    void dotsToggleRepaintsTheView() {
        auto app = Start();
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        const QRect grid(0, 25, 60, 20);  // below the time hacks, above the first trace
        const int before = CountIn(Shown(view), grid, qRgb(255, 255, 255));
        QVERIFY(before >= 12);
        app->window()->OnCommand(static_cast<int>(Cmd::ToggleDots));
        QCOMPARE(CountIn(Shown(view), grid, qRgb(255, 255, 255)), 0);
        app->window()->OnCommand(static_cast<int>(Cmd::ToggleDots));
        QCOMPARE(CountIn(Shown(view), grid, qRgb(255, 255, 255)), before);
    }

    void namesButtonWritesNamesAfterScrolling() {
        auto app = Start();
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        koru::SignalView& model = view->Model();
        // Position 3's name hangs below its baseline at the left edge.
        const int baseline = model.BaselineY(3);
        const QRect nameBox(10, baseline + 2, 30, 8);
        const koru::ColorRef c =
            app->session().channels().colors.Ref(app->session().channels().current[3].DisplayColor);
        const QRgb color = qRgb(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
        QVERIFY(CountIn(Shown(view), nameBox, color) > 0);

        model.SetScroll(5, 0);
        model.InvalidateAll();
        QCOMPARE(CountIn(Shown(view), nameBox, color), 0);
        app->window()->OnCommand(static_cast<int>(Cmd::PopChannelNames));
        QVERIFY(CountIn(Shown(view), nameBox, color) > 0);
    }
};

QTEST_MAIN(ClientViewTest)
#include "client_view_test.moc"
