// The Time tab end to end over the simulated camera: a real one-second delay and two photo
// steps with different TV labels; and a run under a 240 fps stream while rows come and go,
// Stop, and quitting the program during a long delay.
#include "support/ThreadWait.h"
#include "support/E2eSupport.h"

#include "capture/CCapTimeDlg.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

QString ChooseTv(testsupport::Window& w, int index) {
    QComboBox* tv = w.settings()->findChild<QComboBox*>(
        QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)));
    tv->setCurrentIndex(index);
    emit tv->activated(index);
    return tv->itemText(index);
}

std::uint32_t TvCode(testsupport::Window& w, const QString& label) {
    for (const auto& option : w.document()->cdDriver().tvModes())
        if (QString::fromStdString(option.label) == label) return option.code;
    return 0xFFFFFFFF;
}

bool Connect(testsupport::Window& w) {
    if (!w.selectCamera(QStringLiteral("PowerShot G5"))) return false;
    QTest::mouseClick(w.cameraList()->connectButton(), Qt::LeftButton);
    return w.document()->cdDriver().isOpen();
}

}   // namespace

class E2eSequenceTest : public QObject {
    Q_OBJECT
private slots:
    void delayAndTwoPhotosWithTheirOwnTv() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(Connect(w));
        CCapTimeDlg* time = w.host()->timePanel();
        QVERIFY(time);
        w.host()->tabs()->setCurrentIndex(CViewMain::TimeTab);
        QVERIFY(time->isVisible());
        QVERIFY(
            w.settings()
                ->findChild<QComboBox*>(QStringLiteral("setting.%1").arg(int(CViewSetting::TVMode)))
                ->count() > 3);

        const QString first = ChooseTv(w, 1);
        time->secondsEdit()->setText("1");
        QTest::mouseClick(time->addDelayButton(), Qt::LeftButton);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        const QString second = ChooseTv(w, 2);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        ChooseTv(w, 3);                          // the camera holds neither when the run starts
        sim::Simulator::cd().setJournal(true);   // the program runs with the journal off
        sim::Simulator::cd().clearJournal();
        const QString before = w.console();

        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QCOMPARE(time->captureButton()->text(), QStringLiteral("Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(time->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(time->stepList()->rowCount(), 0);

        const QString shots = w.shotsFolder();
        QVERIFY(QFile::exists(shots + "Photo-0000.jpg"));
        QVERIFY(QFile::exists(shots + "Photo-0001.jpg"));
        QVERIFY(!QFile::exists(shots + "Photo-0002.jpg"));
        QCOMPARE(w.console().mid(before.size()),
                 "Delay remaining: 0\nChanging TV mode to: " + first +
                     "\nTaking photo...\nPhoto Captured\n" +
                     testsupport::SavedLine(shots + "Photo-0000.jpg") +
                     "Changing TV mode to: " + second + "\nTaking photo...\nPhoto Captured\n" +
                     testsupport::SavedLine(shots + "Photo-0001.jpg"));

        // The camera held each step's TV when its picture was taken.
        QStringList calls;
        for (const sim::Call& call : sim::Simulator::cd().journal())
            if (call.name == "CDSetTvValue" || call.name == "CDRelease")
                calls << QString::fromStdString(call.name + " " + call.args);
        QCOMPARE(calls.size(), 4);
        QVERIFY(calls[0].endsWith(", " + QString::number(TvCode(w, first))));
        QVERIFY(calls[1].startsWith("CDRelease"));
        QVERIFY(calls[2].endsWith(", " + QString::number(TvCode(w, second))));
        QVERIFY(calls[3].startsWith("CDRelease"));

        QFile csv(shots + "Photo-sequence.csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromLatin1(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("run_start,step,kind,planned_start,actual_start,end,file,"
                                          "settings_changed,result"));
        QVERIFY2(lines[1].contains(",1,delay,") && lines[1].endsWith(",,,done"),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(",2,photo,") &&
                     lines[2].endsWith(shots + "Photo-0000.jpg,TV=" + first + ",captured"),
                 qPrintable(lines[2]));
        QVERIFY2(lines[3].contains(",3,photo,") &&
                     lines[3].endsWith(shots + "Photo-0001.jpg,TV=" + second + ",captured"),
                 qPrintable(lines[3]));
    }

