// Swap, keyboard navigation, the search paths and the objects' state records.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CalcTestUtil.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "scriptdata/ZelCalculationLib.h"
#include "scriptdata/uZelObjectManager.h"
#include "scriptdata/uZelPath.h"

using namespace zel;
using namespace zel::testing;

namespace {

struct TTagPayload final : IObjectPayload {
    explicit TTagPayload(int32_t t = 0) : tag(t) {}
    int32_t tag;
    bool SaveToStream(TMemoryStream& s) const override {
        s.WriteI32(tag);
        return true;
    }
    bool LoadFromStream(TMemoryStream& s) override {
        tag = s.ReadI32();
        return tag >= 0;  // a negative tag stands for a record the payload refuses
    }
    bool navigable = false;
    TPoint nav;
    bool NavigationPoint(uint32_t mask, int32_t& x, int32_t& y) const override {
        x = nav.X;
        y = nav.Y;
        return navigable && (mask & 1);
    }
};

struct TFakeChannels final : IObjectChannels {
    std::vector<std::pair<int32_t, int32_t>> swapped;
    int32_t ChannelCount(uint8_t typeNo) const override { return typeNo == kKindSoundStream ? 16 : 15; }
    void SwapChannels(uint8_t, int32_t a, int32_t b) override { swapped.emplace_back(a, b); }
};

class Kinds : public ::testing::Test {
protected:
    void SetUp() override {
        ResetErrors();
        for (uint8_t no = 1; no <= kLastKind; ++no)
            if (KindHoldsPayload(no))
                mgr.SetPayloadFactory(no, [this](uint8_t, std::string_view) {
                    return std::make_unique<TTagPayload>(nextTag++);
                });
        mgr.RegisterExtensionClass("gadget", [](std::string_view) { return std::make_unique<TTagPayload>(500); });
        mgr.RegisterExtensionClass("gizmo", [](std::string_view) { return std::make_unique<TTagPayload>(600); });
        auto ch = std::make_unique<TFakeChannels>();
        channels = ch.get();
        mgr.SetChannels(std::move(ch));
    }
    void Make(std::string_view word, std::string_view name) {
        ASSERT_TRUE(mgr.Add(mgr.CreateObject(word, name))) << name;
    }
    int32_t Tag(std::string_view name) {
        auto* p = static_cast<TTagPayload*>(mgr.Find(name)->Payload());
        return p ? p->tag : -1;
    }

    int32_t nextTag = 1;
    TFakeChannels* channels = nullptr;
    TZelObjectManager mgr;
};

TEST_F(Kinds, SwapTable) {
    Make("img", "0_a,0");     // tag 1
    Make("img", "0_b,0");     // tag 2
    Make("btn", "0_c,0");     // tag 3
    Make("list", "0_l,0");
    Make("list", "0_m,0");
    Make("snd", "0_snd,1");
    Make("snd", "0_snd,3");
    Make("snd", "0_big,20");
    Make("dsnd", "0_dsnd,14");
    Make("dsnd", "0_dsnd,15");
    Make("gadget", "0_g,0");
    Make("gadget", "0_h,0");
    Make("gizmo", "0_z,0");
    Make("sys", "0_s,0");
    Make("sys", "0_t,0");
    Make("bar", "0_r,0");
    Make("bar", "0_q,0");
    static_cast<TStringListPayload*>(mgr.Find("0_l,0")->Payload())->List.AddItem("one");

    struct Case {
        const char* a;
        const char* b;
        bool ok;
    };
    const Case cases[] = {
        {"0_a,0", "0_B,0", true},       // same kind, names in other case
        {"0_a,0", "0_c,0", false},      // img and btn
        {"0_a,0", "0_a,0", false},      // the same object
        {"0_a,0", "0_none,0", false},   // not registered
        {"0_snd,1", "0_snd,3", true},   // stream channels 1 and 3
        {"0_snd,1", "0_big,20", false}, // 20 is outside the 16 channels
        {"0_dsnd,14", "0_dsnd,15", false},  // 15 is outside the 15 effect channels
        {"0_l,0", "0_m,0", true},       // string lists
        {"0_g,0", "0_h,0", true},       // one extension class
        {"0_g,0", "0_z,0", false},      // two classes
        {"0_s,0", "0_t,0", false},      // handle kinds have nothing to swap
        {"0_r,0", "0_q,0", true},       // scroll bars
    };
    for (const Case& c : cases) EXPECT_EQ(mgr.Swap(c.a, c.b), c.ok) << c.a << " / " << c.b;

    // Payloads changed hands; names stayed.
    EXPECT_EQ(Tag("0_a,0"), 2);
    EXPECT_EQ(Tag("0_b,0"), 1);
    EXPECT_EQ(mgr.Find("0_a,0")->ObjectName, "0_a,0");
    EXPECT_EQ(channels->swapped, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}}));
    EXPECT_EQ(static_cast<TStringListPayload*>(mgr.Find("0_m,0")->Payload())->List.Count(), 1);
    EXPECT_EQ(static_cast<TStringListPayload*>(mgr.Find("0_l,0")->Payload())->List.Count(), 0);
    EXPECT_EQ(Tag("0_z,0"), 600);
}

