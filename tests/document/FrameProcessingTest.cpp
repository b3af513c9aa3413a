// Frame processing against straightforward references: the stacking window (random frames,
// growing, steady and shrinking windows, reconnect and calibration), the stitch strips and the
// histogram, all bit-exact.
#include "document/HistogramCalc.h"
#include "document/StackingKernels.h"
#include "document/StackingWindow.h"
#include "document/StripCut.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kN = FrameBuffers::kPixelBytes;

// The stacking step written the plain way, with 32-bit sums and a list of frame copies.
struct ReferenceStack {
    std::deque<std::vector<std::uint8_t>> frames;
    std::vector<std::int32_t> sum = std::vector<std::int32_t>(kN, 0);
    std::vector<std::int32_t> noise = std::vector<std::int32_t>(kN, 0);

    void Step(std::uint8_t* pixels, std::size_t n) {
        while (frames.size() > n) {
            const std::vector<std::uint8_t>& old = frames.front();
            for (std::size_t i = 0; i < kN; ++i) {
                sum[i] -= old[i];
                if (sum[i] < 0) sum[i] = 0;
            }
            frames.pop_front();
        }
        frames.emplace_back(pixels, pixels + kN);
        for (std::size_t i = 0; i < kN; ++i) {
            sum[i] += pixels[i];
            const std::int32_t v = sum[i] - noise[i];
            pixels[i] = static_cast<std::uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v));
        }
    }
};

std::vector<std::uint8_t> RandomFrame(std::mt19937& rng) {
    std::vector<std::uint8_t> f(kN);
    // Mostly dark with bright specks, like a night sky, so sums sit on both sides of 255.
    std::uniform_int_distribution<int> byte(0, 255), dark(0, 12), pick(0, 15);
    for (auto& b : f) b = static_cast<std::uint8_t>(pick(rng) == 0 ? byte(rng) : dark(rng));
    return f;
}

void ExpectSameSums(const StackingWindow& window, const ReferenceStack& ref) {
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < kN; ++i)
        if (window.sumAt(i) != ref.sum[i] || window.noiseAt(i) != ref.noise[i]) ++mismatches;
    EXPECT_EQ(mismatches, 0u);
}

TEST(StackingWindow, MatchesTheStraightforwardStepOnRandomFrames) {
    std::mt19937 rng(20240611);
    auto window = std::make_unique<StackingWindow>();
    ReferenceStack ref;
    // Grow to 150, hold, shrink by 141 at once, grow by one, drop to 1, reconnect, calibrate.
    struct Phase {
        int frames;
        int steps;
    };
    const Phase phases[] = {{3, 5}, {150, 152}, {150, 3}, {10, 2}, {11, 2}, {1, 3}, {4, 6}};
    int step = 0;
    for (const Phase& phase : phases) {
        for (int s = 0; s < phase.steps; ++s, ++step) {
            std::vector<std::uint8_t> a = RandomFrame(rng);
            std::vector<std::uint8_t> b = a;
            window->Step(a.data(), phase.frames);
            ref.Step(b.data(), static_cast<std::size_t>(phase.frames));
            ASSERT_EQ(a, b) << "step " << step << " with " << phase.frames << " frames";
            ASSERT_EQ(window->count(), ref.frames.size());
            if (step == 160) {   // calibrate in the middle of a full window
                window->CalibrateNoise();
                ref.noise = ref.sum;
            }
        }
        if (phase.frames == 11) {   // a reconnection: sums cleared, frames kept
            window->ClearSums();
            std::fill(ref.sum.begin(), ref.sum.end(), 0);
            std::fill(ref.noise.begin(), ref.noise.end(), 0);
        }
    }
    ExpectSameSums(*window, ref);
}

TEST(StackingWindow, OneAdditiveFrameShowsThePreviousPlusTheCurrent) {
    auto window = std::make_unique<StackingWindow>();
    std::vector<std::uint8_t> a(kN, 100), b(kN, 200), c(kN, 7);
    window->Step(a.data(), 1);
    EXPECT_EQ(a[0], 100);
    window->Step(b.data(), 1);
    EXPECT_EQ(b[0], 255);   // 100 + 200 clipped
    EXPECT_EQ(window->sumAt(0), 300);
    window->Step(c.data(), 1);
    EXPECT_EQ(c[kN - 1], 207);   // 200 + 7: the first frame has left
    EXPECT_EQ(window->count(), 2u);
    EXPECT_EQ(window->sumAt(5), 207);
}

