// The libgphoto2 session: lists, open and close, errors, widgets, properties and settings.
#include "sdk/gphoto/Session.h"
#include "sdk/gphoto/CameraFiles.h"
#include "sdk/gphoto/SessionCam.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include <dlfcn.h>

namespace gphoto {

void contextError(GPContext*, const char* text, void* data) {
    if (text != nullptr) static_cast<Session*>(data)->lastMessage_ = text;
}

namespace {

unsigned progressStart(GPContext*, float target, const char*, void* data) {
    static_cast<Session*>(data)->ProgressStart(target);
    return 1;
}
void progressUpdate(GPContext*, unsigned, float current, void* data) {
    static_cast<Session*>(data)->ProgressUpdate(current);
}
void progressStop(GPContext*, unsigned, void*) {}

// "MODEL@PORT": split at the last '@' (a model may not hold one; a port never does).
bool splitCamera(const std::string& text, Device& device) {
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == text.size()) return false;
    device.model = text.substr(0, at);
    device.port = text.substr(at + 1);
    device.name = device.model;
    return true;
}

}   // namespace

Session::Session(SessionOptions options)
    : options_(std::move(options)),
      frame_(std::make_unique<std::array<std::uint8_t, sdk::kFrameBytes>>()) {
    keepPortDriversLoaded();
    context_ = gp_context_new();
    gp_context_set_error_func(context_, &contextError, this);
    gp_context_set_progress_funcs(context_, &progressStart, &progressUpdate, &progressStop, this);
    gp_abilities_list_new(&abilities_);
    gp_abilities_list_load(abilities_, context_);
    gp_port_info_list_new(&ports_);
    gp_port_info_list_load(ports_);
}

// libgphoto2 loads its port drivers (and libusb with the USB one) for every listing and unloads
// them after. Kept resident, a listing costs less, and the little a USB listing leaks stays
// attributable to its module (the sanitizer suppressions name it).
void Session::keepPortDriversLoaded() {
    static const bool loaded = [] {
        dlopen("libusb-1.0.so.0", RTLD_LAZY | RTLD_NODELETE);
        // Port drivers and camera drivers alike: libgphoto2 loads each camera driver to read its
        // models and unloads it again, so what a driver keeps would otherwise be nameless.
        const std::pair<const char*, const char*> folders[] = {{"IOLIBS", KESTREL_GPHOTO_IOLIBS},
                                                               {"CAMLIBS", KESTREL_GPHOTO_CAMLIBS}};
        for (const auto& [variable, fallback] : folders) {
            const char* env = std::getenv(variable);
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(env ? env : fallback, ec))
                if (entry.path().extension() == ".so")
                    dlopen(entry.path().c_str(), RTLD_LAZY | RTLD_NODELETE);
        }
        return true;
    }();
    (void)loaded;
}

Session::~Session() {
    while (!cameras_.empty()) Close(cameras_.begin()->first);
    gp_port_info_list_free(ports_);
    gp_abilities_list_free(abilities_);
    gp_context_unref(context_);
}

sdk::Result Session::toSdk(int code) const {
    // Each chosen for the one error-text row that says what happened (the backend's codes
    // read as their own row).
    switch (code) {
        case GP_OK: return sdk::kOk;
        case GP_ERROR_NOT_SUPPORTED: return err::kNotSupported;
        case GP_ERROR_BAD_PARAMETERS: return err::kInvalidParameter;
        case GP_ERROR_CAMERA_BUSY: return err::kDeviceBusy;
        case GP_ERROR_IO_USB_CLAIM:
        case GP_ERROR_IO_LOCK: return err::kPortInUse;
        case GP_ERROR_IO_USB_FIND:
        case GP_ERROR_IO:
        case GP_ERROR_MODEL_NOT_FOUND: return err::kGone;
        case GP_ERROR_FILE_NOT_FOUND: return err::kFileNotFound;
        case GP_ERROR_DIRECTORY_NOT_FOUND: return err::kDirectoryNotFound;
        case GP_ERROR_NO_SPACE: return err::kDeviceMemoryFull;
        case GP_ERROR_TIMEOUT: return err::kTimeout;
        case GP_ERROR_CANCEL: return err::kCancelled;
        case GP_ERROR_CAMERA_ERROR: return err::kDeviceInternal;
        default: return err::kInternal;
    }
}

