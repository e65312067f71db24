#include <gtest/gtest.h>

#include "base/Sjis.h"

using namespace zel;

TEST(Sjis, LeadBytes) {
    struct { uint8_t b; bool lead; } cases[] = {
        {0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false}, {0xA1, false},
        {0xDF, false}, {0xE0, true}, {0xFF, true}, {'A', false}, {0x5C, false},
    };
    for (auto c : cases) EXPECT_EQ(IsLeadByte(c.b), c.lead) << int(c.b);
}

TEST(Sjis, CharLenNeverPassesTheEnd) {
    const std::string s = "a\x83\x41\x83";  // a, ア, lone lead byte at the end
    EXPECT_EQ(CharLen(s, 0), 1u);
    EXPECT_EQ(CharLen(s, 1), 2u);
    EXPECT_EQ(CharLen(s, 3), 1u);
    EXPECT_EQ(NextCharPos(s, 3), s.size());
}

TEST(Sjis, FoldingIsAsciiOnly) {
    // ア (83 41) and ヂ (83 61) must stay different; ソ (83 5C) keeps its trail byte.
    EXPECT_EQ(AsciiLower("AB\x83\x41Z"), "ab\x83\x41z");
    EXPECT_EQ(AsciiUpper("ab\x83\x61z"), "AB\x83\x61Z");
    EXPECT_FALSE(EqualsNoCase("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(EqualsNoCase("StartUp.s", "STARTUP.S"));
    EXPECT_EQ(AsciiLower("\x83\x5CX"), "\x83\x5Cx");
    // A trail byte in the letter range is never folded either.
    EXPECT_EQ(AsciiLower("\x82\x60"), "\x82\x60");
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
}

TEST(Sjis, ConversionAtTheEdges) {
    EXPECT_EQ(SjisToUtf8("a\x83\x41"), "a\xE3\x82\xA2");  // aア
    // A lone lead byte becomes a replacement character, never an abort.
    EXPECT_EQ(SjisToUtf8("x\x83"), "x\xEF\xBF\xBD");
    std::string out;
    ASSERT_TRUE(Utf8ToSjis("\xE8\xA1\xA8", out));  // 表
    EXPECT_EQ(out, "\x95\x5C");
    size_t bad = 0;
    EXPECT_FALSE(Utf8ToSjis("ok\xF0\x9F\x98\x80", out, &bad));  // an emoji has no Shift-JIS form
    EXPECT_EQ(bad, 2u);
}
