// zelanim: descriptions built into ".b" files, dumped back, and played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "AnimTestSupport.h"
#include "anim/AnimationBmpReader.h"
#include "anim/AnimationBmpText.h"

namespace zeltest {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void Spit(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

struct TTempDir {
    fs::path path;
    TTempDir() {
        char tmpl[] = "/tmp/zelanim-test-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// Runs zelanim with its standard output going to a file; the exit status.
int Zelanim(const std::string& args, const fs::path& out) {
    const std::string cmd = std::string(ZELANIM_BIN) + " " + args + " > '" + out.string() + "' 2>&1";
    return WEXITSTATUS(std::system(cmd.c_str()));
}

// A ball (a 32 x 32 PNG) moving right in 1 s while fading, then bouncing
// back to key 1 forever; a rectangle under it, looping on its key 0; a hit
// area.
const char* kDescription = R"(# test animation
name "ボール"
canvas 320 240
total 1000
memo "first line"
memo "second line"
image "ball" ball.png
motion "move"
layer "ball"
key 0 time=0 kind=image dst=0,10,0,0 idst=1 icolour=1 layer=3
key 1 time=1000 kind=image dst=100,10,0,0 opacity=0 layer=3
key 2 time=1200 kind=image dst=100,10,0,0 layer=3 action=1 args=1,0,0,0
layer "floor"
key 0 kind=rect dst=0,50,200,55 base=203040 blend=0
key 1 action=1 args=0,0,0,0
layer "hit"
key 0 kind=hit dst=0,0,32,32 layer=7
key 1 action=1 args=0,0,0,0
motion "idle"
layer "still"
)";

TEST(Zelanim, BuildsDumpsAndBuildsTheSameBytesAgain) {
    TTempDir dir;
    fs::copy_file(fs::path(ZEL_TESTDATA_DIR) / "pngsuite/basn6a08.png", dir.path / "ball.png");
    Spit(dir.path / "anim.txt", kDescription);
    ASSERT_EQ(Zelanim("build " + (dir.path / "anim.txt").string() + " " + (dir.path / "a.b").string(),
                      dir.path / "log"), 0)
        << Slurp(dir.path / "log");
    const fs::path x = dir.path / "x";
    ASSERT_EQ(Zelanim("dump " + (dir.path / "a.b").string() + " --extract " + x.string(), x.string() + ".txt"), 0);
    const std::string dumped = Slurp(x.string() + ".txt");
    EXPECT_NE(dumped.find("name \"ボール\""), std::string::npos) << dumped;
    EXPECT_NE(dumped.find("key 1 kind=image dst=100,10,0,0 layer=3 opacity=0"), std::string::npos)
        << dumped;
    fs::create_directories(x);
    Spit(x / "again.txt", dumped);
    ASSERT_EQ(Zelanim("build " + (x / "again.txt").string() + " " + (dir.path / "b.b").string(), dir.path / "log"),
              0)
        << Slurp(dir.path / "log");
    EXPECT_EQ(Slurp(dir.path / "a.b"), Slurp(dir.path / "b.b"));
    EXPECT_EQ(Slurp(x / "image0.png"), Slurp(dir.path / "ball.png"));
    ASSERT_EQ(Zelanim("dump " + (dir.path / "b.b").string(), dir.path / "again.dump"), 0);
    EXPECT_EQ(Slurp(dir.path / "again.dump"), dumped);
}

TEST(Zelanim, ErrorsNameTheLine) {
    TTempDir dir;
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"motion m\nlayer l\nkey 32 time=0\n", "line 3:"},
        {"key 0 time=0\n", "line 1: a key before any layer"},
        {"motion m\nlayer l\nkey 1 time=5000\n", "key 2 comes before key 1"},
        {"image p missing.png\n", "line 1: missing.png"},
        {"motion m\nlayer l\nkey 0 colour=1\n", "no field \"colour\""},
        {"canvas 1\n", "line 1:"},
    };
    for (const Case& c : cases) {
        Spit(dir.path / "bad.txt", c.text);
        EXPECT_EQ(Zelanim("build " + (dir.path / "bad.txt").string() + " " + (dir.path / "o.b").string(),
                          dir.path / "log"),
                  1);
        EXPECT_NE(Slurp(dir.path / "log").find(c.error), std::string::npos) << Slurp(dir.path / "log");
    }
    Spit(dir.path / "junk.b", "not an animation");
    EXPECT_EQ(Zelanim("dump " + (dir.path / "junk.b").string(), dir.path / "log"), 1);
}

TEST(Zelanim, AnAnimationItMadePlaysIntoTheCellDrawer) {
    TTempDir dir;
    fs::copy_file(fs::path(ZEL_TESTDATA_DIR) / "pngsuite/basn6a08.png", dir.path / "ball.png");
    Spit(dir.path / "anim.txt", kDescription);
    ASSERT_EQ(Zelanim("build " + (dir.path / "anim.txt").string() + " " + (dir.path / "a.b").string(),
                      dir.path / "log"), 0);
    TAnimationResources res;
    TAnimationBmp anim(res, nullptr);
    TMemoryStream s(Slurp(dir.path / "a.b"));
    ASSERT_TRUE(anim.LoadFromStream(s, "ball.b")) << anim.LastError();
    EXPECT_EQ(anim.MotionCount(), 2);
    EXPECT_EQ(anim.TotalTime(), 1000);
    EXPECT_EQ(anim.Memo(), "first line\r\nsecond line");
    EXPECT_EQ(anim.CanvasWidth(), 320);
    ASSERT_NE(anim.Picture(0), nullptr);
    EXPECT_EQ(anim.Picture(0)->Width(), 32);

    struct Moment {
        int32_t advance;  // ms since the previous moment
        int32_t x;
        int32_t alpha;
    };
    // Linear in x and opacity up to key 1; held at key 1 from then on, as key
    // 2 jumps back to it.
    const Moment moments[] = {{0, 0, 255}, {250, 25, 192}, {250, 50, 128}, {500, 100, 0}, {1000, 100, 0}};
    TARGB8888CellDraw d;
    d.SetSize(320, 120);
    for (const Moment& m : moments) {
        anim.Advance(m.advance);
        anim.Draw(d, 10, 20, 255, 100);
        const auto cells = RenderedCells(d);
        const TDrawCell* ball = nullptr;
        const TDrawCell* floor = nullptr;
        for (const TDrawCell& c : cells) (c.type == ctImage ? ball : floor) = &c;
        ASSERT_NE(floor, nullptr);
        EXPECT_EQ(floor->x1, 10);
        EXPECT_EQ(floor->y1, 70);
        EXPECT_EQ(floor->x2, 210);
        EXPECT_EQ(floor->mulColour, 0x203040u);
        EXPECT_EQ(floor->mode, 2);
        if (m.alpha == 0) {
            EXPECT_EQ(ball, nullptr);  // a cell of opacity 0 is not kept
            continue;
        }
        ASSERT_NE(ball, nullptr) << m.x;
        EXPECT_EQ(ball->x1, 10 + m.x);
        EXPECT_EQ(ball->y1, 30);
        EXPECT_EQ(ball->x2, 10 + m.x + 32);
        EXPECT_EQ(ball->alpha, m.alpha);
        EXPECT_EQ(ball->sortKey >> 10, 103u);
        EXPECT_EQ(ball->image, anim.Picture(0));
    }
    EXPECT_TRUE(anim.HitTest(31, 31));
    EXPECT_FALSE(anim.HitTest(32, 0));
    ASSERT_EQ(anim.HitAreas().size(), 1u);
    EXPECT_EQ(anim.HitAreas()[0].number, 7);
}

}  // namespace
}  // namespace zeltest
