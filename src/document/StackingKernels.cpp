// Stacking loops: plain C++ for the tail and other processors, SSE2 on every x86-64, AVX2 when
// the processor has it (chosen once at start-up).
#include "document/StackingKernels.h"

#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#define KESTREL_X86 1
#include <immintrin.h>
#endif

namespace stacking {
namespace {

inline std::uint16_t SubSat(std::uint16_t a, std::uint16_t b) {
    return a > b ? static_cast<std::uint16_t>(a - b) : 0;
}
inline std::uint8_t Show(std::uint16_t sum, std::uint16_t noise) {
    const std::uint16_t v = SubSat(sum, noise);
    return v > 255 ? 255 : static_cast<std::uint8_t>(v);
}

void SubtractScalar(std::uint16_t* sum, const std::uint8_t* leaving, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) sum[i] = SubSat(sum[i], leaving[i]);
}
void AddScalar(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* pixels,
               std::uint8_t* keep, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t p = pixels[i];
        const std::uint16_t s = static_cast<std::uint16_t>(sum[i] + p);
        sum[i] = s;
        keep[i] = p;
        pixels[i] = Show(s, noise[i]);
    }
}
void ReplaceScalar(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* slot,
                   std::uint8_t* pixels, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t p = pixels[i];
        const std::uint16_t s = static_cast<std::uint16_t>(SubSat(sum[i], slot[i]) + p);
        sum[i] = s;
        slot[i] = p;
        pixels[i] = Show(s, noise[i]);
    }
}

#ifdef KESTREL_X86

// min(v, 255) for unsigned 16-bit lanes without SSE4.1: saturate at 0xFFFF, then come back.
inline __m128i Clip255(__m128i v) {
    const __m128i k = _mm_set1_epi16(static_cast<short>(0xFF00));
    return _mm_subs_epu16(_mm_adds_epu16(v, k), k);
}

void SubtractSse2(std::uint16_t* sum, const std::uint8_t* leaving, std::size_t n) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(leaving + i));
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        _mm_storeu_si128(s, _mm_subs_epu16(_mm_loadu_si128(s), _mm_unpacklo_epi8(o, zero)));
        _mm_storeu_si128(s + 1, _mm_subs_epu16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(o, zero)));
    }
    SubtractScalar(sum + i, leaving + i, n - i);
}

void AddSse2(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* pixels,
             std::uint8_t* keep, std::size_t n) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        const __m128i* z = reinterpret_cast<const __m128i*>(noise + i);
        const __m128i lo = _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(p, zero));
        const __m128i hi = _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(p, zero));
        _mm_storeu_si128(s, lo);
        _mm_storeu_si128(s + 1, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(keep + i), p);
        const __m128i vlo = Clip255(_mm_subs_epu16(lo, _mm_loadu_si128(z)));
        const __m128i vhi = Clip255(_mm_subs_epu16(hi, _mm_loadu_si128(z + 1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_packus_epi16(vlo, vhi));
    }
    AddScalar(sum + i, noise + i, pixels + i, keep + i, n - i);
}

void ReplaceSse2(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* slot,
                 std::uint8_t* pixels, std::size_t n) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + i));
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        const __m128i* z = reinterpret_cast<const __m128i*>(noise + i);
        const __m128i lo =
            _mm_add_epi16(_mm_subs_epu16(_mm_loadu_si128(s), _mm_unpacklo_epi8(o, zero)),
                          _mm_unpacklo_epi8(p, zero));
        const __m128i hi =
            _mm_add_epi16(_mm_subs_epu16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(o, zero)),
                          _mm_unpackhi_epi8(p, zero));
        _mm_storeu_si128(s, lo);
        _mm_storeu_si128(s + 1, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + i), p);
        const __m128i vlo = Clip255(_mm_subs_epu16(lo, _mm_loadu_si128(z)));
        const __m128i vhi = Clip255(_mm_subs_epu16(hi, _mm_loadu_si128(z + 1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_packus_epi16(vlo, vhi));
    }
    ReplaceScalar(sum + i, noise + i, slot + i, pixels + i, n - i);
}

// AVX2: 32 bytes a step. Widening with cvtepu8 keeps lanes in order, so the narrowing pack
// (which works per 128-bit half) is followed by a cross-lane permute.
__attribute__((target("avx2"))) inline __m256i Clip255Avx2(__m256i v) {
    return _mm256_min_epu16(v, _mm256_set1_epi16(255));
}

__attribute__((target("avx2"))) inline __m256i Narrow(__m256i lo, __m256i hi) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
}

