// Benchmark of the simulated viewfinder: rendering one 320 x 240 frame of the scene with
// exposure, noise and hot pixels (what the viewfinder thread does for every frame).
#include "sdk/sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <vector>

static void BM_SimulatorFrame(benchmark::State& state) {
    std::vector<std::uint8_t> frame(sdk::kFrameBytes);
    std::uint64_t index = 0;
    for (auto _ : state) {
        sim::Simulator::renderFrame(frame.data(), index++, 1.0);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(sdk::kFrameBytes));
}
BENCHMARK(BM_SimulatorFrame);
