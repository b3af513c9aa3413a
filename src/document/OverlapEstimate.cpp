// Matching runs coarse to fine: every shift within the search reach at quarter resolution, then
// the best one and its neighbours at half and at full resolution. The score is the zero-mean
// normalised correlation of the strip with the live picture over the part they share.
#include "document/OverlapEstimate.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// A brightness plane, memory rows bottom-up as in the frames.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> values;
    std::uint8_t at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
};

// Brightness of width x height pixels; transposed (columns become rows) when asked, so that a
// tall strip is matched along its long side, where the inner loops are long.
// Only the band of columns [x0, x1) and rows [y0, y1) is converted; the rest stays 0.
struct Band {
    int x0, x1, y0, y1;
};
Plane LumaOf(const std::uint8_t* pixels, int width, int height, std::size_t rowBytes,
             bool transpose, Band band) {
    Plane plane{transpose ? height : width, transpose ? width : height,
                std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
    for (int y = band.y0; y < band.y1; ++y) {
        const std::uint8_t* row = pixels + y * rowBytes;
        for (int x = band.x0; x < band.x1; ++x) {
            const std::uint8_t* p = row + 3 * x;   // blue, green, red
            const auto v = static_cast<std::uint8_t>((29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8);
            if (transpose) plane.values[static_cast<std::size_t>(x) * height + y] = v;
            else plane.values[static_cast<std::size_t>(y) * width + x] = v;
        }
    }
    return plane;
}

Plane HalfOf(const Plane& in) {
    Plane out{in.width / 2, in.height / 2, {}};
    out.values.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.values[static_cast<std::size_t>(y) * out.width + x] = static_cast<std::uint8_t>(
                (in.at(2 * x, 2 * y) + in.at(2 * x + 1, 2 * y) + in.at(2 * x, 2 * y + 1) +
                 in.at(2 * x + 1, 2 * y + 1) + 2) >>
                2);
    return out;
}

// Running sums of the strip's values and squares along each row, so that the sums over any
// stretch of columns cost one subtraction.
struct RowSums {
    int width = 0;
    std::vector<std::uint32_t> value, square;   // (width + 1) per row, 0 first
    explicit RowSums(const Plane& strip)
        : width(strip.width),
          value(static_cast<std::size_t>(strip.width + 1) * strip.height),
          square(value.size()) {
        for (int y = 0; y < strip.height; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * (width + 1);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = strip.at(x, y);
                value[at + x + 1] = value[at + x] + v;
                square[at + x + 1] = square[at + x] + v * v;
            }
        }
    }
};

// Correlation (-1..1) of strip placed at (left, bottom) in live, over the shared part; -2 when
// they share less than half the strip or either side is flat there.
double Correlation(const Plane& live, const Plane& strip, const RowSums& sums, int left,
                   int bottom) {
    const int x0 = std::max(0, -left), x1 = std::min(strip.width, live.width - left);
    const int y0 = std::max(0, -bottom), y1 = std::min(strip.height, live.height - bottom);
    if (x1 <= x0 || y1 <= y0) return -2;
    const std::int64_t n = std::int64_t{x1 - x0} * (y1 - y0);
    if (2 * n < std::int64_t{strip.width} * strip.height) return -2;
    std::int64_t ss = 0, ll = 0, s2 = 0, l2 = 0, sl = 0;
    for (int y = y0; y < y1; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * (sums.width + 1);
        ss += sums.value[row + x1] - sums.value[row + x0];
        s2 += sums.square[row + x1] - sums.square[row + x0];
        const std::uint8_t* s = strip.values.data() + static_cast<std::size_t>(y) * strip.width;
        const std::uint8_t* l =
            live.values.data() + static_cast<std::size_t>(y + bottom) * live.width + left;
        std::uint32_t rl = 0, rl2 = 0, rsl = 0;   // one row fits in 32 bits
        for (int x = x0; x < x1; ++x) {
            const std::uint32_t a = s[x], b = l[x];
            rl += b;
            rl2 += b * b;
            rsl += a * b;
        }
        ll += rl;
        l2 += rl2;
        sl += rsl;
    }
    const double varS = static_cast<double>(n * s2 - ss * ss);
    const double varL = static_cast<double>(n * l2 - ll * ll);
    if (varS <= 0 || varL <= 0) return -2;
    return static_cast<double>(n * sl - ss * ll) / std::sqrt(varS * varL);
}

struct Best {
    int dx = 0, dy = 0;
    double score = -3;
};

// Tries every shift within reach of (cx, cy) at one level; (left, bottom) is the edge place.
Best Search(const Plane& live, const Plane& strip, int left, int bottom, int cx, int cy,
            int reach) {
    Best best;
    const RowSums sums(strip);
    for (int dy = cy - reach; dy <= cy + reach; ++dy)
        for (int dx = cx - reach; dx <= cx + reach; ++dx) {
            const double score = Correlation(live, strip, sums, left + dx, bottom + dy);
            // Ties go to the smaller shift, so a flat match does not wander.
            if (score > best.score ||
                (score == best.score &&
                 std::abs(dx) + std::abs(dy) < std::abs(best.dx) + std::abs(best.dy)))
                best = {dx, dy, score};
        }
    return best;
}

}   // namespace

