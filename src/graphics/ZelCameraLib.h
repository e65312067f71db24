// TCamera: the scroll offset of the scene. It travels from where it is to a
// target along a timed curve; the object manager adds the offset to object
// positions before the objects submit their cells.
//
// Saved with the game as a 161-byte block, little-endian:
//   0  current x, y   8  from x, y   16  to x, y   24  progress (ms)
//   28 duration (ms)  32 curve type (byte)         33  128 zero bytes
// Curves, with t = progress * 1024 / duration (1024 when duration <= 0):
//   0 jump at the end; 1, 2, 5 and unknown types linear; 3 fast start and
//   slow end; 4 slow start; 6 as 3 plus a shake of -20..19 pixels per axis
//   from the engine's random table that fades out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

class TMemoryStream;

class TCamera {
public:
    static constexpr size_t kStateSize = 161;

    TCamera() { Reset(); }

    void MoveTo(int32_t x, int32_t y, int32_t duration);
    void SetCurve(uint8_t type) { curve_ = type; }
    void Advance(int32_t elapsedMs);
    void Reset();
    // The offset applied to objects: minus the camera position.
    int32_t OffsetX() const;
    int32_t OffsetY() const;

    void Save(TMemoryStream& stream) const;
    // Reads the 161-byte block; raises EStreamError (state unchanged) when short.
    void Load(TMemoryStream& stream);

    int32_t X() const { return curX_; }
    int32_t Y() const { return curY_; }
    int32_t TargetX() const { return toX_; }
    int32_t TargetY() const { return toY_; }
    uint8_t Curve() const { return curve_; }
    int32_t Progress() const { return progress_; }
    int32_t Duration() const { return duration_; }

    // The curve value between f and g at t (0..1024); `shake` is the random
    // draw of curve 6 (ignored by the others).
    static int32_t CurveValue(uint8_t type, int32_t f, int32_t g, int32_t t, int32_t shake = 0);

private:
    int32_t curX_ = 0, curY_ = 0, fromX_ = 0, fromY_ = 0, toX_ = 0, toY_ = 0;
    int32_t progress_ = 0, duration_ = 0;
    uint8_t curve_ = 0;
};

}  // namespace zel
