#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "StorageTestUtil.h"
#include "storage/PackFolder.h"
#include "storage/uFilePack.h"
#include "storage/uFilePackWriter.h"

using namespace zel;
using namespace zeltest;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Create(const std::string& pack, const std::string& folder, TPackFolderOptions o) {
    std::ostringstream out, err;
    const int rc = PackFolder(pack, folder, o, out, err);
    return {rc, out.str(), err.str()};
}

template <typename F>
ToolRun Call(F f) {
    std::ostringstream out, err;
    const int rc = f(out, err);
    return {rc, out.str(), err.str()};
}

std::string Entry(const std::string& pack, const std::string& name) {
    THashFilePack hp(pack, false);
    auto s = hp.ReadFile(name);
    return s ? s->ToString() : "<none>";
}

}  // namespace

TEST(PackFolder, ConvertsUtf8SourcesAndRoundTrips) {
    TempDir d;
    ASSERT_TRUE(WriteFile(d / "src/System/etc/Game.dat", Bytes("title=\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88\r\n")));
    ASSERT_TRUE(WriteFile(d / "src/script/Start.s", Bytes("\xef\xbb\xbf@@start\n\xe8\xa1\xa8\xe7\xa4\xba\n")));
    ASSERT_TRUE(WriteFile(d / "src/\xe7\x94\xbb\xe5\x83\x8f/bg.bin", Noise(1, 3000)));  // 画像/bg.bin: bytes kept
    ASSERT_TRUE(WriteFile(d / "src/notes.md", Bytes("\xe3\x83\x86")));                // not a text type: kept
    for (int version : {1, 2}) {
        const std::string pack = d / ("out/v" + std::to_string(version) + "/data0.pack");
        ToolRun r = Create(pack, d / "src/", {version, true, true, true, true});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("packed 4 files"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(d / ("out/v" + std::to_string(version) + "/data0.hash")));
        EXPECT_EQ(Entry(pack, "SYSTEM\\etc\\game.dat"), "title=\x83\x65\x83\x58\x83\x67\r\n");
        EXPECT_EQ(Entry(pack, "script\\start.s"), "@@start\n\x95\x5c\x8e\xa6\n");  // BOM dropped, 表示 in Shift-JIS
        const auto noise = Noise(1, 3000);
        EXPECT_EQ(Entry(pack, "\x89\xe6\x91\x9c\\BG.bin"), std::string(noise.begin(), noise.end()));
        EXPECT_EQ(Entry(pack, "notes.md"), "\xe3\x83\x86");

        r = Call([&](std::ostream& o, std::ostream& e) { return VerifyPack(pack, o, e); });
        EXPECT_EQ(r.status, 0) << r.err;
        r = Call([&](std::ostream& o, std::ostream& e) { return ListPack(pack, o, e); });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\xe7\x94\xbb\xe5\x83\x8f\\bg.bin"), std::string::npos) << r.out;  // names shown in UTF-8
        const std::string ex = d / ("ex" + std::to_string(version));
        r = Call([&](std::ostream& o, std::ostream& e) { return ExtractPack(pack, ex, o, e); });
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFile(ex + "/\xe7\x94\xbb\xe5\x83\x8f/bg.bin"), noise);
        EXPECT_EQ(ReadFile(ex + "/script/start.s"), Bytes("@@start\n\x95\x5c\x8e\xa6\n"));

        // A damaged ".hash" index makes the pack set unusable for every command.
        const std::string hashPath = d / ("out/v" + std::to_string(version) + "/data0.hash");
        auto hash = ReadFile(hashPath);
        hash.resize(hash.size() / 2);
        ASSERT_TRUE(WriteFile(hashPath, hash));
        const std::string ex2 = d / ("ex-damaged" + std::to_string(version));
        for (int command = 0; command < 3; ++command) {
            r = Call([&](std::ostream& o, std::ostream& e) {
                return command == 0 ? ListPack(pack, o, e) : command == 1 ? VerifyPack(pack, o, e)
                                                                          : ExtractPack(pack, ex2, o, e);
            });
            EXPECT_EQ(r.status, 1) << "command " << command;
            EXPECT_NE(r.err.find("data0.hash"), std::string::npos) << r.err;
        }
        EXPECT_FALSE(fs::exists(ex2));
    }
}

