// The astrophotography stacking window: the latest frames (oldest first), their per-byte sum
// and the noise reference subtracted before display. Frame buffers are pooled: a frame leaving
// the window lends its buffer to the next one, so the steady state allocates nothing.
#pragma once

#include "document/FrameBuffers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class StackingWindow {
public:
    static constexpr std::int32_t kMaxAdditiveFrames = 150;
    static constexpr std::size_t kMaxFrames = kMaxAdditiveFrames + 1;

    StackingWindow();
    ~StackingWindow();
    StackingWindow(const StackingWindow&) = delete;
    StackingWindow& operator=(const StackingWindow&) = delete;

    // One stacking step for a frame with additiveFrames = frames (above 0; values over 150 act
    // as 150): frames beyond `frames` leave oldest first, each subtracted with a clamp at 0;
    // the new frame joins and is added; pixels is rewritten with clip(sum - noise, 0, 255).
    void Step(std::uint8_t* pixels, std::int32_t frames);

    void ClearSums();        // stack sum and noise reference to 0; the frames stay
    void CalibrateNoise();   // noise reference = stack sum
    void ClearNoise();       // noise reference = 0

    std::size_t count() const { return count_; }
    // For tests: element i of the stack sum and of the noise reference.
    std::int32_t sumAt(std::size_t i) const { return sums_->sum[i]; }
    std::int32_t noiseAt(std::size_t i) const { return sums_->noise[i]; }

private:
    using Frame = FrameBuffers::Frame;
    struct Sums {
        alignas(64) std::array<std::uint16_t, FrameBuffers::kPixelBytes> sum{};
        alignas(64) std::array<std::uint16_t, FrameBuffers::kPixelBytes> noise{};
    };

    std::unique_ptr<Frame> TakeSpare();
    std::unique_ptr<Frame>& Slot(std::size_t k) { return ring_[(head_ + k) % kMaxFrames]; }

    std::unique_ptr<Sums> sums_;
    std::array<std::unique_ptr<Frame>, kMaxFrames> ring_;   // window, head_ is the oldest
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::array<std::unique_ptr<Frame>, kMaxFrames> spare_;   // buffers of frames that left
    std::size_t spareCount_ = 0;
};
