// A game that shows a picture: tests/games/images is packed with zelpack and
// run headless. The picture (40 x 20, red left half, blue right half) is
// placed, glides across the screen and fades out; the screenshots must hold
// it where the glide puts it at those frames, and the dump must hold the
// positions its queries reported.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

constexpr uint32_t kRed = 0xDC1E1E, kBlue = 0x1E1EDC, kBlack = 0x000000;

TEST(ImageGame, APictureGlidesAndFadesOnScreen) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_images_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "images";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    // 100 ms a frame. Frame 1 loads the picture at (20, 30) and starts a
    // glide of 1000 ms to (220, 130); the load makes frame 2 count no time,
    // so frame 7 is 500 ms into it. The fade to 0 starts 1500 ms after the
    // glide began (frame 17) and lasts 1000 ms.
    const int frames[] = {1, 7, 16, 22, 30};
    std::string args;
    for (int f : frames) args += " --screenshot " + std::to_string(f) + ":" + (work / ("s" + std::to_string(f) + ".png")).string();
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 30 --step 100" + args + " --dump-vars " +
                             dump.string() + " " + (work / "game").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    Picture shot[5];
    for (int i = 0; i < 5; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / ("s" + std::to_string(frames[i]) + ".png")).string(), png));
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << why;
        ASSERT_EQ(shot[i].width, 320);
    }
    // Where the picture's top-left corner is at each shot: its red half at
    // (+5, +5), its blue half at (+25, +5), and nothing just outside it.
    const struct {
        int shot, x, y;
    } at[] = {{0, 20, 30}, {1, 120, 80}, {2, 220, 130}};
    for (const auto& a : at) {
        const Picture& p = shot[a.shot];
        EXPECT_TRUE(Near(p.At(a.x + 5, a.y + 5), kRed, 2)) << std::hex << p.At(a.x + 5, a.y + 5) << " shot " << a.shot;
        EXPECT_TRUE(Near(p.At(a.x + 25, a.y + 15), kBlue, 2)) << std::hex << p.At(a.x + 25, a.y + 15) << " shot " << a.shot;
        EXPECT_TRUE(Near(p.At(a.x - 1, a.y + 5), kBlack, 0)) << std::hex << p.At(a.x - 1, a.y + 5) << " shot " << a.shot;
        EXPECT_TRUE(Near(p.At(a.x + 40, a.y + 5), kBlack, 0)) << std::hex << p.At(a.x + 40, a.y + 5) << " shot " << a.shot;
    }
    // Where the glide began is empty once it has moved on.
    EXPECT_TRUE(Near(shot[2].At(25, 35), kBlack, 0));
    // Half way through the fade the picture is half as bright; at its end gone.
    const uint32_t half = shot[3].At(225, 135);
    EXPECT_GT(int(half >> 16), 0x30) << std::hex << half;
    EXPECT_LT(int(half >> 16), 0xB0) << std::hex << half;
    EXPECT_TRUE(Near(shot[4].At(225, 135), kBlack, 0)) << std::hex << shot[4].At(225, 135);

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    for (const char* line : {"2\tx0\tint\t1\t20\n", "2\ty0\tint\t1\t30\n", "2\tz0\tint\t1\t5\n", "2\tw\tint\t1\t40\n",
                             "2\th\tint\t1\t20\n", "2\tx1\tint\t1\t220\n", "2\ty1\tint\t1\t130\n", "2\tal\tint\t1\t0\n"})
        EXPECT_NE(vars.find(line), std::string::npos) << line;
    fs::remove_all(work);
}

}  // namespace
