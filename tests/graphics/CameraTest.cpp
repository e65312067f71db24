// The camera: curves at the start, middle and end, the shake, timing and
// the saved block.
#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/MiscMath.h"
#include "graphics/ZelCameraLib.h"

using namespace zel;

namespace {

TEST(Camera, CurvesAtStartMiddleAndEnd) {
    struct Case {
        uint8_t type;
        int32_t t, f, g, expected;
    } cases[] = {
        {0, 0, 0, 1024, 0},      {0, 512, 0, 1024, 0},     {0, 1023, 0, 1024, 0},   {0, 1024, 0, 1024, 1024},
        {1, 0, 0, 1024, 0},      {1, 512, 0, 1024, 512},   {1, 1024, 0, 1024, 1024}, {2, 256, 0, 1024, 256},
        {5, 256, 0, 1024, 256},  {77, 256, 0, 1024, 256},
        // Round((1024 - 512)^2.4 / 16384) = 194: fast start, slow end.
        {3, 0, 0, 1024, 0},      {3, 512, 0, 1024, 830},   {3, 1024, 0, 1024, 1024},
        {4, 0, 0, 1024, 0},      {4, 512, 0, 1024, 194},   {4, 1024, 0, 1024, 1024},
        // Division by 1024 truncates toward zero.
        {1, 1, -300, 700, -299}, {1, 512, -300, 700, 200},
        // Extreme ends stay in range.
        {1, 512, INT32_MIN, INT32_MAX, 0}, {3, 512, INT32_MAX, INT32_MAX, INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCamera::CurveValue(c.type, c.f, c.g, c.t), c.expected)
            << "type " << int(c.type) << " t " << c.t << " f " << c.f << " g " << c.g;
}

TEST(Camera, TimedMoveFollowsItsCurve) {
    TCamera cam;
    cam.SetCurve(0);
    cam.MoveTo(400, -80, 1000);
    EXPECT_EQ(cam.TargetX(), 400);
    for (int i = 0; i < 9; ++i) {
        cam.Advance(111);
        EXPECT_EQ(cam.X(), 0) << "type 0 waits for the end";
    }
    cam.Advance(1000);
    EXPECT_EQ(cam.X(), 400);
    EXPECT_EQ(cam.Y(), -80);
    EXPECT_EQ(cam.OffsetX(), -400);
    EXPECT_EQ(cam.OffsetY(), 80);
    EXPECT_EQ(cam.Progress(), 1000);

    cam.SetCurve(1);
    cam.MoveTo(0, 0, 2000);
    cam.Advance(1000);
    EXPECT_EQ(cam.X(), 200);
    // A long duration does not overflow the progress product.
    cam.MoveTo(1000, 0, INT32_MAX);
    cam.Advance(INT32_MAX / 2);
    EXPECT_EQ(cam.X(), 200 + (800 * 511 / 1024));  // t = 511
    // Without a duration the move is done at the next frame.
    cam.MoveTo(-5, 7, 0);
    EXPECT_EQ(cam.X(), 599);
    cam.Advance(0);
    EXPECT_EQ(cam.X(), -5);
    EXPECT_EQ(cam.Y(), 7);
    cam.Reset();
    cam.Advance(16);
    EXPECT_EQ(cam.X(), 0);
    EXPECT_EQ(cam.Curve(), 0);
}

TEST(Camera, ShakeIsReproducibleAndFadesOut) {
    auto run = [] {
        ResetRandomTable();
        TCamera cam;
        cam.SetCurve(6);
        cam.MoveTo(100, 50, 100);
        std::vector<std::pair<int, int>> path;
        for (int i = 0; i < 12; ++i) {
            cam.Advance(10);
            path.emplace_back(cam.X(), cam.Y());
        }
        return path;
    };
    const auto a = run(), b = run();
    EXPECT_EQ(a, b);
    // Each step is the curve-3 value plus the fading random draw, x first.
    ResetRandomTable();
    for (int i = 0; i < 12; ++i) {
        const int32_t t = std::min(10 * (i + 1), 100) * 1024 / 100;
        const int32_t rx = Random(-40), ry = Random(-40);
        EXPECT_GE(rx, -20);
        EXPECT_LE(rx, 19);
        EXPECT_EQ(a[i].first, TCamera::CurveValue(3, 0, 100, t) + rx * (1024 - t) / 1024) << i;
        EXPECT_EQ(a[i].second, TCamera::CurveValue(3, 0, 50, t) + ry * (1024 - t) / 1024) << i;
    }
    EXPECT_EQ(a.back(), (std::pair<int, int>{100, 50})) << "the shake has faded out at the end";
}

TEST(Camera, SavedBlockRoundTripsAndShortBlocksAreRefused) {
    TCamera cam;
    cam.SetCurve(4);
    cam.MoveTo(-123, 456, 789);
    cam.Advance(300);
    TMemoryStream s;
    cam.Save(s);
    ASSERT_EQ(s.Size(), TCamera::kStateSize);
    EXPECT_EQ(s.Data()[32], 4);
    s.Rewind();
    TCamera back;
    back.Load(s);
    EXPECT_EQ(back.X(), cam.X());
    EXPECT_EQ(back.TargetY(), 456);
    EXPECT_EQ(back.Duration(), 789);
    EXPECT_EQ(back.Progress(), 300);
    EXPECT_EQ(back.Curve(), 4);

    TMemoryStream shortBlock(std::string(160, '\x01'));
    TCamera untouched;
    EXPECT_THROW(untouched.Load(shortBlock), EStreamError);
    EXPECT_EQ(untouched.X(), 0);
    EXPECT_EQ(untouched.Duration(), 0);
}

}  // namespace
