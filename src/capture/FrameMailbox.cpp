#include "capture/FrameMailbox.h"

#include <QMetaObject>

FrameMailbox::FrameMailbox(QObject* receiver, std::function<void()> wake)
    : receiver_(receiver), wake_(std::move(wake)) {}

void FrameMailbox::publish(bool histogramChanged) {
    std::lock_guard<std::mutex> guard(lock_);
    back_.swap(slot_);
    if (fresh_) replaced_.fetch_add(1, std::memory_order_relaxed);
    fresh_ = true;
    histogramChanged_ = histogramChanged_ || histogramChanged;
    published_.fetch_add(1, std::memory_order_relaxed);
    if (!wakeQueued_ && receiver_) {
        wakeQueued_ = true;
        // Posted while the lock is held so that detach() (same lock) cannot race the receiver's
        // destruction; posting never waits for the receiver's thread.
        QMetaObject::invokeMethod(receiver_, wake_, Qt::QueuedConnection);
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

void FrameMailbox::detach() {
    std::lock_guard<std::mutex> guard(lock_);
    receiver_ = nullptr;
}
