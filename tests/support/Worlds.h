// Simulated worlds for tests: a small camera that writes tiny images, and a world of cameras.
#pragma once

#include "sdk/sim/Simulator.h"

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A camera offering every option, writing 64 x 48 images so captures stay quick.
inline sim::CameraSpec SmallCamera(const std::string& name) {
    sim::CameraSpec camera = sim::fullCamera(name);
    camera.sizePixels = {{0, {64, 48}}, {1, {64, 48}}, {2, {64, 48}}};
    return camera;
}

inline sim::World WorldOf(std::vector<sim::CameraSpec> cameras) {
    sim::World world;
    world.cameras = std::move(cameras);
    return world;
}

}   // namespace testsupport