sdk::Result Session::check(sdk::Handle h, const char* what, const std::function<int()>& call) {
    lastMessage_.clear();
    // Made once: "busy" is the caller's to retry (the driver, as its caller allows), so the
    // camera thread never sleeps on it while a caller, the window included, waits.
    const int code = call();
    if (code >= GP_OK) return sdk::kOk;
    if (options_.note) {
        std::string line = std::string("libgphoto2: ") + what + ": " +
                           (lastMessage_.empty() ? gp_result_as_string(code) : lastMessage_) +
                           " (" + std::to_string(code) + ")";
        options_.note(line);
        if (code == GP_ERROR_IO_USB_CLAIM)
            options_.note(
                "The camera is held by another program, usually the desktop's file "
                "manager: release it with `gio mount -s gphoto2` and connect again.");
    }
    if (code == GP_ERROR_IO_USB_FIND || code == GP_ERROR_IO) gone(h);
    return toSdk(code);
}

void Session::gone(sdk::Handle h) {
    Cam* c = find(h);
    if (c == nullptr) return;
    const std::string name = c->device.name;
    const sdk::EventCallback event = c->event;
    void* const context = c->eventContext;
    Close(h);
    gone_.insert(h);   // until the driver closes it: its calls fail as disconnected
    if (options_.note)
        options_.note("The camera \"" + name + "\" was unplugged or switched off; it is closed.");
    // Said the way the simulated cameras say it, so the document hears it one way.
    if (event != nullptr) event(sdk::kEventCameraGone, nullptr, 0, context);
}

Session::Cam* Session::find(sdk::Handle h) {
    auto it = cameras_.find(h);
    return it == cameras_.end() ? nullptr : it->second.get();
}

std::vector<Device> Session::Devices() {
    std::vector<Device> found;
    if (options_.autodetect) {
        CameraList* list = nullptr;
        gp_list_new(&list);
        if (gp_camera_autodetect(list, context_) >= GP_OK) {
            for (int i = 0; i < gp_list_count(list); ++i) {
                const char* model = nullptr;
                const char* port = nullptr;
                gp_list_get_name(list, i, &model);
                gp_list_get_value(list, i, &port);
                if (model && port) found.push_back({model, model, port});
            }
        }
        gp_list_free(list);
    }
    for (const std::string& text : options_.cameras) {
        Device d;
        if (splitCamera(text, d)) found.push_back(d);
    }
    // Two cameras of one model are told apart by their port.
    for (std::size_t i = 0; i < found.size(); ++i)
        for (std::size_t j = i + 1; j < found.size(); ++j)
            if (found[j].name == found[i].name) found[j].name += " (" + found[j].port + ")";
    devices_ = found;
    return found;
}

sdk::Result Session::Open(const std::string& name, sdk::Handle handle) {
    const Device* device = nullptr;
    for (const Device& d : devices_)
        if (d.name == name) device = &d;
    if (device == nullptr) return err::kDeviceNotFound;
    auto c = std::make_unique<Cam>();
    c->device = *device;
    c->family = FamilyOf(device->model);
    CameraAbilities abilities;
    GPPortInfo info;
    const int model = gp_abilities_list_lookup_model(abilities_, device->model.c_str());
    if (model < GP_OK) return check(0, "gp_abilities_list_lookup_model", [model] { return model; });
    gp_abilities_list_get_abilities(abilities_, model, &abilities);
    const int port = gp_port_info_list_lookup_path(ports_, device->port.c_str());
    if (port < GP_OK) return check(0, "gp_port_info_list_lookup_path", [port] { return port; });
    gp_port_info_list_get_info(ports_, port, &info);
    gp_camera_new(&c->camera);
    gp_camera_set_abilities(c->camera, abilities);
    gp_camera_set_port_info(c->camera, info);
    Camera* camera = c->camera;
    const sdk::Result r =
        check(0, "gp_camera_init", [&] { return gp_camera_init(camera, context_); });
    if (r != sdk::kOk) {
        gp_camera_unref(camera);
        return r;
    }
    c->canPreview = (abilities.operations & GP_OPERATION_CAPTURE_PREVIEW) != 0;
    gp_file_new(&c->previewFile);
    resolve(*c);
    cameras_[handle] = std::move(c);
    return sdk::kOk;
}

