// Test support for the driver tests: log sink, spying SDK table, fixture.
#include "support/DriverTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <random>

namespace testsupport {

camera::LogCallback LogSink::callback() {
    return [this](const std::string& step, const std::string& text) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.emplace_back(step, text);
    };
}

std::vector<Entry> LogSink::entries() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return entries_;
}

std::vector<std::string> LogSink::steps() const {
    std::vector<std::string> out;
    for (const auto& entry : entries()) out.push_back(entry.first);
    return out;
}

void LogSink::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    entries_.clear();
}

namespace {

std::mutex spyMutex;
std::condition_variable spyReturned;
std::vector<SpyCall> spyLog;
std::vector<std::string> spyReturns;

void returned(std::string call) {
    std::lock_guard<std::mutex> guard(spyMutex);
    spyReturns.push_back(std::move(call));
    spyReturned.notify_all();
}

SpyCall make(std::string call, std::uint32_t option = 0, std::uint32_t extra = 0,
             bool hasCallback = false, const void* context = nullptr) {
    SpyCall out;
    out.call = std::move(call);
    out.option = option;
    out.extra = extra;
    out.hasCallback = hasCallback;
    out.context = context;
    return out;
}

void record(SpyCall call) {
    std::lock_guard<std::mutex> guard(spyMutex);
    spyLog.push_back(std::move(call));
}

// One spying table per simulated SDK; Index 0 wraps the CD table, 1 the RC table.
template <int Index>
struct Spy {
    static inline const sdk::Api* base = nullptr;
    static inline sdk::Api table{};

    static std::string name(const char* call) { return std::string(base->prefix) + call; }

    static sdk::Result StartSDK(const sdk::VersionRecord* version, std::uint32_t option) {
        SpyCall c = make(name("StartSDK"), option, version->major);
        c.bytes.assign(reinterpret_cast<const std::uint8_t*>(version),
                       reinterpret_cast<const std::uint8_t*>(version) + sizeof *version);
        record(std::move(c));
        return base->StartSDK(version, option);
    }
    static sdk::Result EnumDeviceReset(std::uint32_t kind, sdk::Handle* enumeration) {
        record(make(name("EnumDeviceReset"), kind));
        return base->EnumDeviceReset(kind, enumeration);
    }
    static sdk::Result EnterReleaseControl(sdk::Handle source, sdk::EventCallback callback,
                                           void* context) {
        record(make(name("EnterReleaseControl"), 0, 0, callback != nullptr, context));
        return base->EnterReleaseControl(source, callback, context);
    }
    static sdk::Result SelectReleaseDataKind(sdk::Handle source, std::uint32_t kind) {
        record(make(name("SelectReleaseDataKind"), kind));
        return base->SelectReleaseDataKind(source, kind);
    }
    static sdk::Result RegisterEventCallbackFunction(sdk::Handle source,
                                                     sdk::EventCallback callback, void* context,
                                                     sdk::Handle* registration) {
        record(make(name("RegisterEventCallbackFunction"), 0, 0, callback != nullptr, context));
        return base->RegisterEventCallbackFunction(source, callback, context, registration);
    }
    static sdk::Result Release(sdk::Handle source, std::uint32_t sync,
                               sdk::ProgressCallback progress, void* context, std::uint32_t option,
                               std::uint32_t* count) {
        record(make(name("Release"), option, sync, progress != nullptr, context));
        return base->Release(source, sync, progress, context, option, count);
    }
    static sdk::Result GetReleasedData(sdk::Handle source, sdk::ProgressCallback progress,
                                       void* context, std::uint32_t option, sdk::ImageInfo* info,
                                       const sdk::StorageMedium* medium) {
        SpyCall c =
            make(name("GetReleasedData"), option, medium->kind, progress != nullptr, context);
        c.path = medium->path ? medium->path : "";
        record(std::move(c));
        return base->GetReleasedData(source, progress, context, option, info, medium);
    }
    static sdk::Result StartCaptureSession(sdk::Handle source, sdk::EventCallback callback,
                                           void* context) {
        record(make(name("StartCaptureSession"), 0, 0, callback != nullptr, context));
        return base->StartCaptureSession(source, callback, context);
    }
    static sdk::Result TakeCapturedImage(sdk::Handle source, sdk::ProgressCallback progress,
                                         void* context, std::uint32_t option, const void* eventData,
                                         const sdk::StorageMedium* medium) {
        SpyCall c =
            make(name("TakeCapturedImage"), option, medium->kind, progress != nullptr, eventData);
        c.path = medium->path ? medium->path : "";
        record(std::move(c));
        const sdk::Result result =
            base->TakeCapturedImage(source, progress, context, option, eventData, medium);
        returned(name("TakeCapturedImage"));
        return result;
    }
    static sdk::Result SelectViewFinderCameraOutput(sdk::Handle source, std::uint32_t output) {
        record(make(name("SelectViewFinderCameraOutput"), output));
        return base->SelectViewFinderCameraOutput(source, output);
    }
    static sdk::Result StartViewfinder(sdk::Handle source, std::uint32_t format,
                                       sdk::FrameCallback callback, void* context) {
        record(make(name("StartViewfinder"), format, 0, callback != nullptr, context));
        return base->StartViewfinder(source, format, callback, context);
    }
    static sdk::Result SetFlashSetting(sdk::Handle source, std::uint16_t code,
                                       std::uint16_t second) {
        record(make(name("SetFlashSetting"), code, second));
        return base->SetFlashSetting(source, code, second);
    }
    static sdk::Result SetRelCamSettingData(sdk::Handle source, std::uint32_t id,
                                            std::uint32_t dataSize, const void* data) {
        SpyCall c = make(name("SetRelCamSettingData"), dataSize, id);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        c.bytes.assign(bytes, bytes + dataSize);
        record(std::move(c));
        return base->SetRelCamSettingData(source, id, dataSize, data);
    }
    static sdk::Result GetRelCamSettingData(sdk::Handle source, std::uint32_t id,
                                            std::uint32_t* dataSize, void* data) {
        record(make(name("GetRelCamSettingData"), *dataSize, id));
        return base->GetRelCamSettingData(source, id, dataSize, data);
    }
    static sdk::Result AFLock(sdk::Handle source, std::uint16_t lock) {
        record(make(name("AFLock"), lock));
        return base->AFLock(source, lock);
    }
    static sdk::Result GetDevicePropertyData(sdk::Handle source, std::uint32_t id,
                                             std::uint32_t* size, void* buffer,
                                             std::uint32_t option) {
        record(make(name("GetDevicePropertyData"), *size, id));
        return base->GetDevicePropertyData(source, id, size, buffer, option);
    }

