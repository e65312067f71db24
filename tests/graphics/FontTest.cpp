#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BitmapFont.h"
#include "graphics/FreeTypeRasterizer.h"

namespace zel {
namespace {

// A rasteriser with fixed bitmaps: a one-byte code inks the left half of the
// work bitmap and advances by half the cell, any other code inks all of it and
// advances by the whole cell. Code 0xEAA4 is a character no face has.
struct FakeRaster : IGlyphRasterizer {
    std::vector<TGlyphRequest> calls;
    TTextSize Render(const TGlyphRequest& r, uint8_t* bm, int32_t w, int32_t h) override {
        calls.push_back(r);
        if (r.code == 0xEAA4) return {};
        const int32_t inkW = r.code <= 0xFF ? w / 2 : w;
        for (int32_t y = 0; y < h; ++y) std::memset(bm + size_t(y) * size_t(w), 0x80, size_t(inkW));
        return {inkW, h};
    }
};

std::string S(std::string_view utf8) { return Sj(utf8); }

TEST(FontReduce, BoxesAverageBinarisedInk) {
    // One inked work pixel in each s x s box: 255 / s^2 by the factor's own rule.
    struct Case {
        int s;
        uint8_t want;
    } cases[] = {{1, 255}, {2, 255 * 1 >> 2}, {3, 255 / 9}, {4, 255 >> 4}, {5, 255 / 25}};
    for (const Case& c : cases) {
        std::vector<uint8_t> work(size_t(c.s * 2) * size_t(c.s * 2), 0);
        work[0] = 1;  // any non-zero byte counts as full ink
        work[size_t(c.s * 2) * size_t(c.s) + size_t(c.s)] = 200;
        uint8_t out[4];
        ReduceGlyph(work.data(), c.s, 2, 2, out);
        EXPECT_EQ(out[0], c.want) << "s=" << c.s;
        EXPECT_EQ(out[3], c.want) << "s=" << c.s;
        EXPECT_EQ(out[1], 0) << "s=" << c.s;
    }
    std::vector<uint8_t> full(36, 7);
    uint8_t one;
    ReduceGlyph(full.data(), 6, 1, 1, &one);
    EXPECT_EQ(one, 255);
}

TEST(FontDecoration, PacksToTheStoredLayout) {
    TFontDecoration d;
    d.layers[0] = {0x66000000u, 2, -3, 1, -2};
    d.layers[15] = {0xFFFFFFFFu, -1, 1, 0, 3};
    const auto bytes = PackDecoration(d);
    EXPECT_EQ(bytes[3], 0x66);
    EXPECT_EQ(bytes[64], 2);
    EXPECT_EQ(bytes[96], 0xFD);
    EXPECT_EQ(bytes[97], 0xFF);
    EXPECT_EQ(bytes[128], 0xFE);
    EXPECT_EQ(bytes[144], 1);
    EXPECT_EQ(bytes[143], 3);
    const TFontDecoration back = UnpackDecoration(bytes.data());
    EXPECT_EQ(back.layers[0].dy, -3);
    EXPECT_EQ(back.layers[0].weightStep, -2);
    EXPECT_EQ(back.layers[15].colour, 0xFFFFFFFFu);
    EXPECT_EQ(back.layers[15].dx, -1);
}

struct FontFixture : ::testing::Test {
    FakeRaster raster;
    TFontTable fonts{raster};
    TARGB8888 img;
    void SetUp() override { img.NewImage(96, 48, 0); }
};

TEST_F(FontFixture, TextAdvancesByEachGlyphAndWalksShiftJis) {
    // A full-width letter, a half-width letter, then a lone lead byte at the end.
    const std::string text = S("Ａ") + "b" + "\x82";
    const TTextSize size = fonts.DrawText(img, 0, 0, text, 24, 24, 0xFFFFFFFF, 0, false);
    ASSERT_EQ(raster.calls.size(), 3u);
    EXPECT_EQ(raster.calls[0].code, 0x8260u);
    EXPECT_EQ(raster.calls[1].code, uint32_t('b'));
    EXPECT_EQ(raster.calls[2].code, 0x82u);
    EXPECT_EQ(size, (TTextSize{24 + 12 + 12, 24}));
    // Ink of the first glyph ends at x 24, the half-width one covers 24..35.
    EXPECT_EQ(img.Pixel(23, 5) >> 24, 0xFEu);
    EXPECT_EQ(img.Pixel(30, 5) >> 24, 0xFEu);
    // Vertical text stacks by advance height and reports the last width.
    const TTextSize v = fonts.DrawText(img, 60, 0, S("Ａ") + "b", 16, 16, 0xFFFFFFFF, 0, true);
    EXPECT_EQ(v, (TTextSize{8, 32}));
}

TEST_F(FontFixture, SpacesAdvanceWithoutDrawing) {
    EXPECT_EQ(fonts.DrawText(img, 0, 0, " " + S("　"), 24, 24, 0xFFFFFFFF, 0, false), (TTextSize{36, 24}));
    EXPECT_TRUE(raster.calls.empty());
    EXPECT_EQ(fonts.DrawText(img, 0, 0, "", 24, 24, 0xFFFFFFFF, 0, false), TTextSize{});
    TARGB8888 empty;
    EXPECT_EQ(fonts.DrawText(empty, 0, 0, "ab", 24, 24, 0xFFFFFFFF, 0, false), TTextSize{});
}

TEST_F(FontFixture, ShadowLayerOverTransparentGround) {
    TFontDecoration d;
    d.layers[0] = {0x66000000u, 2, 2, 0, 0};
    d.layers[1] = {0xFFFFFFFFu, 0, 0, 0, 0};
    fonts.SetSystemFont(1, S("ＭＳ ゴシック"), 0, false, 1, d);
    fonts.DrawText(img, 0, 0, S("あ"), 8, 8, 0xFFFFFFFF, 1, false);
    // Shadow only (x 9 is right of the face, under the shifted shadow): alpha 0x66 * 255 >> 8.
    EXPECT_EQ(img.Pixel(9, 9), 0x65000000u);
    // Face over the shadow: t + floor((C - t) * (255 >> 1) / 128) per channel.
    const auto mix = [](int t, int c) { return t + (((c - t) * 127) >> 7); };
    const uint32_t want = uint32_t(mix(0x65, 255)) << 24 | uint32_t(mix(0, 255)) * 0x010101u;
    EXPECT_EQ(img.Pixel(3, 3), want);
    // Face over transparent ground: RGB * 255 >> 8, alpha * v >> 8.
    EXPECT_EQ(img.Pixel(0, 0), 0xFEFEFEFEu);
    // The text colour tints each layer; flag bit 0 keeps the layer's RGB.
    img.NewImage(96, 48, 0);
    d.layers[0] = {0xFF00FF00u, 0, 10, 1, 0};
    fonts.SetSystemFont(1, S("ＭＳ ゴシック"), 0, false, 1, d);
    fonts.DrawText(img, 0, 0, S("あ"), 8, 8, 0x80FF0000u, 1, false);
    EXPECT_EQ(img.Pixel(0, 0), uint32_t(0x80 * 255 >> 8) << 24 | 0xFE0000u);
    EXPECT_EQ(img.Pixel(0, 12), uint32_t(0x80 * 255 >> 8) << 24 | 0x00FE00u);
}

TEST_F(FontFixture, CentringShiftsNarrowGlyphs) {
    fonts.SetSystemFont(2, "Face", 0, true, 1, DefaultDecoration());
    fonts.DrawText(img, 0, 0, "a", 24, 24, 0xFFFFFFFF, 2, false);
    EXPECT_EQ(img.Pixel(5, 5) >> 24, 0u);
    EXPECT_EQ(img.Pixel(6, 5) >> 24, 0xFEu);
    EXPECT_EQ(img.Pixel(17, 5) >> 24, 0xFEu);
    EXPECT_EQ(img.Pixel(18, 5) >> 24, 0u);
}

TEST_F(FontFixture, LayersOfOneWeightShareTheCachedGlyph) {
    TFontDecoration d;
    for (auto& l : d.layers) l = {0xFFFFFFFFu, 1, 1, 0, 0};
    d.layers[7].weightStep = 3;
    fonts.SetSystemFont(0, "Face", 0, false, 2, d);
    fonts.DrawText(img, 0, 0, S("あ"), 24, 24, 0xFFFFFFFF, 0, false);
    ASSERT_EQ(raster.calls.size(), 2u);
    EXPECT_EQ(raster.calls[0].weight, 400);
    EXPECT_EQ(raster.calls[1].weight, 700);
    // Supersampling asks the rasteriser for s times the cell.
    EXPECT_EQ(raster.calls[0].cellWidth, 48);
    EXPECT_EQ(raster.calls[0].cellHeight, 48);
    fonts.DrawText(img, 0, 0, S("あ"), 24, 24, 0xFFFFFFFF, 0, false);
    EXPECT_EQ(raster.calls.size(), 2u);
}

TEST_F(FontFixture, WeightAndSupersamplingAreLimited) {
    struct Case {
        int32_t ss, step;
        int32_t wantCell, wantWeight;
    } cases[] = {{0, -9, 10, 0}, {99, 9, 160, 1000}, {3, 1, 30, 500}};
    for (const Case& c : cases) {
        TFontDecoration d;
        d.layers[0] = {0xFFFFFFFFu, 0, 0, 0, c.step};
        fonts.SetSystemFont(3, "Face", 0, false, c.ss, d);
        raster.calls.clear();
        fonts.DrawText(img, 0, 0, S("い"), 10, 10, 0xFFFFFFFF, 3, false);
        ASSERT_EQ(raster.calls.size(), 1u);
        EXPECT_EQ(raster.calls[0].cellWidth, c.wantCell) << c.ss;
        EXPECT_EQ(raster.calls[0].weight, c.wantWeight) << c.step;
    }
}

TEST_F(FontFixture, HugeCellsLowerTheFactorOrDrawNothing) {
    fonts.SetSystemFont(0, "Face", 0, false, 16, DefaultDecoration());
    TARGB8888 small;
    small.NewImage(4, 4, 0);
    fonts.DrawText(small, 0, 0, S("う"), 2000, 2000, 0xFFFFFFFF, 0, false);
    ASSERT_EQ(raster.calls.size(), 1u);
    EXPECT_LE(size_t(raster.calls[0].cellWidth) * size_t(raster.calls[0].cellHeight), kMaxGlyphWorkBytes);
    EXPECT_EQ(small.Pixel(3, 3) >> 24, 0xFEu);
    raster.calls.clear();
    EXPECT_EQ(fonts.DrawText(small, 0, 0, S("う"), 100000, 24, 0xFFFFFFFF, 0, false), TTextSize{});
    EXPECT_TRUE(raster.calls.empty());
}

TEST_F(FontFixture, TransparentTextKeepsItsLayout) {
    EXPECT_EQ(fonts.DrawText(img, 0, 0, S("あ") + "a", 24, 24, 0x00FFFFFF, 0, false), (TTextSize{36, 24}));
    EXPECT_EQ(img.Pixel(3, 3), 0u);
}

TEST(FontCache, RoundRobinEvictsTheOldestOf257) {
    TSystemFontCache cache;
    auto glyph = std::make_shared<TCachedGlyph>();
    glyph->coverage.resize(4);
    std::vector<TGlyphKey> keys;
    for (uint32_t i = 0; i < 257; ++i) {
        keys.push_back(TGlyphKey::Make("Face", 0, 2, 24, 24, 0x8800 + i, 0));
        cache.Store(keys.back(), glyph);
    }
    EXPECT_FALSE(cache.Holds(keys[0]));
    EXPECT_TRUE(cache.Holds(keys[1]));
    EXPECT_TRUE(cache.Holds(keys[256]));
    // Found again (from the store behind the slots), it takes the next slot and evicts key 1.
    EXPECT_NE(cache.Find(keys[0]), nullptr);
    EXPECT_TRUE(cache.Holds(keys[0]));
    EXPECT_FALSE(cache.Holds(keys[1]));
    cache.Clear();
    EXPECT_EQ(cache.Find(keys[5]), nullptr);
}

TEST(FontCache, KeysCompareTheirBytes) {
    const std::string longFace(40, 'F');
    // Faces are cut to 30 bytes; the style keeps only bits 0 and 1.
    EXPECT_EQ(TGlyphKey::Make(longFace, 1, 2, 24, 24, 65, 0), TGlyphKey::Make(longFace + "x", 1, 2, 24, 24, 65, 4));
    EXPECT_FALSE(TGlyphKey::Make("A", 1, 2, 24, 24, 65, 0) == TGlyphKey::Make("A", 1, 2, 24, 24, 65, 2));
    EXPECT_FALSE(TGlyphKey::Make("A", 1, 2, 24, 24, 65, 0) == TGlyphKey::Make("A", 2, 2, 24, 24, 65, 0));
    const TGlyphKey k = TGlyphKey::Make("A", 1, 2, 24, 24, 65, 0);
    EXPECT_EQ(k.pad[0] | k.pad[1], 0);
    EXPECT_EQ(TGlyphKeyHash{}(k), TGlyphKeyHash{}(TGlyphKey::Make("A", 1, 2, 24, 24, 65, 0)));
}

TEST_F(FontFixture, RedrawOfAPageLargerThanTheSlotsRendersNothing) {
    // 300 distinct glyphs, drawn twice: the second page asks nothing of the rasteriser.
    std::string page;
    for (int i = 0; i < 300; ++i) {
        page.push_back(static_cast<char>(0x88 + i / 94));
        page.push_back(static_cast<char>(0x9F + i % 94));
    }
    TARGB8888 big;
    big.NewImage(300 * 8, 8, 0);
    fonts.DrawText(big, 0, 0, page, 8, 8, 0xFFFFFFFF, 0, false);
    const size_t cold = raster.calls.size();
    EXPECT_EQ(cold, 300u);
    fonts.DrawText(big, 0, 0, page, 8, 8, 0xFFFFFFFF, 0, false);
    EXPECT_EQ(raster.calls.size(), cold);
}

// ---- Bitmap fonts ----

// A set of 8 x 8 cells on one 128 x 128 page: 'A' (entry 65) at cell (1, 0)
// with a diagonal of palette index 1 and index 2 elsewhere; width scale 64.
TGlyphSet MakeSet(bool additive = false) {
    TGlyphSet g;
    g.cellWidth = 8;
    g.cellHeight = 8;
    g.pageCount = 1;
    g.pageWidth = 128;
    g.pageHeight = 128;
    g.additive = additive;
    g.pages.assign(128 * 128, 0);
    g.palette[1] = 0xFF804020u;
    g.palette[2] = 0x80FFFFFFu;
    g.map[65] = 0 * 256 + 0 * 16 + 1;
    g.widthScale[65] = 64;
    g.heightScale[65] = 128;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) g.pages[size_t(y) * 128 + 8 + size_t(x)] = x == y ? 1 : 2;
    return g;
}

TEST(BitmapFont, ReadsWhatItWritesAndChecksTheHeader) {
    const std::string bytes = MakeSet().Write();
    ASSERT_EQ(bytes.size(), TGlyphSet::kHeaderBytes + 128 * 128);
    TMemoryStream s(bytes);
    auto g = TGlyphSet::Read(s);
    EXPECT_EQ(g->map[65], 1);
    EXPECT_EQ(g->palette[1], 0xFF804020u);
    EXPECT_EQ(g->pageWidth, 128);
    struct Bad {
        const char* what;
        size_t at;
        uint8_t value;
        size_t cut;
    } bad[] = {
        {"pages cut short", 0, 0, 1},
        {"header cut", 0, 0, 128 * 128 + 10},
        {"cell width 0", 66624, 0, 0},
        {"cells do not fit across", 66624, 9, 0},
        {"cells do not fit down", 66626, 9, 0},
        {"two pages declared", 66628, 2, 0},
    };
    for (const Bad& b : bad) {
        std::string c = bytes;
        if (b.at) c[b.at] = static_cast<char>(b.value);
        c.resize(c.size() - b.cut);
        TMemoryStream cs(c);
        EXPECT_THROW(TGlyphSet::Read(cs), EFontFileError) << b.what;
    }
}

TEST(BitmapFont, EntryIndexOfShiftJisCodes) {
    EXPECT_EQ(GlyphEntryIndex(0x41), 0x41);
    EXPECT_EQ(GlyphEntryIndex(0x82A0), 0x02A0);
    EXPECT_EQ(GlyphEntryIndex(0xE040), 0x2040);
    EXPECT_EQ(GlyphEntryIndex(0xA040), 0);
    EXPECT_EQ(GlyphEntryIndex(0x10000), 0);
}

TEST(BitmapFont, DrawsPalettePixelsAndFallsBackToSlotZero) {
    FakeRaster raster;
    TFontTable fonts(raster);
    TMemoryStream h(MakeSet().Write());
    fonts.LoadBitmapFont(1, "pix", &h, nullptr);
    ASSERT_TRUE(fonts.SlotIsBitmapFont(1));
    EXPECT_EQ(fonts.SlotFontName(1), "pix");
    TARGB8888 img;
    img.NewImage(64, 16, 0);
    img.SetPixel(1, 0, 0xFF000000u);  // an opaque target pixel
    // 'A' then a kanji the set lacks: drawn by slot 0 (the fake system font).
    const TTextSize size = fonts.DrawText(img, 0, 0, "A" + S("漢"), 8, 8, 0xFFFFFFFF, 1, false);
    EXPECT_EQ(size, (TTextSize{4 + 8, 8}));
    ASSERT_EQ(raster.calls.size(), 1u);
    EXPECT_EQ(raster.calls[0].code, 0x8ABFu);
    // Over alpha 0 the shaded colour is stored: channel * 255 >> 8.
    EXPECT_EQ(img.Pixel(0, 0), 0xFE7F3F1Fu);
    EXPECT_EQ(img.Pixel(2, 0), 0x7FFEFEFEu);
    // Over an opaque pixel: t + floor((R' - t) * (A >> 1) / 128), R' opaque.
    const auto mix = [](int t, int c, int a) { return t + (((c - t) * (a >> 1)) >> 7); };
    EXPECT_EQ(img.Pixel(1, 0), uint32_t(mix(255, 255, 0x7F)) << 24 | uint32_t(mix(0, 0xFE, 0x7F)) * 0x010101u);
    // The vertical set is absent: every character falls back to slot 0.
    fonts.DrawText(img, 0, 0, "A", 8, 8, 0xFFFFFFFF, 1, true);
    EXPECT_EQ(raster.calls.size(), 2u);
}

TEST(BitmapFont, AdditiveSetsAndScaledCells) {
    TBitmapFont font(std::make_unique<TGlyphSet>(MakeSet(true)), nullptr);
    TARGB8888 img;
    img.NewImage(32, 32, 0);
    TGlyphTarget t{&img, 0, 0, 8, 8, 0xFF102030u, false};
    EXPECT_EQ(font.DrawGlyph(t, 'A'), (TTextSize{4, 8}));
    // Additive: RGB + text RGB (saturating), RGB multipliers 255, alpha * text alpha.
    EXPECT_EQ(img.Pixel(0, 0), uint32_t(0xFF * 0xFF >> 8) << 24 | uint32_t(0x90 * 255 >> 8) << 16 |
                                   uint32_t(0x60 * 255 >> 8) << 8 | uint32_t(0x50 * 255 >> 8));
    // Twice the cell: resampled over the whole 16 x 16 cell; the diagonal stays on the diagonal.
    img.NewImage(32, 32, 0);
    TBitmapFont plain(std::make_unique<TGlyphSet>(MakeSet()), nullptr);
    TGlyphTarget big{&img, 0, 0, 16, 16, 0xFFFFFFFF, false};
    EXPECT_EQ(plain.DrawGlyph(big, 'A'), (TTextSize{8, 16}));
    EXPECT_EQ(img.Pixel(0, 0), 0xFE7F3F1Fu);
    EXPECT_EQ(img.Pixel(14, 0) >> 24, 0x7Fu);
    EXPECT_NE(img.Pixel(15, 15), 0u);
    EXPECT_EQ(img.Pixel(16, 0), 0u);
    // A transparent text colour or a space draws nothing but advances.
    img.NewImage(32, 32, 0);
    TGlyphTarget clear{&img, 0, 0, 8, 8, 0x00FFFFFF, false};
    EXPECT_EQ(plain.DrawGlyph(clear, 'A'), (TTextSize{4, 8}));
    EXPECT_EQ(img.Pixel(0, 0), 0u);
}

TEST(BitmapFont, UnreadableSetsLeaveASystemFontOfThatName) {
    ClearErrors();
    FakeRaster raster;
    TFontTable fonts(raster);
    std::string cut = MakeSet().Write();
    cut.resize(70000);
    TMemoryStream h(cut);
    fonts.LoadBitmapFont(2, "broken", &h, nullptr);
    EXPECT_FALSE(fonts.SlotIsBitmapFont(2));
    EXPECT_EQ(fonts.SlotFontName(2), "broken");
    EXPECT_EQ(ErrorLines().size(), 1u);
    ClearErrors();
    SetErrorFlag(false);
    // A good horizontal set with a bad vertical one still loads.
    TMemoryStream good(MakeSet().Write()), bad(cut);
    fonts.LoadBitmapFont(2, "half", &good, &bad);
    EXPECT_TRUE(fonts.SlotIsBitmapFont(2));
    ClearErrors();
    SetErrorFlag(false);
}

// ---- The real outline fonts ----

// Columns of a picture that hold ink (any alpha) between x0 and x1.
bool HasInk(const TARGB8888& img, int x0, int x1) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = x0; x < x1; ++x)
            if (img.Pixel(x, y) >> 24) return true;
    return false;
}

