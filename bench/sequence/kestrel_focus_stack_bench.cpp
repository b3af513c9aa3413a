// Runs a focus stack over the test camera driver through the real libgphoto2 and measures it:
//   CAMLIBS=build/tests/gphoto/camlibs kestrel_focus_stack_bench [--shots N] [--settle MS]
//       [--lens-busy MS] [--style eos|nikon|sony] [--format LABEL]
// --settle is the wait after each move (500 ms, the dialog's default; 0 makes each release come
// while the lens still moves, so it is answered busy and retried). The test camera ("Kestrel
// Test EOS" on a fresh "disk:" folder) steps its lens in the style
// asked for (EOS by default), is busy for --lens-busy ms after each step (default 40) and
// writes a 1600 x 1066 JPEG a release (--format "RAW + Large" for RAW+JPEG pairs). The run is
// the program's own worker over the document. The last line printed is one JSON object:
// {"shots", "taken", "seconds_per_shot": the run's time over its shots, "release_to_saved_ms_p50",
// "release_to_saved_ms_max": from the release call until every file of it was saved,
// "lens_back": the lens's position equals its start}.
#include "app/RealCameraLabels.h"
#include "capture/DocumentFocusStackCamera.h"
#include "capture/FocusStackThread.h"
#include "document/CViewDoc.h"
#include "sdk/gphoto/RealCameras.h"
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
#include <string>
#include <vector>

#include <iterator>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class NullConsole : public CView, public CLogSink {
public:
    void WriteLog(const std::string& text) override {
        if (std::getenv("KESTREL_BENCH_CONSOLE") != nullptr) std::fputs(text.c_str(), stderr);
    }
};

// The document's camera, with each release timed until its files are saved.
class TimedCamera : public DocumentFocusStackCamera {
public:
    using DocumentFocusStackCamera::DocumentFocusStackCamera;
    bool TakePicture(std::string& written) override {
        const auto start = Clock::now();
        const bool ok = DocumentFocusStackCamera::TakePicture(written);
        std::lock_guard guard(lock);
        releases.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        return ok;
    }
    static inline std::mutex lock;
    static inline std::vector<double> releases;
};

class Ended : public FocusStackThread::Events {
public:
    void ShotDone(int, int) override {}
    void RunEnded() override {
        std::lock_guard guard(lock_);
        ended_ = true;
        done_.notify_all();
    }
    void Wait() {
        std::unique_lock guard(lock_);
        done_.wait(guard, [this] { return ended_; });
    }

private:
    std::mutex lock_;
    std::condition_variable done_;
    bool ended_ = false;
};

std::string Arg(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return fallback;
}

}   // namespace

int main(int argc, char** argv) {
    const int shots = std::atoi(Arg(argc, argv, "--shots", "20").c_str());
    const int settle = std::atoi(Arg(argc, argv, "--settle", "500").c_str());
    const std::string busy = Arg(argc, argv, "--lens-busy", "40");
    const std::string style = Arg(argc, argv, "--style", "eos");
    const std::string format = Arg(argc, argv, "--format", "");
    if (std::getenv("CAMLIBS") == nullptr) {
        std::fprintf(stderr, "set CAMLIBS to the test camera driver's folder\n");
        return 2;
    }
    char disk[] = "/tmp/kestrel-focus-bench-XXXXXX";
    if (mkdtemp(disk) == nullptr) return 2;
    const std::string folder = disk;
    std::filesystem::create_directories(folder + "/captures");
    std::ofstream(folder + "/focus-style") << style;
    std::ofstream(folder + "/lens") << (style == "nikon" ? "0 40000 20000" : "0 2000 1000");
    std::ofstream(folder + "/lens-busy") << busy;
    int started = 0;

    sim::Simulator::cd().setWorld({});
    sim::Simulator::rc().setWorld({});
    gphoto::Options options;
    options.autodetect = false;
    options.cameras = {"Kestrel Test EOS@disk:" + folder};
    options.labels = RealCameraLabels();
    FocusStackThread::Outcome out;
    {
        gphoto::RealCameras real(sim::Simulator::rc().api(), options);
        NullConsole console;
        CViewDoc doc(sim::Simulator::cd().api(), real.api(), folder + "/config.cfg");
        doc.RegisterView(&console, "Debug");
        doc.SetCaptureFolder(folder + "/captures/");
        doc.SetCaptureName("Stack");
        doc.UpdateDeviceList();
        if (!doc.ConnectCamera("Kestrel Test EOS")) {
            std::fprintf(stderr, "the test camera did not connect\n");
            return 1;
        }
        if (!format.empty()) doc.rcDriver().Set(camera::Setting::ImageSize, format);
        std::ifstream(folder + "/focus") >> started;
        Ended ended;
        FocusStackThread run(&ended);
        run.setCamera(std::make_unique<TimedCamera>(&doc));
        FocusStackPlan plan;
        plan.stepSize = 1;
        plan.shots = shots;
        plan.settleMs = settle;
        run.Prepare(plan, 1);
        run.Start();
        ended.Wait();
        out = run.outcome();
    }
    std::ifstream at(folder + "/focus");
    int now = -1;
    at >> now;
    std::vector<double> r = TimedCamera::releases;
    std::sort(r.begin(), r.end());
    const double p50 = r.empty() ? 0 : r[r.size() / 2];
    const double max = r.empty() ? 0 : r.back();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::printf(
        "{\"shots\": %d, \"taken\": %d, \"seconds_per_shot\": %.3f, \"release_to_saved_ms_p50\": "
        "%.1f, \"release_to_saved_ms_max\": %.1f, \"lens_back\": %s}\n",
        shots, out.taken, out.taken > 0 ? out.seconds / out.taken : 0.0, p50, max,
        now == started ? "true" : "false");
    return out.taken == shots && now == started ? 0 : 1;
}
