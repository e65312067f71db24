#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "CalcTestUtil.h"
#include "scriptdata/ZelCalculationLib.h"

using namespace zel;
using namespace zel::testing;

namespace {

// Message texts, written here from their Japanese wording.
const std::string kUndefined = SjisOf("未定義の変数：");
const std::string kUnbalanced = SjisOf("カッコが正しく閉じられていません");
const std::string kCalcError = SjisOf("計算中エラーが発生しました。");
const std::string kBadExpression = SjisOf("計算式が間違っています。");
const std::string kWriteLocked = SjisOf("変数に書き込みロックがかかっています:");
const std::string kReadOutOfRange = SjisOf("範囲外の配列を読み込もうとしました:");
const std::string kTooDeep = SjisOf("式の入れ子が深すぎます");

class Evaluator : public ::testing::Test {
protected:
    void SetUp() override { ResetErrors(); }

    void Int(const std::string& decl, int32_t v = 0) {
        ASSERT_TRUE(calc.Declare(decl, "int", false, 255, scGlobal, rkInteger, 0)) << decl;
        ASSERT_TRUE(calc.GlobalStore().WriteInteger(LastName(), 0, v));
    }
    void Str(const std::string& decl, const std::string& text = "") {
        ASSERT_TRUE(calc.Declare(decl, "str", false, 255, scGlobal, rkString, 0)) << decl;
        ASSERT_TRUE(calc.GlobalStore().WriteString(LastName(), 0, text));
    }
    std::string LastName() {
        TValue& g = calc.GlobalStore();
        return g.Item(g.Count() - 1).Data->Name;
    }
    int32_t Get(const std::string& ref) {
        const TReturnValue v = calc.EvaluateToken(ref, 0);
        EXPECT_EQ(v.Kind, rkInteger) << ref;
        return v.IntValue;
    }
    TReturnValue Eval(const std::string& text) { return calc.Evaluate(text, 0); }

    TRecordingObjects objects;
    TZelCalculation calc{&objects};
};

TEST_F(Evaluator, IntegerOperatorsAndPrecedence) {
    Int("a", 1);
    Int("b", 2);
    Int("c", 3);
    Int("x", 2);
    Int("i", 1);
    Int("j", 2);
    Int("m[4]");
    Int("n[4]");
    calc.Evaluate("m[2]=10", 0);
    calc.Evaluate("n[1]=7", 0);
    struct {
        const char* expr;
        int32_t value;
    } cases[] = {
        {"1+2*3", 7}, {"(1+2)*3", 9}, {"10-4-3", 3}, {"7/2", 3}, {"-7/2", -3}, {"-7%2", -1},
        {"5/0", 0}, {"5%0", 0}, {"100/10/5", 2},
        // 32-bit wrap-around everywhere, without traps.
        {"-2147483648/-1", INT_MIN}, {"-2147483648%-1", 0}, {"2147483647+1", INT_MIN},
        {"-2147483648-1", INT_MAX}, {"65536*65536", 0}, {"2147483647*2", -2},
        {"1<<33", 2}, {"-1<<31", INT_MIN}, {"-1>>28", 15}, {"1<<-1", INT_MIN},
        {"6|1", 7}, {"6&3", 2}, {"6^3", 5},
        // Comparisons bind looser than the bitwise level, && and || looser still.
        {"a==1 && b==2", 1}, {"a==1 && b==3", 0}, {"x & 6 == 2", 1}, {"x | a == 3", 1},
        {"2==1+1", 1}, {"3 != 3", 0}, {"-1 < 0", 1}, {"2 >= 3", 0}, {"2 <= 2", 1}, {"3 > 2", 1},
        {"1==1 || 0", 1}, {"2 && 1", 0}, {"1 && 1", 1}, {"0 || 2", 0},
        // A sign where an operand is expected.
        {"a - -1", 2}, {"-a", -1}, {"^a", -2}, {"+a", 1}, {"3*-a", -3},
        // Blanks outside groups are dropped once the text has an operator.
        {"1 2+0", 12}, {"( 1 + 2 ) * 3", 9},
        // Nested index evaluations leave the pending operands alone.
        {"m[i+1]+b*n[j-1]", 24}, {"m[ b ]", 10}, {"((((7))))", 7},
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.expr);
        EXPECT_EQ(v.Kind, rkInteger) << c.expr;
        EXPECT_EQ(v.IntValue, c.value) << c.expr;
        EXPECT_EQ(v.Text, std::to_string(c.value)) << c.expr;
        EXPECT_TRUE(Errors().empty()) << c.expr;
    }
}

