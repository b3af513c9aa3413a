// The table's entries: each is Route<field>::call, which sends a real handle to the bound
// backend (answering in the real side's own error-text row) and anything else to the slot's
// simulated table.
#include "sdk/gphoto/RealCameraTable.h"

#include "sdk/ValueSettings.h"
#include "sdk/gphoto/RealCameraBackend.h"

#include <functional>
#include <stdexcept>

namespace gphoto {

namespace {

using sdk::Handle;
using sdk::Result;
using std::uint16_t;
using std::uint32_t;

// The one backend the table's plain functions reach; set between Bind and ~RealCameraTable.
RealCameraBackend* gBound = nullptr;
// True while a RealCameraTable exists (before Bind too).
bool gClaimed = false;

bool IsReal(Handle handle) { return (handle & kRealBit) != 0; }

template <class Field>
struct FieldOf;
template <class Field>
struct FieldOf<Field sdk::Api::*> {
    using type = Field;
};

// A call whose first argument is a handle. Real is a member of the backend with the table's
// signature, or a function taking the backend first.
template <class Field>
struct Route;
template <class... Args>
struct Route<Result (*)(Handle, Args...)> {
    using BackendCall = Result (*)(RealCameraBackend&, Handle, Args...);

    template <auto Member, auto Real>
    static Result call(Handle handle, Args... args) {
        // The real side's codes read as their own error-text row ("Device Busy" alone).
        if (IsReal(handle)) return sdk::err::OwnRow(std::invoke(Real, *gBound, handle, args...));
        const auto simulatedCall = gBound->simulated().*Member;
        return simulatedCall != nullptr ? simulatedCall(handle, args...) : err::kNotSupported;
    }
};

template <auto Member>
using RouteOf = Route<typename FieldOf<decltype(Member)>::type>;

// The table entry for Member, served on the real side by Real.
template <auto Member, auto Real>
constexpr auto route = &RouteOf<Member>::template call<Member, Real>;

// Of an overloaded or template adapter, the one with Member's arguments.
template <auto Member>
constexpr typename RouteOf<Member>::BackendCall pick(typename RouteOf<Member>::BackendCall call) {
    return call;
}

// Calls a real camera answers by being open, whatever they ask.
template <class... Ignored>
Result OpenOnly(RealCameraBackend& backend, Handle source, Ignored...) {
    return backend.IsOpen(source);
}

// Capture sessions are the simulated RC cameras' own; a real camera never starts one.
template <class... Ignored>
Result Unsupported(RealCameraBackend&, Handle, Ignored...) {
    return err::kNotSupported;
}

// The calls of one value-list setting. Flash's Get and Set carry a second word: read as 0,
// ignored when written.
template <Setting S>
struct ValueCalls {
    static Result get(RealCameraBackend& backend, Handle source, uint32_t* code) {
        return backend.GetValue(source, S, code);
    }
    static Result get(RealCameraBackend& backend, Handle source, uint32_t* code, uint32_t* second) {
        if (second != nullptr) *second = 0;
        return backend.GetValue(source, S, code);
    }
    static Result set(RealCameraBackend& backend, Handle source, uint16_t code) {
        return backend.SetValue(source, S, code);
    }
    static Result set(RealCameraBackend& backend, Handle source, uint16_t code, uint16_t) {
        return backend.SetValue(source, S, code);
    }
    static Result choices(RealCameraBackend& backend, Handle source, Handle* listing) {
        return backend.ListChoices(source, S, listing);
    }
};

// Next of a listing of codes, at the width of the table's code.
template <class Code>
Result NextCode(RealCameraBackend& backend, Handle listing, Code* code) {
    uint32_t value = 0;
    const Result r = backend.NextCode(listing, &value);
    if (r == sdk::kOk && code != nullptr) *code = static_cast<Code>(value);
    return r;
}

Result StartSDK(const sdk::VersionRecord* version, uint32_t option) {
    return gBound->simulated().StartSDK(version, option);
}
Result FinishSDK() { return gBound->simulated().FinishSDK(); }
Result EnumDeviceReset(uint32_t kind, Handle* listing) {
    return gBound->EnumDeviceReset(kind, listing);
}
Result OpenSource(const sdk::DeviceRecord* record, Handle* source) {
    return gBound->OpenSource(record, source);
}

using B = RealCameraBackend;
using A = sdk::Api;

sdk::Api MakeTable(const sdk::Api& simulated) {
    sdk::Api t{};
    t.prefix = simulated.prefix;   // the step texts name the slot's SDK
    t.StartSDK = &StartSDK;
    t.FinishSDK = &FinishSDK;
    t.EnumDeviceReset = &EnumDeviceReset;
    t.GetDeviceCount = route<&A::GetDeviceCount, &B::GetDeviceCount>;
    t.EnumDeviceNext = route<&A::EnumDeviceNext, &B::EnumDeviceNext>;
    t.EnumDeviceRelease = route<&A::EnumDeviceRelease, &B::EnumDeviceRelease>;
    t.OpenSource = &OpenSource;
    t.CloseSource = route<&A::CloseSource, &B::CloseSource>;
    t.EnterReleaseControl =
        route<&A::EnterReleaseControl, pick<&A::EnterReleaseControl>(&OpenOnly)>;
    t.ExitReleaseControl = route<&A::ExitReleaseControl, &B::ExitReleaseControl>;
    t.SelectReleaseDataKind =
        route<&A::SelectReleaseDataKind, pick<&A::SelectReleaseDataKind>(&OpenOnly)>;
    t.RegisterEventCallbackFunction =
        route<&A::RegisterEventCallbackFunction, &B::RegisterEventCallbackFunction>;
    t.UnregisterEventCallbackFunction =
        route<&A::UnregisterEventCallbackFunction, &B::UnregisterEventCallbackFunction>;
    t.Release = route<&A::Release, &B::Release>;
    t.GetReleasedData = route<&A::GetReleasedData, &B::GetReleasedData>;
    t.GetCameraPicture = route<&A::GetCameraPicture, &B::GetCameraPicture>;
    if (simulated.StartCaptureSession != nullptr) {
        t.StartCaptureSession =
            route<&A::StartCaptureSession, pick<&A::StartCaptureSession>(&Unsupported)>;
        t.EndCaptureSession =
            route<&A::EndCaptureSession, pick<&A::EndCaptureSession>(&Unsupported)>;
        t.Capture = route<&A::Capture, pick<&A::Capture>(&Unsupported)>;
        t.TakeCapturedImage =
            route<&A::TakeCapturedImage, pick<&A::TakeCapturedImage>(&Unsupported)>;
    }
    t.SelectViewFinderCameraOutput =
        route<&A::SelectViewFinderCameraOutput, pick<&A::SelectViewFinderCameraOutput>(&OpenOnly)>;
    t.StartViewfinder = route<&A::StartViewfinder, &B::StartViewfinder>;
    t.TermViewfinder = route<&A::TermViewfinder, &B::TermViewfinder>;
#define KESTREL_REAL_SETTING(Key, Sdk, Code, Listing, Labels)                             \
    t.Get##Sdk = route<&A::Get##Sdk, pick<&A::Get##Sdk>(&ValueCalls<Setting::Key>::get)>; \
    t.Set##Sdk = route<&A::Set##Sdk, pick<&A::Set##Sdk>(&ValueCalls<Setting::Key>::set)>; \
    t.Enum##Sdk##Reset = route<&A::Enum##Sdk##Reset, &ValueCalls<Setting::Key>::choices>; \
    t.Get##Sdk##Count = route<&A::Get##Sdk##Count, &B::Count>;                            \
    t.Enum##Sdk##Next = route<&A::Enum##Sdk##Next, &NextCode<Code>>;                      \
    t.Enum##Sdk##Release = route<&A::Enum##Sdk##Release, &B::Forget>;
    KESTREL_VALUE_SETTINGS(KESTREL_REAL_SETTING)
#undef KESTREL_REAL_SETTING
    t.GetRelCamSettingData = route<&A::GetRelCamSettingData, &B::GetRelCamSettingData>;
    t.SetRelCamSettingData = route<&A::SetRelCamSettingData, &B::SetRelCamSettingData>;
    t.GetImageFormatAttribute = route<&A::GetImageFormatAttribute, &B::GetImageFormatAttribute>;
    t.SetImageFormatAttribute = route<&A::SetImageFormatAttribute, &B::SetImageFormatAttribute>;
    t.AFLock = route<&A::AFLock, &B::AFLock>;
    t.GetZoomPos = route<&A::GetZoomPos, &B::GetZoomPos>;
    t.SetZoomPos = route<&A::SetZoomPos, &B::SetZoomPos>;
    t.GetMaximumZoomPos = route<&A::GetMaximumZoomPos, &B::GetMaximumZoomPos>;
    t.EnumDevicePropertyReset = route<&A::EnumDevicePropertyReset, &B::EnumDevicePropertyReset>;
    t.GetDevicePropertyCount = route<&A::GetDevicePropertyCount, &B::Count>;
    t.EnumDevicePropertyNext = route<&A::EnumDevicePropertyNext, &B::EnumDevicePropertyNext>;
    t.EnumDevicePropertyRelease = route<&A::EnumDevicePropertyRelease, &B::Forget>;
    t.GetDevicePropertyData = route<&A::GetDevicePropertyData, &B::GetDevicePropertyData>;
    t.EnumSupportedImageSizeReset =
        route<&A::EnumSupportedImageSizeReset, &B::EnumSupportedImageSizeReset>;
    t.GetSupportedImageSizeCount = route<&A::GetSupportedImageSizeCount, &B::Count>;
    t.EnumSupportedImageSizeNext =
        route<&A::EnumSupportedImageSizeNext, &B::EnumSupportedImageSizeNext>;
    t.EnumSupportedImageSizeRelease = route<&A::EnumSupportedImageSizeRelease, &B::Forget>;
    t.EnumImageFormatAttributeReset =
        route<&A::EnumImageFormatAttributeReset, &B::EnumImageFormatAttributeReset>;
    t.GetImageFormatAttributeCount = route<&A::GetImageFormatAttributeCount, &B::Count>;
    t.EnumImageFormatAttributeNext =
        route<&A::EnumImageFormatAttributeNext, &B::EnumImageFormatAttributeNext>;
    t.EnumImageFormatAttributeRelease = route<&A::EnumImageFormatAttributeRelease, &B::Forget>;
    t.EnumRelCamSettingReset = route<&A::EnumRelCamSettingReset, &B::EnumRelCamSettingReset>;
    t.GetRelCamSettingCount = route<&A::GetRelCamSettingCount, &B::Count>;
    t.EnumRelCamSettingNext = route<&A::EnumRelCamSettingNext, &B::NextCode>;
    t.EnumRelCamSettingRelease = route<&A::EnumRelCamSettingRelease, &B::Forget>;
    t.EnumRelCamSettingDataReset =
        route<&A::EnumRelCamSettingDataReset, &B::EnumRelCamSettingDataReset>;
    t.GetRelCamSettingDataCount = route<&A::GetRelCamSettingDataCount, &B::Count>;
    t.EnumRelCamSettingDataNext =
        route<&A::EnumRelCamSettingDataNext, &B::EnumRelCamSettingDataNext>;
    t.EnumRelCamSettingDataRelease = route<&A::EnumRelCamSettingDataRelease, &B::Forget>;
    return t;
}

// WithoutListing's one table: the table it copies, which its device count asks.
const sdk::Api* gUnlisted = nullptr;

Result NoDevices(Handle listing, uint32_t* count) {
    const Result r = gUnlisted->GetDeviceCount(listing, count);
    if (count != nullptr) *count = 0;
    return r;
}

}   // namespace

RealCameraTable::RealCameraTable() {
    if (gClaimed) throw std::logic_error("RealCameras: only one may exist at a time");
    gClaimed = true;
}

RealCameraTable::~RealCameraTable() {
    gBound = nullptr;
    gClaimed = false;
}

void RealCameraTable::Bind(RealCameraBackend& backend) {
    gBound = &backend;
    api_ = MakeTable(backend.simulated());
}

const sdk::Api& WithoutListing(const sdk::Api& table) {
    static sdk::Api copy;
    if (gUnlisted != nullptr && gUnlisted != &table)
        throw std::logic_error("WithoutListing: already serves another table");
    if (gUnlisted == nullptr) {
        gUnlisted = &table;
        copy = table;
        copy.GetDeviceCount = &NoDevices;
    }
    return copy;
}

}   // namespace gphoto
