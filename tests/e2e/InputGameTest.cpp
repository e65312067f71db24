// Scripted input: tests/games/input counts frames in a click-wait loop and
// records the frames the clicks ended its waits; zel --headless replays a
// click, a key and a drag from tests/games/input/play.txt.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

struct InputRun {
    fs::path work;
    int status = -1;
    std::string err, vars;
};

InputRun RunInputGame(const std::string& inputText, const char* tag) {
    InputRun r;
    r.work = fs::temp_directory_path() / (std::string("zel_input_") + tag + std::to_string(::getpid()));
    fs::remove_all(r.work);
    fs::create_directories(r.work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "input";
    if (Shell(std::string(ZELPACK_BIN) + " create " + (r.work / "game" / "GameData" / "data0.pack").string() + " " +
              src.string() + " --sjis-from-utf8 >/dev/null") != 0)
        return r;
    const fs::path input = r.work / "input.txt", err = r.work / "err.txt", dump = r.work / "dump.txt";
    zel::AtomicWriteFile(input.string(), inputText);
    r.status = Shell(std::string(ZEL_BIN) + " --headless --frames 20 --step 100 --input " + input.string() +
                     " --dump-vars " + dump.string() + " " + (r.work / "game").string() + " >/dev/null 2>" +
                     err.string());
    zel::ReadWholeFile(err.string(), r.err);
    zel::ReadWholeFile(dump.string(), r.vars);
    return r;
}

TEST(InputGame, AClickAndAKeyArriveInTheirFrames) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    std::string play;
    ASSERT_TRUE(zel::ReadWholeFile(std::string(ZEL_SOURCE_DIR) + "/tests/games/input/play.txt", play));
    const InputRun r = RunInputGame(play, "play");
    ASSERT_EQ(r.status, 0) << r.err;
    // 20 frames ran, the click ended a wait in frame 7 and Enter in frame 12;
    // the drag of frames 15 and 16 was no click.
    for (const char* line : {"2\tframe\tint\t1\t20\n", "2\tclickFrame\tint\t1\t7\n", "2\tkeyFrame\tint\t1\t12\n",
                             "2\tgot\tint\t1\t2\n"})
        EXPECT_NE(r.vars.find(line), std::string::npos) << line << r.vars;
    fs::remove_all(r.work);
}

TEST(InputGame, InputAfterAResetIsMutedAndBadLinesStopTheRun) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    // 100 ms a frame: frames 1 and 2 fall in the 300 ms mute after start-up.
    InputRun r = RunInputGame("2 key 13\n5 key 13\n", "mute");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.vars.find("2\tclickFrame\tint\t1\t5\n"), std::string::npos) << r.vars;
    fs::remove_all(r.work);
    r = RunInputGame("# fine\n3 key 13\n4 jump 5\n", "bad");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("line 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("jump"), std::string::npos) << r.err;
    EXPECT_TRUE(r.vars.empty()) << "no frame ran";
    fs::remove_all(r.work);
}

}  // namespace
