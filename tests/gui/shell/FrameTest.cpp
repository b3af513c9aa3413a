// The real main window over the simulated SDKs: pane tree, menu, About box, help file, F6.
#include "app/CAboutDlg.h"
#include "app/CMainApp.h"
#include "app/CMainFrame.h"
#include "kit/CPaneSplitter.h"
#include "capture/CPictureControl.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "document/CViewDoc.h"
#include "resources/Resources.h"
#include "sdk/sim/Simulator.h"
#include "views/CViewCameraList.h"
#include "views/CViewDebug.h"

#include "support/Worlds.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowSizeTitleIconCentred();
    void paneTreeAt800x600();
    void panesRegisterInOrder();
    void infoPaneGivesWayBelow125();
    void menuItems();
    void noToolBarNoStatusBar();
    void consoleReceivesSdkErrors();
    void aboutBox();
    void manualPicksChmThenHtmlThenNothing();
    void f6MovesFocusThroughPanes();
    void aLargeWindowsReviewStripHasRowsToSpare();
    void appClosesFrameBeforeDocument();
    void titleNamesCameraAndDisconnectClearsPicture();

private:
    QTemporaryDir dir;
    QString previousDir;
    std::unique_ptr<CViewDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

void TestFrame::initTestCase() {
    kestrelInitResources();
    QVERIFY(dir.isValid());
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
}

void TestFrame::init() {
    testsupport::ResetSimulators();
    doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                                     dir.filePath(QStringLiteral("config.cfg")).toStdString());
    frame = std::make_unique<CMainFrame>(doc.get());
}

void TestFrame::cleanup() {
    frame.reset();
    doc.reset();
}

void TestFrame::windowSizeTitleIconCentred() {
    QCOMPARE(frame->size(), QSize(800, 600));
    QCOMPARE(frame->windowTitle(), QStringLiteral("Kestrel"));
    const QList<QSize> sizes = frame->windowIcon().availableSizes();
    for (QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(256, 256)})
        QVERIFY2(sizes.contains(size), qPrintable(QString::number(size.width())));
    const QPoint centre = frame->screen()->availableGeometry().center();
    QVERIFY(qAbs(frame->geometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(frame->geometry().center().y() - centre.y()) <= 1);
}

void TestFrame::paneTreeAt800x600() {
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    frame->resize(800, 600 + frame->menuBar()->height());
    QWidget* client = frame->centralWidget();
    QCOMPARE(client, frame->findChild<CPaneSplitter*>(QStringLiteral("rootSplitter")));
    QTRY_COMPARE(client->size(), QSize(800, 600));

    auto inClient = [client](QWidget* pane) {
        return QRect(pane->mapTo(client, QPoint(0, 0)), pane->size());
    };
    const QRect expected[CMainFrame::kPaneCount] = {
        QRect(1, 1, 200, 100),       // camera list
        QRect(1, 107, 200, 492),     // settings
        QRect(207, 1, 320, 260),     // viewscreen
        QRect(533, 1, 266, 260),     // info
        QRect(207, 267, 592, 200),   // capture panels
        QRect(207, 473, 592, 126),   // console
    };
    for (int i = 0; i < CMainFrame::kPaneCount; ++i) {
        QVERIFY(frame->pane(i)->isVisible());
        QCOMPARE(inClient(frame->pane(i)), expected[i]);
    }
    QCOMPARE(inClient(frame->findChild<CPaneSplitter*>(QStringLiteral("listSplitter"))),
             QRect(0, 0, 202, 600));
    QCOMPARE(inClient(frame->findChild<CPaneSplitter*>(QStringLiteral("rowSplitter"))),
             QRect(206, 0, 594, 600));
    QCOMPARE(inClient(frame->findChild<CPaneSplitter*>(QStringLiteral("columnSplitter"))),
             QRect(206, 0, 594, 262));
    QCOMPARE(inClient(frame->findChild<CPaneSplitter*>(QStringLiteral("consoleSplitter"))),
             QRect(206, 266, 594, 334));

    QCOMPARE(frame->findChild<CPaneSplitter*>(QStringLiteral("rootSplitter"))->ColumnInfo(0).ideal,
             200);
    QCOMPARE(frame->findChild<CPaneSplitter*>(QStringLiteral("listSplitter"))->RowInfo(0).ideal,
             100);
    QCOMPARE(frame->findChild<CPaneSplitter*>(QStringLiteral("rowSplitter"))->RowInfo(0).ideal,
             260);
    QCOMPARE(
        frame->findChild<CPaneSplitter*>(QStringLiteral("columnSplitter"))->ColumnInfo(0).ideal,
        320);
    QCOMPARE(
        frame->findChild<CPaneSplitter*>(QStringLiteral("columnSplitter"))->ColumnInfo(1).minimum,
        125);
    QCOMPARE(frame->findChild<CPaneSplitter*>(QStringLiteral("consoleSplitter"))->RowInfo(0).ideal,
             200);
}

