// The script's answers to the player: what a click does in each wait state,
// Auto, Skip and LogSkip, system keys and buttons turned into requests under
// the lock word, the scene return and the interfaces that answer "none"
// while their subsystems are absent. Stub sound channels, buttons and a read
// log stand in for those subsystems; frames run on fixed elapsed times.
#include <map>

#include "ScriptRunSupport.h"
#include "scriptdata/SystemCommands.h"

namespace zeltest {
namespace {

using namespace zel;

// Stream channels 0..15 with a play state and an audible position; every
// channel asked for is remembered, and one outside the set is none.
class StubSound : public IScriptSound {
public:
    uint8_t StreamState(int32_t channel) override {
        asked.push_back(channel);
        return channel >= 0 && channel < 16 ? state[static_cast<size_t>(channel)] : 0;
    }
    int32_t AudiblePositionMs(int32_t channel) override {
        asked.push_back(channel);
        return channel >= 0 && channel < 16 ? positionMs[static_cast<size_t>(channel)] : 0;
    }
    bool VoiceHeard() override { return voice; }

    std::array<uint8_t, 16> state{};
    std::array<int32_t, 16> positionMs{};
    bool voice = false;
    std::vector<int32_t> asked;
};

// Buttons as rectangles; system buttons have an action word.
class StubButtons : public IScriptButtons {
public:
    struct Button {
        TButtonHit hit;
        int32_t left, top, right, bottom;
        bool system = false;
        bool enabled = true;
    };
    bool HitButton(uint32_t, int32_t x, int32_t y, TButtonHit& out) override { return Hit(false, x, y, out); }
    bool HitSystemButton(uint32_t, int32_t x, int32_t y, TButtonHit& out) override { return Hit(true, x, y, out); }
    void SetSystemButtonChecked(const std::string& name, bool checked) override {
        for (Button& b : buttons)
            if (b.hit.name == name) b.hit.checked = checked;
    }
    void RefreshSystemButtons(const std::function<TLook(const TButtonHit&)>& look) override {
        for (Button& b : buttons) {
            if (!b.system) continue;
            const TLook l = look(b.hit);
            b.enabled = l.enabled;
            b.hit.checked = l.checked;
        }
    }
    std::vector<Button> buttons;

private:
    bool Hit(bool system, int32_t x, int32_t y, TButtonHit& out) {
        for (auto it = buttons.rbegin(); it != buttons.rend(); ++it)
            if (it->system == system && it->enabled && x >= it->left && x < it->right && y >= it->top &&
                y < it->bottom) {
                out = it->hit;
                return true;
            }
        return false;
    }
};

// A plain button "bt1" over (0,0)-(100,100) with user values 7..10 and a..d.
StubButtons::Button PlainButton() {
    StubButtons::Button b{};
    b.hit.name = "bt1";
    b.hit.numbers = {7, 8, 9, 10};
    b.hit.texts = {"a", "b", "c", "d"};
    b.right = b.bottom = 100;
    return b;
}

class StubReadLog : public IScriptReadLog {
public:
    bool Recording() const override { return recording; }
    int32_t Lines(std::string_view key) const override {
        const auto it = lines.find(std::string(key));
        return it == lines.end() ? -1 : it->second;
    }
    void Record(std::string_view key, int32_t n) override {
        int32_t& v = lines.try_emplace(std::string(key), -1).first->second;
        v = std::max(v, n);
    }
    bool recording = true;
    std::map<std::string, int32_t> lines;
};

class ScriptEvents : public ScriptRun {
protected:
    void Start(std::string_view utf8) {
        ScriptRun::Start(utf8);
        Attach();
    }
    void Attach() {
        TScriptServices s;
        s.sound = &sound;
        s.buttons = &buttons;
        s.readLog = &readLog;
        s.autoPlayClickTime = [this] { return clickTime; };
        script->SetServices(s);
    }
    int32_t After() { return Int("after"); }

