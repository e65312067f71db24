#include <gtest/gtest.h>

#include <utility>

#include "ScriptTestSupport.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "script/ZelReaderLib.h"

using namespace zel;
using zeltest::S;

namespace {

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        ClearErrors();
        SetErrorFlag(false);
    }

    void Add(const std::string& name, const std::vector<std::string>& lines) { files.Add(name, Join(lines)); }

    std::vector<std::string> Errors() const {
        std::vector<std::string> out;
        for (const std::string& l : ErrorLines()) out.push_back(l);
        return out;
    }
    static std::string LoadError(const std::string& utf8) { return "[ERROR]:ScriptLoad:" + S(utf8); }

    // Every remaining segment, empty ones included.
    static std::vector<std::string> Segments(TZelReader& r) {
        std::vector<std::string> out;
        for (int guard = 0; guard < 1000 && !r.AtEnd(); ++guard) out.push_back(r.NextSegment());
        return out;
    }

    static std::string State(const TZelReader& r) {
        TMemoryStream s;
        r.SaveState(s);
        return s.ToString();
    }

    zeltest::MemGameFiles files;
    TZelReader reader{&files};
};

}  // namespace

TEST_F(Reader, CommentAndTabRulesAtLoad) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc // note", "abc "},
        {"\"a//b\" // c", "\"a//b\" "},
        {"{x//y} // z", "{x//y} "},
        {"{{x}//y}//z", "{{x}//y}"},
        {"a}//b", "a}"},                       // a stray "}" does not go below depth 0
        {"\"/*keep*/\"", "\"\""},              // block markers go even inside quotes
        {"a*/b", "ab"},                        // a closing marker outside a comment
        {"a/*b*/c/*d*/e", "ace"},
        {"a\tb\t\"\tc\"", "ab\"c\""},          // TABs go everywhere
        {S("ソ//x"), S("ソ")},                  // 83 5C is no escape
        {S("\"表\"//x"), S("\"表\"")},
        {"\x83//x", "\x83//x"},                // a lead byte takes the next byte with it
        {"ab\x83", "ab\x83"},                  // a lead byte as the last byte
        {"http://x", "http:"},
    };
    for (const auto& [input, expected] : cases) {
        files.Add("main.s", input);
        ASSERT_TRUE(reader.LoadFile("main.s", true)) << input;
        ASSERT_EQ(reader.LineCount(), 1) << input;
        EXPECT_EQ(reader.Lines()[0], expected) << input;
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Reader, BlockCommentsSpanLinesButNotFiles) {
    Add("main.s", {"a/*b", "c \"//\"", "d*/e", "x /* open", "@@@inc.s", "*/y", "@@@inc.s", "m1"});
    files.Add("inc.s", "i1 /* unclosed\r\ni2");
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    // The commented include line is not an include; the second one is, and
    // the comment left open in inc.s does not reach back into main.s.
    const std::vector<std::string> expected = {"a", "", "e", "x ", "", "y", "i1 ", "", "m1"};
    EXPECT_EQ(reader.Lines(), expected);
}

TEST_F(Reader, LineBreaks) {
    files.Add("main.s", "a\r\nb\nc\rd\r\n\r\ne\n");
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    const std::vector<std::string> expected = {"a", "b", "c", "d", "", "e"};
    EXPECT_EQ(reader.Lines(), expected);
    files.Add("empty.s", "");
    ASSERT_TRUE(reader.LoadFile("empty.s", true));
    EXPECT_EQ(reader.LineCount(), 0);
    EXPECT_EQ(reader.NextSegment(), "");
    EXPECT_TRUE(reader.AtEnd());
}

