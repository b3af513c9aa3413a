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
        if (it == queue_.begin() && running_) return false;
        queue_.erase(it);
        break;
    }
    return true;
}

bool CSequenceThread::IsRunningStep(std::uint64_t id) const {
    std::lock_guard lock(lock_);
    return running_ && !queue_.empty() && queue_.front().id == id;
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
    if (!running_ || queue_.empty() || !queue_.front().item.isDelay()) return 0;
    return queue_.front().item.delaySeconds;
}

void CSequenceThread::Quit() {
    running_ = false;
    clock_->Abort();
}

CSequenceThread::Progress CSequenceThread::progress() const {
    std::lock_guard lock(lock_);
    Progress p;
    p.running = running_;
    p.pass = pass_;
    p.passes = passes_;
    if (!queue_.empty()) p.step = queue_.front().number;
    int seconds = 0;
    for (const Entry& e : queue_) {
        if (!e.item.isDelay()) {
            p.secondsToPhoto = seconds;
            break;
        }
        seconds += e.item.delaySeconds;
    }
    return p;
}

bool CSequenceThread::FinishStep(std::uint64_t id) {
    bool end = false, newPass = false;
    {
        std::lock_guard lock(lock_);
        if (!queue_.empty() && queue_.front().id == id) queue_.pop_front();
        const int passes = passes_;
        if (queue_.empty() && !stopRequested_ && running_ && !pattern_.empty() &&
            (passes == 0 || pass_ < passes)) {
            for (const Entry& e : pattern_) queue_.push_back({nextId_++, e.number, e.item});
            ++pass_;
            newPass = true;
        }
        end = queue_.empty() || stopRequested_ || !running_;
        if (end) {
            stopRequested_ = false;
            running_ = false;
        }
    }
    if (events_) events_->ItemDone(id);
    if (newPass && events_) events_->PassStarted();
    if (end && events_) events_->RunEnded();
    return !end;
}

void CSequenceThread::EndRun() {
    {
        std::lock_guard lock(lock_);
        stopRequested_ = false;
        running_ = false;
    }
    if (events_) events_->RunEnded();
}

