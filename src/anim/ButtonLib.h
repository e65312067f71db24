// TButtonLib: the button behind the script's "btn" and "sbtn" objects. A
// button is a message window (so it can carry a caption) that reacts to
// clicks and can be checked and locked; each state shows through the labels
// of its animation:
//   locked:   *OnLock, *OnLockOnMouse, *OnLockOffMouse (back: *OffLock)
//   checked:  *OnCheck, *OnCheckOnMouse, *OnCheckOffMouse (back: *OffCheck)
//   clicked:  *OnClick, or *OnCheckClick while checked
//   neither:  the image object's *OnMouse / *OffMouse
// A label the animation lacks falls back to the next plainer one (for
// instance *OnLockOnMouse to *OnLock, *OffLock to *OffMouse).
//
// A click leaves a countdown at 4 that every update lowers by one, so the
// object commands can tell a button that was clicked in the last updates.
//
// State: the message window's state, then 132 bytes: checked (1), locked
// (1), click countdown (int32, little-endian), 126 zero bytes.
#pragma once

#include <cstdint>
#include <functional>

#include "anim/MessageLib.h"

namespace zel {

class TButtonLib : public TMessageLib {
public:
    static constexpr size_t kButtonStateSize = 132;
    static constexpr int32_t kClickCountdown = 4;

    TButtonLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr,
               const TMessageServices* services = nullptr);

    void UpdateHover() override;
    void Reset() override;
    void Update(uint32_t mask, int32_t elapsedMs) override;

    // A pointer click at (x, y): true when it hit the enabled, unlocked
    // button on a layer of mask (the click label started, the countdown
    // set and the click callback run).
    bool ClickAt(uint32_t mask, int32_t x, int32_t y);
    void SetLocked(bool on);
    // A change runs the check or the uncheck callback once.
    void SetChecked(bool on);
    bool Locked() const { return locked_ != 0; }
    bool Checked() const { return checked_ != 0; }
    int32_t ClickCountdown() const { return countdown_; }
    void SetClickCountdown(int32_t n) { countdown_ = n; }

    std::function<void()> onClick, onCheck, onUncheck;

    void SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    // Starts the first label when the animation has it, else the second,
    // leaving either alone when it already plays.
    void StartEither(const std::string& first, const std::string& second);
    void ButtonDefaults();

    uint8_t checked_ = 0, locked_ = 0;
    int32_t countdown_ = 0;
};

}  // namespace zel