sdk::Result Session::missing(sdk::Handle h) const {
    return gone_.count(h) != 0 ? err::kGone : err::kInvalidHandle;
}

sdk::Result Session::Close(sdk::Handle h) {
    auto it = cameras_.find(h);
    if (it == cameras_.end()) return gone_.erase(h) != 0 ? sdk::kOk : err::kInvalidHandle;
    Cam& c = *it->second;
    if (c.frame != nullptr && !c.viewfinder.empty()) {
        const float off = 0;
        writeWidget(c, c.viewfinder, nullptr, &off);
    }
    gp_camera_exit(c.camera, context_);
    gp_camera_unref(c.camera);
    if (c.previewFile) gp_file_unref(c.previewFile);
    cameras_.erase(it);
    return sdk::kOk;
}

int Session::readWidget(Cam& c, const std::string& name, std::string* text,
                        std::vector<std::string>* choices, float* value, float* low, float* high) {
    CameraWidget* w = nullptr;
    int r = gp_camera_get_single_config(c.camera, name.c_str(), &w, context_);
    if (r < GP_OK) return r;
    CameraWidgetType type;
    gp_widget_get_type(w, &type);
    if (type == GP_WIDGET_RADIO || type == GP_WIDGET_MENU || type == GP_WIDGET_TEXT) {
        const char* v = nullptr;
        r = gp_widget_get_value(w, &v);
        if (text) *text = v ? v : "";
        if (choices && type != GP_WIDGET_TEXT) {
            for (int i = 0; i < gp_widget_count_choices(w); ++i) {
                const char* choice = nullptr;
                if (gp_widget_get_choice(w, i, &choice) >= GP_OK && choice)
                    choices->push_back(choice);
            }
        }
    } else if (type == GP_WIDGET_RANGE) {
        float v = 0, lo = 0, hi = 0, step = 0;
        r = gp_widget_get_value(w, &v);
        gp_widget_get_range(w, &lo, &hi, &step);
        if (value) *value = v;
        if (low) *low = lo;
        if (high) *high = hi;
        if (text) *text = std::to_string(static_cast<int>(v));
    } else if (type == GP_WIDGET_TOGGLE || type == GP_WIDGET_DATE) {
        int v = 0;
        r = gp_widget_get_value(w, &v);
        if (value) *value = static_cast<float>(v);
        if (text) *text = std::to_string(v);
    }
    gp_widget_free(w);
    return r;
}

int Session::writeWidget(Cam& c, const std::string& name, const std::string* text,
                         const float* value) {
    CameraWidget* w = nullptr;
    int r = gp_camera_get_single_config(c.camera, name.c_str(), &w, context_);
    if (r < GP_OK) return r;
    CameraWidgetType type;
    gp_widget_get_type(w, &type);
    if (text != nullptr) {
        r = gp_widget_set_value(w, text->c_str());
    } else if (type == GP_WIDGET_RANGE) {
        r = gp_widget_set_value(w, value);
    } else {
        const int v = static_cast<int>(*value);
        r = gp_widget_set_value(w, &v);
    }
    if (r >= GP_OK) r = gp_camera_set_single_config(c.camera, name.c_str(), w, context_);
    gp_widget_free(w);
    return r;
}

std::string Session::firstWidget(Cam& c, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        CameraWidget* w = nullptr;
        if (gp_camera_get_single_config(c.camera, name.c_str(), &w, context_) >= GP_OK) {
            gp_widget_free(w);
            return name;
        }
    }
    return {};
}

