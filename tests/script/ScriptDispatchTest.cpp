// Dispatch, control flow, jumps and calls of the interpreter, run on small
// scripts held in memory.
#include <gtest/gtest.h>

#include "ScriptRunSupport.h"

using namespace zel;
using namespace zeltest;

namespace {

TEST(CommandFields, SplitOutsideQuotesBracesAndBrackets) {
    struct Case {
        const char* segment;
        std::vector<std::string> want;  // before padding
    };
    const Case cases[] = {
        {"\\cal,a=1,b=2", {"\\cal", "a=1", "b=2"}},
        {"\\cal , a = 1 ,  b ", {"\\cal", "a = 1", "b"}},
        {"\\fmt,\"a,b\",x", {"\\fmt", "\"a,b\"", "x"}},
        {"\\cal,m[1,2]=f(3,4)", {"\\cal", "m[1,2]=f(3,4)"}},
        {"\\bmat,{a,\"b}c,d", {"\\bmat", "{a,\"b}c", "d"}},  // a quote inside braces does not count
        {"\\x,{{a,b},c},d", {"\\x", "{{a,b},c}", "d"}},
        {"\\cal,a=1,", {"\\cal", "a=1"}},  // a trailing comma adds no field
        {"\\sub,@@x,,1", {"\\sub", "@@x", "", "1"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> f;
        SplitCommandFields(c.segment, f);
        ASSERT_GE(f.size(), 9u) << c.segment;
        for (size_t i = 0; i < f.size(); ++i)
            EXPECT_EQ(f[i], i < c.want.size() ? c.want[i] : "") << c.segment << " field " << i;
    }
    // Shift-JIS characters are taken whole: 表 (95 5C) and ソ (83 5C) hold no backslash, and
    // a double-byte character whose second byte is "," does not split.
    std::vector<std::string> f;
    SplitCommandFields("\\cal,s=\"" + S("表ソ") + "\"," + std::string("\x81\x2C", 2) + "x", f);
    EXPECT_EQ(f[1], "s=\"" + S("表ソ") + "\"");
    EXPECT_EQ(f[2], std::string("\x81\x2C", 2) + "x");
    // More fields than nine are kept.
    SplitCommandFields("\\sub,a,b,1,2,3,4,5,6,7,8,9,10", f);
    ASSERT_EQ(f.size(), 13u);
    EXPECT_EQ(f[12], "10");
}

TEST(CommandFields, PackedCodes) {
    EXPECT_EQ(CommandCode("\\if"), 0x6669);
    EXPECT_EQ(CommandCode("\\next"), 0x7478656E);
    EXPECT_EQ(CommandCode("\\NeXt"), 0x7478656E);
    EXPECT_EQ(CommandCode("\\ n e x t"), 0x7478656E);
    EXPECT_EQ(CommandCode("\\nexts"), -1);
    EXPECT_NE(CommandCode("@if"), CommandCode("\\if"));
    EXPECT_EQ(CommandCode("\\if"), Cmd("if"));
}

TEST_F(ScriptRun, IfElseThenRunOnlyForOneAndZero) {
    // r: if branch +1, else branch +10, then branch +100.
    const struct {
        const char* value;
        int32_t want;
    } cases[] = {{"1", 101}, {"0", 10}, {"2", 0}, {"-1", 0}};
    for (const auto& c : cases) {
        SetUp();
        Start(std::string("@@top\n\\gvar,int,r\n\\if,") + c.value +
              " \\cal,r=r+1 \\else \\cal,r=r+10 \\then \\cal,r=r+100 \\fi\n");
        Frames(1);
        EXPECT_EQ(Int("r"), c.want) << "value " << c.value << "\n" << ErrorText();
        EXPECT_EQ(script->Routine().Count(), 1) << c.value;
        EXPECT_TRUE(Errors().empty()) << ErrorText();
    }
}

TEST_F(ScriptRun, NestedBlocksInsideASkippedBranchStayClosed) {
    Start(R"(@@top
\gvar,int,r,s
\if,0
  \if,1 \cal,r=1 \else \cal,r=2 \fi
  \for,i=0,i<3,i=i+1 \cal,r=3 \next
  \case,1 \ans,1 \cal,r=4 \else \cal,r=5 \fi
  \sub,@@nowhere
  \undefinedcommand
  \IF,1 \cal,r=6 \Fi
  \x"a,b",1
\else
  \cal,s=1
\fi
\cal,s=s+1
)");
    Frames(1);
    EXPECT_EQ(Int("r"), 0);
    EXPECT_EQ(Int("s"), 2);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(script->Routine().Count(), 1);
}

TEST_F(ScriptRun, IfWithAStringReportsAndItsFiClosesTheBlock) {
    Start(R"(@@top
\gvar,int,r,s
\if,"a"
\cal,r=1
\fi
\cal,s=1
)");
    Frames(1);
    EXPECT_TRUE(HasError("if：評価式が間違っています：\"a\"")) << ErrorText();
    // The segment loop stopped after the failing command and the position was logged.
    EXPECT_EQ(Int("r"), 0);
    ASSERT_EQ(PositionLines().size(), 1u);
    EXPECT_NE(PositionLines()[0].find("@@top"), std::string::npos);
    ASSERT_EQ(script->Routine().Count(), 2);
    EXPECT_EQ(script->Routine().Top()->kind, bkFresh);
    SetErrorFlag(false);
    Frames(1);
    EXPECT_EQ(Int("s"), 1);
    EXPECT_EQ(script->Routine().Count(), 1);  // no open block is left behind
    EXPECT_EQ(Errors().size(), 1u) << ErrorText();
}

TEST_F(ScriptRun, LoopsCountedWhileEndlessBreakContinueAndZeroIterations) {
    Start(R"(@@top
\gvar,int,i,n,w,e,odd,z,after,ifs
\for,i=0,i<5,i=i+1 \cal,n=n+1 \next
\for,w<3 \cal,w=w+1 \next
\for \cal,e=e+1 \if,e==4 \brk \cal,e=100 \fi \cal,ifs=ifs+1 \next
\for,i=0,i<10,i=i+1 \if,i%2==0 \cnt \fi \cal,odd=odd+1 \next
\for,i=0,i<0,i=i+1 \cal,z=1 \next \cal,after=1
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("n"), 5);
    EXPECT_EQ(Int("w"), 3);
    EXPECT_EQ(Int("e"), 4);
    EXPECT_EQ(Int("ifs"), 3);
    EXPECT_EQ(Int("odd"), 5);
    EXPECT_EQ(Int("z"), 0);
    EXPECT_EQ(Int("after"), 1);
    EXPECT_EQ(script->Routine().Count(), 1);
}

TEST_F(ScriptRun, LoopOverSeveralLinesAndNestedLoops) {
    Start(R"(@@top
\gvar,int,i,j,sum
\for,i=1,i<=3,i=i+1
  \for,j=1,j<=4,j=j+1
    \cal,sum=sum+i*j
  \next
\next
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("sum"), 60);
}

TEST_F(ScriptRun, BreakAndContinueOutsideALoopAreReported) {
    Start("@@top\n\\brk\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\brkは\\for～\\nextの中でしか使用できません")) << ErrorText();
    SetUp();
    Start("@@top\n\\if,1 \\cnt \\fi\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\cntは\\for～\\nextの中でしか使用できません")) << ErrorText();
}

TEST_F(ScriptRun, UnpairedBlockCommandsAreReported) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"\\fi", "\\end : 対となる制御命令(\\if,\\for,\\swit)が見つかりません"},
        {"\\next", "\\end : 対となる制御命令(\\if,\\for,\\swit)が見つかりません"},
        {"\\else", "\\else：対となる\\if,\\caseがみつかりません"},
        {"\\then", "\\else：\\if～\\fiの中でしか使用できません"},
        {"\\ans,1", "\\ans：対応する\\caseが見つかりません"},
        {"\\for,i=0,i<1,i=i+1 \\then", "\\else：\\if～\\fiの中でしか使用できません"},
    };
    for (const auto& c : cases) {
        SetUp();
        Start(std::string("@@top\n\\gvar,int,i\n") + c.line + "\n");
        Frames(1);
        EXPECT_TRUE(HasError(c.error)) << c.line << "\n" << ErrorText();
        EXPECT_EQ(script->Thread().Get(0)->Get(0)->kind, bkBase);
    }
}

