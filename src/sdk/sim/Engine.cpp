// Engine basics: the two worlds, handles and listings, and the controls Simulator forwards.
#include "sdk/sim/Engine.h"

#include "sdk/CameraEvent.h"

#include "sdk/sim/Scene.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

const sdk::Api& apiTable(bool rc);   // ApiTable.cpp

Engine& Engine::Cd() {
    // Never destroyed: a driver destroyed late at exit may still call in. Threads stop at exit.
    static Engine* const world = [] {
        auto* engine = new Engine(false);
        std::atexit([] { Engine::Cd().Shutdown(); });
        return engine;
    }();
    return *world;
}

Engine& Engine::Rc() {
    static Engine* const world = [] {
        auto* engine = new Engine(true);
        std::atexit([] { Engine::Rc().Shutdown(); });
        return engine;
    }();
    return *world;
}

Engine::Engine(bool rcWorld)
    : rc_(rcWorld), api_(&apiTable(rcWorld)), journal_(rcWorld ? "RC" : "CD") {
    installWorldLocked(rc_ ? defaultRcWorld() : defaultCdWorld());
}

sdk::Handle Engine::addListingLocked(SimListing listing) {
    const sdk::Handle handle = newHandleLocked();
    listings_.Add(handle, std::move(listing));
    return handle;
}

SimListing* Engine::listingLocked(sdk::Handle handle, ListingKind kind) {
    SimListing* listing = listings_.Find(handle);
    return listing != nullptr && listing->kind == kind ? listing : nullptr;
}

double Engine::brightness(const Camera& camera) {
    const CameraSpec& s = camera.model;
    return scene::exposureBrightness(s.avValue, s.tvValue, s.isoValue, s.exposureComp);
}

Shot Engine::shotOf(const Camera& camera) {
    Shot shot;
    shot.frameIndex = camera.frameIndex ? camera.frameIndex - 1 : 0;   // the frame of this moment
    shot.brightness = brightness(camera);
    shot.focus = focusOf(camera);
    shot.quality = camera.model.quality;
    for (const auto& [code, pixels] : camera.model.sizePixels) {
        if (code == camera.model.size) {
            shot.width = pixels.first;
            shot.height = pixels.second;
            break;
        }
    }
    return shot;
}

void Engine::installWorldLocked(World world) {
    cameras_.Install(std::move(world), rc_);
    events_.queue.clear();
    events_.held.clear();
    events_.captured.clear();
    changed_.notify_all();
}

// ---------------------------------------------------------------- controls

void Engine::Reset() {
    Lock lock(mutex_);
    quiesceLocked(lock, true);
    installWorldLocked(rc_ ? defaultRcWorld() : defaultCdWorld());
    journal_.ClearFailures();
    journal_.Clear();
    listings_.Clear();
    viewfinders_.fps = 30;
    viewfinders_.manual = false;
    events_.hold = false;
}

void Engine::SetWorld(World world) {
    Lock lock(mutex_);
    quiesceLocked(lock, false);
    installWorldLocked(std::move(world));
}

void Engine::RemoveCamera(const std::string& name) {
    Lock lock(mutex_);
    std::vector<std::shared_ptr<ViewfinderRun>> runs;
    for (auto& camera : cameras_) {
        if (camera->model.name != name) continue;
        camera->removed = true;
        camera->viewfinderRunning = false;   // a vanished camera sends no more frames
        if (camera->run) runs.push_back(detachRun(*camera));
    }
    for (auto& run : runs) joinRunLocked(lock, std::move(run));
}

void Engine::UnplugCamera(const std::string& name) {
    RemoveCamera(name);
    Lock lock(mutex_);
    Camera* camera = cameras_.ByName(name);
    if (!camera || !camera->source) return;
    const sdk::Handle source = camera->source;
    const std::vector<Registration> registrations = camera->registrations;
    for (const Registration& registration : registrations) {
        Camera* open = cameras_.BySource(source);   // still open and still registered?
        if (!open) break;
        const auto& live = open->registrations;
        if (std::none_of(live.begin(), live.end(),
                         [&](const Registration& r) { return r.id == registration.id; }))
            continue;
        beginCallbackLocked(source, CallbackKind::CameraEvent, registration.id);
        lock.unlock();
        registration.callback(sdk::kEventCameraGone, nullptr, 0, registration.context);
        lock.lock();
        endCallbackLocked(source, CallbackKind::CameraEvent);
    }
}

