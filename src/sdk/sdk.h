// The camera SDK interface: the C function table, records and callbacks the
// camera drivers are written against. One table per SDK ("CD" or "RC").
#pragma once

#include "sdk/SettingList.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sdk {

using Result = std::uint32_t;   // 0 = success, otherwise an error code
using Handle = std::uint32_t;   // opaque; 0 = none

constexpr Result kOk = 0;

// 40 bytes: 16-bit size (40), 16-bit major version (7 CD, 8 RC), 16-bit 0, rest zero.
struct VersionRecord {
    std::uint16_t size = 40;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint8_t reserved[34] = {};
};
static_assert(sizeof(VersionRecord) == 40);

// 400 bytes; the device name is NUL-terminated text from byte 8.
struct DeviceRecord {
    std::uint8_t bytes[400] = {};
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameCapacity = 400 - kNameOffset;   // including the NUL
};
static_assert(sizeof(DeviceRecord) == 400);

// Supported image size: 16-bit size code at byte 0, NUL-terminated label from byte 10.
struct ImageSizeRecord {
    std::uint8_t bytes[64] = {};
    static constexpr std::size_t kLabelOffset = 10;
    static constexpr std::size_t kLabelCapacity = 64 - kLabelOffset;   // including the NUL
};

// Device property record: word 1 is the property id, word 3 the size of its data.
struct PropertyRecord {
    std::uint32_t words[4] = {};
};

// Filled by GetReleasedData; the drivers do not read it.
struct ImageInfo {
    std::uint8_t bytes[64] = {};
};

// Where released data goes: kind 0 (a file), then the NUL-terminated path. The file is never
// written over an existing entry: when the name is taken it goes to the next free number of the
// same "<name>-<NNNN>.<ext>" pattern. With savedPath, the SDK copies the path the file was saved
// under there (NUL-terminated, cut to savedCapacity), or an empty text when nothing was saved.
struct StorageMedium {
    std::uint32_t kind = 0;
    const char* path = nullptr;
    char* savedPath = nullptr;
    std::uint32_t savedCapacity = 0;
};

// The models the RC SDK drives through a capture session: their pictures arrive after the
// release, through release event 34.
constexpr bool IsCaptureSessionModel(std::string_view name) {
    return name == "EOS 20D" || name == "EOS-1Ds Mark II";
}

constexpr std::size_t kFrameHeaderBytes = 54;
constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 240;
constexpr std::size_t kFramePixelBytes = 230400;   // 320 x 240 x 3, BGR, rows bottom-up
constexpr std::size_t kFrameBytes = kFrameHeaderBytes + kFramePixelBytes;

// Property ids.
constexpr std::uint32_t kPropName = 2;
constexpr std::uint32_t kPropCapabilities =
    8;   // bit 0 zoom, bit 1 shooting modes, bit 2 viewfinder, bit 3 magnified live view,
         // bit 4 focus drive (DriveFocus)
constexpr std::uint32_t kPropFirmware = 14;
constexpr std::uint32_t kPropBattery = 15;
constexpr std::uint32_t kPropOwner = 0x800000c;
// The camera's own battery text ("75%", "Full"), where it gives one; shown as it reads.
constexpr std::uint32_t kPropBatteryText = 0x8000010;

// The image quality code of a raw picture (the quality labelled "Lossless"); the others are
// JPEG compressions.
constexpr std::uint32_t kQualityRaw = 4;

// The lens's focus drive (DriveFocus): a step is -3..-1 (towards near) or 1..3 (towards far),
// its size 1 the smallest. A size moves the lens by about kFocusStepUnits[size] of the
// smallest steps (nominal: bodies do not promise the ratio; the simulated lens keeps it).
constexpr int kFocusStepUnits[4] = {0, 1, 4, 16};
constexpr int kMaxFocusStep = 3;

// Release-camera-setting ids.
constexpr std::uint32_t kSettingMeter = 0x8000004;
constexpr std::uint32_t kSettingIso = 0x800000c;
constexpr std::uint32_t kSettingEffect = 0x8000b00;

constexpr std::uint32_t kEventBattery = 1;          // camera event: battery level changed
constexpr std::uint32_t kEventImageCaptured = 34;   // release event of a capture session
// Camera events of the real-camera table; the data of each is sdk/CameraEvent.h's.
// The camera changed a setting by itself (a dial turned on the body); no data.
constexpr std::uint32_t kEventSettingsChanged = 0x101;
// The camera took a picture nobody asked for (its own shutter button, a cable release, its
// interval timer), or the late other file (RAW or JPEG) of a picture a release brought: data
// names the file on the camera, to be fetched with GetCameraPicture.
constexpr std::uint32_t kEventCameraPicture = 0x102;
// The open camera went away (unplugged, switched off): its calls fail from now on; no data.
constexpr std::uint32_t kEventCameraGone = 0x103;

