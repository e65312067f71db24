#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/HeadlessDisplay.h"
#include "script/ZelScriptLib.h"
#include "shell/EngineFonts.h"
#include "shell/InputEvents.h"
#include "shell/InputScript.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"

namespace zel {
namespace {

TEST(InputScript, LinesBecomeEventsOfTheirFrames) {
    const std::string text =
        "# a play-through\n"
        "3 move 10 20\r\n"
        "\n"
        "  5 click 40 50\n"
        "5 key 13\n"
        "6 keydown 17\n"
        "7 keyup 17\n"
        "8 wheel -2\n"
        "9 pad start\n"
        "9 down right\n"
        "10 up right\n"
        "11 text \xE6\xBC\xA2\xE5\xAD\x97 ok\n"
        "4 move 1 1\n";
    std::vector<TInputEvent> ev;
    std::string err;
    ASSERT_TRUE(ParseInputScript(text, ev, err)) << err;
    std::vector<std::string> got;
    for (const TInputEvent& e : ev)
        got.push_back(std::to_string(e.frame) + ":" + std::to_string(e.kind) + ":" + std::to_string(e.a) + ":" +
                      std::to_string(e.b) + e.text);
    const std::vector<std::string> want = {
        "3:0:10:20", "4:0:1:1",   "5:0:40:50", "5:1:1:0",  "5:1:13:0", "6:2:1:0",   "6:2:13:0",
        "6:1:17:0",  "7:2:17:0",  "8:3:-2:0",  "9:1:27:0", "9:1:2:0",  "10:2:27:0", "10:2:2:0",
        "11:4:0:0\xE6\xBC\xA2\xE5\xAD\x97 ok"};
    EXPECT_EQ(got, want);
}

TEST(InputScript, BadLinesNameTheirLine) {
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"1 move 10\n", "line 1: move wants X Y"},
        {"\n0 key 13\n", "line 2: the frame must be a number from 1"},
        {"x key 13\n", "line 1: the frame must be"},
        {"1 key 272\n", "line 1: key wants a virtual-key code"},
        {"1 key 0\n", "line 1: key wants a virtual-key code"},
        {"1 down middle\n", "line 1: down wants left or right"},
        {"1 pad triangle\n", "line 1: pad wants"},
        {"1 wheel 0\n", "line 1: wheel wants"},
        {"1 text\n", "line 1: text wants"},
        {"1 jump 3\n", "line 1: unknown event \"jump\""},
        {"1\n", "line 1: an event kind must follow"},
        {"1 click 1 2 3\n", "line 1: click wants X Y"},
    };
    for (const Case& c : cases) {
        std::vector<TInputEvent> ev;
        std::string err;
        EXPECT_FALSE(ParseInputScript(c.text, ev, err)) << c.text;
        EXPECT_EQ(err.rfind(c.want, 0), 0u) << err;
    }
}

TEST(InputScript, ReplayFeedsTheLiveStateFrameByFrame) {
    std::vector<TInputEvent> ev;
    std::string err;
    ASSERT_TRUE(ParseInputScript("2 click 7 8\n2 wheel 1\n3 text abc\n", ev, err)) << err;
    TInputReplay replay(std::move(ev));
    std::string text;
    replay.onText = [&](const std::string& t) { text += t; };
    TLiveInput live;
    replay.Deliver(1, live);
    EXPECT_FALSE(live.Reads(1));
    replay.Deliver(2, live);
    EXPECT_TRUE(live.down[1]);
    EXPECT_EQ(live.pointerX, 7);
    EXPECT_EQ(live.wheel, 1);
    replay.Deliver(2, live);  // delivered once only
    EXPECT_EQ(live.wheel, 1);
    replay.Deliver(3, live);
    EXPECT_FALSE(live.down[1]);
    EXPECT_EQ(text, "abc");
}

// A script waiting on \clk, driven by a click and by Enter through the
// input service; the frame that ended each wait is counted by the script.
TEST(InputEvents, ClicksAndBoundKeysEndClickWaits) {
    TFixedStepClock clock;
    TLiveInput live;
    TInput input(live, clock);
    TZelSystemKey keys(&input);
    TScriptInputEvents events(input, keys);
    TZelScript script(nullptr);
    TScriptServices services;
    services.input = &events;
    services.events = &events;
    script.SetServices(services);
    auto frame = [&] {
        clock.Advance(100);
        input.Update();
        script.RunFrame(100, true);
    };
    for (int i = 0; i < 4; ++i) frame();  // past the 300 ms mute
    script.ExecuteLine("\\clk,5000");
    frame();
    EXPECT_EQ(script.Routine().waitState, wsClick);
    live.MoveTo(10, 10);
    live.KeyDown(1);
    frame();
    live.KeyUp(1);
    frame();  // released in place: a click
    EXPECT_EQ(script.Routine().waitState, wsRunning);
    // What was left of the wait: two frames of 100 ms had passed.
    EXPECT_EQ(script.Evaluate("ResultClkInt").IntValue, 5000 - 200);
    // With bindings, only bound codes click: the left button no longer does.
    keys.Bind(0x400D, "keyclick", "", "", "");
    script.ExecuteLine("\\clk,5000");
    live.KeyDown(1);
    frame();
    live.KeyUp(1);
    frame();
    EXPECT_EQ(script.Routine().waitState, wsClick);
    live.KeyDown(16);
    live.KeyDown(13);
    frame();
    EXPECT_EQ(script.Routine().waitState, wsRunning);
    // A script reset clears the bindings.
    events.Reset(script);
    EXPECT_TRUE(keys.Bindings().empty());
}

TEST(ErrorScreen, TitleAndLinesInTheOutlineFont) {
    THeadlessDisplay display;
    display.SetScreenSize(320, 240);
    ASSERT_TRUE(display.Initialize(false));
    int pitch = 0;
    uint32_t* px = display.Lock(&pitch);
    ASSERT_NE(px, nullptr);
    for (int y = 0; y < 240; ++y) std::fill(px + y * (pitch / 4), px + y * (pitch / 4) + 320, 0xFF336699u);
    display.Unlock();
    TEngineFonts fonts;
    fonts.PaintErrorScreen(display, {Sj("[ERROR]:変数がありません"), "[ERROR]:second"});
    px = display.Lock(&pitch);
    auto at = [&](int x, int y) { return px[y * (pitch / 4) + x]; };
    auto inked = [&](int x0, int x1, int y0) {
        int yellow = 0, black = 0;
        for (int y = y0; y < y0 + 12; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint32_t c = at(x, y) & 0xFFFFFF;
                // Yellow ink, faint at the glyph edges: red and green alike, blue lower.
                yellow += (c >> 16) > 0x40 && (c >> 16) == ((c >> 8) & 0xFF) && (c & 0xFF) < (c >> 16);
                black += c == 0;
            }
        return std::pair{yellow, black};
    };
    // The title: nine full-width characters from (20, 100), yellow on black.
    for (int i = 0; i < 9; ++i) {
        const auto [yellow, black] = inked(20 + 12 * i, 32 + 12 * i, 100);
        EXPECT_GT(yellow, 0) << "title cell " << i;
        EXPECT_GT(black, 0) << "title cell " << i;
    }
    EXPECT_EQ(at(20 + 12 * 9 + 1, 105), 0xFF336699u);  // right of the title
    EXPECT_GT(inked(20, 80, 150).first, 0);
    EXPECT_GT(inked(20, 80, 162).first, 0);
    EXPECT_EQ(at(10, 155), 0xFF336699u);
    display.Unlock();
}

}  // namespace
}  // namespace zel
