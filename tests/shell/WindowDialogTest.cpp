// The engine's dialogs in a real SDL window (the dummy video driver): what
// the window shows while a dialog is open, answers by mouse, keys and typed
// Japanese text, a close request in the middle of a dialog, and that the
// game neither sees the dialog's input nor counts its time.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include "FakeParts.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessDisplay.h"
#include "platform/SdlDisplay.h"
#include "platform/Window.h"
#include "screens/KitDialog.h"
#include "screens/KitDialogHost.h"
#include "screens/uDialog2Button.h"
#include "shell/EngineFonts.h"
#include "shell/SdlInput.h"
#include "shell/SystemConfigLib.h"
#include "shell/WindowDialogSurface.h"
#include "shell/ZelSystemLib.h"
#include "shell/uInputDevice.h"

namespace zel {
namespace {

constexpr int kW = 320, kH = 240;
constexpr uint32_t kBackdrop = 0xFF40A060u;

class WindowDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
    void TearDown() override {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }
};

// A shown game window of kW x kH game pixels in a client area of the given
// size, its screen one colour, with the dialog host of a windowed run.
struct TGameWindow {
    std::unique_ptr<TSdlWindow> window;
    std::unique_ptr<TSdlDisplay> display;
    std::shared_ptr<TEngineFonts> fonts = std::make_shared<TEngineFonts>();
    std::unique_ptr<TWindowDialogSurface> surface;
    TScriptedDialogHost fallback;
    std::unique_ptr<TKitDialogHost> host;

