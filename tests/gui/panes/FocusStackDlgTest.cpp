// Capture > "Focus Stack...": the lens stepped with the buttons and the arrow keys, the count
// against the simulated lens's own position, the marks, a dry run from the marks that sweeps
// and comes back, and what the dialog says at the lens's end and without a camera.
#include "capture/FocusStackDlg.h"

#include "support/PaneTestSupport.h"
#include "support/ThreadWait.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace testsupport;

namespace {

sim::CameraSpec LensCamera(int far) {
    sim::CameraSpec c = SmallCamera("EOS 300D");
    c.hasFocusDrive = true;
    c.focusMin = 0;
    c.focusMax = far;
    c.focusPos = 150;
    return c;
}

int LensAt() { return sim::Simulator::rc().state("EOS 300D")->focusPos; }

}   // namespace

class TestFocusStackDlg : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSimulators(WorldOf({}), WorldOf({LensCamera(400)})); }
    void cleanup() { ResetSimulators(); }

    void stepsCountMarksAndADryRunComesBack() {
        DocFixture fx;
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("EOS 300D"));
        FocusStackDlg dlg(fx.doc.get());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* position = Child<QLabel>(dlg, "lensPosition");
        QCOMPARE(position->text(), QStringLiteral("Lens: where counting began"));

        Child<QPushButton>(dlg, "near3")->click();
        Child<QPushButton>(dlg, "near1")->click();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.position(), -17, kThreadWaitMs);
        QCOMPARE(LensAt(), 150 - 17);
        QCOMPARE(position->text(),
                 QStringLiteral("Lens: 17 focus steps near of where counting began"));
        Child<QPushButton>(dlg, "markNear")->click();
        // The keys: Right alone 1, with Shift 4, with Ctrl 16.
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(&dlg, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(&dlg, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&dlg, Qt::Key_Right);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.position(), 20, kThreadWaitMs);
        QCOMPARE(LensAt(), 170);
        Child<QPushButton>(dlg, "markFar")->click();
        QCOMPARE(Child<QLabel>(dlg, "marks")->text(),
                 QStringLiteral("Near: 17 focus steps near of where counting began. Far: 20 "
                                "focus steps far of where counting began. 37 focus steps between "
                                "them."));

        // A dry run from Near to Far in steps of 4: ten shots, then back to Far.
        Child<QComboBox>(dlg, "stepSize")->setCurrentIndex(1);
        Child<QCheckBox>(dlg, "dryRun")->setChecked(true);
        Child<QSpinBox>(dlg, "settle")->setValue(0);
        QVERIFY(dlg.Run());
        QVERIFY(!Child<QPushButton>(dlg, "near1")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.running(), kThreadWaitMs);
        QTRY_COMPARE(Child<QLabel>(dlg, "status")->text(),
                     QStringLiteral("10 shots done; the lens is back where the run began."));
        QCOMPARE(LensAt(), 170);
        QCOMPARE(dlg.position(), 20);
        QCOMPARE(sim::Simulator::rc().countCalls("RCRelease"), 0u);
        QVERIFY(fx.console.text().find("Focus stack 1 (dry run, no pictures): 10 shots, step size "
                                       "2 (4 focus steps apart, towards far), the first 37 steps "
                                       "near of where the lens is") != std::string::npos);
        QVERIFY(Child<QPushButton>(dlg, "near1")->isEnabled());

        // From here: the first shot 5 steps near, three shots a smallest step apart.
        Child<QRadioButton>(dlg, "fromHere")->setChecked(true);
        Child<QSpinBox>(dlg, "start")->setValue(-5);
        Child<QSpinBox>(dlg, "shots")->setValue(3);
        Child<QComboBox>(dlg, "stepSize")->setCurrentIndex(0);
        const std::size_t before = sim::Simulator::rc().countCalls("RCDriveFocus");
        QVERIFY(dlg.Run());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.running(), kThreadWaitMs);
        QTRY_COMPARE(Child<QLabel>(dlg, "status")->text(),
                     QStringLiteral("3 shots done; the lens is back where the run began."));
        // To the first shot 5 near (4 + 1), two steps far, back 3 far (1 + 1 + 1).
        QCOMPARE(sim::Simulator::rc().countCalls("RCDriveFocus") - before, 2u + 2u + 3u);
        QCOMPARE(LensAt(), 170);
    }

    void theLensEndAndNoCameraAreSaid() {
        ResetSimulators(WorldOf({}), WorldOf({LensCamera(151)}));
        DocFixture fx;
        FocusStackDlg dlg(fx.doc.get());
        QVERIFY(!dlg.Run());
        QCOMPARE(Child<QLabel>(dlg, "status")->text(), QStringLiteral("No camera is connected."));
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("EOS 300D"));
        QVERIFY(!dlg.Run());
        QCOMPARE(Child<QLabel>(dlg, "status")->text(), QStringLiteral("Mark Near and Far first."));
        dlg.Step(2);
        QTRY_COMPARE_WITH_TIMEOUT(Child<QLabel>(dlg, "status")->text(),
                                  QStringLiteral("The lens is at its far end."), kThreadWaitMs);
        QCOMPARE(LensAt(), 151);
        QCOMPARE(dlg.position(), 0);   // a step cut short by the end is not counted
    }
};

QTEST_MAIN(TestFocusStackDlg)
#include "FocusStackDlgTest.moc"
