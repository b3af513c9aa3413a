// The settings pane: refill from the open camera, writes by label, the re-enumeration each
// driver does after a mode change, AF lock, zoom, and the empty state after a disconnect.
#include "support/ThreadWait.h"
#include "support/PaneTestSupport.h"

#include "views/CViewSetting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <thread>

using namespace testsupport;

namespace {

QStringList itemsOf(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

QStringList labelsOf(const std::vector<camera::SettingOption>& options) {
    QStringList labels;
    for (const auto& option : options) labels << QString::fromStdString(option.label);
    return labels;
}

// The pane's controls, by their object names.
QComboBox* listOf(const CViewSetting& pane, CViewSetting::Row row) {
    return Child<QComboBox>(pane,
                            QStringLiteral("setting.%1").arg(int(row)).toLatin1().constData());
}
QSlider* zoomOf(const CViewSetting& pane) { return Child<QSlider>(pane, "zoom"); }
QCheckBox* afLockOf(const CViewSetting& pane) { return Child<QCheckBox>(pane, "afLock"); }

// Lists the cameras, connects the named one and refills the pane; false if it did not connect.
bool connectAndRefill(DocFixture& fx, CViewSetting& pane, const std::string& camera) {
    fx.doc->UpdateDeviceList();
    if (!fx.doc->ConnectCamera(camera)) return false;
    pane.RefreshSettings();
    return true;
}

// Picks the first entry that is not selected now, as the user would, and returns its text.
QString chooseAnother(CViewSetting& pane, CViewSetting::Row row) {
    QComboBox* combo = listOf(pane, row);
    const int index = combo->currentIndex() == 0 ? 1 : 0;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return combo->itemText(index);
}

}   // namespace

class SettingPaneTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetSimulators(WorldOf({sim::fullCamera("Cd Camera")}),
                        WorldOf({sim::fullCamera("Rc Camera")}));
    }

    void emptyWithoutCamera() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        const int sliderStart = zoomOf(pane)->value();
        pane.RefreshSettings();
        for (int row = 0; row < CViewSetting::RowCount; ++row)
            QCOMPARE(listOf(pane, CViewSetting::Row(row))->count(), 0);
        QCOMPARE(zoomOf(pane)->value(), sliderStart);
        // The AF lock box cannot change while no camera is open.
        QTest::mouseClick(afLockOf(pane), Qt::LeftButton);
        QVERIFY(!afLockOf(pane)->isChecked());
        QCOMPARE(fx.console.text(), std::string());
    }

    void refillShowsTheCamerasValues_data() {
        QTest::addColumn<QString>("camera");
        QTest::newRow("CD driver") << "Cd Camera";
        QTest::newRow("RC driver") << "Rc Camera";
    }
    void refillShowsTheCamerasValues() {
        QFETCH(QString, camera);
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, camera.toStdString()));
        camera::CanonDriver& d = *fx.doc->openDriver();
        struct Expect {
            CViewSetting::Row row;
            std::vector<camera::SettingOption> options;
            std::string current;
        };
        const Expect rows[] = {
            {CViewSetting::ShootingMode, d.shootingModes(), d.GetShootingMode()},
            {CViewSetting::AVMode, d.avModes(), d.GetAV()},
            {CViewSetting::TVMode, d.tvModes(), d.GetTV()},
            {CViewSetting::ISO, d.isoModes(), d.GetISO()},
            {CViewSetting::Meter, d.meterModes(), d.GetMeter()},
            {CViewSetting::Exposure, d.exposures(), d.GetExposure()},
            {CViewSetting::WhiteBalance, d.wbValues(), d.GetWhiteBalance()},
            {CViewSetting::Effect, d.effects(), d.GetEffect()},
            {CViewSetting::AFDistance, d.afDistances(), d.GetAFDistance()},
            {CViewSetting::Flash, d.flashModes(), d.GetFlash()},
        };
        for (const Expect& e : rows) {
            QVERIFY2(!e.options.empty(), "the full camera offers every setting");
            QCOMPARE(itemsOf(listOf(pane, e.row)), labelsOf(e.options));
            QCOMPARE(pane.selectedText(e.row), QString::fromStdString(e.current));
        }
        // Image quality offers only the qualities of the current size.
        QStringList sizes;
        for (const auto& size : d.imageSizes()) {
            sizes << QString::fromStdString(size.label);
            if (size.label == d.GetImageSize())
                QCOMPARE(itemsOf(listOf(pane, CViewSetting::ImageQuality)),
                         labelsOf(size.qualities));
        }
        QCOMPARE(itemsOf(listOf(pane, CViewSetting::ImageSize)), sizes);
        QCOMPARE(pane.selectedText(CViewSetting::ImageQuality),
                 QString::fromStdString(d.GetImageQuality()));
        QCOMPARE(zoomOf(pane)->maximum(), int(d.maxZoomPos()));
        QCOMPARE(zoomOf(pane)->value(), int(d.GetZoomPos()));
    }

    void choosingWritesTheLabelToTheCamera() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        const QString tv = chooseAnother(pane, CViewSetting::TVMode);
        QCOMPARE(QString::fromStdString(fx.doc->cdDriver().GetTV()), tv);
        std::uint32_t code = 0;
        for (const auto& option : fx.doc->cdDriver().tvModes())
            if (QString::fromStdString(option.label) == tv) code = option.code;
        QCOMPARE(sim::Simulator::cd().state("Cd Camera")->tvValue, code);
        QCOMPARE(pane.selectedText(CViewSetting::TVMode), tv);

        const QString wb = chooseAnother(pane, CViewSetting::WhiteBalance);
        QCOMPARE(QString::fromStdString(fx.doc->cdDriver().GetWhiteBalance()), wb);
    }

    // A setting the camera changed by itself (a dial on the body) shows within a wake-up,
    // from any thread, with nothing sent back, nothing logged and the AF lock box kept.
    void followsTheCamerasOwnChanges() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        QTest::mouseClick(afLockOf(pane), Qt::LeftButton);
        QVERIFY(afLockOf(pane)->isChecked());
        camera::CanonDriver& d = fx.doc->cdDriver();
        const std::string tv = d.tvModes().at(d.tvModes().size() / 2).label;
        QVERIFY(tv != d.GetTV());
        QVERIFY(d.SetTV(tv));   // the camera now holds another value than the pane shows
        sim::Simulator::cd().clearJournal();
        std::thread([] { CViewSetting::CameraChangedSettings(); }).join();
        QTRY_COMPARE_WITH_TIMEOUT(pane.selectedText(CViewSetting::TVMode),
                                  QString::fromStdString(tv), kThreadWaitMs);
        QCOMPARE(sim::Simulator::cd().countCalls("CDSetTvValue"), std::size_t{0});
        QVERIFY(afLockOf(pane)->isChecked());
        QCOMPARE(fx.console.text(), std::string());
    }

    void choosingASizeRefillsItsQualities() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        const QStringList before = itemsOf(listOf(pane, CViewSetting::ImageQuality));
        // Small has no Lossless quality in the full camera.
        QComboBox* sizes = listOf(pane, CViewSetting::ImageSize);
        const int small = sizes->findText(QStringLiteral("Small"));
        QVERIFY(small >= 0);
        sizes->setCurrentIndex(small);
        emit sizes->activated(small);
        QCOMPARE(pane.selectedText(CViewSetting::ImageSize), QStringLiteral("Small"));
        for (const auto& size : fx.doc->cdDriver().imageSizes())
            if (size.label == "Small")
                QCOMPARE(itemsOf(listOf(pane, CViewSetting::ImageQuality)),
                         labelsOf(size.qualities));
        QVERIFY(itemsOf(listOf(pane, CViewSetting::ImageQuality)) != before);
        QCOMPARE(pane.selectedText(CViewSetting::ImageQuality),
                 QString::fromStdString(fx.doc->cdDriver().GetImageQuality()));
    }

    // After a mode change the CD driver re-reads and refills AV through flash; the RC driver only
    // AV and TV. A list the pane refills shows the camera's value again, so a selection moved
    // only in the list (not sent) tells which lists were refilled.
    void modeChangeReenumerates_data() {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<bool>("refillsOthers");
        QTest::newRow("CD: nine lists") << "Cd Camera" << true;
        QTest::newRow("RC: AV and TV only") << "Rc Camera" << false;
    }
    void modeChangeReenumerates() {
        QFETCH(QString, camera);
        QFETCH(bool, refillsOthers);
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, camera.toStdString()));

        const CViewSetting::Row others[] = {CViewSetting::ISO,      CViewSetting::Meter,
                                            CViewSetting::Exposure, CViewSetting::WhiteBalance,
                                            CViewSetting::Effect,   CViewSetting::AFDistance,
                                            CViewSetting::Flash};
        const CViewSetting::Row unrefilled[] = {CViewSetting::ImageQuality};
        QMap<int, QString> cameraValue;
        auto moveOnlyInList = [&](CViewSetting::Row row) {
            QComboBox* combo = listOf(pane, row);
            cameraValue[row] = combo->currentText();
            combo->setCurrentIndex(combo->currentIndex() == 0 ? 1 : 0);
        };
        for (auto row : others) moveOnlyInList(row);
        for (auto row : unrefilled) moveOnlyInList(row);
        moveOnlyInList(CViewSetting::AVMode);
        moveOnlyInList(CViewSetting::TVMode);

        chooseAnother(pane, CViewSetting::ShootingMode);
        camera::CanonDriver& d = *fx.doc->openDriver();
        QCOMPARE(pane.selectedText(CViewSetting::AVMode), QString::fromStdString(d.GetAV()));
        QCOMPARE(pane.selectedText(CViewSetting::TVMode), QString::fromStdString(d.GetTV()));
        for (auto row : others) {
            if (refillsOthers) QCOMPARE(pane.selectedText(row), cameraValue[row]);
            else QVERIFY(pane.selectedText(row) != cameraValue[row]);
        }
        for (auto row : unrefilled) QVERIFY(pane.selectedText(row) != cameraValue[row]);
    }

    void afLockToggles() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        QTest::mouseClick(afLockOf(pane), Qt::LeftButton);
        QVERIFY(afLockOf(pane)->isChecked());
        QVERIFY(sim::Simulator::cd().state("Cd Camera")->afLocked);
        // A refused call is logged by the driver, and the box follows the click anyway.
        sim::Simulator::cd().failOnce("AFLock", 0x81);
        QTest::mouseClick(afLockOf(pane), Qt::LeftButton);
        QVERIFY(!afLockOf(pane)->isChecked());
        QVERIFY(sim::Simulator::cd().state("Cd Camera")->afLocked);
        QCOMPARE(errors().size(), size_t(1));
        QVERIFY(QString::fromStdString(errors().front()).startsWith("SetAFLock::CDAFLock: "));
    }

    void zoomFollowsTheSlider() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        QVERIFY(zoomOf(pane)->maximum() >= 3);
        for (int position : {3, 1, zoomOf(pane)->maximum()}) {
            zoomOf(pane)->setValue(position);
            QCOMPARE(sim::Simulator::cd().state("Cd Camera")->zoomPos, std::uint32_t(position));
        }
    }

    // A wheel turn over a list or the slider reaches the camera only when that control has the
    // keyboard focus; without it neither the control nor the camera changes.
    void wheelNeedsTheFocus_data() {
        QTest::addColumn<bool>("slider");
        QTest::addColumn<bool>("focused");
        QTest::newRow("TV list, no focus") << false << false;
        QTest::newRow("TV list, focus") << false << true;
        QTest::newRow("zoom slider, no focus") << true << false;
        QTest::newRow("zoom slider, focus") << true << true;
    }
    void wheelNeedsTheFocus() {
        QFETCH(bool, slider);
        QFETCH(bool, focused);
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QLineEdit elsewhere(&pane);   // holds the focus when the control must not
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        pane.show();
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        QWidget* control =
            slider ? static_cast<QWidget*>(zoomOf(pane)) : listOf(pane, CViewSetting::TVMode);
        zoomOf(pane)->setValue(1);   // the wheel can move either list or slider from here
        listOf(pane, CViewSetting::TVMode)->setCurrentIndex(1);
        (focused ? control : static_cast<QWidget*>(&elsewhere))->setFocus();
        QCOMPARE(control->hasFocus(), focused);
        auto tvNow = [] { return sim::Simulator::cd().state("Cd Camera")->tvValue; };
        auto zoomNow = [] { return sim::Simulator::cd().state("Cd Camera")->zoomPos; };
        const std::uint32_t tv = tvNow(), zoom = zoomNow();
        const QString text = pane.selectedText(CViewSetting::TVMode);
        const QPoint at = control->rect().center();
        QWheelEvent wheel(at, control->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(control, &wheel);
        QCOMPARE(slider ? zoomNow() != zoom : tvNow() != tv, focused);
        QCOMPARE(pane.selectedText(CViewSetting::TVMode) != text, focused && !slider);
        QCOMPARE(slider ? tvNow() : zoomNow(), slider ? tv : zoom);
    }

    void zoomValueShows() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Cd Camera"));
        zoomOf(pane)->setValue(2);
        QCOMPARE(zoomOf(pane)->toolTip(),
                 QStringLiteral("Zoom position 2 of %1").arg(zoomOf(pane)->maximum()));
    }

    void disconnectEmptiesTheLists() {
        DocFixture fx;
        CViewSetting pane(fx.doc.get());
        QVERIFY(connectAndRefill(fx, pane, "Rc Camera"));
        QTest::mouseClick(afLockOf(pane), Qt::LeftButton);
        zoomOf(pane)->setValue(2);
        const int range = zoomOf(pane)->maximum();
        fx.doc->rcDriver().Disconnect();
        pane.RefreshSettings();
        for (int row = 0; row < CViewSetting::RowCount; ++row)
            QCOMPARE(listOf(pane, CViewSetting::Row(row))->count(), 0);
        QVERIFY(!afLockOf(pane)->isChecked());
        QCOMPARE(zoomOf(pane)->value(),
                 2);   // the slider keeps its place
        QCOMPARE(zoomOf(pane)->maximum(), range);
    }
};

QTEST_MAIN(SettingPaneTest)
#include "SettingPaneTest.moc"
