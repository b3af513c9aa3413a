// Helpers shared by the document tests: temporary folders, files with chosen permissions,
// viewfinder frames with a bitmap header, a console pane that records its text, and probes
// for the document's receiver slots.
#pragma once

#include "document/CView.h"
#include "document/FrameBuffers.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }    // without a trailing '/'
    std::string folder() const { return path_ + "/"; }   // as a capture folder
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& contents, unsigned mode = 0644);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// A 54 + 230,400 byte viewfinder frame whose pixel byte i is pixel(i).
std::vector<std::uint8_t> MakeFrame(std::uint8_t (*pixel)(std::size_t));
std::vector<std::uint8_t> MakeUniformFrame(std::uint8_t value);
inline std::uint8_t* Pixels(std::vector<std::uint8_t>& frame) {
    return frame.data() + FrameBuffers::kHeaderBytes;
}

// The console pane: records everything written to it, from any thread.
class ConsolePane : public CView, public CLogSink {
public:
    void WriteLog(const std::string& text) override;
    std::string text() const;
    void clear();

private:
    mutable std::mutex lock_;
    std::string text_;
};

// Receivers for the document's slots: they count calls and keep the last values.
struct Probe {
    static void Reset();
    static void OnLog(const std::string& step, const std::string& errorText);
    static void OnCameraEvent(std::uint32_t value);
    static void OnFrame(const std::uint8_t* frame);
    static void OnProgress(std::int32_t value);

    static std::atomic<int> logs, events, frames, progress;
    static std::atomic<std::uint32_t> lastEvent;
    static std::atomic<std::int32_t> lastProgress;
    static std::mutex lock;   // guards the three below
    static std::vector<std::pair<std::string, std::string>> logLines;
    static std::vector<std::uint8_t> lastFramePixels;   // pixels of the latest frame seen
    static bool keepPixels;                             // copy pixels in OnFrame
};

}   // namespace testsupport
