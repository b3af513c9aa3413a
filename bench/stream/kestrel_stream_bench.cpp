// Streams the simulated camera (or a real one) into the real main window and measures the live
// path:
//   kestrel_stream_bench --fps F --seconds S [--stack N] [--mode plain|stack|stitch] [--camera "MODEL@PORT"]
//                        [--sim-camera NAME]
// --sim-camera picks the simulated camera of that name ("EOS 20D", whose pictures arrive after
// the release on the SDK's thread); without it the last listed, a CD camera saving during the
// release. With --camera the camera is opened through libgphoto2 (for the test camera driver, run with
// CAMLIBS naming its folder) and streams at its own pace; --fps is then the simulator's only.
// With the test camera on "disk:FOLDER", --captures N also posts N captures from the
// user-interface thread during the run and reports how long each waited before the camera
// started it (p50 and max), read from the start time the test camera writes; and the age of
// the live picture when it is painted (p50, p99), from the time the test camera handed over
// its latest preview (an underestimate when a newer preview has left meanwhile).
// --format LABEL sets the image size first ("RAW + Large" for RAW+JPEG pairs); each capture
// then also reports how long it took from the call until every file of it was saved
// (capture_to_saved_ms p50 and max). With the test camera, --release "DELAY_MS ORDER" makes it
// announce the second file that late ("120 jpeg-first", "400 raw-first").
// --mode stack chooses the Astrophotography tab with the slider at N (10 when not given);
// --mode stitch chooses the Stitch tab, takes a picture so a strip is shown and keeps the
// overlap readout running ("overlap_estimates" counts its estimates during the run).
// --event-pages E --live-pages L (with --captures N, default 100) runs the window over the
// simulated camera twice for --seconds each, N captures spread over each through the Capture
// Photo path: first alone, then with the client view started on loopback (live view ticked),
// E pages on its event stream fetching each new thumbnail and L on its live stream, played by a
// child process. Each half prints a JSON line (frames offered by the camera, delivered, shown,
// pictures in the folder and late, the process's CPU), and a last line sums up: shown_pct (of
// the frames the camera offered), lost and late pictures, what the pages got and
// cpu_pct_per_client, the window process's added CPU a page in percent of one core.
// Otherwise the last line printed is one JSON object: {"delivered", "shown", "max_ui_stall_ms",
// "cpu_ms_per_frame"}. "delivered" counts frames the SDK handed to the viewscreen during the
// run, "shown" those the live picture took; the UI stall is the longest lateness of a 5 ms
// timer on the user-interface thread.
#include "ClientLoad.h"
#include "ClientViewRun.h"
#include "app/CMainApp.h"
#include "app/CMainFrame.h"
#include "capture/CCapAstroDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CViewMain.h"
#include "capture/CPictureControl.h"
#include "capture/CViewViewscreen.h"
#include "capture/OverlapReadout.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"
#include "views/CViewCameraList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>
#include <cstring>
#include <ctime>
#include <string>

namespace {

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

std::string argText(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return fallback;
}

double argValue(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atof(argv[i + 1]);
    return fallback;
}

const char* argText(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return nullptr;
}

// Runs the event loop for ms milliseconds.
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}   // namespace

