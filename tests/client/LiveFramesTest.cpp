// The live view's mailbox: the newest frame offered is the one encoded (latest wins), no more
// than kMaxFps JPEGs a second however fast the camera offers, and a stop wakes every reader.
#include "client/LiveFrames.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <thread>
#include <vector>

namespace {

using client::LiveFrames;

std::vector<std::uint8_t> frameOf(std::uint8_t shade) {
    return std::vector<std::uint8_t>(LiveFrames::kFrameBytes, shade);
}

// The JPEG's mean grey level; -1 when it does not decode to 320 x 240.
int meanOf(const std::string& jpeg) {
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, sub = 0, space = 0;
    std::vector<std::uint8_t> grey(LiveFrames::kWidth * LiveFrames::kHeight);
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
    const bool ok =
        tjDecompressHeader3(tj, bytes, jpeg.size(), &width, &height, &sub, &space) == 0 &&
        width == LiveFrames::kWidth && height == LiveFrames::kHeight &&
        tjDecompress2(tj, bytes, jpeg.size(), grey.data(), width, width, height, TJPF_GRAY, 0) == 0;
    tjDestroy(tj);
    if (!ok) return -1;
    long sum = 0;
    for (const std::uint8_t g : grey) sum += g;
    return static_cast<int>(sum / static_cast<long>(grey.size()));
}

TEST(LiveFrames, TheNewestFrameOfferedIsTheOneEncoded) {
    LiveFrames live;
    live.Offer(frameOf(20).data());
    live.Offer(frameOf(200).data());   // replaces the one not taken yet
    live.Start();
    std::uint64_t number = 0;
    const LiveFrames::Jpeg jpeg = live.Next(0, number, std::chrono::seconds(5));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(number, 1u);
    EXPECT_NEAR(meanOf(*jpeg), 200, 3);
    EXPECT_EQ(live.offered(), 2u);
    // Nothing newer offered: a reader waiting past it gets none.
    EXPECT_FALSE(live.Next(1, number, std::chrono::milliseconds(150)));
    EXPECT_EQ(live.encoded(), 1u);
}

TEST(LiveFrames, AFastCameraIsEncodedAtTheBoundedRateAndAStopWakesTheReaders) {
    LiveFrames live;
    live.Start();
    std::uint64_t seen = 0;
    std::thread reader([&] {
        std::uint64_t number = 0;
        while (live.Next(number, number, std::chrono::seconds(10))) ++seen;
    });
    // 120 frames a second for half a second; the camera thread never waits on the encoder.
    const auto start = std::chrono::steady_clock::now();
    const auto frame = frameOf(90);
    for (int i = 0; i < 60; ++i) {
        live.Offer(frame.data());
        std::this_thread::sleep_until(start + std::chrono::microseconds(8333) * (i + 1));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(live.offered(), 60u);
    const std::uint64_t encoded = live.encoded();
    EXPECT_GE(encoded, 1u);
    EXPECT_LE(static_cast<double>(encoded), seconds * LiveFrames::kMaxFps + 1) << seconds;
    live.Stop();   // the reader, waiting up to 10 s, is woken now
    reader.join();
    EXPECT_LE(seen, encoded);
    EXPECT_GE(seen, 1u);
    std::uint64_t number = 0;
    EXPECT_FALSE(live.Next(0, number, std::chrono::seconds(5)));   // stopped: at once, none
}

}   // namespace
