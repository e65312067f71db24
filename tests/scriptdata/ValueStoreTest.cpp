#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CalcTestUtil.h"
#include "scriptdata/ZelCalculationLib.h"

using namespace zel;
using namespace zel::testing;

namespace {

const std::string kNotDeclared = SjisOf("変数が宣言されていません:");
const std::string kWriteLocked = SjisOf("変数に書き込みロックがかかっています:");
const std::string kReadLocked = SjisOf("変数に読み込みロックがかかっています:");
const std::string kWriteOutOfRange = SjisOf("範囲外の配列に書き込もうとしました:");
const std::string kCreateFailed = SjisOf("Objectの生成に失敗しました：");
const std::string kTooManyElements = SjisOf("配列の要素数が多すぎます:");
const std::string kTooManyDims = SjisOf("配列の次元が多すぎます:");

class Store : public ::testing::Test {
protected:
    void SetUp() override { ResetErrors(); }

    bool Declare(const std::string& decl, const std::string& typeWord, int scope = scGlobal, int32_t level = 0) {
        const TTypeWordInfo t = TZelCalculation::TypeWordInfo(typeWord);
        return calc.Declare(decl, t.TypeName, t.IsReference, t.Access, scope, t.ElementKind, level);
    }
    TReturnValue Eval(const std::string& text, int32_t level = 0) { return calc.Evaluate(text, level); }