TEST(Navigation, NearestPointTable) {
    using P = std::vector<TPoint>;
    struct Case {
        const char* what;
        P points;
        int32_t x, y, dx, dy, along, across;
        TPoint want;
    };
    const Case cases[] = {
        {"in line wins", {{300, 102}, {200, 180}}, 100, 100, 1, 0, 1, 10, {300, 102}},
        {"nothing that way: nearest overall", {{90, 300}}, 100, 100, 1, 0, 1, 10, {90, 300}},
        {"fallback below 50 stays", {{96, 104}}, 100, 100, 1, 0, 1, 10, {100, 100}},
        {"under the pointer is skipped", {{102, 101}, {160, 100}}, 100, 100, 1, 0, 1, 10, {160, 100}},
        {"off screen is skipped", {{700, 100}, {150, 160}}, 100, 100, 1, 0, 1, 10, {150, 160}},
        {"no candidates", {}, 100, 100, 0, 1, 1, 10, {100, 100}},
        {"upwards", {{100, 20}, {100, 180}}, 100, 100, 0, -1, 1, 10, {100, 20}},
        // Weights that overflow 32-bit costs: the point still counts in line,
        // and the costs of the others do not wrap into small numbers.
        {"huge weights", {{400, 101}, {200, 190}}, 100, 100, 1, 0, 2000000000, 2000000000, {400, 101}},
        {"huge weights, no line", {{400, 300}, {200, 190}}, 100, 100, 1, 0, 2000000000, 2000000000, {200, 190}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TZelObjectManager::NearestPoint(c.points, c.x, c.y, 640, 480, c.dx, c.dy, c.along, c.across),
                  c.want)
            << c.what;
}

TEST_F(Kinds, FindNearestPointUsesVisibleTargetsOfNavigationClasses) {
    Make("btn", "0_b1,0");
    Make("btn", "0_b2,0");
    Make("file", "0_f,0");  // not a visual kind
    auto pay = [&](const char* n) -> TTagPayload& { return *static_cast<TTagPayload*>(mgr.Find(n)->Payload()); };
    pay("0_b1,0").navigable = true;
    pay("0_b1,0").nav = {300, 102};
    pay("0_b2,0").navigable = true;
    pay("0_b2,0").nav = {200, 180};
    pay("0_f,0").navigable = true;
    pay("0_f,0").nav = {150, 100};
    EXPECT_EQ(mgr.FindNearestPoint(100, 100, 1, 640, 480, 1, 0), (TPoint{300, 102}));
    EXPECT_EQ(mgr.FindNearestPoint(100, 100, 2, 640, 480, 1, 0), (TPoint{100, 100}));  // no layer shared
    mgr.SetNavigationWeights(0, -5);  // defaults again
    EXPECT_EQ(mgr.NavigationAlong(), 1);
    EXPECT_EQ(mgr.NavigationAcross(), 10);
}

TEST(SearchPaths, ResolveOrderAndNotify) {
    std::map<std::string, bool> files = {{"bg.png", true}, {"img\\bg.png", true}, {"img\\only.png", true},
                                         {"se\\only.png", true}};
    TZelPath path;
    std::vector<std::string> seen;
    EXPECT_EQ(path.Resolve("bg.png", true), "");  // no exists callback
    path.SetExists([&](std::string_view n) { return files.count(std::string(n)) > 0; });
    path.SetResolved([&](const std::string& n) { seen.push_back(n); });
    EXPECT_TRUE(path.AddItem("se"));
    EXPECT_TRUE(path.AddItem("img\\"));
    EXPECT_FALSE(path.AddItem("SE\\"));  // present without regard to case
    EXPECT_FALSE(path.AddItem(""));
    EXPECT_EQ(path.Items(), (std::vector<std::string>{"se\\", "img\\"}));
    EXPECT_EQ(path.Resolve("bg.png", true), "bg.png");  // the direct name first
    EXPECT_EQ(path.Resolve("only.png", false), "se\\only.png");  // the first directory in order
    EXPECT_EQ(path.Resolve("none.png", true), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"bg.png"}));  // only found names, only when asked
}

