// A game that types a message: tests/games/messages is packed with zelpack
// and run headless with a replayed click. The window types one character a
// frame into a text area at (10, 10) of 256 x 70 (two lines of six 32-pixel
// characters); the screenshots must show the text growing, the full page,
// and the page scrolled by the click with the rest typed; the dump must
// hold the window's state while the page was full (2) and after the click.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

// Bright pixels in the cell of character k of line j.
int Ink(const Picture& p, int k, int j) {
    int n = 0;
    for (int y = 10 + 32 * j; y < 10 + 32 * j + 32 && y < p.height; ++y)
        for (int x = 10 + 32 * k; x < 10 + 32 * k + 32; ++x) n += (p.At(x, y) & 0xFF) > 0x80;
    return n;
}

bool SameCells(const Picture& a, int ja, const Picture& b, int jb) {
    for (int y = 0; y < 32; ++y)
        for (int x = 10; x < 10 + 6 * 32; ++x)
            if (a.At(x, 10 + 32 * ja + y) != b.At(x, 10 + 32 * jb + y)) return false;
    return true;
}

TEST(MessageGame, TypesAMessageAndTurnsThePageOnAClick) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_messages_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "messages";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    // 100 ms a frame, one character a frame; the script's 15th look finds
    // the page full, and the click of frame 20 turns it.
    const int frames[] = {4, 8, 19, 30};
    std::string args;
    for (int f : frames) args += " --screenshot " + std::to_string(f) + ":" + (work / ("s" + std::to_string(f) + ".png")).string();
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 30 --step 100 --input " +
                             (src / "play.txt").string() + args + " --dump-vars " + dump.string() + " " +
                             (work / "game").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    Picture shot[4];
    for (int i = 0; i < 4; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / ("s" + std::to_string(frames[i]) + ".png")).string(), png));
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << why;
        ASSERT_EQ(shot[i].width, 320);
    }
    // Growing: four characters at frame 4; at frame 8 the first line and one
    // more (the step that wraps the line types nothing).
    for (int k = 0; k < 4; ++k) EXPECT_GT(Ink(shot[0], k, 0), 10) << k;
    EXPECT_EQ(Ink(shot[0], 4, 0), 0);
    EXPECT_GT(Ink(shot[1], 5, 0), 10);
    EXPECT_GT(Ink(shot[1], 0, 1), 10);
    EXPECT_EQ(Ink(shot[1], 1, 1), 0);
    // The full page: two lines of six, nothing below them.
    for (int k = 0; k < 6; ++k) EXPECT_GT(Ink(shot[2], k, 1), 10) << k;
    EXPECT_EQ(Ink(shot[2], 0, 2), 0);
    // After the click the second line is the first and the rest follows it.
    EXPECT_TRUE(SameCells(shot[2], 1, shot[3], 0));
    for (int k = 0; k < 3; ++k) EXPECT_GT(Ink(shot[3], k, 1), 10) << k;
    EXPECT_EQ(Ink(shot[3], 3, 1), 0);

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    for (const char* line : {"2\tbefore\tint\t1\t2\n", "2\tafter\tint\t1\t0\n", "2\tpenBefore\tint\t1\t64\n",
                             "2\tpenAfter\tint\t1\t32\n", "2\tfullFrame\tint\t1\t15\n"})
        EXPECT_NE(vars.find(line), std::string::npos) << line << vars.substr(vars.find("2\tbefore"));
    fs::remove_all(work);
}

}  // namespace
