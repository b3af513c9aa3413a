#include "capture/PictureCommandLink.h"

#include "document/CViewDoc.h"
#include "document/CommandRunner.h"
#include "kit/UiWakeup.h"

#include <atomic>
#include <cstdio>
#include <mutex>

// What the document's picture receiver reaches: the runner and the newest saved path. The link
// owns it; a receiver call in flight keeps it alive past the link.
struct PictureCommandCore {
    explicit PictureCommandCore(CViewDoc* document)
        : document(document), runner([this](const std::string& text) {
              if (this->document) this->document->Log(text);
              if (closing.load()) {
                  std::string line = text;
                  std::erase(line, '\r');
                  std::fputs(line.c_str(), stderr);
                  std::fflush(stderr);
              }
          }) {}
    CViewDoc* const document;
    std::mutex lock;              // guards wakeup and latest
    UiWakeup* wakeup = nullptr;   // null once the link is going
    std::string latest;
    std::string session;                // the session's name, for the runs' facts
    std::atomic<bool> closing{false};   // the window closes: reports also to stderr
    hook::CommandRunner runner;         // last: its thread ends first
};

namespace {

std::mutex gCoreLock;   // guards gCore
std::shared_ptr<PictureCommandCore> gCore;

void onPictureSaved(const std::string& path) {
    std::shared_ptr<PictureCommandCore> core;
    {
        std::lock_guard guard(gCoreLock);
        core = gCore;
    }
    if (!core || core->closing.load()) return;
    std::string session;
    {
        std::lock_guard guard(core->lock);
        core->latest = path;
        session = core->session;
        if (core->wakeup) core->wakeup->wake();
    }
    const std::size_t slash = path.rfind('/');
    core->runner.Post({"download", path,
                       slash == std::string::npos ? std::string() : path.substr(0, slash + 1),
                       hook::PictureNumber(path),
                       core->document ? core->document->connectedName() : std::string(), session});
}

}   // namespace

PictureCommandLink::PictureCommandLink(CViewDoc* document, QObject* parent)
    : QObject(parent), document_(document), core_(std::make_shared<PictureCommandCore>(document)) {
    const std::string config = document_ ? document_->configPath() : std::string("config.cfg");
    path_ = QString::fromStdString(hook::CommandSettings::PathBeside(config));
    std::string error;
    settings_ = hook::CommandSettings::Load(path_.toStdString(), &error);
    if (!error.empty() && document_) document_->Log("Command settings not read: " + error + "\r\n");
    auto* wakeup = new UiWakeup(
        [this] {
            std::string latest;
            {
                std::lock_guard guard(core_->lock);
                latest.swap(core_->latest);
            }
            if (!latest.empty()) emit pictureSaved(QString::fromStdString(latest));
        },
        this);
    {
        std::lock_guard guard(core_->lock);
        core_->wakeup = wakeup;
    }
    apply();
    {
        std::lock_guard guard(gCoreLock);
        gCore = core_;
    }
    if (document_) document_->setOnPictureSaved(&onPictureSaved);
}

PictureCommandLink::~PictureCommandLink() {
    if (document_) document_->setOnPictureSaved(nullptr);
    {
        std::lock_guard guard(gCoreLock);
        if (gCore == core_) gCore.reset();
    }
    std::lock_guard guard(core_->lock);
    core_->wakeup = nullptr;
}

void PictureCommandLink::apply() {
    std::vector<std::string> words;
    std::string error;
    if (!hook::SplitCommand(settings_.command, words, error)) words.clear();
    hook::CommandRunner::Options options;
    options.limit = std::chrono::seconds(settings_.limitSeconds);
    core_->runner.Configure(std::move(words), options);
}

bool PictureCommandLink::setSettings(const hook::CommandSettings& settings, QString& error) {
    std::vector<std::string> words;
    std::string why;
    if (!hook::SplitCommand(settings.command, words, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    settings_ = settings;
    apply();
    if (settings_.Save(path_.toStdString(), why)) return true;
    error = QString::fromStdString(why);
    return false;
}

void PictureCommandLink::session(const char* action, const QString& folder, const QString& name) {
    {
        std::lock_guard guard(core_->lock);
        core_->session = std::string(action) == "start" ? name.toStdString() : std::string();
    }
    if (!settings_.sessions) return;
    core_->runner.Post({action, "", folder.toStdString(), "",
                        document_ ? document_->connectedName() : std::string(),
                        name.toStdString()});
}

void PictureCommandLink::SessionStarted(const QString& folder, const QString& name) {
    session("start", folder, name);
}

void PictureCommandLink::SessionEnded(const QString& folder, const QString& name) {
    session("stop", folder, name);
}

bool PictureCommandLink::Close() {
    core_->closing.store(true);
    const hook::CommandRunner::Options options;
    return core_->runner.WaitIdle(std::chrono::seconds(settings_.limitSeconds) + options.grace);
}
