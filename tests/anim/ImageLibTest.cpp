// The image object: loading pictures, animations and rectangles, glides and
// fades, anchors, the hover area, the mouse labels, and its saved state.
#include <gtest/gtest.h>

#include <map>

#include "AnimTestSupport.h"
#include "anim/ImageLib.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"
#include "storage/MemoryGameFiles.h"

using namespace zel;
using namespace zeltest;

namespace {

// An animation of 64 x 48 with the motions main, *OnMouse, *OffMouse and
// *Enable, each showing picture 0 at (0, 0).
std::vector<uint8_t> LabelledAnimation(bool withDisable = false) {
    TABMPFile f = OneMotion({LayerAt({0}, akImage)});
    for (const char* name : {"*OnMouse", "*OffMouse", "*Enable", "*Disable"}) {
        if (!withDisable && std::string(name) == "*Disable") continue;
        TABMPMotion m = f.motions[0];
        m.name = name;
        f.motions.push_back(m);
    }
    return Written(f);
}

class ImageObject : public ::testing::Test {
protected:
    void SetUp() override {
        files.Add("bg.bmp", BmpBytes(40, 20, 0xFF336699));
        files.Add("chara.b", LabelledAnimation());
        files.Add("door.b", LabelledAnimation(true));
    }
    // The cells the object submits for one frame.
    std::vector<TDrawCell> Cells(TImageLib& img, uint32_t mask = 255) {
        TARGB8888CellDraw d;
        d.SetSize(320, 240);
        img.Draw(d, mask, 0, 0);
        return RenderedCells(d);
    }
    TMemoryGameFiles files;
    TAnimationResources res;
};

TEST(GlideCurves, EveryTypeAtTheStartTheMiddleAndTheEnd) {
    struct Case {
        int type, t, want;
    } cases[] = {
        {1, 0, 0},   {1, 512, 50},   {1, 1024, 100}, {1, -5, 0},  {1, 2000, 100},
        {2, 0, 17},  // the B-spline over f, f, g, g starts at (5f + g) / 6
        {2, 512, 50}, {2, 1023, 83},
        {3, 512, 81},  // ease-out: 1 - (1 - u)^2.4
        {4, 512, 19},  // ease-in: u^2.4
        {5, 512, 50}, {5, 256, 25},
        {7, 512, 100},  // an unknown curve jumps to the target
    };
    for (const Case& c : cases) EXPECT_EQ(GlideCurve(c.type, c.t, 0, 100), c.want) << c.type << " at " << c.t;
    for (int type = 1; type <= 5; ++type) EXPECT_EQ(GlideCurve(type, 300, 42, 42), 42) << type;
    // The shake stays within 20 of the ease-out value and settles at the end.
    for (int i = 0; i < 50; ++i) {
        const int32_t v = GlideCurve(6, 512, 0, 100);
        EXPECT_GE(v, 81 - 10);
        EXPECT_LE(v, 81 + 10);
    }
    EXPECT_EQ(GlideCurve(6, 1024, 0, 100), 100);
}

TEST_F(ImageObject, ARectangleNameInAnyCaseMakesAFilledRectangle) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("RECT,0,0,100,50,$80FF0000"));
    img.Show();
    img.Update(255, 0);
    const auto cells = Cells(img);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].type, ctColour);
    EXPECT_EQ(cells[0].x1, 0);
    EXPECT_EQ(cells[0].x2, 100);
    EXPECT_EQ(cells[0].y2, 50);
    EXPECT_EQ(cells[0].mulColour & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(cells[0].mode, 2);     // alpha-blended (not multiplied: that would vanish over black)
    EXPECT_EQ(cells[0].alpha, 0x80);  // the colour's top byte
    EXPECT_EQ(img.FileName(0), "RECT,0,0,100,50,$80FF0000");
    // Missing parts take their defaults; another part count is a file name.
    EXPECT_TRUE(img.LoadRect(10, 20, 30, 40, 0xFF00FF00));
    EXPECT_EQ(img.FileName(0), "rect,10,20,30,40,$ff00ff00");
    EXPECT_FALSE(img.Load("rect,1,2,3"));
    EXPECT_FALSE(img.Loaded());
}

