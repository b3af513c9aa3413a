// The one thread that makes every libgphoto2 call: work posted from other threads runs here in
// order, in the C locale; a paced repeating job (live view, event polling) runs only when no
// posted work is waiting, so captures and settings always go first.
//
// Threads: call() and post() may be used from any thread; call() from the camera thread itself
// runs the work at once (a callback made on this thread never waits for itself). The repeating
// job is set and cleared from any thread; it is never running when setRepeating returns on the
// camera thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace gphoto {

class CameraThread {
public:
    CameraThread();
    ~CameraThread();   // runs the work already posted, then ends the thread
    CameraThread(const CameraThread&) = delete;
    CameraThread& operator=(const CameraThread&) = delete;

    // Runs work on the camera thread and returns its result; waits for it.
    template <class Work>
    auto call(Work work) -> decltype(work()) {
        using R = decltype(work());
        if (onThread()) return work();
        // Shared: the camera thread may still be leaving the task when this caller has its
        // result and returns.
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(work));
        std::future<R> result = task->get_future();
        post([task] { (*task)(); });
        return result.get();
    }
    void post(std::function<void()> work);

    // Runs job about every interval while nothing is posted; an empty job stops it.
    void setRepeating(std::function<void()> job, std::chrono::milliseconds interval);
    bool onThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    // Guards queue_, repeating_, interval_, stop_.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::function<void()> repeating_;
    std::chrono::milliseconds interval_{0};
    bool stop_ = false;
    std::thread thread_;   // last: started when everything above exists
};

}   // namespace gphoto
