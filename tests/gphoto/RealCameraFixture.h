// The fixtures of the real-camera tests: the test camera driver (testcam/) loaded from CAMLIBS
// and opened by model on "disk:" ports, as `--camera MODEL@PORT` does, under the real CanonSDK
// driver and the document (each test program's cameras and frames its own); with the helpers
// the tests share.
#pragma once

#include "app/RealCameraLabels.h"
#include "document/CViewDoc.h"
#include "sdk/gphoto/RealCameras.h"
#include "sdk/sim/Simulator.h"

#include "support/TestSupport.h"
#include "support/Worlds.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

inline const std::string kEos = "Kestrel Test EOS";
inline const std::string kCompact = "Kestrel Test Compact";

// libgphoto2 reads CAMLIBS when it loads its drivers: set before any test runs.
inline const bool camlibsSet = [] { return ::setenv("CAMLIBS", KESTREL_TEST_CAMLIBS, 1) == 0; }();

template <class Pred>
bool WaitFor(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline bool DecodesAsJpeg(const std::string& bytes, int& width, int& height) {
    tjhandle tj = tjInitDecompress();
    int sub = 0, space = 0;
    const bool ok = tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size(), &width, &height, &sub, &space) == 0;
    std::vector<unsigned char> pixels(ok ? static_cast<std::size_t>(width) * height * 3 : 0);
    const bool decoded =
        ok && tjDecompress2(tj, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                            pixels.data(), width, 0, height, TJPF_RGB, 0) == 0;
    tjDestroy(tj);
    return decoded;
}

inline std::mutex headerLock;
inline std::vector<std::uint8_t> lastHeader;
inline void KeepHeader(const std::uint8_t* frame) {
    {
        std::lock_guard guard(headerLock);
        lastHeader.assign(frame, frame + 54);
    }
    Probe::OnFrame(frame);
}

// The real backend over the test camera driver, a document over it saving into a folder of its
// own, its console and Probe's log; each test's SetUp opens them on the cameras it wants.
class RealBackendTest : public ::testing::Test {
protected:
    // Resets the simulators (one EOS 300D on the backend's side, frames as given) and opens the
    // backend on cameras ("MODEL@disk:PATH"), autodetect off, and the document over it.
    void OpenBackend(std::vector<std::string> cameras, Frames frames,
                     std::function<void(const std::string&)> note = {}) {
        Probe::Reset();
        ResetSimulators(std::nullopt, WorldOf({sim::fullCamera("EOS 300D")}), frames);
        gphoto::Options options;
        options.autodetect = false;
        options.cameras = std::move(cameras);
        options.labels = RealCameraLabels();
        options.note = std::move(note);
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), real->api(),
                                         captures.file("config.cfg"));
        doc->SetCaptureFolder(captures.folder());
        doc->SetCaptureName("Photo");
        doc->RegisterView(&console, "Debug");
        doc->setOnLog(&Probe::OnLog);
    }
    void TearDown() override {
        doc.reset();
        real.reset();
        ResetSimulators();
    }

    TempDir captures;
    ConsolePane console;
    std::unique_ptr<gphoto::RealCameras> real;
    std::unique_ptr<CViewDoc> doc;
};

// Both test cameras, each on a disk of its own, streaming frames; the backend's notes kept.
class RealCameraTest : public RealBackendTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(camlibsSet);
        OpenBackend({kEos + "@disk:" + eosDisk.path(), kCompact + "@disk:" + compactDisk.path()},
                    Frames::Streamed, [this](const std::string& line) {
                        std::lock_guard guard(notesLock);
                        notes.push_back(line);
                    });
        doc->setOnProgress(&Probe::OnProgress);
        doc->setOnFrame(&KeepHeader);
        doc->UpdateDeviceList();
    }
    void Inject(const TempDir& disk, const std::string& lines) {
        std::ofstream(disk.file("inject")) << lines;
    }
    // How often the backend said a camera was unplugged or switched off.
    std::size_t GoneNotes() {
        std::lock_guard guard(notesLock);
        return static_cast<std::size_t>(
            std::count_if(notes.begin(), notes.end(), [](const std::string& n) {
                return n.find("was unplugged or switched off") != std::string::npos;
            }));
    }
    std::string Notes() {
        std::lock_guard guard(notesLock);
        std::string all;
        for (const std::string& n : notes) all += n + "\n";
        return all;
    }
    static std::string Logs() {
        std::lock_guard guard(Probe::lock);
        std::string all;
        for (const auto& [step, text] : Probe::logLines) all += step + ": " + text + "\n";
        return all;
    }
    camera::CanonRCSDK& Driver() { return doc->rcDriver(); }

    TempDir eosDisk, compactDisk;
    std::mutex notesLock;
    std::vector<std::string> notes;
};

// The pictures of one capture folder, by name (a temporary being written is not one).
inline std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string()[0] != '.') names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}   // namespace testsupport
