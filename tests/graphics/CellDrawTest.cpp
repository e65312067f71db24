// The cell drawer: band caching, band and frame limits, coverage classes, the
// 16-frame dissolve and band invalidation.
#include <gtest/gtest.h>

#include "CompositorTestSupport.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"

using namespace zel;
using zel::test::Solid;
using zel::test::TRecordingDisplay;

namespace {

constexpr uint32_t kBlack = 0xFF000000u;

std::set<int> RedrawnBands(const TARGB8888CellDraw& d) {
    std::set<int> s;
    for (int i = 0; i < d.BandCount(); ++i)
        if (d.BandRedrawn(i)) s.insert(i);
    return s;
}

uint32_t Half(uint32_t s, uint32_t d) {
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) out |= (((s >> (8 * c)) & 0xFF) / 2 + ((d >> (8 * c)) & 0xFF) / 2) << (8 * c);
    return out;
}

TEST(CellDraw, StillSceneUploadsNothingAfterTheThirdFrame) {
    TARGB8888CellDraw d;
    d.SetSize(320, 240);
    TRecordingDisplay disp(320, 240);
    TARGB8888 a, b;
    Solid(a, 40, 40, 0xFF102030);
    Solid(b, 100, 30, 0x80FFFFFF);
    for (int frame = 1; frame <= 6; ++frame) {
        d.AddImageCell(10, 10, 0, 0, 40, 40, 5, 0, &a, 0, 255, 0, 0xFFFFFF, 2);
        d.AddImageCell(50, 100, 0, 0, 100, 30, 6, 0, &b, 0, 200, 0, 0xFFFFFF, 2);
        d.Render(kBlack, false, 0xFFFF);
        ASSERT_TRUE(d.PresentBands(disp, false, false));
        if (frame <= 3)
            EXPECT_EQ(disp.LastBands(), (std::set<int>{0, 1, 2, 3})) << "frame " << frame;
        else
            EXPECT_TRUE(disp.lastRows.empty()) << "frame " << frame;
    }
    EXPECT_EQ(disp.Pixel(20, 20), 0xFF102030u);
    // Touching an image's content is a change, though nothing moved.
    a.FillRect(0, 0, 40, 40, 0xFF405060);
    a.Touch();
    d.AddImageCell(10, 10, 0, 0, 40, 40, 5, 0, &a, 0, 255, 0, 0xFFFFFF, 2);
    d.AddImageCell(50, 100, 0, 0, 100, 30, 6, 0, &b, 0, 200, 0, 0xFFFFFF, 2);
    d.Render(kBlack, false, 0xFFFF);
    d.PresentBands(disp, false, false);
    EXPECT_EQ(disp.LastBands(), (std::set<int>{0}));
    EXPECT_EQ(disp.Pixel(20, 20), 0xFF405060u);
}

TEST(CellDraw, MovingImageRedrawsOnlyItsOldAndNewBandsForThreeFrames) {
    TARGB8888CellDraw d;
    d.SetSize(800, 600);
    TRecordingDisplay disp(800, 600);
    TARGB8888 img;
    Solid(img, 20, 20, 0xFFFF0000);
    auto frame = [&](int y) {
        d.AddImageCell(100, y, 0, 0, 20, 20, 10, 0, &img, 0, 255, 0, 0xFFFFFF, 2);
        d.Render(kBlack, false, 0xFFFF);
        d.PresentBands(disp, false, false);
    };
    for (int i = 0; i < 4; ++i) frame(70);
    EXPECT_TRUE(disp.lastRows.empty());
    for (int i = 0; i < 3; ++i) {
        frame(250);
        EXPECT_EQ(RedrawnBands(d), (std::set<int>{1, 4})) << "frame " << i;
        EXPECT_EQ(disp.LastBands(), (std::set<int>{1, 4})) << "frame " << i;
    }
    frame(250);
    EXPECT_TRUE(RedrawnBands(d).empty());
    EXPECT_EQ(disp.Pixel(105, 75), kBlack) << "the old place was cleared";
    EXPECT_EQ(disp.Pixel(105, 255), 0xFFFF0000u);
}

