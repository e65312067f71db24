// The display on an SDL2 window. The device's back buffer stays in ordinary
// memory; each present uploads only the rows that changed into a streaming
// ARGB8888 texture (SDL_UpdateTexture; a locked texture is write-only, so
// it cannot be the back buffer) and draws the texture scaled to the window
// with black bars where the aspect ratios differ. Full screen is the
// desktop's full screen: no mode switch, the same scaling.
//
// Two renderers are offered. The software renderer (with framebuffer
// acceleration off, so SDL does not bring up OpenGL behind it) keeps the
// process small and costs nothing when idle; the accelerated renderer
// scales on the GPU. See DefaultRenderer for which one is used.
//
// A render-device or render-target reset (reported by SDL as an event) makes
// the next present re-create the texture and upload every row.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/DisplayDevice.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace zel {

class TSdlDisplay final : public TDDDD7 {
public:
    enum class TRenderer { Software, Accelerated };
    // ZEL_RENDERER=software|accelerated in the environment, else the default.
    static TRenderer DefaultRenderer();

    // The window must outlive the display. SDL video must be initialised.
    explicit TSdlDisplay(SDL_Window* window, TRenderer renderer = DefaultRenderer());
    ~TSdlDisplay() override;

    // What the output did, for tests and measurements.
    int64_t UploadedRows() const { return uploadedRows_; }
    int UploadCalls() const { return uploadCalls_; }
    int TextureCreations() const { return textureCreations_; }
    int FramesShown() const { return framesShown_; }
    bool SoftwareRenderer() const { return software_; }

protected:
    bool QueryModes(std::vector<TDisplayMode>& modes) override;
    bool OpenWindowed(int width, int height, int* bitDepth) override;
    bool OpenFullScreen(int width, int height, int bitDepth) override;
    bool ShowFrame(const uint32_t* pixels, int pitchBytes, const std::vector<TRowSpan>& spans) override;
    bool RecreateOutput() override;

private:
    static int EventWatch(void* self, SDL_Event* event);
    bool EnsureRenderer();
    bool CreateTexture(int width, int height);
    void DestroyTexture();
    bool Open(int width, int height, bool fullScreen);
    void Fail(const char* call);

    SDL_Window* window_;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    TRenderer wanted_;
    bool software_ = false;
    int texWidth_ = 0, texHeight_ = 0;
    int64_t uploadedRows_ = 0;
    int uploadCalls_ = 0, textureCreations_ = 0, framesShown_ = 0;
};

}  // namespace zel
