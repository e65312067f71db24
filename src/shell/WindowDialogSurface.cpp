#include "shell/WindowDialogSurface.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "graphics/ARGB8888Lib.h"
#include "platform/Devices.h"
#include "platform/Window.h"
#include "shell/SdlInput.h"

namespace zel {

namespace {

// Events read in one wait at most, so that a flood of pointer motion cannot
// keep the dialog from drawing.
constexpr int kEventsPerWait = 256;

TKitEvent At(TKitEvent::Kind kind, int32_t x, int32_t y, int32_t key = 0) {
    TKitEvent e{kind};
    e.x = x;
    e.y = y;
    e.key = key;
    return e;
}

TKitEvent Typed(TKitEvent::Kind kind, const char* utf8) {
    TKitEvent e{kind};
    e.text = utf8;
    return e;
}

// A pad button as the key it plays in a dialog: A chooses, B and Start
// cancel, the d-pad moves the focus.
int32_t DialogKeyOfPadButton(int button) {
    switch (const int32_t vk = VirtualKeyOfPadButton(button)) {
        case 1: return kitkey::Enter;
        case 2: return kitkey::Esc;
        case 17: return 0;  // X holds Ctrl in the game; nothing here
        default: return vk;
    }
}

}  // namespace

TWindowDialogSurface::TWindowDialogSurface(TSdlWindow& window, IDisplayDevice& display)
    : window_(window), display_(display) {}

TWindowDialogSurface::~TWindowDialogSurface() = default;

bool TWindowDialogSurface::Ready() const {
    if (!fonts_ || !display_.IsInitialized() || !window_.IsShowing()) return false;
    if (open_) return true;  // a refusal inside a dialog: the screen is ours already
    // A back buffer that cannot be locked cannot show a dialog either (a
    // lost display: its fatal message goes to a message box).
    int pitch = 0;
    if (!display_.Lock(&pitch)) return false;
    display_.Unlock();
    return true;
}

void TWindowDialogSurface::Begin() {
    open_ = true;
    closeAsked_ = false;
    composing_ = committed_ = false;
    // The game may have hidden the pointer; a dialog needs it.
    cursorWasShown_ = SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
    SDL_ShowCursor(SDL_ENABLE);
    textWasOn_ = SDL_IsTextInputActive() == SDL_TRUE;
    textOn_ = textWasOn_;
}

void TWindowDialogSurface::Capture(TARGB8888& into) {
    if (!open_) Begin();
    forceShow_ = true;
    const int32_t w = display_.ScreenWidth(), h = display_.ScreenHeight();
    int pitch = 0;
    const uint32_t* pixels = display_.Lock(&pitch);
    if (!pixels || w <= 0 || h <= 0) {
        if (pixels) display_.Unlock();
        into.NewImage(std::max(w, 1), std::max(h, 1), 0xFF000000u);
        return;
    }
    into.NewImage(w, h, 0xFF000000u);
    const int32_t cols = std::min(w, pitch / 4);
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(into.Row(y), pixels + static_cast<ptrdiff_t>(pitch / 4) * y, static_cast<size_t>(cols) * 4);
    display_.Unlock();
}

void TWindowDialogSurface::Show(const TARGB8888& frame) {
    int pitch = 0;
    uint32_t* pixels = display_.Lock(&pitch);
    if (!pixels) return;
    const int32_t w = std::min({frame.Width(), display_.ScreenWidth(), pitch / 4});
    const int32_t h = std::min(frame.Height(), display_.ScreenHeight());
    const size_t bytes = static_cast<size_t>(std::max(w, 0)) * 4;
    // Only rows that differ go to the output, except after a capture, when
    // the whole picture is handed over once (the output may not hold what
    // the back buffer holds).
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = pixels + static_cast<ptrdiff_t>(pitch / 4) * y;
        if (!forceShow_ && std::memcmp(row, frame.Row(y), bytes) == 0) continue;
        std::memcpy(row, frame.Row(y), bytes);
        display_.MarkRows(y, y + 1);
    }
    forceShow_ = false;
    display_.Unlock();
    display_.Present(false);
}

