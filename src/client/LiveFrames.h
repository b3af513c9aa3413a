// The live view for the client view's MJPEG stream: the camera thread offers each viewfinder
// frame (320 x 240, 24-bit BGR rows bottom-up) to a one-slot mailbox that never blocks it (a
// newer frame replaces an untaken one; a frame offered while the encoder copies the slot out is
// dropped); one encoder thread turns the latest into a JPEG at most kMaxFps times a second and
// readers wait for a newer one. Qt-free.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace client {

class LiveFrames {
public:
    static constexpr int kWidth = 320, kHeight = 240;
    static constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 3;
    static constexpr int kMaxFps = 10;
    using Jpeg = std::shared_ptr<const std::string>;

    LiveFrames();
    ~LiveFrames();   // Stop()

    // Camera thread: never waits, never allocates.
    void Offer(const std::uint8_t* bgrBottomUp);

    // The encoder thread; Stop also wakes every waiting reader (they get none).
    void Start();
    void Stop();

    // The newest JPEG after `after` (its number in `number`), waiting up to `wait`; none on a
    // timeout or a stop.
    Jpeg Next(std::uint64_t after, std::uint64_t& number, std::chrono::milliseconds wait);
    std::uint64_t offered() const { return offered_.load(); }
    std::uint64_t encoded() const;   // JPEGs made since the start
    bool Stopped() const;

private:
    void run();

    std::mutex slotLock_;   // guards slot_, fresh_ (only ever try-locked by Offer)
    std::array<std::uint8_t, kFrameBytes> slot_{};
    bool fresh_ = false;
    std::atomic<std::uint64_t> offered_{0};
    std::atomic<bool> wake_{false};

    mutable std::mutex jpegLock_;   // guards jpeg_, number_, stopped_
    std::condition_variable changed_;
    Jpeg jpeg_;
    std::uint64_t number_ = 0;
    bool stopped_ = true;
    std::thread thread_;
};

}   // namespace client
