#include <gtest/gtest.h>

#include <algorithm>

#include "ScriptTestSupport.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "script/ZelScriptModel.h"

using namespace zel;
using zeltest::S;

namespace {

class ScriptModel : public ::testing::Test {
protected:
    void SetUp() override {
        ClearErrors();
        SetErrorFlag(false);
    }
};

std::string Bytes(const TScriptDataInterface& d) {
    TMemoryStream s;
    d.SaveToStream(s);
    return s.ToString();
}

// A thread with three routines: the caller's positions in the base blocks,
// open blocks of several kinds and every routine field set.
void BuildNested(TScriptThread& t) {
    t.Reset();
    for (int r = 1; r < 3; ++r) {
        TScriptRoutine* routine = t.NewChild();
        TScriptBlock* base = routine->NewChild();
        base->kind = bkBase;
        base->file = "scene" + std::to_string(r) + ".s";
        base->label = "@@Caller" + std::to_string(r);
        base->lineOffset = 10 * r;
        base->column = r;
    }
    TScriptRoutine* top = t.Top();
    for (uint8_t kind : {bkForRun, bkIfSkip, bkCaseRun}) {
        TScriptBlock* b = top->NewChild();
        b->kind = kind;
        b->file = "main.s";
        b->label = S("@@ループ");
        b->lineOffset = -3;
        b->column = 0x7FFFFFFF;
        for (int v = 0; v < kBlockValueCount; ++v) b->values[v] = "v" + std::to_string(kind) + "_" + std::to_string(v);
    }
    for (int i = 0; i < kScopedObjectCount; ++i) top->scopedObjects[i] = "obj" + std::to_string(i);
    top->waitState = 7;
    top->waitTime = 1234;
    top->creditTime = -5;
    top->jumpLabel = "@@skip";
    top->soundChannel = 3;
    top->waitRoutineLabel = "@@tick";
    top->waitArgument = S("引数\\ソ");
    t.Get(1)->scopedObjects[0] = "msg";
    t.Get(1)->waitState = 1;
}

}  // namespace

TEST_F(ScriptModel, ResetThreadHasOneRoutineWithOneBaseBlock) {
    TScriptThread t;
    t.Reset();
    ASSERT_EQ(t.Count(), 1);
    ASSERT_EQ(t.Top()->Count(), 1);
    EXPECT_EQ(t.Top()->Top()->kind, bkBase);
    EXPECT_FALSE(t.Top()->InSkippedRegion());
    EXPECT_FALSE(ErrorFlag());
}

TEST_F(ScriptModel, SkippingKinds) {
    const bool skipping[] = {false, true, false, true, true, false, true, true, true, false, true, false};
    for (int kind = 0; kind < 12; ++kind) EXPECT_EQ(IsSkippingBlockKind(static_cast<uint8_t>(kind)), skipping[kind]) << kind;
    EXPECT_FALSE(IsSkippingBlockKind(12));
    EXPECT_FALSE(IsSkippingBlockKind(255));

    // Any skipping block, at any depth, puts the routine in a skipped region.
    TScriptRoutine r;
    r.NewChild()->kind = bkBase;
    r.NewChild()->kind = bkIfSkip;
    r.NewChild()->kind = bkIfRun;
    r.NewChild()->kind = 200;
    EXPECT_TRUE(r.InSkippedRegion());
    r.Delete(1);
    EXPECT_FALSE(r.InSkippedRegion());
}

TEST_F(ScriptModel, ListOperations) {
    TScriptThread t;
    EXPECT_FALSE(t.Pop());
    EXPECT_FALSE(t.PopTo(0));
    EXPECT_EQ(t.Top(), nullptr);
    EXPECT_EQ(t.Get(0), nullptr);

    t.Reset();
    t.NewChild()->NewChild()->kind = bkBase;
    t.NewChild()->NewChild()->kind = bkBase;
    TScriptRoutine* bottom = t.Get(0);
    bottom->NewChild()->kind = bkIfRun;
    ASSERT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Get(3), nullptr);
    EXPECT_EQ(t.Get(-1), nullptr);

    // Out-of-range levels pop nothing.
    EXPECT_FALSE(t.PopTo(3));
    EXPECT_FALSE(t.PopTo(-1));
    EXPECT_EQ(t.Count(), 3);
    // PopTo(0) leaves routine 0 alone with its blocks.
    EXPECT_TRUE(t.PopTo(0));
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Get(0), bottom);
    EXPECT_EQ(bottom->Count(), 2);
    EXPECT_EQ(bottom->Top()->kind, bkIfRun);

    EXPECT_FALSE(bottom->Delete(2));
    EXPECT_TRUE(bottom->Delete(0));
    EXPECT_EQ(bottom->Top()->kind, bkIfRun);
    EXPECT_TRUE(t.Pop());
    EXPECT_FALSE(t.Pop());
}

