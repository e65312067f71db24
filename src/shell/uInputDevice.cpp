#include "shell/uInputDevice.h"

#include <algorithm>
#include <cmath>

#include "base/IntMath.h"
#include "platform/Clock.h"

namespace zel {

void TLiveInput::KeyDown(int slot) {
    if (slot <= 0 || slot >= kSlots) return;
    down[size_t(slot)] = 1;
    latched[size_t(slot)] = 1;
}

void TLiveInput::KeyUp(int slot) {
    if (slot <= 0 || slot >= kSlots) return;
    down[size_t(slot)] = 0;
}

void TLiveInput::Tap(int slot) {
    if (slot <= 0 || slot >= kSlots) return;
    latched[size_t(slot)] = 1;
}

void TLiveInput::MoveTo(int32_t x, int32_t y) {
    pointerX = x;
    pointerY = y;
    pointerKnown = true;
}

namespace {

bool IgnoresModifiers(uint32_t slot) { return (slot >= 16 && slot <= 18) || (slot >= 160 && slot <= 165); }

bool ReadSlot(uint32_t s) { return s <= 19 || (s >= 27 && s <= 183); }

}  // namespace

TInput::TInput(TLiveInput& live, IClock& clock) : live_(live), clock_(clock) {
    now_ = prevTime_ = static_cast<int32_t>(clock_.NowMs() & 0x7FFFFFFF);
    wasActive_ = live_.active;
    Reset();
}

void TInput::Reset() {
    cur_.fill(0);
    prev_.fill(0);
    changed_.fill(now_);
    x_ = y_ = kUnknown;
    lastWx_ = lastWy_ = kUnknown;
    pressX_ = pressY_ = kUnknown;
    lastWheel_ = 0;
    modifiers_ = 0;
    mute_ = kResetMute;
    live_.wheel = 0;
    live_.latched.fill(0);
}

void TInput::Update() {
    const bool active = live_.active;
    if (active && !wasActive_) Reset();
    wasActive_ = active;
    now_ = static_cast<int32_t>(clock_.NowMs() & 0x7FFFFFFF);
    const int32_t passed = now_ > prevTime_ ? now_ - prevTime_ : 0;
    prev_ = cur_;
    cur_.fill(0);

    if (hideDelay_ > 0) idle_ = static_cast<int32_t>(std::min<int64_t>(int64_t{idle_} + passed, hideDelay_));
    const bool idleTooLong = hideDelay_ > 0 && idle_ >= hideDelay_;
    live_.cursorShown = !(active && (!cursorRequested_ || idleTooLong));

    mute_ = std::max(mute_ - passed, 0);
    if (mute_ > 0) {
        // Everything that arrives while muted is dropped, not kept for later.
        live_.wheel = 0;
        live_.latched.fill(0);
        prevTime_ = now_;
        return;
    }
    if (mouseEnabled_) {
        if (live_.pointerKnown) {
            if (live_.pointerX != lastWx_ || live_.pointerY != lastWy_) {
                idle_ = 0;
                live_.cursorShown = !(active && !cursorRequested_);
            }
            lastWx_ = live_.pointerX;
            lastWy_ = live_.pointerY;
            const int32_t maxX = std::max(RoundHalfEven((live_.clientWidth - 1) / scale_), 0);
            const int32_t maxY = std::max(RoundHalfEven((live_.clientHeight - 1) / scale_), 0);
            x_ = std::clamp(RoundHalfEven(live_.pointerX / scale_ + offX_), 0, maxX);
            y_ = std::clamp(RoundHalfEven(live_.pointerY / scale_ + offY_), 0, maxY);
        }
        if (!keyboardBlocked_) {
            if (live_.wheel > 0) cur_[240] = 1;
            if (live_.wheel < 0) cur_[241] = 1;
            lastWheel_ = live_.wheel;
        }
        live_.wheel = 0;
    }
    if (keyboardEnabled_ && active && !keyboardBlocked_)
        for (uint32_t s = 0; s < kSlots; ++s)
            if (ReadSlot(s)) cur_[s] = live_.Reads(static_cast<int>(s)) ? 1 : 0;
    for (size_t s = 0; s < size_t(kSlots); ++s)
        if (!(prev_[s] && cur_[s])) changed_[s] = now_;
    modifiers_ = (live_.Reads(16) ? kShift : 0) | (live_.Reads(18) ? kAlt : 0) | (live_.Reads(17) ? kCtrl : 0) |
                 (live_.Reads(1) ? kLeft : 0) | (live_.Reads(2) ? kRight : 0) | (live_.Reads(4) ? kMiddle : 0);
    const bool noModifier = (modifiers_ & (kShift | kAlt | kCtrl)) == 0;
    for (size_t b : {size_t(1), size_t(2), size_t(4)})
        if (!prev_[b] && cur_[b] && noModifier) {
            pressX_ = x_;
            pressY_ = y_;
            ++pressCount_;
            break;
        }
    live_.latched.fill(0);
    prevTime_ = now_;
}

uint32_t TInput::HeldModifierBits() const {
    return (modifiers_ & kCtrl ? 0x1000u : 0) | (modifiers_ & kAlt ? 0x2000u : 0) | (modifiers_ & kShift ? 0x4000u : 0);
}

bool TInput::Test(uint32_t code) const {
    const uint32_t s = code & 0xFFF;
    if (s >= uint32_t(kSlots)) return false;
    const uint32_t question = (code >> 16) & 0xF;
    if (!IgnoresModifiers(s) && (code & 0x7000) != HeldModifierBits()) return false;
    const bool now = cur_[s], before = prev_[s];
    const bool repeating = now && int64_t{now_} >= int64_t{changed_[s]} + kRepeatDelay;
    switch (question) {
        case InputQuestion::Pressed: return now && !before;
        case InputQuestion::Released:
            if (!before || now) return false;
            if (s == 1 || s == 2 || s == 4)
                return std::abs(int64_t{x_} - pressX_) < kClickSlop && std::abs(int64_t{y_} - pressY_) < kClickSlop;
            return true;
        case InputQuestion::PressedOrRepeating: return (now && !before) || repeating;
        case InputQuestion::Repeating: return repeating;
        case InputQuestion::Held: return now;
        default: return false;
    }
}

std::vector<std::string> TInput::ActiveCodes(uint32_t question) const {
    std::vector<std::string> out;
    const uint32_t q = (question & 0xF) << 16;
    for (uint32_t s = 0; s < uint32_t(kSlots); ++s) {
        if (s >= 16 && s <= 18) continue;
        const uint32_t code = s | q | HeldModifierBits();
        if (Test(code)) out.push_back(std::to_string(code));
    }
    if (out.empty())
        for (uint32_t s : {16u, 18u, 17u})
            if (Test(s)) out.push_back(std::to_string(s));
    return out;
}

void TInput::SetCursorVisible(bool on) {
    if (on && !cursorRequested_) idle_ = 0;
    cursorRequested_ = on;
}

void TInput::SetCursorHideDelay(int32_t ms) {
    if (ms <= 0) {
        hideDelay_ = 0;
        idle_ = 0;
        live_.cursorShown = cursorRequested_ || !live_.active;
        return;
    }
    hideDelay_ = ms;
    idle_ = std::min(idle_, ms);
}

void TInput::MovePointer(int32_t x, int32_t y) {
    const int32_t wx = RoundHalfEven((x - offX_) * scale_), wy = RoundHalfEven((y - offY_) * scale_);
    live_.MoveTo(wx, wy);
    live_.warpPending = true;
    live_.warpX = wx;
    live_.warpY = wy;
}

void TInput::Inject(uint32_t code) {
    const uint32_t s = code & 0xFFF;
    if (s >= uint32_t(kSlots)) return;
    // Modifiers are held for one frame with the key, then let go, so an
    // injected Ctrl+key does not leave Ctrl down for the player.
    const std::pair<uint32_t, int> mods[] = {{0x1000, 17}, {0x2000, 18}, {0x4000, 16}};
    for (const auto& [bit, slot] : mods)
        if ((code & bit) && !live_.down[size_t(slot)]) live_.Tap(slot);
    if (s == 240 || s == 241) {
        live_.wheel += s == 240 ? 1 : -1;
        return;
    }
    switch ((code >> 16) & 0xF) {
        case InputQuestion::Pressed: live_.KeyDown(static_cast<int>(s)); break;
        case InputQuestion::Released: live_.KeyUp(static_cast<int>(s)); break;
        case InputQuestion::PressedOrRepeating:
        case InputQuestion::Repeating:
        case InputQuestion::Held: live_.Tap(static_cast<int>(s)); break;
        default: break;
    }
}

bool TInput::SetPointerTransform(double scale, double offsetX, double offsetY) {
    if (!(scale > 0) || !std::isfinite(scale) || !std::isfinite(offsetX) || !std::isfinite(offsetY)) return false;
    scale_ = scale;
    offX_ = offsetX;
    offY_ = offsetY;
    return true;
}

}  // namespace zel
