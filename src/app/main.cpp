// zel: runs a game. With --headless the same engine runs without a window or
// sound device, with a fixed frame step and scripted input, for automated
// play-throughs and the end-to-end tests.
#include <SDL.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Devices.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessDisplay.h"
#include "platform/UnavailableDisplay.h"
#include "platform/Window.h"
#include "shell/EngineFactory.h"
#include "shell/MainWindow.h"
#include "shell/SystemConfigLib.h"

namespace fs = std::filesystem;
using namespace zel;

namespace {

struct Options {
    bool headless = false;
    int frames = -1;
    int step = 0;
    std::string input;
    std::vector<std::string> screenshots;
    std::string dumpVars;
    bool trace = false;
    std::string root;
};

// The game root: the argument, else the folder of the executable when it
// holds a game, else the bundled demo game.
std::string ChooseRoot(const std::string& arg) {
    if (!arg.empty()) return arg;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && fs::is_directory(exe.parent_path() / "GameData", ec)) return exe.parent_path().string();
#ifdef ZEL_DEMO_DIR
    return ZEL_DEMO_DIR;
#else
    return exe.parent_path().string();
#endif
}

void PrintErrorList() {
    for (const auto& line : ErrorLines()) std::fprintf(stderr, "%s\n", SjisToUtf8(line).c_str());
}

int RunHeadless(const Options& o) {
    TFixedStepClock clock;
    THeadlessWindow window;
    TScriptedDialogHost dialogs(/*echo=*/true);
    THeadlessDisplay display;
    TNullSoundDevice sound;
    TPlatform platform{&window, &clock, &dialogs, &display, &sound};
    TMainWindow main(platform, MakeEngineFactory(), ".");
    int ran = 0;
    try {
        main.Idle();  // start-up
        TZelSystem* sys = main.System();
        const int step = o.step > 0 ? o.step : 1000 / std::max(ActiveSettings().FPSLimit, 10);
        if (sys) sys->SetFixedFrameStep(step);
        while (ran < o.frames && !main.Closed()) {
            clock.Advance(static_cast<uint64_t>(step));
            main.PumpEvents();
            if (!main.Idle()) break;
            if (sys && sys->LastTickRanFrame()) ++ran;
        }
        main.Shutdown();
    } catch (const EFatalStartup&) {
        return 2;
    }
    PrintErrorList();
    return ErrorLines().empty() ? 0 : 1;
}

int RunWindowed() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        TSdlDialogHost d;
        d.Message(Sj("ウィンドウを作成できません。"), Sj("ＯＫ"));
        std::fprintf(stderr, "zel: %s\n", SDL_GetError());
        return 2;
    }
    std::string err;
    auto window = TSdlWindow::Create(&err);
    TSdlDialogHost dialogs;
    if (!window) {
        std::fprintf(stderr, "zel: cannot create the window: %s\n", err.c_str());
        SDL_Quit();
        return 2;
    }
    TSystemClock clock;
    TUnavailableDisplay display;
    TNullSoundDevice sound;
    TPlatform platform{window.get(), &clock, &dialogs, &display, &sound};
    int status = 0;
    {
        TMainWindow main(platform, MakeEngineFactory(), ".");
        try {
            while (!main.Closed()) {
                main.PumpEvents();
                if (!main.Idle()) break;
            }
            main.Shutdown();
        } catch (const EFatalStartup&) {
            status = 2;
        }
    }
    window.reset();
    SDL_Quit();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"zel: runs a visual-novel game folder"};
    app.add_flag("--headless", o.headless, "no window and no sound device; fixed frame step");
    app.add_option("--frames", o.frames, "headless: number of frames to run")->check(CLI::Range(0, INT_MAX));
    app.add_option("--step", o.step, "headless: milliseconds per frame (default 1000 / FPSLimit)")
        ->check(CLI::Range(1, 5000));
    app.add_option("--input", o.input, "headless: input script (FRAME KIND ARGS lines)");
    app.add_option("--screenshot", o.screenshots, "headless: FRAME:FILE.png, the presented frame as PNG");
    app.add_option("--dump-vars", o.dumpVars, "headless: write every system and global variable at exit");
    app.add_flag("--trace", o.trace, "print every dispatched segment with its position");
    app.add_option("GAME_ROOT", o.root, "the game folder (holding GameData)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (!o.headless && (o.frames >= 0 || o.step || !o.input.empty() || !o.screenshots.empty() || !o.dumpVars.empty())) {
        std::fprintf(stderr, "zel: --frames, --step, --input, --screenshot and --dump-vars need --headless\n");
        return 2;
    }
    if (o.headless && o.frames < 0) {
        std::fprintf(stderr, "zel: --headless needs --frames N\n");
        return 2;
    }
    for (const char* what : {"--input", "--screenshot", "--dump-vars", "--trace"}) {
        const bool used = (std::string(what) == "--input" && !o.input.empty()) ||
                          (std::string(what) == "--screenshot" && !o.screenshots.empty()) ||
                          (std::string(what) == "--dump-vars" && !o.dumpVars.empty()) ||
                          (std::string(what) == "--trace" && o.trace);
        if (used) {
            std::fprintf(stderr, "zel: %s is not supported yet by this build\n", what);
            return 2;
        }
    }
    const std::string root = ChooseRoot(o.root);
    if (::chdir(root.c_str()) != 0) {
        // A missing folder is a game without data: the engine's own message says so.
        TScriptedDialogHost echo(true);
        TSdlDialogHost sdl;
        IDialogHost& d = o.headless ? static_cast<IDialogHost&>(echo) : sdl;
        d.Message(Sj("起動に必要なデータがみつからないため起動できません。"), Sj("ＯＫ"));
        return 2;
    }
    SetErrorLogFolder(".");
    return o.headless ? RunHeadless(o) : RunWindowed();
}
