// The backlog in a played game: tests/games/backlog logs five pages of two
// speakers, replayed clicks end its wait and it asks for the backlog; Esc
// closes it. The screenshot of the open backlog must show the five entries
// in the order they were read, one a row, each row's name in its speaker's
// colour (Aoi yellow, Ren cyan) over the dimmed game screen, Aoi's picture
// beside her rows, the voice icon on the one voiced row, the row under the
// pointer lit and the scroll bar's knob at the top; a click on the last row
// puts its voice into the recorded sound, which is silent before. The pad's
// down then scrolls one entry and a click on the track three quarters down
// scrolls to the fourth entry, the knob following; after the close the game
// screen is back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/AtomicFile.h"
#include "E2eSupport.h"

namespace fs = std::filesystem;
using namespace zel::e2e;

namespace {

enum class Ink { Yellow, Cyan };

// Pixels of a speaker's colour in the name column of row k (rows of 32 pixels from y = 8).
int NameInk(const Picture& p, int k, Ink ink) {
    int n = 0;
    for (int y = 8 + 32 * k; y < 8 + 32 * k + 30; ++y)
        for (int x = 8; x < 80; ++x) {
            const uint32_t c = p.At(x, y);
            const uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            n += ink == Ink::Yellow ? (r > 200 && g > 200 && b < 80) : (r < 80 && g > 200 && b > 200);
        }
    return n;
}

// Bright pixels of the text column of row k (after a name of five 8-pixel characters).
int TextInk(const Picture& p, int k) {
    int n = 0;
    for (int y = 8 + 32 * k; y < 8 + 32 * k + 30; ++y)
        for (int x = 48; x < 250; ++x) n += (p.At(x, y) & 0xFF) > 0xC0 && ((p.At(x, y) >> 16) & 0xFF) > 0xC0;
    return n;
}

TEST(BacklogGame, ShowsTheLoggedPagesInOrderWithTheirSpeakers) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const fs::path work = fs::temp_directory_path() / ("zel_backlog_" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work / "game" / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "backlog";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (work / "game" / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    const fs::path err = work / "err.txt", open = work / "open.png", closed = work / "closed.png",
                   before = work / "before.png", padded = work / "pad.png", tracked = work / "track.png";
    const int status = Shell(std::string(ZEL_BIN) + " --headless --frames 80 --step 100 --input " + (src / "play.txt").string() +
                             " --screenshot 8:" + before.string() + " --screenshot 20:" + open.string() +
                             " --screenshot 45:" + padded.string() + " --screenshot 60:" + tracked.string() +
                             " --screenshot 78:" + closed.string() + " --audio-out " + (work / "out.wav").string() + " " + (work / "game").string() + " >/dev/null 2>" +
                             err.string());
    std::string errText;
    zel::ReadWholeFile(err.string(), errText);
    ASSERT_EQ(status, 0) << errText;
    Picture shot[5];
    const fs::path files[5] = {before, open, closed, padded, tracked};
    for (int i = 0; i < 5; ++i) {
        std::string png, why;
        ASSERT_TRUE(zel::ReadWholeFile(files[i].string(), png));
        ASSERT_TRUE(DecodeRgbPng(png, shot[i], why)) << why;
        ASSERT_EQ(shot[i].width, 320);
    }
    const Ink aoi = Ink::Yellow, ren = Ink::Cyan;
    const uint32_t game = 0x336699;
    // Before: the game screen, no backlog.
    EXPECT_EQ(shot[0].At(300, 10) & 0xFFFFFF, game);
    EXPECT_EQ(NameInk(shot[0], 0, aoi), 0);
    // Open: five rows, oldest first, names in their speakers' colours.
    const Ink speakers[5] = {aoi, ren, ren, aoi, aoi};  // reversed, the order would differ
    for (int k = 0; k < 5; ++k) {
        const Ink other = speakers[k] == aoi ? ren : aoi;
        EXPECT_GT(NameInk(shot[1], k, speakers[k]), 20) << "row " << k;
        EXPECT_EQ(NameInk(shot[1], k, other), 0) << "row " << k;
        EXPECT_GT(TextInk(shot[1], k), 20) << "row " << k;
    }
    EXPECT_EQ(NameInk(shot[1], 5, aoi) + NameInk(shot[1], 5, ren) + TextInk(shot[1], 5), 0);
    // Aoi's picture (16 x 16 at x 280, centred on its row with the row's
    // space below the text), the voice icon (12 x 12 at x 260, at the top
    // of the row of the voiced last page) and the hovered row under the
    // pointer at (100, 100), the third.
    const uint32_t picture = 0xE00080, icon = 0x00C000, hover = 0x602000, knob = 0xFFFFFF;
    for (int k = 0; k < 5; ++k) {
        const int top = 8 + 32 * k;
        EXPECT_EQ((shot[1].At(288, top + 16) & 0xFFFFFF) == picture, speakers[k] == aoi) << "row " << k;
        EXPECT_NE(shot[1].At(288, top + 4) & 0xFFFFFF, picture) << "row " << k;
        EXPECT_EQ((shot[1].At(266, top + 6) & 0xFFFFFF) == icon, k == 4) << "row " << k;
        EXPECT_EQ((shot[1].At(250, top + 16) & 0xFFFFFF) == hover, k == 2) << "row " << k;
    }
    // The knob (8 x 16 on the track at x 304, y 8..232) at the top for
    // scroll value 0; the pad's down moves it by a quarter of its travel of
    // 208 and puts the second entry (Ren's) in the first row; the track's
    // click three quarters down puts the fourth (Aoi's) there.
    struct Scroll {
        int shot, value;
        Ink first;
    } scrolls[] = {{1, 0, aoi}, {3, 1, ren}, {4, 3, aoi}};
    for (const Scroll& sc : scrolls) {
        const Picture& p = shot[sc.shot];
        for (int v = 0; v <= 4; ++v)
            EXPECT_EQ((p.At(308, 8 + 52 * v + 8) & 0xFFFFFF) == knob, v == sc.value) << "value " << sc.value << " at " << v;
        EXPECT_GT(NameInk(p, 0, sc.first), 20) << "value " << sc.value;
        EXPECT_EQ(NameInk(p, 5 - sc.value, aoi) + NameInk(p, 5 - sc.value, ren), 0) << "value " << sc.value;
    }
    // The game screen under it is dimmed.
    const uint32_t dim = shot[1].At(300, 230);
    EXPECT_LT(dim & 0xFF, game & 0xFF);
    EXPECT_NE(dim & 0xFFFFFF, 0u);
    // The voice of the clicked row (frame 25, 2.5 s): nothing before, sound
    // within a second after (a stream starts behind its queued half buffer).
    std::string wav;
    ASSERT_TRUE(zel::ReadWholeFile((work / "out.wav").string(), wav));
    ASSERT_GT(wav.size(), 44u + 4u * 44100u * 7u);
    auto loud = [&wav](double from, double to) {
        for (size_t i = size_t(from * 44100); i < size_t(to * 44100) && 44 + 4 * i + 1 < wav.size(); ++i) {
            const int16_t left = static_cast<int16_t>(uint8_t(wav[44 + 4 * i]) | uint8_t(wav[44 + 4 * i + 1]) << 8);
            if (left > 200 || left < -200) return true;
        }
        return false;
    };
    EXPECT_FALSE(loud(0, 2.5)) << "the voice played before its row was clicked";
    EXPECT_TRUE(loud(2.5, 3.5));
    // Closed: the game screen again.
    EXPECT_EQ(shot[2].At(300, 10) & 0xFFFFFF, game);
    EXPECT_EQ(NameInk(shot[2], 0, aoi), 0);
    fs::remove_all(work);
}

}  // namespace