int main(int argc, char** argv) {
    const double fps = argValue(argc, argv, "--fps", 120);
    const double seconds = argValue(argc, argv, "--seconds", 5);
    const std::string mode = argText(argc, argv, "--mode", "plain");
    const int stack = static_cast<int>(argValue(argc, argv, "--stack", mode == "stack" ? 10 : 0));
    if (mode != "plain" && mode != "stack" && mode != "stitch") {
        std::fprintf(stderr, "--mode is plain, stack or stitch\n");
        return 2;
    }
    ClientViewRun served;
    served.eventPages = static_cast<int>(argValue(argc, argv, "--event-pages", 0));
    served.livePages = static_cast<int>(argValue(argc, argv, "--live-pages", 0));
    served.captures = static_cast<int>(argValue(argc, argv, "--captures", 100));
    served.seconds = seconds;
    served.fps = fps;
    ClientLoad load;   // the pages' process, forked before any thread
    const bool clientView = served.eventPages + served.livePages > 0;
    if (clientView && !load.Fork()) {
        std::fprintf(stderr, "could not start the pages' process\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir dir;   // config.cfg and the captures stay out of the caller's folder
    QDir::setCurrent(dir.path());
    for (sim::Simulator* s : {&sim::Simulator::cd(), &sim::Simulator::rc()}) {
        s->reset();
        s->setFrameRate(fps);
    }

    CameraOptions cameras;
    const char* named = argText(argc, argv, "--camera");
    if (named != nullptr) {
        cameras.listing = gphoto::Listing::Real;
        cameras.autodetect = false;
        cameras.cameras = {named};
    }
    CMainApp app(cameras);
    if (!app.InitInstance()) {
        std::fprintf(stderr, "the main window could not be made\n");
        return 1;
    }
    CViewDoc* doc = app.document();
    auto* list = dynamic_cast<CViewCameraList*>(app.mainFrame()->pane(0));
    auto* screen = dynamic_cast<CViewViewscreen*>(app.mainFrame()->pane(2));
    if (!list || !screen || list->cameraList()->count() == 0) {
        std::fprintf(stderr, "no camera list, viewscreen or camera\n");
        return 1;
    }
    // The named real camera heads the list; else the simulated one named by --sim-camera, or
    // the last row, a CD camera.
    int row = named != nullptr ? 0 : list->cameraList()->count() - 1;
    if (const char* simulated = argText(argc, argv, "--sim-camera"))
        for (int i = 0; i < list->cameraList()->count(); ++i)
            if (list->cameraList()->item(i)->text().contains(QString::fromUtf8(simulated))) row = i;
    list->cameraList()->setCurrentRow(row);
    list->OnConnect();
    if (!doc->openDriver()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    auto* host = dynamic_cast<CViewMain*>(app.mainFrame()->pane(4));
    if (mode != "plain" && !host) {
        std::fprintf(stderr, "no capture panel host\n");
        return 1;
    }
    if (mode == "stack") {
        host->tabs()->setCurrentIndex(CViewMain::AstroTab);
        host->astroPanel()->slider()->setValue(stack);
    } else if (mode == "stitch") {
        host->tabs()->setCurrentIndex(CViewMain::StitchTab);
        pump(100);   // a live frame to keep
        host->stitchPanel()->OnStitchCapturePhoto();
    } else {
        doc->SetAdditiveFrames(stack);
    }
    if (const char* format = argText(argc, argv, "--format"))
        if (!doc->openDriver()->SetImageSize(format)) {
            std::fprintf(stderr, "the camera does not offer the image size %s\n", format);
            return 1;
        }
    pump(500);   // warm-up: buffers sized, the stacking window filling
    if (clientView) return RunClientView(app, load, served, dir.path().toStdString());
    const OverlapReadout* readout = host ? host->stitchPanel()->readout() : nullptr;
    const std::uint64_t estimates0 = readout ? readout->estimatesDone() : 0;

    // The UI-thread probe: how late does a 5 ms timer fire?
    QElapsedTimer probeClock;
    qint64 lastTick = 0;
    double maxStallMs = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        maxStallMs = std::max(maxStallMs, (now - lastTick) / 1e6 - 5.0);
        lastTick = now;
    });

    // Captures posted during live view: the wait from the call to the camera starting it.
    const int captures = static_cast<int>(argValue(argc, argv, "--captures", 0));
    std::string disk;
    if (named != nullptr && std::strstr(named, "@disk:") != nullptr)
        disk = std::strstr(named, "@disk:") + 6;
    std::vector<double> waitsMs, savedMs;
    if (const char* release = argText(argc, argv, "--release"); release && !disk.empty())
        std::ofstream(disk + "/release") << release;
    QTimer captureTimer;
    if (captures > 0 && !disk.empty()) {
        captureTimer.setInterval(static_cast<int>(seconds * 1000 / (captures + 1)));
        QObject::connect(&captureTimer, &QTimer::timeout, [&] {
            if (static_cast<int>(waitsMs.size()) >= captures) return;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long long posted = now.tv_sec * 1000000000LL + now.tv_nsec;
            doc->TakePicture();   // returns once every file of the release is saved
            clock_gettime(CLOCK_MONOTONIC, &now);
            savedMs.push_back((now.tv_sec * 1000000000LL + now.tv_nsec - posted) / 1e6);
            long long started = 0;
            std::ifstream(disk + "/capture-started") >> started;
            waitsMs.push_back((started - posted) / 1e6);
        });
        captureTimer.start();
    }

    // Age of a new live picture at its paint.
    struct PaintAge : QObject {
        CViewViewscreen* screen;
        std::string file;
        std::uint64_t lastShown = 0;
        std::vector<double> agesMs;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint && watched == screen->picture(0) &&
                screen->framesShown() != lastShown) {
                lastShown = screen->framesShown();
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                long long at = 0;
                std::ifstream(file) >> at;
                if (at > 0) agesMs.push_back((now.tv_sec * 1000000000LL + now.tv_nsec - at) / 1e6);
            }
            return false;
        }
    } paintAge;
    paintAge.screen = screen;
    paintAge.file = disk + "/preview-at";
    if (!disk.empty()) screen->picture(0)->installEventFilter(&paintAge);

    const std::uint64_t delivered0 = screen->framesDelivered();
    const std::uint64_t shown0 = screen->framesShown();
    const double cpu0 = processCpuMs();
    probeClock.start();
    probe.start();
    pump(static_cast<int>(seconds * 1000));
    probe.stop();
    captureTimer.stop();
    const double cpu1 = processCpuMs();
    // Stop the viewfinder, then let the last hand-over reach the picture.
    if (camera::CanonDriver* driver = doc->openDriver()) driver->DisableViewfinder();
    const std::uint64_t delivered = screen->framesDelivered() - delivered0;
    pump(50);
    const std::uint64_t shown = screen->framesShown() - shown0;
    const std::uint64_t estimates = readout ? readout->estimatesDone() - estimates0 : 0;

    screen->picture(0)->removeEventFilter(&paintAge);
    if (!paintAge.agesMs.empty()) {
        std::vector<double>& ages = paintAge.agesMs;
        std::sort(ages.begin(), ages.end());
        std::printf("{\"painted\": %zu, \"frame_age_ms_p50\": %.2f, \"frame_age_ms_p99\": %.2f}\n",
                    ages.size(), ages[ages.size() / 2], ages[ages.size() * 99 / 100]);
    }
    if (!waitsMs.empty()) {
        std::sort(waitsMs.begin(), waitsMs.end());
        std::printf(
            "{\"captures\": %zu, \"capture_wait_ms_p50\": %.2f, "
            "\"capture_wait_ms_max\": %.2f}\n",
            waitsMs.size(), waitsMs[waitsMs.size() / 2], waitsMs.back());
        std::sort(savedMs.begin(), savedMs.end());
        std::printf("{\"capture_to_saved_ms_p50\": %.2f, \"capture_to_saved_ms_max\": %.2f}\n",
                    savedMs[savedMs.size() / 2], savedMs.back());
    }
    std::printf(
        "{\"delivered\": %llu, \"shown\": %llu, \"max_ui_stall_ms\": %.2f, "
        "\"cpu_ms_per_frame\": %.3f, \"overlap_estimates\": %llu}\n",
        static_cast<unsigned long long>(delivered), static_cast<unsigned long long>(shown),
        std::max(0.0, maxStallMs), delivered ? (cpu1 - cpu0) / static_cast<double>(delivered) : 0.0,
        static_cast<unsigned long long>(estimates));
    std::fflush(stdout);
    return 0;
}
