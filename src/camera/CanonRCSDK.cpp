// The camera driver over the RC SDK table, with capture sessions for "EOS 20D" and
// "EOS-1Ds Mark II".
#include "camera/CanonRCSDK.h"

namespace camera {

namespace {
constexpr std::uint16_t kRcMajorVersion = 8;
}

CanonRCSDK::CanonRCSDK(const sdk::Api& rcApi, LogCallback log)
    : CanonDriver(rcApi, "CanonRCSDK", kRcMajorVersion, std::move(log)) {
    enableCaptureSessions(&CanonRCSDK::ReleaseEventCallback, static_cast<void*>(this));
}

CanonRCSDK::~CanonRCSDK() { finish(); }

sdk::Result CanonRCSDK::ReleaseEventCallback(std::uint32_t eventId, const void* data,
                                             std::uint32_t /*size*/, void* context) {
    if (context != nullptr) static_cast<CanonRCSDK*>(context)->onReleaseEvent(eventId, data);
    return sdk::kOk;
}

}   // namespace camera
