// Simulator: the public face of a world, its sdk::Api table and the controls tests use.
#include "sdk/sim/Simulator.h"

#include "sdk/sim/Engine.h"
#include "sdk/FrameHeader.h"
#include "sdk/sim/Scene.h"

#include <algorithm>

namespace sim {

struct Simulator::Impl {
    Engine& engine;
};

namespace {
std::chrono::nanoseconds seconds(double s) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::max(0.0, s) * 1e9));
}
}   // namespace

Simulator& Simulator::cd() {
    static Simulator* const instance = new Simulator(false);   // outlives every static user
    return *instance;
}

Simulator& Simulator::rc() {
    static Simulator* const instance = new Simulator(true);
    return *instance;
}

Simulator::Simulator(bool rc) : impl_(new Impl{Engine::of(rc ? 1 : 0)}) {}

Simulator::~Simulator() = default;

const sdk::Api& Simulator::api() const { return *impl_->engine.api; }

void Simulator::reset() {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.quiesce(lk, true);
    e.installWorld(e.rc ? defaultRcWorld() : defaultCdWorld());
    e.failOnce.clear();
    e.failAlways.clear();
    e.journal.clear();
    e.enumerations.Clear();
    e.fps = 30;
    e.manual = false;
    e.hold = false;
}

void Simulator::setWorld(World world) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.quiesce(lk, false);
    e.installWorld(std::move(world));
}

void Simulator::failOnce(const std::string& call, sdk::Result code) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.failOnce[call].push_back(code);
}

void Simulator::failAlways(const std::string& call, sdk::Result code) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.failAlways[call] = code;
}

void Simulator::clearFailures() {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.failOnce.clear();
    e.failAlways.clear();
}

void Simulator::setJournal(bool on) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.journalOn = on;
    if (!on) e.journal.clear();
}

std::vector<Call> Simulator::journal() const {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    std::vector<Call> out;
    out.reserve(e.journal.size());
    for (const auto& entry : e.journal) out.push_back(entry.second);
    return out;
}

void Simulator::clearJournal() {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.journal.clear();
}

std::size_t Simulator::countCalls(const std::string& callWithPrefix) const {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    return static_cast<std::size_t>(
        std::count_if(e.journal.begin(), e.journal.end(),
                      [&](const auto& entry) { return entry.second.name == callWithPrefix; }));
}

void Simulator::removeCamera(const std::string& name) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    std::vector<std::shared_ptr<ViewfinderRun>> runs;
    for (auto& c : e.cameras) {
        if (c->model.name != name) continue;
        c->removed = true;
        c->viewfinderRunning = false;   // a vanished camera sends no more frames
        if (c->run) runs.push_back(e.detachRun(*c));
    }
    for (auto& run : runs) e.joinRun(lk, std::move(run));
}

void Simulator::setFrameRate(double fps) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.fps = std::clamp(fps, 0.1, 2000.0);
    for (auto& c : e.cameras) {
        if (c->run) {
            c->run->wake = true;
            c->run->cv.notify_all();
        }
    }
}

void Simulator::setManualViewfinder(bool manual) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    if (e.manual == manual) return;
    e.manual = manual;
    if (manual) {
        std::vector<std::shared_ptr<ViewfinderRun>> runs;
        for (auto& c : e.cameras)
            if (c->run) runs.push_back(e.detachRun(*c));
        for (auto& run : runs) e.joinRun(lk, std::move(run));
    } else {
        for (auto& c : e.cameras)
            if (c->viewfinderRunning && !c->run && c->source) e.startViewfinderThread(*c);
    }
}

bool Simulator::pushFrame() {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    if (!e.manual) return false;
    Camera* cam = nullptr;
    for (auto& c : e.cameras) {
        if (c->viewfinderRunning && c->frameCallback && c->source) {
            cam = c.get();
            break;
        }
    }
    if (!cam) return false;
    const sdk::Handle source = cam->source;
    const sdk::FrameCallback callback = cam->frameCallback;
    void* const context = cam->frameContext;
    const std::uint64_t index = cam->frameIndex++;
    const double brightness = e.brightnessOf(*cam);
    ++cam->framesDelivered;
    e.beginCallback(source, CallbackKind::Frame);
    lk.unlock();
    // One buffer per pushing thread, made once: no allocation per frame.
    thread_local std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[sdk::kFrameBytes]);
    renderFrame(buffer.get(), index, brightness);
    callback(buffer.get(), static_cast<std::uint32_t>(sdk::kFrameBytes), 1, context);
    lk.lock();
    e.endCallback(source, CallbackKind::Frame);
    return true;
}

void Simulator::setHoldCaptures(bool hold) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    e.hold = hold;
    if (!hold && !e.held.empty()) {   // nothing held is lost: the event thread sends it
        e.ensureEventThread();
        e.eventQueue.insert(e.eventQueue.end(), e.held.begin(), e.held.end());
        e.held.clear();
        e.eventCv.notify_one();
    }
}

