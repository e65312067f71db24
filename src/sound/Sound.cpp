#include "sound/Sound.h"

#include <algorithm>

#include "sound/SoundDevice.h"

namespace zel {

TSound::TSound(TDDSD7& device, TSoundFiles files, IClock& clock, size_t streamLength) : device_(device) {
    groups_.fill(255);
    se_ = std::make_unique<TDSound>(device, groups_, files, clock);
    streams_ = std::make_unique<TSSound>(device, groups_, files, clock, streamLength);
}

TSound::~TSound() {
    StopAll();
    streams_.reset();
    se_.reset();
}

void TSound::SetActive(bool on) {
    streams_->SetActive(on);
    if (!on) se_->StopAll();
}

void TSound::StopAll() {
    streams_->ClearAll();
    se_->ClearAll();
}

void TSound::SetGroupVolume(int32_t group, int32_t volume) {
    if (group < 0 || group > 255) return;
    groups_[static_cast<size_t>(group)] = static_cast<uint8_t>(std::clamp(volume, 0, 255));
}

void TSound::ReapplyVolumes() {
    streams_->ReapplyVolumes();
    se_->RefreshGroupVolumes();
}

void TSound::SaveState(TMemoryStream& s) {
    se_->SaveState(s);
    streams_->SaveState(s);
}

void TSound::LoadState(TMemoryStream& s) {
    const size_t at = s.Position();
    try {
        std::vector<TSeRecord> se = TDSound::ReadState(s);
        std::vector<TStreamRecord> st = TSSound::ReadState(s);
        se_->ApplyState(se);
        streams_->ApplyState(st);
    } catch (const EStreamError&) {
        s.Seek(at);
        throw;
    }
}

}  // namespace zel
