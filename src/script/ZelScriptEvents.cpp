// The script's answers to the player: clicks by wait state, the system keys
// and system buttons turned into requests under the lock word, the play
// modes' automatic clicks, the wait cursor and the after-load notice, the
// read positions that LogSkip follows, the scene return.
#include <algorithm>

#include "anim/AnimationBmpLib.h"
#include "anim/ImageLib.h"
#include "base/ErrorLog.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "script/ZelScriptLib.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

namespace {

// The request a key or button action asks for and the lock bits that forbid it.
struct TActionRequest {
    int32_t request;
    uint32_t lock;
};

// By the system-key action code (SystemKeyActionCode); request 0: no request.
TActionRequest KeyRequest(int32_t action) {
    using namespace ScriptLockBit;
    namespace R = ScriptRequest;
    switch (action) {
        case 4: return {R::Menu, Menu};
        case 5: return {R::Log, Log};
        case 6: return {R::Screen, Screen};
        case 7: return {R::ResetConfirm, Reset};
        case 8: return {R::ExitConfirm, Reset};
        case 9: return {R::Load, Load};
        case 10: return {R::Save, Save};
        case 11: return {R::View, View};
        case 12: return {R::Config, Config};
        case 13: return {R::Minimize, Minimize};
        case 14: return {R::Auto, Auto};
        case 15: return {R::Skip, Skip};
        case 16: return {R::LogSkip, Skip};
        case 19: return {R::QuickSave, Save};
        case 20: return {R::QuickLoad, Load};
        case 21: return {R::SelectLoad, Load};
        case 24: return {R::SceneReturn, Jump};
        default: return {R::None, 0};
    }
}

// By a system button's action word (lower case); custom and the play-mode
// toggles are handled apart.
TActionRequest ButtonRequest(std::string_view word) {
    using namespace ScriptLockBit;
    namespace R = ScriptRequest;
    static constexpr std::pair<std::string_view, TActionRequest> kWords[] = {
        {"screen", {R::Screen, Screen}},
        {"log", {R::Log, Log}},
        {"config", {R::Config, Config}},
        {"configvolume", {R::ConfigVolume, Config}},
        {"configvoice", {R::ConfigVoice, Config}},
        {"menu", {R::Menu, Menu}},
        {"save", {R::Save, Save}},
        {"load", {R::Load, Load}},
        {"reset", {R::ResetConfirm, Reset}},
        {"exit", {R::ExitConfirm, Reset}},
        {"minimize", {R::Minimize, Minimize}},
        {"quicksave", {R::QuickSave, Save}},
        {"quickload", {R::QuickLoad, Load}},
        {"selectload", {R::SelectLoad, Load}},
        {"scenereturn", {R::SceneReturn, Jump}},
    };
    for (const auto& [w, r] : kWords)
        if (w == word) return r;
    return {R::None, 0};
}

// The play mode a toggle word or key action enters; 0 for none.
int32_t ToggleMode(std::string_view word) {
    if (word == "view") return ScriptPlayMode::View;
    if (word == "auto") return ScriptPlayMode::Auto;
    if (word == "skip") return ScriptPlayMode::Skip;
    if (word == "logskip") return ScriptPlayMode::LogSkip;
    return 0;
}

int32_t KeyMode(int32_t action) {
    switch (action) {
        case 11: return ScriptPlayMode::View;
        case 14: return ScriptPlayMode::Auto;
        case 15: return ScriptPlayMode::Skip;
        case 16: return ScriptPlayMode::LogSkip;
        default: return 0;
    }
}

// A label under which lines count as read: "@@" and at least one more byte,
// the third not "!" (silent labels are never recorded).
bool ReadableLabel(std::string_view label) { return label.size() > 2 && label.substr(0, 2) == "@@" && label[2] != '!'; }

int32_t Saturated(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

void TZelScript::ServicePlayerInput(const TPlayerInput& in, bool processInput) {
    // Any bound key ends View, Auto and the skip modes; the key of the mode
    // that was on only ends it (pressing Auto again turns Auto off).
    const int32_t modeBefore = state_.playMode;
    if (in.fired && modeBefore != ScriptPlayMode::Normal) SetPlayMode(ScriptPlayMode::Normal);
    if (!processInput) return;
    const int32_t x = in.pointerKnown ? in.x : kNoPosition, y = in.pointerKnown ? in.y : kNoPosition;
    if (in.pointerKnown) {
        PointerMove(x, y);
        if (in.leftPressed && objectManager_) {
            const uint8_t w = Routine().waitState;
            const uint32_t classes = kSystemPointerClasses | (w == wsStop || w == wsButton ? kWaitPointerClasses : 0);
            objectManager_->PointerButtonAll(state_.layerMask[0], x, y, classes);
        }
    }
    if (!in.fired) return;
    if (KeyMode(in.key.action) != 0 && KeyMode(in.key.action) == modeBefore) return;
    SystemKeyAction(in.key, x, y);
}

void TZelScript::PointerMove(int32_t x, int32_t y) {
    if (!objectManager_) return;
    const uint8_t w = Routine().waitState;
    const uint32_t classes = kSystemPointerClasses | (w == wsStop || w == wsButton ? kWaitPointerClasses : 0);
    objectManager_->PointerMoveAll(state_.layerMask[0], x, y, classes);
}

void TZelScript::SystemKeyAction(const TFiredKey& key, int32_t px, int32_t py) {
    switch (key.action) {
        case 1: Click(px, py, false); return;
        case 2: Click(kNoPosition, kNoPosition, false); return;
        case 3:
            Click(kNoPosition, kNoPosition, false);
            state_.noWait = true;
            return;
        case 25:
        case 26:
        case 27:
        case 28: {
            if (!objectManager_ || px == kNoPosition) return;
            static constexpr int32_t kDx[] = {-1, 1, 0, 0}, kDy[] = {0, 0, -1, 1};
            const size_t d = static_cast<size_t>(key.action - 25);
            const TPoint p = objectManager_->FindNearestPoint(px, py, state_.layerMask[0], services_.screenWidth,
                                                              services_.screenHeight, kDx[d], kDy[d]);
            if ((p.X != px || p.Y != py) && services_.input) services_.input->MovePointer(p.X, p.Y);
            return;
        }
        case 29:
            if ((state_.customKeyMask & key.number) == 0) SetRequest(ScriptRequest::Custom, key.label);
            return;
        default: break;
    }
    const TActionRequest r = KeyRequest(key.action);
    if (r.request != ScriptRequest::None && !Locked(r.lock)) SetRequest(r.request, key.label);
}

void TZelScript::Click(int32_t x, int32_t y, bool generated) {
    TScriptState& s = state_;
    s.autoPlayDelay = 0;
    s.inputSettle = 4;
    if (!generated) SetPlayMode(ScriptPlayMode::Normal);
    const bool positioned = !(x == kNoPosition && y == kNoPosition);
    if (positioned && SystemButtonAction(x, y)) {
        s.inputSettle = 0;
        return;
    }
    TScriptRoutine& r = Routine();
    TValue& g = calc_.GlobalStore();
    TButtonHit hit;
    switch (r.waitState) {
        case wsStop:
            if (positioned && services_.buttons && services_.buttons->HitButton(s.layerMask[0], x, y, hit))
                s.inputSettle = 0;
            break;
        case wsClick:
            if (r.creditTime > 0) s.elapsedCredit = Saturated(int64_t{s.elapsedCredit} + r.creditTime);
            g.WriteInteger("ResultClkInt", 0, r.waitTime);
            r.waitTime = 0;
            r.creditTime = 0;
            r.waitState = wsRunning;
            break;
        case wsTime:
            g.WriteInteger("ResultClkInt", 0, s.scriptClock);
            if (!r.jumpLabel.empty()) JumpAfterClick(r.jumpLabel);
            break;
        case wsSoundTime: {
            const int64_t heard = services_.sound ? int64_t{services_.sound->AudiblePositionMs(r.soundChannel)} : 0;
            g.WriteInteger("ResultClkInt", 0, Saturated(heard * 1000));
            // Without a label the click leaves the wait running.
            if (!r.jumpLabel.empty()) JumpAfterClick(r.jumpLabel);
            break;
        }
        case wsMessage:
        case wsMessagePage:
            // The message windows take the click as their notice.
            if (objectManager_) objectManager_->HitTestAll(s.layerMask[0], x, y, kMessageClasses);
            break;
        case wsButton:
            if (s.playMode != ScriptPlayMode::Normal) SetPlayMode(ScriptPlayMode::Normal);
            if (positioned && services_.buttons && services_.buttons->HitButton(s.layerMask[0], x, y, hit)) {
                g.WriteObjectName("ResultBtn", 0, hit.name);
                for (int32_t i = 0; i < 4; ++i) {
                    g.WriteInteger("ResultBtnInt", i, hit.numbers[static_cast<size_t>(i)]);
                    g.WriteString("ResultBtnStr", i, hit.texts[static_cast<size_t>(i)]);
                }
                r.waitState = wsRunning;
            }
            break;
        case wsWave: r.waitState = wsRunning; break;
        default: break;  // 0, 1 and 3: nothing
    }
}

// A click that ends a \time or \sndt wait with its label: \jmp there.
void TZelScript::JumpAfterClick(const std::string& label) {
    Routine().waitState = wsRunning;
    if (reader_.GotoFileLabel("self", label)) Routine().PopTo(0);
    else ReportError(Sj("\\jmp：ジャンプ先が見つかりません：") + label);
    UpdateFileVariables();
}

bool TZelScript::SystemButtonAction(int32_t x, int32_t y) {
    TButtonHit hit;
    if (!services_.buttons || !services_.buttons->HitSystemButton(state_.layerMask[0], x, y, hit)) return false;
    const std::string word = AsciiLower(hit.action);
    if (word == "custom") {
        if ((state_.customKeyMask & static_cast<uint32_t>(hit.numbers[0])) != 0) return false;
        SetRequest(ScriptRequest::Custom, hit.argument);
        return true;
    }
    if (const int32_t mode = ToggleMode(word)) {
        if (hit.checked) {
            SetPlayMode(ScriptPlayMode::Normal);
            services_.buttons->SetSystemButtonChecked(hit.name, false);
        } else {
            // A button of a mode that may not be entered now is disabled by
            // the refresh; the first frame after a reset has had none yet.
            if (!ModeMayEnter(mode)) return false;
            SetRequest(ScriptRequest::View + mode - ScriptPlayMode::View, hit.argument);
            services_.buttons->SetSystemButtonChecked(hit.name, true);
        }
        return true;
    }
    const TActionRequest r = ButtonRequest(word);
    if (r.request == ScriptRequest::None || Locked(r.lock)) return false;
    SetRequest(r.request, hit.argument);
    if (r.request == ScriptRequest::SelectLoad) SelectSaveExists(true);
    return true;
}

bool TZelScript::ModeMayEnter(int32_t mode) {
    const bool buttonWait = Routine().waitState == wsButton;
    switch (mode) {
        case ScriptPlayMode::View: return !Locked(ScriptLockBit::View);
        case ScriptPlayMode::Auto: return !Locked(ScriptLockBit::Auto) && !buttonWait;
        case ScriptPlayMode::Skip: return !Locked(ScriptLockBit::Skip) && !buttonWait;
        case ScriptPlayMode::LogSkip: return !Locked(ScriptLockBit::Skip) && !buttonWait && CanLogSkip();
        default: return true;
    }
}

void TZelScript::PlayModeAutomation() {
    TScriptState& s = state_;
    const TScriptRoutine& r = Routine();
    if (s.playMode == ScriptPlayMode::Auto) {
        if (Locked(ScriptLockBit::Auto)) {
            SetPlayMode(ScriptPlayMode::Normal);
        } else if (s.autoPlayDelay == 0 && (r.waitState == wsClick || r.waitState == wsMessagePage) &&
                   r.waitTime <= 0 && !(services_.sound && services_.sound->VoiceHeard())) {
            Click(kNoPosition, kNoPosition, true);
        }
    } else if (s.playMode == ScriptPlayMode::Skip || s.playMode == ScriptPlayMode::LogSkip) {
        if (Locked(ScriptLockBit::Skip)) SetPlayMode(ScriptPlayMode::Normal);
        else if (r.waitState >= wsWait) Click(kNoPosition, kNoPosition, true);
    }
}

std::string_view TZelScript::WaitCursorLabel() {
    const TScriptRoutine& r = Routine();
    const bool normal = state_.playMode == ScriptPlayMode::Normal, autoMode = state_.playMode == ScriptPlayMode::Auto;
    switch (r.waitState) {
        case wsWait:
            if (normal) return "*OnWait";
            break;
        case wsClick:
            if (r.waitTime < 0 && normal) return "*OnClick";
            if (r.waitTime < 0 && autoMode) return "*OnAuto";
            break;
        case wsMessage:
            if (normal) return "*OnMessage";
            break;
        case wsMessagePage:
            if (normal) return "*OnScroll";
            if (autoMode) return "*OnAuto";
            break;
        case wsButton: return "*OnButton";
        case wsWave:
            if (normal) return "*OnWave";
            break;
        default: break;
    }
    return "*Default";
}

void TZelScript::SetSystemLayers(std::unique_ptr<TImageLib> cursor, std::unique_ptr<TImageLib> notice) {
    cursorLayer_ = std::move(cursor);
    noticeLayer_ = std::move(notice);
}

void TZelScript::FrameVisuals(int32_t elapsed) {
    if (cursorLayer_) {
        std::string label(WaitCursorLabel());
        if (cursorLayer_->Animation().FindMotion(label) < 0) label = "*Default";
        cursorLayer_->StartLabel(label, false);
        cursorLayer_->Update(0xFFFFFFFFu, elapsed);
    }
    if (!state_.afterLoadLabel.empty()) {
        if (noticeLayer_) noticeLayer_->StartLabel(state_.afterLoadLabel, true);
        state_.afterLoadLabel.clear();
    }
    if (noticeLayer_) noticeLayer_->Update(0xFFFFFFFFu, elapsed);
}

void TZelScript::RefreshSystemButtons() {
    if (!services_.buttons) return;
    services_.buttons->RefreshSystemButtons([this](const TButtonHit& b) {
        IScriptButtons::TLook look;
        const std::string word = AsciiLower(b.action);
        if (word == "custom") {
            look.enabled = (state_.customKeyMask & static_cast<uint32_t>(b.numbers[0])) == 0;
            look.checked = look.enabled && (state_.customCheckedMask & static_cast<uint32_t>(b.numbers[1])) != 0;
        } else if (const int32_t mode = ToggleMode(word)) {
            look.enabled = ModeMayEnter(mode);
            look.checked = look.enabled && state_.playMode == mode;
        } else if (word == "selectload") {
            look.enabled = !Locked(ScriptLockBit::Load) && SelectSaveExists(false);
        } else if (word == "scenereturn") {
            look.enabled = SceneReturnPossible();
        } else {
            const TActionRequest r = ButtonRequest(word);
            look.enabled = r.request != ScriptRequest::None && !Locked(r.lock);
        }
        return look;
    });
}

bool TZelScript::SelectSaveExists(bool refresh) {
    if (refresh || selectSaveCalls_ % 40 == 0)
        selectSaveKnown_ = services_.saveExists && services_.saveExists("SelectSaveData.svd");
    selectSaveCalls_ = (selectSaveCalls_ + 1) % 40;
    return selectSaveKnown_;
}

void TZelScript::RecordReadPosition(std::string_view key, int32_t n) {
    IScriptReadLog* log = services_.readLog;
    if (!log || !log->Recording()) return;
    const int32_t before = log->Lines(key);
    log->Record(key, n);
    if (n > before && state_.playMode == ScriptPlayMode::LogSkip) SetPlayMode(ScriptPlayMode::Normal);
}

bool TZelScript::CanLogSkip() const {
    const IScriptReadLog* log = services_.readLog;
    if (!log) return false;
    std::string key;
    int32_t line = 0;
    const std::string label = reader_.CurrentLabel();
    if (ReadableLabel(label)) {
        key = reader_.CurrentLabelFile() + label;
        line = reader_.LinesSinceLabel();
    } else {
        for (int32_t i = thread_.Count() - 1; i >= 0 && key.empty(); --i) {
            const TScriptBlock* base = thread_.Get(i)->Get(0);
            if (base && base->kind == bkBase && ReadableLabel(base->label)) {
                key = AsciiLower(base->file) + base->label;
                line = base->lineOffset;
            }
        }
    }
    return !key.empty() && log->Lines(key) > line;
}

bool TZelScript::SceneReturnPossible() const {
    if (Locked(ScriptLockBit::Jump) || state_.sceneLabel.empty()) return false;
    if (EqualsNoCase(reader_.CurrentLabel(), state_.sceneLabel)) return false;
    return thread_.FindRoutineByCallerLabel(state_.sceneLabel) >= 1;
}

void TZelScript::SceneReturn() {
    if (!SceneReturnPossible()) return;
    const int32_t before = thread_.Count();
    Return(state_.sceneLabel);
    AfterRoutineChange(before);
    TScriptRoutine& r = Routine();
    r.waitState = wsRunning;
    r.waitTime = 0;
    r.creditTime = 0;
}

}  // namespace zel
