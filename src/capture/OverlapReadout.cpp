#include "capture/OverlapReadout.h"

#include "document/CViewDoc.h"
#include "document/OverlapEstimate.h"
#include "kit/UiWakeup.h"

#include <memory>

OverlapReadout::OverlapReadout(CViewDoc* document, std::function<void(const std::string&)> onLine,
                               QObject* owner)
    : document_(document), onLine_(std::move(onLine)) {
    wakeup_ = new UiWakeup([this] { deliver(); }, owner);
    worker_ = std::thread([this] { run(); });
}

OverlapReadout::~OverlapReadout() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
    delete wakeup_;
}

void OverlapReadout::request() {
    {
        std::lock_guard guard(lock_);
        requested_ = true;
    }
    wake_.notify_one();
}

std::uint64_t OverlapReadout::estimatesDone() const {
    std::lock_guard guard(lock_);
    return done_;
}

void OverlapReadout::run() {
    // Kept off the stack of the worker: two frames' worth of bytes.
    auto live = std::make_unique<FrameBuffers::Frame>();
    auto strip = std::make_unique<FrameBuffers::Strip>();
    for (;;) {
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return requested_ || stopping_; });
            if (stopping_) return;
            requested_ = false;
        }
        std::string line;
        if (document_) {
            const std::uint32_t direction = document_->stitchDirection();
            *live = document_->liveFrame();
            document_->CopyOverlapStrip(strip->data());
            line = OverlapText(EstimateOverlap(*live, *strip, direction));
        }
        {
            std::lock_guard guard(lock_);
            line_ = std::move(line);
            ++done_;
        }
        wakeup_->wake();
    }
}

void OverlapReadout::deliver() {
    std::string line;
    {
        std::lock_guard guard(lock_);
        line = line_;
    }
    if (onLine_) onLine_(line);
}
