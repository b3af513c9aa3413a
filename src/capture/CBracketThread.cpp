#include "capture/CBracketThread.h"

#include "picture/SeriesKeyword.h"

#include <filesystem>
#include <sstream>

namespace {

std::string StepText(int thirds) {
    const std::string text = picture::EvText(thirds);
    return text[0] == '+' ? text.substr(1) : text;
}

std::string LimitText(std::chrono::milliseconds limit) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    if (secs == 0) return std::to_string(limit.count()) + " ms";
    if (secs >= 60 && secs % 60 == 0) return std::to_string(secs / 60) + " min";
    return std::to_string(secs) + " s";
}

std::vector<std::string> Split(const std::string& paths) {
    std::vector<std::string> out;
    std::stringstream in(paths);
    for (std::string path; std::getline(in, path, ';');)
        if (!path.empty()) out.push_back(path);
    return out;
}

}   // namespace

CBracketThread::~CBracketThread() {
    RequestStop();
    Join();
}

void CBracketThread::RequestStop() {
    std::lock_guard lock(lock_);
    if (running_) stop_ = true;
    wake_.notify_all();
}

bool CBracketThread::stopRequested() {
    std::lock_guard lock(lock_);
    return stop_;
}

bool CBracketThread::Restore(const bracket::Plan& plan, const std::string& prefix) {
    BracketCamera& camera = *camera_;
    const char* name = camera::InfoOf(plan.setting).name;
    if (!camera.CameraOpen()) {
        camera.Log(prefix + name +
                   " could not be put back: the camera was disconnected; set it to " + plan.base +
                   " on the camera\r\n");
        return false;
    }
    SettingValues wanted;
    wanted.label(plan.setting) = plan.base;
    const ApplyReport report = camera.Apply(wanted, {});
    const std::string held = camera.Read().label(plan.setting);
    if (report.notHeld.empty() && held == plan.base) {
        camera.Log(prefix + name + " back at " + plan.base + "\r\n");
        return true;
    }
    camera.Log(prefix + name + " could not be put back: the camera holds " +
               (held.empty() ? std::string("an unlisted value") : held) + ", wanted " + plan.base +
               "\r\n");
    return false;
}

bool CBracketThread::RestoreAfterLoss(const bracket::Plan& plan, const std::string& prefix) {
    BracketCamera& camera = *camera_;
    const char* name = camera::InfoOf(plan.setting).name;
    camera.KeepOnReturn(plan.setting, plan.base);
    const auto limit = std::chrono::steady_clock::now() + awayLimit_;
    {
        std::unique_lock lock(lock_);
        while (camera.CameraAway() && !stop_ && running_ &&
               std::chrono::steady_clock::now() < limit)
            wake_.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (camera.CameraAway()) {
        camera.Log(
            prefix + name + " could not be put back: the camera did not come back " +
            (stopRequested() ? std::string("before Stop") : "within " + LimitText(awayLimit_)) +
            "; it is set to " + plan.base + " if it returns while Kestrel runs\r\n");
        return false;
    }
    return Restore(plan, prefix);
}

void CBracketThread::Run() {
    Result result;
    BracketCamera* camera = camera_.get();
    auto end = [&] {
        {
            std::lock_guard lock(lock_);
            stop_ = false;
            running_ = false;
        }
        if (events_) events_->RunEnded(result);
    };
    if (camera == nullptr || !camera->Ready()) return end();
    if (!camera->CameraOpen() || camera->CameraAway()) {
        camera->Log("Bracket not started: no camera\r\n");
        return end();
    }
    const SettingValues held = camera->Read();
    const camera::Setting key = bracket::ByShutterTime(held.label(camera::Setting::ShootingMode))
                                    ? camera::Setting::TV
                                    : camera::Setting::Exposure;
    const bracket::Plan plan =
        bracket::MakePlan(shots_, stepThirds_, key, held.label(key), camera->Offered(key));
    const char* name = camera::InfoOf(key).name;
    if (!plan.error.empty()) {
        camera->Log("Bracket not started: " + plan.error + "\r\n");
        return end();
    }
    result.series = camera->NextSeries();
    result.shots = static_cast<int>(plan.shots.size());
    const std::string prefix = "Bracket " + std::to_string(result.series) + ": ";
    std::string labels;
    for (const bracket::Shot& shot : plan.shots)
        labels += (labels.empty() ? "" : ", ") + shot.label;
    camera->Log(prefix + std::to_string(result.shots) + " shots " + StepText(stepThirds_) +
                " EV apart by " + name + " around " + plan.base + ": " + labels + "\r\n");
    for (std::size_t i = 0; i < plan.shots.size(); ++i)
        if (!plan.shots[i].reached)
            camera->Log(prefix + "shot " + std::to_string(i + 1) + " wants " +
                        picture::EvText(plan.shots[i].wantedThirds) +
                        " EV; the nearest the camera has is " +
                        picture::EvText(plan.shots[i].thirds) + " EV (" + name + " " +
                        plan.shots[i].label + ")\r\n");

    for (std::size_t i = 0; i < plan.shots.size(); ++i) {
        if (stopRequested() || !running_) {
            result.stopped = true;
            break;
        }
        if (camera->CameraAway() || !camera->CameraOpen()) {
            result.lost = true;
            break;
        }
        const bracket::Shot& shot = plan.shots[i];
        const std::string count = std::to_string(i + 1) + " of " + std::to_string(result.shots);
        SettingValues wanted;
        wanted.label(key) = shot.label;
        const ApplyReport report = camera->Apply(wanted, {});
        for (const auto& [notKey, holds] : report.notHeld)
            camera->Log(prefix + name + " is " + (holds.empty() ? "an unlisted value" : holds) +
                        ", wanted " + shot.label + "\r\n");
        const std::string keyword = picture::BracketKeyword(result.series, shot.thirds);
        camera->SetSeries(keyword);
        camera->Log(prefix + "shot " + count + ", " + picture::EvText(shot.thirds) + " EV (" +
                    name + " " + shot.label + ")\r\n");
        std::string written;
        const bool taken = camera->TakePicture(written);
        if (taken) {
            camera->PhotoCaptured();
            const std::vector<std::string> files = Split(written);
            if (!files.empty()) ++result.taken;
            for (const std::string& file : files) {
                result.files.push_back(file);
                const std::string why = camera->Tag(file, keyword);
                if (!why.empty())
                    camera->Log(
                        "Keyword not written: " + std::filesystem::path(file).filename().string() +
                        ": " + why + "\r\n");
            }
        } else if (camera->CameraAway()) {
            result.lost = true;
        } else {
            camera->Log(prefix + "shot " + count + " not taken\r\n");
        }
        if (events_) events_->ShotEnded(static_cast<int>(i + 1), result.shots);
        if (result.lost) break;
    }
    camera->SetSeries({});
    const std::string taken = std::to_string(result.taken) + " of " + std::to_string(result.shots);
    if (result.lost) {
        camera->Log(prefix + "camera lost after " + taken + " shots; " + name + " goes back to " +
                    plan.base + " when it returns\r\n");
        result.restored = RestoreAfterLoss(plan, prefix);
    } else {
        camera->Log(prefix + (result.stopped ? "stopped after " : "done, ") + taken + " shots\r\n");
        result.restored = Restore(plan, prefix);
    }
    end();
}
