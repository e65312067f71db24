// The engine's sound as the shell and the interpreters reach it: the one
// TSound over the sound device, paused, resumed and stopped by the engine
// system object (ISoundSystem), watched by script waits (IScriptSound), and
// driven by the snd and dsnd command words (RegisterSoundCommands).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "anim/MessageLib.h"
#include "script/ZelScriptServices.h"
#include "shell/ShellInterfaces.h"
#include "sound/Sound.h"

namespace zel {

class IClock;
class IGameStorage;
class TDDSD7;

// The voices of message windows: each plays once on its window's stream
// channel in the voice group at the window's voice volume.
class TEngineVoice final : public IMessageVoice {
public:
    explicit TEngineVoice(TSound& sound) : sound_(sound) {}
    void Stop(int32_t channel) override;
    void Play(const TMessageVoice& voice) override;
    void FadeOut(const std::string& character, int32_t ms) override;

private:
    TSound& sound_;
    std::map<std::string, int32_t> channelOf_;  // the speaker's last voice channel
};

class TEngineSound final : public ISoundSystem, public IScriptSound {
public:
    // streamLength: the "StreamLength" setting.
    TEngineSound(TDDSD7& device, IGameStorage& storage, IClock& clock, size_t streamLength);

    TSound& Sound() { return sound_; }
    IMessageVoice& Voice() { return voice_; }

    void PauseAll() override { sound_.SetActive(false); }
    void ResumeAll() override { sound_.SetActive(true); }
    void StopAll() override { sound_.StopAll(); }

    // The heard state: a channel counts as playing until its last sound has
    // left the device's buffer, so a wait for a voice ends when it is heard out.
    uint8_t StreamState(int32_t channel) override { return sound_.Streams().HeardState(channel); }
    int32_t AudiblePositionMs(int32_t channel) override { return sound_.Streams().AudibleMs(channel); }
    bool VoiceHeard() override { return sound_.Streams().GroupHeard(1); }

private:
    TSound sound_;
    TEngineVoice voice_{sound_};
};

}  // namespace zel
