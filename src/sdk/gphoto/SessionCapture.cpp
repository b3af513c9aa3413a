// The libgphoto2 session: release and download, live view, camera events, progress.
#include "sdk/gphoto/CaptureFile.h"
#include "sdk/gphoto/SessionCam.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace gphoto {

namespace {

std::string lowerExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext;
}

// "...batterylevel... to 75%" -> "75%".
bool batteryText(const char* text, std::string& value) {
    if (text == nullptr || std::strstr(text, "batterylevel") == nullptr) return false;
    const char* to = std::strstr(text, " to ");
    if (to == nullptr) return false;
    value = to + 4;
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    return true;
}

}   // namespace

sdk::Result Session::Release(sdk::Handle h, std::uint32_t& count) {
    count = 0;
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    c->files.clear();
    c->downloaded = 0;
    CameraFilePath path{};
    Camera* camera = c->camera;
    const sdk::Result r = check(h, "gp_camera_capture", [&] {
        return gp_camera_capture(camera, GP_CAPTURE_IMAGE, &path, context_);
    });
    if (r != sdk::kOk) return r;
    c->files.push_back(path);
    // RAW+JPEG: the second file is announced by an event right after the capture.
    pollEvents(h, *c, 100);
    count = static_cast<std::uint32_t>(c->files.size());
    return sdk::kOk;
}

void Session::pollEvents(sdk::Handle h, Cam& c, int timeoutMs) {
    for (int i = 0; i < 16; ++i) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        if (gp_camera_wait_for_event(c.camera, timeoutMs, &type, &data, context_) < GP_OK) {
            std::free(data);
            return;
        }
        std::string level;
        if (type == GP_EVENT_FILE_ADDED && data != nullptr) {
            c.files.push_back(*static_cast<CameraFilePath*>(data));
        } else if (type == GP_EVENT_UNKNOWN && c.event != nullptr &&
                   batteryText(static_cast<const char*>(data), level)) {
            const std::uint32_t sixths = BatteryLevel(level);
            c.event(sdk::kEventBattery, &sixths, sizeof sixths, c.eventContext);
        }
        std::free(data);
        if (type == GP_EVENT_TIMEOUT || type == GP_EVENT_CAPTURE_COMPLETE) return;
        if (find(h) != &c) return;
    }
}

sdk::Result Session::Download(sdk::Handle h, const std::string& path,
                              sdk::ProgressCallback progress, void* context, std::string& saved) {
    saved.clear();
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->files.empty()) return err::kFileNotFound;
    // The file with the path's extension (else the first) takes the path the document chose;
    // a further one keeps the number with its own extension in lower case ("Photo0001.jpg"
    // and "Photo0001.cr2").
    const std::string pathExt = lowerExtension(path);
    auto chosen = c->files.begin();
    for (auto it = c->files.begin(); it != c->files.end(); ++it)
        if (lowerExtension(it->name) == pathExt) {
            chosen = it;
            break;
        }
    const CameraFilePath file = *chosen;
    c->files.erase(chosen);
    std::string target = path;
    const std::string ext = lowerExtension(file.name);
    if (c->downloaded > 0 && !ext.empty() && ext != pathExt) {
        const std::size_t slash = path.rfind('/');
        const std::size_t dot = path.rfind('.');
        target = (dot != std::string::npos && (slash == std::string::npos || dot > slash)
                      ? path.substr(0, dot)
                      : path) +
                 "." + ext;
    }

    if (progress) progress(0, 0, context);
    CameraFile* data = nullptr;
    gp_file_new(&data);
    progress_ = progress;
    progressContext_ = context;
    progressTarget_ = 0;
    Camera* camera = c->camera;
    sdk::Result r = check(h, "gp_camera_file_get", [&] {
        return gp_camera_file_get(camera, file.folder, file.name, GP_FILE_TYPE_NORMAL, data,
                                  context_);
    });
    progress_ = nullptr;
    if (r == sdk::kOk) {
        const char* bytes = nullptr;
        unsigned long size = 0;
        gp_file_get_data_and_size(data, &bytes, &size);
        if (const int e = WriteCaptureFile(target, bytes, size, saved))
            r = e == ENOSPC ? err::kDiskFull : e == EEXIST ? err::kFileExists : err::kFileWrite;
    }
    gp_file_unref(data);
    if (Cam* still = find(h)) ++still->downloaded;   // a vanished camera is closed by now
    if (r == sdk::kOk && progress) progress(100, 1, context);
    return r;
}

void Session::ProgressStart(float target) { progressTarget_ = target; }

void Session::ProgressUpdate(float current) {
    if (progress_ == nullptr || progressTarget_ <= 0) return;
    const float share = std::min(current / progressTarget_, 0.99f);
    progress_(static_cast<std::uint32_t>(share * 100), 0, progressContext_);
}

sdk::Result Session::SetEvents(sdk::Handle h, sdk::EventCallback callback, void* context) {
    Cam* c = find(h);
    if (c == nullptr) return callback == nullptr ? Teardown(h) : missing(h);
    c->event = callback;
    c->eventContext = context;
    return sdk::kOk;
}

sdk::Result Session::StartViewfinder(sdk::Handle h, sdk::FrameCallback callback, void* context) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (!c->canPreview) return err::kNotSupported;
    c->frame = callback;
    c->frameContext = context;
    return sdk::kOk;
}

sdk::Result Session::StopViewfinder(sdk::Handle h) {
    Cam* c = find(h);
    if (c == nullptr) return Teardown(h);
    if (c->frame == nullptr) return sdk::kOk;
    c->frame = nullptr;
    c->frameContext = nullptr;
    if (!c->viewfinder.empty()) {
        const float off = 0;
        writeWidget(*c, c->viewfinder, nullptr, &off);   // the mirror drops; failure is harmless
    }
    return sdk::kOk;
}

sdk::Result Session::Teardown(sdk::Handle h) const {
    return IsOpen(h) || gone_.count(h) != 0 ? sdk::kOk : err::kInvalidHandle;
}

bool Session::Streaming() const {
    for (const auto& [handle, c] : cameras_)
        if (c->frame != nullptr) return true;
    return false;
}

void Session::Tick() {
    ++ticks_;
    std::vector<sdk::Handle> handles;
    for (const auto& [handle, c] : cameras_) handles.push_back(handle);
    for (sdk::Handle h : handles) {
        Cam* c = find(h);
        if (c == nullptr) continue;
        if (c->frame != nullptr) {
            lastMessage_.clear();
            const int code = gp_camera_capture_preview(c->camera, c->previewFile, context_);
            if (code == GP_ERROR_CAMERA_BUSY) continue;   // this frame is skipped
            if (code < GP_OK) {
                // Reported once per run of failures; a vanished camera is closed.
                if (!c->previewFailing)
                    check(h, "gp_camera_capture_preview", [code] { return code; });
                if ((c = find(h)) != nullptr) c->previewFailing = true;
                continue;
            }
            c->previewFailing = false;
            const char* bytes = nullptr;
            unsigned long size = 0;
            gp_file_get_data_and_size(c->previewFile, &bytes, &size);
            if (preview_.Convert(reinterpret_cast<const unsigned char*>(bytes), size,
                                 frame_->data()))
                c->frame(frame_->data(), static_cast<std::uint32_t>(sdk::kFrameBytes), 1,
                         c->frameContext);
        }
        if ((c = find(h)) != nullptr && c->event != nullptr &&
            (c->frame == nullptr || ticks_ % 8 == 0))
            pollEvents(h, *c, 1);
    }
}

}   // namespace gphoto
