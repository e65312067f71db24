#include "anim/ButtonLib.h"

#include "anim/AnimationBmpLib.h"

#include <algorithm>
#include <array>

#include "base/Errors.h"
#include "base/Sjis.h"

namespace zel {

namespace {

bool StartsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TButtonLib::TButtonLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                       const TMessageServices* services)
    : TMessageLib(files, resources, sound, services) {
    ButtonDefaults();
}

// A caption appears at once and never waits for a page click.
void TButtonLib::ButtonDefaults() {
    SetPageBreaks(false);
    SetInstant(true);
    SetDefaultSpeed(-1);
}

void TButtonLib::StartEither(const std::string& first, const std::string& second) {
    if (Animation().FindMotion(first) >= 0) StartLabel(first, false);
    else StartLabel(second, false);
}

void TButtonLib::UpdateHover() {
    const bool over = HitTest(MouseX(), MouseY());
    auto current = [this] { return AsciiLower(LabelName()); };
    if (locked_ || checked_) {
        const std::string base = locked_ ? "*OnLock" : "*OnCheck";
        const std::string lower = AsciiLower(base);
        if (!StartsWith(current(), lower)) StartLabel(base, true);
        if (over) StartEither(base + "OnMouse", base);
        else if (current() == lower + "onmouse") StartEither(base + "OffMouse", base);
        return;
    }
    const std::string now = current();
    if (StartsWith(now, "*onlock")) StartEither("*OffLock", "*OffMouse");
    else if (StartsWith(now, "*oncheck")) StartEither("*OffCheck", "*OffMouse");
    else if (now == "*onclick") StartLabel("*OffMouse", false);
    TMessageLib::UpdateHover();
}

void TButtonLib::Reset() {
    TMessageLib::Reset();
    ButtonDefaults();
    checked_ = locked_ = 0;
    countdown_ = 0;
}

void TButtonLib::Update(uint32_t mask, int32_t elapsedMs) {
    TMessageLib::Update(mask, elapsedMs);
    if (countdown_ > 0) --countdown_;
}

bool TButtonLib::ClickAt(uint32_t mask, int32_t x, int32_t y) {
    TImageLib::SetMouse(0, x, y);  // records the position only
    if (!Enabled() || (mask & static_cast<uint32_t>(MouseMask())) == 0 || locked_ || !HitTest(x, y)) return false;
    StartLabel(checked_ ? "*OnCheckClick" : "*OnClick", true);
    countdown_ = kClickCountdown;
    if (onClick) onClick();
    return true;
}

void TButtonLib::SetLocked(bool on) {
    if (Locked() == on) return;
    locked_ = on ? 1 : 0;
    UpdateHover();
}

void TButtonLib::SetChecked(bool on) {
    if (Checked() == on) return;
    checked_ = on ? 1 : 0;
    UpdateHover();
    const std::function<void()>& callback = on ? onCheck : onUncheck;
    if (callback) callback();
}

void TButtonLib::SaveState(TMemoryStream& s) const {
    TMessageLib::SaveState(s);
    std::array<uint8_t, kButtonStateSize> b{};
    b[0] = checked_;
    b[1] = locked_;
    const auto c = static_cast<uint32_t>(countdown_);
    for (int i = 0; i < 4; ++i) b[static_cast<size_t>(2 + i)] = static_cast<uint8_t>(c >> (8 * i));
    s.Write(b.data(), b.size());
}

bool TButtonLib::LoadState(TMemoryStream& s, std::string* why) {
    if (!TMessageLib::LoadState(s, why)) return false;
    std::array<uint8_t, kButtonStateSize> b{};
    try {
        s.Require(kButtonStateSize);
        s.Read(b.data(), b.size());
    } catch (const EZelError& e) {
        if (why) *why = std::string("button state: ") + e.what();
        return false;
    }
    checked_ = b[0] != 0 ? 1 : 0;
    locked_ = b[1] != 0 ? 1 : 0;
    uint32_t c = 0;
    for (int i = 0; i < 4; ++i) c |= uint32_t{b[static_cast<size_t>(2 + i)]} << (8 * i);
    // A countdown outside 0..4 cannot come from a click.
    countdown_ = std::clamp(static_cast<int32_t>(c), 0, kClickCountdown);
    return true;
}

}  // namespace zel
