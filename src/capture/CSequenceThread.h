// The timed sequence worker: a queue of delay and photo steps, run front first on a thread of
// its own. Delays count down on a steady clock against the step's own start, so they do not
// drift; photo steps apply the settings that differ, read them back and take the picture; each
// step is logged on the console and as a row of the sequence log.
//
// Threads: the queue may be changed from any thread (one lock guards every queue operation);
// the run calls the camera port and the events on the worker only, never holding that lock.
// The events must hand their work over without waiting. RequestStop ends the run after the
// current step; Quit (and destruction) also wakes a delay, so the run ends before its next step.
#pragma once

#include "capture/CThreadBase.h"
#include "capture/SequenceCamera.h"
#include "capture/SequenceClock.h"
#include "capture/SequenceItem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CSequenceThread : public CThreadBase {
public:
    // Told on the worker: after each finished or dropped step, and once when the run ends.
    class Events {
    public:
        virtual ~Events() = default;
        virtual void ItemDone(std::uint64_t id) = 0;
        virtual void RunEnded() = 0;
        // A photo step changed settings (or the zoom) on the camera; told before its ItemDone.
        virtual void SettingsApplied() {}
        // The list was queued again for the next pass (new ids: read Queue()).
        virtual void PassStarted() {}
    };

    // Where a run stands: pass k of n (n 0: until stopped), the step at the front of the
    // queue, and the seconds until the next photo step starts (-1: none ahead).
    struct Progress {
        bool running = false;
        int pass = 0, passes = 1;
        int step = 0;
        int secondsToPhoto = -1;
    };

    struct Entry {
        std::uint64_t id = 0;   // unique for the life of the worker
        int number = 0;         // the step's "#" in the list, for the sequence log
        SequenceItem item;
    };

    // A null clock gives the steady one.
    explicit CSequenceThread(Events* events, std::unique_ptr<SequenceClock> clock = nullptr);
    ~CSequenceThread() override;

    // Set before a run: the program the run works on (null: the run ends at once).
    void setCamera(std::unique_ptr<SequenceCamera> camera);

    // A photo step whose moment passed more than this while the camera was away is logged
    // as missed and left out; the run ends when the camera stays away longer than the limit.
    static constexpr std::chrono::seconds kMissedTolerance{5};
    static constexpr std::chrono::minutes kAwayLimit{30};
    void setAwayLimit(std::chrono::milliseconds limit) { awayLimit_ = limit; }

    // Passes through the list (0: until stopped); set before a run. Each pass runs the list
    // as it stood when the run started.
    void setRepeats(int passes) { passes_ = passes < 0 ? 0 : passes; }
    int repeats() const { return passes_; }
    Progress progress() const;

    // Queue operations, any thread.
    std::uint64_t Append(SequenceItem item, int number);
    // False, and nothing removed, for the step being run; true otherwise (also for an id that
    // is no longer queued).
    bool Remove(std::uint64_t id);
    bool IsRunningStep(std::uint64_t id) const;
    std::vector<Entry> Queue() const;

    void RequestStop();
    bool stopRequested() const;
    // Whole seconds left of the delay being run; 0 when no delay runs.
    int RunningDelayLeft() const;
    // Ends the run before its next step, cutting a delay short; a photo under way finishes.
    void Quit();

protected:
    void Run() override;

private:
    bool PhotoStep(const Entry& step, std::string& file, std::string& changed);
    enum class Wait { Back, Quit, Stop, TooLong };
    // The camera is away: waits on the run's clock until it is back, the run is told to end,
    // or the away limit passes.
    Wait AwaitCamera(SequenceClock::Clock::time_point awaySince);
    // Takes the step off the queue and tells the events; false when the run ends here.
    bool FinishStep(std::uint64_t id);
    void EndRun();

    Events* const events_;
    const std::unique_ptr<SequenceClock> clock_;
    std::unique_ptr<SequenceCamera> camera_;
    std::chrono::milliseconds awayLimit_ = kAwayLimit;
    // Settings (name and label) already said to be not offered in this run; worker only.
    std::set<std::string> notOffered_;

    mutable std::mutex lock_;   // guards queue_, nextId_, stopRequested_, pattern_, pass_
    std::deque<Entry> queue_;
    std::vector<Entry> pattern_;   // the list at the run's start, queued again for each pass
    int pass_ = 0;
    std::atomic<int> passes_{1};
    std::uint64_t nextId_ = 1;
    bool stopRequested_ = false;
};
