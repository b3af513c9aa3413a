// Procedural scene: a 1280-pixel-wide panorama (night sky with stars and a moon, mountains,
// irregularly placed houses and trees) built once, viewed through a 320 x 240 window that drifts to the right.
#include "sdk/sim/Scene.h"

#include "sdk/sdk.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace sim::scene {
namespace {

constexpr int kPanoWidth = 1280;
constexpr int kWidth = sdk::kFrameWidth;
constexpr int kHeight = sdk::kFrameHeight;
constexpr int kRowBytes = kWidth * 3;
constexpr int kHotPixels = 48;
constexpr double kPi = 3.14159265358979323846;

struct HotPixel {
    int x, y;
    std::uint8_t bgr[3];
};

// Everything precomputed: the panorama (BGR, top-down) and the sensor's hot pixels.
struct Tables {
    std::uint8_t pano[kHeight][kPanoWidth][3];
    HotPixel hot[kHotPixels];
    std::uint8_t clamp[256 + 16];   // clamp[v + 8] = v limited to 0..255, v in -8..263
    // Sensor noise of -7..7 (triangular): each frame row reads it from a random start.
    static constexpr int kNoiseSize = 8192;
    std::int8_t noise[kNoiseSize + kRowBytes];
};

Tables gTables;

std::uint32_t xorshift(std::uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

int horizonAt(int x) {
    const double t = 2 * kPi * x / kPanoWidth;   // whole periods: the panorama wraps seamlessly
    return 150 + static_cast<int>(18 * std::sin(2 * t) + 9 * std::sin(5 * t + 1.0) +
                                  4 * std::sin(13 * t + 2.0));
}

void put(Tables& t, int x, int y, int r, int g, int b) {
    if (y < 0 || y >= kHeight) return;
    x = ((x % kPanoWidth) + kPanoWidth) % kPanoWidth;
    t.pano[y][x][0] = static_cast<std::uint8_t>(b);
    t.pano[y][x][1] = static_cast<std::uint8_t>(g);
    t.pano[y][x][2] = static_cast<std::uint8_t>(r);
}

void disc(Tables& t, int cx, int cy, int radius, int r, int g, int b) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (dx * dx + dy * dy <= radius * radius) put(t, cx + dx, cy + dy, r, g, b);
}

void box(Tables& t, int x0, int y0, int w, int h, int r, int g, int b) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) put(t, x, y, r, g, b);
}

void house(Tables& t, int x, int ground, int w, int h, int r, int g, int b) {
    box(t, x, ground - h, w, h, r, g, b);
    box(t, x + w / 3, ground - h / 2, w / 4, h / 2, 40, 30, 20);   // door
    for (int i = 0; i < w / 2; ++i)                                // roof
        box(t, x + i, ground - h - 1 - i, w - 2 * i, 1, 150, 40, 30);
}

void tree(Tables& t, int x, int ground, int size) {
    box(t, x - 2, ground - size, 4, size, 90, 60, 30);
    disc(t, x, ground - size - size / 3, size / 2, 30, 110 + size % 40, 40);
}

