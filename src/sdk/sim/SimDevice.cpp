// SDK calls of the device side: SDK start and finish, device listing, open and close,
// release control, camera event registration and device properties.
#include "sdk/sim/Engine.h"

#include "sdk/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr std::uint32_t kPropSerial = 0x0000000A;    // listed, not used by the drivers
constexpr std::uint32_t kPropSkipped = 0xFFFFFFFF;   // a record the drivers must skip
constexpr std::uint32_t kTypeText = 1, kTypeWord = 2;

std::string recordName(const sdk::DeviceRecord* info) {
    const auto* text = reinterpret_cast<const char*>(info->bytes + sdk::DeviceRecord::kNameOffset);
    return std::string(text, strnlen(text, sdk::DeviceRecord::kNameCapacity));
}

// The data of a property: (bytes, is text); empty optional-like flag when not offered.
bool propertyBytes(const Camera& cam, std::uint32_t id, std::vector<std::uint8_t>& out,
                   bool& text) {
    const CameraSpec& s = cam.model;
    auto setText = [&](const std::string& t) {
        out.assign(t.begin(), t.end());
        out.push_back(0);
        text = true;
    };
    auto setWord = [&](std::uint32_t v) {
        out.assign(4, 0);
        sdk::WriteLe32(out.data(), v);
        text = false;
    };
    switch (id) {
        case sdk::kPropName: setText(s.name); return true;
        case sdk::kPropCapabilities:
            setWord((s.hasZoom ? 1u : 0u) | (s.hasShootingModes ? 2u : 0u) |
                    (s.hasViewfinder ? 4u : 0u) | (s.hasFocusDrive ? 16u : 0u));
            return true;
        case sdk::kPropOwner: setText(s.owner); return true;
        case sdk::kPropFirmware: setText(s.firmwareText); return true;
        case sdk::kPropBattery: setWord(s.battery); return true;
        case kPropSerial: setWord(0x10000 + cam.id); return true;
        default: return false;
    }
}

}   // namespace

sdk::Result Engine::startSdk(const sdk::VersionRecord* version, std::uint32_t option) {
    Lock lock(mutex_);
    CallScope call(
        journal_, "StartSDK",
        argumentList({version ? decimalText(version->major) : "0", decimalText(option)}));
    if (call.failure()) return call.failure();
    if (!version) return call(err::kInvalidPointer);
    if (version->size != sizeof(sdk::VersionRecord) || version->major != (rc_ ? 8 : 7))
        return call(err::kIncompatibleVersion);
    ++sdkStarts_;
    return call(sdk::kOk);
}

sdk::Result Engine::finishSdk() {
    Lock lock(mutex_);
    CallScope call(journal_, "FinishSDK", "");
    if (call.failure()) return call.failure();
    if (sdkStarts_ > 0) --sdkStarts_;
    return call(sdk::kOk);
}

sdk::Result Engine::enumDeviceReset(std::uint32_t kind, sdk::Handle* listing) {
    Lock lock(mutex_);
    CallScope call(journal_, "EnumDeviceReset", decimalText(kind));
    if (call.failure()) return call.failure();
    if (!listing) return call(err::kInvalidPointer);
    if (kind != 1) return call(err::kInvalidParameter);
    SimListing items;
    items.kind = ListingKind::Device;
    for (const auto& c : cameras_) {
        if (c->removed) continue;
        items.codes.push_back(c->id);
        items.labels.push_back(c->model.name);
    }
    *listing = addListingLocked(std::move(items));
    return call(sdk::kOk);
}

sdk::Result Engine::deviceNext(sdk::Handle listing, sdk::DeviceRecord* info) {
    return takeNext(
        "EnumDeviceNext", decimalText(listing), ListingKind::Device, listing,
        info ? sdk::kOk : err::kInvalidPointer, [&](const SimListing& items, std::size_t i) {
            std::memset(info->bytes, 0, sizeof info->bytes);
            sdk::WriteLe32(info->bytes, items.codes[i]);
            const std::string& name = items.labels[i];
            const std::size_t n = std::min(name.size(), sdk::DeviceRecord::kNameCapacity - 1);
            std::memcpy(info->bytes + sdk::DeviceRecord::kNameOffset, name.data(), n);
        });
}

sdk::Result Engine::openSource(const sdk::DeviceRecord* info, sdk::Handle* source) {
    Lock lock(mutex_);
    const std::string name = info ? recordName(info) : std::string();
    CallScope call(journal_, "OpenSource", info ? quotedText(name.c_str()) : "0");
    if (call.failure()) return call.failure();
    if (!info || !source) return call(err::kInvalidPointer);
    const std::uint32_t id = sdk::ReadLe32(info->bytes);
    Camera* cam = nullptr;
    for (auto& c : cameras_) {
        if (id != 0 ? c->id == id : (c->model.name == name && !c->removed)) {
            cam = c.get();
            break;
        }
    }
    if (!cam || cam->removed) return call(err::kDeviceNotFound);
    if (cam->source != 0) return call(err::kDeviceBusy);
    cam->source = newHandleLocked();
    cam->frameIndex = 0;
    cam->framesDelivered = 0;
    cam->itemsPending = 0;
    cam->pendingCaptures = 0;
    *source = cam->source;
    return call(sdk::kOk);
}

