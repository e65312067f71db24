// The save and load screens end to end: tests/games/saveload. In a first run
// the right button opens the save screen over the orange scene and two
// clicks save into slot 3; the screen opened again shows the slot's
// thumbnail and date. A second run of zel on the same game folder, still
// blue, opens the load screen with the L key, finds the save listed and
// loads it: the orange scene and its variables come back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <utility>
#include <vector>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

constexpr uint32_t kBlue = 0x336699, kOrange = 0xC84010;

int WhitePixels(const Picture& p, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += Near(p.At(x, y), 0xFFFFFF, 40);
    return n;
}

struct TRun {
    int status = -1;
    std::string err, vars;
};

TRun Play(const fs::path& work, const fs::path& src, const std::string& input, int frames,
         const std::vector<std::pair<int, std::string>>& shots) {
    std::string args;
    for (const auto& [f, name] : shots) args += " --screenshot " + std::to_string(f) + ":" + (work / name).string();
    const fs::path err = work / "err.txt", dump = work / "dump.txt";
    TRun r;
    r.status = Shell(std::string(ZEL_BIN) + " --headless --frames " + std::to_string(frames) + " --step 100 --input " +
                     (src / input).string() + args + " --dump-vars " + dump.string() + " " +
                     (work / "game").string() + " >/dev/null 2>" + err.string());
    zel::ReadWholeFile(err.string(), r.err);
    zel::ReadWholeFile(dump.string(), r.vars);
    return r;
}

Picture Shot(const fs::path& file) {
    Picture p;
    std::string png, why;
    EXPECT_TRUE(zel::ReadWholeFile(file.string(), png)) << file;
    EXPECT_TRUE(DecodeRgbPng(png, p, why)) << why;
    return p;
}

TEST(SaveLoadGame, ASaveIntoSlotThreeIsListedAfterARestartAndLoadsTheScene) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_saveload_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "saveload";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);

    const TRun first = Play(work, src, "play1.txt", 55, {{38, "a38.png"}, {52, "a52.png"}});
    EXPECT_EQ(first.status, 0) << first.err;
    ASSERT_TRUE(fs::is_regular_file(work / "game" / "SaveData" / "SaveData3.svd"));
    EXPECT_FALSE(fs::exists(work / "game" / "SaveData" / "SaveData2.svd"));
    EXPECT_NE(first.vars.find("2\tphase\tint\t1\t2\n"), std::string::npos) << first.vars;

    // The save screen over the orange scene dimmed by the layout's blend
    // colour: slot 3's row (y 175) shows nothing before the save and the
    // save's thumbnail (80 x 50 at x 10) and its date text after it.
    const uint32_t dimmed = 0x321004;
    const Picture open = Shot(work / "a38.png"), again = Shot(work / "a52.png");
    EXPECT_TRUE(Near(open.At(20, 190), dimmed, 3)) << std::hex << open.At(20, 190);
    EXPECT_EQ(WhitePixels(open, 100, 175, 300, 195), 0);
    EXPECT_TRUE(Near(again.At(20, 190), kOrange, 8)) << std::hex << again.At(20, 190);
    EXPECT_TRUE(Near(again.At(88, 223), kOrange, 8)) << std::hex << again.At(88, 223);
    EXPECT_TRUE(Near(again.At(92, 190), dimmed, 3)) << std::hex << again.At(92, 190);
    EXPECT_TRUE(Near(again.At(20, 130), dimmed, 3)) << "slot 2 is empty";
    EXPECT_GT(WhitePixels(again, 100, 175, 300, 195), 40) << "the date text";
    EXPECT_EQ(WhitePixels(again, 100, 120, 300, 140), 0) << "an empty slot has no text";

    // A new run on the same folder: blue until its own three seconds pass.
    const TRun second = Play(work, src, "play2.txt", 25, {{4, "b4.png"}, {8, "b8.png"}, {16, "b16.png"}});
    EXPECT_EQ(second.status, 0) << second.err;
    const Picture start = Shot(work / "b4.png"), listed = Shot(work / "b8.png"), loaded = Shot(work / "b16.png");
    EXPECT_TRUE(Near(start.At(10, 10), kBlue, 2)) << std::hex << start.At(10, 10);
    EXPECT_TRUE(Near(listed.At(20, 190), kOrange, 8)) << std::hex << listed.At(20, 190);
    EXPECT_GT(WhitePixels(listed, 100, 175, 300, 195), 40) << "the save is listed with its date";
    EXPECT_TRUE(Near(loaded.At(10, 10), kOrange, 2)) << std::hex << loaded.At(10, 10);
    EXPECT_TRUE(Near(loaded.At(300, 230), kOrange, 2)) << std::hex << loaded.At(300, 230);
    // The loaded game went on from the first run's state.
    EXPECT_NE(second.vars.find("2\tphase\tint\t1\t2\n"), std::string::npos) << second.vars;
    fs::remove_all(work);
}

}  // namespace
