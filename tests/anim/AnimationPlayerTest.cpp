// The player: clocks and key actions, interpolation, the key stack, hit
// areas, cells, sounds and the shared picture cache.
#include <gtest/gtest.h>

#include <cmath>

#include "AnimTestSupport.h"

namespace zeltest {
namespace {

struct Player {
    TAnimationResources res;
    TRecordingSound sound;
    TAnimationBmp anim{res, &sound};
};

TEST(AnimPlayer, AdvanceRunsStepsOfAtMost50Ms) {
    // Key 1 at 60 ms waits 1 s when entered: 50 + 50 + 20 enters it at 100 ms
    // and has waited 20 ms of it (one step of 120 would be at 120 ms).
    TABMPLayer l = LayerAt({0, 60, 5000});
    l.keys[1].action = 6;
    l.keys[1].args[0] = 1;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({l})));
    p.anim.Advance(120);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 100);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(0), 980);
}

TEST(AnimPlayer, JumpKeepsTheOvershootAndAJumpToItselfHolds) {
    TABMPLayer loop = LayerAt({0, 100, 200, 300});
    loop.keys[3].action = 1;
    loop.keys[3].args[0] = 1;
    TABMPLayer hold = LayerAt({0, 100, 200, 300});
    hold.keys[2].action = 1;
    hold.keys[2].args[0] = 2;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({loop, hold})));
    p.anim.Advance(280);
    p.anim.Advance(50);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 130);  // 330 -> key 1 + 30
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(1), 200);
    EXPECT_FALSE(p.anim.Finished());
}

TEST(AnimPlayer, WaitHoldsOncePerEntry) {
    TABMPLayer l = LayerAt({0, 100, 300});
    l.keys[1].action = 6;
    l.keys[1].args[0] = 2;
    l.keys[2].action = 1;  // back to key 1: entering it again waits again
    l.keys[2].args[0] = 1;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({l})));
    p.anim.Advance(100);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(0), 2000);
    p.anim.Advance(2000);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 100);
    p.anim.Advance(150);  // still in key 1: no second wait
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 250);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(0), 0);
    p.anim.Advance(50);  // key 2 jumps back into key 1 ...
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 100);
    p.anim.Advance(50);  // ... which is entered again
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 150);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(0), 2000);
}

TEST(AnimPlayer, EveryInterpolationModeAtTheEndsAndTheMiddle) {
    struct Case {
        int mode;
        double p, a, b, q;
        double at0, atHalf, at1;
    };
    const double easeOut = 1 - std::pow(0.5, 2.4), easeIn = std::pow(0.5, 2.4);
    const Case cases[] = {
        {0, 0, 10, 20, 60, 10, 10, 10},
        {1, 0, 10, 20, 60, 10, 15, 20},
        {2, 0, 10, 20, 60, 10, 15.625, 25},  // a B-spline passes near, not through, its keys
        {2, 7, 7, 7, 7, 7, 7, 7},
        {3, 0, 10, 20, 60, 10, 10 + 10 * easeOut, 20},
        {3, 0, 10, 10, 60, 10, 10, 10},
        {4, 0, 10, 20, 60, 10, 10 + 10 * easeIn, 20},
        {5, 0, 10, 20, 60, 10, 11.25, 20},
        {5, 0, 10, 10, 30, 10, 9.6875, 10},  // equal keys: the tangents count a quarter
        {5, 0, 10, 10, 0, 10, 10, 10},
        {6, 0, 10, 20, 60, 10, 10 + 10 * easeOut, 20},  // without shake: ease-out
        {7, 0, 10, 20, 60, 10, 10, 10},
        {200, 0, 10, 20, 60, 10, 10, 10},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(InterpolateKeyValue(c.mode, c.p, c.a, c.b, c.q, 0, false), c.at0, 1e-9) << c.mode;
        EXPECT_NEAR(InterpolateKeyValue(c.mode, c.p, c.a, c.b, c.q, 0.5, false), c.atHalf, 1e-9) << c.mode;
        EXPECT_NEAR(InterpolateKeyValue(c.mode, c.p, c.a, c.b, c.q, 1, false), c.at1, 1e-9) << c.mode;
    }
    for (int i = 0; i < 50; ++i) {
        const double v = InterpolateKeyValue(6, 0, 10, 20, 60, 0, true);
        EXPECT_GE(v, -10);
        EXPECT_LE(v, 29);
        EXPECT_DOUBLE_EQ(InterpolateKeyValue(6, 0, 10, 20, 60, 1, true), 20);
    }
}