TEST(CellDraw, BandAndFrameLimitsDropTheExcessCells) {
    // The background takes one of the band's 64 places: of 64 translucent
    // cells in band 0, the last in sort order is dropped.
    TARGB8888CellDraw d;
    d.SetSize(400, 120);
    TARGB8888 dot;
    Solid(dot, 2, 2, 0xFFFFFFFF);
    for (int i = 0; i < 64; ++i)
        d.AddImageCell(4 * i, 10, 0, 0, 2, 2, 100 - i, 0, &dot, 0, 128, 0, 0xFFFFFF, 2);  // reverse layer order
    d.Render(kBlack, false, 0xFFFF);
    EXPECT_EQ(d.BandCells(0).size(), 64u);
    EXPECT_EQ(d.BandCells(0).front().type, ctColour) << "background first";
    EXPECT_NE(d.FrameBuffer().Pixel(4 * 1, 10), kBlack) << "layer 99 drawn";
    EXPECT_EQ(d.FrameBuffer().Pixel(4 * 0, 10), kBlack) << "layer 100 is the 65th cell of the band";

    // 1025 cells in a frame: the 1025th is not stored; the background still is.
    TARGB8888CellDraw e;
    e.SetSize(1100, 120);
    for (int i = 0; i < 1025; ++i) e.AddColourCell(i, 60, i + 2, 62, 10, 0, 255, 0, 0xFFFFFF, 2);
    EXPECT_EQ(e.SubmittedCount(), 1024);
    e.Render(0xFF0000FFu, false, 0xFFFF);
    EXPECT_EQ(e.FrameBuffer().Pixel(5, 0), 0xFF0000FFu) << "background drawn although the frame was full";
}

TEST(CellDraw, CoverageClasses) {
    TARGB8888 opaque, holes;
    Solid(opaque, 64, 64, 0xFF808080);
    Solid(holes, 64, 64, 0x80808080);
    struct Case {
        uint8_t type, mode;
        int alpha;
        const TARGB8888* image;
        uint32_t add, mul;
        int srcRight;
        int expected;
    } cases[] = {
        {ctColour, 1, 255, nullptr, 0, 0x123456, 64, 1},
        {ctColour, 2, 255, nullptr, 0, 0x123456, 64, 1},
        {ctColour, 2, 254, nullptr, 0, 0x123456, 64, 2},
        {ctColour, 2, 0, nullptr, 0, 0x123456, 64, 0},
        {ctColour, 3, 255, nullptr, 0x000100, 0xFFFEFF, 64, 1},  // screen with white
        {ctColour, 3, 255, nullptr, 0, 0xFFFEFF, 64, 2},
        {ctColour, 6, 255, nullptr, 0, 0xFFFFFF, 64, 1},
        {ctColour, 4, 255, nullptr, 0, 0, 64, 1},  // multiply with black
        {ctColour, 7, 255, nullptr, 0, 1, 64, 2},
        {ctColour, 5, 255, nullptr, 0, 0, 64, 2},
        {ctColour, 0, 255, nullptr, 0, 0, 64, 2},
        {ctImage, 2, 255, &opaque, 0, 0xFFFFFF, 64, 1},
        {ctImage, 1, 255, &opaque, 0x10, 0x10, 64, 1},
        {ctImage, 2, 255, &holes, 0, 0xFFFFFF, 64, 2},
        {ctImage, 2, 255, &opaque, 0, 0xFFFFFF, 65, 2},  // source reaches outside the image
        {ctImage, 2, 200, &opaque, 0, 0xFFFFFF, 64, 2},
        {ctImage, 3, 255, &opaque, 0x202020, 0, 64, 1},  // add = S
        {ctImage, 3, 255, &opaque, 0x202020, 0x10, 64, 2},
        {ctImage, 4, 255, &opaque, 0, 0, 64, 1},
        {ctImage, 8, 255, &opaque, 0, 0, 64, 2},
        {ctImage, 2, 255, nullptr, 0, 0, 64, 0},
        {ctStretch, 2, 255, &opaque, 0, 0xFFFFFF, 64, 1},
        {ctRotate, 2, 255, &opaque, 0, 0xFFFFFF, 64, 2},
        {ctRule, 2, 255, &opaque, 0, 0xFFFFFF, 64, 2},
    };
    for (const Case& c : cases) {
        TDrawCell cell;
        cell.type = c.type;
        cell.mode = c.mode;
        cell.alpha = c.alpha;
        cell.image = c.image;
        cell.addColour = c.add;
        cell.mulColour = c.mul;
        cell.srcRight = c.srcRight;
        cell.srcBottom = 64;
        EXPECT_EQ(TARGB8888CellDraw::CoverageClass(cell), c.expected)
            << "type " << int(c.type) << " mode " << int(c.mode) << " alpha " << c.alpha;
    }

    // An opaque cell hides what lies under it only in the bands it covers whole.
    TARGB8888CellDraw d;
    d.SetSize(64, 120);
    TARGB8888 under;
    Solid(under, 64, 120, 0xFF00FF00);
    d.AddImageCell(0, 0, 0, 0, 64, 120, 1, 0, &under, 0, 255, 0, 0xFFFFFF, 2);
    d.AddImageCell(0, 0, 0, 0, 64, 64, 2, 0, &opaque, 0, 255, 0, 0xFFFFFF, 2);  // rows 0..63
    d.Render(kBlack, false, 0xFFFF);
    ASSERT_EQ(d.BandCells(0).size(), 1u) << "band 0 keeps only the covering cell";
    EXPECT_EQ(d.BandCells(0)[0].image, &opaque);
    EXPECT_EQ(d.BandCells(1).size(), 2u) << "band 1 is covered only to row 63";
    EXPECT_EQ(d.FrameBuffer().Pixel(10, 70), 0xFF00FF00u);
    EXPECT_EQ(d.FrameBuffer().Pixel(10, 62), 0xFF808080u);
}

