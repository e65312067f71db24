// The player's side end to end: tests/games/events binds its keys and clears
// its locks from its start-up script, then zel --headless replays
// tests/games/events/play.txt: a click ends a click wait in frame 7, time
// ends a timed wait, Auto clicks by itself after AutoPlayClickTime, a locked
// menu key asks for nothing, and the skip key runs Skip to the end of the
// text. Each is proved by a global in the dump.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "E2eSupport.h"
#include "base/AtomicFile.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

struct EventsRun {
    fs::path work;
    int status = -1;
    std::string err, vars;
};

EventsRun RunEventsGame(const std::string& inputText, int frames, const char* tag) {
    EventsRun r;
    r.work = fs::temp_directory_path() / (std::string("zel_events_") + tag + std::to_string(::getpid()));
    fs::remove_all(r.work);
    fs::create_directories(r.work / "game" / "GameData" / "System");
    // The player's settings time Auto: 700 ms after a click wait without a time.
    zel::AtomicWriteFile((r.work / "game" / "GameData" / "System" / "config.txt").string(), "AutoPlayClickTime=700\n");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "events";
    if (Shell(std::string(ZELPACK_BIN) + " create " + (r.work / "game" / "GameData" / "data0.pack").string() + " " +
              src.string() + " --sjis-from-utf8 >/dev/null") != 0)
        return r;
    const fs::path input = r.work / "input.txt", err = r.work / "err.txt", dump = r.work / "dump.txt";
    zel::AtomicWriteFile(input.string(), inputText);
    r.status = Shell(std::string(ZEL_BIN) + " --headless --frames " + std::to_string(frames) +
                     " --step 100 --input " + input.string() + " --dump-vars " + dump.string() + " " +
                     (r.work / "game").string() + " >/dev/null 2>" + err.string());
    zel::ReadWholeFile(err.string(), r.err);
    zel::ReadWholeFile(dump.string(), r.vars);
    return r;
}

bool Has(const EventsRun& r, const std::string& name, int value) {
    return r.vars.find("2\t" + name + "\tint\t1\t" + std::to_string(value) + "\n") != std::string::npos;
}

TEST(EventsGame, ClickTimeAutoAndSkipEachEndTheirWaits) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    std::string play;
    ASSERT_TRUE(zel::ReadWholeFile(std::string(ZEL_SOURCE_DIR) + "/tests/games/events/play.txt", play));
    const EventsRun r = RunEventsGame(play, 40, "play");
    ASSERT_EQ(r.status, 0) << r.err;
    // The click of frame 6 is let go before frame 7, which sees it: frames 2
    // to 6 had counted 500 ms of the wait.
    EXPECT_TRUE(Has(r, "clickLeft", 99500)) << r.vars;
    EXPECT_TRUE(Has(r, "timed", 1)) << r.vars;
    // Auto clicked the wait without a time (what is left of it: without limit).
    EXPECT_TRUE(Has(r, "autoDone", 1)) << r.vars;
    EXPECT_TRUE(Has(r, "autoClk", -1)) << r.vars;
    // Skip ran through the four waits and was still on at the end of the text.
    EXPECT_TRUE(Has(r, "n", 4)) << r.vars;
    EXPECT_TRUE(Has(r, "reached", 1)) << r.vars;
    EXPECT_TRUE(Has(r, "skipMode", 3)) << r.vars;
    fs::remove_all(r.work);
}

TEST(EventsGame, WithoutInputOnlyTimeAndAutoAdvance) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    // No click: the first wait holds, nothing after it runs.
    EventsRun r = RunEventsGame("", 30, "none");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r, "clickLeft", 0)) << r.vars;
    EXPECT_TRUE(Has(r, "timed", 0)) << r.vars;
    fs::remove_all(r.work);
    // The click but no skip key: time and Auto advance, the skip waits hold.
    r = RunEventsGame("6 click 10 10\n", 40, "noskip");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r, "timed", 1)) << r.vars;
    EXPECT_TRUE(Has(r, "autoDone", 1)) << r.vars;
    EXPECT_TRUE(Has(r, "n", 0)) << r.vars;
    EXPECT_TRUE(Has(r, "reached", 0)) << r.vars;
    fs::remove_all(r.work);
}

}  // namespace
