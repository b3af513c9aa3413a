// The engine's threads: viewfinder threads and the one frame delivery, callbacks under way,
// the event thread of release event 34, and the start, stop and join rules of teardown.
#include "sdk/sim/Engine.h"

#include "sdk/FrameHeader.h"
#include "sdk/sim/Scene.h"

#include <algorithm>

namespace sim {

namespace {

// A frame buffer with its header written: delivery renders only the pixels.
std::unique_ptr<std::uint8_t[]> NewFrameBuffer() {
    std::unique_ptr<std::uint8_t[]> frame(new std::uint8_t[sdk::kFrameBytes]);
    sdk::WriteFrameHeader(frame.get());
    return frame;
}

}   // namespace

// ---------------------------------------------------------------- viewfinder threads

std::chrono::nanoseconds Engine::periodLocked() const {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(1e9 / viewfinders_.fps));
}

void Engine::startViewfinderLocked(Camera& camera) {
    auto run = std::make_shared<ViewfinderRun>();
    camera.run = run;
    run->thread = std::thread(&Engine::viewfinderLoop, this, &camera, run);
}

std::shared_ptr<ViewfinderRun> Engine::detachRun(Camera& camera) {
    std::shared_ptr<ViewfinderRun> run = std::move(camera.run);
    camera.run.reset();
    if (run) {
        run->stop = true;
        run->cv.notify_all();
    }
    return run;
}

void Engine::joinRunLocked(Lock& lock, std::shared_ptr<ViewfinderRun> run) {
    if (!run || !run->thread.joinable()) return;
    if (run->thread.get_id() == std::this_thread::get_id()) {
        viewfinders_.zombies.push_back(std::move(run));   // stopped from its own frame callback
        return;
    }
    lock.unlock();
    run->thread.join();
    lock.lock();
}

void Engine::joinZombiesLocked(Lock& lock) {
    std::vector<std::shared_ptr<ViewfinderRun>> zombies;
    zombies.swap(viewfinders_.zombies);
    for (auto& run : zombies) {
        if (run->thread.get_id() == std::this_thread::get_id()) {
            viewfinders_.zombies.push_back(run);
            continue;
        }
        lock.unlock();
        run->thread.join();
        lock.lock();
    }
}

void Engine::viewfinderLoop(Camera* camera, std::shared_ptr<ViewfinderRun> run) {
    const std::unique_ptr<std::uint8_t[]> frame = NewFrameBuffer();
    Lock lock(mutex_);
    auto next = std::chrono::steady_clock::now() + periodLocked();
    for (;;) {
        if (run->cv.wait_until(lock, next, [&] { return run->stop || run->wake; })) {
            if (run->stop) break;
            run->wake = false;
            next = std::chrono::steady_clock::now() + periodLocked();
            continue;
        }
        // `stop` is false: the camera is alive and still ours.
        deliverFrameLocked(lock, *camera, frame.get());
        const auto now = std::chrono::steady_clock::now();
        next += periodLocked();
        if (next < now) next = now;   // fell behind: no burst of catch-up frames
    }
}

bool Engine::PushFrame() {
    Lock lock(mutex_);
    if (!viewfinders_.manual) return false;
    for (auto& camera : cameras_) {
        if (camera->viewfinderRunning && camera->frameCallback && camera->source) {
            // One buffer per pushing thread, made once: no allocation per frame.
            thread_local const std::unique_ptr<std::uint8_t[]> frame = NewFrameBuffer();
            deliverFrameLocked(lock, *camera, frame.get());
            return true;
        }
    }
    return false;
}

void Engine::deliverFrameLocked(Lock& lock, Camera& camera, std::uint8_t* frame) {
    const sdk::Handle source = camera.source;
    const sdk::FrameCallback callback = camera.frameCallback;
    void* const context = camera.frameContext;
    const std::uint64_t index = camera.frameIndex++;
    const double frameBrightness = brightness(camera);
    const scene::Focus focus = focusOf(camera);
    ++camera.framesDelivered;
    beginCallbackLocked(source, CallbackKind::Frame);
    changed_.notify_all();
    lock.unlock();   // `camera` is not touched again: it may be closed meanwhile
    scene::renderFramePixels(frame + sdk::kFrameHeaderBytes, index, frameBrightness, focus);
    if (callback) callback(frame, static_cast<std::uint32_t>(sdk::kFrameBytes), 1, context);
    lock.lock();
    endCallbackLocked(source, CallbackKind::Frame);
}

// ---------------------------------------------------------------- callbacks under way

void Engine::beginCallbackLocked(sdk::Handle source, CallbackKind kind, sdk::Handle registration) {
    inflight_.push_back({source, kind, registration, std::this_thread::get_id()});
}

void Engine::endCallbackLocked(sdk::Handle source, CallbackKind kind) {
    const auto me = std::this_thread::get_id();
    for (auto it = inflight_.rbegin(); it != inflight_.rend(); ++it) {
        if (it->thread == me && it->source == source && it->kind == kind) {
            inflight_.erase(std::next(it).base());
            break;
        }
    }
    changed_.notify_all();
}

