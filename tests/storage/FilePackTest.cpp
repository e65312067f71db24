#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "StorageTestUtil.h"
#include "base/Errors.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"
#include "storage/uFilePack.h"
#include "storage/uFilePackWriter.h"

using namespace zel;
using namespace zeltest;

namespace {

const std::string kReadFailed =
    "\x83\x70\x83\x62\x83\x50\x81\x5B\x83\x57\x82\xA9\x82\xE7\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8"
    "\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD:";

std::string AsString(const std::unique_ptr<TMemoryStream>& s) { return s ? s->ToString() : std::string("<none>"); }

std::string FromHex(const std::string& hex) {
    const auto b = Hex(hex);
    return std::string(b.begin(), b.end());
}

struct ManifestLine {
    std::string pack, name, plainFile;
    bool compressed, scrambled;
};

std::vector<ManifestLine> ReadManifest(const std::string& dir) {
    std::vector<ManifestLine> out;
    std::ifstream f(dir + "/manifest.txt");
    std::string line;
    while (std::getline(f, line)) {
        if (line.empty()) continue;
        std::istringstream ls(line);
        ManifestLine m;
        std::string hexName;
        int c, s;
        std::getline(ls, m.pack, '\t');
        std::getline(ls, hexName, '\t');
        std::getline(ls, m.plainFile, '\t');
        ls >> c >> s;
        m.name = FromHex(hexName);
        m.compressed = c != 0;
        m.scrambled = s != 0;
        out.push_back(m);
    }
    return out;
}

// Writes a pack with the engine's writer from name -> contents.
bool WritePack(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries,
               TPackWriteOptions o, bool hashFile = false) {
    TFilePackWriter w(o);
    std::string err;
    if (!w.Begin(path, &err)) return false;
    for (const auto& [name, data] : entries)
        if (!w.Add(name, Bytes(data), &err)) return false;
    if (!w.Finish(&err)) return false;
    return !hashFile || w.WriteHashFile(ReplaceExtension(path, ".hash"), &err);
}

// The independently written packs, made once for the whole suite.
class PackFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!HavePython()) return;
        shared_ = std::make_unique<TempDir>();
        made_ = RunFixtureScript("packs '" + shared_->Path() + "'");
    }
    static void TearDownTestSuite() { shared_.reset(); }
    void SetUp() override {
        ASSERT_TRUE(shared_) << "python3 is not available (scripts/install-deps.sh installs it)";
        ASSERT_TRUE(made_) << "the fixture script failed";
    }
    static inline std::unique_ptr<TempDir> shared_;
    static inline bool made_ = false;
    static const TempDir& Dir() { return *shared_; }
};

}  // namespace

TEST_F(PackFixtures, ReadsEveryEntryOfIndependentlyWrittenPacks) {
    const auto manifest = ReadManifest(Dir().Path());
    ASSERT_GT(manifest.size(), 20u);
    std::map<std::string, std::unique_ptr<THashFilePack>> packs;
    for (const auto& m : manifest) {
        auto& hp = packs[m.pack];
        if (!hp) hp = std::make_unique<THashFilePack>(Dir() / m.pack, true);
        ASSERT_FALSE(hp->Error()) << m.pack << ": " << hp->ErrorText();
        const auto plain = ReadFile(m.plainFile);
        EXPECT_TRUE(hp->Contains(m.name)) << m.pack << " " << m.name;
        auto s = hp->ReadFile(m.name);
        ASSERT_TRUE(s) << m.pack << " " << m.name;
        EXPECT_EQ(s->Position(), 0u);
        EXPECT_EQ(s->Bytes(), plain) << m.pack << " " << m.name;

        // The stored bytes are exactly what the engine's own writer would make.
        TFilePack* p = hp->Pack();
        const auto idx = p->FindEntry(m.name);
        ASSERT_TRUE(idx);
        std::vector<uint8_t> stored = p->ReadStored(*idx);
        if (m.pack != "badsum.pack") {
            EXPECT_EQ(p->Entry(*idx).checksum, BlockChecksum(stored.data(), stored.size()));
        }
        if (m.scrambled) UnscrambleBlocks(stored.data(), stored.size(), 0);
        if (m.compressed) {
            EXPECT_EQ(stored, PackBytes(plain)) << m.name;
        }
    }
    EXPECT_EQ(packs["v2.pack"]->Pack()->Version(), 2);
    EXPECT_NE(packs["v2.pack"]->Pack()->HashIndex(), nullptr);
    EXPECT_EQ(packs["v1.pack"]->Pack()->Version(), 1);
    EXPECT_EQ(packs["v1upper.pack"]->Pack()->Version(), 1);  // "FILEPACKVER1.0"
}

