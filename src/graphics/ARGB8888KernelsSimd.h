// The vector row kernels, written once over a register type V and compiled
// twice: with V = 128-bit SSE2 registers (four pixels) and with V = 256-bit
// AVX2 registers (eight pixels). Only ARGB8888KernelsSse2.cpp and
// ARGB8888KernelsAvx2.cpp include this file, after <immintrin.h>, <cstring>
// and <cstdint>; the AVX2 unit includes it inside its target("avx2") region,
// so everything here must stay templates on V, which each unit defines in an
// anonymous namespace: the instances then have internal linkage and the two
// instruction sets never meet in one symbol.
//
// Pixels are widened to 16-bit lanes (two pixels of four channels per
// 128-bit lane), which is where the reference rounding lives: every product
// fits in 16 bits, floor division by 128 is an arithmetic shift right by 7
// of the signed product, and the final clamp to 0..255 is the unsigned
// saturating pack. Both instruction sets unpack and pack within 128-bit
// lanes, so a widen/narrow round trip keeps the pixel order. A register type
// may offer its own V::AlphaBlend(S, D) for the hottest case, alpha blending
// with no colour stage; it must give the same bytes.
#pragma once

namespace zel::simd {

// The four channels of one colour widened to 16-bit lanes, once per pixel slot.
template <class V>
inline typename V::R ColourLanes(uint32_t colour) {
    return V::UnpackLo8(V::Set32(colour), V::Zero());
}

// Every 16-bit lane of a pixel gets that pixel's alpha lane.
template <class V>
inline typename V::R AlphaLanes(typename V::R px16) {
    return V::BroadcastLane3(px16);
}

// One blend mode on widened pixels: s (after the colour stage) over d.
template <class V, int Mode>
inline typename V::R Mix16(typename V::R s, typename V::R d) {
    using R = typename V::R;
    if constexpr (Mode == 1) {
        return s;
    } else if constexpr (Mode == 3 || Mode == 8) {
        const R sp = V::Srli16By8(V::Mullo16(s, AlphaLanes<V>(s)));
        if constexpr (Mode == 8) return V::Add16(sp, d);
        else return V::Add16(sp, V::Sub16(d, V::Srli16By8(V::Mullo16(sp, d))));
    } else {
        const R k = V::Srli16By1(V::Sub16(V::Set16(255), AlphaLanes<V>(s)));
        R x;
        if constexpr (Mode == 2) {
            x = s;
        } else if constexpr (Mode == 4) {
            x = V::Srli16By8(V::Mullo16(s, d));
        } else if constexpr (Mode == 5) {
            d = V::And(d, V::Set64(0x0000FFFFFFFFFFFFull));
            x = V::Sub16(V::Max16(s, d), V::Min16(s, d));
        } else if constexpr (Mode == 6) {
            x = V::Max16(s, d);
        } else {
            x = V::Min16(s, d);
        }
        return V::Add16(x, V::Srai16By7(V::Mullo16(V::Sub16(d, x), k)));
    }
}

// s + floor((o - s) * k / 128) on widened pixels.
template <class V>
inline typename V::R Fade16(typename V::R s, typename V::R o, typename V::R k) {
    return V::Add16(s, V::Srai16By7(V::Mullo16(V::Sub16(o, s), k)));
}

// The colour stage and a blend mode on a register of pixels.
template <class V, int Mode, bool Mul, bool Add>
struct TBlendOp {
    typename V::R mul, add, max;
    TBlendOp(uint32_t m, uint32_t a) : mul(ColourLanes<V>(m)), add(ColourLanes<V>(a & 0xFFFFFFu)), max(V::Set16(255)) {}

