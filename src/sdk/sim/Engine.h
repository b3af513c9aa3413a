// The engine of one simulated SDK world (CD or RC): cameras, handles, enumerations,
// failure injection, journal, and the viewfinder and event threads. Private to src/sdk/sim.
#pragma once

#include "sdk/Listing.h"
#include "sdk/ValueSettings.h"
#include "sdk/sim/ImageFile.h"
#include "sdk/sim/Simulator.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

// The value-list settings under their names in KESTREL_VALUE_SETTINGS, then the three of
// RelCamSettingData.
#define KESTREL_SIM_KEY(Key, Sdk, Code, Listing, Labels) Key,
enum class Setting { KESTREL_VALUE_SETTINGS(KESTREL_SIM_KEY) Meter, Iso, Effect };

enum class EnumKind {
    Device,
    Property,
    KESTREL_VALUE_SETTINGS(KESTREL_SIM_KEY)   // ShootingMode .. Flash
    ImageSize,
    ImageFormat,
    RelCamSetting,
    RelCamSettingData
};
#undef KESTREL_SIM_KEY

// One viewfinder thread. Its owner sets `stop` (under the world's lock) and joins `thread`;
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
};

struct CaptureEvent {
    sdk::Handle source = 0;
    std::uint32_t captureId = 0;
};

enum class CallbackKind { Frame, ReleaseEvent, CameraEvent };

// A callback under way without the lock, so that teardown calls can wait for it.
struct InFlight {
    sdk::Handle source;
    CallbackKind kind;
    sdk::Handle registration;
    std::thread::id thread;
};

struct Enumeration {
    EnumKind kind = EnumKind::Device;
    std::vector<std::uint32_t> a, b;   // items (b: second word of pairs, property sizes)
    std::vector<std::string> labels;   // device names, image size labels
    std::size_t next = 0;              // the cursor of sdk::Listings
    std::uint32_t dataSize = 0;
    std::size_t size() const { return a.size(); }
};

using Lock = std::unique_lock<std::mutex>;

struct Engine {
    explicit Engine(bool rcWorld);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The two worlds; created on first use, never destroyed (their threads stop at exit).
    static Engine& of(int world);   // 0 = CD, 1 = RC

    const bool rc;
    const char* const prefix;
    const sdk::Api* api = nullptr;

    // `mutex` guards every field below and all Camera objects. It is never held while a
    // callback (frame, progress, camera event, release event) runs, nor while joining a thread.
    mutable std::mutex mutex;
    std::vector<std::unique_ptr<Camera>> cameras;
    std::uint32_t nextCameraId = 1;
    sdk::Handle nextHandle = 1;   // sources, enumerations and registrations; never reused
    sdk::Listings<Enumeration> enumerations;
    std::map<std::string, std::deque<sdk::Result>> failOnce;
    std::map<std::string, sdk::Result> failAlways;
    std::deque<std::pair<std::uint64_t, Call>> journal;   // (sequence number, call)
    bool journalOn = true;   // the program turns it off: it would only grow
    std::uint64_t nextSeq = 1;
    int sdkStarts = 0;
    double fps = 30;
    bool manual = false;
    bool hold = false;
    std::deque<CaptureEvent> eventQueue;   // for the event thread
    std::deque<CaptureEvent> held;         // waiting for deliverCaptures()
    std::map<std::uint32_t, std::pair<sdk::Handle, Shot>> captured;   // by capture id
    std::uint32_t nextCaptureId = 1;
    std::thread eventThread;
    bool eventStop = false;
    bool eventBusy = false;
    std::condition_variable eventCv;   // event queue and eventStop changed
    std::vector<InFlight> inflight;
    std::condition_variable changed;   // inflight, frames delivered, events sent
    std::vector<std::shared_ptr<ViewfinderRun>> zombies;   // stopped from their own thread

