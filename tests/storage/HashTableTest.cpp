#include <gtest/gtest.h>

#include "StorageTestUtil.h"
#include "base/Errors.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"
#include "storage/uHashTable.h"
#include "storage/uStringCache.h"

using namespace zel;
using namespace zeltest;

namespace {

const std::string kBadHeader =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x77\x83\x62\x83\x5F\x82\xAA\x88\xD9\x82\xC8\x82\xE8\x82\xDC\x82\xB7";
const std::string kBadSize =
    "\x83\x6E\x83\x62\x83\x56\x83\x85\x83\x65\x81\x5B\x83\x75\x83\x8B\x82\xCC\x91\xE5\x82\xAB\x82\xB3\x82\xAA\x88\xD9"
    "\x82\xC8\x82\xE8\x82\xDC\x82\xB7";

int32_t GetInt(THashTable& t, std::string_view name) {
    int32_t v = 0;
    EXPECT_TRUE(t.Get(name, &v, 4)) << name;
    return v;
}

// A stream form around a hand-made image, written without THashTable.
TMemoryStream MakeStream(const TMemoryStream& image, uint32_t buckets, uint32_t total, uint32_t dataSize,
                         std::string_view magic = "HashVer1.3") {
    std::vector<uint8_t> payload = PackBytes(image.Bytes());
    ScrambleBlocks(payload.data(), payload.size(), kIndexKey);
    TMemoryStream s;
    std::string m(magic);
    m.resize(16, '\0');
    s.WriteBytes(m);
    s.WriteU32(buckets);
    s.WriteU32(total);
    s.WriteU32(dataSize);
    s.WriteU32(static_cast<uint32_t>(payload.size()));
    s.Write(payload.data(), payload.size());
    s.Rewind();
    return s;
}

// Image of a 256-bucket table holding the single name "abc" (bucket 78).
TMemoryStream OneEntryImage(int64_t position, std::string_view data, uint16_t count78 = 1) {
    TMemoryStream img;
    for (int b = 0; b < 256; ++b) {
        if (b != 78) {
            img.WriteU16(0);
            continue;
        }
        img.WriteU16(count78);
        for (uint16_t i = 0; i < count78; ++i) {
            WriteLenString(img, "abc");
            img.WriteI64(position);
            img.WriteI32(67324);
        }
    }
    img.WriteBytes(data);
    return img;
}

}  // namespace

TEST(StringCache, ReplacesTheOldestAndForgets) {
    TStringCache c(2);
    c.Store("a", 1);
    c.Store("b", 2);
    c.Store("a", 10);  // same name: same slot
    EXPECT_EQ(c.Lookup("a", -1), 10);
    c.Store("c", 3);  // replaces the oldest insertion, "a"
    EXPECT_EQ(c.Lookup("a", -1), -1);
    EXPECT_EQ(c.Lookup("b", -1), 2);
    EXPECT_EQ(c.Lookup("c", -1), 3);
    c.Remove("b");
    EXPECT_EQ(c.Lookup("b", -1), -1);
    c.Store("", 5);
    EXPECT_EQ(c.Lookup("", -1), -1);  // an empty name never matches
    c.Clear();
    EXPECT_EQ(c.Lookup("c", -1), -1);
    EXPECT_EQ(TStringCache::Hash("abc"), 97u + 2 * 98 + 3 * 99);
}

TEST(HashTable, HashesOfTheWorkedExample) {
    EXPECT_EQ(THashTable::BucketHash("abc", 256), 78u);
    EXPECT_EQ(THashTable::SecondHash("abc"), 67324);
}

TEST(HashTable, PutGetAndCase) {
    THashTable t(256);
    int32_t v = 5;
    ASSERT_TRUE(t.Put("Label\\One", &v, 4));
    v = 6;
    ASSERT_TRUE(t.Put("\x83\x41", &v, 4));  // ア: never folded to 83 61
    EXPECT_EQ(GetInt(t, "LABEL\\one"), 5);
    EXPECT_EQ(GetInt(t, "\x83\x41"), 6);
    EXPECT_FALSE(t.Get("\x83\x61", nullptr, 0));
    EXPECT_FALSE(t.Get("missing", nullptr, 0));
    EXPECT_EQ(t.Locate("label\\one"), 0);
    EXPECT_EQ(t.Locate("\x83\x41"), 4);

    // Overwrite in place: count and data size stay, the value changes.
    v = 7;
    ASSERT_TRUE(t.Put("label\\ONE", &v, 4));
    EXPECT_EQ(t.Count(), 2u);
    EXPECT_EQ(t.DataSize(), 8u);
    EXPECT_EQ(GetInt(t, "label\\one"), 7);
    // A larger value would overwrite its neighbour: refused, nothing changes.
    const int64_t big = -1;
    EXPECT_FALSE(t.Put("label\\one", &big, 8));
    EXPECT_EQ(GetInt(t, "\x83\x41"), 6);
    // Get past the end of the data area is an error, not a read of stray memory.
    int64_t out = 0;
    EXPECT_THROW(t.Get("\x83\x41", &out, 8), EStreamError);

    t.Clear();
    EXPECT_EQ(t.Count(), 0u);
    EXPECT_EQ(t.DataSize(), 0u);
    EXPECT_FALSE(t.Get("label\\one", nullptr, 0));
}

