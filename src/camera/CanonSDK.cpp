// The camera driver over the CD SDK table.
#include "camera/CanonSDK.h"

namespace camera {

namespace {
constexpr std::uint16_t kCdMajorVersion = 7;
}

CanonSDK::CanonSDK(const sdk::Api& cdApi, LogCallback log)
    : CanonDriver(cdApi, "CanonSDK", kCdMajorVersion, std::move(log)) {}

CanonSDK::~CanonSDK() { finish(); }

}   // namespace camera
