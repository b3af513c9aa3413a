// The main window as it grows and shrinks, and its View menu: the live picture and the stitch
// strip scale in 4:3 steps, the camera list and console take the extra height, Capture Photo
// outlasts the console when the window gets small, and the exposure aids persist in view.cfg.
#include "app/CMainFrame.h"
#include "kit/CPaneSplitter.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CPictureControl.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "document/CViewDoc.h"
#include "resources/Resources.h"
#include "sdk/sim/Simulator.h"
#include "views/CViewDebug.h"

#include "support/Worlds.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestFrameView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void picturesScaleWithTheWindow_data();
    void picturesScaleWithTheWindow();
    void capturePhotoOutlastsTheConsole_data();
    void capturePhotoOutlastsTheConsole();
    void consoleKeepsNewestLineAfterResize();
    void viewAidsPersist_data();
    void viewAidsPersist();

private:
    void showAt(QSize window);
    QRect inClient(QWidget* widget) const;
    CViewViewscreen* screen() const { return static_cast<CViewViewscreen*>(frame->pane(2)); }
    CViewMain* host() const { return static_cast<CViewMain*>(frame->pane(4)); }
    QString viewFile() const { return dir.filePath(QStringLiteral("view.cfg")); }

    QTemporaryDir dir;
    std::unique_ptr<CViewDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

void TestFrameView::initTestCase() {
    kestrelInitResources();
    QVERIFY(dir.isValid());
}

void TestFrameView::init() {
    testsupport::ResetSimulators();
    doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                                     dir.filePath(QStringLiteral("config.cfg")).toStdString());
    frame = std::make_unique<CMainFrame>(doc.get());
}

void TestFrameView::cleanup() {
    frame.reset();
    doc.reset();
}

void TestFrameView::showAt(QSize window) {
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    frame->resize(window);
    QTRY_COMPARE(frame->size(), window);
}

QRect TestFrameView::inClient(QWidget* widget) const {
    return QRect(widget->mapTo(frame->centralWidget(), QPoint(0, 0)), widget->size());
}

void TestFrameView::picturesScaleWithTheWindow_data() {
    QTest::addColumn<QSize>("window");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QRect>("live");    // in the viewscreen
    QTest::addColumn<QRect>("strip");   // the left strip, when shown
    QTest::addColumn<QSize>("pane");    // the viewscreen pane
    // 800 x 600 of panes (the menu bar above): where every picture has always been.
    QTest::newRow("base") << QSize(800, 0) << 0 << QRect(0, 20, 320, 240) << QRect()
                          << QSize(320, 260);
    QTest::newRow("base stitch") << QSize(800, 0) << 1 << QRect(80, 20, 320, 240)
                                 << QRect(0, 20, 80, 240) << QSize(400, 260);
    QTest::newRow("1600 x 1200") << QSize(1600, 1200) << 0 << QRect(0, 20, 640, 480) << QRect()
                                 << QSize(640, 500);
    QTest::newRow("1600 x 1200 stitch") << QSize(1600, 1200) << 1 << QRect(160, 20, 640, 480)
                                        << QRect(0, 20, 160, 480) << QSize(800, 500);
    // Only as far as the narrower stretch allows: 2000 / 800 = 2.5, 900 / 600 = 1.5.
    QTest::newRow("wide and low") << QSize(2000, 900) << 0 << QRect(0, 20, 480, 360) << QRect()
                                  << QSize(480, 380);
}

void TestFrameView::picturesScaleWithTheWindow() {
    QFETCH(QSize, window);
    QFETCH(int, tab);
    QFETCH(QRect, live);
    QFETCH(QRect, strip);
    QFETCH(QSize, pane);
    if (window.height() == 0) window.setHeight(600 + frame->menuBar()->height());
    showAt(window);
    host()->tabs()->setCurrentIndex(tab);

    QCOMPARE(screen()->picture(CViewViewscreen::LivePicture)->geometry(), live);
    QCOMPARE(live.width() * 3, live.height() * 4);
    QCOMPARE(screen()->picture(CViewViewscreen::LeftStrip)->isVisible(), !strip.isNull());
    if (!strip.isNull()) QCOMPARE(screen()->picture(CViewViewscreen::LeftStrip)->geometry(), strip);
    QCOMPARE(screen()->size(), pane);
    // The images stay 320 x 240 and 80 x 240: scaled when drawn, never copied larger.
    QCOMPARE(screen()->picture(CViewViewscreen::LivePicture)->image().size(), QSize(320, 240));

    // The extra height goes to the camera list and the console, not to the capture panels.
    const int extra = window.height() - 600 - frame->menuBar()->height();
    QCOMPARE(frame->pane(0)->height(), 100 * live.width() / 320);
    QCOMPARE(frame->pane(4)->height(), 200);
    QCOMPARE(frame->pane(5)->height(), 126 + extra - (pane.height() - 260));
}

void TestFrameView::capturePhotoOutlastsTheConsole_data() {
    QTest::addColumn<QSize>("window");
    QTest::newRow("low") << QSize(800, 330);
    QTest::newRow("narrow") << QSize(300, 700);
    QTest::newRow("small") << QSize(360, 300);
}