TEST_F(ScriptRun, CaseArmsMatchUnderTheEqualityRules) {
    Start(R"(@@top
\gvar,int,r,q,d,k,m
\gvar,str,s
\case,3 \ans,1,3 \cal,r=r+1 \ans,3 \cal,r=r+10 \ans,4 \cal,r=r+1000 \else \cal,r=r+100 \fi
\case,5 \ans,"5" \cal,q=q+1 \fi
\case,"Abc" \ans,"aBC" \cal,q=q+10 \fi
\case,9 \ans,1 \cal,d=1 \else \cal,d=2 \fi
\cal,s="a'''b,c"
\case,s \ans,"a'''b" \cal,k=100 \ans,"a'''b,c" \cal,k=k+1 \else \cal,k=k+10 \fi
\case,"1x" \ans,1 \cal,m=1 \else \cal,m=2 \fi
)");
    Frames(1);
    EXPECT_EQ(Int("r"), 11);
    EXPECT_EQ(Int("q"), 11);
    EXPECT_EQ(Int("d"), 2);
    // A case value holding a double quote compares as the typed string.
    EXPECT_EQ(Int("k"), 1);
    EXPECT_EQ(Int("m"), 2);  // a string case value compares texts
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, SubroutineParameters) {
    Start(R"(@@f
\cal,pc=ParamCount,pi0=ParamInt[0],pi1=ParamInt[1],ps0=ParamStr[0],ps1=ParamStr[1],ps2=ParamStr[2],ps3=ParamStr[3],pi3=ParamInt[3]
\ret
@@top
\gvar,int,pc,pi0,pi1,pi3
\gvar,str,ps0,ps1,ps2,ps3
\sub,@@f,self,1,,"a b"
\cal,back=1
)");
    File("other.s", "@@g\n\\cal,pc=ParamCount,ps0=ParamStr[0],pi0=ParamInt[0]\n\\ret\n");
    Frames(1);
    EXPECT_EQ(Int("pc"), 3);
    EXPECT_EQ(Int("pi0"), 1);
    EXPECT_EQ(Str("ps0"), "1");
    EXPECT_EQ(Int("pi1"), 0);
    EXPECT_EQ(Str("ps1"), "");
    EXPECT_EQ(Str("ps2"), "a b");
    EXPECT_EQ(script->Thread().Count(), 1);
    // \cal,back=1 names no variable: that is the only error.
    EXPECT_TRUE(HasError("計算に失敗しました：back=1")) << ErrorText();

    // A parameter that is not an expression is passed as written; in another file.
    SetUp();
    Start("@@top\n\\gvar,int,pc,pi0\n\\gvar,str,ps0\n\\sub,@@g,other.s,bare-word\n");
    File("other.s", "@@g\n\\cal,pc=ParamCount,ps0=ParamStr[0],pi0=ParamInt[0]\n\\ret\n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("pc"), 1);
    EXPECT_EQ(Str("ps0"), "bare-word");
    EXPECT_EQ(Int("pi0"), 0);
    EXPECT_EQ(Str("SelfFileName"), "main.s");
}

TEST_F(ScriptRun, ReturnWithALabelLeavesSeveralRoutines) {
    Start(R"(@@sub3
\var,int,inner
\cal,depth=script_level_3
\ret,@@l1
\cal,bad=bad+1
@@sub2
\var,int,inner2
\sub,@@sub3
\cal,bad=bad+1
@@sub1
\sub,@@sub2
\cal,bad=bad+1
@@top
\gvar,int,bad,back,depth,script_level_3,ex
\cal,script_level_3=3
\jmp,@@l1
@@l1
\sub,@@sub1
\cal,back=1
\vexs,inner
\cal,ex=ResultInt[0]
)");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("depth"), 3);
    EXPECT_EQ(Int("bad"), 0);
    EXPECT_EQ(Int("back"), 1);
    EXPECT_EQ(Int("ex"), 0);  // the returned routines' locals are gone
    EXPECT_EQ(script->Thread().Count(), 1);
}

TEST_F(ScriptRun, ReturnWithoutACallerIsReported) {
    Start("@@top\n\\ret\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\ret : 対となる\\subが見つかりません : ")) << ErrorText();
    SetUp();
    Start("@@f\n\\ret,@@nolabel\n@@top\n\\sub,@@f\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\ret : 対となる\\subが見つかりません : @@nolabel")) << ErrorText();
    EXPECT_EQ(script->Thread().Count(), 2);
}