TEST_F(Evaluator, NumberLiteralsAtTheBounds) {
    struct {
        const char* text;
        bool number;
        int32_t value;
    } cases[] = {
        {"2147483647", true, INT_MAX}, {"2147483648", true, INT_MIN}, {"-2147483648", true, INT_MIN},
        {"4294967295", true, -1}, {"4294967296", false, 0}, {"4294967297", true, 1}, {"-4294967296", true, 0},
        {"9223372036854775807", true, -1}, {"-9223372036854775808", true, 0}, {"9223372036854775808", false, 0},
        {"$FFFFFFFF", true, -1}, {"$7fffffff", true, INT_MAX}, {"0x10", true, 16}, {"-$10", true, -16},
        {"$FFFFFFFFFFFFFFFF", true, -1}, {"$10000000000000000", false, 0}, {"$", false, 0}, {"12a", false, 0},
        {"007", true, 7},
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.text);
        if (c.number) {
            EXPECT_EQ(v.Kind, rkInteger) << c.text;
            EXPECT_EQ(v.IntValue, c.value) << c.text;
            EXPECT_EQ(v.Text, c.text) << "a literal keeps its spelling";
            EXPECT_TRUE(Errors().empty()) << c.text;
        } else {
            // Not a number: looked up as a variable, which does not exist.
            EXPECT_EQ(v.Kind, rkError) << c.text;
            ASSERT_FALSE(Errors().empty()) << c.text;
            EXPECT_EQ(Errors()[0], kUndefined + c.text);
        }
    }
}

TEST_F(Evaluator, TextToIntReading) {
    struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"12", 12}, {"  12", 12}, {"12 ", 0}, {"+5", 5}, {"-2147483648", INT_MIN}, {"2147483648", 0},
        {"$7FFFFFFF", INT_MAX}, {"$FFFFFFFF", 0}, {"0x1a", 26}, {"abc", 0}, {"", 0}, {"-", 0}, {"1.5", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
}

TEST_F(Evaluator, IncrementsRunWhileTheTextIsRead) {
    Int("x", 3);
    TReturnValue v = Eval("x++ * 2");
    EXPECT_EQ(v.IntValue, 8);  // the expression sees the new value
    EXPECT_EQ(Get("x"), 4);

    Int("a", 5);
    v = Eval("a--1");  // a-- then the operand 1 beside it: the value is a
    EXPECT_EQ(v.IntValue, 4);
    EXPECT_EQ(Get("a"), 4);
    v = Eval("a - -1");  // a sign, not a decrement
    EXPECT_EQ(v.IntValue, 5);
    EXPECT_EQ(Get("a"), 4);

    // a[i++]++: the index list stays one operand; "a[i++]=a[i++]+1" then runs
    // (two increments of i), and the final operand reads a[i++] once more.
    Int("arr[10]");
    Int("i", 0);
    v = Eval("arr[i++]++");
    EXPECT_EQ(Get("i"), 3);
    EXPECT_EQ(Get("arr[2]"), 1);
    EXPECT_EQ(v.Kind, rkInteger);
    EXPECT_EQ(v.IntValue, 0);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Evaluator, AssignmentIsAnExpressionOfValueOne) {
    Int("x");
    Int("y", 2);
    TReturnValue v = Eval("x=5");
    EXPECT_EQ(v.Kind, rkInteger);
    EXPECT_EQ(v.IntValue, 1);
    EXPECT_EQ(Get("x"), 5);
    EXPECT_EQ(Eval("x = y*3+1").IntValue, 1);
    EXPECT_EQ(Get("x"), 7);
    EXPECT_TRUE(Errors().empty());

    const char* bad[] = {"5=x", "\"x\"=3", "=3", "x+1=3"};
    for (const char* b : bad) {
        ResetErrors();
        v = Eval(b);
        EXPECT_EQ(v.Kind, rkError) << b;
        ASSERT_FALSE(Errors().empty()) << b;
        EXPECT_EQ(Errors().back(), kBadExpression) << b;
    }
    EXPECT_EQ(Get("x"), 7);
    // Chains fail; being left-associative, the first assignment has happened.
    ResetErrors();
    EXPECT_EQ(Eval("x=y=3").Kind, rkError);
    EXPECT_EQ(Errors(), std::vector<std::string>{kBadExpression});
    EXPECT_EQ(Get("x"), 2);
    EXPECT_EQ(Get("y"), 2);
    Eval("x=7");

    // A right side without a value assigns nothing.
    ResetErrors();
    EXPECT_EQ(Eval("x=nosuch").Kind, rkError);
    EXPECT_EQ(Get("x"), 7);
    EXPECT_EQ(Errors(), (std::vector<std::string>{kUndefined + "nosuch", kBadExpression}));
}