TEST_F(Reader, LabelsAndIncludes) {
    Add("main.s", {"@@Top", "text", "@@@Sub.S", "  @@!Quiet  // c", "@@top"});
    Add("sub.s", {"// header", "@@Sub", "s1"});
    ASSERT_TRUE(reader.LoadFile("Main.s", true));
    EXPECT_EQ(reader.CurrentFile(), "Main.s");
    const std::vector<std::string> lines = {"@@Top", "text", "", "@@Sub", "s1", "  @@!Quiet  ", "@@top"};
    EXPECT_EQ(reader.Lines(), lines);

    struct Expect {
        const char* name;
        int32_t merged;
        const char* file;
        int32_t fileLine;
        bool silent;
    } expected[] = {
        {"@@top", 0, "main.s", 0, false},
        {"@@sub", 3, "sub.s", 1, false},
        {"@@!quiet", 5, "main.s", 3, true},
        {"@@top", 6, "main.s", 4, false},
    };
    ASSERT_EQ(reader.Labels().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TLabelData& l = reader.Labels()[i];
        EXPECT_EQ(l.name, expected[i].name);
        EXPECT_EQ(l.hash, LabelHash(l.name));
        EXPECT_EQ(l.mergedLine, expected[i].merged);
        EXPECT_EQ(l.file, expected[i].file);
        EXPECT_EQ(l.fileLine, expected[i].fileLine);
        EXPECT_EQ(l.silent, expected[i].silent);
    }
    EXPECT_EQ(reader.FindLabel("@@TOP"), 0);  // the first of two wins
    EXPECT_EQ(reader.FindLabel("@@!QUIET"), 2);
    EXPECT_EQ(reader.FindLabel("@@sub "), -1);
    EXPECT_EQ(reader.FindLabel("@@none"), -1);
    // Asked again after another file was loaded, a name is looked up afresh.
    EXPECT_EQ(reader.FindLabel("@@sub"), 1);
    Add("other.s", {"\\x", "@@sub", "@@late"});
    ASSERT_TRUE(reader.LoadFile("other.s", true));
    EXPECT_EQ(reader.FindLabel("@@sub"), 0);
    EXPECT_EQ(reader.FindLabel("@@late"), 1);
    EXPECT_EQ(reader.FindLabel("@@top"), -1);

    EXPECT_EQ(LabelHash("@@top"), 64 * 1 + 64 * 2 + 116 * 3 + 111 * 4 + 112 * 5);
    EXPECT_EQ(LabelHash(std::string(257, 'a')), 97 * (32640 + 0 + 1));  // weights wrap at 256
    EXPECT_EQ(LabelHash("\xFF"), 255);
}

TEST_F(Reader, SelfIncludeIsReportedAndSkipped) {
    Add("main.s", {"a", "@@@MAIN.S", "@@@!main.s", "b"});
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    const std::vector<std::string> lines = {"a", "b"};
    EXPECT_EQ(reader.Lines(), lines);
    const std::vector<std::string> errors = {LoadError("自分のファイルをインクルードしようとしました:MAIN.S"),
                                             LoadError("自分のファイルをインクルードしようとしました:main.s")};
    EXPECT_EQ(Errors(), errors);
    EXPECT_EQ(files.opens, 1);
}

TEST_F(Reader, OnceIncludesAreReadOncePlainIncludesEveryTime) {
    Add("main.s", {"@@@!c.s", "@@@!C.S", "@@@d.s"});
    Add("d.s", {"@@@!c.s", "@@@c.s"});
    Add("c.s", {"c"});
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    const std::vector<std::string> lines = {"c", "c"};
    EXPECT_EQ(reader.Lines(), lines);
    const std::vector<std::string> opened = {"main.s", "c.s", "d.s", "c.s"};
    EXPECT_EQ(files.opened, opened);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Reader, MissingFiles) {
    Add("main.s", {"x", "@@@nope.s", "y"});
    ASSERT_TRUE(reader.LoadFile("main.s", true));  // a missing include is skipped
    const std::vector<std::string> lines = {"x", "y"};
    EXPECT_EQ(reader.Lines(), lines);
    EXPECT_EQ(Errors(), std::vector<std::string>{LoadError("指定されたファイルが見つかりません:nope.s")});

    ClearErrors();
    EXPECT_FALSE(reader.LoadFile("none.s", true));
    const std::vector<std::string> errors = {LoadError("指定されたファイルが見つかりません:none.s"),
                                             LoadError("ファイル読み込みに失敗しました。")};
    EXPECT_EQ(Errors(), errors);

    TZelReader noFiles;
    EXPECT_FALSE(noFiles.LoadFile("main.s", true));
}

