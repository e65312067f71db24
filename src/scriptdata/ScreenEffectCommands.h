// The command words of the two kinds that give a script a handle on its own
// screen: "eff" (the compositor's transitions, background and redraw mode)
// and "cam" (the scene camera). Every object of these kinds reaches the one
// screen of the script that owns it.
#pragma once

#include <cstdint>

namespace zel {

class TCamera;
class TObjectCommandRegistry;
class TZelGraphic;

inline constexpr uint8_t kKindEffect = 10, kKindCamera = 14;

// Registers the "eff" and "cam" handlers of one script's screen.
void RegisterScreenEffectCommands(TObjectCommandRegistry& registry, TZelGraphic& graphic, TCamera& camera);

}  // namespace zel
