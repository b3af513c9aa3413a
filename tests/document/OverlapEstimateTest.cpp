// The stitch overlap estimate. A table test over strip/live pairs cut at known offsets from
// real-looking pictures (landscapes, a street of buildings, textured blobs, the simulated
// cameras' panorama) and pairs from unrelated scenes: every reading is "no match" or within
// 3 px of the truth, and no false match scores as high as a true reading that is shown. The
// test prints the measured detection range and false-guidance rate. Also: a black strip gives no
// line, and the line's wording.
#include "document/OverlapEstimate.h"
#include "document/StripCut.h"
#include "sdk/sim/Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Frame = FrameBuffers::Frame;

// A picture to cut viewfinder frames from: top-down rows, blue, green, red.
struct Canvas {
    static constexpr int kW = 1160, kH = 940;
    std::vector<std::uint8_t> bgr = std::vector<std::uint8_t>(kW * kH * 3);

    void put(int x, int y, double b, double g, double r) {
        if (x < 0 || y < 0 || x >= kW || y >= kH) return;
        std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * kW + x) * 3];
        p[0] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
        p[1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
        p[2] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
    }

    // The viewfinder frame whose top-left corner is at (left, top), rows bottom-up, with the
    // sensor's noise (-6..6) and an exposure gain, as a camera would deliver it.
    std::unique_ptr<Frame> frame(int left, int top, unsigned noiseSeed, double gain) const {
        // Noise of -6..6 (triangular), each row read from a random place of one table.
        static const std::vector<int> noise = [] {
            std::mt19937 rng(5);
            std::vector<int> v(1 << 16);
            for (int& n : v) n = static_cast<int>(rng() % 7) + static_cast<int>(rng() % 7) - 6;
            return v;
        }();
        std::mt19937 rng(noiseSeed);
        std::array<std::uint8_t, 256> scaled{};
        for (int v = 0; v < 256; ++v)
            scaled[v] = static_cast<std::uint8_t>(std::clamp(v * gain, 0.0, 255.0));
        auto f = std::make_unique<Frame>();
        for (int r = 0; r < FrameBuffers::kHeight; ++r) {
            const int y = top + FrameBuffers::kHeight - 1 - r;
            const int* n = &noise[rng() % (noise.size() - FrameBuffers::kRowBytes)];
            const std::uint8_t* src = &bgr[(static_cast<std::size_t>(y) * kW + left) * 3];
            std::uint8_t* dst = f->data() + r * FrameBuffers::kRowBytes;
            for (std::size_t i = 0; i < FrameBuffers::kRowBytes; ++i)
                dst[i] = static_cast<std::uint8_t>(std::clamp(scaled[src[i]] + n[i], 0, 255));
        }
        return f;
    }
};

// Smooth value noise summed over octaves, each half the size and half the strength of the one
// before (the 1/f falloff of natural pictures), -1..1.
class Fractal {
public:
    Fractal(std::mt19937& rng, int largest, int octaves) {
        std::uniform_real_distribution<double> value(-1, 1);
        for (int step = largest, o = 0; o < octaves && step >= 1; step /= 2, ++o) {
            Octave oct{step, Canvas::kW / step + 2, {}};
            oct.grid.resize(static_cast<std::size_t>(oct.cols) * (Canvas::kH / step + 2));
            for (double& v : oct.grid) v = value(rng);
            octaves_.push_back(std::move(oct));
        }
    }
    // Anywhere: coordinates wrap around the canvas (the grids cover the canvas and one cell).
    double at(int x, int y) const {
        x = (x % Canvas::kW + Canvas::kW) % Canvas::kW;
        y = (y % Canvas::kH + Canvas::kH) % Canvas::kH;
        double sum = 0, weight = 0, amplitude = 1;
        for (const Octave& o : octaves_) {
            const int gx = x / o.step, gy = y / o.step;
            auto smooth = [](double t) { return t * t * (3 - 2 * t); };
            const double fx = smooth(double(x % o.step) / o.step);
            const double fy = smooth(double(y % o.step) / o.step);
            auto g = [&](int i, int j) { return o.grid[(gy + j) * o.cols + gx + i]; };
            sum += amplitude * ((g(0, 0) * (1 - fx) + g(1, 0) * fx) * (1 - fy) +
                                (g(0, 1) * (1 - fx) + g(1, 1) * fx) * fy);
            weight += amplitude;
            amplitude *= 0.5;
        }
        return sum / weight;
    }

private:
    struct Octave {
        int step, cols;
        std::vector<double> grid;
    };
    std::vector<Octave> octaves_;
};

