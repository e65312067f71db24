#include "shell/EngineScript.h"

#include "base/ErrorLog.h"
#include "shell/SystemConfigLib.h"

namespace zel {

// The interpreter speaks the shell's request and play-mode codes.
constexpr bool SameCode(int32_t a, int32_t b) { return a == b; }
static_assert(SameCode(ScriptRequest::Quit, SystemRequest::Quit) && SameCode(ScriptRequest::Custom, SystemRequest::Custom) &&
              SameCode(ScriptRequest::SystemScriptEnd, SystemRequest::SystemScriptEnd) &&
              SameCode(ScriptRequest::Minimize, SystemRequest::Minimize));
static_assert(SameCode(ScriptPlayMode::View, PlayMode::View) && SameCode(ScriptPlayMode::LogSkip, PlayMode::LogSkip));

namespace {

// Lock bits of the play modes the shell asks about.
constexpr uint32_t kLockView = 32, kLockAuto = 64, kLockSkip = 128;

}  // namespace

TEngineScript::TEngineScript(IGameFiles& files, IRegExp* regexp, ILineRewriter* rewriter, TEngineScript* parent)
    : script_(std::make_unique<TZelScript>(&files, regexp, rewriter, parent ? parent->script_.get() : nullptr)) {
    TScriptServices services;
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

// Presenting belongs to the compositor; until it exists nothing is drawn, so
// there is nothing to show either.
void TEngineScript::ShowFrame(bool, bool) {}
void TEngineScript::ShowCells(bool, bool) {}

void TEngineScript::InvalidateCells() {
    if (IScriptDisplay* d = script_->Services().display) d->InvalidateCells();
}

void TEngineScript::RefreshCells() {}

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

std::optional<std::string> TEngineScript::CaptureScreenBmp() { return std::nullopt; }

TZelScript* ScriptOf(IEngineScript* script) {
    auto* s = dynamic_cast<TEngineScript*>(script);
    return s ? &s->Script() : nullptr;
}

}  // namespace zel
