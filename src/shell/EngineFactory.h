// The wiring of the real subsystems into the shell: which storage, scripts,
// screens and players the engine runs with.
#pragma once

#include "shell/MainWindow.h"

namespace zel {

TEngineFactory MakeEngineFactory();

}  // namespace zel
