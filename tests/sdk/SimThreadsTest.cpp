// The simulator's own threads: the threaded viewfinder and its stop guarantees, callbacks that
// call back into the SDK, release event 34 of the capture session, and camera event 1.
#include "support/SimTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace testsupport;
using sim::Simulator;

namespace {

class SimThreads : public SimTest {};

using Clock = std::chrono::steady_clock;

// Counts frames; after `stopped` is set any further frame is a violation.
struct FrameProbe {
    std::atomic<int> frames{0};
    std::atomic<bool> stopped{false};
    std::atomic<int> lateFrames{0};
    std::atomic<bool> badLayout{false};
    std::atomic<int> spin{0};   // busy work inside the callback, to widen race windows
};

sdk::Result probeFrame(void* buf, std::uint32_t size, std::uint32_t, void* ctx) {
    auto* p = static_cast<FrameProbe*>(ctx);
    const auto* b = static_cast<const std::uint8_t*>(buf);
    if (size != sdk::kFrameBytes || b[0] != 'B' || b[1] != 'M') p->badLayout = true;
    if (p->stopped) ++p->lateFrames;
    for (int i = 0, n = p->spin; i < n; ++i) std::atomic_signal_fence(std::memory_order_seq_cst);
    ++p->frames;
    return 0;
}

TEST_F(SimThreads, ViewfinderThreadDeliversFramesOffTheCallerThread) {
    Simulator& sim = Simulator::cd();
    sim.setFrameRate(500);
    const sdk::Api& api = sim.api();
    const sdk::Handle s = openCamera(api, "PowerShot G5");
    FrameProbe probe;
    ASSERT_EQ(api.StartViewfinder(s, 1, probeFrame, &probe), sdk::kOk);
    EXPECT_EQ(api.StartViewfinder(s, 1, probeFrame, &probe), sim::err::kInvalidFnCall);
    ASSERT_TRUE(sim.waitForFrames("PowerShot G5", 10));
    EXPECT_TRUE(sim.state("PowerShot G5")->viewfinderRunning);
    ASSERT_EQ(api.TermViewfinder(s), sdk::kOk);
    probe.stopped = true;
    const int delivered = probe.frames;
    EXPECT_GE(delivered, 9);
    EXPECT_FALSE(probe.badLayout);
    EXPECT_EQ(probe.lateFrames, 0);
    EXPECT_FALSE(sim.state("PowerShot G5")->viewfinderRunning);
}

// Start and stop many times at a high rate with a slow callback: no frame may arrive once
// TermViewfinder (or CloseSource) has returned. Each round has its own probe, kept until the end,
// so a late frame of an earlier round is still caught.
TEST_F(SimThreads, NoFrameAfterTermViewfinderReturns) {
    Simulator& sim = Simulator::cd();
    sim.setFrameRate(2000);
    const sdk::Api& api = sim.api();
    std::vector<std::unique_ptr<FrameProbe>> probes;
    for (int round = 0; round < 30; ++round) {
        const sdk::Handle s = openCamera(api, "PowerShot G5");
        ASSERT_NE(s, 0u);
        probes.push_back(std::make_unique<FrameProbe>());
        FrameProbe& p = *probes.back();
        p.spin = 20000;
        const std::uint32_t before = sim.state("PowerShot G5")->framesDelivered;
        ASSERT_EQ(api.StartViewfinder(s, 1, probeFrame, &p), sdk::kOk);
        ASSERT_TRUE(sim.waitForFrames("PowerShot G5", before + 2));
        if (round % 2 == 0) {
            ASSERT_EQ(api.TermViewfinder(s), sdk::kOk);
            p.stopped = true;
            ASSERT_EQ(api.CloseSource(s), sdk::kOk);
        } else {
            ASSERT_EQ(api.CloseSource(s), sdk::kOk);   // closing stops the viewfinder too
            p.stopped = true;
        }
    }
    for (const auto& p : probes) {
        EXPECT_EQ(p->lateFrames, 0);
        EXPECT_FALSE(p->badLayout);
    }
}

// The frame callback calls into the SDK (a setting, then TermViewfinder on itself): neither
// deadlocks, and the thread stops after that callback.
struct SelfStop {
    const sdk::Api* api;
    sdk::Handle source;
    std::atomic<int> frames{0};
    std::atomic<int> afterStop{0};
    std::atomic<bool> stopped{false};
    sdk::Result termResult = 1;
    std::mutex m;
    std::condition_variable cv;
};

sdk::Result selfStopFrame(void*, std::uint32_t, std::uint32_t, void* ctx) {
    auto* s = static_cast<SelfStop*>(ctx);
    if (s->stopped) {
        ++s->afterStop;
        return 0;
    }
    std::uint32_t tv = 0;
    s->api->GetTvValue(s->source, &tv);
    if (++s->frames == 3) {
        const sdk::Result r = s->api->TermViewfinder(s->source);
        std::lock_guard<std::mutex> lk(s->m);
        s->termResult = r;
        s->stopped = true;
        s->cv.notify_all();
    }
    return 0;
}

TEST_F(SimThreads, CallbackMayCallTheSdkAndStopItsOwnViewfinder) {
    Simulator& sim = Simulator::cd();
    sim.setFrameRate(1000);
    const sdk::Api& api = sim.api();
    SelfStop probe;
    probe.api = &api;
    probe.source = openCamera(api, "PowerShot G5");
    ASSERT_EQ(api.StartViewfinder(probe.source, 1, selfStopFrame, &probe), sdk::kOk);
    {
        std::unique_lock<std::mutex> lk(probe.m);
        ASSERT_TRUE(
            probe.cv.wait_for(lk, std::chrono::seconds(10), [&] { return probe.stopped.load(); }));
    }
    EXPECT_EQ(probe.termResult, sdk::kOk);
    EXPECT_FALSE(sim.state("PowerShot G5")->viewfinderRunning);
    // Restart from this thread: the stopped thread is joined, a new one delivers.
    FrameProbe next;
    ASSERT_EQ(api.StartViewfinder(probe.source, 1, probeFrame, &next), sdk::kOk);
    const std::uint32_t delivered = sim.state("PowerShot G5")->framesDelivered;
    ASSERT_TRUE(sim.waitForFrames("PowerShot G5", delivered + 3));
    EXPECT_EQ(api.CloseSource(probe.source), sdk::kOk);
    EXPECT_EQ(probe.afterStop, 0);
}

// Reset while frames stream and captures wait: it returns with every thread stopped.
TEST_F(SimThreads, ResetStopsStreamingAndQueuedEvents) {
    Simulator& sim = Simulator::cd();
    sim.setFrameRate(1000);
    FrameProbe probe;
    probe.spin = 20000;
    const sdk::Handle s = openCamera(sim.api(), "PowerShot G5");
    ASSERT_EQ(sim.api().StartViewfinder(s, 1, probeFrame, &probe), sdk::kOk);
    ASSERT_TRUE(sim.waitForFrames("PowerShot G5", 3));
    sim.reset();
    probe.stopped = true;
    EXPECT_FALSE(sim.state("PowerShot G5")->open);
    EXPECT_FALSE(sim.state("PowerShot G5")->viewfinderRunning);
    EXPECT_EQ(sim.api().TermViewfinder(s), sim::err::kInvalidHandle);
    // A fresh start after the reset streams again.
    FrameProbe again;
    const sdk::Handle s2 = openCamera(sim.api(), "PowerShot G5");
    ASSERT_EQ(sim.api().StartViewfinder(s2, 1, probeFrame, &again), sdk::kOk);
    ASSERT_TRUE(sim.waitForFrames("PowerShot G5", 2));
    sim.reset();
    again.stopped = true;
    EXPECT_EQ(probe.lateFrames, 0);
    EXPECT_EQ(again.lateFrames, 0);
}

// Several threads hammer settings and releases while the viewfinder streams; the journal
// afterwards holds every call.
TEST_F(SimThreads, ConcurrentCallsWhileStreaming) {
    Simulator& sim = Simulator::cd();
    sim.setWorld(WorldOf({SmallCamera("Busy")}));
    sim.setFrameRate(1000);
    const sdk::Api& api = sim.api();
    const sdk::Handle s = openCamera(api, "Busy");
    ASSERT_EQ(api.EnterReleaseControl(s, nullptr, nullptr), sdk::kOk);
    FrameProbe probe;
    ASSERT_EQ(api.StartViewfinder(s, 1, probeFrame, &probe), sdk::kOk);
    sim.clearJournal();
    constexpr int kThreads = 3, kRounds = 200;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const std::uint16_t tv = (i + t) % 2 ? 112 : 120;
                if (api.SetTvValue(s, tv) != sdk::kOk) ++failures;
                std::uint32_t code = 0;
                if (api.GetAvValue(s, &code) != sdk::kOk) ++failures;
                if (i % 50 == 0) {
                    std::uint32_t n = 0;
                    if (api.Release(s, 1, nullptr, nullptr, 0, &n) != sdk::kOk) ++failures;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    ASSERT_EQ(api.TermViewfinder(s), sdk::kOk);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(sim.countCalls("CDSetTvValue"), std::size_t(kThreads * kRounds));
    EXPECT_EQ(sim.countCalls("CDRelease"), std::size_t(kThreads * 4));
}

// Release event 34 of the capture session.
struct Session {
    const sdk::Api* api;
    sdk::Handle source = 0;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> paths;   // the driver's pending path at each event
    std::vector<std::uint32_t> ids;
    std::vector<sdk::Result> results;
    std::thread::id thread;
    std::string pending;
};

sdk::Result onRelease(std::uint32_t event, const void* data, std::uint32_t size, void* ctx) {
    auto* s = static_cast<Session*>(ctx);
    if (event != sdk::kEventImageCaptured || size != sizeof(sim::CaptureEventData)) return 0;
    std::string path;
    {
        std::lock_guard<std::mutex> lk(s->m);
        path = s->pending;
    }
    const sdk::StorageMedium medium{0, path.c_str()};
    const sdk::Result r = s->api->TakeCapturedImage(s->source, nullptr, nullptr, 0, data, &medium);
    std::lock_guard<std::mutex> lk(s->m);
    s->ids.push_back(static_cast<const sim::CaptureEventData*>(data)->captureId);
    s->paths.push_back(path);
    s->results.push_back(r);
    s->thread = std::this_thread::get_id();
    s->cv.notify_all();
    return 0;
}

class SimSession : public SimThreads {
protected:
    void SetUp() override {
        SimThreads::SetUp();
        sim::World w;
        w.cameras = {SmallCamera("EOS 20D")};
        w.cameras[0].captureSession = false;   // the model's name makes it a session camera
        Simulator::rc().setWorld(w);
        session.api = &Simulator::rc().api();
        session.source = openCamera(*session.api, "EOS 20D");
        ASSERT_NE(session.source, 0u);
        ASSERT_EQ(session.api->StartCaptureSession(session.source, onRelease, &session), sdk::kOk);
    }
    void capture(const std::string& leaf) {
        {
            std::lock_guard<std::mutex> lk(session.m);
            session.pending = tempPath(leaf);
        }
        ASSERT_EQ(session.api->Capture(session.source), sdk::kOk);
    }
    Session session;
};

TEST_F(SimSession, CaptureArrivesLaterOnTheSdkThread) {
    Simulator& sim = Simulator::rc();
    EXPECT_EQ(session.api->EnterReleaseControl(session.source, nullptr, nullptr),
              sim::err::kNotSupported);
    capture("session-1.jpg");
    ASSERT_TRUE(sim.waitForEvents());
    std::lock_guard<std::mutex> lk(session.m);
    ASSERT_EQ(session.results, std::vector<sdk::Result>{sdk::kOk});
    EXPECT_TRUE(session.thread != std::this_thread::get_id());
    EXPECT_TRUE(std::filesystem::exists(session.paths[0]));
    EXPECT_EQ(sim.state("EOS 20D")->pendingCaptures, 0u);
}

TEST_F(SimSession, HeldCapturesAreSentInOrderOnDelivery) {
    Simulator& sim = Simulator::rc();
    sim.setHoldCaptures(true);
    capture("held-1.jpg");
    capture("held-2.jpg");
    capture("held-3.jpg");   // the driver's path is replaced before any event arrives
    EXPECT_EQ(sim.state("EOS 20D")->pendingCaptures, 3u);
    std::string latest;
    {
        std::lock_guard<std::mutex> lk(session.m);
        EXPECT_TRUE(session.ids.empty());
        latest = session.pending;
    }
    EXPECT_EQ(sim.deliverCaptures(), 3u);
    std::lock_guard<std::mutex> lk(session.m);
    ASSERT_EQ(session.ids.size(), 3u);
    EXPECT_LT(session.ids[0], session.ids[1]);
    EXPECT_LT(session.ids[1], session.ids[2]);
    EXPECT_TRUE(session.thread == std::this_thread::get_id());
    EXPECT_EQ(session.results, (std::vector<sdk::Result>(3, sdk::kOk)));
    EXPECT_EQ(session.paths, std::vector<std::string>(3, latest));   // earlier images: newer path
    EXPECT_TRUE(std::filesystem::exists(latest));
    EXPECT_EQ(sim.state("EOS 20D")->pendingCaptures, 0u);
}

TEST_F(SimSession, EndingTheSessionDropsHeldCapturesAndOldEventData) {
    Simulator& sim = Simulator::rc();
    sim.setHoldCaptures(true);
    capture("dropped.jpg");
    const sim::CaptureEventData stale{1, session.source};
    ASSERT_EQ(session.api->EndCaptureSession(session.source), sdk::kOk);
    EXPECT_EQ(sim.deliverCaptures(), 0u);
    EXPECT_EQ(session.api->Capture(session.source), sim::err::kSessionNotOpen);
    const std::string path = tempPath("stale.jpg");
    const sdk::StorageMedium medium{0, path.c_str()};
    EXPECT_EQ(session.api->TakeCapturedImage(session.source, nullptr, nullptr, 0, &stale, &medium),
              sim::err::kSessionNotOpen);
    EXPECT_EQ(session.api->EndCaptureSession(session.source), sim::err::kSessionNotOpen);
}

TEST_F(SimSession, ManyCapturesFromSeveralThreadsAllArrive) {
    Simulator& sim = Simulator::rc();
    {
        std::lock_guard<std::mutex> lk(session.m);
        session.pending = tempPath("burst-0000.jpg");   // each picture to a number of its own
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) EXPECT_EQ(session.api->Capture(session.source), sdk::kOk);
        });
    for (auto& t : threads) t.join();
    ASSERT_TRUE(sim.waitForEvents());
    std::lock_guard<std::mutex> lk(session.m);
    ASSERT_EQ(session.ids.size(), 20u);
    EXPECT_TRUE(std::is_sorted(session.ids.begin(), session.ids.end()));
    EXPECT_EQ(std::count(session.results.begin(), session.results.end(), sdk::kOk), 20);
}