TEST(AnimPlayer, CellStateOfOneLayer) {
    TABMPLayer l = LayerAt({0, 1000}, akImage);
    TABMPKey& a = l.keys[0];
    TABMPKey& b = l.keys[1];
    a.dst = {0, 0, 10, 10};
    b.dst = {100, 50, 110, 60};
    a.dstInterp = 1;
    a.angle = 0;
    b.angle = 90;
    a.colourInterp = 1;
    a.opacity = 255;
    b.opacity = 0;
    a.baseColour = 0xFFFFFF;
    b.baseColour = 0x000000;
    a.blend = 3;
    a.frame = 0;
    b.frame = 40;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({l})));
    p.anim.Advance(500);
    TABMPCellState c;
    ASSERT_EQ(p.anim.CellState(0, c), 0);
    EXPECT_EQ(c.x, 50);
    EXPECT_EQ(c.y, 25);
    EXPECT_EQ(c.right, 60);
    EXPECT_EQ(c.angle, 512);  // 45 degrees in 1/4096 turns
    EXPECT_EQ(c.opacity, (255 * (255 - 127)) / 255);
    EXPECT_EQ(c.baseColour, LerpColour(0xFFFFFF, 0, 127));
    EXPECT_EQ(c.blend, 5);
    EXPECT_EQ(c.frame, 20);
    EXPECT_EQ(c.srcRight, 16);  // a zero source rectangle is the whole picture
    EXPECT_EQ(c.srcBottom, 8);
}

TEST(AnimPlayer, SourceModeSevenStepsInWholeCells) {
    TABMPLayer l = LayerAt({0, 400}, akImage);
    l.keys[0].src = {0, 0, 32, 32};
    l.keys[1].src = {96, 0, 128, 32};
    l.keys[0].srcInterp = 7;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({l})));
    std::vector<int32_t> lefts;
    for (int i = 0; i < 4; ++i) {
        TABMPCellState c;
        p.anim.CellState(0, c);
        lefts.push_back(c.srcLeft);
        EXPECT_EQ(c.srcRight - c.srcLeft, 32);
        p.anim.Advance(134);
    }
    EXPECT_EQ(lefts, (std::vector<int32_t>{0, 32, 64, 96}));
}

TEST(AnimPlayer, KeyStackOffsetsAndCombinesColours) {
    TABMPLayer push = LayerAt({0});
    push.groupMode = 1;
    push.keys[0].dst = {10, 20, 10, 20};
    push.keys[0].addColour = 0x010203;
    push.keys[0].baseColour = 0x808080;
    push.keys[0].opacity = 128;
    push.keys[0].layer = 5;
    TABMPLayer child = LayerAt({0}, akRectangle);
    child.keys[0].dst = {0, 0, 50, 50};
    child.keys[0].addColour = 0x102030;
    TABMPLayer pop = LayerAt({0});
    pop.groupMode = 2;
    TABMPLayer after = child;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({pop, push, child, pop, after})));  // a first pop of nothing
    TARGB8888CellDraw d;
    d.SetSize(200, 120);
    p.anim.Draw(d, 1, 2, 255, 100);
    const auto cells = RenderedCells(d);
    ASSERT_EQ(cells.size(), 2u);
    const TDrawCell& in = cells[1].x1 == 11 ? cells[1] : cells[0];
    const TDrawCell& out = cells[1].x1 == 11 ? cells[0] : cells[1];
    EXPECT_EQ(in.x1, 11);
    EXPECT_EQ(in.y1, 22);
    EXPECT_EQ(in.x2, 61);
    EXPECT_EQ(in.y2, 72);
    EXPECT_EQ(in.addColour, 0x112233u);
    EXPECT_EQ(in.mulColour, 0x808080u);
    EXPECT_EQ(in.alpha, 128);
    EXPECT_EQ(in.sortKey >> 10, 105u);
    EXPECT_EQ(out.x1, 1);
    EXPECT_EQ(out.x2, 51);
    EXPECT_EQ(out.addColour, 0x102030u);
    EXPECT_EQ(out.alpha, 255);
    EXPECT_EQ(out.sortKey >> 10, 100u);
}

