#include <gtest/gtest.h>

#include "base/SjisText.h"

using namespace zel;

namespace {

// Shift-JIS bytes of the characters the cases use.
#define A_ "\x82\xA0"      // あ
#define I_ "\x82\xA2"      // い
#define U_ "\x82\xA4"      // う
#define E_ "\x82\xA6"      // え
#define HYO "\x95\x5C"     // 表 (trail byte is a backslash)
#define SO "\x83\x5C"      // ソ (trail byte is a backslash)
#define TOUTEN "\x81\x41"  // 、
#define ZSPACE "\x81\x40"  // full-width space

using Fields = std::vector<std::string>;

}  // namespace

TEST(SjisText, CharCountAndCopy) {
    EXPECT_EQ(CharCount(""), 0);
    EXPECT_EQ(CharCount(A_ I_ "u"), 3);
    EXPECT_EQ(CharCount("a\x83"), 2);  // a lone lead byte at the end is one character

    struct {
        const char* text;
        int start, count;
        const char* want;
    } cases[] = {
        {A_ I_ U_ E_, 2, 2, I_ U_},
        {A_ I_ U_ E_, 0, 2, A_},          // index 0 does not exist: only the first character
        {A_ I_ U_ E_, -5, 7, A_},
        {A_ I_ U_ E_, 3, 100, U_ E_},
        {A_ I_ U_ E_, 5, 1, ""},
        {A_ I_ U_ E_, 2, 0, ""},
        {A_ I_ U_ E_, 2, -1, ""},
        {"ab" SO "c", 3, 1, SO},          // the backslash trail byte stays with its lead
        {"a\x83", 2, 1, "\x83"},          // lead byte at the end
        {A_ I_, 2147483647, 2147483647, ""},  // no overflow in start + count
        {A_ I_, -2147483647 - 1, 2147483647, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharCopy(c.text, c.start, c.count), c.want) << c.start << "," << c.count;
    }
}

