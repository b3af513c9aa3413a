// The simulated cameras' scene: a slowly drifting panorama rendered into viewfinder frames and
// into full-size images, with exposure from the camera settings, sensor noise and hot pixels.
#pragma once

#include <cstdint>

namespace sim::scene {

// Brightness factor (1.0 = normal exposure) from the Av, Tv, ISO and exposure-compensation
// codes; one stop is 8 codes. Clamped to 1/64 .. 64.
double exposureBrightness(std::uint32_t av, std::uint32_t tv, std::uint32_t iso,
                          std::uint32_t exposureComp);

// Renders the 230,400 pixel bytes (BGR, bottom-up) of viewfinder frame `frameIndex`.
// No allocation; deterministic for one (frameIndex, brightness).
void renderFramePixels(std::uint8_t* pixels, std::uint64_t frameIndex, double brightness);

// Renders the scene of frame `frameIndex` at width x height into top-down RGB rows
// (3 * width bytes a row), as a still image taken at that moment.
void renderImage(std::uint8_t* rgb, int width, int height, std::uint64_t frameIndex,
                 double brightness);

// How far the scene has drifted at a frame, in panorama pixels.
int sceneOffset(std::uint64_t frameIndex);

}   // namespace sim::scene