TEST_F(Evaluator, StringsAndObjectNames) {
    Str("s", "Abc");
    Str("x", "y");
    Str("t");
    Int("n");
    struct {
        const char* expr;
        uint8_t kind;
        const char* text;
        int32_t value;
    } cases[] = {
        {"s==\"abc\"", rkInteger, "1", 1},  // case-insensitive
        {"s!=\"ABC\"", rkInteger, "0", 0},
        {"s<\"abd\"", rkInteger, "1", 1},
        {"s+1", rkString, "Abc1", 1},
        {"s & x", rkString, "Abcy", 0},
        {"\"1\"+\"2\"", rkString, "12", 3},  // the numbers add beside the texts
        {"1+\"2\"", rkInteger, "3", 3},
        {"\"a'''b\"", rkString, "a\"b", 0},
        {"\"a+b\"", rkString, "a+b", 0},
        {"\"(x\"", rkString, "(x", 0},
        {"\"12\"", rkString, "12", 12},
        {"\"\"", rkString, "", 0},
        {"\"ab\"cd", rkString, "ab", 0},  // anything after the closing quote is ignored
        // A 0x01 byte inside a literal is text like any other, also beside operators.
        {"\"a\x01" "b\"+\"c\"", rkString, "a\x01" "bc", 0},
        {"\"\x01+\x01\"+1", rkString, "\x01+\x01" "1", 1},
        {"\"a\x01" "b\"==\"A\x01" "B\"", rkInteger, "1", 1},
        {"  hello world  ", rkError, "hello world", 0},
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.expr);
        EXPECT_EQ(v.Kind, c.kind) << c.expr;
        EXPECT_EQ(v.Text, c.text) << c.expr;
        EXPECT_EQ(v.IntValue, c.value) << c.expr;
    }
    // Kind 4 of a single operand is reported with the operand.
    EXPECT_EQ(Errors(), (std::vector<std::string>{kUndefined + "hello world", kUndefined + "hello world"}));
    ResetErrors();

    // What a store keeps of an assigned value.
    Eval("t=3+4");
    EXPECT_EQ(calc.EvaluateToken("t", 0).Text, "7");
    Eval("t=$10");
    EXPECT_EQ(calc.EvaluateToken("t", 0).Text, "$10");
    Eval("n=\"12\"");
    EXPECT_EQ(Get("n"), 12);
    Eval("n=\"abc\"");
    EXPECT_EQ(Get("n"), 0);
    Eval("t=s+\"!\"");
    const TReturnValue t = calc.EvaluateToken("t", 0);
    EXPECT_EQ(t.Kind, rkString);
    EXPECT_EQ(t.Text, "Abc!");
    EXPECT_TRUE(Errors().empty());

    // && on a string fails the expression.
    EXPECT_EQ(Eval("\"x\" && 1").Kind, rkError);
    EXPECT_EQ(Errors(), std::vector<std::string>{kBadExpression});
    ResetErrors();

    // Shift-JIS text compares without folding the double-byte letters.
    EXPECT_EQ(Eval("\"" + SjisOf("ア") + "\"==\"" + SjisOf("ヂ") + "\"").IntValue, 0);
    EXPECT_EQ(Eval("\"" + SjisOf("ア") + "\"==\"" + SjisOf("ア") + "\"").IntValue, 1);
}

