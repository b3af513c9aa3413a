#include "document/CameraSession.h"

#include "camera/LabelTables.h"
#include "document/CViewDoc.h"

#include <algorithm>
#include <cstdio>

namespace {

// Marks a reopen attempt for as long as it runs (quiet()).
class Attempt {
public:
    explicit Attempt(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~Attempt() { flag_ = false; }
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;

private:
    std::atomic<bool>& flag_;
};

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}   // namespace

// ---- The open camera

bool CameraSession::Open(const std::string& deviceName) {
    camera::CanonDriver* driver = nullptr;
    if (Listed(document_.cdDevices(), deviceName)) driver = &document_.cdDriver();
    else if (Listed(document_.rcDevices(), deviceName)) driver = &document_.rcDriver();
    if (driver == nullptr) return false;
    // A listed camera that has gone since leaves the driver idle: nothing to show or clear.
    if (!driver->Connect(deviceName, &CViewDoc::CameraEventRelay) || !driver->isOpen())
        return false;
    std::lock_guard lock(mutex_);
    connectedName_ = deviceName;
    return true;
}

camera::CanonDriver* CameraSession::openDriver() {
    if (document_.cdDriver().isOpen()) return &document_.cdDriver();
    if (document_.rcDriver().isOpen()) return &document_.rcDriver();
    return nullptr;
}

std::string CameraSession::connectedName() const {
    std::lock_guard lock(mutex_);
    return connectedName_;
}

// ---- Settings

SettingValues CameraSession::Read() {
    camera::CanonDriver* driver = openDriver();
    if (driver == nullptr) return held();
    SettingValues values;
    for (const camera::SettingInfo& info : camera::kSettings)
        values.label(info.key) = driver->GetLabel(info.key);
    values.hasZoom = driver->maxZoomPos() > 0;
    values.zoom = driver->GetZoomPos();   // 0, unasked, without a zoom
    std::lock_guard lock(mutex_);
    if (gone_.load()) return held_;   // what it held before it went is what is set back
    held_ = values;
    return values;
}

SettingValues CameraSession::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

ApplyReport CameraSession::Apply(const SettingValues& wanted, camera::BusyRetry busy,
                                 const ApplyHook& hook) {
    ApplyReport report;
    camera::CanonDriver* driver = openDriver();
    if (driver == nullptr) return report;
    for (const camera::SettingInfo& info : camera::kSettings) {
        const std::string& label = wanted.label(info.key);
        if (label.empty() || driver->GetLabel(info.key) == label) continue;
        const bool offered = camera::FindLabel(driver->Options(info.key), label) != nullptr;
        if (hook) hook(info.key, offered);
        if (!offered) {
            report.notOffered.push_back(info.key);
            continue;
        }
        driver->Set(info.key, label, busy);   // a refusal is logged by the driver
        report.sent.push_back(info.key);
    }
    if (wanted.hasZoom && driver->maxZoomPos() > 0 && driver->GetZoomPos() != wanted.zoom) {
        if (hook) hook(std::nullopt, true);
        driver->SetZoomPos(wanted.zoom);
        report.zoomSent = true;
    }
    // Read-back: the camera may hold another value than asked (refused, or changed with
    // another setting).
    SettingValues now = held();
    const auto sent = [&report](camera::Setting key) {
        return std::find(report.sent.begin(), report.sent.end(), key) != report.sent.end();
    };
    for (const camera::SettingInfo& info : camera::kSettings) {
        // Image size and quality are one pair on the camera: sending one reads both.
        const bool pair =
            info.key == camera::Setting::ImageSize || info.key == camera::Setting::ImageQuality;
        if (!sent(info.key) &&
            !(pair && (sent(camera::Setting::ImageSize) || sent(camera::Setting::ImageQuality))))
            continue;
        now.label(info.key) = driver->GetLabel(info.key);
        if (sent(info.key) && now.label(info.key) != wanted.label(info.key))
            report.notHeld.emplace_back(info.key, now.label(info.key));
    }
    if (report.zoomSent) {
        now.hasZoom = true;
        now.zoom = report.heldZoom = driver->GetZoomPos();
        report.zoomNotHeld = now.zoom != wanted.zoom;
    }
    std::lock_guard lock(mutex_);
    if (!gone_.load()) held_ = now;
    return report;
}

void CameraSession::KeepOnReturn(camera::Setting key, const std::string& label) {
    std::lock_guard lock(mutex_);
    held_.label(key) = label;
}

// ---- Loss and return

std::string CameraSession::waitingFor() const {
    std::lock_guard lock(mutex_);
    return waiting_ ? name_ : std::string();
}

void CameraSession::StopWaiting() {
    gone_ = false;
    waiting_ = false;
}

void CameraSession::Disconnect() {
    StopWaiting();   // a loss noted meanwhile is the user's Disconnect now
    closeAll();
}

void CameraSession::closeAll() {
    for (int driver = 0; driver < 2; ++driver)   // each driver with a camera open
        if (camera::CanonDriver* open = openDriver()) open->Disconnect();
}

CameraSession::Change CameraSession::Tick(Clock::time_point now) {
    if (gone_.load()) {
        camera::CanonDriver* open = openDriver();
        if (open == nullptr) {   // closed by the user meanwhile: nothing to wait for
            gone_ = false;
            return Change::None;
        }
        const camera::CameraProperties properties = open->properties();
        std::string name = connectedName();
        {
            std::lock_guard lock(mutex_);
            name_ = name;
            owner_ = properties.ownerName;
            firmware_ = properties.firmware;
            since_ = now;
            nextList_ = now + kListInterval;
            nextOpen_ = now;
            listed_ = false;
            otherSaid_ = false;
        }
        waiting_ = true;   // before gone_ clears, so away() holds throughout
        gone_ = false;
        closeAll();
        document_.Log("Camera lost: " + name + ". Waiting for it to come back\r\n");
        return Change::Lost;
    }
    if (!waiting_.load()) return Change::None;
    {
        std::lock_guard lock(mutex_);
        if (now < nextList_) return Change::None;
        nextList_ = now + kListInterval;
    }
    return tryOpen(now) ? Change::Back : Change::None;
}

bool CameraSession::tryOpen(Clock::time_point now) {
    std::string name, owner, firmware;
    Clock::time_point since;
    bool wasListed = false;
    {
        std::lock_guard lock(mutex_);
        name = name_;
        owner = owner_;
        firmware = firmware_;
        since = since_;
        wasListed = listed_;
    }
    if (openDriver() != nullptr) {   // opened by other means: no more waiting
        StopWaiting();
        return false;
    }
    bool listed = false;
    {
        const Attempt attempt(attempting_);
        document_.UpdateDeviceList();
        listed = Listed(document_.cdDevices(), name) || Listed(document_.rcDevices(), name);
    }
    {
        std::lock_guard lock(mutex_);
        listed_ = listed;
        // Newly listed: at once. Listed all along (no hotplug): every kOpenInterval.
        if (!listed || (wasListed && now < nextOpen_)) return false;
        nextOpen_ = now + kOpenInterval;
    }
    bool opened = false;
    {
        const Attempt attempt(attempting_);
        opened = document_.ConnectCamera(name);
    }
    if (!opened) return false;
    const camera::CameraProperties properties = openDriver()->properties();
    if (properties.ownerName != owner || properties.firmware != firmware) {
        // Another body of the same model: it is not the camera the session had.
        closeAll();
        bool say = false;
        {
            std::lock_guard lock(mutex_);
            say = !otherSaid_;
            otherSaid_ = true;
        }
        if (say)
            document_.Log("Another " + name + " is attached (owner " + properties.ownerName +
                          "): not reconnected; still waiting for the one that went away\r\n");
        return false;
    }
    // Set back on the window thread: one try each, as for the user's own choices. Away until
    // then, so a Time run's step does not start on a camera still being set up.
    Apply(held(), camera::kNoBusyRetry);
    waiting_ = false;
    const double seconds = std::chrono::duration<double>(now - since).count();
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    document_.Log("Camera back: " + name + " (away " + text + " s)\r\n");
    return true;
}