TEST_F(Reader, IncludeChainsStopAtOneHundredFiles) {
    // A chain of n distinct files: 99 load, 100 are the include-loop error.
    for (int n : {99, 100}) {
        SCOPED_TRACE(n);
        ClearErrors();
        zeltest::MemGameFiles chain;
        for (int i = 0; i < n; ++i) {
            std::string body = "l" + std::to_string(i) + "\r\n";
            if (i + 1 < n) body += "@@@f" + std::to_string(i + 1) + ".s\r\n";
            chain.Add("f" + std::to_string(i) + ".s", body);
        }
        TZelReader r(&chain);
        const bool ok = r.LoadFile("f0.s", true);
        EXPECT_EQ(ok, n < 100);
        EXPECT_EQ(r.LineCount(), ok ? n : 0);
        if (ok) {
            EXPECT_TRUE(Errors().empty());
        } else {
            EXPECT_EQ(Errors(), std::vector<std::string>{LoadError("インクルードファイルの無限循環エラーです。")});
        }
    }
}

TEST_F(Reader, MutualIncludesRecurseToTheLimitAndLeaveTheReader) {
    Add("ok.s", {"@@top", "\\ok"});
    ASSERT_TRUE(reader.LoadFile("ok.s", true));
    ASSERT_TRUE(reader.JumpToLabel("@@top", 0, 0));
    const std::string before = State(reader);

    Add("a.s", {"@@a", "@@@b.s"});
    Add("b.s", {"b", "@@@a.s"});
    files.opens = 0;
    EXPECT_FALSE(reader.LoadFile("a.s", true));
    EXPECT_EQ(files.opens, 101);  // no file beyond the 101st is read
    EXPECT_EQ(Errors(), std::vector<std::string>{LoadError("インクルードファイルの無限循環エラーです。")});
    EXPECT_EQ(reader.CurrentFile(), "ok.s");
    EXPECT_EQ(State(reader), before);
    EXPECT_EQ(reader.NextSegment(), "@@top");
}

TEST_F(Reader, FailedLoadsChangeNothing) {
    Add("main.s", {"@@top", "\\a \\b", "\\c"});
    Add("other.s", {"@@elsewhere", "\\x"});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    EXPECT_EQ(reader.NextSegment(), "@@top");
    EXPECT_EQ(reader.NextSegment(), "\\a");
    const std::string before = State(reader);

    // A forced reload of a file that has gone away keeps the loaded program
    // under its name, so a later unforced load of it finds a real program.
    files.Remove("main.s");
    EXPECT_FALSE(reader.LoadFile("main.s", true));
    EXPECT_EQ(reader.CurrentFile(), "main.s");
    EXPECT_EQ(State(reader), before);
    EXPECT_TRUE(reader.LoadFile("MAIN.S", false));
    EXPECT_EQ(reader.NextSegment(), "\\b");

    // A jump into a file without that label loads nothing.
    ClearErrors();
    EXPECT_FALSE(reader.GotoFileLabel("other.s", "@@top"));
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(reader.CurrentFile(), "main.s");
    EXPECT_FALSE(reader.JumpToLabel("@@nowhere", 0, 0));
    EXPECT_FALSE(reader.JumpToLabel("@@top", 3, 0));   // past the last line
    EXPECT_FALSE(reader.JumpToLabel("@@top", -1, 0));  // before the first
    EXPECT_EQ(reader.NextSegment(), "\\c");

    // "self" keeps the loaded file.
    EXPECT_TRUE(reader.GotoFileLabel("SELF", "@@top"));
    EXPECT_EQ(reader.CurrentFile(), "main.s");
    EXPECT_TRUE(reader.GotoFileLabel("other.s", "@@ELSEWHERE"));
    EXPECT_EQ(reader.CurrentFile(), "other.s");
    EXPECT_EQ(reader.CurrentLabel(), "@@elsewhere");
}

