// TARGB8888: life and state, clipping, the pair rule, row bands, interlace,
// every operation against hand-worked results, the vector kernels against
// the reference through whole operations, and hostile sizes and coordinates.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "graphics/ARGB8888Kernels.h"
#include "graphics/ARGB8888Lib.h"

using namespace zel;

namespace {

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

TARGB8888 MakeImage(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& f) {
    TARGB8888 img;
    img.NewImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) img.SetPixel(x, y, f(x, y));
    return img;
}

TARGB8888 Solid(int32_t w, int32_t h, uint32_t c) {
    return MakeImage(w, h, [c](int32_t, int32_t) { return c; });
}

// Opaque pixels that name their own position.
TARGB8888 Coded(int32_t w, int32_t h) {
    return MakeImage(w, h, [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(y) << 8 | uint32_t(x); });
}

std::vector<uint32_t> Pixels(const TARGB8888& img) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < img.Height(); ++y)
        for (int32_t x = 0; x < img.Width(); ++x) v.push_back(img.Pixel(x, y));
    return v;
}

// Rows of img that differ from before.
std::vector<int32_t> ChangedRows(const TARGB8888& img, const std::vector<uint32_t>& before) {
    std::vector<int32_t> rows;
    for (int32_t y = 0; y < img.Height(); ++y)
        for (int32_t x = 0; x < img.Width(); ++x)
            if (img.Pixel(x, y) != before[size_t(y) * img.Width() + x]) {
                rows.push_back(y);
                break;
            }
    return rows;
}

constexpr uint32_t kMarker = 0x12345678;

// Restores the kernel table a test changes.
class ImageTest : public ::testing::Test {
protected:
    void SetUp() override { level_ = ActiveKernelLevel(); }
    void TearDown() override { SelectKernels(level_); }
    TKernelLevel level_{};
};

}  // namespace

TEST(ColourHelpers, Values) {
    EXPECT_EQ(Hex(SwapRB(0x11223344)), "11443322");
    EXPECT_EQ(Hex(MakeARGB(0x1FF, 0x1AB, 0x1CD, 0x1EF)), "FFABCDEF");
    EXPECT_EQ(Hex(AddColours(0x80F01020, 0x90203040)), "FFFF4060");
    EXPECT_EQ(Hex(LerpColour(0x00000000, 0xFFFFFFFF, 128)), "80808080");
    EXPECT_EQ(Hex(LerpColour(0xFF00FF00, 0x00FF00FF, 51)), "CC33CC33");
    // t outside 0..255 is limited instead of overflowing the channels.
    EXPECT_EQ(Hex(LerpColour(0x10203040, 0xFFFFFFFF, -100)), "10203040");
    EXPECT_EQ(Hex(LerpColour(0x10203040, 0xFFFFFFFF, 1000)), "FFFFFFFF");
    EXPECT_EQ(Hex(LerpColour(0x10203040, 0xFFFFFFFF, INT_MIN)), "10203040");
}

TEST(ImageState, NewClearAssignAndSerials) {
    TARGB8888 img;
    EXPECT_TRUE(img.Empty());
    EXPECT_EQ(img.Width(), 0);
    EXPECT_TRUE(img.HasTransparency());
    const int32_t s0 = img.ContentSerial();
    img.NewImage(5, 3);
    EXPECT_EQ(img.Width(), 5);
    EXPECT_EQ(img.Height(), 3);
    EXPECT_EQ(img.Pixel(4, 2), 0u);
    EXPECT_TRUE(img.HasTransparency());
    const int32_t s1 = img.ContentSerial();
    EXPECT_NE(s0, s1);
    img.FillRect(0, 0, 4, 3, 0xFFFFFFFF);
    EXPECT_EQ(img.ContentSerial(), s1) << "drawing does not take a serial";
    img.Touch();
    EXPECT_NE(img.ContentSerial(), s1);

    const uint32_t opaque[4] = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
    img.AssignPixels(opaque, 2, 2);
    EXPECT_FALSE(img.HasTransparency());
    EXPECT_EQ(img.Pixel(1, 1), 0xFF000004u);
    const uint8_t bgr[8] = {1, 2, 3, 0, 4, 5, 6, 0};  // one pixel a row, rows padded to 4 bytes
    img.AssignPixels24(bgr, 1, 2, 4);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "FF030201");
    EXPECT_EQ(Hex(img.Pixel(0, 1)), "FF060504");
    EXPECT_FALSE(img.HasTransparency());

    TARGB8888 copy;
    img.SetTransparencyHook([] { return true; });
    copy.AssignImage(img);
    EXPECT_EQ(Pixels(copy), Pixels(img));
    EXPECT_TRUE(copy.HasTransparency()) << "taken from the source's answer";
    copy.AssignImage(copy);
    EXPECT_EQ(Pixels(copy), Pixels(img)) << "assigning to itself keeps the pixels";

    img.Clear();
    EXPECT_TRUE(img.Empty());
    EXPECT_TRUE(img.HasTransparency());
}

TEST(ImageState, ANewImageIsAllZerosWhateverTheMemoryHeldBefore) {
    // Pictures of every size, each made anew over memory just drawn into and
    // freed (the zeros come from the allocator, never from a fill).
    for (int32_t side : {1, 7, 64, 1280}) {
        for (int round = 0; round < 3; ++round) {
            TARGB8888 img;
            img.NewImage(side, side);
            for (int32_t y = 0; y < side; ++y)
                for (int32_t x = 0; x < side; ++x) ASSERT_EQ(img.Pixel(x, y), 0u) << side << " at " << x << "," << y;
            img.NewImage(side, side, 0xFF123456u);
            EXPECT_EQ(img.Pixel(side - 1, side - 1), 0xFF123456u);
            img.FillRect(0, 0, side, side, 0xFFABCDEFu);
            TARGB8888 moved = std::move(img);
            img.NewImage(side, side);
            EXPECT_EQ(img.Pixel(side / 2, side / 2), 0u) << side;
        }
    }
}

