// AVX2 row kernels: eight pixels per register. Only the code between the
// target pragmas is compiled for AVX2, and nothing in it has external
// linkage, so no AVX2 instruction can leak into code that runs on a
// processor without it; Avx2Kernels() itself is plain code and hands out the
// table only after asking the processor.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "graphics/ARGB8888Kernels.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "graphics/ARGB8888KernelsSimd.h"

namespace zel {
namespace {

struct VAvx2 {
    using R = __m256i;
    static constexpr int kPixels = 8;
    static constexpr int kAllPixelBits = 0xFF;
    static constexpr int kFirstOfPairBits = 0x55;

    static R Zero() { return _mm256_setzero_si256(); }
    static R Set32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static R Set16(int16_t v) { return _mm256_set1_epi16(v); }
    static R Set64(uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    static R Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint32_t* p, R v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

    static R UnpackLo8(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
    static R UnpackHi8(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
    static R PackUs16(R a, R b) { return _mm256_packus_epi16(a, b); }

    static R Add8(R a, R b) { return _mm256_add_epi8(a, b); }
    static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R Mullo16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R Min16(R a, R b) { return _mm256_min_epi16(a, b); }
    static R Max16(R a, R b) { return _mm256_max_epi16(a, b); }
    static R Srai16By7(R a) { return _mm256_srai_epi16(a, 7); }
    static R Srli16By8(R a) { return _mm256_srli_epi16(a, 8); }
    static R Srli16By1(R a) { return _mm256_srli_epi16(a, 1); }
    static R Slli16By3(R a) { return _mm256_slli_epi16(a, 3); }

    static R And(R a, R b) { return _mm256_and_si256(a, b); }
    static R AndNot(R a, R b) { return _mm256_andnot_si256(a, b); }
    static R Or(R a, R b) { return _mm256_or_si256(a, b); }
    static R CmpEq32(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
    static int MoveMask32(R a) { return _mm256_movemask_ps(_mm256_castsi256_ps(a)); }
    static R SwapPairs(R a) { return _mm256_shuffle_epi32(a, _MM_SHUFFLE(2, 3, 0, 1)); }
    static R BroadcastLane3(R a) {
        return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    }

    // Alpha blending without a colour stage in fewer steps:
    //   s + floor((d - s) * k / 128) = (s * (127 - k) + d * k + s) >> 7
    // (the sum is never negative), with 127 - k = sA >> 1. One multiply-add
    // of the interleaved (s, d) bytes by the weights (sA >> 1, 127 - (sA >> 1))
    // gives the first two terms; they stay below 32767, so it never saturates.
    static R AlphaBlend(R S, R D) {
        const R zero = _mm256_setzero_si256();
        const R half = _mm256_and_si256(_mm256_srli_epi16(S, 1), _mm256_set1_epi8(0x7F));
        const R alphaLo = _mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7,  //
                                           3, 3, 3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7);
        const R alphaHi = _mm256_setr_epi8(11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15,  //
                                           11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15);
        const R flip = _mm256_set1_epi16(0x7F00);  // (h, h) -> (h, 127 - h)
        const R wLo = _mm256_xor_si256(_mm256_shuffle_epi8(half, alphaLo), flip);
        const R wHi = _mm256_xor_si256(_mm256_shuffle_epi8(half, alphaHi), flip);
        R lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(S, D), wLo);
        R hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(S, D), wHi);
        lo = _mm256_srli_epi16(_mm256_add_epi16(lo, _mm256_unpacklo_epi8(S, zero)), 7);
        hi = _mm256_srli_epi16(_mm256_add_epi16(hi, _mm256_unpackhi_epi8(S, zero)), 7);
        return _mm256_packus_epi16(lo, hi);
    }
};

}  // namespace
}  // namespace zel

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace zel {

const TPixelKernels* Avx2Kernels() {
    static const TPixelKernels table = {
        "avx2",
        simd::BlendRow<VAvx2>,
        simd::ColourRow<VAvx2>,
        simd::CrossFadeRow<VAvx2>,
        simd::RuleRow<VAvx2>,
        simd::HalfBlendRow<VAvx2>,
        simd::ToSurface32Row<VAvx2>,
        Sse2Kernels().toSurface16Row,
        ScalarToSurface24Row,
    };
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported ? &table : nullptr;
}

}  // namespace zel
