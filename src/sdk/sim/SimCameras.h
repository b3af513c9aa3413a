// The cameras of one simulated world: each virtual camera with its run-time state, and the
// list that finds them by source handle or name. Private to src/sdk/sim.
//
// Threads: not locked by itself; the engine's lock guards the list and every Camera in it.
#pragma once

#include "sdk/sim/ImageFile.h"
#include "sdk/sim/Simulator.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

// One viewfinder thread. Its owner sets `stop` (under the engine's lock) and joins `thread`;
// the thread never touches its camera once `stop` is set.
struct ViewfinderRun {
    std::thread thread;
    std::condition_variable cv;
    bool stop = false;
    bool wake = false;   // the frame rate changed: start timing afresh
};

struct Registration {
    sdk::Handle id = 0;
    sdk::EventCallback callback = nullptr;
    void* context = nullptr;
};

// A virtual camera and its run-time state.
struct Camera {
    std::uint32_t id = 0;   // written into bytes 0..3 of its device record
    CameraSpec model;
    bool removed = false;
    sdk::Handle source = 0;   // 0 while closed
    bool releaseControl = false, session = false, afLocked = false;
    std::uint32_t releaseDataKind = 0, viewfinderOutput = 0;
    sdk::EventCallback releaseCallback = nullptr;
    void* releaseContext = nullptr;
    std::vector<Registration> registrations;
    bool viewfinderRunning = false;
    sdk::FrameCallback frameCallback = nullptr;
    void* frameContext = nullptr;
    std::shared_ptr<ViewfinderRun> run;   // threaded mode only
    std::uint64_t frameIndex = 0;         // next frame to render
    std::uint32_t framesDelivered = 0;
    std::uint32_t itemsPending = 0;   // data items of the last Release not yet fetched
    Shot releasedShot;
    std::uint32_t pendingCaptures = 0;
    std::chrono::steady_clock::time_point lensStill{};   // the lens moves until then
};

class CameraList {
public:
    // Replaces every camera; on the RC world the capture-session models deliver by event 34.
    void Install(World world, bool rcWorld) {
        cameras_.clear();
        for (CameraSpec& model : world.cameras) Add(std::move(model), rcWorld);
    }

    // A camera more, at the end of the list.
    void Add(CameraSpec model, bool rcWorld) {
        auto camera = std::make_unique<Camera>();
        camera->id = nextId_++;
        if (rcWorld && sdk::IsCaptureSessionModel(model.name)) model.captureSession = true;
        camera->model = std::move(model);
        cameras_.push_back(std::move(camera));
    }
    // A removed camera comes back: listed again as a new device, with the same record and
    // model, ahead of its old entry (so it is found first by name); an old entry with an open
    // session stays as it is, its session dead for good. False if no such camera was removed.
    bool Return(const std::string& name) {
        for (auto it = cameras_.begin(); it != cameras_.end(); ++it) {
            Camera& old = **it;
            if (old.model.name != name || !old.removed) continue;
            if (old.source == 0) {
                old.removed = false;
                return true;
            }
            auto back = std::make_unique<Camera>();
            back->id = old.id;
            back->model = old.model;
            cameras_.insert(it, std::move(back));
            return true;
        }
        return false;
    }

    Camera* BySource(sdk::Handle source) {
        if (source == 0) return nullptr;
        for (auto& camera : cameras_)
            if (camera->source == source) return camera.get();
        return nullptr;
    }
    const Camera* ByName(const std::string& name) const {
        for (const auto& camera : cameras_)
            if (camera->model.name == name) return camera.get();
        return nullptr;
    }
    Camera* ByName(const std::string& name) {
        return const_cast<Camera*>(static_cast<const CameraList&>(*this).ByName(name));
    }
    // kInvalidHandle if the source is unknown, kDisconnected if its camera was removed
    // (unless the call tears down).
    sdk::Result Lookup(sdk::Handle source, Camera*& camera, bool teardown = false) {
        camera = BySource(source);
        if (camera == nullptr) return sdk::err::kInvalidHandle;
        if (camera->removed && !teardown) return sdk::err::kDisconnected;
        return sdk::kOk;
    }

    // Every camera, in the order of the world.
    auto begin() { return cameras_.begin(); }
    auto end() { return cameras_.end(); }

private:
    std::vector<std::unique_ptr<Camera>> cameras_;
    std::uint32_t nextId_ = 1;
};

}   // namespace sim
