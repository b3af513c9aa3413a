// Engine basics: the two worlds, journal and failure injection, handle look-ups, and the
// viewfinder and event threads with their start, stop and join rules.
#include "sdk/sim/Engine.h"

#include "sdk/FrameHeader.h"
#include "sdk/sim/Scene.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {

const sdk::Api& apiTable(bool rc);   // ApiTable.cpp

namespace {
constexpr std::size_t kJournalLimit = 200000;   // oldest calls are dropped beyond this
}

Engine& Engine::of(int world) {
    // Never destroyed: a driver destroyed late at exit may still call in. Threads stop at exit.
    static Engine* const cd = [] {
        auto* e = new Engine(false);
        std::atexit([] { Engine::of(0).shutdown(); });
        return e;
    }();
    static Engine* const rc = [] {
        auto* e = new Engine(true);
        std::atexit([] { Engine::of(1).shutdown(); });
        return e;
    }();
    return world == 0 ? *cd : *rc;
}

Engine::Engine(bool rcWorld) : rc(rcWorld), prefix(rcWorld ? "RC" : "CD"), api(&apiTable(rcWorld)) {
    installWorld(rc ? defaultRcWorld() : defaultCdWorld());
}

sdk::Result Engine::enter(const char* call, std::string args, std::uint64_t& seq) {
    seq = nextSeq++;
    sdk::Result r = sdk::kOk;
    const std::string name(call);
    if (auto once = failOnce.find(name); once != failOnce.end() && !once->second.empty()) {
        r = once->second.front();
        once->second.pop_front();
    } else if (auto always = failAlways.find(name); always != failAlways.end()) {
        r = always->second;
    }
    if (!journalOn) return r;
    journal.emplace_back(seq, Call{prefix + name, std::move(args), r});
    if (journal.size() > kJournalLimit) journal.pop_front();
    return r;
}

sdk::Result Engine::leave(std::uint64_t seq, sdk::Result r) {
    for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
        if (it->first == seq) {
            it->second.result = r;
            break;
        }
        if (it->first < seq) break;
    }
    return r;
}

Camera* Engine::bySource(sdk::Handle source) {
    if (source == 0) return nullptr;
    for (auto& c : cameras)
        if (c->source == source) return c.get();
    return nullptr;
}

Camera* Engine::byName(const std::string& name) {
    for (auto& c : cameras)
        if (c->model.name == name) return c.get();
    return nullptr;
}

const Camera* Engine::byName(const std::string& name) const {
    for (const auto& c : cameras)
        if (c->model.name == name) return c.get();
    return nullptr;
}

sdk::Result Engine::lookup(sdk::Handle source, Camera*& cam, bool teardown) {
    cam = bySource(source);
    if (!cam) return err::kInvalidHandle;
    if (cam->removed && !teardown) return err::kDisconnected;
    return sdk::kOk;
}

sdk::Handle Engine::newEnumeration(Enumeration e) {
    const sdk::Handle h = newHandle();
    enumerations.Add(h, std::move(e));
    return h;
}

Enumeration* Engine::enumeration(sdk::Handle h, EnumKind kind) {
    Enumeration* e = enumerations.Find(h);
    return e != nullptr && e->kind == kind ? e : nullptr;
}

double Engine::brightnessOf(const Camera& cam) const {
    const CameraSpec& s = cam.model;
    return scene::exposureBrightness(s.avValue, s.tvValue, s.isoValue, s.exposureComp);
}

Shot Engine::shotOf(const Camera& cam) const {
    Shot shot;
    shot.frameIndex = cam.frameIndex ? cam.frameIndex - 1 : 0;   // the frame of this moment
    shot.brightness = brightnessOf(cam);
    shot.quality = cam.model.quality;
    for (const auto& [code, pixels] : cam.model.sizePixels) {
        if (code == cam.model.size) {
            shot.width = pixels.first;
            shot.height = pixels.second;
            break;
        }
    }
    return shot;
}

std::chrono::nanoseconds Engine::period() const {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(1e9 / fps));
}

// ---------------------------------------------------------------- viewfinder threads

void Engine::startViewfinderThread(Camera& cam) {
    auto run = std::make_shared<ViewfinderRun>();
    cam.run = run;
    run->thread = std::thread(&Engine::viewfinderLoop, this, &cam, run);
}

