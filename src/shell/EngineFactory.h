// The wiring of the real subsystems into the shell: which storage, scripts,
// screens and players the engine runs with.
#pragma once

#include <functional>
#include <memory>

#include "shell/MainWindow.h"

namespace zel {

class TFontTable;

// fontsLoaded, when given, is told the run's font table once the settings'
// fonts are in it (the game window's own dialogs draw with slot 0); the
// pointer keeps the fonts alive.
TEngineFactory MakeEngineFactory(std::function<void(std::shared_ptr<TFontTable>)> fontsLoaded = {});

}  // namespace zel