TEST(SearchPaths, TrailingBackslashIsDecidedByCharacter) {
    // 表 (95 5C) and ソ (83 5C) end in the byte of a backslash.
    const std::string hyo = SjisOf("表"), so = SjisOf("ソ");
    EXPECT_FALSE(EndsWithBackslash(hyo));
    EXPECT_FALSE(EndsWithBackslash("a" + so));
    EXPECT_TRUE(EndsWithBackslash(hyo + "\\"));
    EXPECT_FALSE(EndsWithBackslash(""));
    TZelPath path;
    path.AddItem(hyo);
    path.AddItem(so + "\\");
    EXPECT_EQ(path.Items(), (std::vector<std::string>{hyo + "\\", so + "\\"}));
    EXPECT_TRUE(path.RemoveItem(hyo));  // removed as added
    EXPECT_EQ(path.Count(), 1);
}

TEST(SearchPaths, StreamFormAndAllOrNothingLoad) {
    TZelPath path;
    path.AddItem("a");
    path.AddItem("b");
    path.Locked = true;
    TMemoryStream s;
    path.SaveToStream(s);
    EXPECT_EQ(s.ToString(), std::string("\x02\0\0\0\x02\0a\\\x02\0b\\\x01", 13));
    TZelPath back;
    s.Rewind();
    back.LoadFromStream(s);
    EXPECT_EQ(back.Items(), path.Items());
    EXPECT_TRUE(back.Locked);
    back.Clear();
    EXPECT_FALSE(back.Locked);
    // Cut before the flag: nothing changes.
    TMemoryStream cut(s.View().substr(0, 12));
    back.AddItem("keep");
    EXPECT_THROW(back.LoadFromStream(cut), EStreamError);
    EXPECT_EQ(back.Items(), (std::vector<std::string>{"keep\\"}));
}

// Every kind writes its record and reads it back; a missing object writes
// what a fresh one of its kind would.
TEST_F(Kinds, StateRecordsOfEveryKind) {
    for (uint8_t no = 1; no <= kLastKind; ++no) {
        const std::string word = no == kKindExtensionObject ? "gadget" : std::string(ObjectTypeWord(no));
        if (word == "none") continue;
        const std::string name = "0_k" + std::to_string(no) + ",0";
        Make(word, name);
        if (no == kKindStringList)
            static_cast<TStringListPayload*>(mgr.Find(name)->Payload())->List.AddItem(SjisOf("表"));
        TMemoryStream s;
        mgr.OnSaveObject(s, word, name, "k");
        const std::string record = s.ToString();
        if (no == kKindStringList) {
            EXPECT_EQ(record, std::string("\x01\0\0\0\x02\0", 6) + SjisOf("表"));
        } else if (KindHoldsPayload(no) && no != kKindExtensionObject) {
            EXPECT_EQ(record.size(), 4u) << word;
        } else {
            EXPECT_EQ(record, "") << word;  // handles and extension objects write nothing
        }

        ASSERT_TRUE(mgr.Remove(name));
        s.Rewind();
        ASSERT_TRUE(mgr.OnLoadObject(s, word, name, "k")) << word;
        EXPECT_EQ(s.Remaining(), 0u) << word;
        EXPECT_EQ(mgr.Find(name)->TypeNo, no);
        TMemoryStream again;
        mgr.OnSaveObject(again, word, name, "k");
        if (no != kKindExtensionObject) {
            EXPECT_EQ(again.ToString(), record) << word;
        }

        TMemoryStream missing;
        mgr.OnSaveObject(missing, word, "", "k");
        EXPECT_EQ(missing.Size(), KindHoldsPayload(no) && no != kKindExtensionObject ? 4u
                                  : no == kKindStringList                         ? 4u
                                                                                  : 0u)
            << word;
    }
}

