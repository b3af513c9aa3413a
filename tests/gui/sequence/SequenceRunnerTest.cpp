// The sequence runner below the window, on an injected clock: console texts to the letter,
// the countdown's deadlines, Stop, removal while running, read-back, failures, the CSV log.
#include "support/SequenceTestSupport.h"

#include "capture/DocumentSequenceCamera.h"
#include "capture/SequenceLog.h"
#include "document/CaptureNaming.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace testsupport;
using camera::Setting;

namespace {

struct Run {
    Recorder events;
    FakeClock* clock;
    FakeCamera* camera;
    CSequenceThread thread;
    explicit Run(bool gated = false)
        : clock(new FakeClock(gated)),
          camera(new FakeCamera),
          thread(&events, std::unique_ptr<SequenceClock>(clock)) {
        thread.setCamera(std::unique_ptr<SequenceCamera>(camera));
        camera->clock = clock;
    }
    bool go(int runs = 1) { return thread.Start() && events.WaitForRuns(runs); }
};

std::string Repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

}   // namespace

class SequenceRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void consoleTexts_data() {
        QTest::addColumn<int>("caseIndex");
        QTest::newRow("2 s + photo") << 0;
        QTest::newRow("2 s + 5 s + photo") << 1;
        QTest::newRow("three photos, no camera") << 2;
        QTest::newRow("labels as the camera holds them") << 3;
        QTest::newRow("changed settings, one held back, zoom") << 4;
        QTest::newRow("labels not offered or empty") << 5;
        QTest::newRow("failed release") << 6;
    }
    void consoleTexts() {
        QFETCH(int, caseIndex);
        struct Case {
            std::vector<SequenceItem> steps;
            std::function<void(FakeCamera&)> prepare;
            std::string log;
            int pictures;
        };
        const std::map<Setting, std::string> held = {{Setting::TV, "1/60"}, {Setting::AV, "5.6"}};
        const Case cases[] = {
            {{Delay(2), Photo()},
             nullptr,
             "Delay remaining: 1\r\nDelay remaining: 0\r\nTaking photo...\r\nPhoto Captured\r\n",
             1},
            {{Delay(2), Delay(5), Photo()},
             nullptr,
             "Delay remaining: 1\r\nDelay remaining: 5\r\nDelay remaining: 4\r\n"
             "Delay remaining: 3\r\nDelay remaining: 2\r\nDelay remaining: 1\r\n"
             "Delay remaining: 0\r\nTaking photo...\r\nPhoto Captured\r\n",
             1},
            {{Photo(), Photo(), Photo()},
             [](FakeCamera& c) { c.open = false; },
             Repeat("No camera detected!\r\n", 3),
             0},
            {{Photo(held, 2)},
             [&](FakeCamera& c) {
                 c.values = held;
                 c.zoom = 2;
             },
             "Taking photo...\r\nPhoto Captured\r\n",
             1},
            {{Photo(
                 {{Setting::ImageSize, "Small"}, {Setting::TV, "1/125"}, {Setting::Flash, "Off"}},
                 5)},
             [](FakeCamera& c) {
                 c.values = {{Setting::TV, "1/60"}, {Setting::Flash, "Off"}};
                 c.hold = {Setting::TV};
             },
             "Changing image size to: Small\r\nChanging TV mode to: 1/125\r\n"
             "Changing zoom to: 5\r\nSetting not applied: TV is 1/60, wanted 1/125\r\n"
             "Taking photo...\r\nPhoto Captured\r\n",
             1},
            // A label the camera does not offer is said once in a run, not in every step.
            {{Photo({{Setting::TV, "1/8000"}, {Setting::AV, ""}, {Setting::ISO, "ISO 100"}}),
              Photo({{Setting::TV, "1/8000"}})},
             [](FakeCamera& c) {
                 c.values = {{Setting::TV, "1/60"}, {Setting::AV, "5.6"}};
                 c.offered = {"1/60", "ISO 100"};
             },
             "Setting not offered by the camera: TV 1/8000\r\nChanging ISO mode to: ISO 100\r\n"
             "Taking photo...\r\nPhoto Captured\r\nTaking photo...\r\nPhoto Captured\r\n",
             2},
            {{Photo(), Photo()},
             [](FakeCamera& c) { c.failRelease = true; },
             Repeat("Taking photo...\r\n\r\n--- TakePicture::CDRelease ---\r\n", 2),
             2},
        };
        const Case& c = cases[caseIndex];
        Run run;
        if (c.prepare) c.prepare(*run.camera);
        for (const SequenceItem& step : c.steps) run.thread.Append(step, 0);
        QVERIFY(run.go());
        QCOMPARE(QString::fromStdString(run.camera->text()), QString::fromStdString(c.log));
        QCOMPARE(run.camera->pictures, c.pictures);
        QVERIFY(run.thread.Queue().empty());
        QVERIFY(!run.thread.running());
        // One hand-over per step, in queue order, then the end.
        std::vector<std::string> expected;
        for (std::size_t i = 1; i <= c.steps.size(); ++i)
            expected.push_back("done " + std::to_string(i));
        expected.push_back("ended");
        QCOMPARE(run.events.list(), expected);
        if (caseIndex == 5) QCOMPARE(run.camera->values[Setting::AV], std::string("5.6"));
        // The settings pane is told of each photo step that changed something on the camera.
        QCOMPARE(run.events.settingsApplied(), caseIndex == 4 || caseIndex == 5 ? 1 : 0);
    }

    // A repeated run keeps the list as it was built: each pass runs it again from the top, and
    // Stop (here during a delay) or the end of the run gives it back whole, ids and delays as
    // they were. The progress names the pass, the step and the seconds to the next photo.
    void repeatsRunTheListAgain_data() {
        QTest::addColumn<int>("passes");
        QTest::addColumn<int>("pictures");
        QTest::newRow("three passes") << 3 << 3;
        QTest::newRow("until stopped (Stop in the third pass)") << 0 << 2;
    }
    void repeatsRunTheListAgain() {
        QFETCH(int, passes);
        QFETCH(int, pictures);
        Run run;
        run.thread.setRepeats(passes);
        const auto delay = run.thread.Append(Delay(1), 1);
        const auto photo = run.thread.Append(Photo(), 2);
        std::vector<CSequenceThread::Progress> seen;
        run.clock->onWait = [&](int index) {
            seen.push_back(run.thread.progress());
            if (passes == 0 && index == 2) run.thread.RequestStop();
        };
        QVERIFY(run.go());
        QCOMPARE(run.camera->pictures, pictures);
        const auto queue = run.thread.Queue();
        QCOMPARE(queue.size(), std::size_t(2));
        QCOMPARE(queue[0].id, delay);
        QCOMPARE(queue[0].item.delaySeconds, 1);
        QCOMPARE(queue[1].id, photo);
        // No step left the list, so none was handed over as done.
        QCOMPARE(run.events.list(), std::vector<std::string>{"ended"});
        QCOMPARE(QString::fromStdString(run.camera->text()),
                 QString::fromStdString(Repeat(
                     "Delay remaining: 0\r\nTaking photo...\r\nPhoto Captured\r\n", pictures)));
        QCOMPARE(seen.size(), std::size_t(3));
        for (std::size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].pass, static_cast<int>(i) + 1);
            QCOMPARE(seen[i].passes, passes);
            QCOMPARE(seen[i].step, 1);
            QCOMPARE(seen[i].secondsToPhoto, 1);
        }
        QVERIFY(!run.thread.progress().running);
        // The next run starts again from the top.
        run.clock->onWait = nullptr;
        run.thread.setRepeats(2);
        QVERIFY(run.go(2));
        QCOMPARE(run.camera->pictures, pictures + 2);
        QCOMPARE(run.thread.Queue().size(), std::size_t(2));
    }

    // A repeated list whose delays are removed while it runs would repeat with no pause
    // (pictures as fast as the camera takes them): the run ends before the next pass.
    void repeatWithoutADelayEndsTheRun() {
        Run run;
        run.thread.setRepeats(0);
        const auto delay = run.thread.Append(Delay(1), 1);
        run.thread.Append(Photo(), 2);
        run.camera->onTake = [&] { run.thread.Remove(delay); };
        QVERIFY(run.go());
        QCOMPARE(run.camera->pictures, 1);
        QCOMPARE(QString::fromStdString(run.camera->text()),
                 QStringLiteral("Delay remaining: 0\r\nTaking photo...\r\nPhoto Captured\r\n"
                                "Run ended: the list has no delay left, so it would repeat with "
                                "no pause\r\n"));
        QCOMPARE(run.thread.Queue().size(), std::size_t(1));
    }

    // Each second ends on the step's own timeline, however long the logging takes; five nines
    // run through in test time.
    void countdownDoesNotDrift() {
        Run run;
        run.camera->logCost = 300ms;
        run.thread.Append(Delay(3), 1);
        run.thread.Append(Delay(99999), 2);
        QVERIFY(run.go());
        const auto deadlines = run.clock->deadlines();
        QCOMPARE(deadlines.size(), std::size_t(3 + 99999));
        const TimePoint start = run.clock->start();
        for (int s = 1; s <= 3; ++s) QVERIFY(deadlines[s - 1] == start + std::chrono::seconds(s));
        // The second delay starts after the first ended plus the log line that followed it.
        const TimePoint second = start + 3s + 300ms;
        QVERIFY(deadlines[3] == second + 1s);
        QVERIFY(deadlines.back() == second + 99999s);
        QVERIFY(run.camera->text().ends_with("Delay remaining: 1\r\n"));
    }

    // Stop ends the run after the current step and never cuts a delay short; a later start
    // goes on from the next step. The running step cannot be removed, another one can.
    void stopAndRemovalWhileRunning() {
        Run run;
        const auto first = run.thread.Append(Delay(3), 1);
        const auto second = run.thread.Append(Delay(2), 2);
        const auto third = run.thread.Append(Photo(), 3);
        bool removedFront = true, removedThird = false;
        run.clock->onWait = [&](int index) {
            if (index != 0) return;
            run.thread.RequestStop();
            removedFront = run.thread.Remove(first);
            removedThird = run.thread.Remove(third);
        };
        QVERIFY(run.go());
        QVERIFY(!removedFront);
        QVERIFY(removedThird);
        QCOMPARE(run.clock->deadlines().size(), std::size_t(3));
        QCOMPARE(run.camera->text(), std::string("Delay remaining: 2\r\nDelay remaining: 1\r\n"));
        auto queue = run.thread.Queue();
        QCOMPARE(queue.size(), std::size_t(1));
        QCOMPARE(queue.front().id, second);
        QVERIFY(!run.thread.stopRequested());
        run.clock->onWait = nullptr;
        QVERIFY(run.go(2));
        QVERIFY(run.thread.Queue().empty());
        QCOMPARE(run.events.list(),
                 (std::vector<std::string>{"done 1", "ended", "done 2", "ended"}));
        QVERIFY(run.thread.Remove(first));   // no longer queued: nothing to refuse
    }

    // Quitting wakes a delay: the run ends before its next step, the step stays queued, the
    // end is told once.
    void quitDuringDelayEndsTheRun() {
        Run run(true);
        run.thread.Append(Delay(99999), 1);
        run.thread.Append(Photo(), 2);
        QVERIFY(run.thread.Start());
        QVERIFY(run.clock->WaitForWaiting());
        run.thread.Quit();
        QVERIFY(run.events.WaitForRuns(1));
        QCOMPARE(run.thread.Queue().size(), std::size_t(2));
        QCOMPARE(run.camera->pictures, 0);
        QCOMPARE(run.events.list(), std::vector<std::string>{"ended"});
    }

    void emptyQueueOrNoConsoleEndsAtOnce() {
        Run run;
        QVERIFY(run.go());
        QCOMPARE(run.events.list(), std::vector<std::string>{"ended"});
        Recorder events;
        CSequenceThread bare(&events);
        bare.Append(Photo(), 1);
        QVERIFY(bare.Start() && events.WaitForRuns(1));   // no camera port: nothing runs
        QCOMPARE(bare.Queue().size(), std::size_t(1));
    }

    // One row per finished or dropped step, the header once per file, each run appending.
    void sequenceLogRows() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("Photo-sequence.csv").toStdString();
        Run run;
        run.camera->logPath = path;
        run.thread.Append(Delay(1), 4);
        run.thread.Append(Photo({{Setting::TV, "1/125"}}, 0), 5);
        QVERIFY(run.go());
        run.camera->open = false;
        run.thread.Append(Photo(), 6);
        QVERIFY(run.go(2));
        run.camera->open = true;
        run.camera->failRelease = true;
        run.thread.Append(Photo(), 7);
        QVERIFY(run.go(3));

        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromLatin1(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        const QString start = "2026-11-30T00:53:20.000Z";   // the fake wall clock
        const QStringList expected = {
            SequenceLog::kHeader,
            start + ",4,delay," + start + "," + start + ",2026-11-30T00:53:21.000Z,,,done",
            start +
                ",5,photo,2026-11-30T00:53:21.000Z,2026-11-30T00:53:21.000Z,"
                "2026-11-30T00:53:21.000Z,/shots/Photo-0.jpg,TV=1/125,captured",
        };
        QCOMPARE(lines.mid(0, 3), expected);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(
            lines[3].endsWith(",6,photo," + start + "," + start + "," + start + ",,,no camera"),
            qPrintable(lines[3]));
        QVERIFY2(lines[4].endsWith(",,,failed"), qPrintable(lines[4]));
        // The log sits beside the captures without taking a capture number.
        QVERIFY(!CaptureNaming::Matches("Photo-sequence.csv", "Photo", "jpg"));
        QVERIFY(!CaptureNaming::Matches("Photo-sequence.csv", "Photo", "crw"));
        QCOMPARE(DocumentSequenceCamera::LogPathFor("/shots/", "Photo"),
                 std::string("/shots/Photo-sequence.csv"));
        QVERIFY(DocumentSequenceCamera::LogPathFor("/shots/", "../x").empty());
        QVERIFY(DocumentSequenceCamera::LogPathFor("", "Photo").empty());
        QVERIFY(DocumentSequenceCamera::LogPathFor("/shots/", "Pho\nto").empty());   // refused
        QVERIFY(DocumentSequenceCamera::LogPathFor("/sh\tots/", "Photo").empty());
        QCOMPARE(SequenceLog::Field("a,\"b\""), std::string("\"a,\"\"b\"\"\""));
    }

    // A log that cannot be opened is said once on the console; the run goes on.
    void unwritableLogIsReportedOnce() {
        Run run;
        run.camera->logPath = "/nonexistent-folder/Photo-sequence.csv";
        run.thread.Append(Photo(), 1);
        run.thread.Append(Photo(), 2);
        QVERIFY(run.go());
        QCOMPARE(QString::fromStdString(run.camera->text()),
                 QStringLiteral("Sequence log not written: /nonexistent-folder/Photo-sequence.csv: "
                                "No such file or directory\r\n") +
                     "Taking photo...\r\nPhoto Captured\r\nTaking photo...\r\nPhoto Captured\r\n");
    }

    // A fifo at the log's name is refused at once, said once: the run neither blocks nor stops.
    void fifoAtTheLogIsRefusedAtOnce() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("Photo-sequence.csv").toStdString();
        QVERIFY(::mkfifo(path.c_str(), 0600) == 0);
        Run run;
        run.camera->logPath = path;
        run.thread.Append(Photo(), 1);
        run.thread.Append(Photo(), 2);
        QVERIFY(run.go());
        QCOMPARE(run.camera->text(), "Sequence log not written: " + path + ": " + path +
                                         " is a fifo, not a regular file; nothing is written to "
                                         "it\r\n" +
                                         Repeat("Taking photo...\r\nPhoto Captured\r\n", 2));
    }
};

QTEST_GUILESS_MAIN(SequenceRunnerTest)
#include "SequenceRunnerTest.moc"
