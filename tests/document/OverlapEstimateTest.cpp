// The stitch overlap estimate: frames cut from one picture at known shifts are found at those
// shifts for every direction, unrelated frames give no match, a black strip gives no line, and
// the line's wording.
#include "document/OverlapEstimate.h"
#include "document/StripCut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

// A textured picture (smooth blobs at two scales, in colour), top-down, 3 bytes a pixel.
struct Picture {
    static constexpr int kW = 900, kH = 700;
    std::vector<std::uint8_t> bgr = std::vector<std::uint8_t>(kW * kH * 3);

    explicit Picture(unsigned seed) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> value(0, 255);
        auto grid = [&](int step) {
            std::vector<int> g((kW / step + 2) * (kH / step + 2));
            for (int& v : g) v = value(rng);
            return g;
        };
        const std::vector<int> coarse = grid(24), fine = grid(6);
        auto sample = [](const std::vector<int>& g, int step, int x, int y) {
            const int cols = kW / step + 2, gx = x / step, gy = y / step;
            const double fx = double(x % step) / step, fy = double(y % step) / step;
            auto at = [&](int i, int j) { return g[(gy + j) * cols + gx + i]; };
            return (at(0, 0) * (1 - fx) + at(1, 0) * fx) * (1 - fy) +
                   (at(0, 1) * (1 - fx) + at(1, 1) * fx) * fy;
        };
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const double v = 0.7 * sample(coarse, 24, x, y) + 0.3 * sample(fine, 6, x, y);
                std::uint8_t* p = &bgr[(y * kW + x) * 3];
                p[0] = static_cast<std::uint8_t>(v);
                p[1] = static_cast<std::uint8_t>(255 - v);
                p[2] = static_cast<std::uint8_t>(std::fmod(v * 3, 256));
            }
    }

    // The viewfinder frame whose top-left corner is at (left, top): rows bottom-up.
    std::unique_ptr<FrameBuffers::Frame> frame(int left, int top) const {
        auto f = std::make_unique<FrameBuffers::Frame>();
        for (int r = 0; r < FrameBuffers::kHeight; ++r) {
            const int y = top + FrameBuffers::kHeight - 1 - r;
            std::copy_n(&bgr[(y * kW + left) * 3], FrameBuffers::kRowBytes,
                        f->data() + r * FrameBuffers::kRowBytes);
        }
        return f;
    }
};

const Picture& scene() {
    static const Picture picture(7);
    return picture;
}

struct Shift {
    std::uint32_t direction;
    int dx, dy;   // where the strip's content stands in the live picture, + right / + down
};

class OverlapShift : public ::testing::TestWithParam<Shift> {};

TEST_P(OverlapShift, FindsTheShift) {
    const Shift s = GetParam();
    constexpr int kLeft = 280, kTop = 230;   // the previous shot
    // The live picture that continues the strip, then moved by the shift.
    int left = kLeft - s.dx, top = kTop - s.dy;
    if (s.direction == 1) left += 240;
    if (s.direction == 2) left -= 240;
    if (s.direction == 3) top += 160;
    if (s.direction == 4) top -= 160;
    const auto shot = scene().frame(kLeft, kTop);
    const auto live = scene().frame(left, top);
    FrameBuffers::Strip strip{};
    CutStrip(*shot, s.direction, strip);

    const OverlapEstimate e = EstimateOverlap(*live, strip, s.direction);
    EXPECT_TRUE(e.shown);
    EXPECT_TRUE(e.match);
    EXPECT_EQ(e.dx, s.dx);
    EXPECT_EQ(e.dy, s.dy);
    EXPECT_GE(e.score, 95);
}

INSTANTIATE_TEST_SUITE_P(KnownShifts, OverlapShift,
                         ::testing::Values(Shift{1, 0, 0}, Shift{1, 6, -3}, Shift{1, -24, 24},
                                           Shift{1, 31, -17}, Shift{2, 0, 0}, Shift{2, -9, 5},
                                           Shift{2, 24, -24}, Shift{3, 0, 0}, Shift{3, 13, 7},
                                           Shift{3, -32, -21}, Shift{4, 0, 0}, Shift{4, -5, 11},
                                           Shift{4, 27, -30}));

TEST(OverlapEstimate, UnrelatedFramesDoNotMatch) {
    const Picture other(99);
    for (std::uint32_t direction = 1; direction <= 4; ++direction) {
        FrameBuffers::Strip strip{};
        CutStrip(*scene().frame(100, 100), direction, strip);
        const OverlapEstimate e = EstimateOverlap(*other.frame(300, 200), strip, direction);
        EXPECT_TRUE(e.shown) << direction;
        EXPECT_FALSE(e.match) << direction << " scored " << e.score;
        EXPECT_EQ(OverlapText(e), "Overlap: no match");
    }
}

TEST(OverlapEstimate, BlackStripOrNoDirectionShowsNothing) {
    const auto live = scene().frame(0, 0);
    FrameBuffers::Strip strip{};
    for (std::uint32_t direction : {1u, 2u, 3u, 4u})
        EXPECT_FALSE(EstimateOverlap(*live, strip, direction).shown);
    CutStrip(*live, 1, strip);
    for (std::uint32_t direction : {0u, 5u})
        EXPECT_FALSE(EstimateOverlap(*live, strip, direction).shown);
    EXPECT_EQ(OverlapText(EstimateOverlap(*live, FrameBuffers::Strip{}, 1)), "");
}

TEST(OverlapEstimate, LineWording) {
    struct Case {
        OverlapEstimate e;
        const char* text;
    };
    const Case cases[] = {
        {{true, true, 6, -3, 91}, "Overlap: move 6 px left, 3 px down - match 91 %"},
        {{true, true, -6, 3, 91}, "Overlap: move 6 px right, 3 px up - match 91 %"},
        {{true, true, 0, 12, 70}, "Overlap: move 12 px up - match 70 %"},
        {{true, true, 1, 0, 100}, "Overlap: move 1 px left - match 100 %"},
        {{true, true, 0, 0, 99}, "Overlap: aligned - match 99 %"},
        {{true, false, 4, 4, 30}, "Overlap: no match"},
        {{false, false, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(OverlapText(c.e), c.text);
}

}   // namespace