    explicit TGameWindow(int clientW = kW, int clientH = kH) {
        std::string err;
        window = TSdlWindow::Create(&err);
        if (!window) throw std::runtime_error(err);
        window->SetClientSize(clientW, clientH);
        display = std::make_unique<TSdlDisplay>(window->Handle(), TSdlDisplay::TRenderer::Software);
        display->SetScreenSize(kW, kH);
        if (!display->Initialize(false)) throw std::runtime_error("no display");
        surface = std::make_unique<TWindowDialogSurface>(*window, *display);
        host = std::make_unique<TKitDialogHost>(*surface, nullptr, fallback);
        int pitch = 0;
        uint32_t* p = display->Lock(&pitch);
        std::fill(p, p + kW * kH, kBackdrop);
        display->Unlock();
        display->Present(true);
        window->Show();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    ~TGameWindow() {
        host.reset();
        surface.reset();
        display.reset();
        window.reset();
    }
    void GiveFonts() {
        surface->SetFonts(std::shared_ptr<TFontTable>(fonts, &fonts->slots));
        host->SetFonts(&fonts->slots);
    }
    Uint32 Id() const { return SDL_GetWindowID(window->Handle()); }

    void PushButton(Uint32 type, int x, int y) const {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = Id();
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushKey(Uint32 type, SDL_Scancode sc) const {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = Id();
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = sc;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushText(Uint32 type, const char* utf8) const {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_TEXTINPUT) {
            e.text.windowID = Id();
            std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        } else {
            e.edit.windowID = Id();
            std::strncpy(e.edit.text, utf8, sizeof e.edit.text - 1);
            e.edit.length = static_cast<Sint32>(std::strlen(utf8));
        }
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushWindowClose() const {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = Id();
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        SDL_Event q{};
        q.type = SDL_QUIT;
        ASSERT_EQ(SDL_PushEvent(&q), 1);
    }
};

const std::string kText = Sj("上書きしますか？");
const std::string kYes = Sj("はい(Y)"), kNo = Sj("いいえ(N)");

bool Darker(uint32_t shaded, uint32_t original) {
    for (int shift : {0, 8, 16})
        if (((shaded >> shift) & 0xFF) >= ((original >> shift) & 0xFF)) return false;
    return true;
}

TEST_F(WindowDialogTest, WithoutFontsOrAShownWindowTheFallbackAnswers) {
    TGameWindow g;
    g.fallback.QueueAnswer(0);
    EXPECT_FALSE(g.surface->Ready());  // no fonts yet
    EXPECT_EQ(g.host->Confirm(kText, kYes, kNo), 0);
    ASSERT_EQ(g.fallback.History().size(), 1u);
    g.GiveFonts();
    EXPECT_TRUE(g.surface->Ready());
    g.window->Close();  // hidden
    EXPECT_FALSE(g.surface->Ready());
    g.window->Show();
    // A back buffer held by someone else cannot take a dialog.
    int pitch = 0;
    ASSERT_NE(g.display->Lock(&pitch), nullptr);
    EXPECT_FALSE(g.surface->Ready());
    g.display->Unlock();
}

// A click on a button (through the window's scaling) or its accelerator key
// answers; while the dialog is open the screen shows it over the shaded
// game, and afterwards the game's picture is back.
TEST_F(WindowDialogTest, ConfirmIsDrawnInTheWindowAndAnsweredByClickOrKey) {
    struct Case {
        const char* what;
        int clientW, clientH;
        int button;  // clicked button, or -1 for the key
        SDL_Scancode key;
        int answer;
    };
    const Case cases[] = {
        {"a click on yes", kW, kH, 0, SDL_SCANCODE_UNKNOWN, 1},
        {"a click on no", kW, kH, 1, SDL_SCANCODE_UNKNOWN, 0},
        {"a click in a window twice the size", 2 * kW, 2 * kH, 0, SDL_SCANCODE_UNKNOWN, 1},
        {"a click beside black bars", 2 * kW, kH, 0, SDL_SCANCODE_UNKNOWN, 1},
        {"the key y", kW, kH, -1, SDL_SCANCODE_Y, 1},
        {"the key n", kW, kH, -1, SDL_SCANCODE_N, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TGameWindow g(c.clientW, c.clientH);
        g.GiveFonts();
        TKitDialog layout(MakeConfirmDialog("", kText, kYes, kNo, g.host->Title()), g.host->Painter());
        layout.Layout(kW, kH);
        const TKitRect panel = layout.Panel().rect;
        if (c.button >= 0) {
            const TKitRect b = layout.Buttons()[static_cast<size_t>(c.button)].rect;
            const double scale = std::min(double(c.clientW) / kW, double(c.clientH) / kH);
            const double offX = (c.clientW - kW * scale) / 2, offY = (c.clientH - kH * scale) / 2;
            const int x = static_cast<int>(offX + (b.left + b.right) / 2 * scale);
            const int y = static_cast<int>(offY + (b.top + b.bottom) / 2 * scale);
            g.PushButton(SDL_MOUSEBUTTONDOWN, x, y);
            g.PushButton(SDL_MOUSEBUTTONUP, x, y);
        } else {
            g.PushKey(SDL_KEYDOWN, c.key);
        }
        // What the window showed when the dialog read its first input.
        std::vector<uint32_t> shown;
        int framesAtInput = 0;
        const int framesBefore = g.display->FramesShown();
        g.surface->passOn = [&](const SDL_Event&) {
            if (!shown.empty()) return;
            shown = g.display->BackBuffer();
            framesAtInput = g.display->FramesShown();
        };
        EXPECT_EQ(g.host->Confirm(kText, kYes, kNo), c.answer);
        EXPECT_TRUE(g.fallback.History().empty());
        ASSERT_EQ(shown.size(), size_t(kW * kH));
        EXPECT_GT(framesAtInput, framesBefore);
        // The panel's face, and the game shaded around it.
        EXPECT_EQ(shown[size_t((panel.bottom - 4) * kW + panel.left + 4)], kitcolour::Face);
        EXPECT_TRUE(Darker(shown[size_t(2 * kW + 2)], kBackdrop));
        EXPECT_TRUE(Darker(shown[size_t((kH - 3) * kW + kW - 3)], kBackdrop));
        // Answered: the game's picture again, shown.
        int restored = 0;
        for (uint32_t px : g.display->BackBuffer()) restored += px == kBackdrop;
        EXPECT_EQ(restored, kW * kH);
        EXPECT_GT(g.display->FramesShown(), framesAtInput);
    }
}

// Typing into the text dialog: an IME composition, the keys the IME uses
// while composing, the Enter that commits it (none of them the dialog's),
// then more text and the Enter that accepts; the answer is Shift-JIS.
TEST_F(WindowDialogTest, TextInputTakesComposedJapaneseAndEndsAsShiftJis) {
    TGameWindow g;
    g.GiveFonts();
    ASSERT_TRUE(SDL_IsTextInputActive());
    g.PushText(SDL_TEXTEDITING, "なまえ");
    g.PushKey(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE);  // the IME's, not the field's
    g.PushText(SDL_TEXTINPUT, "名前");
    g.PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);  // commits the composition
    SDL_Delay(kImeCommitEnterMs + 30);
    g.PushText(SDL_TEXTINPUT, "さん");
    g.PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
    TTextInputRequest request;
    request.prompt = Sj("名前を入力してください。");
    request.ok = Sj("ＯＫ");
    request.cancel = Sj("キャンセル");
    std::string text = Sj("私の");
    EXPECT_EQ(g.host->TextInput(request, text), 1);
    EXPECT_EQ(text, Sj("私の名前さん"));
    EXPECT_TRUE(SDL_IsTextInputActive());  // as the game had it
    EXPECT_TRUE(g.fallback.History().empty());
}

// Closing the window while a dialog is open: the dialog takes its close
// answer and the game gets the close request afterwards, once.
TEST_F(WindowDialogTest, CloseRequestDuringADialogAnswersAndReachesTheGameOnce) {
    struct Case {
        const char* what;
        std::function<int(IDialogHost&)> show;
        int answer;
    };
    const Case cases[] = {
        {"confirmation", [](IDialogHost& h) { return h.Confirm(kText, kYes, kNo); }, 0},
        {"close dialog", [](IDialogHost& h) { return h.ConfirmClose(kText, Sj("終了"), Sj("キャンセル"), Sj("タイトル")); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TGameWindow g;
        g.GiveFonts();
        int finished = 0;
        g.surface->finished = [&] { ++finished; };
        g.PushWindowClose();
        EXPECT_EQ(c.show(*g.host), c.answer);
        EXPECT_EQ(finished, 1);
        std::vector<TWindowEvent> events;
        g.window->PollEvents(events);
        int closes = 0;
        for (const TWindowEvent& e : events) closes += e.kind == TWindowEvent::Close;
        EXPECT_EQ(closes, 1);
    }
    // Without a dialog, the window's close event and SDL_QUIT are one request too.
    TGameWindow g;
    g.PushWindowClose();
    std::vector<TWindowEvent> events;
    g.window->PollEvents(events);
    int closes = 0;
    for (const TWindowEvent& e : events) closes += e.kind == TWindowEvent::Close;
    EXPECT_EQ(closes, 1);
}

// The game's input around a dialog wired as the windowed run wires it: Esc
// held when the dialog opened and let go inside it, and the click that
// answered it, reach the game as nothing at all.
TEST_F(WindowDialogTest, TheGameSeesNothingOfTheDialogsInput) {
    TGameWindow g;
    g.GiveFonts();
    TFixedStepClock clock;
    TLiveInput live;
    live.clientWidth = kW;
    live.clientHeight = kH;
    TSdlInputMapper mapper(live);
    TInput input(live, clock);
    g.surface->passOn = [&mapper](const SDL_Event& e) { mapper.Apply(e); };
    g.surface->finished = [&] {
        mapper.ReleaseAll();
        input.Reset();
    };
    clock.Advance(1000);  // past the start-up mute
    input.Update();
    SDL_Event esc{};
    esc.type = SDL_KEYDOWN;
    esc.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    mapper.Apply(esc);
    clock.Advance(20);
    input.Update();
    ASSERT_TRUE(input.Test(27));  // pressed this frame

    TKitDialog layout(MakeConfirmDialog("", kText, kYes, kNo, g.host->Title()), g.host->Painter());
    layout.Layout(kW, kH);
    const TKitRect b = layout.Buttons()[0].rect;
    g.PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    g.PushButton(SDL_MOUSEBUTTONDOWN, (b.left + b.right) / 2, (b.top + b.bottom) / 2);
    g.PushButton(SDL_MOUSEBUTTONUP, (b.left + b.right) / 2, (b.top + b.bottom) / 2);
    ASSERT_EQ(g.host->Confirm(kText, kYes, kNo), 1);
    for (int frame = 0; frame < 30; ++frame) {
        clock.Advance(20);
        input.Update();
        for (uint32_t code : {0x00001u, 0x10001u, 0x40001u, 0x0001Bu, 0x1001Bu, 0x2001Bu, 0x4001Bu})
            EXPECT_FALSE(input.Test(code)) << "frame " << frame << " code " << std::hex << code;
    }
}

// The engine: a dialog that kept the game waiting three seconds in the
// middle of a frame gives the next frame no more than its usual time, and
// the input device forgets what was pressed.
struct TDialogScript : test::FakeScript {
    std::function<void()> onFrame;
    void RunFrame(int32_t elapsed, bool processInput) override {
        test::FakeScript::RunFrame(elapsed, processInput);
        if (onFrame) std::exchange(onFrame, nullptr)();
    }
};

struct TCountingInput : IInputDevice {
    int resets = 0;
    void Update() override {}
    void SetCursorHideDelay(int32_t) override {}
    void Reset() override { ++resets; }
};

TEST(ZelSystemDialogTime, ADialogsTimeIsNoFrameTime) {
    ActiveSettings() = TSystemData();
    ActiveSettings().FPSLimit = 40;
    TFixedStepClock clock{10000};
    TScriptedDialogHost dialogs;
    THeadlessWindow window;
    THeadlessDisplay display;
    window.Show();
    display.Initialize(false);
    TZelSystem sys{clock, dialogs, nullptr, "/nonexistent-save-folder"};
    TDialogScript* game = nullptr;
    TCountingInput* input = nullptr;
    TZelSystemParts parts;
    parts.makeScript = [&](TZelSystem&, IEngineScript* parent) -> std::unique_ptr<IEngineScript> {
        auto s = std::make_unique<TDialogScript>();
        if (!parent) game = s.get();
        return s;
    };
    auto in = std::make_unique<TCountingInput>();
    input = in.get();
    parts.input = std::move(in);
    ASSERT_TRUE(sys.Setup({.window = &window, .display = &display}, std::move(parts)));
    sys.Start();
    ASSERT_NE(game, nullptr);
    auto frame = [&] {
        for (int i = 0; i < 1000 && (sys.Tick(), !sys.LastTickRanFrame()); ++i) clock.Advance(1);
    };
    frame();
    game->onFrame = [&] {
        clock.Advance(3000);  // the player reads the dialog
        sys.DialogClosed();
    };
    frame();
    frame();
    ASSERT_GE(game->elapsedSeen.size(), 3u);
    EXPECT_LE(game->elapsedSeen.back(), 30);
    EXPECT_EQ(input->resets, 1);
}

}  // namespace
}  // namespace zel
