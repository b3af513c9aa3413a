// Helpers shared by the simulator tests: a fixture that resets both worlds, and short ways to
// open a camera by name and to build small test worlds.
#pragma once

#include "sdk/sim/Simulator.h"

#include "support/Worlds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace testsupport {

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSimulators(); }
    void TearDown() override { ResetSimulators(); }
};

// Opens the first listed camera with that name; 0 if none (or the open failed).
inline sdk::Handle openCamera(const sdk::Api& api, const std::string& name) {
    sdk::Handle e = 0, source = 0;
    if (api.EnumDeviceReset(1, &e) != sdk::kOk) return 0;
    std::uint32_t n = 0;
    api.GetDeviceCount(e, &n);
    for (std::uint32_t i = 0; i < n; ++i) {
        sdk::DeviceRecord rec;
        if (api.EnumDeviceNext(e, &rec) != sdk::kOk) continue;
        if (name == reinterpret_cast<const char*>(rec.bytes + sdk::DeviceRecord::kNameOffset)) {
            if (api.OpenSource(&rec, &source) != sdk::kOk) source = 0;
            break;
        }
    }
    api.EnumDeviceRelease(e);
    return source;
}

inline std::vector<std::string> deviceNames(const sdk::Api& api) {
    std::vector<std::string> names;
    sdk::Handle e = 0;
    if (api.EnumDeviceReset(1, &e) != sdk::kOk) return names;
    std::uint32_t n = 0;
    api.GetDeviceCount(e, &n);
    for (std::uint32_t i = 0; i < n; ++i) {
        sdk::DeviceRecord rec;
        if (api.EnumDeviceNext(e, &rec) == sdk::kOk)
            names.emplace_back(reinterpret_cast<const char*>(rec.bytes + 8));
    }
    api.EnumDeviceRelease(e);
    return names;
}

// The test program's temporary folder, removed when the program ends.
inline const std::filesystem::path& tempDir() {
    static const struct Folder {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("kestrel-sim-tests-" + std::to_string(::getpid()));
        Folder() { std::filesystem::create_directories(path); }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

// An empty folder of that name in the test's temporary folder (emptied if it was there).
inline std::filesystem::path freshFolder(const std::string& leaf) {
    const std::filesystem::path folder = tempDir() / leaf;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// A fresh file path in the test's temporary folder.
inline std::string tempPath(const std::string& leaf) {
    const auto path = tempDir() / leaf;
    std::filesystem::remove(path);
    return path.string();
}

inline std::uint32_t le32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}   // namespace testsupport
