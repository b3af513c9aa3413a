// The time from a camera's return to its first live frame, and to the photo step of a Time run
// that waited for it, over the simulated SDK (30 frames a second, real clock). Each iteration
// unplugs the camera, lets the watch close it, plugs it back in and runs the watch's next look
// at the list at once; the phase of that look (the list is read once a second, the watch ticks
// every 250 ms) adds up to 1.25 s in the program and is not part of the figure.
#include "capture/CSequenceThread.h"
#include "capture/DocumentSequenceCamera.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include <unistd.h>

namespace {

using BenchClock = std::chrono::steady_clock;

class QuietConsole : public CView, public CLogSink {
public:
    void WriteLog(const std::string&) override {}
};

// Notes when a run ends.
class RunEnd : public CSequenceThread::Events {
public:
    void ItemDone(std::uint64_t) override {}
    void RunEnded() override {
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }
    bool Wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return ended_; });
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        ended_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
};

double Ms(BenchClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_ReconnectToFirstFrame(benchmark::State& state) {
    const std::string kName = "EOS 10D";
    sim::Simulator& cd = sim::Simulator::cd();
    sim::Simulator& rc = sim::Simulator::rc();
    cd.reset();
    rc.reset();
    cd.setJournal(false);
    rc.setJournal(false);
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("kestrel-bench-reconnect-" + std::to_string(::getpid())))
                                   .string();
    std::filesystem::create_directories(folder);
    {
        CViewDoc doc(cd.api(), rc.api(), folder + "/config.cfg");
        QuietConsole console;
        doc.RegisterView(&console, "Debug");
        doc.SetCaptureFolder(folder + "/");
        doc.SetCaptureName("Photo");
        doc.UpdateDeviceList();
        if (!doc.ConnectCamera(kName)) {
            state.SkipWithError("no camera to connect to");
            return;
        }
        CameraSession& watch = doc.cameraSession();
        RunEnd ended;
        CSequenceThread run(&ended);
        run.setCamera(std::make_unique<DocumentSequenceCamera>(&doc));
        double frameMs = 0, stepMs = 0;
        for (auto _ : state) {
            rc.unplug(kName);
            const auto lost = BenchClock::now();
            watch.Tick(lost);   // closes the camera, starts waiting
            ended.Reset();
            run.Append(SequenceItem{}, 1);   // a photo step that waits for the camera
            if (!run.Start()) break;
            rc.replug(kName);
            const auto back = BenchClock::now();
            if (watch.Tick(lost + CameraSession::kListInterval) != CameraSession::Change::Back) {
                state.SkipWithError("the camera was not reconnected");
                break;
            }
            const auto open = BenchClock::now();
            if (!rc.waitForFrames(kName, 1)) break;
            const auto frame = BenchClock::now();
            if (!ended.Wait()) break;
            const auto step = BenchClock::now();
            state.SetIterationTime(std::chrono::duration<double>(open - back).count());
            frameMs += Ms(frame - back);
            stepMs += Ms(step - back);
        }
        const double n = static_cast<double>(state.iterations());
        state.counters["first_frame_ms"] = n > 0 ? frameMs / n : 0;
        state.counters["resumed_step_ms"] = n > 0 ? stepMs / n : 0;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    cd.reset();
    rc.reset();
}
BENCHMARK(BM_ReconnectToFirstFrame)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}   // namespace