TEST(ImageState, SerialCounterWrapsAt24Bits) {
    const int32_t first = TakeContentSerial();
    EXPECT_GE(first, 0);
    EXPECT_LE(first, 0xFFFFFF);
    for (int32_t i = 1; i < 0x1000000; ++i) TakeContentSerial();
    EXPECT_EQ(TakeContentSerial(), first);
}

TEST(ImageState, HooksAndBorrowedBuffers) {
    TARGB8888 img;
    img.NewImage(2, 2);
    int asked = -1;
    img.SetFrameHook([&](int32_t f) { asked = f; });
    EXPECT_TRUE(img.RequestFrame(7));
    EXPECT_EQ(asked, 7);
    img.SetTransparencyHook([] { return false; });
    EXPECT_FALSE(img.HasTransparency());

    // A lent buffer with a wider stride becomes the current buffer.
    std::vector<uint32_t> frame(6 * 3, kMarker);
    img.AttachBuffer({frame.data(), 4, 3, 6});
    EXPECT_TRUE(img.HasBorrowedBuffer());
    EXPECT_EQ(img.Width(), 4);
    EXPECT_EQ(img.Height(), 3);
    img.FillRect(0, 0, 4, 3, 0xFF00FF00);
    EXPECT_EQ(frame[6 + 3], 0xFF00FF00u);
    EXPECT_EQ(frame[6 + 4], kMarker) << "padding between rows is not touched";
    img.DetachBuffer();
    EXPECT_EQ(img.Width(), 2);
    EXPECT_EQ(img.Pixel(0, 0), 0u);

    EXPECT_THROW(img.AttachBuffer({frame.data(), 4, 3, 2}), EImageError);
    EXPECT_THROW(img.AttachBuffer({frame.data(), -4, 3, 6}), EImageError);
    EXPECT_EQ(img.Width(), 2);

    img.AttachBuffer({frame.data(), 4, 3, 6});
    img.Clear();
    EXPECT_TRUE(img.Empty());
    EXPECT_FALSE(img.HasFrameHook());
    EXPECT_FALSE(img.RequestFrame(1));
    EXPECT_TRUE(img.HasTransparency()) << "the hook is dropped";

    TARGB8888 a = Solid(3, 2, 0xFF112233);
    TARGB8888 b(std::move(a));
    EXPECT_TRUE(a.Empty());
    EXPECT_EQ(b.Pixel(2, 1), 0xFF112233u);
}

// Sizes come from scripts: impossible ones are refused with an error and the
// image keeps what it had.
TEST(ImageState, HostileSizesAreRefused) {
    struct {
        int32_t w, h;
    } bad[] = {{-1, 10}, {10, -1}, {INT_MIN, 5}, {TARGB8888::kMaxSide + 1, 1}, {1, TARGB8888::kMaxSide + 1},
               {32767, 32767}, {INT_MAX, INT_MAX}, {20000, 20000}};
    TARGB8888 img = Solid(3, 2, 0xFFABCDEF);
    const int32_t serial = img.ContentSerial();
    const uint32_t px[1] = {0};
    for (auto c : bad) {
        EXPECT_THROW(img.NewImage(c.w, c.h), EImageError) << c.w << "x" << c.h;
        EXPECT_THROW(img.AssignPixels(px, c.w, c.h), EImageError) << c.w << "x" << c.h;
        EXPECT_EQ(img.Width(), 3);
        EXPECT_EQ(img.Pixel(2, 1), 0xFFABCDEFu);
        EXPECT_EQ(img.ContentSerial(), serial);
    }
    img.NewImage(0, 10);
    EXPECT_TRUE(img.Empty());
    img.NewImage(16384, 1);
    EXPECT_EQ(img.Width(), 16384);
}

// Clipping of a blit, case by case: where the rectangle lands and which
// source pixel each destination pixel shows.
TEST(ImageBlit, ClippingCases) {
    const TARGB8888 src = Coded(8, 6);
    struct Case {
        const char* what;
        int32_t x, y, sl, st, sr, sb;
        int32_t l, t, r, b;  // changed destination rectangle (empty when l == r)
        int32_t ox, oy;      // source = destination + offset
    } cases[] = {
        {"inside", 1, 1, 0, 0, 8, 6, 1, 1, 9, 7, -1, -1},
        {"left of the destination", -3, 2, 0, 0, 8, 6, 0, 2, 4, 8, 3, -2},
        {"reversed source rectangle", 0, 0, 8, 6, 0, 0, 0, 0, 8, 6, 0, 0},
        {"source rectangle starting before the image", 0, 0, -2, -1, 4, 3, 2, 1, 6, 4, -2, -1},
        {"cut by the right edge to three columns", 7, 0, 0, 0, 8, 6, 7, 0, 9, 6, -7, 0},
        {"one column wide", 0, 0, 0, 0, 1, 6, 0, 0, 0, 0, 0, 0},
        {"three columns: two drawn", 2, 3, 1, 1, 4, 3, 2, 3, 4, 5, -1, -2},
        {"at the right edge", 10, 0, 0, 0, 8, 6, 0, 0, 0, 0, 0, 0},
        {"past the right edge", 11, 0, 0, 0, 8, 6, 0, 0, 0, 0, 0, 0},
        {"just left of the destination", -8, 0, 0, 0, 8, 6, 0, 0, 0, 0, 0, 0},
        {"source left past the image", 0, 0, 9, 0, 12, 6, 0, 0, 0, 0, 0, 0},
        {"extreme point", INT_MAX, INT_MAX, 0, 0, 8, 6, 0, 0, 0, 0, 0, 0},
        {"extreme source rectangle", 0, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0, 0, 0, 0},
        {"extreme left cancelled by extreme source left", INT_MIN, 0, INT_MIN, 0, 8, 6, 0, 0, 8, 6, 0, 0},
        {"extreme negative point", INT_MIN, INT_MIN, 0, 0, 8, 6, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TARGB8888 dest = Solid(10, 8, kMarker);
        src.Draw(dest, c.x, c.y, c.sl, c.st, c.sr, c.sb);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 10; ++x) {
                const bool inside = x >= c.l && x < c.r && y >= c.t && y < c.b;
                const uint32_t want = inside ? src.Pixel(x + c.ox, y + c.oy) : kMarker;
                ASSERT_EQ(Hex(dest.Pixel(x, y)), Hex(want)) << c.what << " at " << x << "," << y;
            }
    }
}