// What a game author does with a shipped pack: extract it, change nothing,
// pack it again. Japanese names come back as the same Shift-JIS game paths,
// and Shift-JIS scripts (which extract writes as they are) are not taken for
// UTF-8 unless asked.
TEST(PackFolder, ExtractThenCreateGivesEveryEntryBack) {
    TempDir d;
    const std::string pack = d / "data0.pack";
    const std::map<std::string, std::string> entries = {
        {"\x89\xe6\x91\x9c\\\x95\x5c\x8e\xa6.txt", "\x95\x5c\x8e\xa6"},  // 画像\表示.txt
        {"script\\\x83\x5c\x83\x74\x83\x67.s", "@@top\r\n\x83\x5c\x83\x74\x83\x67\r\n"},  // ソフト.s
        {"system\\etc\\game.dat", "title=\x83\x65\x83\x58\x83\x67\r\n"},
        {"bg.bin", std::string("\x00\xff\x5c\x81", 4)},
    };
    {
        TFilePackWriter w({2, true, true});
        ASSERT_TRUE(w.Begin(pack));
        for (const auto& [name, data] : entries) ASSERT_TRUE(w.Add(name, Bytes(data)));
        ASSERT_TRUE(w.Finish());
    }
    ToolRun r = Call([&](std::ostream& o, std::ostream& e) { return ExtractPack(pack, d / "src", o, e); });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(fs::path(d / "src") / "\xe7\x94\xbb\xe5\x83\x8f" / "\xe8\xa1\xa8\xe7\xa4\xba.txt"));
    const std::string again = d / "again/data0.pack";
    r = Create(again, d / "src", {2, true, false, true, false});
    ASSERT_EQ(r.status, 0) << r.err;
    THashFilePack hp(again, false);
    ASSERT_FALSE(hp.Error()) << hp.ErrorText();
    EXPECT_EQ(hp.Pack()->Count(), entries.size());
    for (const auto& [name, data] : entries) EXPECT_EQ(Entry(again, name), data) << name;
}

TEST(PackFolder, SaysWhatIsWrongWithAFileThatIsNoPack) {
    TempDir d;
    ASSERT_TRUE(WriteFile(d / "README.md", Bytes("# notes\n")));
    ASSERT_TRUE(WriteFile(d / "junk.pack", Noise(3, 2000)));
    fs::create_directories(fs::path(d / "folder.pack"));
    const struct {
        std::string file, says;
    } cases[] = {
        {"README.md", "README.md is not a pack archive"},
        {"missing.pack", "missing.pack does not exist"},
        {"folder.pack", "is a folder"},
        {"orphan.hash", "orphan.pack, the pack of"},
        {"junk.pack", "junk.pack"},
    };
    ASSERT_TRUE(WriteFile(d / "orphan.hash", Noise(4, 100)));
    for (const auto& c : cases) {
        const std::string path = d / c.file;
        for (int command = 0; command < 3; ++command) {
            const ToolRun r = Call([&](std::ostream& o, std::ostream& e) {
                return command == 0 ? ListPack(path, o, e) : command == 1 ? VerifyPack(path, o, e)
                                                                          : ExtractPack(path, d / "ex", o, e);
            });
            EXPECT_EQ(r.status, 1) << c.file;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << c.file << ": " << r.err;
            EXPECT_EQ(r.err.find("README.md does not exist"), std::string::npos) << r.err;
        }
    }
}

