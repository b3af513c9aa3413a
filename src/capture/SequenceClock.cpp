#include "capture/SequenceClock.h"

bool SteadySequenceClock::WaitUntil(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_until(lock, deadline, [this] { return aborted_; });
}

void SteadySequenceClock::Abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    wake_.notify_all();
}