TEST(ImageBlit, RowBandAndDrawStopsAtRow1024) {
    const TARGB8888 src = Solid(4, 1200, 0xFF0000FF);
    TARGB8888 dest = Solid(4, 1200, kMarker);
    auto before = Pixels(dest);
    src.Draw(dest, 0, 0, 0, 0, 4, 1200);
    auto rows = ChangedRows(dest, before);
    ASSERT_EQ(rows.size(), 1024u);
    EXPECT_EQ(rows.back(), 1023);

    TARGB8888 small = Solid(4, 10, kMarker);
    before = Pixels(small);
    src.DrawEx(small, 0, -3, 0, 0, 4, 12, 0, 0xFFFFFFFF, 255, 1, 2, 5);
    EXPECT_EQ(ChangedRows(small, before), (std::vector<int32_t>{2, 3, 4}));
    src.DrawEx(small, 0, 0, 0, 0, 4, 12, 0, 0xFFFFFFFF, 255, 1, 7, 7);
    src.DrawEx(small, 0, 0, 0, 0, 4, 12, 0, 0xFFFFFFFF, 255, 1, INT_MAX, INT_MIN);
    EXPECT_EQ(ChangedRows(small, before), (std::vector<int32_t>{2, 3, 4})) << "empty bands draw nothing";
}

TEST_F(ImageTest, DrawExModesAndTransparentPairs) {
    // Row: pair 0 fully transparent, pair 1 transparent beside opaque, pair 2 opaque.
    TARGB8888 src = MakeImage(6, 1, [](int32_t x, int32_t) {
        const uint32_t row[6] = {0x00FFFFFF, 0x00000000, 0x00000000, 0xFF000000, 0xFF0000FF, 0xFFFF0000};
        return row[x];
    });
    auto draw = [&](uint8_t alpha, uint8_t mode, uint32_t mul = 0xFFFFFFFF) {
        TARGB8888 dest = Solid(6, 1, 0xFFFFFFFF);
        src.DrawEx(dest, 0, 0, 0, 0, 6, 1, 0, mul, alpha, mode, 0, 1024);
        return Pixels(dest);
    };
    // Alpha blend: the transparent pair keeps the destination, the half
    // transparent pair blends both pixels (0 over 255 at k = 127 gives 253).
    auto r = draw(255, 2);
    EXPECT_EQ(Hex(r[0]), "FFFFFFFF");
    EXPECT_EQ(Hex(r[1]), "FFFFFFFF");
    EXPECT_EQ(Hex(r[2]), "FDFDFDFD");
    EXPECT_EQ(Hex(r[3]), "FF000000");
    // Copy through the blend path (mode 0, 129) skips transparent pairs too;
    // only the plain copy (mode 1) copies them.
    for (uint8_t mode : {0, 129}) {
        r = draw(255, mode);
        EXPECT_EQ(Hex(r[0]), "FFFFFFFF") << int(mode);
        EXPECT_EQ(Hex(r[2]), "00000000") << int(mode);
    }
    r = draw(255, 1);
    EXPECT_EQ(Hex(r[0]), "00FFFFFF");
    EXPECT_EQ(Hex(r[1]), "00000000");
    // Alpha 128 takes every source channel through the multiply stage.
    TARGB8888 white = Solid(2, 1, 0xFFFFFFFF);
    TARGB8888 dest = Solid(2, 1, 0);
    white.DrawEx(dest, 0, 0, 0, 0, 2, 1, 0, 0xFFFFFFFF, 128, 0, 0, 1024);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "7FFEFEFE");
    // Alpha 0 draws nothing at all.
    EXPECT_EQ(draw(0, 1), Pixels(Solid(6, 1, 0xFFFFFFFF)));

    // An image that says it is opaque is copied in mode 2 at alpha 255, even
    // where its pixels are not.
    src.SetTransparencyHook([] { return false; });
    r = draw(255, 2);
    EXPECT_EQ(Hex(r[0]), "00FFFFFF");
    EXPECT_EQ(Hex(r[2]), "00000000");
    // ... but not at a lower alpha.
    r = draw(254, 2);
    EXPECT_EQ(Hex(r[0]), "FFFFFFFF");
}

