#include "document/CameraWatch.h"

#include "document/CViewDoc.h"

#include <algorithm>
#include <cstdio>

namespace {
thread_local bool attempting = false;   // a reconnect attempt runs on this thread

struct Attempt {
    Attempt() { attempting = true; }
    ~Attempt() { attempting = false; }
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;
};

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}
}   // namespace

bool CameraWatch::quiet() { return attempting; }

void CameraWatch::keepSettings(const Settings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

std::string CameraWatch::waitingFor() const {
    std::lock_guard lock(mutex_);
    return waiting_ ? name_ : std::string();
}

void CameraWatch::StopWaiting() {
    gone_ = false;
    waiting_ = false;
}

CameraWatch::Change CameraWatch::Tick(Clock::time_point now) {
    if (gone_.load()) {
        camera::CanonDriver* open = document_.openDriver();
        if (open == nullptr) {   // closed by the user meanwhile: nothing to wait for
            gone_ = false;
            return Change::None;
        }
        const camera::CameraProperties properties = open->properties();
        std::string name = document_.connectedName();
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
        for (int driver = 0; driver < 2; ++driver)
            if (camera::CanonDriver* d = document_.openDriver()) d->Disconnect();
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

bool CameraWatch::tryOpen(Clock::time_point now) {
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
    if (document_.openDriver() != nullptr) {   // opened by other means: no more waiting
        StopWaiting();
        return false;
    }
    bool listed = false;
    {
        const Attempt attempt;
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
        const Attempt attempt;
        opened = document_.ConnectCamera(name);
    }
    if (!opened) return false;
    const camera::CameraProperties properties = document_.openDriver()->properties();
    if (properties.ownerName != owner || properties.firmware != firmware) {
        // Another body of the same model: it is not the camera the session had.
        for (int driver = 0; driver < 2; ++driver)
            if (camera::CanonDriver* d = document_.openDriver()) d->Disconnect();
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
    restoreSettings();
    waiting_ = false;
    const double seconds = std::chrono::duration<double>(now - since).count();
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    document_.Log("Camera back: " + name + " (away " + text + " s)\r\n");
    return true;
}

void CameraWatch::restoreSettings() {
    Settings settings;
    {
        std::lock_guard lock(mutex_);
        settings = settings_;
    }
    camera::CanonDriver* driver = document_.openDriver();
    if (driver == nullptr) return;
    for (const camera::SettingInfo& info : camera::kSettings) {
        const std::string& wanted = settings.labels[camera::IndexOf(info.key)];
        if (wanted.empty() || driver->GetLabel(info.key) == wanted) continue;
        driver->Set(info.key, wanted);   // a refusal is logged by the driver
    }
    if (settings.hasZoom && driver->maxZoomPos() > 0 && driver->GetZoomPos() != settings.zoom)
        driver->SetZoomPos(settings.zoom);
}
