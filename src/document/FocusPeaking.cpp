#include "document/FocusPeaking.h"

#include <algorithm>
#include <cstdlib>

void MarkPeaking(const std::uint32_t* image, int width, int height, std::size_t strideWords,
                 std::uint32_t* mask, std::size_t maskStrideWords, int threshold) {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = image + static_cast<std::size_t>(y) * strideWords;
        // The last row compares with itself downwards: only its horizontal edges count.
        const std::uint32_t* below = y + 1 < height ? row + strideWords : row;
        std::uint32_t* out = mask + static_cast<std::size_t>(y) * maskStrideWords;
        for (int x = 0; x + 1 < width; ++x) {
            const int g = static_cast<int>((row[x] >> 8) & 0xffu);
            const int right = static_cast<int>((row[x + 1] >> 8) & 0xffu);
            const int down = static_cast<int>((below[x] >> 8) & 0xffu);
            const int contrast = std::abs(g - right) + std::abs(g - down);
            out[x] = contrast > threshold ? kPeakingColour : 0u;
        }
        if (width > 0) out[width - 1] = 0;
    }
}

void ComputeRgbHistogram(const std::uint8_t* rgb, std::size_t pixelCount, RgbHistogram& out) {
    out = RgbHistogram{};
    for (std::size_t i = 0; i < pixelCount; ++i, rgb += 3) {
        ++out.counts[0][rgb[0]];
        ++out.counts[1][rgb[1]];
        ++out.counts[2][rgb[2]];
    }
    for (int c = 0; c < 3; ++c) {
        out.clipped[c] = out.counts[c][255];
        out.peak =
            std::max(out.peak, *std::max_element(out.counts[c].begin(), out.counts[c].end() - 1));
    }
    out.pixels = pixelCount;
}