// Camera event 1 on a battery change, with the 32-bit level, and none after unregistering.
struct BatteryLog {
    std::vector<std::uint32_t> levels;
    const sdk::Api* api = nullptr;
    sdk::Handle source = 0;
};

sdk::Result onCameraEvent(std::uint32_t event, const void* data, std::uint32_t size, void* ctx) {
    auto* log = static_cast<BatteryLog*>(ctx);
    if (event != sdk::kEventBattery || size != 4) return 0;
    std::uint32_t level;
    std::memcpy(&level, data, 4);
    log->levels.push_back(level);
    std::uint32_t tv = 0;
    log->api->GetTvValue(log->source, &tv);   // calling back in does not deadlock
    return 0;
}

TEST_F(SimThreads, BatteryChangeSendsCameraEvent1) {
    Simulator& sim = Simulator::cd();
    const sdk::Api& api = sim.api();
    BatteryLog log;
    log.api = &api;
    log.source = openCamera(api, "PowerShot S70");
    sdk::Handle reg = 0;
    ASSERT_EQ(api.RegisterEventCallbackFunction(log.source, onCameraEvent, &log, &reg), sdk::kOk);
    sim.setBattery("PowerShot S70", 42);
    sim.setBattery("PowerShot G5", 10);   // another camera: no event here
    EXPECT_EQ(log.levels, std::vector<std::uint32_t>{42});
    std::uint32_t size = 32, level = 0;
    ASSERT_EQ(api.GetDevicePropertyData(log.source, sdk::kPropBattery, &size, &level, 0), sdk::kOk);
    EXPECT_EQ(level, 42u);
    ASSERT_EQ(api.UnregisterEventCallbackFunction(log.source, reg), sdk::kOk);
    EXPECT_EQ(api.UnregisterEventCallbackFunction(log.source, reg), sim::err::kInvalidHandle);
    sim.setBattery("PowerShot S70", 41);
    EXPECT_EQ(log.levels.size(), 1u);
    EXPECT_EQ(sim.state("PowerShot S70")->battery, 41u);
}

}   // namespace
