// The bundled demo game, as the build packs it into the build tree and as
// `./run.sh` starts it: a headless play-through must run without an error,
// reach its scenes in order and show them on screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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
    // 20 ms a frame. One round of the scenes takes about 17.6 s: the morning
    // cross-fade from black (0-1.2 s), Aoi gliding in (to 2.6 s), Ren and the
    // star (to 4 s), Aoi's line typed in the message window and turned by
    // Auto mode (to about 6.3 s), the choice of three buttons (left to its
    // six-second limit here: the hills) and its answer (to about 14 s), the
    // dusk wipe through the rule picture with the camera drifting, both
    // fading away, the colour fade to night (black at 17.6 s), and the
    // morning again.
    const int frames[] = {0, 190, 260, 300, 400, 720, 820, 880, 960};
    constexpr int kShots = 9;
    std::string args;
    for (int f : frames) args += " --screenshot " + std::to_string(f) + ":" + (work / ("s" + std::to_string(f) + ".png")).string();
    const int status = Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 1150" + args + " --dump-vars " +
                             dump.string() + " " + (work / "demo").string() + " >/dev/null 2>" + err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;

    Picture shot[kShots];
    for (int i = 0; i < kShots; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile((work / ("s" + std::to_string(frames[i]) + ".png")).string(), png));
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << frames[i] << ": " << why;
        ASSERT_EQ(shot[i].width, 1280);
        ASSERT_EQ(shot[i].height, 720);
    }
    auto r = [](uint32_t c) { return int(c >> 16); };
    auto g = [](uint32_t c) { return int((c >> 8) & 0xFF); };
    auto b = [](uint32_t c) { return int(c & 0xFF); };
    // Pixels of a rectangle of a shot that satisfy a test.
    auto count = [&](const Picture& p, int x0, int y0, int x1, int y1, auto test) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(p.At(x, y)) ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(Near(shot[0].At(640, 360), 0x000000, 0)) << std::hex << shot[0].At(640, 360);
    // Both arrived on the day background: the blue of Aoi's dress at her
    // place, the red of Ren's at his, the sky above.
    EXPECT_TRUE(Near(shot[1].At(420, 500), 0x3C5AC8, 3)) << std::hex << shot[1].At(420, 500);
    EXPECT_TRUE(Near(shot[1].At(860, 500), 0xC85046, 3)) << std::hex << shot[1].At(860, 500);
    EXPECT_GT(b(shot[1].At(640, 40)), 0xB0) << std::hex << shot[1].At(640, 40);
    // The twinkling star (a zelanim animation) is drawn near its place, a
    // yellow pixel among the blue of the sky.
    EXPECT_GT(count(shot[1], 1100, 40, 1200, 140, [&](uint32_t c) { return r(c) > b(c) + 30; }), 20);
    // Aoi's line in the message window: white text on the dark window, the
    // coloured words in yellow; a moment later the long sentence has wrapped
    // onto a second line.
    auto white = [&](uint32_t c) { return r(c) > 200 && g(c) > 200 && b(c) > 200; };
    auto yellow = [&](uint32_t c) { return r(c) > 200 && g(c) > 160 && b(c) < 120; };
    EXPECT_GT(count(shot[2], 70, 550, 700, 600, white), 100);
    EXPECT_GT(count(shot[2], 70, 550, 700, 600, yellow), 30);
    EXPECT_GT(count(shot[3], 70, 600, 1240, 650, white), 50);
    // The choice: three buttons in a row, the river's waves in the middle one.
    auto wave = [&](uint32_t c) { return b(c) > 180 && r(c) < 120; };
    EXPECT_GT(count(shot[4], 560, 410, 720, 480, wave), 100);
    EXPECT_GT(count(shot[4], 260, 410, 440, 480, [&](uint32_t c) { return g(c) > 140 && r(c) < 120 && b(c) < 120; }),
              100);  // the hill
    // Half way through the wipe: dusk already in at the top right, the day
    // still at the top left (the new scene comes in where the rule picture is
    // brightest).
    const uint32_t dayLeft = shot[5].At(40, 40), duskRight = shot[5].At(1240, 40);
    EXPECT_GT(b(dayLeft), 0xB0) << std::hex << dayLeft;
    EXPECT_LT(b(duskRight), 0xB0) << std::hex << duskRight;
    // Dusk with the two gone: reddish low sky where Aoi stood.
    EXPECT_GT(r(shot[6].At(420, 500)), b(shot[6].At(420, 500))) << std::hex << shot[6].At(420, 500);
    // Night: black, then the morning of the next round.
    for (int c = 0; c < 3; ++c) EXPECT_LT(int((shot[7].At(640, 360) >> (8 * c)) & 0xFF), 0x10);
    EXPECT_GT(b(shot[8].At(640, 40)), 0xB0) << std::hex << shot[8].At(640, 40);

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalInt(vars, "loops"), "1") << vars;
    EXPECT_EQ(GlobalInt(vars, "scene"), "3") << vars;  // 23 s: the second round's talk
    EXPECT_EQ(GlobalInt(vars, "choice"), "1") << vars;  // nobody chose: the hills
    fs::remove_all(work);
}