TEST_F(ScriptModel, FindBlockAndCallerSearchFromTheTop) {
    TScriptRoutine r;
    for (uint8_t kind : {bkBase, bkForRun, bkIfRun, bkForRun, bkIfRun}) r.NewChild()->kind = kind;
    EXPECT_EQ(r.FindBlockByKind(bkForRun), 3);
    EXPECT_EQ(r.FindBlockByKind(bkBase), 0);
    EXPECT_EQ(r.FindBlockByKind(bkCaseRun), -1);

    TScriptThread t;
    t.Reset();
    t.Get(0)->Top()->label = "@@scene";
    for (const char* caller : {"@@SCENE", "@@other", "", "@@scene"}) {
        TScriptRoutine* routine = t.NewChild();
        if (*caller) routine->NewChild()->label = caller;  // the "" routine has no blocks
    }
    EXPECT_EQ(t.FindRoutineByCallerLabel("@@Scene"), 4);
    t.Pop();
    EXPECT_EQ(t.FindRoutineByCallerLabel("@@scene"), 1);  // passes the routine without blocks
    EXPECT_EQ(t.FindRoutineByCallerLabel("@@other"), 2);
    EXPECT_EQ(t.FindRoutineByCallerLabel("@@none"), -1);
    EXPECT_EQ(t.FindRoutineByCallerLabel(""), -1);
}

TEST_F(ScriptModel, StackLimitsReportOncePerOverflowAndKeepTheElement) {
    struct Case {
        bool routines;
        const char* message;
    } cases[] = {
        {true, "サブルーチンスタックが限界値を超えました。"},
        {false, "ブロックスタックが限界値を超えました。"},
    };
    for (const Case& c : cases) {
        ClearErrors();
        SetErrorFlag(false);
        TScriptThread t;
        TScriptRoutine r;
        auto push = [&] { return c.routines ? static_cast<void*>(t.NewChild()) : static_cast<void*>(r.NewChild()); };
        for (int i = 0; i < 1024; ++i) push();
        EXPECT_TRUE(ErrorLines().empty());
        EXPECT_NE(push(), nullptr);  // the 1025th
        EXPECT_EQ(c.routines ? t.Count() : r.Count(), 1025);
        ASSERT_EQ(ErrorLines().size(), 1u);
        EXPECT_EQ(ErrorLines()[0], "[ERROR]:" + S(c.message));
        EXPECT_TRUE(ErrorFlag());
    }
}

TEST_F(ScriptModel, ClearResetsEveryField) {
    TScriptThread t;
    BuildNested(t);
    TScriptRoutine* top = t.Top();
    TScriptBlock* b = top->Get(1);
    b->Clear();
    EXPECT_EQ(Bytes(*b), Bytes(TScriptBlock()));
    top->Clear();
    EXPECT_EQ(Bytes(*top), Bytes(TScriptRoutine()));
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
}

TEST_F(ScriptModel, BlockRecordBytes) {
    TScriptBlock b;
    b.file = "a.s";
    b.kind = bkForRun;
    b.label = "@@x";
    b.lineOffset = -2;
    b.column = 0x01020304;
    b.values[0] = "i<3";
    b.values[7] = "z";
    const std::string expected = std::string("\x03\x00" "a.s" "\x05" "\x03\x00" "@@x" "\xFE\xFF\xFF\xFF" "\x04\x03\x02\x01"
                                             "\x03\x00" "i<3",
                                             24) +
                                 std::string(12, '\0') + std::string("\x01\x00" "z", 3);
    EXPECT_EQ(Bytes(b), expected);
}

