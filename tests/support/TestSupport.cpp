// Helpers shared by the document tests.
#include "support/TestSupport.h"

#include "sdk/FrameHeader.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-doc-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give write permission back so that everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ::chmod(it->path().c_str(), 0755);
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& contents, unsigned mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contents;
    }
    ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t (*pixel)(std::size_t)) {
    std::vector<std::uint8_t> frame(FrameBuffers::kHeaderBytes + FrameBuffers::kPixelBytes, 0);
    sdk::WriteFrameHeader(frame.data());
    for (std::size_t i = 0; i < FrameBuffers::kPixelBytes; ++i)
        frame[FrameBuffers::kHeaderBytes + i] = pixel(i);
    return frame;
}

std::vector<std::uint8_t> MakeUniformFrame(std::uint8_t value) {
    std::vector<std::uint8_t> frame = MakeFrame([](std::size_t) -> std::uint8_t { return 0; });
    std::memset(frame.data() + FrameBuffers::kHeaderBytes, value, FrameBuffers::kPixelBytes);
    return frame;
}

void ConsolePane::WriteLog(const std::string& text) {
    std::lock_guard lock(lock_);
    text_ += text;
}

std::string ConsolePane::text() const {
    std::lock_guard lock(lock_);
    return text_;
}

void ConsolePane::clear() {
    std::lock_guard lock(lock_);
    text_.clear();
}

std::atomic<int> Probe::logs{0}, Probe::events{0}, Probe::frames{0}, Probe::progress{0};
std::atomic<std::uint32_t> Probe::lastEvent{0};
std::atomic<std::int32_t> Probe::lastProgress{0};
std::mutex Probe::lock;
std::vector<std::pair<std::string, std::string>> Probe::logLines;
std::vector<std::uint8_t> Probe::lastFramePixels;
bool Probe::keepPixels = true;

void Probe::Reset() {
    logs = events = frames = progress = 0;
    lastEvent = 0;
    lastProgress = 0;
    std::lock_guard guard(lock);
    logLines.clear();
    lastFramePixels.clear();
    keepPixels = true;
}

void Probe::OnLog(const std::string& step, const std::string& errorText) {
    {
        std::lock_guard guard(lock);
        logLines.emplace_back(step, errorText);
    }
    ++logs;
}

void Probe::OnCameraEvent(std::uint32_t value) {
    lastEvent = value;
    ++events;
}

void Probe::OnFrame(const std::uint8_t* frame) {
    {
        std::lock_guard guard(lock);
        if (keepPixels)
            lastFramePixels.assign(frame + FrameBuffers::kHeaderBytes,
                                   frame + FrameBuffers::kHeaderBytes + FrameBuffers::kPixelBytes);
    }
    ++frames;
}

void Probe::OnProgress(std::int32_t value) {
    lastProgress = value;
    ++progress;
}

}   // namespace testsupport