TEST(CellDraw, DissolveIsIteratedHalfBlends) {
    TARGB8888CellDraw d;
    d.SetSize(64, 60);
    const uint32_t a = 0xFF2040F0u, b = 0xFFF08010u;
    for (int i = 0; i < 4; ++i) {
        d.AddColourCellARGB(0, 0, 64, 60, 1, 0, a, 2);
        d.Render(kBlack, false, 0xFFFF);
    }
    ASSERT_EQ(d.FrameBuffer().Pixel(7, 7), a);
    uint32_t expect = a;
    for (int i = 0; i < 16; ++i) {
        if (i == 0) d.AddRedrawMarker();
        d.AddColourCellARGB(0, 0, 64, 60, 1, 0, b, 2);
        d.Render(kBlack, false, 0xFFFF);
        expect = Half(b, expect);
        ASSERT_EQ(d.FrameBuffer().Pixel(7, 7), expect) << "blend frame " << i;
        ASSERT_EQ(d.FrameBuffer().Pixel(63, 59), expect) << "blend frame " << i;
    }
    d.AddColourCellARGB(0, 0, 64, 60, 1, 0, b, 2);
    d.Render(kBlack, false, 0xFFFF);
    EXPECT_EQ(d.FrameBuffer().Pixel(7, 7), b) << "after 16 frames the band is drawn whole";
}

TEST(CellDraw, InvalidationIsClampedToTheBands) {
    for (int h : {600, 720, 1080, 61, 59}) {
        TARGB8888CellDraw d;
        d.SetSize(64, h);
        for (int i = 0; i < 4; ++i) d.Render(kBlack, false, 0xFFFF);
        d.InvalidateAll();
        d.InvalidateRows(-500, -10);
        d.InvalidateRows(100000, 2000000);
        d.Render(kBlack, false, 0xFFFF);
        EXPECT_EQ(static_cast<int>(RedrawnBands(d).size()), (h + 59) / 60) << "H = " << h;
    }
    TARGB8888CellDraw d;
    d.SetSize(64, 600);
    for (int i = 0; i < 4; ++i) d.Render(kBlack, false, 0xFFFF);
    d.InvalidateRows(130, 190);
    d.Render(kBlack, false, 0xFFFF);
    EXPECT_EQ(RedrawnBands(d), (std::set<int>{2, 3}));
}

