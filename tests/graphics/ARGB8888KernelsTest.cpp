// The vector row kernels against the scalar reference, and the reference
// against values worked out by hand from the pixel formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/ARGB8888Kernels.h"

using namespace zel;

namespace {

std::vector<const TPixelKernels*> VectorTables() {
    std::vector<const TPixelKernels*> t{&Sse2Kernels()};
    if (const TPixelKernels* avx2 = Avx2Kernels()) t.push_back(avx2);
    return t;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

// Index of the first differing pixel, or -1.
int64_t FirstDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<int64_t>(i);
    return -1;
}

uint32_t Grey(uint32_t alpha, uint32_t v) { return alpha << 24 | v * 0x010101u; }

}  // namespace

// The reference itself, checked against values computed by hand. Each case is
// one pair: the first pixel is the one checked, the second is opaque black so
// that the pair is never skipped.
TEST(PixelKernels, ReferenceMatchesHandComputedValues) {
    struct Case {
        const char* what;
        uint8_t mode;
        uint32_t src, dst, mul, add, expected;
    } cases[] = {
        {"alpha 0 beside an opaque pixel: 0 + floor(255*127/128)", 2, 0x00000000, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFDFDFDFD},
        {"alpha rounds toward minus infinity", 2, 0x80FFFFFF, 0x00000000, 0xFFFFFFFF, 0, 0x41818181},
        {"alpha 255 is the source", 2, 0xFF123456, 0x80ABCDEF, 0xFFFFFFFF, 0, 0xFF123456},
        {"multiply stage with 128 alpha on opaque white", 0, 0xFFFFFFFF, 0x00000000, 0x80FFFFFF, 0, 0x7FFEFEFE},
        {"screen s=d=255 overflows to 256, stored 255", 3, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF},
        {"screen with half alpha", 3, 0x80808080, 0x64646464, 0xFFFFFFFF, 0, 0x8B8B8B8B},
        {"multiply", 4, 0xFF804020, 0x80FF8040, 0xFFFFFFFF, 0, 0x7F7F2008},
        {"difference reads the destination alpha as 0", 5, 0xFF102030, 0xFF302010, 0xFFFFFFFF, 0, 0xFF200020},
        {"difference with k = 127", 5, 0x01000000, 0xFF0000FF, 0xFFFFFFFF, 0, 0x000000FF},
        {"lighten", 6, 0x80FF0000, 0xFF0000FF, 0xFFFFFFFF, 0, 0xFF8100FF},
        {"darken", 7, 0xFF00FF00, 0x80808080, 0xFFFFFFFF, 0, 0x80008000},
        {"add clamps at 255", 8, 0x80FFFFFF, 0x10F00000, 0xFFFFFFFF, 0, 0x50FF7F7F},
        {"add stage leaves alpha alone and clamps", 0, 0xFFF01000, 0, 0xFFFFFFFF, 0x00203040, 0xFFFF4040},
        {"add stage ignores the alpha byte of the add colour", 0, 0xFFF01000, 0, 0xFFFFFFFF, 0xFF203040, 0xFFFF4040},
        {"multiply then add", 0, 0xFF808080, 0, 0x80FF8040, 0x00010101, 0x7F804121},
        {"mode bit 7 is ignored", 130, 0x80FFFFFF, 0x00000000, 0xFFFFFFFF, 0, 0x41818181},
        {"mode 9 copies", 9, 0x00123456, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0x00123456},
    };
    for (const Case& c : cases) {
        uint32_t src[2] = {c.src, 0xFF000000u}, dst[2] = {c.dst, 0};
        ScalarKernels().blendRow(dst, src, 1, c.mode, c.mul, c.add);
        EXPECT_EQ(Hex(dst[0]), Hex(c.expected)) << c.what;
    }
}

TEST(PixelKernels, TransparentPairsAreSkippedInEveryMode) {
    for (const TPixelKernels* k : {&ScalarKernels(), &Sse2Kernels(), Avx2Kernels()}) {
        if (k == nullptr) continue;
        for (int mode : {0, 1, 2, 3, 8, 129}) {
            // Pair 0 both transparent (kept), pair 1 half transparent (both blended).
            uint32_t src[4] = {0x00FFFFFF, 0x00000000, 0x00FFFFFF, 0x01000000};
            uint32_t dst[4] = {0x11223344, 0x55667788, 0x11223344, 0x55667788};
            k->blendRow(dst, src, 2, static_cast<uint8_t>(mode), 0xFFFFFFFF, 0x00101010);
            EXPECT_EQ(Hex(dst[0]), "11223344") << k->name << " mode " << mode;
            EXPECT_EQ(Hex(dst[1]), "55667788") << k->name << " mode " << mode;
            uint32_t ref[2] = {0x11223344, 0x55667788};
            ScalarKernels().blendRow(ref, src + 2, 1, static_cast<uint8_t>(mode), 0xFFFFFFFF, 0x00101010);
            EXPECT_EQ(Hex(dst[2]), Hex(ref[0])) << k->name << " mode " << mode;
            EXPECT_EQ(Hex(dst[3]), Hex(ref[1])) << k->name << " mode " << mode;
            if (mode == 0 || mode == 1 || mode == 129) {
                EXPECT_NE(Hex(dst[2]), "11223344") << "a pair with one visible pixel is drawn";
            }
        }
    }
}

