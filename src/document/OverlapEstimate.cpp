// Matching runs coarse to fine on band-passed brightness (each value less the mean of its
// 33 x 33 pixel neighbourhood, so broad gradients such as a sky do not match everywhere):
// every shift of the search at an eighth of the resolution, then the best few distinct peaks
// refined at a quarter, a half and full resolution. The score is the zero-mean normalised
// correlation of the strip with the live picture over the part they share.
#include "document/OverlapEstimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// A brightness plane, memory rows bottom-up as in the frames.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<std::int16_t> values;
    const std::int16_t* row(int y) const {
        return values.data() + static_cast<std::size_t>(y) * width;
    }
};

// Brightness of width x height pixels; transposed (columns become rows) when asked, so that a
// strip beside the picture is matched along its long side, where the inner loops are long.
// Channels: the brightness, or the colour as red less green and blue less green.
enum class Channel { Luma, RedLessGreen, BlueLessGreen };
// step 2 takes every other pixel of every other row (the colour planes, at half resolution).
Plane LumaOf(const std::uint8_t* pixels, int width, int height, std::size_t rowBytes,
             bool transpose, Channel channel = Channel::Luma, int step = 1) {
    const int w = width / step, h = height / step;
    Plane plane{transpose ? h : w, transpose ? w : h,
                std::vector<std::int16_t>(static_cast<std::size_t>(w) * h)};
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * step * rowBytes;
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = row + 3 * step * x;   // blue, green, red
            const auto v = static_cast<std::int16_t>(
                channel == Channel::Luma           ? (29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8
                : channel == Channel::RedLessGreen ? p[2] - p[1]
                                                   : p[0] - p[1]);
            if (transpose) plane.values[static_cast<std::size_t>(x) * h + y] = v;
            else plane.values[static_cast<std::size_t>(y) * w + x] = v;
        }
    }
    return plane;
}

Plane HalfOf(const Plane& in) {
    Plane out{in.width / 2, in.height / 2, {}};
    out.values.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const std::int16_t* a = in.row(2 * y);
        const std::int16_t* b = in.row(2 * y + 1);
        for (int x = 0; x < out.width; ++x)
            out.values[static_cast<std::size_t>(y) * out.width + x] = static_cast<std::int16_t>(
                (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
    }
    return out;
}

// Each value less the mean of the (2r + 1)^2 window around it (cut at the plane's border).
Plane BandPass(const Plane& in, int r) {
    const int w = in.width, h = in.height;
    std::vector<std::int32_t> sums(static_cast<std::size_t>(w + 1) * (h + 1), 0);
    for (int y = 0; y < h; ++y) {
        std::int32_t run = 0;
        const std::int16_t* src = in.row(y);
        std::int32_t* above = &sums[static_cast<std::size_t>(y) * (w + 1)];
        std::int32_t* here = above + (w + 1);
        for (int x = 0; x < w; ++x) {
            run += src[x];
            here[x + 1] = above[x + 1] + run;
        }
    }
    Plane out{w, h, std::vector<std::int16_t>(in.values.size())};
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
        const std::int32_t* top = &sums[static_cast<std::size_t>(y0) * (w + 1)];
        const std::int32_t* bottom = &sums[static_cast<std::size_t>(y1) * (w + 1)];
        const std::int16_t* src = in.row(y);
        std::int16_t* dst = out.values.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - r), x1 = std::min(w, x + r + 1);
            const std::int32_t area = (x1 - x0) * (y1 - y0);
            const std::int32_t sum = bottom[x1] - bottom[x0] - top[x1] + top[x0];
            // The mean, rounded, by a multiplication (sum < 2^19 and 2^31 / area < 2^31).
            const std::int64_t mean =
                (static_cast<std::int64_t>(sum) * (0x7FFFFFFF / area) + (1 << 30)) >> 31;
            dst[x] = static_cast<std::int16_t>(src[x] - mean);
        }
    }
    return out;
}

// Running sums of the strip's values and squares along each row, so that the sums over any
// stretch of columns cost one subtraction.
struct RowSums {
    int width = 0;
    std::vector<std::int32_t> value, square;   // (width + 1) per row, 0 first
    explicit RowSums(const Plane& strip)
        : width(strip.width),
          value(static_cast<std::size_t>(strip.width + 1) * strip.height),
          square(value.size()) {
        for (int y = 0; y < strip.height; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * (width + 1);
            const std::int16_t* s = strip.row(y);
            for (int x = 0; x < width; ++x) {
                const std::int32_t v = s[x];
                value[at + x + 1] = value[at + x] + v;
                square[at + x + 1] = square[at + x] + v * v;
            }
        }
    }
};

