// The capture panel host and the Normal panel: the mode each tab sets, which panel shows, where
// the live picture goes, the panel geometry, and the console lines of "Capture Photo".
#include "PaneTestSupport.h"

#include "app/kit/CPaneSplitter.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CPictureControl.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace panetest;

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
        QCOMPARE(host.tabs()->count(), 4);
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
        CPaneSplitter rows(CPaneSplitter::Arrangement::Stacked);
        CPaneSplitter columns(CPaneSplitter::Arrangement::SideBySide);
        host.SetSplitters(&rows, &columns);
        host.tabs()->setCurrentIndex(1);
        QCOMPARE(columns.ColumnInfo(0).ideal, 400);
        QCOMPARE(rows.RowInfo(0).ideal, 260);
        QCOMPARE(columns.ColumnInfo(0).minimum, 10);
        host.tabs()->setCurrentIndex(3);
        QCOMPARE(columns.ColumnInfo(0).ideal, 320);
        QCOMPARE(rows.RowInfo(0).ideal, 260);
        QCOMPARE(rows.RowInfo(0).minimum, 10);
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

    void captureWithoutCameraLogsNothing() {
        DocFixture fx;
        CViewMain host(fx.doc.get());
        QTest::mouseClick(host.normalPanel()->captureButton(), Qt::LeftButton);
        QCOMPARE(fx.console.text(), std::string());
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

        // An empty capture name: nothing is released, only the first line is written.
        fx.console.clear();
        fx.doc->SetCaptureName("");
        QTest::mouseClick(host.normalPanel()->captureButton(), Qt::LeftButton);
        QCOMPARE(fx.console.text(), std::string("Capturing Photo...\r\n"));
    }
};

QTEST_MAIN(CaptureHostTest)
#include "test_capture_host.moc"
