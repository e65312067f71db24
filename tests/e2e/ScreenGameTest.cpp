// A game that paints through its screen: tests/games/screen is packed with
// zelpack and run headless; the screenshots must hold the composed pixels
// (the background colour, a colour fade on its way, its end) and the dump
// the answers of the screen-effect and camera objects.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

TEST(ScreenGame, ScreenshotsHoldTheComposedScreen) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_screen_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "screen";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    // 100 ms a frame; the fade's first two frames count no time.
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 20 --step 100 --screenshot 1:" +
                             (work / "s1.png").string() + " --screenshot 6:" + (work / "s6.png").string() +
                             " --screenshot 20:" + (work / "s20.png").string() + " --dump-vars " + dump.string() +
                             " " + (work / "game").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    Picture shot[3];
    const char* names[3] = {"s1.png", "s6.png", "s20.png"};
    for (int i = 0; i < 3; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / names[i]).string(), png)) << names[i];
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << names[i] << ": " << why;
        ASSERT_EQ(shot[i].width, 320);
        ASSERT_EQ(shot[i].height, 240);
    }
    // Frame 1: the background colour (the fade starts transparent).
    const uint32_t blue = 0x336699, red = 0xFF0000;
    for (auto [x, y] : {std::pair{0, 0}, {319, 239}, {160, 120}, {318, 61}})
        EXPECT_TRUE(Near(shot[0].At(x, y), blue, 2)) << std::hex << shot[0].At(x, y) << " at " << x << "," << y;
    // Frame 6: 400 ms of 1000 into the fade, the same everywhere.
    const uint32_t mid = shot[1].At(160, 120);
    EXPECT_GT(int(mid >> 16), 0x33 + 40) << std::hex << mid;
    EXPECT_LT(int(mid & 0xFF), 0x99 - 40) << std::hex << mid;
    EXPECT_LT(int(mid >> 16), 0xFF - 40) << std::hex << mid;
    EXPECT_EQ(shot[1].At(0, 0), mid);
    EXPECT_EQ(shot[1].At(318, 239), mid);
    // Frame 20: the fade reached its colour and stays there.
    for (auto [x, y] : {std::pair{0, 0}, {318, 239}, {160, 120}}) EXPECT_EQ(shot[2].At(x, y), red);

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    for (const char* line : {"2\tbg\tint\t1\t-13408615\n", "2\tfrozen\tint\t1\t1\n", "2\tafter\tint\t1\t0\n",
                             "2\ttx\tint\t1\t400\n", "2\tty\tint\t1\t-20\n", "2\tcurve\tint\t1\t4\n"})
        EXPECT_NE(vars.find(line), std::string::npos) << line;
    fs::remove_all(work);
}

// With Interlace=1 each frame draws the rows of one parity, and the parity
// flips every frame, so after two frames every row holds the scene.
TEST(ScreenGame, InterlacedFramesFillEveryRow) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_screen_il_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData" / "System");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "screen";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    ASSERT_TRUE(zel::AtomicWriteFile((work / "game" / "GameData" / "System" / "config.txt").string(), "Interlace=1\r\n"));
    const fs::path err = work / "err.txt";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 20 --step 100 --screenshot 20:" +
                             (work / "s20.png").string() + " " + (work / "game").string() + " >/dev/null 2>" +
                             err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;
    std::string png, why;
    Picture shot;
    ASSERT_TRUE(zel::ReadWholeFile((work / "s20.png").string(), png));
    ASSERT_TRUE(DecodeRgbPng(png, shot, why)) << why;
    ASSERT_EQ(shot.height, 240);
    for (int y : {0, 1, 120, 121, 238, 239}) EXPECT_EQ(shot.At(160, y), 0xFF0000u) << "row " << y;
    fs::remove_all(work);
}

}  // namespace
