// The camera driver over the CD SDK table.
#pragma once

#include "camera/CanonDriver.h"

namespace camera {

class CanonSDK : public CanonDriver {
public:
    // Starts the SDK ("CanonSDK::CDStartSDK" on failure); the object is created in every case.
    CanonSDK(const sdk::Api& cdApi, LogCallback log);
    // Disconnects and finishes the SDK ("~CanonSDK::CDFinishSDK").
    ~CanonSDK();
};

}   // namespace camera