TEST_F(Reader, GotoFilePositionIsOneStep) {
    Add("main.s", {"@@top", "\\a", "\\b"});
    Add("other.s", {"@@x", "\\y \\z"});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    files.opens = 0;
    // The loaded file is not read again unless forced.
    ASSERT_TRUE(reader.GotoFilePosition("MAIN.S", "@@top", 2, 0, false));
    EXPECT_EQ(files.opens, 0);
    EXPECT_EQ(reader.NextSegment(), "\\b");
    ASSERT_TRUE(reader.GotoFilePosition("main.s", "@@top", 1, 0, true));
    EXPECT_EQ(files.opens, 1);
    EXPECT_EQ(reader.NextSegment(), "\\a");
    ASSERT_TRUE(reader.GotoFilePosition("other.s", "@@x", 1, 3, false));
    EXPECT_EQ(reader.CurrentFile(), "other.s");
    EXPECT_EQ(reader.LinesSinceLabel(), 1);
    EXPECT_EQ(reader.NextSegment(), "\\z");
    // A position the other file does not have keeps the current one.
    const std::string before = State(reader);
    EXPECT_FALSE(reader.GotoFilePosition("main.s", "@@top", 3, 0, false));
    EXPECT_FALSE(reader.GotoFilePosition("main.s", "@@x", 0, 0, false));
    EXPECT_EQ(State(reader), before);
}

TEST_F(Reader, NextSegmentCutsAtTheSecondBackslash) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"text\\cmd1\\cmd2", {"text\\cmd1", "\\cmd2"}},
        {"\\a \\b", {"\\a", "\\b"}},
        {"  hello  ", {"hello"}},
        {"\\mes \"a\\b\" \\x", {"\\mes \"a\\b\"", "\\x"}},
        {"\\if {a\\b} \\x", {"\\if {a\\b}", "\\x"}},
        {"\\a {\"} \\b", {"\\a {\"}", "\\b"}},           // quotes inside braces do not toggle
        {"\\a } \\b \\c", {"\\a } \\b \\c"}},            // a stray "}" ends splitting for the line
        {S("ソ\\a表\\b"), {S("ソ\\a表"), "\\b"}},          // trail bytes 5C are no backslashes
        {"\\a\\\\b", {"\\a", "\\", "\\b"}},
        {"\\a\x83", {"\\a\x83"}},                        // lead byte as the last byte of the file
    };
    for (const auto& [line, expected] : cases) {
        files.Add("main.s", line);
        ASSERT_TRUE(reader.LoadFile("main.s", true));
        EXPECT_EQ(Segments(reader), expected) << line;
    }
}

TEST_F(Reader, SegmentsAcrossLinesAndLabels) {
    Add("main.s", {"@@top", "", "msg\\w", "@@next \\x", "\\y"});
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    EXPECT_EQ(reader.NextSegment(), "@@top");  // without a jump the first line comes first
    EXPECT_EQ(reader.CurrentLabel(), "@@top");
    EXPECT_EQ(reader.NextSegment(), "");  // the empty line
    EXPECT_EQ(reader.NextSegment(), "msg\\w");
    EXPECT_EQ(reader.LinesSinceLabel(), 2);
    EXPECT_EQ(reader.SegmentStartLine(), 1);
    EXPECT_EQ(reader.NextSegment(), "@@next \\x");  // a label line is one segment up to its second backslash
    EXPECT_EQ(reader.CurrentLabel(), "@@next \\x");
    EXPECT_EQ(reader.LinesSinceLabel(), 0);
    EXPECT_EQ(reader.SegmentStartLine(), 2);
    EXPECT_EQ(reader.SegmentStartColumn(), 5);
    EXPECT_EQ(reader.SegmentStartFile(), "main.s");
    EXPECT_EQ(reader.NextSegment(), "\\y");
    EXPECT_EQ(reader.LinesSinceLabel(), 1);
    EXPECT_TRUE(reader.AtEnd());
}

TEST_F(Reader, EndOfSourceStaysPut) {
    Add("main.s", {"@@top", "x"});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    EXPECT_EQ(reader.NextSegment(), "@@top");
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_EQ(reader.NextSegment(), "x");
    EXPECT_TRUE(reader.AtEnd());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reader.NextSegment(), "");
    EXPECT_EQ(reader.LinesSinceLabel(), 1);
    EXPECT_EQ(reader.CurrentLine(), 1);
    EXPECT_EQ(reader.PositionText(), "main.s @@top(2" + S("行") + ",1" + S("桁") + ")");
}

