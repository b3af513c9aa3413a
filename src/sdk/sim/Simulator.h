// The simulated camera SDK: a world of virtual cameras behind one sdk::Api table,
// plus the controls tests use (own worlds, failure injection, journal, manual frames).
#pragma once

#include "sdk/Errors.h"
#include "sdk/sdk.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How the simulated SDK behaves (what drivers and their tests can rely on):
// - Handles (sources, enumerations, registrations) count up from 1 per world and are never
//   reused; a call on an unknown source gives err::kInvalidHandle. Enumerations are snapshots,
//   valid until their Release; Next past the end gives err::kEnumNA.
// - Set calls refuse a value the camera does not offer with err::kRefused and change nothing;
//   SetZoomPos beyond maxZoomPos gives err::kDeviceInvalidParameter; calls of a missing
//   capability (zoom, shooting modes, viewfinder) give err::kNotSupported.
// - Release and GetReleasedData need release control (else err::kInvalidFnCall), as does
//   ExitReleaseControl; Capture and TakeCapturedImage need the capture session
//   (err::kSessionNotOpen). On RC, "EOS 20D" and "EOS-1Ds Mark II" are always session cameras
//   (setWorld sets captureSession) and refuse EnterReleaseControl; other cameras refuse
//   StartCaptureSession. TermViewfinder without a running viewfinder succeeds.
// - DriveFocus needs a camera with hasFocusDrive (else err::kNotSupported) and its live view
//   running (err::kInvalidFnCall); it answers err::kDeviceBusy while the lens still moves
//   (focusMoveMs after a step; Release and Capture too) and err::kFocusAtLimit at an end.
// - StartSDK checks the version record (size 40, major 7 CD / 8 RC); other calls do not
//   require it. Property data texts cut to the caller's capacity stay NUL-terminated.
// - Callbacks never run under the world's lock. After TermViewfinder, CloseSource,
//   EndCaptureSession or UnregisterEventCallbackFunction return (called from another thread),
//   no callback of that kind for that camera runs any more; called from inside such a callback
//   they do not wait for it.
namespace sim {

// One virtual camera as a test or the default world describes it.
struct CameraSpec {
    std::string name;
    std::string owner = "Kestrel Lab";
    std::string firmwareText = "Firmware Version 1.0.0";   // the driver keeps the last word
    std::uint32_t battery = 6;   // the cameras report 0 (empty) to 6 (full)

    bool hasZoom = true;
    bool hasShootingModes = true;
    bool hasViewfinder = true;
    std::uint32_t zoomFirst = 0;    // first value of GetMaximumZoomPos
    std::uint32_t maxZoomPos = 8;   // second value of GetMaximumZoomPos

    // Image sizes as (code, label), and the (quality, size) pairs the camera offers.
    std::vector<std::pair<std::uint16_t, std::string>> imageSizes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> formats;
    // Pixel dimensions of the JPEG written for each size code (absent: 640 x 480).
    std::vector<std::pair<std::uint16_t, std::pair<int, int>>> sizePixels;

    std::vector<std::uint32_t> shootingModes;
    std::vector<std::uint16_t> av, tv, exposure, wb, afDistance, flash;
    // Release-camera-setting ids the camera lists, in order, and each one's values.
    std::vector<std::uint32_t> relCamSettingIds;
    std::vector<std::uint32_t> meter, iso, effect;
    std::uint32_t relCamDataSize = 4;

    // Current values.
    std::uint32_t shootingMode = 1, avValue = 0, tvValue = 0, exposureComp = 24, wbValue = 0,
                  afDistanceValue = 1, flashValue = 0, meterValue = 3, isoValue = 0,
                  effectValue = 0, quality = 3, size = 0, zoomPos = 0;

    // The lens's focus drive (DriveFocus, capability bit 4). Positions count the smallest focus
    // steps, near low; a step of size k moves sdk::kFocusStepUnits[k] of them. After a step
    // the lens moves for focusMoveMs: DriveFocus, Release and Capture answer busy meanwhile.
    bool hasFocusDrive = false;
    int focusMin = 0, focusMax = 400, focusPos = 200;
    int focusMoveMs = 0;
    // A scene with depth: its left, middle and right thirds stand at depthNear, depthMiddle and
    // depthFar, and each is blurred by |depth - focusPos| / focusBlurScale frame pixels (at
    // most scene::kMaxBlur; a full-size picture by as much of its width). Without depth the
    // scene is sharp everywhere, wherever the lens is.
    bool sceneDepth = false;
    int depthNear = 100, depthMiddle = 200, depthFar = 300;
    int focusBlurScale = 8;