void build(Tables& t) {
    std::uint32_t seed = 0x9E3779B9u;
    for (int x = 0; x < kPanoWidth; ++x) {
        const int horizon = horizonAt(x);
        for (int y = 0; y < kHeight; ++y) {
            if (y < horizon) {   // sky: deep blue at the top, lighter towards the horizon
                const int k = y * 255 / 150;
                put(t, x, y, 10 + k / 6, 20 + k / 4, 60 + k / 3);
            } else {   // ground: green fading to brown towards the bottom
                const int k = (y - horizon) * 255 / std::max(1, kHeight - horizon);
                put(t, x, y, 40 + k / 5, 100 - k / 4, 30 + k / 12);
            }
        }
    }
    for (int i = 0; i < 260; ++i) {   // stars, only in the sky
        const int x = static_cast<int>(xorshift(seed) % kPanoWidth);
        const int y = static_cast<int>(xorshift(seed) % 140);
        if (y >= horizonAt(x) - 2) continue;
        const int v = 140 + static_cast<int>(xorshift(seed) % 116);
        put(t, x, y, v, v, std::min(255, v + 20));
        if (v > 240) {   // a few bright ones with a small cross
            put(t, x - 1, y, v / 2, v / 2, v / 2);
            put(t, x + 1, y, v / 2, v / 2, v / 2);
            put(t, x, y - 1, v / 2, v / 2, v / 2);
            put(t, x, y + 1, v / 2, v / 2, v / 2);
        }
    }
    disc(t, 300, 45, 16, 235, 230, 200);   // moon
    disc(t, 306, 41, 13, 12, 24, 70);      // its shadowed part
    // Houses and trees stand irregularly, each of its own size and colour, as in a real
    // village: no stretch of the panorama repeats another (which would fool the stitch
    // overlap readout into a confident match that is not there).
    for (int i = 0; i < 8; ++i) {
        const int x = 60 + i * 160 + static_cast<int>(xorshift(seed) % 81) - 40;
        const int w = 26 + static_cast<int>(xorshift(seed) % 24);
        const int h = 18 + static_cast<int>(xorshift(seed) % 18);
        const int ground = horizonAt(x) + 25 + static_cast<int>(xorshift(seed) % 30);
        house(t, x, ground, w, h, 120 + static_cast<int>(xorshift(seed) % 120),
              110 + static_cast<int>(xorshift(seed) % 100),
              90 + static_cast<int>(xorshift(seed) % 110));
        for (int k = 0, trees = 1 + static_cast<int>(xorshift(seed) % 3); k < trees; ++k) {
            const int tx = x + w + 15 + static_cast<int>(xorshift(seed) % 90);
            tree(t, tx, horizonAt(tx) + 20 + static_cast<int>(xorshift(seed) % 40),
                 10 + static_cast<int>(xorshift(seed) % 16));
        }
    }
    for (int i = 0; i < kHotPixels; ++i) {
        HotPixel& h = t.hot[i];
        h.x = static_cast<int>(xorshift(seed) % kWidth);
        h.y = static_cast<int>(xorshift(seed) % kHeight);
        const int kind = static_cast<int>(xorshift(seed) % 4);
        h.bgr[0] = kind == 1 ? 60 : 255;
        h.bgr[1] = kind == 2 ? 60 : (kind == 0 ? 255 : 200);
        h.bgr[2] = kind == 3 ? 80 : 255;
    }
    for (int i = 0; i < 256 + 16; ++i)
        t.clamp[i] = static_cast<std::uint8_t>(std::clamp(i - 8, 0, 255));
    for (int i = 0; i < Tables::kNoiseSize; ++i) {
        const std::uint32_t r = xorshift(seed);
        t.noise[i] = static_cast<std::int8_t>(static_cast<int>(r & 7u) +
                                              static_cast<int>((r >> 3) & 7u) - 7);
    }
    for (int i = 0; i < kRowBytes; ++i) t.noise[Tables::kNoiseSize + i] = t.noise[i];
}

const Tables& tables() {
    static const bool built = (build(gTables), true);
    (void)built;
    return gTables;
}

void gainTable(std::uint8_t* lut, double brightness) {
    const int gain = std::clamp(static_cast<int>(brightness * 256 + 0.5), 4, 256 * 64);
    for (int v = 0; v < 256; ++v)
        lut[v] = static_cast<std::uint8_t>(std::min(255, (v * gain) >> 8));
}

std::uint32_t frameSeed(std::uint64_t frameIndex) {
    std::uint64_t z = frameIndex + 0x9E3779B97F4A7C15ull;   // splitmix64 step
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    const auto s = static_cast<std::uint32_t>(z ^ (z >> 31));
    return s ? s : 1u;
}

// Noise of -7..7, triangular around 0, from three bits and three bits of r.
inline int noise(std::uint32_t r) {
    return static_cast<int>(r & 7u) + static_cast<int>((r >> 3) & 7u) - 7;
}