TEST_F(Reader, PositionText) {
    EXPECT_EQ(reader.PositionText(), "EOF");
    Add("main.s", {"@@top", "@@@sub.s"});
    Add("sub.s", {"// c", "@@Sub", "\\a\\b"});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@SUB"));
    EXPECT_EQ(reader.NextSegment(), "@@Sub");
    EXPECT_EQ(reader.NextSegment(), "\\a");
    EXPECT_EQ(reader.PositionText(), "sub.s @@sub(3" + S("行") + ",2" + S("桁") + ")");
    EXPECT_EQ(reader.CurrentLabelFile(), "sub.s");
    reader.Clear();
    EXPECT_EQ(reader.PositionText(), "EOF");
    EXPECT_EQ(reader.CurrentLabel(), "");
    EXPECT_EQ(reader.LinesSinceLabel(), 0);
}

TEST_F(Reader, GotoLineClampsTheColumn) {
    Add("main.s", {"@@top", "\\abc\\de"});
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    ASSERT_TRUE(reader.JumpToLabel("@@top", 1, 999));
    EXPECT_EQ(reader.CurrentColumn(), 7);
    EXPECT_EQ(reader.NextSegment(), "");
    ASSERT_TRUE(reader.JumpToLabel("@@top", 1, -40));
    EXPECT_EQ(reader.CurrentColumn(), 0);
    EXPECT_EQ(reader.NextSegment(), "\\abc");
    ASSERT_TRUE(reader.JumpToLabel("@@top", 1, 4));
    EXPECT_EQ(reader.NextSegment(), "\\de");
    EXPECT_FALSE(reader.GotoLine(2, 0));
    EXPECT_EQ(reader.CurrentLineText(), "");
    EXPECT_EQ(reader.CurrentLine(), 1);
}

TEST_F(Reader, PrefixAndEmptyLineText) {
    Add("main.s", {"@@top", "hello", "@x", "/x", "\\cmd", " sp", ""});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    reader.SetTextPrefix("\\mes ");
    reader.SetEmptyLineText("\\wait");
    const char* expected[] = {"@@top", "\\mes hello", "@x", "/x", "\\cmd", " sp", "\\wait"};
    for (int line = 0; line < 7; ++line) {
        ASSERT_TRUE(reader.GotoLine(line, 0));
        EXPECT_EQ(reader.CurrentLineText(), expected[line]) << line;
    }
    reader.SetEmptyLineText("...");
    ASSERT_TRUE(reader.GotoLine(6, 0));
    EXPECT_EQ(reader.CurrentLineText(), "\\mes ...");  // the empty-line text is message text too

    // Both texts are cut to 127 bytes without splitting a character.
    std::string longText(126, 'a');
    longText += S("表表");
    reader.SetTextPrefix(longText);
    EXPECT_EQ(reader.TextPrefix(), std::string(126, 'a'));
    reader.SetEmptyLineText(std::string(200, 'b'));
    EXPECT_EQ(reader.EmptyLineText(), std::string(127, 'b'));

    reader.ResetReplacements();
    EXPECT_EQ(reader.TextPrefix(), "");
    EXPECT_EQ(reader.EmptyLineText(), "");
    EXPECT_TRUE(reader.ReplacementEnabled());
}

TEST_F(Reader, SilentLabelsSkipCallbackReplacementAndPrefix) {
    Add("main.s", {"@@top", "ab", "@@!quiet", "ab", ""});
    std::vector<std::pair<std::string, int32_t>> seen;
    reader.SetLineCallback([&](std::string_view key, int32_t n) { seen.emplace_back(std::string(key), n); });
    reader.SetTextPrefix("P:");
    reader.SetEmptyLineText("E");
    reader.AddReplacement("b", "B", 0);
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    const std::vector<std::string> expected = {"@@top", "P:aB", "@@!quiet", "ab", ""};
    EXPECT_EQ(Segments(reader), expected);
    const std::vector<std::pair<std::string, int32_t>> calls = {
        {"main.s@@top", 0}, {"main.s@@top", 1}, {"main.s@@top", 2}};
    EXPECT_EQ(seen, calls);

    // Jumps find silent labels.
    seen.clear();
    ASSERT_TRUE(reader.JumpToLabel("@@!QUIET", 1, 0));
    EXPECT_EQ(reader.CurrentLineText(), "ab");
    EXPECT_TRUE(seen.empty());
}

