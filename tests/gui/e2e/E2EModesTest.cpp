// The Stitch and Astrophotography tabs end to end over the simulated camera: a capture, the
// scene turned by a known amount and the overlap line that reads it; the slider brightening the
// shown picture while the saved pictures stay as the camera took them.
#include "support/ThreadWait.h"
#include "support/E2eSupport.h"

#include "capture/CCapAstroDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CPictureControl.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

namespace {

double meanLuma(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) sum += row[x];
    }
    return sum / (double(gray.width()) * gray.height());
}

// Pushes frames one by one and lets the window show the last.
void push(testsupport::Window& w, int frames) {
    for (int i = 0; i < frames; ++i) QVERIFY(sim::Simulator::cd().pushFrame());
    const auto shown = w.viewscreen()->framesShown();
    QVERIFY(sim::Simulator::cd().pushFrame());
    QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shown, kThreadWaitMs);
}

}   // namespace

class E2eModesTest : public QObject {
    Q_OBJECT
private slots:
    void stitchReadsTheTurn() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(w.document()->cdDriver().isOpen());
        w.host()->tabs()->setCurrentIndex(CViewMain::StitchTab);   // the left arrow: direction 1
        CCapStitchDlg* stitch = w.host()->stitchPanel();
        push(w, 1);
        QTest::mouseClick(stitch->captureButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(w.shotsFolder() + "Photo-0000.jpg"), kThreadWaitMs);

        // The simulated scene drifts half a pixel a frame: 468 frames turn it 234 px, 6 short
        // of where the live picture continues the 80-px strip cut 240 px from the left.
        push(w, 467);
        QTRY_VERIFY_WITH_TIMEOUT(stitch->overlapLine()->text().startsWith(
                                     QStringLiteral("Overlap: move 6 px left - match ")),
                                 kThreadWaitMs);
        // Six pixels (twelve frames) on, the live picture continues the strip.
        push(w, 11);
        QTRY_VERIFY_WITH_TIMEOUT(
            stitch->overlapLine()->text().startsWith(QStringLiteral("Overlap: aligned - match ")),
            kThreadWaitMs);
    }

    void astroBrightensTheDisplayNotThePictures() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        w.host()->tabs()->setCurrentIndex(CViewMain::AstroTab);
        CCapAstroDlg* astro = w.host()->astroPanel();
        CPictureControl* live = w.viewscreen()->picture(CViewViewscreen::LivePicture);

        double previous = -1;
        for (int frames : {0, 1, 3}) {
            astro->slider()->setValue(frames);
            push(w, frames + 1);   // fill the window
            const double mean = meanLuma(live->image());
            QVERIFY2(mean > previous * 1.5, qPrintable(QString::number(mean)));
            previous = mean;
        }

        // Saved pictures come from the camera as it took them: stacking leaves them alone.
        QTest::mouseClick(astro->captureButton(), Qt::LeftButton);
        astro->slider()->setValue(0);
        push(w, 1);
        QTest::mouseClick(astro->captureButton(), Qt::LeftButton);
        const QString stacked = w.shotsFolder() + "Photo-0000.jpg";
        const QString plain = w.shotsFolder() + "Photo-0001.jpg";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(stacked) && QFile::exists(plain), kThreadWaitMs);
        const double a = meanLuma(QImage(stacked)), b = meanLuma(QImage(plain));
        QVERIFY2(std::abs(a - b) < 2.0, qPrintable(QStringLiteral("%1 %2").arg(a).arg(b)));
    }
};

QTEST_MAIN(E2eModesTest)
#include "E2EModesTest.moc"
