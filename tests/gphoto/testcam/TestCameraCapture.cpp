// The test camera's previews (a moving pattern as JPEG), captures (the files join its
// filesystem, RAW+JPEG announced as the test asks), the events a body sends when they are due,
// and its files downloaded in chunks with progress or deleted.
#include "TestCameraState.h"

#include <gphoto2/gphoto2-result.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testcam {

namespace {

std::vector<unsigned char> pattern(unsigned width, unsigned height, unsigned shift) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>((x + shift) * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>(((x + shift) / 40 + y / 40) % 2 ? 220 : 30);
        }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjhandle tj = tjInitCompress();
    tjCompress2(tj, rgb.data(), static_cast<int>(width), 0, static_cast<int>(height), TJPF_RGB,
                &jpeg, &size, TJSAMP_420, 85, 0);
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

}   // namespace

int capturePreview(Camera* camera, CameraFile* file, GPContext*) {
    State& s = state(camera);
    if (int r = injected(s, "preview"); r != GP_OK) return r;
    std::vector<unsigned char> jpeg = pattern(960, 640, (s.frame++ * 8) % 960);
    // A header that claims another size: the start-of-frame's height and width.
    unsigned claimedW = 0, claimedH = 0;
    if (std::istringstream(control(s, "preview-size", true)) >> claimedW >> claimedH) {
        for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
                jpeg[i + 5] = static_cast<unsigned char>(claimedH >> 8);
                jpeg[i + 6] = static_cast<unsigned char>(claimedH);
                jpeg[i + 7] = static_cast<unsigned char>(claimedW >> 8);
                jpeg[i + 8] = static_cast<unsigned char>(claimedW);
                break;
            }
        }
    }
    {
        // When this preview left the camera (CLOCK_MONOTONIC, ns), for the stream benchmark.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::ofstream(s.folder + "/preview-at")
            << static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }
    gp_file_set_mime_type(file, GP_MIME_JPEG);
    return gp_file_set_data_and_size(
        file, static_cast<char*>(std::memcpy(std::malloc(jpeg.size()), jpeg.data(), jpeg.size())),
        jpeg.size());
}

namespace {

// Takes one picture in the current image format: its files join the filesystem; returns the
// file names, JPEG first.
std::vector<std::string> takePicture(Camera* camera, State& s, GPContext* context) {
    ++s.shots;
    char base[32];
    std::snprintf(base, sizeof base, "IMG_%04u", s.shots);
    const Widget* format = find(s, "imageformat");
    const bool raw = format != nullptr && format->value.rfind("RAW", 0) == 0;
    const bool jpeg = format == nullptr || format->value != "RAW";
    const bool small = s.ramCapacity > 0;
    std::vector<std::string> names;
    if (jpeg) {
        names.push_back(std::string(base) + ".JPG");
        s.files[names.back()] =
            small ? pattern(64, 48, s.shots) : pattern(1600, 1066, s.shots * 50);
    }
    if (raw) {
        names.push_back(std::string(base) + ".CR2");
        s.files[names.back()] =
            std::vector<unsigned char>(small ? 3000 : 300000, static_cast<unsigned char>(s.shots));
    }
    for (const std::string& name : names)
        gp_filesystem_append(camera->fs, kFolder, name.c_str(), context);
    reportStored(s);
    return names;
}

}   // namespace

int capture(Camera* camera, CameraCaptureType type, CameraFilePath* path, GPContext* context) {
    State& s = state(camera);
    if (type != GP_CAPTURE_IMAGE) return GP_ERROR_NOT_SUPPORTED;
    if (int r = injected(s, "capture"); r != GP_OK) return r;
    if (s.ramCapacity > 0 && s.files.size() >= s.ramCapacity) return GP_ERROR_NO_SPACE;
    if (s.lens.moving()) return GP_ERROR_CAMERA_BUSY;
    {
        // When the capture started (CLOCK_MONOTONIC, ns), for the stream benchmark's wait.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::ofstream(s.folder + "/capture-started")
            << static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }
    std::vector<std::string> names = takePicture(camera, s, context);
    // Which file the release returns, and how late the other is announced.
    long delayMs = 0;
    std::string order;
    std::istringstream(control(s, "release", true)) >> delayMs >> order;
    if (order == "raw-first") std::reverse(names.begin(), names.end());
    const Clock::time_point now = Clock::now();
    if (names.size() > 1) {
        // Real bodies send property changes before the second file.
        queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d1b0", "availableshots", "412"));
        queueEvent(s, now + std::chrono::milliseconds(delayMs / 2), GP_EVENT_UNKNOWN,
                   propertyText("d1b1", "eosfocus", "0"));
        queueEvent(s, now + std::chrono::milliseconds(delayMs), GP_EVENT_FILE_ADDED, names[1]);
    }
    queueEvent(s, now + std::chrono::milliseconds(delayMs), GP_EVENT_CAPTURE_COMPLETE, {});
    std::strcpy(path->folder, kFolder);
    std::strcpy(path->name, names.front().c_str());
    return GP_OK;
}

