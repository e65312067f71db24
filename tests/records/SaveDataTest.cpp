// The save-file container: its byte layout, the key check, the checksum, and
// every size and length byte read from a file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "records/ZelSaveData.h"
#include "storage/PackLib.h"

namespace {

using zel::TMemoryStream;
using zel::TZelSaveData;

std::vector<uint8_t> Body(size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 % 13);
    return b;
}

std::string Written(uint32_t key, bool thumbnail, bool scrambled = true, bool packed = true) {
    TZelSaveData d(key);
    d.SetHeader("first", "second", "the text", "third", "fourth", 45000.25);
    d.SetBody(Body(5000));
    if (thumbnail) {
        zel::TARGB8888 img;
        img.NewImage(5, 3, 0xFF10F080u);
        img.Row(1)[2] = 0xFFFF0000u;
        d.SetThumbnail(img);
    }
    TMemoryStream out;
    EXPECT_TRUE(d.WriteStream(out, scrambled, packed));
    return out.ToString();
}

// The payload of a written file.
std::string Payload(const std::string& file) {
    TMemoryStream in(file);
    auto p = zel::UnwrapChecked(in);
    return p ? p->ToString() : std::string();
}

// A file around a payload, with a good checksum.
std::string Wrap(const std::string& payload) {
    TMemoryStream p(payload), out;
    zel::WrapChecked(&p, &out);
    return out.ToString();
}

bool Reads(uint32_t key, const std::string& file, bool thumb = true, bool body = true) {
    TMemoryStream in(file);
    TZelSaveData d(key);
    return d.ReadStream(in, thumb, body);
}

void PutI32(std::string& s, size_t at, int32_t v) { std::memcpy(&s[at], &v, 4); }

TEST(SaveData, RoundTripKeepsHeaderThumbnailAndBody) {
    for (const bool scrambled : {false, true}) {
        for (const bool packed : {false, true}) {
            const std::string file = Written(77, true, scrambled, packed);
            TMemoryStream in(file);
            TZelSaveData d(77);
            ASSERT_TRUE(d.ReadStream(in, true, true));
            EXPECT_EQ(d.Name(0), "first");
            EXPECT_EQ(d.Name(1), "second");
            EXPECT_EQ(d.Name(2), "third");
            EXPECT_EQ(d.Name(3), "fourth");
            EXPECT_EQ(d.Text(), "the text");
            EXPECT_DOUBLE_EQ(d.SaveTime(), 45000.25);
            EXPECT_EQ(d.Scrambled(), scrambled);
            EXPECT_EQ(d.Packed(), packed);
            ASSERT_NE(d.Body(), nullptr);
            EXPECT_EQ(d.Body()->Bytes(), Body(5000));
            zel::TARGB8888 thumb;
            ASSERT_TRUE(d.Thumbnail(thumb));
            EXPECT_EQ(thumb.Width(), 5);
            EXPECT_EQ(thumb.Height(), 3);
            // 15-bit pixels keep the top five bits of each channel.
            EXPECT_EQ(thumb.Row(0)[0] & 0xF8F8F8u, 0x10F080u);
            EXPECT_EQ(thumb.Row(1)[2] & 0xF8F8F8u, 0xF80000u);
        }
    }
}

TEST(SaveData, LayoutOfTheHeader) {
    const std::string p = Payload(Written(46203, false));
    ASSERT_GE(p.size(), 1032u);
    EXPECT_EQ(p.substr(0, 16), std::string("ZELSAVE110\0\0\0\0\0\0", 16));
    EXPECT_EQ(p[16], 1);  // scrambled
    EXPECT_EQ(p[17], 1);  // packed
    EXPECT_EQ(static_cast<uint8_t>(p[26]), 5u);
    EXPECT_EQ(p.substr(27, 5), "first");
    EXPECT_EQ(p.substr(155, 6), "second");
    EXPECT_EQ(p.substr(539, 8), "the text");
    EXPECT_EQ(p.substr(698, 326), std::string(326, '\0'));
    uint8_t check[32];
    std::memcpy(check, p.data() + 666, 32);
    zel::UnscrambleBlocks(check, 32, 46203);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(check), 32), zel::kRecordCheckString);
    // No thumbnail: size 0 and the body size right after it.
    int32_t t = -1, b = -1;
    std::memcpy(&t, p.data() + 1024, 4);
    std::memcpy(&b, p.data() + 1028, 4);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(static_cast<size_t>(b), p.size() - 1032);
}

