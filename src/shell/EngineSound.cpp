#include "shell/EngineSound.h"

#include "sound/SoundDevice.h"
#include "storage/GameFiles.h"

namespace zel {

TEngineSound::TEngineSound(TDDSD7& device, IGameStorage& storage, IClock& clock, size_t streamLength)
    : sound_(device, SoundFilesOf(storage), clock, streamLength) {}

void TEngineVoice::Stop(int32_t channel) { sound_.Streams().Stop(channel); }

void TEngineVoice::Play(const TMessageVoice& voice) {
    if (voice.file.empty()) return;
    constexpr int32_t kVoiceGroup = 1;
    TSSound& streams = sound_.Streams();
    if (!streams.Load(voice.channel, voice.file, 0, true, kVoiceGroup)) return;
    streams.SetVolume(voice.channel, voice.volume, 0);
    streams.Play(voice.channel, false);
    if (!voice.character.empty()) channelOf_[voice.character] = voice.channel;
}

void TEngineVoice::FadeOut(const std::string& character, int32_t ms) {
    const auto it = channelOf_.find(character);
    if (it != channelOf_.end()) sound_.Streams().SetVolume(it->second, 0, ms);
}

}  // namespace zel
