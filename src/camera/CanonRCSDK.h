// The camera driver over the RC SDK table. "EOS 20D" and "EOS-1Ds Mark II" are driven through a
// capture session: their images arrive later through release event 34.
#pragma once

#include "camera/CanonDriver.h"

namespace camera {

class CanonRCSDK : public CanonDriver {
public:
    CanonRCSDK(const sdk::Api& rcApi, LogCallback log);
    ~CanonRCSDK();

    // Release event callback handed to StartCaptureSession with the driver as context.
    static sdk::Result ReleaseEventCallback(std::uint32_t eventId, const void* data,
                                            std::uint32_t size, void* context);
};

}   // namespace camera
