// The main window end to end with a real-camera backend: the test camera driver (a libgphoto2
// camera driver of the test suite, loaded through CAMLIBS) named on the command line as
// MODEL@PORT, listed first, connected, streaming, a setting changed and a picture taken; View >
// Magnify shows the factor the camera holds after it refused one.
#include "support/ThreadWait.h"
#include "support/E2eSupport.h"

#include "capture/CCapNormalDlg.h"
#include "capture/CCapTimeDlg.h"
#include "capture/CPictureControl.h"
#include "capture/LiveMagnifier.h"

#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// The command line's camera options for the libgphoto2 test camera on that disk folder alone.
CameraOptions testEosOn(const QTemporaryDir& disk) {
    CameraOptions cameras;
    cameras.autodetect = false;
    cameras.cameras = {"Kestrel Test EOS@disk:" + disk.path().toStdString()};
    return cameras;
}

}   // namespace

class E2eRealCameraTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(::setenv("CAMLIBS", KESTREL_TEST_CAMLIBS, 1) == 0); }

    void connectStreamSetCapture() {
        QTemporaryDir disk;
        testsupport::Window w(30, testEosOn(disk));
        QVERIFY(w.ok);
        QListWidget* list = w.cameraList()->cameraList();
        QVERIFY(list->count() > 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Kestrel Test EOS"));
        QVERIFY(w.selectCamera(QStringLiteral("Kestrel Test EOS")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QCOMPARE(w.cameraList()->connectButton()->text(), QStringLiteral("Disconnect"));

        const auto shown = w.viewscreen()->framesShown();
        QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shown + 3, kThreadWaitMs);

        QComboBox* iso = w.settings()->findChild<QComboBox*>(
            QStringLiteral("setting.%1").arg(int(CViewSetting::ISO)));
        const int index = iso->findText(QStringLiteral("800"));
        QVERIFY(index >= 0);
        iso->setCurrentIndex(index);
        emit iso->activated(index);
        QCOMPARE(QString::fromStdString(w.document()->rcDriver().GetISO()), QStringLiteral("800"));

        const QString before = w.console();
        QTest::mouseClick(w.host()->normalPanel()->captureButton(), Qt::LeftButton);
        const QString first = w.shotsFolder() + "Photo-0000.jpg";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first), kThreadWaitMs);
        QCOMPARE(QImage(first).width(), 1600);
        QCOMPARE(
            w.console().mid(before.size()),
            QStringLiteral("Capturing Photo...\nPhoto Captured\n") + testsupport::SavedLine(first));

        // A failure: the driver's step and error, then libgphoto2's own line.
        std::FILE* inject = std::fopen((disk.path() + "/inject").toLocal8Bit().constData(), "w");
        QVERIFY(inject != nullptr);
        std::fputs("capture -1 1\n", inject);
        std::fclose(inject);
        const QString beforeFailure = w.console();
        QTest::mouseClick(w.host()->normalPanel()->captureButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            w.console().contains(QStringLiteral("libgphoto2: gp_camera_capture")), kThreadWaitMs);
        const QString failure = w.console().mid(beforeFailure.size());
        const qsizetype step = failure.indexOf(QStringLiteral("--- TakePicture::RCRelease ---"));
        QVERIFY2(step >= 0, qPrintable(failure));
        QVERIFY2(failure.indexOf(QStringLiteral(
                     "libgphoto2: gp_camera_capture: Unspecified error (-1)")) > step,
                 qPrintable(failure));

        // A frame still on its way to the screen at Disconnect never shows: the picture is
        // black and stays black.
        const auto delivered = w.viewscreen()->framesDelivered();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (w.viewscreen()->framesDelivered() == delivered &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();   // no event is handled: the new frame waits unshown
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QCOMPARE(w.cameraList()->connectButton()->text(), QStringLiteral("Connect"));
        QTest::qWait(100);   // the wake-up of that frame is handled meanwhile
        const QImage& picture = w.viewscreen()->picture(CViewViewscreen::LivePicture)->image();
        QVERIFY(!picture.isNull());
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 7)
                QCOMPARE(picture.pixel(x, y) & 0xFFFFFFu, 0u);
    }

    // A real camera that goes away is waited for quietly: one line when it goes, one when it is
    // back, and none for the reopen attempts in between, libgphoto2's own included.
    void waitingForAVanishedCameraIsQuiet() {
        QTemporaryDir disk;
        testsupport::Window w(30, testEosOn(disk));
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("Kestrel Test EOS")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        w.frame()
            ->findChild<QTimer*>(QStringLiteral("cameraSessionTimer"))
            ->stop();   // ticked here
        const auto inject = [&disk](const char* lines) {
            std::FILE* file = std::fopen((disk.path() + "/inject").toLocal8Bit().constData(), "w");
            std::fputs(lines, file);
            std::fclose(file);
        };
        inject("set -52 1000\ninit -52 1000\n");
        QVERIFY(!w.document()->rcDriver().SetISO("200"));   // the call that finds it gone
        QTest::qWait(150);                                  // its lines are on the console
        CameraSession& session = w.document()->cameraSession();
        QVERIFY(session.away());
        const QString before = w.console();
        const auto t0 = CameraSession::Clock::now() + std::chrono::hours(1);
        for (int second = 0; second <= 7; ++second)
            session.Tick(t0 + std::chrono::seconds(second));   // three attempts to open it
        QTest::qWait(150);
        QCOMPARE(w.console().mid(before.size()),
                 QStringLiteral("Camera lost: Kestrel Test EOS. Waiting for it to come back\n"));
        inject("");
        session.Tick(t0 + std::chrono::seconds(10));
        QTest::qWait(150);
        QCOMPARE(w.console().mid(before.size()),
                 QStringLiteral("Camera lost: Kestrel Test EOS. Waiting for it to come back\n"
                                "Camera back: Kestrel Test EOS (away 10.0 s)\n"));
    }

    // A Time run whose camera vanishes during a photo step's release (libgphoto2 -52): the
    // backend says so with kEventCameraGone, the window's timer has the session close it and
    // open it again when it answers, and the run takes the step again.
    void timeRunTakesAStepAgainWhenItsCameraComesBack() {
        QTemporaryDir disk;
        testsupport::Window w(30, testEosOn(disk));
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("Kestrel Test EOS")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        CCapTimeDlg* time = w.host()->timePanel();
        w.host()->tabs()->setCurrentIndex(CViewMain::TimeTab);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        std::FILE* inject = std::fopen((disk.path() + "/inject").toLocal8Bit().constData(), "w");
        std::fputs("capture -52 1\n", inject);
        std::fclose(inject);

        const QString before = w.console();
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(time->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        const QString run = w.console().mid(before.size());
        for (const char* line : {"Camera away: the run waits for it (at most 30 min)\n",
                                 "Camera lost: Kestrel Test EOS. Waiting for it to come back\n",
                                 "Camera back: the run goes on\nTaking photo...\nPhoto Captured\n"})
            QVERIFY2(run.contains(QLatin1String(line)), qPrintable(run));
        QVERIFY2(run.contains(QStringLiteral("Camera back: Kestrel Test EOS (away ")),
                 qPrintable(run));
        QCOMPARE(w.frame()->windowTitle(), QStringLiteral("Kestrel - Kestrel Test EOS"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(w.shotsFolder() + "Photo-0000.jpg"), kThreadWaitMs);
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
    }

    // A Time run over the real-camera backend: the photo step puts the camera back to the ISO
    // the settings pane showed when the step was added, then the picture arrives.
    void timeRunAppliesItsSettingThenCaptures() {
        QTemporaryDir disk;
        testsupport::Window w(30, testEosOn(disk));
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("Kestrel Test EOS")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QCOMPARE(w.cameraList()->connectButton()->text(), QStringLiteral("Disconnect"));

        QComboBox* iso = w.settings()->findChild<QComboBox*>(
            QStringLiteral("setting.%1").arg(int(CViewSetting::ISO)));
        const auto choose = [iso](const QString& label) {
            const int index = iso->findText(label);
            if (index < 0) return false;
            iso->setCurrentIndex(index);
            emit iso->activated(index);
            return true;
        };
        CCapTimeDlg* time = w.host()->timePanel();
        w.host()->tabs()->setCurrentIndex(CViewMain::TimeTab);
        QVERIFY(choose(QStringLiteral("400")));
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QVERIFY(choose(QStringLiteral("800")));
        QCOMPARE(QString::fromStdString(w.document()->rcDriver().GetISO()), QStringLiteral("800"));

        const QString before = w.console();
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(time->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(QString::fromStdString(w.document()->rcDriver().GetISO()), QStringLiteral("400"));
        const QString run = w.console().mid(before.size());
        QVERIFY2(run.contains(QStringLiteral("400\nTaking photo...\nPhoto Captured\n")),
                 qPrintable(run));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(w.shotsFolder() + "Photo-0000.jpg"), kThreadWaitMs);

        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
    }

    void magnifyShowsWhatTheCameraHoldsAfterARefusal() {
        QTemporaryDir disk;
        testsupport::Window w(30, testEosOn(disk));
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("Kestrel Test EOS")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QList<QAction*> factors;   // 1x, 5x, 10x
        for (QAction* top : w.frame()->menuBar()->actions())
            for (QAction* item : top->menu() ? top->menu()->actions() : QList<QAction*>())
                if (item->text() == QStringLiteral("Magnify")) factors = item->menu()->actions();
        QCOMPARE(factors.size(), 3);
        QTRY_VERIFY(factors[1]->isEnabled());
        const auto held = [&w] {
            std::uint32_t factor = 0, x = 0, y = 0;
            return w.document()->rcDriver().GetMagnify(factor, x, y) ? factor : 0u;
        };
        LiveMagnifier* magnifier = nullptr;
        for (QObject* child : w.frame()->children())
            if (auto* m = dynamic_cast<LiveMagnifier*>(child)) magnifier = m;
        QVERIFY(magnifier != nullptr);
        factors[1]->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(magnifier->factor(), 5u, kThreadWaitMs);   // the answer is in
        QCOMPARE(held(), 5u);
        std::FILE* inject = std::fopen((disk.path() + "/inject").toLocal8Bit().constData(), "w");
        QVERIFY(inject != nullptr);
        std::fputs("set -2 1\n", inject);
        std::fclose(inject);
        const QString before = w.console();
        factors[2]->trigger();   // refused: the camera stays at 5x, and the menu says so
        QTRY_VERIFY_WITH_TIMEOUT(
            w.console().indexOf(QStringLiteral("SetLiveMagnify"), before.size()) > 0,
            kThreadWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(factors[1]->isChecked(), kThreadWaitMs);
        QVERIFY(!factors[2]->isChecked());
        QCOMPARE(held(), 5u);
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
    }
};

QTEST_MAIN(E2eRealCameraTest)
#include "E2ERealCameraTest.moc"
