// TOggPlayer mixes the 16 stream tracks a half buffer at a time into the one
// streaming ring of the sound device; TSSound is the set of 16 stream
// channels (music and voices) that scripts, message windows and the log
// screen drive.
//
// Stream channel record, 1313 bytes in save files (little-endian):
//     0  128  file name: length byte (read as at most 127) and the bytes
//   128    4  volume 0-255          132  4  fade time of the last volume change, ms
//   136    4  silence threshold of the last SkipSilence
//   140    4  position of the last Seek, ms
//   144    1  play state 0-3        145  1024  256 equalizer band gains, float32
//  1169    4  volume group (read bounded to 0-255)
//  1173    4  owner tag             1177  4  gain control level 0-255
//  1181    4  decoder position, seconds, float32
//  1185    4  gain control rate (thousandths)
//  1189    4  gain control initial gain (255 = 1.0)
//  1193    4  gain control silence threshold
//  1197  116  zero
// A record whose band gains or position are not finite numbers is refused.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/Mixer.h"
#include "sound/OggDataLib.h"
#include "sound/uSoundLib.h"

namespace zel {

class TOggPlayer {
public:
    // Reports the ring's play cursor and size in bytes; false when unknown.
    using PositionFn = std::function<bool(size_t& cursor, size_t& size)>;
    static constexpr int kSlots = 16;
    TOggPlayer(size_t length, IClock* clock, PositionFn position);

    // Slot changes wait for a mix in progress; a track sits in one slot at most.
    void SetTrack(int i, TOggData* track);
    void SwapTracks(int i, int j);
    void SetMasterVolume(int32_t v) { master_.store(std::clamp(v, 0, 255)); }
    // Decodes the next half of every track and sums them (worker thread).
    void MixHalf();
    const int16_t* CurrentHalf() const { return mix_.data() + static_cast<size_t>(half_) * mix_.size() / 2; }
    size_t HalfBytes() const { return mix_.size(); }
    int64_t LastLagMs() const { return lag_.load(); }

private:
    std::mutex tableLock_;  // held for a whole mix and for each change of the table
    std::array<TOggData*, kSlots> slots_{};
    std::vector<int16_t> mix_;
    std::vector<int32_t> acc_;
    int half_ = 1;
    std::atomic<int32_t> master_{255};
    std::atomic<int64_t> lag_{0};
    PositionFn position_;
};

struct TStreamRecord {
    std::string name;
    int32_t volume = 255, fadeMs = 0, silence = 0, seekMs = 0;
    uint8_t state = psNONE;
    std::array<float, 256> bands;
    int32_t group = 0, owner = 0;
    int32_t agcLevel = 0, agcRate = 0, agcGain = 0, agcThreshold = 0;
    float position = 0;
    TStreamRecord() { bands.fill(1.0f); }
};
constexpr size_t kStreamRecordBytes = 1313;
void WriteStreamRecord(TMemoryStream& s, const TStreamRecord& r);
// Raises EStreamError for a short record or one with numbers that are not finite.
TStreamRecord ReadStreamRecord(TMemoryStream& s);

class TSSound {
public:
    static constexpr int kChannels = 16;
    // streamLength: the "StreamLength" setting (at least 0x4000 is used). The
    // ring plays on the device's last channel.
    TSSound(TDDSD7& device, TGroupVolumes& groups, TSoundFiles files, IClock& clock, size_t streamLength);
    ~TSSound();

    // Raises the decoder's EZelError for a file that is not Ogg Vorbis.
    bool Load(int i, std::string_view name, int32_t owner, bool force, int32_t group);
    void Clear(int i);
    void ClearAll();
    void Play(int i, bool loop);
    void Stop(int i);
    void Pause(int i);
    void Seek(int i, int32_t ms);
    void SkipSilence(int i, int32_t threshold);
    void SetVolume(int i, int32_t volume, int32_t fadeMs);
    void SetGroup(int i, int32_t group);
    void SetAgc(int i, int32_t level, int32_t gain, int32_t rate, int32_t threshold);
    void SetVoiceAgc(int i, int32_t level) { SetAgc(i, level, 255, 50, 7); }
    // Kept for the equalizer stage, which passes the sound through for now.
    void SetEqualizer(int i, const std::vector<int32_t>& gains, int32_t ms);

    std::string FileName(int i) const;
    uint8_t State(int i) const;
    uint8_t HeardState(int i) const;
    int32_t Volume(int i) const;        // stored; 255 outside the set
    int32_t TargetVolume(int i) const;  // target x 255; 255 outside the set
    int32_t Group(int i) const;
    double Level(int i, int mode);
    int32_t DecoderMs(int i);
    int32_t AudibleMs(int i);
    int32_t TotalMs(int i) const;
    std::array<int32_t, 4> Agc(int i) const;  // level, gain, rate, threshold
    // True while any channel of the group is heard playing once.
    bool GroupHeard(int32_t group) const;

    void Swap(int i, int j);
    void SetActive(bool on);
    void ReapplyVolumes();
    void SaveState(TMemoryStream& s);
    static std::vector<TStreamRecord> ReadState(TMemoryStream& s);
    void ApplyState(const std::vector<TStreamRecord>& records);

    TOggPlayer& Player() { return player_; }
    TOggData* Track(int i) { return Valid(i) ? tracks_[static_cast<size_t>(i)].get() : nullptr; }
    size_t StreamLength() const { return length_; }

private:
    static bool Valid(int i) { return i >= 0 && i < kChannels; }
    void Refill(TDDSDWaveData& wave, size_t length, size_t offset);

    TDDSD7& device_;
    TGroupVolumes& groups_;
    TSoundFiles files_;
    IClock& clock_;
    size_t length_;
    int deviceChannel_;
    TOggPlayer player_;
    std::array<std::unique_ptr<TOggData>, kChannels> tracks_;
    std::array<TStreamRecord, kChannels> rec_;
    TWavePtr ring_;
    std::atomic<bool> enabled_{false};
    std::vector<int16_t> silence_;
};

}  // namespace zel