TEST_F(Evaluator, ObjectVariablesAndNull) {
    calc.DeclareBuiltinVariables();
    const TTypeWordInfo img = TZelCalculation::TypeWordInfo("img");
    ASSERT_TRUE(calc.Declare("bg", img.TypeName, img.IsReference, img.Access, scGlobal, img.ElementKind, 0));
    TReturnValue v = Eval("bg");
    EXPECT_EQ(v.Kind, rkObject);
    EXPECT_EQ(v.Text, "0_bg,0");
    v = Eval("NULL");
    EXPECT_EQ(v.Kind, rkObject);
    EXPECT_EQ(v.Text, "");
    EXPECT_EQ(Eval("bg == NULL").IntValue, 0);
    EXPECT_EQ(Eval("NIL == NULL").IntValue, 1);
    EXPECT_EQ(Eval("bg == \"0_BG,0\"").IntValue, 1);
    v = Eval("bg + \"x\"");
    EXPECT_EQ(v.Kind, rkObject);
    EXPECT_EQ(v.Text, "0_bg,0x");
    EXPECT_TRUE(Errors().empty());
    // An object variable cannot be re-pointed; a reference variable can.
    EXPECT_EQ(Eval("bg = NULL").Kind, rkError);
    EXPECT_EQ(Errors().front(), kWriteLocked + "bg");
    ResetErrors();
    const TTypeWordInfo obj = TZelCalculation::TypeWordInfo("OBJ");
    ASSERT_TRUE(calc.Declare("r", obj.TypeName, obj.IsReference, obj.Access, scGlobal, obj.ElementKind, 0));
    EXPECT_EQ(Eval("r = bg").IntValue, 1);
    EXPECT_EQ(Eval("r").Text, "0_bg,0");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Evaluator, MalformedInputIsReportedNotFatal) {
    Int("a", 1);
    Int("b", 2);
    struct {
        std::string expr;
        uint8_t kind;
        int32_t value;
        std::vector<std::string> errors;
    } cases[] = {
        {"()", rkError, 0, {kBadExpression}},
        {"( )+1", rkError, 0, {kBadExpression}},
        {"(a+b", rkInteger, 3, {kUnbalanced}},  // the group runs to the end of the text
        {"a+b)", rkError, 0, {kUnbalanced, kUndefined + "b)", kBadExpression}},
        {"\"a+bc", rkString, 0, {kUnbalanced}},
        {"-(a+b)", rkError, 0, {kUndefined + "-(a+b)", kCalcError}},
        {"1+", rkError, 0, {kUndefined + "1+", kUndefined + "1+"}},
        {"1++2", rkInteger, 1, {kBadExpression}},  // "1=1+1" fails; the operands 1 and 2 remain
        {"*", rkError, 0, {kUndefined + "*", kUndefined + "*"}},
        {"**", rkError, 0, {kBadExpression}},
        {"1+*2", rkInteger, 1, {}},  // entries left beside the first are ignored
        {"a b", rkError, 0, {kUndefined + "a b", kUndefined + "a b"}},
        {"1 2", rkError, 0, {kUndefined + "1 2", kUndefined + "1 2"}},  // no operator: blanks stay
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.expr);
        EXPECT_EQ(v.Kind, c.kind) << c.expr;
        EXPECT_EQ(v.IntValue, c.value) << c.expr;
        EXPECT_EQ(Errors(), c.errors) << c.expr;
    }
    ResetErrors();
    EXPECT_EQ(Eval("").Kind, rkError);
    EXPECT_EQ(Eval("   ").Kind, rkError);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Evaluator, PendingOperandsAndNestingAreBounded) {
    // n nested groups "1+(1+(...))" leave n+1 operands pending at once.
    auto nested = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "1+(";
        s += "1";
        s += std::string(static_cast<size_t>(n), ')');
        return s;
    };
    TReturnValue v = Eval(nested(100));
    EXPECT_EQ(v.IntValue, 101);
    EXPECT_TRUE(Errors().empty());
    v = Eval(nested(130));  // 131 pending operands: refused, not a wrong sum
    EXPECT_EQ(v.Kind, rkError);
    EXPECT_EQ(Errors(), std::vector<std::string>{kBadExpression});

    // Deep groups, index chains and unclosed brackets end in a message.
    const std::string deepGroups = std::string(10000, '(') + "1" + std::string(10000, ')');
    const std::string unclosed = std::string(10000, '(') + "1";
    std::string chain = "1";
    Int("q[2]");
    for (int i = 0; i < 1000; ++i) chain = "q[" + chain + "]";
    const std::pair<const std::string*, std::vector<std::string>> deep[] = {
        {&deepGroups, {kTooDeep}}, {&unclosed, {kUnbalanced, kTooDeep}}, {&chain, {kTooDeep}}};
    for (const auto& [text, errors] : deep) {
        ResetErrors();
        Eval(*text);
        EXPECT_EQ(Errors(), errors);
    }
    ResetErrors();
    EXPECT_EQ(Eval(std::string(200, '(') + "7" + std::string(200, ')')).IntValue, 7);
    EXPECT_TRUE(Errors().empty());

    // A long flat expression folds in one pass per level.
    std::string sum = "1";
    for (int i = 0; i < 20000; ++i) sum += "+1";
    EXPECT_EQ(Eval(sum).IntValue, 20001);
}

