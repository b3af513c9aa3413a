// The real-camera backend: the libgphoto2 session on its own camera thread, the listings the
// table hands out for real cameras, and the slot's simulated table for everything else. Each
// public call has the meaning (and mostly the signature) of the sdk::Api call of the same name,
// for real handles (kRealBit set) only; RealCameraTable routes the table's calls here.
//
// Threads: every public call may be made from any thread. libgphoto2 is called only on the
// camera thread this object owns, which also makes the frame, progress and event callbacks and
// runs the repeating tick (preview pace or event polling). A public call made from a callback
// on the camera thread runs at once (see CameraThread).
#pragma once

#include "sdk/Listing.h"
#include "sdk/gphoto/CameraThread.h"
#include "sdk/gphoto/RealCameras.h"
#include "sdk/gphoto/Session.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gphoto {

// One listing of the real side: devices (which also hold the simulated table's own device
// listing), property ids, setting codes, image sizes or image formats.
struct RealListing {
    std::vector<std::uint32_t> codes;         // codes, property ids, format qualities
    std::vector<std::uint32_t> sizes;         // format sizes (pairs with codes)
    std::vector<std::string> labels;          // image size labels
    std::vector<sdk::DeviceRecord> devices;   // real cameras of a device listing
    sdk::Handle simulated = 0;                // the simulated table's device listing
    std::uint32_t simulatedCount = 0;
    std::size_t next = 0;   // the cursor of sdk::Listings
    std::size_t size() const { return std::max(codes.size(), labels.size()); }
};

class RealCameraBackend {
public:
    // Opens the libgphoto2 session on the camera thread unless only simulated cameras are listed.
    RealCameraBackend(const sdk::Api& simulated, Options options);
    // Stops the tick and closes the session on the camera thread, then ends that thread.
    ~RealCameraBackend();
    RealCameraBackend(const RealCameraBackend&) = delete;
    RealCameraBackend& operator=(const RealCameraBackend&) = delete;

    const sdk::Api& simulated() const { return simulated_; }

    // Calls that take no real handle: they list or open real and simulated cameras alike.
    sdk::Result EnumDeviceReset(std::uint32_t kind, sdk::Handle* listing);
    sdk::Result OpenSource(const sdk::DeviceRecord* record, sdk::Handle* source);

    // Device listing (real cameras first, then the simulated table's).
    sdk::Result GetDeviceCount(sdk::Handle listing, std::uint32_t* count);
    sdk::Result EnumDeviceNext(sdk::Handle listing, sdk::DeviceRecord* record);
    sdk::Result EnumDeviceRelease(sdk::Handle listing);

    // Sources.
    sdk::Result CloseSource(sdk::Handle source);
    sdk::Result IsOpen(sdk::Handle source);
    sdk::Result ExitReleaseControl(sdk::Handle source);
    sdk::Result RegisterEventCallbackFunction(sdk::Handle source, sdk::EventCallback callback,
                                              void* context, sdk::Handle* registration);
    sdk::Result UnregisterEventCallbackFunction(sdk::Handle source, sdk::Handle registration);
    sdk::Result Release(sdk::Handle source, std::uint32_t sync, sdk::ProgressCallback progress,
                        void* context, std::uint32_t option, std::uint32_t* count);
    sdk::Result GetReleasedData(sdk::Handle source, sdk::ProgressCallback progress, void* context,
                                std::uint32_t option, sdk::ImageInfo* info,
                                const sdk::StorageMedium* medium);
    sdk::Result GetCameraPicture(sdk::Handle source, const char* name,
                                 sdk::ProgressCallback progress, void* context,
                                 const sdk::StorageMedium* medium);
    sdk::Result StartViewfinder(sdk::Handle source, std::uint32_t format,
                                sdk::FrameCallback callback, void* context);
    sdk::Result TermViewfinder(sdk::Handle source);