    // --- helpers, all called with `mutex` held through `lk` ---
    // Journals the call and applies injected failures: non-zero means return that code now.
    sdk::Result enter(const char* call, std::string args, std::uint64_t& seq);
    sdk::Result leave(std::uint64_t seq, sdk::Result r);   // records the call's result
    Camera* bySource(sdk::Handle source);
    Camera* byName(const std::string& name);
    const Camera* byName(const std::string& name) const;
    // Looks the source up: kInvalidHandle if unknown, kDisconnected if removed (unless teardown).
    sdk::Result lookup(sdk::Handle source, Camera*& cam, bool teardown = false);
    sdk::Handle newHandle() { return nextHandle++; }
    sdk::Handle newEnumeration(Enumeration e);
    Enumeration* enumeration(sdk::Handle h, EnumKind kind);
    double brightnessOf(const Camera& cam) const;
    Shot shotOf(const Camera& cam) const;
    std::chrono::nanoseconds period() const;

    void startViewfinderThread(Camera& cam);
    std::shared_ptr<ViewfinderRun> detachRun(Camera& cam);
    void joinRun(Lock& lk, std::shared_ptr<ViewfinderRun> run);
    void joinZombies(Lock& lk);
    void viewfinderLoop(Camera* cam, std::shared_ptr<ViewfinderRun> run);
    void beginCallback(sdk::Handle source, CallbackKind kind, sdk::Handle registration = 0);
    void endCallback(sdk::Handle source, CallbackKind kind);
    // Waits until no callback matching (source, kind) runs on another thread; source 0 = any.
    void waitCallbacks(Lock& lk, sdk::Handle source, int kind = -1, sdk::Handle reg = 0);
    void ensureEventThread();
    void eventLoop();
    void sendCaptureEvent(Lock& lk, CaptureEvent ev);
    void dropCaptures(sdk::Handle source);
    void closeCamera(Lock& lk, Camera& cam);
    // Stops every thread and waits for callbacks; on return no viewfinder thread runs.
    void quiesce(Lock& lk, bool stopEventThread);
    void installWorld(World world);
    void shutdown();

    // --- SDK calls (defined in Sim*.cpp) ---
    sdk::Result startSdk(const sdk::VersionRecord* version, std::uint32_t option);
    sdk::Result finishSdk();
    sdk::Result enumDeviceReset(std::uint32_t kind, sdk::Handle* e);
    sdk::Result openSource(const sdk::DeviceRecord* info, sdk::Handle* source);
    sdk::Result closeSource(sdk::Handle source);
    sdk::Result enterReleaseControl(sdk::Handle s, sdk::EventCallback cb, void* ctx);
    sdk::Result exitReleaseControl(sdk::Handle s);
    sdk::Result selectReleaseDataKind(sdk::Handle s, std::uint32_t kind);
    sdk::Result registerEvent(sdk::Handle s, sdk::EventCallback cb, void* ctx, sdk::Handle* reg);
    sdk::Result unregisterEvent(sdk::Handle s, sdk::Handle reg);
    sdk::Result propertyReset(sdk::Handle s, std::uint32_t option, sdk::Handle* e);
    sdk::Result propertyNext(sdk::Handle e, sdk::PropertyRecord* record);
    sdk::Result propertyData(sdk::Handle s, std::uint32_t id, std::uint32_t* size, void* buffer,
                             std::uint32_t option);
    sdk::Result deviceNext(sdk::Handle e, sdk::DeviceRecord* info);

