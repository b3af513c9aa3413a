// Focus peaking and the colour histogram of a picture: pixel loops with no Qt and no
// allocation, run on the frame path (peaking) and on a worker (histogram).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What an edge pixel is painted with when focus peaking is on (opaque ARGB).
constexpr std::uint32_t kPeakingColour = 0xff00ff40u;
// The mask's byte for an edge pixel (0 elsewhere): the index of kPeakingColour in the colour
// table of the 8-bit image the painter draws.
constexpr std::uint8_t kPeakingMark = 1;
// The contrast (green difference to the right neighbour plus the one below) that counts as an
// edge in focus.
constexpr int kPeakingThreshold = 48;

// Marks in mask every pixel of the width x height 0xAARRGGBB image (rows strideWords apart)
// whose green channel differs from its right and lower neighbours by more than threshold in
// sum: kPeakingMark there, 0 elsewhere, one byte a pixel (rows maskStride bytes apart, a
// quarter of what a 32-bit mask moves). The last column is never marked.
void MarkPeaking(const std::uint32_t* image, int width, int height, std::size_t strideWords,
                 std::uint8_t* mask, std::size_t maskStride, int threshold = kPeakingThreshold);

// Red, green and blue counts of a picture, and how many pixels each channel clips (255).
struct RgbHistogram {
    std::array<std::array<std::uint32_t, 256>, 3> counts{};   // red, green, blue
    std::array<std::uint64_t, 3> clipped{};
    std::uint32_t peak = 0;   // the largest count below 255 in any channel, for scaling
    std::uint64_t pixels = 0;
};

// Counts pixelCount pixels of 3 bytes each (red, green, blue).
void ComputeRgbHistogram(const std::uint8_t* rgb, std::size_t pixelCount, RgbHistogram& out);
