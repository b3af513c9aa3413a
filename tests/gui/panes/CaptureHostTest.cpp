// The capture panel host and the Normal panel: the mode each tab sets, which panel shows, where
// the live picture goes, the panel geometry, and the console lines of "Capture Photo".
#include "support/PaneTestSupport.h"

#include "capture/CCapNormalDlg.h"
#include "capture/CPictureControl.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace testsupport;

class CaptureHostTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({})); }

    void tabsSetTheMode_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<uint>("direction");
        QTest::addColumn<QPoint>("live");
        QTest::newRow("Normal") << 0 << 0u << QPoint(0, 20);
        QTest::newRow("Stitch") << 1 << 1u << QPoint(80, 20);
        QTest::newRow("Astrophotography") << 2 << 0u << QPoint(0, 20);
        QTest::newRow("Time") << 3 << 0u << QPoint(0, 20);
    }
    void tabsSetTheMode() {
        QFETCH(int, tab);
        QFETCH(uint, direction);
        QFETCH(QPoint, live);
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        CViewMain host(fx.doc.get());
        host.resize(480, 200);
        host.show();
        QCOMPARE(host.tabs()->count(), 5);
        QCOMPARE(host.tabs()->tabText(2), QStringLiteral("Astrophotography"));

        // Leave a mode behind that the chosen tab must undo: stacking and a stitch strip.
        host.tabs()->setCurrentIndex(tab == 1 ? 3 : 1);
        fx.doc->SetAdditiveFrames(12);
        host.tabs()->setCurrentIndex(tab);

        QCOMPARE(fx.doc->additiveFrames(), 0);
        QCOMPARE(fx.doc->stitchDirection(), direction);
        for (int i = 0; i < 4; ++i) QCOMPARE(!host.panel(i)->isHidden(), i == tab);
        QCOMPARE(screen.picture(0)->pos(), live);
        for (int i = 1; i <= 4; ++i)
            QCOMPARE(!screen.picture(i)->isHidden(), std::uint32_t(i) == direction);
        QCOMPARE(screen.picture(0)->size(), QSize(320, 240));
    }

    void tabsSizeTheViewscreen() {
        DocFixture fx;
        CViewViewscreen screen(fx.doc.get());
        CViewMain host(fx.doc.get());
        QSize asked;
        connect(&host, &CViewMain::viewscreenSpaceWanted, [&asked](QSize space) { asked = space; });
        host.tabs()->setCurrentIndex(1);
        QCOMPARE(asked, QSize(400, 260));
        host.tabs()->setCurrentIndex(3);
        QCOMPARE(asked, QSize(320, 260));
    }

    void panelsFollowTheSize() {
        DocFixture fx;
        CViewMain host(fx.doc.get());
        host.show();
        host.resize(400, 300);
        QCOMPARE(host.tabs()->geometry(), QRect(0, 20, 400, 280));
        for (int i = 0; i < 4; ++i) QCOMPARE(host.panel(i)->geometry(), QRect(5, 45, 390, 250));
        QCOMPARE(host.normalPanel()->captureButton()->text(), QStringLiteral("Capture Photo"));
    }

    // The button, Space in the panel and Ctrl+Shift+C anywhere in the window all capture; with
    // no camera each says so in one line and writes nothing.
    void captureWithoutCameraSaysWhy_data() {
        QTest::addColumn<int>("gesture");
        QTest::newRow("button") << 0;
        QTest::newRow("Space in the panel") << 1;
        QTest::newRow("Ctrl+Shift+C elsewhere") << 2;
    }
    void captureWithoutCameraSaysWhy() {
        QFETCH(int, gesture);
        DocFixture fx;
        CViewMain host(fx.doc.get());
        QLineEdit elsewhere(&host);
        host.show();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QPushButton* button = host.normalPanel()->captureButton();
        QCOMPARE(button->toolTip(), QStringLiteral("Capture a photo (Space, Ctrl+Shift+C)"));
        if (gesture == 0) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (gesture == 1) {
            host.normalPanel()->setFocus();
            QTest::keyClick(host.normalPanel(), Qt::Key_Space);
        } else {
            elsewhere.setFocus();
            QTest::keyClick(&elsewhere, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        }
        QCOMPARE(fx.console.text(),
                 std::string("No camera connected: connect one before capturing\r\n"));
        QVERIFY(QDir(fx.dir.path()).entryList({"*.jpg"}).isEmpty());
    }

    void captureLogsAndWrites() {
        DocFixture fx;
        CViewMain host(fx.doc.get());
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        QTest::mouseClick(host.normalPanel()->captureButton(), Qt::LeftButton);
        const QFileInfo shot(fx.dir.filePath("Photo-0000.jpg"));
        QVERIFY(shot.exists());
        QCOMPARE(fx.console.text(), "Capturing Photo...\r\nPhoto Captured\r\n" +
                                        CViewDoc::SavedLine("Photo-0000.jpg", shot.size()));

        // An empty capture name: nothing is released, and one line says why.
        fx.console.clear();
        fx.doc->SetCaptureName("");
        QTest::mouseClick(host.normalPanel()->captureButton(), Qt::LeftButton);
        QCOMPARE(fx.console.text(),
                 std::string("Capturing Photo...\r\nCapture refused: the capture name is empty: "
                             "type one in the Info pane\r\n"));
    }
};

QTEST_MAIN(CaptureHostTest)
#include "CaptureHostTest.moc"
