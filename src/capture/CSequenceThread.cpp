#include "capture/CSequenceThread.h"

#include "capture/SequenceLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// "30 min", "90 s": the away limit as the console says it.
std::string LimitText(std::chrono::milliseconds limit) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    if (secs >= 60 && secs % 60 == 0) return Format("%lld min", static_cast<long long>(secs / 60));
    return Format("%lld s", static_cast<long long>(secs));
}

constexpr std::chrono::milliseconds kAwayPoll{100};   // how often a waiting step looks

}   // namespace

// One run's bookkeeping on the worker: the planned timeline, the sequence log (its failure said
// once) and the camera's comings and goings as the run sees them (a console line and a row each).
class CSequenceThread::RunLog {
public:
    using TimePoint = SequenceClock::Clock::time_point;

    RunLog(SequenceCamera& camera, SequenceClock& clock, std::chrono::milliseconds awayLimit,
           std::atomic<bool>& awayFlag)
        : camera_(camera),
          clock_(clock),
          awayLimit_(awayLimit),
          awayFlag_(awayFlag),
          start_(clock.Now()),
          wallStart_(clock.WallNow()) {
        planned = awaySince = start_;
    }

    std::chrono::system_clock::time_point Wall(TimePoint t) const {
        return wallStart_ +
               std::chrono::duration_cast<std::chrono::system_clock::duration>(t - start_);
    }

    // A row for the step starting now, planned at `planned`.
    SequenceLog::Row Begin(const Entry& step, const char* kind) {
        if (!csvTried_) {   // opened with the first step, so an empty run leaves no file
            csvTried_ = true;
            csvPath_ = camera_.LogPath();
            std::string error;
            if (!csvPath_.empty() && !csv_.Open(csvPath_, wallStart_, error)) Failed(error);
        }
        SequenceLog::Row row;
        row.step = step.number;
        row.kind = kind;
        row.plannedStart = Wall(planned);
        row.actualStart = Wall(clock_.Now());
        return row;
    }

    void Write(const SequenceLog::Row& row) {
        std::string error;
        if (csv_.isOpen() && !csv_.Write(row, error)) Failed(error);
    }

    // Says (and logs) when the camera has gone away or come back since last asked.
    void NoteCamera(int stepNumber) {
        if (camera_.CameraAway() == away) return;
        away = !away;
        awayFlag_ = away;
        const auto now = clock_.Now();
        SequenceLog::Row row;
        row.step = stepNumber;
        row.kind = "camera";
        row.plannedStart = row.actualStart = row.end = Wall(now);
        if (away) {
            awaySince = now;
            row.result = "camera lost";
            camera_.Log("Camera away: the run waits for it (at most " + LimitText(awayLimit_) +
                        ")\r\n");
        } else if (camera_.CameraOpen()) {
            row.result = "camera back";
            camera_.Log("Camera back: the run goes on\r\n");
        } else {   // the user's Disconnect ended the waiting
            row.result = "camera given up";
            camera_.Log("Camera no longer waited for: the run goes on without it\r\n");
        }
        Write(row);
    }

    // The planned start of the next step: the run's start plus the delays before it and the
    // photo steps before it as long as they took.
    TimePoint planned;
    bool away = false;
    TimePoint awaySince;

private:
    void Failed(const std::string& error) {
        if (csvFailed_) return;
        csvFailed_ = true;
        camera_.Log("Sequence log not written: " + csvPath_ + ": " + error + "\r\n");
    }

    SequenceCamera& camera_;
    SequenceClock& clock_;
    const std::chrono::milliseconds awayLimit_;
    std::atomic<bool>& awayFlag_;
    const TimePoint start_;
    const std::chrono::system_clock::time_point wallStart_;
    SequenceLog csv_;
    std::string csvPath_;
    bool csvTried_ = false, csvFailed_ = false;
};

CSequenceThread::CSequenceThread(Events* events, std::unique_ptr<SequenceClock> clock)
    : events_(events), clock_(clock ? std::move(clock) : std::make_unique<SteadySequenceClock>()) {}

