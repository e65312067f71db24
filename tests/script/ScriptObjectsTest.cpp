// The interpreter over the object manager: declarations build objects of
// their kinds, the engine's own objects are real, swaps and frees go through
// the manager, and a story restart keeps the system store's objects.
#include <gtest/gtest.h>

#include "ScriptRunSupport.h"
#include "scriptdata/uZelObjectData.h"

using namespace zeltest;
using zel::TScriptObjectInfo;

namespace {

TEST_F(ScriptRun, EveryKindCanBeDeclaredAndKnowsItsKind) {
    std::string source = "@@top\n";
    for (uint8_t no = 1; no <= zel::kLastKind; ++no) {
        const std::string_view word = zel::ObjectTypeWord(no);
        if (word != "none") source += "\\gvar," + std::string(word) + ",k" + std::to_string(no) + "\n";
    }
    Start(source);
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    TScriptObjectInfo info;
    for (uint8_t no = 1; no <= zel::kLastKind; ++no) {
        const std::string_view word = zel::ObjectTypeWord(no);
        if (word == "none") continue;
        ASSERT_TRUE(script->Objects().FindObject("0_K" + std::to_string(no) + ",0", info)) << word;
        EXPECT_EQ(info.TypeNo, no);
        EXPECT_EQ(info.TypeWord, word);
    }
    // The engine's own objects of every story start.
    ASSERT_TRUE(script->Objects().FindObject("0_snd,15", info));
    EXPECT_EQ(info.TypeWord, "snd");
    ASSERT_TRUE(script->Objects().FindObject("0_dsnd,14", info));
    EXPECT_EQ(info.TypeNo, 5);
    ASSERT_TRUE(script->Objects().FindObject("0_llog,0", info));
    EXPECT_EQ(info.TypeWord, "slog");
    ASSERT_TRUE(script->Objects().FindObject("0_cam,0", info));
    EXPECT_EQ(info.TypeNo, 14);
}

TEST_F(ScriptRun, SwapAndFreeObjectsThroughTheManager) {
    Start(R"(@@top
\gvar,img,a,b
\gvar,btn,c
\gvar,snd,mine[20]
\swap,a,b
\swap,snd[1],snd[3]
\del,a,b
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    TScriptObjectInfo info;
    EXPECT_FALSE(script->Objects().FindObject("0_a,0", info));
    EXPECT_FALSE(script->Objects().FindObject("0_b,0", info));
    // Channel 19 lies outside the 16 stream channels.
    script->ExecuteLine("\\swap,snd[1],mine[19]");
    EXPECT_TRUE(HasError("オブジェクトのスワップに失敗しました:snd[1]/mine[19]")) << ErrorText();
    // The freed names can be declared again.
    script->ExecuteLine("\\gvar,img,a");
    EXPECT_TRUE(script->Objects().FindObject("0_a,0", info));
}

TEST_F(ScriptRun, ARestartFreesTheStorysObjectsOnly) {
    Start("@@top\n\\svar,list,keep\n\\gvar,list,gone\n");
    Frames(1);
    script->ResetScript();
    TScriptObjectInfo info;
    EXPECT_TRUE(script->Objects().FindObject("0_keep,0", info));
    EXPECT_FALSE(script->Objects().FindObject("0_gone,0", info));
    // The system variable can free its object later: it is the same, valid one.
    script->ExecuteLine("\\del,keep");
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

}  // namespace
