// Tells open pages what changed in the capture folder: a thread follows the folder with inotify
// (a capture is moved to its name whole, a sidecar replaced whole) and turns each change into
// an event ("picture" with the picture's entry, "remove", "reload" for another folder). Readers
// wait for events past the last one they saw; a reader too far behind is told to reload.
#pragma once

#include "client/ServedPictures.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace client {

struct FeedEvent {
    std::uint64_t sequence = 0;
    std::string name;   // "picture", "remove", "reload"
    std::string data;   // JSON
};

class FolderFeed {
public:
    // The capture folder and name of the session, asked for now and then from the feed's thread.
    using Session = std::function<std::pair<std::string, std::string>()>;
    explicit FolderFeed(Session session);
    ~FolderFeed();   // Stop()

    void Start();
    // Ends the thread and wakes every waiting reader (they see Stopped()).
    void Stop();
    bool Stopped() const;

    // Events after `after`, waiting up to `wait` for one; none on a timeout or a stop. A reader
    // whose `after` fell out of the kept events gets one "reload".
    std::deque<FeedEvent> Next(std::uint64_t after, std::chrono::milliseconds wait);
    std::uint64_t Last() const;
    // Waits up to `wait` until the thread follows the folder (its first look taken, its watch
    // set), so a reader that then opens gets every later picture. False on a timeout or a stop.
    bool WaitFollowing(std::chrono::milliseconds wait);

    // Adds an event (also used for a pick made from a page, so every page shows it at once).
    void Publish(std::string name, std::string data);

private:
    void run();
    void rescan(bool announce);

    Session session_;
    std::thread thread_;
    int wake_[2] = {-1, -1};    // a pipe: Stop() writes, the thread's poll wakes
    mutable std::mutex lock_;   // guards events_, next_, stopped_, following_
    std::condition_variable changed_;
    std::deque<FeedEvent> events_;
    std::uint64_t next_ = 1;
    bool stopped_ = false;
    bool following_ = false;
    // The feed thread's own: the folder followed and what it last held, number -> (time, json).
    std::string folder_, name_;
    std::string naming_;   // the published template and job the list was made with
    std::map<std::uint32_t, std::string> known_;
    static constexpr std::size_t kKept = 512;
};

}   // namespace client