// Which widget carries each setting on this camera; what it lacks stays empty (not offered).
void Session::resolve(Cam& c) {
    const FamilyNames& n = NamesOf(c.family);
    for (std::size_t i = 0; i < kSettingCount; ++i) c.widget[i] = firstWidget(c, n.settings[i]);
    c.imageFormat = firstWidget(c, n.imageFormat);
    c.imageSize = firstWidget(c, n.imageSize);
    c.afLock = firstWidget(c, n.afLock);
    c.zoom = firstWidget(c, n.zoom);
    c.owner = firstWidget(c, n.owner);
    c.firmware = firstWidget(c, n.firmware);
    c.battery = firstWidget(c, n.battery);
    c.viewfinder = firstWidget(c, n.viewfinder);
    c.captureTarget = firstWidget(c, {"capturetarget"});
    c.magnify = firstWidget(c, {"eoszoom"});
    c.magnifyPosition = c.magnify.empty() ? std::string() : firstWidget(c, {"eoszoomposition"});
    if (c.magnifyPosition.empty()) c.magnify.clear();
    resolveFocus(c);
    // A camera without storage keeps its pictures in RAM until they are fetched.
    CameraStorageInformation* storages = nullptr;
    int storageCount = 0;
    c.noCard = gp_camera_get_storageinfo(c.camera, &storages, &storageCount, context_) >= GP_OK &&
               storageCount == 0;
    std::free(storages);
    // A zoom whose range is not a pair of finite numbers is not offered.
    float position = 0, low = 0, high = 0;
    if (!c.zoom.empty() &&
        (readWidget(c, c.zoom, nullptr, nullptr, &position, &low, &high) < GP_OK ||
         !std::isfinite(position) || !std::isfinite(low) || !std::isfinite(high) || high < low))
        c.zoom.clear();

    c.sizes.clear();
    c.formats.clear();
    auto sizeCode = [&c](const std::string& size) {
        for (std::size_t i = 0; i < c.sizes.size(); ++i)
            if (c.sizes[i] == size) return static_cast<std::uint32_t>(i);
        c.sizes.push_back(size);
        return static_cast<std::uint32_t>(c.sizes.size() - 1);
    };
    std::vector<std::string> choices;
    if (!c.imageFormat.empty() && readWidget(c, c.imageFormat, nullptr, &choices) >= GP_OK) {
        for (const std::string& choice : choices) {
            std::string size, quality;
            std::uint32_t q = 0;
            if (!SplitImageFormat(choice, size, quality)) continue;
            if (!MatchLabel(options_.labels, Setting::Quality, quality, q)) continue;
            const std::uint32_t s = sizeCode(size);
            bool known = false;
            for (const auto& f : c.formats) known = known || f.first == std::make_pair(q, s);
            if (!known) c.formats.push_back({{q, s}, choice});   // the first text of a pair wins
        }
    } else if (!c.imageSize.empty() && readWidget(c, c.imageSize, nullptr, &choices) >= GP_OK) {
        for (const std::string& choice : choices) sizeCode(choice);
    }
}

sdk::Result Session::PropertyIds(sdk::Handle h, std::vector<std::uint32_t>& ids) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    ids = {sdk::kPropName, sdk::kPropCapabilities};
    if (!c->owner.empty()) ids.push_back(sdk::kPropOwner);
    if (!c->firmware.empty()) ids.push_back(sdk::kPropFirmware);
    if (!c->battery.empty()) ids.push_back(sdk::kPropBattery);
    if (!c->battery.empty()) ids.push_back(sdk::kPropBatteryText);
    return sdk::kOk;
}