TEST_F(PackFixtures, LooksNamesUpAsTheGameDoes) {
    for (const char* file : {"v1.pack", "v2.pack"}) {
        TFilePack p(Dir() / file, false);
        ASSERT_FALSE(p.Error()) << p.ErrorText();
        EXPECT_TRUE(p.Contains("SYSTEM\\Etc\\GAME.DAT")) << file;
        EXPECT_EQ(AsString(p.ReadFile("System\\ETC\\game.dat")), AsString(p.ReadFile("system\\etc\\game.dat")));
        // 表\ソア.txt: a trail byte 0x5C is no separator, a trail byte 0x41 is not folded.
        EXPECT_EQ(AsString(p.ReadFile("\x95\x5c\\\x83\x5c\x83\x41.TXT")), "sjis name") << file;
        EXPECT_FALSE(p.Contains("\x95\x5c\\\x83\x5c\x83\x61.txt")) << file;
        EXPECT_FALSE(p.Contains("missing.txt"));
        EXPECT_EQ(p.ReadFile("missing.txt"), nullptr);
        EXPECT_EQ(AsString(p.ReadFile("empty.txt")), "");
        EXPECT_EQ(p.ReadEntry(-1), nullptr);
        EXPECT_EQ(p.ReadEntry(static_cast<int64_t>(p.Count())), nullptr);
    }
    // Two equal names: the first one is found.
    TFilePack v1(Dir() / "v1.pack", true);
    EXPECT_EQ(v1.Count(), 8u);
    EXPECT_NE(AsString(v1.ReadFile("script\\start.s")), "second copy");
    EXPECT_EQ(AsString(v1.ReadEntry(7)), "second copy");
}

TEST_F(PackFixtures, ExternalIndexTakesPrecedence) {
    THashFilePack hp(Dir() / "ext.whatever", true);  // any extension names the pair
    ASSERT_FALSE(hp.Error()) << hp.ErrorText();
    ASSERT_NE(hp.ExternalIndex(), nullptr);
    TFilePack bare(Dir() / "ext.pack", true);
    EXPECT_FALSE(bare.Contains("alias.txt"));
    EXPECT_TRUE(hp.Contains("ALIAS.txt"));
    EXPECT_EQ(AsString(hp.ReadFile("alias.TXT")), AsString(bare.ReadEntry(0)));
    EXPECT_FALSE(hp.Contains("nothing"));
    EXPECT_EQ(hp.ReadFile("nothing"), nullptr);
}

TEST_F(PackFixtures, ChecksumFailureOnlyWhileChecking) {
    THashFilePack hp(Dir() / "badsum.pack", true);
    ASSERT_FALSE(hp.Error());
    std::vector<std::string> failed;
    hp.SetOnChecksumError([&](const std::string& n) { failed.push_back(n); });
    EXPECT_TRUE(hp.ReadFile("script\\start.s"));  // checking starts off
    hp.SetChecksumCheck(true);
    EXPECT_EQ(hp.ReadFile("Script\\Start.s"), nullptr);
    EXPECT_EQ(failed, std::vector<std::string>{"script\\start.s"});
    EXPECT_TRUE(hp.Contains("script\\start.s"));
    EXPECT_TRUE(hp.ReadFile("system\\etc\\game.dat"));
    EXPECT_TRUE(hp.ReadFile("image\\bg.bin"));
    hp.SetChecksumCheck(false);
    EXPECT_TRUE(hp.ReadFile("script\\start.s"));
    EXPECT_EQ(failed.size(), 1u);
}

