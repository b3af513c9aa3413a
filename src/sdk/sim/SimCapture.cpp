// SDK calls of taking pictures and the viewfinder: release and transfer, the capture session
// with its release event 34, and viewfinder start and stop.
#include "sdk/CaptureFile.h"
#include "sdk/sim/Engine.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr std::uint32_t kProgressOption = 3;

void fillInfo(sdk::ImageInfo* info, const Shot& shot) {
    std::memset(info->bytes, 0, sizeof info->bytes);
    const std::uint32_t words[3] = {static_cast<std::uint32_t>(shot.width),
                                    static_cast<std::uint32_t>(shot.height), shot.quality};
    std::memcpy(info->bytes, words, sizeof words);
}

std::string mediumText(const sdk::StorageMedium* medium) {
    return medium ? quotedText(medium->path) : "0";
}

}   // namespace

sdk::Result Engine::release(sdk::Handle s, std::uint32_t sync, sdk::ProgressCallback progress,
                            void* ctx, std::uint32_t option, std::uint32_t* count) {
    Lock lock(mutex_);
    CallScope call(journal_, "Release",
                   argumentList({decimalText(s), decimalText(sync), callbackText(progress),
                                 pointerText(ctx), decimalText(option)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!count) return call(err::kInvalidPointer);
    if (!cam->releaseControl) return call(err::kInvalidFnCall);
    if (lensMoving(*cam)) return call(err::kDeviceBusy);
    cam->releasedShot = shotOf(*cam);
    cam->itemsPending = cam->model.releaseItems;
    *count = cam->model.releaseItems;
    return call(sdk::kOk);
}

sdk::Result Engine::getReleasedData(sdk::Handle s, sdk::ProgressCallback progress, void* ctx,
                                    std::uint32_t option, sdk::ImageInfo* info,
                                    const sdk::StorageMedium* medium) {
    Lock lock(mutex_);
    CallScope call(journal_, "GetReleasedData",
                   argumentList({decimalText(s), callbackText(progress), pointerText(ctx),
                                 decimalText(option), pointerText(info), mediumText(medium)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!info || !medium || !medium->path) return call(err::kInvalidPointer);
    if (medium->kind != 0) return call(err::kInvalidParameter);
    if (!cam->releaseControl || cam->itemsPending == 0) return call(err::kInvalidFnCall);
    const Shot shot = cam->releasedShot;
    --cam->itemsPending;
    fillInfo(info, shot);
    const std::string path = medium->path;
    lock.unlock();   // rendering, compression, writing and progress run without the lock
    std::string saved;
    const sdk::Result r =
        writeShot(shot, path.c_str(), option == kProgressOption ? progress : nullptr, ctx, &saved);
    sdk::ReportSaved(medium, saved);
    lock.lock();
    if (r != sdk::kOk)
        if (Camera* again = cameras_.BySource(s))
            ++again->itemsPending;   // the item can be fetched again
    return call(r);
}

sdk::Result Engine::startCaptureSession(sdk::Handle s, sdk::EventCallback cb, void* ctx) {
    Lock lock(mutex_);
    CallScope call(journal_, "StartCaptureSession",
                   argumentList({decimalText(s), callbackText(cb), pointerText(ctx)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!rc_ || !cam->model.captureSession) return call(err::kNotSupported);
    if (!cb) return call(err::kInvalidFnPointer);
    if (cam->session) return call(err::kInvalidFnCall);
    cam->session = true;
    cam->releaseCallback = cb;
    cam->releaseContext = ctx;
    return call(sdk::kOk);
}

sdk::Result Engine::endCaptureSession(sdk::Handle s) {
    Lock lock(mutex_);
    CallScope call(journal_, "EndCaptureSession", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam, true)) return call(r);
    if (!cam->session) return call(err::kSessionNotOpen);
    cam->session = false;
    cam->releaseCallback = nullptr;
    cam->releaseContext = nullptr;
    cam->pendingCaptures = 0;
    dropCapturesLocked(s);
    waitCallbacksLocked(lock, s, CallbackKind::ReleaseEvent);
    return call(sdk::kOk);
}

sdk::Result Engine::capture(sdk::Handle s) {
    Lock lock(mutex_);
    CallScope call(journal_, "Capture", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->session) return call(err::kSessionNotOpen);
    if (lensMoving(*cam)) return call(err::kDeviceBusy);
    const std::uint32_t id = events_.nextCaptureId++;
    events_.captured[id] = {s, shotOf(*cam)};
    ++cam->pendingCaptures;
    if (events_.hold) {
        events_.held.push_back({s, id});
    } else {
        ensureEventThreadLocked();
        events_.queue.push_back({s, id});
        events_.wake.notify_one();
    }
    return call(sdk::kOk);
}

sdk::Result Engine::takeCapturedImage(sdk::Handle s, sdk::ProgressCallback progress, void* ctx,
                                      std::uint32_t option, const void* eventData,
                                      const sdk::StorageMedium* medium) {
    Lock lock(mutex_);
    CallScope call(journal_, "TakeCapturedImage",
                   argumentList({decimalText(s), callbackText(progress), pointerText(ctx),
                                 decimalText(option), pointerText(eventData), mediumText(medium)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->session) return call(err::kSessionNotOpen);
    if (!eventData || !medium || !medium->path) return call(err::kInvalidPointer);
    if (medium->kind != 0) return call(err::kInvalidParameter);
    CaptureEventData data;
    std::memcpy(&data, eventData, sizeof data);
    auto it = events_.captured.find(data.captureId);
    if (it == events_.captured.end() || it->second.first != s) return call(err::kInvalidParameter);
    const Shot shot = it->second.second;
    const std::string path = medium->path;
    lock.unlock();
    std::string saved;
    const sdk::Result r =
        writeShot(shot, path.c_str(), option == kProgressOption ? progress : nullptr, ctx, &saved);
    sdk::ReportSaved(medium, saved);
    lock.lock();
    if (r == sdk::kOk) events_.captured.erase(data.captureId);
    return call(r);
}

sdk::Result Engine::selectViewfinderOutput(sdk::Handle s, std::uint32_t output) {
    Lock lock(mutex_);
    CallScope call(journal_, "SelectViewFinderCameraOutput",
                   argumentList({decimalText(s), decimalText(output)}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->model.hasViewfinder) return call(err::kNotSupported);
    if (output < 1 || output > 3) return call(err::kInvalidParameter);
    cam->viewfinderOutput = output;
    return call(sdk::kOk);
}

sdk::Result Engine::startViewfinder(sdk::Handle s, std::uint32_t format, sdk::FrameCallback cb,
                                    void* ctx) {
    Lock lock(mutex_);
    CallScope call(
        journal_, "StartViewfinder",
        argumentList({decimalText(s), decimalText(format), callbackText(cb), pointerText(ctx)}));
    if (call.failure()) return call.failure();
    joinZombiesLocked(lock);   // threads that stopped themselves from their own frame callback
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    if (!cam->model.hasViewfinder) return call(err::kNotSupported);
    if (format != 1) return call(err::kInvalidParameter);
    if (!cb) return call(err::kInvalidFnPointer);
    if (cam->viewfinderRunning) return call(err::kInvalidFnCall);
    cam->viewfinderRunning = true;
    cam->frameCallback = cb;
    cam->frameContext = ctx;
    if (!viewfinders_.manual) startViewfinderLocked(*cam);
    return call(sdk::kOk);
}

sdk::Result Engine::termViewfinder(sdk::Handle s) {
    Lock lock(mutex_);
    CallScope call(journal_, "TermViewfinder", decimalText(s));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam, true)) return call(r);
    if (!cam->viewfinderRunning) return call(sdk::kOk);
    cam->viewfinderRunning = false;
    cam->frameCallback = nullptr;
    cam->frameContext = nullptr;
    std::shared_ptr<ViewfinderRun> run = detachRun(*cam);
    joinRunLocked(lock, std::move(run));   // from the frame callback itself: stops after it returns
    waitCallbacksLocked(lock, s, CallbackKind::Frame);
    return call(sdk::kOk);
}

}   // namespace sim
