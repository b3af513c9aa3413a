// The one-slot latest-frame hand-over from the viewfinder thread to the user-interface thread.
// The producer converts into its own back image and publishes it; the newest unshown image
// waits in the slot (a newer one replaces it); at most one wake-up call is queued to the
// receiver. Three images rotate between producer, slot and consumer, so nothing is allocated
// once they have their size. Neither side ever waits for the other beyond a swap of pointers.
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <mutex>

class UiWakeup;

class FrameMailbox {
public:
    // wakeup is woken (never waited for) when an image waits and no wake-up is pending.
    explicit FrameMailbox(UiWakeup* wakeup);

    // Producer side (one producer thread at a time).
    QImage& backImage() { return back_; }
    // Publishes the back image (and whether the histogram was recomputed with it); the
    // producer gets a free image back as its next back image.
    void publish(bool histogramChanged);

    // Consumer side: swaps the newest published image into image; false when none is waiting.
    // histogramChanged collects the histogram flags of every image published since.
    bool take(QImage& image, bool& histogramChanged);

    // Drops the image waiting in the slot, if any (its camera is gone): take() finds none.
    void discard();

    // After this no wake-up is posted any more (the receiver is going away).
    void detach();

    std::uint64_t published() const { return published_.load(std::memory_order_relaxed); }
    std::uint64_t replaced() const { return replaced_.load(std::memory_order_relaxed); }

private:
    std::mutex lock_;
    QImage back_;
    QImage slot_;
    bool fresh_ = false;
    bool histogramChanged_ = false;
    bool wakeQueued_ = false;
    UiWakeup* wakeup_;
    std::atomic<std::uint64_t> published_{0};
    std::atomic<std::uint64_t> replaced_{0};
};
