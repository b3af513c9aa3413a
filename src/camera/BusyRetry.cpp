#include "camera/BusyRetry.h"

namespace camera {
namespace {
thread_local BusyRetry current;
}   // namespace

BusyRetryScope::BusyRetryScope(BusyRetry policy) : previous_(current) { current = policy; }

BusyRetryScope::~BusyRetryScope() { current = previous_; }

BusyRetry CurrentBusyRetry() { return current; }

}   // namespace camera