    sdk::Result release(sdk::Handle s, std::uint32_t sync, sdk::ProgressCallback progress,
                        void* ctx, std::uint32_t option, std::uint32_t* count);
    sdk::Result getReleasedData(sdk::Handle s, sdk::ProgressCallback progress, void* ctx,
                                std::uint32_t option, sdk::ImageInfo* info,
                                const sdk::StorageMedium* medium);
    sdk::Result startCaptureSession(sdk::Handle s, sdk::EventCallback cb, void* ctx);
    sdk::Result endCaptureSession(sdk::Handle s);
    sdk::Result capture(sdk::Handle s);
    sdk::Result takeCapturedImage(sdk::Handle s, sdk::ProgressCallback progress, void* ctx,
                                  std::uint32_t option, const void* eventData,
                                  const sdk::StorageMedium* medium);
    sdk::Result selectViewfinderOutput(sdk::Handle s, std::uint32_t output);
    sdk::Result startViewfinder(sdk::Handle s, std::uint32_t format, sdk::FrameCallback cb,
                                void* ctx);
    sdk::Result termViewfinder(sdk::Handle s);

    sdk::Result getSetting(Setting which, const char* call, sdk::Handle s, std::uint32_t* code);
    sdk::Result setSetting(Setting which, const char* call, sdk::Handle s, std::uint32_t code);
    sdk::Result getFlash(sdk::Handle s, std::uint32_t* code, std::uint32_t* second);
    sdk::Result setFlash(sdk::Handle s, std::uint16_t code, std::uint16_t second);
    sdk::Result getRelCam(sdk::Handle s, std::uint32_t id, std::uint32_t* size, void* data);
    sdk::Result setRelCam(sdk::Handle s, std::uint32_t id, std::uint32_t size, const void* data);
    sdk::Result getFormat(sdk::Handle s, std::uint32_t* quality, std::uint32_t* size);
    sdk::Result setFormat(sdk::Handle s, std::uint16_t quality, std::uint16_t size);
    sdk::Result afLock(sdk::Handle s, std::uint16_t lock);
    sdk::Result getZoom(sdk::Handle s, std::uint32_t* pos);
    sdk::Result setZoom(sdk::Handle s, std::uint32_t pos);
    sdk::Result getMaxZoom(sdk::Handle s, std::uint32_t* first, std::uint32_t* second);

    // Enumerations of settings: Reset builds a snapshot, Count/Next/Release are generic.
    sdk::Result enumReset(EnumKind kind, const char* call, sdk::Handle s, sdk::Handle* e);
    sdk::Result imageSizeReset(sdk::Handle s, std::uint32_t option, sdk::Handle* e);
    sdk::Result relCamDataReset(sdk::Handle s, std::uint32_t id, sdk::Handle* e,
                                std::uint32_t* dataSize);
    sdk::Result enumCount(EnumKind kind, const char* call, sdk::Handle e, std::uint32_t* n);
    sdk::Result enumRelease(EnumKind kind, const char* call, sdk::Handle e);
    sdk::Result enumNext16(EnumKind kind, const char* call, sdk::Handle e, std::uint16_t* code);
    sdk::Result enumNext32(EnumKind kind, const char* call, sdk::Handle e, std::uint32_t* code);
    sdk::Result imageSizeNext(sdk::Handle e, sdk::ImageSizeRecord* record);
    sdk::Result formatNext(sdk::Handle e, std::uint32_t* quality, std::uint32_t* size);
    sdk::Result relCamDataNext(sdk::Handle e, std::uint32_t dataSize, void* code);
};

// One SDK call in progress: journals it on construction; operator() records the result
// (with the world's lock held) and returns it.
class CallScope {
public:
    CallScope(Engine& world, const char* call, std::string args) : world_(world) {
        failure_ = world.enter(call, std::move(args), seq_);
    }
    sdk::Result failure() const { return failure_; }
    sdk::Result operator()(sdk::Result r) { return world_.leave(seq_, r); }

private:
    Engine& world_;
    std::uint64_t seq_ = 0;
    sdk::Result failure_ = sdk::kOk;
};

// Argument text helpers for the journal.
std::string argList(std::initializer_list<std::string> parts);
std::string num(std::uint64_t v);
std::string hex(std::uint32_t v);
std::string ptr(const void* p);
std::string fn(bool set);
std::string quoted(const char* text);

}   // namespace sim