TEST_F(ScriptRun, AReturnThatCannotBeMadeIsReportedAndChangesNothing) {
    Start("@@top\n\\gvar,int,x\n\\sub,@@g,other.s\n\\cal,x=1\n");
    File("other.s", "@@g\n\\cal,x=5\n\\ret\n\\cal,x=7\n");
    script->State().segmentsPerFrame = 4;  // @@top, \gvar, \sub, @@g
    Frames(1);
    files.Remove("main.s");  // the caller's file can no longer be loaded
    Frames(1);
    EXPECT_TRUE(HasError("\\ret：戻り先が見つかりません：@@top:main.s")) << ErrorText();
    // Still in the subroutine, at the line after \ret.
    EXPECT_EQ(script->Thread().Count(), 2);
    EXPECT_EQ(Int("x"), 5);
    EXPECT_EQ(script->Reader().CurrentFile(), "other.s");
    SetErrorFlag(false);
    Frames(1);
    EXPECT_EQ(Int("x"), 7);
}

TEST_F(ScriptRun, ALoopBackThatCannotBeMadeIsReported) {
    Start("@@top\n\\gvar,int,n\n\\for,n<3\n\\cal,n=n+1\n\\go,@@g,other.s\n");
    File("other.s", "@@g\n\\next\n\\cal,n=n+100\n");
    script->State().segmentsPerFrame = 6;  // up to @@g
    Frames(1);
    files.Remove("main.s");
    Frames(1);
    EXPECT_TRUE(HasError("\\next：ジャンプ先が見つかりません：@@top:main.s")) << ErrorText();
    EXPECT_EQ(script->Routine().Count(), 1);  // the loop is closed
    SetErrorFlag(false);
    Frames(1);
    EXPECT_EQ(Int("n"), 101);
}

