#include "ClientViewRun.h"

#include "BenchPages.h"
#include "ClientLoad.h"
#include "app/CClientViewDlg.h"
#include "app/CMainApp.h"
#include "app/CMainFrame.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CViewViewscreen.h"
#include "client/ServedPictures.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

double cpuNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void pumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentileOf(std::vector<double> v, double p) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

// Frames the simulated camera has handed out since it was opened; -1 when it is not simulated.
long long cameraFrames(CViewDoc* doc) {
    const std::string name = doc->connectedName();
    for (sim::Simulator* s : {&sim::Simulator::cd(), &sim::Simulator::rc()})
        if (const auto state = s->state(name)) return state->framesDelivered;
    return -1;
}

struct Half {
    long long offered = 0;
    std::uint64_t delivered = 0, shown = 0;
    double maxStallMs = 0, cpuPct = 0, seconds = 0;
    int posted = 0, inFolder = 0, late = 0;
    int first = 0;                   // the first picture's number
    std::vector<double> captureMs;   // the Capture Photo call, on the window thread
    std::vector<std::int64_t> calledUs, returnedUs;   // when each call was made, returned
    std::vector<std::int64_t> savedUs;   // when each file was saved (its time, steady us)
};

// One half: the captures spread over the run while the live view streams.
Half measure(CMainApp& app, const ClientViewRun& run, const std::string& folder) {
    CViewDoc* doc = app.document();
    auto* screen = dynamic_cast<CViewViewscreen*>(app.mainFrame()->pane(2));
    const std::string name = doc->captureName();
    Half half;
    const int intervalMs = static_cast<int>(run.seconds * 1000 / (run.captures + 1));
    std::vector<bool> lateSeen(run.captures, false);
    // Each picture must be in the folder when the next capture is posted (and one interval
    // after the last): else it is late.
    const auto lookLate = [&] {
        const std::size_t there = client::ServedPictures::List(folder, name).size();
        for (int n = static_cast<int>(there); n < half.posted; ++n) lateSeen[n] = true;
    };
    QElapsedTimer probeClock;
    qint64 lastTick = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        half.maxStallMs = std::max(half.maxStallMs, (now - lastTick) / 1e6 - 5.0);
        lastTick = now;
    });
    QTimer captureTimer;
    captureTimer.setInterval(intervalMs);
    QObject::connect(&captureTimer, &QTimer::timeout, [&] {
        if (half.posted >= run.captures) return;
        lookLate();
        const std::int64_t before = benchpages::nowUs();
        CCapNormalDlg::CapturePhoto(doc);   // as the Capture Photo button does
        const std::int64_t after = benchpages::nowUs();
        half.captureMs.push_back((after - before) / 1000.0);
        half.returnedUs.push_back(after);
        half.calledUs.push_back(before);
        ++half.posted;
    });

    const long long offered0 = cameraFrames(doc);
    const std::uint64_t delivered0 = screen->framesDelivered(), shown0 = screen->framesShown();
    const double cpu0 = cpuNowMs();
    QElapsedTimer wall;
    wall.start();
    probeClock.start();
    probe.start();
    captureTimer.start();
    pumpFor(static_cast<int>(run.seconds * 1000));
    for (int i = 0; i < 200 && half.posted < run.captures; ++i) pumpFor(50);   // a slow camera
    captureTimer.stop();
    probe.stop();
    half.cpuPct = 100.0 * (cpuNowMs() - cpu0) / static_cast<double>(wall.elapsed());
    half.seconds = wall.elapsed() / 1000.0;
    half.offered = offered0 < 0 ? -1 : cameraFrames(doc) - offered0;
    // At the same moment: a frame in its hand-over is one short.
    half.delivered = screen->framesDelivered() - delivered0;
    half.shown = screen->framesShown() - shown0;
    pumpFor(intervalMs);
    lookLate();
    half.late = static_cast<int>(std::count(lateSeen.begin(), lateSeen.end(), true));
    const std::vector<client::ServedPicture> listed = client::ServedPictures::List(folder, name);
    half.inFolder = static_cast<int>(listed.size());
    // The files' times (the real-time clock) on the steady clock the pages use.
    timespec real{};
    clock_gettime(CLOCK_REALTIME, &real);
    const std::int64_t offsetUs = static_cast<std::int64_t>(real.tv_sec) * 1000000 +
                                  real.tv_nsec / 1000 - benchpages::nowUs();
    half.savedUs.assign(run.captures, 0);
    // A fresh folder's numbers start where the naming starts them (Photo-0000.jpg).
    half.first = listed.empty() ? 0 : static_cast<int>(listed.front().number);
    for (const client::ServedPicture& p : listed)
        half.first = std::min(half.first, static_cast<int>(p.number));
    for (const client::ServedPicture& p : listed) {
        const int index = static_cast<int>(p.number) - half.first;
        if (index >= 0 && index < run.captures)
            half.savedUs[index] = p.modifiedMs * 1000 - offsetUs;
    }
    return half;
}

void printHalf(const char* what, const Half& h) {
    const double base = h.offered > 0 ? static_cast<double>(h.offered) : h.delivered;
    std::printf(
        "{\"half\": \"%s\", \"seconds\": %.1f, \"offered\": %lld, \"delivered\": %llu, "
        "\"shown\": %llu, \"shown_pct\": %.2f, \"max_ui_stall_ms\": %.1f, \"captures\": %d, "
        "\"in_folder\": %d, \"late\": %d, \"capture_ms_p50\": %.1f, \"capture_ms_max\": %.1f, "
        "\"cpu_pct\": %.1f}\n",
        what, h.seconds, h.offered, static_cast<unsigned long long>(h.delivered),
        static_cast<unsigned long long>(h.shown), base > 0 ? 100.0 * h.shown / base : 0.0,
        h.maxStallMs, h.posted, h.inFolder, h.late, percentileOf(h.captureMs, 0.5),
        percentileOf(h.captureMs, 1), h.cpuPct);
}

}   // namespace