sdk::Result Session::PropertyData(sdk::Handle h, std::uint32_t id, std::uint32_t* size,
                                  void* buffer) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (size == nullptr || buffer == nullptr) return err::kInvalidParameter;
    std::string text;
    std::uint32_t word = 0;
    bool isText = true;
    auto read = [&](const std::string& widget) {
        return check(h, widget.c_str(), [&] { return readWidget(*c, widget, &text, nullptr); });
    };
    sdk::Result r = sdk::kOk;
    switch (id) {
        case sdk::kPropName: text = c->device.name; break;
        case sdk::kPropCapabilities:
            isText = false;
            word = (c->zoom.empty() ? 0u : 1u) |
                   (c->widget[static_cast<std::size_t>(Setting::ShootingMode)].empty() ? 0u : 2u) |
                   (c->canPreview ? 4u : 0u) | (c->magnify.empty() ? 0u : 8u) |
                   (c->focusStyle == Cam::Focus::None ? 0u : 16u);
            break;
        case sdk::kPropOwner: r = c->owner.empty() ? err::kNotSupported : read(c->owner); break;
        case sdk::kPropFirmware:
            r = c->firmware.empty() ? err::kNotSupported : read(c->firmware);
            break;
        case sdk::kPropBattery:
            isText = false;
            r = c->battery.empty() ? err::kNotSupported : read(c->battery);
            word = BatteryLevel(text);
            break;
        case sdk::kPropBatteryText:
            r = c->battery.empty() ? err::kNotSupported : read(c->battery);
            text = PrintableName(text, 15);
            break;
        default: return err::kNotSupported;
    }
    if (r != sdk::kOk) return r;
    if (isText) {
        const std::size_t n = std::min<std::size_t>(text.size(), *size > 0 ? *size - 1 : 0);
        std::memcpy(buffer, text.data(), n);
        if (*size > 0) static_cast<char*>(buffer)[n] = '\0';
        *size = static_cast<std::uint32_t>(*size > 0 ? n + 1 : 0);
    } else {
        const std::uint32_t n = std::min<std::uint32_t>(*size, 4);
        std::memcpy(buffer, &word, n);
        *size = n;
    }
    return sdk::kOk;
}

sdk::Result Session::Choices(sdk::Handle h, Setting s, std::vector<std::uint32_t>& codes) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    codes.clear();
    const std::string& widget = c->widget[static_cast<std::size_t>(s)];
    if (widget.empty()) return sdk::kOk;   // not offered, no error
    std::vector<std::string> choices;
    const sdk::Result r =
        check(h, widget.c_str(), [&] { return readWidget(*c, widget, nullptr, &choices); });
    if (r != sdk::kOk) return r;
    for (const std::string& choice : choices) {
        std::uint32_t code = 0;
        if (MatchLabel(options_.labels, s, choice, code)) codes.push_back(code);
    }
    return sdk::kOk;
}

constexpr std::uint32_t kNoCode = 0xFFFF;   // a value no label table lists

sdk::Result Session::Get(sdk::Handle h, Setting s, std::uint32_t& code) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    code = kNoCode;
    const std::string& widget = c->widget[static_cast<std::size_t>(s)];
    if (widget.empty()) return sdk::kOk;
    std::string text;
    const sdk::Result r =
        check(h, widget.c_str(), [&] { return readWidget(*c, widget, &text, nullptr); });
    if (r == sdk::kOk && !MatchLabel(options_.labels, s, text, code)) code = kNoCode;
    return r;
}

sdk::Result Session::Set(sdk::Handle h, Setting s, std::uint32_t code) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    const std::string& widget = c->widget[static_cast<std::size_t>(s)];
    if (widget.empty()) return err::kNotSupported;
    std::vector<std::string> choices;
    sdk::Result r =
        check(h, widget.c_str(), [&] { return readWidget(*c, widget, nullptr, &choices); });
    if (r != sdk::kOk) return r;
    for (const std::string& choice : choices) {
        std::uint32_t match = 0;
        if (MatchLabel(options_.labels, s, choice, match) && match == code)
            return check(h, widget.c_str(),
                         [&] { return writeWidget(*c, widget, &choice, nullptr); });
    }
    return err::kInvalidParameter;   // the camera does not offer it
}

sdk::Result Session::Sizes(sdk::Handle h, std::vector<std::string>& labels) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    labels = c->sizes;
    return sdk::kOk;
}

sdk::Result Session::Formats(sdk::Handle h,
                             std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    pairs.clear();
    for (const auto& f : c->formats) pairs.push_back(f.first);
    if (c->formats.empty() && !c->imageSize.empty()) {   // compacts: every size, every quality
        std::vector<std::uint32_t> qualities;
        const sdk::Result r = Choices(h, Setting::Quality, qualities);
        if (r != sdk::kOk) return r;
        for (std::uint32_t s = 0; s < c->sizes.size(); ++s)
            for (std::uint32_t q : qualities) pairs.push_back({q, s});
    }
    return sdk::kOk;
}

