// Drivers under concurrent use: the UI thread and the sequence worker calling one driver, SDK
// threads delivering frames, progress and release events, connect/disconnect while frames
// stream. Run under ThreadSanitizer by the CI's threaded pass.
#include "support/DriverTestSupport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <set>
#include <thread>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

std::atomic<camera::CanonDriver*> watched{nullptr};
std::atomic<int> frameCount{0};
std::atomic<int> eventCount{0};
std::mutex frameMutex;
std::condition_variable frameArrived;

// Waits until the viewfinder has delivered more than `seen` frames.
bool waitForFrameAfter(int seen) {
    std::unique_lock<std::mutex> guard(frameMutex);
    return frameArrived.wait_for(guard, std::chrono::seconds(30),
                                 [seen] { return frameCount.load() > seen; });
}

// The frame and event relays read the driver's state, as the document's relays do.
sdk::Result readingFrame(void*, std::uint32_t, std::uint32_t, void*) {
    if (camera::CanonDriver* driver = watched.load()) {
        (void)driver->isOpen();
        (void)driver->properties();
        (void)driver->tvModes();
        (void)driver->maxZoomPos();
    }
    {
        std::lock_guard<std::mutex> guard(frameMutex);
        ++frameCount;
    }
    frameArrived.notify_all();
    return 0;
}

sdk::Result readingEvent(std::uint32_t, const void*, std::uint32_t, void*) {
    if (camera::CanonDriver* driver = watched.load()) (void)driver->properties().batteryLevel;
    ++eventCount;
    return 0;
}

sdk::Result progress(std::uint32_t, std::uint32_t, void*) {
    if (camera::CanonDriver* driver = watched.load()) (void)driver->imageSizes();
    return 0;
}

class ThreadedTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        frameCount = 0;
        eventCount = 0;
    }
    void TearDown() override {
        watched = nullptr;
        DriverTest::TearDown();
    }
    TempDir dir;
};

TEST_F(ThreadedTest, UiAndWorkerThreadsShareOneDriver) {
    cd.setWorld({{SmallCamera("PowerShot G5")}});
    cd.setManualViewfinder(false);
    cd.setFrameRate(200);
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", &readingEvent));
    watched = driver.get();
    driver->EnableViewfinder(&readingFrame);
    ASSERT_TRUE(waitForFrameAfter(0));
    const auto tv = driver->tvModes();
    const auto exposures = driver->exposures();
    ASSERT_GE(tv.size(), 2u);
    ASSERT_GE(exposures.size(), 2u);

    constexpr int kRounds = 40;
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i) {
            EXPECT_TRUE(driver->SetTV(tv[i % tv.size()].label));
            (void)driver->GetTV();
            (void)driver->GetZoomPos();
            if (i % 8 == 0) {
                EXPECT_TRUE(driver->TakePicture(dir.file("worker-" + std::to_string(i) + ".jpg"),
                                                &progress));
            }
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_TRUE(driver->SetExposure(exposures[i % exposures.size()].label));
        (void)driver->GetISO();
        (void)driver->GetImageQuality();
        if (i % 10 == 0) {
            driver->GetTVModes();   // re-enumeration while the worker reads labels
            driver->GetOtherModes();
            cd.setBattery("PowerShot G5", 90 - i);
        }
        (void)driver->properties();
    }
    worker.join();
    driver->Disconnect();
    watched = nullptr;
    EXPECT_TRUE(log.entries().empty()) << log.entries().front().first;
    for (int i = 0; i < kRounds; i += 8) {
        EXPECT_TRUE(fs::exists(dir.file("worker-" + std::to_string(i) + ".jpg")));
    }
    EXPECT_EQ(driver->tvModes().size(), 0u);
}

