// TWaveDataManager: the shared cache of decoded sounds that animations play,
// and the engine's WAV reader. Every result is 44100 Hz 16-bit stereo PCM.
//
// WAV files are read as a walk over chunks, each a 4-byte identifier
// (compared without regard to case) and a 32-bit size:
//   "RIFF"  size, then the form type "WAVE"; the walk goes on inside it
//   "fmt "  at least 16 bytes: format tag 1 (PCM), 1 or 2 channels, 44100 or
//           22050 Hz, byte rate and block alignment (not used), 16 bits per
//           sample; the walk goes on after the chunk
//   "fact"  skipped
//   "data"  the samples; the walk ends here
// Any other identifier ("LIST" included) or a failed check refuses the file;
// a walk that reaches the end before "data" gives empty PCM. The walk starts
// at the current position and never reads past the bytes it was given: a
// chunk whose size runs past them refuses the file, except "data", whose
// samples are cut to the bytes present and then to whole frames. Mono
// samples become two equal channels; 22050 Hz frames are written twice.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/uCache.h"

namespace zel {

struct TWaveData {
    std::vector<uint8_t> pcm;  // 44100 Hz, s16 little-endian, stereo interleaved
};

// Reads a WAV file of `size` bytes at data into out. False for a refused file.
bool ReadWave(const uint8_t* data, size_t size, TWaveData& out);

class TWaveDataManager : public TCache<TWaveData> {
protected:
    // ".wav" through ReadWave, ".ogg" through DecodeOggWhole; other
    // extensions and refused files give nothing.
    std::unique_ptr<TWaveData> Decode(const uint8_t* data, size_t size, const std::string& key) override;
    uint64_t SizeOf(const TWaveData& wave) const override { return wave.pcm.size(); }
};

using TWaveHandle = TCacheHandle<TWaveData>;

}  // namespace zel
