// Integer helpers for script arithmetic and timing: 32-bit two's complement
// wrap-around without undefined behaviour, saturating float conversions and
// the banker's rounding used wherever a value is rounded.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace zel {

constexpr int32_t WrapAdd(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
constexpr int32_t WrapSub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
constexpr int32_t WrapMul(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }
constexpr int32_t WrapNeg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
// Truncating division; INT_MIN / -1 gives INT_MIN. b must not be 0.
constexpr int32_t WrapDiv(int32_t a, int32_t b) { return (b == -1) ? WrapNeg(a) : a / b; }
// Remainder with the sign of the dividend; INT_MIN % -1 gives 0. b must not be 0.
constexpr int32_t WrapMod(int32_t a, int32_t b) { return (b == -1) ? 0 : a % b; }
// Shifts as the x86 shift instructions do: the count is taken modulo 32.
constexpr int32_t WrapShl(int32_t a, int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(a) << (n & 31)); }
// Logical right shift of the 32-bit pattern.
constexpr int32_t WrapShrLogical(int32_t a, int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(a) >> (n & 31)); }
// Arithmetic right shift (floor division by a power of two).
constexpr int32_t WrapShrArith(int32_t a, int32_t n) { return a >> (n & 31); }

// Saturates a 64-bit value to the 32-bit range.
constexpr int32_t SatInt32(int64_t v) {
    return v > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
         : v < std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::min()
                                                   : static_cast<int32_t>(v);
}

// Float to integer with truncation toward zero, saturating; NaN gives 0.
inline int32_t TruncToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
inline int64_t TruncToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

// Rounds to the nearest integer, halves to the even neighbour; saturating, NaN gives 0.
inline int64_t RoundHalfEven64(double v) {
    if (std::isnan(v)) return 0;
    return TruncToInt64(std::nearbyint(v));  // default rounding mode is to-nearest-even
}
inline int32_t RoundHalfEven(double v) {
    if (std::isnan(v)) return 0;
    return SatInt32(RoundHalfEven64(v));
}

template <typename T>
constexpr T Clamp(T v, T lo, T hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace zel
