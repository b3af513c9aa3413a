// Histogram: a table from the 766 possible byte sums to their bins, and integer counts that
// become floats at the end (exact: a frame has far fewer than 2^24 pixels).
#include "document/HistogramCalc.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr int kSums = 766;

constexpr std::array<std::uint8_t, kSums> MakeTable() {
    std::array<std::uint8_t, kSums> table{};
    for (int sum = 0; sum < kSums; ++sum)
        table[sum] = static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(sum) * 0.333));
    return table;
}

constexpr std::array<std::uint8_t, kSums> kBinOf = MakeTable();

// (sum * kBinFactor) >> 16 gives the same bin as the table for every possible sum.
constexpr unsigned kBinFactor = 21823;
constexpr bool FactorMatchesTable() {
    for (int sum = 0; sum < kSums; ++sum)
        if (((static_cast<unsigned>(sum) * kBinFactor) >> 16) != kBinOf[sum]) return false;
    return true;
}
static_assert(FactorMatchesTable());

// Writes the bins of n pixels (3 bytes each) into bins.
void BinsPlain(const std::uint8_t* __restrict p, std::size_t n, std::uint8_t* __restrict bins) {
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned sum = unsigned(p[3 * k]) + p[3 * k + 1] + p[3 * k + 2];
        bins[k] = static_cast<std::uint8_t>((sum * kBinFactor) >> 16);
    }
}

#if defined(__x86_64__)
// Sixteen pixels at a time: the 48 bytes are split into blue, green and red lanes with byte
// shuffles, added in 16 bits and scaled with a high multiply.
__attribute__((target("ssse3"))) void BinsSsse3(const std::uint8_t* p, std::size_t n,
                                                std::uint8_t* bins) {
    const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
    const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
    const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
    const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(static_cast<short>(kBinFactor));
    std::size_t k = 0;
    for (; k + 16 <= n; k += 16, p += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i blue =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, b0), _mm_shuffle_epi8(b, b1)),
                         _mm_shuffle_epi8(c, b2));
        const __m128i green =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, g0), _mm_shuffle_epi8(b, g1)),
                         _mm_shuffle_epi8(c, g2));
        const __m128i red =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, r0), _mm_shuffle_epi8(b, r1)),
                         _mm_shuffle_epi8(c, r2));
        const __m128i sumLow = _mm_add_epi16(
            _mm_add_epi16(_mm_unpacklo_epi8(blue, zero), _mm_unpacklo_epi8(green, zero)),
            _mm_unpacklo_epi8(red, zero));
        const __m128i sumHigh = _mm_add_epi16(
            _mm_add_epi16(_mm_unpackhi_epi8(blue, zero), _mm_unpackhi_epi8(green, zero)),
            _mm_unpackhi_epi8(red, zero));
        const __m128i binLow = _mm_mulhi_epu16(sumLow, factor);
        const __m128i binHigh = _mm_mulhi_epu16(sumHigh, factor);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bins + k), _mm_packus_epi16(binLow, binHigh));
    }
    BinsPlain(p, n - k, bins + k);
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

void Bins(const std::uint8_t* p, std::size_t n, std::uint8_t* bins) {
#if defined(__x86_64__)
    if (kHasSsse3) return BinsSsse3(p, n, bins);
#endif
    BinsPlain(p, n, bins);
}

}   // namespace

int HistogramBin(int sum) { return static_cast<int>(static_cast<double>(sum) * 0.333); }

void ComputeHistogram(const std::uint8_t* pixels, int width, int height, Histogram& out) {
    // Two passes over blocks of pixels: first every pixel's bin (sixteen at a time where the
    // processor can: (sum * 21823) >> 16 equals the truncated sum * 0.333 for every sum 0..765),
    // then the counts, in eight interleaved tables so that neighbouring pixels of one colour
    // (a dark sky is mostly one bin) do not wait on each other's increments.
    constexpr int kTables = 8;
    constexpr std::size_t kBlock = 1024;
    std::array<std::array<std::uint32_t, 256>, kTables> counts{};
    std::array<std::uint8_t, kBlock> binOf;
    const std::size_t total =
        width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height)
                                : 0;
    for (std::size_t start = 0; start < total; start += kBlock) {
        const std::size_t n = std::min(kBlock, total - start);
        const std::uint8_t* bins = binOf.data();
        Bins(pixels + 3 * start, n, binOf.data());
        std::size_t k = 0;
        for (; k + kTables <= n; k += kTables)
            for (int t = 0; t < kTables; ++t) ++counts[t][bins[k + t]];
        for (; k < n; ++k) ++counts[0][bins[k]];
    }

    std::uint32_t peak = 0;
    for (int bin = 0; bin < 256; ++bin) {
        std::uint32_t c = 0;
        for (const auto& table : counts) c += table[bin];
        out.bins[bin] = static_cast<float>(c);
        peak = std::max(peak, c);
    }
    out.peak = static_cast<float>(peak);
}