OverlapEstimate EstimateOverlap(const FrameBuffers::Frame& live, const FrameBuffers::Strip& strip,
                                std::uint32_t direction) {
    OverlapEstimate result;
    if (direction < 1 || direction > 4) return result;
    const bool vertical = direction == 1 || direction == 2;
    const int stripWidth = vertical ? 80 : FrameBuffers::kWidth;
    const int stripHeight = vertical ? FrameBuffers::kHeight : 80;
    const Plane strip1 =
        LumaOf(strip.data(), stripWidth, stripHeight, static_cast<std::size_t>(3 * stripWidth),
               vertical, Band{0, stripWidth, 0, stripHeight});
    if (*std::max_element(strip1.values.begin(), strip1.values.end()) < 4) return result;
    result.shown = true;

    // Where the strip's content stands in the live picture when the two continue each other
    // (memory rows: the top of the picture is the highest row).
    // For the tall strips the planes are transposed: x and y trade places until the end.
    int left = direction == 2 ? FrameBuffers::kWidth - 80 : 0;
    int bottom = direction == 3 ? FrameBuffers::kHeight - 80 : 0;
    if (vertical) std::swap(left, bottom);

    // Only the edge band the search can reach is read from the live picture.
    constexpr int kReach = 80 + kOverlapSearch + 4;
    constexpr int kW = FrameBuffers::kWidth, kH = FrameBuffers::kHeight;
    const Band band = direction == 1   ? Band{0, kReach, 0, kH}
                      : direction == 2 ? Band{kW - kReach, kW, 0, kH}
                      : direction == 3 ? Band{0, kW, kH - kReach, kH}
                                       : Band{0, kW, 0, kReach};
    const Plane live1 = LumaOf(live.data(), kW, kH, FrameBuffers::kRowBytes, vertical, band);
    const Plane live2 = HalfOf(live1), live4 = HalfOf(live2);
    const Plane strip2 = HalfOf(strip1), strip4 = HalfOf(strip2);

    Best best = Search(live4, strip4, left / 4, bottom / 4, 0, 0, kOverlapSearch / 4);
    best = Search(live2, strip2, left / 2, bottom / 2, 2 * best.dx, 2 * best.dy, 1);
    best = Search(live1, strip1, left, bottom, 2 * best.dx, 2 * best.dy, 1);

    result.score = static_cast<int>(std::lround(100 * std::clamp(best.score, 0.0, 1.0)));
    result.match = result.score >= kOverlapMinScore;
    if (vertical) std::swap(best.dx, best.dy);
    result.dx = best.dx;
    result.dy = -best.dy;   // memory rows go up, the picture's y goes down
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