// Texts evaluated again (their parse may be kept between calls) give the
// same values and the same messages as the first time, and see variables as
// they are now.
TEST_F(Evaluator, RepeatedTextsBehaveAsTheFirstTime) {
    Int("a", 1);
    Int("b", 2);
    Str("s", "x");
    const std::string texts[] = {"a+b*2", "(a+b)*(b-a)", "s+\"y\"", "a=a+1", "a++ + 1", "b-- - 1", "(a+b",
                                 "a+b)", "1+*2", "()", "1 2", "c+1", "a==2&&b==2", "((a))"};
    for (const std::string& t : texts) {
        ResetErrors();
        const TReturnValue first = Eval(t);
        const std::vector<std::string> firstErrors = Errors();
        const int32_t a = Get("a"), b = Get("b");
        // Put the variables back so the second run starts from the same state.
        ASSERT_TRUE(calc.GlobalStore().WriteInteger("a", 0, 1));
        ASSERT_TRUE(calc.GlobalStore().WriteInteger("b", 0, 2));
        ResetErrors();
        const TReturnValue second = Eval(t);
        EXPECT_EQ(second.Kind, first.Kind) << t;
        EXPECT_EQ(second.IntValue, first.IntValue) << t;
        EXPECT_EQ(second.Text, first.Text) << t;
        EXPECT_EQ(Errors(), firstErrors) << t;
        EXPECT_EQ(Get("a"), a) << t;
        EXPECT_EQ(Get("b"), b) << t;
        ASSERT_TRUE(calc.GlobalStore().WriteInteger("a", 0, 1));
        ASSERT_TRUE(calc.GlobalStore().WriteInteger("b", 0, 2));
    }
    // The same text sees the variables' current values.
    ResetErrors();
    EXPECT_EQ(Eval("a+b*2").IntValue, 5);
    ASSERT_TRUE(calc.GlobalStore().WriteInteger("b", 0, 10));
    EXPECT_EQ(Eval("a+b*2").IntValue, 21);
    EXPECT_TRUE(Errors().empty());
}

