// The camera session of the document: which camera is open (on which of the document's two
// drivers, under what name), what it holds (one record of the twelve settings and the zoom),
// the one Apply that sets values and reads them back, and the loss and return of a camera that
// goes away without the user's Disconnect (a loose cable, a USB reset, a battery swap): the
// camera is closed, the console says so once, and the session waits for the same camera to come
// back, opens it again and sets back what it held. Both SDKs report a vanished camera the same
// way (camera event kEventCameraGone), which reaches NoteGone. The camera list is read once a
// second while waiting; a camera listed all along (one given with --camera, which sends no
// hotplug events) is tried every three seconds. Nothing of a reopen attempt is logged (quiet()).
//
// Busy: every call that may meet a busy camera takes the caller's policy (camera::BusyRetry):
// the user-interface thread passes camera::kNoBusyRetry and gets the answer at once.
//
// Threads: NoteGone, away(), waiting(), waitingFor(), quiet(), held(), openDriver() and
// connectedName() from any thread (the camera's event thread, the Time run's worker); Open,
// Read and Apply on a thread that may call the driver (their busy policy says whether it may
// wait); Tick, Disconnect and StopWaiting on the user-interface thread.
#pragma once

#include "camera/BusyRetry.h"
#include "camera/CanonDriver.h"
#include "document/SettingValues.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

class CViewDoc;

class CameraSession {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kListInterval{1000};
    static constexpr std::chrono::milliseconds kOpenInterval{3000};

    explicit CameraSession(CViewDoc& document) : document_(document) {}
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // ---- The open camera
    // Opens the listed camera of that name on the driver that lists it; true when a camera is
    // open afterwards (the document then starts its live view).
    bool Open(const std::string& deviceName);
    // The driver with an open camera, CanonSDK first; null when none.
    camera::CanonDriver* openDriver();
    // The device name of the latest successful Open.
    std::string connectedName() const;

    // ---- Settings
    // Reads what the open camera holds into the record and returns it. With no camera open,
    // or when the camera is found gone meanwhile, the record stays as it was (it is what a
    // returning camera is set back to) and is returned.
    SettingValues Read();
    SettingValues held() const;
    // Sends each setting asked for (a non-empty label) that differs from what the camera holds
    // and that it lists, and the zoom (when asked and the camera has one); then reads back
    // what it sent into the record. Logs nothing of its own (a refusal is logged by the
    // driver); the report says what was sent, not offered, or not held.
    ApplyReport Apply(const SettingValues& wanted, camera::BusyRetry busy,
                      const ApplyHook& hook = {});
    // A run that changed key for a while (a bracket) and lost the camera: the record a
    // returning camera is set back to holds label for it. Any thread.
    void KeepOnReturn(camera::Setting key, const std::string& label);

    // ---- Loss and return
    // The open camera was found gone (camera event kEventCameraGone). Any thread; acted on by
    // the next Tick.
    void NoteGone() { gone_.store(true); }
    // True from NoteGone until the camera is back and set up again (or the waiting ends).
    bool away() const { return gone_.load() || waiting_.load(); }
    bool waiting() const { return waiting_.load(); }
    // The camera waited for ("EOS 20D"); empty when none.
    std::string waitingFor() const;
    // True while a reopen attempt runs: its failures (the driver's and the SDK's own lines) are
    // expected, as the camera is still away, and are not logged.
    bool quiet() const { return attempting_.load(); }

    enum class Change { None, Lost, Back };
    // A few times a second (the main window's timer): handles a noted loss (closes the camera,
    // one console line) and, while waiting, reads the list and opens the camera when it is back.
    Change Tick(Clock::time_point now);
    // The user's Disconnect or another camera chosen: no more waiting.
    void StopWaiting();
    // The user's Disconnect: no more waiting, and every open camera is closed.
    void Disconnect();

private:
    bool tryOpen(Clock::time_point now);
    void closeAll();

    CViewDoc& document_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> waiting_{false};
    std::atomic<bool> attempting_{false};
    // Guards what is below (the user-interface thread writes the waiting state, the panes and
    // the Time run read it; Read and Apply write the record from either thread).
    mutable std::mutex mutex_;
    std::string connectedName_;
    SettingValues held_;
    std::string name_;               // the device name to open again
    std::string owner_, firmware_;   // to tell the same body from another of its model
    Clock::time_point since_{}, nextList_{}, nextOpen_{};
    bool listed_ = false;      // listed at the last look
    bool otherSaid_ = false;   // "another camera" said once per wait
};