// A landscape: sky with clouds, a mountain ridge, hills with grass, houses and trees.
Canvas Landscape(unsigned seed) {
    Canvas c;
    std::mt19937 rng(seed);
    const Fractal clouds(rng, 256, 6), rock(rng, 128, 7), grass(rng, 64, 6), ridge(rng, 256, 6);
    for (int x = 0; x < Canvas::kW; ++x) {
        const int far = static_cast<int>(340 + 110 * ridge.at(x, 0));
        const int near = static_cast<int>(560 + 50 * ridge.at(x, 400));
        for (int y = 0; y < Canvas::kH; ++y) {
            if (y < far) {
                const double t = double(y) / far;
                const double cloud = std::clamp(2.2 * clouds.at(x, y) + 0.2, 0.0, 1.0);
                c.put(x, y, 200 + 30 * t + 40 * cloud, 140 + 70 * t + 100 * cloud,
                      80 + 110 * t + 160 * cloud);
            } else if (y < near) {
                const double v = 110 + 70 * rock.at(x, y);
                c.put(x, y, v + 10, v, v - 15);
            } else {
                const double v = 90 + 60 * grass.at(x, y) + 25 * rock.at(y, x);
                c.put(x, y, 0.4 * v, v, 0.7 * v);
            }
        }
    }
    std::uniform_int_distribution<int> xs(0, Canvas::kW), size(14, 60);
    for (int i = 0; i < 18; ++i) {   // houses
        const int x0 = xs(rng), w = size(rng) + 10, h = size(rng);
        const int ground = 600 + static_cast<int>(xs(rng) % 300);
        const double wall = 120 + (xs(rng) % 120);
        for (int y = ground - h; y < ground; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                const bool window =
                    (x - x0) % 12 > 4 && (x - x0) % 12 < 9 && (y - ground) % 14 < -8;
                c.put(x, y, window ? 40 : wall * 0.8, window ? 50 : wall * 0.9, window ? 60 : wall);
            }
        for (int i2 = 0; i2 <= w / 2; ++i2)
            for (int x = x0 + i2; x < x0 + w - i2; ++x) c.put(x, ground - h - i2, 40, 50, 150);
    }
    for (int i = 0; i < 40; ++i) {   // trees
        const int cx = xs(rng), cy = 560 + static_cast<int>(xs(rng) % 360), r = size(rng) / 2 + 6;
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x)
                if (x * x + y * y <= r * r) {
                    const double v = 70 + 50 * grass.at(std::abs(cx + x) % Canvas::kW,
                                                        std::abs(cy + y) % Canvas::kH);
                    c.put(cx + x, cy + y, 0.3 * v, v, 0.5 * v);
                }
    }
    return c;
}

// A street: a strip of sky, buildings of many heights with rows of windows (a repeating
// pattern), a pavement.
Canvas Street(unsigned seed) {
    Canvas c;
    std::mt19937 rng(seed);
    const Fractal grime(rng, 64, 6);
    for (int y = 0; y < Canvas::kH; ++y)
        for (int x = 0; x < Canvas::kW; ++x) {
            const double t = double(y) / Canvas::kH;
            c.put(x, y, 230 - 40 * t, 190 - 30 * t, 150 - 30 * t);
        }
    std::uniform_int_distribution<int> width(60, 200), top(80, 420), tone(60, 220), pitch(14, 26);
    for (int x0 = -20; x0 < Canvas::kW;) {
        const int w = width(rng), y0 = top(rng), v = tone(rng), px = pitch(rng), py = pitch(rng);
        for (int y = y0; y < 820; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                const bool window = (x - x0) % px >= 5 && (x - x0) % px < px - 3 &&
                                    (y - y0) % py >= 6 && (y - y0) % py < py - 2;
                const double g = 25 * grime.at(std::max(0, x), y);
                // Each window lit, dark or curtained in its own way.
                std::uint64_t id = static_cast<std::uint64_t>(((x - x0) / px) * 7919 +
                                                              ((y - y0) / py) * 104729 + x0 + 977);
                id = (id ^ (id >> 30)) * 0xBF58476D1CE4E5B9ull;
                id = (id ^ (id >> 27)) * 0x94D049BB133111EBull;
                const double lit = double((id ^ (id >> 31)) & 255) * 0.6;
                if (window) c.put(x, y, 50 + lit + g, 45 + lit + g, 40 + 0.8 * lit + g);
                else c.put(x, y, v * 0.9 + g, v + g, v * 0.95 + g);
            }
        x0 += w + static_cast<int>(rng() % 20);
    }
    for (int y = 820; y < Canvas::kH; ++y)
        for (int x = 0; x < Canvas::kW; ++x) {
            const double g = 80 + 40 * grime.at(x, y);
            c.put(x, y, g, g, g);
        }
    return c;
}

