// The button and scroll bar words over their payloads: the words a button
// takes from the message and image families, the click report of "?bc", the
// check and lock words, and the scroll bar's value words and queries.
#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "anim/AnimationBmpLib.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "scriptdata/ButtonCommands.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/ScrollBarCommands.h"
#include "storage/GameFiles.h"

namespace zel {
namespace {

class TWordContext final : public ICommandContext {
public:
    TScriptCommand cmd;
    std::vector<std::string> fields;
    std::vector<int32_t> ints = std::vector<int32_t>(4, -7);
    std::vector<std::string> strs = std::vector<std::string>(2, "?");
    std::vector<std::string> errors;
    void Set(std::initializer_list<std::string> f) {
        fields = f;
        while (fields.size() < 9) fields.emplace_back();
        cmd.Code = Cmd(fields[0]);
        cmd.Fields = &fields;
    }
    const TScriptCommand& Command() const override { return cmd; }
    TReturnValue Evaluate(std::string_view t) override {
        if (!t.empty() && t[0] == '"') return TReturnValue::String(t.substr(1, t.size() - 2));
        int32_t v = 0;
        std::from_chars(t.data(), t.data() + t.size(), v);
        return TReturnValue::Integer(v);
    }
    void ClearResults() override {
        std::fill(ints.begin(), ints.end(), 0);
        for (auto& s : strs) s.clear();
    }
    void SetResultInt(int32_t v, int32_t i) override { ints[static_cast<size_t>(i)] = v; }
    void SetResultStr(std::string_view t, int32_t i) override { strs[static_cast<size_t>(i)] = t; }
    void SkipTimeOnce() override {}
    std::string ResolvePath(std::string_view name, bool) override { return std::string(name); }
    void ReportError(std::string_view t) override { errors.emplace_back(t); }
    TZelScript& TargetScript() override { std::abort(); }
};

class TPictureFiles final : public IGameFiles {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    void AddPicture(const std::string& name, int w, int h) {
        TARGB8888 img;
        img.NewImage(w, h, 0xFF808080u);
        TMemoryStream s;
        EXPECT_TRUE(SaveBmp(img, s));
        files[AsciiLower(name)] = s.TakeBytes();
    }
    bool GameFileExists(std::string_view p) override { return files.count(AsciiLower(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        const auto it = files.find(AsciiLower(p));
        if (it == files.end()) return nullptr;
        return std::make_unique<TMemoryStream>(it->second);
    }
};

struct Words : testing::Test {
    void SetUp() override {
        files.AddPicture("b.bmp", 40, 20);
        files.AddPicture("knob.bmp", 20, 10);
        files.AddPicture("track.bmp", 120, 8);
    }
    bool Run(TButtonLib& b, std::initializer_list<std::string> f) {
        c.Set(f);
        return ButtonCommand(c, b, nullptr, nullptr);
    }
    bool Run(TImageScrollBar& bar, std::initializer_list<std::string> f) {
        c.Set(f);
        return ScrollBarCommand(c, bar, nullptr);
    }
    TPictureFiles files;
    TAnimationResources res;
    TWordContext c;
};

TEST_F(Words, ButtonTakesMessageImageAndItsOwnWords) {
    TButtonLib b(&files, res);
    EXPECT_TRUE(Run(b, {"l", "\"b.bmp\""}));
    EXPECT_TRUE(Run(b, {"p", "10", "20", "5"}));
    EXPECT_EQ(b.X(), 10);
    EXPECT_TRUE(Run(b, {"ns", "7"}));  // a message-window word
    EXPECT_EQ(b.HangOffset(), 7);
    EXPECT_TRUE(Run(b, {"ck", "256"}));  // the low byte: 0, not checked
    EXPECT_FALSE(b.Checked());
    EXPECT_TRUE(Run(b, {"ck", "3"}));
    EXPECT_TRUE(Run(b, {"?ck"}));
    EXPECT_EQ(c.ints[0], 1);
    EXPECT_TRUE(Run(b, {"lk", "1"}));
    EXPECT_TRUE(Run(b, {"?lk"}));
    EXPECT_EQ(c.ints[0], 1);
    EXPECT_FALSE(Run(b, {"zz"}));
    EXPECT_TRUE(c.errors.empty());
}

TEST_F(Words, ClickReportLastsUntilTheNextUpdate) {
    TButtonLib b(&files, res);
    Run(b, {"l", "\"b.bmp\""});
    Run(b, {"p", "10", "20", "5"});
    Run(b, {"ss", "0", "0", "40", "20"});
    Run(b, {"sp", "20", "10"});
    Run(b, {"e"});
    b.Update(255, 10);
    Run(b, {"?bc"});
    EXPECT_EQ(c.ints[0], 0);
    Run(b, {"bc"});  // clicks at the navigation point (30, 30)
    EXPECT_EQ(b.ClickCountdown(), TButtonLib::kClickCountdown);
    Run(b, {"?bc"});
    EXPECT_EQ(c.ints[0], 1);
    Run(b, {"?bc"});  // the same click, before any update
    EXPECT_EQ(c.ints[0], 1);
    b.Update(255, 10);
    Run(b, {"?bc"});
    EXPECT_EQ(c.ints[0], 0);
    Run(b, {"?bc"});  // no click: the report does not start one
    EXPECT_EQ(c.ints[0], 0);
}

TEST_F(Words, ScrollBarValueAndQueries) {
    TImageScrollBar bar(&files, res);
    EXPECT_TRUE(Run(bar, {"l", "\"knob.bmp\"", "\"missing.bmp\"", "0"}));
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_NE(c.errors[0].find("knob.bmp:missing.bmp"), std::string::npos);
    Run(bar, {"l", "\"knob.bmp\"", "\"track.bmp\"", "0"});
    Run(bar, {"p", "100", "50", "20"});
    Run(bar, {"v", "30"});
    Run(bar, {"?v"});
    EXPECT_EQ(c.ints[0], 0);  // hidden: nothing to report
    Run(bar, {"e"});
    Run(bar, {"?v"});
    EXPECT_EQ(c.ints[0], 30);
    Run(bar, {"mv", "0"});
    Run(bar, {"?mv"});
    EXPECT_EQ(c.ints[0], 100);
    Run(bar, {"v", "150"});
    Run(bar, {"?v"});
    EXPECT_EQ(c.ints[0], 100);
    Run(bar, {"?p"});
    EXPECT_EQ((std::vector<int32_t>{c.ints[0], c.ints[1], c.ints[2], c.ints[3]}),
              (std::vector<int32_t>{100, 50, 20, 0}));
    Run(bar, {"?l"});
    EXPECT_EQ(c.strs[0], "knob.bmp");
    EXPECT_EQ(c.strs[1], "track.bmp");
    Run(bar, {"in"});
    Run(bar, {"?in"});
    EXPECT_EQ(c.ints[0], 255);
    Run(bar, {"ui", "", "7"});
    Run(bar, {"?ui"});
    EXPECT_EQ(c.ints[1], 7);
    c.errors.clear();
    Run(bar, {"dc", "15"});
    EXPECT_EQ(c.errors.size(), 1u);
    Run(bar, {"dc", "3"});
    EXPECT_EQ(bar.Track().EffectChannel(), 3);
    EXPECT_EQ(bar.Knob().EffectChannel(), 3);
}

}  // namespace
}  // namespace zel
