#include "base/MiscMath.h"

#include <array>
#include <cmath>

#include "base/IntMath.h"

namespace zel {

namespace {

struct RandomTable {
    std::array<int32_t, 1024> values{};
    uint32_t index = 0;
    RandomTable() { Fill(); }
    void Fill() {
        uint32_t seed = 0;
        for (auto& v : values) {
            seed = seed * 0x08088405u + 1u;
            v = static_cast<int32_t>((static_cast<uint64_t>(seed) * 0x7FFFFFFFull) >> 32);
        }
        index = 0;
    }
};

RandomTable& Table() {
    static RandomTable t;
    return t;
}

const std::array<float, 1024>& SineTable() {
    static const std::array<float, 1024> t = [] {
        std::array<float, 1024> s{};
        for (int i = 0; i < 1024; ++i) s[static_cast<size_t>(i)] = static_cast<float>(std::sin(i * 3.14159265 / 512));
        return s;
    }();
    return t;
}

// Slope ratio (short side * 1024 / long side) to angle units 0..128. Where
// two ranges share an end entry, the lower angle keeps it.
const std::array<uint8_t, 1025>& RatioTable() {
    static const std::array<uint8_t, 1025> t = [] {
        std::array<uint8_t, 1025> r{};
        std::array<bool, 1025> set{};
        auto fill = [&](int64_t from, int64_t to, uint8_t v) {
            for (int64_t i = std::max<int64_t>(from, 0); i <= std::min<int64_t>(to, 1024); ++i)
                if (!set[static_cast<size_t>(i)]) {
                    r[static_cast<size_t>(i)] = v;
                    set[static_cast<size_t>(i)] = true;
                }
        };
        int64_t prev = 0;
        for (int k = 0; k < 128; ++k) {
            const int64_t e = RoundHalfEven64(std::tan(k * 3.141592 / 512) * 1024);
            fill(prev, e, static_cast<uint8_t>(k));
            prev = e;
        }
        fill(prev, 1024, 128);
        return r;
    }();
    return t;
}

int32_t T(int64_t p, int64_t q) {
    const int64_t i = (p * 1024) / q;
    return RatioTable()[static_cast<size_t>(Clamp<int64_t>(i, 0, 1024))];
}

}  // namespace

int32_t Random(int32_t n) {
    RandomTable& t = Table();
    t.index = (t.index + 1) % 1024;
    const int64_t v = t.values[t.index];
    if (n == 0) return 0;
    if (n > 0) return static_cast<int32_t>(v % n);
    const int64_t m = -static_cast<int64_t>(n);
    return static_cast<int32_t>(v % m - m / 2);
}

void ResetRandomTable() { Table().Fill(); }

void LoadRandomTable(std::string_view bytes) {
    RandomTable& t = Table();
    const size_t count = std::min<size_t>(bytes.size() / 4, 1024);
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + i * 4);
        t.values[i] = static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
    }
    t.index = 0;
}

float SinA(int32_t u) { return SineTable()[static_cast<uint32_t>(u) & 1023u]; }
float CosA(int32_t u) { return SineTable()[(static_cast<uint32_t>(u) + 256u) & 1023u]; }

float SinF(float x) {
    const float u = 512.0f * x * 0.31830987f;
    return SinA(TruncToInt32(u));
}

float CosF(float x) {
    const float u = 512.0f * x * 0.31830987f;
    return CosA(TruncToInt32(u));
}

int32_t AngleUnits(int64_t x, int64_t y) {
    if (x == 0 && y == 0) return 0;
    if (x > 0 && y > 0) return y < x ? T(y, x) : 256 - T(x, y);
    if (x > 0) return -y < x ? 1024 - T(-y, x) : 768 + T(x, -y);
    if (y > 0) return y < -x ? 512 - T(y, -x) : 256 + T(-x, y);
    return -y < -x ? 512 + T(-y, -x) : 768 - T(-x, -y);
}

float AngleRadians(int64_t x, int64_t y) {
    return static_cast<float>(AngleUnits(x, y)) * 3.14159265f / 512.0f;
}

float Lerp(float t, float e, float s) {
    if (s == e) return s;
    return s * (1 - t) + e * t;
}

float EaseA(float t, float e, float s) {
    if (s == e) return s;
    t = std::isnan(t) ? 0.0f : Clamp(t, 0.0f, 1.0f);
    const float d = 1 - std::pow(1 - t, 2.4f);
    return s * (1 - d) + e * d;
}

float EaseB(float t, float e, float s) {
    if (s == e) return s;
    t = std::isnan(t) ? 0.0f : Clamp(t, 0.0f, 1.0f);
    const float d = std::pow(t, 2.4f);
    return s * (1 - d) + e * d;
}

float Hermite(float a, float b, float t, float n, float e, float s, float p) {
    if (s == e && p == n) return s;
    const float m = t - 1, o = 1 - t;
    float g = (e - p) * b, h = (n - s) * a;
    if (s == e) {
        g /= 4;
        h /= 4;
    }
    return s * m * m * (2 * t + 1) + e * t * t * (3 - 2 * t) + t * o * o * g + t * t * m * h;
}

float Spline(float t, float p3, float p2, float p1, float p0) {
    if (p1 == p2 && p0 == p3 && p1 == p0) return p0;
    const float t2 = t * t, t3 = t2 * t;
    const float u = 1 - t;
    return (u * u * u * p0 + (3 * t3 - 6 * t2 + 4) * p1 + (-3 * (t3 - t2 - t) + 1) * p2 + t3 * p3) / 6;
}

}  // namespace zel
