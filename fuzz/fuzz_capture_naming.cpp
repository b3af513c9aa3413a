// Capture naming over a real folder: the input names the files present (one a line), then the
// capture name and extension (last two lines). The path handed out is free and in the folder.
#include "document/CaptureNaming.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kestrel-fuzz-naming-XXXXXX";
        return std::string(::mkdtemp(pattern)) + "/";
    }();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size && lines.size() < 40; ++i) {
        if (data[i] == '\n') lines.emplace_back();
        else lines.back() += static_cast<char>(data[i]);
    }
    if (lines.size() < 2) return 0;
    const std::string ext = lines.back();
    lines.pop_back();
    const std::string name = lines.back();
    lines.pop_back();
    for (const std::string& file : lines) {
        if (file.empty() || file.find('/') != std::string::npos || file == "." || file == "..")
            continue;
        std::ofstream(folder + file) << "x";
    }
    CaptureNaming naming;
    const CapturePath next = naming.Claim(folder, name, ext);
    if (next.status != CaptureNameStatus::Ok) return 0;
    struct stat st;
    if (next.path.compare(0, folder.size(), folder) != 0) std::abort();
    if (next.path.find('/', folder.size()) != std::string::npos) std::abort();
    if (::lstat(next.path.c_str(), &st) == 0) std::abort();
    if (!naming.IsReserved(next.path)) std::abort();
    return 0;
}
