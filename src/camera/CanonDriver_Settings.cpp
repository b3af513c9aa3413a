// CanonDriver: reading and changing the open camera's settings by label or code, AF lock and zoom.
#include "camera/CanonDriver.h"

#include "camera/LabelTables.h"
#include "camera/TextFields.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace camera {

namespace {

constexpr std::uint16_t kFlashSecond = 0xFF;
constexpr std::uint32_t kRelCamReadSize = 4;

struct SettingCalls {
    const char* name;      // operation suffix: "TV" gives "GetTV", "SetTV"
    const char* getCall;   // SDK call without prefix
    const char* setCall;
    std::uint32_t relCamId;   // 0 for the settings with calls of their own
};

// Indexed by CanonDriver's Slot order (the list's).
#define KESTREL_CALLS(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                      Current, Sdk, ...)                                                    \
    {#Key, "Get" #Sdk, "Set" #Sdk, 0},
#define KESTREL_RELCAM_CALLS(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                             Current, Id)                                                          \
    {#Key, "GetRelCamSettingData", "SetRelCamSettingData", Id},
constexpr SettingCalls kCalls[] = {
    KESTREL_SETTINGS(KESTREL_SETTING_SKIP, KESTREL_CALLS, KESTREL_RELCAM_CALLS)};
#undef KESTREL_RELCAM_CALLS
#undef KESTREL_CALLS

// The call of a value-list setting, whichever its signature: Flash's Get and Set carry a second
// word besides the code (read and dropped; written as kFlashSecond).
sdk::Result GetValue(sdk::Result (*get)(sdk::Handle, std::uint32_t*), sdk::Handle source,
                     std::uint32_t& code) {
    return get(source, &code);
}
sdk::Result GetValue(sdk::Result (*get)(sdk::Handle, std::uint32_t*, std::uint32_t*),
                     sdk::Handle source, std::uint32_t& code) {
    std::uint32_t second = 0;
    return get(source, &code, &second);
}
sdk::Result SetValue(sdk::Result (*set)(sdk::Handle, std::uint16_t), sdk::Handle source,
                     std::uint16_t code) {
    return set(source, code);
}
sdk::Result SetValue(sdk::Result (*set)(sdk::Handle, std::uint16_t, std::uint16_t),
                     sdk::Handle source, std::uint16_t code) {
    return set(source, code, kFlashSecond);
}

}   // namespace

sdk::Result CanonDriver::setFormat(sdk::Handle source, std::uint16_t quality, std::uint16_t size,
                                   BusyRetry busy) {
    return RetryWhileBusy(busy,
                          [&] { return api_.SetImageFormatAttribute(source, quality, size); });
}

std::uint32_t CanonDriver::readCode(Slot setting) {
    static_assert(std::size(kCalls) == CanonDriver::kSettingCount, "a call row for every slot");
    if (lists_[setting].empty()) return 0;   // not offered by this camera: not asked for
    const SettingCalls& calls = kCalls[setting];
    const Step step(*this, std::string("Get") + calls.name);
    const sdk::Handle source = source_;
    std::uint32_t code = 0;
    sdk::Result result = sdk::kOk;
    if (calls.relCamId != 0) {
        std::uint8_t data[16] = {};   // room beyond the 4 bytes asked for
        std::uint32_t size = kRelCamReadSize;
        result = api_.GetRelCamSettingData(source, calls.relCamId, &size, data);
        code = LittleEndianWord(data);
    }
    switch (setting) {
#define KESTREL_GET(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, Current, \
                    Sdk, ...)                                                                      \
    case k##Key: result = GetValue(api_.Get##Sdk, source, code); break;
        KESTREL_VALUE_SETTINGS(KESTREL_GET)
#undef KESTREL_GET
        default: break;   // the release-camera settings, read above
    }
    if (step.failed(result, calls.getCall)) code = 0;
    return code;
}

bool CanonDriver::writeCode(Slot setting, std::uint32_t code, BusyRetry busy) {
    const SettingCalls& calls = kCalls[setting];
    const Step step(*this, std::string("Set") + calls.name);
    const sdk::Handle source = source_;
    const auto code16 = static_cast<std::uint16_t>(code);
    sdk::Result result = sdk::kOk;
    if (calls.relCamId != 0) {
        // The SDK reads dataSize bytes: the code, little-endian, then zeros.
        const std::uint32_t dataSize = dataSizes_[setting];
        std::vector<std::uint8_t> data(std::max<std::uint32_t>(dataSize, 4), 0);
        PutLittleEndianWord(data.data(), code);
        result = RetryWhileBusy(busy, [&] {
            return api_.SetRelCamSettingData(source, calls.relCamId, dataSize, data.data());
        });
    }
    switch (setting) {
#define KESTREL_SET(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, Current, \
                    Sdk, ...)                                                                      \
    case k##Key:                                                                                   \
        result = RetryWhileBusy(busy, [&] { return SetValue(api_.Set##Sdk, source, code16); });    \
        break;
        KESTREL_VALUE_SETTINGS(KESTREL_SET)
#undef KESTREL_SET
        default: break;   // the release-camera settings, written above
    }
    return !step.failed(result, calls.setCall);
}

std::string CanonDriver::labelOf(Slot setting) {
    const std::uint32_t code = readCode(setting);
    const SettingOption* option = FindCode(lists_[setting], code);
    return option ? option->label : std::string();
}

bool CanonDriver::setByLabel(Slot setting, const std::string& label, BusyRetry busy) {
    const SettingOption* option = FindLabel(lists_[setting], label);
    if (option == nullptr) return false;
    const std::uint32_t code = option->code;
    return writeCode(setting, code, busy);
}

// Image size and quality are one SDK attribute pair. A failed read gives 0 for both.
bool CanonDriver::readFormat(const Step& step, std::uint32_t& quality, std::uint32_t& size) {
    quality = 0;
    size = 0;
    if (imageSizes_.empty()) return false;   // no sizes on offer: not asked for
    if (step.failed(api_.GetImageFormatAttribute(source_, &quality, &size),
                    "GetImageFormatAttribute")) {
        quality = 0;
        size = 0;
        return false;
    }
    return true;
}

namespace {

const ImageSizeOption* findSize(const std::vector<ImageSizeOption>& sizes, std::uint32_t code) {
    for (const ImageSizeOption& option : sizes) {
        if (option.code == code) return &option;
    }
    return nullptr;
}

}   // namespace

std::string CanonDriver::imageSizeLabel() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::uint32_t quality = 0, size = 0;
    readFormat(Step(*this, "GetImageSize"), quality, size);
    const ImageSizeOption* option = findSize(imageSizes_, size);
    return option ? option->label : std::string();
}

std::string CanonDriver::imageQualityLabel() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::uint32_t quality = 0, size = 0, ignored = 0;
    readFormat(Step(*this, "GetImageSize"), ignored, size);
    readFormat(Step(*this, "GetImageQuality"), quality, ignored);
    const ImageSizeOption* option = findSize(imageSizes_, size);
    if (option == nullptr) return {};
    const SettingOption* q = FindCode(option->qualities, quality);
    return q ? q->label : std::string();
}

std::uint32_t CanonDriver::imageSizeCode() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::uint32_t quality = 0, size = 0;
    readFormat(Step(*this, "GetImageSize"), quality, size);
    return size;
}