TEST(OutlineFont, IpaGothicMetricsScaleWithTheCell) {
    TFreeTypeRasterizer raster;
    for (int cell : {24, 48}) {
        std::vector<uint8_t> bm(size_t(cell) * size_t(cell), 0);
        TGlyphRequest r{S("ＭＳ ゴシック"), 400, cell, cell, 0x82A0};  // あ
        const TTextSize adv = raster.Render(r, bm.data(), cell, cell);
        EXPECT_EQ(raster.LastFamily(), "IPAGothic");
        EXPECT_EQ(adv.width, cell) << "a full-width glyph is one cell wide";
        EXPECT_EQ(adv.height, cell);
        int top = cell, bottom = -1, left = cell, right = -1;
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                if (bm[size_t(y * cell + x)]) {
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, x), right = std::max(right, x);
                }
        ASSERT_GE(bottom, 0);
        // The ink sits inside the cell, filling most of its height.
        EXPECT_GE(bottom - top + 1, cell * 6 / 10);
        EXPECT_GE(right - left + 1, cell * 6 / 10);
        // A half-width letter advances by half the cell.
        std::fill(bm.begin(), bm.end(), 0);
        r.code = 'A';
        EXPECT_EQ(raster.Render(r, bm.data(), cell, cell).width, cell / 2);
    }
}

