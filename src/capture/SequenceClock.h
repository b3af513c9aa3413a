// The time base of a sequence run: a steady clock the runner reads and waits on. The real one
// waits on a condition variable; tests inject one whose waits return at once.
// Thread rules: WaitUntil runs on the worker; Abort may come from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class SequenceClock {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~SequenceClock() = default;
    virtual Clock::time_point Now() = 0;
    // The wall-clock time of this moment, for the sequence log.
    virtual std::chrono::system_clock::time_point WallNow() = 0;
    // Waits until the deadline; false when Abort ended (or had ended) the wait first.
    virtual bool WaitUntil(Clock::time_point deadline) = 0;
    // Ends the current wait and every later one at once.
    virtual void Abort() = 0;
};

class SteadySequenceClock : public SequenceClock {
public:
    Clock::time_point Now() override { return Clock::now(); }
    std::chrono::system_clock::time_point WallNow() override {
        return std::chrono::system_clock::now();
    }
    bool WaitUntil(Clock::time_point deadline) override;
    void Abort() override;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool aborted_ = false;
};
