// The real-camera backend: each call locks the listings or runs on the camera thread.
#include "sdk/gphoto/RealCameraBackend.h"

#include "sdk/CaptureFile.h"
#include "sdk/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace gphoto {

using sdk::Handle;
using sdk::Result;
using std::uint16_t;
using std::uint32_t;

namespace {

// The release-camera setting of an sdk id.
#define KESTREL_RELCAM_ID(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                          Current, Id)                                                          \
    case Id: setting = Setting::Key; return true;
bool RelCamSetting(uint32_t id, Setting& setting) {
    switch (id) {
        KESTREL_RELCAM_SETTINGS(KESTREL_RELCAM_ID)
        default: return false;
    }
}
#undef KESTREL_RELCAM_ID

}   // namespace

RealCameraBackend::RealCameraBackend(const sdk::Api& simulated, Options options)
    : simulated_(simulated),
      options_(std::move(options)),
      thread_(std::make_unique<CameraThread>()) {
    if (options_.listing == Listing::Simulated) return;
    SessionOptions sessionOptions{options_.autodetect, options_.cameras, options_.labels,
                                  options_.note};
    thread_->call([this, &sessionOptions] {
        session_ = std::make_unique<Session>(std::move(sessionOptions));
        return 0;
    });
}

RealCameraBackend::~RealCameraBackend() {
    thread_->setRepeating(nullptr, std::chrono::milliseconds(0));
    thread_->call([this] {
        session_.reset();
        return 0;
    });
    thread_.reset();
}

bool RealCameraBackend::realListed() const {
    return options_.listing != Listing::Simulated && session_ != nullptr;
}
bool RealCameraBackend::simulatedListed() const { return options_.listing != Listing::Real; }

Handle RealCameraBackend::newHandle() {
    std::lock_guard lock(mutex_);
    return nextHandle_++;
}

template <class Work>
Result RealCameraBackend::onCamera(Work work) {
    if (session_ == nullptr) return err::kNotSupported;
    return thread_->call([&]() -> Result { return work(*session_); });
}

void RealCameraBackend::pace(Session& session) {
    thread_->setRepeating(
        [this] {
            if (session_) session_->Tick();
        },
        std::chrono::milliseconds(session.Streaming() ? 33 : 250));
}

Result RealCameraBackend::addListing(RealListing listing, Handle* handle) {
    if (handle == nullptr) return err::kInvalidParameter;
    const Handle h = newHandle();
    std::lock_guard lock(mutex_);
    listings_.Add(h, std::move(listing));
    *handle = h;
    return sdk::kOk;
}

Result RealCameraBackend::take(RealListing& listing, std::size_t items, std::size_t& index) {
    if (const Result r = sdk::Listings<RealListing>::TakeFrom(listing, index)) return r;
    return index < items ? sdk::kOk : err::kEnumNA;
}

// ---------------------------------------------------------------- devices

