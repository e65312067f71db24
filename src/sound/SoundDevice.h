// TDDSD7: the engine's sound device. It owns the software mixer (Mixer.h)
// and feeds it to the sound card, or lets the caller pull it.
//
// With an output, Initialize opens it. A machine without a usable sound card
// (a container, a remote session, a broken sound server) still plays every
// game: the device then says so once on standard error and in the error log,
// tries no further, and a pump thread renders the mixer into nothing in real
// time, so streams advance and waits on sound still end. Without an output
// (headless runs, tests) nothing pulls the mixer but the caller, through
// Pull, and refills are synchronous.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/AudioOutput.h"
#include "platform/Devices.h"
#include "sound/Mixer.h"

namespace zel {

class TDDSD7 final : public ISoundDevice {
public:
    // output: the sound card, or nullptr for a device pulled by its caller.
    explicit TDDSD7(std::unique_ptr<IAudioOutput> output, int channelCount = 16);
    ~TDDSD7() override;

    // Always true: a missing sound card leaves the device silent, not absent.
    bool Initialize() override;
    bool IsInitialized() const override { return init_; }
    // True when sound goes nowhere (no card, or a pulled device).
    bool Silent() const { return !playing_; }

    TSoundMixer& Mixer() { return mixer_; }
    int ChannelCount() const { return mixer_.ChannelCount(); }
    // True for 0 <= i < ChannelCount; otherwise reports the error and gives false.
    bool CheckChannel(int i) const;

    // A pulled device: renders the next frames (the headless frame clock).
    void Pull(int16_t* out, size_t frames) { mixer_.Render(out, frames); }

private:
    void Pump();

    TSoundMixer mixer_;
    std::unique_ptr<IAudioOutput> output_;
    bool pulled_;
    bool init_ = false;
    bool playing_ = false;
    std::atomic<bool> stopPump_{false};
    std::thread pump_;
};

}  // namespace zel
