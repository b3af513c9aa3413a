// The camera driver over one SDK table: device listing, connect/disconnect, properties,
// option lists, settings by label, AF lock, zoom, release and viewfinder.
// CanonSDK and CanonRCSDK are the two concrete drivers (CanonSDK.h, CanonRCSDK.h).
//
// Thread safety: every operation holds the driver's operation lock, so the user-interface
// thread and the sequence worker may call one driver at once (their calls are serialised).
// The read-only accessors (isOpen, properties, the option lists, ...) never take that lock:
// they copy the state under a small state mutex that is never held across an SDK call, so a
// frame, progress or event callback may read them even while an operation is under way on
// another thread. SDK callbacks must not call the operations themselves when the operation
// in progress may be waiting for the callback's thread (e.g. Disconnect stopping the
// viewfinder): post the work to the UI thread instead.
// The log callback and the SDK's progress callback run while the operation lock is held;
// they must not block on another thread that calls this driver.
#pragma once

#include "camera/BusyRetry.h"
#include "camera/Options.h"
#include "camera/Setting.h"
#include "sdk/sdk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace camera {

class CanonDriver {
public:
    CanonDriver(const CanonDriver&) = delete;
    CanonDriver& operator=(const CanonDriver&) = delete;

    std::vector<std::string> GetDevices();
    // True only when a camera is open afterwards.
    bool Connect(const std::string& deviceName, sdk::EventCallback cameraEvent);
    void Disconnect();

    // False when the release or a transfer call failed (capture session: when Capture failed).
    // Each file written is reported to the picture callback (capture session: later, from the
    // SDK's thread). busy: how a busy answer of the release and its transfers is retried.
    bool TakePicture(const std::string& path, sdk::ProgressCallback progress,
                     BusyRetry busy = kNoBusyRetry);
    // Set once, before any operation. Runs on the thread that wrote the picture, or in
    // Disconnect (with the operation lock held) for pictures that cannot arrive any more.
    void setPictureCallback(PictureCallback picture);
    // How long Disconnect waits for capture-session pictures already taken (3 s by default).
    void setPictureWait(std::chrono::milliseconds wait);
    // Fetches a picture the camera took by itself (announced by camera event
    // kEventCameraPicture) to path and reports it to the picture callback. Takes no operation
    // lock: it runs inside the camera event callback, on the SDK's thread, while an operation
    // on another thread may be waiting for that thread. False when the table cannot fetch such
    // pictures or the transfer failed (logged).
    bool TakeCameraPicture(const std::string& cameraName, const std::string& path,
                           sdk::ProgressCallback progress);
    // A battery event: the camera's new level in sixths and its own words (empty when it gives
    // none). Changes properties() without an SDK call; any thread, no operation lock.
    void NoteBattery(std::uint32_t level, const std::string& text);
    // Most devices, items of a release or bytes of a setting's data accepted from the SDK;
    // larger counts are logged and refused.
    static constexpr std::uint32_t kMaxCount = 1024;
    void EnableViewfinder(sdk::FrameCallback frame);
    void DisableViewfinder();

    void SetAFLock(bool lock);
    // A camera without zoom (capability bit) is not asked: 0, and a position is not sent.
    std::uint32_t GetZoomPos();
    void SetZoomPos(std::uint32_t position);
    // The camera's own magnified live view (properties().hasMagnify; never asked otherwise):
    // factor 1, 5 or 10 and the magnified area's place on the sensor. SetMagnify sends both,
    // then reads back where the camera put the area (it keeps it on its sensor) into x, y.
    // False when not offered or a call failed (logged).
    bool GetMagnify(std::uint32_t& factor, std::uint32_t& x, std::uint32_t& y);
    bool SetMagnify(std::uint32_t factor, std::uint32_t& x, std::uint32_t& y);
    // One step of the lens's focus (step -3..-1 near, 1..3 far; sdk::kFocusStepUnits): the
    // SDK's answer, logged when it fails ("DriveFocus::RCDriveFocus"); busy is retried as the
    // caller allows. err::kNotSupported, without an SDK call, for a camera that does not
    // drive its focus (properties().hasFocusDrive) or a table without the call.
    sdk::Result DriveFocus(int step, BusyRetry busy = kNoBusyRetry);