TEST(PackFolder, RefusesBadInputAndKeepsThePreviousPack) {
    TempDir d;
    const std::string pack = d / "data0.pack";
    ASSERT_TRUE(WriteFile(pack, Bytes("previous")));
    const TPackFolderOptions utf8{2, false, false, false, true};

    ASSERT_TRUE(WriteFile(d / "dup/Title.txt", Bytes("1")));
    ASSERT_TRUE(WriteFile(d / "dup/title.TXT", Bytes("2")));
    ToolRun r = Create(pack, d / "dup", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Title.txt"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("title.TXT"), std::string::npos) << r.err;

    // 😀 on line 3 has no Shift-JIS form.
    ASSERT_TRUE(WriteFile(d / "emoji/script/a.s", Bytes("line one\r\nline two\r\nsmile \xf0\x9f\x98\x80\r\n")));
    r = Create(pack, d / "emoji", utf8);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a.s:3: U+1F600"), std::string::npos) << r.err;
    // The same bytes are fine without conversion.
    ASSERT_EQ(Create(d / "raw.pack", d / "emoji", {}).status, 0);

    // A name is converted with or without text conversion.
    ASSERT_TRUE(WriteFile(d / "badname/\xf0\x9f\x98\x80.txt", Bytes("x")));
    for (const TPackFolderOptions& o : {utf8, TPackFolderOptions{}}) {
        r = Create(pack, d / "badname", o);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("U+1F600"), std::string::npos) << r.err;
    }

    r = Create(pack, d / "missing", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a folder"), std::string::npos);
    EXPECT_EQ(Create(pack, d / "dup", {3, false, false, false, false}).status, 1);

    EXPECT_EQ(ReadFile(pack), Bytes("previous"));
    for (const auto& e : fs::directory_iterator(d.Path()))
        EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(PackFolder, LeavesOutItselfAndAStaleIndex) {
    TempDir d;
    ASSERT_TRUE(WriteFile(d / "game/a.txt", Bytes("a")));
    const std::string pack = d / "game/data0.pack";
    ASSERT_EQ(Create(pack, d / "game", {2, false, false, true, false}).status, 0);
    ASSERT_TRUE(fs::exists(d / "game/data0.hash"));
    // Packing again into the same folder: neither the old pack nor its index become entries.
    ASSERT_TRUE(WriteFile(d / "game/b.txt", Bytes("b")));
    ToolRun r = Create(pack, d / "game", {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("packed 2 files"), std::string::npos) << r.out;
    // The old index would send "b.txt" nowhere: it is gone.
    EXPECT_FALSE(fs::exists(d / "game/data0.hash"));
    EXPECT_EQ(Entry(pack, "b.txt"), "b");
}

TEST(PackFolder, VerifyAndExtractReportDamage) {
    TempDir d;
    const std::string pack = d / "p.pack";
    {
        TFilePackWriter w({1, false, false});
        ASSERT_TRUE(w.Begin(pack));
        ASSERT_TRUE(w.Add("good.txt", Bytes("good bytes here")));
        ASSERT_TRUE(w.Add("..\\escape.txt", Bytes("outside")));
        ASSERT_TRUE(w.Add("damaged.txt", Bytes("0123456789abcdef")));
        ASSERT_TRUE(w.Add(std::string("nul\0.txt", 8), Bytes("x")));
        ASSERT_TRUE(w.Finish());
    }
    auto file = ReadFile(pack);
    file[15 + 7 + 3] ^= 1;  // inside damaged.txt's stored bytes
    ASSERT_TRUE(WriteFile(pack, file));

    ToolRun r = Call([&](std::ostream& o, std::ostream& e) { return VerifyPack(pack, o, e); });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("damaged.txt: checksum mismatch"), std::string::npos) << r.err;

    r = Call([&](std::ostream& o, std::ostream& e) { return ExtractPack(pack, d / "ex", o, e); });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("would leave the folder"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("damaged.txt: checksum mismatch"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(d / "ex/good.txt"), Bytes("good bytes here"));
    EXPECT_FALSE(fs::exists(d / "escape.txt"));
    EXPECT_FALSE(fs::exists(d / "ex/damaged.txt"));
    EXPECT_FALSE(fs::exists(d / "ex/nul"));

    r = Call([&](std::ostream& o, std::ostream& e) { return VerifyPack(d / "none.pack", o, e); });
    EXPECT_EQ(r.status, 1);
    ASSERT_TRUE(WriteFile(d / "junk.pack", Noise(3, 2000)));
    r = Call([&](std::ostream& o, std::ostream& e) { return ListPack(d / "junk.pack", o, e); });
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
}

TEST(PackFolder, CommandLine) {
    const std::string tool = std::string(ZEL_BINARY_DIR) + "/zelpack";
    ASSERT_TRUE(fs::exists(tool)) << "zelpack is not built: " << tool;
    TempDir d;
    ASSERT_TRUE(WriteFile(d / "src/a.txt", Bytes("a")));
    const auto run = [&](const std::string& args) {
        const int rc = std::system((tool + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    EXPECT_EQ(run("create '" + d / "o.pack" + "' '" + d / "src" + "' --version 1 --hash --compress"), 0);
    EXPECT_EQ(run("verify '" + d / "o.pack" + "'"), 0);
    EXPECT_EQ(run("list '" + d / "o.pack" + "'"), 0);
    EXPECT_NE(run(""), 0);
    EXPECT_NE(run("create '" + d / "o.pack" + "'"), 0);
    EXPECT_NE(run("create '" + d / "o.pack" + "' '" + d / "src" + "' --version 7"), 0);
    EXPECT_NE(run("verify '" + d / "missing.pack" + "'"), 0);
}