TEST_F(Reader, PlainReplacementRules) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> rules;
        std::string line, expected;
    } cases[] = {
        {{{"abc", "x"}}, "ABCabcAbC", "xxx"},
        {{{"ab", "1"}, {"abc", "2"}}, "abcab", "21"},  // the longer pattern first
        {{{"\\", "Y"}}, S("ソ\\表"), S("ソY表")},        // trail bytes 5C are not matched
        {{{S("ア"), "k"}}, S("アヂ"), "k" + S("ヂ")},   // double-byte characters are not folded
        {{{"", "zz"}}, "abc", "abc"},                    // an empty pattern is skipped
        {{{"a", "aa"}}, "aXa", "aaXaa"},                 // replaced text is not searched again
    };
    for (const Case& c : cases) {
        TZelReader r;
        for (const auto& [p, rep] : c.rules) r.AddReplacement(p, rep, 0);
        EXPECT_EQ(r.ApplyReplacements(c.line), c.expected) << c.line;
    }

    // Replacements apply to the line as it is entered, unless switched off.
    Add("main.s", {"@@top", "hello"});
    reader.AddReplacement("HELLO", "bye", 0);
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@top"));
    ASSERT_TRUE(reader.GotoLine(1, 0));
    EXPECT_EQ(reader.CurrentLineText(), "bye");
    reader.SetReplacementEnabled(false);
    ASSERT_TRUE(reader.GotoLine(1, 0));
    EXPECT_EQ(reader.CurrentLineText(), "hello");
}

TEST_F(Reader, RuleTableKeepsOneRulePerPattern) {
    EXPECT_TRUE(reader.AddReplacement("ab", "1", 0));
    EXPECT_TRUE(reader.AddReplacement("abcd", "2", 0));
    EXPECT_TRUE(reader.AddReplacement("xy", "3", 0));
    EXPECT_TRUE(reader.AddReplacement("AB", "4", 2));  // same pattern, other case
    ASSERT_EQ(reader.Replacements().size(), 3u);
    EXPECT_EQ(reader.Replacements()[0].pattern, "abcd");
    EXPECT_EQ(reader.Replacements()[1].pattern, "ab");
    EXPECT_EQ(reader.Replacements()[1].replacement, "4");
    EXPECT_EQ(reader.Replacements()[1].kind, 2);
    EXPECT_EQ(reader.Replacements()[2].pattern, "xy");
    EXPECT_TRUE(reader.RemoveReplacement("XY"));
    EXPECT_FALSE(reader.RemoveReplacement("xy"));
    EXPECT_EQ(reader.Replacements().size(), 2u);
}

TEST_F(Reader, RegularExpressionRules) {
    zeltest::FakeRegExp re;
    TZelReader r(&files, &re);
    r.AddReplacement(",", "|", 3);
    r.AddReplacement("hello", "[m]", 1);
    r.AddReplacement("s/a/o/", "", 2);
    r.AddReplacement("tr/xy/XY/", "", 4);
    r.AddReplacement("nomatch", "[n]", 1);
    // Longest pattern first: tr, nomatch, s, hello, ",".
    EXPECT_EQ(r.ApplyReplacements("hello,a,xy"), "|[m]hello|o|XY");
    ASSERT_FALSE(re.subjects.empty());
    EXPECT_EQ(re.subjects[0], "hello,a,xy\r\n");  // the rules see the line break
    EXPECT_EQ(re.lastLimit, 32);

    // A break that a rule puts into the line goes too.
    TZelReader r2(&files, &re);
    r2.AddReplacement("s/b/\r\n/", "", 2);
    EXPECT_EQ(r2.ApplyReplacements("abc"), "ac");

    // Without the regular-expression engine those kinds change nothing.
    TZelReader plain;
    for (const TReplaceData& rule : r.Replacements()) plain.AddReplacement(rule.pattern, rule.replacement, rule.kind);
    plain.AddReplacement("e", "E", 0);
    EXPECT_EQ(plain.ApplyReplacements("hello,a,xy"), "hEllo,a,xy");
}