bool TWindowDialogSurface::Translate(const SDL_Event& e, std::vector<TKitEvent>& out) {
    switch (e.type) {
        case SDL_QUIT: return false;
        case SDL_WINDOWEVENT:
            // Exposure and resizing need nothing here: the display repaints
            // at the next Show, which every wait is followed by.
            return e.window.event != SDL_WINDOWEVENT_CLOSE;
        case SDL_MOUSEMOTION: out.push_back(At(TKitEvent::Move, e.motion.x, e.motion.y)); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) break;
            const TKitEvent::Kind kind = e.type == SDL_MOUSEBUTTONDOWN ? TKitEvent::Down : TKitEvent::Up;
            out.push_back(At(kind, e.button.x, e.button.y, e.button.button == SDL_BUTTON_LEFT ? 0 : 1));
            break;
        }
        case SDL_MOUSEWHEEL: {
            const int32_t steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            if (steps) out.push_back(At(TKitEvent::Wheel, 0, 0, steps));
            break;
        }
        case SDL_KEYDOWN: {
            const int32_t vk = VirtualKeyOfScancode(e.key.keysym.scancode);
            if (!vk) break;
            if (composing_ && ImeOwnsKey(vk)) break;
            const bool commitEnter = committed_ && vk == kitkey::Enter && e.key.timestamp - committedAt_ <= kImeCommitEnterMs;
            committed_ = false;
            if (commitEnter) break;
            TKitEvent k = At(TKitEvent::Key, 0, 0, vk);
            k.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
            out.push_back(k);
            break;
        }
        case SDL_TEXTEDITING:
            composing_ = e.edit.text[0] != '\0';
            out.push_back(Typed(TKitEvent::Compose, e.edit.text));
            break;
        case SDL_TEXTINPUT:
            if (composing_) {
                // The composition became this text; the Enter that did it follows.
                committed_ = true;
                committedAt_ = e.text.timestamp;
                out.push_back(Typed(TKitEvent::Compose, ""));
            }
            composing_ = false;
            out.push_back(Typed(TKitEvent::Text, e.text.text));
            break;
        case SDL_CONTROLLERBUTTONDOWN:
            if (const int32_t vk = DialogKeyOfPadButton(e.cbutton.button)) out.push_back(At(TKitEvent::Key, 0, 0, vk));
            break;
        default: break;
    }
    return true;
}

bool TWindowDialogSurface::Wait(std::vector<TKitEvent>& out) {
    if (closeAsked_) return false;
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, waitMs)) return true;
    int n = 0;
    do {
        // A close request is kept back (queued again when the dialog is
        // done); a second one right behind it is the same request.
        if (!Translate(e, out)) closeAsked_ = true;
        else if (passOn) passOn(e);
    } while (++n < kEventsPerWait && SDL_PollEvent(&e));
    return !closeAsked_;
}

void TWindowDialogSurface::SetTextInput(bool on, const TKitRect& field) {
    if (on) {
        SDL_Rect r{field.left, field.top, field.Width(), field.Height()};
        if (SDL_Renderer* renderer = SDL_GetRenderer(window_.Handle())) {
            int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            SDL_RenderLogicalToWindow(renderer, static_cast<float>(field.left), static_cast<float>(field.top), &x0, &y0);
            SDL_RenderLogicalToWindow(renderer, static_cast<float>(field.right), static_cast<float>(field.bottom), &x1,
                                      &y1);
            r = {x0, y0, x1 - x0, y1 - y0};
        }
        SDL_SetTextInputRect(&r);
        SDL_StartTextInput();
    } else {
        SDL_StopTextInput();
    }
    textOn_ = on;
    composing_ = committed_ = false;
}

void TWindowDialogSurface::Finished() {
    if (!open_) return;
    open_ = false;
    if (textOn_ != textWasOn_) {
        if (textWasOn_) SDL_StartTextInput();
        else SDL_StopTextInput();
    }
    SDL_ShowCursor(cursorWasShown_ ? SDL_ENABLE : SDL_DISABLE);
    if (closeAsked_) {
        closeAsked_ = false;
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
    if (finished) finished();
}

}  // namespace zel