TEST_F(ScriptRun, GoAndJumpFailuresLeaveThePosition) {
    Start("@@top\n\\gvar,int,x\n\\go,@@missing,self\n\\cal,x=1\n\\jmp,@@a,nofile.s\n\\cal,x=2\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\go：ジャンプ先が見つかりません：@@missing:self")) << ErrorText();
    SetErrorFlag(false);
    Frames(1);
    EXPECT_EQ(Int("x"), 1);
    EXPECT_TRUE(HasError("\\jmp：ジャンプ先が見つかりません：@@a:nofile.s")) << ErrorText();
    EXPECT_TRUE(HasError("ScriptLoad:指定されたファイルが見つかりません:nofile.s")) << ErrorText();
    SetErrorFlag(false);
    Frames(1);
    EXPECT_EQ(Int("x"), 2);
}

TEST_F(ScriptRun, GoDropsRoutinesJumpKeepsTheRoutine) {
    Start(R"(@@f
\if,1
\jmp,@@j
@@j
\cal,blocks=1
\go,@@g
@@g
\cal,seen=1
@@top
\gvar,int,blocks,seen
\sub,@@f
)");
    Frames(1);
    EXPECT_EQ(Int("seen"), 1);
    EXPECT_EQ(script->Thread().Count(), 1);
    EXPECT_EQ(script->Routine().Count(), 1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, ComputedLabelsAndFiles) {
    Start(R"(@@top
\gvar,str,lab,fil
\gvar,int,x
\cal,lab="@@b",fil="sub\b.s"
\go,lab,fil
)");
    File("sub\\b.s", "@@a\n\\cal,x=1\n@@b\n\\cal,x=x+2\n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("x"), 2);
    EXPECT_EQ(Str("SelfFileName"), "sub\\b.s");
    EXPECT_EQ(Str("SelfFilePath"), "sub\\");
}

TEST_F(ScriptRun, NestedCallsStopAt1025RoutinesWithOneReport) {
    Start("@@top\n\\sub,@@top\n");
    Frames(1);
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1u) << ErrorText();
    EXPECT_EQ(errors[0], S("サブルーチンスタックが限界値を超えました。"));
    EXPECT_EQ(script->Thread().Count(), 1025);
}

TEST_F(ScriptRun, AnEndlessLoopYieldsAfterTheSegmentLimit) {
    Start("@@top\n\\gvar,int,n\n\\for\n\\cal,n=n+1\n\\next\n");
    Frames(1);
    // @@top, \gvar, \for, then \cal and \next in turn: 2048 segments.
    EXPECT_EQ(Int("n"), 1023);
    Frames(1);
    EXPECT_EQ(Int("n"), 2047);
    script->State().segmentsPerFrame = 0;  // at least one segment runs
    Frames(1);
    EXPECT_EQ(Int("n"), 2047);
    Frames(1);
    EXPECT_EQ(Int("n"), 2048);
}

TEST_F(ScriptRun, LabelLinesInsideBlocksAreReported) {
    Start("@@top\n\\gvar,int,x\n\\if,1\n@@inner\n\\fi\n");
    Frames(1);
    EXPECT_TRUE(HasError("\\if～\\fi/\\for～\\next間にラベルを設置しないでください")) << ErrorText();
    SetUp();
    Start("@@top\n\\gvar,int,x\n@@next\n\\cal,x=1\n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("x"), 1);
}

TEST_F(ScriptRun, CommandsForScopedObjects) {
    // No scope, a word of five bytes, an object that does not exist.
    Start(R"(@@top
\show
\scp,sys,snd[1]
\abcde,1
\scp,"nothing",sys
\load,1
\scp,1
)");
    Frames(1);
    EXPECT_TRUE(HasError("オブジェクトが指定されていません。\\scpで指定してください。")) << ErrorText();
    for (int i = 0; i < 3; ++i) {
        SetErrorFlag(false);
        Frames(1);
    }
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 6u) << ErrorText();
    // Every scoped object receives the command; bare objects accept none.
    EXPECT_EQ(errors[1], S("未定義の命令：0_sys,0(sys).\\abcde,1"));
    EXPECT_EQ(errors[2], S("未定義の命令：0_snd,1(snd).\\abcde,1"));
    EXPECT_EQ(errors[3], S("未定義のオブジェクト：nothing"));
    EXPECT_EQ(errors[4], S("未定義の命令：0_sys,0(sys).\\load,1"));
    EXPECT_EQ(errors[5], S("オブジェクト型以外の変数はスコープ出来ません：1"));
    EXPECT_EQ(PositionLines().size(), 4u);
}

// A command for a scoped object reaches the handler registered for its kind
// through the command context: raw fields (empty past the last one), the
// arguments evaluated in the object's script, the Result variables; a kind
// without a handler, or a word its handler does not know, stays undefined.
TEST_F(ScriptRun, ObjectCommandsReachTheHandlerOfTheirKind) {
    Start(R"(@@top
\gvar,img,a
\gvar,msg,m
\gvar,int,n,got
\cal,n=4
\scp,a
\put,n*10,,"text",x
\cal,got=ResultInt[0]
\scp,m,a
\put,n*10,,"text",x
\other,1
)");
    std::vector<std::string> seen;
    script->Objects().Handlers().Register(6, [&](zel::ICommandContext& c, std::string_view name) {
        if (c.Code() != zel::Cmd("put")) return false;
        seen.push_back(std::string(name));
        EXPECT_EQ(c.FieldCount(), 9u);
        EXPECT_EQ(c.Field(0), "\\put");
        EXPECT_EQ(c.IntArg(1), 40);
        EXPECT_TRUE(c.FieldEmpty(2));
        EXPECT_EQ(c.StrArg(3), "text");
        EXPECT_EQ(c.Field(4), "x");
        EXPECT_TRUE(c.FieldEmpty(20));  // words may read past the padded nine
        EXPECT_EQ(c.IntArg(20), 0);
        c.ClearResults();
        c.SetResultInt(7);
        return true;
    });
    Frames(1);
    SetErrorFlag(false);
    Frames(1);
    // Every scoped object is offered the command, also after one refused it.
    EXPECT_EQ(seen, (std::vector<std::string>{Str("a"), Str("a")}));
    EXPECT_EQ(Int("got"), 7);
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 3u) << ErrorText();
    // No handler for "msg", whose windows are not in this build: the object says so.
    EXPECT_EQ(errors[0], Str("m") + "(msg): message window objects are not available in this build: \\put,n*10,,\"text\",x");
    EXPECT_EQ(errors[1], Str("m") + "(msg): message window objects are not available in this build: \\other,1");
    EXPECT_EQ(errors[2], S("未定義の命令：") + Str("a") + S("(img).\\other,1"));  // a word the handler refuses
}

