// SDK calls of the shooting settings: Get and Set of each setting (a value the camera does not
// offer is refused and changes nothing), image format, AF lock, zoom, and the enumerations.
#include "sdk/sim/Engine.h"

#include "sdk/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

template <typename T>
std::vector<std::uint32_t> widen(const std::vector<T>& v) {
    return std::vector<std::uint32_t>(v.begin(), v.end());
}

std::vector<std::uint32_t> offered(const CameraSpec& c, Setting s) {
    if (s == Setting::ShootingMode && !c.hasShootingModes) return {};
    switch (s) {
#define KESTREL_OFFERED(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, ...) \
    case Setting::Key: return widen(c.Offered);
        KESTREL_LISTED_SETTINGS(KESTREL_OFFERED)
#undef KESTREL_OFFERED
    }
    return {};
}

std::uint32_t& current(CameraSpec& c, Setting s) {
    switch (s) {
#define KESTREL_CURRENT(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                        Current, ...)                                                         \
    case Setting::Key: return c.Current;
        KESTREL_LISTED_SETTINGS(KESTREL_CURRENT)
#undef KESTREL_CURRENT
    }
    return c.shootingMode;
}

// The release-camera setting of an id, if the camera lists it.
bool relCamSetting(const CameraSpec& c, std::uint32_t id, Setting& s) {
    if (std::find(c.relCamSettingIds.begin(), c.relCamSettingIds.end(), id) ==
        c.relCamSettingIds.end())
        return false;
    switch (id) {
#define KESTREL_RELCAM_ID(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                          Current, Id)                                                          \
    case Id: s = Setting::Key; return true;
        KESTREL_RELCAM_SETTINGS(KESTREL_RELCAM_ID)
#undef KESTREL_RELCAM_ID
        default: return false;
    }
}

sdk::Result apply(CameraSpec& c, Setting s, std::uint32_t code) {
    if (s == Setting::ShootingMode && !c.hasShootingModes) return err::kNotSupported;
    const std::vector<std::uint32_t> list = offered(c, s);
    if (std::find(list.begin(), list.end(), code) == list.end()) return err::kRefused;
    current(c, s) = code;
    return sdk::kOk;
}

std::uint32_t readLe(const void* data, std::uint32_t size) {
    return sdk::ReadLeField(static_cast<const std::uint8_t*>(data), size);
}

void writeLe(void* data, std::uint32_t size, std::uint32_t v) {
    sdk::WriteLeField(static_cast<std::uint8_t*>(data), size, v);
}

}   // namespace

sdk::Result Engine::getSetting(Setting which, const char* name, sdk::Handle s,
                               std::uint32_t* code) {
    Lock lock(mutex_);
    CallScope call(journal_, name, decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!code) return call(err::kInvalidPointer);
    *code = current(cam->model, which);
    return call(sdk::kOk);
}