// Box blur of n samples p[0], p[stride], ... in place, radius r, the edge samples repeated;
// tmp holds n bytes.
void blurLine(std::uint8_t* p, int n, std::ptrdiff_t stride, int r, std::uint8_t* tmp) {
    if (n <= 1 || r <= 0) return;
    for (int i = 0; i < n; ++i) tmp[i] = p[i * stride];
    const int w = 2 * r + 1;
    int sum = 0;
    for (int k = -r; k <= r; ++k) sum += tmp[std::clamp(k, 0, n - 1)];
    for (int i = 0; i < n; ++i) {
        p[i * stride] = static_cast<std::uint8_t>(sum / w);
        sum += tmp[std::min(i + r + 1, n - 1)] - tmp[std::max(i - r, 0)];
    }
}

// Blurs each third of a width x height picture of 3-byte pixels (rows rowBytes apart) by its
// radius; tmp holds max(width, height) bytes.
void blurThirds(std::uint8_t* pixels, int width, int height, std::ptrdiff_t rowBytes,
                const int radius[3], std::uint8_t* tmp) {
    for (int region = 0; region < 3; ++region) {
        const int r = radius[region];
        if (r <= 0) continue;
        const int x0 = (region * width + 2) / 3, x1 = ((region + 1) * width + 2) / 3;
        for (int y = 0; y < height; ++y)
            for (int c = 0; c < 3; ++c)
                blurLine(pixels + y * rowBytes + x0 * 3 + c, x1 - x0, 3, r, tmp);
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) blurLine(pixels + x * 3 + c, height, rowBytes, r, tmp);
    }
}

}   // namespace

double exposureBrightness(std::uint32_t av, std::uint32_t tv, std::uint32_t iso,
                          std::uint32_t exposureComp) {
    if (av == 32767) av = 16;        // "Open"
    else if (av == 32766) av = 88;   // "Max"
    else if (av < 8 || av > 112) av = 48;
    if (tv == 4) tv = 16;   // "Bulb" shown as a long exposure
    else if (tv < 16 || tv > 168) tv = 112;
    if (iso < 40 || iso > 120) iso = 72;   // "Auto" and unknown: ISO 100
    if (exposureComp > 48) exposureComp = 24;
    const double stops =
        (48.0 - av) / 8 + (112.0 - tv) / 8 + (iso - 72.0) / 8 + (24.0 - exposureComp) / 8;
    return std::clamp(std::exp2(stops), 1.0 / 64, 64.0);
}

int sceneOffset(std::uint64_t frameIndex) {
    return static_cast<int>((frameIndex / 2) % kPanoWidth);   // half a pixel a frame
}

void renderFramePixels(std::uint8_t* pixels, std::uint64_t frameIndex, double brightness,
                       const Focus& focus) {
    const Tables& t = tables();
    std::uint8_t lut[256];
    gainTable(lut, brightness);
    const std::uint8_t* clamp = t.clamp + 8;
    const int offset = sceneOffset(frameIndex);
    std::uint32_t s = frameSeed(frameIndex);
    if (focus.any()) {
        // The scene through the lens first, then the sensor: blur, then noise.
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* dst = pixels + (kHeight - 1 - y) * kRowBytes;
            for (int x = 0; x < kWidth; ++x) {
                const std::uint8_t* src = t.pano[y][(offset + x) % kPanoWidth];
                for (int c = 0; c < 3; ++c) dst[x * 3 + c] = lut[src[c]];
            }
        }
        std::uint8_t tmp[kWidth > kHeight ? kWidth : kHeight];
        blurThirds(pixels, kWidth, kHeight, kRowBytes, focus.radius, tmp);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* dst = pixels + (kHeight - 1 - y) * kRowBytes;
            const std::int8_t* n = t.noise + xorshift(s) % Tables::kNoiseSize;
            for (int i = 0; i < kRowBytes; ++i) dst[i] = clamp[dst[i] + n[i]];
        }
    }
    for (int y = 0; y < kHeight && !focus.any(); ++y) {
        std::uint8_t* dst = pixels + (kHeight - 1 - y) * kRowBytes;   // bottom-up
        const std::int8_t* n = t.noise + xorshift(s) % Tables::kNoiseSize;
        // The window may wrap around the panorama's end: copy in up to two runs.
        const int first = std::min(kWidth, kPanoWidth - offset);
        const std::uint8_t* src = t.pano[y][offset];
        for (int i = 0; i < first * 3; ++i) dst[i] = clamp[lut[src[i]] + n[i]];
        src = t.pano[y][0];
        for (int i = first * 3; i < kRowBytes; ++i) dst[i] = clamp[lut[src[i - first * 3]] + n[i]];
    }
    for (const HotPixel& h : t.hot) {
        std::uint8_t* p = pixels + (kHeight - 1 - h.y) * kRowBytes + h.x * 3;
        p[0] = std::max(p[0], h.bgr[0]);
        p[1] = std::max(p[1], h.bgr[1]);
        p[2] = std::max(p[2], h.bgr[2]);
    }
}