TEST_F(Reader, LineRewriterRunsBeforeTheRules) {
    struct Upper : ILineRewriter {
        std::string ReplaceLine(const std::string& line) override { return AsciiUpper(line) + "!"; }
    } upper;
    TZelReader r(&files, nullptr, &upper);
    Add("main.s", {"@@top", "abc", "@@!q", "abc"});
    r.AddReplacement("C!", "-", 0);
    ASSERT_TRUE(r.GotoFileLabel("main.s", "@@top"));
    ASSERT_TRUE(r.GotoLine(1, 0));
    EXPECT_EQ(r.CurrentLineText(), "AB-");
    r.SetReplacementEnabled(false);
    ASSERT_TRUE(r.GotoLine(1, 0));
    EXPECT_EQ(r.CurrentLineText(), "abc");
    r.SetReplacementEnabled(true);
    ASSERT_TRUE(r.JumpToLabel("@@!q", 1, 0));
    EXPECT_EQ(r.CurrentLineText(), "abc");
}

TEST_F(Reader, StateRecordLayoutAndRoundTrip) {
    Add("main.s", {"@@top", "@@@Sub.s", "end"});
    Add("sub.s", {"@@scene", "one", S("メッセージ\\w \\x \\y")});
    zeltest::FakeRegExp re;
    TZelReader r(&files, &re);
    ASSERT_TRUE(r.GotoFileLabel("Main.s", "@@scene"));
    r.SetTextPrefix("\\m ");
    r.SetEmptyLineText("\\e");
    r.AddReplacement("one", "two", 0);
    r.AddReplacement("s/x/X/", "", 2);
    r.SetReplacementEnabled(false);
    r.SetReplacementEnabled(true);
    for (int i = 0; i < 4; ++i) r.NextSegment();
    ASSERT_EQ(r.CurrentLineText(), "\\m " + S("メッセージ\\w \\X \\y"));
    ASSERT_EQ(r.CurrentColumn(), 16);

    const std::string rec = State(r);
    ASSERT_EQ(rec.size(), 521u + 2 + r.CurrentLineText().size() + 4 + (2 + 6 + 2 + 0 + 4) + (2 + 3 + 2 + 3 + 4));
    EXPECT_EQ(rec.substr(0, 7), std::string("\x06Main.s", 7));
    EXPECT_EQ(rec.substr(7, 121), std::string(121, '\0'));
    EXPECT_EQ(rec.substr(128, 8), std::string("\x07@@scene", 8));
    EXPECT_EQ(rec.substr(256, 4), std::string("\x02\0\0\0", 4));   // lines since label
    EXPECT_EQ(rec.substr(260, 4), std::string("\x10\0\0\0", 4));   // column
    EXPECT_EQ(rec[264], '\x01');
    EXPECT_EQ(rec.substr(265, 4), std::string("\x03\\m ", 4));
    EXPECT_EQ(rec.substr(393, 3), std::string("\x02\\e", 3));
    EXPECT_EQ(static_cast<uint8_t>(rec[521]), r.CurrentLineText().size());
    EXPECT_EQ(rec.substr(523 + r.CurrentLineText().size(), 4), std::string("\x02\0\0\0", 4));

    // A fresh reader over the same files comes back to the same place.
    std::vector<std::pair<std::string, int32_t>> seen;
    TZelReader back(&files, &re);
    back.SetLineCallback([&](std::string_view key, int32_t n) { seen.emplace_back(std::string(key), n); });
    TMemoryStream s(rec);
    ASSERT_TRUE(back.LoadState(s));
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(State(back), rec);
    EXPECT_EQ(back.CurrentFile(), "Main.s");
    EXPECT_EQ(back.CurrentLabel(), "@@scene");
    EXPECT_EQ(back.LinesSinceLabel(), 2);
    EXPECT_EQ(back.CurrentLine(), r.CurrentLine());
    EXPECT_EQ(back.PositionText(), r.PositionText());
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int32_t>>{{"sub.s@@scene", 2}}));
    EXPECT_EQ(back.NextSegment(), "\\X");
    EXPECT_EQ(back.NextSegment(), "\\y");
    EXPECT_EQ(back.NextSegment(), "\\m end");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Reader, StateRecordsWithoutLabelOrWithLongTexts) {
    Add("main.s", {"@@top", "x"});
    // No current label: nothing to come back to, so the load is refused.
    ASSERT_TRUE(reader.LoadFile("main.s", true));
    const std::string noLabel = State(reader);
    EXPECT_EQ(noLabel.substr(128, 1), std::string(1, '\0'));
    TZelReader other(&files);
    TMemoryStream s(noLabel);
    EXPECT_FALSE(other.LoadState(s));

    // Texts longer than the 127-byte fields are cut on a character boundary.
    std::string longName(126, 'n');
    longName += S("表");
    reader.SetTextPrefix(std::string(300, 'p'));
    files.Add(longName, "@@top\r\n");
    ASSERT_TRUE(reader.GotoFileLabel(longName, "@@top"));
    EXPECT_EQ(reader.CurrentFile(), longName);
    const std::string rec = State(reader);
    EXPECT_EQ(static_cast<uint8_t>(rec[0]), 126);
    EXPECT_EQ(rec.substr(1, 127), std::string(126, 'n') + '\0');
    EXPECT_EQ(static_cast<uint8_t>(rec[265]), 127);
}