TEST(StackingWindow, ShrinkingFrom150To10DropsTheOldest141AtOnce) {
    auto window = std::make_unique<StackingWindow>();
    for (int k = 0; k < 151; ++k) {
        std::vector<std::uint8_t> f(kN, static_cast<std::uint8_t>(k % 2));   // 0,1,0,1,...
        window->Step(f.data(), 150);
    }
    ASSERT_EQ(window->count(), 151u);
    EXPECT_EQ(window->sumAt(0), 75);
    std::vector<std::uint8_t> f(kN, 2);
    window->Step(f.data(), 10);
    EXPECT_EQ(window->count(), 11u);
    // Frames 141..150 remain (5 of them hold 1) plus the new 2.
    EXPECT_EQ(window->sumAt(0), 7);
    EXPECT_EQ(f[0], 7);
}

TEST(StackingWindow, NoiseAboveTheSumShowsBlackAndCalibrationCanBeCleared) {
    auto window = std::make_unique<StackingWindow>();
    std::vector<std::uint8_t> f(kN, 50);
    window->Step(f.data(), 2);
    window->Step(f.data(), 2);   // f now shows 100
    window->CalibrateNoise();    // noise = 50 + 50
    EXPECT_EQ(window->noiseAt(0), 100);
    std::vector<std::uint8_t> dim(kN, 0);
    window->Step(dim.data(), 2);   // 50 + 50 + 0 - 100
    EXPECT_EQ(dim[0], 0);
    std::vector<std::uint8_t> darker(kN, 0);
    window->Step(darker.data(), 2);   // 50 + 0 + 0 < 100: below the noise shows 0
    EXPECT_EQ(darker[0], 0);
    window->ClearNoise();
    std::vector<std::uint8_t> again(kN, 1);
    window->Step(again.data(), 2);
    EXPECT_EQ(again[0], 1);
    EXPECT_EQ(window->noiseAt(kN - 1), 0);
}

// The kernels on lengths that leave tails for the plain loop, with sums near their limits.
TEST(StackingKernels, VectorAndTailAgreeWithThePlainLoop) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255), big(0, 38505);
    for (std::size_t n : {1u, 15u, 16u, 17u, 31u, 33u, 64u, 100u, 1023u}) {
        std::vector<std::uint16_t> sum(n), noise(n);
        std::vector<std::uint8_t> slot(n), pixels(n);
        for (std::size_t i = 0; i < n; ++i) {
            sum[i] = static_cast<std::uint16_t>(big(rng) % 38250);
            noise[i] = static_cast<std::uint16_t>(i % 3 == 0 ? big(rng) : byte(rng));
            slot[i] = static_cast<std::uint8_t>(byte(rng));
            pixels[i] = static_cast<std::uint8_t>(byte(rng));
        }
        std::vector<std::uint16_t> s1 = sum, s2 = sum, s3 = sum;
        std::vector<std::uint8_t> sl = slot, p1 = pixels, keep(n), p2 = pixels;
        stacking::Replace(s1.data(), noise.data(), sl.data(), p1.data(), n);
        stacking::Add(s2.data(), noise.data(), p2.data(), keep.data(), n);
        stacking::Subtract(s3.data(), slot.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const int afterLeave = std::max(0, int{sum[i]} - slot[i]);
            const int replaced = afterLeave + pixels[i];
            const int added = sum[i] + pixels[i];
            ASSERT_EQ(s1[i], replaced) << n << ":" << i;
            ASSERT_EQ(p1[i], std::clamp(replaced - noise[i], 0, 255)) << n << ":" << i;
            ASSERT_EQ(sl[i], pixels[i]);
            ASSERT_EQ(s2[i], added);
            ASSERT_EQ(p2[i], std::clamp(added - noise[i], 0, 255)) << n << ":" << i;
            ASSERT_EQ(keep[i], pixels[i]);
            ASSERT_EQ(s3[i], afterLeave);
        }
    }
}

// ---- Strips ----

std::uint8_t PatternByte(std::size_t i) {
    return static_cast<std::uint8_t>((i * 7 + i / 960) & 0xFF);
}

struct StripCase {
    std::uint32_t direction;
    std::size_t used;
    std::size_t (*source)(std::size_t k);   // previous-shot byte for strip byte k
};

