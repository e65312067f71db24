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

void TScriptInputEvents::Bind(uint32_t code, std::string action, std::string number, std::string label) {
    keys_.Bind(code, std::move(action), std::string(), std::move(number), std::move(label));
}
void TScriptInputEvents::Unbind(uint32_t code) { keys_.Unbind(code); }
void TScriptInputEvents::Clear() { keys_.Clear(); }
void TScriptInputEvents::SetDisabled(bool on) { keys_.SetDisabled(on); }
bool TScriptInputEvents::Disabled() const { return keys_.Disabled(); }

void TScriptInputEvents::MovePointer(int32_t x, int32_t y) { input_.MovePointer(x, y); }

void TScriptInputEvents::ServiceInput(TZelScript& script, bool processInput) {
    TPlayerInput in;
    if (const TSystemKeyData* fired = keys_.Fired()) {
        in.fired = true;
        in.key.action = SystemKeyActionCode(fired->action);
        in.key.label = fired->label;
        in.key.number = static_cast<uint32_t>(TextToInt(fired->number));
    } else if (keys_.Bindings().empty() && (input_.Test(0x10001) || input_.Test(13))) {
        in.fired = true;
        in.key.action = input_.Test(0x10001) ? 1 : 2;
    }
    in.pointerKnown = input_.PointerX() != TInput::kUnknown && input_.PointerY() != TInput::kUnknown;
    if (in.pointerKnown) {
        in.x = input_.PointerX();
        in.y = input_.PointerY();
    }
    in.leftPressed = input_.Test(1);
    script.ServicePlayerInput(in, processInput);
}

void TScriptInputEvents::Click(TZelScript& script) {
    if (input_.PointerX() == TInput::kUnknown || input_.PointerY() == TInput::kUnknown)
        script.Click(TZelScript::kNoPosition, TZelScript::kNoPosition, false);
    else
        script.Click(input_.PointerX(), input_.PointerY(), false);
}

}  // namespace zel