TEST_F(ScriptRun, SegmentsThatAreNoCommandsAreIgnored) {
    Start("@@top\nsome message text\n\\gvar,int,x\n  \\cal,x=1  \n");
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(Int("x"), 1);
}

TEST_F(ScriptRun, ExecuteLineRunsEveryCommandAtOnce) {
    Start("@@top\n");
    EXPECT_TRUE(script->ExecuteLine("ignored \\gvar, int, a \\cal,a = a + 2 \\cal,a=a*10 // \\cal,a=0"));
    EXPECT_EQ(Int("a"), 20);
    EXPECT_FALSE(script->ExecuteLine("no commands here"));
}

TEST_F(ScriptRun, TraceSeesEverySegmentWithItsPosition) {
    Start("@@top\n\\gvar,int,x\n\\cal,x=1\n");
    std::vector<std::string> seen;
    script->SetTrace([&](std::string_view pos, std::string_view seg) { seen.push_back(std::string(pos) + "|" + std::string(seg)); });
    Frames(1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], S("main.s @@top(3行,8桁)|\\cal,x=1"));
}

TEST_F(ScriptRun, ResetClearsTheStoryButKeepsSystemVariables) {
    Start("@@top\n\\svar,int,keep\n\\gvar,int,gone\n\\cal,keep=5,gone=6\n");
    Frames(1);
    script->ResetScript();
    EXPECT_EQ(Int("keep"), 5);
    EXPECT_EQ(script->Calc().FindScope("gone", 0).Scope, scNone);
    EXPECT_EQ(script->Thread().Count(), 1);
    EXPECT_EQ(script->Routine().Get(0)->kind, bkBase);
    EXPECT_EQ(script->State().lockWord, 0x0FFFFFFFu);
    EXPECT_EQ(Int("_lkMenu"), 512);
    EXPECT_TRUE(script->Reader().CurrentFile().empty());
}

