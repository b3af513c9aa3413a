// The libgphoto2 session: release and download, live view, camera events, progress.
#include "sdk/gphoto/CameraFiles.h"
#include "sdk/CameraEvent.h"
#include "sdk/CaptureFile.h"
#include "sdk/gphoto/SessionCam.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <unistd.h>

namespace gphoto {

namespace {

using Clock = std::chrono::steady_clock;

CameraPath pathOf(const void* data) {
    const auto* p = static_cast<const CameraFilePath*>(data);
    return {std::string(p->folder, strnlen(p->folder, sizeof p->folder)),
            std::string(p->name, strnlen(p->name, sizeof p->name))};
}

std::string keyOf(const CameraPath& file) { return file.folder + "/" + file.name; }

// The path without its extension ("/photos/Photo-0003.jpg" -> "/photos/Photo-0003").
std::string stemOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash)
               ? path.substr(0, dot)
               : path;
}

}   // namespace

std::size_t Session::filesPerRelease(Cam& c) {
    // The format as the camera holds it now (its own dial may have changed it); a read that
    // fails counts one file, and a second one still arrives through the event poll.
    const std::string& widget = !c.imageFormat.empty()
                                    ? c.imageFormat
                                    : c.widget[static_cast<std::size_t>(Setting::Quality)];
    std::string text;
    if (widget.empty() || readWidget(c, widget, &text, nullptr) < GP_OK) return 1;
    return FilesPerRelease(text);
}

sdk::Result Session::Release(sdk::Handle h, std::uint32_t& count) {
    count = 0;
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    c->files.clear();
    // What the camera said before belongs to what came before (a picture taken on the body, the
    // end of the last capture): taken now, so it is not read as this release's.
    pollEvents(h, 0);
    if ((c = find(h)) == nullptr) return missing(h);
    const std::size_t expected = filesPerRelease(*c);
    CameraFilePath path{};
    Camera* camera = c->camera;
    const sdk::Result r = check(h, "gp_camera_capture", [&] {
        return gp_camera_capture(camera, GP_CAPTURE_IMAGE, &path, context_);
    });
    if (r != sdk::kOk) return r;
    c->files.push_back(pathOf(&path));
    // RAW+JPEG: the other file is announced by an event, often behind property changes and,
    // with large raw files, hundreds of milliseconds later.
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kReleaseFileWaitMs);
    while ((c = find(h)) != nullptr && c->files.size() < expected) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) break;
        const Clock::time_point asked = Clock::now();
        if (pollEvents(h, static_cast<int>(left), expected)) break;   // capture complete
        // A driver that does not wait out its timeout is not spun on.
        if (Clock::now() - asked < std::chrono::milliseconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if ((c = find(h)) != nullptr) count = static_cast<std::uint32_t>(c->files.size());
    return sdk::kOk;
}

bool Session::pollEvents(sdk::Handle h, int timeoutMs, std::size_t expected) {
    bool complete = false;
    bool settingsChanged = false;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int i = 0; i < 16; ++i) {
        Cam* c = find(h);
        if (c == nullptr) return complete;
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const auto left = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        if (gp_camera_wait_for_event(c->camera, static_cast<int>(left), &type, &data, context_) <
            GP_OK) {
            std::free(data);
            break;
        }
        if (type == GP_EVENT_FILE_ADDED && data != nullptr) {
            const CameraPath file = pathOf(data);
            std::free(data);
            if (c->kept.count(keyOf(file)) != 0) continue;   // saved already: not again
            if (expected > 0) {
                c->files.push_back(file);
                if (c->files.size() >= expected) break;
            } else {
                cameraFile(h, file);   // may download, or find the camera gone
            }
            continue;
        }
        if (type == GP_EVENT_UNKNOWN && data != nullptr)
            propertyChanged(h, static_cast<const char*>(data), settingsChanged);
        std::free(data);
        if (type == GP_EVENT_CAPTURE_COMPLETE) {
            complete = expected > 0;
            if (complete) break;
        }
        if (type == GP_EVENT_TIMEOUT) break;
    }
    Cam* c = find(h);
    if (settingsChanged && c != nullptr && c->event != nullptr)
        c->event(sdk::kEventSettingsChanged, nullptr, 0, c->eventContext);
    return complete;
}

