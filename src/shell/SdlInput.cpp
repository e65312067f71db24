#include "shell/SdlInput.h"

#include <SDL.h>

#include <string>

#include "shell/uInputDevice.h"

namespace zel {

int32_t VirtualKeyOfScancode(int sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return 112 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return 124 + (sc - SDL_SCANCODE_F13);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 97 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
        case SDL_SCANCODE_0: return '0';
        case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: case SDL_SCANCODE_RETURN2: return 13;
        case SDL_SCANCODE_ESCAPE: return 27;
        case SDL_SCANCODE_BACKSPACE: return 8;
        case SDL_SCANCODE_TAB: return 9;
        case SDL_SCANCODE_SPACE: return 32;
        case SDL_SCANCODE_MINUS: return 189;
        case SDL_SCANCODE_EQUALS: return 187;
        case SDL_SCANCODE_LEFTBRACKET: return 219;
        case SDL_SCANCODE_RIGHTBRACKET: return 221;
        case SDL_SCANCODE_BACKSLASH: case SDL_SCANCODE_NONUSHASH: return 220;
        case SDL_SCANCODE_SEMICOLON: return 186;
        case SDL_SCANCODE_APOSTROPHE: return 222;
        case SDL_SCANCODE_GRAVE: return 192;
        case SDL_SCANCODE_COMMA: return 188;
        case SDL_SCANCODE_PERIOD: return 190;
        case SDL_SCANCODE_SLASH: return 191;
        case SDL_SCANCODE_NONUSBACKSLASH: case SDL_SCANCODE_INTERNATIONAL1: return 226;
        case SDL_SCANCODE_INTERNATIONAL3: return 220;  // the yen key
        case SDL_SCANCODE_INTERNATIONAL2: return 21;   // kana
        case SDL_SCANCODE_INTERNATIONAL4: return 28;   // convert
        case SDL_SCANCODE_INTERNATIONAL5: return 29;   // no convert
        case SDL_SCANCODE_CAPSLOCK: return 20;
        case SDL_SCANCODE_PRINTSCREEN: return 44;
        case SDL_SCANCODE_SCROLLLOCK: return 145;
        case SDL_SCANCODE_PAUSE: return 19;
        case SDL_SCANCODE_INSERT: return 45;
        case SDL_SCANCODE_HOME: return 36;
        case SDL_SCANCODE_PAGEUP: return 33;
        case SDL_SCANCODE_DELETE: return 46;
        case SDL_SCANCODE_END: return 35;
        case SDL_SCANCODE_PAGEDOWN: return 34;
        case SDL_SCANCODE_RIGHT: return 39;
        case SDL_SCANCODE_LEFT: return 37;
        case SDL_SCANCODE_DOWN: return 40;
        case SDL_SCANCODE_UP: return 38;
        case SDL_SCANCODE_NUMLOCKCLEAR: return 144;
        case SDL_SCANCODE_KP_DIVIDE: return 111;
        case SDL_SCANCODE_KP_MULTIPLY: return 106;
        case SDL_SCANCODE_KP_MINUS: return 109;
        case SDL_SCANCODE_KP_PLUS: return 107;
        case SDL_SCANCODE_KP_0: return 96;
        case SDL_SCANCODE_KP_PERIOD: return 110;
        case SDL_SCANCODE_APPLICATION: return 93;
        case SDL_SCANCODE_LSHIFT: return 160;
        case SDL_SCANCODE_RSHIFT: return 161;
        case SDL_SCANCODE_LCTRL: return 162;
        case SDL_SCANCODE_RCTRL: return 163;
        case SDL_SCANCODE_LALT: return 164;
        case SDL_SCANCODE_RALT: return 165;
        case SDL_SCANCODE_LGUI: return 91;
        case SDL_SCANCODE_RGUI: return 92;
        default: return 0;
    }
}

bool ImeOwnsKey(int32_t vk) { return vk == 13 || vk == 32 || vk == 27 || vk == 8 || vk == 9 || (vk >= 37 && vk <= 40); }

int32_t VirtualKeyOfPadButton(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A: return 1;
        case SDL_CONTROLLER_BUTTON_B: return 2;
        case SDL_CONTROLLER_BUTTON_X: return 17;
        case SDL_CONTROLLER_BUTTON_Y: return 32;
        case SDL_CONTROLLER_BUTTON_BACK: return 8;
        case SDL_CONTROLLER_BUTTON_START: return 27;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return 33;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return 34;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: return 38;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return 40;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return 37;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return 39;
        default: return 0;
    }
}

