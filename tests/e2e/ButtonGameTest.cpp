// A game with a choice of three buttons: tests/games/buttons is packed with
// zelpack and run headless with replayed input. The screenshot must show the
// three buttons; the click on the middle one must pick its branch, and the
// right arrow must move the pointer to the nearest button on the right, so
// that a click where the pointer then is selects that button; the pad's
// left and A buttons do the same the other way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

TEST(ButtonGame, ClickPicksABranchAndKeysMoveTheFocus) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_buttons_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "buttons";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    const fs::path err = work / "err.txt", dump = work / "dump.txt", shot = work / "s3.png";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 24 --step 100 --input " +
                             (src / "play.txt").string() + " --screenshot 3:" + shot.string() + " --dump-vars " +
                             dump.string() + " " + (work / "game").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    std::string png, why;
    ASSERT_TRUE(zel::ReadWholeFile(shot.string(), png));
    Picture p;
    ASSERT_TRUE(DecodeRgbPng(png, p, why)) << why;
    ASSERT_EQ(p.width, 320);
    // Red, green and blue buttons at x 20, 120 and 220, y 100..140; the
    // background between them.
    EXPECT_TRUE(Near(p.At(60, 120), 0xFF0000, 8)) << std::hex << p.At(60, 120);
    EXPECT_TRUE(Near(p.At(160, 120), 0x00FF00, 8)) << std::hex << p.At(160, 120);
    EXPECT_TRUE(Near(p.At(260, 120), 0x0000FF, 8)) << std::hex << p.At(260, 120);
    EXPECT_FALSE(Near(p.At(110, 120), 0x00FF00, 8));
    EXPECT_FALSE(Near(p.At(60, 90), 0xFF0000, 8));

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    for (const char* line : {"2\tchosen\tint\t1\t2\n", "2\tbranch\tstr\t1\tsecond\n", "2\tsecond\tint\t1\t3\n",
                             "2\tthird\tint\t1\t2\n", "2\twaits\tint\t1\t3\n"})
        EXPECT_NE(vars.find(line), std::string::npos) << line << vars;
    fs::remove_all(work);
}

}  // namespace