TEST(SaveData, TextKeepsThirtyCharactersAndNamesFitTheirRoom) {
    TZelSaveData d(1);
    std::string text;
    for (int i = 0; i < 100; ++i) text += "\x82\xa0";  // a double-byte character
    d.SetHeader(std::string(300, 'n'), "", text, "", "");
    EXPECT_EQ(d.Text(), text.substr(0, 60));
    EXPECT_EQ(d.Name(0), std::string(127, 'n'));
    // A name is cut before a character that would not fit whole.
    d.SetHeader("a" + text.substr(0, 2 * 63) + "x", "", "", "", "");
    EXPECT_EQ(d.Name(0).size(), 127u);
    d.SetHeader(text.substr(0, 2 * 64), "", "", "", "");
    EXPECT_EQ(d.Name(0).size(), 126u);
}

TEST(SaveData, KeysRefuseEachOthersFiles) {
    EXPECT_TRUE(Reads(1, Written(1, true)));
    EXPECT_FALSE(Reads(2, Written(1, true)));
    EXPECT_FALSE(Reads(1, Written(2, true)));
    EXPECT_TRUE(Reads(2, Written(2, true)));
    EXPECT_FALSE(Reads(2, Written(1, true), false, false));  // the header read checks too
}

TEST(SaveData, AnyAlteredByteIsRefused) {
    const std::string file = Written(5, true);
    for (size_t at : {size_t{12}, size_t{12 + 20}, size_t{12 + 700}, size_t{12 + 1030}, file.size() - 9}) {
        std::string bad = file;
        bad[at] = static_cast<char>(bad[at] ^ 0x01);
        EXPECT_FALSE(Reads(5, bad)) << "byte " << at;
    }
}

TEST(SaveData, HeaderOnlyReadLeavesThumbnailAndBodyAbsent) {
    TMemoryStream in(Written(9, true));
    TZelSaveData d(9);
    ASSERT_TRUE(d.ReadStream(in, false, false));
    EXPECT_EQ(d.Name(3), "fourth");
    EXPECT_EQ(d.Text(), "the text");
    EXPECT_DOUBLE_EQ(d.SaveTime(), 45000.25);
    EXPECT_TRUE(d.ThumbnailBmp().empty());
    EXPECT_EQ(d.Body(), nullptr);
}

TEST(SaveData, SizesAndLengthBytesAreCheckedAgainstThePayload) {
    const std::string good = Payload(Written(3, true));
    int32_t t = 0;
    std::memcpy(&t, good.data() + 1024, 4);
    const size_t bodyAt = 1028 + static_cast<size_t>(t);
    struct Case {
        const char* what;
        std::string payload;
    };
    std::vector<Case> cases;
    auto with = [&](const char* what, auto change) {
        std::string p = good;
        change(p);
        cases.push_back({what, p});
    };
    with("negative thumbnail size", [](std::string& p) { PutI32(p, 1024, -1); });
    with("thumbnail past the end", [](std::string& p) { PutI32(p, 1024, 0x7FFFFFF0); });
    with("negative body size", [&](std::string& p) { PutI32(p, bodyAt, -5); });
    with("body past the end", [&](std::string& p) { PutI32(p, bodyAt, static_cast<int32_t>(p.size())); });
    with("cut inside the body", [&](std::string& p) { p.resize(p.size() - 3); });
    with("cut inside the header", [](std::string& p) { p.resize(500); });
    with("name length byte past its room", [](std::string& p) { p[26 + 128] = static_cast<char>(128); });
    with("text length byte past its room", [](std::string& p) { p[538] = static_cast<char>(200); });
    with("wrong magic", [](std::string& p) { p[3] = 'X'; });
    with("body that does not unpack", [&](std::string& p) {
        // Scrambled garbage of the same size in place of the packed body.
        for (size_t i = bodyAt + 4; i < p.size(); ++i) p[i] = static_cast<char>(0xFF);
    });
    for (const Case& c : cases) {
        TMemoryStream in(Wrap(c.payload));
        TZelSaveData d(3);
        EXPECT_FALSE(d.ReadStream(in, true, true)) << c.what;
        EXPECT_EQ(d.Body(), nullptr) << c.what;
        EXPECT_EQ(d.Name(0), "") << c.what;
    }
    EXPECT_FALSE(Reads(3, ""));
    EXPECT_FALSE(Reads(3, Written(3, true).substr(0, 40)));
}

TEST(SaveData, NoBodyWritesNothing) {
    TZelSaveData d(1);
    d.SetHeader("", "", "", "", "");
    TMemoryStream out;
    EXPECT_FALSE(d.WriteStream(out, true, true));
    EXPECT_EQ(out.Size(), 0u);
}

}  // namespace
