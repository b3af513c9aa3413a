// Under load: the simulated camera streams 240 frames a second while the window switches
// capture tabs and takes pictures. Run under ThreadSanitizer by the threaded pass.
#include "../ThreadWait.h"
#include "E2eSupport.h"

#include "capture/CCapNormalDlg.h"

#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class E2eThreadsTest : public QObject {
    Q_OBJECT
private slots:
    void streamWhileSwitchingAndCapturing() {
        e2e::Window w(240);
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
        QTRY_COMPARE_WITH_TIMEOUT(QDir(w.shotsFolder()).entryList({"Photo-*.jpg"}).size(), captures, kThreadWaitMs);
        QCOMPARE(w.console().count(QStringLiteral("Photo Captured\n")), captures);
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QVERIFY(!w.document()->cdDriver().isOpen());
    }
};

QTEST_MAIN(E2eThreadsTest)
#include "test_e2e_threads.moc"
