// The animated wipe: a fade in with a ".b" file plays that animation over the
// screen through an image object, stretched to the fade's duration, instead
// of falling back to a plain cross-fade.
#include <gtest/gtest.h>

#include <map>

#include "AnimTestSupport.h"
#include "anim/ImageWipe.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"

using namespace zel;
using namespace zeltest;

namespace {

class TOneFile final : public IGameFiles {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    bool GameFileExists(std::string_view p) override { return files.count(AsciiLower(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        const auto it = files.find(AsciiLower(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
};

// One motion of 1000 ms that shows picture 0 (16 x 8) from its first key.
std::vector<uint8_t> WipeFile() {
    TABMPFile f = OneMotion({LayerAt({0, 1000}, akImage)});
    f.totalTime = 1000;
    return Written(f);
}

TEST(ImageWipe, PlaysForItsLengthAtTheGivenSpeed) {
    TOneFile files;
    files.files["wipe.b"] = WipeFile();
    TAnimationResources res;
    TImageWipe wipe(&files, res);
    EXPECT_FALSE(wipe.Begin("missing.b", 3, 4));
    ASSERT_TRUE(wipe.Begin("wipe.b", 3, 4));
    EXPECT_EQ(wipe.Image().EffectChannel(), 3);
    EXPECT_EQ(wipe.Image().StreamChannel(), 4);
    EXPECT_EQ(wipe.Length(), 1000);
    ASSERT_NE(wipe.FirstPicture(), nullptr);
    EXPECT_EQ(wipe.FirstPicture()->Width(), 16);
    EXPECT_FALSE(wipe.Advance(250, 2.0));  // 500 ms of animation
    TARGB8888CellDraw d;
    d.SetSize(64, 48);
    wipe.Draw(d, 0xFFFF);
    const auto cells = RenderedCells(d);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].sortKey / 1024, uint32_t(TZelGraphic::kWipeLayer));
    EXPECT_TRUE(wipe.Advance(250, 2.0));
    // Saved and restored mid-way, and reset.
    ASSERT_TRUE(wipe.Begin("wipe.b", 0, 0));
    wipe.Advance(100, 1.0);
    TMemoryStream s;
    wipe.SaveState(s);
    TImageWipe back(&files, res);
    s.Seek(0);
    back.LoadState(s);
    EXPECT_EQ(back.Image().FileName(0), "wipe.b");
    wipe.Reset();
    EXPECT_FALSE(wipe.Image().Loaded());
}

TEST(ImageWipe, TheCompositorRunsItAsKindNine) {
    TOneFile files;
    files.files["wipe.b"] = WipeFile();
    TAnimationResources res;
    TZelGraphic g;
    g.SetScreenSize(64, 48);
    g.SetGameFiles(&files);
    g.SetWipeAnimation(std::make_unique<TImageWipe>(&files, res));
    g.Capture(TZelGraphic::kWholeScreen);
    g.FadeIn(2000, TZelGraphic::kWholeScreen, "wipe.b");
    EXPECT_EQ(g.Kind(), tkWipe);
    g.Advance(1000);  // half of the 2000 ms the animation is stretched to
    EXPECT_EQ(g.Kind(), tkWipe);
    g.Advance(1000);
    EXPECT_EQ(g.Kind(), tkNone);
    // Without a file it can play, the fade in is a plain cross-fade.
    g.Capture(TZelGraphic::kWholeScreen);
    g.FadeIn(2000, TZelGraphic::kWholeScreen, "nothing.b");
    EXPECT_EQ(g.Kind(), tkFadeIn);
}

}  // namespace
