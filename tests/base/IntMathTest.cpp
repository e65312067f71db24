#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "base/IntMath.h"

using namespace zel;

TEST(IntMath, WrappingArithmetic) {
    EXPECT_EQ(WrapAdd(INT_MAX, 1), INT_MIN);
    EXPECT_EQ(WrapSub(INT_MIN, 1), INT_MAX);
    EXPECT_EQ(WrapMul(65536, 65536), 0);
    EXPECT_EQ(WrapMul(INT_MAX, 2), -2);
    EXPECT_EQ(WrapNeg(INT_MIN), INT_MIN);
    EXPECT_EQ(WrapDiv(INT_MIN, -1), INT_MIN);
    EXPECT_EQ(WrapMod(INT_MIN, -1), 0);
    EXPECT_EQ(WrapDiv(-7, 2), -3);
    EXPECT_EQ(WrapMod(-7, 2), -1);
    EXPECT_EQ(WrapShl(1, 33), 2);
    EXPECT_EQ(WrapShl(-1, 31), INT_MIN);
    EXPECT_EQ(WrapShrLogical(-1, 28), 15);
    EXPECT_EQ(WrapShrArith(-1, 28), -1);
}

TEST(IntMath, RoundingAndSaturation) {
    struct { double v; int32_t r; } rounds[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {1e12, INT_MAX}, {-1e12, INT_MIN},
    };
    for (auto c : rounds) EXPECT_EQ(RoundHalfEven(c.v), c.r) << c.v;
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(TruncToInt32(std::nan("")), 0);
    EXPECT_EQ(TruncToInt32(-2.9), -2);
    EXPECT_EQ(TruncToInt32(3e9), INT_MAX);
    EXPECT_EQ(TruncToInt32(-3e9), INT_MIN);
    EXPECT_EQ(TruncToInt32(INFINITY), INT_MAX);
    EXPECT_EQ(SatInt32(int64_t{1} << 40), INT_MAX);
}
