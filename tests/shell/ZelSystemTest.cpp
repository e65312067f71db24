#include <gtest/gtest.h>

#include "FakeParts.h"
#include "base/ErrorLog.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessDisplay.h"
#include "platform/Window.h"
#include "shell/SystemConfigLib.h"
#include "shell/ZelSystemLib.h"

using namespace zel;
using namespace zel::test;

namespace {

// A TZelSystem with fake scripts and screens, set up and started.
struct Rig {
    TFixedStepClock clock{10000};
    TScriptedDialogHost dialogs;
    THeadlessWindow window;
    THeadlessDisplay display;
    TZelSystem sys{clock, dialogs, nullptr, "/nonexistent-save-folder"};
    FakeScript* game = nullptr;
    FakeScript* system = nullptr;
    FakeScreen* menu = nullptr;
    FakeScreen* log = nullptr;
    FakeScreen* files = nullptr;
    FakeMovie* movie = nullptr;
    FakeSound* sound = nullptr;

    explicit Rig(int fps = 40) {
        ActiveSettings() = TSystemData();
        ActiveSettings().FPSLimit = fps;
        Messages().Load("");
        ClearErrors();
        SetErrorFlag(false);
        window.Show();
        display.Initialize(false);
        TZelSystemParts parts;
        parts.makeScript = [this](TZelSystem&, IEngineScript* parent) {
            auto s = std::make_unique<FakeScript>();
            (parent ? system : game) = s.get();
            return s;
        };
        auto m = std::make_unique<FakeScreen>(); menu = m.get(); parts.menu = std::move(m);
        auto l = std::make_unique<FakeScreen>(); log = l.get(); parts.logScreen = std::move(l);
        auto f = std::make_unique<FakeScreen>(); files = f.get(); parts.fileSelect = std::move(f);
        auto mv = std::make_unique<FakeMovie>(); movie = mv.get(); parts.movie = std::move(mv);
        auto sn = std::make_unique<FakeSound>(); sound = sn.get(); parts.sound = std::move(sn);
        EXPECT_TRUE(sys.Setup({.window = &window, .display = &display}, std::move(parts)));
        sys.Start();
    }
    // Ticks until a frame runs; returns the virtual ms that passed.
    uint64_t NextFrame() {
        const uint64_t start = clock.NowMs();
        for (int i = 0; i < 1000; ++i) {
            sys.Tick();
            if (sys.LastTickRanFrame()) return clock.NowMs() - start;
            if (clock.SleepCount() == 0) clock.Advance(1);
            clock.LastSleepCountReset();
        }
        ADD_FAILURE() << "no frame ran";
        return 0;
    }
};

}  // namespace

TEST(ZelSystemTick, PacingTable) {
    struct Case { int fps; uint64_t interval; } cases[] = {
        {40, 25}, {5, 100}, {0, 100}, {10, 100}, {60, 16}, {1000, 1},
    };
    for (auto c : cases) {
        Rig r(c.fps);
        r.NextFrame();  // align with the frame clock
        const uint64_t t = r.NextFrame();
        // A frame runs once more than the interval has passed.
        EXPECT_EQ(t, c.interval + 1) << "FPSLimit " << c.fps;
    }
}

TEST(ZelSystemTick, TheFirstFrameRunsRightAfterStartAndCountsOneInterval) {
    for (int fps : {40, 60, 5}) {
        Rig r(fps);
        r.clock.LastSleepCountReset();
        r.sys.Tick();
        ASSERT_TRUE(r.sys.LastTickRanFrame()) << "FPSLimit " << fps;
        EXPECT_EQ(r.clock.SleepCount(), 0u);
        ASSERT_FALSE(r.game->elapsedSeen.empty());
        EXPECT_EQ(r.game->elapsedSeen.back(), 1000 / std::max(fps, 10) + 1) << "FPSLimit " << fps;
    }
}

