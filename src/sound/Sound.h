// TSound: the engine's sound as the engine system object owns it, the 15
// effect channels and the 16 stream channels over one sound device, with the
// 256 group volumes both sets use.
//
// Save data: the 15 effect records (274 bytes each) and then the 16 stream
// records (1313 bytes each). LoadState reads all of them before changing
// anything, so a damaged state leaves the sound as it was.
#pragma once

#include <memory>

#include "sound/OggPlayerLib.h"
#include "sound/uSoundLib.h"

namespace zel {

class TSound {
public:
    TSound(TDDSD7& device, TSoundFiles files, IClock& clock, size_t streamLength = 0x20000);
    ~TSound();

    TDSound& Effects() { return *se_; }
    TSSound& Streams() { return *streams_; }
    TDDSD7& Device() { return device_; }

    // Pauses or resumes all sound; pausing stops every effect.
    void SetActive(bool on);
    void StopAll();
    void SetGroupVolume(int32_t group, int32_t volume);
    int32_t GroupVolumeOf(int32_t group) const { return GroupVolume(groups_, group); }
    void ReapplyVolumes();

    void SaveState(TMemoryStream& s);
    // Raises EStreamError (and changes nothing) for a short or damaged state.
    void LoadState(TMemoryStream& s);

private:
    TDDSD7& device_;
    TGroupVolumes groups_;
    std::unique_ptr<TDSound> se_;
    std::unique_ptr<TSSound> streams_;
};

}  // namespace zel
