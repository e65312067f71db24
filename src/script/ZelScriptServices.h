// What the interpreter reaches outside itself: the object manager with its
// command handlers and search paths, the screen (compositor, camera, cell
// drawer), the input object, the sound channels, and the event services that
// turn clicks and system keys into requests.
//
// Each is a small interface so that the interpreter builds and runs before the
// subsystems behind them exist. A missing service is a null pointer: the
// interpreter then skips what it would have done with it (there is nothing to
// draw, no channel plays). The object host is never null: a script made
// without one gets the object manager (scriptdata/uZelObjectManager.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ScriptObjects.h"

namespace zel {

class TZelScript;

// The compositor, the camera and the cell drawer of one script.
class IScriptDisplay {
public:
    virtual ~IScriptDisplay() = default;
    virtual void Reset() = 0;
    virtual uint32_t BackColour() const = 0;
    virtual void AdvanceCamera(int32_t elapsedMs) = 0;
    virtual void CameraOffset(int32_t& x, int32_t& y) const = 0;
    virtual void AdvanceCompositor(int32_t elapsedMs) = 0;
    virtual void InvalidateCells() = 0;
    virtual void Draw(bool interlaced, bool overlays, int32_t zLimit) = 0;
};

// The input object as a script drives it.
class IScriptInput {
public:
    virtual ~IScriptInput() = default;
    virtual void Reset() = 0;
    virtual void SetCursor(bool visible, int32_t hideDelayMs) = 0;
    // Moves the pointer to a game position (keyboard and pad navigation).
    virtual void MovePointer(int32_t /*x*/, int32_t /*y*/) {}
};

// The stream channels that waits watch.
class IScriptSound {
public:
    virtual ~IScriptSound() = default;
    // TPLAYSTATE of a stream channel: 0 none, 1 stopped, 2 playing, 3 looping.
    virtual uint8_t StreamState(int32_t channel) = 0;
    // Audible position of a stream channel in milliseconds (rounded).
    virtual int32_t AudiblePositionMs(int32_t channel) = 0;
    // True while a stream channel of the voice group (1) is heard playing:
    // Auto mode waits for it before it clicks.
    virtual bool VoiceHeard() { return false; }
};

// What a button (draw class 3) or system button (draw class 8) under the
// pointer offers. A button gives its object name and its four user numbers
// and texts; a system button its action word, its argument text and its two
// numbers, and whether it is checked.
struct TButtonHit {
    std::string name;
    std::array<int32_t, 4> numbers{};
    std::array<std::string, 4> texts;
    std::string action;
    std::string argument;
    bool checked = false;
};

// The buttons of a script's object manager. Until the button objects exist
// a script has none of these and no pointer hits a button.
class IScriptButtons {
public:
    virtual ~IScriptButtons() = default;
    // The button under (x, y), the last in list order; false when none.
    virtual bool HitButton(uint32_t layerMask, int32_t x, int32_t y, TButtonHit& hit) = 0;
    // The enabled system button with an action word under (x, y); before
    // answering, the buttons are updated once (10 ms) so that the press shows.
    virtual bool HitSystemButton(uint32_t layerMask, int32_t x, int32_t y, TButtonHit& hit) = 0;
    virtual void SetSystemButtonChecked(const std::string& name, bool checked) = 0;
    // Every system button with an action word is shown enabled or disabled,
    // checked or not, as look answers for it.
    struct TLook {
        bool enabled = true;
        bool checked = false;
    };
    virtual void RefreshSystemButtons(const std::function<TLook(const TButtonHit&)>& look) = 0;
};

// The read-label log (what LogSkip relies on): the largest line count read
// under each label key. Until the message log exists there is none, nothing
// counts as read and LogSkip is never possible.
class IScriptReadLog {
public:
    virtual ~IScriptReadLog() = default;
    // Recording can be switched off by the game (the read-label log object).
    virtual bool Recording() const = 0;
    // The largest line count kept for the key, -1 when there is none.
    virtual int32_t Lines(std::string_view key) const = 0;
    // Keeps n when it is larger than what the key held.
    virtual void Record(std::string_view key, int32_t n) = 0;
};

// The player's side of a frame: which system key fired, where the pointer
// is, whether the left button went down. The service reads its input device
// and calls the script's event operations (TZelScript::ServicePlayerInput);
// what those do with clicks, keys and buttons, the play-mode automation, the
// wait cursor and the after-load notice belong to the interpreter.
class IScriptEvents {
public:
    virtual ~IScriptEvents() = default;
    // Part of a script reset: clears the system-key bindings.
    virtual void Reset(TZelScript& script) = 0;
    // Steps 7 and 8 of a frame: the fired system key and the pointer.
    virtual void ServiceInput(TZelScript& script, bool processInput) = 0;
    // A frame with elapsed time, after the script's own visuals.
    virtual void FrameVisuals(TZelScript& /*script*/, int32_t /*elapsedMs*/) {}
};

struct TScriptServices {
    IScriptDisplay* display = nullptr;
    IScriptInput* input = nullptr;
    IScriptSound* sound = nullptr;
    IScriptEvents* events = nullptr;
    // The window takes the compositor's back colour as its background.
    std::function<void(uint32_t colour)> setWindowColour;
    // The settings' AutoPlayClickTime (ms): what a click wait without a time
    // adds to the auto-play delay.
    std::function<int32_t()> autoPlayClickTime;
    IScriptButtons* buttons = nullptr;
    IScriptReadLog* readLog = nullptr;
    // Whether a game file exists in the save folder ("SelectSaveData.svd").
    std::function<bool(const std::string& saveName)> saveExists;
    // The game screen, the bounds of keyboard and pad navigation.
    int32_t screenWidth = 640, screenHeight = 480;
};

}  // namespace zel
