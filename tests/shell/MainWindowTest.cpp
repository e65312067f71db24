#include <gtest/gtest.h>

#include <map>

#include "FakeParts.h"
#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessDisplay.h"
#include "platform/Window.h"
#include "shell/MainWindow.h"
#include "shell/SystemConfigLib.h"

using namespace zel;
using namespace zel::test;

namespace {

// Game storage over an in-memory map of game paths.
struct MapStorage : IGameStorage {
    std::map<std::string, std::string> files;
    bool packs = true;
    bool GameFileExists(std::string_view p) override { return files.count(AsciiLower(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        auto it = files.find(AsciiLower(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
    bool OpenGamePacks(const std::string&) override { return packs; }
    std::string ResolveGameFile(std::string_view p) override { return GameFileExists(p) ? std::string(p) : ""; }
    void CloseGamePacks() override {}
    void SetPackChecksumCheck(bool, std::function<void()>) override {}
    void SetPseudoFileHooks(std::function<bool(const std::string&)>,
                            std::function<std::unique_ptr<TMemoryStream>(const std::string&)>) override {}
};

struct App {
    TFixedStepClock clock;
    THeadlessWindow window;
    TScriptedDialogHost dialogs;
    THeadlessDisplay display;
    TNullSoundDevice sound;
    FakeScript* game = nullptr;
    FakeMovie* movie = nullptr;
    std::map<std::string, std::string> files{{"system\\etc\\game.dat", "GameTitle=Test\r\nScreenWidth=320\r\n"
                                                                        "ScreenHeight=240\r\nConfigStartupSkip=TRUE\r\n"}};
    bool packs = true;
    bool withScripts = true;

    std::unique_ptr<TMainWindow> Make() {
        ActiveSettings() = TSystemData();
        Messages().Load("");
        ClearErrors();
        SetErrorFlag(false);
        TEngineFactory f;
        f.makeStorage = [this] {
            auto s = std::make_unique<MapStorage>();
            s->files = files;
            s->packs = packs;
            return s;
        };
        f.makeParts = [this](IGameStorage&, const TPlatform&) {
            TZelSystemParts p;
            if (withScripts)
                p.makeScript = [this](TZelSystem&, IEngineScript* parent) {
                    auto s = std::make_unique<FakeScript>();
                    if (!parent) game = s.get();
                    return s;
                };
            auto mv = std::make_unique<FakeMovie>();
            movie = mv.get();
            p.movie = std::move(mv);
            return p;
        };
        return std::make_unique<TMainWindow>(TPlatform{&window, &clock, &dialogs, &display, &sound}, f,
                                             "/nonexistent-zel-root");
    }
};

}  // namespace

TEST(MainWindowStartUp, FatalMessagesStopTheStart) {
    struct Case { bool packs; bool gameDat; bool scripts; const char* text; } cases[] = {
        {false, true, true, "起動に必要なデータがみつからないため起動できません。"},
        {true, false, true, "設定に必要なデータがみつからないため起動できません。"},
        {true, true, false, "EngineSetupERROR"},
    };
    for (const Case& c : cases) {
        App a;
        a.packs = c.packs;
        a.withScripts = c.scripts;
        if (!c.gameDat) a.files.clear();
        auto w = a.Make();
        try {
            w->Idle();
            ADD_FAILURE() << "start-up went on";
        } catch (const EFatalStartup& e) {
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
        }
    }
}

TEST(MainWindowStartUp, RunsTheStartUpScriptWithTheGameSettings) {
    App a;
    auto w = a.Make();
    ASSERT_TRUE(w->Idle());
    EXPECT_EQ(a.window.Caption(), "Test");
    EXPECT_EQ(a.display.ScreenWidth(), 320);
    EXPECT_EQ(a.display.ScreenHeight(), 240);
    ASSERT_NE(a.game, nullptr);
    EXPECT_EQ(a.game->log.back(), "exec \\go,@@top,StartUp.s");
    EXPECT_EQ(w->System()->Mode(), SystemMode::Game);
    EXPECT_TRUE(a.display.Pack().Settings().highColour);  // ColorMode defaults to 1
}

TEST(MainWindowStartUp, ColourModeZeroAsksForTheLowColourModes) {
    App a;
    auto w = a.Make();
    ActiveSettings().ColorMode = 0;  // as a user settings file would set it
    ASSERT_TRUE(w->Idle());
    EXPECT_FALSE(a.display.Pack().Settings().highColour);
}

TEST(MainWindowClose, DialogAndMovieRules) {
    {
        // An empty APPCLOSE_Text closes at once.
        App a;
        auto w = a.Make();
        w->Idle();
        w->RequestClose();
        EXPECT_FALSE(w->Idle());
        EXPECT_TRUE(w->Closed());
        EXPECT_TRUE(a.dialogs.History().empty());
    }
    {
        // Cancel keeps the window open.
        App a;
        a.files["system\\etc\\message.txt"] = "APPCLOSE_Text=Close?\r\n";
        auto w = a.Make();
        w->Idle();
        a.dialogs.QueueAnswer(-1);
        w->RequestClose();
        EXPECT_TRUE(w->Idle());
        EXPECT_FALSE(w->Closed());
    }
    {
        // With a close label the system script runs it ...
        App a;
        a.files["system\\etc\\game.dat"] += "FormCloseEventLabel=*OnClose\r\n";
        auto w = a.Make();
        w->Idle();
        w->RequestClose();
        EXPECT_EQ(w->System()->Mode(), SystemMode::SystemScript);
        EXPECT_TRUE(w->Idle());
        // ... unless a movie plays: then the window closes without asking.
        a.movie->state = 2;
        w->RequestClose();
        EXPECT_FALSE(w->Idle());
        EXPECT_TRUE(w->Closed());
    }
}

TEST(MainWindowLoop, QuitRequestClosesTheWindow) {
    App a;
    auto w = a.Make();
    w->Idle();
    a.game->request = SystemRequest::Quit;
    bool open = true;
    for (int i = 0; i < 200 && open; ++i) {
        a.clock.Advance(10);
        open = w->Idle();
    }
    EXPECT_FALSE(open);
    EXPECT_TRUE(a.window.WasClosed());
}

TEST(MainWindowLoop, ARaisedErrorNeverLeavesTheLoopBusy) {
    struct ThrowingScript : FakeScript {
        int throws = 1;
        void RunFrame(int32_t e, bool p) override {
            if (throws-- > 0) throw EZelError("picture.png: bad data");
            FakeScript::RunFrame(e, p);
        }
    };
    App a;
    ThrowingScript* ts = nullptr;
    TEngineFactory f;
    ActiveSettings() = TSystemData();
    ClearErrors();
    SetErrorFlag(false);
    f.makeStorage = [&] {
        auto s = std::make_unique<MapStorage>();
        s->files = a.files;
        return s;
    };
    f.makeParts = [&](IGameStorage&, const TPlatform&) {
        TZelSystemParts p;
        p.makeScript = [&](TZelSystem&, IEngineScript* parent) -> std::unique_ptr<IEngineScript> {
            if (parent) return std::make_unique<FakeScript>();
            auto s = std::make_unique<ThrowingScript>();
            ts = s.get();
            return s;
        };
        return p;
    };
    TMainWindow w(TPlatform{&a.window, &a.clock, &a.dialogs, &a.display, &a.sound}, f, "/nonexistent-zel-root");
    w.Idle();
    for (int i = 0; i < 20; ++i) {
        a.clock.Advance(30);
        ASSERT_TRUE(w.Idle());
    }
    ASSERT_EQ(ErrorLines().size(), 1u);
    EXPECT_EQ(ErrorLines()[0], "[ERROR]:picture.png: bad data");
    ASSERT_EQ(a.dialogs.History().size(), 1u);
    (void)ts;
    ClearErrors();
    SetErrorFlag(false);
}

// A back buffer that is lost is restored while the window is active; when the
// restore fails the player sees "BackBufferResetERROR" once and the program
// ends (it used to be caught like any frame error: the message twice, and the
// loop running on blind).
TEST(MainWindowLoop, ABackBufferThatCannotBeRestoredEndsTheProgram) {
    struct LosingDisplay : IDisplayDevice {
        THeadlessDisplay inner;
        bool lost = false, restorable = true;
        int restores = 0;
        void SetScreenSize(int w, int h) override { inner.SetScreenSize(w, h); }
        int ScreenWidth() const override { return inner.ScreenWidth(); }
        int ScreenHeight() const override { return inner.ScreenHeight(); }
        void SetMemoryTypes(int s, int b) override { inner.SetMemoryTypes(s, b); }
        bool Initialize(bool f) override { return inner.Initialize(f); }
        bool IsInitialized() const override { return inner.IsInitialized(); }
        bool IsFullScreen() const override { return inner.IsFullScreen(); }
        bool ToggleFullScreen() override { return inner.ToggleFullScreen(); }
        uint32_t* Lock(int* pitch) override { return lost ? nullptr : inner.Lock(pitch); }
        void Unlock() override { inner.Unlock(); }
        void MarkRows(int t, int b) override { inner.MarkRows(t, b); }
        void Present(bool force) override { inner.Present(force); }
        bool Restore() override {
            ++restores;
            if (restorable) lost = false;
            return restorable;
        }
    };
    App a;
    LosingDisplay display;
    TEngineFactory f;
    ActiveSettings() = TSystemData();
    ClearErrors();
    SetErrorFlag(false);
    f.makeStorage = [&] {
        auto s = std::make_unique<MapStorage>();
        s->files = a.files;
        return s;
    };
    f.makeParts = [&](IGameStorage&, const TPlatform&) {
        TZelSystemParts p;
        p.makeScript = [&](TZelSystem&, IEngineScript*) { return std::make_unique<FakeScript>(); };
        return p;
    };
    TMainWindow w(TPlatform{&a.window, &a.clock, &a.dialogs, &display, &a.sound}, f, "/nonexistent-zel-root");
    ASSERT_TRUE(w.Idle());
    display.lost = true;
    for (int i = 0; i < 3; ++i) {
        a.clock.Advance(30);
        ASSERT_TRUE(w.Idle());
    }
    EXPECT_EQ(display.restores, 1);
    EXPECT_FALSE(display.lost);
    display.lost = true;
    display.restorable = false;
    bool ended = false;
    for (int i = 0; i < 5 && !ended; ++i) {
        a.clock.Advance(30);
        try {
            w.Idle();
        } catch (const EFatal& e) {
            ended = true;
            EXPECT_STREQ(e.what(), "BackBufferResetERROR");
        }
    }
    EXPECT_TRUE(ended);
    ASSERT_EQ(a.dialogs.History().size(), 1u);  // shown once
    EXPECT_EQ(a.dialogs.History()[0].kind, "message");
    EXPECT_NE(a.dialogs.History()[0].text.find("BackBufferResetERROR"), std::string::npos);
    EXPECT_FALSE(ErrorLines().empty());
    ClearErrors();
    SetErrorFlag(false);
}