// Every (source, destination, source alpha) byte triple through each blend
// mode, and every destination alpha for each source alpha. One row per
// (sA, dbase): its pixels hold the source values 0..255 in B, G and R with
// alpha sA over destinations holding dbase, dbase + 86 and dbase + 172 in
// their colour channels (together every value) and alphas 0..255. Source
// alpha 0 would make every pair transparent and skipped, so there each test
// pixel gets an opaque partner instead.
class BlendExhaustive : public ::testing::TestWithParam<int> {};

TEST_P(BlendExhaustive, VectorKernelsMatchReference) {
    const uint8_t mode = static_cast<uint8_t>(GetParam());
    const auto tables = VectorTables();
    std::vector<uint32_t> src, dst, ref, got;
    for (uint32_t sA = 0; sA < 256; ++sA) {
        // Pixel i carries test value v(i); partners (sA = 0 only) are odd pixels.
        const bool partnered = sA == 0;
        const uint32_t n = partnered ? 512 : 256;
        src.resize(n);
        dst.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t v = partnered ? i / 2 : i;
            src[i] = (partnered && (i & 1)) ? Grey(255, 255 - v) : Grey(sA, v);
        }
        for (uint32_t dbase = 0; dbase < 86; ++dbase) {
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t v = partnered ? i / 2 : i;
                dst[i] = v << 24 | ((dbase + 172) & 0xFF) << 16 | (dbase + 86) << 8 | dbase;
            }
            ref = dst;
            ScalarKernels().blendRow(ref.data(), src.data(), static_cast<int32_t>(n / 2), mode, 0xFFFFFFFF, 0);
            for (const TPixelKernels* k : tables) {
                got = dst;
                k->blendRow(got.data(), src.data(), static_cast<int32_t>(n / 2), mode, 0xFFFFFFFF, 0);
                const int64_t i = FirstDifference(ref, got);
                ASSERT_EQ(i, -1) << k->name << " mode " << int(mode) << " src " << Hex(src[i]) << " dst "
                                 << Hex(dst[i]) << ": " << Hex(got[i]) << " instead of " << Hex(ref[i]);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, BlendExhaustive, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8));

// The colour stage: every (channel, multiplier byte) and every (channel, add
// byte), each through the alpha blend, the mode where it matters most.
TEST(PixelKernels, ColourStageMatchesReferenceForEveryByte) {
    constexpr int kPairs = 256;
    std::vector<uint32_t> src(2 * kPairs), dst(2 * kPairs), ref, got;
    std::mt19937 rng(7);
    for (uint32_t j = 0; j < kPairs; ++j) {
        src[2 * j] = j * 0x01010101u;
        src[2 * j + 1] = 0xFF000000u | (255 - j) * 0x010101u;
    }
    for (auto& d : dst) d = rng();
    for (int stage = 0; stage < 2; ++stage) {
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t mul = stage == 0 ? v * 0x01010101u : 0xFFFFFFFFu;
            const uint32_t add = stage == 1 ? v * 0x010101u : 0;
            for (uint8_t mode : {2, 3, 0}) {
                ref = dst;
                ScalarKernels().blendRow(ref.data(), src.data(), kPairs, mode, mul, add);
                for (const TPixelKernels* k : VectorTables()) {
                    got = dst;
                    k->blendRow(got.data(), src.data(), kPairs, mode, mul, add);
                    const int64_t i = FirstDifference(ref, got);
                    ASSERT_EQ(i, -1) << k->name << " mode " << int(mode) << " mul " << Hex(mul) << " add " << Hex(add)
                                     << " at " << i;
                }
            }
        }
    }
}

