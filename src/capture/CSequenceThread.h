// The timed sequence worker: a list of delay and photo steps, run from the top on a thread of
// its own. Delays count down on a steady clock against the step's own start, so they do not
// drift; photo steps apply the settings that differ, read them back and take the picture; each
// step is logged on the console and as a row of the sequence log. A run of one pass takes each
// step off the list as it ends; a repeated run keeps the list as built and gives it back whole.
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
    // Told on the worker: after each finished or dropped step that left the list (in a run of
    // one pass), and once when the run ends.
    class Events {
    public:
        virtual ~Events() = default;
        virtual void ItemDone(std::uint64_t id) = 0;
        virtual void RunEnded() = 0;
        // A photo step changed settings (or the zoom) on the camera; told before its ItemDone.
        virtual void SettingsApplied() {}
    };

    // Where a run stands: pass k of n (n 0: until stopped), the "#" of the step being run,
    // the seconds until the next photo step starts (-1: none ahead), and whether the camera is
    // away (a photo step then waits for it).
    struct Progress {
        bool running = false;
        int pass = 0, passes = 1;
        int step = 0;
        bool photoStep = false;
        int secondsToPhoto = -1;
        bool cameraAway = false;
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

    // Passes through the list (0: until stopped); set before a run. With more than one pass
    // (or 0) the steps stay listed: each pass runs the list from the top as it stands then.
    void setRepeats(int passes) { passes_ = passes < 0 ? 0 : passes; }
    int repeats() const { return passes_; }
    // True when the list would run more than once with no delay in it: pictures as fast as the
    // camera takes them. The panel refuses to start such a run; a run whose delays are removed
    // while it goes on ends before its next pass.
    bool RepeatsWithoutDelay() const;
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
    class RunLog;   // one run's timeline, sequence log and view of the camera (worker only)
    // What a step leaves the run to do: go on, leave the loop (the end still to be told), or
    // nothing (FinishStep has told the end).
    enum class Next { Step, Leave, Ended };
    // The step to run now, passes counted; false when there is none.
    bool NextStep(Entry& step);
    Next DelayStep(RunLog& run, const Entry& step);
    Next PhotoStep(RunLog& run, const Entry& step);
    enum class Wait { Back, Quit, Stop, TooLong };
    // A photo step's camera is away: waits on the run's clock until it is back, the run is told
    // to end, or the away limit passes.
    Wait AwaitCamera(SequenceClock::Clock::time_point awaySince);
    // The photo step's stored settings and zoom, where they differ from the camera's, set and
    // read back; returns what was changed ("TV=1/125;Zoom=3").
    std::string ApplyStoredSettings(const SequenceItem& item);
    // The step is over: off the list in a run of one pass, else the next one's turn; tells the
    // events. False when the run ends here.
    bool FinishStep(std::uint64_t id);
    // The delay of the step whose turn is next (0 for a photo step or none).
    int NextDelaySeconds() const;
    void EndRun();
    bool RepeatsWithoutDelayLocked() const;

    Events* const events_;
    const std::unique_ptr<SequenceClock> clock_;
    std::unique_ptr<SequenceCamera> camera_;
    std::chrono::milliseconds awayLimit_ = kAwayLimit;
    // Settings (name and label) already said to be not offered in this run; worker only.
    std::set<std::string> notOffered_;

    // guards queue_, nextId_, stopRequested_, keep_, cursor_, current_, delayLeft_, pass_
    mutable std::mutex lock_;
    std::deque<Entry> queue_;
    bool keep_ = false;           // this run keeps its steps listed (more than one pass)
    std::size_t cursor_ = 0;      // index of the step being run (or next); 0 unless keep_
    std::uint64_t current_ = 0;   // id of the step being run, 0 between steps
    int delayLeft_ = 0;           // whole seconds left of the delay being run
    int pass_ = 0;
    std::atomic<int> passes_{1};
    std::atomic<bool> cameraAway_{false};
    std::uint64_t nextId_ = 1;
    bool stopRequested_ = false;
};
