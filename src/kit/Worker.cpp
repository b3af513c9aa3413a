#include "kit/Worker.h"

#include "kit/UiWakeup.h"

#include <cstdio>
#include <exception>

WorkerThreads::WorkerThreads(int threads, QObject* parent) : QObject(parent) {
    wakeup_ = new UiWakeup([this] { deliver(); }, this);
    for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { work(); });
}

WorkerThreads::~WorkerThreads() {
    Stop();
    for (std::thread& thread : threads_) thread.join();
    // The wake-up, a child, goes after the threads that call it.
}

void WorkerThreads::post(int kind, Job job, bool first) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_.load()) return;
        if (first) jobs_.push_front({kind, std::move(job)});
        else jobs_.push_back({kind, std::move(job)});
    }
    ready_.notify_one();
}

void WorkerThreads::drop(int kind) {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase_if(jobs_, [kind](const Queued& q) { return q.kind == kind; });
}

void WorkerThreads::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_.store(true);
        jobs_.clear();
        results_.clear();
    }
    ready_.notify_all();
}

bool WorkerThreads::stopped() const { return stopping_.load(); }

void WorkerThreads::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            ready_.wait(guard, [this] { return stopping_.load() || !jobs_.empty(); });
            if (stopping_.load()) return;
            job = std::move(jobs_.front().job);
            jobs_.pop_front();
        }
        Delivery delivery;
        try {
            delivery = job(stopping_);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Kestrel: a worker's job failed: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "Kestrel: a worker's job failed\n");
        }
        job = nullptr;   // what it holds goes on this thread
        if (!delivery) continue;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stopping_.load()) return;
            results_.push_back(std::move(delivery));
        }
        wakeup_->wake();
    }
}

void WorkerThreads::deliver() {
    std::vector<Delivery> results;
    {
        std::lock_guard<std::mutex> guard(lock_);
        results.swap(results_);
    }
    for (Delivery& delivery : results) {
        if (stopping_.load()) return;
        delivery();
    }
}
