// Worker threads with a queue of jobs whose typed results are handed to the user-interface
// thread through a UiWakeup: the thumbnail reader, the Review tab's folder work and the
// magnifier each own one. Post, Drop and Stop are for the user-interface thread and never wait;
// the destructor waits only for the jobs under way (a job long enough to matter polls stopping).
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class UiWakeup;

// The untyped part: a job returns what the user-interface thread is to run with its result.
class WorkerThreads : public QObject {
public:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery(const std::atomic<bool>& stopping)>;

    explicit WorkerThreads(int threads, QObject* parent = nullptr);
    // Stops, then joins: waits for the jobs under way, whose results are dropped.
    ~WorkerThreads() override;

    // Queues job, of a kind the owner names (for Drop), behind the others or, with first,
    // ahead of them. Ignored once stopped.
    void post(int kind, Job job, bool first = false);
    // Forgets the queued jobs of kind (those under way still hand over their results).
    void drop(int kind);
    // Drops every queued job and every result not yet handed over; no result is handed over
    // from now on. Never waits: the jobs under way end in their own time (stopping tells them).
    void Stop();
    bool stopped() const;

private:
    struct Queued {
        int kind = 0;
        Job job;
    };
    void work();
    void deliver();   // user-interface thread

    UiWakeup* wakeup_ = nullptr;
    mutable std::mutex lock_;   // guards jobs_, results_
    std::condition_variable ready_;
    std::deque<Queued> jobs_;
    std::vector<Delivery> results_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

// Jobs that each return a Result, handed to onResult on the user-interface thread in the order
// they ended. A job that throws hands nothing over (its owner catches what it can tell).
template <class Result>
class Worker : public WorkerThreads {
public:
    using Job = std::function<Result(const std::atomic<bool>& stopping)>;

    explicit Worker(std::function<void(Result&)> onResult, int threads = 1,
                    QObject* parent = nullptr)
        : WorkerThreads(threads, parent), onResult_(std::move(onResult)) {}

    void Post(Job job, int kind = 0, bool first = false) {
        post(
            kind,
            [this, job = std::move(job)](const std::atomic<bool>& stopping) -> Delivery {
                auto result = std::make_shared<Result>(job(stopping));
                return [this, result] { onResult_(*result); };
            },
            first);
    }

private:
    std::function<void(Result&)> onResult_;
};