    StubSound sound;
    StubButtons buttons;
    StubReadLog readLog;
    int32_t clickTime = 0;
};

// What a click does in each wait state. Each source starts one wait after
// two frames of 25 ms; the click comes in the third frame's place, then a
// frame runs: "after" is 1 when the wait ended, 2 when it jumped, 0 when it
// still waits.
TEST_F(ScriptEvents, AClickInEachWaitState) {
    struct Case {
        const char* wait;
        bool positioned;  // click at (50, 50), over the button
        int32_t after;
        int32_t resultClk;  // -999: not looked at
    };
    const Case cases[] = {
        {"\\wait,5000", false, 0, 0},              // 3: nothing
        {"\\clk", false, 1, -1},                   // 4: ends, the time left is "without limit"
        {"\\clk,5000", false, 1, 5000 - 25},       // 4: what was left after one counted frame
        {"\\time,100000", false, 0, 50},           // 5: told the script clock
        {"\\time,100000,,@@jumped", false, 2, 50}, // 5: with its label it jumps
        {"\\sndt,0,99999999", false, 0, 1234000},  // 6: without a label it waits on
        {"\\sndt,0,99999999,@@jumped", false, 2, 1234000},
        {"\\wav,0", false, 1, -999},               // 10: ends
        {"\\btn", false, 0, -999},                 // 9: no pointer, no button
        {"\\btn", true, 1, -999},                  // 9: the button under the pointer
        {"\\stop,@@tick,5000", true, 0, -999},     // 2: a button hit only settles input
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wait);
        SetUp();
        Start(std::string("@@tick\n\\ret\n@@top\n\\gvar,int,after\n") + c.wait +
              "\n\\cal,after=1\n\\btn\n@@jumped\n\\cal,after=2\n");
        sound.state[0] = 2;
        sound.positionMs[0] = 1234;
        buttons.buttons = {PlainButton()};
        Frames(2);
        ASSERT_NE(script->Routine().waitState, wsRunning);
        if (c.positioned) script->Click(50, 50, false);
        else script->Click(TZelScript::kNoPosition, TZelScript::kNoPosition, false);
        Frames(1);
        EXPECT_EQ(After(), c.after);
        if (c.resultClk != -999) {
            EXPECT_EQ(Int("ResultClkInt"), c.resultClk);
        }
        EXPECT_TRUE(Errors().empty()) << ErrorText();
    }
    // The button's values came with the click that ended the button wait.
    SetUp();
    Start("@@top\n\\gvar,int,after\n\\btn\n\\cal,after=1\n");
    buttons.buttons = {PlainButton()};
    Frames(1);
    script->SetPlayMode(ScriptPlayMode::Skip);
    script->Click(50, 50, true);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);  // a button wait ends the skip modes
    EXPECT_EQ(Str("ResultBtn"), "bt1");
    EXPECT_EQ(Int("ResultBtnInt[3]"), 10);
    EXPECT_EQ(Str("ResultBtnStr[2]"), "c");
    EXPECT_EQ(script->State().inputSettle, 4);
}

// The sound-time target is compared in 64 bits (a position past 35.8 minutes
// times 1000 does not fit 32), and like every positive wait time it is still
// counted down each frame, as is the \time target. Channels outside the set
// are asked through the channel interface and answer "no sound".
TEST_F(ScriptEvents, SoundAndClockTargetsCountDownAndCompareWide) {
    Start("@@top\n\\gvar,int,after\n\\sndt,0,2100000000\n\\cal,after=1\n");
    sound.state[0] = 2;
    sound.positionMs[0] = 2000000;  // 2e9 < 2.1e9
    Frames(2);
    EXPECT_EQ(After(), 0);
    sound.positionMs[0] = 2150000;  // 2.15e9: wraps negative in 32 bits
    Frames(1);
    EXPECT_EQ(After(), 1);

    SetUp();
    Start("@@top\n\\gvar,int,after\n\\sndt,0,600000\n\\cal,after=1\n");
    sound.state[0] = 2;
    sound.positionMs[0] = 500;  // 500000 below the target
    Frames(2);
    EXPECT_EQ(After(), 0);
    Frames(1, 100000);  // the target counted down to 500000 - 25: reached
    EXPECT_EQ(After(), 1);

    // \time,1000 from clock 25: the target falls as the clock rises, so the
    // wait ends at clock 525 rather than 1000.
    SetUp();
    Start("@@top\n\\gvar,int,after\n\\time,1000\n\\cal,after=1\n");
    int frames = 0;
    while (After() == 0 && frames < 100) {
        Frames(1);
        ++frames;
    }
    EXPECT_EQ(script->State().scriptClock, 525);

    for (const char* wait : {"\\sndt,-1,5000", "\\wav,-3", "\\wav,99"}) {
        SCOPED_TRACE(wait);
        SetUp();
        Start(std::string("@@top\n\\gvar,int,after\n") + wait + "\n\\cal,after=1\n");
        sound.asked.clear();
        Frames(2);
        EXPECT_EQ(After(), 1);  // no sound on that channel: the wait ends
        ASSERT_FALSE(sound.asked.empty());
    }
}