TEST(AnimPlayer, PushesPastTheStackStayPaired) {
    std::vector<TABMPLayer> layers;
    TABMPLayer push = LayerAt({0});
    push.groupMode = 1;
    push.keys[0].dst = {1, 0, 1, 0};
    TABMPLayer pop = LayerAt({0});
    pop.groupMode = 2;
    TABMPLayer child = LayerAt({0}, akRectangle);
    child.keys[0].dst = {0, 0, 4, 4};
    for (int i = 0; i < 32; ++i) layers.push_back(push);  // the 32nd is counted, not stored
    layers.push_back(child);
    layers.push_back(pop);
    layers.push_back(child);
    layers.push_back(pop);
    layers.push_back(child);
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion(layers)));
    TARGB8888CellDraw d;
    d.SetSize(200, 60);
    p.anim.Draw(d, 0, 0, 255, 0);
    const auto cells = RenderedCells(d);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0].x1, 31);
    EXPECT_EQ(cells[1].x1, 31);  // the first pop undoes the uncounted push
    EXPECT_EQ(cells[2].x1, 30);
}

TEST(AnimPlayer, The32ndHitAreaIsNotStored) {
    std::vector<TABMPLayer> layers;
    for (int i = 0; i < 32; ++i) {
        TABMPLayer h = LayerAt({0}, akHitArea);
        h.keys[0].dst = {static_cast<int16_t>(i * 10), 0, static_cast<int16_t>(i * 10 + 5), 5};
        h.keys[0].layer = static_cast<int16_t>(i + 1);
        layers.push_back(h);
    }
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion(layers)));
    p.anim.Advance(10);
    ASSERT_EQ(p.anim.HitAreas().size(), 31u);
    EXPECT_EQ(p.anim.HitAreas()[30].number, 31);
    EXPECT_TRUE(p.anim.HitTest(300, 4));
    EXPECT_FALSE(p.anim.HitTest(310, 0));  // area 32
    EXPECT_FALSE(p.anim.HitTest(305, 0));  // right edge exclusive
    p.anim.PushHit(500, 0, 510, 10, 0);
    EXPECT_FALSE(p.anim.HitTest(500, 0));
    // Hit areas are not drawn unless editing.
    TARGB8888CellDraw d;
    d.SetSize(400, 60);
    p.anim.Draw(d, 0, 0, 255, 0);
    EXPECT_EQ(RenderedCells(d).size(), 0u);
    p.anim.SetEditMode(true);
    p.anim.Draw(d, 0, 0, 255, 0);
    const auto cells = RenderedCells(d);
    ASSERT_EQ(cells.size(), 32u);
    EXPECT_EQ(cells[0].sortKey >> 10, 5000u);
}