std::size_t Simulator::deliverCaptures() {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    std::deque<CaptureEvent> batch;
    batch.swap(e.held);
    for (const CaptureEvent& ev : batch) e.sendCaptureEvent(lk, ev);
    return batch.size();
}

void Simulator::setBattery(const std::string& name, std::uint32_t level) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    Camera* cam = e.byName(name);
    if (!cam) return;
    cam->model.battery = level;
    const sdk::Handle source = cam->source;
    if (!source) return;
    std::vector<Registration> regs = cam->registrations;
    for (const Registration& reg : regs) {
        Camera* now = e.bySource(source);   // still open and still registered?
        if (!now) break;
        const auto& live = now->registrations;
        if (std::none_of(live.begin(), live.end(), [&](const auto& r) { return r.id == reg.id; }))
            continue;
        e.beginCallback(source, CallbackKind::CameraEvent, reg.id);
        lk.unlock();
        const std::uint32_t data = level;
        reg.callback(sdk::kEventBattery, &data, sizeof data, reg.context);
        lk.lock();
        e.endCallback(source, CallbackKind::CameraEvent);
    }
}

std::optional<CameraState> Simulator::state(const std::string& name) const {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    const Camera* c = e.byName(name);
    if (!c) return std::nullopt;
    CameraState st;
    const CameraSpec& s = c->model;
    st.open = c->source != 0;
    st.viewfinderRunning = c->viewfinderRunning;
    st.releaseControl = c->releaseControl;
    st.captureSession = c->session;
    st.afLocked = c->afLocked;
    st.shootingMode = s.shootingMode;
    st.avValue = s.avValue;
    st.tvValue = s.tvValue;
    st.exposureComp = s.exposureComp;
    st.wbValue = s.wbValue;
    st.afDistanceValue = s.afDistanceValue;
    st.flashValue = s.flashValue;
    st.meterValue = s.meterValue;
    st.isoValue = s.isoValue;
    st.effectValue = s.effectValue;
    st.quality = s.quality;
    st.size = s.size;
    st.zoomPos = s.zoomPos;
    st.battery = s.battery;
    st.framesDelivered = c->framesDelivered;
    st.pendingCaptures = c->pendingCaptures;
    return st;
}

bool Simulator::waitForFrames(const std::string& name, std::uint32_t count, double timeoutSeconds) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    return e.changed.wait_for(lk, seconds(timeoutSeconds), [&] {
        const Camera* c = e.byName(name);
        return c && c->framesDelivered >= count;
    });
}

bool Simulator::waitForEvents(double timeoutSeconds) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    return e.changed.wait_for(lk, seconds(timeoutSeconds),
                              [&] { return e.eventQueue.empty() && !e.eventBusy; });
}

std::size_t Simulator::openEnumerations() const {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    return e.enumerations.OpenCount();
}

int Simulator::sdkStarts() const {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    return e.sdkStarts;
}

void Simulator::renderFrame(std::uint8_t* frame, std::uint64_t frameIndex, double brightness) {
    sdk::WriteFrameHeader(frame);
    scene::renderFramePixels(frame + sdk::kFrameHeaderBytes, frameIndex, brightness);
}

void Simulator::unplug(const std::string& name) {
    removeCamera(name);
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    Camera* cam = e.byName(name);
    if (!cam || !cam->source) return;
    const sdk::Handle source = cam->source;
    std::vector<Registration> regs = cam->registrations;
    for (const Registration& reg : regs) {
        Camera* now = e.bySource(source);   // still open and still registered?
        if (!now) break;
        const auto& live = now->registrations;
        if (std::none_of(live.begin(), live.end(), [&](const auto& r) { return r.id == reg.id; }))
            continue;
        e.beginCallback(source, CallbackKind::CameraEvent, reg.id);
        lk.unlock();
        reg.callback(sdk::kEventCameraGone, nullptr, 0, reg.context);
        lk.lock();
        e.endCallback(source, CallbackKind::CameraEvent);
    }
}

void Simulator::replug(const std::string& name) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    for (auto it = e.cameras.begin(); it != e.cameras.end(); ++it) {
        Camera& old = **it;
        if (old.model.name != name || !old.removed) continue;
        if (old.source == 0) {
            old.removed = false;
            return;
        }
        // The old session stays dead: the camera comes back as a new device ahead of it,
        // with the same record, so it is found first by name and by record.
        auto back = std::make_unique<Camera>();
        back->id = old.id;
        back->model = old.model;
        e.cameras.insert(it, std::move(back));
        return;
    }
}

void Simulator::plugIn(CameraSpec spec) {
    Engine& e = impl_->engine;
    Lock lk(e.mutex);
    auto cam = std::make_unique<Camera>();
    cam->id = e.nextCameraId++;
    if (e.rc && sdk::IsCaptureSessionModel(spec.name)) spec.captureSession = true;
    cam->model = std::move(spec);
    e.cameras.push_back(std::move(cam));
}

}   // namespace sim