void TestFrame::panesRegisterInOrder() {
    const char* names[] = {"CameraList", "Setting", "Viewscreen", "Info", "Main", "Debug"};
    for (int i = 0; i < CMainFrame::kPaneCount; ++i)
        QCOMPARE(dynamic_cast<QWidget*>(doc->GetView(names[i])), frame->pane(i));
    QVERIFY(doc->GetView("debug") == nullptr);
    QCOMPARE(CViewDebug::activeConsole(), frame->pane(5));
}

void TestFrame::infoPaneGivesWayBelow125() {
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    QWidget* info = frame->pane(3);
    QWidget* viewscreen = frame->pane(2);
    const int menu = frame->menuBar()->height();
    // The info pane has 125 pixels at a client width of 659 and goes at 658.
    frame->resize(659, 600 + menu);
    QTRY_COMPARE(frame->centralWidget()->width(), 659);
    QVERIFY(info->isVisible());
    QCOMPARE(info->width(), 125);
    frame->resize(658, 600 + menu);
    QTRY_COMPARE(frame->centralWidget()->width(), 658);
    QVERIFY(!info->isVisible());
    QCOMPARE(viewscreen->width(), 446);
}

void TestFrame::menuItems() {
    const QList<QAction*> top = frame->menuBar()->actions();
    QCOMPARE(top.size(), 4);
    QCOMPARE(top[0]->text(), QStringLiteral("&File"));
    QCOMPARE(top[1]->text(), QStringLiteral("&View"));
    QCOMPARE(top[2]->text(), QStringLiteral("&Capture"));
    QCOMPARE(top[3]->text(), QStringLiteral("&Help"));

    const QList<QAction*> file = top[0]->menu()->actions();
    QCOMPARE(file.size(), 7);
    QCOMPARE(file[0]->text(), QStringLiteral("New Session..."));
    QCOMPARE(file[1]->text(), QStringLiteral("Open Session"));
    QVERIFY(file[1]->menu() != nullptr);
    QVERIFY(file[2]->isSeparator());
    QCOMPARE(file[3]->text(), QStringLiteral("Command After Each Picture..."));
    QCOMPARE(file[4]->text(), QStringLiteral("Client View..."));
    QVERIFY(file[5]->isSeparator());
    QCOMPARE(file[6]->text(), QStringLiteral("E&xit"));

    const QList<QAction*> view = top[1]->menu()->actions();
    QCOMPARE(view.size(), 7);
    QCOMPARE(view[0]->text(), QStringLiteral("Highlight Clipped Pixels"));
    QCOMPARE(view[1]->text(), QStringLiteral("Rule-of-Thirds Grid"));
    QCOMPARE(view[2]->text(), QStringLiteral("Focus Peaking"));
    QCOMPARE(view[3]->text(), QStringLiteral("Show Each New Picture"));
    QCOMPARE(view[4]->text(), QStringLiteral("Advance After Rating"));
    for (QAction* aid : view.mid(0, 5)) {
        QVERIFY(aid->isCheckable());
        QVERIFY(!aid->isChecked());   // off until chosen
    }
    // The camera's magnified live view: greyed out without a camera that offers it, at 1x.
    QCOMPARE(view[5]->text(), QStringLiteral("Magnify"));
    QVERIFY(view[5]->menu() != nullptr);
    const QList<QAction*> factors = view[5]->menu()->actions();
    QCOMPARE(factors.size(), 3);
    const QStringList names{QStringLiteral("1x"), QStringLiteral("5x"), QStringLiteral("10x")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(factors[i]->text(), names[i]);
        QVERIFY(!factors[i]->isEnabled());
        QCOMPARE(factors[i]->isChecked(), i == 0);
    }
    QCOMPARE(view[6]->text(), QStringLiteral("Overlay..."));

    const QList<QAction*> capture = top[2]->menu()->actions();
    QCOMPARE(capture.size(), 3);
    QCOMPARE(capture[0]->text(), QStringLiteral("Focus Stack..."));
    QCOMPARE(capture[1]->text(), QStringLiteral("Exposure Bracket..."));
    // No series finished yet: greyed, and without the merge tools it says what to install.
    QVERIFY(capture[2]->text() == QStringLiteral("Merge Last Series...") ||
            capture[2]->text() ==
                QStringLiteral("Install enblend-enfuse and hugin-tools to merge"));
    QVERIFY(!capture[2]->isEnabled());

    const QList<QAction*> help = top[3]->menu()->actions();
    QCOMPARE(help.size(), 3);
    QCOMPARE(help[0]->text(), QStringLiteral("Manual"));
    QVERIFY(help[1]->isSeparator());
    QCOMPARE(help[2]->text(), QStringLiteral("&About Kestrel..."));

    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    frame->findChild<QAction*>(QStringLiteral("exitAction"))->trigger();
    QVERIFY(!frame->isVisible());
}