TEST(HashTable, HoldsAtMost65535Entries) {
    THashTable t(512);
    const uint16_t v = 1;
    for (int i = 0; i < 65535; ++i) ASSERT_TRUE(t.Put("n" + std::to_string(i), &v, 2)) << i;
    EXPECT_EQ(t.Count(), 65535u);
    EXPECT_FALSE(t.Put("another", &v, 2));
    EXPECT_FALSE(t.Put("n5", &v, 2));  // also for a name already present
    EXPECT_TRUE(t.Get("N65534", nullptr, 0));
}

TEST(HashTable, SaveAndLoadRoundTrip) {
    THashTable t(256);
    for (int i = 0; i < 300; ++i) {
        const int32_t v = i * 3;
        ASSERT_TRUE(t.Put("Name" + std::to_string(i), &v, 4));
    }
    TMemoryStream s;
    s.WriteU8(0xAA);  // written and read at the current position
    ASSERT_TRUE(t.SaveToStream(s));
    s.WriteU8(0xBB);
    s.Seek(1);
    THashTable u(256);
    ASSERT_TRUE(u.LoadFromStream(s));
    EXPECT_EQ(s.ReadU8(), 0xBB);
    EXPECT_EQ(u.Count(), 300u);
    EXPECT_EQ(u.DataSize(), 1200u);
    EXPECT_EQ(GetInt(u, "name299"), 897);
    EXPECT_EQ(GetInt(u, "NAME0"), 0);
    // Widths survive the load: overwriting keeps to the value's own bytes.
    const int64_t big = 1;
    EXPECT_FALSE(u.Put("name0", &big, 8));
    const int32_t small = 42;
    EXPECT_TRUE(u.Put("name0", &small, 4));
    EXPECT_EQ(GetInt(u, "name1"), 3);
}

TEST(HashTable, WrongMagicOrBucketCountRaisesTheEngineMessages) {
    THashTable t(256);
    TMemoryStream s;
    ASSERT_TRUE(t.SaveToStream(s));
    THashTable wrongSize(512);
    s.Rewind();
    try {
        wrongSize.LoadFromStream(s);
        FAIL() << "no error";
    } catch (const EZelError& e) {
        EXPECT_EQ(e.what(), kBadSize);
    }
    TMemoryStream bad(std::vector<uint8_t>(s.Bytes()));
    bad.Data()[0] = 'X';
    try {
        t.LoadFromStream(bad);
        FAIL() << "no error";
    } catch (const EZelError& e) {
        EXPECT_EQ(e.what(), kBadHeader);
    }
    TMemoryStream tooShort(std::string_view("HashVer1.3"));
    EXPECT_THROW(t.LoadFromStream(tooShort), EZelError);
    EXPECT_FALSE(t.LoadFromFile("/nonexistent/zel/file.hash"));
}

