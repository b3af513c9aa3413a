// Release with the SDK writing the image file, capture-session images arriving through release
// event 34, viewfinder start and stop, and the read-only accessors.
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

}  // namespace

bool CanonDriver::TakePicture(const std::string& path, sdk::ProgressCallback progress) {
    std::lock_guard<std::recursive_mutex> op(lock_);
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
        if (failed(api_.Capture(source), "TakePicture", "Capture")) {
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
    if (failed(api_.Release(source, kSyncRelease, progress, nullptr, option, &count),
               "TakePicture", "Release"))
        ok = false;
    const sdk::StorageMedium medium{0, path.c_str()};
    for (std::uint32_t i = 0; i < count; ++i) {
        sdk::ImageInfo info{};
        if (failed(api_.GetReleasedData(source, progress, nullptr, option, &info, &medium),
                   "TakePicture", "GetReleasedData"))
            ok = false;
    }
    return ok;
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
    if (source != 0) {
        const sdk::StorageMedium medium{0, next.path.c_str()};
        failed(api_.TakeCapturedImage(source, next.progress, nullptr,
                                      progressOption(next.progress), data, &medium),
               "ReleaseEventCallback", "TakeCapturedImage");
    }
    std::lock_guard<std::mutex> guard(pendingMutex_);
    --inFlight_;
    pendingIdle_.notify_all();
}

void CanonDriver::EnableViewfinder(sdk::FrameCallback frame) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (!properties_.hasViewfinder) return;
    const sdk::Handle source = source_;
    failed(api_.SelectViewFinderCameraOutput(source, kViewfinderOutput), "EnableViewfinder",
           "SelectViewFinderCameraOutput");
    failed(api_.StartViewfinder(source, kViewfinderFormat, frame, nullptr), "EnableViewfinder",
           "StartViewfinder");
}

void CanonDriver::DisableViewfinder() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (!properties_.hasViewfinder) return;
    failed(api_.TermViewfinder(source_), "DisableViewfinder", "TermViewfinder");
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

std::vector<SettingOption> CanonDriver::shootingModes() const { return list(kShootingMode); }
std::vector<SettingOption> CanonDriver::avModes() const { return list(kAV); }
std::vector<SettingOption> CanonDriver::tvModes() const { return list(kTV); }
std::vector<SettingOption> CanonDriver::exposures() const { return list(kExposure); }
std::vector<SettingOption> CanonDriver::wbValues() const { return list(kWhiteBalance); }
std::vector<SettingOption> CanonDriver::afDistances() const { return list(kAFDistance); }
std::vector<SettingOption> CanonDriver::flashModes() const { return list(kFlash); }
std::vector<SettingOption> CanonDriver::meterModes() const { return list(kMeter); }
std::vector<SettingOption> CanonDriver::isoModes() const { return list(kISO); }
std::vector<SettingOption> CanonDriver::effects() const { return list(kEffect); }

}  // namespace camera
