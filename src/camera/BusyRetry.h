// Retrying a camera call that the camera answered "busy": a bounded number of tries, spaced
// apart, on threads that may wait for the camera (the Time run's worker). Elsewhere, the
// user-interface thread included, a call is made once and busy is its result.
// Threads: a scope marks the thread it is made on only; any thread may retry under its own.
#pragma once

#include "sdk/Errors.h"

#include <chrono>
#include <thread>

namespace camera {

struct BusyRetry {
    int tries = 1;   // calls in all, the first included
    std::chrono::milliseconds spacing{0};
};

// What a Time run uses: five tries 250 ms apart, one second of waiting at most.
constexpr BusyRetry kRunBusyRetry{5, std::chrono::milliseconds(250)};

// Busy on either SDK: the plain code and the real-camera backend's own-row code.
constexpr bool IsBusy(sdk::Result result) {
    return result != sdk::kOk && (result & 0xFFFFu) == sdk::err::kDeviceBusy;
}

// While it lives, camera calls on this thread are retried when busy, as the policy says.
class BusyRetryScope {
public:
    explicit BusyRetryScope(BusyRetry policy);
    ~BusyRetryScope();
    BusyRetryScope(const BusyRetryScope&) = delete;
    BusyRetryScope& operator=(const BusyRetryScope&) = delete;

private:
    const BusyRetry previous_;
};

// The calling thread's policy (one try when no scope is open).
BusyRetry CurrentBusyRetry();

// Makes call() until it answers something other than busy or the tries are used up.
template <class Call>
sdk::Result RetryWhileBusy(Call call) {
    const BusyRetry policy = CurrentBusyRetry();
    sdk::Result result = call();
    for (int tried = 1; tried < policy.tries && IsBusy(result); ++tried) {
        if (policy.spacing.count() > 0) std::this_thread::sleep_for(policy.spacing);
        result = call();
    }
    return result;
}

}   // namespace camera