TEST_F(ImageTest, InterlaceTouchesOnlyRowsOfTheCurrentParity) {
    const TARGB8888 src = MakeImage(6, 6, [](int32_t x, int32_t y) { return 0x80000000u | uint32_t(x * 40 + y); });
    const TARGB8888 other = Solid(6, 6, 0xFF00FF00);
    TLockedSurface surface;
    struct Op {
        const char* name;
        std::function<void(TARGB8888&)> run;
    } ops[] = {
        {"Draw", [&](TARGB8888& d) { src.Draw(d, 0, 0, 0, 0, 6, 6); }},
        {"DrawEx", [&](TARGB8888& d) { src.DrawEx(d, 0, 0, 0, 0, 6, 6, 0x10, 0xFFFFFFFF, 200, 3, 0, 1024); }},
        {"StretchDraw", [&](TARGB8888& d) { src.StretchDraw(d, 0, 0, 6, 6, 0, 0, 3, 3, 0, 0xFFFFFFFF, 255, 2, 0, 1024); }},
        {"RotateDraw", [&](TARGB8888& d) { src.RotateDraw(d, 3, 3, 4096, 4096, 512, 0, 0, 6, 6, 0, 0xFFFFFFFF, 255, 0, 0, 1024); }},
        {"RuleDraw", [&](TARGB8888& d) { src.RuleDraw(d, 0, 0, 0, 0, 6, 6, 0, 0, 200, 1, 0, 1024); }},
        {"HalfBlend", [&](TARGB8888& d) { src.HalfBlend(d, 0, 0, 0, 0, 6, 6); }},
        {"CrossFade", [&](TARGB8888& d) { src.CrossFade(d, other, 0, 0, 0, 0, 6, 6, 100); }},
        {"RuleCrossFade", [&](TARGB8888& d) { src.RuleCrossFade(d, other, 0, 0, 0, 0, 6, 6, 100); }},
        {"FillRectEx", [&](TARGB8888& d) { d.FillRectEx(0, 0, 6, 6, 0x80FF0000, 2, 0, 1024); }},
        {"ColourBlendTo", [&](TARGB8888& d) { src.ColourBlendTo(d, 0, 0, 6, 6, 0x80FF0000, 2); }},
        {"CopyToSurface", [&](TARGB8888& d) {
             // A surface carries its own parity: the one of the pass here.
             surface = {d.Row(0), ptrdiff_t{d.Width()} * 4, d.Width(), d.Height(), 32, 0, d.DrawParity()};
             src.CopyToSurface(&surface, 0, 0, 0, 0, 6, 6);
         }},
    };
    for (const Op& op : ops) {
        for (int32_t parity : {0, 1}) {
            TARGB8888 dest = Solid(6, 6, 0xFF808080);
            const auto before = Pixels(dest);
            {
                TInterlacePass pass(dest, true, parity);
                op.run(dest);
            }
            EXPECT_EQ(dest.DrawParity(), -1) << "the pass restores the previous parity";
            const auto rows = ChangedRows(dest, before);
            ASSERT_FALSE(rows.empty()) << op.name;
            for (int32_t row : rows) EXPECT_EQ(row & 1, parity) << op.name << " row " << row;
        }
    }
    // Alpha edits ignore interlace.
    TARGB8888 img = Solid(4, 4, 0xFF000000);
    img.SetDrawParity(0);
    img.SetAlphaRect(0, 0, 4, 4, 5);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "05000000");
    EXPECT_EQ(Hex(img.Pixel(0, 1)), "05000000");
    img.CopyAlpha(Solid(4, 4, 0x000000AA));
    EXPECT_EQ(Hex(img.Pixel(0, 1)), "AA000000");

    // The pass belongs to its picture: drawing into another one meanwhile
    // touches every row, and passes nest.
    TARGB8888 a = Solid(2, 4, 0xFF000000), b = Solid(2, 4, 0xFF000000);
    {
        TInterlacePass outer(a, true, 1);
        {
            TInterlacePass inner(a, false, 0);
            EXPECT_EQ(a.DrawParity(), -1);
        }
        EXPECT_EQ(a.DrawParity(), 1);
        a.FillRect(0, 0, 2, 4, 0xFFFFFFFF);
        b.FillRect(0, 0, 2, 4, 0xFFFFFFFF);
    }
    EXPECT_EQ(ChangedRows(a, Pixels(Solid(2, 4, 0xFF000000))), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(ChangedRows(b, Pixels(Solid(2, 4, 0xFF000000))), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(ImageTest, FillsAndPixelEdits) {
    TARGB8888 img = Solid(6, 3, 0xFF000000);
    img.FillRectEx(0, 0, 1, 1, 0x80FFFFFF, 2, 0, 1024);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "FF000000") << "one column is not a pair";
    img.FillRectEx(-4, 0, 3, 1, 0x80FFFFFF, 2, 0, 1024);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "BE818181");
    EXPECT_EQ(Hex(img.Pixel(1, 0)), "BE818181");
    EXPECT_EQ(Hex(img.Pixel(2, 0)), "FF000000") << "three columns fill two";
    img.FillRectEx(6, 3, 4, 1, 0x00ABCDEF, 1, 0, 1024);  // reversed corners, mode 1 stores alpha 0
    EXPECT_EQ(Hex(img.Pixel(4, 1)), "00ABCDEF");
    EXPECT_EQ(Hex(img.Pixel(5, 2)), "00ABCDEF");
    const auto before = Pixels(img);
    img.FillRectEx(0, 0, 6, 3, 0x00ABCDEF, 2, 0, 1024);
    img.FillRectEx(0, 0, 6, 3, 0x00ABCDEF, 0, 0, 1024);
    img.FillRectEx(0, 0, 6, 3, 0x00ABCDEF, 129, 0, 1024);
    EXPECT_EQ(Pixels(img), before) << "a transparent colour draws nothing outside mode 1";
    img.FillRectEx(0, 0, 6, 3, 0x01ABCDEF, 0, 1, 2);
    EXPECT_EQ(ChangedRows(img, before), std::vector<int32_t>{1});
    img.FillRectSum(0, 2, 2, 3, 0x00F01010, 0x80201020, 0x40, 1, 0, 1024);
    EXPECT_EQ(Hex(img.Pixel(0, 2)), "40FF2030");
    img.FillRectEx(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFF010203, 1, INT_MIN, INT_MAX);
    EXPECT_EQ(Hex(img.Pixel(5, 2)), "FF010203");

    img.SetAlphaRect(0, 0, 3, 1, -1);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "FF010203") << "negative alpha counts as large";
    img.SetAlphaRect(0, 0, 3, 1, 7);
    EXPECT_EQ(Hex(img.Pixel(1, 0)), "07010203");
    EXPECT_EQ(Hex(img.Pixel(2, 0)), "FF010203");
    img.SetAlphaRect(0, 0, 2, 1, 300);
    EXPECT_EQ(Hex(img.Pixel(0, 0)), "FF010203");

    TARGB8888 mask = MakeImage(2, 5, [](int32_t x, int32_t y) { return 0xFFFFFF00u | uint32_t(x * 10 + y); });
    img.CopyAlpha(mask);
    EXPECT_EQ(Hex(img.Pixel(1, 2)), "0C010203");
    EXPECT_EQ(Hex(img.Pixel(2, 2)), "FF010203") << "outside the mask";
}