TEST(HashTable, ReadsFilesWrittenIndependently) {
    ASSERT_TRUE(HavePython()) << "python3 is not available (scripts/install-deps.sh installs it)";
    TempDir dir;
    ASSERT_TRUE(RunFixtureScript("packs '" + dir.Path() + "'"));
    for (const char* file : {"labels13.hash", "labels12.hash"}) {
        THashTable t(256);
        ASSERT_TRUE(t.LoadFromFile(dir / file)) << file;
        EXPECT_EQ(t.Count(), 41u);
        for (int i = 0; i < 40; ++i) EXPECT_EQ(GetInt(t, "label" + std::to_string(i)), i * 7 - 3) << file;
        EXPECT_EQ(GetInt(t, "\x83\x41\x83\x41"), 99);
    }
    // A 1.2 table is written back as 1.3 with its unrecorded second hashes kept.
    THashTable old(256);
    ASSERT_TRUE(old.LoadFromFile(dir / "labels12.hash"));
    TMemoryStream s;
    ASSERT_TRUE(old.SaveToStream(s));
    EXPECT_EQ(s.View().substr(0, 16), std::string_view("HashVer1.3\0\0\0\0\0\0", 16));
    std::vector<uint8_t> payload(s.Data() + 32, s.Data() + s.Size());
    UnscrambleBlocks(payload.data(), payload.size(), kIndexKey);
    std::vector<uint8_t> image;
    ASSERT_TRUE(UnpackBytes(payload, image));
    TMemoryStream img(std::move(image));
    int entries = 0;
    for (int b = 0; b < 256; ++b) {
        const uint16_t k = img.ReadU16();
        for (uint16_t i = 0; i < k; ++i, ++entries) {
            ReadLenString(img);
            img.ReadI64();
            EXPECT_EQ(img.ReadI32(), -1);
        }
    }
    EXPECT_EQ(entries, 41);
    s.Rewind();
    THashTable again(256);
    ASSERT_TRUE(again.LoadFromStream(s));
    EXPECT_EQ(GetInt(again, "LABEL39"), 270);
}

TEST(HashTable, RefusesDamagedContentsAndKeepsItsOldState) {
    THashTable t(256);
    const int32_t keep = 11;
    ASSERT_TRUE(t.Put("keep", &keep, 4));

    struct Case {
        const char* name;
        TMemoryStream stream;
    };
    std::vector<Case> cases;
    cases.push_back({"position past the data area", MakeStream(OneEntryImage(5, "abcd"), 256, 1, 4)});
    cases.push_back({"negative position", MakeStream(OneEntryImage(-1, "abcd"), 256, 1, 4)});
    cases.push_back({"more entries than the header", MakeStream(OneEntryImage(0, "abcd", 2), 256, 1, 4)});
    cases.push_back({"fewer entries than the header", MakeStream(OneEntryImage(0, "abcd"), 256, 2, 4)});
    cases.push_back({"data area cut", MakeStream(OneEntryImage(0, "ab"), 256, 1, 4)});
    {
        TMemoryStream cut = MakeStream(OneEntryImage(0, "abcd"), 256, 1, 4);
        cut.SetSize(cut.Size() - 1);  // payload runs past the end
        cases.push_back({"payload cut", std::move(cut)});
    }
    {
        TMemoryStream img;
        img.WriteU16(0);  // only one bucket of 256
        cases.push_back({"image cut", MakeStream(img, 256, 0, 0)});
    }
    for (auto& c : cases) {
        EXPECT_THROW(t.LoadFromStream(c.stream), EZelError) << c.name;
        EXPECT_EQ(c.stream.Position(), 0u) << c.name;
        EXPECT_EQ(GetInt(t, "keep"), 11) << c.name;
        EXPECT_EQ(t.Count(), 1u) << c.name;
    }
    // The same layout with sound values loads.
    TMemoryStream good = MakeStream(OneEntryImage(0, "abcd"), 256, 1, 4);
    ASSERT_TRUE(t.LoadFromStream(good));
    EXPECT_EQ(GetInt(t, "ABC"), 0x64636261);
}

TEST(HashTable, SurvivesTruncationAndBitFlips) {
    THashTable t(256);
    for (int i = 0; i < 50; ++i) {
        const int32_t v = i;
        t.Put("entry" + std::to_string(i), &v, 4);
    }
    TMemoryStream s;
    ASSERT_TRUE(t.SaveToStream(s));
    const std::vector<uint8_t> good = s.Bytes();
    for (size_t len = 0; len < good.size(); ++len) {
        TMemoryStream cut(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(len)));
        THashTable u(256);
        EXPECT_THROW(u.LoadFromStream(cut), EZelError) << len;
    }
    uint32_t rng = 5;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bad = good;
        for (int k = 0; k < 3; ++k) {
            rng = rng * 1664525u + 1013904223u;
            bad[(rng >> 8) % bad.size()] ^= static_cast<uint8_t>(1u << (rng & 7));
        }
        TMemoryStream bs(std::move(bad));
        THashTable u(256);
        try {
            if (u.LoadFromStream(bs)) {
                int32_t v;
                for (int i = 0; i < 50; ++i) u.Get("entry" + std::to_string(i), &v, 4);
            }
        } catch (const EZelError&) {
        }
    }
}
