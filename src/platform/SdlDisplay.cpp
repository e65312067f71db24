#include "platform/SdlDisplay.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace zel {

TSdlDisplay::TRenderer TSdlDisplay::DefaultRenderer() {
    if (const char* env = std::getenv("ZEL_RENDERER")) {
        if (std::strcmp(env, "accelerated") == 0) return TRenderer::Accelerated;
        if (std::strcmp(env, "software") == 0) return TRenderer::Software;
    }
    // Measured under Xvfb (no GPU, so OpenGL is Mesa's llvmpipe). A whole
    // engine at 1280x720 and 60 frames a second on a still screen, from the
    // start to its first picture, median of five runs:
    //                     resident  first frame  idle
    //   software            40 MiB        59 ms   under 1 % of a core
    //   accelerated        127 MiB       133 ms   under 1 %
    // The accelerated renderer's extra time and memory are Mesa and LLVM
    // starting (about 50 ms to create the renderer). A bare 1280x720 picture
    // at 40 frames a second, CPU for a full-frame change, 1:1 / 2x window:
    // software 6% / 49%, accelerated 62% / 98%. Frames without changes
    // cost nothing with either (nothing is drawn).
    return TRenderer::Software;
}

TSdlDisplay::TSdlDisplay(SDL_Window* window, TRenderer renderer) : window_(window), wanted_(renderer) {
    SDL_AddEventWatch(&TSdlDisplay::EventWatch, this);
}

TSdlDisplay::~TSdlDisplay() {
    SDL_DelEventWatch(&TSdlDisplay::EventWatch, this);
    DestroyTexture();
    if (renderer_) SDL_DestroyRenderer(renderer_);
}

// Runs on the thread that queues the event; only sets flags.
int TSdlDisplay::EventWatch(void* self, SDL_Event* e) {
    auto* d = static_cast<TSdlDisplay*>(self);
    switch (e->type) {
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET: d->OutputLost(); break;
        case SDL_WINDOWEVENT:
            if (d->window_ && e->window.windowID == SDL_GetWindowID(d->window_)) {
                switch (e->window.event) {
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_MAXIMIZED: d->RepaintNeeded(); break;
                    default: break;
                }
            }
            break;
        default: break;
    }
    return 0;
}

void TSdlDisplay::Fail(const char* call) { LogFailure(std::string(call) + ": " + SDL_GetError(), 0xFFFFFFFFu); }

bool TSdlDisplay::QueryModes(std::vector<TDisplayMode>& modes) {
    if (!window_) return false;
    int display = SDL_GetWindowDisplayIndex(window_);
    if (display < 0) display = 0;
    const int n = SDL_GetNumDisplayModes(display);
    if (n < 0) {
        Fail("SDL_GetNumDisplayModes");
        return false;
    }
    auto add = [&](const TDisplayMode& m) {
        for (const TDisplayMode& have : modes)
            if (have.width == m.width && have.height == m.height && have.bitDepth == m.bitDepth) return;
        modes.push_back(m);
    };
    // Full screen is the desktop's, scaled: every size can be shown, and the
    // conversion to the desktop's pixels is ours, so every depth too. The
    // desktop itself reports only 24/32 bits; a real list would make a
    // 16-bit colour setting fail for no reason.
    std::vector<std::pair<int, int>> sizes = {{ScreenWidth(), ScreenHeight()}};
    std::vector<TDisplayMode> real;
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
        real.push_back({m.w, m.h, m.refresh_rate, int32_t(SDL_BITSPERPIXEL(m.format))});
        sizes.emplace_back(m.w, m.h);
    }
    for (const TDisplayMode& m : real) add(m);
    for (const auto& [w, h] : sizes)
        for (int depth : {32, 24, 16, 15}) add({w, h, 0, depth});
    return true;
}

bool TSdlDisplay::EnsureRenderer() {
    if (renderer_) return true;
    if (wanted_ == TRenderer::Accelerated) {
        // SDL re-creates a window for OpenGL, which can put it back where it
        // was first made: the window stays where it was placed.
        int x = 0, y = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
        if (!renderer_) Fail("SDL_CreateRenderer(accelerated)");
        int nowX = 0, nowY = 0;
        SDL_GetWindowPosition(window_, &nowX, &nowY);
        if (nowX != x || nowY != y) SDL_SetWindowPosition(window_, x, y);
    }
    if (!renderer_) {
        // Without this hint SDL backs the window surface with an OpenGL
        // context, which is what the software renderer is chosen to avoid.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!renderer_) {
        Fail("SDL_CreateRenderer");
        return false;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer_, &info) == 0) {
        software_ = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
        Log(std::string("Renderer: ") + (info.name ? info.name : "?"), true);
    }
    return true;
}

void TSdlDisplay::DestroyTexture() {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
}

bool TSdlDisplay::CreateTexture(int width, int height) {
    DestroyTexture();
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) {
        Fail("SDL_CreateTexture");
        return false;
    }
    // The back buffer's alpha bytes are not transparency on the screen.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
    texWidth_ = width;
    texHeight_ = height;
    ++textureCreations_;
    return true;
}

bool TSdlDisplay::Open(int width, int height, bool) {
    if (!EnsureRenderer()) return false;
    if (SDL_RenderSetLogicalSize(renderer_, width, height) != 0) {
        Fail("SDL_RenderSetLogicalSize");
        return false;
    }
    if (!texture_ || texWidth_ != width || texHeight_ != height) return CreateTexture(width, height);
    return true;
}

bool TSdlDisplay::OpenWindowed(int width, int height, int* bitDepth) {
    if (!window_) return false;
    if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0 && SDL_SetWindowFullscreen(window_, 0) != 0) {
        Fail("SDL_SetWindowFullscreen(window)");
        return false;
    }
    if (!Open(width, height, false)) return false;
    SDL_DisplayMode desktop;
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0)
        *bitDepth = int(SDL_BITSPERPIXEL(desktop.format));
    return true;
}

bool TSdlDisplay::OpenFullScreen(int width, int height, int) {
    if (!window_) return false;
    if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        Fail("SDL_SetWindowFullscreen(desktop)");
        return false;
    }
    return Open(width, height, true);
}

bool TSdlDisplay::ShowFrame(const uint32_t* pixels, int pitchBytes, const std::vector<TRowSpan>& spans) {
    if (!renderer_ || !texture_) return false;
    const auto* base = reinterpret_cast<const uint8_t*>(pixels);
    for (const TRowSpan& s : spans) {
        const SDL_Rect r{0, s.top, texWidth_, s.bottom - s.top};
        if (SDL_UpdateTexture(texture_, &r, base + ptrdiff_t(pitchBytes) * s.top, pitchBytes) != 0) {
            Fail("SDL_UpdateTexture");
            return false;
        }
        uploadedRows_ += s.bottom - s.top;
        ++uploadCalls_;
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) {
        Fail("SDL_RenderCopy");
        return false;
    }
    SDL_RenderPresent(renderer_);
    ++framesShown_;
    return true;
}

bool TSdlDisplay::RecreateOutput() {
    const int w = texWidth_ > 0 ? texWidth_ : ScreenWidth();
    const int h = texHeight_ > 0 ? texHeight_ : ScreenHeight();
    if (renderer_ && CreateTexture(w, h)) return true;
    // The renderer itself is unusable: start again from a new one.
    DestroyTexture();
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    return Open(w, h, IsFullScreen());
}

}  // namespace zel