TEST_F(PackFixtures, InvalidPacksSetTheErrorFlag) {
    for (const char* file : {"badcheck.pack", "badmagic.pack"}) {
        TFilePack p(Dir() / file, true);
        EXPECT_TRUE(p.Error()) << file;
        EXPECT_FALSE(p.ErrorText().empty());
        EXPECT_EQ(p.Count(), 0u);
        EXPECT_EQ(p.ReadFile("system\\etc\\game.dat"), nullptr);
        THashFilePack hp(Dir() / file, true);
        EXPECT_TRUE(hp.Error()) << file;
    }
    // A ".hash" that is not an index marks the pack set as failed.
    std::filesystem::copy_file(Dir() / "v1.pack", Dir() / "broken.pack");
    ASSERT_TRUE(WriteFile(Dir() / "broken.hash", Bytes("not an index at all, not at all")));
    THashFilePack hp(Dir() / "broken.pack", true);
    EXPECT_TRUE(hp.Error());
    EXPECT_EQ(hp.ExternalIndex(), nullptr);
}

TEST(FilePack, WriterRoundTripsEveryVariant) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> entries = {
        {"System\\etc\\Game.dat", std::string(3000, 'g') + "end"},
        {"script\\start.s", std::string(reinterpret_cast<const char*>(Text(1, 20000).data()), 20000)},
        {"image\\noise.bin", std::string(reinterpret_cast<const char*>(Noise(2, 5000).data()), 5000)},
        {"empty", ""},
        {"\x83\x41\x83\x5c.txt", "kana"},
    };
    for (int version : {1, 2})
        for (bool compress : {false, true})
            for (bool scramble : {false, true})
                for (bool hash : {false, true}) {
                    const std::string path = dir / ("p" + std::to_string(version) + std::to_string(compress) +
                                                          std::to_string(scramble) + std::to_string(hash) + ".pack");
                    ASSERT_TRUE(WritePack(path, entries, {version, compress, scramble}, hash));
                    THashFilePack hp(path, false);
                    ASSERT_FALSE(hp.Error()) << path << ": " << hp.ErrorText();
                    EXPECT_EQ(hp.ExternalIndex() != nullptr, hash);
                    EXPECT_EQ(hp.Pack()->Version(), version);
                    hp.SetChecksumCheck(true);
                    for (const auto& [name, data] : entries) {
                        EXPECT_TRUE(hp.Contains(name)) << path << " " << name;
                        EXPECT_EQ(AsString(hp.ReadFile(name)), data) << path << " " << name;
                    }
                    const TPackEntryRecord& text = hp.Pack()->Entry(1);
                    EXPECT_EQ(text.compressed != 0, compress);
                    EXPECT_EQ(text.scrambled != 0, scramble);
                    EXPECT_EQ(text.unused, 20000u);
                    // Noise does not shrink: kept as it is even with compression on.
                    EXPECT_EQ(hp.Pack()->Entry(2).compressed, 0u);
                }
}

TEST(FilePack, WriterRefusesDuplicatesAndLeavesNothingBehind) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "out.pack", Bytes("previous pack")));
    {
        TFilePackWriter w;
        std::string err;
        ASSERT_TRUE(w.Begin(dir / "out.pack", &err));
        ASSERT_TRUE(w.Add("A\\B.txt", Bytes("1"), &err));
        EXPECT_FALSE(w.Add("a\\b.TXT", Bytes("2"), &err));
        EXPECT_NE(err.find("duplicate"), std::string::npos);
        EXPECT_FALSE(w.Add("", Bytes("3"), &err));
        // Abandoned without Finish.
    }
    EXPECT_EQ(ReadFile(dir / "out.pack"), Bytes("previous pack"));
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(FilePack, LargeEntriesAreNeverChecksummed) {
    TempDir dir;
    const std::string path = dir / "big.pack";
    ASSERT_TRUE(WritePack(path, {{"big.bin", std::string(0x1000000, 'z')}, {"small.bin", std::string(64, 's')}},
                          {1, false, false}));
    // Spoil both checksums in the directory.
    std::vector<uint8_t> file = ReadFile(path);
    const size_t dirOffset = file.size() - 28 + 20;
    size_t pos = file[dirOffset] | (file[dirOffset + 1] << 8) | (file[dirOffset + 2] << 16) | (file[dirOffset + 3] << 24);
    for (int i = 0; i < 2; ++i) {
        pos += 2 + (file[pos] | (file[pos + 1] << 8));
        file[pos + 24] ^= 1;
        pos += 28;
    }
    ASSERT_TRUE(WriteFile(path, file));
    TFilePack p(path, true);
    ASSERT_FALSE(p.Error()) << p.ErrorText();
    p.SetChecksumCheck(true);
    int failures = 0;
    p.OnChecksumError = [&](const std::string&) { ++failures; };
    auto big = p.ReadFile("big.bin");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->Size(), 0x1000000u);
    EXPECT_EQ(p.ReadFile("small.bin"), nullptr);
    EXPECT_EQ(failures, 1);
}

