// The player's input as a running script sees it: the script's input
// service (reset, cursor, pointer moves) over TInput, and the event service
// that hands the script, once a frame, the system key that fired (from the
// run's TZelSystemKey), the pointer and the left button's press. What the
// script makes of them (clicks by wait state, requests under its locks, the
// play modes) is the interpreter's (TZelScript::ServicePlayerInput).
//
// While a script has bound no system key at all, the left click (0x10001)
// fires as "click" and Enter (13) as "keyclick", so that a game is playable
// before its scripts bind keys.
#pragma once

#include <cstdint>
#include <string>

#include "script/ZelScriptServices.h"
#include "scriptdata/SystemCommands.h"

namespace zel {

class TInput;
class TZelSystemKey;

class TScriptInputEvents final : public IScriptEvents, public IScriptInput, public ISystemKeyTable {
public:
    TScriptInputEvents(TInput& input, TZelSystemKey& keys) : input_(input), keys_(keys) {}

    // IScriptEvents
    void Reset(TZelScript& script) override;
    void ServiceInput(TZelScript& script, bool processInput) override;
    void FrameVisuals(TZelScript&, int32_t) override {}

    // IScriptInput
    void Reset() override;
    void SetCursor(bool visible, int32_t hideDelayMs) override;
    void MovePointer(int32_t x, int32_t y) override;

    // ISystemKeyTable: the skey words on the run's key table.
    void Bind(uint32_t code, std::string action, std::string number, std::string label) override;
    void Unbind(uint32_t code) override;
    void Clear() override;
    void SetDisabled(bool on) override;
    bool Disabled() const override;

    // A click at the pointer (or without position) as a player makes it.
    void Click(TZelScript& script);

private:
    TInput& input_;
    TZelSystemKey& keys_;
};

}  // namespace zel