sdk::Result Engine::closeSource(sdk::Handle source) {
    Lock lock(mutex_);
    CallScope call(journal_, "CloseSource", decimalText(source));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(source, cam, true)) return call(r);
    closeCameraLocked(lock, *cam);
    return call(sdk::kOk);
}

sdk::Result Engine::enterReleaseControl(sdk::Handle s, sdk::EventCallback cb, void* ctx) {
    Lock lock(mutex_);
    CallScope call(journal_, "EnterReleaseControl",
                   argumentList({decimalText(s), callbackText(cb), pointerText(ctx)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (rc_ && cam->model.captureSession) return call(err::kNotSupported);
    if (cam->releaseControl) return call(err::kInvalidFnCall);
    cam->releaseControl = true;
    return call(sdk::kOk);
}

sdk::Result Engine::exitReleaseControl(sdk::Handle s) {
    Lock lock(mutex_);
    CallScope call(journal_, "ExitReleaseControl", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam, true)) return call(r);
    if (!cam->releaseControl) return call(err::kInvalidFnCall);
    cam->releaseControl = false;
    cam->itemsPending = 0;
    return call(sdk::kOk);
}

sdk::Result Engine::selectReleaseDataKind(sdk::Handle s, std::uint32_t kind) {
    Lock lock(mutex_);
    CallScope call(journal_, "SelectReleaseDataKind",
                   argumentList({decimalText(s), decimalText(kind)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (kind < 1 || kind > 3) return call(err::kInvalidParameter);
    cam->releaseDataKind = kind;
    return call(sdk::kOk);
}

sdk::Result Engine::registerEvent(sdk::Handle s, sdk::EventCallback cb, void* ctx,
                                  sdk::Handle* reg) {
    Lock lock(mutex_);
    CallScope call(journal_, "RegisterEventCallbackFunction",
                   argumentList({decimalText(s), callbackText(cb), pointerText(ctx)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!reg) return call(err::kInvalidPointer);
    if (!cb) return call(err::kInvalidFnPointer);
    const sdk::Handle h = newHandleLocked();
    cam->registrations.push_back({h, cb, ctx});
    *reg = h;
    return call(sdk::kOk);
}

sdk::Result Engine::unregisterEvent(sdk::Handle s, sdk::Handle reg) {
    Lock lock(mutex_);
    CallScope call(journal_, "UnregisterEventCallbackFunction",
                   argumentList({decimalText(s), decimalText(reg)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam, true)) return call(r);
    auto& regs = cam->registrations;
    auto it = std::find_if(regs.begin(), regs.end(), [&](const auto& r) { return r.id == reg; });
    if (it == regs.end()) return call(err::kInvalidHandle);
    regs.erase(it);
    waitCallbacksLocked(lock, s, CallbackKind::CameraEvent, reg);
    return call(sdk::kOk);
}

sdk::Result Engine::propertyReset(sdk::Handle s, std::uint32_t option, sdk::Handle* listing) {
    return makeListing("EnumDevicePropertyReset",
                       argumentList({decimalText(s), decimalText(option)}), ListingKind::Property,
                       s, listing, listing ? sdk::kOk : err::kInvalidPointer,
                       [](const Camera& camera, SimListing& items) {
                           for (std::uint32_t id : {sdk::kPropName, sdk::kPropCapabilities,
                                                    kPropSkipped, sdk::kPropOwner, kPropSerial,
                                                    sdk::kPropFirmware, sdk::kPropBattery}) {
                               std::vector<std::uint8_t> bytes;
                               bool text = false;
                               const bool offered = propertyBytes(camera, id, bytes, text);
                               items.codes.push_back(id);
                               items.second.push_back(static_cast<std::uint32_t>(bytes.size()));
                               items.labels.push_back(offered && text ? "t" : "w");
                           }
                           return sdk::kOk;
                       });
}

sdk::Result Engine::propertyNext(sdk::Handle listing, sdk::PropertyRecord* record) {
    return takeNext("EnumDevicePropertyNext", decimalText(listing), ListingKind::Property, listing,
                    record ? sdk::kOk : err::kInvalidPointer,
                    [&](const SimListing& items, std::size_t i) {
                        record->words[0] = static_cast<std::uint32_t>(i);
                        record->words[1] = items.codes[i];
                        record->words[2] = items.labels[i] == "t" ? kTypeText : kTypeWord;
                        record->words[3] = items.second[i];
                    });
}

sdk::Result Engine::propertyData(sdk::Handle s, std::uint32_t id, std::uint32_t* size, void* buffer,
                                 std::uint32_t option) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetDevicePropertyData",
                   argumentList({decimalText(s), hexText(id), size ? decimalText(*size) : "0",
                                 decimalText(option)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!size || !buffer) return call(err::kInvalidPointer);
    std::vector<std::uint8_t> bytes;
    bool text = false;
    if (!propertyBytes(*cam, id, bytes, text)) return call(err::kPropertyNotSupported);
    const std::size_t n = std::min<std::size_t>(*size, bytes.size());
    std::memcpy(buffer, bytes.data(), n);
    if (text && n > 0 && n < bytes.size()) static_cast<std::uint8_t*>(buffer)[n - 1] = 0;
    *size = static_cast<std::uint32_t>(n);
    return call(sdk::kOk);
}

}   // namespace sim