Result RealCameraBackend::EnumDeviceReset(uint32_t kind, Handle* handle) {
    RealListing listing;
    if (realListed()) {
        std::vector<Device> devices;
        onCamera([&](Session& session) {
            devices = session.Devices();
            return sdk::kOk;
        });
        std::vector<std::string> names;
        for (const Device& device : devices) {
            sdk::DeviceRecord record{};
            std::memcpy(record.bytes + sdk::DeviceRecord::kNameOffset, device.name.data(),
                        std::min(device.name.size(), sdk::DeviceRecord::kNameCapacity - 1));
            listing.devices.push_back(record);
            names.push_back(device.name);
        }
        std::lock_guard lock(mutex_);
        realNames_ = std::move(names);
    }
    if (simulatedListed()) {
        Result r = simulated_.EnumDeviceReset(kind, &listing.simulated);
        if (r != sdk::kOk) return r;
        r = simulated_.GetDeviceCount(listing.simulated, &listing.simulatedCount);
        if (r != sdk::kOk) {
            simulated_.EnumDeviceRelease(listing.simulated);
            return r;
        }
    }
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::OpenSource(const sdk::DeviceRecord* record, Handle* source) {
    if (record == nullptr || source == nullptr) return err::kInvalidParameter;
    const char* text =
        reinterpret_cast<const char*>(record->bytes + sdk::DeviceRecord::kNameOffset);
    const std::string name(text, strnlen(text, sdk::DeviceRecord::kNameCapacity));
    bool real = false;
    {
        std::lock_guard lock(mutex_);
        real = std::find(realNames_.begin(), realNames_.end(), name) != realNames_.end();
    }
    if (!real) return simulated_.OpenSource(record, source);
    const Handle h = newHandle();
    const Result r = onCamera([&](Session& session) { return session.Open(name, h); });
    *source = r == sdk::kOk ? h : 0;
    return sdk::err::OwnRow(r);
}

Result RealCameraBackend::GetDeviceCount(Handle handle, uint32_t* count) {
    std::lock_guard lock(mutex_);
    RealListing* listing = listings_.Find(handle);
    if (listing == nullptr || count == nullptr) return err::kInvalidHandle;
    *count = static_cast<uint32_t>(listing->devices.size()) + listing->simulatedCount;
    return sdk::kOk;
}

Result RealCameraBackend::EnumDeviceNext(Handle handle, sdk::DeviceRecord* record) {
    Handle simulatedListing = 0;
    {
        std::lock_guard lock(mutex_);
        RealListing* listing = listings_.Find(handle);
        if (listing == nullptr || record == nullptr) return err::kInvalidHandle;
        if (listing->next < listing->devices.size()) {
            *record = listing->devices[listing->next++];
            return sdk::kOk;
        }
        simulatedListing = listing->simulated;
    }
    return simulatedListing != 0 ? simulated_.EnumDeviceNext(simulatedListing, record)
                                 : err::kEnumNA;
}

Result RealCameraBackend::EnumDeviceRelease(Handle handle) {
    Handle simulatedListing = 0;
    {
        std::lock_guard lock(mutex_);
        RealListing* listing = listings_.Find(handle);
        if (listing == nullptr) return err::kInvalidHandle;
        simulatedListing = listing->simulated;
        listings_.Release(handle);
    }
    return simulatedListing != 0 ? simulated_.EnumDeviceRelease(simulatedListing) : sdk::kOk;
}

// ---------------------------------------------------------------- sources

Result RealCameraBackend::CloseSource(Handle source) {
    return onCamera([&](Session& session) {
        const Result r = session.Close(source);
        pace(session);
        return r;
    });
}

Result RealCameraBackend::IsOpen(Handle source) {
    return onCamera(
        [&](Session& session) { return session.IsOpen(source) ? sdk::kOk : err::kInvalidHandle; });
}

Result RealCameraBackend::ExitReleaseControl(Handle source) {
    return onCamera([&](Session& session) { return session.Teardown(source); });
}

Result RealCameraBackend::RegisterEventCallbackFunction(Handle source, sdk::EventCallback callback,
                                                        void* context, Handle* registration) {
    const Result r = onCamera([&](Session& session) {
        const Result set = session.SetEvents(source, callback, context);
        pace(session);
        return set;
    });
    if (r == sdk::kOk && registration != nullptr) *registration = newHandle();
    return r;
}

Result RealCameraBackend::UnregisterEventCallbackFunction(Handle source, Handle) {
    return onCamera([&](Session& session) { return session.SetEvents(source, nullptr, nullptr); });
}

Result RealCameraBackend::Release(Handle source, uint32_t, sdk::ProgressCallback, void*, uint32_t,
                                  uint32_t* count) {
    uint32_t items = 0;
    const Result r = onCamera([&](Session& session) { return session.Release(source, items); });
    if (count != nullptr) *count = items;
    return r;
}

Result RealCameraBackend::GetReleasedData(Handle source, sdk::ProgressCallback progress,
                                          void* context, uint32_t, sdk::ImageInfo*,
                                          const sdk::StorageMedium* medium) {
    if (medium == nullptr || medium->path == nullptr) return err::kInvalidParameter;
    const std::string path = medium->path;
    std::string saved;
    const Result r = onCamera(
        [&](Session& session) { return session.Download(source, path, progress, context, saved); });
    sdk::ReportSaved(medium, saved);
    return r;
}

Result RealCameraBackend::GetCameraPicture(Handle source, const char* name,
                                           sdk::ProgressCallback progress, void* context,
                                           const sdk::StorageMedium* medium) {
    if (name == nullptr || medium == nullptr || medium->path == nullptr)
        return err::kInvalidParameter;
    const std::string cameraName = name;
    const std::string path = medium->path;
    std::string saved;
    const Result r = onCamera([&](Session& session) {
        return session.DownloadCameraPicture(source, cameraName, path, progress, context, saved);
    });
    sdk::ReportSaved(medium, saved);
    return r;
}

Result RealCameraBackend::StartViewfinder(Handle source, uint32_t, sdk::FrameCallback callback,
                                          void* context) {
    return onCamera([&](Session& session) {
        const Result r = session.StartViewfinder(source, callback, context);
        pace(session);
        return r;
    });
}

Result RealCameraBackend::TermViewfinder(Handle source) {
    return onCamera([&](Session& session) {
        const Result r = session.StopViewfinder(source);
        pace(session);
        return r;
    });
}

// ---------------------------------------------------------------- settings

Result RealCameraBackend::GetValue(Handle source, Setting setting, uint32_t* code) {
    uint32_t value = 0;
    const Result r =
        onCamera([&](Session& session) { return session.Get(source, setting, value); });
    if (code != nullptr) *code = value;
    return r;
}

Result RealCameraBackend::SetValue(Handle source, Setting setting, uint32_t code) {
    return onCamera([&](Session& session) { return session.Set(source, setting, code); });
}

Result RealCameraBackend::ListChoices(Handle source, Setting setting, Handle* handle) {
    std::vector<uint32_t> codes;
    const Result r =
        onCamera([&](Session& session) { return session.Choices(source, setting, codes); });
    if (r != sdk::kOk) return r;
    RealListing listing;
    listing.codes = std::move(codes);
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::GetRelCamSettingData(Handle source, uint32_t id, uint32_t* size,
                                               void* data) {
    Setting setting;
    if (!RelCamSetting(id, setting)) return err::kNotSupported;
    if (size == nullptr || data == nullptr) return err::kInvalidParameter;
    uint32_t code = 0;
    const Result r = GetValue(source, setting, &code);
    const uint32_t width = std::min<uint32_t>(*size, 4);
    sdk::WriteLeField(static_cast<std::uint8_t*>(data), width, code);
    *size = width;
    return r;
}

Result RealCameraBackend::SetRelCamSettingData(Handle source, uint32_t id, uint32_t size,
                                               const void* data) {
    Setting setting;
    if (!RelCamSetting(id, setting)) return err::kNotSupported;
    if (data == nullptr) return err::kInvalidParameter;
    return SetValue(source, setting,
                    sdk::ReadLeField(static_cast<const std::uint8_t*>(data), size));
}

Result RealCameraBackend::GetImageFormatAttribute(Handle source, uint32_t* quality,
                                                  uint32_t* size) {
    uint32_t q = 0, z = 0;
    const Result r = onCamera([&](Session& session) { return session.GetFormat(source, q, z); });
    if (quality != nullptr) *quality = q;
    if (size != nullptr) *size = z;
    return r;
}

Result RealCameraBackend::SetImageFormatAttribute(Handle source, uint16_t quality, uint16_t size) {
    return onCamera([&](Session& session) { return session.SetFormat(source, quality, size); });
}

Result RealCameraBackend::AFLock(Handle source, uint16_t lock) {
    return onCamera([&](Session& session) { return session.AFLock(source, lock != 0); });
}

Result RealCameraBackend::GetZoomPos(Handle source, uint32_t* position) {
    uint32_t now = 0, first = 0, last = 0;
    const Result r =
        onCamera([&](Session& session) { return session.Zoom(source, now, first, last); });
    if (position != nullptr) *position = now;
    return r;
}

Result RealCameraBackend::SetZoomPos(Handle source, uint32_t position) {
    return onCamera([&](Session& session) { return session.SetZoom(source, position); });
}

Result RealCameraBackend::GetMaximumZoomPos(Handle source, uint32_t* first, uint32_t* last) {
    uint32_t now = 0, low = 0, high = 0;
    const Result r =
        onCamera([&](Session& session) { return session.Zoom(source, now, low, high); });
    if (first != nullptr) *first = low;
    if (last != nullptr) *last = high;
    return r;
}

Result RealCameraBackend::GetLiveMagnify(Handle source, uint32_t* factor, uint32_t* x,
                                         uint32_t* y) {
    uint32_t f = 0, px = 0, py = 0;
    const Result r = onCamera([&](Session& session) { return session.Magnify(source, f, px, py); });
    if (factor != nullptr) *factor = f;
    if (x != nullptr) *x = px;
    if (y != nullptr) *y = py;
    return r;
}

Result RealCameraBackend::SetLiveMagnify(Handle source, uint32_t factor, uint32_t x, uint32_t y) {
    return onCamera([&](Session& session) { return session.SetMagnify(source, factor, x, y); });
}

Result RealCameraBackend::DriveFocus(Handle source, std::int32_t step) {
    return onCamera([&](Session& session) { return session.DriveFocus(source, step); });
}

Result RealCameraBackend::GetDevicePropertyData(Handle source, uint32_t id, uint32_t* size,
                                                void* buffer, uint32_t) {
    return onCamera(
        [&](Session& session) { return session.PropertyData(source, id, size, buffer); });
}

// ---------------------------------------------------------------- listings of a source

Result RealCameraBackend::EnumDevicePropertyReset(Handle source, uint32_t, Handle* handle) {
    std::vector<uint32_t> ids;
    const Result r = onCamera([&](Session& session) { return session.PropertyIds(source, ids); });
    if (r != sdk::kOk) return r;
    RealListing listing;
    listing.codes = std::move(ids);
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::EnumSupportedImageSizeReset(Handle source, uint32_t, Handle* handle) {
    std::vector<std::string> labels;
    const Result r = onCamera([&](Session& session) { return session.Sizes(source, labels); });
    if (r != sdk::kOk) return r;
    RealListing listing;
    listing.labels = std::move(labels);
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::EnumImageFormatAttributeReset(Handle source, Handle* handle) {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    const Result r = onCamera([&](Session& session) { return session.Formats(source, pairs); });
    if (r != sdk::kOk) return r;
    RealListing listing;
    for (const auto& [quality, size] : pairs) {
        listing.codes.push_back(quality);
        listing.sizes.push_back(size);
    }
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::EnumRelCamSettingReset(Handle source, Handle* handle) {
    const Result r = IsOpen(source);
    if (r != sdk::kOk) return r;
    RealListing listing;
#define KESTREL_RELCAM_CODE(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                            Current, Id)                                                          \
    listing.codes.push_back(Id);
    KESTREL_RELCAM_SETTINGS(KESTREL_RELCAM_CODE)
#undef KESTREL_RELCAM_CODE
    return addListing(std::move(listing), handle);
}

Result RealCameraBackend::EnumRelCamSettingDataReset(Handle source, uint32_t id, Handle* handle,
                                                     uint32_t* size) {
    Setting setting;
    if (!RelCamSetting(id, setting)) return err::kNotSupported;
    if (size != nullptr) *size = 4;
    return ListChoices(source, setting, handle);
}

Result RealCameraBackend::Count(Handle handle, uint32_t* count) {
    std::lock_guard lock(mutex_);
    return listings_.Count(handle, count);
}

Result RealCameraBackend::NextCode(Handle handle, uint32_t* code) {
    std::lock_guard lock(mutex_);
    RealListing* listing = listings_.Find(handle);
    if (listing == nullptr || code == nullptr) return err::kInvalidHandle;
    std::size_t i = 0;
    if (const Result r = take(*listing, listing->codes.size(), i)) return r;
    *code = listing->codes[i];
    return sdk::kOk;
}

Result RealCameraBackend::Forget(Handle handle) {
    std::lock_guard lock(mutex_);
    return listings_.Release(handle);
}

Result RealCameraBackend::EnumDevicePropertyNext(Handle handle, sdk::PropertyRecord* record) {
    uint32_t id = 0;
    const Result r = NextCode(handle, &id);
    if (r == sdk::kOk && record != nullptr) {
        *record = sdk::PropertyRecord{};
        record->words[1] = id;
        record->words[3] = 32;
    }
    return r;
}

Result RealCameraBackend::EnumSupportedImageSizeNext(Handle handle, sdk::ImageSizeRecord* record) {
    std::lock_guard lock(mutex_);
    RealListing* listing = listings_.Find(handle);
    if (listing == nullptr || record == nullptr) return err::kInvalidHandle;
    std::size_t i = 0;
    if (const Result r = take(*listing, listing->labels.size(), i)) return r;
    *record = sdk::ImageSizeRecord{};
    sdk::WriteLe16(record->bytes, static_cast<uint16_t>(i));
    const std::string& label = listing->labels[i];
    std::memcpy(record->bytes + sdk::ImageSizeRecord::kLabelOffset, label.data(),
                std::min(label.size(), sdk::ImageSizeRecord::kLabelCapacity - 1));
    return sdk::kOk;
}

Result RealCameraBackend::EnumImageFormatAttributeNext(Handle handle, uint32_t* quality,
                                                       uint32_t* size) {
    std::lock_guard lock(mutex_);
    RealListing* listing = listings_.Find(handle);
    if (listing == nullptr || quality == nullptr || size == nullptr) return err::kInvalidHandle;
    std::size_t i = 0;
    if (const Result r = take(*listing, listing->sizes.size(), i)) return r;
    *quality = listing->codes[i];
    *size = listing->sizes[i];
    return sdk::kOk;
}

Result RealCameraBackend::EnumRelCamSettingDataNext(Handle handle, uint32_t size, void* code) {
    uint32_t value = 0;
    const Result r = NextCode(handle, &value);
    if (r == sdk::kOk && code != nullptr)
        sdk::WriteLeField(static_cast<std::uint8_t*>(code), std::min<uint32_t>(size, 4), value);
    return r;
}

}   // namespace gphoto