void TestFrameView::capturePhotoOutlastsTheConsole() {
    QFETCH(QSize, window);
    showAt(window);
    QPushButton* capture = host()->normalPanel()->findChild<QPushButton*>();
    QVERIFY(capture);
    QCOMPARE(capture->text(), QStringLiteral("Capture Photo"));
    QVERIFY(capture->isVisible());
    const QRect client = frame->centralWidget()->rect();
    QVERIFY2(client.contains(inClient(capture)), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                .arg(inClient(capture).x())
                                                                .arg(inClient(capture).y())
                                                                .arg(capture->width())
                                                                .arg(capture->height())));
    // Whole inside its pane as well, not cut off by a neighbour.
    QVERIFY(QRect(QPoint(0, 0), host()->size())
                .contains(QRect(capture->mapTo(host(), QPoint(0, 0)), capture->size())));
}

void TestFrameView::consoleKeepsNewestLineAfterResize() {
    showAt(QSize(1200, 900));
    auto* console = static_cast<CViewDebug*>(frame->pane(5));
    for (int i = 0; i < 200; ++i)
        console->WriteLog("Line %d of a log long enough to wrap when the window gets narrow\r\n",
                          i);
    QScrollBar* bar = console->textControl()->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    for (QSize smaller : {QSize(700, 500), QSize(500, 400)}) {
        frame->resize(smaller);
        QTRY_COMPARE(frame->size(), smaller);
        QCOMPARE(bar->value(), bar->maximum());
    }
}

void TestFrameView::viewAidsPersist_data() {
    QTest::addColumn<QByteArray>("file");   // view.cfg before the start; "-": none
    QTest::addColumn<bool>("clipped");
    QTest::addColumn<bool>("grid");
    QTest::addColumn<bool>("peaking");
    QTest::newRow("missing") << QByteArray("-") << false << false << false;
    QTest::newRow("all on") << QByteArray(
                                   "highlight_clipped=1\nthirds_grid=1\nfocus_peaking=1\n"
                                   "show_new_pictures=1\nadvance_after_rating=1\n")
                            << true << true << true;
    QTest::newRow("grid only, CRLF")
        << QByteArray("thirds_grid=1\r\nhighlight_clipped=0\r\n") << false << true << false;
    QTest::newRow("peaking only") << QByteArray("focus_peaking=1\n") << false << false << true;
    QTest::newRow("garbled") << QByteArray("highlight_clipped=yes\nthirds_grid\n\xff\xfe=1")
                             << false << false << false;
    QTest::newRow("empty") << QByteArray() << false << false << false;
}

void TestFrameView::viewAidsPersist() {
    QFETCH(QByteArray, file);
    QFETCH(bool, clipped);
    QFETCH(bool, grid);
    QFETCH(bool, peaking);
    QFile::remove(viewFile());
    if (file != "-") {
        QFile out(viewFile());
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    cleanup();
    init();   // a fresh start reads the file
    QCOMPARE(frame->findChild<QAction*>(QStringLiteral("highlightClippedAction"))->isChecked(),
             clipped);
    QCOMPARE(frame->findChild<QAction*>(QStringLiteral("thirdsGridAction"))->isChecked(), grid);
    QCOMPARE(screen()->picture(0)->highlightClipped(), clipped);
    QCOMPARE(screen()->picture(0)->thirdsGrid(), grid);
    QCOMPARE(frame->findChild<QAction*>(QStringLiteral("focusPeakingAction"))->isChecked(),
             peaking);
    QCOMPARE(screen()->picture(0)->focusPeaking(), peaking);
    // "Show Each New Picture" goes with the aids in these files.
    QAction* showNew = frame->findChild<QAction*>(QStringLiteral("showNewPicturesAction"));
    CReviewPanel* review = host()->reviewPanel();
    QCOMPARE(showNew->isChecked(), clipped && grid && peaking);
    QCOMPARE(review->showNewPictures(), showNew->isChecked());
    QAction* advance = frame->findChild<QAction*>(QStringLiteral("advanceAfterRatingAction"));
    QCOMPARE(advance->isChecked(), clipped && grid && peaking);
    QCOMPARE(review->advanceAfterRating(), advance->isChecked());

    // Turned over from the menu, remembered across a restart; config.cfg keeps its two lines.
    frame->findChild<QAction*>(QStringLiteral("highlightClippedAction"))->trigger();
    frame->findChild<QAction*>(QStringLiteral("thirdsGridAction"))->trigger();
    frame->findChild<QAction*>(QStringLiteral("focusPeakingAction"))->trigger();
    showNew->trigger();
    advance->trigger();
    QCOMPARE(screen()->picture(0)->highlightClipped(), !clipped);
    cleanup();
    init();
    QCOMPARE(frame->findChild<QAction*>(QStringLiteral("highlightClippedAction"))->isChecked(),
             !clipped);
    QCOMPARE(frame->findChild<QAction*>(QStringLiteral("thirdsGridAction"))->isChecked(), !grid);
    QCOMPARE(screen()->picture(0)->thirdsGrid(), !grid);
    QCOMPARE(screen()->picture(0)->focusPeaking(), !peaking);
    QCOMPARE(host()->reviewPanel()->showNewPictures(), !(clipped && grid && peaking));
    QCOMPARE(host()->reviewPanel()->advanceAfterRating(), !(clipped && grid && peaking));
    QFile config(dir.filePath(QStringLiteral("config.cfg")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray lines = config.readAll();
    QCOMPARE(lines.count('\n'), 1);
    QVERIFY(!lines.contains("thirds") && !lines.contains("clipped"));
}

QTEST_MAIN(TestFrameView)
#include "FrameViewTest.moc"