void renderImage(std::uint8_t* rgb, int width, int height, std::uint64_t frameIndex,
                 double brightness, const Focus& focus) {
    if (width <= 0 || height <= 0) return;
    const Tables& t = tables();
    std::uint8_t lut[256];
    gainTable(lut, brightness);
    const std::uint8_t* clamp = t.clamp + 8;
    const int offset = sceneOffset(frameIndex);
    // Per column: the two panorama columns to blend and the weight of the second (0..256).
    std::vector<int> col0(static_cast<std::size_t>(width)), col1(col0.size()), wx(col0.size());
    for (int x = 0; x < width; ++x) {
        const std::int64_t u = (static_cast<std::int64_t>(x) * kWidth << 8) / width;
        const int sx = offset + static_cast<int>(u >> 8);
        col0[x] = sx % kPanoWidth * 3;
        col1[x] = (sx + 1) % kPanoWidth * 3;
        wx[x] = static_cast<int>(u & 255);
    }
    std::uint32_t s = frameSeed(frameIndex ^ 0xABCDEFull);
    const bool blurred = focus.any();   // noise after the blur, in a pass of its own
    for (int y = 0; y < height; ++y) {
        const std::int64_t v = (static_cast<std::int64_t>(y) * kHeight << 8) / height;
        const int sy = static_cast<int>(v >> 8);
        const int wy = static_cast<int>(v & 255);
        const std::uint8_t* r0 = t.pano[sy][0];
        const std::uint8_t* r1 = t.pano[std::min(sy + 1, kHeight - 1)][0];
        std::uint8_t* dst = rgb + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const int a = col0[x], b = col1[x], w = wx[x];
            const std::uint32_t r = xorshift(s);
            for (int c = 0; c < 3; ++c) {   // panorama is BGR, the image RGB
                const int top = r0[a + c] * (256 - w) + r0[b + c] * w;
                const int bottom = r1[a + c] * (256 - w) + r1[b + c] * w;
                const int value = (top * (256 - wy) + bottom * wy) >> 16;
                dst[2 - c] = blurred ? lut[value] : clamp[lut[value] + (noise(r >> (6 * c)) >> 1)];
            }
            dst += 3;
        }
    }
    if (blurred) {
        int radius[3];
        for (int k = 0; k < 3; ++k)
            radius[k] =
                static_cast<int>(static_cast<std::int64_t>(focus.radius[k]) * width / kWidth);
        std::vector<std::uint8_t> tmp(static_cast<std::size_t>(std::max(width, height)));
        const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
        blurThirds(rgb, width, height, rowBytes, radius, tmp.data());
        for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
            const std::uint32_t r = xorshift(s);
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + c] = clamp[rgb[i * 3 + c] + (noise(r >> (6 * c)) >> 1)];
        }
    }
    for (const HotPixel& h : t.hot) {
        const int x = h.x * width / kWidth, y = h.y * height / kHeight;
        std::uint8_t* p = rgb + (static_cast<std::size_t>(y) * width + x) * 3;
        p[0] = std::max(p[0], h.bgr[2]);
        p[1] = std::max(p[1], h.bgr[1]);
        p[2] = std::max(p[2], h.bgr[0]);
    }
}

}   // namespace sim::scene