// Callbacks; each returns 0.
using ProgressCallback = Result (*)(std::uint32_t value, std::uint32_t status, void* context);
using EventCallback = Result (*)(std::uint32_t eventId, const void* data, std::uint32_t size,
                                 void* context);
using FrameCallback = Result (*)(void* buffer, std::uint32_t size, std::uint32_t format,
                                 void* context);

// One SDK: every call the drivers use, named after the SDK function without its prefix.
struct Api {
    const char* prefix;   // "CD" or "RC"; step texts name prefix + call name

    Result (*StartSDK)(const VersionRecord* version, std::uint32_t option);
    Result (*FinishSDK)();

    Result (*EnumDeviceReset)(std::uint32_t kind, Handle* enumeration);
    Result (*GetDeviceCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumDeviceNext)(Handle enumeration, DeviceRecord* info);
    Result (*EnumDeviceRelease)(Handle enumeration);

    Result (*OpenSource)(const DeviceRecord* info, Handle* source);
    Result (*CloseSource)(Handle source);

    Result (*EnterReleaseControl)(Handle source, EventCallback callback, void* context);
    Result (*ExitReleaseControl)(Handle source);
    Result (*SelectReleaseDataKind)(Handle source, std::uint32_t kind);

    Result (*RegisterEventCallbackFunction)(Handle source, EventCallback callback, void* context,
                                            Handle* registration);
    Result (*UnregisterEventCallbackFunction)(Handle source, Handle registration);

    Result (*Release)(Handle source, std::uint32_t sync, ProgressCallback progress, void* context,
                      std::uint32_t option, std::uint32_t* count);
    Result (*GetReleasedData)(Handle source, ProgressCallback progress, void* context,
                              std::uint32_t option, ImageInfo* info, const StorageMedium* medium);

    // Capture-session calls; null in the CD table.
    Result (*StartCaptureSession)(Handle source, EventCallback releaseCallback, void* context);
    Result (*EndCaptureSession)(Handle source);
    Result (*Capture)(Handle source);
    Result (*TakeCapturedImage)(Handle source, ProgressCallback progress, void* context,
                                std::uint32_t option, const void* eventData,
                                const StorageMedium* medium);

    Result (*SelectViewFinderCameraOutput)(Handle source, std::uint32_t output);
    Result (*StartViewfinder)(Handle source, std::uint32_t format, FrameCallback callback,
                              void* context);
    Result (*TermViewfinder)(Handle source);