TEST_F(ImageTest, ColourBlendToAndScroll) {
    const TARGB8888 src = Solid(4, 4, 0xFF000000);
    TARGB8888 dest = Solid(4, 4, kMarker);
    src.ColourBlendTo(dest, 1, 1, 3, 3, 0x80FFFFFF, 2);
    EXPECT_EQ(Hex(dest.Pixel(1, 1)), "BE818181");
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), Hex(kMarker));
    EXPECT_EQ(Hex(src.Pixel(1, 1)), "FF000000");
    src.ColourBlendTo(dest, 0, 0, 2, 1, 0xFF00FF00, 2);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "FF00FF00");

    // The content moves by (2, 1); uncovered pixels take the colour.
    TARGB8888 img = Coded(6, 4);
    const TARGB8888 old = Coded(6, 4);
    img.ScrollImage(2, 1, 0xFF0000FF);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            const uint32_t want = (x >= 2 && y >= 1) ? old.Pixel(x - 2, y - 1) : 0xFF0000FFu;
            EXPECT_EQ(Hex(img.Pixel(x, y)), Hex(want)) << x << "," << y;
        }
    img.ScrollImage(-3, 0, 0);
    EXPECT_EQ(Hex(img.Pixel(0, 1)), Hex(old.Pixel(-2 + 3, 0)));
}

TEST_F(ImageTest, TransitionsAndWipes) {
    const TARGB8888 a = MakeImage(4, 2, [](int32_t x, int32_t) { return x < 2 ? 0x20FFFFFFu : 0xE0FFFFFFu; });
    const TARGB8888 b = Solid(4, 2, 0xFF000000);
    TARGB8888 dest = Solid(4, 2, kMarker);
    a.CrossFade(dest, b, 0, 0, 0, 0, 4, 2, 255);
    EXPECT_EQ(Pixels(dest), Pixels(a));
    a.CrossFade(dest, b, 0, 0, 0, 0, 4, 2, 0);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "FD010101") << "level 0 reaches the other image at 127/128";
    EXPECT_EQ(Hex(dest.Pixel(2, 0)), "FE010101");
    a.CrossFade(dest, b, 0, 0, 0, 0, 4, 2, -50);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "FD010101") << "levels below 0 count as 0";
    a.CrossFade(dest, b, 0, 0, 0, 0, 4, 2, 1000);
    EXPECT_EQ(Pixels(dest), Pixels(a)) << "levels above 255 count as 255";

    // Rule cross-fade: the rule is a's own alpha (0x20 left, 0xE0 right).
    dest = Solid(4, 2, kMarker);
    a.RuleCrossFade(dest, b, 0, 0, 0, 0, 4, 2, 0);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), Hex(kMarker)) << "level 0 draws nothing";
    a.RuleCrossFade(dest, b, 0, 0, 0, 0, 4, 2, 255);
    EXPECT_EQ(Pixels(dest), Pixels(a));
    // Level 128: t = 112; alpha 0xE0 gives k = 127 (other), 0x20 k = 0 (this).
    a.RuleCrossFade(dest, b, 0, 0, 0, 0, 4, 2, 128);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "20FFFFFF");
    EXPECT_EQ(Hex(dest.Pixel(2, 0)), "FE010101");

    // RuleDraw: the same wipe over the destination; 255 is a plain copy.
    dest = Solid(4, 2, 0xFF000000);
    a.RuleDraw(dest, 0, 0, 0, 0, 4, 2, 0, 0, 255, 1, 0, 1024);
    EXPECT_EQ(Pixels(dest), Pixels(a));
    dest = Solid(4, 2, 0xFF000000);
    a.RuleDraw(dest, 0, 0, 0, 0, 4, 2, 0, 0, 128, 2, 0, 1024);
    EXPECT_EQ(Hex(dest.Pixel(0, 0)), "20FFFFFF");
    EXPECT_EQ(Hex(dest.Pixel(2, 0)), "FE010101");
    for (uint8_t mode : {0, 8, 9}) {
        dest = Solid(4, 2, kMarker);
        a.RuleDraw(dest, 0, 0, 0, 0, 4, 2, 0, 0, 128, mode, 0, 1024);
        EXPECT_EQ(Hex(dest.Pixel(0, 0)), Hex(kMarker)) << "mode " << int(mode) << " is not a wipe";
    }

    dest = Solid(4, 2, 0x03030303);
    Solid(4, 2, 0x01FF0301).HalfBlend(dest, 0, 0, 0, 0, 3, 2);
    EXPECT_EQ(Hex(dest.Pixel(1, 1)), "01800201");
    EXPECT_EQ(Hex(dest.Pixel(2, 1)), "03030303");
}

