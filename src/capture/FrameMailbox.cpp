#include "capture/FrameMailbox.h"

#include "kit/UiWakeup.h"

FrameMailbox::FrameMailbox(UiWakeup* wakeup) : wakeup_(wakeup) {}

void FrameMailbox::publish(bool histogramChanged) {
    std::lock_guard<std::mutex> guard(lock_);
    back_.swap(slot_);
    if (fresh_) replaced_.fetch_add(1, std::memory_order_relaxed);
    fresh_ = true;
    histogramChanged_ = histogramChanged_ || histogramChanged;
    published_.fetch_add(1, std::memory_order_relaxed);
    if (!wakeQueued_ && wakeup_) {
        wakeQueued_ = true;
        // Woken while the lock is held so that detach() (same lock) cannot race the wake-up's
        // destruction; waking never waits for the user-interface thread.
        wakeup_->wake();
    }
}

bool FrameMailbox::take(QImage& image, bool& histogramChanged) {
    std::lock_guard<std::mutex> guard(lock_);
    wakeQueued_ = false;
    histogramChanged = histogramChanged_;
    histogramChanged_ = false;
    if (!fresh_) return false;
    fresh_ = false;
    slot_.swap(image);
    return true;
}

void FrameMailbox::discard() {
    std::lock_guard<std::mutex> guard(lock_);
    fresh_ = false;
    histogramChanged_ = false;
}

void FrameMailbox::detach() {
    std::lock_guard<std::mutex> guard(lock_);
    wakeup_ = nullptr;
}