TEST(OutlineFont, BoldIsWiderInk) {
    TFreeTypeRasterizer raster;
    auto ink = [&](int weight) {
        std::vector<uint8_t> bm(48 * 48, 0);
        raster.Render({S("ＭＳ ゴシック"), weight, 48, 48, 0x8CEA}, bm.data(), 48, 48);  // 語
        return std::count_if(bm.begin(), bm.end(), [](uint8_t v) { return v != 0; });
    };
    EXPECT_GT(ink(700), ink(400) * 11 / 10);
}

TEST(OutlineFont, JapaneseLineInkInEveryCell) {
    TFreeTypeRasterizer raster;
    TFontTable fonts(raster);
    const std::string line = S("日本語の文章を表示します。");
    const int cell = 24, count = 13;
    TARGB8888 img;
    img.NewImage(cell * count + 8, cell, 0);
    const TTextSize size = fonts.DrawText(img, 0, 0, line, cell, cell, 0xFFFFFFFF, 0, false);
    EXPECT_EQ(size, (TTextSize{cell * count, cell}));
    for (int i = 0; i < count; ++i) EXPECT_TRUE(HasInk(img, i * cell, (i + 1) * cell)) << "cell " << i;
    // The pen moves by one cell per character.
    TARGB8888 scratch;
    scratch.NewImage(cell * count, cell, 0);
    for (int k = 1; k <= count; ++k)
        EXPECT_EQ(fonts.DrawText(scratch, 0, 0, line.substr(0, size_t(k) * 2), cell, cell, 0xFFFFFFFF, 0, false).width,
                  k * cell);
    EXPECT_FALSE(HasInk(img, cell * count, cell * count + 8));
}