// One level of the pyramid: band-passed live picture and strip, with the strip's sums.
struct Level {
    Plane live, strip;
    RowSums sums;
    // radius 0: the brightness as it is.
    Level(const Plane& liveLuma, const Plane& stripLuma, int radius)
        : live(radius > 0 ? BandPass(liveLuma, radius) : liveLuma),
          strip(radius > 0 ? BandPass(stripLuma, radius) : stripLuma),
          sums(strip) {}
};

// The sums of a correlation: its covariance and the two variances (each times n squared).
struct Moments {
    double cov = 0, varS = 0, varL = 0;
    bool ok = false;
};

// Correlation (-1..1) of the strip placed at (left, bottom) in live, over the shared part; -2
// when they share less than a third of the strip or either side is flat there.
Moments MomentsAt(const Level& level, int left, int bottom);
double Correlation(const Level& level, int left, int bottom) {
    const Moments m = MomentsAt(level, left, bottom);
    if (!m.ok || m.varS <= 0 || m.varL <= 0) return -2;
    return m.cov / std::sqrt(m.varS * m.varL);
}

// The correlation of several channels at once (brightness and colour): the covariances and
// variances added up, so a channel with little in it weighs little.
double Correlation(const std::vector<Level>& channels, int left, int bottom) {
    Moments sum;
    for (const Level& level : channels) {
        const Moments m = MomentsAt(level, left, bottom);
        if (!m.ok) return -2;
        sum.cov += m.cov;
        sum.varS += m.varS;
        sum.varL += m.varL;
    }
    if (sum.varS <= 0 || sum.varL <= 0) return -2;
    return sum.cov / std::sqrt(sum.varS * sum.varL);
}

Moments MomentsAt(const Level& level, int left, int bottom) {
    const Plane& live = level.live;
    const Plane& strip = level.strip;
    const int x0 = std::max(0, -left), x1 = std::min(strip.width, live.width - left);
    const int y0 = std::max(0, -bottom), y1 = std::min(strip.height, live.height - bottom);
    if (x1 <= x0 || y1 <= y0) return {};
    const std::int64_t n = std::int64_t{x1 - x0} * (y1 - y0);
    if (3 * n < std::int64_t{strip.width} * strip.height) return {};
    std::int64_t ss = 0, ll = 0, s2 = 0, l2 = 0, sl = 0;
    for (int y = y0; y < y1; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * (level.sums.width + 1);
        ss += level.sums.value[row + x1] - level.sums.value[row + x0];
        s2 += level.sums.square[row + x1] - level.sums.square[row + x0];
        const std::int16_t* s = strip.row(y);
        const std::int16_t* l = live.row(y + bottom) + left;
        std::int32_t rl = 0, rl2 = 0, rsl = 0;   // one row fits in 32 bits
        for (int x = x0; x < x1; ++x) {
            const std::int32_t a = s[x], b = l[x];
            rl += b;
            rl2 += b * b;
            rsl += a * b;
        }
        ll += rl;
        l2 += rl2;
        sl += rsl;
    }
    return {static_cast<double>(n * sl - ss * ll), static_cast<double>(n * s2 - ss * ss),
            static_cast<double>(n * l2 - ll * ll), true};
}

struct Shift {
    int x = 0, y = 0;   // the strip's place in the live plane (not relative to the edge)
    double score = -3;
};

// The search area at one level, in that level's pixels.
struct Area {
    int x0, x1, y0, y1;   // inclusive
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The best place within reach of `around` (clamped to the area).
Shift Refine(const Level& level, const Area& area, Shift around, int reach) {
    Shift best;
    for (int y = around.y - reach; y <= around.y + reach; ++y)
        for (int x = around.x - reach; x <= around.x + reach; ++x) {
            if (!area.contains(x, y)) continue;
            const double score = Correlation(level, x, y);
            if (score > best.score) best = {x, y, score};
        }
    return best;
}

// How many distinct peaks of the coarsest level are followed down to full resolution.
constexpr int kPeaks = 4;

}   // namespace

