// A Time run while its camera goes away and comes back, on the injected clock: a step that
// waits, one taken late within the tolerance, one missed, one lost during its release, a camera
// that never returns; console lines to the letter and the sequence log's rows.
#include "support/SequenceTestSupport.h"

#include "capture/CCapTimeDlg.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace testsupport;

namespace {

const std::string kAway = "Camera away: the run waits for it (at most 30 min)\r\n";
const std::string kBack = "Camera back: the run goes on\r\n";
const std::string kTaken = "Taking photo...\r\nPhoto Captured\r\n";

}   // namespace

class SequenceAwayTest : public QObject {
    Q_OBJECT
private slots:
    void cameraAwayAndBack_data() {
        QTest::addColumn<int>("caseIndex");
        QTest::newRow("lost in a delay, back before the photo's moment") << 0;
        QTest::newRow("lost in a delay, back 3 s after the moment") << 1;
        QTest::newRow("back 7 s after the moment: missed") << 2;
        QTest::newRow("lost during the release") << 3;
        QTest::newRow("never back") << 4;
        QTest::newRow("waiting ended by Disconnect") << 5;
    }
    void cameraAwayAndBack() {
        QFETCH(int, caseIndex);
        struct Case {
            std::vector<SequenceItem> steps;
            std::chrono::milliseconds from, until;   // away, on the run's clock
            std::chrono::milliseconds vanishOnTake;
            std::chrono::milliseconds limit;
            std::string log;
            int pictures;
            std::size_t left;   // steps still listed at the end
            QStringList rows;   // kind:result of each sequence log row
        };
        using ms = std::chrono::milliseconds;
        const ms never = ms(1000 * 1000 * 1000);
        const ms limit = std::chrono::minutes(30);
        const Case cases[] = {
            {{Delay(3), Photo()},
             1500ms,
             2500ms,
             0ms,
             limit,
             "Delay remaining: 2\r\n" + kAway + "Delay remaining: 1\r\n" + kBack +
                 "Delay remaining: 0\r\n" + kTaken,
             1,
             0,
             {"camera:camera lost", "camera:camera back", "delay:done", "photo:captured"}},
            {{Delay(2), Photo()},
             1500ms,
             5000ms,
             0ms,
             limit,
             "Delay remaining: 1\r\n" + kAway + "Delay remaining: 0\r\n" + kBack + kTaken,
             1,
             0,
             {"camera:camera lost", "delay:done", "camera:camera back", "photo:captured"}},
            {{Delay(2), Photo(), Photo()},
             1500ms,
             9000ms,
             0ms,
             limit,
             "Delay remaining: 1\r\n" + kAway + "Delay remaining: 0\r\n" + kBack +
                 "Photo step 2 missed: the camera came back 7 s after its moment\r\n" + kTaken,
             1,
             0,
             {"camera:camera lost", "delay:done", "camera:camera back", "photo:missed",
              "photo:captured"}},
            {{Photo(), Delay(1)},
             never,
             never,
             2000ms,
             limit,
             "Taking photo...\r\n" + kAway + kBack + kTaken,
             1,
             0,
             {"camera:camera lost", "camera:camera back", "photo:captured", "delay:done"}},
            {{Photo(), Delay(1), Photo()},
             0ms,
             never,
             0ms,
             std::chrono::seconds(90),
             "Camera away: the run waits for it (at most 90 s)\r\n"
             "Run ended: the camera stayed away longer than 90 s; the steps left stay listed\r\n",
             0,
             3,
             {"camera:camera lost"}},
            {{Photo()},
             0ms,
             2000ms,
             0ms,
             limit,
             kAway + "Camera no longer waited for: the run goes on without it\r\n"
                     "No camera detected!\r\n",
             0,
             0,
             {"camera:camera lost", "camera:camera given up", "photo:no camera"}},
        };
        const Case& c = cases[caseIndex];
        QTemporaryDir dir;
        Recorder events;
        auto* clock = new FakeClock;
        auto* camera = new FakeCamera;
        camera->clock = clock;
        camera->logPath = dir.filePath("Photo-sequence.csv").toStdString();
        camera->awayFrom = clock->start() + c.from;
        camera->awayUntil = clock->start() + c.until;
        camera->vanishOnTake = c.vanishOnTake;
        camera->open = caseIndex != 5;   // Disconnect while waiting: not open when it ends
        CSequenceThread thread(&events, std::unique_ptr<SequenceClock>(clock));
        thread.setCamera(std::unique_ptr<SequenceCamera>(camera));
        thread.setAwayLimit(c.limit);
        int number = 0;
        for (const SequenceItem& step : c.steps) thread.Append(step, ++number);
        QVERIFY(thread.Start() && events.WaitForRuns(1));

        QCOMPARE(QString::fromStdString(camera->text()), QString::fromStdString(c.log));
        QCOMPARE(camera->pictures - (c.vanishOnTake.count() > 0 ? 1 : 0), c.pictures);
        QCOMPARE(thread.Queue().size(), c.left);
        QFile file(dir.filePath("Photo-sequence.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList rows;
        const QStringList lines =
            QString::fromLatin1(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split(',');
            rows << fields.value(2) + ":" + fields.value(8);
        }
        QCOMPARE(rows, c.rows);
    }

    // While a photo step waits for the camera the progress line says so; while a delay runs on
    // without it, it says the camera is away.
    void progressSaysTheRunWaits() {
        Recorder events;
        auto* clock = new FakeClock;
        auto* camera = new FakeCamera;
        camera->clock = clock;
        camera->awayFrom = clock->start() + 500ms;
        camera->awayUntil = clock->start() + 3000ms;
        CSequenceThread thread(&events, std::unique_ptr<SequenceClock>(clock));
        thread.setCamera(std::unique_ptr<SequenceCamera>(camera));
        thread.setRepeats(2);
        thread.Append(Delay(2), 1);
        thread.Append(Photo(), 2);
        QStringList said;
        clock->onWait = [&](int) {
            const QString text = CCapTimeDlg::ProgressText(thread.progress());
            if (said.isEmpty() || said.back() != text) said << text;
        };
        QVERIFY(thread.Start() && events.WaitForRuns(1));
        QCOMPARE(said, (QStringList{"Repeat 1 of 2, step 1, next photo in 2 s",
                                    "Repeat 1 of 2, step 1, next photo in 1 s, camera away",
                                    "Repeat 1 of 2, step 2, waiting for the camera",
                                    "Repeat 2 of 2, step 1, next photo in 2 s",
                                    "Repeat 2 of 2, step 1, next photo in 1 s"}));
        QCOMPARE(camera->pictures, 2);
        QVERIFY(!thread.progress().cameraAway);
    }
};

QTEST_GUILESS_MAIN(SequenceAwayTest)
#include "SequenceAwayTest.moc"