    // Settings: the value-list ones by Setting, the release-camera ones by sdk id.
    sdk::Result GetValue(sdk::Handle source, Setting setting, std::uint32_t* code);
    sdk::Result SetValue(sdk::Handle source, Setting setting, std::uint32_t code);
    sdk::Result ListChoices(sdk::Handle source, Setting setting, sdk::Handle* listing);
    sdk::Result GetRelCamSettingData(sdk::Handle source, std::uint32_t id, std::uint32_t* size,
                                     void* data);
    sdk::Result SetRelCamSettingData(sdk::Handle source, std::uint32_t id, std::uint32_t size,
                                     const void* data);
    sdk::Result GetImageFormatAttribute(sdk::Handle source, std::uint32_t* quality,
                                        std::uint32_t* size);
    sdk::Result SetImageFormatAttribute(sdk::Handle source, std::uint16_t quality,
                                        std::uint16_t size);
    sdk::Result AFLock(sdk::Handle source, std::uint16_t lock);
    sdk::Result GetZoomPos(sdk::Handle source, std::uint32_t* position);
    sdk::Result SetZoomPos(sdk::Handle source, std::uint32_t position);
    sdk::Result GetMaximumZoomPos(sdk::Handle source, std::uint32_t* first, std::uint32_t* last);
    sdk::Result GetLiveMagnify(sdk::Handle source, std::uint32_t* factor, std::uint32_t* x,
                               std::uint32_t* y);
    sdk::Result SetLiveMagnify(sdk::Handle source, std::uint32_t factor, std::uint32_t x,
                               std::uint32_t y);
    sdk::Result GetDevicePropertyData(sdk::Handle source, std::uint32_t id, std::uint32_t* size,
                                      void* buffer, std::uint32_t option);
    sdk::Result DriveFocus(sdk::Handle source, std::int32_t step);

    // Listings of one source: Reset makes one, the shared Count / Next / Release read it.
    sdk::Result EnumDevicePropertyReset(sdk::Handle source, std::uint32_t option,
                                        sdk::Handle* listing);
    sdk::Result EnumSupportedImageSizeReset(sdk::Handle source, std::uint32_t option,
                                            sdk::Handle* listing);
    sdk::Result EnumImageFormatAttributeReset(sdk::Handle source, sdk::Handle* listing);
    sdk::Result EnumRelCamSettingReset(sdk::Handle source, sdk::Handle* listing);
    sdk::Result EnumRelCamSettingDataReset(sdk::Handle source, std::uint32_t id,
                                           sdk::Handle* listing, std::uint32_t* size);
    sdk::Result Count(sdk::Handle listing, std::uint32_t* count);
    sdk::Result NextCode(sdk::Handle listing, std::uint32_t* code);
    sdk::Result Forget(sdk::Handle listing);
    sdk::Result EnumDevicePropertyNext(sdk::Handle listing, sdk::PropertyRecord* record);
    sdk::Result EnumSupportedImageSizeNext(sdk::Handle listing, sdk::ImageSizeRecord* record);
    sdk::Result EnumImageFormatAttributeNext(sdk::Handle listing, std::uint32_t* quality,
                                             std::uint32_t* size);
    sdk::Result EnumRelCamSettingDataNext(sdk::Handle listing, std::uint32_t size, void* code);

private:
    bool realListed() const;
    bool simulatedListed() const;
    sdk::Handle newHandle();
    // Runs work(session) on the camera thread; kNotSupported without a session.
    template <class Work>
    sdk::Result onCamera(Work work);
    // After a change of what streams: preview pace while live view runs, polling otherwise.
    void pace(Session& session);
    sdk::Result addListing(RealListing listing, sdk::Handle* handle);
    // The index of the next of `items` items of a listing; one of another kind is at its end.
    static sdk::Result take(RealListing& listing, std::size_t items, std::size_t& index);

    const sdk::Api& simulated_;
    const Options options_;
    std::unique_ptr<CameraThread> thread_;
    std::unique_ptr<Session> session_;   // made, used and destroyed on the camera thread

    // Guards listings_, nextHandle_, realNames_.
    mutable std::mutex mutex_;
    sdk::Listings<RealListing> listings_;
    sdk::Handle nextHandle_ = kRealBit | 1;
    std::vector<std::string> realNames_;   // the latest real listing
};

}   // namespace gphoto