TEST(AnimPlayer, OutOfRangeActionsDoNothing) {
    struct Case {
        uint8_t action, a1;
    };
    const Case cases[] = {{1, 32}, {1, 255}, {4, 32}, {4, 200}, {5, 1}, {5, 255}, {8, 0}, {8, 250}};
    for (const Case& c : cases) {
        TABMPLayer l = LayerAt({0, 100, 200});
        l.keys[1].action = c.action;
        l.keys[1].args[0] = c.a1;
        Player p;
        p.sound.level = 255;
        TABMPFile f = OneMotion({l});
        ASSERT_TRUE(Load(p.anim, f));
        p.anim.Advance(150);
        EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 150) << int(c.action) << " " << int(c.a1);
        EXPECT_EQ(p.anim.CurrentMotion(), 0);
        EXPECT_TRUE(p.sound.plays.empty());
    }
}

TEST(AnimPlayer, SoundsVoiceLoopsAndMotionSwitches) {
    TABMPLayer l = LayerAt({0, 100, 200, 300});
    l.keys[0].action = 8;
    l.keys[0].args = {0, 128, 1, 0};
    l.keys[2].action = 4;  // back to key 1 while the voice is louder than 32
    l.keys[2].args = {1, 0, 0, 0};
    l.keys[3].action = 5;
    l.keys[3].args = {1, 0, 0, 0};
    TABMPFile f = OneMotion({l});
    TMemoryStream wav;
    wav.WriteBytes("RIFF");
    wav.WriteU32(36 + 8);
    wav.WriteBytes("WAVEfmt ");
    wav.WriteU32(16);
    wav.WriteU16(1), wav.WriteU16(2), wav.WriteU32(44100), wav.WriteU32(176400), wav.WriteU16(4),
        wav.WriteU16(16);
    wav.WriteBytes("data");
    wav.WriteU32(8);
    wav.WriteU64(0x0102030405060708ull);
    f.sounds.push_back({"ping", 0, wav.TakeBytes()});
    TABMPMotion second = f.motions[0];
    second.name = "Second";
    second.layers[0] = LayerAt({0, 5000});
    f.motions.push_back(second);
    Player p;
    ASSERT_TRUE(Load(p.anim, f, "folder\\Walk.b"));
    EXPECT_EQ(p.anim.Name(), "folder\\Walk");
    EXPECT_EQ(p.anim.FindMotion("second"), 1);
    p.anim.SetVolume(200);
    p.anim.Advance(100);
    ASSERT_EQ(p.sound.plays.size(), 1u);
    EXPECT_EQ(p.sound.plays[0].name, "folder\\Walkping");
    EXPECT_EQ(p.sound.plays[0].bytes, 8u);
    EXPECT_EQ(p.sound.plays[0].volume, 200 * 128 / 255);
    EXPECT_TRUE(p.sound.plays[0].loop);
    p.sound.level = 40;
    p.anim.Advance(250);  // key 2 keeps looping onto itself while the voice is loud
    EXPECT_LT(p.anim.LayerTime(0), 300);
    EXPECT_EQ(p.anim.CurrentMotion(), 0);
    p.sound.level = 32;
    p.anim.Advance(150);  // silent: on to key 3, which switches motion keeping the time past it
    EXPECT_EQ(p.anim.CurrentMotion(), 1);
    EXPECT_LT(p.anim.LayerTime(0), 100);
}

TEST(AnimPlayer, SetMotionStartsAtActionTwoKeys) {
    TABMPLayer l = LayerAt({0, 100, 200});
    l.keys[1].action = 2;
    Player p;
    ASSERT_TRUE(Load(p.anim, OneMotion({l, LayerAt({0})})));
    p.anim.SetMotion(0);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(0), 100);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(1), 0);
    p.anim.SetMotion(3);  // ignored
    EXPECT_EQ(p.anim.CurrentMotion(), 0);
    p.anim.SetTime(-1, 50);
    EXPECT_DOUBLE_EQ(p.anim.LayerTime(1), 50);
    p.anim.SetWait(1, 70);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(1), 70);
    EXPECT_DOUBLE_EQ(p.anim.LayerWait(0), 0);
}

