#include <gtest/gtest.h>

#include <chrono>

#include "base/ErrorLog.h"
#include "ext/uBregExpLib.h"

using namespace zel;

namespace {

// Shift-JIS bytes of the characters the cases use.
#define HYO "\x95\x5C"   // 表 (trail byte is a backslash)
#define SO "\x83\x5C"    // ソ (trail byte is a backslash)
#define A_ "\x82\xA0"    // あ
#define I_ "\x82\xA2"    // い
#define KA "\x82\xA9"    // か
#define NA "\x82\xC8"    // な
#define KATA_KA "\x83\x4A"  // カ
#define KATA_A "\x83\x41"   // ア (trail byte 'A')
#define KATA_DI "\x83\x61"  // ヂ (trail byte 'a')
#define ZA "\x82\x60"    // Ａ
#define ZAL "\x82\x81"   // ａ
#define TOUTEN "\x81\x41"  // 、
#define SMALLA "\x82\x9F"  // ぁ
#define N_ "\x82\xF1"      // ん

using Texts = std::vector<std::string>;

}  // namespace

TEST(BRegExp, Match) {
    struct {
        const char* pattern;
        std::string subject;
        Texts want;  // empty: no match
    } cases[] = {
        {"/b(c)/", "abcd", {"bc", "c"}},
        {"m#a(x)?(b)#", "ab", {"ab", "", "b"}},            // an unset group is an empty text
        {"/(a)|(b)(c)?/", "a", {"a", "a", "", ""}},        // count is always groups + 1
        {"/x/", "abc", {}},
        {"/^$/", "", {}},                                  // an empty subject never matches
        {"/a*/", "", {}},
        {"/b/", std::string("a\0b", 3), {"b"}},            // NUL bytes are ordinary bytes
        {"/ABC/i", "xabcx", {"abc"}},
        {"/abc/", "xABCx", {}},
        {"/a.c/s", "a\nc", {"a\nc"}},
        {"/a.c/", "a\nc", {}},
        {"/^b/m", "a\nb", {"b"}},
        {"/^b/", "a\nb", {}},
        {"/a b # comment\n/x", "ab", {"ab"}},
        {"m|a\\|b|", "xa|by", {"a|b"}},                    // escaped delimiter
        {"m" HYO "a" HYO, "xay", {"a"}},                   // a double-byte delimiter
        {"/" HYO "/", "x" HYO "y", {HYO}},                 // the trail byte 0x5C is no escape
        {"/" SO "+/", SO SO "a", {SO}},                    // raw bytes: + repeats only the trail byte
        {"/\\d+/k", "\x82\x50\x82\x51" "3", {"3"}},         // full-width digits are not \d
        // 表 against a backslash and against ".", with and without k.
        {"/\\\\/", HYO, {"\\"}},
        {"/\\\\/k", HYO, {}},
        {"/./", HYO, {"\x95"}},
        {"/./k", HYO, {HYO}},
        {"/^.$/k", HYO, {HYO}},
        {"/^..$/", HYO, {HYO}},
        // Shift-JIS ranges need k; without it the class is a byte range out of order.
        {"/[" SMALLA "-" N_ "]+/k", KATA_KA KA NA KATA_KA, {KA NA}},
        {"/[" SMALLA "-" N_ "]+/", KATA_KA KA NA KATA_KA, {}},
        {"/[\xB1-\xDD]+/k", "a\xB1\xB2" "b", {"\xB1\xB2"}},  // half-width katakana
        // i folds ASCII only: never full-width letters, never a trail byte with k.
        {"/" ZA "/ik", ZAL, {}},
        {"/" ZA "/i", ZAL, {}},
        {"/" ZA "/k", ZA, {ZA}},
        {"/" KATA_A "/ik", KATA_DI, {}},
        {"/a/ik", "A", {"A"}},
        {"/.$/k", "a\x83", {"\x83"}},                      // a lone lead byte at the end
        // Patterns that are not usable match nothing.
        {"abc", "abc", {}},
        {"/abc", "abc", {}},
        {"/(/", "(", {}},
        {"s/a/b/", "a", {}},
        {"/a/q", "a", {}},
        {"tr/a/b/", "a", {}},
        {"", "a", {}},
        {"/", "a", {}},
    };
    TBRegExp re;
    for (const auto& c : cases) EXPECT_EQ(re.Match(c.pattern, c.subject), c.want) << c.pattern;
}

