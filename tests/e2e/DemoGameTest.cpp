// The bundled demo game, as the build packs it into the build tree and as
// `./run.sh` starts it: a headless play-through must run without an error,
// reach its scenes in order and show them on screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

// The value of an integer variable of the global store in a dump.
std::string GlobalInt(const std::string& vars, const std::string& name) {
    const std::string key = "2\t" + name + "\tint\t1\t";
    const size_t at = vars.find(key);
    if (at == std::string::npos) return "<none>";
    return vars.substr(at + key.size(), vars.find('\n', at) - at - key.size());
}

TEST(DemoGame, PlaysThroughItsScenesWithoutAnError) {
    const fs::path game = ZEL_DEMO_DIR;
    ASSERT_TRUE(fs::exists(game / "GameData" / "data0.pack")) << "the demo game is not packed: " << game;
    const fs::path work = fs::temp_directory_path() / ("zel_demo_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    // The demo writes its settings and error log into its own folder: play a copy.
    fs::copy(game, work / "demo", fs::copy_options::recursive);
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    // 20 ms a frame. Frame 0: the black start; frame 50: 1 s into the first
    // fade (1.5 s from black to the night-blue sky); frame 130: 2.6 s, into
    // the sunrise that follows the 1.8 s of the first scene. One round of the
    // scenes takes about 10 s, so frame 650 (13 s) is in the second round's
    // sunrise.
    const int status = Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 650 --screenshot 0:" +
                             (work / "s0.png").string() + " --screenshot 50:" + (work / "s50.png").string() +
                             " --screenshot 130:" + (work / "s130.png").string() + " --dump-vars " + dump.string() +
                             " " + (work / "demo").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    Picture shot[3];
    const char* names[3] = {"s0.png", "s50.png", "s130.png"};
    for (int i = 0; i < 3; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / names[i]).string(), png)) << names[i];
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << names[i] << ": " << why;
        ASSERT_EQ(shot[i].width, 1280);
        ASSERT_EQ(shot[i].height, 720);
    }
    EXPECT_TRUE(Near(shot[0].At(640, 360), 0x000000, 0)) << std::hex << shot[0].At(640, 360);
    // On the way to the sky: blue leads, and the whole screen fades as one.
    const uint32_t sky = shot[1].At(640, 360);
    EXPECT_GT(int(sky & 0xFF), 0x20) << std::hex << sky;
    EXPECT_GT(int(sky & 0xFF), int(sky >> 16)) << std::hex << sky;
    EXPECT_EQ(shot[1].At(0, 0), sky);
    EXPECT_EQ(shot[1].At(1279, 719), sky);
    // Sunrise: red leads.
    const uint32_t sunrise = shot[2].At(640, 360);
    EXPECT_GT(int(sunrise >> 16), int(sunrise & 0xFF)) << std::hex << sunrise;

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalInt(vars, "loops"), "1") << vars;
    EXPECT_EQ(GlobalInt(vars, "scene"), "2") << vars;
    fs::remove_all(work);
}

}  // namespace
