// The engine of one simulated SDK world (CD or RC): its cameras, handles and listings, the
// journal with injected failures, and the viewfinder and event threads. The sdk::Api table
// (ApiTable.cpp) calls its SDK calls; Simulator forwards its controls. Private to src/sdk/sim.
//
// Threads: every public function may be called from any thread and takes the engine's lock
// itself; the private ...Locked functions run with it held. No callback (frame, progress,
// camera event, release event) runs with the lock held, and no thread is joined with it held.
#pragma once

#include "sdk/Listing.h"
#include "sdk/SettingList.h"
#include "sdk/sim/Journal.h"
#include "sdk/sim/SimCameras.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

// The settings with a value list of their own, under their keys in sdk/SettingList.h.
#define KESTREL_SIM_KEY(Key, ...) Key,
enum class Setting { KESTREL_LISTED_SETTINGS(KESTREL_SIM_KEY) };

enum class ListingKind {
    Device,
    Property,
    KESTREL_VALUE_SETTINGS(KESTREL_SIM_KEY)   // the settings with SDK calls of their own
    ImageSize,
    ImageFormat,
    RelCamSetting,
    RelCamSettingData
};
#undef KESTREL_SIM_KEY

// One listing a Reset call made: the codes it hands out, with what goes with each.
struct SimListing {
    ListingKind kind = ListingKind::Device;
    std::vector<std::uint32_t> codes;    // camera ids, property ids, setting codes, qualities
    std::vector<std::uint32_t> second;   // format sizes, property data sizes
    std::vector<std::string> labels;     // device names, image size labels, property types
    std::size_t next = 0;                // the cursor of sdk::Listings
    std::uint32_t dataSize = 0;          // RelCamSettingData: bytes of one code
    std::size_t size() const { return codes.size(); }
};

using Lock = std::unique_lock<std::mutex>;

class Engine {
public:
    // The two worlds; made on first use, never destroyed (their threads stop at exit).
    static Engine& Cd();
    static Engine& Rc();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const sdk::Api& api() const { return *api_; }
    Journal& journal() { return journal_; }

    // --- controls (see Simulator) ---
    void Reset();
    void SetWorld(World world);
    void RemoveCamera(const std::string& name);
    // As RemoveCamera, then an open camera sends kEventCameraGone to its registrations.
    void UnplugCamera(const std::string& name);
    // An unplugged camera is listed again, as a new device (its old session stays dead).
    void ReplugCamera(const std::string& name);
    void PlugInCamera(CameraSpec model);
    void SetFrameRate(double fps);
    void SetManualViewfinder(bool manual);
    bool PushFrame();
    void SetHoldCaptures(bool hold);
    std::size_t DeliverCaptures();
    void SetBattery(const std::string& name, std::uint32_t level);
    std::optional<CameraState> State(const std::string& name) const;
    bool WaitForFrames(const std::string& name, std::uint32_t count,
                       std::chrono::nanoseconds timeout);
    bool WaitForEvents(std::chrono::nanoseconds timeout);
    std::size_t OpenListings() const;
    int SdkStarts() const;
    // Stops every thread and waits for callbacks under way (at exit).
    void Shutdown();

    // --- SDK calls (SimDevice.cpp, SimSettings.cpp, SimCapture.cpp) ---
    sdk::Result startSdk(const sdk::VersionRecord* version, std::uint32_t option);
    sdk::Result finishSdk();
    sdk::Result enumDeviceReset(std::uint32_t kind, sdk::Handle* listing);
    sdk::Result deviceNext(sdk::Handle listing, sdk::DeviceRecord* record);
    sdk::Result openSource(const sdk::DeviceRecord* record, sdk::Handle* source);
    sdk::Result closeSource(sdk::Handle source);
    sdk::Result enterReleaseControl(sdk::Handle source, sdk::EventCallback callback, void* context);
    sdk::Result exitReleaseControl(sdk::Handle source);
    sdk::Result selectReleaseDataKind(sdk::Handle source, std::uint32_t kind);
    sdk::Result registerEvent(sdk::Handle source, sdk::EventCallback callback, void* context,
                              sdk::Handle* registration);
    sdk::Result unregisterEvent(sdk::Handle source, sdk::Handle registration);
    sdk::Result propertyReset(sdk::Handle source, std::uint32_t option, sdk::Handle* listing);
    sdk::Result propertyNext(sdk::Handle listing, sdk::PropertyRecord* record);
    sdk::Result propertyData(sdk::Handle source, std::uint32_t id, std::uint32_t* size,
                             void* buffer, std::uint32_t option);

