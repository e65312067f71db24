// The general commands: string functions, the formatter, declarations and the
// scope list, and the commands that start waits.
#include <gtest/gtest.h>

#include <climits>

#include "ScriptRunSupport.h"
#include "script/ZelScriptFormat.h"

using namespace zel;
using namespace zeltest;

namespace {

TEST(FormatScriptValue, ConversionsAndHostileFormats) {
    const TReturnValue i42 = TReturnValue::Integer(42), neg = TReturnValue::Integer(-42),
                       minus1 = TReturnValue::Integer(-1), zero = TReturnValue::Integer(0),
                       intMin = TReturnValue::Integer(INT32_MIN), abc = TReturnValue::String("abc"),
                       kana = TReturnValue::String(S("アイ"));
    struct Case {
        const char* format;
        const TReturnValue* value;
        bool fits;
        std::string want;
    };
    const Case cases[] = {
        {"%d", &i42, true, "42"},
        {"%5d", &i42, true, "   42"},
        {"%-5d|", &i42, true, "42   |"},
        {"%05d", &neg, true, "-0042"},
        {"%+d", &i42, true, "+42"},
        {"% d", &i42, true, " 42"},
        {"%.3d", &i42, true, "042"},
        {"%08.3d", &i42, true, "     042"},  // a precision turns zero padding off
        {"%.0d", &zero, true, ""},
        {"%i", &intMin, true, "-2147483648"},
        {"%u", &minus1, true, "4294967295"},
        {"%x", &minus1, true, "ffffffff"},
        {"%#X", &i42, true, "0X2A"},
        {"%#x", &zero, true, "0"},
        {"HP:%d/%%", &i42, true, "HP:42/%"},
        {"no conversion", &i42, true, "no conversion"},
        {"%s", &abc, true, "abc"},
        {"[%5s]", &abc, true, "[  abc]"},
        {"[%-5s]", &abc, true, "[abc  ]"},
        {"%.2s", &abc, true, "ab"},
        {"%.3s", &kana, true, S("ア")},  // a double-byte character is not split
        {"%.1s", &kana, true, ""},
        // Formats that do not fit their value, or that are not ours to carry out.
        {"%s", &i42, false, ""},
        {"%d", &abc, false, ""},
        {"%d%d", &i42, false, ""},
        {"%n", &i42, false, ""},
        {"%p", &i42, false, ""},
        {"%f", &i42, false, ""},
        {"%ld", &i42, false, ""},
        {"%*d", &i42, false, ""},
        {"%", &i42, false, ""},
        {"%5", &i42, false, ""},
        {"%s%s%s%s%n", &abc, false, ""},
    };
    for (const Case& c : cases) {
        std::string out = "<";
        EXPECT_EQ(FormatScriptValue(c.format, *c.value, out), c.fits) << c.format;
        EXPECT_EQ(out, "<" + c.want) << c.format;
    }
    // Width and precision are capped.
    std::string out;
    ASSERT_TRUE(FormatScriptValue("%99999999999999999999d", i42, out));
    EXPECT_EQ(out.size(), static_cast<size_t>(kMaxFormatWidth));
    out.clear();
    ASSERT_TRUE(FormatScriptValue("%.2147483648d", i42, out));
    EXPECT_EQ(out.size(), static_cast<size_t>(kMaxFormatWidth));
    out.clear();
    ASSERT_TRUE(FormatScriptValue("%.999999s", abc, out));
    EXPECT_EQ(out, "abc");
}

TEST_F(ScriptRun, FormatCommandConcatenatesThePairs) {
    Start(R"(@@top
\gvar,str,s,r
\cal,s="abc"
\fmt,"%03d",7,"-%s",s,"%n",1,,5,"[%d]",s,"%x",255
\cal,r=ResultStr[0]
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Str("r"), "007-abcff");
}

TEST_F(ScriptRun, StringFunctionsOnDoubleByteText) {
    // Each row: a command, then the result read back.
    const struct {
        const char* command;
        const char* result;
        const char* want;  // UTF-8; integers in decimal
    } cases[] = {
        {"\\cpy,\"漢ab\",2,2", "ResultStr[0]", "ab"},
        {"\\cpy,\"漢ab\",0,3", "ResultStr[0]", "漢a"},
        {"\\copy,\"漢字かな\",3,5", "ResultStr[0]", "かな"},
        {"\\cpy,\"漢ab\",2147483647,2147483647", "ResultStr[0]", ""},
        {"\\cpy,\"漢ab\",-2147483647,-2", "ResultStr[0]", ""},
        {"\\cpy,\"漢ab\",-5,7", "ResultStr[0]", "漢"},
        {"\\hcpy,\"漢ab\",0,2", "ResultStr[0]", "漢"},
        {"\\hcpy,\"漢ab\",3,99", "ResultStr[0]", "ab"},
        {"\\hcpy,\"漢ab\",2147483647,2147483647", "ResultStr[0]", ""},
        {"\\len,\"漢ab\"", "ResultInt[0]", "3"},
        {"\\hlen,\"漢ab\"", "ResultInt[0]", "4"},
        {"\\pos,\"B\",\"漢aB\"", "ResultInt[0]", "3"},
        {"\\hpos,\"b\",\"漢aB\"", "ResultInt[0]", "4"},
        {"\\pos,\"字\",\"漢字\"", "ResultInt[0]", "2"},
        {"\\hpos,\"字\",\"漢字\"", "ResultInt[0]", "3"},
        {"\\pos,\"z\",\"漢aB\"", "ResultInt[0]", "0"},
        {"\\hpos,\"\",\"漢aB\"", "ResultInt[0]", "0"},
        {"\\upc,\"aBc漢\"", "ResultStr[0]", "ABC漢"},
        {"\\lowc,\"aBc漢\"", "ResultStr[0]", "abc漢"},
        {"\\trim,\"  a b  \"", "ResultStr[0]", "a b"},
        {"\\zenc,\"A1\"", "ResultStr[0]", "Ａ１"},
        {"\\hanc,\"Ａ１\"", "ResultStr[0]", "A1"},
        {"\\rep,\"aXbxc\",\"x\",\"-\"", "ResultStr[0]", "a-b-c"},
        {"\\rep,\"abc\",\"\",\"-\"", "ResultStr[0]", "abc"},
        {"\\rep,\"アA\",\"a\",\"b\"", "ResultStr[0]", "アb"},  // ア is 83 41: its second byte is no "A"
        {"\\rep,\"漢字漢\",\"漢\",\"か\"", "ResultStr[0]", "か字か"},
        {"\\len,12345", "ResultInt[0]", "5"},  // a number's string form
    };
    for (const auto& c : cases) {
        SetUp();
        Start(std::string("@@top\n") + c.command + "\n");
        Frames(1);
        EXPECT_TRUE(Errors().empty()) << c.command << "\n" << ErrorText();
        const TReturnValue v = Value(c.result);
        EXPECT_EQ(v.Kind == rkInteger ? std::to_string(v.IntValue) : SjisToUtf8(v.Text), c.want) << c.command;
    }
}

TEST_F(ScriptRun, DivideFillsTheResults) {
    std::string parts;
    for (int i = 0; i < 20; ++i) {
        if (i) parts += ',';
        parts += 'p';
        parts += std::to_string(i);
    }
    Start("@@top\n\\gvar,int,n,n2\n\\gvar,str,s0,s15,b\n\\div,\",\",\"" + parts +
          "\"\n\\cal,n=ResultInt[0],s0=ResultStr[0],s15=ResultStr[15]\n"
          "\\div,\"、\",\"か な、 漢 字//後\",1\n\\cal,n2=ResultInt[0],b=ResultStr[1]\n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("n"), 20);
    EXPECT_EQ(Str("s0"), "p0");
    EXPECT_EQ(Str("s15"), "p15");
    EXPECT_EQ(Int("n2"), 2);
    EXPECT_EQ(Str("b"), S("漢字"));
    EXPECT_EQ(Str("ResultStr[2]"), "");  // cleared by the second \div
}

TEST_F(ScriptRun, RegularExpressionCommands) {
    Start(R"(@@top
\gvar,int,n,n2
\gvar,str,m,sub,tra
\bmat,{b,c},"ab,cd"
\cal,n=ResultInt[0],m=ResultStr[0]
\bspl,"zz","ab"
\cal,n2=ResultInt[0]
\bsub,{s/a/{x}/},"banana"
\cal,sub=ResultStr[0]
\btra,"tr/ab/xy/","aabb"
\cal,tra=ResultStr[0]
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("n"), 1);
    EXPECT_EQ(Str("m"), "b,c");  // the braces keep the pattern raw
    EXPECT_EQ(Int("n2"), 0);
    EXPECT_EQ(Str("sub"), "b{x}n{x}n{x}");
    // The command hands the pattern to the matcher's Transliterate and stores
    // what comes back; this fixture's matcher transliterates. The engine's own
    // matcher returns a "tr///" text unchanged (see the regex tests).
    EXPECT_EQ(Str("tra"), "xxyy");
}

TEST_F(ScriptRun, CalculationFailuresAreReported) {
    Start("@@top\n\\gvar,int,a\n\\cal,a=1,,a=a+1,nothing=2\n");
    Frames(1);
    EXPECT_EQ(Int("a"), 2);
    EXPECT_TRUE(HasError("計算に失敗しました：nothing=2")) << ErrorText();
}

TEST_F(ScriptRun, DeclarationsAndTheirFallThrough) {
    Start(R"(@@top
\gvar,int,g
\cal,g=7
\var,int,g,l
\var,str,s
\var,img,bg[2]
\var,obj,ref
\cal,ref=bg[1]
\svar,int,sv
\vexs,l
\cal,sv=ResultInt[0]
\gvar,int,scopes[4]
\vexs,g
\cal,scopes[0]=ResultInt[0]
\vexs,sv
\cal,scopes[1]=ResultInt[0]
\vexs,none
\cal,scopes[2]=ResultInt[0]
\fobj,bg[1]
\gvar,str,found
\cal,found=ResultObj[0]
\init,g
\del,l,ResultInt
\vexs,l
\cal,scopes[3]=ResultInt[0]
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    // "int" for a name that exists falls through without a message; g is still the global.
    EXPECT_EQ(script->Calc().FindScope("g", 0).Scope, scGlobal);
    EXPECT_EQ(Int("g"), 0);  // \init
    EXPECT_EQ(Int("sv"), scLocal);
    EXPECT_EQ(Int("scopes[0]"), scGlobal);
    EXPECT_EQ(Int("scopes[1]"), scSystem);
    EXPECT_EQ(Int("scopes[2]"), scNone);
    EXPECT_EQ(Int("scopes[3]"), scNone);  // \del
    EXPECT_EQ(Str("found"), "0_bg,1");
    EXPECT_EQ(Str("ref"), "0_bg,1");
    EXPECT_EQ(script->Calc().FindScope("ResultInt", 0).Scope, scGlobal);  // not deletable
    TScriptObjectInfo info;
    ASSERT_TRUE(script->Objects().FindObject("0_BG,0", info));
    EXPECT_EQ(info.TypeWord, "img");
}

TEST_F(ScriptRun, AnUnknownTypeWordCreatesNoObject) {
    Start("@@top\n\\var,nosuchkind,x\n");
    Frames(1);
    EXPECT_TRUE(HasError("Objectの生成に失敗しました：0_x,0")) << ErrorText();
}

TEST_F(ScriptRun, SwapExchangesValuesOfOneKind) {
    Start(R"(@@top
\gvar,int,a,b
\gvar,str,s
\cal,a=1,b=2,s="x"
\swap,a,b
)");
    Frames(1);
    EXPECT_EQ(Int("a"), 2);
    EXPECT_EQ(Int("b"), 1);
    script->ExecuteLine("\\swap,a,s");
    EXPECT_TRUE(HasError("型が異なります:a")) << ErrorText();
    script->ExecuteLine("\\var,img,p,q\\var,btn,r\\swap,p,q");
    EXPECT_TRUE(Errors().size() == 1) << ErrorText();
    script->ExecuteLine("\\swap,p,r");
    EXPECT_TRUE(HasError("オブジェクトのスワップに失敗しました:p/r")) << ErrorText();
}

TEST_F(ScriptRun, FileAndLabelQueries) {
    Start(R"(@@top
\gvar,int,f1,f2,l1,l2
\fexs,"main.s"
\cal,f1=ResultInt[0]
\fexs,"none.s"
\cal,f2=ResultInt[0]
\lexs,@@there
\cal,l1=ResultInt[0]
\lexs,@@nowhere
\cal,l2=ResultInt[0]
@@there
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("f1"), 1);
    EXPECT_EQ(Int("f2"), 0);
    EXPECT_EQ(Int("l1"), 1);
    EXPECT_EQ(Int("l2"), 0);
}

TEST_F(ScriptRun, ScopeListHoldsSixteenNames) {
    std::string line = "\\scp";
    for (int i = 0; i < 17; ++i) line += ",\"o" + std::to_string(i) + "\"";
    Start("@@top\n" + line + "\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\scp：スコープできるオブジェクトは16個までです：\"o16\"")) << ErrorText();
    EXPECT_EQ(script->Routine().scopedObjects[15], "o15");
    // \scp without fields empties the list.
    script->ExecuteLine("\\scp");
    EXPECT_EQ(script->Routine().scopedObjects[0], "");
}

TEST_F(ScriptRun, ThreadRequestsStopTheFrame) {
    Start("@@top\n\\gvar,int,x\n\\thrd,1,@@menu\n\\cal,x=1\n");
    Frames(1);
    EXPECT_EQ(script->State().request, ScriptRequest::Custom);
    EXPECT_EQ(script->State().requestArgument, "@@menu");
    EXPECT_EQ(Int("x"), 0);
    Frames(1);
    EXPECT_EQ(script->State().request, ScriptRequest::None);
    EXPECT_EQ(Int("x"), 1);
    script->ExecuteLine("\\thrd,0,");
    EXPECT_EQ(script->State().request, ScriptRequest::SystemScriptEnd);
}

TEST_F(ScriptRun, TimedWaitsEndAfterTheirTime) {
    Start(R"(@@top
\gvar,int,x,y,z
\wait,0
\cal,x=1
\wait,100
\cal,y=1
\clk,50
\cal,z=1
)");
    Frames(1);
    EXPECT_EQ(Int("x"), 1);  // \wait with 0 does not wait
    EXPECT_EQ(script->Routine().waitState, wsWait);
    Frames(3);
    EXPECT_EQ(Int("y"), 0);
    Frames(1);
    EXPECT_EQ(Int("y"), 1);
    EXPECT_EQ(script->Routine().waitState, wsClick);
    Frames(1);
    EXPECT_EQ(Int("z"), 0);
    Frames(1);
    EXPECT_EQ(Int("z"), 1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, WaitsWithoutATimeLastUntilEnded) {
    Start("@@top\n\\gvar,int,x\n\\clk\n\\cal,x=1\n");
    int32_t clickTime = 2000;
    TScriptServices services;
    services.autoPlayClickTime = [&] { return clickTime; };
    script->SetServices(services);
    Frames(20);
    EXPECT_EQ(Int("x"), 0);
    EXPECT_EQ(script->Routine().waitTime, -1);
    EXPECT_EQ(script->Routine().waitState, wsClick);
    // The auto-play delay grew by the click time and counts down.
    EXPECT_EQ(script->State().autoPlayDelay, 2000 - 19 * 25);

    SetUp();
    Start("@@top\n\\gvar,int,x\n\\btn\n\\cal,x=1\n\\btn,30\n\\cal,x=2\n");
    Frames(10);
    EXPECT_EQ(Int("x"), 0);
    EXPECT_EQ(script->Routine().waitState, wsButton);
    script->Routine().waitState = wsRunning;  // as a button hit would
    Frames(1);
    EXPECT_EQ(Int("x"), 1);
    Frames(2);
    EXPECT_EQ(Int("x"), 2);
    EXPECT_EQ(Str("ResultBtn"), "");
}

// SkipTimeOnce sets the time-skip counter to 2; each frame decrements it and
// counts no elapsed time while it is still positive: exactly one frame is
// lost to a timed wait, while the script clock counts every frame.
TEST_F(ScriptRun, SkipTimeOnceZeroesOneFrame) {
    int framesToEnd[2] = {0, 0};
    int32_t clock[2] = {0, 0};
    for (int skip = 0; skip < 2; ++skip) {
        Start("@@top\n\\gvar,int,done\n\\wait,100\n\\cal,done=1\n");
        Frames(1);  // reaches the wait
        ASSERT_EQ(script->Routine().waitState, wsWait);
        if (skip) {
            script->SkipTimeOnce();
            EXPECT_EQ(script->State().timeSkip, 2);
        }
        while (Int("done") == 0 && framesToEnd[skip] < 20) {
            Frames(1);
            ++framesToEnd[skip];
        }
        clock[skip] = script->State().scriptClock;
        EXPECT_EQ(script->State().timeSkip, 0);
    }
    EXPECT_EQ(framesToEnd[0], 4);  // 4 x 25 ms
    EXPECT_EQ(framesToEnd[1], 5);
    EXPECT_EQ(clock[1] - clock[0], 25);
}

TEST_F(ScriptRun, ClockWaitAndHeldFrames) {
    Start("@@top\n\\gvar,int,x,y\n\\time,100\n\\cal,x=1\n\\draw\n\\cal,y=1\n");
    Frames(1);  // clock 25
    EXPECT_EQ(script->Routine().waitState, wsTime);
    Frames(1);  // clock 50, target 75
    EXPECT_EQ(Int("x"), 0);
    Frames(1);  // clock 75, target 50
    EXPECT_EQ(Int("x"), 1);
    EXPECT_EQ(Int("y"), 0);  // \draw holds two frames
    Frames(1);
    EXPECT_EQ(Int("y"), 0);
    Frames(1);
    EXPECT_EQ(Int("y"), 1);
    EXPECT_EQ(script->State().scriptClock, 125);
}

TEST_F(ScriptRun, StopWaitCallsItsRoutineEachFrameUntilPlay) {
    Start(R"(@@tick
\cal,ticks=ticks+1
\if,ticks==3 \play \fi
\ret
@@top
\gvar,int,ticks,after
\stop,@@tick,1000
\cal,after=ResultStopInt
)");
    Frames(1);
    EXPECT_EQ(script->Routine().waitState, wsStop);
    Frames(2);
    EXPECT_EQ(Int("ticks"), 2);
    EXPECT_EQ(Int("after"), 0);
    Frames(1);
    EXPECT_EQ(Int("ticks"), 3);
    EXPECT_EQ(Int("after"), 925);  // what was left of the wait
    EXPECT_EQ(script->Thread().Count(), 1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, WaitsOnAbsentSoundAndMessagesEndAtOnce) {
    // Each wait stops its frame and ends at the next one.
    Start("@@top\n\\gvar,int,x\n\\msg\n\\wav,3\n\\sndt,99,5000\n\\cal,x=1\n");
    Frames(3);
    EXPECT_EQ(Int("x"), 0);
    EXPECT_EQ(script->Routine().waitState, wsSoundTime);
    Frames(1);
    EXPECT_EQ(Int("x"), 1);
    EXPECT_EQ(script->Routine().soundChannel, TZelScript::kLastStreamChannel);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, IgnoredCommandsAreAccepted) {
    Start("@@top\n\\ddlg\n\\dbrk,1\n\\dout,\"x\"\n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

}  // namespace
