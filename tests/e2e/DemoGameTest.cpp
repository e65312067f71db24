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

std::string GlobalStr(const std::string& vars, const std::string& name) {
    const std::string key = "2\t" + name + "\tstr\t1\t";
    const size_t at = vars.find(key);
    if (at == std::string::npos) return "<none>";
    return vars.substr(at + key.size(), vars.find('\n', at) - at - key.size());
}

// A copy of the packed demo in a fresh folder (the game writes its settings,
// saves and error log beside itself).
fs::path FreshDemo(const std::string& tag) {
    const fs::path work = fs::temp_directory_path() / ("zel_demo_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(fs::path(ZEL_DEMO_DIR), work / "demo", fs::copy_options::recursive);
    return work;
}

// The whole story as a player plays it (tests/e2e/demo_playthrough.txt, which
// CI plays through ./run.sh too): the title, a name typed into the dialog,
// voiced lines, the menu and a save into slot 1, the backlog, the choice, a
// quick save at dusk, the end; from the title the load screen brings slot 1
// back, a quick load goes to dusk, and the story ends on the title again.
TEST(DemoGame, PlaysThroughTheWholeStory) {
    ASSERT_TRUE(fs::exists(fs::path(ZEL_DEMO_DIR) / "GameData" / "data0.pack")) << "the demo game is not packed";
    const fs::path work = FreshDemo("story");
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    const int frames[] = {38, 300, 395, 415, 560, 740, 1265, 1515, 1540, 1580, 1799};
    constexpr int kShots = 11;
    std::string args;
    for (int f : frames) args += " --screenshot " + std::to_string(f) + ":" + (work / ("s" + std::to_string(f) + ".png")).string();
    const int status = Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 1800 --input " +
                             ZEL_SOURCE_DIR "/tests/e2e/demo_playthrough.txt" + args + " --dump-vars " + dump.string() +
                             " " + (work / "demo").string() + " >/dev/null 2>" + err.string());
    std::string errText, errorLog;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;
    zel::ReadWholeFile((work / "demo" / "ERRORLOG.txt").string(), errorLog);
    EXPECT_EQ(errorLog.find("[ERROR]"), std::string::npos) << errorLog;

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
    auto count = [&](const Picture& p, int x0, int y0, int x1, int y1, auto test) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(p.At(x, y)) ? 1 : 0;
        return n;
    };
    auto light = [&](uint32_t c) { return r(c) > 215 && g(c) > 215 && b(c) > 200; };
    auto yellow = [&](uint32_t c) { return r(c) > 200 && g(c) > 160 && b(c) < 120; };
    auto dayBlue = [&](uint32_t c) { return b(c) > 0xB0 && r(c) < 0x90; };
    const Picture &title = shot[0], &line = shot[1], &menu = shot[2], &save = shot[3], &log = shot[4],
                  &choice = shot[5], &dusk = shot[6], &load = shot[7], &loaded = shot[8], &quick = shot[9],
                  &end = shot[10];
    // The title: its name in large letters, three buttons.
    EXPECT_GT(count(title, 300, 110, 980, 210, light), 3000);
    for (int y : {416, 506, 596}) EXPECT_TRUE(light(title.At(500, y))) << y << std::hex << " " << title.At(500, y);
    // Aoi's first line in the window under her name plate: white text with
    // its yellow words; the day behind.
    EXPECT_GT(count(line, 70, 570, 1240, 640, light), 100);
    EXPECT_GT(count(line, 70, 570, 700, 640, yellow), 30);
    EXPECT_GT(count(line, 60, 525, 200, 560, [&](uint32_t c) { return r(c) > 200 && g(c) > 180 && b(c) > 100 && b(c) < 200; }), 20);
    EXPECT_TRUE(dayBlue(line.At(640, 300))) << std::hex << line.At(640, 300);
    // The menu over the dimmed, frozen scene: nine entries on its panel.
    EXPECT_GT(count(menu, 920, 130, 1200, 650, light), 8000);
    EXPECT_LT(b(menu.At(300, 100)), 0xA0) << std::hex << menu.At(300, 100);
    // The save screen: its header and six empty slots.
    EXPECT_GT(count(save, 60, 30, 200, 90, light), 300);
    EXPECT_TRUE(fs::exists(work / "demo" / "SaveData" / "SaveData0.svd"));
    // The backlog: both lines so far, each with its speaker's face on the
    // left and the voice icon on the right; Aoi's name in her colour.
    auto skin = [&](uint32_t c) { return r(c) > 230 && g(c) > 200 && b(c) > 170 && b(c) < 215; };
    EXPECT_GT(count(log, 40, 110, 140, 180, skin), 200);
    EXPECT_GT(count(log, 40, 180, 140, 250, skin), 200);
    EXPECT_GT(count(log, 1130, 110, 1180, 200, [&](uint32_t c) { return r(c) > 240 && g(c) > 200 && b(c) > 130 && b(c) < 190; }), 40);
    EXPECT_GT(count(log, 140, 110, 400, 135, [&](uint32_t c) { return b(c) > 230 && g(c) > 180 && r(c) < 190 && r(c) > 120; }), 10);
    // The choice: the river's waves in the middle button.
    EXPECT_GT(count(choice, 560, 370, 720, 440, [&](uint32_t c) { return b(c) > 180 && r(c) < 120; }), 100);
    // Dusk after the wipe, Aoi's last line typed.
    EXPECT_FALSE(dayBlue(dusk.At(640, 40))) << std::hex << dusk.At(640, 40);
    EXPECT_GT(count(dusk, 70, 570, 1240, 640, light), 100);
    EXPECT_TRUE(fs::exists(work / "demo" / "SaveData" / "QuickSaveData0.svd"));
    // The load screen over the title: slot 1 shows the day scene it holds.
    EXPECT_GT(count(load, 76, 141, 268, 249, dayBlue), 2000);
    // Loaded: the day again; then the quick load: dusk.
    EXPECT_TRUE(dayBlue(loaded.At(640, 40))) << std::hex << loaded.At(640, 40);
    EXPECT_FALSE(dayBlue(quick.At(640, 40))) << std::hex << quick.At(640, 40);
    EXPECT_GT(count(quick, 70, 570, 1240, 640, light), 100);
    // And the title at the end.
    EXPECT_TRUE(light(end.At(500, 416))) << std::hex << end.At(500, 416);

    std::string vars;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalStr(vars, "name"), "Hikari") << vars;
    EXPECT_EQ(GlobalInt(vars, "choice"), "2") << vars;
    EXPECT_EQ(GlobalStr(vars, "place"), "river") << vars;
    EXPECT_EQ(GlobalInt(vars, "loops"), "1") << vars;
    EXPECT_EQ(GlobalInt(vars, "scene"), "0") << vars;  // the title
    fs::remove_all(work);
}

