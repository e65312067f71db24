#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "platform/Clock.h"
#include "shell/SdlInput.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"

namespace zel {
namespace {

// A live state and a fixed clock; the mute after creation has passed.
struct InputRig {
    TFixedStepClock clock;
    TLiveInput live;
    TInput input{live, clock};
    InputRig() {
        live.MoveTo(100, 100);
        Frame(400);
    }
    void Frame(uint64_t ms) {
        clock.Advance(ms);
        input.Update();
    }
    void Set(const std::vector<int>& keys) {
        live.down.fill(0);
        for (int k : keys) live.KeyDown(k);
    }
};

TEST(Input, EdgesLevelsModifiersAndSlop) {
    struct Row {
        const char* what;
        std::vector<int> before, now;
        int dx, dy;
        uint64_t ms;
        uint32_t code;
        bool want;
    } rows[] = {
        {"click in place", {1}, {}, 0, 0, 16, 0x10001, true},
        {"drag 15 px is a click", {1}, {}, 15, -15, 16, 0x10001, true},
        {"drag 16 px is not", {1}, {}, 16, 0, 16, 0x10001, false},
        {"drag 16 px down is not", {1}, {}, 0, 16, 16, 0x10001, false},
        {"right click", {2}, {}, 3, 3, 16, 0x10002, true},
        {"key release has no slop rule", {13}, {}, 40, 40, 16, 0x1000D, true},
        {"held 749 ms is not repeating", {13}, {13}, 0, 0, 749, 0x3000D, false},
        {"held 750 ms is repeating", {13}, {13}, 0, 0, 750, 0x3000D, true},
        {"pressed counts as pressed-or-repeating", {}, {13}, 0, 0, 16, 0x2000D, true},
        {"held 749 ms is not pressed-or-repeating", {13}, {13}, 0, 0, 749, 0x2000D, false},
        {"held 750 ms is pressed-or-repeating", {13}, {13}, 0, 0, 750, 0x2000D, true},
        {"held", {13}, {13}, 0, 0, 16, 0x4000D, true},
        {"Enter does not fire with Shift", {}, {16, 13}, 0, 0, 16, 13, false},
        {"Shift+Enter does", {}, {16, 13}, 0, 0, 16, 0x400D, true},
        {"Ctrl+Enter asks for Ctrl", {}, {13}, 0, 0, 16, 0x100D, false},
        {"slot 16 ignores modifier bits", {}, {16}, 0, 0, 16, 0x1010, true},
        {"slot 161 ignores modifier bits", {}, {17, 161}, 0, 0, 16, 161, true},
        {"slot 300 answers false", {}, {13}, 0, 0, 16, 300, false},
        {"slot 272 answers false", {}, {13}, 0, 0, 16, 272, false},
        {"question 5 answers false", {}, {13}, 0, 0, 16, 0x5000D, false},
        {"slots 20..26 are never read", {}, {21}, 0, 0, 16, 21, false},
    };
    for (const Row& r : rows) {
        InputRig rig;
        rig.Set(r.before);
        rig.Frame(16);
        rig.Set(r.now);
        rig.live.MoveTo(100 + r.dx, 100 + r.dy);
        rig.Frame(r.ms);
        EXPECT_EQ(rig.input.Test(r.code), r.want) << r.what;
    }
}

TEST(Input, TapsBetweenFramesAndTheWheel) {
    InputRig rig;
    rig.live.KeyDown(32);
    rig.live.KeyUp(32);
    rig.live.wheel += 2;
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(32));
    EXPECT_TRUE(rig.input.Test(240));
    EXPECT_EQ(rig.input.WheelDelta(), 2);
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(0x10020));
    EXPECT_FALSE(rig.input.Test(240));
    rig.live.wheel = -1;
    rig.input.SetKeyboardBlocked(true);
    rig.Frame(16);
    EXPECT_FALSE(rig.input.Test(241)) << "blocked keyboard blocks the wheel";
}

TEST(Input, ResetMutesFor300Ms) {
    InputRig rig;
    rig.input.Reset();
    EXPECT_EQ(rig.input.PointerX(), TInput::kUnknown);
    rig.Set({13});
    rig.Frame(299);
    EXPECT_FALSE(rig.input.Test(13));
    EXPECT_FALSE(rig.input.Test(0x4000D));
    rig.Frame(1);
    EXPECT_TRUE(rig.input.Test(13));
    EXPECT_EQ(rig.input.PointerX(), 100);
    // Regaining the focus resets too.
    rig.live.active = false;
    rig.Frame(16);
    rig.live.active = true;
    rig.Set({27});
    rig.Frame(16);
    EXPECT_FALSE(rig.input.Test(27));
    EXPECT_EQ(rig.input.MuteMs(), 300 - 16);
}