void PrintTo(const StripCase& c, std::ostream* out) {
    *out << "direction " << c.direction << ", " << c.used << " bytes";
}

class Strip : public ::testing::TestWithParam<StripCase> {};

TEST_P(Strip, IsCutFromThePreviousShot) {
    auto shot = std::make_unique<FrameBuffers::Frame>();
    for (std::size_t i = 0; i < kN; ++i) (*shot)[i] = PatternByte(i);
    auto strip = std::make_unique<FrameBuffers::Strip>();
    strip->fill(0xEE);
    CutStrip(*shot, GetParam().direction, *strip);
    for (std::size_t k = 0; k < GetParam().used; ++k)
        ASSERT_EQ((*strip)[k], PatternByte(GetParam().source(k))) << "byte " << k;
    for (std::size_t k = GetParam().used; k < FrameBuffers::kStripBytes; ++k)
        ASSERT_EQ((*strip)[k], 0xEE) << "byte " << k << " beyond the strip";
}

INSTANTIATE_TEST_SUITE_P(
    Directions, Strip,
    ::testing::Values(StripCase{1, 57600,
                                [](std::size_t k) { return (k / 240) * 960 + 720 + k % 240; }},
                      StripCase{2, 57600, [](std::size_t k) { return (k / 240) * 960 + k % 240; }},
                      StripCase{3, 76800, [](std::size_t k) { return k; }},
                      StripCase{4, 76800, [](std::size_t k) { return 153600 + k; }},
                      StripCase{0, 0, nullptr}, StripCase{5, 0, nullptr}),
    [](const ::testing::TestParamInfo<StripCase>& info) {
        return "Direction" + std::to_string(info.param.direction);
    });

// ---- Histogram ----

void ReferenceHistogram(const std::uint8_t* p, int w, int h, Histogram& out) {
    out = Histogram{};
    for (int i = 0; i < w * h; ++i) {
        const int sum = p[3 * i] + p[3 * i + 1] + p[3 * i + 2];
        const int bin = static_cast<int>(static_cast<double>(sum) * 0.333);
        if (bin < 256) {
            out.bins[bin] += 1.0f;
            if (out.bins[bin] > out.peak) out.peak = out.bins[bin];
        }
    }
}

TEST(HistogramCalc, MatchesThePlainLoopOnRandomFrames) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> frame(kN);
    for (int round = 0; round < 4; ++round) {
        for (auto& b : frame) b = static_cast<std::uint8_t>(byte(rng) >> (round * 2));
        // Sizes around the 16-pixel lanes and the 1,024-pixel blocks, as well as the frame.
        for (auto [w, h] : {std::pair{320, 240}, std::pair{7, 3}, std::pair{1, 1}, std::pair{17, 1},
                            std::pair{33, 31}, std::pair{1025, 1}, std::pair{80, 240}}) {
            Histogram fast, ref;
            ComputeHistogram(frame.data(), w, h, fast);
            ReferenceHistogram(frame.data(), w, h, ref);
            ASSERT_EQ(fast.bins, ref.bins);
            ASSERT_EQ(fast.peak, ref.peak);
        }
    }
}

struct BinCase {
    std::uint8_t b, g, r;
    int bin;
};

TEST(HistogramCalc, EdgeBins) {
    const BinCase cases[] = {{0, 0, 0, 0},         {1, 1, 1, 0},         {2, 1, 1, 1},
                             {255, 255, 255, 254}, {255, 255, 254, 254}, {3, 0, 0, 0}};
    for (const BinCase& c : cases) {
        std::vector<std::uint8_t> frame(kN);
        for (std::size_t i = 0; i < kN; i += 3) {
            frame[i] = c.b;
            frame[i + 1] = c.g;
            frame[i + 2] = c.r;
        }
        Histogram h;
        ComputeHistogram(frame.data(), 320, 240, h);
        EXPECT_EQ(h.bins[c.bin], 76800.0f) << int{c.b} << "," << int{c.g} << "," << int{c.r};
        EXPECT_EQ(h.peak, 76800.0f);
        EXPECT_EQ(h.bins[255], 0.0f);
    }
    EXPECT_EQ(HistogramBin(3), 0);
    EXPECT_EQ(HistogramBin(4), 1);
    EXPECT_EQ(HistogramBin(765), 254);
}

}   // namespace
