// The camera thread's loop: posted work first, then the repeating job when it is due.
#include "sdk/gphoto/CameraThread.h"

#include <clocale>
#include <locale.h>

namespace gphoto {

CameraThread::CameraThread() : thread_([this] { run(); }) {}

CameraThread::~CameraThread() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        repeating_ = nullptr;
    }
    wake_.notify_all();
    thread_.join();
}

void CameraThread::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    wake_.notify_all();
}

void CameraThread::setRepeating(std::function<void()> job, std::chrono::milliseconds interval) {
    {
        std::lock_guard lock(mutex_);
        repeating_ = std::move(job);
        interval_ = interval;
    }
    wake_.notify_all();
}

void CameraThread::run() {
    // libgphoto2's labels and numbers follow the locale: this thread reads them in "C".
    locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (c != locale_t{}) uselocale(c);
    using Clock = std::chrono::steady_clock;
    Clock::time_point due = Clock::now();
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(mutex_);
            for (;;) {
                if (!queue_.empty()) {
                    work = std::move(queue_.front());
                    queue_.pop_front();
                    break;
                }
                if (stop_) break;
                if (repeating_) {
                    if (Clock::now() >= due) {
                        work = repeating_;
                        due = Clock::now() + interval_;
                        break;
                    }
                    wake_.wait_until(lock, due);
                } else {
                    wake_.wait(lock);
                }
            }
        }
        if (!work) break;
        work();
    }
    if (c != locale_t{}) {
        uselocale(LC_GLOBAL_LOCALE);
        freelocale(c);
    }
}

}   // namespace gphoto
