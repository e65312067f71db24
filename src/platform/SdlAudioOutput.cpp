#include <SDL.h>

#include "platform/AudioOutput.h"

namespace zel {
namespace {

class TSdlAudioOutput final : public IAudioOutput {
public:
    ~TSdlAudioOutput() override { Close(); }

    bool Open(RenderFn render, std::string* err) override {
        Close();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            if (err) *err = SDL_GetError();
            return false;
        }
        render_ = std::move(render);
        SDL_AudioSpec want{}, have{};
        want.freq = 44100;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &TSdlAudioOutput::Callback;
        want.userdata = this;
        // No changes allowed: SDL converts whatever the device needs, so the
        // callback always sees the engine's own format.
        dev_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (dev_ == 0) {
            if (err) *err = SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            render_ = nullptr;
            return false;
        }
        SDL_PauseAudioDevice(dev_, 0);
        return true;
    }

    void Close() override {
        if (dev_ == 0) return;
        SDL_CloseAudioDevice(dev_);  // waits for a running callback
        dev_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        render_ = nullptr;
    }

private:
    static void Callback(void* self, Uint8* stream, int len) {
        auto* o = static_cast<TSdlAudioOutput*>(self);
        o->render_(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / 4);
    }

    SDL_AudioDeviceID dev_ = 0;
    RenderFn render_;
};

}  // namespace

std::unique_ptr<IAudioOutput> MakeSdlAudioOutput() { return std::make_unique<TSdlAudioOutput>(); }

}  // namespace zel
