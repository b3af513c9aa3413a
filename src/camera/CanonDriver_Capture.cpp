// CanonDriver: release with the SDK writing the image file, capture-session images arriving
// through release event 34, viewfinder start and stop, and the read-only accessors.
#include "camera/CanonDriver.h"

namespace camera {

namespace {

constexpr std::uint32_t kSyncRelease = 1;
constexpr std::uint32_t kProgressOption = 3;
constexpr std::uint32_t kViewfinderOutput = 3;
constexpr std::uint32_t kViewfinderFormat = 1;

std::uint32_t progressOption(sdk::ProgressCallback progress) {
    return progress != nullptr ? kProgressOption : 0;
}

// Where the SDK says a file went; its own path when it says nothing.
struct SavedPath {
    char text[4097] = {};
    sdk::StorageMedium medium(const std::string& path) {
        text[0] = '\0';
        return sdk::StorageMedium{0, path.c_str(), text, sizeof text};
    }
    std::string get(const std::string& path) const { return text[0] ? text : path; }
};

}   // namespace

bool CanonDriver::TakePicture(const std::string& path, sdk::ProgressCallback progress,
                              BusyRetry busy) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "TakePicture");
    const sdk::Handle source = source_;
    const std::uint32_t option = progressOption(progress);

    if (isCaptureSessionModel()) {
        // Queue the destination before the capture: event 34 may arrive on the SDK's thread
        // before Capture returns.
        std::uint64_t id = 0;
        {
            std::lock_guard<std::mutex> guard(pendingMutex_);
            id = ++nextPendingId_;
            pending_.push_back({id, path, progress});
        }
        if (step.failed(RetryWhileBusy(busy, [&] { return api_.Capture(source); }), "Capture")) {
            std::lock_guard<std::mutex> guard(pendingMutex_);
            for (auto it = pending_.begin(); it != pending_.end(); ++it) {
                if (it->id == id) {
                    pending_.erase(it);
                    break;
                }
            }
            return false;
        }
        return true;
    }

    bool ok = true;
    std::uint32_t count = 0;
    const sdk::Result released = RetryWhileBusy(busy, [&] {
        return api_.Release(source, kSyncRelease, progress, nullptr, option, &count);
    });
    if (step.failed(released, "Release")) ok = false;
    if (count > kMaxCount) ok = false;
    count = step.bounded(count, "Release");
    // Every item asks for the capture name: the first gets it, the next ones the following
    // free numbers, since a file is never written over another.
    for (std::uint32_t i = 0; i < count; ++i) {
        sdk::ImageInfo info{};
        SavedPath saved;
        const sdk::StorageMedium medium = saved.medium(path);
        const sdk::Result fetched = RetryWhileBusy(busy, [&] {
            return api_.GetReleasedData(source, progress, nullptr, option, &info, &medium);
        });
        if (step.failed(fetched, "GetReleasedData")) ok = false;
        else if (picture_) picture_(path, saved.get(path));
    }
    return ok;
}

bool CanonDriver::TakeCameraPicture(const std::string& cameraName, const std::string& path,
                                    sdk::ProgressCallback progress) {
    const Step step(*this, "TakeCameraPicture");
    const sdk::Handle source = source_;
    if (source == 0 || api_.GetCameraPicture == nullptr) return false;
    SavedPath saved;
    const sdk::StorageMedium medium = saved.medium(path);
    const bool arrived =
        !step.failed(api_.GetCameraPicture(source, cameraName.c_str(), progress, nullptr, &medium),
                     "GetCameraPicture");
    if (picture_) picture_(path, arrived ? saved.get(path) : std::string());
    return arrived;
}

void CanonDriver::NoteBattery(std::uint32_t level, const std::string& text) {
    std::lock_guard<std::mutex> state(stateMutex_);
    if (source_ == 0) return;
    properties_.batteryLevel = level;
    properties_.batteryText = text;
}

void CanonDriver::onReleaseEvent(std::uint32_t eventId, const void* data) {
    if (eventId != sdk::kEventImageCaptured) return;
    Pending next;
    {
        std::lock_guard<std::mutex> guard(pendingMutex_);
        if (pending_.empty()) return;   // no picture was asked for: nothing to write
        next = std::move(pending_.front());
        pending_.pop_front();
        ++inFlight_;
    }
    const sdk::Handle source = source_;
    const Step step(*this, "ReleaseEventCallback");
    SavedPath saved;
    bool arrived = false;
    if (source != 0) {
        const sdk::StorageMedium medium = saved.medium(next.path);
        arrived = !step.failed(api_.TakeCapturedImage(source, next.progress, nullptr,
                                                      progressOption(next.progress), data, &medium),
                               "TakeCapturedImage");
    }
    if (picture_) picture_(next.path, arrived ? saved.get(next.path) : std::string());
    std::lock_guard<std::mutex> guard(pendingMutex_);
    --inFlight_;
    pendingIdle_.notify_all();
}

void CanonDriver::setPictureCallback(PictureCallback picture) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    picture_ = std::move(picture);
}

void CanonDriver::setPictureWait(std::chrono::milliseconds wait) {
    std::lock_guard<std::mutex> guard(pendingMutex_);
    pictureWait_ = wait;
}

void CanonDriver::EnableViewfinder(sdk::FrameCallback frame) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "EnableViewfinder");
    if (!properties_.hasViewfinder) return;
    const sdk::Handle source = source_;
    step.failed(api_.SelectViewFinderCameraOutput(source, kViewfinderOutput),
                "SelectViewFinderCameraOutput");
    step.failed(api_.StartViewfinder(source, kViewfinderFormat, frame, nullptr), "StartViewfinder");
}

void CanonDriver::DisableViewfinder() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "DisableViewfinder");
    if (!properties_.hasViewfinder) return;
    step.failed(api_.TermViewfinder(source_), "TermViewfinder");
}

sdk::Handle CanonDriver::sourceHandle() const { return source_.load(); }

CameraProperties CanonDriver::properties() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return properties_;
}

std::uint32_t CanonDriver::maxZoomPos() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return maxZoomPos_;
}

std::uint32_t CanonDriver::zoomFirst() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return zoomFirst_;
}

std::vector<ImageSizeOption> CanonDriver::imageSizes() const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return imageSizes_;
}

std::vector<SettingOption> CanonDriver::list(Slot setting) const {
    std::lock_guard<std::mutex> state(stateMutex_);
    return lists_[setting];
}

#define KESTREL_OPTIONS(Key, Name, Title, ChangeText, Labels, Options, ...) \
    std::vector<SettingOption> CanonDriver::Options() const { return list(k##Key); }
KESTREL_LISTED_SETTINGS(KESTREL_OPTIONS)
#undef KESTREL_OPTIONS

}   // namespace camera