    sdk::Result release(sdk::Handle source, std::uint32_t sync, sdk::ProgressCallback progress,
                        void* context, std::uint32_t option, std::uint32_t* count);
    sdk::Result getReleasedData(sdk::Handle source, sdk::ProgressCallback progress, void* context,
                                std::uint32_t option, sdk::ImageInfo* info,
                                const sdk::StorageMedium* medium);
    sdk::Result startCaptureSession(sdk::Handle source, sdk::EventCallback callback, void* context);
    sdk::Result endCaptureSession(sdk::Handle source);
    sdk::Result capture(sdk::Handle source);
    sdk::Result takeCapturedImage(sdk::Handle source, sdk::ProgressCallback progress, void* context,
                                  std::uint32_t option, const void* eventData,
                                  const sdk::StorageMedium* medium);
    sdk::Result selectViewfinderOutput(sdk::Handle source, std::uint32_t output);
    sdk::Result startViewfinder(sdk::Handle source, std::uint32_t format,
                                sdk::FrameCallback callback, void* context);
    sdk::Result termViewfinder(sdk::Handle source);

    sdk::Result getSetting(Setting which, const char* call, sdk::Handle source,
                           std::uint32_t* code);
    sdk::Result setSetting(Setting which, const char* call, sdk::Handle source, std::uint32_t code);
    // Flash's: a second word besides the code, read as 0 and journalled when written.
    sdk::Result getSetting(Setting which, const char* call, sdk::Handle source, std::uint32_t* code,
                           std::uint32_t* second);
    sdk::Result setSetting(Setting which, const char* call, sdk::Handle source, std::uint32_t code,
                           std::uint32_t second);
    sdk::Result getRelCam(sdk::Handle source, std::uint32_t id, std::uint32_t* size, void* data);
    sdk::Result setRelCam(sdk::Handle source, std::uint32_t id, std::uint32_t size,
                          const void* data);
    sdk::Result getFormat(sdk::Handle source, std::uint32_t* quality, std::uint32_t* size);
    sdk::Result setFormat(sdk::Handle source, std::uint16_t quality, std::uint16_t size);
    sdk::Result afLock(sdk::Handle source, std::uint16_t locked);
    sdk::Result getZoom(sdk::Handle source, std::uint32_t* position);
    sdk::Result setZoom(sdk::Handle source, std::uint32_t position);
    sdk::Result getMaxZoom(sdk::Handle source, std::uint32_t* first, std::uint32_t* last);
    sdk::Result driveFocus(sdk::Handle source, std::int32_t step);   // SimFocus.cpp

    // Listings: Reset makes a snapshot, Count / Next / Release are shared by every kind.
    sdk::Result listingReset(ListingKind kind, const char* call, sdk::Handle source,
                             sdk::Handle* listing);
    sdk::Result imageSizeReset(sdk::Handle source, std::uint32_t option, sdk::Handle* listing);
    sdk::Result relCamDataReset(sdk::Handle source, std::uint32_t id, sdk::Handle* listing,
                                std::uint32_t* dataSize);
    sdk::Result listingCount(ListingKind kind, const char* call, sdk::Handle listing,
                             std::uint32_t* count);
    sdk::Result listingRelease(ListingKind kind, const char* call, sdk::Handle listing);
    sdk::Result nextCode16(ListingKind kind, const char* call, sdk::Handle listing,
                           std::uint16_t* code);
    sdk::Result nextCode32(ListingKind kind, const char* call, sdk::Handle listing,
                           std::uint32_t* code);
    sdk::Result imageSizeNext(sdk::Handle listing, sdk::ImageSizeRecord* record);
    sdk::Result formatNext(sdk::Handle listing, std::uint32_t* quality, std::uint32_t* size);
    sdk::Result relCamDataNext(sdk::Handle listing, std::uint32_t dataSize, void* code);

private:
    explicit Engine(bool rcWorld);

    enum class CallbackKind { Frame, ReleaseEvent, CameraEvent };
    // A callback under way without the lock, so that teardown calls can wait for it.
    struct InFlight {
        sdk::Handle source;
        CallbackKind kind;
        sdk::Handle registration;
        std::thread::id thread;
    };
    struct CaptureEvent {
        sdk::Handle source = 0;
        std::uint32_t captureId = 0;
    };

    // --- handles and listings ---
    sdk::Handle newHandleLocked() { return nextHandle_++; }
    sdk::Handle addListingLocked(SimListing listing);
    SimListing* listingLocked(sdk::Handle handle, ListingKind kind);
    // One Reset call: journals it, finds the open camera of source, answers argumentCheck when
    // it is not kOk (a missing out-pointer), lets fill(camera, listing) fill a new listing of
    // kind (or refuse with a code) and hands the listing's handle out.
    template <class Fill>
    sdk::Result makeListing(const char* call, std::string args, ListingKind kind,
                            sdk::Handle source, sdk::Handle* listing, sdk::Result argumentCheck,
                            Fill fill);
    // One Next call: journals it, finds the listing of kind, answers argumentCheck when it is
    // not kOk (a missing out-pointer), takes the next index and lets fill(listing, index)
    // write that item out.
    template <class Fill>
    sdk::Result takeNext(const char* call, std::string args, ListingKind kind, sdk::Handle listing,
                         sdk::Result argumentCheck, Fill fill);
    static double brightness(const Camera& camera);
    static Shot shotOf(const Camera& camera);
    // The blur of each third of the scene at the lens's focus (none without depth).
    static scene::Focus focusOf(const Camera& camera);
    // True while the lens is still moving from its last focus step.
    static bool lensMoving(const Camera& camera);

