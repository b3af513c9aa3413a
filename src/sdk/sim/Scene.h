// The simulated cameras' scene: a slowly drifting panorama rendered into viewfinder frames and
// into full-size images, with exposure from the camera settings, sensor noise and hot pixels.
#pragma once

#include <cstdint>

namespace sim::scene {

// The largest blur radius of a region, in frame pixels.
constexpr int kMaxBlur = 12;

// How a scene with depth is out of focus: the box-blur radius (frame pixels) of its left,
// middle and right thirds (near, middle and far). All 0: sharp everywhere.
struct Focus {
    int radius[3] = {0, 0, 0};
    bool any() const { return radius[0] > 0 || radius[1] > 0 || radius[2] > 0; }
};

// The region (0 near, 1 middle, 2 far) column x of a width-wide picture belongs to.
constexpr int regionOf(int x, int width) { return x * 3 / width; }

// Brightness factor (1.0 = normal exposure) from the Av, Tv, ISO and exposure-compensation
// codes; one stop is 8 codes. Clamped to 1/64 .. 64.
double exposureBrightness(std::uint32_t av, std::uint32_t tv, std::uint32_t iso,
                          std::uint32_t exposureComp);

// Renders the 230,400 pixel bytes (BGR, bottom-up) of viewfinder frame `frameIndex`.
// No allocation; deterministic for one (frameIndex, brightness, focus). Out of focus, each
// third is blurred before the sensor's noise and hot pixels are added.
void renderFramePixels(std::uint8_t* pixels, std::uint64_t frameIndex, double brightness,
                       const Focus& focus = {});

// Renders the scene of frame `frameIndex` at width x height into top-down RGB rows
// (3 * width bytes a row), as a still image taken at that moment.
// Out of focus, each third's radius is scaled to the picture's width.
void renderImage(std::uint8_t* rgb, int width, int height, std::uint64_t frameIndex,
                 double brightness, const Focus& focus = {});

// How far the scene has drifted at a frame, in panorama pixels.
int sceneOffset(std::uint64_t frameIndex);

}   // namespace sim::scene
