// The focus stack worker: one run of a FocusStackPlan on a thread of its own. For each shot it
// moves the lens, waits for the camera to settle, releases and waits for every file of the
// release (a dry run only moves), names the series for the capture name and tags each picture
// with its keyword; at the end the lens goes back to where the run began. Each run writes its
// plan and what happened to the console.
//
// Threads: Start, RequestStop and the accessors from any one controlling thread; the run calls
// the camera port, the keyword writer and the events on the worker only, holding no lock. The
// events must hand their work over without waiting. RequestStop ends the run after the current
// shot; destruction also cuts a settle wait short.
#pragma once

#include "capture/CThreadBase.h"
#include "capture/FocusStackPlan.h"
#include "sdk/sdk.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// What a focus stack run needs of the program. DocumentFocusStackCamera is the one over the
// capture document; tests give their own. Called on the worker only.
class FocusStackCamera {
public:
    virtual ~FocusStackCamera() = default;
    virtual bool Ready() = 0;   // false: the document or the console is gone, the run ends
    virtual void Log(const std::string& text) = 0;
    // One lens step (-3..-1, 1..3); busy is retried as a worker may (camera::kLensBusyRetry).
    virtual sdk::Result DriveFocus(int step) = 0;
    // True when the picture was taken; written gets its file(s) (";" between several).
    virtual bool TakePicture(std::string& written) = 0;
    // After a successful TakePicture: "Photo Captured" and the capture's picture lines.
    virtual void PhotoCaptured() { Log("Photo Captured\r\n"); }
    // The series the next pictures belong to ({series} of the name template); empty: none.
    virtual void SetSeries(const std::string& series) = 0;
    // The lowest stack number no picture of the capture folder carries yet (1 when unknown), so
    // a stack never shares its number, and its group on the strip, with an earlier one.
    virtual int FreeSeriesNumber() { return 1; }
};

// Writes a picture's series keyword: returns an error text, empty on success.
using SeriesKeywordWriter =
    std::function<std::string(const std::string& picturePath, const std::string& keyword)>;

class FocusStackThread : public CThreadBase {
public:
    class Events {
    public:
        virtual ~Events() = default;
        // A shot is done (or stepped, in a dry run): shot k of the plan's shots.
        virtual void ShotDone(int shot, int shots) = 0;
        virtual void RunEnded() = 0;
    };

    // What the last run did, read once it has ended.
    struct Outcome {
        int taken = 0;           // shots done (pictures taken, or steps of a dry run)
        bool stopped = false;    // ended by RequestStop
        bool atLimit = false;    // the lens reached its end early
        bool failed = false;     // a move or a release failed
        bool returned = false;   // the lens is back where the run began
        double seconds = 0;      // from the run's start to its last shot
    };

    explicit FocusStackThread(Events* events);
    ~FocusStackThread() override;

    // Set before a run.
    void setCamera(std::unique_ptr<FocusStackCamera> camera);
    void setKeywordWriter(SeriesKeywordWriter writer);
    // The plan of the next run and its series number ("Focus stack 3"). False while running.
    bool Prepare(const FocusStackPlan& plan, int number);

    void RequestStop();
    bool stopRequested() const { return stop_.load(); }
    Outcome outcome() const;

    // The series of shot k of n of stack number ("Focus stack 3: 7 of 20").
    static std::string SeriesText(int number, int shot, int shots);

protected:
    void Run() override;

private:
    // Moves the lens by steps; counts what it moved into moved. False on a failure other than
    // at-limit; atLimit tells that one.
    bool Move(int units, int& moved, bool& atLimit, std::string& why);
    // Waits ms, or less when the thread is being destroyed; false then.
    bool Settle(int ms);
    void Finish(const Outcome& outcome);

    Events* const events_;
    std::unique_ptr<FocusStackCamera> camera_;
    SeriesKeywordWriter keyword_;
    FocusStackPlan plan_;
    int number_ = 1;
    std::atomic<bool> stop_{false};

    // guards outcome_, quit_
    mutable std::mutex lock_;
    std::condition_variable wake_;
    Outcome outcome_;
    bool quit_ = false;
};
