// The Review tab's large view over 6000 x 4000 JPEGs of quality 90 (24 MP), against the whole
// picture decoded as the large view once did it (BM_Decode24MPFull, picture_bench.cpp): the first
// view of a file just saved at the viewscreen's size with nothing decoded ahead
// (BM_LargeViewFirst24MP: the scaled decode, turned, with its histogram, on a worker, handed to
// the window thread), and the next picture once its neighbours were decoded ahead
// (BM_LargeViewNext24MP).
#include "capture/LargeViewCache.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
const QSize kView(640, 480);   // the viewscreen's picture in a window of 800 x 600

// Three 24 MP pictures in a folder of their own (detail and noise, as a camera's are), removed
// at exit.
const std::vector<std::string>& Pictures() {
    struct Folder {
        std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("kestrel-large-" + std::to_string(::getpid()));
        std::vector<std::string> paths;
        Folder() {
            std::filesystem::create_directories(folder);
            std::vector<std::uint8_t> rgb(std::size_t(kWidth) * kHeight * 3);
            std::mt19937 noise(7);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    std::uint8_t* p = &rgb[(std::size_t(y) * kWidth + x) * 3];
                    const int n = int(noise() % 24);
                    p[0] = static_cast<std::uint8_t>((x * 200 / kWidth) + n);
                    p[1] = static_cast<std::uint8_t>((y * 200 / kHeight) + n);
                    p[2] = static_cast<std::uint8_t>(((x / 40 + y / 40) % 2 ? 180 : 40) + n);
                }
            tjhandle tj = tjInitCompress();
            unsigned char* jpeg = nullptr;
            unsigned long size = 0;
            tjCompress2(tj, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90,
                        0);
            for (int i = 0; i < 3; ++i) {
                paths.push_back((folder / ("Photo-000" + std::to_string(i + 1) + ".jpg")).string());
                std::ofstream(paths.back(), std::ios::binary)
                    .write(reinterpret_cast<const char*>(jpeg), static_cast<std::streamsize>(size));
            }
            tjFree(jpeg);
            tjDestroy(tj);
        }
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    };
    static const Folder folder;
    return folder.paths;
}

// The workers hand their results over through the event loop.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "kestrel_bench";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// Runs the event loop until the cache shows path.
void WaitShown(const std::string& path, const std::string& shown) {
    while (shown != path) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}   // namespace

static void BM_LargeViewFirst24MP(benchmark::State& state) {
    EnsureApplication();
    const std::string path = Pictures()[0];
    LargeViewCache cache;
    std::string shown;
    cache.onView = [&](const LargeViewCache::View& v) { shown = v.path; };
    cache.setTarget(kView);
    for (auto _ : state) {
        cache.Clear();
        shown.clear();
        cache.Prefetch(path);   // the file was saved
        cache.Show(path, {}, {});
        WaitShown(path, shown);
    }
}
BENCHMARK(BM_LargeViewFirst24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_LargeViewNext24MP(benchmark::State& state) {
    EnsureApplication();
    const std::vector<std::string>& paths = Pictures();
    LargeViewCache cache;
    std::string shown;
    cache.onView = [&](const LargeViewCache::View& v) { shown = v.path; };
    cache.setTarget(kView);
    cache.Show(paths[1], {paths[2]}, {paths[0]});
    while (!cache.has(paths[0]) || !cache.has(paths[1]) || !cache.has(paths[2]))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::size_t i = 0;
    for (auto _ : state) {
        // Right, then Left: each step's picture was decoded ahead.
        const std::size_t at = (++i % 2) ? 2 : 1;
        shown.clear();
        cache.Show(paths[at], {paths[at == 2 ? 1 : 2]}, {paths[0]});
        WaitShown(paths[at], shown);
    }
}
BENCHMARK(BM_LargeViewNext24MP)->Unit(benchmark::kMicrosecond)->UseRealTime();