// Auto clicks a click wait without a time once AutoPlayClickTime has passed
// and no voice is heard; a locked Auto falls back to Normal.
TEST_F(ScriptEvents, AutoWaitsTheClickTimeAndASilentVoice) {
    clickTime = 200;
    Start("@@top\n\\gvar,int,after\n\\clk\n\\cal,after=1\n\\clk\n\\cal,after=2\n");
    script->State().lockWord = 0;
    Frames(1);  // reaches \clk: delay 200
    script->SetPlayMode(ScriptPlayMode::Auto);
    EXPECT_EQ(script->WaitCursorLabel(), "*OnAuto");
    int frames = 0;
    while (After() == 0 && frames < 50) {
        Frames(1);
        ++frames;
    }
    // 200 ms in frames of 25: eight frames count it down, the ninth clicks.
    EXPECT_EQ(frames, 9);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Auto);  // generated clicks keep the mode
    sound.voice = true;
    Frames(20);
    EXPECT_EQ(After(), 1);  // a voice is heard: Auto waits
    sound.voice = false;
    Frames(1);
    EXPECT_EQ(After(), 2);
    // A real click ends Auto; the lock ends it too.
    script->SetPlayMode(ScriptPlayMode::Auto);
    script->Click(TZelScript::kNoPosition, TZelScript::kNoPosition, false);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    script->SetPlayMode(ScriptPlayMode::Auto);
    script->State().lockWord = ScriptLockBit::Auto;
    Frames(1);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
}

// Skip clicks every wait from state 3 up in every frame and runs without
// waiting: a \wait is not ended by the clicks, \clk is, a \btn wait ends
// only at a button (and its click returns to Normal).
TEST_F(ScriptEvents, SkipClicksEveryWaitFromState3) {
    Start("@@top\n\\gvar,int,after\n\\clk\n\\clk\n\\clk\n\\cal,after=1\n\\wait,100\n\\cal,after=2\n\\btn\n\\cal,after=3\n");
    script->State().lockWord = 0;
    Frames(1);
    script->SetPlayMode(ScriptPlayMode::Skip);
    Frames(3);
    EXPECT_EQ(After(), 1);
    EXPECT_TRUE(script->State().noWait);
    EXPECT_EQ(script->Routine().waitState, wsWait);
    Frames(2);
    EXPECT_EQ(After(), 1);  // the wait runs its time: 100 ms
    Frames(3);
    EXPECT_EQ(After(), 2);
    EXPECT_EQ(script->Routine().waitState, wsButton);
    EXPECT_FALSE(script->ModeMayEnter(ScriptPlayMode::Skip));  // the menu refuses Skip at a button wait
    Frames(1);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    EXPECT_EQ(After(), 2);
    // \sys p,0 clears the no-wait flag with the mode.
    script->SetPlayMode(ScriptPlayMode::Normal);
    EXPECT_FALSE(script->State().noWait);
    // Locked Skip goes back to Normal at once.
    script->SetPlayMode(ScriptPlayMode::LogSkip);
    script->State().lockWord = ScriptLockBit::Skip;
    Frames(1);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
}

