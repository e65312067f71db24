#include "graphics/ZelCameraLib.h"

#include <algorithm>
#include <cmath>

#include "base/IntMath.h"
#include "base/MemStream.h"
#include "base/MiscMath.h"

namespace zel {

namespace {

// Weight of the far end of curves 3 and 4: Round(u^2.4 / 16384), 0..1024.
int64_t PowerWeight(int64_t u) {
    return RoundHalfEven64(std::pow(static_cast<double>(u), 2.4) / 16384.0);
}

}  // namespace

int32_t TCamera::CurveValue(uint8_t type, int32_t f, int32_t g, int32_t t, int32_t shake) {
    t = std::clamp(t, 0, 1024);
    const int64_t F = f, G = g, T = t;
    switch (type) {
        case 0: return t < 1024 ? f : g;
        case 3:
        case 6: {
            const int64_t w = PowerWeight(1024 - T);
            int64_t v = (F * w + G * (1024 - w)) / 1024;
            if (type == 6) v += int64_t{shake} * (1024 - T) / 1024;
            return SatInt32(v);
        }
        case 4: {
            const int64_t w = PowerWeight(T);
            return SatInt32((F * (1024 - w) + G * w) / 1024);
        }
        default: return SatInt32((F * (1024 - T) + G * T) / 1024);
    }
}

void TCamera::MoveTo(int32_t x, int32_t y, int32_t duration) {
    fromX_ = curX_;
    fromY_ = curY_;
    toX_ = x;
    toY_ = y;
    progress_ = 0;
    duration_ = duration;
}

void TCamera::Advance(int32_t elapsedMs) {
    progress_ = static_cast<int32_t>(std::min<int64_t>(int64_t{progress_} + elapsedMs, duration_));
    const int32_t t = duration_ <= 0 ? 1024
                                     : static_cast<int32_t>(std::clamp<int64_t>(
                                           int64_t{progress_} * 1024 / duration_, 0, 1024));
    int32_t shakeX = 0, shakeY = 0;
    if (curve_ == 6) {
        shakeX = Random(-40);
        shakeY = Random(-40);
    }
    curX_ = CurveValue(curve_, fromX_, toX_, t, shakeX);
    curY_ = CurveValue(curve_, fromY_, toY_, t, shakeY);
}

void TCamera::Reset() {
    curX_ = curY_ = fromX_ = fromY_ = toX_ = toY_ = progress_ = duration_ = 0;
    curve_ = 0;
    MoveTo(0, 0, 0);
}

int32_t TCamera::OffsetX() const { return WrapNeg(curX_); }
int32_t TCamera::OffsetY() const { return WrapNeg(curY_); }

void TCamera::Save(TMemoryStream& s) const {
    for (int32_t v : {curX_, curY_, fromX_, fromY_, toX_, toY_, progress_, duration_}) s.WriteI32(v);
    s.WriteU8(curve_);
    const uint8_t zero[kStateSize - 33] = {};
    s.Write(zero, sizeof zero);
}

void TCamera::Load(TMemoryStream& s) {
    s.Require(kStateSize);
    int32_t v[8];
    for (int32_t& x : v) x = s.ReadI32();
    curve_ = s.ReadU8();
    s.Skip(kStateSize - 33);
    curX_ = v[0], curY_ = v[1], fromX_ = v[2], fromY_ = v[3], toX_ = v[4], toY_ = v[5], progress_ = v[6];
    duration_ = v[7];
}

}  // namespace zel