TEST_F(ImageObject, LoadingTheSameNamesAgainDoesNothingUnlessForcedOrInMemory) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("BG.bmp"));
    EXPECT_EQ(img.FileName(0), "BG.bmp");
    EXPECT_EQ(img.Width(), 40);
    const TAnimationBmp* first = &img.Animation();
    ASSERT_TRUE(img.Load("bg.bmp"));
    EXPECT_EQ(&img.Animation(), first);
    ASSERT_TRUE(img.Load("bg.bmp", {}, false, true));
    EXPECT_NE(&img.Animation(), first);

    files.Add("$$$capture.bmp", BmpBytes(8, 8, 0xFF000000));
    ASSERT_TRUE(img.Load("$$$capture.bmp"));
    const TAnimationBmp* pseudo = &img.Animation();
    files.Add("$$$capture.bmp", BmpBytes(12, 8, 0xFFFFFFFF));  // the capture changed
    ASSERT_TRUE(img.Load("$$$capture.bmp"));
    EXPECT_NE(&img.Animation(), pseudo);
    EXPECT_EQ(img.Width(), 12);

    // A missing main file resets and fails.
    img.Show();
    EXPECT_FALSE(img.Load("missing.png"));
    EXPECT_FALSE(img.Loaded());
    EXPECT_FALSE(img.Visible());
}

TEST_F(ImageObject, GlidesAndFadesAtKnownTimes) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("bg.bmp"));
    img.Show();
    img.MoveTo(100, 100, 5, 1000);
    img.FadeTo(55, 1000);
    img.Update(255, 500);
    EXPECT_EQ(img.X(), 50);
    EXPECT_EQ(img.Y(), 50);
    EXPECT_EQ(img.Layer(), 2);  // 2.5 rounds to even
    EXPECT_EQ(img.Alpha(), 155);
    img.Update(255, 600);
    EXPECT_EQ(img.X(), 100);
    EXPECT_EQ(img.Layer(), 5);
    EXPECT_EQ(img.Alpha(), 55);
    // The next move starts from the last target; a move of 0 ms is at once.
    img.MoveTo(300, 100, 5, 0);
    EXPECT_EQ(img.X(), 300);
    // Durations past 35 minutes multiply in 64 bits.
    img.MoveTo(0, 100, 5, 3'000'000);
    img.Update(255, 1'500'000);
    EXPECT_EQ(img.X(), 150);
}

TEST_F(ImageObject, AnchorsMoveTheDrawnPosition) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("bg.bmp"));  // 40 x 20
    img.Show();
    img.MoveTo(100, 100, 0, 0);
    img.Update(255, 0);
    const struct {
        int ax, ay, left, top;
    } cases[] = {{0, 0, 100, 100}, {1, 1, 80, 90}, {2, 2, 60, 80}};
    for (const auto& c : cases) {
        img.SetAnchor(c.ax, c.ay);
        EXPECT_EQ(img.Left(0), c.left);
        EXPECT_EQ(img.Top(0), c.top);
        EXPECT_EQ(img.Left(2), c.left + 40);
        const auto cells = Cells(img);
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0].x1, c.left);
        EXPECT_EQ(cells[0].y1, c.top);
    }
}

TEST_F(ImageObject, AHoverRectangleShowsTheObjectOnlyUnderThePointer) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("bg.bmp"));
    img.Show();
    img.MoveTo(10, 10, 0, 0);
    img.SetHoverRect(0, 0, 40, 20);
    img.Update(255, 0);
    EXPECT_TRUE(Cells(img).empty());
    img.SetMouse(255, 25, 15);
    EXPECT_EQ(Cells(img).size(), 1u);
    img.SetMouse(255, 50, 15);  // x - left = 40: outside
    EXPECT_TRUE(Cells(img).empty());
    // Nothing is drawn in a pass whose mask misses the draw mask, or at alpha 0.
    img.SetHoverRect(0, 0, 0, 0);
    img.SetMasks(255, 2);
    EXPECT_TRUE(Cells(img, 1).empty());
    EXPECT_EQ(Cells(img, 2).size(), 1u);
    img.FadeTo(0, 0);
    EXPECT_TRUE(Cells(img, 2).empty());
}

