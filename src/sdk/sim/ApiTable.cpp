// The two sdk::Api tables: plain static functions, one set per world (a template on whether it
// is the RC world), each sending its call to that world's engine.
#include "sdk/sim/Engine.h"

namespace sim {
namespace {

using sdk::Handle;
using sdk::Result;
using std::uint16_t;
using std::uint32_t;

template <bool RcWorld>
struct WorldCalls {
    static Engine& engine() { return RcWorld ? Engine::Rc() : Engine::Cd(); }
    // Next of a simple enumeration, by the width of its code.
    static Result nextCode(ListingKind k, const char* name, Handle h, uint16_t* c) {
        return engine().nextCode16(k, name, h, c);
    }
    static Result nextCode(ListingKind k, const char* name, Handle h, uint32_t* c) {
        return engine().nextCode32(k, name, h, c);
    }

    static Result StartSDK(const sdk::VersionRecord* v, uint32_t o) {
        return engine().startSdk(v, o);
    }
    static Result FinishSDK() { return engine().finishSdk(); }
    static Result EnumDeviceReset(uint32_t k, Handle* h) { return engine().enumDeviceReset(k, h); }
    static Result GetDeviceCount(Handle h, uint32_t* n) {
        return engine().listingCount(ListingKind::Device, "GetDeviceCount", h, n);
    }
    static Result EnumDeviceNext(Handle h, sdk::DeviceRecord* i) {
        return engine().deviceNext(h, i);
    }
    static Result EnumDeviceRelease(Handle h) {
        return engine().listingRelease(ListingKind::Device, "EnumDeviceRelease", h);
    }
    static Result OpenSource(const sdk::DeviceRecord* i, Handle* s) {
        return engine().openSource(i, s);
    }
    static Result CloseSource(Handle s) { return engine().closeSource(s); }
    static Result EnterReleaseControl(Handle s, sdk::EventCallback cb, void* c) {
        return engine().enterReleaseControl(s, cb, c);
    }
    static Result ExitReleaseControl(Handle s) { return engine().exitReleaseControl(s); }
    static Result SelectReleaseDataKind(Handle s, uint32_t k) {
        return engine().selectReleaseDataKind(s, k);
    }
    static Result RegisterEventCallbackFunction(Handle s, sdk::EventCallback cb, void* c,
                                                Handle* r) {
        return engine().registerEvent(s, cb, c, r);
    }
    static Result UnregisterEventCallbackFunction(Handle s, Handle r) {
        return engine().unregisterEvent(s, r);
    }
    static Result Release(Handle s, uint32_t sync, sdk::ProgressCallback p, void* c, uint32_t o,
                          uint32_t* n) {
        return engine().release(s, sync, p, c, o, n);
    }
    static Result GetReleasedData(Handle s, sdk::ProgressCallback p, void* c, uint32_t o,
                                  sdk::ImageInfo* i, const sdk::StorageMedium* m) {
        return engine().getReleasedData(s, p, c, o, i, m);
    }
    static Result StartCaptureSession(Handle s, sdk::EventCallback cb, void* c) {
        return engine().startCaptureSession(s, cb, c);
    }
    static Result EndCaptureSession(Handle s) { return engine().endCaptureSession(s); }
    static Result Capture(Handle s) { return engine().capture(s); }
    static Result TakeCapturedImage(Handle s, sdk::ProgressCallback p, void* c, uint32_t o,
                                    const void* d, const sdk::StorageMedium* m) {
        return engine().takeCapturedImage(s, p, c, o, d, m);
    }
    static Result SelectViewFinderCameraOutput(Handle s, uint32_t o) {
        return engine().selectViewfinderOutput(s, o);
    }
    static Result StartViewfinder(Handle s, uint32_t f, sdk::FrameCallback cb, void* c) {
        return engine().startViewfinder(s, f, cb, c);
    }
    static Result TermViewfinder(Handle s) { return engine().termViewfinder(s); }

