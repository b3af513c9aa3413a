// Runs the stitch overlap estimate on a worker thread of its own, on request, and hands the
// resulting line back to the user-interface thread.
//
// Threads: request() and the line callback run on the user-interface thread; the worker copies
// the live frame and the strip through the document (under its frame lock) and estimates with
// no lock held. Neither side waits for the other: a request made while one runs is merged.
#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CViewDoc;
class UiWakeup;

class OverlapReadout {
public:
    // onLine receives each new line ("" when there is nothing to show) on the UI thread.
    OverlapReadout(CViewDoc* document, std::function<void(const std::string&)> onLine,
                   QObject* owner);
    ~OverlapReadout();   // stops and joins the worker
    OverlapReadout(const OverlapReadout&) = delete;
    OverlapReadout& operator=(const OverlapReadout&) = delete;

    void request();   // one estimate of the current live frame and strip, soon
    std::uint64_t estimatesDone() const;

private:
    void run();
    void deliver();   // UI thread

    CViewDoc* document_;
    std::function<void(const std::string&)> onLine_;
    UiWakeup* wakeup_ = nullptr;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stopping_ = false;
    std::string line_;
    std::uint64_t done_ = 0;
    std::thread worker_;
};