TEST(ZelSystemTick, AWaitingTickSleepsUntilTheFrameIsDueWithoutSpinning) {
    // Ms since the last frame (100 ms interval; the frame is due 101 ms
    // after it) -> what the waiting ticks sleep: all but the last 3 ms while
    // more than 4 remain (never more than 97 ms), then the rest to the frame
    // in one sleep; never nothing (which would spin the loop).
    const struct { uint64_t since; uint32_t first, second; } waits[] = {
        {0, 97, 4}, {50, 47, 4}, {95, 2, 4}, {96, 5, 0}, {99, 2, 0}, {100, 1, 0},
    };
    for (const auto& w : waits) {
        SCOPED_TRACE(std::to_string(w.since) + " ms after the frame");
        Rig r(5);
        r.NextFrame();
        r.clock.Advance(w.since);
        for (const uint32_t slept : {w.first, w.second}) {
            if (slept == 0) break;
            r.clock.LastSleepCountReset();
            EXPECT_EQ(r.sys.Tick(), 0);
            EXPECT_FALSE(r.sys.LastTickRanFrame());
            EXPECT_EQ(r.clock.SleepCount(), 1u);
            EXPECT_EQ(r.clock.TotalSlept(), slept);
        }
        // The next tick runs the frame, without sleeping again.
        r.clock.LastSleepCountReset();
        r.sys.Tick();
        EXPECT_TRUE(r.sys.LastTickRanFrame());
        EXPECT_EQ(r.clock.SleepCount(), 0u);
    }
}

TEST(ZelSystemTick, ElapsedIsClampedAndNoWaitRunsBackToBack) {
    Rig r;
    r.NextFrame();
    r.clock.Advance(7000);  // a 7 s pause counts as 5000 ms
    r.sys.Tick();
    ASSERT_TRUE(r.sys.LastTickRanFrame());
    EXPECT_EQ(r.game->elapsedSeen.back(), 5000);
    r.game->noWait = true;
    r.clock.Advance(1);
    r.sys.Tick();
    EXPECT_TRUE(r.sys.LastTickRanFrame());
    r.clock.Advance(1);
    r.sys.Tick();
    EXPECT_TRUE(r.sys.LastTickRanFrame());
    EXPECT_EQ(r.game->elapsedSeen.back(), 1);
}

TEST(ZelSystemRequests, DefaultActionsAndDiversion) {
    struct Case {
        int32_t req;
        const char* arg;
        SystemMode mode;
        int32_t modeArg;
        int32_t playMode;
    } cases[] = {
        {SystemRequest::Quit, "", SystemMode::Exit, 0, 0},
        {SystemRequest::ExitConfirm, "", SystemMode::ExitConfirm, 0, 0},
        {SystemRequest::Menu, "", SystemMode::Menu, 0, 0},
        {SystemRequest::Log, "", SystemMode::Log, 0, 0},
        {SystemRequest::ResetConfirm, "", SystemMode::ResetConfirm, 0, 0},
        {SystemRequest::Save, "", SystemMode::SaveSelect, 0, 0},
        {SystemRequest::Load, "", SystemMode::LoadSelect, 0, 0},
        {SystemRequest::Config, "", SystemMode::Config, -1, 0},
        {SystemRequest::ConfigVolume, "", SystemMode::Config, 1, 0},
        {SystemRequest::ConfigVoice, "", SystemMode::Config, 2, 0},
        {SystemRequest::View, "", SystemMode::Game, 0, PlayMode::View},
        {SystemRequest::Auto, "", SystemMode::Game, 0, PlayMode::Auto},
        {SystemRequest::Skip, "", SystemMode::Game, 0, PlayMode::Skip},
        {SystemRequest::LogSkip, "", SystemMode::Game, 0, PlayMode::LogSkip},
        // A label diverts the request to the system script, even Quit and Menu.
        {SystemRequest::Quit, "*MyQuit", SystemMode::SystemScript, 0, 0},
        {SystemRequest::Menu, "*MyMenu", SystemMode::SystemScript, 0, 0},
        {SystemRequest::Custom, "*Screen", SystemMode::SystemScript, 0, 0},
    };
    for (const Case& c : cases) {
        Rig r;
        r.game->request = c.req;
        r.game->requestArg = c.arg;
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), c.mode) << "request " << c.req << " arg " << c.arg;
        EXPECT_EQ(r.sys.ModeArgument(), c.modeArg) << "request " << c.req;
        EXPECT_EQ(r.game->playMode, c.playMode) << "request " << c.req;
        if (c.mode == SystemMode::SystemScript) {
            ASSERT_FALSE(r.system->log.empty());
            const std::string want = std::string("exec \\go,") + c.arg + ",SysStartUp.s";
            EXPECT_NE(std::find(r.system->log.begin(), r.system->log.end(), want), r.system->log.end()) << c.req;
        }
    }
}

