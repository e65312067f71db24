#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <span>

#include "base/MemStream.h"
#include "base/AtomicFile.h"
#include "storage/GameStorage.h"
#include "storage/PackKeys.h"
#include "storage/uHashTable.h"
#include "storage/ZelFileIO.h"
#include "storage/uFilePackWriter.h"

using namespace zel;
namespace fs = std::filesystem;

TEST(NormalizeGamePath, Table) {
    struct Case { const char* in; const char* out; } cases[] = {
        {"/System/etc/../etc/Message.dat", "System\\etc\\Message.dat"},
        {"a//b", "a\\\\b"},        // two slashes keep two separators
        {"a\\\\b", "a\\b"},        // two backslashes give one
        {"a/\\b", "a\\b"},
        {"\\\\lead", "lead"},
        {"..\\x", "..\\x"},        // a leading ".." stays
        {"a\\b\\..\\..\\c", "c"},
        {"a\\\"q\\..\"\\..\\b", "a\\b"},  // the quoted ".." is no component of its own
        {"\x95\x5C\\x", "\x95\x5C\\x"},  // 表: its 0x5C trail byte is no separator
        {"dir\\", "dir\\"},
    };
    for (auto c : cases) EXPECT_EQ(NormalizeGamePath(c.in), c.out) << c.in;
}

namespace {

struct Game {
    fs::path root;
    Game() {
        root = fs::temp_directory_path() / ("zelgame" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(root / "GameData");
    }
    ~Game() { fs::remove_all(root); }
    void Pack(int n, std::vector<std::pair<std::string, std::string>> files) {
        TFilePackWriter w;
        std::string err;
        ASSERT_TRUE(w.Begin((root / "GameData" / ("data" + std::to_string(n) + ".pack")).string(), &err)) << err;
        for (auto& [name, bytes] : files)
            ASSERT_TRUE(w.Add(name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), &err)) << err;
        ASSERT_TRUE(w.Finish(&err)) << err;
    }
    void Loose(const std::string& rel, const std::string& bytes) {
        fs::create_directories((root / rel).parent_path());
        std::ofstream(root / rel, std::ios::binary) << bytes;
    }
    static inline int counter = 0;
};

std::string Read(TGameStorage& s, const std::string& path) {
    auto m = s.OpenGameFile(path);
    return m ? m->ToString() : std::string("<none>");
}

}  // namespace

TEST(GameStorage, SearchOrderAndPseudoFiles) {
    Game g;
    g.Pack(0, {{"system\\etc\\game.dat", "pack0"}, {"a.txt", "pack0 a"}});
    g.Pack(3, {{"system\\etc\\game.dat", "pack3"}});
    g.Loose("a.txt", "loose a");
    g.Loose("b.txt", "loose b");
    g.Loose("Script.s", "loose script");
    TGameStorage s(g.root.string());
    ASSERT_TRUE(s.OpenGamePacks("GameData"));
    EXPECT_TRUE(s.IsPackLoaded(0));
    EXPECT_TRUE(s.IsPackLoaded(3));
    EXPECT_FALSE(s.IsPackLoaded(1));
    EXPECT_FALSE(s.IsPackLoaded(16));
    EXPECT_FALSE(s.IsPackLoaded(-1));
    EXPECT_EQ(Read(s, "System\\etc\\Game.dat"), "pack3");  // pack 3 overrides pack 0
    EXPECT_EQ(Read(s, "A.TXT"), "pack0 a");                // a pack entry beats a loose file
    EXPECT_EQ(Read(s, "b.txt"), "loose b");                // loose files before the hooks exist
    EXPECT_EQ(Read(s, "script.s"), "<none>");             // but never scripts
    EXPECT_EQ(Read(s, "../outside.txt"), "<none>");
    s.SetPseudoFileHooks([](const std::string& n) { return n.find("$$$") != std::string::npos; },
                         [](const std::string& n) -> std::unique_ptr<TMemoryStream> {
                             if (n.find("$$$") == std::string::npos) return nullptr;
                             return std::make_unique<TMemoryStream>(std::string("BM"));
                         });
    EXPECT_EQ(s.ResolveGameFile("b.txt"), "b.txt");  // still resolves ...
    EXPECT_EQ(Read(s, "b.txt"), "<none>");           // ... but no longer opens
    EXPECT_EQ(Read(s, "$$$gamethreadimage,0.bmp"), "BM");
}

TEST(GameStorage, NoPacksOrABadPackFailsToOpen) {
    {
        Game g;
        TGameStorage s(g.root.string());
        EXPECT_FALSE(s.OpenGamePacks("GameData"));
    }
    {
        Game g;
        g.Pack(0, {{"x.txt", "x"}});
        g.Loose("GameData/data1.pack", "this is not a pack at all");
        TGameStorage s(g.root.string());
        EXPECT_FALSE(s.OpenGamePacks("GameData"));
        // All or nothing: the good pack 0 is not left open either.
        EXPECT_FALSE(s.IsPackLoaded(0));
        EXPECT_EQ(Read(s, "x.txt"), "<none>");
        EXPECT_EQ(s.DataFolder(), "");
    }
}

// The index beside a pack is found whatever the case of its name, as every
// game file is: an index ignored would leave the pack's entries in the order
// of its internal index, which the game's own index may override.
TEST(GameStorage, FindsTheHashIndexWithoutRegardToCase) {
    Game g;
    g.Pack(0, {{"a.txt", "first"}, {"b.txt", "second"}});
    // An index that sends a.txt to entry 1: proof that it is the one used.
    {
        THashTable t(kHashFileBuckets);
        const uint8_t one[2] = {1, 0}, zero[2] = {0, 0};
        ASSERT_TRUE(t.Put("a.txt", one, 2));
        ASSERT_TRUE(t.Put("b.txt", zero, 2));
        TMemoryStream image;
        ASSERT_TRUE(t.SaveToStream(image));
        ASSERT_TRUE(AtomicWriteFile((g.root / "GameData" / "DATA0.HASH").string(), image.View()));
    }
    TGameStorage s(g.root.string());
    ASSERT_TRUE(s.OpenGamePacks("GameData"));
    EXPECT_EQ(Read(s, "a.txt"), "second");
    EXPECT_EQ(Read(s, "b.txt"), "first");
}

TEST(FileIOLib, NameValueLinesAndState) {
    Game g;
    g.Pack(0, {{"data\\list.txt", "a=1\r\nb=two\nc\rb=3"}});
    TGameStorage s(g.root.string());
    ASSERT_TRUE(s.OpenGamePacks("GameData"));
    TFileIOLib f(s);
    EXPECT_FALSE(f.Load("data\\missing.txt"));
    ASSERT_TRUE(f.Load("Data/list.txt"));
    EXPECT_EQ(f.FileName(), "Data\\list.txt");
    EXPECT_EQ(f.Value("b"), "two");
    EXPECT_EQ(f.Value("z"), "");
    EXPECT_EQ(f.Line(2), "c");
    EXPECT_EQ(f.Line(99), "");
    TMemoryStream st;
    f.SaveState(st);
    TFileIOLib g2(s);
    st.Rewind();
    g2.RestoreState(st);
    EXPECT_EQ(g2.Value("a"), "1");
}