int32_t VirtualKeyOfPadName(std::string_view name) {
    std::string n(name);
    if (n == "up" || n == "down" || n == "left" || n == "right") n = "dp" + n;
    const SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(n.c_str());
    return b == SDL_CONTROLLER_BUTTON_INVALID ? 0 : VirtualKeyOfPadButton(b);
}

TSdlInputMapper::~TSdlInputMapper() {
    for (void* p : pads_) SDL_GameControllerClose(static_cast<SDL_GameController*>(p));
}

void TSdlInputMapper::ReleaseAll() {
    live_.down.fill(0);
    for (uint8_t& s : sides_) s = 0;
}

void TSdlInputMapper::Key(int scancode, bool down, uint32_t timestamp) {
    const int32_t vk = VirtualKeyOfScancode(scancode);
    if (!vk) return;
    if (down) {
        if (composing_ && ImeOwnsKey(vk)) return;
        // The Enter that committed the composition arrives after the text.
        if (committed_ && vk == 13 && timestamp - committedAt_ <= kImeCommitEnterMs) {
            committed_ = false;
            return;
        }
    }
    if (vk >= 160 && vk <= 165) {
        const int kind = (vk - 160) / 2;  // Shift, Ctrl, Alt
        const uint8_t bit = static_cast<uint8_t>(1 << ((vk - 160) & 1));
        sides_[kind] = down ? (sides_[kind] | bit) : (sides_[kind] & ~bit);
        const int common = 16 + kind;
        if (sides_[kind]) live_.KeyDown(common);
        else live_.KeyUp(common);
    }
    if (down) live_.KeyDown(vk);
    else live_.KeyUp(vk);
}

void TSdlInputMapper::Apply(const SDL_Event& e) {
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (e.key.repeat) break;  // repeats are the engine's own (750 ms)
            Key(e.key.keysym.scancode, e.type == SDL_KEYDOWN, e.key.timestamp);
            break;
        case SDL_MOUSEMOTION:
            live_.MoveTo(e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int slot = 0;
            switch (e.button.button) {
                case SDL_BUTTON_LEFT: slot = 1; break;
                case SDL_BUTTON_RIGHT: slot = 2; break;
                case SDL_BUTTON_MIDDLE: slot = 4; break;
                case SDL_BUTTON_X1: slot = 5; break;
                case SDL_BUTTON_X2: slot = 6; break;
                default: break;
            }
            live_.MoveTo(e.button.x, e.button.y);
            if (slot && e.type == SDL_MOUSEBUTTONDOWN) live_.KeyDown(slot);
            else if (slot) live_.KeyUp(slot);
            break;
        }
        case SDL_MOUSEWHEEL: {
            const int32_t y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            live_.wheel += y;
            break;
        }
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) live_.active = true;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                live_.active = false;
                ReleaseAll();  // keys let go elsewhere must not stay down here
            }
            break;
        case SDL_TEXTEDITING: composing_ = e.edit.text[0] != '\0'; break;
        case SDL_TEXTINPUT:
            if (composing_) {
                committed_ = true;
                committedAt_ = e.text.timestamp;
            }
            composing_ = false;
            if (onText) onText(e.text.text);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) pads_.push_back(pad);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            for (size_t i = 0; i < pads_.size(); ++i) {
                auto* pad = static_cast<SDL_GameController*>(pads_[i]);
                if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == e.cdevice.which) {
                    SDL_GameControllerClose(pad);
                    pads_.erase(pads_.begin() + static_cast<ptrdiff_t>(i));
                    break;
                }
            }
            break;
        case SDL_CONTROLLERAXISMOTION: {
            // The left stick pushed past about half way plays the arrow keys.
            const bool x = e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX, y = e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY;
            if (!x && !y) break;
            const int negative = x ? 37 : 38, positive = x ? 39 : 40;
            const uint8_t bit = x ? 1 : 2;
            const int32_t v = e.caxis.value;
            auto set = [&](int slot, bool on, uint8_t& held) {
                if (on == ((held & bit) != 0)) return;
                held = on ? (held | bit) : (held & ~bit);
                if (on) live_.KeyDown(slot);
                else live_.KeyUp(slot);
            };
            set(negative, v < -kStickThreshold, stickNegative_);
            set(positive, v > kStickThreshold, stickPositive_);
            break;
        }
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (const int32_t vk = VirtualKeyOfPadButton(e.cbutton.button)) {
                if (e.type == SDL_CONTROLLERBUTTONDOWN) live_.KeyDown(vk);
                else live_.KeyUp(vk);
            }
            break;
        default: break;
    }
}

}  // namespace zel