// A repeated text may remember where its names were found; every change to
// the variables (a declaration that shadows, a deletion that renumbers, a
// level change, a reload, other stores) must be seen on the next evaluation.
TEST_F(Evaluator, RepeatedTextsFollowTheVariablesAsTheyChange) {
    Int("a", 1);
    Int("b", 2);
    Int("c", 3);
    const auto eval = [&](const std::string& t, int32_t level) { return calc.Evaluate(t, level).IntValue; };
    EXPECT_EQ(eval("c+0", 0), 3);
    EXPECT_EQ(eval("c=c+10", 0), 1);
    EXPECT_EQ(Get("c"), 13);
    // Deleting a renumbers c.
    ASSERT_TRUE(calc.Undeclare("a", 0));
    EXPECT_EQ(eval("c+0", 0), 13);
    EXPECT_EQ(eval("c=c+10", 0), 1);
    EXPECT_EQ(Get("c"), 23);
    EXPECT_EQ(Get("b"), 2);
    // A local of the same name at level 1 (put there directly: a script's
    // declaration would not shadow) hides the global there only.
    EXPECT_EQ(eval("c+0", 1), 23);
    ASSERT_TRUE(calc.LocalStore().DeclareItem("c", "int", false, 255, rkInteger, 1, {1, 1, 1, 1}));
    EXPECT_EQ(eval("c+0", 1), 0);
    EXPECT_EQ(eval("c=c+5", 1), 1);
    EXPECT_EQ(eval("c+0", 1), 5);
    EXPECT_EQ(eval("c+0", 0), 23);
    calc.LocalStore().DropLocalsAbove(0);
    EXPECT_EQ(eval("c+0", 1), 23);
    // A name deleted after it was remembered is undefined again, for reading
    // and for assigning.
    ASSERT_TRUE(calc.Undeclare("c", 0));
    ResetErrors();
    EXPECT_EQ(eval("c+0", 0), 0);
    EXPECT_EQ(eval("c=c+10", 0), 0);
    EXPECT_FALSE(Errors().empty());
    // A store replaced by a saved one is looked at afresh.
    Int("d", 7);
    EXPECT_EQ(eval("d*2", 0), 14);
    TMemoryStream saved;
    {
        TValue other;
        ASSERT_TRUE(other.DeclareItem("pad", "int", false, 255, rkInteger, 0, {1, 1, 1, 1}));
        ASSERT_TRUE(other.DeclareItem("d", "int", false, 255, rkInteger, 0, {1, 1, 1, 1}));
        ASSERT_TRUE(other.WriteInteger("d", 0, 50));
        ASSERT_TRUE(other.SaveToStream(saved));
    }
    saved.Seek(0);
    ASSERT_TRUE(calc.GlobalStore().LoadFromStream(saved));
    EXPECT_EQ(eval("d*2", 0), 100);
    // Another store put in place of the global one.
    TValue replacement;
    ASSERT_TRUE(replacement.DeclareItem("d", "int", false, 255, rkInteger, 0, {1, 1, 1, 1}));
    ASSERT_TRUE(replacement.WriteInteger("d", 0, 4));
    calc.SetStoreOverrides(nullptr, &replacement, nullptr);
    EXPECT_EQ(eval("d*2", 0), 8);
    calc.SetStoreOverrides(nullptr, nullptr, nullptr);
    EXPECT_EQ(eval("d*2", 0), 100);
}

// A text that parsed at the top level still meets the nesting limit when it is
// evaluated deep inside other expressions.
TEST_F(Evaluator, RepeatedTextKeepsTheNestingLimit) {
    Int("q[2]");
    const std::string groups = std::string(120, '(') + "1" + std::string(120, ')');
    EXPECT_EQ(Eval(groups).IntValue, 1);
    EXPECT_TRUE(Errors().empty());
    std::string chain = groups;
    for (int i = 0; i < 150; ++i) chain = "q[" + chain + "]";
    ResetErrors();
    Eval(chain);
    EXPECT_EQ(Errors(), std::vector<std::string>{kTooDeep});
}