// Smooth blobs at two scales, in colour.
Canvas Blobs(unsigned seed) {
    Canvas c;
    std::mt19937 rng(seed);
    const Fractal coarse(rng, 24, 1), fine(rng, 6, 1);
    for (int y = 0; y < Canvas::kH; ++y)
        for (int x = 0; x < Canvas::kW; ++x) {
            const double v = 127.5 + 127.5 * (0.7 * coarse.at(x, y) + 0.3 * fine.at(x, y));
            c.put(x, y, v, 255 - v, std::fmod(v * 3, 256));
        }
    return c;
}

struct NamedCanvas {
    std::string name;
    Canvas canvas;
};

const std::vector<NamedCanvas>& scenes() {
    static const std::vector<NamedCanvas> all = [] {
        std::vector<NamedCanvas> v;
        v.push_back({"landscape 1", Landscape(1)});
        v.push_back({"landscape 2", Landscape(2)});
        v.push_back({"landscape 3", Landscape(3)});
        v.push_back({"street", Street(4)});
        v.push_back({"blobs", Blobs(7)});
        return v;
    }();
    return all;
}

// The previous shot's corner in every canvas.
constexpr int kShotLeft = 420, kShotTop = 400;

// Thickness axis: + towards the inside of the live picture (the camera has not turned far
// enough yet), - beyond it (turned too far). Across: + right or down.
struct Offset {
    int along, across;
};

// The reading's (dx, dy) that an offset stands for.
void TrueShift(std::uint32_t direction, Offset o, int& dx, int& dy) {
    switch (direction) {
        case 1: dx = o.along, dy = o.across; break;
        case 2: dx = -o.along, dy = o.across; break;
        case 3: dy = o.along, dx = o.across; break;
        default: dy = -o.along, dx = o.across; break;
    }
}

// The live picture that continues the strip of a shot at (left, top), then shifted by (dx, dy).
void LiveCorner(std::uint32_t direction, int dx, int dy, int& left, int& top) {
    left = kShotLeft - dx;
    top = kShotTop - dy;
    if (direction == 1) left += 240;
    if (direction == 2) left -= 240;
    if (direction == 3) top += 160;
    if (direction == 4) top -= 160;
}

// Whether the search can find the strip's content: at least half its thickness in the picture,
// across within the search.
bool InReach(std::uint32_t direction, Offset o) {
    const int size = direction <= 2 ? FrameBuffers::kWidth : FrameBuffers::kHeight;
    return o.along > -40 && o.along < size - 40 && std::abs(o.across) < kOverlapAcross;
}

// What the table found.
struct Tally {
    int readings = 0, inReach = 0, detected = 0, falseGuidance = 0;
    int lowestTrueScore = 101, highestFalseScore = -1;
    std::string worstFalse, lowestTrue;
    // Per direction: along offsets (across 0 and in reach) where the reading was right.
    std::map<std::uint32_t, std::vector<int>> detectedAlong, missedAlong;
    std::map<std::string, std::vector<int>> trueScores, falseScores;