sdk::Result Engine::setSetting(Setting which, const char* name, sdk::Handle s, std::uint32_t code) {
    Lock lock(mutex_);
    CallScope call(journal_, name, argumentList({decimalText(s), decimalText(code)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    return call(apply(cam->model, which, code));
}

sdk::Result Engine::getSetting(Setting which, const char* name, sdk::Handle s, std::uint32_t* code,
                               std::uint32_t* second) {
    if (!second) return getSetting(which, name, s, nullptr);
    const sdk::Result r = getSetting(which, name, s, code);
    if (r == sdk::kOk) *second = 0;
    return r;
}

sdk::Result Engine::setSetting(Setting which, const char* name, sdk::Handle s, std::uint32_t code,
                               std::uint32_t second) {
    Lock lock(mutex_);
    CallScope call(journal_, name,
                   argumentList({decimalText(s), decimalText(code), decimalText(second)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    return call(apply(cam->model, which, code));
}

sdk::Result Engine::getRelCam(sdk::Handle s, std::uint32_t id, std::uint32_t* size, void* data) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetRelCamSettingData",
                   argumentList({decimalText(s), hexText(id), size ? decimalText(*size) : "0"}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!size || !data) return call(err::kInvalidPointer);
    Setting which;
    if (!relCamSetting(cam->model, id, which)) return call(err::kPropertyNotSupported);
    if (*size == 0) return call(err::kInvalidLength);
    const std::uint32_t n = std::min(*size, cam->model.relCamDataSize);
    writeLe(data, n, current(cam->model, which));
    *size = n;
    return call(sdk::kOk);
}

sdk::Result Engine::setRelCam(sdk::Handle s, std::uint32_t id, std::uint32_t size,
                              const void* data) {
    Lock lock(mutex_);
    CallScope call(journal_, "SetRelCamSettingData",
                   argumentList({decimalText(s), hexText(id), decimalText(size),
                                 data ? decimalText(readLe(data, size)) : "0"}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!data) return call(err::kInvalidPointer);
    Setting which;
    if (!relCamSetting(cam->model, id, which)) return call(err::kPropertyNotSupported);
    if (size != cam->model.relCamDataSize) return call(err::kInvalidLength);
    return call(apply(cam->model, which, readLe(data, size)));
}

sdk::Result Engine::getFormat(sdk::Handle s, std::uint32_t* quality, std::uint32_t* size) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetImageFormatAttribute", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!quality || !size) return call(err::kInvalidPointer);
    *quality = cam->model.quality;
    *size = cam->model.size;
    return call(sdk::kOk);
}

sdk::Result Engine::setFormat(sdk::Handle s, std::uint16_t quality, std::uint16_t size) {
    Lock lock(mutex_);
    CallScope call(journal_, "SetImageFormatAttribute",
                   argumentList({decimalText(s), decimalText(quality), decimalText(size)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    const auto& f = cam->model.formats;
    if (std::find(f.begin(), f.end(),
                  std::make_pair<std::uint32_t, std::uint32_t>(quality, size)) == f.end())
        return call(err::kRefused);
    cam->model.quality = quality;
    cam->model.size = size;
    return call(sdk::kOk);
}

sdk::Result Engine::afLock(sdk::Handle s, std::uint16_t locked) {
    Lock lock(mutex_);
    CallScope call(journal_, "AFLock", argumentList({decimalText(s), decimalText(locked)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (locked > 1) return call(err::kInvalidParameter);
    cam->afLocked = locked == 1;
    return call(sdk::kOk);
}

sdk::Result Engine::getZoom(sdk::Handle s, std::uint32_t* pos) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetZoomPos", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (!pos) return call(err::kInvalidPointer);
    *pos = cam->model.zoomPos;
    return call(sdk::kOk);
}

sdk::Result Engine::setZoom(sdk::Handle s, std::uint32_t pos) {
    Lock lock(mutex_);
    CallScope call(journal_, "SetZoomPos", argumentList({decimalText(s), decimalText(pos)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (pos > cam->model.maxZoomPos) return call(err::kDeviceInvalidParameter);
    cam->model.zoomPos = pos;
    return call(sdk::kOk);
}

sdk::Result Engine::getMaxZoom(sdk::Handle s, std::uint32_t* first, std::uint32_t* second) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetMaximumZoomPos", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (!first || !second) return call(err::kInvalidPointer);
    *first = cam->model.zoomFirst;
    *second = cam->model.maxZoomPos;
    return call(sdk::kOk);
}

// ---------------------------------------------------------------- enumerations

sdk::Result Engine::listingReset(ListingKind kind, const char* name, sdk::Handle s,
                                 sdk::Handle* listing) {
    return makeListing(name, decimalText(s), kind, s, listing,
                       listing ? sdk::kOk : err::kInvalidPointer,
                       [kind](const Camera& camera, SimListing& items) -> sdk::Result {
                           const CameraSpec& c = camera.model;
                           if (kind == ListingKind::ShootingMode && !c.hasShootingModes)
                               return err::kNotSupported;
                           switch (kind) {
#define KESTREL_LISTING(Key, ...)               \
    case ListingKind::Key:                      \
        items.codes = offered(c, Setting::Key); \
        return sdk::kOk;
                               KESTREL_VALUE_SETTINGS(KESTREL_LISTING)
#undef KESTREL_LISTING
                               case ListingKind::RelCamSetting:
                                   items.codes = c.relCamSettingIds;
                                   return sdk::kOk;
                               case ListingKind::ImageFormat:
                                   for (const auto& [quality, size] : c.formats) {
                                       items.codes.push_back(quality);
                                       items.second.push_back(size);
                                   }
                                   return sdk::kOk;
                               default: return err::kInvalidParameter;
                           }
                       });
}

sdk::Result Engine::imageSizeReset(sdk::Handle s, std::uint32_t option, sdk::Handle* listing) {
    return makeListing("EnumSupportedImageSizeReset",
                       argumentList({decimalText(s), decimalText(option)}), ListingKind::ImageSize,
                       s, listing, listing ? sdk::kOk : err::kInvalidPointer,
                       [](const Camera& camera, SimListing& items) {
                           for (const auto& [code, label] : camera.model.imageSizes) {
                               items.codes.push_back(code);
                               items.labels.push_back(label);
                           }
                           return sdk::kOk;
                       });
}

sdk::Result Engine::relCamDataReset(sdk::Handle s, std::uint32_t id, sdk::Handle* listing,
                                    std::uint32_t* dataSize) {
    return makeListing("EnumRelCamSettingDataReset", argumentList({decimalText(s), hexText(id)}),
                       ListingKind::RelCamSettingData, s, listing,
                       listing && dataSize ? sdk::kOk : err::kInvalidPointer,
                       [&](const Camera& camera, SimListing& items) {
                           Setting which;
                           if (!relCamSetting(camera.model, id, which))
                               return err::kPropertyNotSupported;
                           items.codes = offered(camera.model, which);
                           items.dataSize = camera.model.relCamDataSize;
                           *dataSize = items.dataSize;
                           return sdk::kOk;
                       });
}

sdk::Result Engine::listingCount(ListingKind kind, const char* name, sdk::Handle listing,
                                 std::uint32_t* n) {
    Lock lock(mutex_);
    CallScope call(journal_, name, decimalText(listing));
    if (call.failure()) return call.failure();
    SimListing* items = listingLocked(listing, kind);
    if (!items) return call(err::kInvalidHandle);
    if (!n) return call(err::kInvalidPointer);
    *n = static_cast<std::uint32_t>(items->codes.size());
    return call(sdk::kOk);
}

sdk::Result Engine::listingRelease(ListingKind kind, const char* name, sdk::Handle listing) {
    Lock lock(mutex_);
    CallScope call(journal_, name, decimalText(listing));
    if (call.failure()) return call.failure();
    if (!listingLocked(listing, kind)) return call(err::kInvalidHandle);
    listings_.Release(listing);
    return call(sdk::kOk);
}

sdk::Result Engine::nextCode16(ListingKind kind, const char* name, sdk::Handle listing,
                               std::uint16_t* code) {
    std::uint32_t wide = 0;
    const sdk::Result r = nextCode32(kind, name, listing, code ? &wide : nullptr);
    if (r == sdk::kOk) *code = static_cast<std::uint16_t>(wide);
    return r;
}

sdk::Result Engine::nextCode32(ListingKind kind, const char* name, sdk::Handle listing,
                               std::uint32_t* code) {
    return takeNext(name, decimalText(listing), kind, listing,
                    code ? sdk::kOk : err::kInvalidPointer,
                    [&](const SimListing& items, std::size_t i) { *code = items.codes[i]; });
}

sdk::Result Engine::imageSizeNext(sdk::Handle listing, sdk::ImageSizeRecord* record) {
    return takeNext(
        "EnumSupportedImageSizeNext", decimalText(listing), ListingKind::ImageSize, listing,
        record ? sdk::kOk : err::kInvalidPointer, [&](const SimListing& items, std::size_t i) {
            std::memset(record->bytes, 0, sizeof record->bytes);
            sdk::WriteLe16(record->bytes, static_cast<std::uint16_t>(items.codes[i]));
            const std::string& label = items.labels[i];
            const std::size_t n = std::min(label.size(), sdk::ImageSizeRecord::kLabelCapacity - 1);
            std::memcpy(record->bytes + sdk::ImageSizeRecord::kLabelOffset, label.data(), n);
        });
}

sdk::Result Engine::formatNext(sdk::Handle listing, std::uint32_t* quality, std::uint32_t* size) {
    return takeNext("EnumImageFormatAttributeNext", decimalText(listing), ListingKind::ImageFormat,
                    listing, quality && size ? sdk::kOk : err::kInvalidPointer,
                    [&](const SimListing& items, std::size_t i) {
                        *quality = items.codes[i];
                        *size = items.second[i];
                    });
}

sdk::Result Engine::relCamDataNext(sdk::Handle listing, std::uint32_t dataSize, void* code) {
    const sdk::Result check = !code           ? err::kInvalidPointer
                              : dataSize == 0 ? err::kInvalidLength
                                              : sdk::kOk;
    return takeNext("EnumRelCamSettingDataNext",
                    argumentList({decimalText(listing), decimalText(dataSize)}),
                    ListingKind::RelCamSettingData, listing, check,
                    [&](const SimListing& items, std::size_t i) {
                        writeLe(code, std::min(dataSize, items.dataSize), items.codes[i]);
                    });
}

}   // namespace sim