// An increment evaluates a copy of its operand's text, so increments of
// groups or elements nested in one another double the work at every level:
// such an expression stops at the work budget instead of running for hours,
// while a few levels still behave as before.
TEST_F(Evaluator, NestedIncrementsStopAtTheWorkBudget) {
    Int("a");
    Int("q[4]");
    auto groups = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "(a+";
        s += "1";
        for (int i = 0; i < n; ++i) s += ")++";
        return s;
    };
    auto elements = [](int n) {
        std::string s = "0";
        for (int i = 0; i < n; ++i) s = "q[" + s + "]++";
        return s;
    };
    for (const std::string& text : {groups(40), elements(40)}) {
        ResetErrors();
        Eval(text);
        // The failed steps report as they always did; the budget once.
        const std::vector<std::string> errors = Errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), kTooDeep), 1) << text;
    }
    ResetErrors();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(calc.GlobalStore().WriteInteger("q", i, 0));
    // The outer increment reads its element's text, inner increment included,
    // once more on each side of its assignment.
    EXPECT_EQ(Eval("q[q[0]++]++").Kind, rkInteger);
    EXPECT_EQ(Get("q[0]"), 3);
    EXPECT_EQ(Get("q[2]"), 1);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Evaluator, ShiftJisNamesWithBracketAndOperatorTrailBytes) {
    const std::string data = SjisOf("データ");  // 83 66 81 5B 83 5E: '[' and '^' trail bytes
    const std::string minus = SjisOf("−");      // 81 7C: '|' trail byte
    const std::string table = SjisOf("表");     // 95 5C: '\' trail byte
    const std::string zo = SjisOf("ゾ");        // 83 5D: ']' trail byte
    Int(data, 5);
    Int(minus, 3);
    Int(table + "[3]");
    Int(zo, 4);
    struct {
        std::string expr;
        int32_t value;
    } cases[] = {
        {data, 5}, {minus, 3}, {zo, 4}, {data + "+" + table + "[0]", 5}, {data + "|" + minus, 7},
        {data + "^" + minus, 6}, {"-" + data, -5}, {zo + "+1", 5}, {table + "[" + minus + "-1]=9", 1},
        {table + "[2]", 9}, {table + "[" + data + "-3]*2", 18},
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.expr);
        EXPECT_EQ(v.Kind, rkInteger) << SjisToUtf8(c.expr);
        EXPECT_EQ(v.IntValue, c.value) << SjisToUtf8(c.expr);
        EXPECT_TRUE(Errors().empty()) << SjisToUtf8(c.expr);
    }
    // ア and ヂ differ only in a trail byte that looks like a letter.
    Int(SjisOf("ア"), 1);
    Int(SjisOf("ヂ"), 2);
    EXPECT_EQ(Eval(SjisOf("ア")).IntValue, 1);
    EXPECT_EQ(Eval(SjisOf("ヂ")).IntValue, 2);
    EXPECT_NE(NameHash(SjisOf("ア")), NameHash(SjisOf("ヂ")));
    EXPECT_EQ(NameHash("AbC"), NameHash("abc"));
}

TEST_F(Evaluator, FlatIndexOfATwoDimensionalArray) {
    ASSERT_TRUE(calc.Declare("m[2,3]", "int", false, 255, scGlobal, rkInteger, 0));
    const TValueData& d = calc.GlobalStore().Item(calc.GlobalStore().Find("m", 0));
    EXPECT_EQ(d.Data->Count, 6);
    EXPECT_EQ(d.Data->Dims, (TIndexList{3, 2, 1, 1}));
    ASSERT_EQ(Eval("m[1,2]=9").IntValue, 1);
    struct {
        const char* ref;
        bool inRange;
    } cases[] = {
        {"m[1,2]", true}, {"m[0,5]", true}, {"m[5]", true}, {"m[2,-1]", true},
        {"m[2,0]", false}, {"m[-1,0]", false}, {"m[0,6]", false},
        // 3 * 1431655765 + 1 = 2^32: wraps to 0 in 32 bits, out of range in 64.
        {"m[1431655765,1]", false}, {"m[715827883,0,0,-2]", false},
    };
    for (const auto& c : cases) {
        ResetErrors();
        const TReturnValue v = Eval(c.ref);
        if (c.inRange) {
            EXPECT_EQ(v.IntValue, 9) << c.ref;
            EXPECT_TRUE(Errors().empty()) << c.ref;
        } else {
            EXPECT_EQ(v.Kind, rkError) << c.ref;
            ASSERT_FALSE(Errors().empty()) << c.ref;
            EXPECT_EQ(Errors().front(), kReadOutOfRange + "m") << c.ref;
        }
    }
}

TEST_F(Evaluator, ReportingCanBeSwitchedOffForProbes) {
    calc.SetReportErrors(false);
    EXPECT_EQ(Eval("nosuch").Kind, rkError);
    EXPECT_EQ(Eval("5=x").Kind, rkError);
    EXPECT_EQ(Eval("(1").IntValue, 1);
    EXPECT_EQ(calc.EvaluateToken("nosuch", 0).Text, "nosuch");  // the text stays for the caller
    EXPECT_TRUE(Errors().empty());
    calc.SetReportErrors(true);
    Eval("nosuch");
    EXPECT_FALSE(Errors().empty());
}

}  // namespace
