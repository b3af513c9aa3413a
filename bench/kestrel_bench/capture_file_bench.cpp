// What the careful capture-file write costs: sdk::CaptureFile (temporary, fsync of the file and
// of the folder, rename without replace) against a plain create-write-close of the same bytes.
#include "sdk/CaptureFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrel-bench-capture-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern + "/" : std::string();
}

// Arg: bytes a picture (a small JPEG of the simulator is about 100 KB).
void BM_CaptureFileCommit(benchmark::State& state) {
    const std::string folder = ScratchFolder();
    const std::vector<char> bytes(static_cast<std::size_t>(state.range(0)), 'j');
    std::uint32_t n = 0;
    for (auto _ : state) {
        sdk::CaptureFile file;
        std::string saved;
        char name[32];
        std::snprintf(name, sizeof name, "Photo-%04u.jpg", n++);
        if (file.open(folder + name) || file.write(bytes.data(), bytes.size()) ||
            file.commit(saved))
            state.SkipWithError("capture file failed");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CaptureFileCommit)->Arg(100 << 10)->Unit(benchmark::kMillisecond);

void BM_PlainWrite(benchmark::State& state) {
    const std::string folder = ScratchFolder();
    const std::vector<char> bytes(static_cast<std::size_t>(state.range(0)), 'j');
    std::uint32_t n = 0;
    for (auto _ : state) {
        char name[32];
        std::snprintf(name, sizeof name, "Photo-%04u.jpg", n++);
        const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) < 0 || ::close(fd) != 0)
            state.SkipWithError("plain write failed");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PlainWrite)->Arg(100 << 10)->Unit(benchmark::kMillisecond);

}   // namespace