void Engine::ReplugCamera(const std::string& name) {
    Lock lock(mutex_);
    cameras_.Return(name);
}

void Engine::PlugInCamera(CameraSpec model) {
    Lock lock(mutex_);
    cameras_.Add(std::move(model), rc_);
}

void Engine::SetFrameRate(double fps) {
    Lock lock(mutex_);
    viewfinders_.fps = std::clamp(fps, 0.1, 2000.0);
    for (auto& camera : cameras_) {
        if (camera->run) {
            camera->run->wake = true;
            camera->run->cv.notify_all();
        }
    }
}

void Engine::SetManualViewfinder(bool manual) {
    Lock lock(mutex_);
    if (viewfinders_.manual == manual) return;
    viewfinders_.manual = manual;
    if (manual) {
        std::vector<std::shared_ptr<ViewfinderRun>> runs;
        for (auto& camera : cameras_)
            if (camera->run) runs.push_back(detachRun(*camera));
        for (auto& run : runs) joinRunLocked(lock, std::move(run));
    } else {
        for (auto& camera : cameras_)
            if (camera->viewfinderRunning && !camera->run && camera->source)
                startViewfinderLocked(*camera);
    }
}

void Engine::SetBattery(const std::string& name, std::uint32_t level) {
    Lock lock(mutex_);
    Camera* camera = cameras_.ByName(name);
    if (!camera) return;
    camera->model.battery = level;
    const sdk::Handle source = camera->source;
    if (!source) return;
    const std::vector<Registration> registrations = camera->registrations;
    for (const Registration& registration : registrations) {
        Camera* now = cameras_.BySource(source);   // still open and still registered?
        if (!now) break;
        const auto& live = now->registrations;
        if (std::none_of(live.begin(), live.end(),
                         [&](const auto& r) { return r.id == registration.id; }))
            continue;
        beginCallbackLocked(source, CallbackKind::CameraEvent, registration.id);
        lock.unlock();
        const std::vector<std::uint8_t> data =
            sdk::CameraEventData{level, {}}.Encode(sdk::kEventBattery);
        registration.callback(sdk::kEventBattery, data.data(),
                              static_cast<std::uint32_t>(data.size()), registration.context);
        lock.lock();
        endCallbackLocked(source, CallbackKind::CameraEvent);
    }
}

std::optional<CameraState> Engine::State(const std::string& name) const {
    Lock lock(mutex_);
    const Camera* c = cameras_.ByName(name);
    if (!c) return std::nullopt;
    CameraState st;
    const CameraSpec& s = c->model;
    st.open = c->source != 0;
    st.viewfinderRunning = c->viewfinderRunning;
    st.releaseControl = c->releaseControl;
    st.captureSession = c->session;
    st.afLocked = c->afLocked;
#define KESTREL_STATE(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                      Current, ...)                                                         \
    st.Current = s.Current;
    KESTREL_LISTED_SETTINGS(KESTREL_STATE)
#undef KESTREL_STATE
    st.quality = s.quality;
    st.size = s.size;
    st.zoomPos = s.zoomPos;
    st.focusPos = s.focusPos;
    st.battery = s.battery;
    st.framesDelivered = c->framesDelivered;
    st.pendingCaptures = c->pendingCaptures;
    return st;
}

bool Engine::WaitForFrames(const std::string& name, std::uint32_t count,
                           std::chrono::nanoseconds timeout) {
    Lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        const Camera* camera = cameras_.ByName(name);
        return camera && camera->framesDelivered >= count;
    });
}

bool Engine::WaitForEvents(std::chrono::nanoseconds timeout) {
    Lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return events_.queue.empty() && !events_.busy; });
}

std::size_t Engine::OpenListings() const {
    Lock lock(mutex_);
    return listings_.OpenCount();
}

int Engine::SdkStarts() const {
    Lock lock(mutex_);
    return sdkStarts_;
}

void Engine::Shutdown() {
    Lock lock(mutex_);
    quiesceLocked(lock, true);
    for (auto& camera : cameras_) camera->viewfinderRunning = false;
}

}   // namespace sim
