// RealCameras: the backend and the table that routes to it, made and destroyed together.
#include "sdk/gphoto/RealCameras.h"

#include "sdk/gphoto/RealCameraBackend.h"

namespace gphoto {

RealCameras::RealCameras(const sdk::Api& simulated, Options options)
    : backend_(std::make_unique<RealCameraBackend>(simulated, std::move(options))) {
    table_.Bind(*backend_);
}

// The backend goes first (its camera thread ends), then the table frees its place.
RealCameras::~RealCameras() = default;

const sdk::Api& RealCameras::api() const { return table_.api(); }

}   // namespace gphoto