    TRecordingObjects objects;
    TZelCalculation calc{&objects};
};

TEST(ValueStack, HoldsAtMost128Values) {
    TValueStack st;
    for (int i = 0; i < TValueStack::Capacity; ++i) ASSERT_TRUE(st.Push(TReturnValue::Integer(i)));
    EXPECT_FALSE(st.Push(TReturnValue::Integer(999)));
    EXPECT_EQ(st.Count(), 128);
    EXPECT_EQ(st.Pop().IntValue, 127);
    st.Clear();
    const TReturnValue v = st.Pop();
    EXPECT_EQ(v.Kind, rkError);
    EXPECT_EQ(v.IntValue, 0);
    EXPECT_EQ(v.Text, "");
}

TEST_F(Store, ScopesLookupAndNoShadowing) {
    ASSERT_TRUE(Declare("g", "int"));
    ASSERT_TRUE(Declare("sv", "str", scSystem));
    ASSERT_TRUE(Declare("loc", "int", scLocal, 2));
    EXPECT_EQ(calc.FindScope("G", 2).Scope, scGlobal);
    EXPECT_EQ(calc.FindScope("sv[0]", 5).Scope, scSystem);
    EXPECT_EQ(calc.FindScope("loc", 2).Scope, scLocal);
    EXPECT_EQ(calc.FindScope("loc", 1).Scope, scNone);  // locals belong to their level
    // Declaring a visible name again declares nothing and says nothing.
    EXPECT_FALSE(Declare("g", "int", scLocal, 2));
    EXPECT_FALSE(Declare("LOC", "str", scLocal, 2));
    EXPECT_TRUE(Declare("loc", "int", scLocal, 3));
    EXPECT_FALSE(Declare("x", "int", 7));
    EXPECT_FALSE(Declare("", "int"));
    EXPECT_TRUE(Errors().empty());
    // A child instance shares its parent's system store.
    TZelCalculation child;
    child.SetStoreOverrides(&calc.OwnSystemStore(), nullptr, nullptr);
    EXPECT_EQ(child.FindScope("sv", 0).Scope, scSystem);
    EXPECT_EQ(child.FindScope("g", 0).Scope, scNone);
}

TEST_F(Store, DeclarationSizes) {
    struct {
        const char* decl;
        int32_t count;
        TIndexList dims;
    } cases[] = {
        {"a", 1, {1, 1, 1, 1}},        {"b[5]", 5, {5, 1, 1, 1}},    {"c[2,3]", 6, {3, 2, 1, 1}},
        {"d[0,-5]", 1, {1, 1, 1, 1}},  {"e[2,3,4,5]", 120, {5, 4, 3, 2}}, {"f[1+1, 2*2]", 8, {4, 2, 1, 1}},
        {"h[4096,4096]", 1 << 24, {4096, 4096, 1, 1}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Declare(c.decl, "int")) << c.decl;
        const TValue& g = calc.GlobalStore();
        const TValueArrayCustom& a = *g.Item(g.Count() - 1).Data;
        EXPECT_EQ(a.Count, c.count) << c.decl;
        EXPECT_EQ(a.Dims, c.dims) << c.decl;
    }
    EXPECT_TRUE(Errors().empty());
    // Too many elements (also where 32-bit products would wrap), too many dimensions.
    struct {
        const char* decl;
        std::string error;
    } refused[] = {
        {"big[4097,4096]", kTooManyElements + "big"},
        {"big[65536,65536,65536,65536]", kTooManyElements + "big"},
        {"big[2147483647,2147483647]", kTooManyElements + "big"},
        {"big[1,2,3,4,5]", kTooManyDims + "big"},
    };
    for (const auto& r : refused) {
        ResetErrors();
        EXPECT_FALSE(Declare(r.decl, "str")) << r.decl;
        EXPECT_EQ(Errors(), std::vector<std::string>{r.error}) << r.decl;
        EXPECT_EQ(calc.FindScope("big", 0).Scope, scNone);
    }
    ResetErrors();
    EXPECT_EQ(Eval("c[1,2,3,4,5]").Kind, rkError);
    EXPECT_EQ(Errors().front(), kTooManyDims + "c");
}

TEST_F(Store, BuiltinVariablesAndTheirLocks) {
    calc.DeclareBuiltinVariables();
    // Result variables: scripts may write ResultInt, not delete it, not re-point ResultBtn.
    EXPECT_EQ(Eval("ResultInt[3]=7").IntValue, 1);
    EXPECT_EQ(calc.EvaluateToken("ResultInt[3]", 0).IntValue, 7);
    EXPECT_FALSE(calc.Undeclare("ResultInt", 0));
    EXPECT_EQ(calc.FindScope("ResultInt", 0).Scope, scGlobal);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Eval("ResultBtn=NULL").Kind, rkError);
    EXPECT_EQ(Errors().front(), kWriteLocked + "ResultBtn");
    // The engine's own writes ignore the locks.
    TValue& g = calc.GlobalStore();
    EXPECT_TRUE(g.WriteObjectName("ResultBtn", 0, "btn1"));
    EXPECT_EQ(Eval("ResultBtn").Text, "btn1");
    EXPECT_TRUE(g.WriteInteger("ResultBtnInt", 3, 42));
    EXPECT_EQ(Eval("ResultBtnInt[3]").IntValue, 42);
    ResetErrors();
    EXPECT_FALSE(g.WriteInteger("ResultBtnInt", 4, 1));
    EXPECT_FALSE(g.WriteInteger("NoSuch", 0, 1));
    EXPECT_EQ(Errors(), (std::vector<std::string>{kWriteOutOfRange + "ResultBtnInt", kNotDeclared + "NoSuch"}));
    ResetErrors();