    // Access by key. GetLabel: the current value's label, empty when it is not listed.
    // GetLabel and GetCode ask nothing of a camera whose list for the setting is empty (it does
    // not offer the setting): empty label, code 0.
    // Options: the values on offer (image quality: those of every image size, each label once).
    // Set: false when the label is not listed (no SDK call, nothing logged) or the SDK refused
    // it; busy says how a busy answer is retried. The named getters and setters below forward
    // to these (one try).
    std::string GetLabel(Setting setting);
    std::uint32_t GetCode(Setting setting);
    std::vector<SettingOption> Options(Setting setting) const;
    bool Set(Setting setting, const std::string& label, BusyRetry busy = kNoBusyRetry);

    // Each setting by name, forwarding to the calls above: Get<Key> (label), Get<Key>Code and
    // Set<Key> ("GetTV", "GetTVCode", "SetTV"; the keys of sdk/SettingList.h).
#define KESTREL_DRIVER_ACCESS(Key, ...) \
    std::string Get##Key();             \
    std::uint32_t Get##Key##Code();     \
    bool Set##Key(const std::string& label);
    KESTREL_ALL_SETTINGS(KESTREL_DRIVER_ACCESS)
#undef KESTREL_DRIVER_ACCESS

    // Re-enumerations (each empties its list first); Connect runs them all.
    void GetProperties();
    void GetImageSizes();
    void GetImageQualities();
    // The value-list settings' listings: GetShootingModes, GetAVModes, ... (the Listing column).
#define KESTREL_DRIVER_LISTING(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, \
                               Offered, Current, Sdk, Code, Words, Listing)                 \
    void Listing();
    KESTREL_VALUE_SETTINGS(KESTREL_DRIVER_LISTING)
#undef KESTREL_DRIVER_LISTING
    // The release-camera settings' lists (ISO, Meter, Effect), as the camera names them.
    void GetOtherModes();
    // Reads anew the lists of every setting from first on, in the list's order; the
    // release-camera settings among them in one GetOtherModes, last.
    void RelistFrom(Setting first);
    void GetZoomLimits();

    // True when result is a failure; logs the step and the error's text.
    bool ReportError(sdk::Result result, const std::string& step);

    // Read-only state, copied under the lock.
    sdk::Handle sourceHandle() const;
    bool isOpen() const { return sourceHandle() != 0; }
    CameraProperties properties() const;
    std::uint32_t maxZoomPos() const;
    std::uint32_t zoomFirst() const;
    std::vector<ImageSizeOption> imageSizes() const;
    // Each list by name: shootingModes(), avModes(), ... (the Options column).
#define KESTREL_DRIVER_OPTIONS(Key, Name, Title, ChangeText, Labels, Options, ...) \
    std::vector<SettingOption> Options() const;
    KESTREL_LISTED_SETTINGS(KESTREL_DRIVER_OPTIONS)
#undef KESTREL_DRIVER_OPTIONS
    const sdk::Api& api() const { return api_; }

protected:
    // className names the steps of construction and destruction ("CanonSDK::CDStartSDK").
    CanonDriver(const sdk::Api& api, std::string className, std::uint16_t majorVersion,
                LogCallback log);
    ~CanonDriver();
    // Disconnects, waits for a release event still being handled, finishes the SDK. Run by the
    // concrete driver's destructor (so no callback sees a half-destroyed object); runs once.
    void finish();

    // Set by CanonRCSDK before any operation: the release event callback its capture-session
    // models get, and the context it is given (the CanonRCSDK object).
    void enableCaptureSessions(sdk::EventCallback releaseCallback, void* context);
    // Release event (the body of CanonRCSDK::ReleaseEventCallback); takes no operation lock.
    void onReleaseEvent(std::uint32_t eventId, const void* data);

    const sdk::Api& api_;
    const std::string className_;
    const LogCallback log_;
    // Serialises the operations and their SDK calls; held for a whole operation.
    mutable std::recursive_mutex lock_;

private:
    // The settings with a value list of their own in lists_ (image size and quality are one
    // SDK attribute pair, listed in imageSizes_).
#define KESTREL_DRIVER_SLOT(Key, ...) k##Key,
    enum Slot : std::size_t { KESTREL_LISTED_SETTINGS(KESTREL_DRIVER_SLOT) kSettingCount };