    void add(const std::string& where, std::uint32_t direction, Offset o, bool reachable,
             const OverlapEstimate& e) {
        ++readings;
        int tx = 0, ty = 0;
        TrueShift(direction, o, tx, ty);
        // Unrelated scenes have no true place; a picture of the same scene has one even where
        // the search cannot reach it.
        const bool related = where.find(" on ") == std::string::npos;
        const bool right = related && std::abs(e.dx - tx) <= 3 && std::abs(e.dy - ty) <= 3;
        const std::string text = where + " dir " + std::to_string(direction) + " along " +
                                 std::to_string(o.along) + " across " + std::to_string(o.across) +
                                 ": " + OverlapText(e) + " (best " + std::to_string(e.dx) + "," +
                                 std::to_string(e.dy) + " score " + std::to_string(e.score) +
                                 " runner-up " + std::to_string(e.runnerUp) +
                                 (e.atEdge ? " at edge" : "") + ")";
        if (reachable) ++inReach;
        const std::string scene = where.substr(0, where.find(" on "));
        if (right && !e.atEdge && e.score - e.runnerUp >= kOverlapMinLead)
            trueScores[scene].push_back(e.score);
        if (!right && !e.atEdge && e.score - e.runnerUp >= kOverlapMinLead)
            falseScores[where.find(" on ") != std::string::npos ? "unrelated" : scene].push_back(
                e.score);
        if (e.match && right) {
            ++detected;
            if (e.score < lowestTrueScore) lowestTrueScore = e.score, lowestTrue = text;
        }
        if (e.match && !right) {
            ++falseGuidance;
            ADD_FAILURE() << "false guidance: " << text;
        }
        // A false match: the best shift is wrong, not merely at the search's border, and leads
        // the other shifts (a repeated pattern that matches as well elsewhere is ambiguous).
        if (!right && !e.atEdge && e.score - e.runnerUp >= kOverlapMinLead &&
            e.score > highestFalseScore)
            highestFalseScore = e.score, worstFalse = text;
        if (reachable && o.across == 0)
            (e.match && right ? detectedAlong : missedAlong)[direction].push_back(o.along);
    }
};

void Report(const Tally& t) {
    std::printf(
        "overlap table: %d readings, %d in reach, %d detected (%.1f %%), false guidance "
        "%d (%.2f %% of all readings)\n",
        t.readings, t.inReach, t.detected, 100.0 * t.detected / std::max(1, t.inReach),
        t.falseGuidance, 100.0 * t.falseGuidance / std::max(1, t.readings));
    std::printf("overlap table: lowest true score shown %d (%s)\n", t.lowestTrueScore,
                t.lowestTrue.c_str());
    std::printf("overlap table: highest false-match score %d (%s)\n", t.highestFalseScore,
                t.worstFalse.c_str());
    auto spread = [](const char* what, const std::map<std::string, std::vector<int>>& m) {
        for (auto [scene, v] : m) {
            std::sort(v.begin(), v.end());
            auto at = [&v](double q) { return v[static_cast<std::size_t>(q * (v.size() - 1))]; };
            std::printf("overlap table: %s scores, %s: %zu, min %d, 5%% %d, median %d, max %d\n",
                        what, scene.c_str(), v.size(), v.front(), at(0.05), at(0.5), v.back());
        }
    };
    spread("true", t.trueScores);
    spread("false", t.falseScores);
    for (const auto& [direction, along] : t.detectedAlong) {
        const auto [lo, hi] = std::minmax_element(along.begin(), along.end());
        const auto missed = t.missedAlong.count(direction) ? t.missedAlong.at(direction).size() : 0;
        std::printf("overlap table: direction %u detected along %d..%d px (%zu of %zu offsets)\n",
                    direction, *lo, *hi, along.size(), along.size() + missed);
    }
}

std::vector<int> Steps(int from, int to, int step) {
    std::vector<int> v;
    for (int i = from; i <= to; i += step) v.push_back(i);
    return v;
}

