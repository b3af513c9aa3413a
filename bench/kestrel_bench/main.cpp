// kestrel_bench: runs every benchmark and reports, beside each time, its ratio to a memcpy of
// one 230,400-byte frame measured in the same run (BM_FrameMemcpy, timed first on its own).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

double NanosecondsPerIteration(const benchmark::BenchmarkReporter::Run& run) {
    return run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

// Takes the yardstick: the real time of BM_FrameMemcpy, printing nothing.
class YardstickReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred &&
                run.run_name.function_name == "BM_FrameMemcpy")
                nanoseconds = NanosecondsPerIteration(run);
    }
    double nanoseconds = 0.0;
};

// The console report with one more counter, "ratio": time / the yardstick's time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(double yardstickNs, OutputOptions options)
        : ConsoleReporter(options), yardstickNs_(yardstickNs) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> withRatio = runs;
        for (Run& run : withRatio) {
            const bool timed = run.run_type == Run::RT_Iteration ||
                               run.aggregate_unit == benchmark::StatisticUnit::kTime;
            if (timed && !run.error_occurred && yardstickNs_ > 0.0)
                run.counters["ratio"] =
                    benchmark::Counter(NanosecondsPerIteration(run) / yardstickNs_);
        }
        ConsoleReporter::ReportRuns(withRatio);
    }

private:
    double yardstickNs_;
};

}   // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    YardstickReporter yardstick;
    benchmark::RunSpecifiedBenchmarks(&yardstick, "^BM_FrameMemcpy$");
    std::printf("Yardstick: memcpy of one 230,400-byte frame = %.0f ns\n", yardstick.nanoseconds);

    // Colours only on a terminal; counters (the ratio) as a column.
    RatioReporter reporter(yardstick.nanoseconds, ::isatty(STDOUT_FILENO)
                                                      ? benchmark::ConsoleReporter::OO_ColorTabular
                                                      : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
