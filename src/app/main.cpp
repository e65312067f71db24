// zel: runs a game. With --headless the same engine runs without a window or
// sound device, with a fixed frame step and scripted input, for automated
// play-throughs and the end-to-end tests.
#include <SDL.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Devices.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessDisplay.h"
#include "platform/SdlDisplay.h"
#include "platform/Window.h"
#include "screens/KitDialogHost.h"
#include "script/ZelVariableDump.h"
#include "shell/EngineFactory.h"
#include "shell/EngineScript.h"
#include "shell/InputScript.h"
#include "shell/MainWindow.h"
#include "shell/SdlInput.h"
#include "shell/SystemConfigLib.h"
#include "shell/WindowDialogSurface.h"
#include "shell/uInputDevice.h"
#include "platform/DataFolders.h"
#include "sound/SoundDevice.h"

namespace fs = std::filesystem;
using namespace zel;

namespace {

struct Options {
    bool headless = false;
    int frames = -1;
    int step = 0;
    std::string input;
    std::vector<TInputEvent> inputEvents;
    std::vector<std::string> screenshots;
    std::vector<std::pair<int, std::string>> shots;  // frame, absolute path
    std::string dumpVars;
    std::string audioOut;
    bool trace = false;
    std::string root;
    std::string writableRoot = ".";  // where settings, saves and the error log go
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

// The display reports a failed switch to full screen through the message
// table, and keeps the settings' full-screen flag at what is really shown.
void WireDisplay(IDisplayDevice& display, IDialogHost& dialogs) {
    display.fullScreenError = [&dialogs] { dialogs.Message(Messages().Text("FullScreenError"), Messages().Text("OK")); };
    display.fullScreenChanged = [](bool full) { ActiveSettings().FullScreen = full ? 1 : 0; };
}

// Writes the screenshots asked for frame `frame`; false when one failed.
bool TakeScreenshots(const Options& o, int frame, const THeadlessDisplay& display) {
    bool ok = true;
    for (const auto& [at, path] : o.shots) {
        if (at != frame) continue;
        std::string err;
        if (!display.SaveScreenshot(path, &err)) {
            std::fprintf(stderr, "zel: cannot write the screenshot %s: %s\n", path.c_str(), err.c_str());
            ok = false;
        }
    }
    return ok;
}

// The engine's factory; with trace, every script prints each segment it
// dispatches, with its position, on standard output. fontsLoaded: see
// MakeEngineFactory.
TEngineFactory Factory(bool trace, std::function<void(std::shared_ptr<TFontTable>)> fontsLoaded = {}) {
    TEngineFactory f = MakeEngineFactory(std::move(fontsLoaded));
    if (!trace) return f;
    f.makeParts = [makeParts = f.makeParts](IGameStorage& storage, const TPlatform& platform) {
        TZelSystemParts p = makeParts(storage, platform);
        p.makeScript = [make = p.makeScript](TZelSystem& sys, IEngineScript* parent) {
            std::unique_ptr<IEngineScript> s = make ? make(sys, parent) : nullptr;
            if (TZelScript* z = ScriptOf(s.get())) {
                const char* who = parent ? "system" : "game";
                z->SetTrace([who](std::string_view position, std::string_view segment) {
                    std::printf("%s\t%s\t%s\n", who, SjisToUtf8(position).c_str(), SjisToUtf8(segment).c_str());
                });
            }
            return s;
        };
        return p;
    };
    return f;
}

// Every variable of the system and global stores of the game script.
bool WriteVariableDump(TZelSystem* sys, const std::string& path) {
    std::string out;
    if (TZelScript* s = sys ? ScriptOf(sys->GameScript()) : nullptr) {
        DumpVariables(s->Calc().SystemStore(), 1, out);
        DumpVariables(s->Calc().GlobalStore(), 2, out);
    }
    std::string err;
    if (AtomicWriteFile(path, out, &err)) return true;
    std::fprintf(stderr, "zel: cannot write the variable dump %s: %s\n", path.c_str(), err.c_str());
    return false;
}

// What the mixer produced, as a 44.1 kHz s16 stereo WAV file written as the
// frames run (the sizes in its header are filled in at the end).
class TWavWriter {
public:
    explicit TWavWriter(const std::string& path) : path_(path), tmp_(path + ".part") {
        f_ = std::fopen(tmp_.c_str(), "wb");
        if (f_) std::fwrite(Header(0).data(), 1, 44, f_);
    }
    ~TWavWriter() {
        if (f_) std::fclose(f_);
    }
    bool Ok() const { return f_ != nullptr; }
    void Write(const int16_t* pcm, size_t frames) {
        if (f_ && std::fwrite(pcm, 4, frames, f_) != frames) failed_ = true;
        bytes_ += frames * 4;
    }
    bool Finish() {
        if (!f_) return false;
        const std::string h = Header(bytes_);
        const bool ok = !failed_ && std::fseek(f_, 0, SEEK_SET) == 0 && std::fwrite(h.data(), 1, 44, f_) == 44;
        const bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        std::error_code ec;
        if (ok && closed) fs::rename(tmp_, path_, ec);
        if (!ok || !closed || ec) {
            std::fprintf(stderr, "zel: cannot write the sound file %s\n", path_.c_str());
            fs::remove(tmp_, ec);
            return false;
        }
        return true;
    }

private:
    static std::string Header(uint64_t bytes) {
        const auto data = static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFFu - 36));
        std::string h;
        auto u32 = [&](uint32_t v) { for (int k = 0; k < 4; ++k) h += static_cast<char>(v >> (8 * k)); };
        auto u16 = [&](uint16_t v) { h += static_cast<char>(v); h += static_cast<char>(v >> 8); };
        h += "RIFF";
        u32(36 + data);
        h += "WAVEfmt ";
        u32(16); u16(1); u16(2); u32(44100); u32(176400); u16(4); u16(16);
        h += "data";
        u32(data);
        return h;
    }
    std::string path_, tmp_;
    std::FILE* f_ = nullptr;
    uint64_t bytes_ = 0;
    bool failed_ = false;
};

