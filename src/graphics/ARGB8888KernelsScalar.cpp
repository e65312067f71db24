// The reference row kernels: one pixel and one channel at a time, written
// from the pixel formulas as they read. Slow, but every vector kernel is
// checked against these.
#include <cstdint>

#include "graphics/ARGB8888Kernels.h"

namespace zel {
namespace {

int Channel(uint32_t px, int c) { return static_cast<int>((px >> (8 * c)) & 0xFF); }

int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Division by 128 rounding toward minus infinity.
int FloorDiv128(int v) { return v >= 0 ? v / 128 : -((-v + 127) / 128); }

// The colour stage of a blit applied to one source pixel.
uint32_t ColourStage(uint32_t px, uint32_t mul, uint32_t add) {
    const bool mulOn = mul != 0xFFFFFFFFu;
    const bool addOn = (add & 0xFFFFFFu) != 0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        int v = Channel(px, c);
        if (mulOn) v = (v * Channel(mul, c)) >> 8;
        if (addOn && c != 3) {
            v += Channel(add, c);
            if (v > 255) v = 255;
        }
        out |= static_cast<uint32_t>(v) << (8 * c);
    }
    return out;
}

int BlendChannel(int mode, int s, int d, int sA) {
    const int k = (255 - sA) >> 1;
    int r = s;
    switch (mode) {
        case 2: r = s + FloorDiv128((d - s) * k); break;
        case 3: {
            const int sp = (s * sA) >> 8;
            r = sp + d - ((sp * d) >> 8);
            break;
        }
        case 4: {
            const int m = (s * d) >> 8;
            r = m + FloorDiv128((d - m) * k);
            break;
        }
        case 5: {
            const int x = s > d ? s - d : d - s;
            r = x + FloorDiv128((d - x) * k);
            break;
        }
        case 6: {
            const int x = s > d ? s : d;
            r = x + FloorDiv128((d - x) * k);
            break;
        }
        case 7: {
            const int x = s < d ? s : d;
            r = x + FloorDiv128((d - x) * k);
            break;
        }
        case 8: r = ((s * sA) >> 8) + d; break;
        default: r = s; break;
    }
    return ClampByte(r);
}

// One source pixel (after the colour stage) over one destination pixel.
uint32_t BlendPixel(int mode, uint32_t s, uint32_t d) {
    const int sA = Channel(s, 3);
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const int dc = (mode == 5 && c == 3) ? 0 : Channel(d, c);
        out |= static_cast<uint32_t>(BlendChannel(mode, Channel(s, c), dc, sA)) << (8 * c);
    }
    return out;
}

uint32_t Fade(uint32_t s, uint32_t o, int k) {
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const int sc = Channel(s, c);
        out |= static_cast<uint32_t>(sc + FloorDiv128((Channel(o, c) - sc) * k)) << (8 * c);
    }
    return out;
}

void BlendRow(uint32_t* dst, const uint32_t* src, int32_t pairs, uint8_t mode, uint32_t mul, uint32_t add) {
    const int m = KernelBlendMode(mode);
    for (int64_t p = 0; p < pairs; ++p) {
        const uint32_t s0 = src[2 * p], s1 = src[2 * p + 1];
        if ((s0 >> 24) == 0 && (s1 >> 24) == 0) continue;
        dst[2 * p] = BlendPixel(m, ColourStage(s0, mul, add), dst[2 * p]);
        dst[2 * p + 1] = BlendPixel(m, ColourStage(s1, mul, add), dst[2 * p + 1]);
    }
}

void ColourRow(uint32_t* out, const uint32_t* in, int32_t pairs, uint32_t colour, uint8_t mode) {
    const int m = KernelBlendMode(mode);
    for (int64_t i = 0; i < 2 * int64_t{pairs}; ++i) out[i] = BlendPixel(m, colour, in[i]);
}

void CrossFadeRow(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t k) {
    for (int64_t i = 0; i < 2 * int64_t{pairs}; ++i) dst[i] = Fade(src[i], other[i], k);
}

void RuleRow(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t t) {
    for (int64_t i = 0; i < 2 * int64_t{pairs}; ++i) {
        int v = 8 * (Channel(src[i], 3) - t);
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        dst[i] = Fade(src[i], other[i], v >> 1);
    }
}

void HalfBlendRow(uint32_t* dst, const uint32_t* src, int32_t pairs) {
    for (int64_t i = 0; i < 2 * int64_t{pairs}; ++i) {
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c)
            out |= static_cast<uint32_t>((Channel(src[i], c) >> 1) + (Channel(dst[i], c) >> 1)) << (8 * c);
        dst[i] = out;
    }
}

void ToSurface32Row(uint32_t* dst, const uint32_t* src, int32_t pairs) {
    for (int64_t i = 0; i < 2 * int64_t{pairs}; ++i) dst[i] = src[i] | 0xFF000000u;
}

void ToSurface16Row(uint16_t* dst, const uint32_t* src, int32_t groups, bool rgb565) {
    for (int64_t i = 0; i < 4 * int64_t{groups}; ++i) {
        const uint32_t r = static_cast<uint32_t>(Channel(src[i], 2));
        const uint32_t g = static_cast<uint32_t>(Channel(src[i], 1));
        const uint32_t b = static_cast<uint32_t>(Channel(src[i], 0));
        dst[i] = static_cast<uint16_t>(rgb565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                              : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    }
}

void ToSurface24Row(uint8_t* dst, const uint32_t* src, int32_t pixels) {
    for (int64_t i = 0; i < pixels; ++i) {
        dst[3 * i] = static_cast<uint8_t>(Channel(src[i], 0));
        dst[3 * i + 1] = static_cast<uint8_t>(Channel(src[i], 1));
        dst[3 * i + 2] = static_cast<uint8_t>(Channel(src[i], 2));
    }
}

constexpr TPixelKernels kScalar = {
    "scalar", BlendRow, ColourRow, CrossFadeRow, RuleRow, HalfBlendRow, ToSurface32Row, ToSurface16Row, ToSurface24Row,
};

}  // namespace

const TPixelKernels& ScalarKernels() { return kScalar; }

// The SIMD tables share the 24-bit conversion: three-byte pixels gain nothing
// from the vector units without byte shuffles, and the format is rare.
void ScalarToSurface24Row(uint8_t* dst, const uint32_t* src, int32_t pixels) { ToSurface24Row(dst, src, pixels); }

}  // namespace zel
