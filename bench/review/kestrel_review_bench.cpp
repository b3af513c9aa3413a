// The Review strip's cold start: fills a temporary capture folder with numbered JPEGs that
// carry EXIF thumbnails, then times, for each run, a new strip (new panel, loader and watcher,
// nothing cached) from its construction to every thumbnail in sight being shown; then, on one
// strip, how long the window thread stalls while a new picture joins the list; then Right held
// (30 presses a second) across --hold pictures of 6000 x 4000 (quality 90) shown large in a
// 640 x 480 view: how far the view is behind the key at most, the longest the window thread
// was late for a press (plus the step itself), and how long after the last press its picture is
// on screen decoded. "Behind" counts the picture on screen, its strip thumbnail magnified while
// it is decoded included; "decoded behind" only the decoded pictures. Last, --captures releases
// of a simulated 24 MP camera from the Normal tab with "Show Each New Picture" on: from the
// release to the new picture decoded in the large view, and from its file saved to the same.
//   kestrel_review_bench [--pictures N] [--runs R] [--hold H] [--captures C]
//                                                  (defaults 2000, 5, 200 and 30)
// The pictures are hard links of one file, so 20,000 of them take no room.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise. The last line printed
// is one JSON object: {"pictures", "in_sight": thumbnails in the first screenful,
// "first_screenful_ms_p50", "first_screenful_ms_max", "listed_ms_p50": the panel's
// construction (the listing itself is read on the panel's worker), "new_picture_stall_ms_p50", "new_picture_stall_ms_max": the
// longest single turn of the event loop from a new file's rescan to its item in the strip,
// "hold_pictures", "hold_behind_max", "hold_decoded_behind_max", "hold_stall_ms_max",
// "hold_last_shown_ms", "captures", "release_to_large_ms_p50", "release_to_large_ms_p95",
// "saved_to_large_ms_p50", "saved_to_large_ms_p95"}.
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "document/CViewDoc.h"
#include "sdk/sim/ImageFile.h"
#include "sdk/sim/Simulator.h"

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Written as the panel marks a thumbnail that arrived (its second user role).
bool Loaded(const QListWidgetItem* item) { return item->data(Qt::UserRole + 1).toBool(); }

// The items whose thumbnails are in sight, and how many of them are shown.
std::pair<int, int> InSight(const QListWidget* strip) {
    const QRect sight = strip->viewport()->rect();
    int seen = 0, shown = 0;
    for (int i = 0; i < strip->count(); ++i) {
        const QListWidgetItem* item = strip->item(i);
        if (!strip->visualItemRect(item).intersects(sight)) continue;
        ++seen;
        shown += Loaded(item) ? 1 : 0;
    }
    return {seen, shown};
}

std::string NameOf(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "Photo-%04d.jpg", number);
    return name;
}

// The viewscreen at the size of the 640 x 480 view, shown.
void ShowAt640x480(CViewViewscreen& screen) {
    screen.setStep(160);
    screen.resize(640, 500);
    screen.show();
}

// The value below which the given share of v lies (nearest rank).
double Percentile(std::vector<double> v, double share) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(share * static_cast<double>(v.size()) + 0.999999);
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}   // namespace

