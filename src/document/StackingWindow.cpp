// The stacking window: frames in a ring of pooled buffers, sums updated by the kernels.
#include "document/StackingWindow.h"

#include "document/StackingKernels.h"

#include <algorithm>

StackingWindow::StackingWindow() : sums_(std::make_unique<Sums>()) {}

StackingWindow::~StackingWindow() = default;

std::unique_ptr<StackingWindow::Frame> StackingWindow::TakeSpare() {
    if (spareCount_ > 0) return std::move(spare_[--spareCount_]);
    return std::make_unique<Frame>();   // only while the window grows past its largest size
}

void StackingWindow::Step(std::uint8_t* pixels, std::int32_t frames) {
    const std::size_t keep =
        static_cast<std::size_t>(std::clamp(frames, std::int32_t{1}, kMaxAdditiveFrames));
    std::uint16_t* sum = sums_->sum.data();
    const std::uint16_t* noise = sums_->noise.data();
    constexpr std::size_t n = FrameBuffers::kPixelBytes;

    std::unique_ptr<Frame> buffer;
    while (count_ > keep) {
        std::unique_ptr<Frame> leaving = std::move(Slot(0));
        head_ = (head_ + 1) % kMaxFrames;
        --count_;
        if (count_ == keep) {
            // The last one to leave: subtract it, add the newcomer and take over its buffer
            // in one pass.
            stacking::Replace(sum, noise, leaving->data(), pixels, n);
            buffer = std::move(leaving);
        } else {
            stacking::Subtract(sum, leaving->data(), n);
            spare_[spareCount_++] = std::move(leaving);
        }
    }
    if (!buffer) {
        buffer = TakeSpare();
        stacking::Add(sum, noise, pixels, buffer->data(), n);
    }
    Slot(count_) = std::move(buffer);
    ++count_;
}

void StackingWindow::ClearSums() {
    sums_->sum.fill(0);
    sums_->noise.fill(0);
}

void StackingWindow::CalibrateNoise() { sums_->noise = sums_->sum; }

void StackingWindow::ClearNoise() { sums_->noise.fill(0); }
