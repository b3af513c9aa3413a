// The main window end to end over the simulated SDK: connect, live frames, a setting held by
// the camera, captures on disk, a failed release, disconnect.
#include "support/ThreadWait.h"
#include "support/E2eSupport.h"

#include "camera/ErrorText.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CCapStitchDlg.h"

#include <QComboBox>
#include <QImage>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class E2eWindowTest : public QObject {
    Q_OBJECT
private slots:
    // Issue 17: after a connect (button or Enter on a row) Space captures instead of pressing
    // the Disconnect button that kept the focus; F6 into the capture pane lands on the shown
    // panel's first control, not the tab bar.
    void spaceAfterConnectCapturesAndNeverDisconnects() {
        for (const bool byEnter : {false, true}) {
            testsupport::Window w(0);
            QVERIFY(w.ok);
            w.frame()->show();
            w.frame()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.frame()));
            QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
            if (byEnter) {
                w.cameraList()->cameraList()->setFocus();
                QTest::keyClick(w.cameraList()->cameraList(), Qt::Key_Return);
            } else {
                w.cameraList()->connectButton()->setFocus();
                QTest::keyClick(w.cameraList()->connectButton(), Qt::Key_Space);
            }
            QVERIFY(w.document()->cdDriver().isOpen());
            QPushButton* capture = w.host()->normalPanel()->captureButton();
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(capture));
            const QString before = w.console();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QVERIFY(w.document()->cdDriver().isOpen());
            const QString after = w.console().mid(before.size());
            QVERIFY2(after.startsWith(QStringLiteral("Capturing Photo...\nPhoto Captured\n")),
                     qPrintable(after));
            QCOMPARE(after.count(QStringLiteral("Capturing Photo...")), 1);
            QVERIFY(!after.contains(QStringLiteral("Disconnecting")));

            // F6 from the console into the capture pane, on the Stitch tab too.
            w.host()->tabs()->setCurrentIndex(CViewMain::StitchTab);
            w.frame()->pane(5)->setFocus();
            for (int i = 0; i < 6 && w.frame()->activePaneIndex() != 4; ++i)
                QTest::keyClick(w.frame(), Qt::Key_F6);
            QCOMPARE(QApplication::focusWidget(),
                     static_cast<QWidget*>(w.host()->stitchPanel()->captureButton()));
        }
    }

    // Issue 17: a capture with an empty capture name says why in one line.
    void emptyCaptureNameIsRefusedWithALine() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        auto* name = w.info()->findChild<QLineEdit*>(QStringLiteral("captureName"));
        QVERIFY(name);
        name->clear();
        const QString before = w.console();
        QTest::mouseClick(w.host()->normalPanel()->captureButton(), Qt::LeftButton);
        QCOMPARE(w.console().mid(before.size()),
                 QStringLiteral("Capturing Photo...\nCapture refused: the capture name is empty: "
                                "type one in the Info pane\n"));
    }

    void connectStreamSetCaptureDisconnect() {
        testsupport::Window w(30);
        QVERIFY(w.ok);
        QVERIFY(w.cameraList() && w.settings() && w.viewscreen() && w.info() && w.host());
        QVERIFY(w.selectCamera(QStringLiteral("PowerShot G5")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QCOMPARE(w.cameraList()->connectButton()->text(), QStringLiteral("Disconnect"));
        QVERIFY(w.console().contains(QStringLiteral("Connecting to: PowerShot G5")));

        // Live frames reach the picture.
        const auto shownAtConnect = w.viewscreen()->framesShown();
        QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > shownAtConnect + 5, kThreadWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(sim::Simulator::cd().state("PowerShot G5")->framesDelivered > 5,
                                 kThreadWaitMs);

        // TV: another label, held by the camera.
        QComboBox* tv = w.settings()->findChild<QComboBox*>(
            QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)));
        QVERIFY(tv->count() > 2);
        const int index = tv->currentIndex() == 1 ? 2 : 1;
        tv->setCurrentIndex(index);
        emit tv->activated(index);
        std::uint32_t code = 0;
        bool listed = false;
        for (const auto& option : w.document()->cdDriver().tvModes())
            if (QString::fromStdString(option.label) == tv->itemText(index)) {
                code = option.code;
                listed = true;
            }
        QVERIFY(listed);
        QCOMPARE(sim::Simulator::cd().state("PowerShot G5")->tvValue, code);
        QCOMPARE(w.settings()->selectedText(CViewSetting::TVMode), tv->itemText(index));

        // Two captures, numbered in turn, each a real JPEG.
        QPushButton* capture = w.host()->normalPanel()->captureButton();
        const QString before = w.console();
        QTest::mouseClick(capture, Qt::LeftButton);
        const QString first = w.shotsFolder() + "Photo-0000.jpg";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first), kThreadWaitMs);
        QImage picture;
        QVERIFY(picture.load(first));
        QVERIFY(picture.width() > 0);
        QCOMPARE(
            w.console().mid(before.size()),
            QStringLiteral("Capturing Photo...\nPhoto Captured\n") + testsupport::SavedLine(first));
        QTest::mouseClick(capture, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(w.shotsFolder() + "Photo-0001.jpg"), kThreadWaitMs);
        QVERIFY(QImage(w.shotsFolder() + "Photo-0001.jpg").width() > 0);
        // The transfer's last report empties the bar.
        QTRY_COMPARE_WITH_TIMEOUT(w.info()->findChild<QProgressBar*>("captureProgress")->value(), 0,
                                  kThreadWaitMs);

        // A refused release: the step and its error text, and no "Photo Captured".
        const sdk::Result code7 = 0x00000007;
        sim::Simulator::cd().failOnce("Release", code7);
        const QString beforeFailure = w.console();
        QTest::mouseClick(capture, Qt::LeftButton);
        const QString failure = w.console().mid(beforeFailure.size());
        QVERIFY2(failure.startsWith(QStringLiteral("Capturing Photo...\n")), qPrintable(failure));
        QVERIFY2(failure.contains(QStringLiteral("--- TakePicture::CDRelease ---")),
                 qPrintable(failure));
        QString errorText = QString::fromStdString(camera::GetErrorText(code7));
        errorText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QVERIFY(!errorText.isEmpty());
        QVERIFY2(failure.contains(errorText), qPrintable(failure));
        QVERIFY2(!failure.contains(QStringLiteral("Photo Captured")), qPrintable(failure));
        QVERIFY(!QFile::exists(w.shotsFolder() + "Photo-0002.jpg"));

        // Disconnect empties the settings.
        const QString beforeDisconnect = w.console();
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QCOMPARE(w.console().mid(beforeDisconnect.size()),
                 QStringLiteral("Disconnecting camera\n"));
        for (int row = 0; row < CViewSetting::RowCount; ++row)
            QCOMPARE(w.settings()
                         ->findChild<QComboBox*>(
                             QStringLiteral("setting.%1").arg(int(CViewSetting::Row(row))))
                         ->count(),
                     0);
        QVERIFY(!sim::Simulator::cd().state("PowerShot G5")->open);
        QCOMPARE(w.info()->findChild<QLabel*>("infoName")->text(), QString());
    }
};

QTEST_MAIN(E2eWindowTest)
#include "E2EWindowTest.moc"
