// The sound card as the mixer sees it: one output stream of 44100 Hz 16-bit
// signed stereo that pulls its samples from a render callback on the output's
// own thread. The SDL2 implementation opens the default device with periods
// of at most 1024 frames; headless runs open none and pull the mixer from the
// frame clock instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zel {

class IAudioOutput {
public:
    // Fills `frames` interleaved stereo frames at out; called on the output's thread.
    using RenderFn = std::function<void(int16_t* out, size_t frames)>;
    virtual ~IAudioOutput() = default;
    // Opens the device and starts pulling; false (reason in err) when there is none.
    virtual bool Open(RenderFn render, std::string* err) = 0;
    // Stops pulling and closes the device; render is never called afterwards.
    virtual void Close() = 0;
};

std::unique_ptr<IAudioOutput> MakeSdlAudioOutput();

}  // namespace zel
