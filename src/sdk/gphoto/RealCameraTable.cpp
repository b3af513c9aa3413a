// The table's entries: each is Route<field>::call, which sends a real handle to the bound
// backend (answering in the real side's own error-text row) and anything else to the slot's
// simulated table.
#include "sdk/gphoto/RealCameraTable.h"

#include "sdk/SettingList.h"
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

using Backend = RealCameraBackend;
using Api = sdk::Api;

sdk::Api MakeTable(const sdk::Api& simulated) {
    sdk::Api table{};
    table.prefix = simulated.prefix;   // the step texts name the slot's SDK
    table.StartSDK = &StartSDK;
    table.FinishSDK = &FinishSDK;
    table.EnumDeviceReset = &EnumDeviceReset;
    table.GetDeviceCount = route<&Api::GetDeviceCount, &Backend::GetDeviceCount>;
    table.EnumDeviceNext = route<&Api::EnumDeviceNext, &Backend::EnumDeviceNext>;
    table.EnumDeviceRelease = route<&Api::EnumDeviceRelease, &Backend::EnumDeviceRelease>;
    table.OpenSource = &OpenSource;
    table.CloseSource = route<&Api::CloseSource, &Backend::CloseSource>;
    table.EnterReleaseControl =
        route<&Api::EnterReleaseControl, pick<&Api::EnterReleaseControl>(&OpenOnly)>;
    table.ExitReleaseControl = route<&Api::ExitReleaseControl, &Backend::ExitReleaseControl>;
    table.SelectReleaseDataKind =
        route<&Api::SelectReleaseDataKind, pick<&Api::SelectReleaseDataKind>(&OpenOnly)>;
    table.RegisterEventCallbackFunction =
        route<&Api::RegisterEventCallbackFunction, &Backend::RegisterEventCallbackFunction>;
    table.UnregisterEventCallbackFunction =
        route<&Api::UnregisterEventCallbackFunction, &Backend::UnregisterEventCallbackFunction>;
    table.Release = route<&Api::Release, &Backend::Release>;
    table.GetReleasedData = route<&Api::GetReleasedData, &Backend::GetReleasedData>;
    table.GetCameraPicture = route<&Api::GetCameraPicture, &Backend::GetCameraPicture>;
    table.GetLiveMagnify = route<&Api::GetLiveMagnify, &Backend::GetLiveMagnify>;
    table.SetLiveMagnify = route<&Api::SetLiveMagnify, &Backend::SetLiveMagnify>;
    table.DriveFocus = route<&Api::DriveFocus, &Backend::DriveFocus>;
    if (simulated.StartCaptureSession != nullptr) {
        table.StartCaptureSession =
            route<&Api::StartCaptureSession, pick<&Api::StartCaptureSession>(&Unsupported)>;
        table.EndCaptureSession =
            route<&Api::EndCaptureSession, pick<&Api::EndCaptureSession>(&Unsupported)>;
        table.Capture = route<&Api::Capture, pick<&Api::Capture>(&Unsupported)>;
        table.TakeCapturedImage =
            route<&Api::TakeCapturedImage, pick<&Api::TakeCapturedImage>(&Unsupported)>;
    }
    table.SelectViewFinderCameraOutput = route<&Api::SelectViewFinderCameraOutput,
                                               pick<&Api::SelectViewFinderCameraOutput>(&OpenOnly)>;
    table.StartViewfinder = route<&Api::StartViewfinder, &Backend::StartViewfinder>;
    table.TermViewfinder = route<&Api::TermViewfinder, &Backend::TermViewfinder>;
#define KESTREL_REAL_SETTING(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                             Current, Sdk, Code, Words, Listing)                                   \
    table.Get##Sdk = route<&Api::Get##Sdk, pick<&Api::Get##Sdk>(&ValueCalls<Setting::Key>::get)>;  \
    table.Set##Sdk = route<&Api::Set##Sdk, pick<&Api::Set##Sdk>(&ValueCalls<Setting::Key>::set)>;  \
    table.Enum##Sdk##Reset = route<&Api::Enum##Sdk##Reset, &ValueCalls<Setting::Key>::choices>;    \
    table.Get##Sdk##Count = route<&Api::Get##Sdk##Count, &Backend::Count>;                         \
    table.Enum##Sdk##Next = route<&Api::Enum##Sdk##Next, &NextCode<Code>>;                         \
    table.Enum##Sdk##Release = route<&Api::Enum##Sdk##Release, &Backend::Forget>;
    KESTREL_VALUE_SETTINGS(KESTREL_REAL_SETTING)
#undef KESTREL_REAL_SETTING
    table.GetRelCamSettingData = route<&Api::GetRelCamSettingData, &Backend::GetRelCamSettingData>;
    table.SetRelCamSettingData = route<&Api::SetRelCamSettingData, &Backend::SetRelCamSettingData>;
    table.GetImageFormatAttribute =
        route<&Api::GetImageFormatAttribute, &Backend::GetImageFormatAttribute>;
    table.SetImageFormatAttribute =
        route<&Api::SetImageFormatAttribute, &Backend::SetImageFormatAttribute>;
    table.AFLock = route<&Api::AFLock, &Backend::AFLock>;
    table.GetZoomPos = route<&Api::GetZoomPos, &Backend::GetZoomPos>;
    table.SetZoomPos = route<&Api::SetZoomPos, &Backend::SetZoomPos>;
    table.GetMaximumZoomPos = route<&Api::GetMaximumZoomPos, &Backend::GetMaximumZoomPos>;
    table.EnumDevicePropertyReset =
        route<&Api::EnumDevicePropertyReset, &Backend::EnumDevicePropertyReset>;
    table.GetDevicePropertyCount = route<&Api::GetDevicePropertyCount, &Backend::Count>;
    table.EnumDevicePropertyNext =
        route<&Api::EnumDevicePropertyNext, &Backend::EnumDevicePropertyNext>;
    table.EnumDevicePropertyRelease = route<&Api::EnumDevicePropertyRelease, &Backend::Forget>;
    table.GetDevicePropertyData =
        route<&Api::GetDevicePropertyData, &Backend::GetDevicePropertyData>;
    table.EnumSupportedImageSizeReset =
        route<&Api::EnumSupportedImageSizeReset, &Backend::EnumSupportedImageSizeReset>;
    table.GetSupportedImageSizeCount = route<&Api::GetSupportedImageSizeCount, &Backend::Count>;
    table.EnumSupportedImageSizeNext =
        route<&Api::EnumSupportedImageSizeNext, &Backend::EnumSupportedImageSizeNext>;
    table.EnumSupportedImageSizeRelease =
        route<&Api::EnumSupportedImageSizeRelease, &Backend::Forget>;
    table.EnumImageFormatAttributeReset =
        route<&Api::EnumImageFormatAttributeReset, &Backend::EnumImageFormatAttributeReset>;
    table.GetImageFormatAttributeCount = route<&Api::GetImageFormatAttributeCount, &Backend::Count>;
    table.EnumImageFormatAttributeNext =
        route<&Api::EnumImageFormatAttributeNext, &Backend::EnumImageFormatAttributeNext>;
    table.EnumImageFormatAttributeRelease =
        route<&Api::EnumImageFormatAttributeRelease, &Backend::Forget>;
    table.EnumRelCamSettingReset =
        route<&Api::EnumRelCamSettingReset, &Backend::EnumRelCamSettingReset>;
    table.GetRelCamSettingCount = route<&Api::GetRelCamSettingCount, &Backend::Count>;
    table.EnumRelCamSettingNext = route<&Api::EnumRelCamSettingNext, &Backend::NextCode>;
    table.EnumRelCamSettingRelease = route<&Api::EnumRelCamSettingRelease, &Backend::Forget>;
    table.EnumRelCamSettingDataReset =
        route<&Api::EnumRelCamSettingDataReset, &Backend::EnumRelCamSettingDataReset>;
    table.GetRelCamSettingDataCount = route<&Api::GetRelCamSettingDataCount, &Backend::Count>;
    table.EnumRelCamSettingDataNext =
        route<&Api::EnumRelCamSettingDataNext, &Backend::EnumRelCamSettingDataNext>;
    table.EnumRelCamSettingDataRelease =
        route<&Api::EnumRelCamSettingDataRelease, &Backend::Forget>;
    return table;
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