OverlapEstimate EstimateOverlap(const FrameBuffers::Frame& live, const FrameBuffers::Strip& strip,
                                std::uint32_t direction) {
    OverlapEstimate result;
    if (direction < 1 || direction > 4) return result;
    const bool vertical = direction == 1 || direction == 2;
    const int stripWidth = vertical ? 80 : FrameBuffers::kWidth;
    const int stripHeight = vertical ? FrameBuffers::kHeight : 80;
    const Plane strip1 = LumaOf(strip.data(), stripWidth, stripHeight,
                                static_cast<std::size_t>(3 * stripWidth), vertical);
    if (*std::max_element(strip1.values.begin(), strip1.values.end()) < 4) return result;
    result.shown = true;

    // In the planes the strip runs along x (the transposed side strips too) and is 80 thick in
    // y; its content continues the live picture at y = edge (memory rows: the top of the
    // picture is the highest row).
    constexpr int kThick = 80;
    const Plane live1 = LumaOf(live.data(), FrameBuffers::kWidth, FrameBuffers::kHeight,
                               FrameBuffers::kRowBytes, vertical);
    const int edge = direction == 2   ? FrameBuffers::kWidth - kThick
                     : direction == 3 ? FrameBuffers::kHeight - kThick
                                      : 0;
    // The search at full resolution: across +-kOverlapAcross, along every place that keeps at
    // least half the strip's thickness inside the picture.
    const Area full{-kOverlapAcross, kOverlapAcross, -kThick / 2, live1.height - kThick / 2};

    // The pyramid, band-passed at the same scale (a 33-pixel window) at every level.
    std::array<Plane, 4> liveLuma{live1}, stripLuma{strip1};
    for (int i = 1; i < 4; ++i) {
        liveLuma[i] = HalfOf(liveLuma[i - 1]);
        stripLuma[i] = HalfOf(stripLuma[i - 1]);
    }
    auto areaAt = [&full](int scale) {
        auto down = [scale](int v) { return v >= 0 ? v / scale : -((-v + scale - 1) / scale); };
        auto up = [scale](int v) { return v >= 0 ? (v + scale - 1) / scale : -(-v / scale); };
        return Area{up(full.x0), down(full.x1), up(full.y0), down(full.y1)};
    };

    // Eighth resolution: every shift; its local maxima, best first.
    const Level coarse(liveLuma[3], stripLuma[3], 2);
    const Area coarseArea = areaAt(8);
    const int cw = coarseArea.x1 - coarseArea.x0 + 1, ch = coarseArea.y1 - coarseArea.y0 + 1;
    std::vector<double> grid(static_cast<std::size_t>(cw) * ch);
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
            grid[static_cast<std::size_t>(y) * cw + x] =
                Correlation(coarse, coarseArea.x0 + x, coarseArea.y0 + y);
    std::vector<Shift> peaks;
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            const double v = grid[static_cast<std::size_t>(y) * cw + x];
            if (v <= -2) continue;
            bool peak = true;
            for (int j = -1; j <= 1 && peak; ++j)
                for (int i = -1; i <= 1 && peak; ++i) {
                    if ((i == 0 && j == 0) || x + i < 0 || x + i >= cw || y + j < 0 || y + j >= ch)
                        continue;
                    const double n = grid[static_cast<std::size_t>(y + j) * cw + x + i];
                    // Of a flat top, only the first place counts.
                    peak = n < v || (n == v && (j > 0 || (j == 0 && i > 0)));
                }
            if (peak) peaks.push_back({coarseArea.x0 + x, coarseArea.y0 + y, v});
        }
    if (peaks.empty()) return result;   // no place shares enough of the strip with texture
    std::sort(peaks.begin(), peaks.end(),
              [](const Shift& a, const Shift& b) { return a.score > b.score; });
    if (peaks.size() > kPeaks) peaks.resize(kPeaks);

    // Each peak followed to full resolution. Its score is taken at half resolution, where the
    // sensor's noise (and single hot pixels) weigh less; full resolution only places it.
    const Level quarter(liveLuma[2], stripLuma[2], 4);
    const Level half(liveLuma[1], stripLuma[1], 8);
    // Full resolution only places the chosen peak within a pixel: the brightness as it is.
    const Level whole(liveLuma[0], stripLuma[0], 0);
    // Brightness and colour as they are, at half resolution.
    std::vector<Level> halfPlain;
    halfPlain.emplace_back(liveLuma[1], stripLuma[1], 0);
    for (Channel channel : {Channel::RedLessGreen, Channel::BlueLessGreen})
        halfPlain.emplace_back(
            LumaOf(live.data(), FrameBuffers::kWidth, FrameBuffers::kHeight,
                   FrameBuffers::kRowBytes, vertical, channel, 2),
            LumaOf(strip.data(), stripWidth, stripHeight, static_cast<std::size_t>(3 * stripWidth),
                   vertical, channel, 2),
            0);
    const Area quarterArea = areaAt(4);
    struct Followed {
        Shift quarter, half, full;
    };
    std::vector<Followed> followed;
    for (const Shift& peak : peaks) {
        Followed f;
        f.quarter = Refine(quarter, quarterArea, {2 * peak.x, 2 * peak.y}, 2);
        f.half = Refine(half, areaAt(2), {2 * f.quarter.x, 2 * f.quarter.y}, 1);
        // The brightness and colour as they are must agree too: a like object elsewhere, in
        // another colour or against another horizon, matches in detail but not as a whole.
        f.half.score = std::min(f.half.score, Correlation(halfPlain, f.half.x, f.half.y));
        followed.push_back(f);
    }
    std::sort(followed.begin(), followed.end(),
              [](const Followed& a, const Followed& b) { return a.half.score > b.half.score; });
    Followed& chosen = followed.front();
    // Full resolution places the chosen peak (the others are told apart at half resolution).
    chosen.full = Refine(whole, full, {2 * chosen.half.x, 2 * chosen.half.y}, 1);
    for (std::size_t i = 1; i < followed.size(); ++i)
        followed[i].full = {2 * followed[i].half.x, 2 * followed[i].half.y, followed[i].half.score};
    const Shift best = chosen.full;
    // How clearly the best place beats every other: the best distinct peak of the search...
    double lead = 1;
    for (std::size_t i = 1; i < followed.size(); ++i)
        if (std::abs(followed[i].full.x - best.x) > 4 ||
            std::abs(followed[i].full.y - best.y) > 4) {
            lead = chosen.half.score - followed[i].half.score;
            break;
        }
    // ... and the best other peak within 32 pixels at a quarter of the resolution, where a
    // repeated pattern (a row of windows) that the coarsest level blurs shows its repeats.
    {
        constexpr int kNear = 8;
        const int n = 2 * kNear + 1;
        std::vector<double> near(static_cast<std::size_t>(n) * n, -3);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const int x = chosen.quarter.x - kNear + i, y = chosen.quarter.y - kNear + j;
                if (quarterArea.contains(x, y))
                    near[static_cast<std::size_t>(j) * n + i] = Correlation(quarter, x, y);
            }
        double centre = -3, other = -3;
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const double v = near[static_cast<std::size_t>(j) * n + i];
                if (v <= -2) continue;
                bool peak = true;
                for (int b = -1; b <= 1 && peak; ++b)
                    for (int a = -1; a <= 1 && peak; ++a) {
                        if ((a == 0 && b == 0) || i + a < 0 || i + a >= n || j + b < 0 ||
                            j + b >= n)
                            continue;
                        peak = near[static_cast<std::size_t>(j + b) * n + i + a] <= v;
                    }
                if (!peak) continue;
                if (std::abs(i - kNear) <= 1 && std::abs(j - kNear) <= 1)
                    centre = std::max(centre, v);
                else other = std::max(other, v);
            }
        if (centre > -2 && other > -2) lead = std::min(lead, centre - other);
    }
    const double bestScore = chosen.half.score;
    const double runnerUp = std::max(0.0, bestScore - std::max(0.0, lead));

    auto percent = [](double v) {
        return static_cast<int>(std::lround(100 * std::clamp(v, 0.0, 1.0)));
    };
    result.score = percent(bestScore);
    result.runnerUp = percent(runnerUp);
    result.atEdge =
        best.x == full.x0 || best.x == full.x1 || best.y == full.y0 || best.y == full.y1;
    result.match = result.score >= kOverlapMinScore &&
                   result.score - result.runnerUp >= kOverlapMinLead && !result.atEdge;
    int dx = best.x, dy = best.y - edge;
    if (vertical) std::swap(dx, dy);
    result.dx = dx;
    result.dy = -dy;   // memory rows go up, the picture's y goes down
    return result;
}

std::string OverlapText(const OverlapEstimate& estimate) {
    if (!estimate.shown) return {};
    if (!estimate.match) return "Overlap: no match";
    std::string moves;
    auto add = [&moves](int amount, const char* positive, const char* negative) {
        if (amount == 0) return;
        if (!moves.empty()) moves += ", ";
        // Content sitting right of its place means the picture has to move left.
        moves += "move " + std::to_string(std::abs(amount)) + " px " +
                 (amount > 0 ? positive : negative);
    };
    add(estimate.dx, "left", "right");
    add(estimate.dy, "up", "down");
    if (moves.empty()) moves = "aligned";
    // "move 6 px left, move 3 px up" reads as "move 6 px left, 3 px up".
    const std::string repeat = ", move ";
    if (const auto at = moves.find(repeat); at != std::string::npos)
        moves.replace(at, repeat.size(), ", ");
    return "Overlap: " + moves + " - match " + std::to_string(estimate.score) + " %";
}
