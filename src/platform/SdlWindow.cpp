#include <SDL.h>

#include "base/Sjis.h"
#include "platform/Window.h"

namespace zel {

namespace {

// SDL keys to the virtual-key codes the engine's input uses.
int32_t VirtualKey(const SDL_Keysym& k) {
    const SDL_Keycode c = k.sym;
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= '0' && c <= '9') return c;
    if (c >= SDLK_F1 && c <= SDLK_F12) return 112 + (c - SDLK_F1);
    switch (c) {
        case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
        case SDLK_ESCAPE: return 27;
        case SDLK_SPACE: return 32;
        case SDLK_BACKSPACE: return 8;
        case SDLK_TAB: return 9;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
        case SDLK_LCTRL: case SDLK_RCTRL: return 17;
        case SDLK_LALT: case SDLK_RALT: return 18;
        case SDLK_PAGEUP: return 33;
        case SDLK_PAGEDOWN: return 34;
        case SDLK_END: return 35;
        case SDLK_HOME: return 36;
        case SDLK_LEFT: return 37;
        case SDLK_UP: return 38;
        case SDLK_RIGHT: return 39;
        case SDLK_DOWN: return 40;
        case SDLK_INSERT: return 45;
        case SDLK_DELETE: return 46;
        case SDLK_LGUI: return 91;
        case SDLK_RGUI: return 92;
        case SDLK_APPLICATION: return 93;
        default: return 0;
    }
}

}  // namespace

std::unique_ptr<TSdlWindow> TSdlWindow::Create(std::string* err) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (err) *err = SDL_GetError();
        return nullptr;
    }
    SDL_Window* w = SDL_CreateWindow("Untitle", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                                     SDL_WINDOW_HIDDEN);
    if (!w) {
        if (err) *err = SDL_GetError();
        return nullptr;
    }
    return std::unique_ptr<TSdlWindow>(new TSdlWindow(w));
}

TSdlWindow::~TSdlWindow() {
    if (window_) SDL_DestroyWindow(window_);
}

void TSdlWindow::SetCaption(const std::string& c) {
    caption_ = c;
    SDL_SetWindowTitle(window_, SjisToUtf8(c).c_str());
}

void TSdlWindow::SetClientSize(int w, int h) { SDL_SetWindowSize(window_, w, h); }

void TSdlWindow::CentreOnDesktop() {
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void TSdlWindow::Show() {
    SDL_ShowWindow(window_);
    showing_ = true;
}

void TSdlWindow::Close() {
    SDL_HideWindow(window_);
    showing_ = false;
}

bool TSdlWindow::IsActive() const {
    return showing_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool TSdlWindow::IsMinimized() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0; }

void TSdlWindow::Minimize() { SDL_MinimizeWindow(window_); }

void TSdlWindow::PollEvents(std::vector<TWindowEvent>& out) {
    SDL_Event e;
    // Closing the only window brings both a window-close event and SDL_QUIT:
    // one request, asked once.
    bool closeAsked = false;
    auto close = [&] {
        if (!closeAsked) out.push_back({TWindowEvent::Close});
        closeAsked = true;
    };
    while (SDL_PollEvent(&e)) {
        if (rawEvents) rawEvents(e);
        switch (e.type) {
            case SDL_QUIT: close(); break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: close(); break;
                    case SDL_WINDOWEVENT_EXPOSED: out.push_back({TWindowEvent::Paint}); break;
                    case SDL_WINDOWEVENT_MINIMIZED: out.push_back({TWindowEvent::Minimized}); break;
                    case SDL_WINDOWEVENT_RESTORED: out.push_back({TWindowEvent::Restored}); break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({TWindowEvent::FocusGained}); break;
                    case SDL_WINDOWEVENT_FOCUS_LOST: out.push_back({TWindowEvent::FocusLost}); break;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const int32_t vk = VirtualKey(e.key.keysym);
                if (vk) out.push_back({e.type == SDL_KEYDOWN ? TWindowEvent::KeyDown : TWindowEvent::KeyUp, vk});
                break;
            }
            case SDL_MOUSEMOTION: out.push_back({TWindowEvent::MouseMove, 0, e.motion.x, e.motion.y}); break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT)
                    out.push_back({e.type == SDL_MOUSEBUTTONDOWN ? TWindowEvent::MouseDown : TWindowEvent::MouseUp,
                                   e.button.button == SDL_BUTTON_LEFT ? 0 : 1, e.button.x, e.button.y});
                break;
            case SDL_MOUSEWHEEL: out.push_back({TWindowEvent::Wheel, e.wheel.y}); break;
            default: break;
        }
    }
}

}  // namespace zel
