// The display and sound devices as the shell sees them. The display keeps a
// persistent CPU back buffer in ARGB8888 (bytes B, G, R, A) that the engine
// draws into and presents; the sound device is the output the mixer feeds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zel {

class IDisplayDevice {
public:
    virtual ~IDisplayDevice() = default;
    virtual void SetScreenSize(int width, int height) = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    // Surface and back-buffer memory types (kept for the settings; no effect on Linux).
    virtual void SetMemoryTypes(int surface, int backBuffer) = 0;
    virtual bool Initialize(bool fullScreen) = 0;
    virtual bool IsInitialized() const = 0;
    virtual bool IsFullScreen() const = 0;
    virtual bool ToggleFullScreen() = 0;
    // Lock the back buffer: its first pixel and its pitch in bytes; nullptr when lost.
    virtual uint32_t* Lock(int* pitchBytes) = 0;
    virtual void Unlock() = 0;
    // Marks rows [top, bottom) as changed since the last present.
    virtual void MarkRows(int top, int bottom) = 0;
    // Marks only the rows of one parity (y & 1 == parity) in [top, bottom):
    // what an interlaced frame draws.
    virtual void MarkRowsOfParity(int top, int bottom, int parity) {
        for (int y = top + ((top & 1) != (parity & 1)); y < bottom; y += 2) MarkRows(y, y + 1);
    }
    // The full-screen colour choice (the ColorMode setting): true asks for
    // 32 or 24 bits, false for 16 or 15.
    virtual void SetHighColour(bool) {}
    // Shows the back buffer (the changed rows, or everything when force).
    virtual void Present(bool force) = 0;
    virtual bool Restore() = 0;
    // Called around a change of display mode.
    std::function<void()> beforeReset, afterReset;
    // Shows the player that full screen could not be set (the display then
    // opens a window instead).
    std::function<void()> fullScreenError;
    // Told the full-screen state after every mode choice, so the settings
    // keep what is really shown.
    std::function<void(bool fullScreen)> fullScreenChanged;
};

class ISoundDevice {
public:
    virtual ~ISoundDevice() = default;
    virtual bool Initialize() = 0;
    virtual bool IsInitialized() const = 0;
};

// No sound output at all: the headless runs and machines without audio.
class TNullSoundDevice final : public ISoundDevice {
public:
    bool Initialize() override { init_ = true; return true; }
    bool IsInitialized() const override { return init_; }

private:
    bool init_ = false;
};

}  // namespace zel
