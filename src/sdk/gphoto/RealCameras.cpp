// The composite table: real cameras (libgphoto2 session on the camera thread) first, then the
// simulated cameras of the same slot; each call goes where its handle points.
#include "sdk/gphoto/RealCameras.h"

#include "sdk/CaptureFile.h"
#include "sdk/LittleEndian.h"
#include "sdk/Listing.h"
#include "sdk/ValueSettings.h"

#include "sdk/gphoto/CameraThread.h"
#include "sdk/gphoto/Session.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace gphoto {

namespace {

using sdk::Handle;
using sdk::Result;
using std::uint16_t;
using std::uint32_t;

// One listing or option enumeration of the real side (device listings also hold the
// simulated table's own enumeration).
struct Enumeration {
    std::vector<uint32_t> first, second;      // codes (and sizes for image formats)
    std::vector<std::string> labels;          // image size labels
    std::vector<sdk::DeviceRecord> devices;   // real cameras of a device listing
    Handle simulated = 0;                     // the simulated table's device listing
    uint32_t simulatedCount = 0;
    std::size_t next = 0;   // the cursor of sdk::Listings
    std::size_t size() const { return std::max(first.size(), labels.size()); }
};

struct State {
    const sdk::Api* simulated = nullptr;
    Options options;
    std::unique_ptr<CameraThread> thread;
    std::unique_ptr<Session> session;   // lives on the camera thread

    // Guards enumerations, nextHandle, realNames, gone.
    std::mutex mutex;
    sdk::Listings<Enumeration> enumerations;
    Handle nextHandle = kRealBit | 1;
    std::vector<std::string> realNames;   // the latest real listing
    std::vector<Handle> gone;             // sources closed because the camera vanished

