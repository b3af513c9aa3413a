// The console written from worker threads: nothing lost, nothing reordered, the UI thread's own
// writes never overtake text already handed over, and writers never wait for the UI thread.
#include "support/ThreadWait.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"
#include "views/CViewDebug.h"
#include "kit/UiWakeup.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <sys/resource.h>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

class TestConsoleThreaded : public QObject {
    Q_OBJECT
private slots:
    void workersLoseNothingAndKeepOrder();
    void workersDoNotWaitForTheUiThread();
    void uiWritesComeAfterPendingWorkerText();
    void mixedWritersUnderLoadStayWithinLimit();
    void errorReportsFromWorkersStayWhole();
    void consoleClosesWhileWorkersLog();
    void wakeupWithoutEventfdStillWakesAndSaysSo();
};

namespace {

// Splits the log into lines "W<writer> <n>" and checks that every writer's numbers count up
// from `first` without a gap. Returns the last number seen for each writer.
std::map<int, int> checkSequences(const std::string& log, bool fromZero) {
    std::map<int, int> last;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != 'W') continue;
        int writer = -1, n = -1;
        if (std::sscanf(line.c_str(), "W%d %d", &writer, &n) != 2) continue;
        auto it = last.find(writer);
        if (it == last.end()) {
            if (fromZero && n != 0) return {{-1, writer}};
            last[writer] = n;
        } else {
            if (n != it->second + 1) return {{-1, writer}};
            it->second = n;
        }
    }
    return last;
}

}   // namespace

void TestConsoleThreaded::workersLoseNothingAndKeepOrder() {
    CViewDebug console(nullptr);
    constexpr int kWriters = 4, kMessages = 500;   // about 20,000 characters: no trimming
    std::vector<std::thread> workers;
    for (int w = 0; w < kWriters; ++w)
        workers.emplace_back([&console, w] {
            for (int i = 0; i < kMessages; ++i) console.WriteLog("W%d %d\r\n", w, i);
        });
    for (auto& t : workers) t.join();

    QTRY_COMPARE_WITH_TIMEOUT(std::count(console.logText().begin(), console.logText().end(), '\n'),
                              long(kWriters * kMessages), kThreadWaitMs);
    const auto last = checkSequences(console.logText(), true);
    QVERIFY(!last.count(-1));
    QCOMPARE(int(last.size()), kWriters);
    for (const auto& [writer, n] : last) QCOMPARE(n, kMessages - 1);
    QCOMPARE(console.textControl()->toPlainText(),
             QString::fromStdString(console.logText()).remove(QLatin1Char('\r')));
}

void TestConsoleThreaded::workersDoNotWaitForTheUiThread() {
    // The UI thread does not run its event loop while the worker writes: the worker must still
    // finish, and its text appears once the loop runs.
    CViewDebug console(nullptr);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) console.WriteLog("W0 %d\r\n", i);
        done = true;
    });
    worker.join();
    QVERIFY(done);
    QVERIFY(console.logText().empty());
    QTRY_VERIFY_WITH_TIMEOUT(console.logText().size() > 0, kThreadWaitMs);
    const auto last = checkSequences(console.logText(), true);
    QCOMPARE(last.at(0), 999);
}

void TestConsoleThreaded::uiWritesComeAfterPendingWorkerText() {
    CViewDebug console(nullptr);
    console.WriteLog("first\r\n");
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) console.WriteLog("W0 %d\r\n", i);
    });
    worker.join();
    // The worker's text is still queued; this write must not overtake it.
    console.WriteLog("Photo Captured\r\n");
    std::string expected = "first\r\n";
    for (int i = 0; i < 100; ++i) expected += "W0 " + std::to_string(i) + "\r\n";
    expected += "Photo Captured\r\n";
    QCOMPARE(console.logText(), expected);

    // The queued wake-up finds nothing left and adds nothing twice.
    QCoreApplication::processEvents();
    QCOMPARE(console.logText(), expected);
}

void TestConsoleThreaded::mixedWritersUnderLoadStayWithinLimit() {
    CViewDebug console(nullptr);
    constexpr int kWriters = 3, kMessages = 4000;   // far more than the log holds
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 1; w <= kWriters; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kMessages; ++i) console.WriteLog("W%d %d\r\n", w, i);
            ++finished;
        });
    int ui = 0;
    while (finished.load() < kWriters) {
        console.WriteLog("W0 %d\r\n", ui++);
        QVERIFY(console.logText().size() <= CViewDebug::kMaxLogChars);
        QCoreApplication::processEvents();
    }
    for (auto& t : workers) t.join();
    console.WriteLog("W0 %d\r\n", ui++);
    QCOMPARE(console.logText().size() <= CViewDebug::kMaxLogChars, true);

    // Trimming removes only the oldest lines: what is left of each writer has no gap and ends
    // with its newest line (a writer that finished early may have been trimmed away entirely).
    const std::string log = console.logText();
    const auto last = checkSequences(log, false);
    QVERIFY2(!last.count(-1), "a writer's lines are missing or out of order");
    int workersLeft = 0;
    for (int w = 1; w <= kWriters; ++w) {
        if (!last.count(w)) continue;
        ++workersLeft;
        QCOMPARE(last.at(w), kMessages - 1);
    }
    QVERIFY(workersLeft > 0);
    QCOMPARE(last.at(0), ui - 1);
    QVERIFY(log.size() > CViewDebug::kMaxLogChars - 20);
    QCOMPARE(log.compare(log.size() - 2, 2, "\r\n"), 0);
    QCOMPARE(console.textControl()->toPlainText(),
             QString::fromStdString(log).remove(QLatin1Char('\r')));
}

