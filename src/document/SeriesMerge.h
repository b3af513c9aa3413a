// Merging a finished series into one new picture beside it with the open tools, when they are
// installed: align_image_stack (hugin-tools) lines the pictures up, enfuse (enblend-enfuse)
// fuses them: a focus stack by contrast with hard masks, a bracket by exposure (its defaults).
// The work happens in a hidden folder of its own beside the series; the result is linked in
// under a name no capture can take ("Bracket 5 merged.tif", "(2)" and up when that is there), so
// nothing is ever overwritten. Run blocks its caller (a worker); Cancel, from any thread, kills
// the tool under way.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace merge {

enum class Kind { FocusStack, Bracket };

constexpr const char* kInstallText = "Install enblend-enfuse and hugin-tools to merge";

// The tools found on PATH (empty when missing).
struct Tools {
    std::string enfuse, align;
    bool ok() const { return !enfuse.empty() && !align.empty(); }
};
Tools FindTools(const std::string& searchPath);
Tools FindTools();   // on this process's PATH

// The arguments enfuse is given for kind, besides its output and inputs.
std::vector<std::string> EnfuseOptions(Kind kind);
// "Focus stack 3", "Bracket 5".
std::string SeriesName(Kind kind, int series);

class SeriesMerge {
public:
    SeriesMerge();
    ~SeriesMerge();
    SeriesMerge(const SeriesMerge&) = delete;
    SeriesMerge& operator=(const SeriesMerge&) = delete;

    struct Result {
        std::string path;    // the merged picture; empty when there is none
        std::string error;   // why not ("cancelled", a tool's report)
    };
    // Told on the caller's thread as each of the two steps starts (1: aligning, 2: fusing).
    using Progress = std::function<void(int step, int steps, const std::string& what)>;
    // Merges files (at least two) of one series; limitSeconds bounds each tool's run.
    Result Run(Kind kind, int series, const std::vector<std::string>& files,
               const Progress& progress = {}, int limitSeconds = 1800);
    // Ends a Run under way (the tool is killed) or the next one at its start. Any thread.
    void Cancel();
    bool cancelled() const { return cancelled_.load(); }

private:
    std::atomic<bool> cancelled_{false};
    int stop_[2] = {-1, -1};   // a byte in stop_[1] kills the tool under way
};

}   // namespace merge
