// The Stitch and Astrophotography panels in the capture host: controls where the dialog units
// put them, the arrow group, each direction's strip against the cut of the frame that was live
// at the capture, "Clear Stitch", tab changes, the frame slider and the noise calibration.
#include "support/ThreadWait.h"
#include "support/PaneTestSupport.h"

#include "kit/DialogUnits.h"
#include "capture/CCapAstroDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CPictureControl.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "sdk/FrameHeader.h"
#include "sdk/sim/Scene.h"
#include "document/StripCut.h"
#include "sdk/sdk.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QWheelEvent>
#include <QApplication>
#include <QtTest>

#include <atomic>
#include <vector>

using namespace testsupport;

namespace {

// The host with the viewscreen, as the main frame builds them; asked: the room last asked for.
struct Window {
    DocFixture fx;
    CViewViewscreen screen{fx.doc.get()};
    CViewMain host{fx.doc.get()};
    QSize asked;
    Window() {
        QObject::connect(&host, &CViewMain::viewscreenSpaceWanted,
                         [this](QSize space) { asked = space; });
        host.resize(480, 220);
        host.show();
        screen.resize(400, 340);
        screen.show();
    }
    CCapStitchDlg& stitch() { return *host.stitchPanel(); }
    CCapAstroDlg& astro() { return *host.astroPanel(); }
    void connect() {
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
    }
};

// An SDK frame (header + pixels) with every pixel byte the same.
std::vector<std::uint8_t> flatFrame(std::uint8_t value) {
    std::vector<std::uint8_t> frame(sdk::kFrameBytes, value);
    sdk::WriteFrameHeader(frame.data());
    return frame;
}

// The last frame the document handed to the display, first pixel byte.
std::atomic<int> gShownByte{-1};
void KeepFirstByte(const std::uint8_t* frame) {
    gShownByte.store(frame[FrameBuffers::kHeaderBytes]);
}

int relay(std::vector<std::uint8_t> frame) {
    CViewDoc::FrameRelay(frame.data(), static_cast<std::uint32_t>(frame.size()), 0, nullptr);
    return gShownByte.load();
}

QImage stripImage(const FrameBuffers::Strip& strip, std::uint32_t direction) {
    QImage image;
    const bool vertical = direction <= 2;
    ConvertFramePixels(vertical ? 80 : 320, vertical ? 240 : 80, strip.data(), image);
    return image;
}

}   // namespace

class CapturePanelsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        // Small pictures, so that saving stays quick under the sanitizers.
        ResetSimulators(WorldOf({SmallCamera("Cd One")}), WorldOf({}));
    }

    void stitchControls() {
        Window w;
        CCapStitchDlg& s = w.stitch();
        QCOMPARE(s.captureButton()->text(), QStringLiteral("Capture Photo"));
        QCOMPARE(s.captureButton()->geometry(), dluRect(7, 7, 67, 14));
        QCOMPARE(s.clearButton()->text(), QStringLiteral("Clear Stitch"));
        QCOMPARE(s.clearButton()->geometry(), dluRect(7, 28, 50, 14));
        const struct {
            int id;
            QRect place;
        } radios[] = {{1004, {125, 0, 10, 8}},
                      {1002, {77, 43, 10, 8}},
                      {1005, {125, 87, 10, 8}},
                      {1003, {174, 43, 10, 8}}};
        for (const auto& r : radios) {
            QVERIFY(s.arrow(r.id));
            QCOMPARE(s.arrow(r.id)->geometry(), dluRect(r.place.x(), r.place.y(), 10, 8));
            QCOMPARE(s.arrow(r.id)->text(), QString());
            QCOMPARE(s.arrow(r.id)->isChecked(), r.id == 1002);
        }
        QCOMPARE(s.arrow(1006), nullptr);
        const struct {
            int id;
            int x, y, width, height;
        } bitmaps[] = {{141, 109, 8, 64, 32},
                       {139, 88, 27, 32, 64},
                       {142, 109, 66, 64, 32},
                       {140, 151, 27, 32, 64},
                       {144, 109, 27, 64, 64}};
        for (const auto& b : bitmaps) {
            QLabel* label = s.bitmap(b.id);
            QVERIFY(label);
            QCOMPARE(label->geometry(), QRect(dluX(b.x), dluY(b.y), b.width, b.height));
            QCOMPARE(label->pixmap().size(), QSize(b.width, b.height));
            QCOMPARE(label->pixmap().depth(), 32);   // loaded: a null pixmap has depth 0
        }

        // One group: checking an arrow unchecks the others; the direction follows the click.
        QTest::mouseClick(s.arrow(1004), Qt::LeftButton);
        for (int id = 1002; id <= 1005; ++id) QCOMPARE(s.arrow(id)->isChecked(), id == 1004);
        QCOMPARE(w.fx.doc->stitchDirection(), 3u);
    }

    void astroControls() {
        Window w;
        CCapAstroDlg& a = w.astro();
        QCOMPARE(a.captureButton()->text(), QStringLiteral("Capture Photo"));
        QCOMPARE(a.captureButton()->geometry(), dluRect(7, 7, 67, 14));
        QCOMPARE(a.group()->title(), QStringLiteral("Viewfinder"));
        QCOMPARE(a.group()->geometry(), dluRect(7, 31, 185, 52));
        const struct {
            const char* text;
            QRect place;
        } labels[] = {{"Additive Frames:", {14, 44, 55, 8}},
                      {"0", {78, 36, 8, 8}},
                      {"150", {172, 36, 13, 8}}};
        for (const auto& l : labels) {
            auto* label = a.findChild<QLabel*>(QString::fromLatin1(l.text));
            QVERIFY(label);
            QCOMPARE(label->text(), QString::fromLatin1(l.text));
            // At its place, and wide and tall enough for its text (issue 17: not cut off).
            const QRect place =
                dluRect(l.place.x(), l.place.y(), l.place.width(), l.place.height());
            QCOMPARE(label->y(), place.y());
            QVERIFY(label->x() >= place.x());
            QVERIFY(label->width() >= label->sizeHint().width());
            QVERIFY(label->height() >= label->sizeHint().height());
        }
        // The slider follows its caption and ends where the dialog puts it.
        const QRect sliderBox = dluRect(74, 43, 110, 11);
        QVERIFY(a.slider()->x() > a.findChild<QLabel*>("Additive Frames:")->geometry().right());
        QCOMPARE(a.slider()->geometry().right(), sliderBox.right());
        QVERIFY(a.calibrateButton()->width() >= a.calibrateButton()->sizeHint().width());
        // The number of added frames beside the slider, its widest texts whole, the button
        // after it.
        QCOMPARE(a.framesLabel()->text(), QStringLiteral("no frames added"));
        for (const char* text : {"no frames added", "150 frames added"})
            QVERIFY(QFontMetrics(a.framesLabel()->font()).horizontalAdvance(text) <=
                    a.framesLabel()->width());
        QVERIFY(a.framesLabel()->geometry().right() < a.calibrateButton()->x());
        QCOMPARE(a.slider()->minimum(), 0);
        QCOMPARE(a.slider()->maximum(), 150);
        QCOMPARE(a.slider()->value(), 0);
        QCOMPARE(a.slider()->tickPosition(), QSlider::TicksAbove);
        QCOMPARE(a.calibrateButton()->text(), QStringLiteral("Calibrate for Noise"));
        QVERIFY(a.calibrateButton()->geometry().bottom() < a.group()->geometry().bottom());

        // The value follows the thumb while it is dragged.
        w.host.tabs()->setCurrentIndex(CViewMain::AstroTab);
        a.slider()->setSliderDown(true);
        a.slider()->setSliderPosition(37);
        QCOMPARE(w.fx.doc->additiveFrames(), 37);
        QCOMPARE(a.framesLabel()->text(), QStringLiteral("37 frames added"));
        a.slider()->setSliderDown(false);
        QTest::keyClick(a.slider(), Qt::Key_End);
        QCOMPARE(w.fx.doc->additiveFrames(), 150);
        // The wheel moves the slider only while it has the keyboard focus.
        a.slider()->clearFocus();
        QWheelEvent wheel(QPointF(5, 5), a.slider()->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(a.slider(), &wheel);
        QCOMPARE(a.slider()->value(), 150);
    }

    void directionStrips_data() {
        QTest::addColumn<int>("radio");
        QTest::addColumn<uint>("direction");
        QTest::addColumn<QPoint>("live");
        QTest::addColumn<QSize>("panes");
        QTest::newRow("left") << 1002 << 1u << QPoint(80, 20) << QSize(400, 260);
        QTest::newRow("right") << 1003 << 2u << QPoint(0, 20) << QSize(400, 260);
        QTest::newRow("top") << 1004 << 3u << QPoint(0, 100) << QSize(320, 340);
        QTest::newRow("bottom") << 1005 << 4u << QPoint(0, 20) << QSize(320, 340);
    }
    void directionStrips() {
        QFETCH(int, radio);
        QFETCH(uint, direction);
        QFETCH(QPoint, live);
        QFETCH(QSize, panes);
        Window w;
        w.connect();
        w.host.tabs()->setCurrentIndex(CViewMain::StitchTab);
        QVERIFY(sim::Simulator::cd().pushFrame());
        const FrameBuffers::Frame atCapture = w.fx.doc->liveFrame();
        QTest::mouseClick(w.stitch().captureButton(), Qt::LeftButton);
        const QFileInfo shot(w.fx.dir.filePath("Photo-0000.jpg"));
        QCOMPARE(w.fx.console.text(), "Capturing Photo...\r\nPhoto Captured\r\n" +
                                          CViewDoc::SavedLine("Photo-0000.jpg", shot.size()));
        QVERIFY(w.fx.doc->previousShot() == atCapture);
        // Later frames change the live frame, not the strip.
        QVERIFY(sim::Simulator::cd().pushFrame());
        QVERIFY(w.fx.doc->liveFrame() != atCapture);

        QTest::mouseClick(w.stitch().arrow(radio), Qt::LeftButton);
        QCOMPARE(w.fx.doc->stitchDirection(), direction);
        FrameBuffers::Strip expected{};
        CutStrip(atCapture, direction, expected);
        FrameBuffers::Strip shown{};
        w.fx.doc->CopyOverlapStrip(shown.data());
        QVERIFY(shown == expected);
        QCOMPARE(w.screen.picture(int(direction))->image(), stripImage(expected, direction));
        QVERIFY(w.screen.picture(int(direction))->isVisible());
        QCOMPARE(w.screen.picture(0)->pos(), live);
        QCOMPARE(w.asked, panes);
    }

    void clearStitchLeavesTheStripUntilTheNextLayout() {
        Window w;
        w.connect();
        w.host.tabs()->setCurrentIndex(CViewMain::StitchTab);
        QVERIFY(sim::Simulator::cd().pushFrame());
        QTest::mouseClick(w.stitch().captureButton(), Qt::LeftButton);
        const QImage before = w.screen.picture(1)->image();
        const FrameBuffers::Strip black{};
        QVERIFY(before != stripImage(black, 1));

        QTest::mouseClick(w.stitch().clearButton(), Qt::LeftButton);
        QVERIFY(w.fx.doc->previousShot() == FrameBuffers::Frame{});
        QCOMPARE(w.screen.picture(1)->image(), before);
        QTest::mouseClick(w.stitch().arrow(1002), Qt::LeftButton);
        QCOMPARE(w.screen.picture(1)->image(), stripImage(black, 1));
    }

    void tabChangesResetAndReapply() {
        Window w;
        w.connect();
        w.host.tabs()->setCurrentIndex(CViewMain::StitchTab);
        QVERIFY(sim::Simulator::cd().pushFrame());
        QTest::mouseClick(w.stitch().captureButton(), Qt::LeftButton);
        const FrameBuffers::Frame shot = w.fx.doc->previousShot();
        QTest::mouseClick(w.stitch().arrow(1003), Qt::LeftButton);

        w.host.tabs()->setCurrentIndex(CViewMain::AstroTab);
        w.astro().slider()->setValue(5);
        QCOMPARE(w.fx.doc->additiveFrames(), 5);
        QCOMPARE(w.fx.doc->stitchDirection(), 0u);
        QVERIFY(w.screen.picture(2)->isHidden());

        w.host.tabs()->setCurrentIndex(CViewMain::StitchTab);
        QCOMPARE(w.fx.doc->additiveFrames(), 0);
        QCOMPARE(w.fx.doc->stitchDirection(), 2u);
        QVERIFY(w.stitch().arrow(1003)->isChecked());
        FrameBuffers::Strip expected{};
        CutStrip(shot, 2, expected);
        QCOMPARE(w.screen.picture(2)->image(), stripImage(expected, 2));
        QCOMPARE(w.asked.width(), 400);

        w.host.tabs()->setCurrentIndex(CViewMain::NormalTab);
        QCOMPARE(w.fx.doc->additiveFrames(), 0);
        w.host.tabs()->setCurrentIndex(CViewMain::AstroTab);
        QCOMPARE(w.fx.doc->additiveFrames(), 5);
        QVERIFY(w.fx.doc->previousShot() == shot);
    }

    void calibration() {
        Window w;
        w.fx.doc->setOnFrame(&KeepFirstByte);
        w.host.tabs()->setCurrentIndex(CViewMain::AstroTab);
        w.astro().slider()->setValue(1);
        QCOMPARE(relay(flatFrame(10)), 10);
        QCOMPARE(relay(flatFrame(10)), 20);   // the previous frame and this one

        // At N > 0 the window's sum becomes the reference, subtracted from later sums.
        QTest::mouseClick(w.astro().calibrateButton(), Qt::LeftButton);
        QCOMPARE(w.fx.console.text(), std::string("Calibrating noise...\r\n"));
        QCOMPARE(relay(flatFrame(10)), 0);
        QCOMPARE(relay(flatFrame(25)), 15);

        // At 0 the reference is cleared.
        w.astro().slider()->setValue(0);
        QTest::mouseClick(w.astro().calibrateButton(), Qt::LeftButton);
        QCOMPARE(w.fx.console.text(),
                 std::string("Calibrating noise...\r\nCalibrating noise...\r\n"));
        QCOMPARE(relay(flatFrame(7)), 7);   // not stacking
        // The window kept 10 and 25 meanwhile: 10 leaves, 7 joins, nothing is subtracted.
        w.astro().slider()->setValue(1);
        QCOMPARE(relay(flatFrame(7)), 32);
    }

    void overlapLineFollowsTheStrip() {
        Window w;
        w.connect();
        w.host.tabs()->setCurrentIndex(CViewMain::StitchTab);
        QVERIFY(sim::Simulator::cd().pushFrame());
        QTest::mouseClick(w.stitch().captureButton(), Qt::LeftButton);
        // The live picture still shows the strip's content, 240 px right of where it continues.
        QTRY_VERIFY_WITH_TIMEOUT(w.stitch().overlapLine()->text().startsWith("Overlap: "),
                                 kThreadWaitMs);
        QTest::mouseClick(w.stitch().clearButton(), Qt::LeftButton);
        QTest::mouseClick(w.stitch().arrow(1002), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.stitch().overlapLine()->text(), QString(), kThreadWaitMs);
        w.host.tabs()->setCurrentIndex(CViewMain::NormalTab);
        QCOMPARE(w.stitch().overlapLine()->text(), QString());
    }
};

QTEST_MAIN(CapturePanelsTest)
#include "CapturePanelsTest.moc"
