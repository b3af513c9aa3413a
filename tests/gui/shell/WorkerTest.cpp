// The kit's worker threads: results reach the user-interface thread in the order the jobs ended,
// Stop returns while a job is under way, nothing is handed over after Stop or destruction, a
// throwing job hands nothing over and the next runs, and dropped jobs never run.
#include "kit/Worker.h"

#include <QTest>
#include <QThread>

#include <chrono>
#include <future>
#include <memory>
#include <set>

namespace {

using Stopping = const std::atomic<bool>&;
constexpr auto kPatience = std::chrono::seconds(5);   // a broken stop fails, never hangs

}   // namespace

class TestWorker : public QObject {
    Q_OBJECT
private slots:
    void manyJobsOnTwoThreadsAllArriveOnTheWindowThread() {
        std::set<int> got;
        bool offThread = false;
        Worker<int> worker(
            [&](int& n) {
                offThread |= QThread::currentThread() != thread();
                got.insert(n);
            },
            2);
        for (int i = 0; i < 500; ++i) worker.Post([i](Stopping) { return i; });
        QTRY_COMPARE(got.size(), std::size_t{500});
        QVERIFY(!offThread);
        QCOMPARE(*got.rbegin(), 499);
    }

    void stopReturnsWhileAJobRunsAndNothingIsHandedOverAfter() {
        int delivered = 0;
        std::promise<void> started, release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> releasedInTime{false};
        auto worker = std::make_unique<Worker<int>>([&](int&) { ++delivered; });
        worker->Post([&](Stopping) {
            started.set_value();
            releasedInTime = released.wait_for(kPatience) == std::future_status::ready;
            return 1;
        });
        worker->Post([](Stopping) { return 2; });   // queued: dropped by Stop
        started.get_future().wait();
        worker->Stop();   // returns with the job still waiting for the release
        release.set_value();
        worker->Post([](Stopping) { return 3; });   // after Stop: ignored
        QVERIFY(worker->stopped());
        worker.reset();   // joins the job, whose result goes nowhere
        QVERIFY(releasedInTime);
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 0);
    }

    void destructionTellsTheRunningJobAndDropsReadyResults() {
        int delivered = 0;
        std::atomic<int> ran{0};
        std::promise<void> started;
        auto worker = std::make_unique<Worker<int>>([&](int&) { ++delivered; }, 2);
        // One result ready but not yet handed over (no event is processed before the end), one
        // job that runs until told to stop.
        worker->Post([&](Stopping) { return ++ran; });
        while (ran.load() == 0) std::this_thread::yield();
        worker->Post([&](Stopping stopping) {
            started.set_value();
            const auto until = std::chrono::steady_clock::now() + kPatience;
            while (!stopping && std::chrono::steady_clock::now() < until) std::this_thread::yield();
            return stopping ? 10 : -1;
        });
        started.get_future().wait();
        worker.reset();
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 0);
    }

    void aThrowingJobHandsNothingOverAndDroppedJobsNeverRun() {
        std::vector<int> got;
        std::promise<void> started, release;
        std::shared_future<void> released = release.get_future().share();
        Worker<int> worker([&](int& n) { got.push_back(n); });
        worker.Post([&](Stopping) {
            started.set_value();
            released.wait_for(kPatience);
            return 1;
        });
        started.get_future().wait();
        worker.Post([](Stopping) -> int { throw std::runtime_error("cannot"); });
        worker.Post([](Stopping) { return 2; }, 7);
        worker.Post([](Stopping) { return 3; }, 7);
        worker.Post([](Stopping) { return 0; }, 0, true);   // ahead of the queued ones
        worker.drop(7);
        release.set_value();
        QTRY_COMPARE(got, (std::vector<int>{1, 0}));
        worker.Post([](Stopping) { return 4; });
        QTRY_COMPARE(got.back(), 4);
    }
};

QTEST_MAIN(TestWorker)
#include "WorkerTest.moc"