    // Get<Sdk> and Set<Sdk> of each value-list setting, with the words its calls carry.
#define KESTREL_SIM_GET_SET(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                            Current, Sdk, ...)                                                    \
    template <class... Second>                                                                    \
    static Result Get##Sdk(Handle s, uint32_t* c, Second... x) {                                  \
        return engine().getSetting(Setting::Key, "Get" #Sdk, s, c, x...);                         \
    }                                                                                             \
    template <class... Second>                                                                    \
    static Result Set##Sdk(Handle s, uint16_t c, Second... x) {                                   \
        return engine().setSetting(Setting::Key, "Set" #Sdk, s, c, x...);                         \
    }
    KESTREL_VALUE_SETTINGS(KESTREL_SIM_GET_SET)
#undef KESTREL_SIM_GET_SET
    static Result GetRelCamSettingData(Handle s, uint32_t id, uint32_t* n, void* d) {
        return engine().getRelCam(s, id, n, d);
    }
    static Result SetRelCamSettingData(Handle s, uint32_t id, uint32_t n, const void* d) {
        return engine().setRelCam(s, id, n, d);
    }
    static Result GetImageFormatAttribute(Handle s, uint32_t* q, uint32_t* z) {
        return engine().getFormat(s, q, z);
    }
    static Result SetImageFormatAttribute(Handle s, uint16_t q, uint16_t z) {
        return engine().setFormat(s, q, z);
    }
    static Result AFLock(Handle s, uint16_t l) { return engine().afLock(s, l); }
    static Result GetZoomPos(Handle s, uint32_t* p) { return engine().getZoom(s, p); }
    static Result SetZoomPos(Handle s, uint32_t p) { return engine().setZoom(s, p); }
    static Result DriveFocus(Handle s, std::int32_t step) { return engine().driveFocus(s, step); }
    static Result GetMaximumZoomPos(Handle s, uint32_t* a, uint32_t* b) {
        return engine().getMaxZoom(s, a, b);
    }

    static Result EnumDevicePropertyReset(Handle s, uint32_t o, Handle* h) {
        return engine().propertyReset(s, o, h);
    }
    static Result GetDevicePropertyCount(Handle h, uint32_t* n) {
        return engine().listingCount(ListingKind::Property, "GetDevicePropertyCount", h, n);
    }
    static Result EnumDevicePropertyNext(Handle h, sdk::PropertyRecord* r) {
        return engine().propertyNext(h, r);
    }
    static Result EnumDevicePropertyRelease(Handle h) {
        return engine().listingRelease(ListingKind::Property, "EnumDevicePropertyRelease", h);
    }
    static Result GetDevicePropertyData(Handle s, uint32_t id, uint32_t* n, void* b, uint32_t o) {
        return engine().propertyData(s, id, n, b, o);
    }

// One simple enumeration: Reset(source, &enum), Get...Count, Next with a 16- or 32-bit code, Release.
#define KESTREL_SIM_ENUM(Name, Kind, CodeType, NextFn)                                \
    static Result Enum##Name##Reset(Handle s, Handle* h) {                            \
        return engine().listingReset(ListingKind::Kind, "Enum" #Name "Reset", s, h);  \
    }                                                                                 \
    static Result Get##Name##Count(Handle h, uint32_t* n) {                           \
        return engine().listingCount(ListingKind::Kind, "Get" #Name "Count", h, n);   \
    }                                                                                 \
    static Result Enum##Name##Next(Handle h, CodeType* c) {                           \
        return NextFn(ListingKind::Kind, "Enum" #Name "Next", h, c);                  \
    }                                                                                 \
    static Result Enum##Name##Release(Handle h) {                                     \
        return engine().listingRelease(ListingKind::Kind, "Enum" #Name "Release", h); \
    }

#define KESTREL_SIM_VALUE_ENUM(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, \
                               Offered, Current, Sdk, Code, ...)                            \
    KESTREL_SIM_ENUM(Sdk, Key, Code, nextCode)
    KESTREL_VALUE_SETTINGS(KESTREL_SIM_VALUE_ENUM)
#undef KESTREL_SIM_VALUE_ENUM
    KESTREL_SIM_ENUM(RelCamSetting, RelCamSetting, uint32_t, nextCode)
#undef KESTREL_SIM_ENUM

