// The system menu and the player's text dialog end to end: tests/games/menu
// asks for a name, which the headless run types (a "text" input line), then
// a right click opens the menu over the frozen screen and a click on its
// "save" entry asks for the save screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

constexpr uint32_t kBackground = 0x336699, kEntry = 0xC82828, kEntryHovered = 0x28C828;

TEST(MenuGame, ARightClickOpensTheMenuAndSaveAsksForTheSaveScreen) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_menu_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "menu";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    // The right button goes up before frame 11, whose script frame asks for
    // the menu; it is open from frame 12 until the click of frame 20 (seen in
    // frame 21) gives the save result.
    const int frames[] = {8, 15, 25};
    std::string args;
    for (int f : frames) args += " --screenshot " + std::to_string(f) + ":" + (work / ("s" + std::to_string(f) + ".png")).string();
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 30 --step 100 --input " +
                             (src / "play.txt").string() + args + " --dump-vars " + dump.string() + " " +
                             (work / "game").string() + " >/dev/null 2>" + err.string());
    std::string errText, vars;
    zel::ReadWholeFile(err.string(), errText);
    zel::ReadWholeFile(dump.string(), vars);
    // The save entry opens the save screen (this game has no layout for it).
    EXPECT_EQ(status, 0) << errText;
    EXPECT_EQ(errText.find("[ERROR]"), std::string::npos) << errText;

    // The typed name reached the script as Shift-JIS (太郎 = 91 BE 98 59).
    EXPECT_NE(vars.find("2\taccepted\tint\t1\t1\n"), std::string::npos) << vars;
    EXPECT_NE(vars.find("2\tname\tstr\t1\t\x91\xBE\x98\x59\n"), std::string::npos) << vars;

    Picture shot[3];
    for (int i = 0; i < 3; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / ("s" + std::to_string(frames[i]) + ".png")).string(), png));
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << why;
        ASSERT_EQ(shot[i].width, 320);
    }
    // Before: the game's screen, no entry. Open: the frozen screen under the
    // blend colour (black at half), the entry under the pointer hovered, and
    // nothing of it outside its 80 x 30 rectangle at (120, 100). After: the
    // game's screen again.
    const uint32_t dimmed = 0x1A334C;
    EXPECT_TRUE(Near(shot[0].At(10, 10), kBackground, 2)) << std::hex << shot[0].At(10, 10);
    EXPECT_TRUE(Near(shot[0].At(160, 115), kBackground, 2)) << std::hex << shot[0].At(160, 115);
    EXPECT_TRUE(Near(shot[1].At(10, 10), dimmed, 3)) << std::hex << shot[1].At(10, 10);
    EXPECT_TRUE(Near(shot[1].At(121, 101), kEntryHovered, 2)) << std::hex << shot[1].At(121, 101);
    EXPECT_TRUE(Near(shot[1].At(198, 128), kEntryHovered, 2)) << std::hex << shot[1].At(198, 128);
    EXPECT_TRUE(Near(shot[1].At(119, 101), dimmed, 3)) << std::hex << shot[1].At(119, 101);
    EXPECT_TRUE(Near(shot[1].At(201, 131), dimmed, 3)) << std::hex << shot[1].At(201, 131);
    EXPECT_FALSE(Near(shot[1].At(160, 115), kEntry, 2)) << "not hovered";
    EXPECT_TRUE(Near(shot[2].At(10, 10), kBackground, 2)) << std::hex << shot[2].At(10, 10);
    EXPECT_TRUE(Near(shot[2].At(160, 115), kBackground, 2)) << std::hex << shot[2].At(160, 115);
    fs::remove_all(work);
}

}  // namespace
