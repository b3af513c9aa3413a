// Runs a timed sequence on the real steady clock over the simulated camera and measures it:
//   kestrel_sequence_bench --delays N     (default 10)
// N one-second delays alternate with photo steps (each photo changes the TV setting). The last
// line printed is one JSON object: {"steps", "max_delay_error_ms": the largest |actual -
// planned| length of a delay step, "drift_ms": end of the run minus its planned end given the
// photo steps' measured durations, "photo_step_ms_p50", "photo_step_ms_max"}. A step's length
// runs from the end of the step before it (or the start of the run) to its own end.
#include "capture/CSequenceThread.h"
#include "capture/DocumentSequenceCamera.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class NullConsole : public CView, public CLogSink {
public:
    void WriteLog(const std::string&) override {}
};

class StepTimes : public CSequenceThread::Events {
public:
    void ItemDone(std::uint64_t) override {
        std::lock_guard lock(mutex_);
        ends.push_back(Clock::now());
    }
    void RunEnded() override {
        std::lock_guard lock(mutex_);
        ended = true;
        done_.notify_all();
    }
    void WaitForEnd() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return ended; });
    }
    std::vector<Clock::time_point> ends;
    bool ended = false;

private:
    std::mutex mutex_;
    std::condition_variable done_;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}   // namespace

int main(int argc, char** argv) {
    int delays = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--delays") == 0) delays = std::max(1, std::atoi(argv[i + 1]));

    const auto folder = std::filesystem::temp_directory_path() /
                        ("kestrel-sequence-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    int status = 0;
    {
        sim::Simulator::cd().reset();
        sim::Simulator::rc().reset();
        sim::Simulator::cd().setFrameRate(30);
        CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                     (folder / "config.cfg").string());
        NullConsole console;
        doc.RegisterView(&console, "Debug");
        doc.SetCaptureFolder(folder.string() + "/");
        doc.SetCaptureName("Bench");
        doc.UpdateDeviceList();
        if (!doc.ConnectCamera("PowerShot G5")) {
            std::fprintf(stderr, "could not connect to the simulated camera\n");
            return 1;
        }
        const auto tvs = doc.cdDriver().tvModes();
        if (tvs.size() < 2) {
            std::fprintf(stderr, "the simulated camera offers too few TV values\n");
            return 1;
        }

        StepTimes times;
        CSequenceThread sequence(&times);
        sequence.setCamera(std::make_unique<DocumentSequenceCamera>(&doc));
        for (int i = 0; i < delays; ++i) {
            SequenceItem delay;
            delay.delaySeconds = 1;
            sequence.Append(delay, 2 * i + 1);
            SequenceItem photo;
            photo.labels[camera::IndexOf(camera::Setting::TV)] = tvs[i % 2].label;
            sequence.Append(photo, 2 * i + 2);
        }
        const auto start = Clock::now();
        sequence.Start();
        times.WaitForEnd();

        const std::size_t steps = times.ends.size();
        double maxDelayError = 0;
        std::vector<double> photoMs;
        auto previous = start;
        auto plannedEnd = start;
        for (std::size_t i = 0; i < steps; ++i) {
            const auto length = times.ends[i] - previous;
            if (i % 2 == 0) {
                maxDelayError = std::max(maxDelayError, std::abs(Ms(length) - 1000.0));
                plannedEnd += std::chrono::seconds(1);
            } else {
                photoMs.push_back(Ms(length));
                plannedEnd += length;
            }
            previous = times.ends[i];
        }
        std::sort(photoMs.begin(), photoMs.end());
        const double p50 = photoMs.empty() ? 0 : photoMs[photoMs.size() / 2];
        const double pmax = photoMs.empty() ? 0 : photoMs.back();
        std::printf(
            "{\"steps\": %zu, \"max_delay_error_ms\": %.3f, \"drift_ms\": %.3f, "
            "\"photo_step_ms_p50\": %.3f, \"photo_step_ms_max\": %.3f}\n",
            steps, maxDelayError, Ms(previous - plannedEnd), p50, pmax);
        if (steps != static_cast<std::size_t>(2 * delays)) status = 1;
    }
    std::filesystem::remove_all(folder);
    return status;
}
