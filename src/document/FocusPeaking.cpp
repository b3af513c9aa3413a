#include "document/FocusPeaking.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// Marks pixels 0..count-1 of a row (each compared with the next one and the one below).
void RowPlain(const std::uint32_t* row, const std::uint32_t* below, std::uint8_t* out, int count,
              int threshold) {
    for (int x = 0; x < count; ++x) {
        const int g = static_cast<int>((row[x] >> 8) & 0xffu);
        const int right = static_cast<int>((row[x + 1] >> 8) & 0xffu);
        const int down = static_cast<int>((below[x] >> 8) & 0xffu);
        out[x] = std::abs(g - right) + std::abs(g - down) > threshold ? kPeakingMark : 0;
    }
}

// Columns done at a time on the vector path: the green bytes of two rows of them live on the
// stack.
constexpr int kChunk = 1024;

// The green bytes of pixels 0..count-1 (count >= 32), thirty-two a step, the last step ending
// at count. Each 128-bit half of a load holds four pixels: a byte shuffle puts their greens
// side by side, four loads fill a half, and a permute puts the halves in pixel order.
__attribute__((target("avx2"))) void GreensAvx2(const std::uint32_t* pixels, int count,
                                                std::uint8_t* green) {
    constexpr char z = -1;   // a shuffle index that clears the byte
    const __m256i s0 = _mm256_setr_epi8(1, 5, 9, 13, z, z, z, z, z, z, z, z, z, z, z, z, 1, 5, 9,
                                        13, z, z, z, z, z, z, z, z, z, z, z, z);
    const __m256i s1 = _mm256_setr_epi8(z, z, z, z, 1, 5, 9, 13, z, z, z, z, z, z, z, z, z, z, z, z,
                                        1, 5, 9, 13, z, z, z, z, z, z, z, z);
    const __m256i s2 = _mm256_setr_epi8(z, z, z, z, z, z, z, z, 1, 5, 9, 13, z, z, z, z, z, z, z, z,
                                        z, z, z, z, 1, 5, 9, 13, z, z, z, z);
    const __m256i s3 = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, 1, 5, 9, 13, z, z, z, z,
                                        z, z, z, z, z, z, z, z, 1, 5, 9, 13);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (int x = 0;; x = std::min(x + 32, count - 32)) {
        const auto* p = reinterpret_cast<const __m256i*>(pixels + x);
        const __m256i g =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(_mm256_loadu_si256(p), s0),
                                            _mm256_shuffle_epi8(_mm256_loadu_si256(p + 1), s1)),
                            _mm256_or_si256(_mm256_shuffle_epi8(_mm256_loadu_si256(p + 2), s2),
                                            _mm256_shuffle_epi8(_mm256_loadu_si256(p + 3), s3)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(green + x),
                            _mm256_permutevar8x32_epi32(g, order));
        if (x == count - 32) break;
    }
}

// Marks 0..count-1 (count >= 32) from the greens of the row (count + 1 of them, the last
// being the right neighbour of the last pixel) and of the row below: saturating differences,
// their saturating sum less the threshold, and that clamped to 1. Exact while threshold < 255
// (a saturated sum of 255 is still above it).
__attribute__((target("avx2"))) void MarkGreensAvx2(const std::uint8_t* green,
                                                    const std::uint8_t* below, std::uint8_t* out,
                                                    int count, int threshold) {
    static_assert(kPeakingMark == 1, "the clamp to 1 is the mark");
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(threshold));
    const __m256i one = _mm256_set1_epi8(1);
    for (int x = 0;; x = std::min(x + 32, count - 32)) {
        const __m256i g = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(green + x));
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(green + x + 1));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + x));
        const __m256i dr = _mm256_or_si256(_mm256_subs_epu8(g, r), _mm256_subs_epu8(r, g));
        const __m256i dd = _mm256_or_si256(_mm256_subs_epu8(g, d), _mm256_subs_epu8(d, g));
        const __m256i over = _mm256_subs_epu8(_mm256_adds_epu8(dr, dd), limit);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_min_epu8(over, one));
        if (x == count - 32) break;
    }
}

// The whole picture on the vector path (width - 1 >= 32), in column chunks: each row's greens
// are taken once and serve as the row below of the row before.
__attribute__((target("avx2"))) void MarkAvx2(const std::uint32_t* image, int width, int height,
                                              std::size_t strideWords, std::uint8_t* mask,
                                              std::size_t maskStride, int threshold) {
    alignas(32) std::uint8_t rows[2][kChunk + 1];
    const int count = width - 1;
    for (int x0 = 0; x0 < count; x0 += kChunk) {
        const int x1 = std::min(x0 + kChunk, count);
        const int from = std::min(x0, x1 - 32);   // a narrow last chunk overlaps the one before
        const int n = x1 - from;
        std::uint8_t* green = rows[0];
        std::uint8_t* below = rows[1];
        GreensAvx2(image + from, n + 1, green);
        for (int y = 0; y < height; ++y) {
            // The last row compares with itself downwards: only its horizontal edges count.
            if (y + 1 < height)
                GreensAvx2(image + static_cast<std::size_t>(y + 1) * strideWords + from, n + 1,
                           below);
            else below = green;
            MarkGreensAvx2(green, below, mask + static_cast<std::size_t>(y) * maskStride + from, n,
                           threshold);
            std::swap(green, below);
        }
    }
}

const bool kHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

}   // namespace

void MarkPeaking(const std::uint32_t* image, int width, int height, std::size_t strideWords,
                 std::uint8_t* mask, std::size_t maskStride, int threshold) {
    if (width <= 0) return;
    for (int y = 0; y < height; ++y) mask[static_cast<std::size_t>(y) * maskStride + width - 1] = 0;
    if (kHasAvx2 && threshold >= 0 && threshold < 255 && width - 1 >= 32) {
        MarkAvx2(image, width, height, strideWords, mask, maskStride, threshold);
        return;
    }
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = image + static_cast<std::size_t>(y) * strideWords;
        // The last row compares with itself downwards: only its horizontal edges count.
        const std::uint32_t* below = y + 1 < height ? row + strideWords : row;
        RowPlain(row, below, mask + static_cast<std::size_t>(y) * maskStride, width - 1, threshold);
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
