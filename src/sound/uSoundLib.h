// The effect channels: TDSound, 15 channels that play whole decoded sounds
// through static waves, and what they share with the stream channels
// (OggPlayerLib.h): the group volumes, play states and file access.
//
// Effect channel record, 274 bytes in save files (little-endian):
//     0  128  file name: length byte (0 = none, read as at most 127) and the bytes
//   128    4  channel volume 0-255
//   132    1  play state when saved: 0 no sound, 1 stopped, 2 once, 3 looping
//   133    4  volume group (read bounded to 0-255)
//   137    4  owner tag
//   141    1  1 = loaded from memory (an animation's sound; not restored)
//   142    4  pan, always 0
//   146  128  zero
//
// Volume: v = volume x group volume / 255, attenuation 1000 x log10(v / 255)
// hundredths of a decibel, rounded, -10000 below 1/10000, applied at the
// next start. A channel started again within 25 ms of its last start is not
// restarted (two clicks on one frame play one sound).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"
#include "sound/Mixer.h"

namespace zel {

class IClock;
class IGameStorage;
class TDDSD7;

enum TPLAYSTATE : uint8_t { psNONE = 0, psSTOP = 1, psPLAY = 2, psLOOP = 3 };

// Where sound files come from: a game path to its normalised name ("" when it
// does not exist), and a normalised name to the file's bytes (nullptr when missing).
struct TSoundFiles {
    std::function<std::string(std::string_view)> resolve;
    std::function<std::unique_ptr<TMemoryStream>(std::string_view)> open;
};
TSoundFiles SoundFilesOf(IGameStorage& storage);

// The volume of each group (0 music, 1 voice, 2 effects, the rest free), 0-255.
using TGroupVolumes = std::array<uint8_t, 256>;
inline uint8_t GroupVolume(const TGroupVolumes& t, int32_t group) {
    return t[static_cast<size_t>(group < 0 ? 0 : group > 255 ? 255 : group)];
}

// Device attenuation in hundredths of a decibel for a channel volume in a group volume.
int32_t AttenuationMb(int32_t volume, int32_t groupVolume);

// "File name" fields of the stored records: a length byte and up to 127 bytes.
void WriteShortName(TMemoryStream& s, std::string_view name, size_t room = 128);
std::string ReadShortName(TMemoryStream& s, size_t room = 128);

struct TSeRecord {
    std::string name;
    int32_t volume = 255;
    uint8_t state = psNONE;
    int32_t group = 0;
    int32_t owner = 0;
    bool memory = false;
    int32_t pan = 0;
};
constexpr size_t kSeRecordBytes = 274;
void WriteSeRecord(TMemoryStream& s, const TSeRecord& r);
// Raises EStreamError when fewer than 274 bytes remain.
TSeRecord ReadSeRecord(TMemoryStream& s);

class TDSound {
public:
    static constexpr int kChannels = 15;
    // Device channels 0-14 play the effect channels of the same numbers.
    TDSound(TDDSD7& device, TGroupVolumes& groups, TSoundFiles files, IClock& clock);
    ~TDSound();

    void Clear(int i);
    void ClearAll();
    // Loads a game file (Ogg Vorbis, or a RIFF WAV) decoded whole. False when
    // the name cannot be found or the file cannot be decoded (the channel is
    // then empty). Unless forced, a channel holding the same file keeps it;
    // "$$$" pseudo files always reload.
    bool Load(int i, std::string_view name, int32_t owner, bool force, int32_t group);
    // Raw 44100 Hz 16-bit stereo PCM (an animation's sound).
    bool LoadFromMemory(int i, const std::vector<uint8_t>& pcm, bool force, int32_t group, std::string_view name);
    void Play(int i, bool loop, int32_t startMs);
    void Stop(int i);
    void SetVolume(int i, int32_t volume);
    // 0 no sound, 1 stopped, 2 playing once, 3 looping.
    uint8_t State(int i) const;
    int32_t Volume(int i) const;  // 255 for a channel outside the set
    int32_t Group(int i) const;
    std::string FileName(int i) const;
    size_t WaveBytes(int i) const;
    void Swap(int i, int j);
    void StopAll();
    void RefreshGroupVolumes();

    void SaveState(TMemoryStream& s) const;
    // The 15 records, read whole before anything changes.
    static std::vector<TSeRecord> ReadState(TMemoryStream& s);
    void ApplyState(const std::vector<TSeRecord>& records);

    // The setting "ForceDirectSoundMode": loads keep nothing.
    void SetForceDirectSoundMode(bool on) { forceDirectSound_ = on; }

private:
    struct TChannel {
        TWavePtr wave;
        TSeRecord rec;
        std::optional<uint64_t> lastStart;  // never started
        uint8_t appliedGroup = 255;
    };
    static bool Valid(int i) { return i >= 0 && i < kChannels; }
    void Bind(int i, std::vector<uint8_t> pcm);

    TDDSD7& device_;
    TGroupVolumes& groups_;
    TSoundFiles files_;
    IClock& clock_;
    std::array<TChannel, kChannels> ch_;
    bool forceDirectSound_ = false;
};

}  // namespace zel