TEST(OutlineFont, MissingCharactersComeFromTheFallbackFace) {
    TFreeTypeRasterizer raster;
    std::vector<uint8_t> bm(24 * 24, 0);
    auto inked = [&] { return std::any_of(bm.begin(), bm.end(), [](uint8_t v) { return v != 0; }); };
    // The CP932 sum sign (0x8794, U+2211) is not in the IPA fonts: it comes
    // from a face that has it, never as a blank.
    EXPECT_GT(raster.Render({S("ＭＳ ゴシック"), 400, 24, 24, 0x8794}, bm.data(), 24, 24).width, 0);
    EXPECT_TRUE(inked());
    EXPECT_NE(raster.LastFamily(), "IPAGothic");
    std::fill(bm.begin(), bm.end(), 0);
    // A Latin face without kanji: the kanji is drawn from a Japanese face.
    const TTextSize adv = raster.Render({"DejaVu Sans", 400, 24, 24, 0x8ABF}, bm.data(), 24, 24);  // 漢
    EXPECT_EQ(adv.width, 24);
    EXPECT_TRUE(inked());
    EXPECT_NE(raster.LastFamily(), "DejaVu Sans");
}

TEST(OutlineFont, ShiftJisCodesToUnicode) {
    EXPECT_EQ(SjisCodeToUnicode('A'), 0x41u);
    EXPECT_EQ(SjisCodeToUnicode(0x82A0), 0x3042u);
    EXPECT_EQ(SjisCodeToUnicode(0xB1), 0xFF71u);  // half-width katakana
    EXPECT_EQ(SjisCodeToUnicode(0x8740), 0x2460u);  // a CP932 extension: circled 1
}

}  // namespace
}  // namespace zel
