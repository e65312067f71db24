// Start-up of the zel program on small game folders made here.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>

#include "base/AtomicFile.h"
#include "base/Sjis.h"
#include "storage/uFilePackWriter.h"

using namespace zel;
namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status = -1;
    std::string err;
};

RunResult RunZel(const std::string& args) {
    const fs::path errFile = fs::temp_directory_path() / ("zel_e2e_err_" + std::to_string(::getpid()));
    const std::string cmd = std::string(ZEL_BIN) + " " + args + " 2>" + errFile.string() + " >/dev/null";
    const int raw = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    ReadWholeFile(errFile.string(), r.err);
    fs::remove(errFile);
    return r;
}

// A game root with one pack holding the given files (names as game paths, contents UTF-8 → Shift-JIS).
fs::path MakeGame(const std::string& tag, const std::vector<std::pair<std::string, std::string>>& files) {
    const fs::path root = fs::temp_directory_path() / ("zel_e2e_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "GameData");
    TFilePackWriter w;
    std::string err;
    EXPECT_TRUE(w.Begin((root / "GameData" / "data0.pack").string(), &err)) << err;
    for (const auto& [name, text] : files) {
        const std::string sj = Sj(text);
        EXPECT_TRUE(w.Add(name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(sj.data()), sj.size()), &err));
    }
    EXPECT_TRUE(w.Finish(&err)) << err;
    return root;
}

}  // namespace

TEST(Startup, MissingGameFolderOrDataExitsTwo) {
    const RunResult r = RunZel("--headless --frames 10 /nonexistent-zel-game");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("起動に必要なデータがみつからないため起動できません。"), std::string::npos) << r.err;
}

TEST(Startup, MissingSettingsFileExitsTwo) {
    const fs::path root = MakeGame("nosettings", {{"system\\etc\\message.txt", "OK=はい\r\n"}, {"startup.s", "@@top\r\n"}});
    const RunResult r = RunZel("--headless --frames 5 " + root.string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("設定に必要なデータがみつからないため起動できません。"), std::string::npos) << r.err;
    fs::remove_all(root);
}

TEST(Startup, SettingsStepsRunAndWriteTheUserSettings) {
    const fs::path root = MakeGame("settings", {{"system\\etc\\game.dat", "GameTitle=テスト\r\nScreenWidth=320\r\n"
                                                                           "ScreenHeight=240\r\nConfigStartupSkip=TRUE\r\n"},
                                                 {"system\\etc\\config.txt", "FPSLimit=30\r\n"},
                                                 {"system\\etc\\message.txt", "OK=はい\r\n"},
                                                 {"startup.s", "@@top\r\n"}});
    fs::create_directories(root / "GameData" / "System");
    ASSERT_TRUE(AtomicWriteFile((root / "GameData" / "System" / "config.txt").string(), "FPSLimit=20\r\nMyKey=1\r\n"));
    RunZel("--headless --frames 5 " + root.string());
    // The user settings were read and written back with the unknown line kept.
    std::string cfg;
    ASSERT_TRUE(ReadWholeFile((root / "GameData" / "System" / "config.txt").string(), cfg));
    EXPECT_NE(cfg.find("FPSLimit=20\r\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("MyKey=1\r\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("BGMVolume=255\r\n"), std::string::npos) << cfg;
    EXPECT_TRUE(fs::exists(root / "GameData" / "System" / "config.txt.bak"));
    fs::remove_all(root);
}

// A game an author writes in UTF-8 and packs with zelpack starts through its settings
// steps; the same game without Game.dat stops with the missing-settings message.
TEST(Startup, ZelpackGameStartsAndNeedsItsSettingsFile) {
    ASSERT_FALSE(std::string(ZELPACK_BIN).empty()) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_e2e_zelpack_" + std::to_string(::getpid()));
    fs::remove_all(work);
    const fs::path src = work / "src", root = work / "game";
    fs::create_directories(src / "System" / "Etc");
    fs::create_directories(root / "GameData");
    ASSERT_TRUE(AtomicWriteFile((src / "System" / "Etc" / "Game.dat").string(),
                                "GameTitle=小さなゲーム\r\nScreenWidth=320\r\nScreenHeight=240\r\n"
                                "ConfigStartupSkip=TRUE\r\n"));
    ASSERT_TRUE(AtomicWriteFile((src / "System" / "Etc" / "Message.txt").string(), "OK=はい\r\n"));
    ASSERT_TRUE(AtomicWriteFile((src / "StartUp.s").string(), "@@reset\r\n@@top\r\n\\wait,1000\r\n"));
    const fs::path pack = root / "GameData" / "data0.pack";
    const auto packGame = [&] {
        const std::string cmd = std::string(ZELPACK_BIN) + " create " + pack.string() + " " + src.string() +
                                " --sjis-from-utf8 >/dev/null";
        return std::system(cmd.c_str());
    };

    ASSERT_EQ(packGame(), 0);
    RunResult r = RunZel("--headless --frames 5 " + root.string());
    EXPECT_EQ(r.status, 0) << r.err;
    // The settings steps ran: the user settings file now exists beside the packs.
    EXPECT_TRUE(fs::exists(root / "GameData" / "System" / "config.txt")) << r.err;

    fs::remove(src / "System" / "Etc" / "Game.dat");
    fs::remove(pack);
    ASSERT_EQ(packGame(), 0);
    r = RunZel("--headless --frames 5 " + root.string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("設定に必要なデータがみつからないため起動できません。"), std::string::npos) << r.err;
    fs::remove_all(work);
}