CSequenceThread::~CSequenceThread() {
    Quit();
    Join();
}

void CSequenceThread::setCamera(std::unique_ptr<SequenceCamera> camera) {
    camera_ = std::move(camera);
}

std::uint64_t CSequenceThread::Append(SequenceItem item, int number) {
    std::lock_guard lock(lock_);
    const std::uint64_t id = nextId_++;
    queue_.push_back({id, number, std::move(item)});
    return id;
}

bool CSequenceThread::Remove(std::uint64_t id) {
    std::lock_guard lock(lock_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->id != id) continue;
        if (running_ && id == current_) return false;
        const auto index = static_cast<std::size_t>(it - queue_.begin());
        queue_.erase(it);
        if (index < cursor_) --cursor_;   // the running step moved up
        break;
    }
    return true;
}

bool CSequenceThread::IsRunningStep(std::uint64_t id) const {
    std::lock_guard lock(lock_);
    return running_ && id != 0 && current_ == id;
}

std::vector<CSequenceThread::Entry> CSequenceThread::Queue() const {
    std::lock_guard lock(lock_);
    return {queue_.begin(), queue_.end()};
}

void CSequenceThread::RequestStop() {
    std::lock_guard lock(lock_);
    if (running_) stopRequested_ = true;
}

bool CSequenceThread::stopRequested() const {
    std::lock_guard lock(lock_);
    return stopRequested_;
}

int CSequenceThread::RunningDelayLeft() const {
    std::lock_guard lock(lock_);
    return running_ && current_ != 0 ? delayLeft_ : 0;
}

void CSequenceThread::Quit() {
    running_ = false;
    clock_->Abort();
}

bool CSequenceThread::RepeatsWithoutDelay() const {
    std::lock_guard lock(lock_);
    return RepeatsWithoutDelayLocked();
}

bool CSequenceThread::RepeatsWithoutDelayLocked() const {
    if (passes_ == 1 || queue_.empty()) return false;
    return std::none_of(queue_.begin(), queue_.end(),
                        [](const Entry& e) { return e.item.isDelay(); });
}

CSequenceThread::Progress CSequenceThread::progress() const {
    std::lock_guard lock(lock_);
    Progress p;
    p.running = running_;
    p.pass = pass_;
    p.passes = passes_;
    p.cameraAway = cameraAway_;
    if (cursor_ >= queue_.size()) return p;
    const Entry& now = queue_[cursor_];
    p.step = now.number;
    p.photoStep = !now.item.isDelay();
    // The delays from here to the next photo step, on into the next pass when there is one.
    const bool wrap = keep_ && (p.passes == 0 || p.pass < p.passes);
    int seconds = 0;
    for (std::size_t i = cursor_; i < queue_.size() + (wrap ? cursor_ : 0); ++i) {
        const SequenceItem& item = queue_[i % queue_.size()].item;
        if (!item.isDelay()) {
            p.secondsToPhoto = seconds;
            break;
        }
        seconds += i == cursor_ && current_ != 0 ? delayLeft_ : item.delaySeconds;
    }
    return p;
}

bool CSequenceThread::NextStep(Entry& step) {
    std::lock_guard lock(lock_);
    if (cursor_ >= queue_.size()) return false;
    step = queue_[cursor_];
    current_ = step.id;
    delayLeft_ = step.item.isDelay() ? step.item.delaySeconds : 0;
    return true;
}

int CSequenceThread::NextDelaySeconds() const {
    std::lock_guard lock(lock_);
    return cursor_ < queue_.size() ? queue_[cursor_].item.delaySeconds : 0;
}