void TestFrame::noToolBarNoStatusBar() {
    QVERIFY(frame->findChildren<QToolBar*>().isEmpty());
    QVERIFY(frame->findChild<QStatusBar*>() == nullptr);
}

void TestFrame::consoleReceivesSdkErrors() {
    auto* console = qobject_cast<CViewDebug*>(frame->pane(5));
    QVERIFY(console);
    CViewDoc::LogRelay("GetTV::CDGetTvValue", "The camera did not answer.\r\n");
    const std::string& log = console->logText();
    QVERIFY(log.rfind("\r\nDate: ", 0) == 0);
    const std::string tail = "--- GetTV::CDGetTvValue ---\r\nThe camera did not answer.\r\n";
    QCOMPARE(log.substr(log.size() - tail.size()), tail);
}

void TestFrame::aboutBox() {
    CAboutDlg about(frame.get());
    QCOMPARE(about.windowTitle(), QStringLiteral("Kestrel v1.3"));
    QCOMPARE(about.size(), QSize(354, 89));
    QVERIFY(about.isModal());

    const QList<QPushButton*> buttons = about.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons[0]->text(), QStringLiteral("OK"));

    // Nothing but the icon: no text anywhere.
    const QList<QLabel*> labels = about.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 1);
    QVERIFY(labels[0]->text().isEmpty());
    QVERIFY(!labels[0]->pixmap().isNull());
    QVERIFY(labels[0]->geometry().right() < buttons[0]->geometry().left());
    QVERIFY(labels[0]->x() < 30);

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.okButton(), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

void TestFrame::manualPicksChmThenHtmlThenNothing() {
    // Kestrel.chm in the working directory wins; else the installed HTML manual; else nothing.
    QTemporaryDir work, html;
    QVERIFY(QDir::setCurrent(work.path()));
    const QString chm = QDir(work.path()).filePath(QStringLiteral("Kestrel.chm"));
    const QString index = QDir(html.path()).filePath(QStringLiteral("index.html"));
    const QStringList missingHtml{QDir(work.path()).filePath(QStringLiteral("nowhere"))};

    QCOMPARE(CMainFrame::ManualUrl(missingHtml), QUrl());
    QVERIFY(QFile(index).open(QIODevice::WriteOnly));
    QCOMPARE(CMainFrame::ManualUrl(missingHtml + QStringList{html.path()}),
             QUrl::fromLocalFile(QFileInfo(index).canonicalFilePath()));
    QVERIFY(QFile(chm).open(QIODevice::WriteOnly));
    QCOMPARE(CMainFrame::ManualUrl({html.path()}), QUrl::fromLocalFile(chm));

    // The menu command hands the URL to the desktop's opener, and calls nothing without a manual.
    QList<QUrl> opened;
    frame->setUrlOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    frame->findChild<QAction*>(QStringLiteral("manualAction"))->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(chm)});
    QVERIFY(QFile::remove(chm));
    if (CMainFrame::ManualUrl().isEmpty()) {   // no manual installed on this machine
        frame->findChild<QAction*>(QStringLiteral("manualAction"))->trigger();
        QCOMPARE(opened.size(), 1);
    }
    QVERIFY(QDir::setCurrent(dir.path()));
}

