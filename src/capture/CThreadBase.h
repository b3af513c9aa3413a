// A minimal thread wrapper: Start runs Run on a new thread; `running` is true from Start until
// the run is told to end. Start and the destructor are called from one controlling thread.
#pragma once

#include <atomic>
#include <thread>

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;
    // Derived classes end their run in their own destructor (Join); this one only joins.
    virtual ~CThreadBase();

    // Refused (false) while a run is going on. Otherwise waits for the thread of the previous
    // run, which has already left its loop, and starts a new one; `running` is set before the
    // thread exists and cleared again when it cannot be made.
    bool Start();
    bool running() const { return running_.load(); }

protected:
    virtual void Run() {}
    // Clears `running` and waits for the thread to end.
    void Join();

    std::atomic<bool> running_{false};

private:
    std::thread thread_;
};