TEST(AnimPlayer, TwoAnimationsShareOnePictureAndAFailedLoadChangesNothing) {
    TAnimationResources res;
    res.SetCacheSize(0);
    const TABMPFile f = OneMotion({LayerAt({0}, akImage)});
    auto a = std::make_unique<TAnimationBmp>(res, nullptr);
    TAnimationBmp b(res, nullptr);
    ASSERT_TRUE(Load(*a, f, "same.b"));
    ASSERT_TRUE(Load(b, f, "same.b"));
    ASSERT_NE(a->Picture(0), nullptr);
    EXPECT_EQ(a->Picture(0), b.Picture(0));
    EXPECT_EQ(res.images.Count(), 1u);
    a.reset();
    EXPECT_EQ(res.images.Count(), 1u);  // still in use by b
    EXPECT_EQ(b.Picture(0)->Width(), 16);

    std::vector<uint8_t> bytes = Written(f);
    bytes.resize(bytes.size() - 3);
    TMemoryStream s(bytes);
    EXPECT_FALSE(b.LoadFromStream(s, "same.b"));
    EXPECT_FALSE(b.LastError().empty());
    EXPECT_EQ(b.Picture(0)->Width(), 16);
    EXPECT_EQ(b.MotionName(0), "main");
    TMemoryStream m(std::string_view("movie"));
    EXPECT_FALSE(b.LoadFromStream(m, "x.m"));
    EXPECT_NE(b.LastError().find("motion movie"), std::string::npos);
    b.LoadFromStream(m, "same.b");
    TAnimationBmp c(res, nullptr);
    EXPECT_EQ(c.MotionCount(), 1);
}

TEST(AnimPlayer, SinglePictureHoldsAndRectangleMotion) {
    Player p;
    TMemoryStream s(BmpBytes(20, 10, 0xFF00FF00));
    ASSERT_TRUE(p.anim.LoadFromStream(s, "Pic.BMP")) << p.anim.LastError();
    EXPECT_EQ(p.anim.CanvasWidth(), 20);
    TARGB8888CellDraw d;
    d.SetSize(100, 60);
    for (int t : {0, 999, 1000, 5000, 60000}) {
        p.anim.Advance(t);
        p.anim.Draw(d, 5, 6, 255, 0);
        const auto cells = RenderedCells(d);
        ASSERT_EQ(cells.size(), 1u) << t;
        EXPECT_EQ(cells[0].x1, 5);
        EXPECT_EQ(cells[0].x2, 25);
        EXPECT_EQ(cells[0].image, p.anim.Picture(0));
    }
    p.anim.MakeRectangleMotion(0x80123456, 0, 1, 2, 30, 40);
    p.anim.SetMotion(0);
    for (int t : {0, 1500}) {
        p.anim.Advance(t);
        p.anim.Draw(d, 0, 0, 255, 0);
        const auto cells = RenderedCells(d);
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0].type, ctColour);
        EXPECT_EQ(cells[0].x2, 30);
        EXPECT_EQ(cells[0].alpha, 0x80);
        EXPECT_EQ(cells[0].mulColour, 0x123456u);
    }
}

TEST(AnimPlayer, EffectTextsAreKeptBounded) {
    const auto e = ParseImageEffects("ZOOM,10,20,150\\gamma,0\\blur,100000\\color,$ff0000,9\\bogus\\mirror,1");
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].kind, TImageEffectKind::Zoom);
    EXPECT_EQ(e[0].v, (std::array<int64_t, 4>{10, 20, 150, 150}));
    EXPECT_EQ(e[1].v[0], 1);
    EXPECT_EQ(e[2].v[0], 64);
    EXPECT_EQ(e[2].v[1], 64);
    EXPECT_EQ(e[3].kind, TImageEffectKind::Mirror);
    std::string many;
    for (int i = 0; i < 100; ++i) many += "blur\\";
    EXPECT_EQ(ParseImageEffects(many).size(), kMaxImageEffects);
}

}  // namespace
}  // namespace zeltest