    static const sdk::Api& build(const sdk::Api& original) {
        if (base == &original) return table;   // built once; drivers keep a reference
        base = &original;
        table = original;
        table.StartSDK = &StartSDK;
        table.EnumDeviceReset = &EnumDeviceReset;
        table.EnterReleaseControl = &EnterReleaseControl;
        table.SelectReleaseDataKind = &SelectReleaseDataKind;
        table.RegisterEventCallbackFunction = &RegisterEventCallbackFunction;
        table.Release = &Release;
        table.GetReleasedData = &GetReleasedData;
        if (original.StartCaptureSession) table.StartCaptureSession = &StartCaptureSession;
        if (original.TakeCapturedImage) table.TakeCapturedImage = &TakeCapturedImage;
        table.SelectViewFinderCameraOutput = &SelectViewFinderCameraOutput;
        table.StartViewfinder = &StartViewfinder;
        table.SetFlashSetting = &SetFlashSetting;
        table.SetRelCamSettingData = &SetRelCamSettingData;
        table.GetRelCamSettingData = &GetRelCamSettingData;
        table.AFLock = &AFLock;
        table.GetDevicePropertyData = &GetDevicePropertyData;
        return table;
    }
};

}   // namespace

const sdk::Api& spyApi(sim::Simulator& simulator) {
    if (&simulator == &sim::Simulator::cd()) return Spy<0>::build(simulator.api());
    return Spy<1>::build(simulator.api());
}

std::vector<SpyCall> spyCalls(const std::string& callWithPrefix) {
    std::lock_guard<std::mutex> guard(spyMutex);
    std::vector<SpyCall> out;
    for (const SpyCall& call : spyLog) {
        if (call.call == callWithPrefix) out.push_back(call);
    }
    return out;
}

void clearSpy() {
    std::lock_guard<std::mutex> guard(spyMutex);
    spyLog.clear();
    spyReturns.clear();
}

bool waitForReturns(const std::string& callWithPrefix, std::size_t count) {
    std::unique_lock<std::mutex> guard(spyMutex);
    return spyReturned.wait_for(guard, std::chrono::seconds(120), [&] {
        return static_cast<std::size_t>(
                   std::count(spyReturns.begin(), spyReturns.end(), callWithPrefix)) >= count;
    });
}

std::vector<std::string> callNames(const sim::Simulator& simulator) {
    std::vector<std::string> names;
    for (const sim::Call& call : simulator.journal()) names.push_back(call.name);
    return names;
}

void DriverTest::SetUp() {
    ResetSimulators(Frames::Pushed);
    clearSpy();
}

void DriverTest::TearDown() {
    ResetSimulators();
    clearSpy();
}

std::unique_ptr<camera::CanonSDK> DriverTest::makeCd() {
    return std::make_unique<camera::CanonSDK>(spyApi(cd), log.callback());
}

std::unique_ptr<camera::CanonRCSDK> DriverTest::makeRc() {
    return std::make_unique<camera::CanonRCSDK>(spyApi(rc), log.callback());
}

}   // namespace testsupport