// Random rows: odd pair counts (1, 2, 3 ...), misaligned rows, alphas biased
// to 0 and 255 so that skipped, opaque and mixed registers all occur, every
// mode byte, colour stages on and off. Nothing past the row may change.
TEST(PixelKernels, RandomRowsMatchReference) {
    std::mt19937 rng(12345);
    auto pixel = [&] {
        const uint32_t r = rng();
        const uint32_t pick = r % 4;
        const uint32_t alpha = pick == 0 ? 0 : pick == 1 ? 255 : (r >> 8) & 0xFF;
        return alpha << 24 | (rng() & 0xFFFFFF);
    };
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t pairs = 1 + static_cast<int32_t>(rng() % 24);
        const int32_t groups = static_cast<int32_t>(rng() % 8);
        const int offset = static_cast<int>(rng() % 4);
        const int n = offset + std::max(2 * pairs, 4 * groups) + 9;
        std::vector<uint32_t> src(n), dst(n), other(n);
        for (auto& p : src) p = pixel();
        for (auto& p : dst) p = pixel();
        for (auto& p : other) p = pixel();
        const uint8_t mode = static_cast<uint8_t>(rng());
        const uint32_t mul = (rng() & 1) ? 0xFFFFFFFFu : rng();
        const uint32_t add = (rng() & 1) ? 0 : rng();
        const uint32_t colour = pixel();
        const int32_t k = static_cast<int32_t>(rng() % 128);
        const int32_t t = static_cast<int32_t>(rng() % 289) - 32;

        auto run = [&](const TPixelKernels& kt, int which) {
            std::vector<uint32_t> d = dst;
            uint32_t* out = d.data() + offset;
            const uint32_t* s = src.data() + offset;
            switch (which) {
                case 0: kt.blendRow(out, s, pairs, mode, mul, add); break;
                case 1: kt.colourRow(out, out, pairs, colour, mode); break;
                case 2: kt.colourRow(out, s, pairs, colour, mode); break;
                case 3: kt.crossFadeRow(out, s, other.data() + offset, pairs, k); break;
                case 4: kt.ruleRow(out, s, other.data() + offset, pairs, t); break;
                case 5: kt.ruleRow(out, s, out, pairs, t); break;
                case 6: kt.halfBlendRow(out, s, pairs); break;
                case 7: kt.toSurface32Row(out, s, pairs); break;
                case 8: kt.toSurface16Row(reinterpret_cast<uint16_t*>(out), s, groups, true); break;
                case 9: kt.toSurface16Row(reinterpret_cast<uint16_t*>(out), s, groups, false); break;
            }
            return d;
        };
        for (int which = 0; which < 10; ++which) {
            const std::vector<uint32_t> ref = run(ScalarKernels(), which);
            for (const TPixelKernels* kt : VectorTables()) {
                const std::vector<uint32_t> got = run(*kt, which);
                const int64_t i = FirstDifference(ref, got);
                ASSERT_EQ(i, -1) << kt->name << " kernel " << which << " pairs " << pairs << " mode " << int(mode)
                                 << " at " << i << ": " << Hex(got[i]) << " instead of " << Hex(ref[i]);
            }
            // The reference leaves everything outside the row alone.
            for (int i = 0; i < offset; ++i) ASSERT_EQ(ref[i], dst[i]);
            const int end = (which == 8 || which == 9) ? offset + 2 * groups : offset + 2 * pairs;
            for (int i = end; i < n; ++i) ASSERT_EQ(ref[i], dst[i]) << "kernel " << which;
        }
    }
}

// Fills and colour blends: every source alpha, colour values at a stride of
// 17 in each channel (the per-mode arithmetic is shared with the blit and
// checked exhaustively there), every destination byte.
TEST(PixelKernels, ColourRowMatchesReference) {
    constexpr int kPairs = 128;
    std::vector<uint32_t> in(2 * kPairs), ref(2 * kPairs), got(2 * kPairs);
    for (uint32_t i = 0; i < 2 * kPairs; ++i) in[i] = i << 24 | (255 - i) << 16 | (i * 7 & 0xFF) << 8 | i;
    for (int mode = 0; mode <= 9; ++mode) {
        for (uint32_t sA = 0; sA < 256; ++sA) {
            for (uint32_t c = 0; c < 256; c += 17) {
                const uint32_t colour = sA << 24 | ((c + 172) & 0xFF) << 16 | ((c + 86) & 0xFF) << 8 | c;
                ScalarKernels().colourRow(ref.data(), in.data(), kPairs, colour, static_cast<uint8_t>(mode));
                for (const TPixelKernels* k : VectorTables()) {
                    k->colourRow(got.data(), in.data(), kPairs, colour, static_cast<uint8_t>(mode));
                    const int64_t i = FirstDifference(ref, got);
                    ASSERT_EQ(i, -1) << k->name << " mode " << mode << " colour " << Hex(colour) << " over "
                                     << Hex(in[i]);
                }
            }
        }
    }
}