    Handle newHandle() {
        std::lock_guard lock(mutex);
        return nextHandle++;
    }
};

State* g = nullptr;

bool isReal(Handle h) { return (h & kRealBit) != 0; }
bool realOn() { return g->options.listing != Listing::Simulated && g->session != nullptr; }
bool simOn() { return g->options.listing != Listing::Real; }

// Runs f(session) on the camera thread.
template <class F>
Result onCamera(F f) {
    if (g->session == nullptr) return err::kNotSupported;
    return g->thread->call([&]() -> Result { return f(*g->session); });
}

// After a change of what streams: preview pace while live view runs, event polling otherwise.
void pace(Session& s) {
    g->thread->setRepeating(
        [] {
            if (g->session) g->session->Tick();
        },
        std::chrono::milliseconds(s.Streaming() ? 33 : 250));
}

Enumeration* findEnum(Handle h) { return g->enumerations.Find(h); }

Result addEnum(Enumeration e, Handle* out) {
    if (out == nullptr) return err::kInvalidParameter;
    const Handle h = g->newHandle();
    std::lock_guard lock(g->mutex);
    g->enumerations.Add(h, std::move(e));
    *out = h;
    return sdk::kOk;
}

// ---- Real side: each has the table's signature and serves tagged handles only ----
struct Real {
    static Result GetDeviceCount(Handle h, uint32_t* n) {
        std::lock_guard lock(g->mutex);
        Enumeration* e = findEnum(h);
        if (e == nullptr || n == nullptr) return err::kInvalidHandle;
        *n = static_cast<uint32_t>(e->devices.size()) + e->simulatedCount;
        return sdk::kOk;
    }
    static Result EnumDeviceNext(Handle h, sdk::DeviceRecord* record) {
        Handle simulated = 0;
        {
            std::lock_guard lock(g->mutex);
            Enumeration* e = findEnum(h);
            if (e == nullptr || record == nullptr) return err::kInvalidHandle;
            if (e->next < e->devices.size()) {
                *record = e->devices[e->next++];
                return sdk::kOk;
            }
            simulated = e->simulated;
        }
        return simulated != 0 ? g->simulated->EnumDeviceNext(simulated, record) : err::kEnumNA;
    }
    static Result EnumDeviceRelease(Handle h) {
        Handle simulated = 0;
        {
            std::lock_guard lock(g->mutex);
            Enumeration* e = findEnum(h);
            if (e == nullptr) return err::kInvalidHandle;
            simulated = e->simulated;
            g->enumerations.Release(h);
        }
        return simulated != 0 ? g->simulated->EnumDeviceRelease(simulated) : sdk::kOk;
    }
    static Result CloseSource(Handle s) {
        return onCamera([s](Session& x) {
            const Result r = x.Close(s);
            pace(x);
            return r;
        });
    }
    static Result Ok(Handle s) {
        return onCamera([s](Session& x) { return x.IsOpen(s) ? sdk::kOk : err::kInvalidHandle; });
    }
    static Result EnterReleaseControl(Handle s, sdk::EventCallback, void*) { return Ok(s); }
    static Result ExitReleaseControl(Handle s) {
        return onCamera([s](Session& x) { return x.Teardown(s); });
    }
    static Result SelectReleaseDataKind(Handle s, uint32_t) { return Ok(s); }
    static Result SelectViewFinderCameraOutput(Handle s, uint32_t) { return Ok(s); }
    static Result RegisterEventCallbackFunction(Handle s, sdk::EventCallback cb, void* c,
                                                Handle* r) {
        const Result result = onCamera([&](Session& x) {
            const Result set = x.SetEvents(s, cb, c);
            pace(x);
            return set;
        });
        if (result == sdk::kOk && r != nullptr) *r = g->newHandle();
        return result;
    }
    static Result UnregisterEventCallbackFunction(Handle s, Handle) {
        return onCamera([s](Session& x) { return x.SetEvents(s, nullptr, nullptr); });
    }
    static Result Release(Handle s, uint32_t, sdk::ProgressCallback, void*, uint32_t,
                          uint32_t* count) {
        uint32_t n = 0;
        const Result r = onCamera([&](Session& x) { return x.Release(s, n); });
        if (count != nullptr) *count = n;
        return r;
    }
    static Result GetReleasedData(Handle s, sdk::ProgressCallback p, void* c, uint32_t,
                                  sdk::ImageInfo*, const sdk::StorageMedium* m) {
        if (m == nullptr || m->path == nullptr) return err::kInvalidParameter;
        const std::string path = m->path;
        std::string saved;
        const Result r = onCamera([&](Session& x) { return x.Download(s, path, p, c, saved); });
        sdk::ReportSaved(m, saved);
        return r;
    }
    static Result GetCameraPicture(Handle s, const char* name, sdk::ProgressCallback p, void* c,
                                   const sdk::StorageMedium* m) {
        if (name == nullptr || m == nullptr || m->path == nullptr) return err::kInvalidParameter;
        const std::string cameraName = name;
        const std::string path = m->path;
        std::string saved;
        const Result r = onCamera(
            [&](Session& x) { return x.DownloadCameraPicture(s, cameraName, path, p, c, saved); });
        sdk::ReportSaved(m, saved);
        return r;
    }
    static Result StartViewfinder(Handle s, uint32_t, sdk::FrameCallback cb, void* c) {
        return onCamera([&](Session& x) {
            const Result r = x.StartViewfinder(s, cb, c);
            pace(x);
            return r;
        });
    }
    static Result TermViewfinder(Handle s) {
        return onCamera([&](Session& x) {
            const Result r = x.StopViewfinder(s);
            pace(x);
            return r;
        });
    }
    static Result get(Handle s, Setting setting, uint32_t* code) {
        uint32_t value = 0;
        const Result r = onCamera([&](Session& x) { return x.Get(s, setting, value); });
        if (code != nullptr) *code = value;
        return r;
    }
    static Result set(Handle s, Setting setting, uint32_t code) {
        return onCamera([&](Session& x) { return x.Set(s, setting, code); });
    }
    static bool relCam(uint32_t id, Setting& setting) {
        if (id == sdk::kSettingMeter) setting = Setting::Meter;
        else if (id == sdk::kSettingIso) setting = Setting::Iso;
        else if (id == sdk::kSettingEffect) setting = Setting::Effect;
        else return false;
        return true;
    }
    static Result GetRelCamSettingData(Handle s, uint32_t id, uint32_t* size, void* data) {
        Setting setting;
        if (!relCam(id, setting)) return err::kNotSupported;
        if (size == nullptr || data == nullptr) return err::kInvalidParameter;
        uint32_t code = 0;
        const Result r = get(s, setting, &code);
        const uint32_t n = std::min<uint32_t>(*size, 4);
        sdk::WriteLeField(static_cast<std::uint8_t*>(data), n, code);
        *size = n;
        return r;
    }
    static Result SetRelCamSettingData(Handle s, uint32_t id, uint32_t size, const void* data) {
        Setting setting;
        if (!relCam(id, setting)) return err::kNotSupported;
        if (data == nullptr) return err::kInvalidParameter;
        return set(s, setting, sdk::ReadLeField(static_cast<const std::uint8_t*>(data), size));
    }
    static Result GetImageFormatAttribute(Handle s, uint32_t* q, uint32_t* z) {
        uint32_t quality = 0, size = 0;
        const Result r = onCamera([&](Session& x) { return x.GetFormat(s, quality, size); });
        if (q) *q = quality;
        if (z) *z = size;
        return r;
    }
    static Result SetImageFormatAttribute(Handle s, uint16_t q, uint16_t z) {
        return onCamera([&](Session& x) { return x.SetFormat(s, q, z); });
    }
    static Result AFLock(Handle s, uint16_t lock) {
        return onCamera([&](Session& x) { return x.AFLock(s, lock != 0); });
    }
    static Result GetZoomPos(Handle s, uint32_t* p) {
        uint32_t position = 0, first = 0, last = 0;
        const Result r = onCamera([&](Session& x) { return x.Zoom(s, position, first, last); });
        if (p) *p = position;
        return r;
    }
    static Result SetZoomPos(Handle s, uint32_t p) {
        return onCamera([&](Session& x) { return x.SetZoom(s, p); });
    }
    static Result GetMaximumZoomPos(Handle s, uint32_t* a, uint32_t* b) {
        uint32_t position = 0, first = 0, last = 0;
        const Result r = onCamera([&](Session& x) { return x.Zoom(s, position, first, last); });
        if (a) *a = first;
        if (b) *b = last;
        return r;
    }
    static Result EnumDevicePropertyReset(Handle s, uint32_t, Handle* h) {
        std::vector<uint32_t> ids;
        const Result r = onCamera([&](Session& x) { return x.PropertyIds(s, ids); });
        if (r != sdk::kOk) return r;
        Enumeration e;
        e.first = std::move(ids);
        return addEnum(std::move(e), h);
    }
    static Result GetDevicePropertyData(Handle s, uint32_t id, uint32_t* n, void* b, uint32_t) {
        return onCamera([&](Session& x) { return x.PropertyData(s, id, n, b); });
    }
    static Result EnumDevicePropertyNext(Handle h, sdk::PropertyRecord* r) {
        uint32_t id = 0;
        const Result result = next32(h, &id);
        if (result == sdk::kOk && r != nullptr) {
            *r = sdk::PropertyRecord{};
            r->words[1] = id;
            r->words[3] = 32;
        }
        return result;
    }
    static Result choices(Handle s, Setting setting, Handle* h) {
        std::vector<uint32_t> codes;
        const Result r = onCamera([&](Session& x) { return x.Choices(s, setting, codes); });
        if (r != sdk::kOk) return r;
        Enumeration e;
        e.first = std::move(codes);
        return addEnum(std::move(e), h);
    }
    static Result count(Handle h, uint32_t* n) {
        std::lock_guard lock(g->mutex);
        return g->enumerations.Count(h, n);
    }
    // The next item of e; a listing of another kind (no such items) is at its end.
    static Result take(Enumeration& e, const std::size_t items, std::size_t& i) {
        if (const Result r = sdk::Listings<Enumeration>::TakeFrom(e, i)) return r;
        return i < items ? sdk::kOk : err::kEnumNA;
    }
    static Result next32(Handle h, uint32_t* code) {
        std::lock_guard lock(g->mutex);
        Enumeration* e = findEnum(h);
        if (e == nullptr || code == nullptr) return err::kInvalidHandle;
        std::size_t i = 0;
        if (const Result r = take(*e, e->first.size(), i)) return r;
        *code = e->first[i];
        return sdk::kOk;
    }
    template <class Code>
    static Result next(Handle h, Code* code) {
        uint32_t value = 0;
        const Result r = next32(h, &value);
        if (r == sdk::kOk && code != nullptr) *code = static_cast<Code>(value);
        return r;
    }
    static Result release(Handle h) {
        std::lock_guard lock(g->mutex);
        return g->enumerations.Release(h);
    }
    static Result EnumSupportedImageSizeReset(Handle s, uint32_t, Handle* h) {
        std::vector<std::string> labels;
        const Result r = onCamera([&](Session& x) { return x.Sizes(s, labels); });
        if (r != sdk::kOk) return r;
        Enumeration e;
        e.labels = std::move(labels);
        return addEnum(std::move(e), h);
    }
    static Result EnumSupportedImageSizeNext(Handle h, sdk::ImageSizeRecord* record) {
        std::lock_guard lock(g->mutex);
        Enumeration* e = findEnum(h);
        if (e == nullptr || record == nullptr) return err::kInvalidHandle;
        std::size_t i = 0;
        if (const Result r = take(*e, e->labels.size(), i)) return r;
        *record = sdk::ImageSizeRecord{};
        sdk::WriteLe16(record->bytes, static_cast<uint16_t>(i));
        const std::string& label = e->labels[i];
        std::memcpy(record->bytes + sdk::ImageSizeRecord::kLabelOffset, label.data(),
                    std::min(label.size(), sdk::ImageSizeRecord::kLabelCapacity - 1));
        return sdk::kOk;
    }
    static Result EnumImageFormatAttributeReset(Handle s, Handle* h) {
        std::vector<std::pair<uint32_t, uint32_t>> pairs;
        const Result r = onCamera([&](Session& x) { return x.Formats(s, pairs); });
        if (r != sdk::kOk) return r;
        Enumeration e;
        for (const auto& [q, z] : pairs) {
            e.first.push_back(q);
            e.second.push_back(z);
        }
        return addEnum(std::move(e), h);
    }
    static Result EnumImageFormatAttributeNext(Handle h, uint32_t* q, uint32_t* z) {
        std::lock_guard lock(g->mutex);
        Enumeration* e = findEnum(h);
        if (e == nullptr || q == nullptr || z == nullptr) return err::kInvalidHandle;
        std::size_t i = 0;
        if (const Result r = take(*e, e->second.size(), i)) return r;
        *q = e->first[i];
        *z = e->second[i];
        return sdk::kOk;
    }
    static Result EnumRelCamSettingReset(Handle s, Handle* h) {
        const Result r = Ok(s);
        if (r != sdk::kOk) return r;
        Enumeration e;
        e.first = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
        return addEnum(std::move(e), h);
    }
    static Result EnumRelCamSettingDataReset(Handle s, uint32_t id, Handle* h, uint32_t* size) {
        Setting setting;
        if (!relCam(id, setting)) return err::kNotSupported;
        if (size != nullptr) *size = 4;
        return choices(s, setting, h);
    }
    // Capture sessions are the simulated RC cameras' own; a real camera never starts one.
    static Result StartCaptureSession(Handle, sdk::EventCallback, void*) {
        return err::kNotSupported;
    }
    static Result EndCaptureSession(Handle) { return err::kNotSupported; }
    static Result Capture(Handle) { return err::kNotSupported; }
    static Result TakeCapturedImage(Handle, sdk::ProgressCallback, void*, uint32_t, const void*,
                                    const sdk::StorageMedium*) {
        return err::kNotSupported;
    }
    static Result EnumRelCamSettingDataNext(Handle h, uint32_t size, void* code) {
        uint32_t value = 0;
        const Result r = next32(h, &value);
        if (r == sdk::kOk && code != nullptr)
            sdk::WriteLeField(static_cast<std::uint8_t*>(code), std::min<uint32_t>(size, 4), value);
        return r;
    }
};

// A call whose first argument is a handle: tagged ones go to the real side, others to the
// simulated table.
template <auto Member, auto RealFn, class Signature>
struct Route;
template <auto Member, auto RealFn, class... A>
struct Route<Member, RealFn, Result (*)(Handle, A...)> {
    static Result call(Handle h, A... a) {
        // The real side's codes read as their own error-text row ("Device Busy" alone).
        if (isReal(h)) return sdk::err::OwnRow(RealFn(h, a...));
        const auto fn = g->simulated->*Member;
        return fn != nullptr ? fn(h, a...) : err::kNotSupported;
    }
};
#define KESTREL_ROUTE(Name, RealFn) &Route<&sdk::Api::Name, RealFn, decltype(sdk::Api::Name)>::call

// The calls of one value-list setting. Flash's Get and Set carry a second word: read as 0,
// ignored when written.
template <Setting S>
struct Access {
    static Result get(Handle h, uint32_t* c) { return Real::get(h, S, c); }
    static Result get(Handle h, uint32_t* c, uint32_t* second) {
        if (second != nullptr) *second = 0;
        return Real::get(h, S, c);
    }
    static Result set(Handle h, uint16_t c) { return Real::set(h, S, c); }
    static Result set(Handle h, uint16_t c, uint16_t) { return Real::set(h, S, c); }
    static Result choices(Handle h, Handle* e) { return Real::choices(h, S, e); }
};

Result StartSDK(const sdk::VersionRecord* v, uint32_t o) { return g->simulated->StartSDK(v, o); }
Result FinishSDK() { return g->simulated->FinishSDK(); }

Result EnumDeviceReset(uint32_t kind, Handle* out) {
    Enumeration e;
    if (realOn()) {
        std::vector<Device> devices;
        onCamera([&](Session& x) {
            devices = x.Devices();
            return sdk::kOk;
        });
        std::vector<std::string> names;
        for (const Device& d : devices) {
            sdk::DeviceRecord record{};
            std::memcpy(record.bytes + sdk::DeviceRecord::kNameOffset, d.name.data(),
                        std::min(d.name.size(), sdk::DeviceRecord::kNameCapacity - 1));
            e.devices.push_back(record);
            names.push_back(d.name);
        }
        std::lock_guard lock(g->mutex);
        g->realNames = std::move(names);
    }
    if (simOn()) {
        Result r = g->simulated->EnumDeviceReset(kind, &e.simulated);
        if (r != sdk::kOk) return r;
        r = g->simulated->GetDeviceCount(e.simulated, &e.simulatedCount);
        if (r != sdk::kOk) {
            g->simulated->EnumDeviceRelease(e.simulated);
            return r;
        }
    }
    return addEnum(std::move(e), out);
}

Result OpenSource(const sdk::DeviceRecord* record, Handle* source) {
    if (record == nullptr || source == nullptr) return err::kInvalidParameter;
    const char* text =
        reinterpret_cast<const char*>(record->bytes + sdk::DeviceRecord::kNameOffset);
    const std::string name(text, strnlen(text, sdk::DeviceRecord::kNameCapacity));
    bool real = false;
    {
        std::lock_guard lock(g->mutex);
        for (const std::string& n : g->realNames) real = real || n == name;
    }
    if (!real) return g->simulated->OpenSource(record, source);
    const Handle h = g->newHandle();
    const Result r = onCamera([&](Session& x) { return x.Open(name, h); });
    *source = r == sdk::kOk ? h : 0;
    return sdk::err::OwnRow(r);
}

sdk::Api makeApi() {
    sdk::Api a{};
    a.prefix = g->simulated->prefix;   // the step texts name the slot's SDK
    a.StartSDK = &StartSDK;
    a.FinishSDK = &FinishSDK;
    a.EnumDeviceReset = &EnumDeviceReset;
    a.GetDeviceCount = KESTREL_ROUTE(GetDeviceCount, &Real::GetDeviceCount);
    a.EnumDeviceNext = KESTREL_ROUTE(EnumDeviceNext, &Real::EnumDeviceNext);
    a.EnumDeviceRelease = KESTREL_ROUTE(EnumDeviceRelease, &Real::EnumDeviceRelease);
    a.OpenSource = &OpenSource;
    a.CloseSource = KESTREL_ROUTE(CloseSource, &Real::CloseSource);
    a.EnterReleaseControl = KESTREL_ROUTE(EnterReleaseControl, &Real::EnterReleaseControl);
    a.ExitReleaseControl = KESTREL_ROUTE(ExitReleaseControl, &Real::ExitReleaseControl);
    a.SelectReleaseDataKind = KESTREL_ROUTE(SelectReleaseDataKind, &Real::SelectReleaseDataKind);
    a.RegisterEventCallbackFunction =
        KESTREL_ROUTE(RegisterEventCallbackFunction, &Real::RegisterEventCallbackFunction);
    a.UnregisterEventCallbackFunction =
        KESTREL_ROUTE(UnregisterEventCallbackFunction, &Real::UnregisterEventCallbackFunction);
    a.Release = KESTREL_ROUTE(Release, &Real::Release);
    a.GetReleasedData = KESTREL_ROUTE(GetReleasedData, &Real::GetReleasedData);
    a.GetCameraPicture = KESTREL_ROUTE(GetCameraPicture, &Real::GetCameraPicture);
    if (g->simulated->StartCaptureSession != nullptr) {
        a.StartCaptureSession = KESTREL_ROUTE(StartCaptureSession, &Real::StartCaptureSession);
        a.EndCaptureSession = KESTREL_ROUTE(EndCaptureSession, &Real::EndCaptureSession);
        a.Capture = KESTREL_ROUTE(Capture, &Real::Capture);
        a.TakeCapturedImage = KESTREL_ROUTE(TakeCapturedImage, &Real::TakeCapturedImage);
    }
    a.SelectViewFinderCameraOutput =
        KESTREL_ROUTE(SelectViewFinderCameraOutput, &Real::SelectViewFinderCameraOutput);
    a.StartViewfinder = KESTREL_ROUTE(StartViewfinder, &Real::StartViewfinder);
    a.TermViewfinder = KESTREL_ROUTE(TermViewfinder, &Real::TermViewfinder);
// Flash's Get and Set differ from the others': the cast picks Access's overload for each.
#define KESTREL_PICK(Name, Fn) static_cast<decltype(sdk::Api::Name)>(Fn)
#define KESTREL_SETTING(Key, Sdk, Code, Listing, Labels)                                      \
    a.Get##Sdk = KESTREL_ROUTE(Get##Sdk, KESTREL_PICK(Get##Sdk, &Access<Setting::Key>::get)); \
    a.Set##Sdk = KESTREL_ROUTE(Set##Sdk, KESTREL_PICK(Set##Sdk, &Access<Setting::Key>::set)); \
    a.Enum##Sdk##Reset = KESTREL_ROUTE(Enum##Sdk##Reset, &Access<Setting::Key>::choices);     \
    a.Get##Sdk##Count = KESTREL_ROUTE(Get##Sdk##Count, &Real::count);                         \
    a.Enum##Sdk##Next = KESTREL_ROUTE(Enum##Sdk##Next, &Real::next<Code>);                    \
    a.Enum##Sdk##Release = KESTREL_ROUTE(Enum##Sdk##Release, &Real::release);
    KESTREL_VALUE_SETTINGS(KESTREL_SETTING)
#undef KESTREL_SETTING
#undef KESTREL_PICK
    a.GetRelCamSettingData = KESTREL_ROUTE(GetRelCamSettingData, &Real::GetRelCamSettingData);
    a.SetRelCamSettingData = KESTREL_ROUTE(SetRelCamSettingData, &Real::SetRelCamSettingData);
    a.GetImageFormatAttribute =
        KESTREL_ROUTE(GetImageFormatAttribute, &Real::GetImageFormatAttribute);
    a.SetImageFormatAttribute =
        KESTREL_ROUTE(SetImageFormatAttribute, &Real::SetImageFormatAttribute);
    a.AFLock = KESTREL_ROUTE(AFLock, &Real::AFLock);
    a.GetZoomPos = KESTREL_ROUTE(GetZoomPos, &Real::GetZoomPos);
    a.SetZoomPos = KESTREL_ROUTE(SetZoomPos, &Real::SetZoomPos);
    a.GetMaximumZoomPos = KESTREL_ROUTE(GetMaximumZoomPos, &Real::GetMaximumZoomPos);
    a.EnumDevicePropertyReset =
        KESTREL_ROUTE(EnumDevicePropertyReset, &Real::EnumDevicePropertyReset);
    a.GetDevicePropertyCount = KESTREL_ROUTE(GetDevicePropertyCount, &Real::count);
    a.EnumDevicePropertyNext = KESTREL_ROUTE(EnumDevicePropertyNext, &Real::EnumDevicePropertyNext);
    a.EnumDevicePropertyRelease = KESTREL_ROUTE(EnumDevicePropertyRelease, &Real::release);
    a.GetDevicePropertyData = KESTREL_ROUTE(GetDevicePropertyData, &Real::GetDevicePropertyData);
    a.EnumSupportedImageSizeReset =
        KESTREL_ROUTE(EnumSupportedImageSizeReset, &Real::EnumSupportedImageSizeReset);
    a.GetSupportedImageSizeCount = KESTREL_ROUTE(GetSupportedImageSizeCount, &Real::count);
    a.EnumSupportedImageSizeNext =
        KESTREL_ROUTE(EnumSupportedImageSizeNext, &Real::EnumSupportedImageSizeNext);
    a.EnumSupportedImageSizeRelease = KESTREL_ROUTE(EnumSupportedImageSizeRelease, &Real::release);
    a.EnumImageFormatAttributeReset =
        KESTREL_ROUTE(EnumImageFormatAttributeReset, &Real::EnumImageFormatAttributeReset);
    a.GetImageFormatAttributeCount = KESTREL_ROUTE(GetImageFormatAttributeCount, &Real::count);
    a.EnumImageFormatAttributeNext =
        KESTREL_ROUTE(EnumImageFormatAttributeNext, &Real::EnumImageFormatAttributeNext);
    a.EnumImageFormatAttributeRelease =
        KESTREL_ROUTE(EnumImageFormatAttributeRelease, &Real::release);
    a.EnumRelCamSettingReset = KESTREL_ROUTE(EnumRelCamSettingReset, &Real::EnumRelCamSettingReset);
    a.GetRelCamSettingCount = KESTREL_ROUTE(GetRelCamSettingCount, &Real::count);
    a.EnumRelCamSettingNext = KESTREL_ROUTE(EnumRelCamSettingNext, &Real::next32);
    a.EnumRelCamSettingRelease = KESTREL_ROUTE(EnumRelCamSettingRelease, &Real::release);
    a.EnumRelCamSettingDataReset =
        KESTREL_ROUTE(EnumRelCamSettingDataReset, &Real::EnumRelCamSettingDataReset);
    a.GetRelCamSettingDataCount = KESTREL_ROUTE(GetRelCamSettingDataCount, &Real::count);
    a.EnumRelCamSettingDataNext =
        KESTREL_ROUTE(EnumRelCamSettingDataNext, &Real::EnumRelCamSettingDataNext);
    a.EnumRelCamSettingDataRelease = KESTREL_ROUTE(EnumRelCamSettingDataRelease, &Real::release);
    return a;
}

sdk::Api table;

}   // namespace