std::shared_ptr<ViewfinderRun> Engine::detachRun(Camera& cam) {
    std::shared_ptr<ViewfinderRun> run = std::move(cam.run);
    cam.run.reset();
    if (run) {
        run->stop = true;
        run->cv.notify_all();
    }
    return run;
}

void Engine::joinRun(Lock& lk, std::shared_ptr<ViewfinderRun> run) {
    if (!run || !run->thread.joinable()) return;
    if (run->thread.get_id() == std::this_thread::get_id()) {
        zombies.push_back(std::move(run));   // stopped from its own frame callback
        return;
    }
    lk.unlock();
    run->thread.join();
    lk.lock();
}

void Engine::joinZombies(Lock& lk) {
    std::vector<std::shared_ptr<ViewfinderRun>> list;
    list.swap(zombies);
    for (auto& run : list) {
        if (run->thread.get_id() == std::this_thread::get_id()) {
            zombies.push_back(run);
            continue;
        }
        lk.unlock();
        run->thread.join();
        lk.lock();
    }
}

void Engine::viewfinderLoop(Camera* cam, std::shared_ptr<ViewfinderRun> run) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[sdk::kFrameBytes]);
    sdk::WriteFrameHeader(buffer.get());
    Lock lk(mutex);
    auto next = std::chrono::steady_clock::now() + period();
    for (;;) {
        if (run->cv.wait_until(lk, next, [&] { return run->stop || run->wake; })) {
            if (run->stop) break;
            run->wake = false;
            next = std::chrono::steady_clock::now() + period();
            continue;
        }
        // `stop` is false: the camera is alive and still ours.
        const sdk::FrameCallback callback = cam->frameCallback;
        void* const context = cam->frameContext;
        const std::uint64_t index = cam->frameIndex++;
        const double brightness = brightnessOf(*cam);
        ++cam->framesDelivered;
        changed.notify_all();
        lk.unlock();
        scene::renderFramePixels(buffer.get() + sdk::kFrameHeaderBytes, index, brightness);
        if (callback)
            callback(buffer.get(), static_cast<std::uint32_t>(sdk::kFrameBytes), 1, context);
        lk.lock();
        const auto now = std::chrono::steady_clock::now();
        next += period();
        if (next < now) next = now;   // fell behind: no burst of catch-up frames
    }
}

// ---------------------------------------------------------------- callbacks under way

void Engine::beginCallback(sdk::Handle source, CallbackKind kind, sdk::Handle registration) {
    inflight.push_back({source, kind, registration, std::this_thread::get_id()});
}

void Engine::endCallback(sdk::Handle source, CallbackKind kind) {
    const auto me = std::this_thread::get_id();
    for (auto it = inflight.rbegin(); it != inflight.rend(); ++it) {
        if (it->thread == me && it->source == source && it->kind == kind) {
            inflight.erase(std::next(it).base());
            break;
        }
    }
    changed.notify_all();
}

void Engine::waitCallbacks(Lock& lk, sdk::Handle source, int kind, sdk::Handle reg) {
    const auto me = std::this_thread::get_id();
    changed.wait(lk, [&] {
        return std::none_of(inflight.begin(), inflight.end(), [&](const InFlight& f) {
            return f.thread != me && (source == 0 || f.source == source) &&
                   (kind < 0 || static_cast<int>(f.kind) == kind) &&
                   (reg == 0 || f.registration == reg);
        });
    });
}

// ---------------------------------------------------------------- event thread

void Engine::ensureEventThread() {
    if (eventThread.joinable()) return;
    eventStop = false;
    eventThread = std::thread(&Engine::eventLoop, this);
}

void Engine::eventLoop() {
    Lock lk(mutex);
    for (;;) {
        eventCv.wait(lk, [&] { return eventStop || !eventQueue.empty(); });
        if (eventStop) break;
        const CaptureEvent ev = eventQueue.front();
        eventQueue.pop_front();
        eventBusy = true;
        sendCaptureEvent(lk, ev);
        eventBusy = false;
        changed.notify_all();
    }
}