namespace {

// Reads the test's requests for things the body does by itself into due events.
void bodyActions(Camera* camera, State& s, GPContext* context) {
    const Clock::time_point now = Clock::now();
    if (std::string level = control(s, "battery"); !level.empty()) {
        level = level.substr(0, level.find('\n'));
        if (Widget* w = find(s, "batterylevel")) w->value = level;
        queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d111", "batterylevel", level));
    }
    std::istringstream dial(control(s, "dial"));
    std::string widget, value;
    if (dial >> widget && std::getline(dial >> std::ws, value))
        if (Widget* w = find(s, widget.c_str())) {
            w->value = value;
            queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d102", widget, value));
        }
    // A file the camera holds announced again ("NAME COUNT"), as some bodies do.
    std::istringstream again(control(s, "announce"));
    std::string name;
    int times = 0;
    if (again >> name >> times && s.files.count(name) != 0)
        for (int i = 0; i < times; ++i) queueEvent(s, now, GP_EVENT_FILE_ADDED, name);
    int shots = 0;
    std::istringstream(control(s, "shutter")) >> shots;
    for (int i = 0; i < shots; ++i) {
        if (s.ramCapacity > 0 && s.files.size() >= s.ramCapacity) break;
        for (const std::string& name : takePicture(camera, s, context))
            queueEvent(s, now, GP_EVENT_FILE_ADDED, name);
    }
}

}   // namespace

int waitForEvent(Camera* camera, int timeoutMs, CameraEventType* type, void** data,
                 GPContext* context) {
    State& s = state(camera);
    *data = nullptr;
    *type = GP_EVENT_TIMEOUT;
    bodyActions(camera, s, context);
    // Waits out the timeout for the next event that falls due within it.
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (s.events.empty() || s.events.front().due > until) {
        std::this_thread::sleep_until(until);
        return GP_OK;
    }
    std::this_thread::sleep_until(s.events.front().due);
    Event event = s.events.front();
    s.events.pop_front();
    *type = event.type;
    if (event.type == GP_EVENT_FILE_ADDED) {
        auto* path = static_cast<CameraFilePath*>(std::calloc(1, sizeof(CameraFilePath)));
        std::strcpy(path->folder, kFolder);
        std::strcpy(path->name, event.text.c_str());
        *data = path;
    } else if (event.type == GP_EVENT_UNKNOWN) {
        *data = strdup(event.text.c_str());
    }
    return GP_OK;
}

int getFile(CameraFilesystem*, const char*, const char* name, CameraFileType type, CameraFile* file,
            void* data, GPContext* context) {
    State& s = *static_cast<State*>(data);
    if (type != GP_FILE_TYPE_NORMAL) return GP_ERROR_NOT_SUPPORTED;
    if (int r = injected(s, "file"); r != GP_OK) return r;
    auto it = s.files.find(name);
    if (it == s.files.end()) return GP_ERROR_FILE_NOT_FOUND;
    const std::vector<unsigned char>& bytes = it->second;
    const unsigned id =
        gp_context_progress_start(context, static_cast<float>(bytes.size()), "Downloading");
    constexpr std::size_t kChunk = 65536;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, bytes.size() - at);
        gp_file_append(file, reinterpret_cast<const char*>(bytes.data() + at), n);
        gp_context_progress_update(context, id, static_cast<float>(at + n));
    }
    gp_context_progress_stop(context, id);
    return GP_OK;
}

int deleteFile(CameraFilesystem*, const char*, const char* name, void* data, GPContext*) {
    State& s = *static_cast<State*>(data);
    if (int r = injected(s, "delete"); r != GP_OK) return r;
    if (s.files.erase(name) == 0) return GP_ERROR_FILE_NOT_FOUND;
    reportStored(s);
    return GP_OK;
}

}   // namespace testcam
