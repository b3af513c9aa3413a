// Runs a timed sequence on the real steady clock over the simulated camera and measures it:
//   kestrel_sequence_bench --delays N     (default 10)
//   kestrel_sequence_bench --load N       Load List of a saved list of N steps (offscreen):
//                                         {"steps", "load_ms"}
// N one-second delays alternate with photo steps (each photo changes the TV setting). The last
// line printed is one JSON object: {"steps", "max_delay_error_ms": the largest |actual -
// planned| length of a delay step, "drift_ms": end of the run minus its planned end given the
// photo steps' measured durations, "photo_step_ms_p50", "photo_step_ms_max"}. A step's length
// runs from the end of the step before it (or the start of the run) to its own end.
#include "capture/CCapTimeDlg.h"
#include "capture/CSequenceThread.h"
#include "capture/SequenceListFile.h"
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
#include <fstream>
#include <mutex>
#include <vector>

#include <QApplication>
#include <QTableWidget>

#include <unistd.h>

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

// The time Load List takes for a list of `steps` steps, photos with three settings between
// one-second delays, as the window thread sees it.
int LoadBench(int argc, char** argv, int steps) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SequenceList list;
    for (int i = 0; i < steps; ++i) {
        SequenceItem step;
        if (i % 2 == 0) {
            step.delaySeconds = 1;
        } else {
            step.labels[camera::IndexOf(camera::Setting::TV)] = "1/125";
            step.labels[camera::IndexOf(camera::Setting::AV)] = "5.6";
            step.labels[camera::IndexOf(camera::Setting::ISO)] = "ISO 400";
        }
        list.steps.push_back(step);
    }
    const std::string path = std::filesystem::temp_directory_path() /
                             ("kestrel-list-bench-" + std::to_string(::getpid()) + ".ktl");
    {
        std::ofstream out(path, std::ios::binary);
        out << WriteSequenceList(list);
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    CCapTimeDlg panel;
    panel.resize(600, 160);
    panel.show();
    const auto start = Clock::now();
    const bool loaded = panel.LoadList(QString::fromStdString(path));
    QApplication::processEvents();
    const double ms = Ms(Clock::now() - start);
    std::filesystem::remove(path);
    std::printf("{\"steps\": %d, \"load_ms\": %.1f}\n", panel.stepList()->rowCount(), ms);
    return loaded && panel.stepList()->rowCount() == steps ? 0 : 1;
}

}   // namespace

int main(int argc, char** argv) {
    int delays = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--delays") == 0) delays = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--load") == 0)
            return LoadBench(argc, argv, std::max(1, std::atoi(argv[i + 1])));
    }

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
