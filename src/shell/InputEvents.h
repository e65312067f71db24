// The player's input as a running script sees it: the script's input
// service (reset, cursor) over TInput, and the part of the event service
// that turns fired system keys into clicks.
//
// A "click", "keyclick" or "skipclick" binding that fires ends a click wait
// (\clk: "ResultClkInt" := the wait time that was left, the credit time
// joins the elapsed credit) and a sound-end wait (\wav), and tells a \time
// wait the script clock in "ResultClkInt". While a script has bound no
// system key at all, the left click (0x10001) and Enter (13) play those
// parts, so that a game is playable before its scripts bind keys. The
// requests of the other actions, the system buttons and the play modes
// belong to the full event service, which replaces this one.
#pragma once

#include <cstdint>

#include "script/ZelScriptServices.h"

namespace zel {

class TInput;
class TZelSystemKey;

class TScriptInputEvents final : public IScriptEvents, public IScriptInput {
public:
    TScriptInputEvents(TInput& input, TZelSystemKey& keys) : input_(input), keys_(keys) {}

    // IScriptEvents
    void Reset(TZelScript& script) override;
    void ServiceInput(TZelScript& script, bool processInput) override;
    void FrameVisuals(TZelScript&, int32_t) override {}

    // IScriptInput
    void Reset() override;
    void SetCursor(bool visible, int32_t hideDelayMs) override;

    // A click at the pointer (or without position) as a player makes it.
    void Click(TZelScript& script);

private:
    TInput& input_;
    TZelSystemKey& keys_;
};

}  // namespace zel
