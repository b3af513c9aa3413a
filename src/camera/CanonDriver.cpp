// The driver's life, device listing, connect and disconnect, properties and option lists.
#include "camera/CanonDriver.h"

#include "camera/ErrorText.h"
#include "camera/LabelTables.h"
#include "camera/TextFields.h"

#include <algorithm>
#include <cstring>

namespace camera {

namespace {

constexpr std::uint32_t kDeviceKind = 1;
constexpr std::uint32_t kReleaseDataKind = 2;
constexpr std::uint32_t kSkippedProperty = 0xFFFFFFFF;
constexpr std::uint32_t kPropertyBufferBytes = 32;

std::uint32_t firstWord(const std::uint8_t* buffer) {
    std::uint32_t word = 0;
    std::memcpy(&word, buffer, sizeof word);
    return word;
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

}  // namespace

std::uint32_t CanonDriver::bounded(std::uint32_t count, const char* op,
                                   const std::string& call) {
    if (count <= kMaxCount) return count;
    if (log_) log_(std::string(op) + "::" + api_.prefix + call,
                   "refused count " + std::to_string(count) + " (at most " +
                       std::to_string(kMaxCount) + ")");
    return 0;
}

CanonDriver::CanonDriver(const sdk::Api& api, std::string className, std::uint16_t majorVersion,
                         LogCallback log)
    : api_(api), className_(std::move(className)), log_(std::move(log)) {
    versionRecord_.size = sizeof(sdk::VersionRecord);
    versionRecord_.major = majorVersion;
    versionRecord_.minor = 0;
    failed(api_.StartSDK(&versionRecord_, 0), className_.c_str(), "StartSDK");
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
    failed(api_.FinishSDK(), ("~" + className_).c_str(), "FinishSDK");
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

bool CanonDriver::failed(sdk::Result result, const char* op, const std::string& call) {
    if (result == sdk::kOk) return false;
    return ReportError(result, std::string(op) + "::" + api_.prefix + call);
}

bool CanonDriver::isCaptureSessionModel() const {
    if (releaseCallback_ == nullptr || api_.StartCaptureSession == nullptr) return false;
    const std::string name = DeviceName(sourceInfo_);
    return name == "EOS 20D" || name == "EOS-1Ds Mark II";
}

std::vector<std::string> CanonDriver::GetDevices() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::vector<std::string> names;
    sdk::Handle enumeration = 0;
    if (failed(api_.EnumDeviceReset(kDeviceKind, &enumeration), "GetDevices", "EnumDeviceReset"))
        return names;
    std::uint32_t count = 0;
    if (failed(api_.GetDeviceCount(enumeration, &count), "GetDevices", "GetDeviceCount"))
        count = 0;
    count = bounded(count, "GetDevices", "GetDeviceCount");
    ReadRun run;
    for (std::uint32_t i = 0; i < count; ++i) {
        sdk::DeviceRecord record{};
        if (failed(api_.EnumDeviceNext(enumeration, &record), "GetDevices", "EnumDeviceNext")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        names.push_back(DeviceName(record));
    }
    failed(api_.EnumDeviceRelease(enumeration), "GetDevices", "EnumDeviceRelease");
    return names;
}

bool CanonDriver::Connect(const std::string& deviceName, sdk::EventCallback cameraEvent) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    Disconnect();

    sdk::Handle enumeration = 0;
    if (failed(api_.EnumDeviceReset(kDeviceKind, &enumeration), "Connect", "EnumDeviceReset"))
        return false;
    std::uint32_t count = 0;
    if (failed(api_.GetDeviceCount(enumeration, &count), "Connect", "GetDeviceCount")) count = 0;
    count = bounded(count, "Connect", "GetDeviceCount");
    sdk::DeviceRecord match{};
    bool found = false;
    ReadRun run;
    for (std::uint32_t i = 0; i < count && !found; ++i) {
        sdk::DeviceRecord record{};
        if (failed(api_.EnumDeviceNext(enumeration, &record), "Connect", "EnumDeviceNext")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        if (DeviceName(record) == deviceName) {
            match = record;
            found = true;
        }
    }
    if (!found) {
        failed(api_.EnumDeviceRelease(enumeration), "Connect", "EnumDeviceRelease");
        return false;
    }
    sdk::Handle source = 0;
    const bool openFailed = failed(api_.OpenSource(&match, &source), "Connect", "OpenSource");
    failed(api_.EnumDeviceRelease(enumeration), "Connect", "EnumDeviceRelease");
    if (openFailed || source == 0) return false;   // nothing is open: no call on a null source
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        sourceInfo_ = match;
        source_ = source;
    }

    if (isCaptureSessionModel()) {
        failed(api_.StartCaptureSession(source, releaseCallback_, releaseContext_), "Connect",
               "StartCaptureSession");
    } else {
        failed(api_.EnterReleaseControl(source, nullptr, nullptr), "Connect",
               "EnterReleaseControl");
    }
    failed(api_.SelectReleaseDataKind(source, kReleaseDataKind), "Connect",
           "SelectReleaseDataKind");

    GetProperties();
    GetImageSizes();
    GetImageQualities();
    if (properties_.hasZoom) GetZoomLimits();
    if (properties_.hasShootingModes) GetShootingModes();
    GetAVModes();
    GetTVModes();
    GetExposures();
    GetWBValues();
    GetAFDistances();
    GetFlashModes();
    GetOtherModes();

    if (cameraEvent != nullptr) {
        sdk::Handle registration = 0;
        if (failed(api_.RegisterEventCallbackFunction(source, cameraEvent, nullptr, &registration),
                   "Connect", "RegisterEventCallbackFunction"))
            registration = 0;
        std::lock_guard<std::mutex> state(stateMutex_);
        eventHandle_ = registration;
    }
    return true;
}

void CanonDriver::Disconnect() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const sdk::Handle source = source_;
    if (source != 0) {
        if (eventHandle_ != 0) {
            failed(api_.UnregisterEventCallbackFunction(source, eventHandle_), "Disconnect",
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
            failed(api_.EndCaptureSession(source), "Disconnect", "EndCaptureSession");
        } else {
            failed(api_.ExitReleaseControl(source), "Disconnect", "ExitReleaseControl");
        }
        failed(api_.CloseSource(source), "Disconnect", "CloseSource");
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
    const sdk::Handle source = source_;
    CameraProperties read{};
    sdk::Handle enumeration = 0;
    if (!failed(api_.EnumDevicePropertyReset(source, 0, &enumeration), "GetProperties",
                "EnumDevicePropertyReset")) {
        std::uint32_t count = 0;
        if (failed(api_.GetDevicePropertyCount(enumeration, &count), "GetProperties",
                   "GetDevicePropertyCount"))
            count = 0;
        count = bounded(count, "GetProperties", "GetDevicePropertyCount");
        ReadRun run;
        for (std::uint32_t i = 0; i < count; ++i) {
            sdk::PropertyRecord record{};
            if (failed(api_.EnumDevicePropertyNext(enumeration, &record), "GetProperties",
                       "EnumDevicePropertyNext")) {
                if (run.failedRead()) break;
                continue;
            }
            run.goodRead();
            const std::uint32_t id = record.words[1];
            if (id == kSkippedProperty) continue;
            std::uint8_t buffer[kPropertyBufferBytes] = {};
            std::uint32_t size = kPropertyBufferBytes;   // the buffer's capacity, whatever word 3
            if (failed(api_.GetDevicePropertyData(source, id, &size, buffer, 0), "GetProperties",
                       "GetDevicePropertyData"))
                continue;
            switch (id) {
            case sdk::kPropName:
                read.name = BoundedText(buffer, sizeof buffer);
                break;
            case sdk::kPropCapabilities: {
                const std::uint32_t bits = firstWord(buffer);
                read.hasZoom = (bits & 1u) != 0;
                read.hasShootingModes = (bits & 2u) != 0;
                read.hasViewfinder = (bits & 4u) != 0;
                break;
            }
            case sdk::kPropOwner:
                read.ownerName = BoundedText(buffer, sizeof buffer);
                break;
            case sdk::kPropFirmware:
                read.firmware = LastWord(BoundedText(buffer, sizeof buffer));
                break;
            case sdk::kPropBattery:
                read.batteryLevel = firstWord(buffer);
                break;
            default:
                break;
            }
        }
        failed(api_.EnumDevicePropertyRelease(enumeration), "GetProperties",
               "EnumDevicePropertyRelease");
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    properties_ = std::move(read);
}

void CanonDriver::GetZoomLimits() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        zoomFirst_ = 0;
        maxZoomPos_ = 0;
    }
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    if (failed(api_.GetMaximumZoomPos(source_, &first, &second), "GetZoomLimits",
               "GetMaximumZoomPos")) {
        first = 0;
        second = 0;
    }
    std::lock_guard<std::mutex> state(stateMutex_);
    zoomFirst_ = first;
    maxZoomPos_ = second;
}

template <class Code, class Reset, class Count, class Next, class Release>
std::vector<SettingOption> CanonDriver::enumerate(const char* op, const char* what, Reset reset,
                                                  Count count, Next next, Release release,
                                                  const std::vector<SettingOption>& table) {
    std::vector<SettingOption> options;
    const std::string name(what);
    sdk::Handle enumeration = 0;
    if (failed(reset(source_, &enumeration), op, "Enum" + name + "Reset")) return options;
    std::uint32_t n = 0;
    if (failed(count(enumeration, &n), op, "Get" + name + "Count")) n = 0;
    n = bounded(n, op, "Get" + name + "Count");
    for (std::uint32_t i = 0; i < n; ++i) {
        Code code = 0;
        if (failed(next(enumeration, &code), op, "Enum" + name + "Next")) continue;
        std::string label = LabelOf(table, code);
        if (!label.empty()) options.push_back({static_cast<std::uint32_t>(code), std::move(label)});
    }
    failed(release(enumeration), op, "Enum" + name + "Release");
    return options;
}

#define KESTREL_SIMPLE_ENUMERATION(Operation, Name, CodeType, Slot, Table)                     \
    void CanonDriver::Operation() {                                                            \
        std::lock_guard<std::recursive_mutex> op(lock_);                                       \
        {                                                                                      \
            std::lock_guard<std::mutex> state(stateMutex_);                                    \
            lists_[Slot].clear();                                                              \
        }                                                                                      \
        auto options = enumerate<CodeType>(#Operation, #Name, api_.Enum##Name##Reset,          \
                                           api_.Get##Name##Count, api_.Enum##Name##Next,       \
                                           api_.Enum##Name##Release, Table());                 \
        std::lock_guard<std::mutex> state(stateMutex_);                                        \
        lists_[Slot] = std::move(options);                                                     \
    }

KESTREL_SIMPLE_ENUMERATION(GetShootingModes, ShootingMode, std::uint32_t, kShootingMode,
                           shootingModeLabels)
KESTREL_SIMPLE_ENUMERATION(GetAVModes, AvValue, std::uint16_t, kAV, avLabels)
KESTREL_SIMPLE_ENUMERATION(GetTVModes, TvValue, std::uint16_t, kTV, tvLabels)
KESTREL_SIMPLE_ENUMERATION(GetExposures, ExposureComp, std::uint16_t, kExposure, exposureLabels)
KESTREL_SIMPLE_ENUMERATION(GetWBValues, WBSetting, std::uint16_t, kWhiteBalance,
                           whiteBalanceLabels)
KESTREL_SIMPLE_ENUMERATION(GetAFDistances, AFDistanceSetting, std::uint16_t, kAFDistance,
                           afDistanceLabels)
KESTREL_SIMPLE_ENUMERATION(GetFlashModes, FlashSetting, std::uint16_t, kFlash, flashLabels)

#undef KESTREL_SIMPLE_ENUMERATION

void CanonDriver::GetImageSizes() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        imageSizes_.clear();
    }
    std::vector<ImageSizeOption> sizes;
    sdk::Handle enumeration = 0;
    if (failed(api_.EnumSupportedImageSizeReset(source_, 0, &enumeration), "GetImageSizes",
               "EnumSupportedImageSizeReset"))
        return;
    std::uint32_t count = 0;
    if (failed(api_.GetSupportedImageSizeCount(enumeration, &count), "GetImageSizes",
               "GetSupportedImageSizeCount"))
        count = 0;
    count = bounded(count, "GetImageSizes", "GetSupportedImageSizeCount");
    ReadRun run;
    for (std::uint32_t i = 0; i < count; ++i) {
        sdk::ImageSizeRecord record{};
        if (failed(api_.EnumSupportedImageSizeNext(enumeration, &record), "GetImageSizes",
                   "EnumSupportedImageSizeNext")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        std::uint16_t code = 0;
        std::memcpy(&code, record.bytes, sizeof code);
        sizes.push_back({code, SizeLabel(record), {}});
    }
    failed(api_.EnumSupportedImageSizeRelease(enumeration), "GetImageSizes",
           "EnumSupportedImageSizeRelease");
    std::lock_guard<std::mutex> state(stateMutex_);
    imageSizes_ = std::move(sizes);
}

void CanonDriver::GetImageQualities() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    sdk::Handle enumeration = 0;
    if (failed(api_.EnumImageFormatAttributeReset(source_, &enumeration), "GetImageQualities",
               "EnumImageFormatAttributeReset"))
        return;
    std::vector<ImageSizeOption> sizes = imageSizes_;
    std::uint32_t count = 0;
    if (failed(api_.GetImageFormatAttributeCount(enumeration, &count), "GetImageQualities",
               "GetImageFormatAttributeCount"))
        count = 0;
    count = bounded(count, "GetImageQualities", "GetImageFormatAttributeCount");
    ReadRun run;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t quality = 0;
        std::uint32_t size = 0;
        if (failed(api_.EnumImageFormatAttributeNext(enumeration, &quality, &size),
                   "GetImageQualities", "EnumImageFormatAttributeNext")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        std::string label = LabelOf(imageQualityLabels(), quality);
        if (label.empty()) continue;
        for (ImageSizeOption& option : sizes) {
            if (option.code == size) {
                option.qualities.push_back({quality, std::move(label)});
                break;
            }
        }
    }
    failed(api_.EnumImageFormatAttributeRelease(enumeration), "GetImageQualities",
           "EnumImageFormatAttributeRelease");
    std::lock_guard<std::mutex> state(stateMutex_);
    imageSizes_ = std::move(sizes);
}

void CanonDriver::GetOtherModes() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const sdk::Handle source = source_;
    sdk::Handle settings = 0;
    if (failed(api_.EnumRelCamSettingReset(source, &settings), "GetOtherModes",
               "EnumRelCamSettingReset"))
        return;
    std::uint32_t count = 0;
    if (failed(api_.GetRelCamSettingCount(settings, &count), "GetOtherModes",
               "GetRelCamSettingCount"))
        count = 0;
    count = bounded(count, "GetOtherModes", "GetRelCamSettingCount");
    ReadRun run;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t id = 0;
        if (failed(api_.EnumRelCamSettingNext(settings, &id), "GetOtherModes",
                   "EnumRelCamSettingNext")) {
            if (run.failedRead()) break;
            continue;
        }
        run.goodRead();
        Slot setting;
        const char* tag;
        const std::vector<SettingOption>* table;
        if (id == sdk::kSettingMeter) {
            setting = kMeter, tag = "Meter", table = &meterLabels();
        } else if (id == sdk::kSettingIso) {
            setting = kISO, tag = "ISO", table = &isoLabels();
        } else if (id == sdk::kSettingEffect) {
            setting = kEffect, tag = "Effect", table = &effectLabels();
        } else {
            continue;
        }
        {
            std::lock_guard<std::mutex> state(stateMutex_);
            lists_[setting].clear();
        }
        sdk::Handle data = 0;
        std::uint32_t dataSize = 0;
        if (failed(api_.EnumRelCamSettingDataReset(source, id, &data, &dataSize), "GetOtherModes",
                   "EnumRelCamSettingDataReset"))
            continue;
        if (dataSize > kMaxCount) {   // not allocated: the setting is left without values
            bounded(dataSize, "GetOtherModes", "EnumRelCamSettingDataReset");
            failed(api_.EnumRelCamSettingDataRelease(data), "GetOtherModes",
                   "EnumRelCamSettingDataRelease");
            continue;
        }
        {
            std::lock_guard<std::mutex> state(stateMutex_);
            dataSizeOf(setting) = dataSize;
        }
        std::uint32_t values = 0;
        if (failed(api_.GetRelCamSettingDataCount(data, &values), "GetOtherModes",
                   "GetRelCamSettingDataCount"))
            values = 0;
        values = bounded(values, "GetOtherModes", "GetRelCamSettingDataCount");
        const std::string nextStep = std::string("GetOtherModes::") + tag;
        // The SDK writes dataSize bytes: give it room for all of them, read the first four.
        std::vector<std::uint8_t> item(std::max<std::uint32_t>(dataSize, 4));
        std::vector<SettingOption> options;
        ReadRun run;
        for (std::uint32_t v = 0; v < values; ++v) {
            std::fill(item.begin(), item.end(), 0);
            if (failed(api_.EnumRelCamSettingDataNext(data, dataSize, item.data()),
                       nextStep.c_str(), "EnumRelCamSettingDataNext")) {
                if (run.failedRead()) break;
                continue;
            }
            run.goodRead();
            const std::uint32_t code = LittleEndianWord(item.data());
            std::string label = LabelOf(*table, code);
            if (!label.empty()) options.push_back({code, std::move(label)});
        }
        failed(api_.EnumRelCamSettingDataRelease(data), "GetOtherModes",
               "EnumRelCamSettingDataRelease");
        std::lock_guard<std::mutex> state(stateMutex_);
        lists_[setting] = std::move(options);
    }
    failed(api_.EnumRelCamSettingRelease(settings), "GetOtherModes", "EnumRelCamSettingRelease");
}

std::uint32_t& CanonDriver::dataSizeOf(Slot setting) {
    return setting == kMeter ? meterDataSize_ : setting == kISO ? isoDataSize_ : effectDataSize_;
}

}  // namespace camera