TEST_F(ScriptModel, NestedThreadRoundTrip) {
    TScriptThread t;
    BuildNested(t);
    const std::string saved = Bytes(t);

    TScriptThread loaded;
    loaded.Reset();
    TMemoryStream s(saved);
    ASSERT_TRUE(loaded.LoadFromStream(s));
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(Bytes(loaded), saved);

    ASSERT_EQ(loaded.Count(), 3);
    const TScriptRoutine& top = *loaded.Top();
    ASSERT_EQ(top.Count(), 4);
    EXPECT_EQ(top.Get(0)->label, "@@Caller2");
    EXPECT_EQ(top.Get(0)->lineOffset, 20);
    EXPECT_EQ(top.Get(3)->kind, bkCaseRun);
    EXPECT_EQ(top.Get(3)->label, S("@@ループ"));
    EXPECT_EQ(top.Get(3)->column, 0x7FFFFFFF);
    EXPECT_EQ(top.Get(2)->values[7], "v3_7");
    EXPECT_EQ(top.scopedObjects[15], "obj15");
    EXPECT_EQ(top.waitState, 7);
    EXPECT_EQ(top.waitTime, 1234);
    EXPECT_EQ(top.creditTime, -5);
    EXPECT_EQ(top.jumpLabel, "@@skip");
    EXPECT_EQ(top.soundChannel, 3);
    EXPECT_EQ(top.waitRoutineLabel, "@@tick");
    EXPECT_EQ(top.waitArgument, S("引数\\ソ"));
    EXPECT_EQ(loaded.Get(1)->scopedObjects[0], "msg");
    EXPECT_TRUE(top.InSkippedRegion());
    EXPECT_EQ(loaded.FindRoutineByCallerLabel("@@caller1"), 1);
}

TEST_F(ScriptModel, TruncatedThreadRecordsFailAndLeaveTheThread) {
    TScriptThread source;
    BuildNested(source);
    const std::string saved = Bytes(source);

    TScriptThread t;
    t.Reset();
    t.Top()->Top()->label = "@@keep";
    const std::string before = Bytes(t);
    for (size_t n = 0; n < saved.size(); ++n) {
        TMemoryStream s(std::string_view(saved).substr(0, n));
        ASSERT_FALSE(t.LoadFromStream(s)) << n;
        ASSERT_EQ(Bytes(t), before) << n;
    }
}

TEST_F(ScriptModel, StoredCountsOutsideTheStackLimitsAreRefused) {
    // Routine and block counts of 0 would leave no base block; counts above
    // 1025 cannot come from a running script.
    auto thread = [](int32_t routines, int32_t blocks) {
        TMemoryStream s;
        s.WriteI32(routines);
        for (int32_t r = 0; r < std::clamp(routines, 1, 1026); ++r) {
            s.WriteI32(blocks);
            TScriptBlock b;
            b.kind = bkBase;
            for (int32_t i = 0; i < std::clamp(blocks, 1, 1026); ++i) b.SaveToStream(s);
            for (int i = 0; i < kScopedObjectCount; ++i) WriteLenString(s, "");
            s.WriteU8(0);
            s.WriteI32(0);
            s.WriteI32(0);
            WriteLenString(s, "");
            s.WriteI32(0);
            WriteLenString(s, "");
            WriteLenString(s, "");
        }
        s.Rewind();
        return s;
    };
    struct Case {
        int32_t routines, blocks;
        bool ok;
    } cases[] = {
        {1, 1, true}, {0, 1, false}, {1, 0, false}, {-1, 1, false}, {1, -1, false},
        {1026, 1, false}, {1, 1026, false}, {1025, 1, true}, {1, 1025, true}, {0x7FFFFFFF, 1, false},
    };
    for (const Case& c : cases) {
        ClearErrors();
        TScriptThread t;
        TMemoryStream s = thread(c.routines, c.blocks);
        EXPECT_EQ(t.LoadFromStream(s), c.ok) << c.routines << " " << c.blocks;
        EXPECT_EQ(t.Count(), c.ok ? c.routines : 0);
        // A stack restored at its limit is no overflow.
        if (c.ok) {
            EXPECT_TRUE(ErrorLines().empty()) << c.routines << " " << c.blocks;
        }
    }

    // A routine record on its own is checked the same way.
    TScriptRoutine r;
    r.NewChild()->label = "@@keep";
    TMemoryStream empty;
    empty.WriteI32(0);
    empty.Rewind();
    EXPECT_FALSE(r.LoadFromStream(empty));
    EXPECT_EQ(r.Top()->label, "@@keep");
}
