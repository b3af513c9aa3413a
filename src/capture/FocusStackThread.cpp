#include "capture/FocusStackThread.h"

#include "camera/ErrorText.h"
#include "sdk/Errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The error's text on one line ("Device Busy").
std::string OneLine(sdk::Result result) {
    std::string text = camera::GetErrorText(result);
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') {
            if (i + 1 < text.size()) line += ", ";
            continue;
        }
        line += text[i];
    }
    return line.empty() ? "error " + std::to_string(result) : line;
}

std::vector<std::string> SplitPaths(const std::string& written) {
    std::vector<std::string> paths;
    std::size_t from = 0;
    while (from <= written.size()) {
        const std::size_t semi = written.find(';', from);
        const std::string path =
            written.substr(from, semi == std::string::npos ? semi : semi - from);
        if (!path.empty()) paths.push_back(path);
        if (semi == std::string::npos) break;
        from = semi + 1;
    }
    return paths;
}

}   // namespace

FocusStackThread::FocusStackThread(Events* events) : events_(events) {}

FocusStackThread::~FocusStackThread() {
    stop_ = true;
    {
        std::lock_guard guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    Join();
}

void FocusStackThread::setCamera(std::unique_ptr<FocusStackCamera> camera) {
    if (!running()) camera_ = std::move(camera);
}

void FocusStackThread::setKeywordWriter(SeriesKeywordWriter writer) {
    if (!running()) keyword_ = std::move(writer);
}

bool FocusStackThread::Prepare(const FocusStackPlan& plan, int number) {
    if (running()) return false;
    plan_ = plan;
    number_ = number;
    stop_ = false;
    return true;
}

void FocusStackThread::RequestStop() { stop_ = true; }

FocusStackThread::Outcome FocusStackThread::outcome() const {
    std::lock_guard guard(lock_);
    return outcome_;
}

std::string FocusStackThread::SeriesText(int number, int shot, int shots) {
    return "Focus stack " + std::to_string(number) + ": " + std::to_string(shot) + " of " +
           std::to_string(shots);
}

bool FocusStackThread::Settle(int ms) {
    std::unique_lock guard(lock_);
    return !wake_.wait_for(guard, std::chrono::milliseconds(ms < 0 ? 0 : ms),
                           [this] { return quit_; });
}

bool FocusStackThread::Move(int units, int& moved, bool& atLimit, std::string& why) {
    for (int step : StepsFor(units)) {
        const sdk::Result r = camera_->DriveFocus(step);
        if (r == sdk::kOk) {
            moved += step < 0 ? -sdk::kFocusStepUnits[-step] : sdk::kFocusStepUnits[step];
            continue;
        }
        if (sdk::err::IsFocusAtLimit(r)) {
            atLimit = true;
            return true;
        }
        why = (r & 0xFFFFu) == sdk::err::kNotSupported ? "the camera does not drive its focus"
                                                       : OneLine(r);
        return false;
    }
    return true;
}

void FocusStackThread::Run() {
    Outcome out;
    {
        std::lock_guard guard(lock_);
        outcome_ = out;
    }
    if (!camera_ || !camera_->Ready()) {
        Finish(out);
        return;
    }
    const FocusStackPlan plan = plan_;
    if (!plan.dryRun) number_ = std::max(number_, camera_->FreeSeriesNumber());
    const std::string name = "Focus stack " + std::to_string(number_);
    camera_->Log(DescribePlan(number_, plan) + "\r\n");
    const auto began = std::chrono::steady_clock::now();
    int moved = 0;   // smallest steps from where the run began
    std::string why;
    bool atLimit = false;
    bool limitMet = false;   // the lens answered "at limit" somewhere in this run
    // To the first shot.
    if (plan.start != 0 && !Move(plan.start, moved, atLimit, why)) {
        camera_->Log(name + ": the lens could not be moved to the first shot: " + why + "\r\n");
        out.failed = true;
    } else if (atLimit) {
        limitMet = true;
        camera_->Log(name + ": the lens reached its end on the way to the first shot; the " +
                     "stack begins there\r\n");
        atLimit = false;
    }
    for (int shot = 1; shot <= plan.shots && !out.failed; ++shot) {
        if (!camera_->Ready()) break;
        if (shot > 1) {
            if (!Move(plan.direction * plan.units(), moved, atLimit, why)) {
                camera_->Log(name + ": the lens could not be moved for shot " +
                             std::to_string(shot) + ": " + why + "; stopped after " +
                             std::to_string(out.taken) + " of " + std::to_string(plan.shots) +
                             "\r\n");
                out.failed = true;
                break;
            }
            if (atLimit) {
                out.atLimit = true;
                limitMet = true;
                camera_->Log(name + ": the lens reached its end after " +
                             std::to_string(out.taken) + " of " + std::to_string(plan.shots) +
                             " shots; the " + std::to_string(out.taken) +
                             (plan.dryRun ? " steps stand\r\n" : " pictures taken are kept\r\n"));
                break;
            }
        }
        if (!Settle(plan.settleMs)) break;
        const std::string series = SeriesText(number_, shot, plan.shots);
        if (plan.dryRun) {
            camera_->Log(series + " (dry run: no picture)\r\n");
        } else {
            camera_->SetSeries(series);
            std::string written;
            if (!camera_->TakePicture(written)) {
                camera_->Log(name + ": the picture of shot " + std::to_string(shot) +
                             " was not taken; stopped after " + std::to_string(out.taken) + " of " +
                             std::to_string(plan.shots) + "\r\n");
                out.failed = true;
                break;
            }
            camera_->PhotoCaptured();
            for (const std::string& path : SplitPaths(written)) {
                if (!keyword_) break;
                const std::string error = keyword_(path, series);
                if (!error.empty())
                    camera_->Log("Series keyword not written to " + path + ": " + error + "\r\n");
            }
        }
        ++out.taken;
        out.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (events_) events_->ShotDone(shot, plan.shots);
        if (stop_.load() && shot < plan.shots) {
            out.stopped = true;
            camera_->Log(name + " stopped after " + std::to_string(out.taken) + " of " +
                         std::to_string(plan.shots) + " shots\r\n");
            break;
        }
    }
    camera_->SetSeries("");
    // Back to where the run began.
    bool endBack = false;
    std::string backWhy;
    int back = 0;
    if (moved == 0 || Move(-moved, back, endBack, backWhy)) {
        out.returned = moved + back == 0;
    }
    if (out.returned && limitMet)
        camera_->Log(name + ": the lens is back where the run began, as counted (a lens that " +
                     "went only part of a step at its end is that much short of it)\r\n");
    else if (out.returned) camera_->Log(name + ": the lens is back where the run began\r\n");
    else
        camera_->Log(name + ": the lens did not get back where the run began (" +
                     std::to_string(std::abs(moved + back)) +
                     (std::abs(moved + back) == 1 ? " focus step " : " focus steps ") +
                     (moved + back < 0 ? "near" : "far") + " of it" +
                     (backWhy.empty() ? std::string() : ": " + backWhy) + ")\r\n");
    char timing[96];
    std::snprintf(timing, sizeof timing, " in %.1f s (%.2f s a shot)", out.seconds,
                  out.taken > 0 ? out.seconds / out.taken : 0.0);
    camera_->Log(name + ": " + std::to_string(out.taken) + " of " + std::to_string(plan.shots) +
                 (plan.dryRun ? " steps" : " pictures") + timing + "\r\n");
    Finish(out);
}

void FocusStackThread::Finish(const Outcome& outcome) {
    {
        std::lock_guard guard(lock_);
        outcome_ = outcome;
    }
    running_ = false;
    if (events_) events_->RunEnded();
}