namespace {
const sdk::Api* unlisted = nullptr;
Result NoDevices(Handle h, uint32_t* n) {
    const Result r = unlisted->GetDeviceCount(h, n);
    if (n != nullptr) *n = 0;
    return r;
}
}   // namespace

const sdk::Api& WithoutListing(const sdk::Api& table) {
    static sdk::Api copy;
    unlisted = &table;
    copy = table;
    copy.GetDeviceCount = &NoDevices;
    return copy;
}

RealCameras::RealCameras(const sdk::Api& simulated, Options options) {
    if (g != nullptr) throw std::logic_error("RealCameras: only one may exist at a time");
    auto state = std::make_unique<State>();
    state->simulated = &simulated;
    state->options = std::move(options);
    state->thread = std::make_unique<CameraThread>();
    if (state->options.listing != Listing::Simulated) {
        SessionOptions so{state->options.autodetect, state->options.cameras, state->options.labels,
                          state->options.note, nullptr};
        so.listChanged = [s = state.get()](Handle gone) {
            {
                std::lock_guard lock(s->mutex);
                s->gone.push_back(gone);
            }
            if (s->options.listChanged) s->options.listChanged();
        };
        State* st = state.get();
        st->thread->call([st, &so] {
            st->session = std::make_unique<Session>(std::move(so));
            return 0;
        });
    }
    g = state.release();
    table = makeApi();
}

RealCameras::~RealCameras() {
    g->thread->setRepeating(nullptr, std::chrono::milliseconds(0));
    g->thread->call([] {
        g->session.reset();
        return 0;
    });
    g->thread.reset();
    delete g;
    g = nullptr;
}

const sdk::Api& RealCameras::api() const { return table; }

bool RealCameras::Vanished(sdk::Handle source) const {
    std::lock_guard lock(g->mutex);
    for (Handle h : g->gone)
        if (h == source) return true;
    return false;
}

}   // namespace gphoto