int RunClientView(CMainApp& app, ClientLoad& load, const ClientViewRun& run,
                  const std::string& folder) {
    CViewDoc* doc = app.document();
    const std::string alone = folder + "/alone/", served = folder + "/served/";
    std::filesystem::create_directories(alone);
    std::filesystem::create_directories(served);

    doc->SetCaptureFolder(alone);
    const Half first = measure(app, run, alone);
    printHalf("alone", first);

    // The client view as the user starts it, live view ticked, on loopback.
    doc->SetCaptureFolder(served);
    CClientViewDlg* dialog = app.mainFrame()->clientView();
    if (auto* live = dialog->findChild<QCheckBox*>(QStringLiteral("clientViewLive")))
        live->setChecked(true);
    if (const QString why = dialog->Start(QStringLiteral("127.0.0.1:0")); !why.isEmpty()) {
        std::fprintf(stderr, "the client view did not start: %s\n", qPrintable(why));
        load.Cancel();
        return 1;
    }
    const QUrl url(dialog->Url());
    // The numbers start as they did in the first half's fresh folder.
    load.Open(url.port(), QUrlQuery(url).queryItemValue(QStringLiteral("key")).toStdString(),
              first.first, run.captures, run.eventPages, run.livePages);
    if (!load.WaitOpen([] { pumpFor(1); })) std::fprintf(stderr, "not every page opened\n");
    QElapsedTimer liveClock;
    liveClock.start();
    pumpFor(500);   // the live streams running
    const Half second = measure(app, run, served);
    pumpFor(1000);    // the last thumbnails fetched
    dialog->Stop();   // drops every page
    const double liveSeconds = liveClock.elapsed() / 1000.0;
    const ClientLoad::Result pages = load.Finish(run.eventPages, run.captures);
    printHalf("clients", second);

    // The pages: every picture's event and thumbnail, within a second of its file's save
    // (KESTREL_BENCH_TRACE set: the first page's times, picture by picture, on stderr).
    int pageLost = 0, pageLate = 0;
    std::vector<double> thumbMs;
    for (int p = 0; p < run.eventPages; ++p)
        for (int n = 0; n < run.captures; ++n) {
            if (n >= static_cast<int>(second.returnedUs.size()) || pages.thumb[p][n] == 0) {
                std::fprintf(stderr, "page %d: picture %d %s\n", p + 1, n + second.first,
                             pages.event[p][n] == 0 ? "never announced" : "without thumbnail");
                ++pageLost;
                continue;
            }
            // From the file's save (its time has millisecond steps) to the thumbnail in hand.
            const double ms = std::max<double>(0, (pages.thumb[p][n] - second.savedUs[n]) / 1000.0);
            if (p == 0 && std::getenv("KESTREL_BENCH_TRACE"))
                std::fprintf(stderr,
                             "picture %d: called +0, returned %+.1f, saved %+.1f, event %+.1f, "
                             "thumbnail %+.1f ms\n",
                             n + second.first, (second.returnedUs[n] - second.calledUs[n]) / 1000.0,
                             (second.savedUs[n] - second.calledUs[n]) / 1000.0,
                             (pages.event[p][n] - second.calledUs[n]) / 1000.0,
                             (pages.thumb[p][n] - second.calledUs[n]) / 1000.0);
            thumbMs.push_back(ms);
            if (ms > 1000) ++pageLate;
        }
    const int clients = run.eventPages + run.livePages;
    const double perClient = clients > 0 ? (second.cpuPct - first.cpuPct) / clients : 0;
    const double base = second.offered > 0 ? static_cast<double>(second.offered) : second.delivered;
    const int lost = (run.captures - first.inFolder) + (run.captures - second.inFolder);
    std::printf(
        "{\"fps\": %.0f, \"event_pages\": %d, \"live_pages\": %d, \"captures\": %d, "
        "\"shown_pct_alone\": %.2f, \"shown_pct\": %.2f, \"lost\": %d, \"late\": %d, "
        "\"page_lost\": %d, \"page_late\": %d, \"thumb_ms_p50\": %.1f, \"thumb_ms_p95\": %.1f, "
        "\"live_fps_per_page\": %.1f, \"cpu_pct_alone\": %.1f, \"cpu_pct_clients\": %.1f, "
        "\"cpu_pct_per_client\": %.2f}\n",
        run.fps, run.eventPages, run.livePages, run.captures,
        first.offered > 0 ? 100.0 * first.shown / first.offered : 0.0,
        base > 0 ? 100.0 * second.shown / base : 0.0, lost, first.late + second.late, pageLost,
        pageLate, percentileOf(thumbMs, 0.5), percentileOf(thumbMs, 0.95),
        run.livePages > 0 ? pages.liveFrames / static_cast<double>(run.livePages) / liveSeconds
                          : 0.0,
        first.cpuPct, second.cpuPct, perClient);
    std::fflush(stdout);
    return lost == 0 && second.late == 0 && first.late == 0 && pageLost == 0 ? 0 : 1;
}