// Correlation of 0.3 s of sound at two times.
double Correlation(const std::vector<int16_t>& s, double t1, double t2) {
    const size_t a = size_t(t1 * 44100), b = size_t(t2 * 44100), n = size_t(0.3 * 44100);
    if (a + n > s.size() || b + n > s.size()) return -2;
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) ma += s[a + i], mb += s[b + i];
    ma /= double(n), mb /= double(n);
    double num = 0, da = 0, db = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = s[a + i] - ma, y = s[b + i] - mb;
        num += x * y, da += x * x, db += y * y;
    }
    return da > 0 && db > 0 ? num / std::sqrt(da * db) : 0;
}

// A player's click on the middle button takes the story to the river.
TEST(DemoGame, AClickOnAButtonChoosesTheBranch) {
    const fs::path work = fs::temp_directory_path() / ("zel_demo_choice_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(fs::path(ZEL_DEMO_DIR), work / "demo", fs::copy_options::recursive);
    const fs::path input = work / "play.txt", dump = work / "dump.txt", err = work / "err.txt";
    ASSERT_TRUE(zel::AtomicWriteFile(input.string(), "# the river button, while the choice waits\n450 click 640 445\n"));
    ASSERT_EQ(Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 600 --input " + input.string() +
                    " --dump-vars " + dump.string() + " " + (work / "demo").string() + " >/dev/null 2>" + err.string()),
              0);
    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalInt(vars, "choice"), "2") << vars;
    EXPECT_NE(vars.find("2\tplace\tstr\t1\triver\n"), std::string::npos) << vars;
    fs::remove_all(work);
}

// The music's loop tag sends it back from 12 s to 2 s: past its first turn the
// sound repeats every ten seconds, to the sample.
TEST(DemoGame, MusicPlaysAndTurnsAtItsLoopPoint) {
    const fs::path work = fs::temp_directory_path() / ("zel_demo_music_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(fs::path(ZEL_DEMO_DIR), work / "demo", fs::copy_options::recursive);
    const fs::path wav = work / "out.wav", err = work / "err.txt";
    ASSERT_EQ(Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 800 --audio-out " + wav.string() + " " +
                    (work / "demo").string() + " >/dev/null 2>" + err.string()),
              0);
    std::string bytes;
    ASSERT_TRUE(zel::ReadWholeFile(wav.string(), bytes));
    const std::vector<int16_t> left = WavLeftChannel(bytes);
    ASSERT_GE(left.size(), size_t(15.5 * 44100));  // 800 frames of 20 ms
    int peak = 0;
    for (size_t i = size_t(3 * 44100); i < size_t(5 * 44100); ++i) peak = std::max(peak, std::abs(int(left[i])));
    EXPECT_GT(peak, 2000);
    EXPECT_GT(Correlation(left, 4.0, 14.0), 0.99);
    EXPECT_LT(Correlation(left, 4.0, 5.0), 0.5);         // the phrase itself does not repeat every second
    fs::remove_all(work);
}

}  // namespace
