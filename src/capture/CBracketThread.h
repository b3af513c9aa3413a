// The exposure bracket run, on a thread of its own: reads what the camera holds and offers,
// plans the shots (BracketPlan) and says the plan on the console, then for each shot sets the
// exposure, releases, waits for every file of the release and tags each file with the series
// keyword ("Bracket 5: -2 EV"); at the end, after a Stop and after a lost camera the setting is
// put back (a lost camera's when it returns, within the away limit) or the console says it could
// not be. Never waits for the window; the events hand their work over without waiting.
#pragma once

#include "capture/BracketCamera.h"
#include "capture/BracketPlan.h"
#include "capture/CThreadBase.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CBracketThread : public CThreadBase {
public:
    struct Result {
        int series = 0;                   // 0: no bracket was started
        int shots = 0, taken = 0;         // planned, and released with a file
        std::vector<std::string> files;   // every file saved, in shot order
        bool stopped = false, lost = false;
        bool restored = false;   // the setting is back as it was
    };
    class Events {
    public:
        virtual ~Events() = default;
        // A shot ended (taken or not): shot is from 1.
        virtual void ShotEnded(int shot, int shots) = 0;
        virtual void RunEnded(const Result& result) = 0;
    };

    explicit CBracketThread(Events* events) : events_(events) {}
    ~CBracketThread() override;

    // Set before Start.
    void setCamera(std::unique_ptr<BracketCamera> camera) { camera_ = std::move(camera); }
    void setShots(int shots, int stepThirds) {
        shots_ = shots;
        stepThirds_ = stepThirds;
    }
    // How long a lost camera is waited for to put the setting back.
    static constexpr std::chrono::minutes kAwayLimit{2};
    void setAwayLimit(std::chrono::milliseconds limit) { awayLimit_ = limit; }

    // Ends the run after the current shot (any thread).
    void RequestStop();

protected:
    void Run() override;

private:
    // Puts the setting back: true when the camera holds it afterwards.
    bool Restore(const bracket::Plan& plan, const std::string& prefix);
    // A lost camera: waits for its return (or Stop, or the limit), then puts the setting back.
    bool RestoreAfterLoss(const bracket::Plan& plan, const std::string& prefix);
    bool stopRequested();

    Events* const events_;
    std::unique_ptr<BracketCamera> camera_;
    int shots_ = 5, stepThirds_ = 3;
    std::chrono::milliseconds awayLimit_ = kAwayLimit;
    std::mutex lock_;   // guards stop_
    std::condition_variable wake_;
    bool stop_ = false;
};