void Engine::waitCallbacksLocked(Lock& lock, sdk::Handle source, std::optional<CallbackKind> kind,
                                 sdk::Handle registration) {
    const auto me = std::this_thread::get_id();
    changed_.wait(lock, [&] {
        return std::none_of(inflight_.begin(), inflight_.end(), [&](const InFlight& f) {
            return f.thread != me && (source == 0 || f.source == source) &&
                   (!kind || f.kind == *kind) &&
                   (registration == 0 || f.registration == registration);
        });
    });
}

// ---------------------------------------------------------------- release event 34

void Engine::ensureEventThreadLocked() {
    if (events_.thread.joinable()) return;
    events_.stop = false;
    events_.thread = std::thread(&Engine::eventLoop, this);
}

void Engine::eventLoop() {
    Lock lock(mutex_);
    for (;;) {
        events_.wake.wait(lock, [&] { return events_.stop || !events_.queue.empty(); });
        if (events_.stop) break;
        const CaptureEvent event = events_.queue.front();
        events_.queue.pop_front();
        events_.busy = true;
        sendCaptureEventLocked(lock, event);
        events_.busy = false;
        changed_.notify_all();
    }
}

void Engine::sendCaptureEventLocked(Lock& lock, CaptureEvent event) {
    Camera* camera = cameras_.BySource(event.source);
    if (!camera || camera->removed || !camera->session || !camera->releaseCallback) {
        if (camera && camera->pendingCaptures) --camera->pendingCaptures;
        changed_.notify_all();
        return;
    }
    const sdk::EventCallback callback = camera->releaseCallback;
    void* const context = camera->releaseContext;
    const CaptureEventData data{event.captureId, event.source};
    beginCallbackLocked(event.source, CallbackKind::ReleaseEvent);
    lock.unlock();
    callback(sdk::kEventImageCaptured, &data, sizeof data, context);
    lock.lock();
    endCallbackLocked(event.source, CallbackKind::ReleaseEvent);
    if (Camera* again = cameras_.BySource(event.source); again && again->pendingCaptures)
        --again->pendingCaptures;
    changed_.notify_all();
}

void Engine::dropCapturesLocked(sdk::Handle source) {
    auto ofSource = [&](const CaptureEvent& event) { return event.source == source; };
    auto& queue = events_.queue;
    auto& held = events_.held;
    queue.erase(std::remove_if(queue.begin(), queue.end(), ofSource), queue.end());
    held.erase(std::remove_if(held.begin(), held.end(), ofSource), held.end());
    for (auto it = events_.captured.begin(); it != events_.captured.end();)
        it = it->second.first == source ? events_.captured.erase(it) : std::next(it);
    changed_.notify_all();
}

void Engine::SetHoldCaptures(bool hold) {
    Lock lock(mutex_);
    events_.hold = hold;
    if (!hold && !events_.held.empty()) {   // nothing held is lost: the event thread sends it
        ensureEventThreadLocked();
        events_.queue.insert(events_.queue.end(), events_.held.begin(), events_.held.end());
        events_.held.clear();
        events_.wake.notify_one();
    }
}

std::size_t Engine::DeliverCaptures() {
    Lock lock(mutex_);
    std::deque<CaptureEvent> batch;
    batch.swap(events_.held);
    for (const CaptureEvent& event : batch) sendCaptureEventLocked(lock, event);
    return batch.size();
}

// ---------------------------------------------------------------- teardown

void Engine::closeCameraLocked(Lock& lock, Camera& camera) {
    const sdk::Handle source = camera.source;
    camera.source = 0;
    camera.releaseControl = camera.session = camera.afLocked = false;
    camera.releaseCallback = nullptr;
    camera.releaseContext = nullptr;
    camera.registrations.clear();
    camera.viewfinderRunning = false;
    camera.frameCallback = nullptr;
    camera.frameContext = nullptr;
    camera.itemsPending = 0;
    camera.pendingCaptures = 0;
    dropCapturesLocked(source);
    std::shared_ptr<ViewfinderRun> run = detachRun(camera);
    joinRunLocked(lock, std::move(run));   // may unlock: `camera` is not touched after this
    waitCallbacksLocked(lock, source);
}

void Engine::quiesceLocked(Lock& lock, bool stopEventThread) {
    const auto me = std::this_thread::get_id();
    for (;;) {
        std::vector<std::shared_ptr<ViewfinderRun>> runs;
        for (auto& camera : cameras_)
            if (camera->run) runs.push_back(detachRun(*camera));
        const auto& zombies = viewfinders_.zombies;
        const bool otherZombies = std::any_of(zombies.begin(), zombies.end(), [&](const auto& z) {
            return z->thread.get_id() != me;
        });
        const bool eventToStop =
            stopEventThread && events_.thread.joinable() && events_.thread.get_id() != me;
        if (runs.empty() && !otherZombies && !eventToStop) break;
        for (auto& run : runs) joinRunLocked(lock, std::move(run));
        joinZombiesLocked(lock);
        if (eventToStop && events_.thread.joinable()) {
            events_.stop = true;
            events_.wake.notify_all();
            std::thread thread = std::move(events_.thread);
            lock.unlock();
            thread.join();
            lock.lock();
            events_.stop = false;
        }
    }
    waitCallbacksLocked(lock, 0);
}

}   // namespace sim