TEST(BRegExp, Substitute) {
    struct {
        const char* pattern;
        std::string subject;
        std::string want;
    } cases[] = {
        {"s/a/b/", "aaa", "baa"},
        {"s/a/b/g", "aaa", "bbb"},
        {"s/(\\w+)@(\\w+)/$2 at $1/", "me@host!", "host at me!"},
        {"s/(b)/[$&|\\1]/g", "abcb", "a[b|b]c[b|b]"},
        {"s/x*/-/g", "abc", "-a-b-c-"},
        {"s/a*/-/g", "aaa", "--"},
        {"s/(x)?\\./[$1]/", "a.b", "a[]b"},               // unset group: empty
        {"s/a/[$9]/", "a", "[]"},                         // no such group: empty
        {"s/a/\\n\\t\\$\\\\\\/\\q/", "a", "\n\t$\\/q"},
        {"s/a/\\x41\\x7e$/", "a", "A~$"},
        {"s#/#\\\\#g", "a/b/c", "a\\b\\c"},
        {"s/z/y/", "abc", "abc"},                         // no match: unchanged
        {"s/a/b/", "", ""},
        {"s/./x/gk", HYO "a", "xx"},
        {"s/./x/g", HYO "a", "xxx"},
        {"s/a/" HYO "/", "a", HYO},                       // trail 0x5C in the replacement is no escape
        {"s/(a)/" SO "1/", "a", SO "1"},                  // ... so "ソ1" is not group 1
        {"s/" TOUTEN "/,/gk", A_ TOUTEN I_ TOUTEN, A_ "," I_ ","},
        {"s/(" KA ")|(" NA ")/<$1$2>/gk", KA NA, "<" KA "><" NA ">"},
        {"s/A/b/gi", "aAa", "bbb"},
        {"s/^/> /gm", "a\nb", "> a\n> b"},
        {"s|a|b|g", "banana", "bbnbnb"},
        // Not substitutions: the subject comes back unchanged.
        {"/a/", "a", "a"},
        {"s/a/b", "a", "a"},
        {"tr/a/b/", "aaa", "aaa"},
        {"s/(/x/", "(", "("},
    };
    TBRegExp re;
    for (const auto& c : cases) EXPECT_EQ(re.Substitute(c.pattern, c.subject), c.want) << c.pattern;
}

TEST(BRegExp, TransliterateIsSubstitute) {
    TBRegExp re;
    // A "tr" pattern is handed to substitution, which does not take it.
    EXPECT_EQ(re.Transliterate("tr/a-z/A-Z/", "abc"), "abc");
    EXPECT_EQ(re.ResultMode(), TBRegExp::kNoResults);
    EXPECT_EQ(re.Transliterate("s/a/b/g", "banana"), re.Substitute("s/a/b/g", "banana"));
    EXPECT_EQ(re.Transliterate("s/q/b/g", "banana"), "banana");
}

TEST(BRegExp, Split) {
    struct {
        const char* pattern;
        std::string subject;
        int limit;
        Texts want;
    } cases[] = {
        {"/,/", "a,b,,c,,", 0, {"a", "b", "", "c"}},            // trailing empty pieces dropped
        {"/,/", "a,b,,c,,", -1, {"a", "b", "", "c", "", ""}},   // ... kept with a negative limit
        {"/,/", "a,b,,", 3, {"a", "b", ","}},                   // the last piece keeps the rest
        {"/,/", "a,b,c,d", 2, {"a", "b,c,d"}},
        {"/,/", "a,b", 1, {"a,b"}},
        {"/,/", ",a", 0, {"", "a"}},                            // a real match at the start gives an empty piece
        {"//", "abc", 0, {"a", "b", "c"}},                      // ... a zero-width one does not
        {"//", "abc", 10, {"a", "b", "c", ""}},
        {"/x*/", "axxb", 0, {"a", "b"}},
        {"/(x)|y/", "axbyc", 0, {"a", "x", "b", "", "c"}},      // groups go between the pieces
        {"/,/", ",,,", 0, {}},
        {"/,/", "", 0, {}},
        {"/ +/", "a  b c", 32, {"a", "b", "c"}},
        {"//k", HYO "a", 0, {HYO, "a"}},
        {"//", HYO "a", 0, {"\x95", "\\", "a"}},
        {"/" TOUTEN "/k", A_ TOUTEN I_, 0, {A_, I_}},
        {"/\\\\/", "a" SO "b\\c", 0, {"a\x83", "b", "c"}},      // raw bytes: the trail byte splits
        {"/\\\\/k", "a" SO "b\\c", 0, {"a" SO "b", "c"}},
        {"s/a/b/", "a,b", 0, {}},
        {"/(/", "a,b", 0, {}},
    };
    TBRegExp re;
    for (const auto& c : cases) {
        EXPECT_EQ(re.Split(c.pattern, c.subject, c.limit), c.want) << c.pattern << " limit " << c.limit;
    }
}