// LogSkip runs over lines the read log already holds and stops at the first
// unread one; silent labels neither record nor stop it.
TEST_F(ScriptEvents, LogSkipStopsAtTheFirstUnreadLine) {
    Start("@@top\n\\gvar,int,n\n\\go,@@story\n@@story\n\\cal,n=1\\clk\n\\cal,n=2\\clk\n\\cal,n=3\\clk\n"
          "\\cal,n=4\\clk\n\\cal,n=5\\clk\n@@!quiet\n\\cal,n=6\\clk\n");
    script->State().lockWord = 0;
    readLog.lines["main.s@@story"] = 3;
    Frames(1);
    EXPECT_EQ(Int("n"), 1);
    EXPECT_TRUE(script->CanLogSkip());
    EXPECT_TRUE(script->ModeMayEnter(ScriptPlayMode::LogSkip));
    script->SetPlayMode(ScriptPlayMode::LogSkip);
    Frames(10);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    EXPECT_EQ(Int("n"), 4);  // line 4 was not read before
    EXPECT_EQ(readLog.lines["main.s@@story"], 4);
    EXPECT_FALSE(script->CanLogSkip());
    // Clicked on by hand to the silent label: nothing recorded there.
    for (int i = 0; i < 4; ++i) {
        script->Click(TZelScript::kNoPosition, TZelScript::kNoPosition, false);
        Frames(1);
    }
    EXPECT_EQ(Int("n"), 6);
    for (const auto& [key, n] : readLog.lines) EXPECT_EQ(key.find("quiet"), std::string::npos) << key;
    // Recording switched off: nothing more is kept.
    readLog.recording = false;
    readLog.lines.clear();
    SetUp();
    ScriptRun::Start("@@top\n\\cal,0\n\\cal,0\n");
    readLog.recording = false;
    Attach();
    Frames(1);
    EXPECT_TRUE(readLog.lines.empty());
}

// The system keys' requests, each under its lock: a fresh script has every
// lock set and ignores them all; with its own lock bit clear each key asks
// for its request with its label; its bit alone blocks it again.
TEST_F(ScriptEvents, SystemKeysRequestUnderTheirLocks) {
    struct Case {
        int32_t action;
        int32_t request;
        uint32_t lock;
    };
    using namespace ScriptLockBit;
    namespace R = ScriptRequest;
    const Case cases[] = {
        {4, R::Menu, Menu},         {5, R::Log, Log},          {6, R::Screen, Screen},
        {7, R::ResetConfirm, Reset}, {8, R::ExitConfirm, Reset}, {9, R::Load, Load},
        {10, R::Save, Save},         {11, R::View, View},       {12, R::Config, Config},
        {13, R::Minimize, Minimize}, {14, R::Auto, Auto},       {15, R::Skip, Skip},
        {16, R::LogSkip, Skip},      {19, R::QuickSave, Save},  {20, R::QuickLoad, Load},
        {21, R::SelectLoad, Load},   {24, R::SceneReturn, Jump},
    };
    Start("@@top\n\\clk\n");
    Frames(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        const TFiredKey key{c.action, "*Screen", 0};
        script->ResetScript();
        EXPECT_EQ(script->State().lockWord, 0x0FFFFFFFu);
        script->SystemKeyAction(key, 10, 10);
        EXPECT_EQ(script->State().request, R::None);
        // Only its own bit matters.
        script->State().lockWord = 0x0FFFFFFF & ~c.lock;
        script->SystemKeyAction(key, 10, 10);
        EXPECT_EQ(script->State().request, c.request);
        EXPECT_EQ(script->State().requestArgument, "*Screen");
        script->State().request = R::None;
        script->State().lockWord = c.lock;
        script->SystemKeyAction(key, 10, 10);
        EXPECT_EQ(script->State().request, R::None);
    }
    // Custom: blocked while the custom-key mask shares a bit with the number.
    script->State().lockWord = 0;
    script->State().customKeyMask = 0x0FFFFFFF;
    script->SystemKeyAction({29, "*Mine", 4}, 0, 0);
    EXPECT_EQ(script->State().request, R::None);
    script->State().customKeyMask = 3;
    script->SystemKeyAction({29, "*Mine", 4}, 0, 0);
    EXPECT_EQ(script->State().request, R::Custom);
    EXPECT_EQ(script->State().requestArgument, "*Mine");
    // The scene-skip actions do nothing here.
    script->State().request = R::None;
    script->SystemKeyAction({17, "", 0}, 0, 0);
    script->SystemKeyAction({18, "", 0}, 0, 0);
    EXPECT_EQ(script->State().request, R::None);
}

