// The real client window driven with mouse and key events: tags, a
// measurement line and the marker keys reach the view and the menus, the
// scroll bars move the view only when let go.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "ClientWin.h"
#include "KoruApp.h"
#include "KoruWin.h"
#include "support/AppHarness.h"

using koru::Cmd;

class ClientInteractionTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    std::unique_ptr<TKoruApp> Start(const std::string& file) {
        auto app = koru::test::StartApp({800, 600}, {file});
        return koru::test::WaitShownAndLoaded(*app) ? std::move(app) : nullptr;
    }

    static QString Cut(TKoruApp& app) { return app.window()->FieldLabel(koru::Field::Cut)->text(); }
    static bool Enabled(TKoruApp& app, Cmd c) {
        return app.window()->Action(static_cast<int>(c))->isEnabled();
    }
    static void RightDrag(QWidget* w, QPoint from, QPoint to) {
        QTest::mousePress(w, Qt::RightButton, {}, from);
        QTest::mouseMove(w, to);
        QTest::mouseRelease(w, Qt::RightButton, {}, to);
    }

  private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("KORUVIEW_HOME", home_.path().toUtf8());
    }

    void tagsLineAndMarkerKeysReachTheViewAndTheMenus() {
        auto app = Start(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig");
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        QWidget* port = view->viewport();
        const koru::SignalView& model = view->Model();
        QVERIFY(!Enabled(*app, Cmd::SaveMarkers));
        QVERIFY(!Enabled(*app, Cmd::SaveAs));

        // One tag, its time live while dragging (spd 40 at 1 kHz: 4 ms a column).
        QTest::mousePress(port, Qt::RightButton, {}, QPoint(100, 100));
        QCOMPARE(port->cursor().shape(), Qt::SizeHorCursor);
        QTest::mouseMove(port, QPoint(150, 120));
        QTRY_COMPARE(Cut(*app), QString("00:00.600"));
        QTest::mouseRelease(port, Qt::RightButton, {}, QPoint(120, 120));
        QCOMPARE(model.TagCount(), 1);
        QCOMPARE(model.Tags()[0].Sample, 480);
        QCOMPARE(Cut(*app), QString("00:00.480"));
        QVERIFY(port->cursor().shape() != Qt::SizeHorCursor);
        QVERIFY(!Enabled(*app, Cmd::SaveAs));

        // Insert turns it into a marker: Save Markers comes on.
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Insert);
        QCOMPARE(app->session().document().Markers().items, (std::vector<int32_t>{480}));
        QCOMPARE(model.TagCount(), 0);
        QCOMPARE(Cut(*app), QString());
        QVERIFY(Enabled(*app, Cmd::SaveMarkers));

        // A tag pair, the second left of the first: the cutout commands.
        RightDrag(port, QPoint(200, 80), QPoint(200, 80));
        RightDrag(port, QPoint(60, 80), QPoint(50, 80));
        QCOMPARE(model.TagCount(), 2);
        // A first start turns physical units on: the cutout's duration follows.
        QCOMPARE(Cut(*app), QString("00:00.200 to 00:00.800 = 600.0 ms"));
        QVERIFY(Enabled(*app, Cmd::SaveAs));
        QVERIFY(Enabled(*app, Cmd::AppendTo));
        QVERIFY(Enabled(*app, Cmd::MeasureAmplitude));

        // A measurement line; what is shown is the buffer with it.
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(300, 150));
        QTest::mouseMove(port, QPoint(330, 170));
        QTest::mouseMove(port, QPoint(360, 200));
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(360, 200));
        QCOMPARE(model.LineCount(), 1);
        QCOMPARE(koru::LineLabel(model.MeasurementLines()[0]), std::string("240"));
        QCoreApplication::processEvents();
        const QImage shown = port->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, view->Picture().copy(shown.rect()));

        // Ctrl + left click takes the last line away; a double click is two
        // clicks, as the view knows no double clicks.
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(100, 250));
        QTest::mouseMove(port, QPoint(140, 260));
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(140, 260));
        // Qt gives a widget the second press of a double click as a double click.
        QTest::mouseClick(port, Qt::LeftButton, Qt::ControlModifier, QPoint(10, 10));
        QTest::mouseDClick(port, Qt::LeftButton, Qt::ControlModifier, QPoint(10, 10));
        QTest::mouseRelease(port, Qt::LeftButton, Qt::ControlModifier, QPoint(10, 10));
        QCOMPARE(model.LineCount(), 0);

        // The keypad's decimal point deletes the marker between the tags.
        QTest::keyClick(view, Qt::Key_Period, Qt::KeypadModifier);
        QVERIFY(app->session().document().Markers().items.empty());
        QCOMPARE(model.TagCount(), 0);
        QVERIFY(!Enabled(*app, Cmd::SaveMarkers));
        QVERIFY(!Enabled(*app, Cmd::SaveAs));

        // Ctrl + right click removes the last tag placed.
        RightDrag(port, QPoint(70, 80), QPoint(70, 80));
        RightDrag(port, QPoint(90, 80), QPoint(90, 80));
        QTest::mouseClick(port, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
        QCOMPARE(model.TagCount(), 1);
        QCOMPARE(Cut(*app), QString("00:00.280"));
    }

    void aDragReleasedOutsideTheWindowStaysWithTheView() {
        auto app = Start(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig");
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        QWidget* port = view->viewport();
        QTest::mousePress(port, Qt::RightButton, {}, QPoint(30, 100));
        QTest::mouseMove(port, QPoint(-20, 100));
        QTest::mouseRelease(port, Qt::RightButton, {}, QPoint(-20, 100));
        QCOMPARE(view->Model().TagCount(), 1);
        QCOMPARE(view->Model().Tags()[0].Sample, -80);
        QCOMPARE(Cut(*app), QString("00:00.000"));
    }

    void keysTheWheelAndTheBarsScroll() {
        auto app = Start(KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig");
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        const koru::SignalView& model = view->Model();
        QScrollBar* h = view->horizontalScrollBar();
        QScrollBar* v = view->verticalScrollBar();
        QWidget* port = view->viewport();
        QCOMPARE(h->maximum(), 960);  // 38 400 frames at 40 a division
        // A page is what the window shows, never more than the screen's 78.
        const int page = std::min(78, port->width() / 10);
        QCOMPARE(h->pageStep(), page);
        QCOMPARE(v->maximum(), 16);
        QCOMPARE(v->pageStep(), 8);

        view->setFocus();
        struct Step {
            Qt::Key key;
            int x, y;
        };
        for (const Step& s :
             {Step{Qt::Key_Right, 1, 0}, Step{Qt::Key_PageDown, 1 + page, 0},
              Step{Qt::Key_Left, page, 0}, Step{Qt::Key_PageUp, 0, 0}, Step{Qt::Key_End, 960, 0},
              Step{Qt::Key_Down, 960, 1}, Step{Qt::Key_Home, 0, 1}, Step{Qt::Key_Up, 0, 0}}) {
            QTest::keyClick(view, s.key);
            QCOMPARE(model.ScrollX(), s.x);
            QCOMPARE(model.ScrollY(), s.y);
            QCOMPARE(h->value(), s.x);
        }

        // The wheel moves through time, Shift+wheel through the slots; not
        // while a drag holds the mouse.
        auto wheel = [&](Qt::KeyboardModifiers mods) {
            QWheelEvent e(QPointF(50, 50), port->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, mods, Qt::NoScrollPhase, false);
            QApplication::sendEvent(port, &e);
        };
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(50, 50));
        wheel(Qt::NoModifier);
        QCOMPARE(model.ScrollX(), 0);
        QCOMPARE(h->value(), 0);  // the bar stays with the view
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(50, 50));
        wheel(Qt::NoModifier);
        QCOMPARE(model.ScrollX(), 3);
        QCOMPARE(model.ScrollY(), 0);
        QCOMPARE(h->value(), 3);
        wheel(Qt::ShiftModifier);
        QCOMPARE(model.ScrollY(), 1);
        QCOMPARE(v->value(), 1);
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(view, Qt::Key_Up);

        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(model.ScrollX(), 1);
        h->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(model.ScrollX(), 1 + page);
        QCOMPARE(h->value(), 1 + page);
        v->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(model.ScrollY(), 16);

        // Dragging the thumb moves only the thumb; letting go moves the view.
        h->setSliderDown(true);
        h->setSliderPosition(500);
        QCOMPARE(model.ScrollX(), 1 + page);
        h->setSliderDown(false);
        QCOMPARE(model.ScrollX(), 500);
        QCOMPARE(h->value(), 500);
        h->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(model.ScrollX(), 960);
        h->triggerAction(QAbstractSlider::SliderPageStepAdd);  // stops at the range
        QCOMPARE(h->value(), 960);

        QCoreApplication::processEvents();
        const QImage shown =
            view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, view->Picture().copy(shown.rect()));
    }

    void longRecordingsScaleTheThumbToSixteenBits() {
        // 1 400 000 frames of one channel: 35 000 divisions at spd 40.
        QByteArray bytes(326, '\0');
        bytes[0] = 1;
        const quint32 interval = 1000;
        for (int i = 0; i < 4; ++i) bytes[2 + i] = static_cast<char>((interval >> (8 * i)) & 0xFF);
        bytes.append(QByteArray(2 * 1'400'000, '\0'));
        const QString path = home_.filePath("LONG.sig");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();

        auto app = Start(path.toStdString());
        QVERIFY(app);
        TClientWin* view = app->window()->View();
        QScrollBar* h = view->horizontalScrollBar();
        QCOMPARE(view->Model().HorizontalRange(), 35'000);
        QCOMPARE(h->maximum(), 32'767);
        h->setSliderDown(true);
        h->setSliderPosition(16'384);
        h->setSliderDown(false);
        QCOMPARE(view->Model().ScrollX(), 17'500);
        QCOMPARE(h->value(), 16'383);
        // Let go where the view already is: the thumb still shows the view's place.
        h->setSliderDown(true);
        h->setSliderPosition(16'384);
        h->setSliderDown(false);
        QCOMPARE(view->Model().ScrollX(), 17'500);
        QCOMPARE(h->value(), 16'383);
        h->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(view->Model().ScrollX(), 35'000);
        QCOMPARE(h->value(), 32'767);
    }

    void keypadKeysMapToTheViewsKeys() {
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Insert, {}), int(koru::kKeyInsert));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Insert, Qt::KeypadModifier), int(koru::kKeyInsert));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Delete, Qt::KeypadModifier), int(koru::kKeyDelete));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_0, Qt::KeypadModifier), int(koru::kKeyNumpad0));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Comma, Qt::KeypadModifier), int(koru::kKeyDecimal));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_0, {}), 0);  // the main row's 0 is no key here
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Period, {}), 0);
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_PageDown, Qt::KeypadModifier),
                 int(koru::kKeyPageDown));
        QCOMPARE(TClientWin::ViewKeyOf(Qt::Key_Home, {}), int(koru::kKeyHome));
    }
};

QTEST_MAIN(ClientInteractionTest)
#include "client_interaction_test.moc"