TEST(Input, PressPositionAndCount) {
    InputRig rig;
    rig.Set({1});
    rig.Frame(16);
    EXPECT_EQ(rig.input.PressCount(), 1);
    EXPECT_EQ(rig.input.PressX(), 100);
    rig.Set({});
    rig.Frame(16);
    // A press with a modifier held is not remembered.
    rig.Set({17, 2});
    rig.live.MoveTo(5, 5);
    rig.Frame(16);
    EXPECT_EQ(rig.input.PressCount(), 1);
    EXPECT_EQ(rig.input.Modifiers(), uint32_t(TInput::kCtrl | TInput::kRight));
}

TEST(Input, InjectReleasesItsModifiers) {
    InputRig rig;
    rig.input.Inject(0x1000 | 'S');  // Ctrl+S pressed
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(0x1000 | 'S'));
    rig.Frame(16);
    EXPECT_EQ(rig.input.Modifiers() & TInput::kCtrl, 0u);
    EXPECT_TRUE(rig.input.Test(0x40000 | 'S')) << "the key itself stays down until released";
    rig.input.Inject(0x10000 | 'S');
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(0x10000 | 'S'));
    // A tap: down for one frame, up the next.
    rig.input.Inject(0x40000 | 'T');
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test('T'));
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(0x10000 | 'T'));
    rig.input.Inject(241);
    rig.Frame(16);
    EXPECT_TRUE(rig.input.Test(241));
    rig.input.Inject(5000);  // no such slot: nothing
    rig.Frame(16);
}

TEST(Input, PointerScaleOffsetAndClamp) {
    InputRig rig;
    rig.live.clientWidth = 1280;
    rig.live.clientHeight = 720;
    EXPECT_FALSE(rig.input.SetPointerTransform(0, 0, 0));
    EXPECT_FALSE(rig.input.SetPointerTransform(-1, 0, 0));
    EXPECT_TRUE(rig.input.SetPointerTransform(2, -10, 5));
    rig.live.MoveTo(101, 50);
    rig.Frame(16);
    EXPECT_EQ(rig.input.PointerX(), 40);  // 50.5 - 10 rounds to even
    EXPECT_EQ(rig.input.PointerY(), 30);
    rig.live.MoveTo(5000, -50);
    rig.Frame(16);
    EXPECT_EQ(rig.input.PointerX(), 640);  // round(1279 / 2)
    EXPECT_EQ(rig.input.PointerY(), 0);
    rig.input.MovePointer(40, 30);
    EXPECT_TRUE(rig.live.warpPending);
    EXPECT_EQ(rig.live.warpX, 100);
    EXPECT_EQ(rig.live.warpY, 50);
}

TEST(Input, CursorHidesAfterIdleTime) {
    InputRig rig;
    rig.input.SetCursorHideDelay(1000);
    rig.Frame(999);
    EXPECT_TRUE(rig.live.cursorShown);
    rig.Frame(1);
    EXPECT_FALSE(rig.live.cursorShown);
    rig.live.MoveTo(101, 100);
    rig.Frame(16);
    EXPECT_TRUE(rig.live.cursorShown);
    rig.input.SetCursorVisible(false);
    rig.Frame(16);
    EXPECT_FALSE(rig.live.cursorShown);
    rig.input.SetCursorVisible(true);
    rig.input.SetCursorHideDelay(0);
    rig.Frame(5000);
    EXPECT_TRUE(rig.live.cursorShown);
}

TEST(Input, ActiveCodesForKeyCapture) {
    InputRig rig;
    rig.Set({16, 'A'});
    rig.Frame(16);
    EXPECT_EQ(rig.input.ActiveCodes(0), (std::vector<std::string>{std::to_string(0x4000 | 'A')}));
    rig.Set({16, 'A', 160});
    rig.Frame(16);
    EXPECT_EQ(rig.input.ActiveCodes(0), (std::vector<std::string>{std::to_string(0x4000 | 160)}));
    InputRig only;
    only.Set({16, 17});
    only.Frame(16);
    EXPECT_EQ(only.input.ActiveCodes(0), (std::vector<std::string>{"16", "17"}));
    // Only modifiers pressed: they are named alone, whatever the question.
    EXPECT_EQ(only.input.ActiveCodes(4), (std::vector<std::string>{"16", "17"}));
}

