#include "shell/ZelSystemLib.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "platform/Devices.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "shell/SystemConfigLib.h"

namespace zel {

namespace {

// Replaces every occurrence of key (ASCII case ignored) by value.
std::string ReplaceNoCase(const std::string& text, const std::string& key, const std::string& value) {
    const std::string lowText = AsciiLower(text), lowKey = AsciiLower(key);
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = lowText.find(lowKey, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out += value;
        pos = hit + key.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// Comma-separated field i of text (0-based), or nullopt.
std::optional<std::string> Field(const std::string& text, size_t index) {
    size_t start = 0;
    for (size_t i = 0;; ++i) {
        const size_t comma = text.find(',', start);
        if (i == index) return text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos) return std::nullopt;
        start = comma + 1;
    }
}

std::string WithoutExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A save name taken from data must be a bare file name inside "SaveData".
bool IsBareFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (size_t i = 0; i < name.size(); i = NextCharPos(name, i))
        if (CharLen(name, i) == 1 && (name[i] == '/' || name[i] == '\\' || name[i] == ':')) return false;
    return true;
}

}  // namespace

TZelSystem::TZelSystem(IClock& clock, IDialogHost& dialogs, IGameStorage* storage, std::string saveFolder)
    : clock_(clock), dialogs_(dialogs), storage_(storage), saveFolder_(std::move(saveFolder)) {}

TZelSystem::~TZelSystem() {
    // Destruction order of the engine: sound pauses first, the screens go,
    // then the game script (which writes the system data), the system script,
    // the player and the devices' users.
    if (sound_) sound_->PauseAll();
    menu_.reset();
    logScreen_.reset();
    config_.reset();
    fileSelect_.reset();
    game_.reset();
    system_.reset();
    movie_.reset();
    sound_.reset();
    input_.reset();
    logData_.reset();
    savedMovie_.reset();
    if (platform_.display) {
        platform_.display->beforeReset = nullptr;
        platform_.display->afterReset = nullptr;
    }
    if (storage_) storage_->SetPseudoFileHooks(nullptr, nullptr);
}

void TZelSystem::Missing(const char* what) {
    if (std::find(reportedMissing_.begin(), reportedMissing_.end(), what) != reportedMissing_.end()) return;
    reportedMissing_.emplace_back(what);
    ReportError(std::string(what) + " is not available in this build");
}

bool TZelSystem::Setup(const TPlatform& platform, TZelSystemParts parts) {
    platform_ = platform;
    if (storage_) {
        storage_->SetPseudoFileHooks([this](const std::string& n) { return PseudoFileExists(n); },
                                     [this](const std::string& n) { return OpenPseudoFile(n); });
        if (parts.loadTables) parts.loadTables(*storage_);
    }
    sound_ = std::move(parts.sound);
    input_ = std::move(parts.input);
    movie_ = std::move(parts.movie);
    logData_ = std::move(parts.logData);
    menu_ = std::move(parts.menu);
    logScreen_ = std::move(parts.logScreen);
    fileSelect_ = std::move(parts.fileSelect);
    config_ = std::move(parts.config);
    hooks_ = std::move(parts);
    if (!hooks_.makeScript) return false;
    game_ = hooks_.makeScript(*this, nullptr);
    if (!game_) return false;
    system_ = hooks_.makeScript(*this, game_.get());
    if (!system_) return false;
    if (platform_.display) {
        platform_.display->beforeReset = [this] { BeforeDisplayReset(); };
        platform_.display->afterReset = [this] { AfterDisplayReset(); };
    }
    SetMode(SystemMode::Idle, 0);
    active_ = true;
    captionAcc_ = 0;
    avgWork_ = 0;
    initialised_ = true;
    return true;
}

void TZelSystem::Start() {
    if (config_) config_->ApplyAllSettings();
    if (input_) input_->SetCursorHideDelay(0);
    Reset();
    if (game_) game_->ExecuteLine("\\go,@@top,StartUp.s");
    // The first frame is due at once and counts one frame interval, so the
    // window's first picture is not held back by a whole interval.
    const uint64_t now = clock_.NowMs();
    const uint64_t interval = static_cast<uint64_t>(1000 / std::max<int32_t>(ActiveSettings().FPSLimit, 10));
    lastFrameTime_ = now > interval ? now - interval - 1 : 0;
}

IEngineScript* TZelSystem::CurrentScript() const {
    return mode_ == SystemMode::SystemScript ? system_.get() : game_.get();
}

bool TZelSystem::MoviePlaying() const { return movie_ && movie_->State() == 2; }

void TZelSystem::SetActive(bool active) {
    if (active == active_) return;
    if (sound_) {
        if (active) sound_->ResumeAll();
        else sound_->PauseAll();
    }
    active_ = active;
}

void TZelSystem::SetMode(SystemMode mode, int32_t argument) {
    mode_ = mode;
    modeArg_ = argument;
    framesInMode_ = 0;
}

bool TZelSystem::RunSystemScript(const std::string& label) {
    if (label.empty() || !system_) return false;
    if (IEngineScript* cur = CurrentScript()) cur->SetPlayMode(PlayMode::Normal);
    SetMode(SystemMode::SystemScript, 0);
    system_->ResetScript();
    system_->ExecuteLine("\\go," + label + ",SysStartUp.s");
    system_->InvalidateCells();
    return true;
}

void TZelSystem::Reset(const std::string& label, const std::string& file) {
    SetActive(true);
    ClearErrors();
    if (system_) system_->ResetScript();
    if (game_) game_->ResetScript();
    if (logData_) logData_->Clear();
    if (menu_) menu_->Reset();
    if (fileSelect_) fileSelect_->Reset();
    if (logScreen_) logScreen_->Reset();
    if (sound_) sound_->StopAll();
    if (movie_) movie_->Stop();
    SetMode(SystemMode::Game, 0);
    if (game_) {
        if (!label.empty() && !file.empty()) game_->ExecuteLine("\\go," + label + "," + file);
        else game_->ExecuteLine("\\go,@@reset,startup.s");
    }
    errorScreen_ = 0;
}

uint8_t TZelSystem::Tick() {
    ranFrame_ = false;
    const uint64_t now = clock_.NowMs();
    const TSystemData& cfg = ActiveSettings();
    const bool noWait = game_ && game_->NoWait();
    const int64_t interval = noWait ? 0 : 1000 / std::max<int32_t>(cfg.FPSLimit, 10);
    int64_t due = interval + static_cast<int64_t>(lastFrameTime_) - static_cast<int64_t>(now);
    if (fixedStep_ > 0) due = -1;
    if (due >= 0) {
        // More than 4 ms to go: sleep all but the last 3 (at most 97 ms at a
        // time). The last few are slept too, in one sleep to the frame,
        // rather than spun away: the host's sleep keeps to the millisecond.
        due = std::min<int64_t>(due, 100);
        clock_.SleepMs(static_cast<uint32_t>(due > 4 ? due - 3 : due + 1));
        return 0;
    }
    const int32_t elapsed = fixedStep_ > 0 ? std::min<int32_t>(fixedStep_, 5000)
                                           : static_cast<int32_t>(std::clamp<int64_t>(
                                                 static_cast<int64_t>(now) - static_cast<int64_t>(lastFrameTime_), 1, 5000));
    lastFrameTime_ = now;
    const uint64_t frameStart = now;
    if (ErrorFlag()) errorScreen_ = 3;
    const bool windowActive = platform_.window && platform_.window->IsActive();
    if ((mode_ == SystemMode::Config || errorScreen_ == 3) && !windowActive) return 0;
    if (!active_) return 0;
    ranFrame_ = true;
    // Interlaced drawing alternates the rows it draws every frame.
    for (IEngineScript* s : {game_.get(), system_.get()})
        if (s) s->ToggleFrameParity();
    RunModeHandler(elapsed);
    if (errorScreen_ == 3) {
        PollInput();
        // The time spent on the error screen is not counted: the same clock as above.
        lastFrameTime_ = clock_.NowMs();
        if (IEngineScript* s = CurrentScript()) s->Draw(cfg.Interlace == 1, true, 0xFFFF);
        Present(false);
        SetErrorFlag(false);
        if (hooks_.paintErrorScreen) {
            const auto& all = ErrorLines();
            std::vector<std::string> lines(all.begin(), all.begin() + static_cast<ptrdiff_t>(std::min<size_t>(all.size(), 31)));
            hooks_.paintErrorScreen(lines);
        }
    }
    const uint8_t result = static_cast<uint8_t>(mode_);
    ++framesInMode_;
    const uint64_t after = clock_.NowMs();
    UpdateCaption(elapsed, after > frameStart ? after - frameStart : 0);
    return result;
}

void TZelSystem::UpdateCaption(int32_t elapsed, uint64_t workMs) {
    const int32_t work = static_cast<int32_t>(std::min<uint64_t>(workMs, 5000));
    avgWork_ = (avgWork_ + work) / 2;
    captionAcc_ += elapsed;
    if (captionAcc_ <= 1000) return;
    const TSystemData& cfg = ActiveSettings();
    const int32_t fps = std::min<int32_t>(cfg.FPSLimit, 1000 / std::max<int32_t>(elapsed, 1));
    // The work share of the frame budget; a limit of 0 or above 1000 has no budget: shown as 0.
    const int32_t budget = cfg.FPSLimit > 0 ? 1000 / cfg.FPSLimit : 0;
    const int32_t cpu = budget > 0 ? std::min<int32_t>(static_cast<int32_t>(int64_t{avgWork_} * 100 / budget), 100) : 0;
    std::string caption = cfg.FormCaption;
    caption = ReplaceNoCase(caption, "%%%fps", std::to_string(fps));
    caption = ReplaceNoCase(caption, "%%%limit", std::to_string(cfg.FPSLimit));
    caption = ReplaceNoCase(caption, "%%%cpu", std::to_string(cpu));
    if (platform_.window) platform_.window->SetCaption(caption);
    captionAcc_ = 0;
    avgWork_ = work;
}

void TZelSystem::ClearCursorHide() {
    if (input_) input_->SetCursorHideDelay(0);
}

void TZelSystem::PollInput() {
    if (input_) input_->Update();
}

void TZelSystem::DialogClosed() {
    lastFrameTime_ = clock_.NowMs();
    if (input_) input_->Reset();
}

void TZelSystem::OnEntry() {
    if (game_) game_->SetPlayMode(PlayMode::Normal);
    lastFrameTime_ = clock_.NowMs();
}

void TZelSystem::RunModeHandler(int32_t elapsed) {
    switch (mode_) {
        case SystemMode::ExitConfirm: {
            ClearCursorHide();
            Present(true);
            const TMessageTable& m = Messages();
            const int yes = dialogs_.Confirm(m.Text("EXIT_Text"), m.Text("EXIT_Yes"), m.Text("EXIT_no"));
            lastFrameTime_ = clock_.NowMs();
            SetMode(yes == 1 ? SystemMode::Exit : SystemMode::Game);
            break;
        }
        case SystemMode::Exit:
            ClearCursorHide();
            if (game_) game_->SetPlayMode(PlayMode::Normal);
            SetMode(SystemMode::Idle);
            break;
        case SystemMode::ResetConfirm: {
            ClearCursorHide();
            Present(true);
            const TMessageTable& m = Messages();
            const int yes = dialogs_.Confirm(m.Text("RESET_Text"), m.Text("RESET_Yes"), m.Text("RESET_no"));
            lastFrameTime_ = clock_.NowMs();
            if (yes == 1) Reset();
            SetMode(SystemMode::Game);
            break;
        }
        case SystemMode::Game:
        case SystemMode::SystemScript: ScriptFrame(elapsed); break;
        case SystemMode::Menu: MenuFrame(elapsed); break;
        case SystemMode::Log: LogFrame(elapsed); break;
        case SystemMode::SaveSelect: FileSelectFrame(elapsed, true); break;
        case SystemMode::LoadSelect: FileSelectFrame(elapsed, false); break;
        case SystemMode::Config:
            ClearCursorHide();
            Present(true);
            if (game_) game_->SetPlayMode(PlayMode::Normal);
            if (config_) config_->ShowModal(modeArg_);
            else Missing("the configuration dialog");
            lastFrameTime_ = clock_.NowMs();
            SetMode(SystemMode::Game);
            Present(true);
            break;
        case SystemMode::Idle: break;
    }
}

void TZelSystem::MenuFrame(int32_t elapsed) {
    ClearCursorHide();
    PollInput();
    if (!menu_) {
        Missing("the system menu");
        SetMode(SystemMode::Game);
        return;
    }
    if (framesInMode_ == 1) {
        OnEntry();
        menu_->Open(false);
    }
    const int32_t r = menu_->Step(elapsed) & 0x7F;
    const bool buttonWait = game_ && game_->InButtonWait();
    auto locked = [&](ScriptLock l) { return game_ && game_->IsLocked(l); };
    switch (r) {
        case 0: menu_->Draw(); Present(false); break;
        case 1: SetMode(SystemMode::Game); break;
        case 2: SetMode(SystemMode::LoadSelect); break;
        case 3: SetMode(SystemMode::SaveSelect); break;
        case 4: SetMode(SystemMode::Log); break;
        case 6:
            if (!locked(ScriptLock::View) && game_) game_->SetPlayMode(PlayMode::View);
            SetMode(SystemMode::Game);
            break;
        case 7:
            if (!buttonWait && !locked(ScriptLock::Skip) && game_) game_->SetPlayMode(PlayMode::Skip);
            SetMode(SystemMode::Game);
            break;
        case 8:
            if (!buttonWait && !locked(ScriptLock::Auto) && game_) game_->SetPlayMode(PlayMode::Auto);
            SetMode(SystemMode::Game);
            break;
        case 9:
            if (!buttonWait && !locked(ScriptLock::Skip) && game_ && game_->HasReadTextToSkip())
                game_->SetPlayMode(PlayMode::LogSkip);
            SetMode(SystemMode::Game);
            break;
        case 10: ToggleScreen(); SetMode(SystemMode::Game); break;
        case 11: SetMode(SystemMode::Config, -1); break;
        case 12: SetMode(SystemMode::ExitConfirm); break;
        case 13: SetMode(SystemMode::ResetConfirm); break;
        case 14: QuickSave(); SetMode(SystemMode::Game); break;
        case 15: QuickLoad(); SetMode(SystemMode::Game); break;
        case 16: SelectionLoad(); SetMode(SystemMode::Game); break;
        case 17:
            if (game_ && game_->CanSceneReturn()) DoSceneReturn();
            SetMode(SystemMode::Game);
            break;
        default:
            SetMode(SystemMode::Game);
            if (game_) game_->SkipTimeOnce();
            break;
    }
    if (mode_ != SystemMode::Menu) menu_->Close();
}

void TZelSystem::LogFrame(int32_t elapsed) {
    ClearCursorHide();
    PollInput();
    if (!logScreen_) {
        Missing("the message log screen");
        SetMode(SystemMode::Game);
        return;
    }
    if (framesInMode_ == 1) {
        OnEntry();
        logScreen_->Open(false);
    }
    if (logScreen_->Step(elapsed) == -1) {
        SetMode(SystemMode::Game);
        Present(true);
        logScreen_->Close();
        if (game_) game_->SkipTimeOnce();
    } else {
        logScreen_->Draw();
        Present(false);
    }
}

bool TZelSystem::SaveFileExists(const std::string& name) const {
    return IsBareFileName(name) && HostFileExists(saveFolder_ + "/" + name);
}

void TZelSystem::FileSelectFrame(int32_t elapsed, bool save) {
    ClearCursorHide();
    PollInput();
    if (!fileSelect_) {
        Missing("the save and load screen");
        SetMode(SystemMode::Game);
        return;
    }
    if (framesInMode_ == 1) {
        OnEntry();
        fileSelect_->Open(save);
    }
    const int32_t r = fileSelect_->Step(elapsed);
    if (r == -1) {
        SetMode(SystemMode::Game);
        Present(true);
        fileSelect_->Close();
    } else if (r == 0) {
        fileSelect_->Draw();
        Present(false);
        return;
    } else if (r == 1) {
        const std::string file = fileSelect_->ChosenFile();
        // Quick load is offered on the save screen too: the label says which it is.
        const std::string label = fileSelect_->ChosenLabel();
        if (label == "*OnLoad" || label == "*OnQuickLoad") save = false;
        if (label == "*OnSave" || label == "*OnQuickSave") save = true;
        if (save) {
            if (game_ && game_->Save(file, true)) game_->SetAfterLoadLabel(fileSelect_->ChosenLabel());
        } else if (game_ && SaveFileExists(file)) {
            if (game_->Load(file)) game_->SetAfterLoadLabel(fileSelect_->ChosenLabel());
        }
        SetMode(SystemMode::Game);
    } else {
        return;
    }
    if (game_) game_->SkipTimeOnce();
}

void TZelSystem::ScriptFrame(int32_t elapsed) {
    if (errorScreen_ == 3) return;
    IEngineScript* s = CurrentScript();
    if (!s) return;
    if (s->RunFrameHook()) {
        s->RefreshCells();
        s->CallAfterFrame(0);
        s->CallAfterFrame(1);
        return;
    }
    PollInput();
    s->RunFrame(elapsed, true);
    s->Draw(ActiveSettings().Interlace == 1, true, 0xFFFF);
    const int32_t req = s->Request();
    if (req == SystemRequest::None) {
        Present(false);
        return;
    }
    CarryOutRequest(*s, req, s->RequestArgument());
}

void TZelSystem::CarryOutRequest(IEngineScript& s, int32_t req, const std::string& arg) {
    if (req != SystemRequest::ResetTo && req != SystemRequest::Custom && req != SystemRequest::SystemScriptEnd &&
        !arg.empty()) {
        RunSystemScript(arg);
        return;
    }
    switch (req) {
        case SystemRequest::Quit: SetMode(SystemMode::Exit); break;
        case SystemRequest::ExitConfirm: SetMode(SystemMode::ExitConfirm); break;
        case SystemRequest::Menu: SetMode(SystemMode::Menu); break;
        case SystemRequest::Log: SetMode(SystemMode::Log); break;
        case SystemRequest::Screen: ToggleScreen(); break;
        case SystemRequest::ApplyConfig:
            if (config_) config_->ApplyAllSettings();
            else Missing("the configuration dialog");
            break;
        case SystemRequest::ResetConfirm: SetMode(SystemMode::ResetConfirm); break;
        case SystemRequest::ResetTo: {
            const auto f0 = Field(arg, 0), f1 = Field(arg, 1), f2 = Field(arg, 2);
            if (f0 && f1 && !f2) Reset(*f0, *f1);
            else Reset();
            break;
        }
        case SystemRequest::Save: SetMode(SystemMode::SaveSelect); break;
        case SystemRequest::Load: SetMode(SystemMode::LoadSelect); break;
        case SystemRequest::Config: SetMode(SystemMode::Config, -1); break;
        case SystemRequest::View:
        case SystemRequest::Auto:
        case SystemRequest::Skip:
        case SystemRequest::LogSkip:
            if (game_) game_->SetPlayMode(req - SystemRequest::View + PlayMode::View);
            SetMode(SystemMode::Game);
            break;
        case SystemRequest::QuickSave: QuickSave(); break;
        case SystemRequest::QuickLoad: QuickLoad(); break;
        case SystemRequest::SelectLoad: SelectionLoad(); break;
        case SystemRequest::ConfigVolume: SetMode(SystemMode::Config, 1); break;
        case SystemRequest::ConfigVoice: SetMode(SystemMode::Config, 2); break;
        case SystemRequest::SceneReturn:
            if (game_ && game_->CanSceneReturn()) DoSceneReturn();
            break;
        case SystemRequest::Custom:
            s.SetPlayMode(PlayMode::Normal);
            SetMode(SystemMode::SystemScript);
            if (system_) {
                system_->ResetScript();
                system_->ExecuteLine("\\go," + arg + ",SysStartUp.s");
                system_->InvalidateCells();
            }
            break;
        case SystemRequest::SystemScriptEnd:
            if (system_) system_->ResetScript();
            if (game_) {
                game_->SetPlayMode(PlayMode::Normal);
                game_->InvalidateCells();
            }
            SetMode(SystemMode::Game);
            break;
        case SystemRequest::Minimize:
            if (platform_.display && platform_.display->IsFullScreen()) ToggleScreen();
            if (platform_.window) platform_.window->Minimize();
            break;
        default: break;
    }
}

void TZelSystem::ToggleScreen() {
    if (platform_.display) platform_.display->ToggleFullScreen();
}

void TZelSystem::QuickSave() {
    if (!fileSelect_) {
        Missing("the save and load screen");
        return;
    }
    // No quick-save slots: quick save is unavailable.
    const std::string name = fileSelect_->QuickSaveFileName();
    if (!name.empty() && game_ && game_->Save(name, true)) game_->SetAfterLoadLabel("*OnQuickSave");
    SetMode(SystemMode::Game);
    if (game_) game_->SkipTimeOnce();
}

void TZelSystem::QuickLoad() {
    if (!hooks_.quickLoadDialog) {
        Missing("the quick-load dialog");
        return;
    }
    const std::string file = hooks_.quickLoadDialog();
    lastFrameTime_ = clock_.NowMs();
    if (!file.empty() && game_ && game_->Load(file)) game_->SetAfterLoadLabel("*OnQuickLoad");
    SetMode(SystemMode::Game);
    if (game_) game_->SkipTimeOnce();
}

void TZelSystem::SelectionLoad() {
    if (!SaveFileExists("SelectSaveData.svd")) return;
    const TMessageTable& m = Messages();
    const int yes =
        dialogs_.Confirm(m.Text("SelectLoad_Text"), m.Text("SelectLoad_Yes"), m.Text("SelectLoad_no"));
    lastFrameTime_ = clock_.NowMs();
    if (yes != 1 || !game_) return;
    if (game_->Load("SelectSaveData.svd")) {
        SetMode(SystemMode::Game);
        game_->SkipTimeOnce();
        game_->SetAfterLoadLabel("*OnSelectLoad");
    }
}

void TZelSystem::DoSceneReturn() {
    game_->SceneReturn();
    SetMode(SystemMode::Game);
    game_->SkipTimeOnce();
    game_->SetAfterLoadLabel("*OnSceneReturn");
}

void TZelSystem::Present(bool force) {
    IDisplayDevice* display = platform_.display;
    IEngineScript* s = CurrentScript();
    if (!display || !display->IsInitialized() || !s) return;
    if (MoviePlaying()) return;
    int pitch = 0;
    if (!display->Lock(&pitch)) {
        if (!platform_.window || !platform_.window->IsActive()) return;
        if (!display->Restore()) {
            const TMessageTable& m = Messages();
            // A game whose message table lacks the text still says why it ends.
            std::string text = m.Text("BackBufferResetERROR");
            if (text.empty()) text = "BackBufferResetERROR: the screen could not be restored";
            dialogs_.Message(text, m.Text("OK"));
            ReportError(text);
            throw EFatal("BackBufferResetERROR");
        }
    } else {
        display->Unlock();
    }
    const bool interlaced = ActiveSettings().Interlace == 1 && !force;
    switch (mode_) {
        case SystemMode::Game:
        case SystemMode::SystemScript:
            if (s->RunFrameHook()) s->RefreshCells();
            if (s->HasAfterFrame(1)) {
                s->CallAfterFrame(1);
                return;
            }
            s->ShowFrame(force, interlaced);
            break;
        case SystemMode::Menu:
        case SystemMode::Log:
        case SystemMode::SaveSelect:
        case SystemMode::LoadSelect: s->ShowCells(force, interlaced); break;
        default: s->ShowFrame(force, interlaced); break;
    }
}

void TZelSystem::BeforeDisplayReset() {
    savedMovie_.reset();
    if (movie_) {
        savedMovie_ = std::make_unique<TMemoryStream>();
        movie_->SaveState(*savedMovie_);
        movie_->Stop();
    }
}

void TZelSystem::AfterDisplayReset() {
    if (savedMovie_ && movie_) {
        savedMovie_->Rewind();
        movie_->Stop();
        try {
            movie_->LoadState(*savedMovie_);
        } catch (const EZelError& e) {
            ReportError(e.what());
        }
    }
    savedMovie_.reset();
}

std::optional<std::string> TZelSystem::ThreadImage(IEngineScript* s, bool overlays, int32_t zLimit) {
    if (!s) return std::nullopt;
    const bool interlaced = false;
    s->Draw(interlaced, overlays, zLimit);
    auto bmp = s->CaptureScreenBmp();
    if (!overlays || zLimit != 0xFFFF) s->Draw(interlaced, true, 0xFFFF);
    return bmp;
}

bool TZelSystem::PseudoFileExists(const std::string& rawName) {
    const std::string name = AsciiLower(rawName);
    for (const char* who : {"$$$gamethreadimage", "$$$systemthreadimage"}) {
        const std::string w(who);
        if (name == w + ",0.bmp" || name == w + ",1.bmp" || name.rfind(w + "z", 0) == 0) return true;
    }
    if (name.find("$$$saveimage") != std::string::npos) {
        const auto f = Field(WithoutExtension(rawName), 1);
        return f && SaveFileExists(*f);
    }
    if (name.find("$$$fileimport") != std::string::npos) {
        const auto f = Field(rawName, 1);
        return f && HostFileExists(*f);
    }
    return false;
}

std::unique_ptr<TMemoryStream> TZelSystem::OpenPseudoFile(const std::string& rawName) {
    const std::string name = AsciiLower(rawName);
    auto wrap = [](std::optional<std::string> bytes) -> std::unique_ptr<TMemoryStream> {
        if (!bytes) return nullptr;
        return std::make_unique<TMemoryStream>(*bytes);
    };
    const bool isBmp = EndsWith(name, ".bmp");
    struct Who {
        const char* prefix;
        IEngineScript* script;
    } whos[] = {{"$$$gamethreadimage", game_.get()}, {"$$$systemthreadimage", system_.get()}};
    for (const Who& w : whos) {
        const std::string p(w.prefix);
        if (isBmp && name == p + ",0.bmp") return wrap(ThreadImage(w.script, true, 0xFFFF));
        if (isBmp && name == p + ",1.bmp") return wrap(ThreadImage(w.script, false, 0xFFFF));
        if (name.rfind(p + "z", 0) == 0) {
            int32_t z = 65535;
            if (const auto f = Field(WithoutExtension(name), 1)) {
                const auto v = ParseSettingInt(*f);
                if (v && !f->empty() && f->front() != '$' && *v >= INT32_MIN && *v <= INT32_MAX)
                    z = static_cast<int32_t>(*v);
            }
            return wrap(ThreadImage(w.script, true, z));
        }
    }
    if (isBmp && name.find("$$$saveimage") != std::string::npos) {
        const auto f = Field(WithoutExtension(rawName), 1);
        if (!f || !SaveFileExists(*f)) return nullptr;
        if (!hooks_.saveThumbnailBmp) {
            Missing("reading save thumbnails");
            return nullptr;
        }
        return wrap(hooks_.saveThumbnailBmp(saveFolder_ + "/" + *f));
    }
    if (name.find("$$$fileimport") != std::string::npos) {
        const auto f = Field(rawName, 1);
        std::string bytes;
        if (!f || !ReadWholeFile(*f, bytes)) return nullptr;
        return std::make_unique<TMemoryStream>(bytes);
    }
    return nullptr;
}

}  // namespace zel
