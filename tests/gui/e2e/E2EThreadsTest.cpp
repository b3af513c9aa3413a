// Under load: the simulated camera streams 240 frames a second while the window switches
// capture tabs and takes pictures, and while the Stitch and Astrophotography panels are worked
// (arrows, slider drags, calibration, the overlap readout). Run under ThreadSanitizer by the
// threaded pass.
#include "support/ThreadWait.h"
#include "support/E2eSupport.h"

#include "capture/CCapAstroDlg.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/OverlapReadout.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

class E2eThreadsTest : public QObject {
    Q_OBJECT
private slots:
    void streamWhileSwitchingAndCapturing() {
        testsupport::Window w(240);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(w.document()->cdDriver().isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > 10, kThreadWaitMs);

        QPushButton* capture = w.host()->normalPanel()->captureButton();
        int captures = 0;
        for (int round = 0; round < 12; ++round) {
            w.host()->tabs()->setCurrentIndex(round % 4);
            const auto shown = w.viewscreen()->framesShown();
            // Frames keep arriving whichever tab is chosen.
            QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shown + 3, kThreadWaitMs);
            if (round % 4 == 0 || round % 4 == 1) {
                // The Normal tab's button, also while the Stitch tab is shown.
                QTest::mouseClick(capture, Qt::LeftButton);
                ++captures;
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(QDir(w.shotsFolder()).entryList({"Photo-*.jpg"}).size(), captures,
                                  kThreadWaitMs);
        QCOMPARE(w.console().count(QStringLiteral("Photo Captured\n")), captures);
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(!w.document()->cdDriver().isOpen());
    }

    void streamWhileWorkingThePanels() {
        testsupport::Window w(240);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(w.document()->cdDriver().isOpen());
        CCapStitchDlg* stitch = w.host()->stitchPanel();
        CCapAstroDlg* astro = w.host()->astroPanel();
        int captures = 0;
        for (int round = 0; round < 2; ++round) {
            w.host()->tabs()->setCurrentIndex(CViewMain::StitchTab);
            if (round == 0) {
                QTest::mouseClick(stitch->captureButton(), Qt::LeftButton);
                ++captures;
            }
            const auto estimates = stitch->readout()->estimatesDone();
            for (int id = CCapStitchDlg::LeftId; id <= CCapStitchDlg::BottomId; ++id) {
                QTest::mouseClick(stitch->arrow(id), Qt::LeftButton);
                const auto shown = w.viewscreen()->framesShown();
                QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shown + 2, kThreadWaitMs);
            }
            if (round % 2 == 0) QTest::mouseClick(stitch->clearButton(), Qt::LeftButton);
            // The readout runs meanwhile on its own thread.
            QTRY_VERIFY_WITH_TIMEOUT(stitch->readout()->estimatesDone() > estimates, kThreadWaitMs);

            w.host()->tabs()->setCurrentIndex(CViewMain::AstroTab);
            astro->slider()->setSliderDown(true);   // a drag: every step reaches the document
            for (int v = 0; v <= 40; v += 8) {
                astro->slider()->setSliderPosition(v + round);
                const auto shown = w.viewscreen()->framesShown();
                QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shown, kThreadWaitMs);
                if (v == 16) QTest::mouseClick(astro->calibrateButton(), Qt::LeftButton);
            }
            astro->slider()->setSliderDown(false);
            QCOMPARE(w.document()->additiveFrames(), 40 + round);
            if (round == 1) {
                QTest::mouseClick(astro->captureButton(), Qt::LeftButton);
                ++captures;
            }
        }
        QTRY_COMPARE_WITH_TIMEOUT(QDir(w.shotsFolder()).entryList({"Photo-*.jpg"}).size(), captures,
                                  kThreadWaitMs);
        QCOMPARE(w.console().count(QStringLiteral("Calibrating noise...\n")), 2);
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(!w.document()->cdDriver().isOpen());
    }
};

QTEST_MAIN(E2eThreadsTest)
#include "E2EThreadsTest.moc"
