// The object manager end to end: tests/games/objects declares one object of
// every built-in kind, swaps two images and frees them, and must run without
// an error; tests/games/objectkinds sends an unknown word to objects of
// sixteen kinds and every answer names the kind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"
#include "base/Sjis.h"

namespace fs = std::filesystem;

namespace {

struct GameRun {
    int status = -1;
    std::string err;                                          // UTF-8
    std::map<std::string, std::vector<std::string>> vars;     // name -> type word, count, values
};

GameRun Play(const std::string& game, int frames) {
    GameRun r;
    const fs::path work = fs::temp_directory_path() / ("zel_objects_" + std::to_string(::getpid()) + "_" + game);
    fs::remove_all(work);
    fs::create_directories(work / "root" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / game;
    EXPECT_EQ(zel::e2e::Shell(std::string(ZELPACK_BIN) + " create " + (work / "root" / "GameData" / "data0.pack").string() +
                              " " + src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    const fs::path dump = work / "dump.txt", err = work / "err.txt";
    r.status = zel::e2e::Shell(std::string(ZEL_BIN) + " --headless --frames " + std::to_string(frames) +
                               " --dump-vars " + dump.string() + " " + (work / "root").string() + " >/dev/null 2>" +
                               err.string());
    zel::ReadWholeFile(err.string(), r.err);
    std::string text;
    EXPECT_TRUE(zel::ReadWholeFile(dump.string(), text));
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(zel::SjisToUtf8(line));
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        if (f.size() >= 4) r.vars[f[1]] = std::vector<std::string>(f.begin() + 2, f.end());
    }
    fs::remove_all(work);
    return r;
}

TEST(ObjectsGame, EveryKindDeclaredSwappedAndFreedWithoutError) {
    const GameRun r = Play("objects", 3);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.vars.count("done"), 1u);
    EXPECT_EQ(r.vars.at("done")[2], "1");
    // Each variable owns the object of its kind under its element name.
    const std::map<std::string, std::string> kinds = {{"k1", "sys"}, {"k6", "img"}, {"k27", "list"},
                                                      {"k34", ""},   {"k35", "ext"}, {"k14", "cam"}};
    for (const auto& [var, word] : kinds) {
        if (word.empty()) {
            EXPECT_EQ(r.vars.count(var), 0u);  // 34 has no word of its own
            continue;
        }
        ASSERT_EQ(r.vars.count(var), 1u) << var;
        EXPECT_EQ(r.vars.at(var)[0], word);
        EXPECT_EQ(r.vars.at(var)[2], "0_" + var + ",0");
    }
    // The swap kept the names with their variables; both images are gone.
    EXPECT_EQ(r.vars.at("leftname")[2], "0_left,0");
    EXPECT_EQ(r.vars.at("rightname")[2], "0_right,0");
    EXPECT_EQ(r.vars.count("left"), 0u);
}

TEST(ObjectsGame, AnUnknownWordIsAnsweredWithEachObjectsKind) {
    const GameRun r = Play("objectkinds", 3);
    EXPECT_EQ(r.status, 1);
    // Whether the dispatcher refuses the word or the kind says its payload is
    // not in this build, the answer names the object's kind.
    const std::map<int, std::string> kinds = {
        {1, "sys"},   {4, "snd"},   {6, "img"},   {7, "msg"},   {9, "bar"},   {10, "eff"},
        {14, "cam"},  {16, "path"}, {17, "show"}, {18, "simg"}, {20, "file"}, {23, "slog"},
        {27, "list"}, {31, "skey"}, {33, "dlgs"}, {35, "ext"}};
    for (const auto& [no, word] : kinds) {
        const std::string want = "0_k" + std::to_string(no) + ",0(" + word + ")";
        EXPECT_NE(r.err.find(want), std::string::npos) << want << "\n" << r.err;
    }
    EXPECT_NE(r.err.find("未定義の命令：0_k1,0(sys).\\zz,1"), std::string::npos) << r.err;
}

}  // namespace
