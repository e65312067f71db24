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
};

// The stream channels that waits watch.
class IScriptSound {
public:
    virtual ~IScriptSound() = default;
    // TPLAYSTATE of a stream channel: 0 none, 1 stopped, 2 playing, 3 looping.
    virtual uint8_t StreamState(int32_t channel) = 0;
    // Audible position of a stream channel in milliseconds (rounded).
    virtual int32_t AudiblePositionMs(int32_t channel) = 0;
};

// Clicks, system keys, system buttons, play-mode automation, the wait-cursor
// and notice layers: the event side of a running script.
class IScriptEvents {
public:
    virtual ~IScriptEvents() = default;
    // Part of a script reset: clears the two system image layers and the
    // system-key bindings, re-checks the selection save.
    virtual void Reset(TZelScript& script) = 0;
    // Fired system keys, pointer and clicks, Auto and Skip clicks.
    virtual void ServiceInput(TZelScript& script, bool processInput) = 0;
    // System buttons, wait cursor and after-load notice of a frame with time.
    virtual void FrameVisuals(TZelScript& script, int32_t elapsedMs) = 0;
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
};

}  // namespace zel
