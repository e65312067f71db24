#include "shell/InputEvents.h"

#include <algorithm>

#include "script/ZelScriptLib.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"

namespace zel {

void TScriptInputEvents::Reset(TZelScript&) { keys_.Clear(); }

void TScriptInputEvents::Reset() { input_.Reset(); }

void TScriptInputEvents::SetCursor(bool visible, int32_t hideDelayMs) {
    input_.SetCursorVisible(visible);
    if (hideDelayMs != input_.CursorHideDelay()) input_.SetCursorHideDelay(hideDelayMs);
}

void TScriptInputEvents::ServiceInput(TZelScript& script, bool processInput) {
    if (!processInput) return;
    int32_t action = 0;
    if (const TSystemKeyData* fired = keys_.Fired()) action = SystemKeyActionCode(fired->action);
    else if (keys_.Bindings().empty() && input_.Test(0x10001)) action = 1;
    else if (keys_.Bindings().empty() && input_.Test(13)) action = 2;
    if (action == 3) script.State().noWait = true;
    if (action >= 1 && action <= 3) Click(script);
}

void TScriptInputEvents::Click(TZelScript& script) {
    TScriptState& s = script.State();
    s.autoPlayDelay = 0;
    s.inputSettle = 4;
    s.playMode = ScriptPlayMode::Normal;
    TScriptRoutine& r = script.Routine();
    TValue& g = script.Calc().GlobalStore();
    switch (r.waitState) {
        case wsClick:
            if (r.creditTime > 0)
                s.elapsedCredit =
                    static_cast<int32_t>(std::min<int64_t>(int64_t{s.elapsedCredit} + r.creditTime, INT32_MAX));
            g.WriteInteger("ResultClkInt", 0, r.waitTime);
            r.waitTime = 0;
            r.creditTime = 0;
            r.waitState = wsRunning;
            break;
        case wsTime: g.WriteInteger("ResultClkInt", 0, s.scriptClock); break;
        case wsWave: r.waitState = wsRunning; break;
        default: break;
    }
}

}  // namespace zel
