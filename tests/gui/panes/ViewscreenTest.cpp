// The viewscreen: pixel conversion, the stitch layouts, the exposure aids, the histogram
// interval, and the
// latest-frame hand-over from the viewfinder thread (replacement, one wake-up, destruction
// while frames arrive).
#include "support/ThreadWait.h"
#include "support/PaneTestSupport.h"

#include "capture/CPictureControl.h"
#include "document/FocusPeaking.h"
#include "capture/CViewViewscreen.h"
#include "document/FrameBuffers.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

// An SDK frame (header + pixels) of one colour.
std::vector<std::uint8_t> solidFrame(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    std::vector<std::uint8_t> frame(FrameBuffers::kHeaderBytes + FrameBuffers::kPixelBytes);
    for (std::size_t i = FrameBuffers::kHeaderBytes; i < frame.size(); i += 3) {
        frame[i] = b;
        frame[i + 1] = g;
        frame[i + 2] = r;
    }
    return frame;
}

}   // namespace

class ViewscreenTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({})); }

    void rowsAreFlippedAndColoursSwapped() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        std::vector<std::uint8_t> pixels(FrameBuffers::kPixelBytes, 0);
        // Memory row 0 is the bottom row: a blue pixel at its left end.
        pixels[0] = 255;
        // Memory row 239, the top row: a red pixel at its right end (blue, green, red order).
        const std::size_t topRight = 239 * 960 + 319 * 3;
        pixels[topRight + 2] = 200;
        pixels[topRight + 1] = 10;
        screen.ShowFrame(CViewViewscreen::LivePicture, 320, 240, pixels.data());
        const QImage& image = screen.picture(CViewViewscreen::LivePicture)->image();
        QCOMPARE(image.size(), QSize(320, 240));
        QCOMPARE(image.pixel(0, 239), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(319, 0), qRgb(200, 10, 0));
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
        screen.ShowFrame(7, 320, 240, pixels.data());   // no such control: nothing happens
    }

    void layoutStitch_data() {
        QTest::addColumn<uint>("direction");
        QTest::addColumn<QPoint>("live");
        QTest::addColumn<int>("strip");
        QTest::addColumn<QRect>("stripRect");
        QTest::newRow("none") << 0u << QPoint(0, 20) << 0 << QRect();
        QTest::newRow("left") << 1u << QPoint(80, 20) << 1 << QRect(0, 20, 80, 240);
        QTest::newRow("right") << 2u << QPoint(0, 20) << 2 << QRect(320, 20, 80, 240);
        QTest::newRow("top") << 3u << QPoint(0, 100) << 3 << QRect(0, 20, 320, 80);
        QTest::newRow("bottom") << 4u << QPoint(0, 20) << 4 << QRect(0, 260, 320, 80);
    }
    void layoutStitch() {
        QFETCH(uint, direction);
        QFETCH(QPoint, live);
        QFETCH(int, strip);
        QFETCH(QRect, stripRect);
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        screen.resize(500, 400);
        screen.show();
        // Start from another layout so each row proves its own placement.
        fx.doc->PrepareStitchStrip(direction == 3 ? 1 : 3);
        screen.LayoutStitch();
        fx.doc->PrepareStitchStrip(direction);
        screen.LayoutStitch();
        QCOMPARE(screen.picture(0)->pos(), live);
        QCOMPARE(screen.picture(0)->size(), QSize(320, 240));
        for (int i = 1; i <= 4; ++i) QCOMPARE(screen.picture(i)->isVisible(), i == strip);
        if (strip) QCOMPARE(screen.picture(strip)->geometry(), stripRect);

        // An unknown direction changes nothing; resizing moves nothing.
        fx.doc->PrepareStitchStrip(9);
        screen.LayoutStitch();
        screen.resize(200, 100);
        QCOMPARE(screen.picture(0)->pos(), live);
        for (int i = 1; i <= 4; ++i) QCOMPARE(screen.picture(i)->isVisible(), i == strip);
    }

    // A grey picture with one test pixel at (7, 5): marked exactly when a channel is at 255, in
    // the mask and on screen, at the base size and drawn at twice it.
    void clippedPixelsMarkedExactly_data() {
        QTest::addColumn<QRgb>("pixel");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("254 254 254") << qRgb(254, 254, 254) << false;
        QTest::newRow("red 255") << qRgb(255, 0, 0) << true;
        QTest::newRow("green 255") << qRgb(254, 255, 254) << true;
        QTest::newRow("blue 255") << qRgb(0, 0, 255) << true;
        QTest::newRow("white") << qRgb(255, 255, 255) << true;
        QTest::newRow("black") << qRgb(0, 0, 0) << false;
    }
    void clippedPixelsMarkedExactly() {
        QFETCH(QRgb, pixel);
        QFETCH(bool, clipped);
        std::vector<std::uint8_t> pixels(FrameBuffers::kPixelBytes, 128);
        std::uint8_t* at = pixels.data() + (239 - 5) * 960 + 7 * 3;   // rows bottom-up, BGR
        at[0] = std::uint8_t(qBlue(pixel));
        at[1] = std::uint8_t(qGreen(pixel));
        at[2] = std::uint8_t(qRed(pixel));
        CPictureControl control;
        control.setFramePixels(320, 240, pixels.data());
        QCOMPARE(control.image().pixel(7, 5), pixel);

        QImage mask;
        CPictureControl::MarkClipped(control.image(), mask);
        const uchar* buffer = mask.constBits();
        CPictureControl::MarkClipped(control.image(), mask);
        QCOMPARE(mask.constBits(), buffer);   // the mask is reused, not made again
        int marked = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                marked += mask.pixel(x, y) == CPictureControl::kClippedColour;
        QCOMPARE(marked, clipped ? 1 : 0);
        QCOMPARE(mask.pixel(7, 5) == CPictureControl::kClippedColour, clipped);
        QCOMPARE(qAlpha(mask.pixel(8, 5)), 0);

        control.setHighlightClipped(true);
        for (int scale : {1, 2}) {
            control.resize(320 * scale, 240 * scale);
            const QImage shown = control.grab().toImage();
            QCOMPARE(QColor(shown.pixel(7 * scale, 5 * scale)).rgb(),
                     clipped ? CPictureControl::kClippedColour : pixel);
            QCOMPARE(QColor(shown.pixel(9 * scale, 5 * scale)).rgb(), qRgb(128, 128, 128));
        }
    }

    void thirdsGridDraws() {
        const std::vector<std::uint8_t> black(FrameBuffers::kPixelBytes, 0);
        CPictureControl control;
        control.resize(320, 240);
        control.setFramePixels(320, 240, black.data());
        QCOMPARE(control.grab().toImage().pixel(106, 50), qRgb(0, 0, 0));   // off by default
        control.setThirdsGrid(true);
        const QImage shown = control.grab().toImage();
        for (QPoint onLine : {QPoint(106, 50), QPoint(213, 50), QPoint(50, 80), QPoint(50, 160)})
            QVERIFY(shown.pixel(onLine) != qRgb(0, 0, 0));
        for (QPoint off : {QPoint(50, 50), QPoint(160, 120), QPoint(300, 230)})
            QCOMPARE(shown.pixel(off), qRgb(0, 0, 0));
    }

    void focusPeakingTintsEdgesOnly() {
        // A black picture whose right half is bright green: the column before the edge is
        // tinted once peaking is on, at the picture's size and scaled up; flat areas are not.
        std::vector<std::uint8_t> pixels(FrameBuffers::kPixelBytes, 0);
        for (int y = 0; y < 240; ++y)
            for (int x = 160; x < 320; ++x) pixels[(y * 320 + x) * 3 + 1] = 200;
        CPictureControl control;
        control.setFramePixels(320, 240, pixels.data());
        control.resize(320, 240);
        QCOMPARE(control.grab().toImage().pixel(159, 100), qRgb(0, 0, 0));
        control.setFocusPeaking(true);
        for (int scale : {1, 2}) {
            control.resize(320 * scale, 240 * scale);
            const QImage shown = control.grab().toImage();
            QCOMPARE(shown.pixel(160 * scale - 1, 100 * scale), kPeakingColour);
            QCOMPARE(shown.pixel(100 * scale, 100 * scale), qRgb(0, 0, 0));
            QCOMPARE(shown.pixel(200 * scale, 100 * scale), qRgb(0, 200, 0));
        }
    }

    void histogramOncePerInterval() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        // Creation showed a black picture: all 76,800 pixels in bin 0.
        QCOMPARE(fx.doc->histogram().bins[0], 76800.0f);
        const auto white = solidFrame(255, 255, 255);
        // Inside the interval the picture changes but the histogram does not.
        screen.ShowFrame(0, 320, 240, white.data() + FrameBuffers::kHeaderBytes);
        QCOMPARE(fx.doc->histogram().bins[0], 76800.0f);
        QCOMPARE(screen.picture(0)->image().pixel(5, 5), qRgb(255, 255, 255));
        // Once the interval is over the next frame recomputes it: white lands in bin 254.
        QTRY_VERIFY_WITH_TIMEOUT(
            (screen.ShowFrame(0, 320, 240, white.data() + FrameBuffers::kHeaderBytes),
             fx.doc->histogram().bins[254] == 76800.0f),
            5000);
        QCOMPARE(fx.doc->histogram().bins[255], 0.0f);
        QCOMPARE(fx.doc->histogram().peak, 76800.0f);
    }

    void newestFrameReplacesUnshownOnes() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        QCoreApplication::processEvents();
        const std::uint64_t shownBefore = screen.framesShown();
        const auto red = solidFrame(0, 0, 255);
        const auto green = solidFrame(0, 255, 0);
        // A viewfinder thread delivers 50 frames while the user-interface thread is busy.
        std::thread sdk([&] {
            for (int i = 0; i < 49; ++i) CViewViewscreen::DisplayFrame(red.data());
            CViewViewscreen::DisplayFrame(green.data());
        });
        sdk.join();
        QCoreApplication::processEvents();
        // One wake-up, one frame shown: the newest.
        QCOMPARE(screen.framesShown(), shownBefore + 1);
        QCOMPARE(screen.picture(0)->image().pixel(100, 100), qRgb(0, 255, 0));
        QCoreApplication::processEvents();
        QCOMPARE(screen.framesShown(), shownBefore + 1);
    }

    void framesThroughTheDocument() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        const std::uint64_t before = screen.framesShown();
        QVERIFY(sim::Simulator::cd().pushFrame());
        QTRY_COMPARE_WITH_TIMEOUT(screen.framesShown(), before + 1, kThreadWaitMs);
    }

    void destroyedWhileFramesArrive() {
        DocFixture fx;
        auto screen = std::make_unique<CViewViewscreen>(fx.doc.get());
        std::atomic<bool> stop{false};
        std::atomic<int> delivered{0};
        const auto frame = solidFrame(10, 20, 30);
        std::thread sdk([&] {
            while (!stop.load()) {
                CViewViewscreen::DisplayFrame(frame.data());
                delivered.fetch_add(1);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(delivered.load() > 20, kThreadWaitMs);
        QCoreApplication::processEvents();
        screen.reset();   // wake-ups still queued must not reach the destroyed pane
        const int atDestruction = delivered.load();
        QTRY_VERIFY_WITH_TIMEOUT(delivered.load() > atDestruction + 20, kThreadWaitMs);
        QCoreApplication::processEvents();
        stop.store(true);
        sdk.join();
        QCOMPARE(CViewViewscreen::instance(), nullptr);
    }
};

QTEST_MAIN(ViewscreenTest)
#include "ViewscreenTest.moc"
