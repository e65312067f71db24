// The codes a script and the engine shell exchange after every frame: the
// pending request (what the shell does next, or which script label it
// diverts to) and the play mode. One definition for both sides.
#pragma once

#include <cstdint>

namespace zel {

namespace SystemRequest {
enum : int32_t {
    None = 0, Quit = 1, ExitConfirm = 2, Menu = 3, Log = 4, Screen = 5, ApplyConfig = 6, ResetConfirm = 7,
    ResetTo = 8, Save = 9, Load = 10, Config = 11, View = 12, Auto = 13, Skip = 14, LogSkip = 15,
    QuickSave = 16, QuickLoad = 17, SelectLoad = 18, ConfigVolume = 19, ConfigVoice = 20, SceneReturn = 21,
    Custom = 22, SystemScriptEnd = 23, Minimize = 24,
};
}

namespace PlayMode {
enum : int32_t { Normal = 0, View = 1, Auto = 2, Skip = 3, LogSkip = 4 };
}

// The interpreter's names for the same codes.
namespace ScriptRequest = SystemRequest;
namespace ScriptPlayMode = PlayMode;

}  // namespace zel
