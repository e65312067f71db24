// A headless play-through saves, plays on and loads the save again: its dump
// and screen at the end equal those of a run stopped just after the save.
// tests/games/save is packed with zelpack and run twice in fresh game roots.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

struct GameRun {
    int status = -1;
    std::string err, dump, png;
};

GameRun Play(const fs::path& work, const std::string& tag, int frames) {
    const fs::path root = work / tag;
    fs::create_directories(root / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "save";
    GameRun r;
    if (Shell(std::string(ZELPACK_BIN) + " create " + (root / "GameData" / "data0.pack").string() + " " + src.string() +
              " --sjis-from-utf8 >/dev/null") != 0)
        return r;
    const fs::path err = work / (tag + ".err"), dump = work / (tag + ".dump"), shot = work / (tag + ".png");
    r.status = Shell(std::string(ZEL_BIN) + " --headless --frames " + std::to_string(frames) + " --step 100" +
                     " --screenshot " + std::to_string(frames) + ":" + shot.string() + " --dump-vars " +
                     dump.string() + " " + root.string() + " >/dev/null 2>" + err.string());
    zel::ReadWholeFile(err.string(), r.err);
    zel::ReadWholeFile(dump.string(), r.dump);
    zel::ReadWholeFile(shot.string(), r.png);
    return r;
}

// The dump without the system store, which outlives any one game.
std::string GameVariables(const std::string& dump) {
    std::istringstream in(dump);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("1\t", 0) != 0) out += line + "\n";
    return out;
}

TEST(SaveGame, LoadingBringsBackTheMomentOfTheSave) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_savegame_" + std::to_string(::getpid()));
    fs::remove_all(work);
    // Saved at frame 4; the game stays still until frame 14.
    const GameRun atSave = Play(work, "at_save", 8);
    ASSERT_EQ(atSave.status, 0) << atSave.err;
    ASSERT_TRUE(fs::exists(work / "at_save" / "SaveData" / "slot.svd"));
    // Plays on from frame 14 (red, camera back, other values) and loads at about frame 19.
    const GameRun loaded = Play(work, "loaded", 40);
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_NE(loaded.dump.find("1\tloaded\tint\t1\t1\n"), std::string::npos) << loaded.dump;

    EXPECT_NE(atSave.dump.find("2\ttxt\tstr\t1\tbefore the save\n"), std::string::npos) << atSave.dump;
    EXPECT_EQ(GameVariables(loaded.dump), GameVariables(atSave.dump));
    Picture a, b;
    std::string why;
    ASSERT_TRUE(DecodeRgbPng(atSave.png, a, why)) << why;
    ASSERT_TRUE(DecodeRgbPng(loaded.png, b, why)) << why;
    EXPECT_EQ(a.At(160, 120), 0x336699u);
    EXPECT_TRUE(a.pixels == b.pixels) << std::hex << b.At(160, 120);
    // Saving wrote the system data and its copy beside the save.
    EXPECT_TRUE(fs::exists(work / "loaded" / "SaveData" / "SystemData.dat"));
    EXPECT_TRUE(fs::exists(work / "loaded" / "SaveData" / "SystemData.dat.bak"));
    fs::remove_all(work);
}

}  // namespace
