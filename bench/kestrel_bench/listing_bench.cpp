// Benchmarks of the Review strip's and the client view's listing of a capture folder of 20,000
// pictures: the capture name's own names, and names made by templates, read back through them.
#include "picture/PictureList.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

constexpr int kPictures = 20000;

// A folder of kPictures empty files named by kind, made once and removed at exit.
const std::string& Folder(int kind) {
    struct Made {
        std::string path;
        explicit Made(int kind) {
            const char* tmp = std::getenv("TMPDIR");
            path = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrel-listing-" +
                   std::to_string(::getpid()) + "-" + std::to_string(kind) + "/";
            std::filesystem::create_directories(path);
            char name[96];
            for (int i = 0; i < kPictures; ++i) {
                if (kind == 0) std::snprintf(name, sizeof name, "Photo-%04d.jpg", i);
                else if (kind == 1)
                    std::snprintf(name, sizeof name, "Smith_202612%02d_%04d.jpg", 1 + i / 1000,
                                  i % 1000);
                else
                    std::snprintf(name, sizeof name, "EOS 20D_Focus stack %d: %d of 20_%04d.jpg",
                                  i / 20, i % 20 + 1, i);
                std::ofstream(path + name);
            }
        }
        ~Made() { std::filesystem::remove_all(path); }
    };
    static const Made made[3] = {Made(0), Made(1), Made(2)};
    return made[kind].path;
}

void List(benchmark::State& state, int kind, const char* nameTemplate) {
    const std::string& folder = Folder(kind);
    for (auto _ : state) {
        const auto entries = picture::ListPictures(folder, "Photo", nameTemplate, "Smith");
        if (entries.size() != static_cast<std::size_t>(kPictures))
            state.SkipWithError("not every picture listed");
        benchmark::DoNotOptimize(entries.data());
    }
}

}   // namespace

static void BM_List20000DefaultNames(benchmark::State& state) { List(state, 0, "{name}-{number}"); }
BENCHMARK(BM_List20000DefaultNames)->Unit(benchmark::kMillisecond);

// Numbered again each day, so numbered by time: one stat a file more.
static void BM_List20000JobDateTemplate(benchmark::State& state) {
    List(state, 1, "{job}_{date:yyyyMMdd}_{number}");
}
BENCHMARK(BM_List20000JobDateTemplate)->Unit(benchmark::kMillisecond);

// Two wildcards side by side: the longest read back.
static void BM_List20000CameraSeriesTemplate(benchmark::State& state) {
    List(state, 2, "{camera}_{series}_{number}");
}
BENCHMARK(BM_List20000CameraSeriesTemplate)->Unit(benchmark::kMillisecond);