void Session::propertyChanged(sdk::Handle h, const std::string& text, bool& settingsChanged) {
    Cam* c = find(h);
    std::string widget, value;
    if (c == nullptr || !ChangedWidget(text, widget, value)) return;
    if (widget == c->battery) {
        if (c->event == nullptr) return;
        // The level in sixths, then the camera's own words.
        const std::vector<std::uint8_t> event =
            sdk::CameraEventData{BatteryLevel(value), PrintableName(value, 15)}.Encode(
                sdk::kEventBattery);
        c->event(sdk::kEventBattery, event.data(), static_cast<std::uint32_t>(event.size()),
                 c->eventContext);
        return;
    }
    if (widget == c->captureTarget) c->noCard = false;   // read again at the next picture
    bool setting = widget == c->imageFormat || widget == c->imageSize;
    for (const std::string& w : c->widget) setting = setting || (!w.empty() && w == widget);
    settingsChanged = settingsChanged || setting;
}

void Session::cameraFile(sdk::Handle h, const CameraPath& file) {
    Cam* c = find(h);
    if (c == nullptr) return;
    c->waiting.push_back(file);
    if (c->waiting.size() > kMaxWaitingFiles) c->waiting.pop_front();   // the oldest stays there
    if (c->event == nullptr) return;
    // The name, its NUL, then 1 when it is the late other file of a release's picture.
    bool late = false;
    for (const Cam::Saved& earlier : c->saved)
        late = late || (earlier.released && earlier.base == BaseName(file.name));
    const std::vector<std::uint8_t> data =
        sdk::CameraEventData{0, file.name, late}.Encode(sdk::kEventCameraPicture);
    // The document fetches it from within this call (GetCameraPicture), or leaves it waiting.
    c->event(sdk::kEventCameraPicture, data.data(), static_cast<std::uint32_t>(data.size()),
             c->eventContext);
}

bool Session::inCameraRam(Cam& c) {
    if (c.noCard) return true;
    if (c.captureTarget.empty()) return false;
    std::string target;
    if (readWidget(c, c.captureTarget, &target, nullptr) < GP_OK) return false;
    std::string folded;
    for (char ch : target)
        folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
    return folded.find("ram") != std::string::npos;
}

sdk::Result Session::Download(sdk::Handle h, const std::string& path,
                              sdk::ProgressCallback progress, void* context, std::string& saved) {
    saved.clear();
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->files.empty()) {
        // A worker asking again after a busy answer gets that file again.
        for (const Cam::Refetch& busy : c->refetch)
            if (busy.released)
                return downloadFile(h, busy.file, true, path, progress, context, saved);
        return err::kFileNotFound;
    }
    const CameraPath file = c->files.front();
    c->files.pop_front();
    return downloadFile(h, file, true, path, progress, context, saved);
}

sdk::Result Session::DownloadCameraPicture(sdk::Handle h, const std::string& cameraName,
                                           const std::string& path, sdk::ProgressCallback progress,
                                           void* context, std::string& saved) {
    saved.clear();
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    for (const Cam::Refetch& busy : c->refetch)
        if (busy.file.name == cameraName)
            return downloadFile(h, busy.file, busy.released, path, progress, context, saved);
    auto it = std::find_if(c->waiting.begin(), c->waiting.end(),
                           [&](const CameraPath& f) { return f.name == cameraName; });
    if (it == c->waiting.end()) return err::kFileNotFound;
    const CameraPath file = *it;
    c->waiting.erase(it);
    return downloadFile(h, file, false, path, progress, context, saved);
}

sdk::Result Session::downloadFile(sdk::Handle h, const CameraPath& file, bool release,
                                  const std::string& path, sdk::ProgressCallback progress,
                                  void* context, std::string& saved) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    // The other half of a pair saved before takes its name; else the name asked for.
    const std::string base = BaseName(file.name);
    std::string stem = stemOf(path);
    for (const Cam::Saved& earlier : c->saved)
        if (earlier.base == base) stem = earlier.stem;

    if (progress) progress(0, 0, context);
    CameraFile* data = nullptr;
    gp_file_new(&data);
    progress_ = progress;
    progressContext_ = context;
    progressTarget_ = 0;
    Camera* camera = c->camera;
    sdk::Result r = check(h, "gp_camera_file_get", [&] {
        return gp_camera_file_get(camera, file.folder.c_str(), file.name.c_str(),
                                  GP_FILE_TYPE_NORMAL, data, context_);
    });
    progress_ = nullptr;
    if (r == sdk::kOk) {
        const char* bytes = nullptr;
        unsigned long size = 0;
        const char* mime = nullptr;
        gp_file_get_data_and_size(data, &bytes, &size);
        gp_file_get_mime_type(data, &mime);
        const std::string target = stem + "." + SavedExtension(file.name, mime ? mime : "");
        if (const int e = sdk::CaptureFile::WriteWhole(target, bytes, size, saved))
            r = e == ENOSPC ? err::kDiskFull : e == EEXIST ? err::kFileExists : err::kFileWrite;
    }
    gp_file_unref(data);
    c = find(h);   // a vanished camera is closed by now
    if (c != nullptr) {
        auto busy = std::find_if(c->refetch.begin(), c->refetch.end(), [&](const Cam::Refetch& f) {
            return keyOf(f.file) == keyOf(file);
        });
        const auto due = Clock::now() + std::chrono::milliseconds(kBusyRefetchMs);
        if (r == err::kDeviceBusy && busy == c->refetch.end())
            c->refetch.push_back({file, release, 1, due});
        else if (r == err::kDeviceBusy)
            busy->due = due;   // not announced while a caller is still asking for it
        else if (busy != c->refetch.end()) c->refetch.erase(busy);
    }
    if (r == sdk::kOk && c != nullptr) {
        c->saved.push_back({base, stemOf(saved), release});
        if (c->saved.size() > 32) c->saved.pop_front();
        // Safely in the capture folder: a picture that lives only in the camera's RAM leaves
        // it, so the camera never fills. One on a memory card stays there.
        if (!inCameraRam(*c)) {
            c->kept.insert(keyOf(file));
        } else {
            deleteFromRam(h, file, 1);
        }
    }
    if (r == sdk::kOk && progress) progress(100, 1, context);
    return r;
}