TEST_F(ScriptRun, ObjectsOfSystemVariablesOutliveAStoryRestart) {
    Start("@@top\n\\svar,img,keep\n\\gvar,img,gone\n");
    Frames(1);
    TScriptObjectInfo info;
    ASSERT_TRUE(script->Objects().FindObject("0_keep,0", info));
    script->ResetScript();
    EXPECT_TRUE(script->Objects().FindObject("0_keep,0", info));
    EXPECT_FALSE(script->Objects().FindObject("0_gone,0", info));
    EXPECT_TRUE(script->Objects().FindObject("0_sys,0", info));
    script.reset();  // freeing the system variable finds its object
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptRun, SystemScriptSharesTheSystemStoreAndTargetsItsParent) {
    Start("@@top\n\\svar,int,shared\n\\gvar,int,gameonly\n\\cal,shared=3\n");
    Frames(1);
    TZelScript sys(&files, &regexp, nullptr, script.get());
    EXPECT_EQ(sys.Evaluate("shared").IntValue, 3);
    EXPECT_EQ(sys.Calc().FindScope("gameonly", 0).Scope, scNone);
    // With the target flag set, declarations act on the game script.
    sys.ExecuteLine("\\srct,1\\gvar,int,fromsys\\srct,0\\vset,gameonly,41+1\\vget,shared,gameonly");
    EXPECT_EQ(script->Calc().FindScope("fromsys", 0).Scope, scGlobal);
    EXPECT_EQ(sys.Calc().FindScope("fromsys", 0).Scope, scNone);
    EXPECT_EQ(Int("gameonly"), 42);
    EXPECT_EQ(Int("shared"), 42);
    // The game script has no parent: its flag falls back to itself.
    script->ExecuteLine("\\srct,1\\gvar,int,own\\scp,sys\\vexs,own");
    EXPECT_EQ(Int("ResultInt[0]"), scGlobal);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

}  // namespace
