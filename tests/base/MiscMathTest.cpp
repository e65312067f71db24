#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "base/MiscMath.h"

using namespace zel;

TEST(MiscMath, RandomIsRepeatableAndInRange) {
    ResetRandomTable();
    // The table holds the generator's outputs from seed 0; the first read uses entry 1.
    uint32_t seed = 0;
    int32_t expect[3];
    for (int i = 0; i < 3; ++i) {
        seed = seed * 0x08088405u + 1u;
        expect[i] = static_cast<int32_t>((static_cast<uint64_t>(seed) * 0x7FFFFFFFull) >> 32);
    }
    EXPECT_EQ(Random(INT_MAX), expect[1]);
    EXPECT_EQ(Random(INT_MAX), expect[2]);
    ResetRandomTable();
    for (int i = 0; i < 3000; ++i) {
        const int32_t v = Random(-10);
        EXPECT_GE(v, -5);
        EXPECT_LE(v, 4);
        const int32_t w = Random(7);
        EXPECT_GE(w, 0);
        EXPECT_LT(w, 7);
        EXPECT_EQ(Random(0), 0);
        const int32_t m = Random(INT_MIN);  // must not overflow
        EXPECT_GE(m, INT_MIN / 2);
        EXPECT_LT(m, -(INT_MIN / 2));
    }
}

TEST(MiscMath, ShortRandomTableFileReplacesOnlyWhatItHolds) {
    ResetRandomTable();
    const char bytes[] = {0x05, 0, 0, 0, 0x07, 0, 0, 0, 0x09};  // two values and a stray byte
    LoadRandomTable(std::string_view(bytes, sizeof bytes));
    EXPECT_EQ(Random(1000), 7);  // index 1
    ResetRandomTable();
}

TEST(MiscMath, AngleUnitsTable) {
    struct Case { int64_t x, y; int32_t units; } cases[] = {
        {1, 1, 128}, {-1, 0, 512}, {0, 1, 256}, {0, -1, 768}, {-1, -1, 640}, {1, -1, 896}, {-1, 1, 384},
        {0, 0, 0}, {INT_MIN, INT_MIN, 640}, {1000000, 1000000, 128},
        // Very large coordinates: no overflow of p * 1024, no index outside the table.
        {2000000000, 1, 0}, {1, 2000000000, 256}, {-2000000000, -1, 512},
    };
    for (auto c : cases) {
        EXPECT_EQ(AngleUnits(c.x, c.y), c.units) << c.x << "," << c.y;
    }
    EXPECT_EQ(AngleUnits(1, 0), 1024);  // the formula's own answer on the positive x axis
}

TEST(MiscMath, SineAndCurves) {
    EXPECT_FLOAT_EQ(SinA(256), 1.0f);
    EXPECT_FLOAT_EQ(CosA(0), 1.0f);
    EXPECT_EQ(SinA(1024 + 256), SinA(256));
    EXPECT_NEAR(SinF(1.5707964f), 1.0f, 1e-3);
    EXPECT_FLOAT_EQ(Lerp(0.25f, 8.0f, 0.0f), 2.0f);
    EXPECT_FLOAT_EQ(Lerp(0.7f, 3.0f, 3.0f), 3.0f);
    EXPECT_FLOAT_EQ(EaseA(1.0f, 10.0f, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(EaseB(0.0f, 10.0f, 0.0f), 0.0f);
    // Outside 0..1 the easing clamps instead of raising a negative base to 2.4 (NaN).
    EXPECT_FALSE(std::isnan(EaseA(1.5f, 10.0f, 0.0f)));
    EXPECT_FALSE(std::isnan(EaseB(-0.5f, 10.0f, 0.0f)));
    EXPECT_FLOAT_EQ(EaseA(1.5f, 10.0f, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(Spline(0.5f, 2, 2, 2, 2), 2.0f);
    EXPECT_FLOAT_EQ(Hermite(1, 1, 0.0f, 0, 5, 1, 0), 1.0f);
    EXPECT_FLOAT_EQ(Hermite(1, 1, 1.0f, 0, 5, 1, 0), 5.0f);
}