TEST(BRegExp, BufferKeepingCallsAgreeWithTheCopyingOnes) {
    const char* patterns[] = {
        "/a(x)?/", "/./k", "/,/", "//k", "/(,)|;/", "/\\\\/", "/\\\\/k",
        "s/a/b/g", "s/./<$&>/gk", "s/(,)/[\\1]/", "s/x*/-/g", "s/\\\\/\\//gk", "tr/a/b/", "/(/",
    };
    const std::string subjects[] = {
        "", "a", "banana", "a,b;;c,", HYO "a" SO ",", SO "b\\", HYO "b" SO ",",  // same length, other bytes
        "x,y", ",,,", std::string("a\0,a", 4),
    };
    // The Shift-JIS mapping of a line is reused only for the very same bytes.
    {
        TBRegExp k;
        EXPECT_EQ(k.Match("/^./k", HYO "a" SO), Texts{HYO});
        EXPECT_EQ(k.Match("/^./k", SO "a" HYO), Texts{SO});
        EXPECT_EQ(k.Match("/.$/k", SO "a" HYO), Texts{HYO});
        EXPECT_EQ(k.Match("/.$/k", SO "b" SO), Texts{SO});
        EXPECT_EQ(k.Match("/.$/k", SO "bc"), Texts{"c"});
    }
    {
        // The subject may be one of the pieces it is split into.
        TBRegExp r;
        std::vector<std::string> parts{"a,b,c"};
        EXPECT_TRUE(r.SplitInto("/,/", parts[0], 0, parts));
        EXPECT_EQ(parts, (Texts{"a", "b", "c"}));
    }
    TBRegExp re, copying;
    std::string work;
    std::vector<std::string> pieces{"stale", "pieces"};
    for (const char* pattern : patterns) {
        for (const std::string& subject : subjects) {
            SCOPED_TRACE(std::string(pattern) + " on " + subject);
            const auto match = copying.Match(pattern, subject);
            EXPECT_EQ(re.Matches(pattern, subject), !match.empty());
            EXPECT_EQ(re.ResultCount(), copying.ResultCount());

            const auto split = copying.Split(pattern, subject, 0);
            re.SplitInto(pattern, subject, 0, pieces);
            EXPECT_EQ(pieces, split);
            EXPECT_EQ(re.ResultMode(), copying.ResultMode());

            const std::string substituted = copying.Substitute(pattern, subject);
            work = subject;
            EXPECT_EQ(re.SubstituteInPlace(pattern, work), copying.ResultMode() == TBRegExp::kMatchResults);
            EXPECT_EQ(work, substituted);
            EXPECT_EQ(re.ResultCount(), copying.ResultCount());
            if (re.ResultMode() != TBRegExp::kNoResults) {
                EXPECT_EQ(re.LastSubject(), subject);  // the text before the substitution
                for (int i = 0; i < re.ResultCount(); ++i) EXPECT_EQ(re.ResultText(i), copying.ResultText(i));
            }
        }
    }
}

TEST(BRegExp, ResultAccess) {
    TBRegExp re;
    EXPECT_EQ(re.ResultMode(), TBRegExp::kNoResults);
    EXPECT_EQ(re.ResultCount(), 0);
    EXPECT_THROW(re.ResultText(0), EBRegExpError);

    ASSERT_EQ(re.Match("/(a)(b)?/", "xac").size(), 3u);
    EXPECT_EQ(re.ResultMode(), TBRegExp::kMatchResults);
    EXPECT_EQ(re.ResultCount(), 3);
    EXPECT_EQ(re.ResultText(0), "a");
    EXPECT_EQ(re.ResultText(2), "");
    EXPECT_EQ(re.LastSubject(), "xac");
    try {
        re.ResultText(3);
        FAIL() << "no exception";
    } catch (const EBRegExpError& e) {
        EXPECT_STREQ(e.what(), "index out of range");
    }
    EXPECT_THROW(re.ResultText(-1), EBRegExpError);

    // A failed match leaves no results and no exception for the list.
    EXPECT_TRUE(re.Match("/q/", "xac").empty());
    EXPECT_EQ(re.ResultCount(), 0);
    EXPECT_TRUE(re.LastMessage().empty());
    try {
        re.ResultText(0);
        FAIL() << "no exception";
    } catch (const EBRegExpError& e) {
        EXPECT_STREQ(e.what(), "no strings now");
    }

    EXPECT_EQ(re.Split("/,/", "p,q", 0).size(), 2u);
    EXPECT_EQ(re.ResultMode(), TBRegExp::kSplitResults);
    EXPECT_EQ(re.ResultText(1), "q");

    // A bad pattern says why; nothing is reported to the player.
    ClearErrors();
    SetErrorFlag(false);
    EXPECT_TRUE(re.Match("/(/", "(").empty());
    EXPECT_FALSE(re.LastMessage().empty());
    EXPECT_FALSE(ErrorFlag());
}