    // --- viewfinder threads (Engine_Threads.cpp) ---
    std::chrono::nanoseconds periodLocked() const;
    void startViewfinderLocked(Camera& camera);
    static std::shared_ptr<ViewfinderRun> detachRun(Camera& camera);
    void joinRunLocked(Lock& lock, std::shared_ptr<ViewfinderRun> run);
    void joinZombiesLocked(Lock& lock);
    void viewfinderLoop(Camera* camera, std::shared_ptr<ViewfinderRun> run);
    // Renders the camera's next frame into frame (header already written) and hands it to
    // the frame callback without the lock. The one way a frame is delivered.
    void deliverFrameLocked(Lock& lock, Camera& camera, std::uint8_t* frame);

    // --- callbacks under way ---
    void beginCallbackLocked(sdk::Handle source, CallbackKind kind, sdk::Handle registration = 0);
    void endCallbackLocked(sdk::Handle source, CallbackKind kind);
    // Waits until no callback matching (source, kind) runs on another thread; source 0 = any.
    void waitCallbacksLocked(Lock& lock, sdk::Handle source,
                             std::optional<CallbackKind> kind = std::nullopt,
                             sdk::Handle registration = 0);

    // --- release event 34 (the capture session) ---
    void ensureEventThreadLocked();
    void eventLoop();
    void sendCaptureEventLocked(Lock& lock, CaptureEvent event);
    void dropCapturesLocked(sdk::Handle source);

    // --- teardown ---
    void closeCameraLocked(Lock& lock, Camera& camera);
    // Stops every thread and waits for callbacks; on return no viewfinder thread runs.
    void quiesceLocked(Lock& lock, bool stopEventThread);
    void installWorldLocked(World world);

    const bool rc_;
    const sdk::Api* const api_;
    Journal journal_;   // locks itself, taken after mutex_

    // Guards everything below and every Camera.
    mutable std::mutex mutex_;
    std::condition_variable changed_;   // inflight_, frames delivered, events sent
    CameraList cameras_;
    sdk::Handle nextHandle_ = 1;   // sources, listings and registrations; never reused
    sdk::Listings<SimListing> listings_;
    int sdkStarts_ = 0;
    std::vector<InFlight> inflight_;

    struct Viewfinders {
        double fps = 30;
        bool manual = false;                                   // frames only by PushFrame
        std::vector<std::shared_ptr<ViewfinderRun>> zombies;   // stopped from their own thread
    } viewfinders_;

    struct CaptureEvents {
        bool hold = false;
        std::deque<CaptureEvent> queue;   // for the event thread
        std::deque<CaptureEvent> held;    // waiting for DeliverCaptures
        std::map<std::uint32_t, std::pair<sdk::Handle, Shot>> captured;   // by capture id
        std::uint32_t nextCaptureId = 1;
        std::thread thread;
        bool stop = false;
        bool busy = false;
        std::condition_variable wake;   // queue and stop changed
    } events_;
};

template <class Fill>
sdk::Result Engine::makeListing(const char* call, std::string args, ListingKind kind,
                                sdk::Handle source, sdk::Handle* listing, sdk::Result argumentCheck,
                                Fill fill) {
    Lock lock(mutex_);
    CallScope scope(journal_, call, std::move(args));
    if (scope.failure()) return scope.failure();
    Camera* camera = nullptr;
    if (const sdk::Result r = cameras_.Lookup(source, camera)) return scope(r);
    if (argumentCheck != sdk::kOk) return scope(argumentCheck);
    SimListing items;
    items.kind = kind;
    if (const sdk::Result r = fill(*camera, items)) return scope(r);
    *listing = addListingLocked(std::move(items));
    return scope(sdk::kOk);
}

template <class Fill>
sdk::Result Engine::takeNext(const char* call, std::string args, ListingKind kind,
                             sdk::Handle listing, sdk::Result argumentCheck, Fill fill) {
    Lock lock(mutex_);
    CallScope scope(journal_, call, std::move(args));
    if (scope.failure()) return scope.failure();
    SimListing* items = listingLocked(listing, kind);
    if (!items) return scope(err::kInvalidHandle);
    if (argumentCheck != sdk::kOk) return scope(argumentCheck);
    std::size_t index = 0;
    if (const sdk::Result r = sdk::Listings<SimListing>::TakeFrom(*items, index)) return scope(r);
    fill(*items, index);
    return scope(sdk::kOk);
}

}   // namespace sim