TEST(FilePack, OpensAnExplicitWindow) {
    TempDir dir;
    ASSERT_TRUE(WritePack(dir / "inner.pack", {{"a.txt", "alpha"}, {"b.txt", std::string(500, 'b')}}, {2, true, true}));
    std::vector<uint8_t> file = Noise(1, 1000);
    const auto inner = ReadFile(dir / "inner.pack");
    file.insert(file.end(), inner.begin(), inner.end());
    const auto after = Noise(2, 77);
    file.insert(file.end(), after.begin(), after.end());
    ASSERT_TRUE(WriteFile(dir / "outer.bin", file));

    TFilePack whole(dir / "outer.bin", true);
    EXPECT_TRUE(whole.Error());
    TFilePack window(dir / "outer.bin", true, TPackWindow{1000, 1000 + inner.size()});
    ASSERT_FALSE(window.Error()) << window.ErrorText();
    EXPECT_EQ(AsString(window.ReadFile("A.TXT")), "alpha");
    EXPECT_EQ(AsString(window.ReadFile("b.txt")), std::string(500, 'b'));
    TFilePack outside(dir / "outer.bin", true, TPackWindow{1000, file.size() + 1});
    EXPECT_TRUE(outside.Error());
}

TEST(FilePack, HostileFilesFailCleanly) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> entries = {
        {"one.txt", std::string(300, '1')}, {"two.s", std::string(reinterpret_cast<const char*>(Text(2, 2000).data()), 2000)}};
    for (int version : {1, 2}) {
        const std::string path = dir / ("good" + std::to_string(version) + ".pack");
        ASSERT_TRUE(WritePack(path, entries, {version, true, true}));
        const std::vector<uint8_t> good = ReadFile(path);
        const std::string bad = dir / "bad.pack";
        auto tryAll = [&](const std::vector<uint8_t>& bytes) {
            ASSERT_TRUE(WriteFile(bad, bytes));
            THashFilePack hp(bad, false);
            hp.SetChecksumCheck(false);
            for (const char* name : {"one.txt", "two.s"}) {
                try {
                    hp.Contains(name);
                    hp.ReadFile(name);
                } catch (const EZelError& e) {
                    EXPECT_EQ(std::string(e.what()).rfind(kReadFailed, 0), 0u);
                }
            }
        };
        for (size_t len = 0; len < good.size(); len += (len < 40 || good.size() - len < 1200) ? 1 : 97)
            tryAll(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(len)));
        uint32_t rng = 9;
        for (int round = 0; round < 400; ++round) {
            std::vector<uint8_t> b = good;
            for (int k = 0; k < 2; ++k) {
                rng = rng * 1664525u + 1013904223u;
                // Mostly the directory and trailer, where the sizes live.
                const size_t span = std::min<size_t>(b.size(), 1300);
                b[b.size() - 1 - (rng >> 8) % span] ^= static_cast<uint8_t>(1u << (rng & 7));
            }
            tryAll(b);
        }
    }
}

TEST(FilePack, EntryOutsideThePackIsAReadError) {
    TempDir dir;
    const std::string path = dir / "p.pack";
    ASSERT_TRUE(WritePack(path, {{"a.txt", "alpha"}}, {1, false, false}));
    std::vector<uint8_t> file = ReadFile(path);
    // The record follows the 2-byte length and 5-byte name at the directory offset 5.
    const size_t rec = 5 + 2 + 5;
    file[rec + 8] = 0xFF;  // stored size far past the end
    file[rec + 9] = 0xFF;
    ASSERT_TRUE(WriteFile(path, file));
    THashFilePack hp(path, true);
    ASSERT_FALSE(hp.Error()) << hp.ErrorText();
    EXPECT_TRUE(hp.Contains("a.txt"));
    try {
        hp.ReadFile("A.txt");
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), kReadFailed + "A.txt");
    }
}
