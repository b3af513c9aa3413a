// Simulated worlds for tests: a small camera that writes tiny images, a world of cameras, and the
// one way a test puts both simulated SDKs back to a known start.
#pragma once

#include "sdk/sim/Simulator.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A camera offering every option, writing tiny images (64 x 48, 48 x 32 and 32 x 24 for Large,
// Medium and Small) so captures stay quick and each size is told apart by its pixels.
inline sim::CameraSpec SmallCamera(const std::string& name) {
    sim::CameraSpec camera = sim::fullCamera(name);
    camera.sizePixels = {{0, {64, 48}}, {1, {48, 32}}, {2, {32, 24}}};
    return camera;
}

inline sim::World WorldOf(std::vector<sim::CameraSpec> cameras) {
    sim::World world;
    world.cameras = std::move(cameras);
    return world;
}

// How the simulated viewfinders deliver frames after a reset.
enum class Frames {
    Streamed,   // from the simulator's own thread
    Pushed,     // only when a test calls pushFrame(), so no viewfinder thread runs
};

// Both simulators back to their defaults (default worlds, no injected failures, empty journals,
// every thread stopped), delivering frames as asked; fps 0 keeps the simulator's default rate.
inline void ResetSimulators(Frames frames = Frames::Streamed, double fps = 0) {
    for (sim::Simulator* s : {&sim::Simulator::cd(), &sim::Simulator::rc()}) {
        s->reset();
        s->setManualViewfinder(frames == Frames::Pushed);
        if (fps > 0) s->setFrameRate(fps);
    }
}

// The same, then these worlds (std::nullopt keeps that simulator's default world). Frames are
// pushed by default, so no viewfinder thread runs unless a test asks for one.
inline void ResetSimulators(std::optional<sim::World> cd, std::optional<sim::World> rc,
                            Frames frames = Frames::Pushed) {
    ResetSimulators(frames);
    if (cd) sim::Simulator::cd().setWorld(std::move(*cd));
    if (rc) sim::Simulator::rc().setWorld(std::move(*rc));
}

}   // namespace testsupport
