// Stand-ins for a sequence run: a clock whose waits return at once (or block until opened), a
// camera that keeps its settings in a table and can refuse or hold values, and a recorder of
// the worker's events that a test can wait on.
#pragma once

#include "capture/CSequenceThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;
using TimePoint = SequenceClock::Clock::time_point;

// Time moves only when the runner waits (to the deadline) or a test advances it. With `gated`,
// each wait blocks until Open() (or Abort).
class FakeClock : public SequenceClock {
public:
    explicit FakeClock(bool gated = false) : gated_(gated) {}
    TimePoint Now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    std::chrono::system_clock::time_point WallNow() override {
        return std::chrono::system_clock::time_point(std::chrono::seconds(1796000000));
    }
    bool WaitUntil(TimePoint deadline) override {
        std::function<void(int)> hook;
        int index = 0;
        {
            std::unique_lock lock(mutex_);
            index = static_cast<int>(deadlines_.size());
            deadlines_.push_back(deadline);
            waiting_ = true;
            changed_.notify_all();
            if (gated_) changed_.wait(lock, [this] { return open_ || aborted_; });
            waiting_ = false;
            if (aborted_) return false;
            if (deadline > now_) now_ = deadline;
            hook = onWait;
        }
        if (hook) hook(index);
        return true;
    }
    void Abort() override {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        changed_.notify_all();
    }
    void Advance(std::chrono::milliseconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // True once the runner waits; false after the bound.
    bool WaitForWaiting() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [this] { return waiting_; });
    }
    std::vector<TimePoint> deadlines() {
        std::lock_guard lock(mutex_);
        return deadlines_;
    }
    TimePoint start() const { return TimePoint(std::chrono::hours(1)); }

    std::function<void(int waitIndex)> onWait;   // runs on the worker after each wait

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    TimePoint now_ = TimePoint(std::chrono::hours(1));
    std::vector<TimePoint> deadlines_;
    bool gated_ = false, open_ = false, aborted_ = false, waiting_ = false;
};

// A camera with a label per setting; `hold` keeps a setting at its value whatever is asked,
// `offered` lists what Offers accepts (everything when empty).
class FakeCamera : public SequenceCamera {
public:
    bool Ready() override { return true; }
    void Log(const std::string& text) override {
        std::lock_guard lock(mutex_);
        log += text;
        if (clock && logCost.count() > 0) clock->Advance(logCost);
    }
    bool CameraOpen() override { return open && !CameraAway(); }
    // Away from awayFrom until awayUntil on the run's clock, as a camera unplugged and back.
    bool CameraAway() override {
        if (!clock) return false;
        const TimePoint now = clock->Now();
        std::lock_guard lock(mutex_);
        return now >= awayFrom && now < awayUntil;
    }
    // The session's Apply over values: sent when listed, held back for a key in hold.
    ApplyReport Apply(const SettingValues& wanted, const ApplyHook& hook) override {
        ApplyReport report;
        std::unique_lock lock(mutex_);
        for (const camera::SettingInfo& info : camera::kSettings) {
            const std::string& label = wanted.label(info.key);
            if (label.empty() || values[info.key] == label) continue;
            const bool listed = offered.empty() || offered.count(label) > 0;
            lock.unlock();   // the hook logs
            hook(info.key, listed);
            lock.lock();
            (listed ? report.sent : report.notOffered).push_back(info.key);
            if (listed && !hold.count(info.key)) values[info.key] = label;
            if (listed && values[info.key] != label)
                report.notHeld.emplace_back(info.key, values[info.key]);
        }
        if (wanted.hasZoom && zoom != wanted.zoom) {
            lock.unlock();
            hook(std::nullopt, true);
            lock.lock();
            zoom = report.heldZoom = wanted.zoom;
            report.zoomSent = true;
        }
        return report;
    }
    bool TakePicture(std::string& writtenPath) override {
        if (onTake) onTake();
        writtenPath = "/shots/Photo-" + std::to_string(pictures) + ".jpg";
        ++pictures;
        if (vanishOnTake.count() > 0 && clock) {
            // Pulled out during the release: no picture, back after vanishOnTake.
            std::lock_guard lock(mutex_);
            awayFrom = clock->Now();
            awayUntil = awayFrom + vanishOnTake;
            vanishOnTake = {};
            writtenPath.clear();
            return false;
        }
        if (failRelease) {
            Log("\r\n--- TakePicture::CDRelease ---\r\n");
            return false;
        }
        return true;
    }
    std::string LogPath() override { return logPath; }
    std::string text() {
        std::lock_guard lock(mutex_);
        return log;
    }

    std::mutex mutex_;
    std::string log;
    std::map<camera::Setting, std::string> values;
    std::set<camera::Setting> hold;
    std::set<std::string> offered;
    bool open = true;
    bool failRelease = false;
    std::uint32_t zoom = 0;
    int pictures = 0;
    std::string logPath;
    FakeClock* clock = nullptr;
    TimePoint awayFrom = TimePoint::max(), awayUntil = TimePoint::max();
    std::chrono::milliseconds vanishOnTake{0};
    std::chrono::milliseconds logCost{0};
    std::function<void()> onTake;   // runs on the worker as each release starts
};

// The worker's events in order ("done 1", "ended"), and a wait for the end of a run.
class Recorder : public CSequenceThread::Events {
public:
    void ItemDone(std::uint64_t id) override {
        std::lock_guard lock(mutex_);
        events.push_back("done " + std::to_string(id));
    }
    void RunEnded() override {
        std::lock_guard lock(mutex_);
        events.push_back("ended");
        ++runs_;
        ended_.notify_all();
    }
    void SettingsApplied() override {
        std::lock_guard lock(mutex_);
        ++settingsApplied_;
    }
    int settingsApplied() {
        std::lock_guard lock(mutex_);
        return settingsApplied_;
    }
    bool WaitForRuns(int runs) {
        std::unique_lock lock(mutex_);
        return ended_.wait_for(lock, 30s, [&] { return runs_ >= runs; });
    }
    std::vector<std::string> list() {
        std::lock_guard lock(mutex_);
        return events;
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    std::vector<std::string> events;
    int runs_ = 0;
    int settingsApplied_ = 0;
};

inline SequenceItem Delay(int seconds) {
    SequenceItem item;
    item.delaySeconds = seconds;
    return item;
}

inline SequenceItem Photo(std::map<camera::Setting, std::string> labels = {},
                          std::uint32_t zoom = 0) {
    SequenceItem item;
    for (const auto& [key, label] : labels) item.labels[camera::IndexOf(key)] = label;
    item.zoomPosition = zoom;
    return item;
}

}   // namespace testsupport
