#include "document/SeriesMerge.h"

#include "document/CommandRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace merge {
namespace {

std::string findOnPath(const std::string& searchPath, const std::string& program) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t colon = searchPath.find(':', start);
        if (colon == std::string::npos) colon = searchPath.size();
        std::string folder = searchPath.substr(start, colon - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = colon + 1;
    }
    return {};
}

// Removes the work folder and everything in it.
struct WorkFolder {
    std::string path;
    ~WorkFolder() {
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
};

std::string failure(const std::string& tool, const hook::CommandRunner::Outcome& outcome) {
    std::string text;
    if (!outcome.started) text = tool + " did not start: " + outcome.startError;
    else if (outcome.timedOut) text = tool + " took too long and was stopped";
    else if (outcome.signal != 0)
        text = tool + " ended by signal " + std::to_string(outcome.signal);
    else text = tool + " exited with status " + std::to_string(outcome.exitStatus);
    std::string output = outcome.output;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (const std::size_t last = output.rfind('\n'); last != std::string::npos)
        output = output.substr(last + 1);   // its last line says most
    if (!output.empty()) text += ": " + output;
    return text;
}

}   // namespace

Tools FindTools(const std::string& searchPath) {
    return {findOnPath(searchPath, "enfuse"), findOnPath(searchPath, "align_image_stack")};
}

Tools FindTools() {
    const char* path = std::getenv("PATH");
    return FindTools(path ? path : "/usr/bin:/bin");
}

std::vector<std::string> EnfuseOptions(Kind kind) {
    if (kind == Kind::FocusStack)
        return {"--exposure-weight=0", "--saturation-weight=0", "--contrast-weight=1",
                "--hard-mask"};
    return {};
}

std::string SeriesName(Kind kind, int series) {
    return (kind == Kind::FocusStack ? "Focus stack " : "Bracket ") + std::to_string(series);
}

SeriesMerge::SeriesMerge() {
    if (::pipe2(stop_, O_CLOEXEC | O_NONBLOCK) != 0) stop_[0] = stop_[1] = -1;
}

SeriesMerge::~SeriesMerge() {
    for (int fd : stop_)
        if (fd >= 0) ::close(fd);
}

void SeriesMerge::Cancel() {
    cancelled_ = true;
    if (stop_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(stop_[1], &byte, 1);
    }
}

SeriesMerge::Result SeriesMerge::Run(Kind kind, int series, const std::vector<std::string>& files,
                                     const Progress& progress, int limitSeconds) {
    namespace fs = std::filesystem;
    Result result;
    const Tools tools = FindTools();
    if (!tools.ok()) {
        result.error = kInstallText;
        return result;
    }
    if (files.size() < 2) {
        result.error = "a series of at least two pictures is merged";
        return result;
    }
    if (cancelled_) {
        result.error = "cancelled";
        return result;
    }
    const std::string folder = fs::path(files.front()).parent_path().string();
    const std::string name = SeriesName(kind, series);
    WorkFolder work;
    std::string pattern = (folder.empty() ? std::string(".") : folder) + "/.kestrel-merge-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        result.error =
            "cannot make a work folder beside the series: " + std::string(std::strerror(errno));
        return result;
    }
    work.path = pattern;
    hook::CommandRunner::Options options;
    options.limit = std::chrono::seconds(limitSeconds);
    options.outputLimit = 16384;

    if (progress) progress(1, 2, "Aligning " + std::to_string(files.size()) + " pictures");
    std::vector<std::string> align{tools.align, "-m", "-a", work.path + "/aligned_"};
    align.insert(align.end(), files.begin(), files.end());
    auto outcome = hook::CommandRunner::Run(align, {}, options, &stop_[0]);
    if (cancelled_) {
        result.error = "cancelled";
        return result;
    }
    if (!outcome.started || outcome.exitStatus != 0) {
        result.error = failure("align_image_stack", outcome);
        return result;
    }
    std::vector<std::string> aligned;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(work.path, error))
        if (entry.path().filename().string().rfind("aligned_", 0) == 0)
            aligned.push_back(entry.path().string());
    std::sort(aligned.begin(), aligned.end());
    if (aligned.size() < 2) {
        result.error = "align_image_stack left no aligned pictures";
        return result;
    }

    if (progress) progress(2, 2, "Fusing " + std::to_string(aligned.size()) + " pictures");
    const std::string fused = work.path + "/fused.tif";
    std::vector<std::string> enfuse{tools.enfuse, "-o", fused};
    for (const std::string& option : EnfuseOptions(kind)) enfuse.push_back(option);
    enfuse.insert(enfuse.end(), aligned.begin(), aligned.end());
    outcome = hook::CommandRunner::Run(enfuse, {}, options, &stop_[0]);
    if (cancelled_) {
        result.error = "cancelled";
        return result;
    }
    if (!outcome.started || outcome.exitStatus != 0) {
        result.error = failure("enfuse", outcome);
        return result;
    }
    if (!fs::is_regular_file(fs::symlink_status(fused, error))) {
        result.error = "enfuse left no picture";
        return result;
    }
    // Linked in, never over a file that is there: the next free name.
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string target =
            (folder.empty() ? std::string(".") : folder) + "/" + name + " merged" +
            (copy == 1 ? std::string() : " (" + std::to_string(copy) + ")") + ".tif";
        if (::link(fused.c_str(), target.c_str()) == 0) {
            result.path = target;
            return result;
        }
        if (errno != EEXIST) {
            result.error =
                "cannot save " + fs::path(target).filename().string() + ": " + std::strerror(errno);
            return result;
        }
    }
    result.error = "no free name for the merged picture";
    return result;
}

}   // namespace merge