    // The value-list settings' Get and Set, in the list's order (sdk/SettingList.h); Flash's
    // carry a second word besides the code.
#define KESTREL_SDK_GET_1 std::uint32_t* code
#define KESTREL_SDK_GET_2 std::uint32_t *code, std::uint32_t *second
#define KESTREL_SDK_SET_1 std::uint16_t code
#define KESTREL_SDK_SET_2 std::uint16_t code, std::uint16_t second
#define KESTREL_SDK_GET_SET(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                            Current, Sdk, Code, Words, Listing)                                   \
    Result (*Get##Sdk)(Handle source, KESTREL_SDK_GET_##Words);                                   \
    Result (*Set##Sdk)(Handle source, KESTREL_SDK_SET_##Words);
    KESTREL_VALUE_SETTINGS(KESTREL_SDK_GET_SET)
#undef KESTREL_SDK_GET_SET
    // data: dataSize bytes holding the code (little-endian, at most 4 bytes are meaningful)
    Result (*GetRelCamSettingData)(Handle source, std::uint32_t id, std::uint32_t* dataSize,
                                   void* data);
    Result (*SetRelCamSettingData)(Handle source, std::uint32_t id, std::uint32_t dataSize,
                                   const void* data);
    Result (*GetImageFormatAttribute)(Handle source, std::uint32_t* quality, std::uint32_t* size);
    Result (*SetImageFormatAttribute)(Handle source, std::uint16_t quality, std::uint16_t size);

    Result (*AFLock)(Handle source, std::uint16_t lock);
    Result (*GetZoomPos)(Handle source, std::uint32_t* position);
    Result (*SetZoomPos)(Handle source, std::uint32_t position);
    Result (*GetMaximumZoomPos)(Handle source, std::uint32_t* first, std::uint32_t* second);

    Result (*EnumDevicePropertyReset)(Handle source, std::uint32_t option, Handle* enumeration);
    Result (*GetDevicePropertyCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumDevicePropertyNext)(Handle enumeration, PropertyRecord* record);
    Result (*EnumDevicePropertyRelease)(Handle enumeration);
    // size: in, the buffer's capacity; out, the bytes written (never more than the capacity)
    Result (*GetDevicePropertyData)(Handle source, std::uint32_t id, std::uint32_t* size,
                                    void* buffer, std::uint32_t option);

    // Enumerations: Reset(source, &enum), Get...Count(enum, &n), Next, Release(enum).
    // The value-list settings' listings, in the list's order:
    //   Enum<Sdk>Reset, Get<Sdk>Count, Enum<Sdk>Next, Enum<Sdk>Release (sdk/SettingList.h)
#define KESTREL_SDK_LISTING(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                            Current, Sdk, Code, Words, Listing)                                   \
    Result (*Enum##Sdk##Reset)(Handle source, Handle * enumeration);                              \
    Result (*Get##Sdk##Count)(Handle enumeration, std::uint32_t * count);                         \
    Result (*Enum##Sdk##Next)(Handle enumeration, Code * code);                                   \
    Result (*Enum##Sdk##Release)(Handle enumeration);
    KESTREL_VALUE_SETTINGS(KESTREL_SDK_LISTING)
#undef KESTREL_SDK_LISTING

    Result (*EnumSupportedImageSizeReset)(Handle source, std::uint32_t option, Handle* enumeration);
    Result (*GetSupportedImageSizeCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumSupportedImageSizeNext)(Handle enumeration, ImageSizeRecord* record);
    Result (*EnumSupportedImageSizeRelease)(Handle enumeration);

    Result (*EnumImageFormatAttributeReset)(Handle source, Handle* enumeration);
    Result (*GetImageFormatAttributeCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumImageFormatAttributeNext)(Handle enumeration, std::uint32_t* quality,
                                           std::uint32_t* size);
    Result (*EnumImageFormatAttributeRelease)(Handle enumeration);

    Result (*EnumRelCamSettingReset)(Handle source, Handle* enumeration);
    Result (*GetRelCamSettingCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumRelCamSettingNext)(Handle enumeration, std::uint32_t* settingId);
    Result (*EnumRelCamSettingRelease)(Handle enumeration);

    Result (*EnumRelCamSettingDataReset)(Handle source, std::uint32_t settingId,
                                         Handle* enumeration, std::uint32_t* dataSize);
    Result (*GetRelCamSettingDataCount)(Handle enumeration, std::uint32_t* count);
    Result (*EnumRelCamSettingDataNext)(Handle enumeration, std::uint32_t dataSize, void* code);
    Result (*EnumRelCamSettingDataRelease)(Handle enumeration);

    // Null where a table has none: writes the picture the camera announced with
    // kEventCameraPicture (by its name on the camera) to medium's path, with the extension of
    // the file's own kind. May be called from the camera event callback.
    Result (*GetCameraPicture)(Handle source, const char* cameraName, ProgressCallback progress,
                               void* context, const StorageMedium* medium);

    // Null where a table has none: the camera's own magnified live view. factor is 1, 5 or
    // 10; x, y the magnified area's place on the sensor as the camera holds it (a camera keeps
    // the area on its sensor, so a place read back may differ from the one sent). Not
    // supported by a camera that does not offer it (capability bit 3 clear).
    Result (*GetLiveMagnify)(Handle source, std::uint32_t* factor, std::uint32_t* x,
                             std::uint32_t* y);
    Result (*SetLiveMagnify)(Handle source, std::uint32_t factor, std::uint32_t x, std::uint32_t y);

    // Null where a table has none: moves the lens's focus by one step (see kFocusStepUnits;
    // step -3..-1 near, 1..3 far, anything else err::kInvalidParameter). Live view must run
    // (else err::kInvalidFnCall). err::kDeviceBusy while the lens is still moving from the
    // step before; err::kFocusAtLimit when the lens is at its end that way (a step that would
    // pass the end takes the lens to it and answers the same). No absolute position is told:
    // the caller counts steps. Not supported by a camera without capability bit 4.
    Result (*DriveFocus)(Handle source, std::int32_t step);
};

}   // namespace sdk