// Cross-fade: every (s, o) byte pair for every k. Rule wipe: every (rule
// alpha, threshold). Half blend: every (s, d) byte pair. The four channels
// of a pixel carry four consecutive pairs.
TEST(PixelKernels, TransitionsMatchReferenceExhaustively) {
    constexpr int kPixels = 16384;
    std::vector<uint32_t> a(kPixels), b(kPixels), ref(kPixels), got(kPixels);
    for (uint32_t i = 0; i < kPixels; ++i) {
        uint32_t pa = 0, pb = 0;
        for (uint32_t c = 0; c < 4; ++c) {
            const uint32_t q = 4 * i + c;
            pa |= (q & 0xFF) << (8 * c);
            pb |= (q >> 8) << (8 * c);
        }
        a[i] = pa;
        b[i] = pb;
    }
    for (const TPixelKernels* k : VectorTables()) {
        for (int32_t level = 0; level < 128; ++level) {
            ScalarKernels().crossFadeRow(ref.data(), a.data(), b.data(), kPixels / 2, level);
            k->crossFadeRow(got.data(), a.data(), b.data(), kPixels / 2, level);
            ASSERT_EQ(FirstDifference(ref, got), -1) << k->name << " cross-fade k " << level;
        }
        ref = b;
        got = b;
        ScalarKernels().halfBlendRow(ref.data(), a.data(), kPixels / 2);
        k->halfBlendRow(got.data(), a.data(), kPixels / 2);
        ASSERT_EQ(FirstDifference(ref, got), -1) << k->name << " half blend";

        // Rule: alpha runs through every value, colours stay varied.
        std::vector<uint32_t> rule(4096), other(4096), r2(4096), g2(4096);
        std::mt19937 rng(99);
        for (uint32_t i = 0; i < 4096; ++i) {
            rule[i] = (i & 0xFF) << 24 | (rng() & 0xFFFFFF);
            other[i] = rng();
        }
        for (int32_t t = -32; t <= 256; ++t) {
            ScalarKernels().ruleRow(r2.data(), rule.data(), other.data(), 2048, t);
            k->ruleRow(g2.data(), rule.data(), other.data(), 2048, t);
            ASSERT_EQ(FirstDifference(r2, g2), -1) << k->name << " rule t " << t;
        }
    }
}

TEST(PixelKernels, HalfBlendIsNotTheRoundingAverage) {
    for (const TPixelKernels* k : {&ScalarKernels(), &Sse2Kernels(), Avx2Kernels()}) {
        if (k == nullptr) continue;
        uint32_t src[2] = {0x01FF0301, 0xFFFFFFFF}, dst[2] = {0x01FF0101, 0xFFFFFFFF};
        k->halfBlendRow(dst, src, 1);
        EXPECT_EQ(Hex(dst[0]), "00FE0100") << k->name;  // (1>>1)+(1>>1)=0, (3>>1)+(1>>1)=1, 127+127
        EXPECT_EQ(Hex(dst[1]), "FEFEFEFE") << k->name;
    }
}

TEST(PixelKernels, SurfaceConversionsTruncate) {
    const uint32_t px[4] = {0xFFFFFFFF, 0x00F8FC08, 0x12345678, 0x00000007};
    for (const TPixelKernels* k : {&ScalarKernels(), &Sse2Kernels(), Avx2Kernels()}) {
        if (k == nullptr) continue;
        uint16_t out[4];
        k->toSurface16Row(out, px, 1, true);
        EXPECT_EQ(out[0], 0xFFFF) << k->name;
        EXPECT_EQ(out[1], (0xF8 >> 3) << 11 | (0xFC >> 2) << 5 | (0x08 >> 3)) << k->name;
        EXPECT_EQ(out[2], (0x34 >> 3) << 11 | (0x56 >> 2) << 5 | (0x78 >> 3)) << k->name;
        EXPECT_EQ(out[3], 0) << k->name;
        k->toSurface16Row(out, px, 1, false);
        EXPECT_EQ(out[0], 0x7FFF) << k->name;
        EXPECT_EQ(out[1], (0xF8 >> 3) << 10 | (0xFC >> 3) << 5 | (0x08 >> 3)) << k->name;
        uint32_t out32[4];
        k->toSurface32Row(out32, px, 2);
        EXPECT_EQ(Hex(out32[1]), "FFF8FC08") << k->name;
        uint8_t out24[12];
        k->toSurface24Row(out24, px, 4);
        EXPECT_EQ(out24[3], 0x08);
        EXPECT_EQ(out24[4], 0xFC);
        EXPECT_EQ(out24[5], 0xF8);
    }
}

TEST(PixelKernels, SelectionFallsBackAndRestores) {
    const TKernelLevel before = ActiveKernelLevel();
    EXPECT_EQ(SelectKernels(TKernelLevel::Scalar), TKernelLevel::Scalar);
    EXPECT_EQ(&ActiveKernels(), &ScalarKernels());
    EXPECT_EQ(SelectKernels(TKernelLevel::Avx2), BestKernelLevel());
    SelectKernels(before);
    EXPECT_EQ(ActiveKernelLevel(), before);
}