#undef KESTREL_DRIVER_SLOT
    struct Pending {
        std::uint64_t id = 0;
        std::string path;
        sdk::ProgressCallback progress = nullptr;
    };

    // One operation, named once: its failures are logged with the step "<op>::<prefix><call>".
    class Step {
    public:
        Step(CanonDriver& driver, std::string op) : driver_(driver), op_(std::move(op)) {}
        // Logs result when it is a failure; true on failure.
        bool failed(sdk::Result result, const std::string& call) const;
        // count, or 0 (logged) when it is above kMaxCount.
        std::uint32_t bounded(std::uint32_t count, const std::string& call) const;
        const std::string& name() const { return op_; }

    private:
        CanonDriver& driver_;
        const std::string op_;
    };

    bool isCaptureSessionModel() const;   // needs lock_
    // The rest of an SDK listing once its Reset gave enumeration: Get<what>Count (bounded),
    // Enum<what>Next for each item (logged under itemStep; a run of failed reads ends the
    // listing), Enum<what>Release. next(enumeration) reads one item into the caller's variable;
    // use() takes it and returns false to stop early.
    template <class Count, class Next, class Use, class Release>
    void readListing(const Step& step, const Step& itemStep, const std::string& what,
                     sdk::Handle enumeration, Count count, Next next, Use use, Release release);
    // A value list read through the label table: codes without a label are left out.
    template <class Code, class Reset, class Count, class Next, class Release>
    std::vector<SettingOption> enumerate(const Step& step, const char* what, Reset reset,
                                         Count count, Next next, Release release,
                                         const std::vector<SettingOption>& table);
    // Reads the value list of one release-camera setting (meter, ISO, effect) during
    // GetOtherModes; other ids are passed over.
    void readRelCamSetting(const Step& step, std::uint32_t id);
    static Slot slotOf(Setting setting);   // not for ImageSize, ImageQuality
    std::uint32_t readCode(Slot setting);
    bool writeCode(Slot setting, std::uint32_t code, BusyRetry busy);
    std::string labelOf(Slot setting);
    bool setByLabel(Slot setting, const std::string& label, BusyRetry busy);
    // SetImageFormatAttribute, retried while busy as the caller allows.
    sdk::Result setFormat(sdk::Handle source, std::uint16_t quality, std::uint16_t size,
                          BusyRetry busy);
    bool readFormat(const Step& step, std::uint32_t& quality, std::uint32_t& size);
    std::string imageSizeLabel();
    std::string imageQualityLabel();
    std::uint32_t imageSizeCode();
    std::uint32_t imageQualityCode();
    bool setImageSize(const std::string& label, BusyRetry busy);
    bool setImageQuality(const std::string& label, BusyRetry busy);
    std::vector<SettingOption> list(Slot setting) const;

    // Every field below is written under both lock_ and stateMutex_; operations (holding
    // lock_) read it directly, the accessors read it under stateMutex_. The one exception is
    // the battery of properties_, which NoteBattery writes under stateMutex_ alone (no
    // operation reads it).
    mutable std::mutex stateMutex_;
    std::atomic<sdk::Handle> source_{0};
    sdk::VersionRecord versionRecord_{};
    sdk::DeviceRecord sourceInfo_{};
    sdk::Handle eventHandle_ = 0;
    CameraProperties properties_;
    std::vector<ImageSizeOption> imageSizes_;
    std::uint32_t zoomFirst_ = 0;
    std::uint32_t maxZoomPos_ = 0;
    std::vector<SettingOption> lists_[kSettingCount];
    std::uint32_t dataSizes_[kSettingCount] = {};    // of the release-camera settings' codes
    sdk::EventCallback releaseCallback_ = nullptr;   // set once, before any operation
    void* releaseContext_ = nullptr;

    // Capture-session images still to arrive, oldest first; guarded by pendingMutex_, which is
    // never held while calling the SDK. inFlight_ counts release events being handled.
    std::mutex pendingMutex_;
    std::condition_variable pendingIdle_;
    std::deque<Pending> pending_;
    std::uint64_t nextPendingId_ = 0;
    int inFlight_ = 0;
    bool finished_ = false;                         // guarded by lock_
    PictureCallback picture_;                       // set once, before any operation
    std::chrono::milliseconds pictureWait_{3000};   // guarded by pendingMutex_
};

}   // namespace camera
