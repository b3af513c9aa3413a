// Benchmarks of the live view of real cameras: one 960 x 640 preview JPEG (the size an EOS body
// sends) turned into the 320 x 240 frame, against libturbojpeg decoding the same JPEG at full
// size. Scaled decoding should make the whole conversion cheaper than the plain decode.
#include "sdk/gphoto/PreviewFrame.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <vector>

namespace {

// A 960 x 640 picture with detail (gradients and a checker), as JPEG quality 85, 4:2:0.
const std::vector<unsigned char>& PreviewJpeg() {
    static const std::vector<unsigned char> jpeg = [] {
        constexpr int w = 960, h = 640;
        std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
                p[0] = static_cast<unsigned char>(x * 255 / w);
                p[1] = static_cast<unsigned char>(y * 255 / h);
                p[2] = static_cast<unsigned char>((x / 24 + y / 24) % 2 ? 210 : 40);
            }
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjhandle tj = tjInitCompress();
        tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_420, 85, 0);
        std::vector<unsigned char> bytes(out, out + size);
        tjFree(out);
        tjDestroy(tj);
        return bytes;
    }();
    return jpeg;
}

}   // namespace

static void BM_PreviewToFrame(benchmark::State& state) {
    const std::vector<unsigned char>& jpeg = PreviewJpeg();
    gphoto::PreviewFrame converter;
    std::vector<std::uint8_t> frame(sdk::kFrameBytes);
    for (auto _ : state) {
        if (converter.Convert(jpeg.data(), jpeg.size(), frame.data()) !=
            gphoto::PreviewFrame::Outcome::Converted)
            state.SkipWithError("decode");
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PreviewToFrame);

static void BM_PreviewDecodeFull(benchmark::State& state) {
    const std::vector<unsigned char>& jpeg = PreviewJpeg();
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> pixels(960 * 640 * 3);
    for (auto _ : state) {
        if (tjDecompress2(tj, jpeg.data(), jpeg.size(), pixels.data(), 960, 0, 640, TJPF_BGR,
                          TJFLAG_BOTTOMUP | TJFLAG_FASTDCT) != 0)
            state.SkipWithError("decode");
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    tjDestroy(tj);
}
BENCHMARK(BM_PreviewDecodeFull);
