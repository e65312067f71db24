// Small games from tests/games/NAME, packed with zelpack and run headless;
// the checks read the variable dump, the error list and the exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Sjis.h"

namespace fs = std::filesystem;

namespace {

struct GameRun {
    int status = -1;
    std::string out, err;  // UTF-8
    // Variable name -> {scope, type word, count, values...} (UTF-8, unescaped as written).
    std::map<std::string, std::vector<std::string>> vars;

    std::string Value(const std::string& name, size_t index = 0) const {
        const auto it = vars.find(name);
        if (it == vars.end() || it->second.size() <= 3 + index) return "<missing " + name + ">";
        return it->second[3 + index];
    }
    std::string Scope(const std::string& name) const {
        const auto it = vars.find(name);
        return it == vars.end() ? "" : it->second[0];
    }
    size_t Count(const std::string& needle) const {
        size_t n = 0;
        for (size_t at = err.find(needle); at != std::string::npos; at = err.find(needle, at + 1)) ++n;
        return n;
    }
};

int Shell(const std::string& cmd) {
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class ScriptGames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
        work_ = fs::temp_directory_path() /
                ("zel_games_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(work_);
        fs::create_directories(work_);
    }
    void TearDown() override { fs::remove_all(work_); }

    // Packs tests/games/NAME into a fresh game root and runs it for `frames` frames.
    GameRun Run(const std::string& name, int frames, const std::string& extra = {}) {
        GameRun r;
        const fs::path root = work_ / name;
        fs::remove_all(root);
        fs::create_directories(root / "GameData");
        const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / name;
        const int packed = Shell(std::string(ZELPACK_BIN) + " create " + (root / "GameData" / "data0.pack").string() +
                                 " " + src.string() + " --sjis-from-utf8 >/dev/null");
        EXPECT_EQ(packed, 0) << "zelpack failed for " << name;
        const fs::path dump = work_ / (name + ".dump"), out = work_ / "out.txt", err = work_ / "err.txt";
        fs::remove(dump);
        r.status = Shell(std::string(ZEL_BIN) + " --headless --frames " + std::to_string(frames) + " --dump-vars " +
                         dump.string() + " " + extra + " " + root.string() + " >" + out.string() + " 2>" + err.string());
        zel::ReadWholeFile(out.string(), r.out);
        zel::ReadWholeFile(err.string(), r.err);
        std::string text;
        EXPECT_TRUE(zel::ReadWholeFile(dump.string(), text)) << "no dump for " << name << "\n" << r.err;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields;
            size_t start = 0;
            for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                fields.push_back(zel::SjisToUtf8(line.substr(start, tab - start)));
            fields.push_back(zel::SjisToUtf8(line.substr(start)));
            if (fields.size() < 4) {
                ADD_FAILURE() << "short dump line: " << line;
                continue;
            }
            const std::string varName = fields[1];
            fields.erase(fields.begin() + 1);
            r.vars[varName] = fields;
        }
        return r;
    }

    fs::path work_;
};

TEST_F(ScriptGames, StartUpComputesValuesSeenInTheDump) {
    const GameRun r = Run("compute", 3);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.Value("answer"), "42");
    EXPECT_EQ(r.Value("sum"), "55");
    EXPECT_EQ(r.Value("greeting"), "こんにちは、世界");
    EXPECT_EQ(r.Value("savepath"), "save\\\\slot1");  // a backslash is written escaped
    EXPECT_EQ(r.Value("quoted"), "say \"hi\"");
    EXPECT_EQ(r.Scope("plays"), "1");
    EXPECT_EQ(r.Value("plays"), "1");
    EXPECT_EQ(r.Scope("answer"), "2");
    EXPECT_EQ(r.vars.at("answer")[1], "int");
    // The engine's own variables are there too, in declaration order before the game's.
    EXPECT_EQ(r.Value("snd", 15), "0_snd,15");
    EXPECT_EQ(r.Value("_lkMinimize"), "2048");
    EXPECT_EQ(r.Value("SelfFileName"), "startup.s");
}

TEST_F(ScriptGames, ControlFlowCallsAndStringFunctions) {
    const GameRun r = Run("control", 2);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::map<std::string, std::string> want = {
        {"if0", "2"},   {"if1", "11"},   {"if2", "0"},    {"n", "5"},     {"w", "3"},     {"e", "4"},
        {"odd", "5"},   {"zero", "0"},   {"brkif", "2"},  {"arms", "11"}, {"pc", "3"},    {"pi0", "1"},
        {"pi1", "0"},   {"ps0", "1"},    {"ps2", "a b"},  {"depth", "3"}, {"wrong", "0"}, {"back", "1"},
        {"cpy", "字a"}, {"len", "4"},    {"pos", "4"},    {"hpos", "6"},  {"parts", "20"}, {"last", "15"},
    };
    for (const auto& [name, value] : want) EXPECT_EQ(r.Value(name), value) << name;
}

TEST_F(ScriptGames, TheSystemScriptRunsOnACustomRequestAndHandsBack) {
    const GameRun r = Run("system", 5);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Value("fromsys"), "7");
    EXPECT_EQ(r.Value("resumed"), "8");
}

TEST_F(ScriptGames, AScriptErrorEndsWithStatusOneAndThePosition) {
    const GameRun r = Run("error", 3);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("[ERROR]:計算に失敗しました：undeclared=2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[位置]:startup.s @@top(7行,"), std::string::npos) << r.err;
    // The error screen stops the script where the error happened.
    EXPECT_EQ(r.Value("before"), "1");
    EXPECT_EQ(r.Value("after"), "0");
}

TEST_F(ScriptGames, RunawayRecursionIsReportedOnce) {
    const GameRun r = Run("nested", 4);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.Count("サブルーチンスタックが限界値を超えました。"), 1u) << r.err;
}

TEST_F(ScriptGames, AnEndlessLoopYieldsEveryFrame) {
    EXPECT_EQ(Run("yield", 1).Value("n"), "1023");
    const GameRun r = Run("yield", 3);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.Value("n"), "3071");
}

TEST_F(ScriptGames, TraceListsTheSegments) {
    const GameRun r = Run("compute", 1, "--trace");
    EXPECT_NE(r.out.find("game\tstartup.s @@top(8行,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\\cal,answer=6*7"), std::string::npos) << r.out;
}

}  // namespace

namespace {

TEST_F(ScriptGames, TheMessageLogKeepsPagesAndComesBackFromASave) {
    const GameRun r = Run("msglog", 8);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::map<std::string, std::string> want = {
        // Five pages; a page of nothing but a line break is not logged.
        {"count", "5"},         {"name0", "Ren"},       {"text0", "Five"},      {"vol", "255"},
        {"name4", "Aoi"},
        {"evalText", "ab"},     {"gain", "3"},          {"rawText", "x+y"},     {"count2", "7"},
        {"slabel", "5"},        {"sabsent", "-1"},      {"slk", "1"},           {"fcount", "7"},
        {"afterClear", "0"},    {"afterCount", "7"},    {"afterName", "\"Mio\""}, {"afterText", "x+y"},
    };
    for (const auto& [name, value] : want) EXPECT_EQ(r.Value(name), value) << name;
    // The first page carries the codes the window's set-up typed; its
    // trailing line breaks are gone.
    const std::string first = r.Value("text4");
    EXPECT_TRUE(first.ends_with("]One")) << first;
}

}  // namespace