int main(int argc, char** argv) {
    int pictures = 2000, runs = 5, hold = 200, captures = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--pictures") == 0) pictures = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--hold") == 0) hold = std::max(2, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--captures") == 0) captures = std::max(1, std::atoi(argv[i + 1]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const auto folder = std::filesystem::temp_directory_path() /
                        ("kestrel-review-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        // A small picture is enough: the strip reads the 160 x 120 thumbnail, not the picture.
        constexpr int w = 640, h = 480;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<std::uint8_t>((i * 7) % 251);
        const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), w, h, 90);
        std::ofstream(folder / "source.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        for (int n = 1; n <= pictures; ++n)
            std::filesystem::create_hard_link(folder / "source.jpg", folder / NameOf(n));
    }

    std::vector<double> listed, firstScreenful, stalls;
    int inSight = 0;
    {
        CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                     (folder / "config.cfg").string());
        doc.SetCaptureFolder(folder.string() + "/");
        doc.SetCaptureName("Photo");
        for (int run = 0; run < runs; ++run) {
            const Clock::time_point start = Clock::now();
            CReviewPanel panel(&doc);
            panel.resize(1024, 600);
            panel.show();
            listed.push_back(Ms(Clock::now() - start));
            for (;;) {
                const auto [seen, shown] = InSight(panel.strip());
                if (seen > 0 && shown == seen) {
                    inSight = seen;
                    break;
                }
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            firstScreenful.push_back(Ms(Clock::now() - start));
            std::printf("run %d: listed %.1f ms, first screenful (%d thumbnails) %.1f ms\n", run,
                        listed.back(), inSight, firstScreenful.back());
        }
        // New pictures on top of a listed strip: the longest turn of the window thread each.
        CReviewPanel panel(&doc);
        panel.resize(1024, 600);
        panel.show();
        while (panel.strip()->count() < pictures)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        for (int n = pictures + 1; n <= pictures + 5; ++n) {
            std::filesystem::create_hard_link(folder / "source.jpg", folder / NameOf(n));
            Clock::time_point start = Clock::now();
            panel.Rescan();
            double longest = Ms(Clock::now() - start);
            while (panel.strip()->count() < n) {
                start = Clock::now();
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
                longest = std::max(longest, Ms(Clock::now() - start));
            }
            stalls.push_back(longest);
            std::printf("new picture %d: longest stall %.1f ms\n", n, longest);
        }
    }
    std::filesystem::remove_all(folder);

    // Right held across `hold` 24 MP pictures shown large.
    std::filesystem::create_directories(folder);
    {
        constexpr int w = 6000, h = 4000;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<std::uint8_t>((i * 7 + i / 18000) % 251);
        // As cameras write them: with a 160 x 120 EXIF thumbnail for the strip.
        const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), w, h, 90);
        std::ofstream(folder / "source.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        for (int n = 1; n <= hold; ++n)
            std::filesystem::create_hard_link(folder / "source.jpg", folder / NameOf(n));
    }
    int behindMax = 0, decodedBehindMax = 0, shownCount = 0, standIns = 0;
    double holdStall = 0.0, lastShownMs = 0.0, stepMax = 0.0;
    {
        CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                     (folder / "config.cfg").string());
        doc.SetCaptureFolder(folder.string() + "/");
        doc.SetCaptureName("Photo");
        CViewViewscreen screen(&doc);
        ShowAt640x480(screen);
        CReviewPanel panel(&doc);
        panel.resize(1024, 300);
        panel.show();
        while (panel.strip()->count() < hold)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The strip runs newest first: Photo-N is row hold - N. shownRow: the picture on screen,
        // its thumbnail magnified or decoded; decodedRow: the last one decoded on screen.
        int shownRow = -1, decodedRow = -1;
        const auto rowOf = [hold](const QString& path) {
            return hold - path.section('-', -1).section('.', 0, 0).toInt();
        };
        QObject::connect(&panel, &CReviewPanel::pictureShown, [&](const QString& path) {
            ++shownCount;
            shownRow = decodedRow = rowOf(path);
        });
        QObject::connect(&panel, &CReviewPanel::standInShown, [&](const QString& path) {
            ++standIns;
            shownRow = rowOf(path);
        });
        panel.strip()->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        panel.ShowLarge();
        while (shownRow != 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto repeat = std::chrono::microseconds(33333);
        const Clock::time_point start = Clock::now();
        for (int step = 1; step < hold; ++step) {
            // The window waits for its events (a timer wakes it for the press), never spins; a
            // stall is how late the press is taken, plus the step itself.
            const Clock::time_point press = start + step * repeat;
            QTimer wake;
            wake.setSingleShot(true);
            wake.start(std::max<int>(
                1,
                int(std::chrono::ceil<std::chrono::milliseconds>(press - Clock::now()).count())));
            while (Clock::now() < press) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                if (!wake.isActive() && Clock::now() < press) wake.start(1);
            }
            behindMax = std::max(behindMax, panel.strip()->currentRow() - shownRow);
            decodedBehindMax = std::max(decodedBehindMax, panel.strip()->currentRow() - decodedRow);
            const Clock::time_point stepStart = Clock::now();
            panel.Step(1);
            stepMax = std::max(stepMax, Ms(Clock::now() - stepStart));
            holdStall = std::max(holdStall, Ms(Clock::now() - press));
        }
        const Clock::time_point last = Clock::now();
        while (decodedRow != hold - 1)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        lastShownMs = Ms(Clock::now() - last);
        std::printf(
            "Right held across %d pictures: at most %d behind (%d behind the last decoded), "
            "longest stall %.1f ms (the longest step itself %.1f ms), last one decoded on screen "
            "%.1f ms after its press; %d decoded and %d thumbnails shown on the way\n",
            hold, behindMax, decodedBehindMax, holdStall, stepMax, lastShownMs, shownCount,
            standIns);
    }
    std::filesystem::remove_all(folder);

    // Releases from the Normal tab, each new picture shown large as it is saved.
    std::vector<double> releaseToLarge, savedToLarge;
    std::filesystem::create_directories(folder);
    {
        sim::CameraSpec camera = sim::fullCamera("Cd 24");
        camera.sizePixels = {{0, {6000, 4000}}, {1, {3000, 2000}}, {2, {1500, 1000}}};
        sim::World world;
        world.cameras = {camera};
        for (sim::Simulator* s : {&sim::Simulator::cd(), &sim::Simulator::rc()}) {
            s->reset();
            s->setManualViewfinder(true);
        }
        sim::Simulator::cd().setWorld(world);
        sim::Simulator::rc().setWorld(sim::World{});
        CViewDoc doc(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                     (folder / "config.cfg").string());
        doc.SetCaptureFolder(folder.string() + "/");
        doc.SetCaptureName("Photo");
        doc.UpdateDeviceList();
        if (!doc.ConnectCamera("Cd 24")) {
            std::fprintf(stderr, "the simulated camera did not connect\n");
            return 1;
        }
        CViewViewscreen screen(&doc);
        ShowAt640x480(screen);
        CViewMain host(&doc);
        host.resize(1024, 400);
        host.show();
        CReviewPanel* review = host.reviewPanel();
        review->setShowNewPictures(true);
        QString shown;
        QObject::connect(review, &CReviewPanel::pictureShown,
                         [&](const QString& path) { shown = path; });
        QString last;
        for (int n = 1; n <= captures; ++n) {
            host.tabs()->setCurrentIndex(CViewMain::NormalTab);
            const Clock::time_point release = Clock::now();
            // As the Normal tab releases.
            if (!doc.TakePicture()) {
                std::fprintf(stderr, "capture %d failed\n", n);
                return 1;
            }
            doc.PhotoCaptured();
            // The simulated body writes its file inside the release.
            const Clock::time_point saved = Clock::now();
            // The folder's numbering is the document's: each capture shows a picture not shown
            // before.
            while (shown.isEmpty() || shown == last)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const Clock::time_point large = Clock::now();
            last = shown;
            releaseToLarge.push_back(Ms(large - release));
            savedToLarge.push_back(Ms(large - saved));
            std::printf("capture %d (%s): release to large view %.1f ms (saved to large %.1f ms)\n",
                        n, qPrintable(QFileInfo(shown).fileName()), releaseToLarge.back(),
                        savedToLarge.back());
        }
    }
    std::filesystem::remove_all(folder);
    std::printf(
        "{\"pictures\": %d, \"in_sight\": %d, \"first_screenful_ms_p50\": %.1f, "
        "\"first_screenful_ms_max\": %.1f, \"listed_ms_p50\": %.1f, \"new_picture_stall_ms_p50\": "
        "%.1f, \"new_picture_stall_ms_max\": %.1f, \"hold_pictures\": %d, \"hold_behind_max\": %d, "
        "\"hold_decoded_behind_max\": %d, \"hold_stall_ms_max\": %.1f, \"hold_last_shown_ms\": "
        "%.1f, \"captures\": %d, \"release_to_large_ms_p50\": %.1f, "
        "\"release_to_large_ms_p95\": %.1f, \"saved_to_large_ms_p50\": %.1f, "
        "\"saved_to_large_ms_p95\": %.1f}\n",
        pictures, inSight, Median(firstScreenful),
        *std::max_element(firstScreenful.begin(), firstScreenful.end()), Median(listed),
        Median(stalls), *std::max_element(stalls.begin(), stalls.end()), hold, behindMax,
        decodedBehindMax, holdStall, lastShownMs, captures, Percentile(releaseToLarge, 0.5),
        Percentile(releaseToLarge, 0.95), Percentile(savedToLarge, 0.5),
        Percentile(savedToLarge, 0.95));
    return 0;
}