void Engine::sendCaptureEvent(Lock& lk, CaptureEvent ev) {
    Camera* cam = bySource(ev.source);
    if (!cam || cam->removed || !cam->session || !cam->releaseCallback) {
        if (cam && cam->pendingCaptures) --cam->pendingCaptures;
        changed.notify_all();
        return;
    }
    const sdk::EventCallback callback = cam->releaseCallback;
    void* const context = cam->releaseContext;
    const CaptureEventData data{ev.captureId, ev.source};
    beginCallback(ev.source, CallbackKind::ReleaseEvent);
    lk.unlock();
    callback(sdk::kEventImageCaptured, &data, sizeof data, context);
    lk.lock();
    endCallback(ev.source, CallbackKind::ReleaseEvent);
    if (Camera* c = bySource(ev.source); c && c->pendingCaptures) --c->pendingCaptures;
    changed.notify_all();
}

void Engine::dropCaptures(sdk::Handle source) {
    auto bySrc = [&](const CaptureEvent& e) { return e.source == source; };
    eventQueue.erase(std::remove_if(eventQueue.begin(), eventQueue.end(), bySrc), eventQueue.end());
    held.erase(std::remove_if(held.begin(), held.end(), bySrc), held.end());
    for (auto it = captured.begin(); it != captured.end();)
        it = it->second.first == source ? captured.erase(it) : std::next(it);
    changed.notify_all();
}

// ---------------------------------------------------------------- teardown

void Engine::closeCamera(Lock& lk, Camera& cam) {
    const sdk::Handle source = cam.source;
    cam.source = 0;
    cam.releaseControl = cam.session = cam.afLocked = false;
    cam.releaseCallback = nullptr;
    cam.releaseContext = nullptr;
    cam.registrations.clear();
    cam.viewfinderRunning = false;
    cam.frameCallback = nullptr;
    cam.frameContext = nullptr;
    cam.itemsPending = 0;
    cam.pendingCaptures = 0;
    dropCaptures(source);
    std::shared_ptr<ViewfinderRun> run = detachRun(cam);
    joinRun(lk, std::move(run));   // may unlock: `cam` is not touched after this
    waitCallbacks(lk, source);
}

void Engine::quiesce(Lock& lk, bool stopEventThread) {
    const auto me = std::this_thread::get_id();
    for (;;) {
        std::vector<std::shared_ptr<ViewfinderRun>> runs;
        for (auto& c : cameras)
            if (c->run) runs.push_back(detachRun(*c));
        const bool otherZombies = std::any_of(zombies.begin(), zombies.end(), [&](const auto& z) {
            return z->thread.get_id() != me;
        });
        const bool eventToStop =
            stopEventThread && eventThread.joinable() && eventThread.get_id() != me;
        if (runs.empty() && !otherZombies && !eventToStop) break;
        for (auto& run : runs) joinRun(lk, std::move(run));
        joinZombies(lk);
        if (eventToStop && eventThread.joinable()) {
            eventStop = true;
            eventCv.notify_all();
            std::thread t = std::move(eventThread);
            lk.unlock();
            t.join();
            lk.lock();
            eventStop = false;
        }
    }
    waitCallbacks(lk, 0);
}

void Engine::installWorld(World world) {
    cameras.clear();
    for (CameraSpec& model : world.cameras) {
        auto cam = std::make_unique<Camera>();
        cam->id = nextCameraId++;
        if (rc && sdk::IsCaptureSessionModel(model.name)) model.captureSession = true;
        cam->model = std::move(model);
        cameras.push_back(std::move(cam));
    }
    eventQueue.clear();
    held.clear();
    captured.clear();
    changed.notify_all();
}

void Engine::shutdown() {
    Lock lk(mutex);
    quiesce(lk, true);
    for (auto& c : cameras) c->viewfinderRunning = false;
}

// ---------------------------------------------------------------- journal argument texts

std::string argList(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) out += ", ";
        out += p;
    }
    return out;
}

std::string num(std::uint64_t v) { return std::to_string(v); }

std::string hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", v);
    return text;
}

std::string ptr(const void* p) { return p ? "ptr" : "0"; }
std::string fn(bool set) { return set ? "fn" : "0"; }
std::string quoted(const char* text) { return text ? "\"" + std::string(text) + "\"" : "0"; }

}   // namespace sim