void CSequenceThread::Run() {
    using namespace std::chrono;
    SequenceCamera* camera = camera_.get();
    if (camera == nullptr || !camera->Ready()) return EndRun();
    notOffered_.clear();

    {
        std::lock_guard lock(lock_);
        pattern_.assign(queue_.begin(), queue_.end());
        pass_ = 1;
    }
    const auto runStart = clock_->Now();
    const auto wallStart = clock_->WallNow();
    auto wall = [&](SequenceClock::Clock::time_point t) {
        return wallStart + duration_cast<system_clock::duration>(t - runStart);
    };
    SequenceLog csv;
    bool csvTried = false;
    std::string csvPath;
    bool csvFailed = false;   // said once per run
    auto logRow = [&](const SequenceLog::Row& row) {
        std::string error;
        if (!csv.isOpen() || csv.Write(row, error) || csvFailed) return;
        csvFailed = true;
        camera->Log("Sequence log not written: " + csvPath + ": " + error + "\r\n");
    };
    // The planned start of the next step: the run's start plus the delays before it and the
    // photo steps before it as long as they took.
    auto planned = runStart;
    // The camera's comings and goings as the run sees them: a console line and a row each.
    bool away = false;
    auto awaySince = runStart;
    auto noteCamera = [&](int stepNumber) {
        if (camera->CameraAway() == away) return;
        away = !away;
        const auto now = clock_->Now();
        SequenceLog::Row row;
        row.step = stepNumber;
        row.kind = "camera";
        row.plannedStart = row.actualStart = row.end = wall(now);
        if (away) {
            awaySince = now;
            row.result = "camera lost";
            camera->Log("Camera away: the run waits for it (at most " + LimitText(awayLimit_) +
                        ")\r\n");
        } else if (camera->CameraOpen()) {
            row.result = "camera back";
            camera->Log("Camera back: the run goes on\r\n");
        } else {   // the user's Disconnect ended the waiting
            row.result = "camera given up";
            camera->Log("Camera no longer waited for: the run goes on without it\r\n");
        }
        logRow(row);
    };

    while (running_) {
        Entry step;
        {
            std::lock_guard lock(lock_);
            if (queue_.empty()) break;
            step = queue_.front();
        }
        if (!camera->Ready()) break;
        if (!csvTried) {
            csvTried = true;
            csvPath = camera->LogPath();
            std::string error;
            if (!csvPath.empty() && !csv.Open(csvPath, wallStart, error)) {
                csvFailed = true;
                camera->Log("Sequence log not written: " + csvPath + ": " + error + "\r\n");
            }
        }
        SequenceLog::Row row;
        row.step = step.number;
        row.plannedStart = wall(planned);
        const auto start = clock_->Now();
        row.actualStart = wall(start);

        if (step.item.isDelay()) {
            row.kind = "delay";
            bool finished = false;
            // Each second of the countdown ends on the step's own timeline.
            for (int second = 1;; ++second) {
                if (!clock_->WaitUntil(start + seconds(second))) break;
                int remaining = 0;
                {
                    std::lock_guard lock(lock_);
                    // Only a quit lets the running step be taken away meanwhile.
                    if (queue_.empty() || queue_.front().id != step.id) break;
                    remaining = --queue_.front().item.delaySeconds;
                }
                noteCamera(step.number);   // a delay runs on while the camera is away
                if (remaining <= 0) {
                    finished = true;
                    break;
                }
                camera->Log(Format("Delay remaining: %d\r\n", remaining));
            }
            row.end = wall(clock_->Now());
            row.result = finished ? "done" : "dropped";
            logRow(row);
            if (!finished) break;   // quit during the delay: the step stays listed
            planned += seconds(step.item.delaySeconds);
            if (!FinishStep(step.id)) return;
            int next = 0;
            {
                std::lock_guard lock(lock_);
                if (!queue_.empty()) next = queue_.front().item.delaySeconds;
            }
            camera->Log(Format("Delay remaining: %d\r\n", next));
            continue;
        }

        row.kind = "photo";
        Wait wait = Wait::Back;
        bool waited = false;
        for (;;) {
            noteCamera(step.number);
            if (away) {
                // The step waits for the camera; a delay after it runs from its return.
                waited = true;
                wait = AwaitCamera(awaySince);
                if (wait != Wait::Back) break;
                noteCamera(step.number);
            }
            const auto photoStart = clock_->Now();
            row.actualStart = wall(photoStart);
            if (waited && photoStart - planned > kMissedTolerance) {
                // Late shots are not bunched together: this one is left out.
                camera->Log(Format(
                    "Photo step %d missed: the camera came back %lld s after its moment\r\n",
                    step.number,
                    static_cast<long long>(duration_cast<seconds>(photoStart - planned).count())));
                row.result = "missed";
                break;
            }
            if (!camera->CameraOpen()) {
                camera->Log("No camera detected!\r\n");
                row.result = "no camera";
                break;
            }
            row.file.clear();
            row.settingsChanged.clear();
            if (PhotoStep(step, row.file, row.settingsChanged)) {
                row.result = "captured";
                break;
            }
            row.result = "failed";
            if (!camera->CameraAway()) break;
            // The camera went away during the step: no picture; taken again on its return.
        }
        if (wait != Wait::Back) {
            // Quit, Stop or the limit: the step and those after it stay listed.
            if (wait == Wait::TooLong)
                camera->Log("Run ended: the camera stayed away longer than " +
                            LimitText(awayLimit_) + "; the steps left stay listed\r\n");
            break;
        }
        const auto end = clock_->Now();
        row.end = wall(end);
        planned = waited ? end : planned + (end - start);
        logRow(row);
        if (!row.settingsChanged.empty() && events_) events_->SettingsApplied();
        if (!FinishStep(step.id)) return;
    }
    EndRun();
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

bool CSequenceThread::PhotoStep(const Entry& step, std::string& file, std::string& changed) {
    SequenceCamera& camera = *camera_;
    const SequenceItem& item = step.item;
    std::vector<camera::Setting> applied;
    auto note = [&changed](const std::string& text) {
        if (!changed.empty()) changed += ';';
        changed += text;
    };
    for (const camera::SettingInfo& info : camera::kSettings) {
        const std::string& wanted = item.label(info.key);
        if (wanted.empty()) continue;   // nothing was selected: the camera keeps its value
        if (camera.Get(info.key) == wanted) continue;
        if (!camera.Offers(info.key, wanted)) {
            // Said once per run, not in every step that asks for it.
            if (notOffered_.insert(std::string(info.name) + ' ' + wanted).second)
                camera.Log(Format("Setting not offered by the camera: %s %s\r\n", info.name,
                                  wanted.c_str()));
            continue;
        }
        camera.Log(Format(info.changeText, wanted.c_str()));
        camera.Set(info.key, wanted);   // a refusal is logged by the driver
        applied.push_back(info.key);
        note(std::string(info.name) + '=' + wanted);
    }
    bool zoomMoved = false;
    if (camera.HasZoom() && camera.GetZoomPos() != item.zoomPosition) {
        camera.Log(Format("Changing zoom to: %d\r\n", static_cast<int>(item.zoomPosition)));
        camera.SetZoomPos(item.zoomPosition);
        zoomMoved = true;
        note("Zoom=" + std::to_string(item.zoomPosition));
    }
    // Read-back: the camera may hold another value than asked (refused, or changed with
    // another setting).
    for (camera::Setting key : applied) {
        const std::string wanted = item.label(key);
        const std::string held = camera.Get(key);
        if (held != wanted)
            camera.Log(Format("Setting not applied: %s is %s, wanted %s\r\n",
                              camera::InfoOf(key).name,
                              held.empty() ? "an unlisted value" : held.c_str(), wanted.c_str()));
    }
    if (zoomMoved) {
        const std::uint32_t held = camera.GetZoomPos();
        if (held != item.zoomPosition)
            camera.Log(
                Format("Setting not applied: Zoom is %u, wanted %u\r\n", held, item.zoomPosition));
    }
    camera.Log("Taking photo...\r\n");
    std::string path;
    if (!camera.TakePicture(path)) return false;
    camera.PhotoCaptured();
    file = path;
    return true;
}
