// The viewfinder thread streams frames into the document while this thread calibrates, cuts
// strips, clears them, captures and moves the stacking slider: the run must finish with every
// operation done and, under ThreadSanitizer, without a report.
#include "support/DocumentFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace testsupport;

namespace {

using DocumentStreamTest = DocumentTest;

TEST_F(DocumentStreamTest, FramesStreamWhileTheInterfaceWorksOnTheSameBuffers) {
    Cd().setManualViewfinder(false);
    Cd().setFrameRate(1000);
    CViewDoc& d = Connected("PowerShot G5");
    Probe::keepPixels = false;
    d.setOnFrame(&Probe::OnFrame);

    // Wait for the stream to flow (a condition, with a generous limit against a hang).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto waitForFrames = [&](int count) {
        while (Probe::frames < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return Probe::frames >= count;
    };
    ASSERT_TRUE(waitForFrames(1));

    int captures = 0;
    std::uint64_t next = 0;
    std::vector<std::uint8_t> strip(FrameBuffers::kStripBytes);
    for (int round = 0; round < 40; ++round) {
        const int seen = Probe::frames;
        d.SetAdditiveFrames((round % 4) * 5);   // 0, 5, 10, 15: stacking on and off
        d.PrepareStitchStrip(static_cast<std::uint32_t>(round % 5));
        d.CalibrateNoise();
        d.CopyOverlapStrip(strip.data());
        if (round % 7 == 0) d.ClearStitch();
        if (round % 10 == 0 && d.TakePicture()) ++captures;
        const FrameBuffers::Frame live = d.liveFrame();
        d.UpdateHistogram(live.data(), 320, 240, static_cast<std::uint64_t>(round) * 2000 + 1,
                          next);
        (void)d.histogram();
        (void)d.stackedFrameCount();
        ASSERT_TRUE(waitForFrames(seen + 1)) << "the stream stopped in round " << round;
    }
    EXPECT_EQ(captures, 4);
    for (int k = 0; k < 4; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "Photo-%04d.jpg", k);
        EXPECT_TRUE(Exists(dir.file(name))) << name;
    }
    EXPECT_EQ(d.droppedFrames(), 0u);
}

// Threads racing for the same histogram interval on the document's own clock: exactly one of
// them recomputes it, and the next interval opens only after histogramInterval.
TEST_F(DocumentTest, HistogramClockLetsOneRacerThroughPerInterval) {
    CViewDoc& d = Connected("PowerShot G5");
    const std::vector<std::uint8_t> pixels(FrameBuffers::kPixelBytes, 200);
    for (const std::uint64_t now :
         {std::uint64_t{5000}, std::uint64_t{5000} + d.histogramInterval() + 1}) {
        std::atomic<int> recomputed{0};
        std::vector<std::thread> racers;
        for (int i = 0; i < 4; ++i)
            racers.emplace_back([&] {
                for (int round = 0; round < 50; ++round)
                    if (d.UpdateHistogram(pixels.data(), 320, 240, now)) ++recomputed;
            });
        for (std::thread& racer : racers) racer.join();
        EXPECT_EQ(recomputed.load(), 1) << "at " << now;
    }
    EXPECT_FALSE(d.UpdateHistogram(pixels.data(), 320, 240, 5000 + 2 * d.histogramInterval()));
    EXPECT_EQ(d.histogram().bins[199], 76800.0f);   // (3 x 200) x 0.333, truncated
}

}   // namespace
