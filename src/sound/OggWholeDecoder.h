// Whole-file Ogg Vorbis decoding for sound effects and the sound cache.
//
// The result is 44100 Hz 16-bit stereo PCM at the gain the streaming tracks
// apply at full volume (254/256, truncated toward zero), in a buffer of
// max(converted length, 32 KiB) rounded up to a multiple of 1 KiB, where the
// converted length is the file's sample count x 4 x 44100 / its rate; what
// the decoder does not fill stays silent. Only 44100 and 22050 Hz, mono or
// stereo, are accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// False (out unchanged, reason in err when given) for data that is not Ogg
// Vorbis, a format other than the four above, or an absurd declared length.
bool DecodeOggWhole(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string* err = nullptr);

}  // namespace zel
