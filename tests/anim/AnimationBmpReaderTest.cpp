// The ".b" reader against byte fixtures written here from the format
// description (not by the writer), and against the writer's files.
#include <gtest/gtest.h>

#include "AnimTestSupport.h"
#include "anim/AnimationBmpReader.h"
#include "storage/PackLib.h"

namespace zeltest {
namespace {

std::string U8(int v) { return std::string(1, static_cast<char>(v)); }
std::string U16(int v) { return U8(v & 0xFF) + U8((v >> 8) & 0xFF); }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Str(const std::string& s) { return U16(static_cast<int>(s.size())) + s; }
// A tag with something other than NUL after its terminating NUL.
std::string Tag(const std::string& t) {
    std::string s = t + '\0';
    s.resize(16, 'q');
    return s;
}
std::string Packed(const std::string& raw) {
    const auto p = PackBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
    return std::string(p.begin(), p.end());
}

// Key record whose byte i holds i + 1 (kind 5, blend 6 ...).
std::string CountingKey() {
    std::string k;
    for (int i = 0; i < 57; ++i) k += U8(i + 1);
    return k;
}

struct THandFile {
    std::string fileTag = "abmp11", dataTag = "abdata11", layerTag = "ablayer12";
    bool v11Fields = true;
    std::string trailing = "JUNK";
};

std::string HandMade(const THandFile& h) {
    std::string layer = Tag(h.layerTag) + Str("L0") + U8(7);
    if (h.layerTag != "ablayer10") layer += U8(2);
    for (int i = 0; i < 32; ++i) layer += CountingKey();
    std::string data = Str("Data") + U32(640) + U32(480);
    if (h.v11Fields) data += U32(1500) + Str("line1\r\nline2");
    data += U8(1) + Tag("abmotion10") + Str("m0") + U8(1) + layer + "tail";
    return Tag(h.fileTag) + Tag(h.dataTag) + U32(static_cast<uint32_t>(Packed(data).size())) + Packed(data) +
           Tag("abimage10") + U8(1) + Tag("abimgdat10") + Str("img") + U8(3) + U32(5) + "12345" + Tag("absound10") +
           U8(1) + Tag("absnddat10") + Str("snd") + U8(1) + U32(4) + "abcd" + h.trailing;
}

bool ReadBytes(const std::string& bytes, TABMPFile& f, std::string* err = nullptr) {
    TMemoryStream s{std::string_view(bytes)};
    return ReadABMP(s, f, err);
}

TEST(ABMPReader, HandMadeVersion11FileGivesEveryField) {
    TABMPFile f;
    std::string err;
    ASSERT_TRUE(ReadBytes(HandMade({}), f, &err)) << err;
    EXPECT_EQ(f.version, 11);
    EXPECT_EQ(f.dataName, "Data");
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 480);
    EXPECT_EQ(f.totalTime, 1500);
    EXPECT_EQ(f.memo, "line1\r\nline2");
    ASSERT_EQ(f.motions.size(), 1u);
    EXPECT_EQ(f.motions[0].name, "m0");
    ASSERT_EQ(f.motions[0].layers.size(), 1u);
    const TABMPLayer& l = f.motions[0].layers[0];
    EXPECT_EQ(l.name, "L0");
    EXPECT_EQ(l.groupMode, 2);
    const TABMPKey& k = l.keys[31];
    EXPECT_EQ(k.time, 0x04030201);
    EXPECT_EQ(k.kind, 5);
    EXPECT_EQ(k.blend, 6);
    EXPECT_EQ(k.image, 7);
    EXPECT_EQ(k.image2, 8);
    EXPECT_EQ(k.src, (std::array<int16_t, 4>{0x0A09, 0x0C0B, 0x0E0D, 0x100F}));
    EXPECT_EQ(k.frame, 0x14131211);
    EXPECT_EQ(k.param, 0x18171615);
    EXPECT_EQ(k.dst, (std::array<int16_t, 4>{0x1A19, 0x1C1B, 0x1E1D, 0x201F}));
    EXPECT_EQ(k.layer, 0x2221);
    EXPECT_EQ(k.angle, 0x2423);
    EXPECT_EQ(k.addColour, 0x28272625u);
    EXPECT_EQ(k.baseColour, 0x2C2B2A29u);
    EXPECT_EQ(k.opacity, 0x2D);
    EXPECT_EQ(k.srcInterp, 0x2E);
    EXPECT_EQ(k.dstInterp, 0x31);
    EXPECT_EQ(k.colourInterp, 0x34);
    EXPECT_EQ(k.action, 0x35);
    EXPECT_EQ(k.args, (std::array<uint8_t, 4>{0x36, 0x37, 0x38, 0x39}));
    ASSERT_EQ(f.images.size(), 1u);
    EXPECT_EQ(f.images[0].name, "img");
    EXPECT_EQ(f.images[0].format, 3);
    EXPECT_EQ(std::string(f.images[0].bytes.begin(), f.images[0].bytes.end()), "12345");
    EXPECT_STREQ(ImageFormatExtension(f.images[0].format), ".png");
    ASSERT_EQ(f.sounds.size(), 1u);
    EXPECT_EQ(f.sounds[0].format, 1);
    EXPECT_EQ(std::string(f.sounds[0].bytes.begin(), f.sounds[0].bytes.end()), "abcd");
}

TEST(ABMPReader, EveryPairingOfFileAndDataTagAndTheOlderLayerTags) {
    struct Case {
        THandFile h;
        int version;
        uint8_t kind;   // stored 5
        uint8_t group;  // of the only (first) layer
    };
    const Case cases[] = {
        {{"abmp11", "abdata11", "ablayer12", true, ""}, 11, 5, 2},
        {{"abmp11", "abdata10", "ablayer12", true, ""}, 11, 5, 2},   // the file tag decides
        {{"abmp11", "abdata10", "ablayer12", false, ""}, 11, 5, 2},  // the data tag decides
        {{"abmp10", "abdata11", "ablayer11", true, ""}, 10, 6, 1},
        {{"abmp10", "abdata11", "ablayer11", false, ""}, 10, 6, 1},
        {{"abmp10", "abdata10", "ablayer10", false, ""}, 10, 6, 1},  // old numbering, first layer pushes
    };
    for (const Case& c : cases) {
        TABMPFile f;
        std::string err;
        ASSERT_TRUE(ReadBytes(HandMade(c.h), f, &err)) << c.h.fileTag << c.h.dataTag << c.h.v11Fields << err;
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(f.totalTime, c.h.v11Fields ? 1500 : 0);
        EXPECT_EQ(f.motions[0].layers[0].keys[0].kind, c.kind) << c.h.layerTag;
        EXPECT_EQ(f.motions[0].layers[0].groupMode, c.group) << c.h.layerTag;
    }
}

TEST(ABMPReader, EveryTruncationFailsAndLeavesStreamAndModel) {
    const std::string file = HandMade({.trailing = ""});
    TABMPFile keep;
    keep.dataName = "kept";
    for (size_t n = 0; n < file.size(); ++n) {
        TMemoryStream s{std::string_view(file).substr(0, n)};
        s.Seek(0);
        TABMPFile f = keep;
        ASSERT_FALSE(ReadABMP(s, f)) << n;
        EXPECT_EQ(s.Position(), 0u);
        EXPECT_EQ(f.dataName, "kept");
    }
}

TEST(ABMPReader, SizesAndCountsPastTheEndAreRefused) {
    std::string data = Str("D") + U32(1) + U32(1) + U32(0) + Str("") + U8(3) + Tag("abmotion10") + Str("m") + U8(0);
    const std::string head = Tag("abmp11") + Tag("abdata11");
    const std::string tail = Tag("abimage10") + U8(0) + Tag("absound10") + U8(0);
    // Three motions declared, one present.
    TABMPFile f;
    EXPECT_FALSE(ReadBytes(head + U32(uint32_t(Packed(data).size())) + Packed(data) + tail, f));
    // A Data size past the end.
    EXPECT_FALSE(ReadBytes(head + U32(0xFFFFFFF0u) + Packed(data), f));
    // A picture size past the end.
    std::string one = Str("D") + U32(1) + U32(1) + U32(0) + Str("") + U8(1) + Tag("abmotion10") + Str("m") + U8(0);
    const std::string good = head + U32(uint32_t(Packed(one).size())) + Packed(one);
    ASSERT_TRUE(ReadBytes(good + tail, f));
    EXPECT_FALSE(ReadBytes(good + Tag("abimage10") + U8(1) + Tag("abimgdat10") + Str("i") + U8(0) + U32(99) + "x" +
                               Tag("absound10") + U8(0),
                           f));
    // Wrong tags.
    EXPECT_FALSE(ReadBytes(good + Tag("abimage11") + U8(0) + Tag("absound10") + U8(0), f));
    EXPECT_FALSE(ReadBytes(Tag("abmp12") + good.substr(16) + tail, f));
}

// ---- Version 7 ----

std::string Name32(const std::string& s, int lengthByte = -1) {
    std::string n = U8(lengthByte < 0 ? static_cast<int>(s.size()) : lengthByte) + s;
    n.resize(32, '\0');
    return n;
}

std::string Key7(uint32_t time, uint32_t colour, int type, int colourInterp, int action = 0, int arg = 0) {
    return U32(time) + U16(1) + U16(2) + U16(3) + U16(4) + U16(5) + U16(6) + U16(7) + U16(8) + U16(9) +
           U32(colour) + U8(type) + U8(0x11) + U8(0x12) + U8(colourInterp) + U8(action) + U8(arg);
}

std::string V7File(const std::string& motionData, int motions) {
    const std::string packed = Packed(motionData);
    return std::string("ABMP7\0\0\0", 8) + U8(motions) + U8(0x77) + U8(2) + U8(1) + U32(uint32_t(packed.size())) +
           packed + U32(3) + "PIC" + Name32("voice") + U32(2) + "OG";
}

TEST(ABMPReader, Version7KeysColoursNamesAndTypes) {
    // Layer 0: keys routing the colour; layer 1: a name whose length byte says 40.
    std::string keys;
    keys += Key7(0, 0x80112233, 5, 0);      // added colour
    keys += Key7(10, 0x40445566, 6, 0);     // base colour
    keys += Key7(20, 0xFF778899, 2, 1);     // dropped; fades its colour...
    keys += Key7(30, 0xFFAABBCC, 8, 1);     // ...so this one routes as type 2: dropped
    keys += Key7(40, 0xFFDDEEFF, 8, 0, 1, 3);  // after a colour type: its own routing
    for (int i = 5; i < 32; ++i) keys += Key7(1000 * i, 0, 0, 0);
    std::string data = Name32("walk") + U32(2) + Name32("first") + keys + Name32(std::string(40, 'n'), 40) + keys;
    TABMPFile f;
    std::string err;
    ASSERT_TRUE(ReadBytes(V7File(data, 1), f, &err)) << err;
    EXPECT_EQ(f.version, 7);
    ASSERT_EQ(f.motions.size(), 1u);
    EXPECT_EQ(f.motions[0].name, "walk");
    const auto& l0 = f.motions[0].layers[0];
    EXPECT_EQ(l0.groupMode, 1);
    EXPECT_EQ(f.motions[0].layers[1].groupMode, 0);
    EXPECT_EQ(f.motions[0].layers[1].name, std::string(31, 'n'));
    const TABMPKey& k0 = l0.keys[0];
    EXPECT_EQ(k0.src, (std::array<int16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(k0.dst, (std::array<int16_t, 4>{5, 6, 7, 8}));
    EXPECT_EQ(k0.layer, 9);
    EXPECT_EQ(k0.opacity, 0x80);
    EXPECT_EQ(k0.srcInterp, 0x11);
    EXPECT_EQ(k0.dstInterp, 0x12);
    EXPECT_EQ(k0.addColour, 0x112233u);
    EXPECT_EQ(k0.baseColour, 0xFFFFFFu);
    EXPECT_EQ(l0.keys[1].addColour, 0u);
    EXPECT_EQ(l0.keys[1].baseColour, 0x445566u);
    EXPECT_EQ(l0.keys[2].baseColour, 0xFFFFFFu);
    EXPECT_EQ(l0.keys[3].kind, 1);
    EXPECT_EQ(l0.keys[3].baseColour, 0xFFFFFFu);
    EXPECT_EQ(l0.keys[4].baseColour, 0xDDEEFFu);
    EXPECT_EQ(l0.keys[4].action, 1);
    EXPECT_EQ(l0.keys[4].args[0], 3);
    ASSERT_EQ(f.images.size(), 1u);
    EXPECT_EQ(f.images[0].name, "NoName");
    EXPECT_EQ(f.images[0].format, 2);
    ASSERT_EQ(f.sounds.size(), 1u);
    EXPECT_EQ(f.sounds[0].name, "voice");
    EXPECT_EQ(f.sounds[0].format, 1);

    // Every truncation fails.
    const std::string file = V7File(data, 1);
    for (size_t n = 0; n < file.size(); ++n) {
        TABMPFile g;
        ASSERT_FALSE(ReadBytes(file.substr(0, n), g)) << n;
    }
}

TEST(ABMPReader, Version7TypeTable) {
    std::map<int, std::pair<int, int>> table = {
        {0, {0, 0}},  {20, {0, 0}}, {2, {2, 1}},  {3, {2, 2}},  {4, {2, 3}},  {8, {1, 0}},
        {14, {1, 0}}, {15, {1, 1}}, {16, {1, 2}}, {17, {1, 3}}, {9, {3, 0}},  {13, {3, 0}},
        {10, {3, 1}}, {11, {3, 2}}, {12, {3, 3}}, {18, {5, 0}}, {19, {6, 0}},
    };
    for (int t = 0; t < 256; ++t) {
        const auto it = table.find(t);
        const std::pair<int, int> want = it == table.end() ? std::pair{2, 0} : it->second;
        const TABMP7KindBlend kb = ABMP7KindBlend(static_cast<uint8_t>(t));
        EXPECT_EQ(kb.kind, want.first) << t;
        EXPECT_EQ(kb.blend, want.second) << t;
    }
}

TEST(ABMPReader, Version7RefusesMoreThan255Layers) {
    TABMPFile f;
    EXPECT_FALSE(ReadBytes(V7File(Name32("m") + U32(256), 1), f));
    EXPECT_FALSE(ReadBytes(V7File(Name32("m") + U32(0xFFFFFFFF), 1), f));
    EXPECT_FALSE(ReadBytes(V7File(Name32("m") + U32(3) + std::string(1056 * 2, '\0'), 1), f));  // two of three
    EXPECT_TRUE(ReadBytes(V7File(Name32("m") + U32(0), 1), f));
}

// ---- The writer against the reader ----

TEST(ABMPWriter, RoundTripsTheModelInBothVersions) {
    TABMPFile f = OneMotion({LayerAt({0, 100}, akImage), LayerAt({0, 50}, akRectangle)});
    f.totalTime = 1234;
    f.memo = "a\r\nb";
    f.motions[0].layers[1].groupMode = 2;
    TABMPKey& k = f.motions[0].layers[0].keys[3];
    k = TABMPKey();
    std::string counting = CountingKey();
    k.Read(reinterpret_cast<const uint8_t*>(counting.data()));
    k.kind = akRotate;  // the current numbering survives
    f.motions.push_back(f.motions[0]);
    f.motions[1].name = "second";
    f.sounds.push_back({"snd", 0, {1, 2, 3}});
    for (int version : {11, 10}) {
        const auto bytes = Written(f, version);
        TABMPFile g;
        std::string err;
        TMemoryStream s(bytes);
        ASSERT_TRUE(ReadABMP(s, g, &err)) << err;
        EXPECT_EQ(g.version, version);
        EXPECT_EQ(g.totalTime, version == 11 ? 1234 : 0);
        EXPECT_EQ(g.memo, version == 11 ? f.memo : "");
        ASSERT_EQ(g.motions.size(), 2u);
        EXPECT_EQ(g.motions[1].name, "second");
        EXPECT_EQ(g.motions[0].layers[0].groupMode, version == 10 ? 1 : 0);
        EXPECT_EQ(g.motions[0].layers[1].groupMode, 2);
        for (int m = 0; m < 2; ++m)
            for (int l = 0; l < 2; ++l)
                EXPECT_TRUE(g.motions[m].layers[l].keys == f.motions[m].layers[l].keys) << m << l;
        EXPECT_EQ(g.images[0].bytes, f.images[0].bytes);
        EXPECT_EQ(g.sounds[0].bytes, f.sounds[0].bytes);
    }
    TABMPFile big;
    big.motions.resize(256);
    std::vector<uint8_t> out;
    EXPECT_FALSE(WriteABMP(big, 11, out));
}

}  // namespace
}  // namespace zeltest