TEST(OverlapEstimate, TableOfKnownOffsetsAndUnrelatedScenes) {
    Tally tally;
    unsigned noise = 1;
    const int across[] = {0, 6, -13, 27, -38, 55, -120};
    // Real-looking pictures, every direction, offsets up to half a frame each way and beyond.
    for (const NamedCanvas& scene : scenes()) {
        for (std::uint32_t direction = 1; direction <= 4; ++direction) {
            const auto shot = scene.canvas.frame(kShotLeft, kShotTop, noise++, 1.0);
            FrameBuffers::Strip strip{};
            CutStrip(*shot, direction, strip);
            const bool side = direction <= 2;
            for (int along : side ? Steps(-160, 300, 40) : Steps(-120, 220, 40))
                for (int a : across) {
                    const Offset o{along, a};
                    int dx = 0, dy = 0, left = 0, top = 0;
                    TrueShift(direction, o, dx, dy);
                    LiveCorner(direction, dx, dy, left, top);
                    const double gain = 0.95 + 0.01 * (noise % 11);
                    const auto live = scene.canvas.frame(left, top, noise++, gain);
                    tally.add(scene.name, direction, o, InReach(direction, o),
                              EstimateOverlap(*live, strip, direction));
                }
        }
    }
    // The simulated cameras' panorama drifting past (half a pixel a frame), as in the window.
    {
        std::vector<std::uint8_t> buffer(sdk::kFrameBytes);
        auto render = [&buffer](std::uint64_t index) {
            sim::Simulator::renderFrame(buffer.data(), index, 1.0);
            auto f = std::make_unique<Frame>();
            std::memcpy(f->data(), buffer.data() + FrameBuffers::kHeaderBytes, f->size());
            return f;
        };
        for (std::uint32_t direction : {1u, 2u}) {
            for (std::uint64_t start : {4000u, 4700u, 5300u}) {
                const auto shot = render(start);
                FrameBuffers::Strip strip{};
                CutStrip(*shot, direction, strip);
                for (int along : Steps(-150, 290, 20)) {
                    // Direction 1: the content drifts left, from along 240 at the shot.
                    const int drift = direction == 1 ? 240 - along : along - 240;
                    const auto live = render(start + 2 * drift);
                    const Offset o{along, 0};
                    tally.add("simulator", direction, o, InReach(direction, o),
                              EstimateOverlap(*live, strip, direction));
                }
            }
        }
    }
    // Unrelated scenes: the strip of one, the live picture of another.
    const auto& all = scenes();
    for (std::size_t a = 0; a < all.size(); ++a)
        for (std::size_t b = 0; b < all.size(); ++b) {
            if (a == b) continue;
            for (std::uint32_t direction = 1; direction <= 4; ++direction) {
                const auto shot = all[a].canvas.frame(kShotLeft, kShotTop, noise++, 1.0);
                FrameBuffers::Strip strip{};
                CutStrip(*shot, direction, strip);
                for (int i = 0; i < 6; ++i) {
                    const auto live =
                        all[b].canvas.frame(100 + 130 * i, 80 + 100 * i, noise++, 1.0);
                    tally.add(all[a].name + " on " + all[b].name, direction, {0, 0}, false,
                              EstimateOverlap(*live, strip, direction));
                }
            }
        }
    Report(tally);
    EXPECT_EQ(tally.falseGuidance, 0);
    EXPECT_LT(tally.highestFalseScore, tally.lowestTrueScore);
    EXPECT_LT(tally.highestFalseScore, kOverlapMinScore);
    // Most reachable offsets are found.
    EXPECT_GE(tally.detected, tally.inReach * 7 / 10);
}

// The case: a strip whose content is 160 px away in the live view is found there (or
// not at all), never read as a small move.
TEST(OverlapEstimate, FarContentIsFoundWhereItIs) {
    const Canvas& scene = scenes()[0].canvas;
    const auto shot = scene.frame(kShotLeft, kShotTop, 11, 1.0);
    FrameBuffers::Strip strip{};
    CutStrip(*shot, 1, strip);
    int left = 0, top = 0;
    LiveCorner(1, 160, 0, left, top);
    const OverlapEstimate e = EstimateOverlap(*scene.frame(left, top, 12, 1.0), strip, 1);
    ASSERT_TRUE(e.match) << OverlapText(e);
    EXPECT_NEAR(e.dx, 160, 3);
    EXPECT_NEAR(e.dy, 0, 3);
}

TEST(OverlapEstimate, BlackStripOrNoDirectionShowsNothing) {
    const auto live = scenes()[4].canvas.frame(0, 0, 1, 1.0);
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
