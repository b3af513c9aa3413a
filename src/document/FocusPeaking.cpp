#include "document/FocusPeaking.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Marks pixels 0..count-1 of a row (each compared with the next one and the one below).
void RowPlain(const std::uint32_t* row, const std::uint32_t* below, std::uint32_t* out, int count,
              int threshold) {
    for (int x = 0; x < count; ++x) {
        const int g = static_cast<int>((row[x] >> 8) & 0xffu);
        const int right = static_cast<int>((row[x + 1] >> 8) & 0xffu);
        const int down = static_cast<int>((below[x] >> 8) & 0xffu);
        out[x] = std::abs(g - right) + std::abs(g - down) > threshold ? kPeakingColour : 0u;
    }
}

// Eight pixels at a time on all four bytes at once: saturating differences, the green byte's
// sum over the threshold chooses the colour. Exact while threshold < 255 (a saturated sum of
// 255 is still above it).
__attribute__((target("avx2"))) void RowAvx2(const std::uint32_t* row, const std::uint32_t* below,
                                             std::uint32_t* out, int count, int threshold) {
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(threshold));
    const __m256i green = _mm256_set1_epi32(0x0000ff00);
    const __m256i colour = _mm256_set1_epi32(static_cast<int>(kPeakingColour));
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x + 1));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + x));
        const __m256i dr = _mm256_or_si256(_mm256_subs_epu8(p, r), _mm256_subs_epu8(r, p));
        const __m256i dd = _mm256_or_si256(_mm256_subs_epu8(p, d), _mm256_subs_epu8(d, p));
        const __m256i over =
            _mm256_and_si256(_mm256_subs_epu8(_mm256_adds_epu8(dr, dd), limit), green);
        const __m256i flat = _mm256_cmpeq_epi32(over, _mm256_setzero_si256());
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_andnot_si256(flat, colour));
    }
    RowPlain(row + x, below + x, out + x, count - x, threshold);
}

const bool kHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

}   // namespace

void MarkPeaking(const std::uint32_t* image, int width, int height, std::size_t strideWords,
                 std::uint32_t* mask, std::size_t maskStrideWords, int threshold) {
    const bool wide = kHasAvx2 && threshold >= 0 && threshold < 255;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = image + static_cast<std::size_t>(y) * strideWords;
        // The last row compares with itself downwards: only its horizontal edges count.
        const std::uint32_t* below = y + 1 < height ? row + strideWords : row;
        std::uint32_t* out = mask + static_cast<std::size_t>(y) * maskStrideWords;
        if (width <= 0) continue;
        if (wide) RowAvx2(row, below, out, width - 1, threshold);
        else RowPlain(row, below, out, width - 1, threshold);
        out[width - 1] = 0;
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
