// The focus stack through the real main window over the default simulated cameras: Capture >
// "Focus Stack..." opens the window, "EOS 10D" drives its lens, a dry run sweeps and the lens
// ends where it began, with the plan and the outcome on the console.
#include "app/CMainFrame.h"
#include "capture/FocusStackDlg.h"
#include "views/CViewCameraList.h"

#include "support/E2eSupport.h"
#include "support/PaneTestSupport.h"
#include "support/ThreadWait.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

class TestE2EFocusStack : public QObject {
    Q_OBJECT
private slots:
    void aDryRunFromTheMenuSweepsAndComesBack() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(w.selectCamera(QStringLiteral("EOS 10D")));
        QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
        QTRY_VERIFY(w.document()->openDriver() != nullptr);
        auto* action = w.frame()->findChild<QAction*>(QStringLiteral("focusStackAction"));
        QVERIFY(action != nullptr);
        action->trigger();
        FocusStackDlg* dlg = w.frame()->focusStack();
        QTRY_VERIFY(dlg->isVisible());
        const int home = sim::Simulator::rc().state("EOS 10D")->focusPos;

        testsupport::Child<QRadioButton>(*dlg, "fromHere")->setChecked(true);
        testsupport::Child<QSpinBox>(*dlg, "start")->setValue(-20);
        testsupport::Child<QSpinBox>(*dlg, "shots")->setValue(4);
        testsupport::Child<QComboBox>(*dlg, "stepSize")->setCurrentIndex(2);
        testsupport::Child<QSpinBox>(*dlg, "settle")->setValue(0);
        testsupport::Child<QCheckBox>(*dlg, "dryRun")->setChecked(true);
        testsupport::Child<QPushButton>(*dlg, "run")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->running(), kThreadWaitMs);
        QTRY_COMPARE(testsupport::Child<QLabel>(*dlg, "status")->text(),
                     QStringLiteral("4 shots done; the lens is back where the run began."));
        QCOMPARE(sim::Simulator::rc().state("EOS 10D")->focusPos, home);
        const QString console = w.console();
        QVERIFY2(console.contains(QStringLiteral(
                     "Focus stack 1 (dry run, no pictures): 4 shots, step size 3 (16 focus steps "
                     "apart, towards far), the first 20 steps near of where the lens is; the "
                     "camera settles 0 ms after each move")),
                 qPrintable(console));
        QVERIFY(console.contains(QStringLiteral("Focus stack 1: 4 of 4 (dry run: no picture)")));
        QVERIFY(console.contains(
            QStringLiteral("Focus stack 1: the lens is back where the run began")));
        QCOMPARE(QDir(w.shotsFolder()).entryList(QDir::Files).size(), 0);
    }
};

QTEST_MAIN(TestE2EFocusStack)
#include "E2EFocusStackTest.moc"
