#include "client/LiveFrames.h"

#include <turbojpeg.h>

#include <cstring>
#include <vector>

namespace client {
namespace {

constexpr auto kPeriod = std::chrono::microseconds(1'000'000 / LiveFrames::kMaxFps);

}   // namespace

LiveFrames::LiveFrames() = default;

LiveFrames::~LiveFrames() { Stop(); }

void LiveFrames::Offer(const std::uint8_t* bgrBottomUp) {
    offered_.fetch_add(1, std::memory_order_relaxed);
    std::unique_lock slot(slotLock_, std::try_to_lock);
    if (!slot.owns_lock()) return;   // the encoder is taking the last one: a newer one comes
    std::memcpy(slot_.data(), bgrBottomUp, kFrameBytes);
    fresh_ = true;
    slot.unlock();
    wake_.store(true, std::memory_order_release);
    wake_.notify_one();
}

void LiveFrames::Start() {
    Stop();
    {
        const std::lock_guard hold(jpegLock_);
        stopped_ = false;
        jpeg_.reset();
        number_ = 0;
    }
    thread_ = std::thread([this] { run(); });
}

void LiveFrames::Stop() {
    {
        const std::lock_guard hold(jpegLock_);
        stopped_ = true;
    }
    changed_.notify_all();
    wake_.store(true, std::memory_order_release);
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

LiveFrames::Jpeg LiveFrames::Next(std::uint64_t after, std::uint64_t& number,
                                  std::chrono::milliseconds wait) {
    std::unique_lock hold(jpegLock_);
    changed_.wait_for(hold, wait, [&] { return stopped_ || number_ > after; });
    if (stopped_ || number_ <= after) return nullptr;
    number = number_;
    return jpeg_;
}

std::uint64_t LiveFrames::encoded() const {
    const std::lock_guard hold(jpegLock_);
    return number_;
}

bool LiveFrames::Stopped() const {
    const std::lock_guard hold(jpegLock_);
    return stopped_;
}

void LiveFrames::run() {
    std::vector<std::uint8_t> frame(kFrameBytes);
    tjhandle tj = tjInitCompress();
    for (;;) {
        wake_.wait(false, std::memory_order_acquire);
        const auto started = std::chrono::steady_clock::now();
        wake_.store(false, std::memory_order_relaxed);
        {
            const std::lock_guard hold(jpegLock_);
            if (stopped_) break;
        }
        {
            const std::lock_guard slot(slotLock_);
            if (!fresh_) continue;
            std::memcpy(frame.data(), slot_.data(), kFrameBytes);
            fresh_ = false;
        }
        unsigned char* out = nullptr;
        unsigned long size = 0;
        if (tj && tjCompress2(tj, frame.data(), kWidth, kWidth * 3, kHeight, TJPF_BGR, &out, &size,
                              TJSAMP_420, 80, TJFLAG_BOTTOMUP | TJFLAG_FASTDCT) == 0) {
            auto jpeg = std::make_shared<const std::string>(reinterpret_cast<char*>(out), size);
            {
                const std::lock_guard hold(jpegLock_);
                jpeg_ = std::move(jpeg);
                ++number_;
            }
            changed_.notify_all();
        }
        if (out) tjFree(out);
        // The rate: the next frame is taken a period after this one at the soonest.
        std::unique_lock hold(jpegLock_);
        if (changed_.wait_until(hold, started + kPeriod, [this] { return stopped_; })) break;
    }
    if (tj) tjDestroy(tj);
}

}   // namespace client
