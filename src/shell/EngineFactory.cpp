#include "shell/EngineFactory.h"

namespace zel {

TEngineFactory MakeEngineFactory() {
    TEngineFactory f;
    // Game storage and the script interpreter join here as they are built;
    // until then start-up stops at the first missing piece with its message.
    return f;
}

}  // namespace zel
