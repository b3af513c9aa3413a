// The driver's life, device listing, connect and disconnect, properties and option lists.
#include "camera/CanonDriver.h"

#include "camera/ErrorText.h"
#include "camera/LabelTables.h"
#include "camera/TextFields.h"

#include <algorithm>

namespace camera {

namespace {

constexpr std::uint32_t kDeviceKind = 1;
constexpr std::uint32_t kReleaseDataKind = 2;
constexpr std::uint32_t kSkippedProperty = 0xFFFFFFFF;
constexpr std::uint32_t kPropertyBufferBytes = 32;

// Keeps the property id read into buffer when it is one the driver shows.
void StoreProperty(CameraProperties& read, std::uint32_t id,
                   const std::uint8_t (&buffer)[kPropertyBufferBytes]) {
    switch (id) {
        case sdk::kPropName: read.name = BoundedText(buffer, sizeof buffer); break;
        case sdk::kPropCapabilities: {
            const std::uint32_t bits = LittleEndianWord(buffer);
            read.hasZoom = (bits & 1u) != 0;
            read.hasShootingModes = (bits & 2u) != 0;
            read.hasViewfinder = (bits & 4u) != 0;
            read.hasMagnify = (bits & 8u) != 0;
            read.hasFocusDrive = (bits & 16u) != 0;
            break;
        }
        case sdk::kPropOwner: read.ownerName = BoundedText(buffer, sizeof buffer); break;
        case sdk::kPropFirmware:
            read.firmware = LastWord(BoundedText(buffer, sizeof buffer));
            break;
        case sdk::kPropBattery: read.batteryLevel = LittleEndianWord(buffer); break;
        case sdk::kPropBatteryText: read.batteryText = BoundedText(buffer, sizeof buffer); break;
        default: break;
    }
}

// Ends a listing after a run of failing reads: a gone or broken device would fail every one.
class ReadRun {
public:
    bool failedRead() { return ++failures_ >= kMaxFailedReads; }   // true: stop listing
    void goodRead() { failures_ = 0; }

private:
    static constexpr int kMaxFailedReads = 8;
    int failures_ = 0;
};

}   // namespace

std::uint32_t CanonDriver::Step::bounded(std::uint32_t count, const std::string& call) const {
    if (count <= kMaxCount) return count;
    if (driver_.log_)
        driver_.log_(op_ + "::" + driver_.api_.prefix + call,
                     "refused count " + std::to_string(count) + " (at most " +
                         std::to_string(kMaxCount) + ")");
    return 0;
}

bool CanonDriver::Step::failed(sdk::Result result, const std::string& call) const {
    if (result == sdk::kOk) return false;
    return driver_.ReportError(result, op_ + "::" + driver_.api_.prefix + call);
}

CanonDriver::CanonDriver(const sdk::Api& api, std::string className, std::uint16_t majorVersion,
                         LogCallback log)
    : api_(api), className_(std::move(className)), log_(std::move(log)) {
    versionRecord_.size = sizeof(sdk::VersionRecord);
    versionRecord_.major = majorVersion;
    versionRecord_.minor = 0;
    Step(*this, className_).failed(api_.StartSDK(&versionRecord_, 0), "StartSDK");
}

CanonDriver::~CanonDriver() { finish(); }

void CanonDriver::finish() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (finished_) return;
    finished_ = true;
    Disconnect();
    {
        // A release event still being handled on the SDK's thread uses this object.
        std::unique_lock<std::mutex> guard(pendingMutex_);
        pendingIdle_.wait(guard, [this] { return inFlight_ == 0; });
        pending_.clear();
    }
    Step(*this, "~" + className_).failed(api_.FinishSDK(), "FinishSDK");
}

void CanonDriver::enableCaptureSessions(sdk::EventCallback releaseCallback, void* context) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::lock_guard<std::mutex> state(stateMutex_);
    releaseCallback_ = releaseCallback;
    releaseContext_ = context;
}

bool CanonDriver::ReportError(sdk::Result result, const std::string& step) {
    if (result == sdk::kOk) return false;
    if (log_) log_(step, GetErrorText(result));
    return true;
}

bool CanonDriver::isCaptureSessionModel() const {
    if (releaseCallback_ == nullptr || api_.StartCaptureSession == nullptr) return false;
    return sdk::IsCaptureSessionModel(DeviceName(sourceInfo_));
}