// ---- System keys ----

TEST(SystemKey, BindingsFireInOrderAndKeepTheFirst) {
    InputRig rig;
    TZelSystemKey keys(&rig.input);
    keys.Bind(13, "keyclick", "", "", "");
    keys.Bind(13, "menu", "", "", "");
    keys.Bind(0x10001, "click", "x", "7", "*label");
    keys.Bind(32, "skip", "", "", "");
    ASSERT_EQ(keys.Bindings().size(), 3u);
    EXPECT_EQ(keys.Bindings()[0].action, "keyclick");
    EXPECT_EQ(keys.Bindings()[1].label, "*label");
    EXPECT_EQ(keys.Bindings()[1].number, "7");
    EXPECT_EQ(keys.Bindings()[1].extra, "x");
    rig.Set({13, 32});
    rig.Frame(16);
    ASSERT_NE(keys.Fired(), nullptr);
    EXPECT_EQ(keys.Fired()->action, "keyclick");
    keys.SetDisabled(true);
    EXPECT_EQ(keys.Fired(), nullptr);
    keys.Clear();
    EXPECT_FALSE(keys.Disabled());
    EXPECT_TRUE(keys.Bindings().empty());
    EXPECT_EQ(SystemKeyActionCode("QuickSave"), 19);
    EXPECT_EQ(SystemKeyActionCode("custom"), 29);
    EXPECT_EQ(SystemKeyActionCode("nothing"), 0);
}

TEST(SystemKey, SaveLoadRoundTripAndRefusedStreams) {
    TZelSystemKey keys(nullptr);
    keys.Bind(0x10001, "click", "e", "1", "*a");
    keys.Bind(0x4000D, "menu", "", "", "");
    keys.SetDisabled(true);
    TMemoryStream s;
    keys.Save(s);
    const std::string bytes = s.ToString();
    TZelSystemKey back(nullptr);
    s.Rewind();
    back.Load(s);
    ASSERT_EQ(back.Bindings().size(), 2u);
    EXPECT_TRUE(back.Disabled());
    EXPECT_EQ(back.Bindings()[0].label, "*a");
    EXPECT_EQ(back.Bindings()[0].extra, "e");
    EXPECT_EQ(back.Bindings()[1].code, 0x4000Du);
    // Truncated anywhere, or with an absurd count or length: refused, table kept.
    std::string absurdCount = bytes;
    absurdCount[4] = '\x7F';
    std::string absurdLength = bytes;
    absurdLength[9] = '\xFF';
    std::vector<std::string> bad = {absurdCount, absurdLength};
    for (size_t n = 0; n < bytes.size(); ++n) bad.push_back(bytes.substr(0, n));
    for (const std::string& b : bad) {
        TMemoryStream in(b);
        EXPECT_THROW(back.Load(in), EStreamError) << b.size();
        EXPECT_EQ(back.Bindings().size(), 2u);
    }
}

// ---- SDL events ----

SDL_Event KeyEvent(bool down, SDL_Scancode sc, uint32_t at = 0) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = sc;
    e.key.timestamp = at;
    return e;
}