TEST(ZelSystemRequests, QuickSaveWithoutASlotAndQuickLoadFromTheSaveScreenWriteNoSave) {
    auto saves = [](const FakeScript& s) {
        return std::count_if(s.log.begin(), s.log.end(), [](const std::string& l) { return l.rfind("save ", 0) == 0; });
    };
    {
        Rig r;
        r.files->quickName = "";  // no quick-save slots
        r.game->request = SystemRequest::QuickSave;
        r.NextFrame();
        EXPECT_EQ(saves(*r.game), 0);
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
        r.files->quickName = "QuickSaveData0.svd";
        r.game->request = SystemRequest::QuickSave;
        r.NextFrame();
        EXPECT_EQ(saves(*r.game), 1);
    }
    {
        // The save screen's quick-load button chose a file: it is loaded, never saved over.
        Rig r;
        r.files->label = "*OnQuickLoad";
        r.files->results = {1};
        r.game->request = SystemRequest::Save;
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), SystemMode::SaveSelect);
        r.game->request = 0;
        for (int i = 0; i < 3; ++i) r.NextFrame();
        EXPECT_EQ(saves(*r.game), 0);
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
    }
}

TEST(ZelSystemRequests, ResetToIsNeverDivertedAndSplitsItsArgument) {
    Rig r;
    r.game->request = SystemRequest::ResetTo;
    r.game->requestArg = "@@chapter2,ch2.s";
    r.NextFrame();
    EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
    EXPECT_EQ(r.game->log.back(), "exec \\go,@@chapter2,ch2.s");
    r.game->request = SystemRequest::ResetTo;
    r.game->requestArg = "a,b,c";  // not exactly two fields: plain reset
    r.NextFrame();
    EXPECT_EQ(r.game->log.back(), "exec \\go,@@reset,startup.s");
}

TEST(ZelSystemRequests, SystemScriptEndReturnsToTheGame) {
    Rig r;
    r.game->request = SystemRequest::Custom;
    r.game->requestArg = "*Scr";
    r.NextFrame();
    ASSERT_EQ(r.sys.Mode(), SystemMode::SystemScript);
    EXPECT_EQ(r.sys.CurrentScript(), r.system);
    r.game->request = 0;
    r.system->request = SystemRequest::SystemScriptEnd;
    r.NextFrame();
    EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
    EXPECT_EQ(r.game->log.back(), "invalidate");
}

TEST(ZelSystemDialogs, EmptyTextsActWithoutADialog) {
    {
        Rig r;
        r.game->request = SystemRequest::ExitConfirm;
        r.NextFrame();
        r.game->request = 0;
        EXPECT_EQ(r.sys.Mode(), SystemMode::ExitConfirm);
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), SystemMode::Exit);
        EXPECT_TRUE(r.dialogs.History().empty());
    }
    {
        Rig r;
        r.game->request = SystemRequest::ResetConfirm;
        r.NextFrame();
        r.game->request = 0;
        const size_t resetsBefore = std::count(r.game->log.begin(), r.game->log.end(), "reset");
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
        EXPECT_EQ(std::count(r.game->log.begin(), r.game->log.end(), "reset"), resetsBefore + 1);
        EXPECT_TRUE(r.dialogs.History().empty());
    }
    {
        // With a text the player is asked; "no" goes back to the game.
        Rig r;
        Messages().Load("EXIT_Text=Quit?\r\n");
        r.dialogs.QueueAnswer(0);
        r.game->request = SystemRequest::ExitConfirm;
        r.NextFrame();
        r.game->request = 0;
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
        ASSERT_EQ(r.dialogs.History().size(), 1u);
        EXPECT_EQ(r.dialogs.History()[0].text, "Quit?");
    }
}

TEST(ZelSystemScreens, LogAndSaveGiveTheGameNoTimeForAFrame) {
    {
        Rig r;
        r.game->request = SystemRequest::Log;
        r.NextFrame();
        r.game->request = 0;
        r.log->results = {0, -1};
        r.NextFrame();  // opens, draws
        r.NextFrame();  // closes
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
        r.clock.Advance(500);
        r.NextFrame();
        r.NextFrame();
        r.NextFrame();
        const auto& e = r.game->elapsedSeen;
        ASSERT_GE(e.size(), 3u);
        // The game's next frame counts no time (SkipTimeOnce), the ones after do.
        EXPECT_EQ(e[e.size() - 3], 0);
        EXPECT_GT(e[e.size() - 2], 0);
        EXPECT_GT(e[e.size() - 1], 0);
    }
    {
        Rig r;
        r.game->request = SystemRequest::Save;
        r.NextFrame();
        r.game->request = 0;
        r.files->results = {1};
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), SystemMode::Game);
        EXPECT_NE(std::find(r.files->log.begin(), r.files->log.end(), "open save"), r.files->log.end());
        EXPECT_NE(std::find(r.game->log.begin(), r.game->log.end(), "save SaveData001.svd"), r.game->log.end());
        EXPECT_EQ(r.game->afterLoadLabel, "*AfterSave");
        EXPECT_EQ(r.game->skipFrames, 2);
    }
}