TEST_F(Kinds, LoadFailures) {
    TMemoryStream s;
    EXPECT_THROW(mgr.OnLoadObject(s, "nosuchkind", "0_x,0", "x"), EStreamError);
    s.WriteI32(-1);  // a record the payload refuses
    s.Rewind();
    EXPECT_THROW(mgr.OnLoadObject(s, "img", "0_x,0", "x"), EStreamError);
    EXPECT_EQ(mgr.Find("0_x,0"), nullptr);
    // A name that is taken: the record is read, nothing is registered.
    Make("img", "0_y,0");
    TMemoryStream t;
    t.WriteI32(77);
    t.Rewind();
    EXPECT_FALSE(mgr.OnLoadObject(t, "img", "0_Y,0", "y"));
    EXPECT_EQ(t.Remaining(), 0u);
    EXPECT_NE(Tag("0_y,0"), 77);
}

// Through the variable store: a whole store round-trips with its objects, and
// an element that lost its object saves a default record.
TEST_F(Kinds, StoreSaveAndLoadWithObjects) {
    TZelCalculation calc{&mgr};
    ASSERT_TRUE(calc.Declare("pics[2]", "img", 0, 253, scGlobal, rkObject, 0));
    ASSERT_TRUE(calc.Declare("words", "list", 0, 253, scGlobal, rkObject, 0));
    static_cast<TStringListPayload*>(mgr.Find("0_words,0")->Payload())->List.AddItem("hello");
    const int32_t tag0 = Tag("0_pics,0");
    // The object of pics[1] goes behind the store's back.
    ASSERT_TRUE(mgr.Remove("0_pics,1"));
    TMemoryStream saved;
    calc.GlobalStore().SaveToStream(saved);

    saved.Rewind();
    ASSERT_TRUE(calc.GlobalStore().LoadFromStream(saved));
    EXPECT_EQ(saved.Remaining(), 0u);
    EXPECT_EQ(Tag("0_pics,0"), tag0);
    EXPECT_NE(mgr.Find("0_pics,1"), nullptr);  // back, freshly made from the default record
    EXPECT_EQ(static_cast<TStringListPayload*>(mgr.Find("0_words,0")->Payload())->List.Item(0), "hello");
    EXPECT_EQ(mgr.Count(), 3);

}

TEST_F(Kinds, AStoredKindTheFactoryCannotBuildFailsTheWholeLoad) {
    TZelObjectManager writer;
    writer.RegisterExtensionClass("gone", nullptr);
    TZelCalculation w{&writer};
    ASSERT_TRUE(w.Declare("a", "math", 0, 253, scGlobal, rkObject, 0));
    ASSERT_TRUE(w.Declare("b", "gone", 0, 253, scGlobal, rkObject, 0));
    TMemoryStream saved;
    w.GlobalStore().SaveToStream(saved);

    TZelCalculation calc{&mgr};
    ASSERT_TRUE(calc.Declare("mine", "list", 0, 253, scGlobal, rkObject, 0));
    saved.Rewind();
    EXPECT_FALSE(calc.GlobalStore().LoadFromStream(saved));
    EXPECT_EQ(mgr.Find("0_a,0"), nullptr);  // nothing half-loaded
    ASSERT_NE(mgr.Find("0_mine,0"), nullptr);
    EXPECT_EQ(mgr.Count(), 1);
}

}  // namespace
