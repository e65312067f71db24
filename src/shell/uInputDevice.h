// Mouse and keyboard as the engine reads them: TInput samples the live state
// once a frame and answers edge and level questions about 272 key slots
// through one packed input code.
//
// Input code (32-bit):
//   bits 0-11   key slot 0..271: Windows virtual-key numbers (1 left button,
//               2 right, 4 middle, 8 Backspace, 13 Enter, 16 Shift, 17 Ctrl,
//               18 Alt, 27 Esc ...), 240 wheel up, 241 wheel down
//   bit 12      Ctrl must be held (0x1000); bit 13 Alt (0x2000); bit 14 Shift (0x4000)
//   bits 16-19  question: 0 pressed this frame, 1 released this frame,
//               2 pressed or repeating, 3 repeating, 4 held
// So 0x10001 asks whether the left button was released this frame.
//
// The live state (TLiveInput) stands where the Windows engine read the
// system's keyboard state and pointer: the window's event loop (SDL events,
// shell/SdlInput.h), the headless runner's input script and Inject all write
// into it, and nothing else reaches the operating system.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/ShellInterfaces.h"

namespace zel {

class IClock;

namespace InputQuestion {
enum : uint32_t { Pressed = 0, Released = 1, PressedOrRepeating = 2, Repeating = 3, Held = 4 };
}

// What the platform reports now, in window pixels.
struct TLiveInput {
    static constexpr int kSlots = 272;

    // 1 while down. A key that went down since the last frame also stays
    // latched for that frame, so a tap between two frames is still seen.
    std::array<uint8_t, kSlots> down{};
    std::array<uint8_t, kSlots> latched{};
    int32_t pointerX = 0, pointerY = 0;
    bool pointerKnown = false;
    int32_t wheel = 0;  // steps since the last frame, positive away from the player
    bool active = true;  // the window has the input focus
    int32_t clientWidth = 640, clientHeight = 480;

    // Set by TInput for the window to carry out.
    bool cursorShown = true;
    bool warpPending = false;
    int32_t warpX = 0, warpY = 0;

    void KeyDown(int slot);
    void KeyUp(int slot);
    // Down for the next frame, then up.
    void Tap(int slot);
    void MoveTo(int32_t x, int32_t y);
    // A key counts as down for the frame being sampled.
    bool Reads(int slot) const { return slot >= 0 && slot < kSlots && (down[size_t(slot)] | latched[size_t(slot)]); }
};

class TInput final : public IInputDevice {
public:
    static constexpr int kSlots = TLiveInput::kSlots;
    static constexpr int32_t kUnknown = -100000;
    static constexpr int32_t kRepeatDelay = 750;
    static constexpr int32_t kClickSlop = 16;
    static constexpr int32_t kResetMute = 300;

    // Modifier flags of a frame.
    static constexpr uint32_t kShift = 1, kAlt = 2, kCtrl = 4, kLeft = 8, kRight = 16, kMiddle = 32;

    TInput(TLiveInput& live, IClock& clock);

    // Once a frame, before anything reads input.
    void Update() override;
    // Forgets all key state, sets the pointer and press position unknown and
    // ignores input for 300 ms.
    void Reset() override;
    bool Test(uint32_t code) const;
    // Decimal codes of every slot (but 16..18) answering the question this
    // frame, with the question and the held modifiers or-ed in; when none
    // does, "16", "18", "17" for a Shift, Alt or Ctrl pressed this frame.
    std::vector<std::string> ActiveCodes(uint32_t question) const;

    void SetCursorVisible(bool on);
    void SetCursorHideDelay(int32_t ms) override;
    bool CursorRequested() const { return cursorRequested_; }
    int32_t CursorHideDelay() const { return hideDelay_; }
    // Moves the pointer to a game position (the window warps it).
    void MovePointer(int32_t x, int32_t y);
    // Presses, releases or taps the code's key in the live state, with the
    // modifiers it names held for that frame only.
    void Inject(uint32_t code);
    // Window pixels are divided by the scale and the offsets added; a scale
    // that is not above 0 is refused (false, nothing changes).
    bool SetPointerTransform(double scale, double offsetX, double offsetY);

    void SetMouseEnabled(bool on) { mouseEnabled_ = on; }
    void SetKeyboardEnabled(bool on) { keyboardEnabled_ = on; }
    void SetKeyboardBlocked(bool on) { keyboardBlocked_ = on; }

    int32_t PointerX() const { return x_; }
    int32_t PointerY() const { return y_; }
    int32_t WheelDelta() const { return lastWheel_; }
    uint32_t Modifiers() const { return modifiers_; }
    int32_t PressCount() const { return pressCount_; }
    int32_t PressX() const { return pressX_; }
    int32_t PressY() const { return pressY_; }
    int32_t MuteMs() const { return mute_; }

private:
    uint32_t HeldModifierBits() const;

    TLiveInput& live_;
    IClock& clock_;
    std::array<uint8_t, kSlots> cur_{}, prev_{};
    std::array<int32_t, kSlots> changed_{};
    int32_t x_ = kUnknown, y_ = kUnknown;
    int32_t lastWx_ = kUnknown, lastWy_ = kUnknown;
    int32_t lastWheel_ = 0;
    uint32_t modifiers_ = 0;
    int32_t pressX_ = kUnknown, pressY_ = kUnknown;
    int32_t pressCount_ = 0;
    double scale_ = 1.0, offX_ = 0.0, offY_ = 0.0;
    int32_t hideDelay_ = 10000, idle_ = 0;
    bool cursorRequested_ = true;
    bool mouseEnabled_ = true, keyboardEnabled_ = true, keyboardBlocked_ = false;
    int32_t mute_ = 0;
    int32_t now_ = 0, prevTime_ = 0;
    bool wasActive_ = false;
};

}  // namespace zel