template <class Count, class Next, class Use, class Release>
void CanonDriver::readListing(const Step& step, const Step& itemStep, const std::string& what,
                              sdk::Handle enumeration, Count count, Next next, Use use,
                              Release release) {
    std::uint32_t n = 0;
    if (step.failed(count(enumeration, &n), "Get" + what + "Count")) n = 0;
    n = step.bounded(n, "Get" + what + "Count");
    ReadRun run;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (itemStep.failed(next(enumeration), "Enum" + what + "Next")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        if (!use()) break;
    }
    step.failed(release(enumeration), "Enum" + what + "Release");
}

std::vector<std::string> CanonDriver::GetDevices() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetDevices");
    std::vector<std::string> names;
    sdk::Handle enumeration = 0;
    if (step.failed(api_.EnumDeviceReset(kDeviceKind, &enumeration), "EnumDeviceReset"))
        return names;
    sdk::DeviceRecord record{};
    readListing(
        step, step, "Device", enumeration, api_.GetDeviceCount,
        [&](sdk::Handle e) { return api_.EnumDeviceNext(e, &(record = sdk::DeviceRecord{})); },
        [&] {
            names.push_back(DeviceName(record));
            return true;
        },
        api_.EnumDeviceRelease);
    return names;
}

bool CanonDriver::Connect(const std::string& deviceName, sdk::EventCallback cameraEvent) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "Connect");
    Disconnect();

    sdk::Handle enumeration = 0;
    if (step.failed(api_.EnumDeviceReset(kDeviceKind, &enumeration), "EnumDeviceReset"))
        return false;
    // The matching camera is opened before the listing is released.
    sdk::DeviceRecord record{};
    sdk::DeviceRecord match{};
    sdk::Handle source = 0;
    bool found = false;
    bool openFailed = false;
    readListing(
        step, step, "Device", enumeration, api_.GetDeviceCount,
        [&](sdk::Handle e) { return api_.EnumDeviceNext(e, &(record = sdk::DeviceRecord{})); },
        [&] {
            if (DeviceName(record) != deviceName) return true;
            match = record;
            found = true;
            openFailed = step.failed(api_.OpenSource(&match, &source), "OpenSource");
            return false;
        },
        api_.EnumDeviceRelease);
    // Nothing is open: no call on a null source.
    if (!found || openFailed || source == 0) return false;
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        sourceInfo_ = match;
        source_ = source;
    }

    if (isCaptureSessionModel()) {
        step.failed(api_.StartCaptureSession(source, releaseCallback_, releaseContext_),
                    "StartCaptureSession");
    } else {
        step.failed(api_.EnterReleaseControl(source, nullptr, nullptr), "EnterReleaseControl");
    }
    step.failed(api_.SelectReleaseDataKind(source, kReleaseDataKind), "SelectReleaseDataKind");

    GetProperties();
    GetImageSizes();
    GetImageQualities();
    if (properties_.hasZoom) GetZoomLimits();
    RelistFrom(properties_.hasShootingModes ? Setting::ShootingMode : Setting::AV);

    if (cameraEvent != nullptr) {
        sdk::Handle registration = 0;
        if (step.failed(
                api_.RegisterEventCallbackFunction(source, cameraEvent, nullptr, &registration),
                "RegisterEventCallbackFunction"))
            registration = 0;
        std::lock_guard<std::mutex> state(stateMutex_);
        eventHandle_ = registration;
    }
    return true;
}

void CanonDriver::Disconnect() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "Disconnect");
    const sdk::Handle source = source_;
    if (source != 0) {
        if (eventHandle_ != 0) {
            step.failed(api_.UnregisterEventCallbackFunction(source, eventHandle_),
                        "UnregisterEventCallbackFunction");
        }
        DisableViewfinder();
        std::deque<Pending> lost;
        {
            // Pictures already taken get a bounded time to arrive; after it none is written
            // any more, and one already being written is finished before the session ends:
            // a picture arrives whole or not at all.
            std::unique_lock<std::mutex> pending(pendingMutex_);
            pendingIdle_.wait_for(pending, pictureWait_,
                                  [this] { return pending_.empty() && inFlight_ == 0; });
            lost.swap(pending_);
            pendingIdle_.wait(pending, [this] { return inFlight_ == 0; });
        }
        if (picture_)
            for (const Pending& picture : lost) picture_(picture.path, std::string());
        if (isCaptureSessionModel()) {
            step.failed(api_.EndCaptureSession(source), "EndCaptureSession");
        } else {
            step.failed(api_.ExitReleaseControl(source), "ExitReleaseControl");
        }
        step.failed(api_.CloseSource(source), "CloseSource");
        {
            std::lock_guard<std::mutex> state(stateMutex_);
            sourceInfo_ = sdk::DeviceRecord{};
            source_ = 0;
            eventHandle_ = 0;
        }
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    properties_ = CameraProperties{};
    imageSizes_.clear();
    for (auto& options : lists_) options.clear();
}