// Started and left alone, the demo waits on its title screen, which stays
// still; a cancelled name dialog gives the default name.
TEST(DemoGame, WaitsOnTheTitleAndNamesAnUnnamedPlayerSora) {
    const fs::path work = FreshDemo("title");
    const fs::path input = work / "play.txt", dump = work / "dump.txt", err = work / "err.txt";
    const fs::path a = work / "a.png", b = work / "b.png";
    ASSERT_EQ(Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 300 --screenshot 100:" + a.string() +
                    " --screenshot 299:" + b.string() + " --dump-vars " + dump.string() + " " +
                    (work / "demo").string() + " >/dev/null 2>" + err.string()),
              0);
    std::string vars, pa, pb;
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalInt(vars, "scene"), "0") << vars;
    ASSERT_TRUE(zel::ReadWholeFile(a.string(), pa));
    ASSERT_TRUE(zel::ReadWholeFile(b.string(), pb));
    EXPECT_EQ(pa, pb) << "the title screen moved";
    // New game with nothing typed: the dialog is cancelled.
    ASSERT_TRUE(zel::AtomicWriteFile(input.string(), "40 click 640 416\n"));
    fs::remove_all(work / "demo" / "SaveData");
    ASSERT_EQ(Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames 90 --input " + input.string() +
                    " --dump-vars " + dump.string() + " " + (work / "demo").string() + " >/dev/null 2>" + err.string()),
              0);
    ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
    EXPECT_EQ(GlobalStr(vars, "name"), "Sora") << vars;
    EXPECT_EQ(GlobalInt(vars, "scene"), "2") << vars;
    fs::remove_all(work);
}

// Auto mode turns the pages by itself, skip mode runs through them; either
// stops at the choice, which waits for the player.
TEST(DemoGame, AutoAndSkipModesReachTheChoiceWithoutAClick) {
    struct Case {
        const char* key;
        int frames;
    };
    for (const Case c : {Case{"65", 1250}, Case{"83", 200}}) {
        SCOPED_TRACE(c.key);
        const fs::path work = FreshDemo(std::string("mode") + c.key);
        const fs::path input = work / "play.txt", dump = work / "dump.txt", err = work / "err.txt";
        ASSERT_TRUE(zel::AtomicWriteFile(input.string(), std::string("40 click 640 416\n110 key ") + c.key + "\n"));
        ASSERT_EQ(Shell(std::string(ZEL_BIN) + " --headless --step 20 --frames " + std::to_string(c.frames) +
                        " --input " + input.string() + " --dump-vars " + dump.string() + " " +
                        (work / "demo").string() + " >/dev/null 2>" + err.string()),
                  0);
        std::string vars;
        ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
        EXPECT_EQ(GlobalInt(vars, "scene"), "5") << vars;
        EXPECT_EQ(GlobalInt(vars, "choice"), "0") << vars;
        fs::remove_all(work);
    }
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

// The music's loop tag sends it back from 12 s to 2 s: past its first turn the
// sound repeats every ten seconds, to the sample.
TEST(DemoGame, MusicPlaysAndTurnsAtItsLoopPoint) {
    const fs::path work = FreshDemo("music");
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
