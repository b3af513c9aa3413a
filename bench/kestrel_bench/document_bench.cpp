// Benchmarks of the document's per-frame work and of the capture file scan, each against the
// yardstick of one frame memcpy (see main.cpp).
#include "document/CViewDoc.h"
#include "document/OverlapEstimate.h"
#include "document/StackingWindow.h"
#include "sdk/sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPixels = 230400;
constexpr std::size_t kFrame = 54 + kPixels;

// A temporary folder for config.cfg and capture files, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestrel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void IgnoreFrame(const std::uint8_t*) {}

// One document over the simulated SDKs (manual viewfinder: only the benchmark delivers frames).
struct BenchDocument {
    BenchDocument() {
        for (sim::Simulator* s : {&sim::Simulator::cd(), &sim::Simulator::rc()}) {
            s->reset();
            s->setManualViewfinder(true);
        }
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                                         scratch.path() + "/config.cfg");
        doc->SetCaptureFolder(scratch.path() + "/");
        doc->setOnFrame(&IgnoreFrame);
        frame.resize(kFrame);
        sim::Simulator::renderFrame(frame.data(), 0, 1.0);
    }
    void Relay() {
        CViewDoc::FrameRelay(frame.data(), static_cast<std::uint32_t>(frame.size()), 1, nullptr);
    }

    ScratchDir scratch;
    std::unique_ptr<CViewDoc> doc;
    std::vector<std::uint8_t> frame;
};

void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<std::uint8_t> from(kPixels, 7), to(kPixels);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kPixels);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPixels));
}
BENCHMARK(BM_FrameMemcpy);

void BM_FrameRelayStitch(benchmark::State& state) {
    BenchDocument bench;
    bench.doc->PrepareStitchStrip(1);
    for (auto _ : state) {
        bench.Relay();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameRelayStitch);

// Steady state: the window is full, each frame takes the leaving frame's buffer.
void BM_StackingStep(benchmark::State& state) {
    BenchDocument bench;
    const auto frames = static_cast<std::int32_t>(state.range(0));
    bench.doc->SetAdditiveFrames(frames);
    for (std::int32_t k = 0; k <= frames + 1; ++k) bench.Relay();
    for (auto _ : state) {
        bench.Relay();
        benchmark::ClobberMemory();
    }
    if (bench.doc->stackedFrameCount() != static_cast<std::size_t>(frames) + 1)
        state.SkipWithError("the window is not full");
}
BENCHMARK(BM_StackingStep)->Arg(150)->Arg(1)->Arg(10);

// The frame after the slider moves from 150 to 10: 141 frames leave at once.
void BM_StackingShrink(benchmark::State& state) {
    BenchDocument bench;
    for (auto _ : state) {
        state.PauseTiming();
        bench.doc->SetAdditiveFrames(150);
        while (bench.doc->stackedFrameCount() < StackingWindow::kMaxFrames) bench.Relay();
        bench.doc->SetAdditiveFrames(10);
        state.ResumeTiming();
        bench.Relay();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StackingShrink)->Iterations(60);

// One overlap readout: a strip of one simulated frame against a later frame, 6 px turned.
void BM_OverlapEstimate(benchmark::State& state) {
    auto shot = std::make_unique<FrameBuffers::Frame>();
    auto live = std::make_unique<FrameBuffers::Frame>();
    std::vector<std::uint8_t> frame(kFrame);
    sim::Simulator::renderFrame(frame.data(), 0, 1.0);
    std::memcpy(shot->data(), frame.data() + 54, kPixels);
    sim::Simulator::renderFrame(frame.data(), 2 * 234, 1.0);   // the scene drifts 1 px / 2 frames
    std::memcpy(live->data(), frame.data() + 54, kPixels);
    FrameBuffers::Strip strip{};
    for (std::size_t row = 0; row < 240; ++row)   // the right-hand 80 pixels: direction 1
        std::memcpy(strip.data() + row * 240, shot->data() + row * 960 + 720, 240);
    for (auto _ : state) benchmark::DoNotOptimize(EstimateOverlap(*live, strip, 1));
    if (!EstimateOverlap(*live, strip, 1).match) state.SkipWithError("no match");
}
BENCHMARK(BM_OverlapEstimate);

void BM_Histogram(benchmark::State& state) {
    BenchDocument bench;
    const std::uint8_t* pixels = bench.frame.data() + 54;
    std::uint64_t now = 1;
    for (auto _ : state) {
        std::uint64_t next = 0;
        benchmark::DoNotOptimize(bench.doc->UpdateHistogram(pixels, 320, 240, now++, next));
    }
}
BENCHMARK(BM_Histogram);

void BM_CaptureFileName(benchmark::State& state) {
    BenchDocument bench;
    const std::string folder = bench.scratch.path() + "/";
    for (std::int64_t k = 0; k < state.range(0); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "Photo-%04lld.jpg", static_cast<long long>(k));
        std::FILE* f = std::fopen((folder + name).c_str(), "wb");
        if (f != nullptr) std::fclose(f);
    }
    bench.doc->SetCaptureName("Photo");
    std::string path;
    for (auto _ : state) {
        path = bench.doc->GetCaptureFileName();
        benchmark::DoNotOptimize(path.data());
    }
    char expected[32];
    std::snprintf(expected, sizeof expected, "Photo-%04lld.jpg",
                  static_cast<long long>(state.range(0)));
    if (path != folder + expected) state.SkipWithError("unexpected next name");
}
BENCHMARK(BM_CaptureFileName)->Arg(10000)->Unit(benchmark::kMillisecond);

}   // namespace