int RunHeadless(const Options& o) {
    TFixedStepClock clock;
    THeadlessWindow window;
    TScriptedDialogHost dialogs(/*echo=*/true);
    THeadlessDisplay display;
    // No sound card: the mixer is pulled in step with the frame clock.
    TDDSD7 sound(nullptr);
    std::unique_ptr<TWavWriter> wav;
    if (!o.audioOut.empty()) {
        wav = std::make_unique<TWavWriter>(o.audioOut);
        if (!wav->Ok()) {
            std::fprintf(stderr, "zel: cannot create the sound file %s\n", o.audioOut.c_str());
            return 2;
        }
    }
    const uint64_t audioStart = clock.NowMs();
    uint64_t pulled = 0;
    std::vector<int16_t> pcm;
    auto pullAudio = [&] {
        const uint64_t due = (clock.NowMs() - audioStart) * 44100 / 1000;
        if (due <= pulled) return;
        pcm.resize(static_cast<size_t>(due - pulled) * 2);
        sound.Pull(pcm.data(), static_cast<size_t>(due - pulled));
        if (wav) wav->Write(pcm.data(), static_cast<size_t>(due - pulled));
        pulled = due;
    };
    WireDisplay(display, dialogs);
    TLiveInput live;
    TInputReplay replay(o.inputEvents);
    // Text the script commits is what the player types into the next text dialog.
    replay.onText = [&dialogs](const std::string& utf8) { dialogs.QueueText(utf8); };
    TPlatform platform{&window, &clock, &dialogs, &display, &sound, &live};
    TMainWindow main(platform, Factory(o.trace), ".");
    main.SetWritableRoot(o.writableRoot);
    int ran = 0;
    bool shotsOk = true;
    bool dumpOk = true;
    try {
        main.Idle();  // start-up
        shotsOk &= TakeScreenshots(o, 0, display);
        TZelSystem* sys = main.System();
        const int step = o.step > 0 ? o.step : 1000 / std::max(ActiveSettings().FPSLimit, 10);
        if (sys) sys->SetFixedFrameStep(step);
        live.clientWidth = ActiveSettings().ScreenWidth;
        live.clientHeight = ActiveSettings().ScreenHeight;
        while (ran < o.frames && !main.Closed()) {
            clock.Advance(static_cast<uint64_t>(step));
            replay.Deliver(ran + 1, live);  // the input of the frame about to run
            main.PumpEvents();
            if (!main.Idle()) break;
            pullAudio();
            if (sys && sys->LastTickRanFrame()) shotsOk &= TakeScreenshots(o, ++ran, display);
        }
        if (!o.dumpVars.empty()) dumpOk = WriteVariableDump(sys, o.dumpVars);
        main.Shutdown();
        if (wav) dumpOk &= wav->Finish();
    } catch (const EFatalStartup&) {
        return 2;
    } catch (const EFatal&) {
        // Ended mid-run (its message went through the dialogs and the error list).
        PrintErrorList();
        return 1;
    }
    for (const auto& [at, path] : o.shots)
        if (at > ran) {
            std::fprintf(stderr, "zel: the game ended after frame %d; no screenshot %s\n", ran, path.c_str());
            shotsOk = false;
        }
    PrintErrorList();
    return ErrorLines().empty() && shotsOk && dumpOk ? 0 : 1;
}

