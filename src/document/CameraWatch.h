// Keeps a session going when its camera goes away without the user's Disconnect (a loose
// cable, a USB reset, a battery swap): the camera is closed, the console says so once, and
// Kestrel waits for the same camera to come back, then opens it again and sets back the
// settings the settings pane held. The camera list is read once a second while waiting; a
// camera that is listed all along (one given with --camera, which sends no hotplug events) is
// tried every three seconds.
//
// Threads: NoteGone and away() from any thread (the camera's event thread, the Time run's
// worker); everything else on the user-interface thread.
#pragma once

#include "camera/Setting.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class CViewDoc;

class CameraWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kListInterval{1000};
    static constexpr std::chrono::milliseconds kOpenInterval{3000};

    // What the settings pane held, set back on the camera when it returns; an empty label
    // leaves that setting as the camera has it.
    struct Settings {
        std::array<std::string, camera::kSettingCount> labels;
        bool hasZoom = false;
        std::uint32_t zoom = 0;
    };

    explicit CameraWatch(CViewDoc& document) : document_(document) {}

    // The open camera was found gone. Any thread; acted on by the next Tick.
    void NoteGone() { gone_.store(true); }
    // True from NoteGone until the camera is back and set up again (or the waiting ends).
    bool away() const { return gone_.load() || waiting_.load(); }
    bool waiting() const { return waiting_.load(); }
    // True when a loss is noted and not handled yet: the caller keeps the settings now.
    bool lossPending() const { return gone_.load(); }
    void keepSettings(const Settings& settings);
    // The camera waited for ("EOS 20D"); empty when none.
    std::string waitingFor() const;

    enum class Change { None, Lost, Back };
    // A few times a second: handles a noted loss (closes the camera, one console line) and,
    // while waiting, reads the list and opens the camera when it is back.
    Change Tick(Clock::time_point now);
    // The user's Disconnect or another camera chosen: no more waiting.
    void StopWaiting();

    // True while a reconnect attempt runs on this thread: its failed calls are not logged.
    static bool quiet();

private:
    bool tryOpen(Clock::time_point now);
    void restoreSettings();

    CViewDoc& document_;
    std::atomic<bool> gone_{false};
    std::atomic<bool> waiting_{false};
    // Guards what is below (the user-interface thread writes it, the panes read it).
    mutable std::mutex mutex_;
    std::string name_;               // the device name to open again
    std::string owner_, firmware_;   // to tell the same body from another of its model
    Settings settings_;
    Clock::time_point since_{}, nextList_{}, nextOpen_{};
    bool listed_ = false;      // listed at the last look
    bool otherSaid_ = false;   // "another camera" said once per wait
};
