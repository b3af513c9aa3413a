// Benchmarks of the review strip and the live view's focus aid: the thumbnail of a
// 24-megapixel JPEG as cameras write it (6000 x 4000, quality 90, a 160 x 120 EXIF thumbnail)
// against decoding the same file whole; focus peaking over one 320 x 240 live picture.
#include "document/FocusPeaking.h"
#include "picture/Preview.h"
#include "sdk/sim/ImageFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The file, written once into the temporary folder and removed at exit.
const std::string& Photo24MP() {
    struct File {
        std::string path;
        File() {
            constexpr int w = 6000, h = 4000;
            std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
            std::uint32_t noise = 12345;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
                    noise = noise * 1664525u + 1013904223u;   // sensor grain: real entropy
                    const int grain = static_cast<int>(noise >> 28) - 8;
                    p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + grain, 0, 255));
                    p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + grain, 0, 255));
                    p[2] = static_cast<std::uint8_t>((x / 40 + y / 40) % 2 ? 200 : 50);
                }
            const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), w, h, 90);
            const char* tmp = std::getenv("TMPDIR");
            path = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrel-bench-" +
                   std::to_string(::getpid()) + ".jpg";
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(jpeg.data()),
                       static_cast<std::streamsize>(jpeg.size()));
        }
        ~File() { std::remove(path.c_str()); }
    };
    static const File file;
    return file.path;
}

}   // namespace

static void BM_Thumbnail24MP(benchmark::State& state) {
    const std::string& path = Photo24MP();
    for (auto _ : state) {
        const picture::Pixels p = picture::ReadThumbnail(path);
        if (!p.ok() || p.width != 160) state.SkipWithError("no embedded thumbnail read");
        benchmark::DoNotOptimize(p.rgb.data());
    }
}
BENCHMARK(BM_Thumbnail24MP);

static void BM_Decode24MPFull(benchmark::State& state) {
    const std::string& path = Photo24MP();
    for (auto _ : state) {
        const picture::Pixels p = picture::ReadPicture(path);
        if (!p.ok() || p.width != 6000) state.SkipWithError("decode");
        benchmark::DoNotOptimize(p.rgb.data());
    }
}
BENCHMARK(BM_Decode24MPFull)->Unit(benchmark::kMillisecond);

static void BM_FocusPeaking(benchmark::State& state) {
    constexpr int w = 320, h = 240;
    std::vector<std::uint32_t> image(w * h);
    std::vector<std::uint8_t> mask(w * h);
    for (int i = 0; i < w * h; ++i)
        image[i] = 0xff000000u | static_cast<std::uint32_t>((i * 37) % 251) << 8 |
                   static_cast<std::uint32_t>(i % 199);
    for (auto _ : state) {
        MarkPeaking(image.data(), w, h, w, mask.data(), w);
        benchmark::DoNotOptimize(mask.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FocusPeaking);