    struct {
        const char* expr;
        uint8_t kind;
        const char* text;
    } values[] = {
        {"_lkScreen", rkInteger, "1"}, {"_lkMinimize", rkInteger, "2048"}, {"_stSE", rkInteger, "2"},
        {"_QuickSaveFilename", rkString, "QuickSaveData.svd"}, {"SelfFileName", rkString, ""},
        {"NULL", rkObject, ""}, {"NIL", rkObject, ""}, {"sys", rkObject, "0_sys,0"},
        {"llog", rkObject, "0_llog,0"}, {"snd[15]", rkObject, "0_snd,15"}, {"dsnd[14]", rkObject, "0_dsnd,14"},
    };
    for (const auto& v : values) {
        const TReturnValue r = Eval(v.expr);
        EXPECT_EQ(r.Kind, v.kind) << v.expr;
        EXPECT_EQ(r.Text, v.text) << v.expr;
    }
    EXPECT_EQ(Eval("snd[16]").Kind, rkError);
    ResetErrors();
    // Objects were made for the object variables only: NULL, NIL and ResultBtn are references.
    EXPECT_EQ(objects.live.size(), 22u + 1u + 16u + 15u);
    EXPECT_TRUE(objects.live.count("0_llog,0"));
    EXPECT_EQ(std::count_if(objects.calls.begin(), objects.calls.end(),
                            [](const std::string& c) { return c.find("NULL") != std::string::npos; }),
              0);
    // Locks: no read bit, and the write bit.
    ASSERT_TRUE(calc.Declare("hidden", "int", false, 2, scGlobal, rkInteger, 0));
    EXPECT_EQ(Eval("hidden").Kind, rkError);
    EXPECT_EQ(Eval("hidden=3").IntValue, 1);
    TReturnValue v;
    EXPECT_TRUE(g.ReadItem(g.Find("hidden", 0), {0, 0, 0, 0}, true, v));
    EXPECT_EQ(v.IntValue, 3);
    EXPECT_EQ(Errors().front(), kReadLocked + "hidden");
    ResetErrors();
    EXPECT_FALSE(calc.ResetVariable("_lkSave", 0));
    EXPECT_FALSE(calc.ResetVariable("nosuch", 0));
    EXPECT_EQ(Errors(), (std::vector<std::string>{kWriteLocked + "_lkSave", kNotDeclared + "nosuch"}));
}

TEST_F(Store, ResetDeleteAndDropLocals) {
    ASSERT_TRUE(Declare("n[3]", "int"));
    ASSERT_TRUE(Declare("s[2]", "str"));
    Eval("n[2]=5");
    Eval("s[1]=\"x\"");
    EXPECT_TRUE(calc.ResetVariable("n", 0));
    EXPECT_TRUE(calc.ResetVariable("s[1]", 0));
    EXPECT_EQ(Eval("n[2]").IntValue, 0);
    EXPECT_EQ(Eval("s[1]").Text, "");
    EXPECT_TRUE(calc.Undeclare("n", 0));
    EXPECT_EQ(calc.FindScope("n", 0).Scope, scNone);
    EXPECT_EQ(calc.FindScope("s", 0).Scope, scGlobal);  // the index followed the removal

    // \var,img,bg[3] in the outermost routine, then locals of deeper routines.
    ASSERT_TRUE(Declare("bg[3]", "img", scLocal, 0));
    ASSERT_TRUE(Declare("fg", "img", scLocal, 1));
    ASSERT_TRUE(Declare("tmp", "int", scLocal, 2));
    ASSERT_TRUE(Declare("ch", "IMG", scLocal, 2));
    EXPECT_EQ(objects.live, (std::set<std::string>{"0_bg,0", "0_bg,1", "0_bg,2", "1_fg,0", "2_ch,0"}));
    EXPECT_EQ(objects.calls[0], "create img bg 0_bg,0");
    objects.calls.clear();
    calc.LocalStore().DropLocalsAbove(0);
    EXPECT_EQ(objects.calls, (std::vector<std::string>{"free img fg 1_fg,0", "free IMG ch 2_ch,0"}));
    EXPECT_EQ(calc.FindScope("tmp", 2).Scope, scNone);
    EXPECT_EQ(calc.FindScope("bg", 0).Scope, scLocal);
    // Object variables may be deleted (253 keeps the deletable bit).
    EXPECT_TRUE(calc.Undeclare("bg", 0));
    EXPECT_TRUE(objects.live.empty());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Store, ObjectNameCollisionNeverTouchesTheOtherObject) {
    // A local "x" of the outermost routine owns 0_x,0; a global "x" declared from a
    // deeper routine gets the same element name and cannot make its object.
    ASSERT_TRUE(Declare("x", "img", scLocal, 0));
    ASSERT_TRUE(Declare("x", "img", scGlobal, 2));
    EXPECT_EQ(Errors(), std::vector<std::string>{kCreateFailed + "0_x,0"});
    EXPECT_EQ(Eval("x", 5).Text, "0_x,0");  // the element keeps its name
    TMemoryStream saved;
    objects.calls.clear();
    calc.GlobalStore().SaveToStream(saved);
    EXPECT_EQ(objects.calls, std::vector<std::string>{"save img  x"});  // not the local's object
    objects.calls.clear();
    EXPECT_TRUE(calc.Undeclare("x", 2));
    EXPECT_TRUE(objects.calls.empty());
    EXPECT_TRUE(objects.live.count("0_x,0"));
    calc.LocalStore().Clear();
    EXPECT_TRUE(objects.live.empty());
}

