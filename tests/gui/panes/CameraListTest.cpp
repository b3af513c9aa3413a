// The camera list: fill order over both drivers, the connect and disconnect states, console
// lines, failures, and the refresh of the settings and info panes.
#include "support/PaneTestSupport.h"

#include "views/CViewCameraList.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace testsupport;

namespace {

QStringList rowsOf(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

bool select(CViewCameraList& pane, const QString& name) {
    const auto found = pane.cameraList()->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    pane.cameraList()->setCurrentItem(found.front());
    return true;
}

}   // namespace

class CameraListTest : public QObject {
    Q_OBJECT
private slots:
    void rcNamesComeFirst() {
        ResetSimulators(WorldOf({sim::fullCamera("Cd One"), sim::fullCamera("Cd Two")}),
                        WorldOf({sim::fullCamera("Rc One"), sim::fullCamera("Rc Two")}));
        DocFixture fx;
        CViewCameraList pane(fx.doc.get());
        QCOMPARE(rowsOf(pane.cameraList()), QStringList({"Rc One", "Rc Two", "Cd One", "Cd Two"}));
        // "Update List" refills from the drivers again.
        sim::Simulator::cd().removeCamera("Cd One");
        QTest::mouseClick(pane.updateButton(), Qt::LeftButton);
        QCOMPARE(rowsOf(pane.cameraList()), QStringList({"Rc One", "Rc Two", "Cd Two"}));
    }

    // A Connect that cannot connect says why in one console line.
    void connectWithoutARowSaysWhy_data() {
        QTest::addColumn<bool>("anyCamera");
        QTest::addColumn<QString>("line");
        QTest::newRow("empty list")
            << false << "No camera to connect to: attach one, then press Update List\r\n";
        QTest::newRow("nothing selected")
            << true << "No camera selected: choose one in the list, then press Connect\r\n";
    }
    void connectWithoutARowSaysWhy() {
        QFETCH(bool, anyCamera);
        QFETCH(QString, line);
        ResetSimulators(WorldOf(anyCamera ? std::vector{sim::fullCamera("Cd One")}
                                          : std::vector<sim::CameraSpec>{}),
                        WorldOf({}));
        DocFixture fx;
        CViewCameraList pane(fx.doc.get());
        pane.cameraList()->clearSelection();
        QTest::mouseClick(pane.connectButton(), Qt::LeftButton);
        QCOMPARE(QString::fromStdString(fx.console.text()), line);
        QVERIFY(!fx.doc->cdDriver().isOpen());
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Connect"));
    }

    // At start the first row is selected, so Connect works without touching the list; a
    // double-click or Enter on a row connects too, and a double-click on the button is one
    // request, not a connect and a disconnect.
    void connectGestures_data() {
        QTest::addColumn<int>("gesture");
        QTest::newRow("Connect at start") << 0;
        QTest::newRow("double-click on a row") << 1;
        QTest::newRow("Enter on a row") << 2;
        QTest::newRow("double-click on Connect") << 3;
    }
    void connectGestures() {
        QFETCH(int, gesture);
        ResetSimulators(WorldOf({sim::fullCamera("Cd One"), sim::fullCamera("Cd Two")}),
                        WorldOf({}));
        DocFixture fx;
        CViewCameraList pane(fx.doc.get());
        pane.resize(200, 150);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QListWidget* list = pane.cameraList();
        QString expected = "Cd One";
        switch (gesture) {
            case 0: QTest::mouseClick(pane.connectButton(), Qt::LeftButton); break;
            case 1:
            case 2: {
                expected = "Cd Two";
                const QRect row = list->visualItemRect(list->item(1));
                if (gesture == 1) {
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
                    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
                } else {
                    list->setCurrentRow(1);
                    list->setFocus();
                    QTest::keyClick(list, Qt::Key_Return);
                }
                break;
            }
            case 3:   // the first click of a double-click, then its second
                QTest::mouseClick(pane.connectButton(), Qt::LeftButton);
                QTest::mouseDClick(pane.connectButton(), Qt::LeftButton);
                break;
        }
        QCOMPARE(QString::fromStdString(fx.console.text()), "Connecting to: " + expected + "\r\n");
        QVERIFY(sim::Simulator::cd().state(expected.toStdString())->open);
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Disconnect"));
        // A later single click is a request again.
        QTest::mouseClick(pane.connectButton(), Qt::LeftButton);
        QVERIFY(!fx.doc->cdDriver().isOpen());
    }