TEST_F(ImageObject, MouseLabelsFollowTheHitArea) {
    TImageLib img(&files, res);
    ASSERT_TRUE(img.Load("chara.b"));
    img.Enable();
    EXPECT_EQ(img.LabelName(), "*Enable");
    img.StartLabel("main", true);
    img.SetHitArea(0, 0, 64, 48);
    img.Update(255, 10);
    img.SetMouse(255, 5, 5);
    EXPECT_EQ(img.LabelName(), "*OnMouse");
    img.SetMouse(255, 100, 100);
    EXPECT_EQ(img.LabelName(), "*OffMouse");
    // Off the hit area while another label plays changes nothing.
    img.StartLabel("main", true);
    img.SetMouse(255, 100, 100);
    EXPECT_EQ(img.LabelName(), "main");
    // On it while *OnMouse already plays does not restart it.
    img.SetMouse(255, 5, 5);
    img.Update(255, 120);
    const double time = img.Animation().LayerTime(0);
    img.SetMouse(255, 6, 6);
    EXPECT_EQ(img.Animation().LayerTime(0), time);
    // A pointer pass whose mask misses the mouse mask is ignored.
    img.StartLabel("main", true);
    img.SetMasks(4, 255);
    img.SetMouse(1, 5, 5);
    EXPECT_EQ(img.LabelName(), "main");
    // The label-change callback reports each new label once.
    std::vector<int32_t> seen;
    img.SetLabelChangeCallback([&](int32_t l) { seen.push_back(l); });
    img.StartLabelNumber(2, true);
    img.Update(255, 10);
    img.Update(255, 10);
    EXPECT_EQ(seen, std::vector<int32_t>{2});
}

TEST_F(ImageObject, DisableUsesItsLabelOrHides) {
    TImageLib plain(&files, res), door(&files, res);
    ASSERT_TRUE(plain.Load("chara.b"));
    ASSERT_TRUE(door.Load("door.b"));
    plain.Enable();
    door.Enable();
    plain.Disable();
    EXPECT_FALSE(plain.Visible());
    door.Disable();
    EXPECT_TRUE(door.Visible());
    EXPECT_FALSE(door.Enabled());
    EXPECT_EQ(door.LabelName(), "*Disable");
}

TEST_F(ImageObject, SavedStateRestoresTheSameCellsAndADamagedOneChangesNothing) {
    TImageLib img(&files, res);
    files.Add("$$$shot.bmp", BmpBytes(16, 16, 0xFF112233));
    ASSERT_TRUE(img.Load("chara.b", "$$$shot.bmp"));
    img.Show();
    img.SetAnchor(1, 2);
    img.MoveTo(120, 90, 7, 1000);
    img.FadeTo(200, 400);
    img.SetCurve(3);
    img.userInts = {1, 2, 3, 4};
    img.userStrings[1] = "user";
    img.Update(255, 250);
    TMemoryStream saved;
    img.SaveState(saved);
    EXPECT_GT(saved.Size(), TImageLib::kStateSize + 16 * 2);

    files.files.erase("$$$shot.bmp");  // the capture is gone after a restart
    TImageLib back(&files, res);
    saved.Seek(0);
    std::string why;
    ASSERT_TRUE(back.LoadState(saved, &why)) << why;
    EXPECT_EQ(saved.Remaining(), 0u);
    EXPECT_EQ(back.X(), img.X());
    EXPECT_EQ(back.Alpha(), img.Alpha());
    EXPECT_EQ(back.Curve(), 3);
    EXPECT_EQ(back.userInts[3], 4);
    EXPECT_EQ(back.userStrings[1], "user");
    EXPECT_EQ(back.FileName(1), "$$$shot.bmp");
    const auto a = Cells(img), b = Cells(back);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].x1, b[i].x1);
        EXPECT_EQ(a[i].y1, b[i].y1);
        EXPECT_EQ(a[i].alpha, b[i].alpha);
    }
    // Both finish the glide at the same place.
    img.Update(255, 1000);
    back.Update(255, 1000);
    EXPECT_EQ(back.X(), img.X());
    EXPECT_EQ(back.Layer(), 7);

    // Cut anywhere, the record is refused and the object stays as it was.
    const std::vector<uint8_t> bytes = saved.Bytes();
    for (size_t n : {size_t{0}, size_t{100}, TImageLib::kStateSize - 1, TImageLib::kStateSize + 3, bytes.size() - 1}) {
        TMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)));
        EXPECT_FALSE(back.LoadState(cut)) << n;
        EXPECT_EQ(back.X(), img.X()) << n;
        EXPECT_EQ(back.FileName(0), "chara.b") << n;
    }
}

TEST_F(ImageObject, LongNamesAreCutAtACharacter) {
    TImageLib img(&files, res);
    std::string name;
    for (int i = 0; i < 70; ++i) name += "\x95\x5c";  // 表 x 70 = 140 bytes
    name += ".bmp";
    files.Add(name, BmpBytes(4, 4, 0xFF000000));
    ASSERT_TRUE(img.Load(name));
    EXPECT_EQ(img.FileName(0).size(), 126u);
    TMemoryStream s;
    img.SaveState(s);
    s.Seek(0);
    TImageLib back(&files, res);
    // The cut name does not exist: the load of the picture fails, the record is read whole.
    EXPECT_TRUE(back.LoadState(s));
    EXPECT_EQ(back.FileName(0), "");
}

}  // namespace