TEST(ZelSystemScreens, MenuResultsAndLocks) {
    struct Case { int32_t result; SystemMode mode; int32_t play; bool buttonWait; bool skipLock; } cases[] = {
        {1, SystemMode::Game, 0, false, false},
        {2, SystemMode::LoadSelect, 0, false, false},
        {7, SystemMode::Game, PlayMode::Skip, false, false},
        {7, SystemMode::Game, PlayMode::Normal, true, false},   // not during a button wait
        {7, SystemMode::Game, PlayMode::Normal, false, true},   // nor while skipping is locked
        {11, SystemMode::Config, 0, false, false},
        {12 | 0x80, SystemMode::ExitConfirm, 0, false, false},  // only the low 7 bits count
    };
    for (const Case& c : cases) {
        Rig r;
        r.game->request = SystemRequest::Menu;
        r.NextFrame();
        r.game->request = 0;
        r.game->buttonWait = c.buttonWait;
        r.game->locks[static_cast<int>(ScriptLock::Skip)] = c.skipLock;
        r.menu->results = {c.result};
        r.NextFrame();
        EXPECT_EQ(r.sys.Mode(), c.mode) << c.result;
        EXPECT_EQ(r.game->playMode, c.play) << c.result;
        EXPECT_EQ(r.menu->log.back(), "close") << c.result;
    }
}

TEST(ZelSystemErrors, ErrorScreenStopsScriptFramesUntilReset) {
    Rig r;
    std::vector<std::string> painted;
    r.NextFrame();
    const size_t framesBefore = r.game->elapsedSeen.size();
    ReportError("boom");
    r.NextFrame();
    EXPECT_TRUE(r.sys.ErrorScreenShown());
    EXPECT_FALSE(ErrorFlag());
    r.NextFrame();
    EXPECT_EQ(r.game->elapsedSeen.size(), framesBefore);  // no script frame ran
    r.sys.Reset();
    EXPECT_FALSE(r.sys.ErrorScreenShown());
    EXPECT_TRUE(ErrorLines().empty());
    r.NextFrame();
    EXPECT_EQ(r.game->elapsedSeen.size(), framesBefore + 1);
}

TEST(ZelSystemPseudoFiles, ThreadImagesAndSaveImageNames) {
    Rig r;
    EXPECT_TRUE(r.sys.PseudoFileExists("$$$GameThreadImage,0.bmp"));
    EXPECT_TRUE(r.sys.PseudoFileExists("$$$systemthreadimagez,100.bmp"));
    EXPECT_FALSE(r.sys.PseudoFileExists("$$$gamethreadimage,2.bmp"));
    auto s = r.sys.OpenPseudoFile("$$$gamethreadimagez,100.bmp");
    ASSERT_TRUE(s);
    // Drawn up to z 100, captured, then redrawn fully.
    const auto& log = r.game->log;
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "draw 1 100");
    EXPECT_EQ(log[log.size() - 2], "capture");
    EXPECT_EQ(log[log.size() - 1], "draw 1 65535");
    // A save image names a bare file in the save folder, never a path.
    EXPECT_FALSE(r.sys.PseudoFileExists("$$$saveimage,../../etc/passwd.bmp"));
    EXPECT_FALSE(r.sys.OpenPseudoFile("$$$saveimage,..\\secret.bmp"));
}

TEST(ZelSystemActive, PausingStopsFramesAndSound) {
    Rig r;
    r.NextFrame();
    r.sys.SetActive(false);
    r.clock.Advance(100);
    r.sys.Tick();
    EXPECT_FALSE(r.sys.LastTickRanFrame());
    r.sys.SetActive(true);
    EXPECT_EQ(r.sound->log, (std::vector<std::string>{"stop", "pause", "resume"}));
}