// The other image of a transition is read at the source coordinates; when it
// does not cover them nothing is drawn (rather than reading outside it), and
// a colour blend never writes outside its destination.
TEST_F(ImageTest, TransitionsRefuseImagesTooSmall) {
    const TARGB8888 src = Coded(20, 20);
    const TARGB8888 small = Solid(12, 12, 0xFF00FF00);
    TARGB8888 dest = Solid(30, 30, kMarker);
    const auto before = Pixels(dest);
    src.CrossFade(dest, small, 0, 0, 0, 0, 20, 20, 100);
    EXPECT_EQ(Pixels(dest), before);
    // In destination coordinates the other image would be large enough
    // (0 + 10 <= 12), at the source coordinates 10..20 it is not.
    src.RuleCrossFade(dest, small, 0, 0, 10, 10, 20, 20, 100);
    EXPECT_EQ(Pixels(dest), before);
    src.CrossFade(dest, small, 5, 5, 2, 2, 12, 12, 100);
    EXPECT_NE(Pixels(dest), before) << "an other image that covers the rectangle is used";

    TARGB8888 tiny = Solid(3, 3, kMarker);
    src.ColourBlendTo(tiny, 0, 0, 10, 10, 0x80FFFFFF, 2);
    EXPECT_EQ(Pixels(tiny), Pixels(Solid(3, 3, kMarker)));
    src.ColourBlendTo(tiny, 0, 0, 2, 3, 0xFFFFFFFF, 2);
    EXPECT_EQ(Hex(tiny.Pixel(1, 2)), "FFFFFFFF");
}

TEST_F(ImageTest, CopyToSurfaceFormats) {
    const TARGB8888 src = MakeImage(7, 2, [](int32_t x, int32_t y) { return 0x00F8FC08u + uint32_t(x) + 0x100u * y; });
    EXPECT_FALSE(src.CopyToSurface(nullptr, 0, 0, 0, 0, 7, 2));
    TLockedSurface none;
    none.bitDepth = 32;
    EXPECT_FALSE(src.CopyToSurface(&none, 0, 0, 0, 0, 7, 2));

    std::vector<uint32_t> px32(8 * 3, kMarker);
    TLockedSurface s32{px32.data(), 32, 8, 3, 32, 0};
    EXPECT_TRUE(src.CopyToSurface(&s32, 1, 1, 0, 0, 7, 2));
    EXPECT_EQ(Hex(px32[8 + 1]), "FFF8FC08");
    EXPECT_EQ(Hex(px32[8 + 6]), "FFF8FC0D");
    EXPECT_EQ(Hex(px32[8 + 7]), Hex(kMarker)) << "seven columns copy six";
    EXPECT_EQ(Hex(px32[0]), Hex(kMarker));
    TLockedSurface shortPitch{px32.data(), 28, 8, 3, 32, 0};
    EXPECT_FALSE(src.CopyToSurface(&shortPitch, 0, 0, 0, 0, 7, 2));

    std::vector<uint16_t> px16(8 * 2, 0xABCD);
    TLockedSurface s565{px16.data(), 16, 8, 2, 16, 0x07E0};
    EXPECT_TRUE(src.CopyToSurface(&s565, 0, 0, 0, 0, 7, 2));
    EXPECT_EQ(px16[0], (0xF8 >> 3) << 11 | (0xFC >> 2) << 5 | (0x08 >> 3));
    EXPECT_EQ(px16[3], (0xF8 >> 3) << 11 | (0xFC >> 2) << 5 | (0x0B >> 3));
    EXPECT_EQ(px16[4], 0xABCD) << "seven columns convert one group of four";
    TLockedSurface s555{px16.data(), 16, 8, 2, 16, 0x03E0};
    EXPECT_TRUE(src.CopyToSurface(&s555, 0, 0, 0, 0, 7, 2));
    EXPECT_EQ(px16[8], (0xF8 >> 3) << 10 | (0xFD >> 3) << 5 | (0x08 >> 3));

    std::vector<uint8_t> px24(5 * 3 + 1, 0xEE);
    TLockedSurface s24{px24.data(), 16, 5, 1, 24, 0};
    EXPECT_TRUE(src.CopyToSurface(&s24, 2, 0, 0, 0, 7, 1));
    EXPECT_EQ(px24[5], 0xEE);
    EXPECT_EQ(px24[6], 0x08);
    EXPECT_EQ(px24[7], 0xFC);
    EXPECT_EQ(px24[8], 0xF8);
    EXPECT_EQ(px24[14], 0xF8) << "24 bits convert every pixel up to the edge";
    EXPECT_EQ(px24[12], 0x0A);

    TLockedSurface s8{px24.data(), 16, 5, 1, 8, 0};
    EXPECT_TRUE(src.CopyToSurface(&s8, 0, 0, 0, 0, 7, 1));
}

TEST_F(ImageTest, StretchDrawNearestNeighbour) {
    const TARGB8888 src = Coded(4, 2);
    TARGB8888 dest = Solid(8, 4, kMarker);
    src.StretchDraw(dest, 0, 0, 8, 4, 0, 0, 4, 2, 0, 0xFFFFFFFF, 255, 1, 0, 1024);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(dest.Pixel(x, y), src.Pixel(x / 2, y / 2)) << x << "," << y;

    // Corners in either order, and a destination that starts off the image:
    // the source is cut in proportion (columns 2..3 fill columns 0..3).
    dest = Solid(8, 4, kMarker);
    src.StretchDraw(dest, 4, 2, -4, 0, 4, 2, 0, 0, 0, 0xFFFFFFFF, 255, 1, 0, 1024);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dest.Pixel(x, 1), src.Pixel(2 + x / 2, 1)) << x;
    EXPECT_EQ(dest.Pixel(4, 0), kMarker);

    // The same size is an ordinary blit.
    TARGB8888 d1 = Solid(8, 4, kMarker), d2 = Solid(8, 4, kMarker);
    src.StretchDraw(d1, 1, 1, 5, 3, 0, 0, 4, 2, 0x102030, 0x80FFFFFF, 200, 3, 0, 1024);
    src.DrawEx(d2, 1, 1, 0, 0, 4, 2, 0x102030, 0x80FFFFFF, 200, 3, 0, 1024);
    EXPECT_EQ(Pixels(d1), Pixels(d2));

    // Transparent source pairs are skipped: stretch has no plain copy path.
    const TARGB8888 clear = Solid(2, 2, 0x00FFFFFF);
    dest = Solid(8, 4, kMarker);
    clear.StretchDraw(dest, 0, 0, 8, 4, 0, 0, 2, 2, 0, 0xFFFFFFFF, 255, 1, 0, 1024);
    EXPECT_EQ(Pixels(dest), Pixels(Solid(8, 4, kMarker)));
}

