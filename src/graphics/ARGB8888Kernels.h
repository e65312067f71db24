// Row kernels behind the image operations of TARGB8888: every per-pixel loop
// of the blits, fills and transitions runs through one of these tables.
//
// Each kernel works on a single row of already clipped pixels and on whole
// horizontal pairs (a row of `pairs` pairs is 2 * pairs pixels). The scalar
// table is the reference, written straight from the pixel formulas; the SSE2
// and AVX2 tables must produce the same bytes for every input. The table in
// use is picked once at start-up from what the processor offers and can be
// forced with the environment variable ZEL_PIXEL_KERNELS=scalar|sse2|avx2.
//
// Pixel arithmetic, per 8-bit channel, s = source after the colour stage,
// d = destination, sA = source alpha, k = (255 - sA) >> 1, floor() rounding
// toward minus infinity, every result clamped to 0..255:
//   copy        r = s
//   alpha (2)   r = s + floor((d - s) * k / 128)
//   screen (3)  s' = (s * sA) >> 8; r = s' + d - ((s' * d) >> 8)
//   multiply(4) m = (s * d) >> 8;   r = m + floor((d - m) * k / 128)
//   diff (5)    d's alpha read as 0; x = |s - d|; r = x + floor((d - x) * k / 128)
//   lighten (6) x = max(s, d);     r = x + floor((d - x) * k / 128)
//   darken (7)  x = min(s, d);     r = x + floor((d - x) * k / 128)
//   add (8)     s' = (s * sA) >> 8; r = s' + d
// Colour stage: c := (c * mul_c) >> 8 on all four channels unless mul is
// 0xFFFFFFFF, then c := min(255, c + add_c) on B, G, R unless add is 0.
#pragma once

#include <cstdint>

namespace zel {

// Kernel mode of a blend-mode byte: only the low 7 bits count, and every
// value outside 2..8 is a copy (returned as 1).
constexpr int KernelBlendMode(uint8_t mode) {
    const int m = mode & 0x7F;
    return (m >= 2 && m <= 8) ? m : 1;
}

struct TPixelKernels {
    const char* name;

    // Blit of one row: a pair whose two source pixels both have alpha 0 is
    // skipped (the destination keeps both pixels); every other pair goes
    // through the colour stage (mul, add) and the blend `mode` (a mode byte).
    void (*blendRow)(uint32_t* dst, const uint32_t* src, int32_t pairs, uint8_t mode, uint32_t mul, uint32_t add);

    // out[i] = blend(s = colour, d = in[i]) with no colour stage and no pair
    // skipping; a copy mode stores the colour. out may be the same row as in.
    void (*colourRow)(uint32_t* out, const uint32_t* in, int32_t pairs, uint32_t colour, uint8_t mode);

    // dst = s + floor((o - s) * k / 128) on all four channels, k in 0..127.
    void (*crossFadeRow)(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t k);

    // Wipe by a rule: per pixel k = clamp(8 * (sA - t), 0, 255) >> 1 with sA
    // the alpha of src, then dst = s + floor((o - s) * k / 128) on all four
    // channels. t is in -32..256. other may be the same row as dst.
    void (*ruleRow)(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t t);

    // dst = (s >> 1) + (d >> 1) on every byte.
    void (*halfBlendRow)(uint32_t* dst, const uint32_t* src, int32_t pairs);

    // Surface conversions: 32 bits = the pixel with alpha 0xFF (pairs);
    // 16 bits in groups of four pixels, 5-6-5 or 5-5-5 by truncation;
    // 24 bits = the bytes B, G, R of every pixel.
    void (*toSurface32Row)(uint32_t* dst, const uint32_t* src, int32_t pairs);
    void (*toSurface16Row)(uint16_t* dst, const uint32_t* src, int32_t groups, bool rgb565);
    void (*toSurface24Row)(uint8_t* dst, const uint32_t* src, int32_t pixels);
};

enum class TKernelLevel { Scalar, Sse2, Avx2 };

const TPixelKernels& ScalarKernels();
const TPixelKernels& Sse2Kernels();
// nullptr when the processor has no AVX2.
const TPixelKernels* Avx2Kernels();

// The table the image operations use.
const TPixelKernels& ActiveKernels();
// Switches the table the image operations use (tests and benchmarks compare
// the levels); a level the processor lacks falls back to the best one below
// it. Returns the level now in effect.
TKernelLevel SelectKernels(TKernelLevel level);
TKernelLevel ActiveKernelLevel();
// The best level this processor runs.
TKernelLevel BestKernelLevel();

// The reference 24-bit conversion, which the vector tables share.
void ScalarToSurface24Row(uint8_t* dst, const uint32_t* src, int32_t pixels);

}  // namespace zel