__attribute__((target("avx2"))) void SubtractAvx2(std::uint16_t* sum, const std::uint8_t* leaving,
                                                  std::size_t n) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m128i* o = reinterpret_cast<const __m128i*>(leaving + i);
        __m256i* s = reinterpret_cast<__m256i*>(sum + i);
        _mm256_storeu_si256(
            s, _mm256_subs_epu16(_mm256_loadu_si256(s), _mm256_cvtepu8_epi16(_mm_loadu_si128(o))));
        _mm256_storeu_si256(s + 1, _mm256_subs_epu16(_mm256_loadu_si256(s + 1),
                                                     _mm256_cvtepu8_epi16(_mm_loadu_si128(o + 1))));
    }
    SubtractScalar(sum + i, leaving + i, n - i);
}

__attribute__((target("avx2"))) void AddAvx2(std::uint16_t* sum, const std::uint16_t* noise,
                                             std::uint8_t* pixels, std::uint8_t* keep,
                                             std::size_t n) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
        __m256i* s = reinterpret_cast<__m256i*>(sum + i);
        const __m256i* z = reinterpret_cast<const __m256i*>(noise + i);
        const __m256i lo = _mm256_add_epi16(_mm256_loadu_si256(s),
                                            _mm256_cvtepu8_epi16(_mm256_castsi256_si128(p)));
        const __m256i hi = _mm256_add_epi16(_mm256_loadu_si256(s + 1),
                                            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(p, 1)));
        _mm256_storeu_si256(s, lo);
        _mm256_storeu_si256(s + 1, hi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(keep + i), p);
        const __m256i vlo = Clip255Avx2(_mm256_subs_epu16(lo, _mm256_loadu_si256(z)));
        const __m256i vhi = Clip255Avx2(_mm256_subs_epu16(hi, _mm256_loadu_si256(z + 1)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), Narrow(vlo, vhi));
    }
    AddScalar(sum + i, noise + i, pixels + i, keep + i, n - i);
}

__attribute__((target("avx2"))) void ReplaceAvx2(std::uint16_t* sum, const std::uint16_t* noise,
                                                 std::uint8_t* slot, std::uint8_t* pixels,
                                                 std::size_t n) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(slot + i));
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
        __m256i* s = reinterpret_cast<__m256i*>(sum + i);
        const __m256i* z = reinterpret_cast<const __m256i*>(noise + i);
        const __m256i lo =
            _mm256_add_epi16(_mm256_subs_epu16(_mm256_loadu_si256(s),
                                               _mm256_cvtepu8_epi16(_mm256_castsi256_si128(o))),
                             _mm256_cvtepu8_epi16(_mm256_castsi256_si128(p)));
        const __m256i hi = _mm256_add_epi16(
            _mm256_subs_epu16(_mm256_loadu_si256(s + 1),
                              _mm256_cvtepu8_epi16(_mm256_extracti128_si256(o, 1))),
            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(p, 1)));
        _mm256_storeu_si256(s, lo);
        _mm256_storeu_si256(s + 1, hi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(slot + i), p);
        const __m256i vlo = Clip255Avx2(_mm256_subs_epu16(lo, _mm256_loadu_si256(z)));
        const __m256i vhi = Clip255Avx2(_mm256_subs_epu16(hi, _mm256_loadu_si256(z + 1)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + i), Narrow(vlo, vhi));
    }
    ReplaceScalar(sum + i, noise + i, slot + i, pixels + i, n - i);
}

struct Kernels {
    decltype(&SubtractScalar) subtract;
    decltype(&AddScalar) add;
    decltype(&ReplaceScalar) replace;
};

Kernels Choose() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return {SubtractAvx2, AddAvx2, ReplaceAvx2};
    return {SubtractSse2, AddSse2, ReplaceSse2};
}

const Kernels& Active() {
    static const Kernels kernels = Choose();
    return kernels;
}

#else

struct Kernels {
    decltype(&SubtractScalar) subtract;
    decltype(&AddScalar) add;
    decltype(&ReplaceScalar) replace;
};

const Kernels& Active() {
    static const Kernels kernels{SubtractScalar, AddScalar, ReplaceScalar};
    return kernels;
}

#endif

}   // namespace

void Subtract(std::uint16_t* sum, const std::uint8_t* leaving, std::size_t n) {
    Active().subtract(sum, leaving, n);
}

void Add(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* pixels, std::uint8_t* keep,
         std::size_t n) {
    Active().add(sum, noise, pixels, keep, n);
}

void Replace(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* slot,
             std::uint8_t* pixels, std::size_t n) {
    Active().replace(sum, noise, slot, pixels, n);
}

}   // namespace stacking