std::uint32_t CanonDriver::imageQualityCode() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    std::uint32_t quality = 0, size = 0;
    readFormat(Step(*this, "GetImageQuality"), quality, size);
    return quality;
}

bool CanonDriver::setImageSize(const std::string& label, BusyRetry busy) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "SetImageSize");
    const ImageSizeOption* target = nullptr;
    for (const ImageSizeOption& option : imageSizes_) {
        if (option.label == label) {
            target = &option;
            break;
        }
    }
    if (target == nullptr) return false;   // not listed: no SDK call
    const std::uint32_t sizeCode = target->code;
    std::uint32_t quality = 0, size = 0;
    // Without the camera's quality the write would set an unknown one: leave the camera alone.
    if (!readFormat(Step(*this, "GetImageQuality"), quality, size)) return false;
    return !step.failed(setFormat(source_, static_cast<std::uint16_t>(quality),
                                  static_cast<std::uint16_t>(sizeCode), busy),
                        "SetImageFormatAttribute");
}

bool CanonDriver::setImageQuality(const std::string& label, BusyRetry busy) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "SetImageQuality");
    const bool listedAnywhere = std::any_of(
        imageSizes_.begin(), imageSizes_.end(),
        [&](const ImageSizeOption& o) { return FindLabel(o.qualities, label) != nullptr; });
    if (!listedAnywhere) return false;   // not listed: no SDK call
    std::uint32_t quality = 0, size = 0;
    if (!readFormat(Step(*this, "GetImageSize"), quality, size)) return false;
    const ImageSizeOption* option = findSize(imageSizes_, size);
    if (option == nullptr) return false;
    const SettingOption* target = FindLabel(option->qualities, label);
    if (target == nullptr) return false;   // offered only at another size
    return !step.failed(setFormat(source_, static_cast<std::uint16_t>(target->code),
                                  static_cast<std::uint16_t>(size), busy),
                        "SetImageFormatAttribute");
}