// A fired key ends every play mode; the key of the mode that was on only
// ends it; a click key in View mode ends View without clicking.
TEST_F(ScriptEvents, BoundKeysEndThePlayModes) {
    Start("@@top\n\\gvar,int,after\n\\clk\n\\cal,after=1\n");
    Frames(1);
    script->State().lockWord = 0;
    TPlayerInput in;
    in.fired = true;
    in.key.action = 14;  // auto
    script->SetPlayMode(ScriptPlayMode::Auto);
    script->ServicePlayerInput(in, true);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    EXPECT_EQ(script->State().request, ScriptRequest::None);
    script->ServicePlayerInput(in, true);
    EXPECT_EQ(script->State().request, ScriptRequest::Auto);
    in.key.action = 1;
    script->SetPlayMode(ScriptPlayMode::View);
    script->ServicePlayerInput(in, false);  // View: input is not processed
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    EXPECT_EQ(script->Routine().waitState, wsClick);
}

// System buttons: their action words, the lock that disables them in the
// refresh (and at once after a reset), the play-mode toggles.
TEST_F(ScriptEvents, SystemButtonsActUnlessLocked) {
    Start("@@top\n\\gvar,int,after\n\\clk\n\\cal,after=1\n");
    auto sys = [](const char* name, const char* action, const char* arg = "") {
        StubButtons::Button b{};
        b.hit.name = name;
        b.hit.action = action;
        b.hit.argument = arg;
        b.right = b.bottom = 10;
        b.system = true;
        return b;
    };
    buttons.buttons = {sys("m", "menu", "*MyMenu")};
    Frames(1);
    // Locked: the click falls through to the click wait.
    script->Click(5, 5, false);
    EXPECT_EQ(script->State().request, ScriptRequest::None);
    EXPECT_FALSE(buttons.buttons[0].enabled);
    Frames(1);
    EXPECT_EQ(After(), 1);
    script->State().lockWord = 0;
    Frames(1);
    EXPECT_TRUE(buttons.buttons[0].enabled);
    script->Click(5, 5, false);
    EXPECT_EQ(script->State().request, ScriptRequest::Menu);
    EXPECT_EQ(script->State().requestArgument, "*MyMenu");
    EXPECT_EQ(script->State().inputSettle, 0);
    // The Auto button toggles.
    buttons.buttons = {sys("a", "AUTO")};
    Frames(1);
    script->Click(5, 5, false);
    EXPECT_EQ(script->State().request, ScriptRequest::Auto);
    EXPECT_TRUE(buttons.buttons[0].hit.checked);
    script->SetPlayMode(ScriptPlayMode::Auto);  // as the shell does
    Frames(1);
    EXPECT_TRUE(buttons.buttons[0].hit.checked);
    script->Click(5, 5, false);
    EXPECT_EQ(script->State().playMode, ScriptPlayMode::Normal);
    EXPECT_FALSE(buttons.buttons[0].hit.checked);
    // Custom buttons: disabled by the custom-key mask, checked by the checked mask.
    StubButtons::Button custom = sys("c", "custom", "*C");
    custom.hit.numbers = {4, 8, 0, 0};
    buttons.buttons = {custom};
    script->State().customKeyMask = 4;
    Frames(1);
    EXPECT_FALSE(buttons.buttons[0].enabled);
    script->State().customKeyMask = 0;
    script->State().customCheckedMask = 8;
    Frames(1);
    EXPECT_TRUE(buttons.buttons[0].enabled);
    EXPECT_TRUE(buttons.buttons[0].hit.checked);
}