    static Result EnumSupportedImageSizeReset(Handle s, uint32_t o, Handle* h) {
        return engine().imageSizeReset(s, o, h);
    }
    static Result GetSupportedImageSizeCount(Handle h, uint32_t* n) {
        return engine().listingCount(ListingKind::ImageSize, "GetSupportedImageSizeCount", h, n);
    }
    static Result EnumSupportedImageSizeNext(Handle h, sdk::ImageSizeRecord* r) {
        return engine().imageSizeNext(h, r);
    }
    static Result EnumSupportedImageSizeRelease(Handle h) {
        return engine().listingRelease(ListingKind::ImageSize, "EnumSupportedImageSizeRelease", h);
    }
    static Result EnumImageFormatAttributeReset(Handle s, Handle* h) {
        return engine().listingReset(ListingKind::ImageFormat, "EnumImageFormatAttributeReset", s,
                                     h);
    }
    static Result GetImageFormatAttributeCount(Handle h, uint32_t* n) {
        return engine().listingCount(ListingKind::ImageFormat, "GetImageFormatAttributeCount", h,
                                     n);
    }
    static Result EnumImageFormatAttributeNext(Handle h, uint32_t* q, uint32_t* z) {
        return engine().formatNext(h, q, z);
    }
    static Result EnumImageFormatAttributeRelease(Handle h) {
        return engine().listingRelease(ListingKind::ImageFormat, "EnumImageFormatAttributeRelease",
                                       h);
    }
    static Result EnumRelCamSettingDataReset(Handle s, uint32_t id, Handle* h, uint32_t* n) {
        return engine().relCamDataReset(s, id, h, n);
    }
    static Result GetRelCamSettingDataCount(Handle h, uint32_t* n) {
        return engine().listingCount(ListingKind::RelCamSettingData, "GetRelCamSettingDataCount", h,
                                     n);
    }
    static Result EnumRelCamSettingDataNext(Handle h, uint32_t n, void* c) {
        return engine().relCamDataNext(h, n, c);
    }
    static Result EnumRelCamSettingDataRelease(Handle h) {
        return engine().listingRelease(ListingKind::RelCamSettingData,
                                       "EnumRelCamSettingDataRelease", h);
    }
};

template <bool RcWorld>
sdk::Api makeApi() {
    using F = WorldCalls<RcWorld>;
    constexpr bool rc = RcWorld;
    return sdk::Api{
        .prefix = rc ? "RC" : "CD",
        .StartSDK = &F::StartSDK,
        .FinishSDK = &F::FinishSDK,
        .EnumDeviceReset = &F::EnumDeviceReset,
        .GetDeviceCount = &F::GetDeviceCount,
        .EnumDeviceNext = &F::EnumDeviceNext,
        .EnumDeviceRelease = &F::EnumDeviceRelease,
        .OpenSource = &F::OpenSource,
        .CloseSource = &F::CloseSource,
        .EnterReleaseControl = &F::EnterReleaseControl,
        .ExitReleaseControl = &F::ExitReleaseControl,
        .SelectReleaseDataKind = &F::SelectReleaseDataKind,
        .RegisterEventCallbackFunction = &F::RegisterEventCallbackFunction,
        .UnregisterEventCallbackFunction = &F::UnregisterEventCallbackFunction,
        .Release = &F::Release,
        .GetReleasedData = &F::GetReleasedData,
        .StartCaptureSession = rc ? &F::StartCaptureSession : nullptr,
        .EndCaptureSession = rc ? &F::EndCaptureSession : nullptr,
        .Capture = rc ? &F::Capture : nullptr,
        .TakeCapturedImage = rc ? &F::TakeCapturedImage : nullptr,
        .SelectViewFinderCameraOutput = &F::SelectViewFinderCameraOutput,
        .StartViewfinder = &F::StartViewfinder,
        .TermViewfinder = &F::TermViewfinder,
#define KESTREL_SIM_GET_SET_FIELDS(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, \
                                   Offered, Current, Sdk, ...)                                  \
    .Get##Sdk = &F::Get##Sdk, .Set##Sdk = &F::Set##Sdk,
        KESTREL_VALUE_SETTINGS(KESTREL_SIM_GET_SET_FIELDS)
#undef KESTREL_SIM_GET_SET_FIELDS
            .GetRelCamSettingData = &F::GetRelCamSettingData,
        .SetRelCamSettingData = &F::SetRelCamSettingData,
        .GetImageFormatAttribute = &F::GetImageFormatAttribute,
        .SetImageFormatAttribute = &F::SetImageFormatAttribute,
        .AFLock = &F::AFLock,
        .GetZoomPos = &F::GetZoomPos,
        .SetZoomPos = &F::SetZoomPos,
        .GetMaximumZoomPos = &F::GetMaximumZoomPos,
        .EnumDevicePropertyReset = &F::EnumDevicePropertyReset,
        .GetDevicePropertyCount = &F::GetDevicePropertyCount,
        .EnumDevicePropertyNext = &F::EnumDevicePropertyNext,
        .EnumDevicePropertyRelease = &F::EnumDevicePropertyRelease,
        .GetDevicePropertyData = &F::GetDevicePropertyData,
#define KESTREL_SIM_LISTING_FIELDS(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, \
                                   Offered, Current, Sdk, ...)                                  \
    .Enum##Sdk##Reset = &F::Enum##Sdk##Reset, .Get##Sdk##Count = &F::Get##Sdk##Count,           \
    .Enum##Sdk##Next = &F::Enum##Sdk##Next, .Enum##Sdk##Release = &F::Enum##Sdk##Release,
        KESTREL_VALUE_SETTINGS(KESTREL_SIM_LISTING_FIELDS)
#undef KESTREL_SIM_LISTING_FIELDS
            .EnumSupportedImageSizeReset = &F::EnumSupportedImageSizeReset,
        .GetSupportedImageSizeCount = &F::GetSupportedImageSizeCount,
        .EnumSupportedImageSizeNext = &F::EnumSupportedImageSizeNext,
        .EnumSupportedImageSizeRelease = &F::EnumSupportedImageSizeRelease,
        .EnumImageFormatAttributeReset = &F::EnumImageFormatAttributeReset,
        .GetImageFormatAttributeCount = &F::GetImageFormatAttributeCount,
        .EnumImageFormatAttributeNext = &F::EnumImageFormatAttributeNext,
        .EnumImageFormatAttributeRelease = &F::EnumImageFormatAttributeRelease,
        .EnumRelCamSettingReset = &F::EnumRelCamSettingReset,
        .GetRelCamSettingCount = &F::GetRelCamSettingCount,
        .EnumRelCamSettingNext = &F::EnumRelCamSettingNext,
        .EnumRelCamSettingRelease = &F::EnumRelCamSettingRelease,
        .EnumRelCamSettingDataReset = &F::EnumRelCamSettingDataReset,
        .GetRelCamSettingDataCount = &F::GetRelCamSettingDataCount,
        .EnumRelCamSettingDataNext = &F::EnumRelCamSettingDataNext,
        .EnumRelCamSettingDataRelease = &F::EnumRelCamSettingDataRelease,
        .GetCameraPicture = nullptr,   // the simulated cameras take pictures only when asked
        .GetLiveMagnify = nullptr,     // nor do they magnify their live view
        .SetLiveMagnify = nullptr,
        .DriveFocus = &F::DriveFocus,
    };
}

}   // namespace

const sdk::Api& apiTable(bool rc) {
    static const sdk::Api cd = makeApi<false>();
    static const sdk::Api rcApi = makeApi<true>();
    return rc ? rcApi : cd;
}

}   // namespace sim