bool CSequenceThread::FinishStep(std::uint64_t id) {
    bool end = false, noPause = false, keep = false;
    {
        std::lock_guard lock(lock_);
        keep = keep_;
        current_ = 0;
        delayLeft_ = 0;
        if (!keep_) {
            if (!queue_.empty() && queue_.front().id == id) queue_.pop_front();
        } else if (cursor_ < queue_.size() && queue_[cursor_].id == id) {
            ++cursor_;
        }
        const int passes = passes_;
        if (keep_ && cursor_ >= queue_.size() && !stopRequested_ && running_ &&
            (passes == 0 || pass_ < passes)) {
            // The next pass, unless the list lost its delays meanwhile.
            noPause = RepeatsWithoutDelayLocked();
            if (!noPause) {
                cursor_ = 0;
                ++pass_;
            }
        }
        end = cursor_ >= queue_.size() || stopRequested_ || !running_;
        if (end) {
            stopRequested_ = false;
            running_ = false;
            cursor_ = 0;
            cameraAway_ = false;
        }
    }
    if (noPause)
        camera_->Log("Run ended: the list has no delay left, so it would repeat with no pause\r\n");
    if (!keep && events_) events_->ItemDone(id);
    if (end && events_) events_->RunEnded();
    return !end;
}

void CSequenceThread::EndRun() {
    {
        std::lock_guard lock(lock_);
        stopRequested_ = false;
        running_ = false;
        current_ = 0;
        delayLeft_ = 0;
        cursor_ = 0;
        cameraAway_ = false;
    }
    if (events_) events_->RunEnded();
}

void CSequenceThread::Run() {
    SequenceCamera* camera = camera_.get();
    if (camera == nullptr || !camera->Ready()) return EndRun();
    notOffered_.clear();
    {
        std::lock_guard lock(lock_);
        keep_ = passes_ != 1;
        cursor_ = 0;
        pass_ = 1;
    }
    RunLog run(*camera, *clock_, awayLimit_, cameraAway_);
    Entry step;
    while (running_ && NextStep(step) && camera->Ready()) {
        const Next next = step.item.isDelay() ? DelayStep(run, step) : PhotoStep(run, step);
        if (next == Next::Ended) return;
        if (next == Next::Leave) break;
    }
    EndRun();
}

CSequenceThread::Next CSequenceThread::DelayStep(RunLog& run, const Entry& step) {
    using namespace std::chrono;
    SequenceLog::Row row = run.Begin(step, "delay");
    const auto start = clock_->Now();
    bool finished = false;
    // Each second of the countdown ends on the step's own timeline.
    for (int second = 1;; ++second) {
        if (!clock_->WaitUntil(start + seconds(second))) break;   // quit
        int remaining = 0;
        {
            std::lock_guard lock(lock_);
            remaining = --delayLeft_;
        }
        run.NoteCamera(step.number);   // a delay runs on while the camera is away
        if (remaining <= 0) {
            finished = true;
            break;
        }
        camera_->Log(Format("Delay remaining: %d\r\n", remaining));
    }
    row.end = run.Wall(clock_->Now());
    row.result = finished ? "done" : "dropped";
    run.Write(row);
    if (!finished) return Next::Leave;   // the step stays listed
    run.planned += seconds(step.item.delaySeconds);
    if (!FinishStep(step.id)) return Next::Ended;
    camera_->Log(Format("Delay remaining: %d\r\n", NextDelaySeconds()));
    return Next::Step;
}