// Without buttons, read log, save folder or sound the events answer "none".
TEST_F(ScriptEvents, AbsentSubsystemsAnswerNone) {
    ScriptRun::Start("@@top\n\\gvar,int,after\n\\btn\n\\cal,after=1\n");
    script->State().lockWord = 0;
    Frames(1);
    EXPECT_FALSE(script->SystemButtonAction(5, 5));
    script->Click(5, 5, false);
    Frames(1);
    EXPECT_EQ(After(), 0);  // no button to hit
    EXPECT_FALSE(script->CanLogSkip());
    EXPECT_FALSE(script->ModeMayEnter(ScriptPlayMode::LogSkip));
    EXPECT_FALSE(script->SelectSaveExists(true));
    script->RecordReadPosition("main.s@@top", 3);  // no log: nothing happens
    script->SetPlayMode(ScriptPlayMode::Auto);
    EXPECT_EQ(script->WaitCursorLabel(), "*OnButton");
}

// The selection save is looked for on every 40th call, or when asked to.
TEST_F(ScriptEvents, SelectSaveIsCheckedEvery40thCall) {
    ScriptRun::Start("@@top\n");
    int looks = 0;
    bool exists = false;
    TScriptServices s;
    s.saveExists = [&](const std::string& name) {
        EXPECT_EQ(name, "SelectSaveData.svd");
        ++looks;
        return exists;
    };
    script->SetServices(s);
    EXPECT_FALSE(script->SelectSaveExists(true));
    exists = true;
    const int before = looks;
    int calls = 0;
    while (!script->SelectSaveExists(false) && calls < 100) ++calls;
    EXPECT_LE(calls, 39);
    EXPECT_EQ(looks, before + 1);
    EXPECT_TRUE(script->SelectSaveExists(false));
    exists = false;
    EXPECT_FALSE(script->SelectSaveExists(true));
}

// Scene return: back to the routine called from the scene label, its wait
// ended; not from the scene label itself, nor under the jump lock.
TEST_F(ScriptEvents, SceneReturnGoesBackToTheSceneLabel) {
    Start("@@top\n\\gvar,int,after\n\\go,@@scene\n@@scene\n\\sub,@@inner\n\\cal,after=1\n\\btn\n"
          "@@inner\n\\sub,@@deeper\n@@deeper\n\\clk\n");
    Frames(1);
    ASSERT_EQ(script->Thread().Count(), 3);
    ASSERT_EQ(script->Routine().waitState, wsClick);
    script->State().sceneLabel = "@@SCENE";
    EXPECT_FALSE(script->SceneReturnPossible());  // locked
    script->State().lockWord = 0;
    EXPECT_TRUE(script->SceneReturnPossible());
    script->SceneReturn();
    EXPECT_EQ(script->Thread().Count(), 1);
    EXPECT_EQ(script->Routine().waitState, wsRunning);
    Frames(1);
    EXPECT_EQ(After(), 1);
    EXPECT_FALSE(script->SceneReturnPossible());  // at the scene label itself
    EXPECT_TRUE(Errors().empty()) << ErrorText();
}

TEST_F(ScriptEvents, WaitCursorLabels) {
    struct Case {
        uint8_t state;
        int32_t waitTime;
        int32_t mode;
        const char* label;
    };
    const Case cases[] = {
        {wsRunning, 0, 0, "*Default"},   {wsWait, 100, 0, "*OnWait"},      {wsWait, 100, 2, "*Default"},
        {wsClick, -1, 0, "*OnClick"},    {wsClick, -1, 2, "*OnAuto"},      {wsClick, 100, 0, "*Default"},
        {wsClick, -1, 3, "*Default"},    {wsTime, 100, 0, "*Default"},     {wsMessage, 0, 0, "*OnMessage"},
        {wsMessagePage, 0, 0, "*OnScroll"}, {wsMessagePage, 0, 2, "*OnAuto"}, {wsButton, -1, 3, "*OnButton"},
        {wsWave, 0, 0, "*OnWave"},       {wsWave, 0, 2, "*Default"},
    };
    ScriptRun::Start("@@top\n");
    for (const Case& c : cases) {
        script->Routine().waitState = c.state;
        script->Routine().waitTime = c.waitTime;
        script->State().playMode = c.mode;
        EXPECT_EQ(script->WaitCursorLabel(), c.label) << int(c.state) << " " << c.mode;
    }
    // An after-load label is taken once a frame with time, layer or not.
    script->Routine().waitState = wsRunning;
    script->State().playMode = 0;
    script->State().afterLoadLabel = "*OnQuickLoad";
    Frames(1, 0);
    EXPECT_EQ(script->State().afterLoadLabel, "*OnQuickLoad");
    Frames(1);
    EXPECT_TRUE(script->State().afterLoadLabel.empty());
}

}  // namespace
}  // namespace zeltest