    typename V::R Stage(typename V::R s) const {
        if constexpr (Mul) s = V::Srli16By8(V::Mullo16(s, mul));
        if constexpr (Add) s = V::Min16(V::Add16(s, add), max);
        return s;
    }
    typename V::R operator()(typename V::R S, typename V::R D) const {
        if constexpr (Mode == 1 && !Mul && !Add) {
            return S;
        } else if constexpr (Mode == 2 && !Mul && !Add && requires { V::AlphaBlend(S, D); }) {
            return V::AlphaBlend(S, D);
        } else {
            const typename V::R z = V::Zero();
            const typename V::R lo = Mix16<V, Mode>(Stage(V::UnpackLo8(S, z)), V::UnpackLo8(D, z));
            const typename V::R hi = Mix16<V, Mode>(Stage(V::UnpackHi8(S, z)), V::UnpackHi8(D, z));
            return V::PackUs16(lo, hi);
        }
    }
};

// One register of the blit: pairs whose two source pixels have alpha 0 keep
// the destination. The test runs on one mask bit per pixel; the vector mask
// that keeps those pairs (the alpha-is-zero mask ANDed with itself swapped
// within each pair) is built only when some pair is skipped. Returns false
// when nothing in the register changes.
// OpaqueCopy: the op is alpha blending with no colour stage, where a source
// pixel of alpha 255 is its own result.
template <class V, bool OpaqueCopy, class Op>
inline bool BlendVec(typename V::R S, typename V::R D, const Op& op, typename V::R* out) {
    using R = typename V::R;
    const R alphaMask = V::Set32(0xFF000000u);
    const R alpha = V::And(S, alphaMask);
    const R zeroAlpha = V::CmpEq32(alpha, V::Zero());
    const int zeroBits = V::MoveMask32(zeroAlpha);
    const int skippedPairs = zeroBits & (zeroBits >> 1) & V::kFirstOfPairBits;
    if (skippedPairs == V::kFirstOfPairBits) return false;
    if constexpr (OpaqueCopy) {
        if (V::MoveMask32(V::CmpEq32(alpha, alphaMask)) == V::kAllPixelBits) {
            *out = S;
            return true;
        }
    }
    R r = op(S, D);
    if (skippedPairs != 0) {
        const R skip = V::And(zeroAlpha, V::SwapPairs(zeroAlpha));
        r = V::Or(V::And(skip, D), V::AndNot(skip, r));
    }
    *out = r;
    return true;
}

template <class V, bool OpaqueCopy, class Op>
inline void BlendRowV(uint32_t* dst, const uint32_t* src, int32_t pairs, const Op& op) {
    const int64_t n = 2 * int64_t{pairs};
    int64_t i = 0;
    typename V::R r;
    for (; i + V::kPixels <= n; i += V::kPixels)
        if (BlendVec<V, OpaqueCopy>(V::Load(src + i), V::Load(dst + i), op, &r)) V::Store(dst + i, r);
    if (i < n) {
        // The last pairs go through a padded copy; the zero padding forms
        // transparent pairs, which are skipped.
        const size_t bytes = static_cast<size_t>(n - i) * 4;
        uint32_t s[V::kPixels] = {}, d[V::kPixels] = {};
        memcpy(s, src + i, bytes);
        memcpy(d, dst + i, bytes);
        if (BlendVec<V, OpaqueCopy>(V::Load(s), V::Load(d), op, &r)) {
            V::Store(d, r);
            memcpy(dst + i, d, bytes);
        }
    }
}

template <class V, int Mode, bool Mul, bool Add>
void BlendRowInst(uint32_t* dst, const uint32_t* src, int32_t pairs, uint32_t mul, uint32_t add) {
    const TBlendOp<V, Mode, Mul, Add> op(mul, add);
    BlendRowV<V, Mode == 2 && !Mul && !Add>(dst, src, pairs, op);
}

template <class V, int Mode>
inline void BlendRowStage(uint32_t* dst, const uint32_t* src, int32_t pairs, uint32_t mul, uint32_t add) {
    const bool mulOn = mul != 0xFFFFFFFFu, addOn = (add & 0xFFFFFFu) != 0;
    if (mulOn && addOn) BlendRowInst<V, Mode, true, true>(dst, src, pairs, mul, add);
    else if (mulOn) BlendRowInst<V, Mode, true, false>(dst, src, pairs, mul, add);
    else if (addOn) BlendRowInst<V, Mode, false, true>(dst, src, pairs, mul, add);
    else BlendRowInst<V, Mode, false, false>(dst, src, pairs, mul, add);
}

template <class V>
void BlendRow(uint32_t* dst, const uint32_t* src, int32_t pairs, uint8_t mode, uint32_t mul, uint32_t add) {
    if (pairs <= 0) return;
    switch (KernelBlendMode(mode)) {
        case 2: BlendRowStage<V, 2>(dst, src, pairs, mul, add); break;
        case 3: BlendRowStage<V, 3>(dst, src, pairs, mul, add); break;
        case 4: BlendRowStage<V, 4>(dst, src, pairs, mul, add); break;
        case 5: BlendRowStage<V, 5>(dst, src, pairs, mul, add); break;
        case 6: BlendRowStage<V, 6>(dst, src, pairs, mul, add); break;
        case 7: BlendRowStage<V, 7>(dst, src, pairs, mul, add); break;
        case 8: BlendRowStage<V, 8>(dst, src, pairs, mul, add); break;
        default: BlendRowStage<V, 1>(dst, src, pairs, mul, add); break;
    }
}

// out[i] = op(a[i], b[i]) a register at a time; the last pixels go through a
// padded copy so that nothing past the row is read or written.
template <class V, class Op>
inline void RowV(uint32_t* out, const uint32_t* a, const uint32_t* b, int64_t n, const Op& op) {
    int64_t i = 0;
    for (; i + V::kPixels <= n; i += V::kPixels) V::Store(out + i, op(V::Load(a + i), V::Load(b + i)));
    if (i < n) {
        const size_t bytes = static_cast<size_t>(n - i) * 4;
        uint32_t ta[V::kPixels] = {}, tb[V::kPixels] = {};
        memcpy(ta, a + i, bytes);
        memcpy(tb, b + i, bytes);
        V::Store(ta, op(V::Load(ta), V::Load(tb)));
        memcpy(out + i, ta, bytes);
    }
}

// blend(s = colour, d = pixel), with the colour widened once.
template <class V, int Mode>
struct TColourOp {
    typename V::R colour, colour16;
    explicit TColourOp(uint32_t c) : colour(V::Set32(c)), colour16(ColourLanes<V>(c)) {}
    typename V::R operator()(typename V::R D, typename V::R) const {
        if constexpr (Mode == 1) {
            return colour;
        } else {
            const typename V::R z = V::Zero();
            return V::PackUs16(Mix16<V, Mode>(colour16, V::UnpackLo8(D, z)),
                               Mix16<V, Mode>(colour16, V::UnpackHi8(D, z)));
        }
    }
};

template <class V, int Mode>
inline void ColourRowMode(uint32_t* out, const uint32_t* in, int64_t n, uint32_t colour) {
    RowV<V>(out, in, in, n, TColourOp<V, Mode>(colour));
}

template <class V>
void ColourRow(uint32_t* out, const uint32_t* in, int32_t pairs, uint32_t colour, uint8_t mode) {
    if (pairs <= 0) return;
    const int64_t n = 2 * int64_t{pairs};
    switch (KernelBlendMode(mode)) {
        case 2: ColourRowMode<V, 2>(out, in, n, colour); break;
        case 3: ColourRowMode<V, 3>(out, in, n, colour); break;
        case 4: ColourRowMode<V, 4>(out, in, n, colour); break;
        case 5: ColourRowMode<V, 5>(out, in, n, colour); break;
        case 6: ColourRowMode<V, 6>(out, in, n, colour); break;
        case 7: ColourRowMode<V, 7>(out, in, n, colour); break;
        case 8: ColourRowMode<V, 8>(out, in, n, colour); break;
        default: ColourRowMode<V, 1>(out, in, n, colour); break;
    }
}

template <class V>
struct TCrossFadeOp {
    typename V::R k;
    explicit TCrossFadeOp(int32_t level) : k(V::Set16(static_cast<int16_t>(level))) {}
    typename V::R operator()(typename V::R S, typename V::R O) const {
        const typename V::R z = V::Zero();
        return V::PackUs16(Fade16<V>(V::UnpackLo8(S, z), V::UnpackLo8(O, z), k),
                           Fade16<V>(V::UnpackHi8(S, z), V::UnpackHi8(O, z), k));
    }
};

template <class V>
void CrossFadeRow(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t k) {
    if (pairs > 0) RowV<V>(dst, src, other, 2 * int64_t{pairs}, TCrossFadeOp<V>(k));
}

template <class V>
struct TRuleOp {
    typename V::R t, top;
    explicit TRuleOp(int32_t threshold) : t(V::Set16(static_cast<int16_t>(threshold))), top(V::Set16(255)) {}
    typename V::R Half(typename V::R s, typename V::R o) const {
        // 8 * (sA - t) lies in -2048..2296, well inside a 16-bit lane.
        typename V::R k = V::Slli16By3(V::Sub16(AlphaLanes<V>(s), t));
        k = V::Srli16By1(V::Min16(V::Max16(k, V::Zero()), top));
        return Fade16<V>(s, o, k);
    }
    typename V::R operator()(typename V::R S, typename V::R O) const {
        const typename V::R z = V::Zero();
        return V::PackUs16(Half(V::UnpackLo8(S, z), V::UnpackLo8(O, z)), Half(V::UnpackHi8(S, z), V::UnpackHi8(O, z)));
    }
};

template <class V>
void RuleRow(uint32_t* dst, const uint32_t* src, const uint32_t* other, int32_t pairs, int32_t t) {
    if (pairs > 0) RowV<V>(dst, src, other, 2 * int64_t{pairs}, TRuleOp<V>(t));
}

// (s >> 1) + (d >> 1) per byte. Not the rounding average of the vector
// units, which adds one before halving.
template <class V>
struct THalfOp {
    typename V::R low7;
    THalfOp() : low7(V::Set32(0x7F7F7F7Fu)) {}
    typename V::R operator()(typename V::R S, typename V::R D) const {
        return V::Add8(V::And(V::Srli16By1(S), low7), V::And(V::Srli16By1(D), low7));
    }
};

template <class V>
void HalfBlendRow(uint32_t* dst, const uint32_t* src, int32_t pairs) {
    if (pairs > 0) RowV<V>(dst, src, dst, 2 * int64_t{pairs}, THalfOp<V>());
}

template <class V>
struct TOpaqueOp {
    typename V::R alpha;
    TOpaqueOp() : alpha(V::Set32(0xFF000000u)) {}
    typename V::R operator()(typename V::R S, typename V::R) const { return V::Or(S, alpha); }
};

template <class V>
void ToSurface32Row(uint32_t* dst, const uint32_t* src, int32_t pairs) {
    if (pairs > 0) RowV<V>(dst, src, src, 2 * int64_t{pairs}, TOpaqueOp<V>());
}

}  // namespace zel::simd
