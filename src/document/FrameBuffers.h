// Fixed-size pixel buffers the document shares between the viewfinder thread and the panes:
// the live frame, the previous shot, the stitch strip and the histogram.
#pragma once

#include "sdk/sdk.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Brightness histogram of a displayed frame: 256 bins and the largest bin value.
struct Histogram {
    std::array<float, 256> bins{};
    float peak = 0.0f;
};

// Frame layout: 320 x 240 pixels, 3 bytes each (blue, green, red), 960 bytes a row, rows stored
// bottom-up (memory row 0 is the bottom row of the picture), no header.
struct FrameBuffers {
    static constexpr int kWidth = sdk::kFrameWidth;
    static constexpr int kHeight = sdk::kFrameHeight;
    static constexpr std::size_t kRowBytes = 960;
    // Pixels only; a frame from the SDK is kHeaderBytes + kPixelBytes (sdk::kFrameBytes).
    static constexpr std::size_t kPixelBytes = sdk::kFramePixelBytes;
    static constexpr std::size_t kStripBytes = 76800;
    static constexpr std::size_t kHeaderBytes = sdk::kFrameHeaderBytes;   // bitmap header

    using Frame = std::array<std::uint8_t, kPixelBytes>;
    using Strip = std::array<std::uint8_t, kStripBytes>;

    // Zero (black) at start.
    alignas(64) Frame liveFrame{};      // latest viewfinder frame, kept while stitching
    alignas(64) Frame previousShot{};   // liveFrame as it was at the latest stitch-mode release
    alignas(64) Strip overlapStrip{};   // edge strip of previousShot for the current direction
    Histogram histogram;
};