// A large window gives the Review tab the room the console can spare: its strip shows more
// than one row of thumbnails; the other tabs and the console keep their sizes.
void TestFrame::aLargeWindowsReviewStripHasRowsToSpare() {
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    frame->resize(1920, 1040);
    auto* host = static_cast<CViewMain*>(frame->pane(4));
    QTRY_COMPARE(frame->centralWidget()->height(), 1040 - frame->menuBar()->height());
    const int normal = host->height();
    QCOMPARE(normal, CMainFrame::kMainHeight);
    host->tabs()->setCurrentIndex(CViewMain::ReviewTab);
    QListWidget* strip = host->reviewPanel()->strip();
    QTRY_VERIFY2(strip->viewport()->height() >= 2 * strip->gridSize().height(),
                 qPrintable(QString::number(strip->viewport()->height())));
    QVERIFY(frame->pane(5)->height() >= CMainFrame::kConsoleKept - 10);
    host->tabs()->setCurrentIndex(CViewMain::NormalTab);
    QTRY_COMPARE(host->height(), normal);
}

void TestFrame::f6MovesFocusThroughPanes() {
    frame->resize(800, 600 + frame->menuBar()->height());
    frame->show();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));

    // Start in the console: the next pane is the camera list, and round again.
    frame->pane(5)->findChild<QPlainTextEdit*>()->setFocus();
    QTRY_COMPARE(frame->activePaneIndex(), 5);
    QList<int> order;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(frame.get(), Qt::Key_F6);
        order << frame->activePaneIndex();
    }
    QCOMPARE(order, (QList<int>{0, 1, 2, 3, 4, 5, 0}));

    order.clear();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(frame.get(), Qt::Key_F6, Qt::ShiftModifier);
        order << frame->activePaneIndex();
    }
    QCOMPARE(order, (QList<int>{5, 4, 3}));

    // A hidden pane is passed over.
    frame->resize(658, 600 + frame->menuBar()->height());
    QTRY_VERIFY(!frame->pane(3)->isVisible());
    order.clear();
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(frame.get(), Qt::Key_F6);
        order << frame->activePaneIndex();
    }
    QVERIFY(!order.contains(3));
    const int start = order.indexOf(0);
    QVERIFY(start >= 0 && start + 5 < order.size());
    QCOMPARE(order.mid(start, 6), (QList<int>{0, 1, 2, 4, 5, 0}));
}

void TestFrame::appClosesFrameBeforeDocument() {
    cleanup();   // the application makes its own document
    QFile::remove(dir.filePath(QStringLiteral("config.cfg")));
    auto app = std::make_unique<CMainApp>();
    QVERIFY(app->InitInstance());
    QVERIFY(app->mainFrame()->isVisible());
    QCOMPARE(app->mainFrame()->windowTitle(), QStringLiteral("Kestrel"));
    QCOMPARE(CViewDoc::instance(), app->document());
    bool documentAliveWhenFrameWent = false;
    connect(app->mainFrame(), &QObject::destroyed, this,
            [&] { documentAliveWhenFrameWent = CViewDoc::instance() != nullptr; });
    app.reset();
    QVERIFY(documentAliveWhenFrameWent);
    QVERIFY(CViewDoc::instance() == nullptr);
    // The document wrote its configuration on the way out, into the working directory.
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("config.cfg"))));
    init();
}

void TestFrame::titleNamesCameraAndDisconnectClearsPicture() {
    auto* list = static_cast<CViewCameraList*>(frame->pane(0));
    auto* viewscreen = static_cast<CViewViewscreen*>(frame->pane(2));
    QVERIFY(list->cameraList()->count() > 0);
    const QString name = list->cameraList()->item(0)->text();
    QVERIFY(!list->cameraList()->item(0)->icon().isNull());   // the application icon
    list->OnConnect();                                        // the first row is selected at start
    QCOMPARE(frame->windowTitle(), QStringLiteral("Kestrel - ") + name);

    const std::vector<std::uint8_t> white(320 * 240 * 3, 255);
    viewscreen->ShowFrame(CViewViewscreen::LivePicture, 320, 240, white.data());
    const QImage& live = viewscreen->picture(CViewViewscreen::LivePicture)->image();
    QCOMPARE(live.pixelColor(160, 120), QColor(Qt::white));
    list->OnConnect();
    QCOMPARE(frame->windowTitle(), QStringLiteral("Kestrel"));
    for (QPoint at : {QPoint(0, 0), QPoint(160, 120), QPoint(319, 239)})
        QCOMPARE(live.pixelColor(at), QColor(Qt::black));
}

QTEST_MAIN(TestFrame)
#include "FrameTest.moc"
