// Benchmarks of the series: a look at the series of 20,000 listed pictures (one in ten in a
// bracket) once their sidecars were read, which the Review strip makes once a second, and one
// series keyword written into a sidecar beside the rating another program keeps there.
#include "picture/SeriesCache.h"
#include "picture/SeriesKeyword.h"
#include "picture/Sidecar.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct SeriesFolder {
    std::string path;
    std::vector<std::string> pictures;
    explicit SeriesFolder(int count) {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrel-series-bench-" +
               std::to_string(::getpid()) + "-" + std::to_string(count);
        std::filesystem::create_directories(path);
        for (int i = 0; i < count; ++i) {
            pictures.push_back(path + "/Photo-" + std::to_string(100000 + i) + ".jpg");
            std::ofstream(pictures.back()) << "jpeg";
            if (i % 10 == 0)
                picture::WriteSeriesKeyword(pictures.back(),
                                            picture::BracketKeyword(1 + i / 50, (i / 10) % 5 - 2));
        }
    }
    ~SeriesFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

}   // namespace

static void BM_SeriesLook20000(benchmark::State& state) {
    static const SeriesFolder folder(20000);
    picture::SeriesCache cache;
    do cache.Refresh(folder.pictures);   // every sidecar read once
    while (cache.pending());
    for (auto _ : state) {
        const auto series = cache.Refresh(folder.pictures);
        if (series.size() != folder.pictures.size() || !series.front())
            state.SkipWithError("series not kept");
        benchmark::DoNotOptimize(series.data());
    }
}
BENCHMARK(BM_SeriesLook20000)->Unit(benchmark::kMillisecond);

static void BM_WriteSeriesKeyword(benchmark::State& state) {
    static const SeriesFolder folder(1);
    const std::string& photo = folder.pictures.front();
    picture::WriteRating({photo}, 3);
    for (auto _ : state) {
        // The same keyword: the sidecar is read, parsed, encoded and replaced whole each time.
        const std::string error =
            picture::WriteSeriesKeyword(photo, picture::FocusStackKeyword(1, 7, 20));
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_WriteSeriesKeyword)->Unit(benchmark::kMicrosecond);