TEST_F(Reader, HostileStateRecordsFailAndLeaveTheReader) {
    Add("main.s", {"@@top", "\\a", "@@other", "\\b"});
    ASSERT_TRUE(reader.GotoFileLabel("main.s", "@@other"));
    reader.AddReplacement("q", "Q", 0);
    reader.NextSegment();
    const std::string good = State(reader);

    Add("main.s", {"@@top", "\\a", "@@other", "\\b \\c"});
    TZelReader live(&files);
    ASSERT_TRUE(live.GotoFileLabel("main.s", "@@top"));
    live.SetTextPrefix("keep");
    live.NextSegment();
    const std::string before = State(live);

    auto patched = [&](size_t at, std::string_view bytes) {
        std::string r = good;
        r.replace(at, bytes.size(), bytes);
        return r;
    };
    const size_t ruleCount = good.size() - (4 + 2 + 1 + 2 + 1 + 4);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"file name length above 127", patched(0, "\x80")},
        {"label length above 127", patched(128, "\xFF")},
        {"prefix length above 127", patched(265, "\x80")},
        {"empty-line text length above 127", patched(393, "\xC8")},
        {"line text longer than the record", patched(521, "\xFF\xFF")},
        {"negative rule count", patched(ruleCount, "\xFF\xFF\xFF\xFF")},
        {"huge rule count", patched(ruleCount, "\xFF\xFF\xFF\x7F")},
        {"rule pattern longer than the record", patched(ruleCount + 4, "\xF0\xFF")},
        {"file gone", patched(1, "x")},
        {"label gone", patched(131, "X")},
        {"line beyond the file", patched(256, "\x09")},
        {"line before the label", patched(256, "\xF0\xFF\xFF\xFF")},
        {"offset that overflows", patched(256, "\xFF\xFF\xFF\x7F")},
    };
    for (size_t n = 0; n < good.size(); n += 7) cases.emplace_back("cut at " + std::to_string(n), good.substr(0, n));
    for (const auto& [what, bytes] : cases) {
        ClearErrors();
        TMemoryStream s(bytes);
        EXPECT_FALSE(live.LoadState(s)) << what;
        EXPECT_FALSE(Errors().empty()) << what;  // every refusal is reported
        EXPECT_EQ(State(live), before) << what;
    }

    // A column beyond the line is clamped to it.
    TMemoryStream wide(patched(260, std::string_view("\xFF\xFF\0\0", 4)));
    ASSERT_TRUE(live.LoadState(wide));
    EXPECT_EQ(live.CurrentColumn(), 7);
    EXPECT_EQ(live.NextSegment(), "\\b");
    EXPECT_EQ(live.NextSegment(), "\\c");
}