namespace zeltest {
namespace {

using namespace zel;

class FakeKeys : public ISystemKeyTable {
public:
    void Bind(uint32_t code, std::string action, std::string number, std::string label) override {
        bound.push_back(std::to_string(code) + ":" + action + ":" + number + ":" + label);
    }
    void Unbind(uint32_t code) override { bound.push_back("-" + std::to_string(code)); }
    void Clear() override { bound.push_back("clear"); }
    void SetDisabled(bool on) override { disabled = on; }
    bool Disabled() const override { return disabled; }
    std::vector<std::string> bound;
    bool disabled = false;
};

// A start-up script binds its keys and clears its locks with the skey and
// sys words; the request words ask whatever the locks hold.
TEST_F(ScriptRun, SystemAndKeyWordsSetLocksMasksAndRequests) {
    Start(R"(@@top
\gvar,sys,sy
\gvar,skey,keys
\gvar,int,a,b,c,p
\scp,keys
\a,13,keyclick,*OnEnter,0
\a,27,menu,,5
\d,27
\lk,1
\?lk
\cal,a=ResultInt[0]
\i
\scp,sy
\lk,0
\lkc,$F0
\ckc,3
\p,2
\?p
\cal,p=ResultInt[0]
\?lkc
\cal,b=ResultInt[0]
\lk
\?lk
\cal,c=ResultInt[0]
\sr,@@scene
\ap,-5
\m,*MyMenu
)");
    FakeKeys keys;
    RegisterSystemCommands(script->Objects().Handlers(), &keys);
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    EXPECT_EQ(keys.bound, (std::vector<std::string>{"13:keyclick:0:*OnEnter", "27:menu:5:", "-27", "clear"}));
    EXPECT_EQ(Int("a"), 1);
    EXPECT_EQ(Int("b"), 0xF0);
    EXPECT_EQ(Int("c"), 0x0FFFFFFF);
    EXPECT_EQ(Int("p"), 2);
    EXPECT_EQ(script->State().customCheckedMask, 3u);
    EXPECT_EQ(script->State().sceneLabel, "@@scene");
    EXPECT_EQ(script->State().autoPlayDelay, 0);
    // The menu request is set although every lock is set again.
    EXPECT_EQ(script->State().request, ScriptRequest::Menu);
    EXPECT_EQ(script->State().requestArgument, "*MyMenu");
}

}  // namespace
}  // namespace zeltest

namespace zeltest {
namespace {

using namespace zel;

// The screens' layout names: one word each, cut at 127 bytes without
// splitting a double-byte character; the state keeps them for the saves.
TEST_F(ScriptRun, LayoutNameWordsSetTheScreensLayouts) {
    const std::string longName = std::string(126, 'a') + "\x95\x5C";  // 表 in Shift-JIS
    FakeKeys keys;
    Start("@@top\n\\gvar,sys,s\n\\scp,s\n\\lf,\"l.dat\"\n\\sf,\"s.dat\"\n\\mf,\"menu2.dat\"\n\\hf,\"" + longName +
          "\"\n\\clk\n");
    RegisterSystemCommands(script->Objects().Handlers(), &keys);
    Frames(1);
    EXPECT_TRUE(Errors().empty()) << ErrorText();
    const auto& names = script->State().layoutNames;
    EXPECT_EQ(names[0], "l.dat");
    EXPECT_EQ(names[1], "s.dat");
    EXPECT_EQ(names[2], "menu2.dat");
    EXPECT_EQ(names[3], std::string(126, 'a'));  // the kanji would pass byte 127
}

}  // namespace
}  // namespace zeltest
