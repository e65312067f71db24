// SSE2 row kernels: four pixels per register. SSE2 is part of every x86-64
// processor, so this table needs no run-time check.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "graphics/ARGB8888Kernels.h"
#include "graphics/ARGB8888KernelsSimd.h"

namespace zel {
namespace {

struct VSse2 {
    using R = __m128i;
    static constexpr int kPixels = 4;
    static constexpr int kAllPixelBits = 0xF;
    static constexpr int kFirstOfPairBits = 0x5;

    static R Zero() { return _mm_setzero_si128(); }
    static R Set32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static R Set16(int16_t v) { return _mm_set1_epi16(v); }
    static R Set64(uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
    static R Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(uint32_t* p, R v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

    static R UnpackLo8(R a, R b) { return _mm_unpacklo_epi8(a, b); }
    static R UnpackHi8(R a, R b) { return _mm_unpackhi_epi8(a, b); }
    static R PackUs16(R a, R b) { return _mm_packus_epi16(a, b); }

    static R Add8(R a, R b) { return _mm_add_epi8(a, b); }
    static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R Mullo16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R Min16(R a, R b) { return _mm_min_epi16(a, b); }
    static R Max16(R a, R b) { return _mm_max_epi16(a, b); }
    static R Srai16By7(R a) { return _mm_srai_epi16(a, 7); }
    static R Srli16By8(R a) { return _mm_srli_epi16(a, 8); }
    static R Srli16By1(R a) { return _mm_srli_epi16(a, 1); }
    static R Slli16By3(R a) { return _mm_slli_epi16(a, 3); }

    static R And(R a, R b) { return _mm_and_si128(a, b); }
    static R AndNot(R a, R b) { return _mm_andnot_si128(a, b); }
    static R Or(R a, R b) { return _mm_or_si128(a, b); }
    static R CmpEq32(R a, R b) { return _mm_cmpeq_epi32(a, b); }
    static int MoveMask32(R a) { return _mm_movemask_ps(_mm_castsi128_ps(a)); }
    static R SwapPairs(R a) { return _mm_shuffle_epi32(a, _MM_SHUFFLE(2, 3, 0, 1)); }
    static R BroadcastLane3(R a) {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    }

    // Alpha blending without a colour stage, on the even (B, R) and odd
    // (G, A) bytes as 16-bit lanes instead of widened pixels: both halves of
    // a pixel's 32-bit lane share its k, so one register of weights serves
    // all four pixels, and the results (always 0..255) recombine by shift
    // and OR.
    static R AlphaBlend(R S, R D) {
        const R low = _mm_set1_epi16(0x00FF);
        R k = _mm_srli_epi32(_mm_xor_si128(S, _mm_set1_epi32(-1)), 25);  // (255 - sA) >> 1
        k = _mm_or_si128(k, _mm_slli_epi32(k, 16));
        const R sE = _mm_and_si128(S, low), dE = _mm_and_si128(D, low);
        const R sO = _mm_srli_epi16(S, 8), dO = _mm_srli_epi16(D, 8);
        const R rE = _mm_add_epi16(sE, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(dE, sE), k), 7));
        const R rO = _mm_add_epi16(sO, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(dO, sO), k), 7));
        return _mm_or_si128(rE, _mm_slli_epi16(rO, 8));
    }
};

// 16-bit surfaces: four pixels at a time into four 16-bit words. The packed
// values are sign-extended from 16 bits first so that the signed saturating
// pack keeps their low 16 bits exactly.
void ToSurface16Row(uint16_t* dst, const uint32_t* src, int32_t groups, bool rgb565) {
    const __m128i rMask = _mm_set1_epi32(rgb565 ? 0xF800 : 0x7C00);
    const __m128i gMask = _mm_set1_epi32(rgb565 ? 0x07E0 : 0x03E0);
    const __m128i bMask = _mm_set1_epi32(0x001F);
    for (int64_t g = 0; g < groups; ++g) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * g));
        __m128i v;
        if (rgb565)
            v = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(px, 8), rMask),
                                          _mm_and_si128(_mm_srli_epi32(px, 5), gMask)),
                             _mm_and_si128(_mm_srli_epi32(px, 3), bMask));
        else
            v = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(px, 9), rMask),
                                          _mm_and_si128(_mm_srli_epi32(px, 6), gMask)),
                             _mm_and_si128(_mm_srli_epi32(px, 3), bMask));
        v = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 4 * g), _mm_packs_epi32(v, v));
    }
}

constexpr TPixelKernels kSse2 = {
    "sse2",
    simd::BlendRow<VSse2>,
    simd::ColourRow<VSse2>,
    simd::CrossFadeRow<VSse2>,
    simd::RuleRow<VSse2>,
    simd::HalfBlendRow<VSse2>,
    simd::ToSurface32Row<VSse2>,
    ToSurface16Row,
    ScalarToSurface24Row,
};

}  // namespace

const TPixelKernels& Sse2Kernels() { return kSse2; }

}  // namespace zel
