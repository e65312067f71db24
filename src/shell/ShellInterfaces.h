// What the engine shell needs of the subsystems it owns. Each subsystem
// implements its interface; a part that is not present is a null pointer and
// every path that needs it says so through the error reporter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "script/RequestCodes.h"
#include "storage/GameFiles.h"

namespace zel {

class TMemoryStream;

enum class SystemMode : uint8_t {
    Idle = 0,
    ExitConfirm = 1,
    Exit = 2,
    ResetConfirm = 4,
    Game = 5,
    SystemScript = 6,
    Menu = 7,
    Log = 8,
    SaveSelect = 9,
    LoadSelect = 10,
    Config = 11,
};

// Play-mode locks a script can set.
enum class ScriptLock { View, Skip, Auto };

// A script interpreter as the shell drives it.
class IEngineScript {
public:
    virtual ~IEngineScript() = default;
    virtual void ResetScript() = 0;
    // Runs at once every backslash command in the text.
    virtual bool ExecuteLine(const std::string& text) = 0;
    virtual void RunFrame(int32_t elapsedMs, bool processInput) = 0;
    // Submits every visible object and renders into the frame buffer.
    virtual void Draw(bool interlaced, bool overlays, int32_t zLimit) = 0;
    // The compositor shows the rendered frame on the display.
    virtual void ShowFrame(bool force, bool interlaced) = 0;
    // Shows the cell-draw buffer directly (the built-in screens draw into it).
    virtual void ShowCells(bool force, bool interlaced) = 0;
    virtual void InvalidateCells() = 0;
    virtual void RefreshCells() = 0;
    // Flips the row parity that interlaced drawing touches (once a frame).
    virtual void ToggleFrameParity() {}
    virtual void SetPlayMode(int32_t mode) = 0;
    virtual int32_t GetPlayMode() const = 0;
    // The next frame counts no elapsed time (the interpreter's time-skip
    // counter: set to 2, decremented each frame, zeroing the frame's time
    // while still positive).
    virtual void SkipTimeOnce() = 0;
    // Writes the game state to "SaveData\\" + file; packed: the body is
    // compressed (every save of the engine and of scripts is).
    virtual bool Save(const std::string& file, bool packed) = 0;
    virtual bool Load(const std::string& file) = 0;
    virtual int32_t Request() const = 0;
    virtual std::string RequestArgument() const = 0;
    virtual void SetAfterLoadLabel(const std::string& label) = 0;
    // Set while the script skips or fast-forwards: frames run back to back.
    virtual bool NoWait() const = 0;
    virtual bool IsLocked(ScriptLock lock) const = 0;
    virtual bool InButtonWait() const = 0;
    virtual bool HasReadTextToSkip() const = 0;
    virtual bool CanSceneReturn() const = 0;
    virtual void SceneReturn() = 0;
    // Extension points: a hook that can take over a whole frame, and two
    // after-frame callbacks. Absent = do nothing / report false.
    virtual bool RunFrameHook() { return false; }
    virtual bool CallAfterFrame(int /*which*/) { return false; }
    virtual bool HasAfterFrame(int /*which*/) const { return false; }
    // The composed screen as a BMP file image (for the thread-image pseudo files).
    virtual std::optional<std::string> CaptureScreenBmp() = 0;
};

class ISoundSystem {
public:
    virtual ~ISoundSystem() = default;
    virtual void PauseAll() = 0;
    virtual void ResumeAll() = 0;
    virtual void StopAll() = 0;
};

class IInputDevice {
public:
    virtual ~IInputDevice() = default;
    virtual void Update() = 0;
    virtual void SetCursorHideDelay(int32_t ms) = 0;
    // Forgets every key and button and ignores input for a moment.
    virtual void Reset() {}
};

// A built-in screen stepped once a frame: the menu, the log screen, the
// save/load screen. Step's result is the screen's own code.
class IScreen {
public:
    virtual ~IScreen() = default;
    // save: the save/load screen opens in save mode.
    virtual void Open(bool save) = 0;
    virtual int32_t Step(int32_t elapsedMs) = 0;
    virtual void Draw() = 0;
    virtual void Close() = 0;
    virtual void Reset() = 0;
    // Save/load screen: the chosen file and the label to run afterwards.
    virtual std::string ChosenFile() const { return {}; }
    virtual std::string ChosenLabel() const { return {}; }
    virtual std::string QuickSaveFileName() const { return {}; }
};

class IConfigScreen {
public:
    virtual ~IConfigScreen() = default;
    virtual void ApplyAllSettings() = 0;
    virtual void ShowModal(int32_t page) = 0;
};

class IMoviePlayer {
public:
    virtual ~IMoviePlayer() = default;
    // 2 while a movie plays.
    virtual int32_t State() const = 0;
    virtual void Stop() = 0;
    virtual void SaveState(TMemoryStream& s) = 0;
    virtual void LoadState(TMemoryStream& s) = 0;
};

class ILogData {
public:
    virtual ~ILogData() = default;
    virtual void Clear() = 0;
};

}  // namespace zel
