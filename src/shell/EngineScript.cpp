#include "shell/EngineScript.h"

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "platform/Devices.h"
#include "scriptdata/ScreenEffectCommands.h"
#include "shell/ScriptScreen.h"
#include "shell/SystemConfigLib.h"

namespace zel {

namespace {

// Lock bits of the play modes the shell asks about.
constexpr uint32_t kLockView = 32, kLockAuto = 64, kLockSkip = 128;

}  // namespace

TEngineScript::TEngineScript(IGameFiles& files, IRegExp* regexp, ILineRewriter* rewriter, TEngineScript* parent,
                             IDisplayDevice* display, IDialogHost* dialogs)
    : display_(display) {
    const TSystemData& cfg = ActiveSettings();
    screen_ = std::make_unique<TScriptScreen>(display ? display->ScreenWidth() : cfg.ScreenWidth,
                                              display ? display->ScreenHeight() : cfg.ScreenHeight, &files);
    script_ = std::make_unique<TZelScript>(&files, regexp, rewriter, parent ? parent->script_.get() : nullptr);
    RegisterScreenEffectCommands(script_->Objects().Handlers(), screen_->Graphic(), screen_->Camera());
    screen_->Graphic().SetMessageHost(dialogs);
    TScriptServices services;
    services.display = screen_.get();
    services.autoPlayClickTime = [] { return ActiveSettings().AutoPlayClickTime; };
    script_->SetServices(services);
}

TEngineScript::~TEngineScript() = default;

void TEngineScript::ResetScript() { script_->ResetScript(); }

bool TEngineScript::ExecuteLine(const std::string& text) { return script_->ExecuteLine(text); }

void TEngineScript::RunFrame(int32_t elapsedMs, bool processInput) { script_->RunFrame(elapsedMs, processInput); }

void TEngineScript::Draw(bool interlaced, bool overlays, int32_t zLimit) {
    if (IScriptDisplay* d = script_->Services().display) d->Draw(interlaced, overlays, zLimit);
}

void TEngineScript::ShowFrame(bool force, bool interlaced) {
    if (display_) screen_->Graphic().Present(*display_, force, interlaced);
}

// The built-in screens draw into the cell drawer's frame themselves.
void TEngineScript::ShowCells(bool force, bool interlaced) {
    if (display_) screen_->Graphic().Cells().PresentBands(*display_, force, interlaced);
}

void TEngineScript::InvalidateCells() {
    if (IScriptDisplay* d = script_->Services().display) d->InvalidateCells();
}

void TEngineScript::RefreshCells() { screen_->InvalidateCells(); }

void TEngineScript::ToggleFrameParity() { screen_->Graphic().Cells().ToggleFrameParity(); }

void TEngineScript::SetPlayMode(int32_t mode) { script_->SetPlayMode(mode); }

int32_t TEngineScript::GetPlayMode() const { return script_->State().playMode; }

void TEngineScript::SkipTimeOnce() { script_->SkipTimeOnce(); }

bool TEngineScript::Save(const std::string& file, bool) {
    ReportError("cannot save \"" + file + "\": save files are not available in this build");
    return false;
}

bool TEngineScript::Load(const std::string& file) {
    ReportError("cannot load \"" + file + "\": save files are not available in this build");
    return false;
}

int32_t TEngineScript::Request() const { return script_->State().request; }

std::string TEngineScript::RequestArgument() const { return script_->State().requestArgument; }

void TEngineScript::SetAfterLoadLabel(const std::string& label) { script_->State().afterLoadLabel = label; }

bool TEngineScript::NoWait() const { return script_->State().noWait; }

bool TEngineScript::IsLocked(ScriptLock lock) const {
    const uint32_t bit = lock == ScriptLock::View ? kLockView : lock == ScriptLock::Auto ? kLockAuto : kLockSkip;
    return (script_->State().lockWord & bit) != 0;
}

bool TEngineScript::InButtonWait() const { return script_->Thread().Top()->waitState == wsButton; }

// Read-text tracking and scene returns come with the message log.
bool TEngineScript::HasReadTextToSkip() const { return false; }
bool TEngineScript::CanSceneReturn() const { return false; }
void TEngineScript::SceneReturn() {}

std::optional<std::string> TEngineScript::CaptureScreenBmp() {
    TMemoryStream bmp;
    if (!screen_->Graphic().SaveScreenBmp(bmp)) return std::nullopt;
    return bmp.ToString();
}

TZelScript* ScriptOf(IEngineScript* script) {
    auto* s = dynamic_cast<TEngineScript*>(script);
    return s ? &s->Script() : nullptr;
}

}  // namespace zel
