#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CalcTestUtil.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "scriptdata/ZelCalculationLib.h"
#include "scriptdata/uZelObjectManager.h"
#include "scriptdata/uZelPath.h"

using namespace zel;
using namespace zel::testing;

namespace {

// A payload whose behaviour each test sets; it records what reached it.
struct TFakePayload final : IObjectPayload {
    int32_t id = 0;
    int32_t layer = 0;
    bool hit = false;
    bool navigable = false;
    TPoint nav;
    int message = 0;
    std::vector<std::string>* log = nullptr;
    std::function<void()> onUpdate;

    bool SaveToStream(TMemoryStream& s) const override {
        s.WriteI32(id);
        return true;
    }
    bool LoadFromStream(TMemoryStream& s) override {
        id = s.ReadI32();
        return id >= 0;
    }
    void Update(uint32_t, int32_t) override {
        if (log) log->push_back("update " + std::to_string(id));
        if (onUpdate) onUpdate();
    }
    void Draw(TARGB8888CellDraw&, uint32_t, int32_t sx, int32_t sy) override {
        if (log) log->push_back("draw " + std::to_string(id) + " " + std::to_string(sx) + "," + std::to_string(sy));
    }
    void PointerMove(uint32_t, int32_t x, int32_t y) override {
        if (log) log->push_back("move " + std::to_string(id) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    bool HitTest(uint32_t, int32_t, int32_t) override {
        if (log) log->push_back("hit " + std::to_string(id));
        return hit;
    }
    int32_t Layer() const override { return layer; }
    bool NavigationPoint(uint32_t, int32_t& x, int32_t& y) const override {
        x = nav.X;
        y = nav.Y;
        return navigable;
    }
    int MessageState() const override { return message; }
};

class Objects : public ::testing::Test {
protected:
    void SetUp() override {
        ResetErrors();
        for (uint8_t no : {kKindImage, kKindMessage, kKindButton, kKindScrollBar, kKindSysImage, kKindSysButton,
                           kKindFile})
            mgr.SetPayloadFactory(no, [this](uint8_t, std::string_view) {
                auto p = std::make_unique<TFakePayload>();
                p->id = nextId++;
                p->log = &log;
                return p;
            });
    }
    TZelObjectDataCustom* Make(std::string_view word, std::string_view name) {
        EXPECT_TRUE(mgr.Add(mgr.CreateObject(word, name))) << name;
        return mgr.Find(name);
    }
    TFakePayload& FakeOf(std::string_view name) { return static_cast<TFakePayload&>(*mgr.Find(name)->Payload()); }

    std::vector<std::string> log;
    int32_t nextId = 1;
    TZelObjectManager mgr;
};

TEST(ObjectKinds, TypeWordsNumbersAndDrawClasses) {
    struct Case {
        std::string_view word;
        uint8_t no, drawClass;
    };
    const Case cases[] = {
        {"sys", 1, 0},   {"dat", 2, 0},    {"sdat", 3, 0},  {"snd", 4, 0},   {"dsnd", 5, 0},  {"img", 6, 1},
        {"msg", 7, 2},   {"btn", 8, 3},    {"bar", 9, 3},   {"eff", 10, 4},  {"scsr", 11, 5}, {"csr", 12, 6},
        {"log", 13, 0},  {"cam", 14, 10},  {"rep", 15, 0},  {"path", 16, 0}, {"show", 17, 11}, {"simg", 18, 7},
        {"sbtn", 19, 8}, {"file", 20, 0},  {"tcp", 21, 0},  {"dlg", 22, 0},  {"slog", 23, 0}, {"flog", 24, 0},
        {"math", 26, 0}, {"list", 27, 0},  {"cfg", 28, 0},  {"misc", 29, 0}, {"inp", 30, 0},  {"skey", 31, 0},
        {"clip", 32, 0}, {"dlgs", 33, 0},  {"ext", 35, 9},
    };
    TZelObjectManager mgr;
    for (const Case& c : cases) {
        EXPECT_EQ(ObjectTypeNumber(AsciiUpper(c.word)), c.no) << c.word;
        EXPECT_EQ(ObjectTypeWord(c.no), c.word);
        const auto o = mgr.CreateObject(AsciiUpper(c.word), "0_x,0");
        ASSERT_TRUE(o) << c.word;
        EXPECT_EQ(o->TypeNo, c.no);
        EXPECT_EQ(o->DrawClass, c.drawClass) << c.word;
        EXPECT_EQ(o->TypeWord(), c.word);
        EXPECT_EQ(o->ObjectName, "0_x,0");
    }
    EXPECT_EQ(ObjectTypeWord(25), "none");
    EXPECT_EQ(ObjectTypeWord(34), "none");
    EXPECT_FALSE(mgr.CreateObject("nosuch", "0_x,0"));
    EXPECT_FALSE(mgr.CreateObject("", "0_x,0"));
}

TEST(ObjectKinds, ExtensionWordsComeLastAndWin) {
    TZelObjectManager mgr;
    int made = 0;
    mgr.RegisterExtensionClass("Img", [&](std::string_view) {
        ++made;
        return std::make_unique<TFakePayload>();
    });
    mgr.RegisterExtensionClass("widget", nullptr);
    mgr.RegisterExtensionClass("WIDGET", [&](std::string_view) {
        made += 10;
        return std::make_unique<TFakePayload>();
    });
    auto img = mgr.CreateObject("IMG", "a");
    EXPECT_EQ(img->TypeNo, kKindExtensionObject);
    EXPECT_EQ(img->TypeWord(), "img");
    EXPECT_EQ(img->DrawClass, 0);
    auto w = mgr.CreateObject("widget", "b");
    EXPECT_EQ(made, 11);  // the later class of the same word
    EXPECT_TRUE(w->Payload());
}

TEST(ObjectKinds, ChannelIsTheNumberAfterTheLastComma) {
    EXPECT_EQ(ObjectChannelOf("0_snd,3"), 3);
    EXPECT_EQ(ObjectChannelOf("0_a,b,12"), 12);
    EXPECT_EQ(ObjectChannelOf("nocomma"), 0);
    EXPECT_EQ(ObjectChannelOf("0_snd,x"), -1);
    EXPECT_EQ(ObjectChannelOf("0_snd,"), -1);
}

TEST_F(Objects, NamesCollideWithoutRegardToCase) {
    Make("img", "0_Bg,0");
    EXPECT_FALSE(mgr.Add(mgr.CreateObject("btn", "0_BG,0")));
    EXPECT_FALSE(mgr.Add(mgr.CreateObject("img", "")));
    EXPECT_FALSE(mgr.Add(nullptr));
    EXPECT_EQ(mgr.Count(), 1);
    // Double-byte characters are never folded: ア (83 41) and ヂ (83 61) differ.
    EXPECT_TRUE(mgr.Add(mgr.CreateObject("img", SjisOf("ア"))));
    EXPECT_TRUE(mgr.Add(mgr.CreateObject("img", SjisOf("ヂ"))));
    EXPECT_EQ(mgr.Find(SjisOf("ヂ"))->TypeNo, kKindImage);
    EXPECT_EQ(mgr.Count(), 3);
}

TEST_F(Objects, FindAfterRemovingAnEarlierObjectOrWithOtherCase) {
    Make("img", "0_a,0");
    Make("btn", "0_b,0");
    Make("msg", "0_c,0");
    // Warm the cache with every name, then remove the earlier ones.
    TZelObjectDataCustom* c = mgr.Find("0_C,0");
    ASSERT_TRUE(c);
    ASSERT_TRUE(mgr.Find("0_a,0"));
    ASSERT_TRUE(mgr.Find("0_b,0"));
    EXPECT_TRUE(mgr.Remove("0_A,0"));
    EXPECT_EQ(mgr.Find("0_c,0"), c);
    EXPECT_EQ(mgr.Find("0_a,0"), nullptr);
    EXPECT_TRUE(mgr.Remove("0_B,0"));
    EXPECT_EQ(mgr.Find("0_b,0"), nullptr);
    EXPECT_EQ(mgr.IndexOf("0_c,0"), 0);
    EXPECT_FALSE(mgr.Remove("0_b,0"));
    // More names than cache entries still all resolve.
    for (int i = 0; i < 40; ++i) Make("list", "0_l," + std::to_string(i));
    for (int i = 39; i >= 0; --i) EXPECT_EQ(mgr.Find("0_L," + std::to_string(i))->TypeNo, kKindStringList);
    mgr.Clear();
    EXPECT_EQ(mgr.Find("0_l,3"), nullptr);
    EXPECT_EQ(mgr.Count(), 0);
}

TEST_F(Objects, PassesFollowListOrderAndDrawClasses) {
    Make("img", "i");   // 1, class 1
    Make("btn", "b");   // 2, class 3
    Make("simg", "s");  // 3, class 7
    Make("file", "f");  // 4, class 0: takes part in no frame pass
    FakeOf("s").layer = kFixedLayer;
    mgr.SetScrollOffset(5, 7);
    mgr.UpdateAll(~0u, 16);
    EXPECT_EQ(log, (std::vector<std::string>{"update 1", "update 2", "update 3"}));
    EXPECT_EQ(mgr.Find("b")->OffsetX, 5);
    EXPECT_EQ(mgr.Find("f")->OffsetX, 0);
    log.clear();
    TARGB8888CellDraw cells;
    mgr.DrawAll(cells, ~0u, kFrameClasses, false);
    // The fixed object draws only in a fixed pass, and unshifted.
    EXPECT_EQ(log, (std::vector<std::string>{"draw 1 5,7", "draw 2 5,7"}));
    log.clear();
    mgr.DrawAll(cells, ~0u, kFrameClasses, true);
    EXPECT_EQ(log, (std::vector<std::string>{"draw 1 5,7", "draw 2 5,7", "draw 3 0,0"}));
    log.clear();
    mgr.PointerMoveAll(~0u, 100, 100, kSystemPointerClasses | kButtonClasses);
    EXPECT_EQ(log, (std::vector<std::string>{"move 2 95,93", "move 3 100,100"}));
    log.clear();
    // Classes above 15 never take part in an update.
    mgr.UpdateAll(~0u, 16, 0xFFFF0000u);
    EXPECT_TRUE(log.empty());
}

TEST_F(Objects, HitTestAllAsksEveryObjectAndTheLaterWins) {
    Make("btn", "under");
    Make("btn", "over");
    Make("btn", "miss");
    FakeOf("under").hit = true;
    FakeOf("over").hit = true;
    EXPECT_EQ(mgr.HitTestAll(~0u, 10, 10, kButtonClasses), mgr.Find("over"));
    EXPECT_EQ(log, (std::vector<std::string>{"hit 1", "hit 2", "hit 3"}));
    FakeOf("over").hit = false;
    EXPECT_EQ(mgr.HitTestAll(~0u, 10, 10, kButtonClasses), mgr.Find("under"));
    EXPECT_EQ(mgr.HitTestAll(~0u, 10, 10, kMessageClasses), nullptr);
}

TEST_F(Objects, MessageWindowStatePrefersTextStillAppearing) {
    Make("msg", "m1");
    Make("msg", "m2");
    EXPECT_EQ(mgr.MessageWindowState(), 0);
    FakeOf("m1").message = 2;
    EXPECT_EQ(mgr.MessageWindowState(), 2);
    FakeOf("m2").message = 1;
    EXPECT_EQ(mgr.MessageWindowState(), 1);
}

// Under ASan: a payload that frees its own object (and others) while the
// pass runs must leave the pass walking live memory.
TEST_F(Objects, AnObjectFreedDuringAPassOutlivesThePass) {
    Make("img", "a");
    Make("img", "self");
    Make("img", "b");
    FakeOf("self").onUpdate = [this] {
        EXPECT_TRUE(mgr.Remove("self"));
        EXPECT_TRUE(mgr.Remove("a"));
        EXPECT_EQ(mgr.Find("self"), nullptr);  // gone from the lookups at once
        EXPECT_TRUE(mgr.Add(mgr.CreateObject("img", "self")));  // and its name free again
    };
    mgr.UpdateAll(~0u, 16);
    EXPECT_EQ(log, (std::vector<std::string>{"update 1", "update 2", "update 3"}));
    EXPECT_EQ(mgr.Count(), 2);
    EXPECT_EQ(mgr.IndexOf("b"), 0);
    EXPECT_EQ(mgr.IndexOf("self"), 1);
    // A story restart from inside a pass.
    FakeOf("b").onUpdate = [this] { mgr.Clear(); };
    log.clear();
    mgr.UpdateAll(~0u, 16);
    EXPECT_EQ(log, (std::vector<std::string>{"update 3"}));
    EXPECT_EQ(mgr.Count(), 0);
}

TEST_F(Objects, AHandlerThatFreesItsOwnObjectKeepsItUntilTheCommandEnds) {
    TZelCalculation calc{&mgr};
    ASSERT_TRUE(calc.Declare("x", "list", 0, 253, scGlobal, rkObject, 0));
    std::vector<std::string> fields{"\\clr", "", "", "", "", "", "", "", ""};
    struct TContext final : ICommandContext {
        TScriptCommand cmd;
        const TScriptCommand& Command() const override { return cmd; }
        TReturnValue Evaluate(std::string_view) override { return {}; }
        void ClearResults() override {}
        void SetResultInt(int32_t, int32_t) override {}
        void SetResultStr(std::string_view, int32_t) override {}
        void SkipTimeOnce() override {}
        std::string ResolvePath(std::string_view, bool) override { return {}; }
        void ReportError(std::string_view) override {}
        TZelScript& TargetScript() override { std::abort(); }
    } ctx;
    ctx.cmd.Code = Cmd("clr");
    ctx.cmd.Fields = &fields;
    bool ran = false;
    mgr.Handlers().Register(kKindStringList, [&](ICommandContext&, std::string_view name) {
        TZelObjectDataCustom* self = mgr.Find(name);
        auto& list = static_cast<TStringListPayload&>(*self->Payload()).List;
        calc.GlobalStore().Clear();  // frees the variable and with it this object
        EXPECT_EQ(mgr.Find(name), nullptr);
        list.AddItem("still here");  // the object and its payload are alive
        ran = list.Count() == 1 && self->ObjectName == "0_x,0";
        return true;
    });
    EXPECT_TRUE(mgr.ObjectCommand(ctx, "0_x,0"));
    EXPECT_TRUE(ran);
    EXPECT_EQ(mgr.Count(), 0);
}

TEST_F(Objects, ClearExceptKeepsTheNamedObjects) {
    Make("img", "0_keep,0");
    Make("img", "0_gone,0");
    Make("sys", "0_sys,0");
    TZelObjectDataCustom* keep = mgr.Find("0_keep,0");
    mgr.SetNavigationWeights(5, 6);
    mgr.ClearExcept({"0_KEEP,0"});
    EXPECT_EQ(mgr.Count(), 1);
    EXPECT_EQ(mgr.Find("0_keep,0"), keep);
    EXPECT_EQ(mgr.NavigationAlong(), 1);
    EXPECT_EQ(mgr.NavigationAcross(), 10);
}

TEST_F(Objects, ACommandToAPayloadKindWithoutPayloadSaysSo) {
    TZelObjectManager bare;
    ASSERT_TRUE(bare.Add(bare.CreateObject("img", "0_p,0")));
    ASSERT_TRUE(bare.Add(bare.CreateObject("math", "0_m,0")));
    std::vector<std::string> fields{"\\load", "", "", "", "", "", "", "", ""};
    std::vector<std::string> reported;
    struct TContext final : ICommandContext {
        TScriptCommand cmd;
        std::vector<std::string>* out = nullptr;
        const TScriptCommand& Command() const override { return cmd; }
        TReturnValue Evaluate(std::string_view) override { return {}; }
        void ClearResults() override {}
        void SetResultInt(int32_t, int32_t) override {}
        void SetResultStr(std::string_view, int32_t) override {}
        void SkipTimeOnce() override {}
        std::string ResolvePath(std::string_view, bool) override { return {}; }
        void ReportError(std::string_view t) override { out->emplace_back(t); }
        TZelScript& TargetScript() override { std::abort(); }
    } ctx;
    ctx.cmd.Fields = &fields;
    ctx.cmd.Segment = "\\load,\"bg.png\"";
    ctx.out = &reported;
    EXPECT_TRUE(bare.ObjectCommand(ctx, "0_p,0"));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "0_p,0(img): image objects are not available in this build: \\load,\"bg.png\"");
    // A handle kind without a handler leaves the message to the dispatcher.
    EXPECT_FALSE(bare.ObjectCommand(ctx, "0_m,0"));
    EXPECT_FALSE(bare.ObjectCommand(ctx, "0_none,0"));
    EXPECT_EQ(reported.size(), 1u);
}

}  // namespace
