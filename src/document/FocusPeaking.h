// Focus peaking and the colour histogram of a picture: pixel loops with no Qt and no
// allocation, run on the frame path (peaking) and on a worker (histogram).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What an edge pixel is painted with when focus peaking is on (opaque ARGB).
constexpr std::uint32_t kPeakingColour = 0xff00ff40u;
// The contrast (green difference to the right neighbour plus the one below) that counts as an
// edge in focus.
constexpr int kPeakingThreshold = 48;

// Marks in mask every pixel of the width x height 0xAARRGGBB image (rows strideWords apart)
// whose green channel differs from its right and lower neighbours by more than threshold in
// sum: kPeakingColour there, 0 (transparent) elsewhere. The last column is never marked.
void MarkPeaking(const std::uint32_t* image, int width, int height, std::size_t strideWords,
                 std::uint32_t* mask, std::size_t maskStrideWords,
                 int threshold = kPeakingThreshold);

// Red, green and blue counts of a picture, and how many pixels each channel clips (255).
struct RgbHistogram {
    std::array<std::array<std::uint32_t, 256>, 3> counts{};   // red, green, blue
    std::array<std::uint64_t, 3> clipped{};
    std::uint32_t peak = 0;   // the largest count below 255 in any channel, for scaling
    std::uint64_t pixels = 0;
};

// Counts pixelCount pixels of 3 bytes each (red, green, blue).
void ComputeRgbHistogram(const std::uint8_t* rgb, std::size_t pixelCount, RgbHistogram& out);