TEST(SdlInput, KeysButtonsWheelAndPads) {
    TLiveInput live;
    TSdlInputMapper map(live);
    map.Apply(KeyEvent(true, SDL_SCANCODE_LSHIFT));
    map.Apply(KeyEvent(true, SDL_SCANCODE_RSHIFT));
    map.Apply(KeyEvent(false, SDL_SCANCODE_LSHIFT));
    EXPECT_TRUE(live.down[16]) << "the right Shift still holds Shift";
    EXPECT_FALSE(live.down[160]);
    EXPECT_TRUE(live.down[161]);
    map.Apply(KeyEvent(false, SDL_SCANCODE_RSHIFT));
    EXPECT_FALSE(live.down[16]);
    struct {
        SDL_Scancode sc;
        int vk;
    } keys[] = {{SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_KP_ENTER, 13}, {SDL_SCANCODE_A, 'A'}, {SDL_SCANCODE_0, '0'},
                {SDL_SCANCODE_F5, 116},    {SDL_SCANCODE_UP, 38},       {SDL_SCANCODE_ESCAPE, 27}, {SDL_SCANCODE_KP_5, 101}};
    for (const auto& k : keys) EXPECT_EQ(VirtualKeyOfScancode(k.sc), k.vk) << SDL_GetScancodeName(k.sc);
    SDL_Event b;
    std::memset(&b, 0, sizeof b);
    b.type = SDL_MOUSEBUTTONDOWN;
    b.button.button = SDL_BUTTON_MIDDLE;
    b.button.x = 33;
    b.button.y = 44;
    map.Apply(b);
    EXPECT_TRUE(live.down[4]);
    EXPECT_EQ(live.pointerX, 33);
    SDL_Event w;
    std::memset(&w, 0, sizeof w);
    w.type = SDL_MOUSEWHEEL;
    w.wheel.y = -2;
    map.Apply(w);
    EXPECT_EQ(live.wheel, -2);
    SDL_Event p;
    std::memset(&p, 0, sizeof p);
    p.type = SDL_CONTROLLERBUTTONDOWN;
    p.cbutton.button = SDL_CONTROLLER_BUTTON_A;
    map.Apply(p);
    EXPECT_TRUE(live.down[1]);
    // The left stick past half way is an arrow key, let go when it returns.
    SDL_Event stick;
    std::memset(&stick, 0, sizeof stick);
    stick.type = SDL_CONTROLLERAXISMOTION;
    stick.caxis.axis = SDL_CONTROLLER_AXIS_LEFTY;
    stick.caxis.value = 30000;
    map.Apply(stick);
    EXPECT_TRUE(live.down[40]);
    stick.caxis.value = 8000;
    map.Apply(stick);
    EXPECT_FALSE(live.down[40]);
    stick.caxis.axis = SDL_CONTROLLER_AXIS_LEFTX;
    stick.caxis.value = -20000;
    map.Apply(stick);
    EXPECT_TRUE(live.down[37]);
    EXPECT_FALSE(live.down[38]);
    EXPECT_EQ(VirtualKeyOfPadName("start"), 27);
    EXPECT_EQ(VirtualKeyOfPadName("b"), 2);
    EXPECT_EQ(VirtualKeyOfPadName("left"), 37);
    EXPECT_EQ(VirtualKeyOfPadName("triangle"), 0);
    // Losing the focus lets every key go.
    SDL_Event f;
    std::memset(&f, 0, sizeof f);
    f.type = SDL_WINDOWEVENT;
    f.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    map.Apply(f);
    EXPECT_FALSE(live.active);
    EXPECT_FALSE(live.down[1]);
}

TEST(SdlInput, TheImeKeepsItsKeys) {
    TLiveInput live;
    TSdlInputMapper map(live);
    std::string committed;
    map.onText = [&](const std::string& t) { committed += t; };
    SDL_Event edit;
    std::memset(&edit, 0, sizeof edit);
    edit.type = SDL_TEXTEDITING;
    std::strcpy(edit.edit.text, "\xE3\x81\x8B");  // か
    map.Apply(edit);
    EXPECT_TRUE(map.Composing());
    map.Apply(KeyEvent(true, SDL_SCANCODE_SPACE, 100));
    map.Apply(KeyEvent(true, SDL_SCANCODE_RETURN, 100));
    EXPECT_FALSE(live.Reads(32));
    EXPECT_FALSE(live.Reads(13));
    SDL_Event text;
    std::memset(&text, 0, sizeof text);
    text.type = SDL_TEXTINPUT;
    text.text.timestamp = 200;
    std::strcpy(text.text.text, "\xE8\x9A\x8A");  // 蚊
    map.Apply(text);
    EXPECT_FALSE(map.Composing());
    EXPECT_EQ(committed, "\xE8\x9A\x8A");
    map.Apply(KeyEvent(true, SDL_SCANCODE_RETURN, 210));  // the committing Enter
    EXPECT_FALSE(live.Reads(13));
    map.Apply(KeyEvent(false, SDL_SCANCODE_RETURN, 220));
    map.Apply(KeyEvent(true, SDL_SCANCODE_RETURN, 900));
    EXPECT_TRUE(live.Reads(13));
    // An empty composition (cancelled) gives the keys back.
    map.Apply(edit);
    std::memset(edit.edit.text, 0, sizeof edit.edit.text);
    map.Apply(edit);
    map.Apply(KeyEvent(true, SDL_SCANCODE_SPACE, 1000));
    EXPECT_TRUE(live.Reads(32));
}

}  // namespace
}  // namespace zel