TEST_F(ThreadedTest, CaptureSessionImagesFromTwoThreadsEachGoToTheirOwnPath) {
    rc.setWorld({{SmallCamera("EOS 20D")}});
    rc.setHoldCaptures(false);   // event 34 on the SDK's own thread
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
    watched = driver.get();
    constexpr int kEach = 6;
    auto shoot = [&](const std::string& who) {
        for (int i = 0; i < kEach; ++i) {
            EXPECT_TRUE(driver->TakePicture(dir.file(who + std::to_string(i) + ".jpg"),
                                            i % 2 ? &progress : nullptr));
        }
    };
    std::thread worker(shoot, "worker-");
    shoot("ui-");
    worker.join();
    ASSERT_TRUE(waitForReturns("RCTakeCapturedImage", 2 * kEach));
    driver->Disconnect();
    watched = nullptr;

    std::multiset<std::string> written;
    for (const auto& take : spyCalls("RCTakeCapturedImage")) written.insert(take.path);
    std::multiset<std::string> asked;
    for (int i = 0; i < kEach; ++i) {
        asked.insert(dir.file("worker-" + std::to_string(i) + ".jpg"));
        asked.insert(dir.file("ui-" + std::to_string(i) + ".jpg"));
    }
    EXPECT_EQ(written, asked);   // each picture exactly once, none to another's path
    for (const auto& path : asked) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ThreadedTest, ImmediateReleaseEventWritesTheFile) {
    rc.setWorld({{SmallCamera("EOS-1Ds Mark II")}});
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("EOS-1Ds Mark II", nullptr));
    const std::string path = dir.file("now.jpg");
    EXPECT_TRUE(driver->TakePicture(path, nullptr));
    ASSERT_TRUE(waitForReturns("RCTakeCapturedImage", 1));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_GT(fs::file_size(path), 0u);
}

TEST_F(ThreadedTest, ConnectAndDisconnectWhileFramesStreamDoNotDeadlock) {
    cd.setWorld({{SmallCamera("PowerShot G5")}});
    cd.setManualViewfinder(false);
    cd.setFrameRate(500);
    auto driver = makeCd();
    watched = driver.get();
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            (void)driver->isOpen();
            (void)driver->properties();
            (void)driver->effects();
        }
    });
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(driver->Connect("PowerShot G5", &readingEvent));
        const int seen = frameCount.load();
        driver->EnableViewfinder(&readingFrame);
        ASSERT_TRUE(waitForFrameAfter(seen));   // disconnect while frames are streaming
        (void)driver->GetTV();
        driver->Disconnect();
    }
    stop = true;
    reader.join();
    watched = nullptr;
    EXPECT_FALSE(driver->isOpen());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ThreadedTest, DestroyingTheDriverWhileImagesArePendingIsSafe) {
    rc.setWorld({{SmallCamera("EOS 20D")}});
    rc.setHoldCaptures(true);
    {
        auto driver = makeRc();
        driver->setPictureWait(std::chrono::milliseconds(0));   // held: they cannot arrive
        ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(driver->TakePicture(dir.file(std::to_string(i) + ".jpg"), nullptr));
        }
    }   // the session ends before the driver goes: no event reaches the destroyed driver
    EXPECT_EQ(rc.deliverCaptures(), 0u);
    EXPECT_TRUE(spyCalls("RCTakeCapturedImage").empty());
    EXPECT_TRUE(fs::is_empty(dir.path()));
    // With immediate delivery, pictures taken just before destruction either arrive whole
    // or not at all.
    // The race with the end of the session is narrow, so the round is run a number of times.
    rc.setHoldCaptures(false);
    for (int round = 0; round < 25; ++round) {
        {
            auto driver = makeRc();
            ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
            for (int i = 0; i < 4; ++i) {
                driver->TakePicture(
                    dir.file("late" + std::to_string(round) + "-" + std::to_string(i) + ".jpg"),
                    nullptr);
            }
        }
        for (const auto& take : spyCalls("RCTakeCapturedImage")) {
            ASSERT_TRUE(fs::exists(take.path)) << take.path << " in round " << round;
        }
    }
    // Disconnect waits for pictures already taken: none is dropped.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 100);
}

}   // namespace
}   // namespace testsupport