sdk::Result Session::GetFormat(sdk::Handle h, std::uint32_t& quality, std::uint32_t& size) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    quality = kNoCode;
    size = kNoCode;
    std::string text;
    if (!c->imageFormat.empty()) {
        const sdk::Result r = check(h, c->imageFormat.c_str(),
                                    [&] { return readWidget(*c, c->imageFormat, &text, nullptr); });
        if (r != sdk::kOk) return r;
        for (const auto& f : c->formats) {
            if (f.second == text) {
                quality = f.first.first;
                size = f.first.second;
            }
        }
        return sdk::kOk;
    }
    if (c->imageSize.empty()) return sdk::kOk;
    sdk::Result r = check(h, c->imageSize.c_str(),
                          [&] { return readWidget(*c, c->imageSize, &text, nullptr); });
    if (r != sdk::kOk) return r;
    for (std::size_t i = 0; i < c->sizes.size(); ++i)
        if (c->sizes[i] == text) size = static_cast<std::uint32_t>(i);
    return Get(h, Setting::Quality, quality);
}

sdk::Result Session::SetFormat(sdk::Handle h, std::uint32_t quality, std::uint32_t size) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (!c->imageFormat.empty()) {
        // The pair asked for; else the size with the first quality it has ("RAW" alone has
        // none of the JPEG qualities).
        const std::string* text = nullptr;
        for (const auto& f : c->formats)
            if (f.first == std::make_pair(quality, size)) text = &f.second;
        for (const auto& f : c->formats)
            if (text == nullptr && f.first.second == size) text = &f.second;
        if (text == nullptr) return err::kInvalidParameter;
        return check(h, c->imageFormat.c_str(),
                     [&] { return writeWidget(*c, c->imageFormat, text, nullptr); });
    }
    if (c->imageSize.empty() || size >= c->sizes.size()) return err::kInvalidParameter;
    const std::string text = c->sizes[size];
    const sdk::Result r = check(h, c->imageSize.c_str(),
                                [&] { return writeWidget(*c, c->imageSize, &text, nullptr); });
    if (r != sdk::kOk || c->widget[static_cast<std::size_t>(Setting::Quality)].empty()) return r;
    return Set(h, Setting::Quality, quality);
}

sdk::Result Session::AFLock(sdk::Handle h, bool lock) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->afLock.empty()) return err::kNotSupported;
    std::string text;
    std::vector<std::string> choices;
    sdk::Result r =
        check(h, c->afLock.c_str(), [&] { return readWidget(*c, c->afLock, &text, &choices); });
    if (r != sdk::kOk) return r;
    if (choices.empty()) {   // a toggle
        const float v = lock ? 1.0f : 0.0f;
        return check(h, c->afLock.c_str(), [&] { return writeWidget(*c, c->afLock, nullptr, &v); });
    }
    const std::string want = lock ? "On" : "Off";
    return check(h, c->afLock.c_str(), [&] { return writeWidget(*c, c->afLock, &want, nullptr); });
}

sdk::Result Session::Zoom(sdk::Handle h, std::uint32_t& position, std::uint32_t& first,
                          std::uint32_t& last) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->zoom.empty()) return err::kNotSupported;
    float v = 0, lo = 0, hi = 0;
    const sdk::Result r = check(h, c->zoom.c_str(), [&] {
        return readWidget(*c, c->zoom, nullptr, nullptr, &v, &lo, &hi);
    });
    if (r != sdk::kOk) return r;
    // A camera's number that is not finite is no position; one out of range is held to it.
    if (!std::isfinite(v) || !std::isfinite(lo) || !std::isfinite(hi)) return err::kNotSupported;
    const auto whole = [](float x) {
        return static_cast<std::uint32_t>(std::clamp(x, 0.0f, 1000000.0f));
    };
    position = whole(v);
    first = whole(lo);
    last = whole(hi);
    return sdk::kOk;
}

sdk::Result Session::SetZoom(sdk::Handle h, std::uint32_t position) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->zoom.empty()) return err::kNotSupported;
    const float v = static_cast<float>(position);
    return check(h, c->zoom.c_str(), [&] { return writeWidget(*c, c->zoom, nullptr, &v); });
}

}   // namespace gphoto
