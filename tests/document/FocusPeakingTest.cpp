// Focus peaking's edge test at its threshold, the picture's borders and a row stride wider than
// the picture; the colour histogram's clipped counts.
#include "document/FocusPeaking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

TEST(FocusPeaking, MarksGreenStepsAboveTheThresholdOnly) {
    struct Case {
        const char* name;
        int step;      // green difference between column 2 and column 3
        bool marked;   // column 2 marked
    };
    const Case cases[] = {{"flat", 0, false},
                          {"at the threshold", kPeakingThreshold, false},
                          {"one above", kPeakingThreshold + 1, true},
                          {"downwards", -(kPeakingThreshold + 1), true}};
    constexpr int w = 5, h = 3, stride = 8;   // rows padded, as QImage pads them
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> image(stride * h, 0xff000000u | (100u << 8));
        std::vector<std::uint8_t> mask(stride * h, 7);
        for (int y = 0; y < h; ++y)
            for (int x = 3; x < w; ++x)
                image[y * stride + x] = 0xff000000u | static_cast<std::uint32_t>(100 + c.step) << 8;
        MarkPeaking(image.data(), w, h, stride, mask.data(), stride);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(mask[y * stride + x], x == 2 && c.marked ? kPeakingMark : 0)
                    << x << "," << y;
        EXPECT_EQ(mask[w], 7);   // the padding is not written
    }
    // A horizontal edge: the row above it is marked, the last row (nothing below) is not.
    std::vector<std::uint32_t> image(4 * 3, 0xff000000u);
    std::vector<std::uint8_t> mask(4 * 3);
    for (int x = 0; x < 4; ++x) image[2 * 4 + x] = 0xff00ff00u;
    MarkPeaking(image.data(), 4, 3, 4, mask.data(), 4);
    EXPECT_EQ(mask, (std::vector<std::uint8_t>{0, 0, 0, 0, kPeakingMark, kPeakingMark, kPeakingMark,
                                               0, 0, 0, 0, 0}));
}

TEST(FocusPeaking, WideRowsMatchThePlainRuleOnNoise) {
    // Every byte random, so the red and blue bytes must not leak into the green test and a
    // pixel out of order shows. 70 wide: two 32-pixel steps, the second overlapping the first;
    // 1040 wide: a column chunk and a narrow one after it; 20 wide: the plain loop alone.
    for (const int w : {70, 1040, 20}) {
        SCOPED_TRACE(w);
        const int h = 6, stride = w + 3;
        std::vector<std::uint32_t> image(stride * h);
        std::vector<std::uint8_t> mask(stride * h);
        std::uint32_t seed = 7;
        for (auto& p : image) p = seed = seed * 1664525u + 1013904223u;
        for (int threshold : {0, 20, kPeakingThreshold, 200, 254, 255, 600}) {
            MarkPeaking(image.data(), w, h, stride, mask.data(), stride, threshold);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const auto g = [&](int px, int py) {
                        return static_cast<int>((image[py * stride + px] >> 8) & 0xff);
                    };
                    const int contrast = x + 1 == w
                                             ? 0
                                             : std::abs(g(x, y) - g(x + 1, y)) +
                                                   std::abs(g(x, y) - g(x, std::min(y + 1, h - 1)));
                    ASSERT_EQ(mask[y * stride + x], contrast > threshold ? kPeakingMark : 0)
                        << x << "," << y << " threshold " << threshold;
                }
        }
    }
}

TEST(FocusPeaking, ColourHistogramCountsClippedPixelsPerChannel) {
    const std::vector<std::uint8_t> rgb = {255, 0, 10, 255, 255, 10, 3, 0, 10};
    RgbHistogram h;
    ComputeRgbHistogram(rgb.data(), 3, h);
    EXPECT_EQ(h.clipped, (std::array<std::uint64_t, 3>{2, 1, 0}));
    EXPECT_EQ(h.counts[2][10], 3u);
    EXPECT_EQ(h.counts[1][0], 2u);
    EXPECT_EQ(h.peak, 3u);   // the largest count below 255
    EXPECT_EQ(h.pixels, 3u);
}

}   // namespace