// Two variables, written field by field: int "a" of two elements {5, -1} and
// string "S" holding "x".
const std::vector<uint8_t> kGoldenStore = {
    0x02, 0x00, 0x00, 0x00,                          // variable count
    0x00, 0x00, 0xFF, 0x00, 0x61, 0x00, 0x00, 0x00,  // Level 0, Access 255, NameHash 97
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              // kind 0, not a reference, array level 0
    0x01, 0x00, 'a',                                 // Name
    0x03, 0x00, 'i', 'n', 't',                       // TypeName
    0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // Dims
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  //
    0x02, 0x00, 0x00, 0x00,                          // Count
    0x05, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,  // elements
    0x00, 0x00, 0xFF, 0x00, 0x73, 0x00, 0x00, 0x00,  // Level 0, Access 255, NameHash of "s" 115
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00,              // kind 1
    0x01, 0x00, 'S',                                 //
    0x03, 0x00, 's', 't', 'r',                       //
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  //
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  //
    0x01, 0x00, 0x00, 0x00,                          //
    0x01, 0x00, 'x',                                 //
};

TEST_F(Store, StreamFormMatchesTheGoldenBytes) {
    ASSERT_TRUE(Declare("a[2]", "int"));
    ASSERT_TRUE(Declare("S", "str"));
    Eval("a[1]=-1");
    Eval("a[0]=5");
    Eval("S=\"x\"");
    TMemoryStream out;
    ASSERT_TRUE(calc.GlobalStore().SaveToStream(out));
    EXPECT_EQ(out.Bytes(), kGoldenStore);

    // The stored hash is not trusted: a wrong one is recomputed.
    std::vector<uint8_t> bytes = kGoldenStore;
    bytes[8] = 0x7F;
    TValue loaded;
    TMemoryStream in(bytes);
    ASSERT_TRUE(loaded.LoadFromStream(in));
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Item(0).NameHash, 97);
    EXPECT_EQ(loaded.Item(0).Access, 255);
    TReturnValue v;
    ASSERT_TRUE(loaded.ReadItem(loaded.Find("A", 0), {1, 0, 0, 0}, false, v));
    EXPECT_EQ(v.IntValue, -1);
    ASSERT_TRUE(loaded.ReadItem(loaded.Find("s", 0), {0, 0, 0, 0}, false, v));
    EXPECT_EQ(v.Text, "x");
}

TEST_F(Store, BadStreamsLeaveTheStoreAsItWas) {
    TValue store;
    ASSERT_TRUE(store.DeclareItem("keep", "int", false, 255, rkInteger, 0, {1, 1, 1, 1}));
    ASSERT_TRUE(store.WriteInteger("keep", 0, 77));
    auto unchanged = [&](const std::string& what) {
        ASSERT_EQ(store.Count(), 1) << what;
        TReturnValue v;
        EXPECT_TRUE(store.ReadItem(store.Find("keep", 0), {0, 0, 0, 0}, false, v)) << what;
        EXPECT_EQ(v.IntValue, 77) << what;
    };
    for (size_t n = 0; n < kGoldenStore.size(); ++n) {
        TMemoryStream in(std::vector<uint8_t>(kGoldenStore.begin(), kGoldenStore.begin() + static_cast<long>(n)));
        std::string why;
        EXPECT_FALSE(store.LoadFromStream(in, &why)) << n;
        EXPECT_FALSE(why.empty());
        unchanged("truncated at " + std::to_string(n));
    }
    struct {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    } damage[] = {
        {"negative count", 0, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"huge count", 0, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"unknown kind", 12, {0x07}},
        {"count does not match the sizes", 42, {0x03}},
        {"size below one", 26, {0x00}},
        {"huge element count", 26, {0x00, 0x00, 0x00, 0x40}},
        {"empty name", 18, {0x00, 0x00}},
        {"same name twice", 70, {'A'}},
    };
    for (const auto& d : damage) {
        std::vector<uint8_t> bytes = kGoldenStore;
        std::copy(d.bytes.begin(), d.bytes.end(), bytes.begin() + static_cast<long>(d.offset));
        TMemoryStream in(bytes);
        EXPECT_FALSE(store.LoadFromStream(in)) << d.what;
        unchanged(d.what);
    }
}