TEST(CellDraw, OrderLayerLimitAndEmptyCells) {
    TARGB8888CellDraw d;
    d.SetSize(64, 60);
    // Later submission, lower layer: drawn first. Layer 65535 is at the limit.
    d.AddColourCell(0, 0, 32, 60, 7, 0, 255, 0, 0x0000FF, 2);
    d.AddColourCell(0, 0, 32, 60, 3, 0, 255, 0, 0xFF0000, 2);
    d.AddColourCell(32, 0, 64, 60, 65535, 0, 255, 0, 0x00FF00, 2);
    d.AddColourCell(10, 10, 10, 10, 1, 0, 255, 0, 0xFFFFFF, 2);  // empty: not stored
    EXPECT_EQ(d.SubmittedCount(), 3);
    d.Render(0xFF101010u, false, 0xFFFF);
    EXPECT_EQ(d.FrameBuffer().Pixel(5, 5), 0xFF0000FFu);
    EXPECT_EQ(d.FrameBuffer().Pixel(40, 5), 0xFF101010u);

    // Layers whose key passes 2^31 keep the order they had as signed keys.
    TARGB8888CellDraw e;
    e.SetSize(64, 60);
    e.AddColourCell(0, 0, 64, 60, 5, 0, 255, 0, 0x0000FF, 2);
    e.AddColourCell(0, 0, 64, 60, 0x200000, 0, 255, 0, 0xFF0000, 2);
    e.Render(kBlack, false, 0xFFFF);
    EXPECT_EQ(e.FrameBuffer().Pixel(5, 5), 0xFF0000FFu);

    // A rotated cell centred where its scales are is still a cell.
    TARGB8888 img;
    Solid(img, 8, 8, 0xFFFFFFFF);
    TARGB8888CellDraw r;
    r.SetSize(8192, 60);
    r.AddRotateCell(4096, 4096, 4096, 4096, 0, 0, 8, 8, 1, 100, &img, 0, 255, 0, 0xFFFFFF, 2);
    EXPECT_EQ(r.SubmittedCount(), 1);
    r.AddRotateCell(10, 10, 0, 4096, 0, 0, 8, 8, 1, 100, &img, 0, 255, 0, 0xFFFFFF, 2);
    r.AddRotateCell(10, 10, 4096, 4096, 0, 0, 0, 8, 1, 100, &img, 0, 255, 0, 0xFFFFFF, 2);
    EXPECT_EQ(r.SubmittedCount(), 1);
}

TEST(CellDraw, FrameHookRunsWhenTheCellIsSubmitted) {
    TARGB8888CellDraw d;
    d.SetSize(64, 120);
    TARGB8888 movie;
    Solid(movie, 8, 8, 0xFF000000);
    int shown = -1;
    movie.SetFrameHook([&](int32_t frame) {
        if (frame == shown) return;
        shown = frame;
        movie.FillRect(0, 0, 8, 8, 0xFF000000u | static_cast<uint32_t>(frame));
        movie.Touch();
    });
    for (int i = 0; i < 4; ++i) {
        d.AddImageCell(0, 70, 0, 0, 8, 8, 1, 0, &movie, 1, 255, 0, 0xFFFFFF, 2);
        d.Render(kBlack, false, 0xFFFF);
    }
    EXPECT_TRUE(RedrawnBands(d).empty());
    d.AddImageCell(0, 70, 0, 0, 8, 8, 1, 0, &movie, 2, 255, 0, 0xFFFFFF, 2);
    d.Render(kBlack, false, 0xFFFF);
    EXPECT_EQ(RedrawnBands(d), (std::set<int>{1})) << "the new movie frame is a change";
    EXPECT_EQ(d.FrameBuffer().Pixel(1, 71), 0xFF000002u);
}

TEST(CellDraw, PresentFailsQuietlyWithoutTheBackBufferAndHonoursInterlace) {
    TARGB8888CellDraw d;
    d.SetSize(64, 120);
    TRecordingDisplay disp(64, 120);
    d.AddColourCell(0, 0, 64, 120, 1, 0, 255, 0, 0x00FF00, 2);
    d.Render(kBlack, false, 0xFFFF);
    disp.failLock = true;
    EXPECT_FALSE(d.PresentBands(disp, true, false));
    EXPECT_EQ(disp.presents, 0);
    disp.failLock = false;
    d.ToggleFrameParity();
    EXPECT_EQ(d.FrameParity(), 1);
    ASSERT_TRUE(d.PresentBands(disp, true, true));
    for (int y : disp.lastRows) EXPECT_EQ(y & 1, 1) << y;
    EXPECT_EQ(disp.lastRows.size(), 60u);
    EXPECT_EQ(disp.Pixel(3, 1), 0xFF00FF00u);
    EXPECT_EQ(disp.Pixel(3, 0), 0u);

    TMemoryStream bmp;
    ASSERT_TRUE(d.SaveFrameBmp(bmp));
    EXPECT_EQ(bmp.View().substr(0, 2), "BM");
}

}  // namespace
