#include "client/FolderFeed.h"

#include "document/NamingFile.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <fcntl.h>

namespace client {

FolderFeed::FolderFeed(Session session) : session_(std::move(session)) {}

FolderFeed::~FolderFeed() { Stop(); }

void FolderFeed::Start() {
    if (thread_.joinable()) return;
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    {
        std::lock_guard lock(lock_);
        stopped_ = false;
        following_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void FolderFeed::Stop() {
    {
        std::lock_guard lock(lock_);
        stopped_ = true;
    }
    changed_.notify_all();
    if (wake_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int& fd : wake_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

bool FolderFeed::Stopped() const {
    std::lock_guard lock(lock_);
    return stopped_;
}

bool FolderFeed::WaitFollowing(std::chrono::milliseconds wait) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, wait, [this] { return following_ || stopped_; }) && !stopped_;
}

std::uint64_t FolderFeed::Last() const {
    std::lock_guard lock(lock_);
    return next_ - 1;
}

void FolderFeed::Publish(std::string name, std::string data) {
    {
        std::lock_guard lock(lock_);
        events_.push_back({next_++, std::move(name), std::move(data)});
        while (events_.size() > kKept) events_.pop_front();
    }
    changed_.notify_all();
}

std::deque<FeedEvent> FolderFeed::Next(std::uint64_t after, std::chrono::milliseconds wait) {
    std::unique_lock lock(lock_);
    changed_.wait_for(lock, wait, [&] { return stopped_ || next_ - 1 > after; });
    std::deque<FeedEvent> out;
    if (stopped_ || next_ - 1 <= after) return out;
    if (events_.empty() || events_.front().sequence > after + 1) {
        out.push_back({next_ - 1, "reload", "{}"});
        return out;
    }
    for (const FeedEvent& e : events_)
        if (e.sequence > after) out.push_back(e);
    return out;
}

// Compares the folder with what it held and publishes the differences (all of them as one
// "reload" when the folder or name changed).
void FolderFeed::rescan(bool announce) {
    std::map<std::uint32_t, std::string> now;
    for (const ServedPicture& p : ServedPictures::List(folder_, name_))
        now.emplace(p.number, PictureJson(p));
    if (announce) {
        // Oldest first, so a page that adds each at the top ends newest first.
        for (const auto& [number, json] : now) {
            const auto at = known_.find(number);
            if (at == known_.end() || at->second != json) Publish("picture", json);
        }
        for (const auto& [number, json] : known_)
            if (!now.count(number)) Publish("remove", "{\"n\":" + std::to_string(number) + "}");
    }
    known_ = std::move(now);
}

void FolderFeed::run() {
    const int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int watch = -1;
    auto follow = [&] {
        auto [folder, name] = session_();
        if (folder.empty()) folder = "./";
        // Another template or job can make other files the session's pictures.
        const NamingSettings published = PublishedNaming();
        const std::string naming = published.nameTemplate + '\n' + published.job;
        const bool moved = folder != folder_ || name != name_ || naming != naming_;
        if (!moved && watch >= 0) return;
        if (watch >= 0) ::inotify_rm_watch(notify, watch);
        folder_ = folder;
        name_ = name;
        naming_ = naming;
        watch = notify < 0 ? -1
                           : ::inotify_add_watch(notify, folder_.c_str(),
                                                 IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE |
                                                     IN_DELETE | IN_ATTRIB | IN_ONLYDIR);
        const bool first = known_.empty() && next_ == 1;
        rescan(false);
        if (moved && !first) Publish("reload", "{}");
    };
    follow();
    {
        std::lock_guard lock(lock_);
        following_ = true;
    }
    changed_.notify_all();
    alignas(struct inotify_event) char buffer[16384];
    while (!Stopped()) {
        pollfd fds[2] = {{notify, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        // Without a watch (a folder not there yet) the folder is looked at every half second.
        const int ready = ::poll(fds, 2, watch >= 0 ? 500 : 500);
        if (Stopped()) break;
        bool changed = watch < 0;
        if (ready > 0 && (fds[0].revents & POLLIN))
            while (::read(notify, buffer, sizeof buffer) > 0) changed = true;
        follow();
        if (changed) rescan(true);
    }
    if (notify >= 0) ::close(notify);
}

}   // namespace client
