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
    switch (s) {
        case Setting::ShootingMode:
            return c.hasShootingModes ? c.shootingModes : std::vector<std::uint32_t>{};
        case Setting::AV: return widen(c.av);
        case Setting::TV: return widen(c.tv);
        case Setting::Exposure: return widen(c.exposure);
        case Setting::WhiteBalance: return widen(c.wb);
        case Setting::AFDistance: return widen(c.afDistance);
        case Setting::Flash: return widen(c.flash);
        case Setting::Meter: return c.meter;
        case Setting::Iso: return c.iso;
        case Setting::Effect: return c.effect;
    }
    return {};
}

std::uint32_t& current(CameraSpec& c, Setting s) {
    switch (s) {
        case Setting::ShootingMode: return c.shootingMode;
        case Setting::AV: return c.avValue;
        case Setting::TV: return c.tvValue;
        case Setting::Exposure: return c.exposureComp;
        case Setting::WhiteBalance: return c.wbValue;
        case Setting::AFDistance: return c.afDistanceValue;
        case Setting::Flash: return c.flashValue;
        case Setting::Meter: return c.meterValue;
        case Setting::Iso: return c.isoValue;
        case Setting::Effect: return c.effectValue;
    }
    return c.shootingMode;
}

// The release-camera setting of an id, if the camera lists it.
bool relCamSetting(const CameraSpec& c, std::uint32_t id, Setting& s) {
    if (std::find(c.relCamSettingIds.begin(), c.relCamSettingIds.end(), id) ==
        c.relCamSettingIds.end())
        return false;
    switch (id) {
        case sdk::kSettingMeter: s = Setting::Meter; return true;
        case sdk::kSettingIso: s = Setting::Iso; return true;
        case sdk::kSettingEffect: s = Setting::Effect; return true;
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
    Lock lk(mutex);
    CallScope call(*this, name, num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!code) return call(err::kInvalidPointer);
    *code = current(cam->model, which);
    return call(sdk::kOk);
}

sdk::Result Engine::setSetting(Setting which, const char* name, sdk::Handle s, std::uint32_t code) {
    Lock lk(mutex);
    CallScope call(*this, name, argList({num(s), num(code)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    return call(apply(cam->model, which, code));
}

sdk::Result Engine::getFlash(sdk::Handle s, std::uint32_t* code, std::uint32_t* second) {
    Lock lk(mutex);
    CallScope call(*this, "GetFlashSetting", num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!code || !second) return call(err::kInvalidPointer);
    *code = cam->model.flashValue;
    *second = 0;
    return call(sdk::kOk);
}

sdk::Result Engine::setFlash(sdk::Handle s, std::uint16_t code, std::uint16_t second) {
    Lock lk(mutex);
    CallScope call(*this, "SetFlashSetting", argList({num(s), num(code), num(second)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    return call(apply(cam->model, Setting::Flash, code));
}

sdk::Result Engine::getRelCam(sdk::Handle s, std::uint32_t id, std::uint32_t* size, void* data) {
    Lock lk(mutex);
    CallScope call(*this, "GetRelCamSettingData",
                   argList({num(s), hex(id), size ? num(*size) : "0"}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
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
    Lock lk(mutex);
    CallScope call(*this, "SetRelCamSettingData",
                   argList({num(s), hex(id), num(size), data ? num(readLe(data, size)) : "0"}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!data) return call(err::kInvalidPointer);
    Setting which;
    if (!relCamSetting(cam->model, id, which)) return call(err::kPropertyNotSupported);
    if (size != cam->model.relCamDataSize) return call(err::kInvalidLength);
    return call(apply(cam->model, which, readLe(data, size)));
}

sdk::Result Engine::getFormat(sdk::Handle s, std::uint32_t* quality, std::uint32_t* size) {
    Lock lk(mutex);
    CallScope call(*this, "GetImageFormatAttribute", num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!quality || !size) return call(err::kInvalidPointer);
    *quality = cam->model.quality;
    *size = cam->model.size;
    return call(sdk::kOk);
}

sdk::Result Engine::setFormat(sdk::Handle s, std::uint16_t quality, std::uint16_t size) {
    Lock lk(mutex);
    CallScope call(*this, "SetImageFormatAttribute", argList({num(s), num(quality), num(size)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    const auto& f = cam->model.formats;
    if (std::find(f.begin(), f.end(),
                  std::make_pair<std::uint32_t, std::uint32_t>(quality, size)) == f.end())
        return call(err::kRefused);
    cam->model.quality = quality;
    cam->model.size = size;
    return call(sdk::kOk);
}

sdk::Result Engine::afLock(sdk::Handle s, std::uint16_t lock) {
    Lock lk(mutex);
    CallScope call(*this, "AFLock", argList({num(s), num(lock)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (lock > 1) return call(err::kInvalidParameter);
    cam->afLocked = lock == 1;
    return call(sdk::kOk);
}

sdk::Result Engine::getZoom(sdk::Handle s, std::uint32_t* pos) {
    Lock lk(mutex);
    CallScope call(*this, "GetZoomPos", num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (!pos) return call(err::kInvalidPointer);
    *pos = cam->model.zoomPos;
    return call(sdk::kOk);
}

sdk::Result Engine::setZoom(sdk::Handle s, std::uint32_t pos) {
    Lock lk(mutex);
    CallScope call(*this, "SetZoomPos", argList({num(s), num(pos)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (pos > cam->model.maxZoomPos) return call(err::kDeviceInvalidParameter);
    cam->model.zoomPos = pos;
    return call(sdk::kOk);
}

sdk::Result Engine::getMaxZoom(sdk::Handle s, std::uint32_t* first, std::uint32_t* second) {
    Lock lk(mutex);
    CallScope call(*this, "GetMaximumZoomPos", num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!cam->model.hasZoom) return call(err::kNotSupported);
    if (!first || !second) return call(err::kInvalidPointer);
    *first = cam->model.zoomFirst;
    *second = cam->model.maxZoomPos;
    return call(sdk::kOk);
}

// ---------------------------------------------------------------- enumerations

sdk::Result Engine::enumReset(EnumKind kind, const char* name, sdk::Handle s, sdk::Handle* e) {
    Lock lk(mutex);
    CallScope call(*this, name, num(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!e) return call(err::kInvalidPointer);
    const CameraSpec& c = cam->model;
    Enumeration en;
    en.kind = kind;
    switch (kind) {
        case EnumKind::ShootingMode:
            if (!c.hasShootingModes) return call(err::kNotSupported);
            en.a = c.shootingModes;
            break;
        case EnumKind::AV: en.a = widen(c.av); break;
        case EnumKind::TV: en.a = widen(c.tv); break;
        case EnumKind::Exposure: en.a = widen(c.exposure); break;
        case EnumKind::WhiteBalance: en.a = widen(c.wb); break;
        case EnumKind::AFDistance: en.a = widen(c.afDistance); break;
        case EnumKind::Flash: en.a = widen(c.flash); break;
        case EnumKind::RelCamSetting: en.a = c.relCamSettingIds; break;
        case EnumKind::ImageFormat:
            for (const auto& [q, size] : c.formats) {
                en.a.push_back(q);
                en.b.push_back(size);
            }
            break;
        default: return call(err::kInvalidParameter);
    }
    *e = newEnumeration(std::move(en));
    return call(sdk::kOk);
}

sdk::Result Engine::imageSizeReset(sdk::Handle s, std::uint32_t option, sdk::Handle* e) {
    Lock lk(mutex);
    CallScope call(*this, "EnumSupportedImageSizeReset", argList({num(s), num(option)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!e) return call(err::kInvalidPointer);
    Enumeration en;
    en.kind = EnumKind::ImageSize;
    for (const auto& [code, label] : cam->model.imageSizes) {
        en.a.push_back(code);
        en.labels.push_back(label);
    }
    *e = newEnumeration(std::move(en));
    return call(sdk::kOk);
}

sdk::Result Engine::relCamDataReset(sdk::Handle s, std::uint32_t id, sdk::Handle* e,
                                    std::uint32_t* dataSize) {
    Lock lk(mutex);
    CallScope call(*this, "EnumRelCamSettingDataReset", argList({num(s), hex(id)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = lookup(s, cam)) return call(r);
    if (!e || !dataSize) return call(err::kInvalidPointer);
    Setting which;
    if (!relCamSetting(cam->model, id, which)) return call(err::kPropertyNotSupported);
    Enumeration en;
    en.kind = EnumKind::RelCamSettingData;
    en.a = offered(cam->model, which);
    en.dataSize = cam->model.relCamDataSize;
    *dataSize = en.dataSize;
    *e = newEnumeration(std::move(en));
    return call(sdk::kOk);
}

sdk::Result Engine::enumCount(EnumKind kind, const char* name, sdk::Handle e, std::uint32_t* n) {
    Lock lk(mutex);
    CallScope call(*this, name, num(e));
    if (call.failure()) return call.failure();
    Enumeration* en = enumeration(e, kind);
    if (!en) return call(err::kInvalidHandle);
    if (!n) return call(err::kInvalidPointer);
    *n = static_cast<std::uint32_t>(en->a.size());
    return call(sdk::kOk);
}

sdk::Result Engine::enumRelease(EnumKind kind, const char* name, sdk::Handle e) {
    Lock lk(mutex);
    CallScope call(*this, name, num(e));
    if (call.failure()) return call.failure();
    if (!enumeration(e, kind)) return call(err::kInvalidHandle);
    enumerations.Release(e);
    return call(sdk::kOk);
}

sdk::Result Engine::enumNext16(EnumKind kind, const char* name, sdk::Handle e,
                               std::uint16_t* code) {
    std::uint32_t wide = 0;
    const sdk::Result r = enumNext32(kind, name, e, code ? &wide : nullptr);
    if (r == sdk::kOk) *code = static_cast<std::uint16_t>(wide);
    return r;
}

sdk::Result Engine::enumNext32(EnumKind kind, const char* name, sdk::Handle e,
                               std::uint32_t* code) {
    Lock lk(mutex);
    CallScope call(*this, name, num(e));
    if (call.failure()) return call.failure();
    Enumeration* en = enumeration(e, kind);
    if (!en) return call(err::kInvalidHandle);
    if (!code) return call(err::kInvalidPointer);
    std::size_t i = 0;
    if (const sdk::Result r = sdk::Listings<Enumeration>::TakeFrom(*en, i)) return call(r);
    *code = en->a[i];
    return call(sdk::kOk);
}

sdk::Result Engine::imageSizeNext(sdk::Handle e, sdk::ImageSizeRecord* record) {
    Lock lk(mutex);
    CallScope call(*this, "EnumSupportedImageSizeNext", num(e));
    if (call.failure()) return call.failure();
    Enumeration* en = enumeration(e, EnumKind::ImageSize);
    if (!en) return call(err::kInvalidHandle);
    if (!record) return call(err::kInvalidPointer);
    std::size_t i = 0;
    if (const sdk::Result r = sdk::Listings<Enumeration>::TakeFrom(*en, i)) return call(r);
    std::memset(record->bytes, 0, sizeof record->bytes);
    sdk::WriteLe16(record->bytes, static_cast<std::uint16_t>(en->a[i]));
    const std::string& label = en->labels[i];
    const std::size_t n = std::min(label.size(), sdk::ImageSizeRecord::kLabelCapacity - 1);
    std::memcpy(record->bytes + sdk::ImageSizeRecord::kLabelOffset, label.data(), n);
    return call(sdk::kOk);
}

sdk::Result Engine::formatNext(sdk::Handle e, std::uint32_t* quality, std::uint32_t* size) {
    Lock lk(mutex);
    CallScope call(*this, "EnumImageFormatAttributeNext", num(e));
    if (call.failure()) return call.failure();
    Enumeration* en = enumeration(e, EnumKind::ImageFormat);
    if (!en) return call(err::kInvalidHandle);
    if (!quality || !size) return call(err::kInvalidPointer);
    std::size_t i = 0;
    if (const sdk::Result r = sdk::Listings<Enumeration>::TakeFrom(*en, i)) return call(r);
    *quality = en->a[i];
    *size = en->b[i];
    return call(sdk::kOk);
}

sdk::Result Engine::relCamDataNext(sdk::Handle e, std::uint32_t dataSize, void* code) {
    Lock lk(mutex);
    CallScope call(*this, "EnumRelCamSettingDataNext", argList({num(e), num(dataSize)}));
    if (call.failure()) return call.failure();
    Enumeration* en = enumeration(e, EnumKind::RelCamSettingData);
    if (!en) return call(err::kInvalidHandle);
    if (!code) return call(err::kInvalidPointer);
    if (dataSize == 0) return call(err::kInvalidLength);
    std::size_t i = 0;
    if (const sdk::Result r = sdk::Listings<Enumeration>::TakeFrom(*en, i)) return call(r);
    writeLe(code, std::min(dataSize, en->dataSize), en->a[i]);
    return call(sdk::kOk);
}

}   // namespace sim