TEST_F(ImageTest, RotateDraw) {
    const TARGB8888 src = Coded(8, 6);
    // No turn at scale 1 is an ordinary blit about the centre.
    TARGB8888 d1 = Solid(20, 20, kMarker), d2 = Solid(20, 20, kMarker);
    src.RotateDraw(d1, 10, 10, 4096, 4096, 4096 * 3, 0, 0, 8, 6, 0, 0xFFFFFFFF, 255, 2, 0, 1024);
    src.DrawEx(d2, 6, 7, 0, 0, 8, 6, 0, 0xFFFFFFFF, 255, 2, 0, 1024);
    EXPECT_EQ(Pixels(d1), Pixels(d2));
    // No turn at scale 2 is a stretch.
    d1 = Solid(20, 20, kMarker), d2 = Solid(20, 20, kMarker);
    src.RotateDraw(d1, 10, 10, 8192, 8192, 0, 0, 0, 8, 6, 0, 0xFFFFFFFF, 255, 2, 0, 1024);
    src.StretchDraw(d2, 2, 4, 18, 16, 0, 0, 8, 6, 0, 0xFFFFFFFF, 255, 2, 0, 1024);
    EXPECT_EQ(Pixels(d1), Pixels(d2));

    // A quarter turn of a 16x16 square: about 256 pixels, all taken from the
    // source, all inside the rotated box around the centre.
    const TARGB8888 square = Coded(16, 16);
    TARGB8888 dest = Solid(40, 40, kMarker);
    square.RotateDraw(dest, 20, 20, 4096, 4096, 1024, 0, 0, 16, 16, 0, 0xFFFFFFFF, 255, 1, 0, 1024);
    int drawn = 0;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const uint32_t p = dest.Pixel(x, y);
            if (p == kMarker) continue;
            ++drawn;
            EXPECT_TRUE(x >= 11 && x < 29 && y >= 11 && y < 29) << x << "," << y;
            EXPECT_EQ(p >> 24, 0xFFu);
            EXPECT_LT(p & 0xFF, 16u);
            EXPECT_LT((p >> 8) & 0xFF, 16u);
        }
    EXPECT_GT(drawn, 200);
    EXPECT_LT(drawn, 320);
    EXPECT_NE(dest.Pixel(20, 20), kMarker);

    // Alpha 0 draws nothing, here as in every other blit.
    dest = Solid(40, 40, kMarker);
    square.RotateDraw(dest, 20, 20, 4096, 4096, 1024, 0, 0, 16, 16, 0, 0xFFFFFFFF, 0, 1, 0, 1024);
    EXPECT_EQ(Pixels(dest), Pixels(Solid(40, 40, kMarker)));
    // Scales of 1 or less draw nothing.
    square.RotateDraw(dest, 20, 20, 1, 4096, 1024, 0, 0, 16, 16, 0, 0xFFFFFFFF, 255, 1, 0, 1024);
    EXPECT_EQ(Pixels(dest), Pixels(Solid(40, 40, kMarker)));
}

// Script values reach these calls unchecked: extremes must neither crash,
// read or write outside an image, nor take long.
TEST_F(ImageTest, HostileCoordinatesAreHarmless) {
    const TARGB8888 src = Coded(16, 16);
    TARGB8888 dest = Solid(32, 24, kMarker);
    const int32_t v[] = {INT_MIN, INT_MIN + 1, -65536, -1, 0, 1, 7, 4096, 65536, INT_MAX - 1, INT_MAX};
    std::mt19937 rng(5);
    auto pick = [&] { return v[rng() % (sizeof v / sizeof v[0])]; };
    for (int i = 0; i < 400; ++i) {
        src.StretchDraw(dest, pick(), pick(), pick(), pick(), pick(), pick(), pick(), pick(), 0, 0xFFFFFFFF, 255, 2,
                        pick(), pick());
        src.RotateDraw(dest, pick(), pick(), pick(), pick(), pick(), pick(), pick(), pick(), pick(), 0, 0xFFFFFFFF,
                       255, 2, pick(), pick());
        src.RotateDraw(dest, 16, 12, pick(), pick(), pick(), 0, 0, 16, 16, 0, 0xFFFFFFFF, 255, 2, INT_MIN, INT_MAX);
        src.DrawEx(dest, pick(), pick(), pick(), pick(), pick(), pick(), 0, 0xFFFFFFFF, 255, 2, pick(), pick());
        src.RuleDraw(dest, pick(), pick(), pick(), pick(), pick(), pick(), 0, 0, 100, 2, pick(), pick());
        src.CrossFade(dest, src, pick(), pick(), pick(), pick(), pick(), pick(), pick());
        src.RuleCrossFade(dest, src, pick(), pick(), pick(), pick(), pick(), pick(), pick());
        src.HalfBlend(dest, pick(), pick(), pick(), pick(), pick(), pick());
        src.ColourBlendTo(dest, pick(), pick(), pick(), pick(), 0x80FFFFFF, 3);
        dest.FillRectEx(pick(), pick(), pick(), pick(), 0x80FFFFFF, 2, pick(), pick());
        dest.SetAlphaRect(pick(), pick(), pick(), pick(), pick());
        std::vector<uint32_t> surface(32 * 24);
        TLockedSurface s{surface.data(), 32 * 4, 32, 24, 32, 0};
        src.CopyToSurface(&s, pick(), pick(), pick(), pick(), pick(), pick());
    }
    // A rotation with a huge scale about a far point still ends.
    src.RotateDraw(dest, INT_MIN, INT_MAX, INT_MAX, INT_MAX, 1, 0, 0, 16, 16, 0, 0xFFFFFFFF, 255, 2, INT_MIN, INT_MAX);
    SUCCEED();
}