void TestConsoleThreaded::errorReportsFromWorkersStayWhole() {
    CViewDebug console(nullptr);
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([w] {
            for (int i = 0; i < 50; ++i)
                CViewDebug::LogError("Step" + std::to_string(w) + "::CDCall",
                                     "Error " + std::to_string(i) + "\r\nsecond line\r\n");
        });
    for (auto& t : workers) t.join();
    QTRY_COMPARE_WITH_TIMEOUT(std::count(console.logText().begin(), console.logText().end(), '\n'),
                              long(150 * 5), kThreadWaitMs);
    // Every report is the five lines in one piece.
    std::istringstream lines(console.logText());
    std::string line;
    std::map<int, int> next;
    while (std::getline(lines, line)) {
        QCOMPARE(line, std::string("\r"));
        std::getline(lines, line);
        QVERIFY(line.rfind("Date: ", 0) == 0);
        std::getline(lines, line);
        int w = -1;
        QCOMPARE(std::sscanf(line.c_str(), "--- Step%d::CDCall ---", &w), 1);
        std::getline(lines, line);
        QCOMPARE(line, "Error " + std::to_string(next[w]++) + "\r");
        std::getline(lines, line);
        QCOMPARE(line, std::string("second line\r"));
    }
    QCOMPARE(next.size(), std::size_t(3));
}

// Camera threads keep logging, through the document and through LogError, while the window
// closes its console: once the pane is gone neither road leads to it, and nothing crashes.
void TestConsoleThreaded::consoleClosesWhileWorkersLog() {
    QTemporaryDir dir;
    const std::string config = dir.filePath(QStringLiteral("config.cfg")).toStdString();
    {
        CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(), config);
        auto* console = new CViewDebug(&doc);
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 2; ++w)
            workers.emplace_back([&, w] {
                while (!stop.load()) {
                    if (w == 0) doc.Log("W0 line\r\n");
                    else CViewDebug::LogError("Step", "Error\r\n");
                    written.fetch_add(1);
                }
            });
        QTRY_VERIFY_WITH_TIMEOUT(!console->logText().empty(), kThreadWaitMs);
        delete console;
        const bool registryLeft = doc.GetView("Debug") == nullptr;
        const bool errorsLeft = CViewDebug::activeConsole() == nullptr;
        const int atClose = written.load();
        (void)QTest::qWaitFor([&] { return written.load() > atClose + 100; }, kThreadWaitMs);
        stop = true;
        for (auto& t : workers) t.join();
        QVERIFY(registryLeft);
        QVERIFY(errorsLeft);
        QVERIFY(written.load() > atClose + 100);
    }

    // A console that outlives its document leaves no registry behind to touch.
    auto document =
        std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(), config);
    CViewDebug late(document.get());
    QCOMPARE(document->GetView("Debug"), static_cast<CView*>(&late));
    document.reset();
}

// Out of file descriptors, a wake-up still reaches the UI thread (by queued calls), and the
// console says once why, instead of the live view going quietly still.
void TestConsoleThreaded::wakeupWithoutEventfdStillWakesAndSaysSo() {
    QTemporaryDir dir;
    CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                 dir.filePath(QStringLiteral("config.cfg")).toStdString());
    CViewDebug console(&doc);
    std::atomic<int> woken{0};
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &none), 0);
    UiWakeup wakeup([&] { woken.fetch_add(1); });
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
    QVERIFY(!wakeup.usesEventfd());

    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) wakeup.wake();
    });
    worker.join();
    QTRY_VERIFY_WITH_TIMEOUT(woken.load() >= 1, kThreadWaitMs);
    QVERIFY(woken.load() <= 3);
    QTRY_COMPARE_WITH_TIMEOUT(
        QString::fromStdString(console.logText()),
        QStringLiteral("Live view wake-up unavailable (eventfd: Too many open files); "
                       "using queued calls instead\r\n"),
        kThreadWaitMs);
}

QTEST_MAIN(TestConsoleThreaded)
#include "ConsoleThreadedTest.moc"