    void connectAndDisconnect_data() {
        QTest::addColumn<QString>("camera");
        QTest::newRow("CD camera") << "Cd One";
        QTest::newRow("RC camera") << "Rc One";
    }
    void connectAndDisconnect() {
        QFETCH(QString, camera);
        ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({sim::fullCamera("Rc One")}));
        DocFixture fx;
        CViewSetting settings(fx.doc.get());
        CViewInfo info(fx.doc.get());
        CViewCameraList pane(fx.doc.get());
        QVERIFY(select(pane, camera));
        QTest::mouseClick(pane.connectButton(), Qt::LeftButton);

        QCOMPARE(fx.console.text(), "Connecting to: " + camera.toStdString() + "\r\n");
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Disconnect"));
        QVERIFY(!pane.cameraList()->isEnabled());
        QVERIFY(!pane.updateButton()->isEnabled());
        QVERIFY(sim::Simulator::cd().state("Cd One")->open == (camera == "Cd One"));
        QVERIFY(sim::Simulator::rc().state("Rc One")->open == (camera == "Rc One"));
        QVERIFY(
            settings
                .findChild<QComboBox*>(QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)))
                ->count() > 0);
        QCOMPARE(Child<QLabel>(info, "infoName")->text(), camera);

        fx.console.clear();
        QTest::mouseClick(pane.connectButton(), Qt::LeftButton);
        QCOMPARE(fx.console.text(), std::string("Disconnecting camera\r\n"));
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Connect"));
        QVERIFY(pane.cameraList()->isEnabled());
        QVERIFY(pane.updateButton()->isEnabled());
        QVERIFY(!sim::Simulator::cd().state("Cd One")->open);
        QVERIFY(!sim::Simulator::rc().state("Rc One")->open);
        QCOMPARE(
            settings
                .findChild<QComboBox*>(QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)))
                ->count(),
            0);
        QCOMPARE(Child<QLabel>(info, "infoName")->text(), QString());
        // The list is not refilled by a connect or disconnect.
        QCOMPARE(pane.cameraList()->count(), 2);
    }

    void longNamesConnectWhole() {
        const std::string longName = "PowerShot " + std::string(110, 'X');
        ResetSimulators(WorldOf({sim::fullCamera(longName)}), WorldOf({}));
        DocFixture fx;
        CViewCameraList pane(fx.doc.get());
        QVERIFY(select(pane, QString::fromStdString(longName)));
        pane.OnConnect();
        QCOMPARE(fx.console.text(), "Connecting to: " + longName + "\r\n");
        QVERIFY(fx.doc->cdDriver().isOpen());
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Disconnect"));
    }

    void failedConnectChangesNothing() {
        ResetSimulators(WorldOf({sim::fullCamera("Cd One")}), WorldOf({}));
        DocFixture fx;
        CViewSetting settings(fx.doc.get());
        CViewCameraList pane(fx.doc.get());
        QVERIFY(select(pane, "Cd One"));
        // The camera goes away after the list was filled.
        sim::Simulator::cd().removeCamera("Cd One");
        fx.doc->UpdateDeviceList();
        pane.OnConnect();
        QCOMPARE(fx.console.text(), std::string("Connecting to: Cd One\r\n"));
        QCOMPARE(pane.connectButton()->text(), QStringLiteral("Connect"));
        QVERIFY(pane.cameraList()->isEnabled());
        QVERIFY(pane.updateButton()->isEnabled());
        QCOMPARE(
            settings
                .findChild<QComboBox*>(QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)))
                ->count(),
            0);
    }
};

QTEST_MAIN(CameraListTest)
#include "CameraListTest.moc"