// Whole operations under each kernel table give the same bytes as under the
// reference, over random rectangles: odd widths, negative positions, bands,
// interlace of either parity.
TEST_F(ImageTest, VectorKernelsMatchReferenceThroughOperations) {
    std::mt19937 rng(2024);
    auto rnd = [&](int lo, int hi) { return lo + static_cast<int32_t>(rng() % uint32_t(hi - lo + 1)); };
    auto randomPixel = [&] {
        const uint32_t r = rng();
        const uint32_t a = (r & 3) == 0 ? 0 : (r & 3) == 1 ? 255 : (r >> 8) & 0xFF;
        return a << 24 | (rng() & 0xFFFFFF);
    };
    auto randomImage = [&](int32_t w, int32_t h) {
        return MakeImage(w, h, [&](int32_t, int32_t) { return randomPixel(); });
    };
    std::vector<TKernelLevel> levels{TKernelLevel::Sse2};
    if (Avx2Kernels() != nullptr) levels.push_back(TKernelLevel::Avx2);

    for (int iter = 0; iter < 1500; ++iter) {
        const TARGB8888 src = randomImage(rnd(1, 40), rnd(1, 20));
        const TARGB8888 other = randomImage(rnd(20, 45), rnd(10, 25));
        const TARGB8888 start = randomImage(rnd(1, 40), rnd(1, 20));
        const int op = rnd(0, 12);
        const int32_t x = rnd(-20, 40), y = rnd(-10, 25);
        const int32_t sl = rnd(-10, 45), st = rnd(-10, 25), sr = rnd(-10, 45), sb = rnd(-10, 25);
        const uint32_t add = (rng() & 1) ? 0 : rng(), mul = (rng() & 1) ? 0xFFFFFFFF : rng();
        const uint8_t alpha = (rng() & 1) ? 255 : static_cast<uint8_t>(rng());
        const uint8_t mode = static_cast<uint8_t>(rnd(0, 9) | ((rng() & 7) == 0 ? 0x80 : 0));
        const int32_t clipTop = rnd(-5, 10), clipBottom = rnd(5, 30);
        const int32_t level = rnd(-5, 260);
        const uint32_t colour = randomPixel();
        const bool interlace = rng() & 1;
        const int32_t parity = static_cast<int32_t>(rng() & 1);
        const int32_t angle = rnd(-5000, 5000), scale = rnd(1000, 9000);

        auto run = [&](TKernelLevel lvl) {
            SelectKernels(lvl);
            TARGB8888 d;
            d.AssignImage(start);
            std::vector<uint32_t> surface(size_t(start.Width()) * start.Height(), kMarker);
            TInterlacePass pass(d, interlace, parity);
            switch (op) {
                case 0: src.DrawEx(d, x, y, sl, st, sr, sb, add, mul, alpha, mode, clipTop, clipBottom); break;
                case 1: src.StretchDraw(d, x, y, x + rnd(-30, 30), y + rnd(-20, 20), sl, st, sr, sb, add, mul, alpha, mode, clipTop, clipBottom); break;
                case 2: src.RotateDraw(d, x, y, scale, scale, angle, sl, st, sr, sb, add, mul, alpha, mode, clipTop, clipBottom); break;
                case 3: src.RuleDraw(d, x, y, sl, st, sr, sb, add, mul, alpha, mode, clipTop, clipBottom); break;
                case 4: src.HalfBlend(d, x, y, sl, st, sr, sb); break;
                case 5: src.CrossFade(d, other, x, y, sl, st, sr, sb, level); break;
                case 6: src.RuleCrossFade(d, other, x, y, sl, st, sr, sb, level); break;
                case 7: d.FillRectEx(x, y, sr, sb, colour, mode, clipTop, clipBottom); break;
                case 8: d.FillRectSum(x, y, sr, sb, colour, add, alpha, mode, clipTop, clipBottom); break;
                case 9: other.ColourBlendTo(d, x, y, sr, sb, colour, mode); break;
                case 10:
                case 11:
                case 12: {
                    const int32_t depth = op == 10 ? 32 : op == 11 ? 16 : 24;
                    TLockedSurface s{surface.data(), ptrdiff_t{d.Width()} * 4, d.Width(), d.Height(), depth,
                                     (rng() & 1) ? 0x07E0u : 0x03E0u, interlace ? parity : -1};
                    src.CopyToSurface(&s, x, y, sl, st, sr, sb);
                    break;
                }
            }
            std::vector<uint32_t> out = Pixels(d);
            out.insert(out.end(), surface.begin(), surface.end());
            return out;
        };
        const std::mt19937 saved = rng;
        const std::vector<uint32_t> ref = run(TKernelLevel::Scalar);
        for (TKernelLevel lvl : levels) {
            rng = saved;  // the same random choices inside run()
            ASSERT_EQ(run(lvl), ref) << "op " << op << " iteration " << iter << " level " << int(lvl);
        }
    }
}
