// Retrying a camera call that the camera answered "busy", in one layer: the driver's setting
// and release calls take the caller's policy as a parameter. The user-interface thread passes
// kNoBusyRetry (one try, the answer at once); a worker that may wait passes kRunBusyRetry.
// Threads: any; the policy belongs to the call, not to the thread.
#pragma once

#include "sdk/Errors.h"

#include <chrono>
#include <thread>

namespace camera {

struct BusyRetry {
    int tries = 1;   // calls in all, the first included
    std::chrono::milliseconds spacing{0};
};

// The window's calls: one try, busy is the answer.
constexpr BusyRetry kNoBusyRetry{};
// A worker's calls (the Time run): five tries 250 ms apart, one second of waiting at most, so
// one setting or release waits at most 1 s plus five calls' own time.
constexpr BusyRetry kRunBusyRetry{5, std::chrono::milliseconds(250)};
// A worker's lens steps: a lens answers busy while it still moves from the step before (tens
// of milliseconds), so it is asked again soon; 2 s of waiting at most.
constexpr BusyRetry kLensBusyRetry{80, std::chrono::milliseconds(25)};

// Busy on either SDK: the plain code and the real-camera backend's own-row code.
constexpr bool IsBusy(sdk::Result result) {
    return result != sdk::kOk && (result & 0xFFFFu) == sdk::err::kDeviceBusy;
}

// Makes call() until it answers something other than busy or the policy's tries are used up.
template <class Call>
sdk::Result RetryWhileBusy(BusyRetry policy, Call call) {
    sdk::Result result = call();
    for (int tried = 1; tried < policy.tries && IsBusy(result); ++tried) {
        if (policy.spacing.count() > 0) std::this_thread::sleep_for(policy.spacing);
        result = call();
    }
    return result;
}

}   // namespace camera