void Session::deleteFromRam(sdk::Handle h, const CameraPath& file, int tries) {
    Cam* c = find(h);
    if (c == nullptr) return;
    Camera* camera = c->camera;
    const int code =
        gp_camera_file_delete(camera, file.folder.c_str(), file.name.c_str(), context_);
    if (code == GP_ERROR_CAMERA_BUSY && tries < kBusyFetchTries) {
        c->deletes.push_back({file, tries + 1});   // tried again at the next tick
        return;
    }
    check(h, "gp_camera_file_delete", [code] { return code; });
}

void Session::retryBusy(sdk::Handle h) {
    Cam* c = find(h);
    if (c == nullptr) return;
    std::deque<std::pair<CameraPath, int>> deletes;
    deletes.swap(c->deletes);
    for (const auto& [file, tries] : deletes) deleteFromRam(h, file, tries);
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0; (c = find(h)) != nullptr && i < c->refetch.size(); ++i) {
        Cam::Refetch& busy = c->refetch[i];
        if (busy.due > now || c->event == nullptr) continue;
        if (busy.tries >= kBusyFetchTries) {
            if (options_.note)
                options_.note("libgphoto2: the camera stayed busy for \"" +
                              sdk::PrintableName(busy.file.name) + "\"; it is left on the camera");
            c->refetch.erase(c->refetch.begin() + static_cast<std::ptrdiff_t>(i--));
            continue;
        }
        ++busy.tries;
        busy.due = now + std::chrono::milliseconds(kBusyRefetchMs);
        bool late = busy.released;
        for (const Cam::Saved& earlier : c->saved)
            late = late || (earlier.released && earlier.base == BaseName(busy.file.name));
        const std::vector<std::uint8_t> data =
            sdk::CameraEventData{0, busy.file.name, late}.Encode(sdk::kEventCameraPicture);
        // The document fetches it from within this call; busy again, it stays for the next.
        c->event(sdk::kEventCameraPicture, data.data(), static_cast<std::uint32_t>(data.size()),
                 c->eventContext);
        i = 0 - std::size_t{1};   // the list may have changed: look again from its start
    }
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
            const PreviewFrame::Outcome outcome = preview_.Convert(
                reinterpret_cast<const unsigned char*>(bytes), size, frame_->data());
            if (outcome == PreviewFrame::Outcome::TooLarge && !c->previewRefused && options_.note)
                options_.note("Live view frame refused: the camera sent " +
                              std::to_string(preview_.lastWidth()) + " x " +
                              std::to_string(preview_.lastHeight()) + " pixels (at most " +
                              std::to_string(kMaxPreviewSide) + " x " +
                              std::to_string(kMaxPreviewSide) + ")");
            // Said once per run of refused previews.
            c->previewRefused = outcome == PreviewFrame::Outcome::TooLarge;
            if (outcome == PreviewFrame::Outcome::Converted)
                c->frame(frame_->data(), static_cast<std::uint32_t>(sdk::kFrameBytes), 1,
                         c->frameContext);
        }
        if ((c = find(h)) != nullptr && c->event != nullptr &&
            (c->frame == nullptr || ticks_ % 8 == 0))
            pollEvents(h, 1);
        retryBusy(h);
    }
}

}   // namespace gphoto