    std::uint32_t releaseItems = 1;   // data items one release yields
    bool captureSession = false;      // image delivered later through release event 34
                                      // (set by default for "EOS 20D" and "EOS-1Ds Mark II")
};

struct World {
    std::vector<CameraSpec> cameras;
};

// A CameraSpec with every option list filled, so each label of the label tables is reachable.
CameraSpec fullCamera(const std::string& name);

// The world a user without a camera gets: at least one camera per SDK, "EOS 20D" on RC.
World defaultCdWorld();
World defaultRcWorld();

// One SDK call as it was made, e.g. name "CDSetTvValue", args "1, 112".
// Args are the call's inputs in order, comma separated: numbers in decimal (property and
// release-camera-setting ids in hex, "0x800000c"), callbacks "fn" or "0", contexts and data
// pointers "ptr" or "0", texts (device name, file path) in double quotes; out-pointers left out.
struct Call {
    std::string name;
    std::string args;
    sdk::Result result = sdk::kOk;   // what the call returned
};

// Event data of release event 34: the driver hands the pointer back to TakeCapturedImage.
struct CaptureEventData {
    std::uint32_t captureId = 0;
    sdk::Handle source = 0;
};

// The error codes the simulator answers with (shared with the real-camera backend).
namespace err = sdk::err;

// Observable state of a virtual camera, for assertions.
struct CameraState {
    bool open = false;
    bool viewfinderRunning = false;
    bool releaseControl = false;
    bool captureSession = false;
    bool afLocked = false;
#define KESTREL_STATE_FIELD(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, \
                            Current, ...)                                                         \
    std::uint32_t Current = 0;
    KESTREL_LISTED_SETTINGS(KESTREL_STATE_FIELD)   // shootingMode, avValue, ...
#undef KESTREL_STATE_FIELD
    std::uint32_t quality = 0, size = 0, zoomPos = 0, battery = 0;
    int focusPos = 0;   // the lens's focus position (CameraSpec::focusPos)
    std::uint32_t framesDelivered = 0;
    std::uint32_t pendingCaptures = 0;   // RCCapture calls whose event 34 has not been sent yet
};

class Simulator {
public:
    static Simulator& cd();   // prefix "CD"
    static Simulator& rc();   // prefix "RC"

    const sdk::Api& api() const;

    // Back to the default world: no failures, empty journal, threaded viewfinder at 30 fps,
    // immediate event 34. Stops any viewfinder thread first.
    void reset();
    void setWorld(World world);   // replaces all cameras; nothing open afterwards

    // Failure injection by call name without prefix ("TvValue" calls are "GetTvValue", ...).
    void failOnce(const std::string& call, sdk::Result code);
    void failAlways(const std::string& call, sdk::Result code);
    void clearFailures();

    // The journal of calls is kept (for tests) unless turned off, as the program does.
    void setJournal(bool on);
    std::vector<Call> journal() const;
    void clearJournal();
    std::size_t countCalls(const std::string& callWithPrefix) const;

    // The camera disappears: it is no longer listed, and opening its record fails.
    void removeCamera(const std::string& name);

    // Unplugging and plugging in, as a USB cable does. unplug: as removeCamera, and an open
    // camera sends camera event kEventCameraGone; its session stays dead for good (calls fail
    // as disconnected), even after replug. replug: the same camera (same record) is listed
    // again and can be opened anew, with the settings it had. plugIn: a camera more.
    void unplug(const std::string& name);
    void replug(const std::string& name);
    void plugIn(CameraSpec model);

    // Viewfinder: threaded at a rate, or manual (the test pushes frames, no thread).
    void setFrameRate(double fps);
    void setManualViewfinder(bool manual);
    bool pushFrame();   // manual mode: renders and delivers one frame on this thread; false if
                        // no viewfinder is running
    // Capture-session delivery: immediate (on the SDK's own thread, after Capture returns) or
    // held until deliverCaptures() (then sent on the calling thread, in order).
    void setHoldCaptures(bool hold);
    std::size_t deliverCaptures();

    void setBattery(const std::string& name, std::uint32_t level);   // sends camera event 1
    std::optional<CameraState> state(const std::string& name) const;

    // Waiting without sleeps: true once the condition holds, false after the timeout.
    // Frames: the named camera has delivered at least `count` frames since it was opened.
    bool waitForFrames(const std::string& name, std::uint32_t count, double timeoutSeconds = 30);
    // Events: every capture queued for the SDK's own thread has been sent and its callback
    // has returned (held captures do not count).
    bool waitForEvents(double timeoutSeconds = 30);

    // Enumerations started and not yet released (all kinds), for leak checks.
    std::size_t openEnumerations() const;
    // StartSDK calls not yet matched by FinishSDK.
    int sdkStarts() const;

    // Renders the current scene of the open camera (or a default scene) into a 54 + 230,400
    // byte BMP buffer; exposed for the benchmark and tests.
    static void renderFrame(std::uint8_t* frame, std::uint64_t frameIndex, double brightness);

    ~Simulator();

private:
    explicit Simulator(bool rc);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}   // namespace sim