TEST(SjisText, CharPos) {
    struct {
        const char* needle;
        const char* text;
        int want;
    } cases[] = {
        {U_, A_ I_ U_, 3},
        {"c", A_ "bc", 3},
        {"x", A_ I_, 0},
        {"", A_ I_, 0},
        // The needle "\x5C" occurs on the trail byte of ソ (character 2): the
        // result is the character after it.
        {"\\", "a" SO "b", 3},
        {"\\", "a" SO, 3},
        {"\\", "a" SO "\\", 3},
        // A needle that straddles two characters starts on a trail byte.
        {"\xA0\x82", A_ I_, 2},
        {A_, A_, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(CharPos(c.needle, c.text), c.want) << c.needle << " in " << c.text;
}

TEST(SjisText, SplitFields) {
    struct {
        const char* sep;
        const char* text;
        bool blanks;
        int minCount;
        bool comment;
        Fields want;
    } cases[] = {
        {",", "a,,b", false, 0, false, {"a", "", "b"}},
        {",", "a,b,", false, 0, false, {"a", "b", ""}},
        {",", "a,\"b,c\",(d,e)", false, 0, false, {"a", "\"b,c\"", "(d,e)"}},
        {",", "a,[b,{c,d}],e", false, 0, false, {"a", "[b,{c,d}]", "e"}},
        {",", "a , b", true, 0, false, {"a", "b"}},
        {",", "a,\t", true, 0, false, {"a"}},  // the dropped blank is the last character examined
        {",", "a, ", false, 0, false, {"a", " "}},
        {",", "a,b//c,d", false, 0, true, {"a", "b"}},
        {",", "a,\"b//c\",d", false, 0, true, {"a", "\"b"}},
        {",", "a,b//c,d", false, 0, false, {"a", "b//c", "d"}},
        {",", "a,b,//c", false, 0, true, {"a", "b"}},
        {",", "a),b,c", false, 0, false, {"a),b,c"}},  // depth -1: never back to 0
        {",", "a,b", false, 4, false, {"a", "b", "", ""}},
        {",", "a,b,c", false, 2, false, {"a", "b", "c"}},
        {TOUTEN, A_ TOUTEN I_, false, 0, false, {A_, I_}},
        {TOUTEN "x", A_ TOUTEN I_ ",x", false, 0, false, {A_, I_ ",x"}},  // only the first character counts
        // CR LF ends a field, also inside quotes; a final CR LF adds no empty field.
        {",", "a,b\r\nc", false, 0, false, {"a", "b", "c"}},
        {",", "\"a\r\nb\"", false, 0, false, {"\"a", "b\""}},
        {",", "a\r\n", false, 0, false, {"a"}},
        {",", "\r\n\r\n", false, 0, false, {"", ""}},
        {",", "a\rb", false, 0, false, {"a\rb"}},
        // Empty separator: one field; empty text.
        {"", "a,b", false, 0, false, {"a,b"}},
        {"", "", false, 0, false, {""}},
        {",", "", false, 0, false, {}},
        {",", "", false, 2, false, {"", ""}},
        // Trail bytes 0x5C, 0x5B, 0x7C are neither separators nor brackets.
        {"\\", SO "\\" HYO, false, 0, false, {SO, HYO}},
        {"|", "\x83\x7C|\x83\x7C", false, 0, false, {"\x83\x7C", "\x83\x7C"}},
        {",", "\x83\x5B,b", false, 0, false, {"\x83\x5B", "b"}},
        {",", "a,\x83", false, 0, false, {"a", "\x83"}},  // lead byte at the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitFields(c.sep, c.text, c.blanks, c.minCount, c.comment), c.want)
            << "sep '" << c.sep << "' text '" << c.text << "'";
    }
}

TEST(SjisText, Kinsoku) {
    struct {
        const char* ch;
        bool noBegin, noEnd;
    } cases[] = {
        {"A", false, false},
        {"\x82\xC1", true, false},   // っ
        {"\x81\x75", false, true},   // 「
        {"\x81\x76", true, false},   // 」
        {"\x81\x42", true, false},   // 。
        {"(", false, true},
        {")", true, false},
        {" ", true, false},
        {ZSPACE, true, false},
        {"\x81\x60", true, false},   // ～
        {"\x82\xA0", false, false},  // あ
        {"\x81", false, false},      // a lone lead byte
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MayNotBeginLine(c.ch), c.noBegin) << c.ch;
        EXPECT_EQ(MayNotEndLine(c.ch), c.noEnd) << c.ch;
    }
}

TEST(SjisText, WidthConversion) {
    struct {
        const char* in;
        const char* want;
    } toFull[] = {
        {"\xB6\xDE\xB7\xDE", "\x83\x4B\x83\x4D"},      // ｶﾞｷﾞ -> ガギ
        {"\xCA\xDF\xCE\xDF", "\x83\x70\x83\x7C"},      // ﾊﾟﾎﾟ -> パポ
        {"\xCA\xDE", "\x83\x6F"},                      // ﾊﾞ -> バ
        {"\xB3\xDE", "\x83\x45" ZSPACE},               // ｳﾞ -> ウ + full-width space
        {"\xB6\xDF", "\x83\x4A" ZSPACE},               // ｶﾟ: no semi-voiced form
        {"A-1", "\x82\x60\x81\x7C\x82\x50"},           // Ａ－１
        {"\\,'~", "\x81\x8F\x81\x41\x81\x66\x81\x60"}, // ￥、’～
        {" a", ZSPACE "\x82\x81"},
        {"\xB0\xA1\t", ZSPACE ZSPACE ZSPACE},          // ｰ ｡ and TAB have no full-width form
        {HYO "x", HYO "\x82\x98"},                     // double-byte characters are kept
        {"\xDE", ZSPACE},
        {"a\x83", "\x82\x81" ZSPACE},                  // a lone lead byte at the end
    };
    for (const auto& c : toFull) EXPECT_EQ(ToFullWidth(c.in), c.want) << c.in;

    struct {
        const char* in;
        const char* want;
    } toHalf[] = {
        {"\x83\x70\x83\x5C\x83\x52\x83\x93", "\xCA\xDF\xBF\xBA\xDD"},  // パソコン -> ﾊﾟｿｺﾝ
        {"\x83\x89\x81\x5B\x83\x81\x83\x93", "\xD7 \xD2\xDD"},          // ラーメン -> ﾗ ﾒﾝ
        {TOUTEN, ","},
        {"\x83\x4B\x83\x61", "\xB6\xDE\xC1\xDE"},                      // ガヂ
        {"\x83\x94", " "},                                             // ヴ
        {"\x82\x60\x81\x7C\x82\x50\x81\x8F", "A-1\\"},
        {"abc" HYO, "abc "},
        {"\x83", "\x83"},
    };
    for (const auto& c : toHalf) EXPECT_EQ(ToHalfWidth(c.in), c.want) << c.in;

    // Every half-width table character goes there and back.
    const std::string all =
        " abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890-^\\!\"#$%&()=~|@[`{;:]+*},./<>?_'"
        "\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8"
        "\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xA6\xDD\xA7\xA8"
        "\xA9\xAA\xAB\xAF\xAC\xAD\xAE";
    const std::string full = ToFullWidth(all);
    EXPECT_EQ(full.size(), all.size() * 2);
    EXPECT_EQ(ToHalfWidth(full), all);
}

TEST(SjisText, Hex) {
    EXPECT_EQ(HexEncode("\x1F"), "F1");
    EXPECT_EQ(HexEncode(std::string("\x00\xAB\x10", 3)), "00BA01");
    EXPECT_EQ(HexDecode("F1"), "\x1F");
    EXPECT_EQ(HexDecode("f1a"), "\x1F");      // a final odd character is ignored
    EXPECT_EQ(HexDecode("zz1g"), std::string("\x00\x01", 2));  // non-digits count as 0
    EXPECT_EQ(HexDecode(""), "");
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    EXPECT_EQ(HexDecode(HexEncode(bytes)), bytes);
}

TEST(SjisText, CutToBytesNeverSplitsACharacterAndIntegersReadAsCodesWriteThem) {
    const std::string hyo = "\x95\x5c", a = "a";  // 表 (its trail byte is 0x5C) and one byte
    const struct {
        std::string text;
        size_t max;
        std::string want;
    } cuts[] = {
        {hyo + hyo, 4, hyo + hyo}, {hyo + hyo, 3, hyo}, {hyo + hyo, 1, ""}, {a + hyo, 2, a},
        {"\x95", 1, "\x95"},  // a lead byte at the very end is one character
        {"", 5, ""},
    };
    for (const auto& c : cuts) EXPECT_EQ(CutToBytes(c.text, c.max), c.want) << HexEncode(c.text) << " " << c.max;
    const struct {
        const char* text;
        int64_t want;
    } ints[] = {
        {"42", 42}, {" -7 ", -7}, {"+3", 3}, {"$ff", 255}, {"$80FF0000", 0x80FF0000LL}, {"-$10", -16},
        {"", -1}, {"$", -1}, {"12a", -1}, {"$xyz", -1}, {"1234567890123456789", -1},  // 19 digits
    };
    for (const auto& c : ints) EXPECT_EQ(ParseDecimalOrHex(c.text, -1), c.want) << c.text;
}
