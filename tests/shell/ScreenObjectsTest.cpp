// The screen-effect ("eff") and camera ("cam") objects of an engine script:
// each word reaches the script's own compositor or camera.
#include <gtest/gtest.h>

#include <map>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "shell/EngineScript.h"
#include "shell/ScriptScreen.h"

using namespace zel;

namespace {

class TFiles final : public IGameFiles {
public:
    std::map<std::string, std::string> files;
    bool GameFileExists(std::string_view p) override { return files.count(AsciiLower(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        auto it = files.find(AsciiLower(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
};

class ScreenObjects : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogFolder("");
        ClearErrors();
        SetErrorFlag(false);
        TARGB8888 rule;
        rule.NewImage(8, 8);
        TMemoryStream bmp;
        ASSERT_TRUE(SaveBmp(rule, bmp));
        files.files["rule.bmp"] = bmp.ToString();
        files.files["x.b"] = "ABMP";
        script = std::make_unique<TEngineScript>(files, nullptr, nullptr, nullptr, nullptr);
        Run("\\gvar,eff,e\\gvar,cam,c\\gvar,int,r0,r1");
    }
    void TearDown() override {
        script.reset();
        ClearErrors();
        SetErrorFlag(false);
    }
    void Run(const std::string& line) { script->ExecuteLine(Sj(line)); }
    TZelGraphic& G() { return script->Screen().Graphic(); }
    int32_t Result(int i = 0) {
        Run("\\cal,r0=ResultInt[" + std::to_string(i) + "]");
        return script->Script().Evaluate("r0").IntValue;
    }

    TFiles files;
    std::unique_ptr<TEngineScript> script;
};

TEST_F(ScreenObjects, FadeFormsChooseTheTransition) {
    Run("\\scp,e\\bg,$00102030\\?bg");
    EXPECT_EQ(G().Background(), 0xFF102030u);
    EXPECT_EQ(Result(), static_cast<int32_t>(0xFF102030u));
    Run("\\scp,e\\c\\?c");
    EXPECT_EQ(Result(), 1);
    Run("\\scp,e\\c,100");
    EXPECT_EQ(G().Layer(), 0xFFFF) << "a second capture does nothing";

    struct Case {
        const char* line;
        uint8_t kind;
        int32_t layer;
    } cases[] = {
        {"\\fdi,0,500", tkFadeIn, 0xFFFF},
        {"\\fdi,0,500,\"missing.bmp\"", tkFadeIn, 0xFFFF},  // a file that is not there: the plain fade
        {"\\fdi,1,500,\"rule.bmp\",300", tkRuleFadeIn, 300},
        {"\\fdo,3,500,\"rule.bmp\"", tkRuleFadeOut, 0xFFFF},
        {"\\fdo,0,500", tkFadeOut, 0xFFFF},
        {"\\fdi,2,1000,$FFFFFFFF,0,7", tkColourFade, 7},
    };
    for (const Case& c : cases) {
        Run("\\scp,e\\i");
        Run(std::string("\\scp,e") + c.line);
        EXPECT_EQ(G().Kind(), c.kind) << c.line;
        EXPECT_EQ(G().Layer(), c.layer) << c.line;
        EXPECT_EQ(script->Script().State().timeSkip, 2) << c.line;
    }
    EXPECT_EQ(G().StartColour(), 0xFFFFFFFFu) << "fdi of a colour starts from it";
    EXPECT_EQ(G().TargetColour(), 0x00FFFFFFu);
    Run("\\scp,e\\?c");
    EXPECT_EQ(Result(), 0);

    Run("\\scp,e\\i\\fdo,2,1000,$FF000000,0");
    EXPECT_EQ(G().StartColour(), 0x00000000u);
    EXPECT_EQ(G().TargetColour(), 0xFF000000u);
    // A wipe only fades in; other forms only skip the next frame's time.
    Run("\\scp,e\\i\\fdo,0,500,\"x.b\"\\fdi,7,500\\fdi,-1,500");
    EXPECT_EQ(G().Kind(), tkNone);
    EXPECT_FALSE(ErrorFlag());
}

TEST_F(ScreenObjects, ChannelRangesAndRedrawMode) {
    Run("\\scp,e\\dc,14\\sc,15\\mb,1\\?mb");
    EXPECT_EQ(Result(), 1);
    EXPECT_EQ(G().WipeEffectChannel(), 14);
    EXPECT_EQ(G().WipeStreamChannel(), 15);
    EXPECT_FALSE(ErrorFlag());
    Run("\\scp,e\\dc,15\\sc,16\\mb,2");
    EXPECT_EQ(G().WipeEffectChannel(), 14);
    EXPECT_EQ(G().WipeStreamChannel(), 15);
    EXPECT_FALSE(G().RedrawAll());
    std::string all;
    for (const std::string& line : ErrorLines()) all += line + "\n";
    EXPECT_NE(all.find(Sj("\\dc:範囲外のチャンネルを指定しました")), std::string::npos) << all;
    EXPECT_NE(all.find(Sj("\\sc:範囲外のチャンネルを指定しました")), std::string::npos) << all;
}

TEST_F(ScreenObjects, CameraAnswersItsTargetAtOnce) {
    Run("\\scp,c\\mm,1\\p,400,0,1000\\?p");
    EXPECT_EQ(Result(0), 400);
    EXPECT_EQ(Result(1), 0);
    EXPECT_EQ(script->Screen().Camera().X(), 0);
    script->RunFrame(500, true);
    EXPECT_EQ(script->Screen().Camera().X(), 200);
    Run("\\scp,c\\?mm");
    EXPECT_EQ(Result(), 1);
    Run("\\scp,c\\i");
    EXPECT_EQ(script->Screen().Camera().TargetX(), 0);
}

}  // namespace

namespace {

TEST_F(ScreenObjects, ThreadImageIsTheComposedScreen) {
    Run("\\scp,e\\bg,$00405060");
    script->Draw(false, true, 0xFFFF);
    const auto bmp = script->CaptureScreenBmp();
    ASSERT_TRUE(bmp.has_value());
    TMemoryStream s(*bmp);
    TARGB8888 img;
    LoadFromStream(img, &s, "shot.bmp");
    EXPECT_EQ(img.Width(), script->Screen().Graphic().Width());
    EXPECT_EQ(img.Pixel(3, 3), 0xFF405060u);
    EXPECT_EQ(img.Pixel(img.Width() - 1, img.Height() - 1), 0xFF405060u);
}

}  // namespace
