// SDL2 events into the live input state: scancodes to Windows virtual-key
// slots (where the key sits, so a layout does not move Enter or the arrows),
// both modifier keys of each kind (the side's slot 160..165 and the common
// slot 16..18), the three mouse buttons and the two side buttons (5, 6), the
// wheel, window focus, game pads and the IME.
//
// A game pad plays like mouse and keyboard: the d-pad and the left stick (past
// half way) give the arrow keys, A the left button (click, or choose what the
// pointer is on), B the right button (cancel), Start Esc (the menu), Back
// Backspace, the shoulder buttons Page Up and Page Down, X Ctrl (skip while
// held) and Y Space.
//
// While the IME composes (a text-editing event with a non-empty
// composition), the keys it uses are its own: Enter, Space, Esc, Backspace,
// Tab and the arrows do not reach the game, nor does the Enter that commits
// the text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

union SDL_Event;

namespace zel {

struct TLiveInput;

// 0 for a scancode that has no slot.
int32_t VirtualKeyOfScancode(int scancode);
// The keys an IME uses while it composes: Enter, Space, Esc, Backspace, Tab
// and the arrows are its own then.
bool ImeOwnsKey(int32_t vk);
// The Enter that commits a composition arrives at most this long (ms) after
// the committed text, and is the IME's too.
constexpr uint32_t kImeCommitEnterMs = 50;
// The slot a game-pad button (SDL_GameControllerButton) plays; 0 for none.
int32_t VirtualKeyOfPadButton(int button);
// The slot of a pad button named as the headless input script names them
// ("a", "b", "start", "up", "down", "left", "right", or any SDL button
// name); 0 for an unknown name.
int32_t VirtualKeyOfPadName(std::string_view name);

class TSdlInputMapper {
public:
    explicit TSdlInputMapper(TLiveInput& live) : live_(live) {}
    ~TSdlInputMapper();
    TSdlInputMapper(const TSdlInputMapper&) = delete;
    TSdlInputMapper& operator=(const TSdlInputMapper&) = delete;

    void Apply(const SDL_Event& e);
    bool Composing() const { return composing_; }
    // Every key and button up, as when the window loses the focus (input
    // that went elsewhere, such as to a dialog, ends nothing in the game).
    void ReleaseAll();
    // Text the IME (or the keyboard) committed, UTF-8.
    std::function<void(const std::string& utf8)> onText;

private:
    void Key(int scancode, bool down, uint32_t timestamp);

    TLiveInput& live_;
    bool composing_ = false;
    uint32_t committedAt_ = 0;
    bool committed_ = false;
    uint8_t sides_[3] = {0, 0, 0};  // Shift, Ctrl, Alt: bit 0 left, bit 1 right
    static constexpr int32_t kStickThreshold = 16000;
    uint8_t stickNegative_ = 0, stickPositive_ = 0;  // bit 0 x, bit 1 y
    std::vector<void*> pads_;
};

}  // namespace zel