CSequenceThread::Next CSequenceThread::PhotoStep(RunLog& run, const Entry& step) {
    using namespace std::chrono;
    SequenceCamera& camera = *camera_;
    SequenceLog::Row row = run.Begin(step, "photo");
    const auto start = clock_->Now();
    bool waited = false;
    for (;;) {
        run.NoteCamera(step.number);
        if (run.away) {
            // The step waits for the camera; a delay after it runs from its return.
            waited = true;
            const Wait wait = AwaitCamera(run.awaySince);
            if (wait != Wait::Back) {
                // Quit, Stop or the limit: the step and those after it stay listed.
                if (wait == Wait::TooLong)
                    camera.Log("Run ended: the camera stayed away longer than " +
                               LimitText(awayLimit_) + "; the steps left stay listed\r\n");
                return Next::Leave;
            }
            run.NoteCamera(step.number);
        }
        const auto photoStart = clock_->Now();
        row.actualStart = run.Wall(photoStart);
        if (waited && photoStart - run.planned > kMissedTolerance) {
            // Late shots are not bunched together: this one is left out.
            camera.Log(Format(
                "Photo step %d missed: the camera came back %lld s after its moment\r\n",
                step.number,
                static_cast<long long>(duration_cast<seconds>(photoStart - run.planned).count())));
            row.result = "missed";
            break;
        }
        if (!camera.CameraOpen()) {
            camera.Log("No camera detected!\r\n");
            row.result = "no camera";
            break;
        }
        row.settingsChanged = ApplyStoredSettings(step.item);
        camera.Log("Taking photo...\r\n");
        std::string path;
        if (camera.TakePicture(path)) {
            camera.PhotoCaptured();
            row.file = path;
            row.result = "captured";
            break;
        }
        row.result = "failed";
        if (!camera.CameraAway()) break;
        // The camera went away during the step: no picture; taken again on its return.
    }
    const auto end = clock_->Now();
    row.end = run.Wall(end);
    run.planned = waited ? end : run.planned + (end - start);
    run.Write(row);
    if (!row.settingsChanged.empty() && events_) events_->SettingsApplied();
    return FinishStep(step.id) ? Next::Step : Next::Ended;
}

CSequenceThread::Wait CSequenceThread::AwaitCamera(SequenceClock::Clock::time_point awaySince) {
    for (;;) {
        if (!camera_->CameraAway()) return Wait::Back;
        if (!running_) return Wait::Quit;
        if (stopRequested()) return Wait::Stop;
        const auto now = clock_->Now();
        const auto limit = awaySince + awayLimit_;
        if (now >= limit) return Wait::TooLong;
        if (!clock_->WaitUntil(std::min(now + kAwayPoll, limit))) return Wait::Quit;
    }
}

std::string CSequenceThread::ApplyStoredSettings(const SequenceItem& item) {
    SequenceCamera& camera = *camera_;
    SettingValues wanted;
    for (const camera::SettingInfo& info : camera::kSettings)
        wanted.label(info.key) = item.label(info.key);   // empty: the camera keeps its value
    wanted.hasZoom = true;
    wanted.zoom = item.zoomPosition;
    std::string changed;
    auto note = [&changed](const std::string& text) {
        if (!changed.empty()) changed += ';';
        changed += text;
    };
    const ApplyReport report =
        camera.Apply(wanted, [&](std::optional<camera::Setting> key, bool offered) {
            if (!key) {
                camera.Log(Format("Changing zoom to: %d\r\n", static_cast<int>(wanted.zoom)));
                note("Zoom=" + std::to_string(wanted.zoom));
                return;
            }
            const camera::SettingInfo& info = camera::InfoOf(*key);
            const std::string& label = wanted.label(*key);
            if (!offered) {
                // Said once per run, not in every step that asks for it.
                if (notOffered_.insert(std::string(info.name) + ' ' + label).second)
                    camera.Log(Format("Setting not offered by the camera: %s %s\r\n", info.name,
                                      label.c_str()));
                return;
            }
            camera.Log(Format(info.changeText, label.c_str()));   // a refusal: the driver logs it
            note(std::string(info.name) + '=' + label);
        });
    // Read back: the camera may hold another value than asked (refused, or changed with
    // another setting).
    for (const auto& [key, held] : report.notHeld)
        camera.Log(Format("Setting not applied: %s is %s, wanted %s\r\n", camera::InfoOf(key).name,
                          held.empty() ? "an unlisted value" : held.c_str(),
                          wanted.label(key).c_str()));
    if (report.zoomNotHeld)
        camera.Log(
            Format("Setting not applied: Zoom is %u, wanted %u\r\n", report.heldZoom, wanted.zoom));
    return changed;
}