TEST_F(Store, ObjectsTravelThroughTheStreamAndSurviveAFailedLoad) {
    ASSERT_TRUE(Declare("bg[2]", "img"));
    ASSERT_TRUE(Declare("ref", "obj"));
    ASSERT_TRUE(Declare("n", "int"));
    Eval("ref=bg[1]");
    Eval("n=3");
    TValue& g = calc.GlobalStore();
    TMemoryStream saved;
    objects.calls.clear();
    ASSERT_TRUE(g.SaveToStream(saved));
    EXPECT_EQ(objects.calls, (std::vector<std::string>{"save img 0_bg,0 bg", "save img 0_bg,1 bg"}));

    // A full load keeps the old objects' state aside, frees them, and builds the
    // stored ones, without OnCreateObject.
    objects.calls.clear();
    saved.Rewind();
    ASSERT_TRUE(g.LoadFromStream(saved));
    EXPECT_EQ(objects.calls, (std::vector<std::string>{
                                 "save img 0_bg,0 bg", "save img 0_bg,1 bg",
                                 "free img bg 0_bg,0", "free img bg 0_bg,1",
                                 "load img 0_bg,0 bg state:0_bg,0", "load img 0_bg,1 bg state:0_bg,1"}));
    EXPECT_EQ(objects.live, (std::set<std::string>{"0_bg,0", "0_bg,1"}));
    EXPECT_EQ(Eval("ref").Text, "0_bg,1");
    EXPECT_EQ(Eval("n").IntValue, 3);
    EXPECT_EQ(g.Item(g.Find("bg", 0)).Access, 253);

    // Cut inside the second object's record: the first loaded object is freed
    // again and the store, objects included, is as it was.
    const std::string all = saved.ToString();
    const size_t second = all.find("state:0_bg,1");
    ASSERT_NE(second, std::string::npos);
    TMemoryStream cut(std::string_view(all).substr(0, second + 4));
    Eval("n=4");
    EXPECT_FALSE(g.LoadFromStream(cut));
    EXPECT_EQ(objects.live, (std::set<std::string>{"0_bg,0", "0_bg,1"}));
    EXPECT_EQ(Eval("n").IntValue, 4);
    EXPECT_EQ(Eval("ref").Text, "0_bg,1");
    EXPECT_TRUE(g.Item(g.Find("bg", 0)).Data->Count == 2);
    g.Clear();
    EXPECT_TRUE(objects.live.empty());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Store, LongStringsAreCutAtACharacterBoundary) {
    ASSERT_TRUE(Declare("s", "str"));
    std::string text = "a" + std::string(70000, '\0');
    for (size_t i = 1; i + 1 < text.size(); i += 2) {
        text[i] = '\x83';
        text[i + 1] = '\x41';
    }
    ASSERT_TRUE(calc.GlobalStore().WriteString("s", 0, text));
    TMemoryStream out;
    calc.GlobalStore().SaveToStream(out);
    out.Rewind();
    TValue loaded;
    ASSERT_TRUE(loaded.LoadFromStream(out));
    TReturnValue v;
    ASSERT_TRUE(loaded.ReadItem(0, {0, 0, 0, 0}, false, v));
    EXPECT_EQ(v.Text.size(), 65535u);  // "a" and 32767 whole double-byte characters
    EXPECT_EQ(v.Text.substr(65533), "\x83\x41");
}

}  // namespace