void CanonDriver::GetProperties() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetProperties");
    const sdk::Handle source = source_;
    CameraProperties read{};
    sdk::Handle enumeration = 0;
    if (!step.failed(api_.EnumDevicePropertyReset(source, 0, &enumeration),
                     "EnumDevicePropertyReset")) {
        sdk::PropertyRecord record{};
        readListing(
            step, step, "DeviceProperty", enumeration, api_.GetDevicePropertyCount,
            [&](sdk::Handle e) {
                return api_.EnumDevicePropertyNext(e, &(record = sdk::PropertyRecord{}));
            },
            [&] {
                const std::uint32_t id = record.words[1];
                if (id == kSkippedProperty) return true;
                std::uint8_t buffer[kPropertyBufferBytes] = {};
                std::uint32_t size = kPropertyBufferBytes;   // capacity, whatever word 3 says
                if (step.failed(api_.GetDevicePropertyData(source, id, &size, buffer, 0),
                                "GetDevicePropertyData"))
                    return true;
                StoreProperty(read, id, buffer);
                return true;
            },
            api_.EnumDevicePropertyRelease);
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    properties_ = std::move(read);
}

void CanonDriver::GetZoomLimits() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetZoomLimits");
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        zoomFirst_ = 0;
        maxZoomPos_ = 0;
    }
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    if (step.failed(api_.GetMaximumZoomPos(source_, &first, &second), "GetMaximumZoomPos")) {
        first = 0;
        second = 0;
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    zoomFirst_ = first;
    maxZoomPos_ = second;
}

template <class Code, class Reset, class Count, class Next, class Release>
std::vector<SettingOption> CanonDriver::enumerate(const Step& step, const char* what, Reset reset,
                                                  Count count, Next next, Release release,
                                                  const std::vector<SettingOption>& table) {
    std::vector<SettingOption> options;
    const std::string name(what);
    sdk::Handle enumeration = 0;
    if (step.failed(reset(source_, &enumeration), "Enum" + name + "Reset")) return options;
    Code code = 0;
    readListing(
        step, step, name, enumeration, count, [&](sdk::Handle e) { return next(e, &(code = 0)); },
        [&] {
            std::string label = LabelOf(table, code);
            if (!label.empty())
                options.push_back({static_cast<std::uint32_t>(code), std::move(label)});
            return true;
        },
        release);
    return options;
}

#define KESTREL_SIMPLE_ENUMERATION(Operation, Name, CodeType, Slot, Table)                         \
    void CanonDriver::Operation() {                                                                \
        std::lock_guard<std::recursive_mutex> op(lock_);                                           \
        {                                                                                          \
            std::lock_guard<std::mutex> state(stateMutex_);                                        \
            lists_[Slot].clear();                                                                  \
        }                                                                                          \
        auto options = enumerate<CodeType>(Step(*this, #Operation), #Name, api_.Enum##Name##Reset, \
                                           api_.Get##Name##Count, api_.Enum##Name##Next,           \
                                           api_.Enum##Name##Release, Table());                     \
        std::lock_guard<std::mutex> state(stateMutex_);                                            \
        lists_[Slot] = std::move(options);                                                         \
    }

#define KESTREL_VALUE_ENUMERATION(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, \
                                  Offered, Current, Sdk, Code, Words, Listing)                 \
    KESTREL_SIMPLE_ENUMERATION(Listing, Sdk, Code, k##Key, Labels)
KESTREL_VALUE_SETTINGS(KESTREL_VALUE_ENUMERATION)
#undef KESTREL_VALUE_ENUMERATION

#undef KESTREL_SIMPLE_ENUMERATION

void CanonDriver::RelistFrom(Setting first) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    bool reached = false, releaseCamera = false;
#define KESTREL_RELIST_FORMAT(Key, ...) reached = reached || first == Setting::Key;
#define KESTREL_RELIST(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                       Current, Sdk, Code, Words, Listing)                                   \
    reached = reached || first == Setting::Key;                                              \
    if (reached) Listing();
#define KESTREL_RELIST_RELCAM(Key, ...)         \
    reached = reached || first == Setting::Key; \
    releaseCamera = releaseCamera || reached;
    KESTREL_SETTINGS(KESTREL_RELIST_FORMAT, KESTREL_RELIST, KESTREL_RELIST_RELCAM)
#undef KESTREL_RELIST_RELCAM
#undef KESTREL_RELIST
#undef KESTREL_RELIST_FORMAT
    if (releaseCamera) GetOtherModes();
}

void CanonDriver::GetImageSizes() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetImageSizes");
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        imageSizes_.clear();
    }
    std::vector<ImageSizeOption> sizes;
    sdk::Handle enumeration = 0;
    if (step.failed(api_.EnumSupportedImageSizeReset(source_, 0, &enumeration),
                    "EnumSupportedImageSizeReset"))
        return;
    sdk::ImageSizeRecord record{};
    readListing(
        step, step, "SupportedImageSize", enumeration, api_.GetSupportedImageSizeCount,
        [&](sdk::Handle e) {
            return api_.EnumSupportedImageSizeNext(e, &(record = sdk::ImageSizeRecord{}));
        },
        [&] {
            sizes.push_back({LittleEndianHalf(record.bytes), SizeLabel(record), {}});
            return true;
        },
        api_.EnumSupportedImageSizeRelease);
    std::lock_guard<std::mutex> state(stateMutex_);
    imageSizes_ = std::move(sizes);
}