CanonDriver::Slot CanonDriver::slotOf(Setting setting) {
    switch (setting) {
#define KESTREL_SLOT_OF(Key, ...) \
    case Setting::Key: return k##Key;
        KESTREL_LISTED_SETTINGS(KESTREL_SLOT_OF)
#undef KESTREL_SLOT_OF
        case Setting::ImageSize:
        case Setting::ImageQuality: break;
    }
    throw std::logic_error("image size and quality have no value list of their own");
}

std::string CanonDriver::GetLabel(Setting setting) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (setting == Setting::ImageSize) return imageSizeLabel();
    if (setting == Setting::ImageQuality) return imageQualityLabel();
    return labelOf(slotOf(setting));
}

std::uint32_t CanonDriver::GetCode(Setting setting) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (setting == Setting::ImageSize) return imageSizeCode();
    if (setting == Setting::ImageQuality) return imageQualityCode();
    return readCode(slotOf(setting));
}

bool CanonDriver::Set(Setting setting, const std::string& label, BusyRetry busy) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    if (setting == Setting::ImageSize) return setImageSize(label, busy);
    if (setting == Setting::ImageQuality) return setImageQuality(label, busy);
    return setByLabel(slotOf(setting), label, busy);
}

std::vector<SettingOption> CanonDriver::Options(Setting setting) const {
    if (setting != Setting::ImageSize && setting != Setting::ImageQuality)
        return list(slotOf(setting));
    std::vector<SettingOption> options;
    for (const ImageSizeOption& size : imageSizes()) {
        if (setting == Setting::ImageSize) {
            options.push_back({size.code, size.label});
            continue;
        }
        for (const SettingOption& quality : size.qualities)
            if (FindLabel(options, quality.label) == nullptr) options.push_back(quality);
    }
    return options;
}

#define KESTREL_SETTING_ACCESS(Key, ...)                                          \
    std::string CanonDriver::Get##Key() { return GetLabel(Setting::Key); }        \
    std::uint32_t CanonDriver::Get##Key##Code() { return GetCode(Setting::Key); } \
    bool CanonDriver::Set##Key(const std::string& label) { return Set(Setting::Key, label); }
KESTREL_ALL_SETTINGS(KESTREL_SETTING_ACCESS)
#undef KESTREL_SETTING_ACCESS

void CanonDriver::SetAFLock(bool lock) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "SetAFLock");
    step.failed(api_.AFLock(source_, lock ? 1 : 0), "AFLock");
}

std::uint32_t CanonDriver::GetZoomPos() {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetZoomPos");
    std::uint32_t position = 0;
    if (!properties_.hasZoom) return position;   // a camera without zoom is not asked
    if (step.failed(api_.GetZoomPos(source_, &position), "GetZoomPos")) position = 0;
    return position;
}

void CanonDriver::SetZoomPos(std::uint32_t position) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "SetZoomPos");
    if (!properties_.hasZoom) return;
    step.failed(api_.SetZoomPos(source_, position), "SetZoomPos");
}

bool CanonDriver::GetMagnify(std::uint32_t& factor, std::uint32_t& x, std::uint32_t& y) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "GetMagnify");
    if (!properties_.hasMagnify || api_.GetLiveMagnify == nullptr) return false;
    return !step.failed(api_.GetLiveMagnify(source_, &factor, &x, &y), "GetLiveMagnify");
}

bool CanonDriver::SetMagnify(std::uint32_t factor, std::uint32_t& x, std::uint32_t& y) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step step(*this, "SetMagnify");
    if (!properties_.hasMagnify || api_.SetLiveMagnify == nullptr) return false;
    if (step.failed(api_.SetLiveMagnify(source_, factor, x, y), "SetLiveMagnify")) return false;
    std::uint32_t now = 0;
    return !step.failed(api_.GetLiveMagnify(source_, &now, &x, &y), "GetLiveMagnify");
}

sdk::Result CanonDriver::DriveFocus(int step, BusyRetry busy) {
    std::lock_guard<std::recursive_mutex> op(lock_);
    const Step named(*this, "DriveFocus");
    if (!properties_.hasFocusDrive || api_.DriveFocus == nullptr) return sdk::err::kNotSupported;
    const sdk::Handle source = source_;
    const sdk::Result result = RetryWhileBusy(
        busy, [&] { return api_.DriveFocus(source, static_cast<std::int32_t>(step)); });
    named.failed(result, "DriveFocus");
    return result;
}

}   // namespace camera