    // Issue 17: a photo step at ISO 1600 run while the pane shows ISO 100 leaves the pane
    // showing what the camera holds (1600), read back quietly; the next Normal capture is then
    // no surprise.
    void settingsPaneShowsTheCameraAfterARun() {
        testsupport::Window w(0);
        QVERIFY(w.ok);
        QVERIFY(Connect(w));
        CCapTimeDlg* time = w.host()->timePanel();
        w.host()->tabs()->setCurrentIndex(CViewMain::TimeTab);
        QComboBox* iso = w.settings()->findChild<QComboBox*>(
            QStringLiteral("setting.%1").arg(int(CViewSetting::ISO)));
        QVERIFY(iso->count() > 2);
        auto choose = [&](int index) {
            iso->setCurrentIndex(index);
            emit iso->activated(index);
            return iso->itemText(index);
        };
        const QString high = choose(iso->count() - 1);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QVERIFY2(time->stepList()->item(0, 1)->text().contains(high),
                 qPrintable(time->stepList()->item(0, 1)->text()));
        const QString low = choose(1);
        QVERIFY(low != high);
        QCOMPARE(w.settings()->selectedText(CViewSetting::ISO), low);

        const QString before = w.console();
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(time->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(w.document()->cdDriver().GetLabel(camera::Setting::ISO), high.toStdString());
        QTRY_COMPARE_WITH_TIMEOUT(w.settings()->selectedText(CViewSetting::ISO), high,
                                  kThreadWaitMs);
        // Quietly: only the run's own lines.
        QCOMPARE(w.console().mid(before.size()),
                 "Changing ISO mode to: " + high + "\nTaking photo...\nPhoto Captured\n" +
                     testsupport::SavedLine(w.shotsFolder() + "Photo-0000.jpg"));
    }

    void runWhileStreamingThenQuitDuringALongDelay() {
        testsupport::Window w(240);
        QVERIFY(w.ok);
        QVERIFY(Connect(w));
        QTRY_VERIFY_WITH_TIMEOUT(w.viewscreen()->framesShown() > 10, kThreadWaitMs);
        CCapTimeDlg* time = w.host()->timePanel();
        w.host()->tabs()->setCurrentIndex(CViewMain::TimeTab);
        for (int i = 0; i < 6; ++i) QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QTableWidget* list = time->stepList();
        for (int row : {list->rowCount() - 1, 0}) {
            list->clearSelection();
            list->selectRow(row);
            QTest::mouseClick(time->removeButton(), Qt::LeftButton);
        }
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);   // Stop, if still running
        QTRY_COMPARE_WITH_TIMEOUT(time->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(),
                                  static_cast<int>(time->sequence().Queue().size()), kThreadWaitMs);
        QStringList queued;
        for (const auto& e : time->sequence().Queue()) queued << QString::number(e.number);
        QStringList rows;
        for (int r = 0; r < list->rowCount(); ++r) rows << list->item(r, 0)->text();
        QCOMPARE(rows, queued);
        const int captured = w.console().count(QStringLiteral("Photo Captured\n"));
        QVERIFY(captured >= 1);
        QTRY_COMPARE_WITH_TIMEOUT(QDir(w.shotsFolder()).entryList({"Photo-*.jpg"}).size(), captured,
                                  kThreadWaitMs);

        time->secondsEdit()->setText("99999");
        list->selectAll();
        QTest::mouseClick(time->removeButton(), Qt::LeftButton);
        QTest::mouseClick(time->addDelayButton(), Qt::LeftButton);
        QTest::mouseClick(time->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(time->captureButton(), Qt::LeftButton);
        QVERIFY(time->sequence().running());
        QElapsedTimer timer;
        timer.start();
        w.app.reset();   // quitting: the window, its panes, the document
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_MAIN(E2eSequenceTest)
#include "E2ESequenceTest.moc"