TEST(BRegExp, CacheIsKeyedOnTheWholePattern) {
    TBRegExp re;
    // "m/ab/" must never serve "m/ab/i".
    EXPECT_TRUE(re.Match("m/ab/", "AB").empty());
    EXPECT_EQ(re.Match("m/ab/i", "AB"), Texts{"AB"});
    EXPECT_TRUE(re.Match("m/ab/", "AB").empty());
    EXPECT_EQ(re.Match("/a/", "a"), Texts{"a"});
    EXPECT_EQ(re.Match("/a/k", HYO "a"), Texts{"a"});
    EXPECT_EQ(re.CompileCount(), 4u);
    // Alternating rules stay compiled; so does a bad pattern.
    for (int i = 0; i < 10; ++i) {
        re.Match("m/ab/", "ab");
        re.Match("m/ab/i", "ab");
        re.Substitute("s/a/b/", "a");
        re.Match("/(/", "(");
    }
    EXPECT_EQ(re.CompileCount(), 6u);

    TBRegExp small(2);
    for (int i = 0; i < 3; ++i) {
        small.Match("/a/", "a");
        small.Match("/b/", "b");
        small.Match("/c/", "c");
    }
    EXPECT_EQ(small.CompileCount(), 9u);  // three patterns through two places: every use recompiles
    EXPECT_EQ(small.Match("/c/", "c"), Texts{"c"});
    EXPECT_EQ(small.CompileCount(), 9u);
    small.ReleasePatterns();
    EXPECT_EQ(small.Match("/c/", "c"), Texts{"c"});
    EXPECT_EQ(small.CompileCount(), 10u);
}

TEST(BRegExp, CatastrophicPatternStopsAtTheLimit) {
    const std::string subject = std::string(40, 'a') + "!";
    struct {
        const char* pattern;
        bool substitute;
    } cases[] = {
        {"/(a+)+$/", false},
        {"/^(a|aa)+$/k", false},
        {"s/(a*)*[bc]/x/g", true},
    };
    TBRegExp re;
    for (const auto& c : cases) {
        ClearErrors();
        SetErrorFlag(false);
        const auto t0 = std::chrono::steady_clock::now();
        if (c.substitute) {
            EXPECT_EQ(re.Substitute(c.pattern, subject), subject) << c.pattern;
        } else {
            EXPECT_TRUE(re.Match(c.pattern, subject).empty()) << c.pattern;
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
        EXPECT_LT(ms.count(), 2000) << c.pattern;
        EXPECT_EQ(re.ResultMode(), TBRegExp::kNoResults);
        EXPECT_FALSE(re.LastMessage().empty()) << c.pattern;
        EXPECT_TRUE(ErrorFlag()) << c.pattern;
        ASSERT_EQ(ErrorLines().size(), 1u);
        EXPECT_NE(ErrorLines()[0].find(c.pattern), std::string::npos);
    }
    // Every single call stays under the step limit here, but hundreds of
    // costly occurrences in one line add up: the loop has a time budget too.
    std::string costly;
    for (int i = 0; i < 2000; ++i) costly += std::string(18, 'a') + "y";
    for (const char* pattern : {"s/(a+)+x|y/z/g", "/(a+)+x|y/"}) {
        ClearErrors();
        SetErrorFlag(false);
        const auto t0 = std::chrono::steady_clock::now();
        if (pattern[0] == 's') {
            EXPECT_EQ(re.Substitute(pattern, costly), costly);
        } else {
            EXPECT_TRUE(re.Split(pattern, costly, 0).empty());
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
        EXPECT_LT(ms.count(), 1500) << pattern;
        EXPECT_EQ(re.LastMessage(), "time limit exceeded") << pattern;
        EXPECT_TRUE(ErrorFlag());
    }
    ClearErrors();
    SetErrorFlag(false);
    // The matcher is still fine afterwards.
    EXPECT_EQ(re.Match("/(a+)+$/", "aaa"), (Texts{"aaa", "aaa"}));
}

// Recursion that never moves on ("|(?R)" where no empty match is allowed)
// exhausts the machine code's stack, ever more slowly the deeper it goes; the
// call then goes to the interpreter, which steps over it at once and finds
// the match Perl finds.
TEST(BRegExp, RunawayRecursionEndsQuicklyWithPerlsResult) {
    TBRegExp re;
    ClearErrors();
    SetErrorFlag(false);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(re.Split("/|(?R)/", "ab", 0), (Texts{"a", "b"}));
    EXPECT_EQ(re.Split("/|(?R)/x", "xyz", 0), (Texts{"x", "y", "z"}));
    // A split of a longer text tries the pattern at every character: once the
    // machine code has run out of stack, the pattern stays with the interpreter.
    EXPECT_EQ(re.Split("/|(?R)/", std::string(300, 'a'), 0), Texts(300, "a"));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_LT(ms.count(), 500);
    EXPECT_TRUE(re.LastMessage().empty());
    EXPECT_FALSE(ErrorFlag());
}