// What the input asked of the system pointer: shown or hidden, moved.
void ApplyPointer(SDL_Window* window, TLiveInput& live, bool& shown) {
    if (live.cursorShown != shown) {
        SDL_ShowCursor(live.cursorShown ? SDL_ENABLE : SDL_DISABLE);
        shown = live.cursorShown;
    }
    if (live.warpPending) {
        live.warpPending = false;
        int wx = live.warpX, wy = live.warpY;
        // Game pixels to window pixels through the letterbox.
        if (SDL_Renderer* r = SDL_GetRenderer(window))
            SDL_RenderLogicalToWindow(r, static_cast<float>(live.warpX), static_cast<float>(live.warpY), &wx, &wy);
        SDL_WarpMouseInWindow(window, wx, wy);
    }
    // SDL reports the pointer in game pixels (the renderer's logical size).
    live.clientWidth = ActiveSettings().ScreenWidth;
    live.clientHeight = ActiveSettings().ScreenHeight;
}

int RunWindowed(bool trace, const std::string& writableRoot) {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        TSdlDialogHost d;
        d.Message(Sj("ウィンドウを作成できません。"), Sj("ＯＫ"));
        std::fprintf(stderr, "zel: %s\n", SDL_GetError());
        return 2;
    }
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);  // no pads: mouse and keyboard only
    std::string err;
    auto window = TSdlWindow::Create(&err);
    if (!window) {
        std::fprintf(stderr, "zel: cannot create the window: %s\n", err.c_str());
        SDL_Quit();
        return 2;
    }
    TSystemClock clock;
    TSdlDisplay display(window->Handle());  // destroyed before the window
    // The dialogs are drawn in the game window once it shows the game and
    // the fonts exist; before that (and for a display that is lost) the
    // platform's message boxes stand in.
    TSdlDialogHost messageBoxes;
    TWindowDialogSurface surface(*window, display);
    TKitDialogHost dialogs(surface, nullptr, messageBoxes);
    WireDisplay(display, dialogs);
    TDDSD7 sound(MakeSdlAudioOutput());
    TLiveInput live;
    TPlatform platform{window.get(), &clock, &dialogs, &display, &sound, &live};
    int status = 0;
    {
        TSdlInputMapper mapper(live);
        window->rawEvents = [&mapper](const SDL_Event& e) { mapper.Apply(e); };
        surface.passOn = window->rawEvents;
        bool cursorShown = true;
        auto fontsLoaded = [&surface, &dialogs](std::shared_ptr<TFontTable> fonts) {
            dialogs.SetFonts(fonts.get());
            // Text that reads at the game's own size: 22 pixels on a 720-line screen.
            dialogs.SetCell(std::clamp(ActiveSettings().ScreenHeight / 32, 14, 32));
            surface.SetFonts(std::move(fonts));
        };
        TMainWindow main(platform, Factory(trace, fontsLoaded), ".");
        main.SetWritableRoot(writableRoot);
        // What the player did in a dialog ends there: no key stays down, no
        // click reaches the game, and the dialog's time is no frame time.
        surface.finished = [&mapper, &main] {
            mapper.ReleaseAll();
            if (TZelSystem* sys = main.System()) sys->DialogClosed();
        };
        try {
            while (!main.Closed()) {
                main.PumpEvents();
                if (!main.Idle()) break;
                ApplyPointer(window->Handle(), live, cursorShown);
            }
            main.Shutdown();
        } catch (const EFatalStartup&) {
            status = 2;
        } catch (const EFatal&) {
            status = 1;
        }
        window->rawEvents = nullptr;
        surface.passOn = nullptr;
        surface.finished = nullptr;
    }
    // The engine is gone: what is left to say goes to message boxes.
    surface.SetFonts(nullptr);
    dialogs.SetFonts(nullptr);
    window.reset();
    SDL_Quit();
    return status;
}

}  // namespace

