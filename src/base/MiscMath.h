// Shared math of the engine: the repeatable random table, the sine table in
// angle units (1024 to a full turn), the slope-to-angle function and the
// interpolation curves used by timed motion. All single precision, as the
// games' motion was tuned with it.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

// The next value of the random table: 0 for n = 0; 0..n-1 for n > 0;
// -(|n| div 2) .. |n| - 1 - (|n| div 2) for n < 0.
int32_t Random(int32_t n);
// Refills the table from the engine's fixed generator and rewinds it.
void ResetRandomTable();
// Replaces the table by up to 1024 little-endian values from a file; a short
// file replaces only the values it holds. Rewinds the table.
void LoadRandomTable(std::string_view bytes);

float SinA(int32_t units);
float CosA(int32_t units);
float SinF(float radians);
float CosF(float radians);
// The angle of (x, y) in units, from the positive x axis toward positive y
// (a quarter turn is 256). AngleUnits(0, 0) is 0.
int32_t AngleUnits(int64_t x, int64_t y);
float AngleRadians(int64_t x, int64_t y);

// Curves: t is the position (0..1), s the start and e the end value.
float Lerp(float t, float e, float s);
float EaseA(float t, float e, float s);
float EaseB(float t, float e, float s);
float Hermite(float a, float b, float t, float n, float e, float s, float p);
float Spline(float t, float p3, float p2, float p1, float p0);

}  // namespace zel
