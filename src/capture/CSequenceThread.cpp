#include "capture/CSequenceThread.h"

#include "capture/SequenceLog.h"

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

bool CSequenceThread::FinishStep(std::uint64_t id) {
    bool end = false;
    {
        std::lock_guard lock(lock_);
        if (!queue_.empty() && queue_.front().id == id) queue_.pop_front();
        end = queue_.empty() || stopRequested_ || !running_;
        if (end) {
            stopRequested_ = false;
            running_ = false;
        }
    }
    if (events_) events_->ItemDone(id);
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
        if (!camera->CameraOpen()) {
            camera->Log("No camera detected!\r\n");
            row.result = "no camera";
        } else {
            row.result = PhotoStep(step, row.file, row.settingsChanged) ? "captured" : "failed";
        }
        const auto end = clock_->Now();
        row.end = wall(end);
        planned += end - start;
        logRow(row);
        if (!row.settingsChanged.empty() && events_) events_->SettingsApplied();
        if (!FinishStep(step.id)) return;
    }
    EndRun();
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