// "FRAME:FILE.png": the frame count after which the shot is taken (0 =
// right after start-up) and the file, made absolute before the game root
// becomes the working directory.
bool ParseScreenshots(Options& o) {
    for (const std::string& arg : o.screenshots) {
        const size_t colon = arg.find(':');
        const std::string frame = arg.substr(0, colon);
        if (colon == std::string::npos || colon + 1 >= arg.size() || frame.empty() || frame.size() > 9 ||
            frame.find_first_not_of("0123456789") != std::string::npos) {
            std::fprintf(stderr, "zel: --screenshot wants FRAME:FILE.png, not \"%s\"\n", arg.c_str());
            return false;
        }
        const int at = std::stoi(frame);
        if (at > o.frames) {
            std::fprintf(stderr, "zel: --screenshot frame %d is after the last frame (%d)\n", at, o.frames);
            return false;
        }
        std::error_code ec;
        const fs::path path = fs::absolute(arg.substr(colon + 1), ec);
        if (ec) {
            std::fprintf(stderr, "zel: bad screenshot path \"%s\"\n", arg.c_str() + colon + 1);
            return false;
        }
        o.shots.emplace_back(at, path.string());
    }
    return true;
}

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"zel: runs a visual-novel game folder"};
    app.add_flag("--headless", o.headless, "no window and no sound device; fixed frame step");
    app.add_option("--frames", o.frames, "headless: number of frames to run")->check(CLI::Range(0, INT_MAX));
    app.add_option("--step", o.step, "headless: milliseconds per frame (default 1000 / FPSLimit)")
        ->check(CLI::Range(1, 5000));
    app.add_option("--input", o.input, "headless: input script (FRAME KIND ARGS lines)");
    app.add_option("--screenshot", o.screenshots, "headless: FRAME:FILE.png, the presented frame as PNG")
        ->allow_extra_args(false);  // one value per --screenshot, so GAME_ROOT stays positional
    app.add_option("--dump-vars", o.dumpVars, "headless: write every system and global variable at exit");
    app.add_option("--audio-out", o.audioOut, "headless: write what the mixer produced as a 44.1 kHz WAV file");
    app.add_flag("--trace", o.trace, "print every dispatched segment with its position");
    app.add_option("GAME_ROOT", o.root, "the game folder (holding GameData)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (!o.headless && (o.frames >= 0 || o.step || !o.input.empty() || !o.screenshots.empty() || !o.dumpVars.empty() ||
                       !o.audioOut.empty())) {
        std::fprintf(stderr, "zel: --frames, --step, --input, --screenshot, --dump-vars and --audio-out need --headless\n");
        return 2;
    }
    if (o.headless && o.frames < 0) {
        std::fprintf(stderr, "zel: --headless needs --frames N\n");
        return 2;
    }
    if (!ParseScreenshots(o)) return 2;
    if (!o.input.empty()) {
        // Read and checked whole before the game root becomes the working directory.
        std::string text, err;
        if (!ReadWholeFile(o.input, text)) {
            std::fprintf(stderr, "zel: cannot read the input script %s\n", o.input.c_str());
            return 2;
        }
        if (!ParseInputScript(text, o.inputEvents, err)) {
            std::fprintf(stderr, "zel: %s: %s\n", o.input.c_str(), err.c_str());
            return 2;
        }
    }
    if (!o.dumpVars.empty()) {
        // Relative to where zel was started, not to the game root.
        std::error_code ec;
        const fs::path path = fs::absolute(o.dumpVars, ec);
        if (ec) {
            std::fprintf(stderr, "zel: bad variable dump path \"%s\"\n", o.dumpVars.c_str());
            return 2;
        }
        o.dumpVars = path.string();
    }
    if (!o.audioOut.empty()) {
        std::error_code ec;
        const fs::path path = fs::absolute(o.audioOut, ec);
        if (ec) {
            std::fprintf(stderr, "zel: bad sound file path \"%s\"\n", o.audioOut.c_str());
            return 2;
        }
        o.audioOut = path.string();
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
    // A game folder the player cannot write to keeps its settings, saves and
    // error log in the data folder named after it.
    o.writableRoot = WritableRootFor(".", ProcessDataFolderEnvironment());
    if (o.writableRoot.empty()) {
        std::fprintf(stderr, "zel: the game folder is read-only and there is no data folder to write to; "
                             "settings and saves stay in the game folder and may not be kept\n");
        o.writableRoot = ".";
    } else if (o.writableRoot != ".") {
        std::fprintf(stderr, "zel: the game folder is read-only; settings and saves go to %s\n", o.writableRoot.c_str());
    }
    SetErrorLogFolder(o.writableRoot);
    return o.headless ? RunHeadless(o) : RunWindowed(o.trace, o.writableRoot);
}
