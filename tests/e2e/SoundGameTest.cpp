// Sound in a headless play-through: tests/games/sound plays an effect when
// the player clicks. With a click replayed in frame 10 (seen by the script
// in frame 11, 100 ms frames) the recorded sound is silent until the frame
// of the click and holds the effect right after it; without the click it
// stays silent.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

TEST(SoundGame, AClickPlaysTheEffectAtItsFrame) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_sound_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "sound";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " >/dev/null"),
              0);
    for (bool click : {true, false}) {
        SCOPED_TRACE(click ? "with the click" : "without it");
        const fs::path wav = work / "out.wav", dump = work / "dump.txt", err = work / "err.txt";
        const std::string input = click ? " --input " + (src / "play.txt").string() : std::string();
        const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 30 --step 100" + input +
                                 " --audio-out " + wav.string() + " --dump-vars " + dump.string() + " " +
                                 (work / "game").string() + " >/dev/null 2>" + err.string());
        std::string errText, bytes, vars;
        zel::ReadWholeFile(err.string(), errText);
        ASSERT_EQ(status, 0) << errText;
        ASSERT_TRUE(zel::ReadWholeFile(wav.string(), bytes));
        const std::vector<int16_t> left = WavLeftChannel(bytes);
        ASSERT_GE(left.size(), size_t(2.9 * 44100));  // 30 frames of 100 ms
        size_t first = left.size();
        for (size_t i = 0; i < left.size(); ++i)
            if (std::abs(int(left[i])) > 200) {
                first = i;
                break;
            }
        ASSERT_TRUE(zel::ReadWholeFile(dump.string(), vars));
        // Sound in a span of the recording.
        auto loud = [&](double from, double to) {
            for (size_t i = size_t(from * 44100); i < size_t(to * 44100) && i < left.size(); ++i)
                if (std::abs(int(left[i])) > 200) return true;
            return false;
        };
        if (click) {
            EXPECT_GE(first, size_t(1.0 * 44100)) << "the effect played before the click";
            EXPECT_LE(first, size_t(1.3 * 44100)) << "the effect came late: sample " << first;
            EXPECT_NE(vars.find("2\tclicked\tint\t1\t1\n"), std::string::npos);
            // The voice of the message window after its half-second wait (a
            // stream starts behind the half buffer already queued, so later
            // than an effect does).
            EXPECT_FALSE(loud(1.35, 1.6));
            EXPECT_TRUE(loud(1.6, 2.8));
            EXPECT_NE(vars.find("2\tvoiced\tint\t1\t1\n"), std::string::npos);
        } else {
            EXPECT_EQ(first, left.size()) << "sound without a click, at sample " << first;
            EXPECT_NE(vars.find("2\tclicked\tint\t1\t0\n"), std::string::npos);
        }
    }
    fs::remove_all(work);
}

}  // namespace