void CanonDriver::GetImageQualities() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetImageQualities");
    sdk::Handle enumeration = 0;
    if (step.failed(api_.EnumImageFormatAttributeReset(source_, &enumeration),
                    "EnumImageFormatAttributeReset"))
        return;
    std::vector<ImageSizeOption> sizes = imageSizes_;
    std::uint32_t quality = 0;
    std::uint32_t size = 0;
    readListing(
        step, step, "ImageFormatAttribute", enumeration, api_.GetImageFormatAttributeCount,
        [&](sdk::Handle e) {
            quality = size = 0;
            return api_.EnumImageFormatAttributeNext(e, &quality, &size);
        },
        [&] {
            std::string label = LabelOf(imageQualityLabels(), quality);
            if (label.empty()) return true;
            for (ImageSizeOption& option : sizes) {
                if (option.code == size) {
                    option.qualities.push_back({quality, std::move(label)});
                    break;
                }
            }
            return true;
        },
        api_.EnumImageFormatAttributeRelease);
    std::lock_guard<std::mutex> state(stateMutex_);
    imageSizes_ = std::move(sizes);
}

void CanonDriver::GetOtherModes() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetOtherModes");
    const sdk::Handle source = source_;
    sdk::Handle settings = 0;
    if (step.failed(api_.EnumRelCamSettingReset(source, &settings), "EnumRelCamSettingReset"))
        return;
    std::uint32_t id = 0;
    readListing(
        step, step, "RelCamSetting", settings, api_.GetRelCamSettingCount,
        [&](sdk::Handle e) { return api_.EnumRelCamSettingNext(e, &(id = 0)); },
        [&] {
            readRelCamSetting(step, id);
            return true;
        },
        api_.EnumRelCamSettingRelease);
}

void CanonDriver::readRelCamSetting(const Step& step, std::uint32_t id) {
    Slot setting;
    const char* tag;
    const std::vector<SettingOption>* table;
    switch (id) {
#define KESTREL_RELCAM_OF(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                          Current, Id)                                                          \
    case Id: setting = k##Key, tag = #Key, table = &Labels(); break;
        KESTREL_RELCAM_SETTINGS(KESTREL_RELCAM_OF)
#undef KESTREL_RELCAM_OF
        default: return;
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        lists_[setting].clear();
    }
    sdk::Handle data = 0;
    std::uint32_t dataSize = 0;
    if (step.failed(api_.EnumRelCamSettingDataReset(source_, id, &data, &dataSize),
                    "EnumRelCamSettingDataReset"))
        return;
    if (dataSize > kMaxCount) {   // not allocated: the setting is left without values
        step.bounded(dataSize, "EnumRelCamSettingDataReset");
        step.failed(api_.EnumRelCamSettingDataRelease(data), "EnumRelCamSettingDataRelease");
        return;
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        dataSizes_[setting] = dataSize;
    }
    // The SDK writes dataSize bytes: give it room for all of them, read the first four.
    std::vector<std::uint8_t> bytes(std::max<std::uint32_t>(dataSize, 4));
    std::vector<SettingOption> options;
    readListing(
        step, Step(*this, step.name() + "::" + tag), "RelCamSettingData", data,
        api_.GetRelCamSettingDataCount,
        [&](sdk::Handle e) {
            std::fill(bytes.begin(), bytes.end(), 0);
            return api_.EnumRelCamSettingDataNext(e, dataSize, bytes.data());
        },
        [&] {
            const std::uint32_t code = LittleEndianWord(bytes.data());
            std::string label = LabelOf(*table, code);
            if (!label.empty()) options.push_back({code, std::move(label)});
            return true;
        },
        api_.EnumRelCamSettingDataRelease);
    std::lock_guard<std::mutex> state(stateMutex_);
    lists_[setting] = std::move(options);
}

}   // namespace camera
